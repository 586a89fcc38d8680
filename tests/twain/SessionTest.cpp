// Choosing sources, and how a batch goes: next-image step, cancelled pages,
// device events, close requests, a source that insists on its window.
#include "TwainFixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace test {
namespace {

class SessionTest : public TwainTest {
protected:
  // Three scanners: copies of the virtual scanner module under other names.
  void InstallThreeScanners() {
    const std::string folder = Dir.File("sources");
    std::filesystem::create_directory(folder);
    const std::string module = BinPath("twain_sources/virtual.ds");
    for (const char* name : {"virtual.ds", "virtual-B.ds", "virtual-C.ds"})
      std::filesystem::copy_file(module, folder + "/" + name);
    setenv("TESSIVANE_TWAIN_SOURCES", folder.c_str(), 1);
  }

  // A chooser program that picks `answer` or cancels (empty answer).
  void InstallChooser(const std::string& answer) {
    const std::string path = Dir.File("chooser.sh");
    std::ofstream script(path);
    script << "#!/bin/sh\n";
    script << "printf '%s\\n' \"$@\" > " << Dir.File("chooser-args.txt") << "\n";
    if (answer.empty())
      script << "exit 1\n";
    else
      script << "echo '" << answer << "'\n";
    script.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    setenv("TESSIVANE_TWAIN_CHOOSER", path.c_str(), 1);
    setenv("DISPLAY", ":99", 1);
  }
};

TEST_F(SessionTest, ManyShortRequestsAreEachAnsweredAtOnce) {
  auto twain = MakeTwain(60000);
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource(""));
  // Each request right after the last one's answer: the worker takes it up at
  // once, so even a request with a short time-out is answered (a worker that
  // lingered after an answer would let it run out).
  for (int i = 0; i < 300; ++i) {
    TW_STATUS status{};
    ASSERT_EQ(twain->Triplet(DG_CONTROL, DAT_STATUS, MSG_GET, &status, sizeof status), TWRC_SUCCESS)
        << i;
    TTripletOptions shortWait;
    shortWait.Timeout = 2000;
    ASSERT_EQ(twain->Triplet(DG_CONTROL, DAT_STATUS, MSG_GET, &status, sizeof status, true,
                             std::move(shortWait)),
              TWRC_SUCCESS)
        << i;
  }
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, SourceListNamesEveryScannerAndKeepsTheIdentity) {
  InstallThreeScanners();
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->SelectSourceByName("Virtual Scanner C"));
  const TW_IDENTITY before = twain->SourceIdentity();
  std::vector<std::string> names;
  twain->GetSourceList(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Virtual Scanner B", "Virtual Scanner C",
                                             "Virtual Scanner"}));
  const TW_IDENTITY after = twain->SourceIdentity();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  EXPECT_TRUE(twain->DSMOpen()); // it was open before
  EXPECT_TRUE(twain->CloseSourceMgr());

  // Opening and closing the manager around the list.
  twain->GetSourceList(names);
  EXPECT_EQ(names.size(), 3u);
  EXPECT_FALSE(twain->DSMOpen());
}

TEST_F(SessionTest, SourceListIsEmptyWhileASourceIsOpen) {
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource(""));
  std::vector<std::string> names{"left over"};
  twain->GetSourceList(names);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, SelectingAnUnknownNameOpensTheDefaultSource) {
  InstallThreeScanners();
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->OpenSource("No Such Scanner"));
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner");
  EXPECT_TRUE(twain->CloseSource());
  // A name that exists opens that scanner; after closing, the default again.
  ASSERT_TRUE(twain->OpenSource("Virtual Scanner B"));
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner B");
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_EQ(twain->SourceName(), "");
  ASSERT_TRUE(twain->OpenSource(""));
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner");
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
  EXPECT_TRUE(WaitFor([&] { return Events.EnableMenus == 3; }));
  EXPECT_EQ(Events.DisableMenus, 3);
}

TEST_F(SessionTest, SelectionWithoutAGraphicalSessionTakesTheDefault) {
  InstallThreeScanners();
  auto twain = MakeTwain();
  EXPECT_TRUE(twain->SelectSource());
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner");
  EXPECT_FALSE(twain->DSMOpen());
  EXPECT_EQ(Events.DisableMenus, 1);
  EXPECT_TRUE(WaitFor([&] { return Events.EnableMenus == 1; }));
}

