// PDF pages whose images are JBIG2 data. The segments are put together here
// after the JBIG2 standard: a page information segment and an immediate
// generic region coded with MMR, whose data is libtiff's Group 4 coding of
// the page.
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace {

void Put32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

// A segment header (no referred-to segments, page 1) and its data.
std::string Segment(uint32_t number, uint8_t type, const std::string& data) {
  std::string out;
  Put32(out, number);
  out += static_cast<char>(type);
  out += '\0';
  out += '\1';
  Put32(out, static_cast<uint32_t>(data.size()));
  return out + data;
}

std::string Jbig2Page(int width, int height, const std::vector<uint8_t>& group4) {
  std::string information;
  Put32(information, static_cast<uint32_t>(width));
  Put32(information, static_cast<uint32_t>(height));
  Put32(information, 0), Put32(information, 0);
  information += std::string("\0\0\0", 3); // flags, no striping
  std::string region;
  Put32(region, static_cast<uint32_t>(width));
  Put32(region, static_cast<uint32_t>(height));
  Put32(region, 0), Put32(region, 0);
  region += '\0'; // combined by OR
  region += '\1'; // MMR coding
  region.append(group4.begin(), group4.end());
  return Segment(0, 48, information) + Segment(1, 38, region);
}

} // namespace

TEST(PdfJbig2, GenericRegionPagesReadAsTheyWereCoded) {
  test::TempDir dir;
  TPdfGraphic page;
  test::RandomGraphic(page, 77, 40, ifBlackWhite, 6);
  test::WriteTiffPage(dir.File("g4.tif"), page, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
  const std::string data = Jbig2Page(77, 40, test::RawStrip(dir.File("g4.tif")));
  const std::string image = "/Width 77 /Height 40 /ColorSpace /DeviceGray /BitsPerComponent 1 "
                            "/Filter /JBIG2Decode";
  struct TCase {
    std::string extra;
    bool inverted;
  };
  for (const TCase& c : {TCase{"", false}, TCase{" /Decode [1 0]", true}}) {
    SCOPED_TRACE(c.extra);
    const std::string file = test::ImagePdf(image + c.extra, data);
    TMemoryStream stream(file.data(), file.size());
    TPdfGraphic read;
    ASSERT_EQ(test::ErrorOf([&] { read.LoadImage(stream, 1); }), "(no error)");
    ASSERT_EQ(read.ImageFormat(), ifBlackWhite);
    int differences = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 77; ++x)
        differences += (read.PixelIndex(x, y) != page.PixelIndex(x, y)) != c.inverted;
    EXPECT_EQ(differences, 0);
  }
  // Damaged data and globals that are not a stream raise our errors.
  const std::string cut = test::ImagePdf(image, data.substr(0, 20));
  TMemoryStream stream(cut.data(), cut.size());
  TPdfGraphic read;
  EXPECT_EQ(test::ErrorOf([&] { read.LoadImage(stream, 1); }).rfind("PDF ", 0), 0u);
  const std::string noGlobals =
      test::ImagePdf(image + " /DecodeParms << /JBIG2Globals 1 0 R >>", data);
  TMemoryStream other(noGlobals.data(), noGlobals.size());
  EXPECT_EQ(test::ErrorOf([&] { read.LoadImage(other, 1); }),
            "PDF file damaged: bad JBIG2 globals");
}
