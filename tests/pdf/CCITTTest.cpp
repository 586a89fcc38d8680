#include "PdfTestSupport.h"
#include "ReferenceFaxCoder.h"

#include "core/MemoryStream.h"
#include "pdf/CCITTCompression.h"
#include "raster/PageGenerator.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::vector<uint8_t> Code(const TDIB& page, TCCITTMode mode) {
  TMemoryStream out;
  TCCITTCompression::CompressBitmap(page, out, mode);
  return out.Bytes();
}

// The coded bits as a string of '0' and '1'.
std::string Bits(const std::vector<uint8_t>& bytes) {
  std::string bits;
  for (uint8_t byte : bytes)
    for (int i = 7; i >= 0; --i) bits += ((byte >> i) & 1) ? '1' : '0';
  return bits;
}

// The expected bits padded with 0 to whole bytes.
std::string Padded(std::string bits) {
  while (bits.size() % 8 != 0) bits += '0';
  return bits;
}

void WhitePage(TDIB& page, int width, int height) {
  page.NewImage(width, height, pf1bit, 300, 300);
  page.FillBits(0xFF);
}

void ExpectLibtiffDecodes(const TDIB& page, TCCITTMode mode) {
  const std::vector<uint8_t> coded = Code(page, mode);
  const std::vector<uint8_t> rows = pdftest::DecodeWithLibtiff(coded, page.Width(), page.Height(), mode);
  EXPECT_EQ(pdftest::FirstDifferentRow(page, rows), -1)
      << "mode " << mode << ", " << page.Width() << " x " << page.Height();
}

} // namespace

TEST(CCITTCompression, CodesKnownRowsBitExactly) {
  TDIB page;
  // A white row of 2550 pixels: make-up 2496 and terminating 54.
  WhitePage(page, 2550, 1);
  EXPECT_EQ(Bits(Code(page, cmGroup3OneD)), Padded("000000011110" "00100101"));
  // A white run of 5000: 2560, then 2432, then the terminating code for 8.
  WhitePage(page, 5000, 1);
  EXPECT_EQ(Bits(Code(page, cmGroup3OneD)), Padded("000000011111" "000000011101" "10011"));
  // A row that begins black starts with the white code for 0: 3 black, 5 white.
  WhitePage(page, 8, 1);
  for (int x = 0; x < 3; ++x) page.SetPixel(x, 0, 0);
  EXPECT_EQ(Bits(Code(page, cmGroup3OneD)), Padded("00110101" "10" "1100"));
  // A black run of 2623 is the last one coded with one make-up code.
  WhitePage(page, 2623, 1);
  for (int x = 0; x < 2623; ++x) page.SetPixel(x, 0, 0);
  EXPECT_EQ(Bits(Code(page, cmGroup3OneD)),
            Padded("00110101" "000000011111" "000001100111"));
}

TEST(CCITTCompression, OnePixelPageInGroup4) {
  TDIB page;
  WhitePage(page, 1, 1);
  EXPECT_EQ(Code(page, cmGroup4), (std::vector<uint8_t>{0x80, 0x08, 0x00, 0x80}));
  // Black: a1 = 0 lies one pixel left of b1 = 1 (the width): VL1; then the
  // end of the row, a1 = b1 = 1: V0.
  page.SetPixel(0, 0, 0);
  EXPECT_EQ(Bits(Code(page, cmGroup4)), Padded("010" "1" "000000000001" "000000000001"));
}

TEST(CCITTCompression, Group4EndsWithTwoEndOfLineCodesAndZeroFill) {
  TDIB page;
  pdftest::RandomRunsPage(page, 37, 11, 5, 6);
  const std::string bits = Bits(Code(page, cmGroup4));
  const size_t end = bits.find_last_of('1') + 1;
  ASSERT_GE(end, 24u);
  EXPECT_EQ(bits.substr(end - 24, 24), "000000000001000000000001");
  EXPECT_LT(bits.size() - end, 8u);
}

TEST(CCITTCompression, Group3TwoDStartsEveryRowWithEndOfLineAndTagBit) {
  TDIB page;
  WhitePage(page, 16, 3);
  // Every row: EOL, tag 0, then V0 (a1 = b1 = the width) against the white row above.
  EXPECT_EQ(Bits(Code(page, cmGroup3TwoD)),
            Padded("000000000001" "0" "1" "000000000001" "0" "1" "000000000001" "0" "1"));
  // The first row is coded against an all-white row: a row starting black
  // gives a1 = 0 and b1 = the width, far apart, so horizontal mode.
  page.SetPixel(0, 0, 0);
  const std::string bits = Bits(Code(page, cmGroup3TwoD));
  EXPECT_EQ(bits.substr(0, 13 + 3 + 8 + 3 + 4), "000000000001" "0" "001" "00110101" "010" "1" "000");
}

