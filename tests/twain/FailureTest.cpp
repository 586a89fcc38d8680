// What goes wrong: no manager, a source that refuses to open, hangs or
// throws, a component destroyed in the middle of a batch.
#include "TwainFixture.h"

#include <dlfcn.h>
#include <fstream>
#include <stdexcept>

namespace test {
namespace {

using FailureTest = TwainTest;

TEST_F(FailureTest, MissingManagerFailsQuietly) {
  setenv("TESSIVANE_TWAIN_DSM", Dir.File("no-such-manager.so").c_str(), 1);
  auto twain = MakeTwain();
  EXPECT_EQ(twain->OpenDSM(), TWRC_FAILURE);
  EXPECT_FALSE(twain->Acquire(""));
  EXPECT_EQ(twain->State(), 1);
  // Anything the failed calls raised would come before the selection's end.
  EXPECT_FALSE(twain->SelectSource());
  ASSERT_TRUE(WaitFor([&] { return Events.EnableMenus == 1; }));
  EXPECT_TRUE(Events.Failures.empty());
}

TEST_F(FailureTest, SourceThatFailsToOpenIsReportedOnce) {
  Configure("fail=3 1025 " + std::to_string(TWCC_OPERATIONERROR));
  auto twain = MakeTwain();
  EXPECT_FALSE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  ASSERT_TRUE(WaitFor([&] { return !Events.Failures.empty(); }));
  ASSERT_EQ(Events.Failures.size(), 1u);
  const TRecordedFailure& failure = Events.Failures[0];
  EXPECT_EQ(failure.DG, DG_CONTROL);
  EXPECT_EQ(failure.DAT, 3);
  EXPECT_EQ(failure.CAP, 0);
  EXPECT_EQ(failure.MSG, 1025);
  EXPECT_EQ(failure.Error, TWRC_FAILURE);
  EXPECT_EQ(failure.Status, TWCC_OPERATIONERROR);
  EXPECT_EQ(twain->LastFailure().MSG, MSG_OPENDS);
}

TEST_F(FailureTest, FailedCapabilityNamesTheCapability) {
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource(""));
  TTwnContainer* container = nullptr;
  // Not in the scanner's list: refused without asking.
  EXPECT_EQ(twain->GetCapabilityMsg(ICAP_HALFTONES, MSG_GET, container), 0xFFFF);
  EXPECT_EQ(container, nullptr);
  twain->LenientOnCaps = true;
  EXPECT_EQ(twain->GetCapabilityMsg(ICAP_HALFTONES, MSG_GET, container), TWRC_FAILURE);
  ASSERT_TRUE(WaitFor([&] { return Events.Failures.size() == 1; }));
  EXPECT_EQ(Events.Failures[0].DAT, DAT_CAPABILITY);
  EXPECT_EQ(Events.Failures[0].CAP, ICAP_HALFTONES);
  EXPECT_EQ(Events.Failures[0].MSG, MSG_GET);
  EXPECT_EQ(Events.Failures[0].Status, TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(twain->GetCapabilityMsg(ICAP_PIXELTYPE, MSG_GETLABEL, container), TWRC_FAILURE);
  EXPECT_EQ(twain->SetCapabilityMsg(MSG_GET, 0, container), 0xFFFF);
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(FailureTest, HungSourceTimesOutAndTheSessionGoesOnAfterwards) {
  const std::string release = Dir.File("release");
  Configure("hang=1 2 " + std::to_string(ICAP_PHYSICALWIDTH) + "\nrelease=" + release);
  auto twain = MakeTwain(300);
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource(""));
  const unsigned responsive = Dispatcher.ResponsiveCount();
  TTwnContainer* container = nullptr;
  EXPECT_EQ(twain->GetCapabilityMsg(ICAP_PHYSICALWIDTH, MSG_GETCURRENT, container), TWRC_NOANSWER);
  EXPECT_GT(Dispatcher.ResponsiveCount(), responsive); // the interface was kept painted meanwhile
  EXPECT_EQ(container, nullptr);
  // The source is still stuck: the answer came from the time-out.
  EXPECT_FALSE(FileExists(release));
  WriteFile(release, {});
  twain->SetTimeout(20000);
  EXPECT_DOUBLE_EQ(twain->GetPhysicalHeight(), 14.0);
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
  EXPECT_TRUE(WaitClosed(*twain));
}

TEST_F(FailureTest, DestroyingTheComponentWhileTheSourceHangsEndsWithinSeconds) {
  // Held by the test too, so that the manager is not unloaded and loaded
  // again at the same address while the stuck worker finishes.
  void* manager = dlopen(BinPath("libtessivane_dsm.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(manager, nullptr);
  const std::string release = Dir.File("release");
  Configure("sheets=1\nhang=" + std::to_string(DAT_IMAGENATIVEXFER) + " 1\nrelease=" + release);
  {
    auto twain = MakeTwain();
    twain->SetDIBHandleType(THDT_DIBRAW);
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1, 50);
    ASSERT_TRUE(twain->Acquire(""));
    // The scanner is stuck inside the transfer.
    ASSERT_TRUE(WaitFor([&] { return CountTrace("2 260 1") == 1; }));
    // Going returns although the source never answers: its worker is let go.
  }
  EXPECT_FALSE(FileExists(release));
  EXPECT_TRUE(Events.Images.empty());
  // Once the source returns, the worker let go closes what it left open.
  WriteFile(release, {});
  ASSERT_TRUE(WaitFor([&] { return CountTrace("1 3 1026") == 1; })); // MSG_CLOSEDS
  Configure("sheets=1");
  auto twain = OneSheet(TWPT_BW, 1, 50);
  twain->SetDIBHandleType(THDT_DIBRAW);
  // The source saw the close before the manager marks it closed: until then
  // it is still open for the old session, so the new one may have to retry.
  ASSERT_TRUE(WaitFor([&] { return twain->Acquire(""); }));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  EXPECT_TRUE(WaitClosed(*twain));
  dlclose(manager);
}

TEST_F(FailureTest, ManagerThatThrowsIsReplacedByAFreshSession) {
  Configure("throw=1 2 " + std::to_string(ICAP_PHYSICALHEIGHT));
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource(""));
  ASSERT_TRUE(WaitFor([&] { return twain->State() == 4; }));
  TTwnContainer* container = nullptr;
  EXPECT_EQ(twain->GetCapabilityMsg(ICAP_PHYSICALHEIGHT, MSG_GETCURRENT, container),
            TWRC_DSMEXCEPTION);
  EXPECT_FALSE(twain->DSMOpen());
  EXPECT_FALSE(twain->SourceOpen());
  ASSERT_TRUE(WaitFor([&] { return Events.EnableMenus == 1 && twain->State() == 1; }));
  // Exactly one: the selection's own OnEnableMenus comes next.
  EXPECT_TRUE(twain->SelectSource());
  ASSERT_TRUE(WaitFor([&] { return Events.EnableMenus == 2; }));
  EXPECT_TRUE(Events.Failures.empty());

  // The next scan starts from scratch on the new worker.
  Configure("sheets=1");
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  EXPECT_NE(Events.Images[0].Handle, nullptr);
  EXPECT_TRUE(WaitClosed(*twain));
}

TEST_F(FailureTest, DestroyingTheComponentWithImagesPendingResetsAndCloses) {
  Configure("sheets=5");
  {
    auto twain = MakeTwain();
    twain->SetDIBHandleType(THDT_DIBRAW);
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1, 50);
    ASSERT_TRUE(twain->Acquire(""));
  }
  EXPECT_TRUE(Events.Images.empty()); // nothing was handed to a component being destroyed
  EXPECT_LT(CountTrace("2 260 1"), 5u);
  EXPECT_GE(CountTrace("1 5 7"), 1u);    // MSG_RESET
  EXPECT_GE(CountTrace("1 3 1026"), 1u); // MSG_CLOSEDS

