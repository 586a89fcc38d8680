#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "pdf/PDFException.h"

#include <gtest/gtest.h>

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::string ShowObject(const std::string& path, int number) {
  return test::Tool({"qpdf", "--show-object=" + std::to_string(number), path}).out;
}

const std::string kProfile = "colour profile bytes, kept as they are";
const std::string kGlobals = std::string("coding tables\0\x01\x02", 16);

// Four pages of 4 x 2 pixels: an RGB image in an ICC colour space on a page
// cropped to its middle, a second image in the same ICC space, a calibrated
// grey image, and a JBIG2 image with a stream of global coding tables.
std::string PagesReferringToStreams() {
  std::vector<std::string> bodies = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 >>"};
  for (int i = 0; i < 4; ++i)
    bodies.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 4 2] " +
                     std::string(i == 0 ? "/CropBox [1 0 3 2] " : "") +
                     "/Resources << /XObject << /Im0 " + std::to_string(11 + i) +
                     " 0 R >> >> /Contents " + std::to_string(7 + i) + " 0 R >>");
  for (int i = 0; i < 4; ++i) bodies.push_back(test::StreamObject("", "q 4 0 0 2 0 0 cm /Im0 Do Q"));
  const std::string image = "/Type /XObject /Subtype /Image /Width 4 /Height 2 ";
  bodies.push_back(test::StreamObject(image + "/ColorSpace [/ICCBased 15 0 R] /BitsPerComponent 8",
                                      std::string(24, '\x40')));
  bodies.push_back(test::StreamObject(image + "/ColorSpace [/ICCBased 15 0 R] /BitsPerComponent 8",
                                      std::string(24, '\x90')));
  bodies.push_back(test::StreamObject(
      image + "/ColorSpace [/CalGray << /WhitePoint [0.9505 1 1.089] /Gamma 2.2 >>] "
              "/BitsPerComponent 8",
      "abcdefgh"));
  bodies.push_back(test::StreamObject(image + "/ColorSpace /DeviceGray /BitsPerComponent 1 "
                                              "/Filter /JBIG2Decode /DecodeParms "
                                              "<< /JBIG2Globals 16 0 R >>",
                                      "page data"));
  bodies.push_back(test::StreamObject("/N 3 /Alternate /DeviceRGB", kProfile));
  bodies.push_back(test::StreamObject("", kGlobals));
  return test::BuildPdf(bodies, "/Root 1 0 R");
}

TEST(PdfAppendCopy, StreamsTheImagesReferToAreCopiedOnceWithTheirBytes) {
  test::TempDir dir;
  const std::string path = dir.File("streams.pdf");
  test::WriteText(path, PagesReferringToStreams());
  TDibGraphic before;
  test::LoadPdfPage(path, 1, before);

  TPdfGraphic fifth;
  test::RandomGraphic(fifth, 9, 7, ifBlackWhite, 5);
  fifth.SetResolution(72, 72);
  fifth.AppendToFile(path);

  EXPECT_EQ(test::Tool({"qpdf", "--check", path}).status, 0);
  // Images 7, 11, 15, 19 and 23; the two streams they refer to come next.
  EXPECT_NE(ShowObject(path, 7).find("/ColorSpace [ /ICCBased 24 0 R ]"), std::string::npos);
  EXPECT_NE(ShowObject(path, 11).find("/ColorSpace [ /ICCBased 24 0 R ]"), std::string::npos);
  EXPECT_EQ(Text(test::RawStream(path, 24)), kProfile);
  EXPECT_NE(ShowObject(path, 24).find("/Alternate /DeviceRGB"), std::string::npos);
  const std::string calibrated = ShowObject(path, 15);
  EXPECT_NE(calibrated.find("/CalGray"), std::string::npos) << calibrated;
  EXPECT_NE(calibrated.find("/Gamma 2.2"), std::string::npos) << calibrated;
  EXPECT_NE(ShowObject(path, 19).find("/JBIG2Globals 25 0 R"), std::string::npos);
  EXPECT_EQ(Text(test::RawStream(path, 25)), kGlobals);
  EXPECT_EQ(Text(test::RawStream(path, 19)), "page data");

  // The first page keeps its crop box, so viewers show it as before.
  EXPECT_NE(ShowObject(path, 4).find("/CropBox [ 1 0 3 2 ]"), std::string::npos);
  const std::string sizes = test::Tool({"pdfinfo", "-f", "1", "-l", "5", path}).out;
  EXPECT_NE(sizes.find("Page    1 size:  2 x 2 pts"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("Page    2 size:  4 x 2 pts"), std::string::npos) << sizes;

  TDibGraphic after;
  test::LoadPdfPage(path, 1, after);
  EXPECT_TRUE(test::SameLook(after, before));
  TDibGraphic last;
  test::LoadPdfPage(path, 5, last);
  EXPECT_TRUE(test::SameLook(last, fifth));
}

TEST(PdfAppendCopy, ReferencesThatFanOutEndInAnErrorAndLeaveTheFile) {
  // The image's coding parameters are a chain of arrays, each holding two
  // references to the next: 2^30 values once followed, in a file of 2 KB.
  constexpr int kLinks = 30;
  std::vector<std::string> bodies = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 2 1] /Resources << /XObject << /Im0 5 0 R "
      ">> >> /Contents 4 0 R >>",
      test::StreamObject("", "q 2 0 0 1 0 0 cm /Im0 Do Q"),
      test::StreamObject("/Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace "
                         "/DeviceGray /BitsPerComponent 8 /DecodeParms 6 0 R",
                         "\x10\x20")};
  for (int i = 0; i < kLinks; ++i) {
    const std::string next = std::to_string(7 + i) + " 0 R";
    bodies.push_back(i + 1 < kLinks ? "[" + next + " " + next + "]" : "null");
  }
  test::TempDir dir;
  const std::string path = dir.File("fan.pdf");
  test::WriteText(path, test::BuildPdf(bodies, "/Root 1 0 R"));
  const std::vector<uint8_t> before = test::ReadFile(path);

  TDibGraphic page;
  test::LoadPdfPage(path, 1, page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x101010, 0x202020}));
  TPdfGraphic added;
  test::RandomGraphic(added, 3, 3, ifBlackWhite, 1);
  try {
    added.AppendToFile(path);
    ADD_FAILURE() << "the append went through";
  } catch (const EPDFReadError& error) {
    EXPECT_STREQ(error.what(), "PDF file damaged: objects refer to too many others");
  }
  EXPECT_EQ(test::ReadFile(path), before);
}

} // namespace