TEST_F(SessionTest, SelectionDialogChoiceBecomesTheDefault) {
  InstallThreeScanners();
  InstallChooser("Virtual Scanner C");
  auto twain = MakeTwain();
  EXPECT_TRUE(twain->SelectSource());
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner C");
  std::ifstream arguments(Dir.File("chooser-args.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(arguments, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"Virtual Scanner", "Virtual Scanner B",
                                             "Virtual Scanner C", "Virtual Scanner"}));
  // The next scan without a chosen source opens the operator's choice.
  ASSERT_TRUE(twain->OpenSourceMgr());
  twain->SetSourceIdentity(TW_IDENTITY{});
  ASSERT_TRUE(twain->OpenSource(""));
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner C");
  twain->CloseSource();
  twain->CloseSourceMgr();
}

TEST_F(SessionTest, TheChosenSourceIsAcquiredByItsNameInTheNextSession) {
  InstallThreeScanners();
  InstallChooser("Virtual Scanner C");
  auto twain = OneSheet(TWPT_BW, 1, 50);
  twain->SetDIBHandleType(THDT_DIBRAW);
  ASSERT_TRUE(twain->SelectSource());
  // Another scanner installed meanwhile: the manager numbers its sources anew.
  std::filesystem::copy_file(BinPath("twain_sources/virtual.ds"), Dir.File("sources/virtual-A.ds"));
  std::string opened;
  auto negotiate = twain->OnNegotiation;
  twain->OnNegotiation = [&](TTwnObject* sender) {
    opened = twain->SourceName();
    negotiate(sender);
  };
  // As the application does it: Acquire with the profile's empty name.
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(opened, "Virtual Scanner C");
}

TEST_F(SessionTest, TheSelectionDialogDoesNotFreezeTheWindowThatAsked) {
  InstallThreeScanners();
  // A chooser the operator takes a moment to answer.
  const std::string path = Dir.File("slow-chooser.sh");
  std::ofstream(path) << "#!/bin/sh\nsleep 0.3\necho 'Virtual Scanner B'\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  setenv("TESSIVANE_TWAIN_CHOOSER", path.c_str(), 1);
  setenv("DISPLAY", ":99", 1);
  auto twain = MakeTwain();
  const unsigned responsive = Dispatcher.ResponsiveCount();
  EXPECT_TRUE(twain->SelectSource());
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner B");
  EXPECT_GT(Dispatcher.ResponsiveCount(), responsive); // painted while the dialog was open
}

TEST_F(SessionTest, CancelledSelectionKeepsTheSource) {
  InstallThreeScanners();
  InstallChooser("");
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  ASSERT_TRUE(twain->SelectSourceByName("Virtual Scanner B"));
  ASSERT_TRUE(twain->CloseSourceMgr());
  EXPECT_FALSE(twain->SelectSource());
  EXPECT_EQ(twain->SourceName(), "Virtual Scanner B");
  EXPECT_TRUE(WaitFor([&] { return Events.EnableMenus >= 1; }));
}

TEST_F(SessionTest, SelectionIsRefusedWhileTheManagerIsOpen) {
  auto twain = MakeTwain();
  ASSERT_TRUE(twain->OpenSourceMgr());
  EXPECT_FALSE(twain->SelectSource());
  EXPECT_TRUE(WaitFor([&] { return Events.EnableMenus == 1; }));
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, NextImageHandlerStopsTheBatchAfterTheFirstOfFive) {
  Configure("sheets=5");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  std::vector<int> offered;
  twain->OnXferNext = [&](TTwnObject*, int& numImages, bool& skipNext) {
    offered.push_back(numImages);
    EXPECT_FALSE(skipNext);
    numImages = 0;
  };
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(Events.Images.size(), 1u);
  EXPECT_EQ(offered, std::vector<int>{4});
  EXPECT_EQ(CountTrace("1 5 7"), 1u); // MSG_RESET
  EXPECT_EQ(CountTrace("2 260 1"), 1u);
}

