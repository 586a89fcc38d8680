#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "raster/PageGenerator.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      lines.push_back(line);
      line.clear();
      ++i;
    } else {
      line += static_cast<char>(bytes[i]);
    }
  }
  return lines;
}

// Every cross-reference entry points at its object's header line, and
// startxref at the table.
void ExpectTableRight(const std::vector<uint8_t>& bytes) {
  const std::string text(bytes.begin(), bytes.end());
  const size_t start = text.rfind("startxref\r\n");
  ASSERT_NE(start, std::string::npos);
  const size_t table = std::stoul(text.substr(start + 11));
  ASSERT_EQ(text.compare(table, 8, "xref\r\n0 "), 0);
  const size_t count = std::stoul(text.substr(table + 8));
  const size_t entries = text.find("\r\n", table + 8) + 2;
  EXPECT_EQ(text.substr(entries, 20), "0000000000 65535 f\r\n");
  for (size_t number = 1; number < count; ++number) {
    const size_t offset = std::stoul(text.substr(entries + 20 * number, 10));
    const std::string header = std::to_string(number) + " 0 obj\r\n";
    EXPECT_EQ(text.compare(offset, header.size(), header), 0) << "object " << number;
  }
}

TEST(PdfGraphicWrite, OnePageFileHasItsObjectsInOrder) {
  TPdfGraphic page;
  TDIB dib;
  GeneratePage(dib, TPageSpec{});
  page.ImportDib(dib, ifBlackWhite, 300, 300);
  TMemoryStream stream;
  page.SaveToStream(stream);
  const std::vector<std::string> lines = Lines(stream.Bytes());
  ASSERT_GT(lines.size(), 60u);
  EXPECT_EQ(lines[0], "%PDF-1.3\xFF\xFE\xFD");
  std::vector<std::string> headers;
  for (const std::string& line : lines)
    if (line.size() > 6 && line.compare(line.size() - 6, 6, " 0 obj") == 0) headers.push_back(line);
  EXPECT_EQ(headers, (std::vector<std::string>{"1 0 obj", "2 0 obj", "3 0 obj", "4 0 obj",
                                               "7 0 obj", "6 0 obj", "5 0 obj"}));
  const std::vector<std::string> expected[] = {
      {"1 0 obj", "<</Creator ()"},
      {"2 0 obj", "<</Type /Pages", "/Kids [", "3 0 R", "]", "/Count 1", ">>", "endobj"},
      {"3 0 obj", "<</Type /Page", "/Parent 2 0 R", "/Resources 4 0 R", "/Contents [6 0 R]",
       "/MediaBox [0 0 595 842]", ">>", "endobj"},
      {"4 0 obj", "<< /XObject << /Im7 7 0 R >>", "/Font << >>", ">>", "endobj"},
      {"7 0 obj", "<</Type /XObject", "/Subtype /Image", "/Name /Im7", "/Width 2480",
       "/Height 3508", "/BitsPerComponent 1", "/ColorSpace /DeviceGray"},
      {"6 0 obj", "<</Length 51", ">>", "stream", "q", "1 0 0 1 0 0 cm", "595 0 0 842 0 0 cm",
       "/Im7 Do", "Q", "endstream", "endobj"},
      {"5 0 obj", "<</Type /Catalog", "/Pages 2 0 R", "/PageLayout /SinglePage",
       "/PageMode /UseNone", ">>", "endobj", "xref", "0 8", "0000000000 65535 f"}};
  for (const std::vector<std::string>& run : expected) {
    const auto at = std::find(lines.begin(), lines.end(), run[0]);
    ASSERT_NE(at, lines.end()) << run[0];
    for (size_t i = 1; i < run.size(); ++i) EXPECT_EQ(at[static_cast<ptrdiff_t>(i)], run[i]);
  }
  const auto info = std::find(lines.begin(), lines.end(), "1 0 obj");
  EXPECT_EQ(info[2].substr(0, 19), "/CreationDate (D:20");
  EXPECT_EQ(info[2].size(), 32u);
  EXPECT_EQ(std::vector<std::string>(info + 3, info + 9),
            (std::vector<std::string>{"/Producer ()", "/Author ()", "/Title ()", "/Subject ()",
                                      "/Keywords ()", ">>"}));
  const auto image = std::find(lines.begin(), lines.end(), "7 0 obj");
  EXPECT_EQ(image[8].substr(0, 8), "/Length ");
  EXPECT_EQ(image[9],
            "/Filter [/CCITTFaxDecode] /DecodeParms[<< /Columns 2480 /Rows 3508 /K -1 >>]");
  EXPECT_EQ(image[10], ">>");
  EXPECT_EQ(image[11], "stream");
  const auto trailer = std::find(lines.begin(), lines.end(), "trailer");
  ASSERT_NE(trailer, lines.end());
  EXPECT_EQ(
      std::vector<std::string>(trailer, trailer + 6),
      (std::vector<std::string>{"trailer", "<<", "/Size 8", "/Root 5 0 R", "/Info 1 0 R", ">>"}));
  EXPECT_EQ(lines.back(), "%%EOF");
  ExpectTableRight(stream.Bytes());
}

struct TFormatCase {
  TImageFormat format;
  const char* colour; // as pdfimages lists it
  const char* bits;
  const char* coding;
  bool lossless;
};