TEST(CCITTCompression, BitsBeyondTheWidthAreNeverLookedAt) {
  for (TCCITTMode mode : {cmGroup3OneD, cmGroup3TwoD, cmGroup4}) {
    TDIB page;
    pdftest::RandomRunsPage(page, 61, 40, 9, 5);
    const std::vector<uint8_t> before = Code(page, mode);
    for (int y = 0; y < page.Height(); ++y) {
      uint8_t* row = page.ScanLine(y);
      row[7] ^= 0x07; // pixels 61 to 63 do not exist
      for (int i = 8; i < page.Stride(); ++i) row[i] = static_cast<uint8_t>(~row[i]);
    }
    EXPECT_EQ(Code(page, mode), before) << "mode " << mode;
  }
}

TEST(CCITTCompression, RefusesWhatItCannotCode) {
  TDIB colour;
  colour.NewImage(4, 4, pf24bit, 300, 300);
  TMemoryStream out;
  try {
    TCCITTCompression::CompressBitmap(colour, out, cmGroup4);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Not b/w image.");
  }
  TCCITTCompression coder(cmGroup3OneD);
  coder.SetMode(cmGroup4);
  EXPECT_EQ(coder.Mode(), cmGroup4);
  TDIB page;
  WhitePage(page, 4, 4);
  try {
    coder.Compress(page);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Not set output stream.");
  }
  TDIB empty;
  empty.NewImage(0, 0, pf1bit, 300, 300);
  coder.SetOutputStream(&out);
  coder.Compress(empty);
  EXPECT_EQ(out.Size(), 0);
}

TEST(CCITTCompression, LibtiffDecodesSpecialPages) {
  for (TCCITTMode mode : {cmGroup3TwoD, cmGroup4}) {
    TDIB page;
    WhitePage(page, 1, 1);
    ExpectLibtiffDecodes(page, mode);
    page.SetPixel(0, 0, 0);
    ExpectLibtiffDecodes(page, mode);
    // All white and all black, wider than every make-up code.
    WhitePage(page, 5000, 3);
    ExpectLibtiffDecodes(page, mode);
    page.FillBits(0x00);
    ExpectLibtiffDecodes(page, mode);
    // Alternating pixels, shifted on every row, and a checkerboard of 1-pixel runs.
    WhitePage(page, 1001, 6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 1001; ++x) page.SetPixel(x, y, (x + y) % 2);
    ExpectLibtiffDecodes(page, mode);
    // Rows starting black, white and black in turn, with runs of 2561 to 4999.
    WhitePage(page, 4999, 8);
    for (int y = 0; y < 8; y += 2)
      for (int x = 0; x < 2561 + y * 300; ++x) page.SetPixel(x, y, 0);
    ExpectLibtiffDecodes(page, mode);
  }
}

TEST(CCITTCompression, MatchesThePlainCoderBitForBit) {
  std::mt19937 random(77);
  std::uniform_int_distribution<int> widths(1, 3000);
  std::uniform_int_distribution<int> means(1, 200);
  for (int i = 0; i < 40; ++i) {
    TDIB page;
    pdftest::RandomRunsPage(page, i < 10 ? 1 + i : widths(random), 1 + i % 7, 500 + i, means(random));
    for (TCCITTMode mode : {cmGroup3OneD, cmGroup3TwoD, cmGroup4})
      ASSERT_EQ(Code(page, mode), pdftest::ReferenceFaxCode(page, mode))
          << "mode " << mode << ", width " << page.Width();
  }
  TDIB text;
  TPageSpec layout;
  layout.Width = 600;
  layout.Height = 400;
  layout.Dpi = 100;
  layout.SkewDegrees = -2;
  GeneratePage(text, layout);
  for (TCCITTMode mode : {cmGroup3OneD, cmGroup3TwoD, cmGroup4})
    EXPECT_EQ(Code(text, mode), pdftest::ReferenceFaxCode(text, mode)) << "mode " << mode;
}

TEST(CCITTCompression, LibtiffDecodesRandomPagesOfRandomWidths) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> widths(1, 5000);
  std::uniform_int_distribution<int> heights(1, 40);
  std::uniform_int_distribution<int> means(1, 300);
  for (int i = 0; i < 60; ++i) {
    const int width = i < 8 ? 1 + i : widths(random); // the smallest widths too
    TDIB page;
    pdftest::RandomRunsPage(page, width, heights(random), 1000 + i, means(random));
    ExpectLibtiffDecodes(page, cmGroup4);
    ExpectLibtiffDecodes(page, cmGroup3TwoD);
  }
}

TEST(CCITTCompression, Group4CodesAsLibtiffDoes) {
  TDIB page;
  GeneratePage(page, TPageSpec{});
  EXPECT_TRUE(Code(page, cmGroup4) == pdftest::LibtiffGroup4(page));
  pdftest::RandomRunsPage(page, 3001, 50, 12, 40);
  EXPECT_TRUE(Code(page, cmGroup4) == pdftest::LibtiffGroup4(page));
}

TEST(CCITTCompression, LibtiffDecodesGeneratedTextPages) {
  for (double skew : {0.0, 1.5}) {
    TDIB page;
    TPageSpec layout;
    layout.Width = 1275;
    layout.Height = 1650;
    layout.Dpi = 150;
    layout.SkewDegrees = skew;
    layout.Specks = true;
    GeneratePage(page, layout);
    ExpectLibtiffDecodes(page, cmGroup4);
    ExpectLibtiffDecodes(page, cmGroup3TwoD);
  }
}
