// Pages through the real threads, manager and virtual scanner, by each
// transfer mechanism, checked against the native transfer of the same page.
#include "TwainFixture.h"

#include "core/FileStream.h"
#include "raster/DIB.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace test {
namespace {

constexpr int kA6Width = 413; // 4.1339 in at 100 dpi
constexpr int kA6Height = 583;

// A view of a delivered page; the recorder keeps the block.
void View(TDIB& page, TW_HANDLE handle) {
  page.SetOwnsHandle(false);
  page.AttachHandle(static_cast<TSV_HANDLE>(handle));
}

class AcquireTest : public TwainTest {
protected:
  // One page by native transfer, as a packed DIB; index into Events.Images.
  size_t NativePage(int pixelType, int bitDepth) {
    auto twain = OneSheet(pixelType, bitDepth);
    twain->SetDIBHandleType(THDT_DIBRAW);
    const size_t before = Events.Images.size();
    EXPECT_TRUE(twain->Acquire(""));
    EXPECT_TRUE(WaitFor([&] { return Events.Images.size() == before + 1; }));
    EXPECT_TRUE(WaitClosed(*twain));
    return before;
  }

  // One page by memory transfer.
  size_t MemoryPage(int pixelType, int bitDepth, bool swap, TTwnHdlType type = THDT_DIBRAW) {
    auto twain = OneSheet(pixelType, bitDepth);
    twain->SetXferMech(TWFX_MEMORY);
    twain->SetDIBHandleType(type);
    twain->SetSwapMemRGB(swap);
    const size_t before = Events.Images.size();
    EXPECT_TRUE(twain->Acquire(""));
    EXPECT_TRUE(WaitFor([&] { return Events.Images.size() == before + 1; }));
    EXPECT_TRUE(WaitClosed(*twain));
    return before;
  }

  static void ExpectSamePixels(const TDIB& a, const TDIB& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    ASSERT_EQ(a.BitCount(), b.BitCount());
    int differences = 0;
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        if (a.GetPixel(x, y) != b.GetPixel(x, y)) ++differences;
    EXPECT_EQ(differences, 0);
  }
};

TEST_F(AcquireTest, NativeTransferOfThreePagesThenTheManagerIsClosed) {
  Configure("sheets=3");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 3; }));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_FALSE(twain->SourceOpen());
  EXPECT_EQ(Events.Negotiations, 1);
  EXPECT_EQ(Events.XferReady, 1);
  EXPECT_TRUE(Events.Failures.empty());

  std::vector<std::vector<uint8_t>> blocks;
  for (size_t i = 0; i < Events.Images.size(); ++i) {
    const TRecordedImage& image = Events.Images[i];
    EXPECT_TRUE(image.OnUIThread);
    EXPECT_EQ(image.Bits, nullptr);
    EXPECT_EQ(image.Info, nullptr);
    EXPECT_NE(Events.Senders[i], static_cast<TTwnObject*>(twain.get())); // the event thread
    TDIB page;
    View(page, image.Handle);
    EXPECT_EQ(page.Width(), kA6Width);
    EXPECT_EQ(page.Height(), kA6Height);
    EXPECT_EQ(page.BitCount(), 1);
    EXPECT_EQ(page.XResolution(), 100);
    EXPECT_EQ(page.YResolution(), 100);
    const auto* bytes = static_cast<const uint8_t*>(page.Lock());
    blocks.emplace_back(bytes, bytes + page.BlockSize());
    page.Unlock();
  }
  // Each page carries its own number.
  EXPECT_NE(blocks[0], blocks[1]);
  EXPECT_NE(blocks[1], blocks[2]);
  EXPECT_EQ(CountTrace("2 260 1"), 3u);
  EXPECT_EQ(CountTrace("1 3 1026"), 1u);
}

TEST_F(AcquireTest, TheSamePageNumberGivesTheSamePage) {
  const size_t first = NativePage(TWPT_GRAY, 8);
  const size_t second = NativePage(TWPT_GRAY, 8);
  TDIB a, b;
  View(a, Events.Images[first].Handle);
  View(b, Events.Images[second].Handle);
  ASSERT_EQ(a.BlockSize(), b.BlockSize());
  EXPECT_EQ(std::memcmp(a.Lock(), b.Lock(), a.BlockSize()), 0);
  a.Unlock();
  b.Unlock();
}

