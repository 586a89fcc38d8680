#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"

#include <gtest/gtest.h>

#include <tiffio.h>

namespace {

const std::string kGrey = "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8";
const std::string kGreyData("\x00\x40\x80\xFF", 4);

// Reads page of the file; the message of the error it raises, or "" when it works.
std::string ErrorOf(const std::string& file, int page = 1) {
  TMemoryStream stream(file.data(), file.size());
  TPdfGraphic graphic;
  try {
    graphic.ImageCount(stream);
    graphic.LoadImage(stream, page);
    return "";
  } catch (const Exception& error) {
    return error.Message();
  }
}

std::string Page(const std::string& content,
                 const std::string& resources = "/XObject << /Im0 5 0 R >>") {
  return test::BuildPdf(
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] /Resources << " + resources +
           " >> /Contents 4 0 R >>",
       test::StreamObject("", content),
       test::StreamObject("/Type /XObject /Subtype /Image " + kGrey, kGreyData),
       test::StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "0 0 1 1 re f")},
      "/Root 1 0 R");
}

TEST(PdfBadInput, FilesThatAreNotPdfOrAreDamaged) {
  const std::string good = test::ImagePdf(kGrey, kGreyData);
  ASSERT_EQ(ErrorOf(good), "");
  EXPECT_EQ(ErrorOf(""), "Not a PDF file");
  EXPECT_EQ(ErrorOf("GIF89a"), "Not a PDF file");
  // Without usable cross-reference data the objects are looked for in the file.
  EXPECT_EQ(ErrorOf("%PDF-1.4\n"), "PDF file damaged: no document catalogue");
  EXPECT_EQ(ErrorOf(good.substr(0, good.size() / 2)),
            "PDF file damaged: page 1 draws an image it does not have");
  std::string far = good;
  far.replace(far.rfind("startxref\n") + 10, 1, "9999999");
  EXPECT_EQ(ErrorOf(far), "");
  // Objects moved without a new table.
  std::string moved = good;
  moved.insert(moved.find("1 0 obj"), "       ");
  const size_t startxref = moved.rfind("startxref\n") + 10;
  moved.replace(startxref, moved.find('\n', startxref) - startxref,
                std::to_string(std::stoul(moved.substr(startxref)) + 7));
  EXPECT_EQ(ErrorOf(moved), "");
  std::string entries = good;
  entries.replace(entries.find("0000000000 65535 f"), 4, "zzzz");
  EXPECT_EQ(ErrorOf(entries), "");
  // A section that names itself as the one before it: the scan finds the
  // empty page tree.
  const std::vector<std::string> empty = {"<< /Type /Catalog /Pages 2 0 R >>",
                                          "<< /Type /Pages /Kids [] /Count 0 >>"};
  const size_t table = test::BuildPdf(empty, "/Root 1 0 R").find("xref\n");
  EXPECT_EQ(ErrorOf(test::BuildPdf(empty, "/Root 1 0 R /Prev " + std::to_string(table))),
            "PDF page 1 does not exist");
  EXPECT_EQ(ErrorOf(test::BuildPdf({"<< /Type /Catalog >>"}, "/Root 1 0 R")),
            "PDF file damaged: no page tree");
  EXPECT_EQ(ErrorOf(test::BuildPdf({"<< /Type /Catalog >>"}, "")),
            "PDF file damaged: no document catalogue");
  EXPECT_EQ(ErrorOf(good, 2), "PDF page 2 does not exist");
  EXPECT_EQ(ErrorOf(good, 0), "PDF page 0 does not exist");
}

