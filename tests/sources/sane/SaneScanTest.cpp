// Pages from SANE's test backend through the engine, the manager and the
// bridge, compared with what scanimage gives for the same options.
#include "SaneFixture.h"

#include "sources/sane/SaneStatus.h"

#include <filesystem>
#include <fstream>
#include <sane/sane.h>
#include <tuple>

namespace test {
namespace {

struct TPixelCase {
  const char* Name;
  int PixelType, BitDepth, Dpi;
  std::vector<std::string> Options; // scanimage's
  int PageBits;                     // of the delivered page
  std::string Backend;              // test.conf lines beyond the defaults
  // Pixels the device leaves out of its reported line length while it sends
  // whole lines; scanimage writes such lines as if they held only those
  // pixels, so the page expected is its page without the loss, cut down.
  int Lost = 0;
};

const TPixelCase kPixelCases[] = {
    {"Bilevel75", TWPT_BW, 1, 75, {"--mode", "Gray", "--depth", "1", "--resolution", "75"}, 1, ""},
    {"Bilevel300",
     TWPT_BW,
     1,
     300,
     {"--mode", "Gray", "--depth", "1", "--resolution", "300"},
     1,
     ""},
    {"Grey75", TWPT_GRAY, 8, 75, {"--mode", "Gray", "--depth", "8", "--resolution", "75"}, 8, ""},
    {"Grey300",
     TWPT_GRAY,
     8,
     300,
     {"--mode", "Gray", "--depth", "8", "--resolution", "300"},
     8,
     ""},
    {"Colour75",
     TWPT_RGB,
     24,
     75,
     {"--mode", "Color", "--depth", "8", "--resolution", "75"},
     24,
     ""},
    {"Colour300",
     TWPT_RGB,
     24,
     300,
     {"--mode", "Color", "--depth", "8", "--resolution", "300"},
     24,
     ""},
    {"Grey16", TWPT_GRAY, 16, 75, {"--mode", "Gray", "--depth", "16", "--resolution", "75"}, 8, ""},
    {"ThreePassColour",
     TWPT_RGB,
     24,
     75,
     {"--mode", "Color", "--depth", "8", "--resolution", "75", "--three-pass=yes"},
     24,
     "three-pass true\nthree-pass-order GBR"},
    {"HandScannerOfUnknownLength",
     TWPT_GRAY,
     8,
     75,
     {"--mode", "Gray", "--depth", "8", "--resolution", "75", "--hand-scanner=yes"},
     8,
     "hand-scanner true"},
    // Lines longer than their pixels, parameters that change at the start,
    // samples in the other byte order, and the backend's own I/O modes.
    {"LinesLongerThanTheirPixels",
     TWPT_GRAY,
     8,
     75,
     {"--mode", "Gray", "--resolution", "75"},
     8,
     "ppl-loss 7",
     7},
    {"FuzzyParameters",
     TWPT_RGB,
     24,
     75,
     {"--mode", "Color", "--resolution", "75"},
     24,
     "fuzzy-parameters true"},
    {"OtherByteOrder16",
     TWPT_GRAY,
     16,
     75,
     {"--mode", "Gray", "--depth", "16", "--resolution", "75"},
     8,
     "invert-endianess true"},
    {"NonBlocking",
     TWPT_GRAY,
     8,
     75,
     {"--mode", "Gray", "--resolution", "75"},
     8,
     "non-blocking true"},
    {"SelectFd",
     TWPT_BW,
     1,
     75,
     {"--mode", "Gray", "--depth", "1", "--resolution", "75"},
     1,
     "select-fd true"},
};

class SanePixelTest : public SaneTest,
                      public ::testing::WithParamInterface<std::tuple<TPixelCase, TTwnXferType>> {};

TEST_P(SanePixelTest, ThePageEqualsScanimagesPage) {
  const auto& [pixels, mechanism] = GetParam();
  Backend(pixels.Backend);
  auto twain = MakeTwain();
  twain->ShowUI = false;
  twain->SetXferMech(mechanism);
  twain->SetDIBHandleType(THDT_DIBRAW);
  // A file transfer's BMP file is read back into a page.
  twain->SetFilename(Dir.File("page.bmp"));
  twain->SetFileFormat(TWFF_BMP);
  twain->SetReturnHandle(true);
  twain->OnNegotiation = [&](TTwnObject*) {
    EXPECT_EQ(Set(*twain, ICAP_PIXELTYPE, pixels.PixelType), TWRC_SUCCESS);
    EXPECT_EQ(Set(*twain, ICAP_BITDEPTH, pixels.BitDepth), TWRC_SUCCESS);
    EXPECT_EQ(Set(*twain, ICAP_XRESOLUTION, pixels.Dpi), TWRC_SUCCESS);
    EXPECT_EQ(Set(*twain, ICAP_YRESOLUTION, pixels.Dpi), TWRC_SUCCESS);
  };
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  ASSERT_TRUE(WaitFor([&] { return Events.Images.size() == 1; }));
  ASSERT_TRUE(WaitClosed(*twain));
  // The engine asks for the second file mechanism first; this source has the first only.
  for (const TRecordedFailure& failure : Events.Failures)
    if (!(mechanism == TWFX_FILES && failure.CAP == ICAP_XFERMECH))
      ADD_FAILURE() << "DAT " << failure.DAT << " MSG " << failure.MSG << " CAP " << failure.CAP
                    << " condition " << failure.Status;
  ASSERT_NE(Events.Images[0].Handle, nullptr);

  if (pixels.Lost > 0) Backend("");
  const TPnmImage expected = ScanImage(pixels.Options);
  TDIB page;
  View(page, Events.Images[0].Handle);
  ASSERT_EQ(page.BitCount(), pixels.PageBits);
  ASSERT_EQ(page.Width() + pixels.Lost, expected.Width);
  ASSERT_EQ(page.Height(), expected.Height);
  EXPECT_EQ(page.XResolution(), pixels.Dpi);
  if (pixels.PageBits == 1) {
    EXPECT_EQ(page.PaletteEntry(0), PaletteColor(0, 0, 0));
    EXPECT_EQ(page.PaletteEntry(1), PaletteColor(255, 255, 255));
  }
  int differences = 0, kinds = 0;
  std::vector<bool> seen(256, false);
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const int pixel = page.GetPixel(x, y);
      if (pixel != expected.Pixel(x, y)) ++differences;
      if (!seen[pixel & 0xFF]) ++kinds, seen[pixel & 0xFF] = true;
    }
  EXPECT_EQ(differences, 0);
  EXPECT_GT(kinds, 1); // the test picture is no blank page
}

INSTANTIATE_TEST_SUITE_P(Pages, SanePixelTest,
                         ::testing::Combine(::testing::ValuesIn(kPixelCases),
                                            ::testing::Values(TWFX_NATIVE, TWFX_MEMORY,
                                                              TWFX_FILES)),
                         [](const auto& test) {
                           return std::string(std::get<0>(test.param).Name) +
                                  (std::get<1>(test.param) == TWFX_NATIVE   ? "Native"
                                   : std::get<1>(test.param) == TWFX_MEMORY ? "Memory"
                                                                            : "File");
                         });

class SaneBatchTest : public SaneTest {
protected:
  // Scans a batch of small grey pages from the feeder or the flatbed, count
  // pages at most (0: no limit); the pages delivered.
  size_t Batch(bool feeder, int count) {
    auto twain = MakeTwain();
    twain->ShowUI = false;
    twain->SetDIBHandleType(THDT_DIBRAW);
    TAcqTWAIN& engine = *twain;
    twain->OnNegotiation = [&engine, feeder, count](TTwnObject*) {
      EXPECT_EQ(Set(engine, ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
      EXPECT_EQ(Set(engine, ICAP_XRESOLUTION, 25), TWRC_SUCCESS);
      EXPECT_EQ(Set(engine, CAP_FEEDERENABLED, feeder), TWRC_SUCCESS);
      if (count != 0) {
        EXPECT_TRUE(engine.SetXferCount(count));
      }
    };
    EXPECT_TRUE(twain->Acquire(kTestDevice));
    EXPECT_TRUE(WaitClosed(*twain));
    return Events.Images.size();
  }
};

TEST_F(SaneBatchTest, TheFeederDeliversItsTenSheetsThenTheScanEnds) {
  EXPECT_EQ(Batch(true, 0), 10u);
  EXPECT_TRUE(Events.Failures.empty());
  for (const TRecordedImage& image : Events.Images) EXPECT_NE(image.Handle, nullptr);
}

TEST_F(SaneBatchTest, ATransferCountOfThreeStopsAfterThree) {
  EXPECT_EQ(Batch(true, 3), 3u);
  EXPECT_TRUE(Events.Failures.empty());
}

TEST_F(SaneBatchTest, TheFlatbedGivesOnePage) {
  EXPECT_EQ(Batch(false, 0), 1u);
  EXPECT_TRUE(Events.Failures.empty());
}

struct TFaultCase {
  const char* Status;
  uint16_t Condition; // 0: the page is cancelled without a failure
};

const TFaultCase kFaultCases[] = {
    {"SANE_STATUS_JAMMED", TWCC_PAPERJAM},
    {"SANE_STATUS_COVER_OPEN", TWCC_INTERLOCK},
    {"SANE_STATUS_IO_ERROR", TWCC_CHECKDEVICEONLINE},
    {"SANE_STATUS_NO_MEM", TWCC_LOWMEMORY},
    {"SANE_STATUS_DEVICE_BUSY", TWCC_MAXCONNECTIONS},
    {"SANE_STATUS_ACCESS_DENIED", TWCC_DENIED},
    {"SANE_STATUS_INVAL", TWCC_BADVALUE},
    {"SANE_STATUS_UNSUPPORTED", TWCC_OPERATIONERROR},
    {"SANE_STATUS_NO_DOCS", TWCC_NOMEDIA},
    {"SANE_STATUS_CANCELLED", 0},
};

class SaneFaultTest : public SaneTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(SaneFaultTest, AReadFailureEndsInItsTwainCode) {
  Backend(std::string("read-status-code \"") + GetParam().Status + "\"");
  auto twain = MakeTwain();
  twain->ShowUI = false;
  twain->SetDIBHandleType(THDT_DIBRAW);
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  ASSERT_TRUE(WaitClosed(*twain));
  ASSERT_EQ(Events.Images.size(), 1u);
  EXPECT_EQ(Events.Images[0].Handle, nullptr);
  if (GetParam().Condition == 0) {
    EXPECT_TRUE(Events.Failures.empty());
    return;
  }
  ASSERT_EQ(Events.Failures.size(), 1u);
  EXPECT_EQ(Events.Failures[0].DAT, DAT_IMAGENATIVEXFER);
  EXPECT_EQ(Events.Failures[0].Error, TWRC_FAILURE);
  EXPECT_EQ(Events.Failures[0].Status, GetParam().Condition);
}

INSTANTIATE_TEST_SUITE_P(Statuses, SaneFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& test) { return std::string(test.param.Status + 12); });

TEST_F(SaneTest, EveryStatusHasOneTwainOutcome) {
  EXPECT_EQ(TwainOutcome(SANE_STATUS_GOOD).Result, TWRC_SUCCESS);
  EXPECT_EQ(TwainOutcome(SANE_STATUS_CANCELLED).Result, TWRC_CANCEL);
  EXPECT_EQ(TwainOutcome(SANE_STATUS_NO_DOCS).Condition, TWCC_NOMEDIA);
  EXPECT_EQ(TwainOutcome(SANE_STATUS_EOF).Condition, TWCC_BUMMER);
}

TEST_F(SaneTest, CancellingDuringASlowReadEndsTheScan) {
  // Every buffer of a large page waits a fifth of a second.
  Backend("read-delay true\nread-delay-duration 200000\nread-limit true\nread-limit-size 4096");
  auto twain = MakeTwain();
  twain->ShowUI = false;
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->OnNegotiation = [&](TTwnObject*) {
    EXPECT_EQ(Set(*twain, ICAP_PIXELTYPE, TWPT_RGB), TWRC_SUCCESS);
    EXPECT_EQ(Set(*twain, ICAP_XRESOLUTION, 300), TWRC_SUCCESS);
  };
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  ASSERT_TRUE(WaitFor([&] { return twain->SourceEnabled(); }));
  twain->DisableSource();
  EXPECT_FALSE(twain->SourceEnabled());
  EXPECT_TRUE(twain->CloseSource());
  EXPECT_TRUE(twain->CloseSourceMgr());
  EXPECT_TRUE(Events.Images.empty());
  EXPECT_TRUE(Events.Failures.empty());
}

// The source's own window: a scripted stand-in for its program answers.
struct TWindowCase {
  const char* Name;
  int Status;      // the stand-in's exit status, -1 when there is no program
  size_t Pages;    // delivered
  int CloseSource; // close requests the application saw
};
const TWindowCase kWindowCases[] = {
    {"ScanTakesTheChosenValues", 0, 1, 1},
    {"CancelScansNothing", 1, 0, 1},
    {"AMissingProgramScansAsSet", -1, 1, 0},
};
class SaneWindowTest : public SaneTest, public ::testing::WithParamInterface<TWindowCase> {};

TEST_P(SaneWindowTest, TheSessionEndsAsTheWindowDid) {
  const TWindowCase& window = GetParam();
  // In a graphical session, the stand-in keeps what it was given, answers and exits.
  setenv("DISPLAY", ":99", 1);
  if (window.Status >= 0) {
    std::ofstream(Dir.File("options.sh"))
        << "#!/bin/sh\ncat > " << Dir.File("given.txt")
        << "\nprintf 'mode\\tColor\\nresolution\\t50\\nbr-x\\t100\\nbr-y\\t80\\n'\nexit "
        << window.Status << "\n";
    std::filesystem::permissions(Dir.File("options.sh"), std::filesystem::perms::owner_all);
  }
  auto twain = MakeTwain();
  twain->SetDIBHandleType(THDT_DIBRAW);
  twain->SetReturnHandle(true);
  twain->DisableAfterAcquire = window.Status != 0; // a scan: enabled until the source asks
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  if (window.Status == 0) {
    ASSERT_TRUE(WaitFor([&] { return Events.CloseSource == 1; }));
    EXPECT_TRUE(twain->CloseSource() && twain->CloseSourceMgr());
  }
  ASSERT_TRUE(WaitClosed(*twain));
  ASSERT_EQ(Events.Images.size(), window.Pages);
  EXPECT_EQ(Events.CloseSource, window.CloseSource);
  EXPECT_TRUE(Events.Failures.empty());
  if (window.Status != 0) return;
  // The page is the one of the chosen values.
  const TPnmImage chosen =
      ScanImage({"--mode", "Color", "--resolution", "50", "-x", "100", "-y", "80"});
  TDIB page;
  View(page, Events.Images[0].Handle);
  EXPECT_EQ(std::tuple(page.BitCount(), page.Width(), page.Height()),
            std::tuple(24, chosen.Width, chosen.Height));
  // The window was given each well-known option with its choices.
  const std::vector<uint8_t> bytes = ReadFile(Dir.File("given.txt"));
  const std::string given(bytes.begin(), bytes.end());
  for (const char* line :
       {"mode\tScan mode\tstrings\tGray\tGray\tColor\n", "\nresolution\tScan resolution\tnumbers\t",
        "\ndepth\t", "\ntl-x\t", "\ntl-y\t", "\nbr-x\t", "\nbr-y\t"})
    EXPECT_NE(given.find(line), std::string::npos) << line << " in\n" << given;
}
INSTANTIATE_TEST_SUITE_P(Answers, SaneWindowTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto& test) { return std::string(test.param.Name); });

} // namespace
} // namespace test