  // Nothing was left open: the next component scans normally.
  auto twain = OneSheet(TWPT_BW, 1, 50);
  twain->SetDIBHandleType(THDT_DIBRAW);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  EXPECT_TRUE(WaitClosed(*twain));
}

TEST_F(FailureTest, HandlersThatThrowAreReportedAndTheBatchGoesOn) {
  struct TCase {
    const char* What;
    TTwnXferType Mech;
    bool ThrowInImage, ThrowInNext;
  };
  for (const TCase& c : {TCase{"image handler, native", TWFX_NATIVE, true, false},
                         TCase{"image handler, memory", TWFX_MEMORY, true, false},
                         TCase{"next-image handler", TWFX_NATIVE, false, true}}) {
    SCOPED_TRACE(c.What);
    Events.Failures.clear();
    Configure("sheets=3");
    auto twain = MakeTwain();
    twain->SetXferMech(c.Mech);
    twain->SetDIBHandleType(THDT_DIBHANDLE);
    twain->ShowUI = false;
    SmallPages(*twain, TWPT_BW, 1, 50);
    int calls = 0;
    twain->OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE handle,
                              const std::string&) {
      ++calls;
      // Not taken: the engine still owns the page when the handler fails.
      if (c.ThrowInImage) throw std::runtime_error("handler fault");
      tsv_mem_free(static_cast<TSV_HANDLE>(handle));
    };
    int nexts = 0;
    twain->OnXferNext = [&](TTwnObject*, int&, bool&) {
      ++nexts;
      if (c.ThrowInNext) throw std::runtime_error("handler fault");
    };
    ASSERT_TRUE(twain->Acquire(""));
    ASSERT_TRUE(WaitClosed(*twain));
    EXPECT_EQ(calls, 3); // every page was fetched
    EXPECT_EQ(nexts, 3); // and the next-image step ran after each
    ASSERT_EQ(Events.Failures.size(), 3u);
    for (const TRecordedFailure& failure : Events.Failures) {
      EXPECT_EQ(failure.DAT, c.ThrowInNext           ? DAT_PENDINGXFERS
                             : c.Mech == TWFX_MEMORY ? DAT_IMAGEMEMXFER
                                                     : DAT_IMAGENATIVEXFER);
      EXPECT_EQ(failure.Status, TWCC_OPERATIONERROR);
    }
  }
}