TEST_F(AcquireTest, DIBSectionsCarryPointersIntoTheirBlock) {
  auto twain = OneSheet(TWPT_GRAY, 8);
  twain->SetDIBHandleType(THDT_DIBSEC);
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  const TRecordedImage& image = Events.Images[0];
  ASSERT_NE(image.Handle, nullptr);
  ASSERT_NE(image.Info, nullptr);
  const auto* base =
      static_cast<const uint8_t*>(tsv_mem_lock(static_cast<TSV_HANDLE>(image.Handle)));
  EXPECT_EQ(static_cast<const void*>(image.Info), base);
  EXPECT_EQ(image.Bits, base + 40 + 4 * 256);
  EXPECT_EQ(image.Info->bmiHeader.biClrUsed, 0u);
  EXPECT_EQ(image.Info->bmiHeader.biSizeImage, static_cast<uint32_t>(416 * kA6Height));
  tsv_mem_unlock(static_cast<TSV_HANDLE>(image.Handle));
}

TEST_F(AcquireTest, MemoryTransferOfAFourBitGreyPage) {
  const size_t native = NativePage(TWPT_GRAY, 4);
  const size_t memory = MemoryPage(TWPT_GRAY, 4, true);
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  View(page, Events.Images[memory].Handle);
  ASSERT_EQ(page.BitCount(), 4);
  EXPECT_EQ(page.InfoHeader()->biClrUsed, 16u);
  EXPECT_EQ(page.InfoHeader()->biXPelsPerMeter, 3937);
  EXPECT_EQ(page.InfoHeader()->biYPelsPerMeter, 3937);
  const int ramp[16] = {0, 16, 33, 50, 67, 84, 101, 118, 135, 152, 169, 186, 203, 220, 237, 254};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(page.PaletteEntry(i), PaletteColor(ramp[i], ramp[i], ramp[i])) << i;
  ExpectSamePixels(page, expected);
}

TEST_F(AcquireTest, MemoryTransferOfAnRGBPageIsFlippedAndSwapped) {
  const size_t native = NativePage(TWPT_RGB, 24);
  const size_t memory = MemoryPage(TWPT_RGB, 24, true);
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  View(page, Events.Images[memory].Handle);
  EXPECT_EQ(page.InfoHeader()->biClrUsed, 0u);
  ExpectSamePixels(page, expected);
}

TEST_F(AcquireTest, MemoryTransferWithoutSwapKeepsTheSourcesOrder) {
  const size_t native = NativePage(TWPT_RGB, 24);
  const size_t memory = MemoryPage(TWPT_RGB, 24, false);
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  View(page, Events.Images[memory].Handle);
  // The first row in memory is the top of the page, red first.
  const uint8_t* stored = page.ScanLine(page.Height() - 1);
  int differences = 0;
  for (int x = 0; x < page.Width(); ++x) {
    const int rgb = expected.GetPixel(x, 0);
    if (stored[3 * x] != (rgb & 0xFF) || stored[3 * x + 1] != ((rgb >> 8) & 0xFF) ||
        stored[3 * x + 2] != (rgb >> 16))
      ++differences;
  }
  EXPECT_EQ(differences, 0);
}

TEST_F(AcquireTest, MemoryTransferIntoADIBSectionOfBilevelVanillaPixels) {
  const size_t native = NativePage(TWPT_BW, 1);
  auto twain = OneSheet(TWPT_BW, 1);
  twain->SetXferMech(TWFX_MEMORY);
  twain->SetDIBHandleType(THDT_DIBHANDLE);
  auto negotiate = twain->OnNegotiation;
  twain->OnNegotiation = [&](TTwnObject* sender) {
    negotiate(sender);
    TTwnContainer* flavor = nullptr;
    ASSERT_EQ(twain->GetCapabilityMsg(ICAP_PIXELFLAVOR, MSG_GET, flavor), TWRC_SUCCESS);
    flavor->SetCurrentValue(int32_t{TWPF_VANILLA});
    ASSERT_EQ(twain->SetCapabilityMsg(MSG_SET, -1, flavor), TWRC_SUCCESS);
  };
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == native + 2; }));
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  View(page, Events.Images[native + 1].Handle);
  // Vanilla data come with an inverted palette: the page looks the same.
  EXPECT_EQ(page.PaletteEntry(0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(page.PaletteEntry(1) & 0xFFFFFF, 0u);
  int differences = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x)
      if (page.PaletteEntry(page.GetPixel(x, y)) != expected.PaletteEntry(expected.GetPixel(x, y)))
        ++differences;
  EXPECT_EQ(differences, 0);
}

