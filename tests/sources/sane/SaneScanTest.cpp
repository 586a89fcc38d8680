// Pages from SANE's test backend through our engine, compared with scanimage's.
#include "SaneFixture.h"

#include <filesystem>

namespace test {
namespace {

struct TPixelCase {
  const char* Name;
  int PixelType, BitDepth, Dpi;
  const char* Backend; // test.conf lines beyond the defaults
};
const TPixelCase kPixelCases[] = {
    {"Bilevel75", TWPT_BW, 1, 75, ""},
    {"Bilevel300", TWPT_BW, 1, 300, ""},
    {"Grey75", TWPT_GRAY, 8, 75, ""},
    {"Grey300", TWPT_GRAY, 8, 300, ""},
    {"Colour75", TWPT_RGB, 24, 75, ""},
    {"Colour300", TWPT_RGB, 24, 300, ""},
    {"Grey16", TWPT_GRAY, 16, 75, ""},
    {"ThreePassColour", TWPT_RGB, 24, 75, "three-pass true\nthree-pass-order GBR"},
    {"HandScannerOfUnknownLength", TWPT_GRAY, 8, 75, "hand-scanner true"},
    {"FuzzyParameters", TWPT_RGB, 24, 75, "fuzzy-parameters true"},
    {"OtherByteOrder16", TWPT_GRAY, 16, 75, "invert-endianess true"},
    {"NonBlocking", TWPT_GRAY, 8, 75, "non-blocking true"},
    {"SelectFd", TWPT_BW, 1, 75, "select-fd true"},
};
class SanePixelTest : public SaneTest,
                      public ::testing::WithParamInterface<std::tuple<TPixelCase, TTwnXferType>> {};

TEST_P(SanePixelTest, ThePageEqualsScanimagesPage) {
  const auto& [pixels, mechanism] = GetParam();
  Backend(pixels.Backend);
  auto twain = Scanner();
  twain->SetXferMech(mechanism);
  if (mechanism == TWFX_FILES) { // the BMP file read back into a page
    twain->SetFilename(Dir.File("page.bmp"));
    twain->SetFileFormat(TWFF_BMP);
    twain->SetReturnHandle(true);
  }
  SmallPages(*twain, pixels.PixelType, pixels.BitDepth, pixels.Dpi); // A6
  ASSERT_TRUE(twain->Acquire(kTestDevice) && WaitClosed(*twain));
  ASSERT_EQ(Events.Images.size(), 1u); // the flatbed's one page
  // The engine asks for the second file mechanism first; this source has the first only.
  for (const TRecordedFailure& failure : Events.Failures)
    EXPECT_TRUE(mechanism == TWFX_FILES && failure.CAP == ICAP_XFERMECH) << failure.DAT;
  const TiffLook expected =
      ScanImage({"--mode", pixels.PixelType == TWPT_RGB ? "Color" : "Gray", "--depth",
                 std::to_string(pixels.BitDepth == 24 ? 8 : pixels.BitDepth), "--resolution",
                 std::to_string(pixels.Dpi), "-x", "105", "-y", "148"});
  TDIB page;
  const std::vector<uint32_t> looks = PageLooks(0, page);
  // 16-bit samples by their high byte, as libtiff reads them.
  EXPECT_EQ(page.BitCount(), pixels.BitDepth == 16 ? 8 : pixels.BitDepth);
  ASSERT_EQ(std::pair(page.Width(), page.Height()), std::pair(expected.width, expected.height));
  EXPECT_EQ(CountDifferences(looks, expected.pixels, 0), 0);
}
INSTANTIATE_TEST_SUITE_P(Pages, SanePixelTest,
                         ::testing::Combine(::testing::ValuesIn(kPixelCases),
                                            ::testing::Values(TWFX_NATIVE, TWFX_MEMORY,
                                                              TWFX_FILES)),
                         [](const auto& test) {
                           const TTwnXferType mechanism = std::get<1>(test.param);
                           return std::string(std::get<0>(test.param).Name) +
                                  (mechanism == TWFX_NATIVE   ? "Native"
                                   : mechanism == TWFX_MEMORY ? "Memory"
                                                              : "File");
                         });

struct TSessionCase {
  const char* Name; // on the flatbed, the read status the test device gives
  int Count;        // CAP_XFERCOUNT with the feeder, 0 for the flatbed
  size_t Pages;     // delivered, each with its page unless the read failed
  int Condition;    // of the one failure, 0 for none
};
const TSessionCase kSessionCases[] = {
    {"FeederTenSheetsThenNoDocuments", -1, 10, 0},
    {"FeederCountOfThree", 3, 3, 0},
    {"JAMMED", 0, 1, TWCC_PAPERJAM},
    {"COVER_OPEN", 0, 1, TWCC_INTERLOCK},
    {"IO_ERROR", 0, 1, TWCC_CHECKDEVICEONLINE},
    {"NO_MEM", 0, 1, TWCC_LOWMEMORY},
    {"DEVICE_BUSY", 0, 1, TWCC_MAXCONNECTIONS},
    {"ACCESS_DENIED", 0, 1, TWCC_DENIED},
    {"INVAL", 0, 1, TWCC_BADVALUE},
    {"UNSUPPORTED", 0, 1, TWCC_OPERATIONERROR},
    {"NO_DOCS", 0, 1, TWCC_NOMEDIA},
    {"CANCELLED", 0, 1, 0},
};
class SaneSessionTest : public SaneTest, public ::testing::WithParamInterface<TSessionCase> {};

TEST_P(SaneSessionTest, TheSessionEndsInItsTwainCodes) {
  const TSessionCase& session = GetParam();
  const bool feeder = session.Count != 0;
  if (!feeder) Backend(std::string("read-status-code \"SANE_STATUS_") + session.Name + "\"");
  auto twain = Scanner();
  twain->OnNegotiation = [&](TTwnObject*) {
    EXPECT_EQ(Set(*twain, CAP_FEEDERENABLED, feeder), TWRC_SUCCESS);
    EXPECT_TRUE(!feeder || twain->SetXferCount(session.Count));
  };
  ASSERT_TRUE(twain->Acquire(kTestDevice) && WaitClosed(*twain));
  EXPECT_EQ(Events.Images.size(), session.Pages);
  for (const TRecordedImage& image : Events.Images) EXPECT_EQ(image.Handle != nullptr, feeder);
  ASSERT_EQ(Events.Failures.size(), session.Condition == 0 ? 0u : 1u);
  for (const TRecordedFailure& failure : Events.Failures)
    EXPECT_EQ(std::tuple(failure.DAT, failure.Error, failure.Status),
              std::tuple(uint16_t{DAT_IMAGENATIVEXFER}, int{TWRC_FAILURE}, session.Condition));
}
INSTANTIATE_TEST_SUITE_P(Sessions, SaneSessionTest, ::testing::ValuesIn(kSessionCases),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(SaneTest, CancellingDuringASlowReadEndsTheScan) {
  // Every 4096-byte buffer of the page waits a fifth of a second.
  Backend("read-delay true\nread-delay-duration 200000\nread-limit true\nread-limit-size 4096");
  auto twain = Scanner();
  ASSERT_TRUE(twain->Acquire(kTestDevice));
  ASSERT_TRUE(WaitFor([&] { return twain->SourceEnabled(); }));
  twain->DisableSource();
  EXPECT_TRUE(twain->CloseSource() && twain->CloseSourceMgr());
  EXPECT_TRUE(Events.Images.empty() && Events.Failures.empty());
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
  auto twain = Scanner(true);
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
  const TiffLook chosen =
      ScanImage({"--mode", "Color", "--resolution", "50", "-x", "100", "-y", "80"});
  TDIB page;
  EXPECT_TRUE(PageLooks(0, page) == chosen.pixels);
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
