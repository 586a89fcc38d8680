// The SANE source through our manager called directly, as applications that
// take pages strip by strip, write files, or call the source back from the
// callback that announces a page.
#include "SaneFixture.h"
#include "tessivane/pagemem.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <thread>
#include <tuple>

namespace test {
namespace {

class SaneDirectTest : public SaneTest {
protected:
  void SetUp() override {
    SaneTest::SetUp();
    Library = dlopen(BinPath("libtessivane_dsm.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr);
    Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(Library, "DSM_Entry"));
    App.ProtocolMajor = 2;
    App.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    std::strcpy(App.ProductName, "Direct");
    ASSERT_EQ(Entry(&App, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &Parent), TWRC_SUCCESS);
    std::strcpy(Source.ProductName, kTestDevice);
    ASSERT_EQ(Entry(&App, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &Source), TWRC_SUCCESS);
    TW_CALLBACK2 callback{reinterpret_cast<TW_MEMREF>(&Announced),
                          reinterpret_cast<TW_UINTPTR>(this), 0};
    ASSERT_EQ(Call(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
  }
  void TearDown() override {
    if (!Closed) Entry(&App, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Source);
    Entry(&App, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &Parent);
    dlclose(Library);
    SaneTest::TearDown();
  }
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, void* data) {
    return Entry(&App, &Source, DG, DAT, MSG, data);
  }
  TW_UINT16 Condition() {
    TW_STATUS status{};
    Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
  }
  // The feeder with its transfer count at 75 dpi, and the scan started.
  void Feed(int16_t count) {
    const std::tuple<TW_UINT16, TW_UINT16, int16_t> settings[] = {
        {CAP_FEEDERENABLED, TWTY_BOOL, 1},
        {CAP_XFERCOUNT, TWTY_INT16, count},
        {ICAP_XRESOLUTION, TWTY_FIX32, 75}, // a whole 75 and no fraction
        {ICAP_YRESOLUTION, TWTY_FIX32, 75}};
    for (auto [cap, type, value] : settings) {
      const TSV_HANDLE block = tsv_mem_alloc(sizeof(TW_ONEVALUE));
      auto* one = static_cast<pTW_ONEVALUE>(tsv_mem_lock(block));
      *one = TW_ONEVALUE{type, static_cast<TW_UINT32>(value)};
      tsv_mem_unlock(block);
      TW_CAPABILITY capability{cap, TWON_ONEVALUE, block};
      EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability), TWRC_SUCCESS) << cap;
      tsv_mem_free(block);
    }
    TW_USERINTERFACE ui{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  }
  bool WaitForPage() {
    for (int i = 0; i < 2000 && Ready == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return Ready.exchange(0) > 0;
  }
  int EndXfer() {
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    return pending.Count;
  }
  TW_UINT16 Native() {
    TW_HANDLE page = nullptr;
    const TW_UINT16 result = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &page);
    if (page != nullptr) tsv_mem_free(static_cast<TSV_HANDLE>(page));
    return result;
  }
  // Announcements: counted, or answered in the callback itself.
  static TW_UINT16 Announced(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16 MSG,
                             TW_MEMREF refCon) {
    auto* test = static_cast<SaneDirectTest*>(refCon);
    if (MSG == MSG_XFERREADY && test->InCallback) test->InCallback();
    if (MSG == MSG_XFERREADY) ++test->Ready;
    return TWRC_SUCCESS;
  }

  void* Library = nullptr;
  DSMENTRYPROC Entry = nullptr;
  TW_IDENTITY App{}, Source{};
  void* Parent = nullptr;
  std::atomic<int> Ready{0};
  std::function<void()> InCallback;
  bool Closed = false;
};

TEST_F(SaneDirectTest, EndingAStripTransferPartWayGoesOnToTheNextSheet) {
  Feed(3);
  ASSERT_TRUE(WaitForPage());
  TW_SETUPMEMXFER setup{};
  ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  std::vector<uint8_t> strip(setup.MinBufSize);
  TW_IMAGEMEMXFER memory{};
  memory.Memory = {TWMF_APPOWNS | TWMF_POINTER, setup.MinBufSize, strip.data()};
  ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &memory), TWRC_SUCCESS); // one row
  EXPECT_EQ(EndXfer(), 2);
  EXPECT_EQ(Native(), TWRC_XFERDONE);
  EXPECT_EQ(EndXfer(), 1);
  EXPECT_EQ(Native(), TWRC_XFERDONE);
  EXPECT_EQ(EndXfer(), 0);
}

TEST_F(SaneDirectTest, AFileThatCannotBeWrittenKeepsThePageForAnother) {
  Feed(1);
  ASSERT_TRUE(WaitForPage());
  TW_SETUPFILEXFER file{};
  file.Format = TWFF_TIFF;
  for (const std::string& name : {Dir.File("missing/page.tif"), Dir.File("page.tif")}) {
    std::strcpy(file.FileName, name.c_str());
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file), TWRC_SUCCESS);
    const bool writable = name == Dir.File("page.tif");
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr),
              writable ? TWRC_XFERDONE : TWRC_FAILURE);
    EXPECT_EQ(Condition(), writable ? TWCC_SUCCESS : TWCC_FILEWRITEERROR);
  }
  EXPECT_EQ(test::Run({"tiffinfo", Dir.File("page.tif")}).status, 0);
  EXPECT_EQ(EndXfer(), 0);
}

TEST_F(SaneDirectTest, TheCallbackMayTakeEveryPageAndCloseTheSource) {
  std::atomic<int> pages{0};
  InCallback = [&] {
    do ++pages;
    while (Native() == TWRC_XFERDONE && EndXfer() > 0);
    TW_USERINTERFACE ui{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(Entry(&App, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Source), TWRC_SUCCESS);
    Closed = true;
  };
  Feed(3);
  ASSERT_TRUE(WaitForPage());
  EXPECT_EQ(pages, 3);
  EXPECT_TRUE(Closed);
}

} // namespace
} // namespace test