TEST(PdfBadInput, LoopsAndDepthsEndInAnError) {
  // A stream whose length is itself, lengths that refer to each other, a page
  // tree that holds itself, objects nested a hundred deep.
  const std::string self = test::BuildPdf(
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] /Contents 4 0 R >>",
       "<< /Length 4 0 R >>\nstream\nq Q\nendstream", "6 0 R", "5 0 R"},
      "/Root 1 0 R");
  EXPECT_EQ(ErrorOf(self), "PDF file damaged: objects refer to each other in a loop");
  std::string chain = self;
  chain.replace(chain.find("<< /Length 4 0 R"), 16, "<< /Length 5 0 R");
  EXPECT_EQ(ErrorOf(chain), "PDF file damaged: references refer to each other in a loop");
  const std::string tree = test::BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                           "<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 1 >>",
                                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >>"},
                                          "/Root 1 0 R");
  EXPECT_EQ(ErrorOf(tree), "PDF file damaged: page tree refers to itself");
  const std::string deep =
      test::ImagePdf(kGrey + " /Deep " + std::string(100, '[') + std::string(100, ']'), kGreyData);
  EXPECT_EQ(ErrorOf(deep), "PDF file damaged: objects nested too deeply");
  // An object kept in an object stream that is itself.
  const std::string contained = test::BuildPdfWithXRefStream(
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       test::StreamObject("/Type /ObjStm /N 1 /First 4", "3 0 << >>")},
      {{3, 2, 3, 0}}, "/Root 1 0 R");
  EXPECT_EQ(ErrorOf(contained), "PDF file damaged: objects refer to each other in a loop");
}

TEST(PdfBadInput, FilesThatMakeTheReaderReadTheSameBytesAgainAndAgain) {
  // Pages whose strings each run to the end of the file: every page read
  // would read most of the file once more.
  const int pages = 4000;
  std::vector<std::string> bodies = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
  std::string kids;
  for (int i = 0; i < pages; ++i) {
    bodies.push_back("<< /Type /Page /Parent 2 0 R /S (");
    kids += std::to_string(i + 3) + " 0 R ";
  }
  for (int i = 0; i < pages; ++i) bodies.back() += ") >> ";
  bodies[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
  EXPECT_EQ(ErrorOf(test::BuildPdf(bodies, "/Root 1 0 R")),
            "PDF file damaged: more to read than the file can hold");
  // The same pages with strings of their own are read.
  bodies.resize(2);
  for (int i = 0; i < pages; ++i) bodies.push_back("<< /Type /Page /Parent 2 0 R /S (x) >>");
  EXPECT_EQ(ErrorOf(test::BuildPdf(bodies, "/Root 1 0 R")),
            "PDF file damaged: page 1 has no media box");
}

TEST(PdfBadInput, PagesThatAreNotOneImage) {
  EXPECT_EQ(ErrorOf(Page("q 72 0 0 72 0 0 cm /Im0 Do Q")), "");
  EXPECT_EQ(ErrorOf(Page("BT /F1 12 Tf (Hello) Tj ET")), "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page("0 0 m 72 72 l S")), "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page("q /Im0 Do Q 0 0 72 72 re f")), "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page("BI /W 1 /H 1 /CS /G /BPC 8 ID x EI")),
            "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page("/Fm0 Do", "/XObject << /Fm0 6 0 R >>")),
            "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page("q /Im0 Do Q q 1 0 0 1 10 10 cm /Im0 Do Q")),
            "PDF page 1 holds more than one image");
  EXPECT_EQ(ErrorOf(Page("q Q")), "PDF page 1 holds no image");
  EXPECT_EQ(ErrorOf(Page("/Im9 Do")), "PDF file damaged: page 1 draws an image it does not have");
  EXPECT_EQ(ErrorOf(Page("1 0 0 cm /Im0 Do")), "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(Page(std::string(2 << 20, ' ') + "/Im0 Do")),
            "PDF page 1 is not an image-only page");
  EXPECT_EQ(ErrorOf(test::ImagePdf(kGrey, kGreyData, "[0 0 0 72]")),
            "PDF file damaged: page 1 has an empty media box");
  EXPECT_EQ(ErrorOf(test::ImagePdf(kGrey, kGreyData, "[0 0 72]")),
            "PDF file damaged: page 1 has no media box");
}