TEST_F(AcquireTest, StripModeHandsOverEveryStripAndNoImage) {
  const size_t native = NativePage(TWPT_RGB, 24);
  auto twain = OneSheet(TWPT_RGB, 24);
  twain->SetDIBHandleType(THDT_MEMPTR);
  EXPECT_EQ(twain->XferMech(), TWFX_MEMORY);
  std::vector<uint8_t> buffer;
  std::vector<uint8_t> received;
  int zeroCalls = 0;
  int bytesPerRow = 0;
  int rows = 0;
  twain->OnMemXferSize = [&](TTwnObject*, int minSize, int, int& bufSize, TTwnBitmapInfo*) {
    EXPECT_GT(minSize, 0);
    bufSize = 3 * minSize + 5; // a few rows at a time, not a whole number of them
  };
  twain->OnMemXferBuffer = [&](TTwnObject*, TTwnBitmapInfo* info, int perRow, int stripRows,
                               int size, void*& data) {
    EXPECT_NE(info, nullptr);
    if (size == 0) {
      ++zeroCalls;
      if (zeroCalls == 1) {
        buffer.assign(static_cast<size_t>(3 * 413 * 3 + 5), 0);
        data = buffer.data();
      }
      return;
    }
    bytesPerRow = perRow;
    rows += stripRows;
    received.insert(received.end(), static_cast<uint8_t*>(data),
                    static_cast<uint8_t*>(data) + size);
  };
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(zeroCalls, 2);
  EXPECT_EQ(Events.Images.size(), native + 1); // strips only
  EXPECT_EQ(bytesPerRow, 3 * kA6Width);
  ASSERT_EQ(rows, kA6Height);
  TDIB expected;
  View(expected, Events.Images[native].Handle);
  int differences = 0;
  for (int y = 0; y < rows; ++y)
    if (std::memcmp(received.data() + static_cast<size_t>(y) * static_cast<size_t>(bytesPerRow),
                    expected.ScanLine(y), static_cast<size_t>(bytesPerRow)) != 0)
      ++differences;
  EXPECT_EQ(differences, 0);
}

TEST_F(AcquireTest, FileTransferOfABMPReadBack) {
  const size_t native = NativePage(TWPT_GRAY, 8);
  auto twain = OneSheet(TWPT_GRAY, 8);
  twain->SetXferMech(TWFX_FILES);
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->SetFilename(Dir.File("scan.bmp"));
  ASSERT_TRUE(twain->ReturnHandle());
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == native + 2; }));
  const TRecordedImage& image = Events.Images[native + 1];
  ASSERT_NE(image.Handle, nullptr);
  EXPECT_TRUE(image.FilePath.empty());
  EXPECT_FALSE(FileExists(Dir.File("scan.bmp")));
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  View(page, image.Handle);
  ExpectSamePixels(page, expected);
  // Protocol 2.5 asked for TWFX_FILES2 first, which the scanner refuses.
  EXPECT_EQ(CountTrace("1 1 6 cap=259 con=5 type=4 items=3"), 1u);
  EXPECT_EQ(CountTrace("1 1 6 cap=259 con=5 type=4 items=1"), 1u);
}