TEST_F(FailureTest, EnablingWithoutAnImageHandlerIsAnError) {
  auto twain = MakeTwain();
  twain->OnImageReady = nullptr;
  try {
    twain->Acquire("");
    FAIL() << "no error";
  } catch (const EImageReadyError& error) {
    EXPECT_EQ(error.Message(), "Event \"OnImageReady\" or \"OnMemXferBuffer\" must be assigned, \r"
                               "before an image acquisition can commence.");
  }
  EXPECT_FALSE(twain->SourceOpen());
  EXPECT_FALSE(twain->DSMOpen());
  EXPECT_EQ(CountTrace("1 9 1282"), 0u); // never enabled
}

TEST_F(FailureTest, DeviceNotReadyHandlerCanRefuse) {
  Configure("offline=-1");
  auto twain = MakeTwain();
  int asked = 0;
  twain->OnDeviceNotReady = [&](TTwnObject* sender, bool& doOpenSource) {
    EXPECT_EQ(sender, static_cast<TTwnObject*>(twain.get()));
    EXPECT_TRUE(doOpenSource);
    ++asked;
    doOpenSource = false;
  };
  EXPECT_FALSE(twain->Acquire(""));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(CountTrace("1 9 1282"), 0u);
  EXPECT_TRUE(WaitClosed(*twain));
}

TEST_F(FailureTest, DeviceNotReadyIsAskedUntilTheDeviceComesOnline) {
  Configure("offline=2\nsheets=1");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  int asked = 0;
  twain->OnDeviceNotReady = [&](TTwnObject*, bool&) { ++asked; };
  ASSERT_TRUE(twain->Acquire(""));
  EXPECT_EQ(asked, 2);
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  EXPECT_TRUE(WaitClosed(*twain));
}

} // namespace
} // namespace test