TEST(PdfBadInput, ImagesTheReaderDoesNotTake) {
  const auto image = [](const std::string& entries, const std::string& data) {
    return ErrorOf(test::ImagePdf(entries, data));
  };
  EXPECT_EQ(image("/Width 1 /Height 1 /ColorSpace /DeviceCMYK /BitsPerComponent 8", "abcd"),
            "PDF image: colour space /DeviceCMYK not supported");
  EXPECT_EQ(image("/Width 1 /Height 1 /ColorSpace [/Separation /Black /DeviceGray 1 0 R] "
                  "/BitsPerComponent 8",
                  "a"),
            "PDF image: colour space /Separation not supported");
  EXPECT_EQ(image(kGrey + " /Filter /LZWDecode", kGreyData),
            "PDF filter /LZWDecode is not supported");
  EXPECT_EQ(image("/Width 2 /Height 2 /ImageMask true /BitsPerComponent 1", "ab"),
            "PDF image: image mask not supported");
  EXPECT_EQ(image(kGrey, kGreyData.substr(0, 3)), "PDF file damaged: image data cut short");
  EXPECT_EQ(image("/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 3", kGreyData),
            "PDF image: 3 bits per component not supported");
  EXPECT_EQ(image("/Width 2 /Height 2 /BitsPerComponent 8", kGreyData),
            "PDF file damaged: image without a colour space");
  EXPECT_EQ(image(kGrey + " /Decode [0 0.5]", kGreyData), "PDF image: Decode array not supported");
  EXPECT_EQ(image("/Width 100000 /Height 100000 /ColorSpace /DeviceGray /BitsPerComponent 8", "a"),
            "Image too large: 100000 x 100000 pixels");
  EXPECT_EQ(image("/Width 0 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8", "a"),
            "PDF file damaged: bad image size");
  EXPECT_EQ(
      image("/Width 1 /Height 1 /ColorSpace [/Indexed /DeviceRGB 300 <00>] /BitsPerComponent 8",
            "a"),
      "PDF file damaged: bad palette size");
  EXPECT_EQ(
      image("/Width 1 /Height 1 /ColorSpace [/Indexed /DeviceRGB 1 <000000>] /BitsPerComponent 8",
            "a"),
      "PDF file damaged: palette cut short");
  // A page that claims 400 MB of samples from a kilobyte of zlib data stops at
  // what the data holds.
  const std::vector<uint8_t> zeros = test::Deflate(std::vector<uint8_t>(1 << 20));
  EXPECT_EQ(image("/Width 20000 /Height 20000 /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter "
                  "/FlateDecode",
                  std::string(zeros.begin(), zeros.end())),
            "PDF file damaged: image data cut short");
  EXPECT_EQ(image(kGrey + " /Filter /FlateDecode", "not zlib"), "PDF file damaged: bad Flate data");
  const std::vector<uint8_t> badRows = test::Deflate({9, 1, 2, 9, 3, 4});
  EXPECT_EQ(image(kGrey + " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 2 >>",
                  std::string(badRows.begin(), badRows.end())),
            "PDF file damaged: bad PNG predictor row");
  EXPECT_EQ(image("/Width 8 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter "
                  "/CCITTFaxDecode /DecodeParms << /K -1 /Columns 16 >>",
                  "ab"),
            "PDF file damaged: CCITT columns differ from the image width");
  EXPECT_EQ(image("/Width 8 /Height 50 /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter "
                  "/CCITTFaxDecode /DecodeParms << /K -1 /Columns 8 >>",
                  "\x80"),
            "PDF file damaged: image data cut short");
}

TEST(PdfBadInput, EncryptedFiles) {
  test::TempDir dir;
  TPdfGraphic page;
  test::RandomGraphic(page, 20, 20, ifGray16, 1);
  page.SaveToFile(dir.File("plain.pdf"));
  test::Tool({"qpdf", "--encrypt", "user", "owner", "256", "--", dir.File("plain.pdf"),
              dir.File("locked.pdf")});
  const std::vector<uint8_t> bytes = test::ReadFile(dir.File("locked.pdf"));
  EXPECT_EQ(ErrorOf(std::string(bytes.begin(), bytes.end())),
            "Encrypted PDF files are not supported");
}

} // namespace