TEST_F(AcquireTest, FileTransferWithoutReadBackNamesTheFile) {
  const size_t native = NativePage(TWPT_BW, 1);
  auto twain = OneSheet(TWPT_BW, 1);
  twain->SetXferMech(TWFX_FILES);
  twain->SetFilename(Dir.File("Page.TIF"));
  EXPECT_EQ(twain->FileFormat(), TWFF_TIFF);
  EXPECT_FALSE(twain->ReturnHandle());
  twain->SetFileFormats(FileFmtBit(TWFF_TIFF));
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == native + 2; }));
  const TRecordedImage& image = Events.Images[native + 1];
  EXPECT_EQ(image.Handle, nullptr);
  EXPECT_EQ(image.FilePath, Dir.File("page.tif"));
  // libtiff's own tool reads what the scanner wrote.
  const RunResult info = test::Run({"tiffinfo", image.FilePath});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Image Width: 413 Image Length: 583"), std::string::npos) << info.out;
  TDIB expected, page;
  View(expected, Events.Images[native].Handle);
  TFileStream file(image.FilePath, TFileStream::fmOpenRead);
  page.LoadFromStream(file);
  int differences = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x)
      if (page.PaletteEntry(page.GetPixel(x, y)) != expected.PaletteEntry(expected.GetPixel(x, y)))
        ++differences;
  EXPECT_EQ(differences, 0);
}

TEST_F(AcquireTest, HandlersRunWhileTheInterfaceThreadSitsInANestedLoop) {
  Configure("sheets=3");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1);
  bool insideDialog = false;
  std::vector<bool> seenInside;
  auto record = twain->OnImageReady;
  twain->OnImageReady = [&](TTwnObject* s, void* b, TTwnBitmapInfo* i, TW_HANDLE h,
                            const std::string& p) {
    seenInside.push_back(insideDialog);
    record(s, b, i, h, p);
  };
  // Another thread opens a "modal dialog" on the interface thread; the scan
  // starts from it, and its loop runs until all pages are in.
  std::atomic<bool> dialogDone{false};
  bool acquired = false;
  std::thread opener([&] {
    Dispatcher.Synchronize([&] {
      insideDialog = true;
      acquired = twain->Acquire("");
      Dispatcher.ProcessUntil([&] { return Events.Images.size() == 3; }, 60000);
      insideDialog = false;
    });
    dialogDone = true;
  });
  EXPECT_TRUE(WaitFor([&] { return dialogDone.load(); }));
  opener.join();
  EXPECT_TRUE(acquired);
  ASSERT_EQ(seenInside.size(), 3u);
  EXPECT_TRUE(seenInside[0] && seenInside[1] && seenInside[2]);
  EXPECT_TRUE(WaitClosed(*twain));
}

TEST_F(AcquireTest, TransferCountAndDuplexDecideThePages) {
  Configure("sheets=2");
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->ShowUI = false;
  SmallPages(*twain, TWPT_BW, 1, 50);
  auto negotiate = twain->OnNegotiation;
  twain->OnNegotiation = [&](TTwnObject* sender) {
    negotiate(sender);
    TTwnContainer* duplex = nullptr;
    ASSERT_EQ(twain->GetCapabilityMsg(CAP_DUPLEXENABLED, MSG_GET, duplex), TWRC_SUCCESS);
    duplex->SetCurrentValue(true);
    ASSERT_EQ(twain->SetCapabilityMsg(MSG_SET, -1, duplex), TWRC_SUCCESS);
  };
  ASSERT_TRUE(twain->Acquire(""));
  ASSERT_TRUE(WaitClosed(*twain));
  EXPECT_EQ(Events.Images.size(), 4u); // two sheets, both sides

  auto limited = MakeTwain();
  limited->SetDIBHandleType(THDT_DIBRAW);
  limited->ShowUI = false;
  EXPECT_FALSE(limited->SetXferCount(3)); // no source open: nothing to tell
  SmallPages(*limited, TWPT_BW, 1, 50);
  auto negotiateLimited = limited->OnNegotiation;
  limited->OnNegotiation = [&](TTwnObject* sender) {
    negotiateLimited(sender);
    EXPECT_TRUE(limited->SetXferCount(1));
  };
  ASSERT_TRUE(limited->Acquire(""));
  ASSERT_TRUE(WaitClosed(*limited));
  EXPECT_EQ(Events.Images.size(), 5u);
  // CAP_XFERCOUNT goes as the standard's TWTY_INT16 one value.
  EXPECT_EQ(CountTrace("1 1 6 cap=1 con=5 type=1 items=1"), 1u);
}

} // namespace
} // namespace test