TEST(PdfGraphicWrite, EveryFormatRoundTripsThroughPopplerAndBack) {
  const TFormatCase cases[] = {
      {ifBlackWhite, "gray", "1", "ccitt", true}, {ifGray16, "gray", "4", "image", true},
      {ifGray256, "gray", "8", "jpeg", false},    {ifColor16, "index", "4", "image", true},
      {ifColor256, "index", "8", "image", true},  {ifTrueColor, "rgb", "8", "jpeg", false}};
  test::TempDir dir;
  for (const TFormatCase& item : cases) {
    SCOPED_TRACE(FormatDescription(item.format));
    // 250 x 150 pixels at 300 x 200 dpi: a page of 60 x 54 points that reads back exactly.
    TPdfGraphic page;
    test::RandomGraphic(page, 250, 150, item.format, 17 + item.format);
    const std::string path = dir.File(std::to_string(item.format) + ".pdf");
    page.SaveToFile(path);
    EXPECT_EQ(test::Tool({"qpdf", "--check", path}).status, 0);
    const auto list = test::ImageList(path);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0][3], "250");
    EXPECT_EQ(list[0][4], "150");
    EXPECT_EQ(list[0][5], item.colour);
    EXPECT_EQ(list[0][7], item.bits);
    EXPECT_EQ(list[0][8], item.coding);
    EXPECT_EQ(list[0][12], "300");
    EXPECT_EQ(list[0][13], "200");
    EXPECT_EQ(test::Tool({"pdftoppm", "-r", "20", "-png", path, dir.File("render")}).err, "");

    TPdfGraphic back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.ImageFormat(), item.format);
    EXPECT_EQ(back.XDpi(), 300);
    EXPECT_EQ(back.YDpi(), 200);
    TDibGraphic extracted;
    if (item.lossless) {
      EXPECT_TRUE(test::SameLook(back, page));
      test::ExtractedImage(path, 1, extracted);
      EXPECT_TRUE(test::SameLook(extracted, page));
    } else {
      // The JPEG data as poppler finds it, decoded by libjpeg, is what the reader shows.
      EXPECT_EQ(test::Looks(back), test::JpegLooks(test::ExtractedJpeg(path, 1)));
      EXPECT_EQ(test::ExtractedJpeg(path, 1).components, item.format == ifGray256 ? 1 : 3);
    }
  }
}

TEST(PdfGraphicWrite, PalettesKeepTheirLook) {
  test::TempDir dir;
  // A bilevel page whose entry 0 is white, and 16 grey levels in an order of their own.
  TPdfGraphic whiteZero;
  test::RandomGraphic(whiteZero, 77, 33, ifBlackWhite, 5);
  whiteZero.SetPaletteColour(0, 0xFFFFFF);
  whiteZero.SetPaletteColour(1, 0x000000);
  TPdfGraphic shuffled;
  test::RandomGraphic(shuffled, 77, 33, ifGray16, 6);
  for (int i = 0; i < 16; ++i)
    shuffled.SetPaletteColour(i, ColourOf(255 - 17 * i, 255 - 17 * i, 255 - 17 * i));
  for (TPdfGraphic* page : {&whiteZero, &shuffled}) {
    const std::string path = dir.File("p.pdf");
    page->SaveToFile(path);
    TPdfGraphic back;
    back.LoadFromFile(path);
    EXPECT_TRUE(test::SameLook(back, *page));
    TDibGraphic extracted;
    test::ExtractedImage(path, 1, extracted);
    EXPECT_TRUE(test::SameLook(extracted, *page));
  }
  const std::string text = [&] {
    const auto bytes = test::ReadFile(dir.File("p.pdf"));
    return std::string(bytes.begin(), bytes.end());
  }();
  EXPECT_NE(text.find("/ColorSpace [/Indexed /DeviceRGB 15 <ffffffeeeeee"), std::string::npos);
  EXPECT_EQ(text.find("DevicePalette"), std::string::npos);
}

TEST(PdfGraphicWrite, SmallAndUnresolvedPagesGetAPageOfTheirOwn) {
  test::TempDir dir;
  TPdfGraphic dot;
  dot.NewImage(1, 1, 300, 300, nullptr, ifTrueColor);
  dot.SetPixel(0, 0, 0x336699);
  dot.SaveToFile(dir.File("dot.pdf"));
  EXPECT_EQ(test::Tool({"qpdf", "--check", dir.File("dot.pdf")}).status, 0);
  EXPECT_NE(test::Tool({"pdfinfo", dir.File("dot.pdf")}).out.find("Page size:       1 x 1 pts"),
            std::string::npos);
  // A page without a resolution is taken at the screen's.
  TPdfGraphic plain;
  plain.NewImage(96, 192, 0, 0, nullptr, ifGray16);
  plain.SetPelsPerMetre(0, 0);
  plain.SaveToFile(dir.File("plain.pdf"));
  EXPECT_NE(
      test::Tool({"pdfinfo", dir.File("plain.pdf")}).out.find("Page size:       72 x 144 pts"),
      std::string::npos);
  TPdfGraphic empty;
  EXPECT_THROW(empty.SaveToFile(dir.File("empty.pdf")), EGraphicError);
  EXPECT_FALSE(test::FileExists(dir.File("empty.pdf")));
}

} // namespace