TEST_F(SessionTest, NextImageHandlerSkipsPages) {
  Configure("sheets=4");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  twain->OnXferNext = [&](TTwnObject*, int&, bool& skipNext) { skipNext = true; };
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(Events.Images.size(), 2u); // pages 1 and 3
}

TEST_F(SessionTest, CancelledTransferRaisesImageReadyOnceWithoutAnImage) {
  Configure("sheets=1\ncancel=1");
  auto twain = MakeTwain();
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  ASSERT_EQ(Events.Images.size(), 1u);
  EXPECT_EQ(Events.Images[0].Handle, nullptr);
  EXPECT_TRUE(Events.Failures.empty());
}

TEST_F(SessionTest, PaperJamFailsOnePageAndTheBatchGoesOn) {
  Configure("sheets=3\nfailxfer=2");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  twain->DisableAfterAcquire = false; // open until every device event is in
  twain->SetDeviceEventTypes(DeviceEventBit(TWDE_PAPERJAM) | DeviceEventBit(TWDE_IMAGECAPTURED));
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(
      WaitFor([&] { return Events.Images.size() == 3 && Events.DeviceEvents.size() == 3; }));
  EXPECT_NE(Events.Images[0].Handle, nullptr);
  EXPECT_EQ(Events.Images[1].Handle, nullptr);
  EXPECT_NE(Events.Images[2].Handle, nullptr);
  ASSERT_EQ(Events.Failures.size(), 1u);
  EXPECT_EQ(Events.Failures[0].DAT, DAT_IMAGENATIVEXFER);
  EXPECT_EQ(Events.Failures[0].Status, TWCC_PAPERJAM);
  // The array of wanted events reached the scanner as it was built.
  EXPECT_EQ(CountTrace("1 1 6 cap=4130 con=3 type=4 items=10,13"), 1u);
  int captured = 0, jams = 0;
  for (const auto& [event, name] : Events.DeviceEvents) {
    EXPECT_EQ(name, "Virtual Scanner");
    captured += event == TWDE_IMAGECAPTURED;
    jams += event == TWDE_PAPERJAM;
  }
  EXPECT_EQ(captured, 2);
  EXPECT_EQ(jams, 1);
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, DeviceEventsWithoutAHandlerAreSwitchedOff) {
  Configure("sheets=2");
  auto twain = MakeTwain();
  twain->OnDeviceEvent = nullptr;
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  twain->DisableAfterAcquire = false; // open until the event is in
  twain->SetDeviceEventTypes(DeviceEventBit(TWDE_IMAGECAPTURED));
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 2 && twain->DeviceEventTypes() == 0; }));
  EXPECT_EQ(CountTrace("1 1 6 cap=4130 con=3 type=4 items=10"), 1u);
  EXPECT_GE(CountTrace("1 1 6 cap=4130 con=3 type=4 items="), 1u); // the empty list
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, SourceThatInsistsOnItsWindowStillScans) {
  Configure("sheets=2\ninsistui=1");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  EXPECT_TRUE(twain->ShowUI); // as the source answered
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(Events.Images.size(), 2u);
  EXPECT_TRUE(Events.Failures.empty()); // TWRC_CHECKSTATUS with TWCC_SUCCESS is no failure
}

TEST_F(SessionTest, CloseRequestInStayEnabledModeDisablesAndKeepsTheSource) {
  Configure("sheets=2");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->DisableAfterAcquire = false;
  twain->ShowUI = true; // the operator closes the scanner's window after the pages
  SmallPages(*twain, TWPT_BW, 1, 50);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 1; }));
  EXPECT_EQ(Events.Images.size(), 2u);
  EXPECT_TRUE(WaitFor([&] { return twain->State() == 4; }));
  EXPECT_TRUE(twain->SourceOpen());
  EXPECT_FALSE(twain->SourceEnabled());
  // Enabled again, it scans again.
  ASSERT_TRUE(twain->EnableSource(true));
  ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 2; }));
  EXPECT_EQ(Events.Images.size(), 4u);
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
}

TEST_F(SessionTest, OperatorClosingTheScannerWindowEndsTheSession) {
  Configure("closewindow=1");
  auto twain = MakeTwain();
  twain->ShowUI = true;
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 1; }));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_TRUE(Events.Images.empty());
  EXPECT_EQ(CountTrace("1 3 1026"), 1u);
}

} // namespace
} // namespace test
