// PDF files damaged the way real writers damage them are read as poppler
// and qpdf read them; hostile ones are refused quickly.
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "graphics/TiffGraphic.h"
#include "pdf/PDFLexer.h"
#include "support/LibjpegEncode.h"

#include <gtest/gtest.h>

namespace {

const std::string kGrey = "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8";
const std::string kGreyData("\x00\x40\x80\xFF", 4);

test::RunResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), test::BinPath("tessivane-cli"));
  return test::Run(arguments);
}

// The pages of a file read by TPdfGraphic, or the error it raises.
struct TRead {
  std::string error;
  int pages = 0;
  std::vector<int> firstPixels; // pixel (1, 1) of each page
};
TRead Read(const std::string& file) {
  TRead read;
  try {
    TMemoryStream stream(file.data(), file.size());
    TPdfPages pages(stream);
    read.pages = pages.Count();
    for (int i = 1; i <= read.pages; ++i) {
      TPdfGraphic graphic;
      pages.Load(i, graphic);
      read.firstPixels.push_back(graphic.PixelIndex(1, 1));
    }
  } catch (const Exception& error) {
    read.error = error.Message();
  }
  return read;
}

std::string GreyPage(const std::string& pageEntries, const std::string& imageLength) {
  return test::BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                         "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] /Resources << "
                         "/XObject << /Im0 5 0 R >> >> /Contents 4 0 R " +
                             pageEntries + " >>",
                         test::StreamObject("", "q 72 0 0 72 0 0 cm /Im0 Do Q"),
                         "<< /Type /XObject /Subtype /Image " + kGrey + imageLength +
                             " >>\nstream\n" + kGreyData + "\nendstream"},
                        "/Root 1 0 R");
}

} // namespace

TEST(PdfRecovery, StreamsWhoseLengthIsWrongRunToEndstream) {
  for (const std::string length : {" /Length 4", " /Length 2", " /Length 900", " /Length -3", ""}) {
    SCOPED_TRACE(length);
    const TRead read = Read(GreyPage("", length));
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.firstPixels, std::vector<int>{255});
  }
  std::string unterminated = GreyPage("", " /Length 900");
  unterminated.replace(unterminated.rfind("\nendstream"), 10, "\nendstrea ");
  EXPECT_EQ(Read(unterminated).error, "PDF file damaged: bad stream length");
}

TEST(PdfRecovery, StaleTablesAreRebuiltFromTheObjects) {
  const std::string good = GreyPage("", " /Length 4");
  // Every offset shifted, the table left as it was; startxref far from the end.
  std::string shifted = good;
  shifted.insert(shifted.find("1 0 obj"), "% a comment an editor added\n");
  std::string farFromTheEnd = good + "%" + std::string(9000, 'x') + "\n";
  // No table, no trailer at all: the catalogue is found by its type.
  std::string bare = good.substr(0, good.find("xref"));
  for (const std::string& file : {shifted, farFromTheEnd, bare}) {
    const TRead read = Read(file);
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.firstPixels, std::vector<int>{255});
  }
}

TEST(PdfRecovery, Tiff2pdfJpegPassThroughReads) {
  test::TempDir dir;
  TTiffGraphic page;
  test::RandomGraphic(page, 64, 48, ifTrueColor, 3);
  page.SaveToFile(dir.File("plain.tif"));
  // One JPEG strip, which tiff2pdf copies into the PDF file as it is.
  ASSERT_EQ(
      test::Tool({"tiffcp", "-c", "jpeg", "-r", "48", dir.File("plain.tif"), dir.File("jpeg.tif")})
          .status,
      0);
  ASSERT_EQ(test::Tool({"tiff2pdf", "-o", dir.File("jpeg.pdf"), dir.File("jpeg.tif")}).status, 0);
  const test::RunResult info = Cli({"info", dir.File("jpeg.pdf")});
  EXPECT_EQ(info.err, "");
  EXPECT_EQ(info.out, "1 64 48 24 300 200\n");
  TTiffGraphic tiff;
  tiff.LoadFromFile(dir.File("jpeg.tif"));
  TPdfGraphic pdf;
  test::LoadPdfPage(dir.File("jpeg.pdf"), 1, pdf);
  EXPECT_TRUE(test::SameLook(pdf, tiff));
}

TEST(PdfRecovery, APageListedTwiceIsSharedAndALoopIsStillRefused) {
  std::string twice = GreyPage("", " /Length 4");
  twice.replace(twice.find("/Kids [3 0 R] /Count 1"), 22, "/Kids [3 0 R 3 0 R] /Count 2");
  const TRead read = Read(twice);
  EXPECT_EQ(read.error, "");
  EXPECT_EQ(read.pages, 2);
  std::string loop = GreyPage("", " /Length 4");
  loop.replace(loop.find("/Kids [3 0 R] /Count 1"), 22, "/Kids [3 0 R 2 0 R] /Count 2");
  EXPECT_EQ(Read(loop).error, "PDF file damaged: page tree refers to itself");
}

TEST(PdfRecovery, LargeDictionariesAreIndexedAndCapped) {
  std::string keys;
  for (int i = 0; i < 20000; ++i) keys += "/K" + std::to_string(i) + " " + std::to_string(i) + " ";
  const TRead large = Read(GreyPage(keys, " /Length 4"));
  EXPECT_EQ(large.error, "");
  EXPECT_EQ(large.pages, 1);
  for (int i = 20000; i < 80000; ++i) keys += "/K" + std::to_string(i) + " 0 ";
  EXPECT_EQ(Read(GreyPage(keys, " /Length 4")).error, "PDF file damaged: dictionary too long");
}

TEST(PdfRecovery, ObjectStreamEntriesAtOneOffsetRunOutOfBudget) {
  // Many objects of one object stream all at the offset of one large page
  // dictionary: each would be made anew.
  const int count = 5000;
  std::string header, kids;
  for (int i = 0; i < count; ++i) {
    header += std::to_string(4 + i) + " 0 ";
    kids += std::to_string(4 + i) + " 0 R ";
  }
  std::string page = "<< /Type /Page /MediaBox [";
  for (int i = 0; i < 40000; ++i) page += "0 ";
  page += "] >>";
  std::vector<std::string> bodies = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>",
      test::StreamObject("/Type /ObjStm /N " + std::to_string(count) + " /First " +
                             std::to_string(header.size()),
                         header + page)};
  std::vector<test::TXRefEntry> entries;
  for (int i = 0; i < count; ++i) {
    bodies.emplace_back();
    entries.push_back({4 + i, 2, 3, static_cast<uint16_t>(i)});
  }
  const std::string file = test::BuildPdfWithXRefStream(bodies, entries, "/Root 1 0 R");
  EXPECT_EQ(Read(file).error, "PDF file damaged: more to read than the file can hold");
}

TEST(PdfRecovery, CmykJpegImagesReadAsTheirDecodeArraySays) {
  auto inks = [](int, int, int c) { return c == 0 ? 40 : c == 1 ? 100 : c == 2 ? 200 : 30; };
  const std::vector<uint8_t> jpeg = test::LibjpegEncode(8, 8, 4, JCS_CMYK, 95, inks);
  const std::string data(jpeg.begin(), jpeg.end());
  const std::string entries = "/Width 8 /Height 8 /ColorSpace /DeviceCMYK /BitsPerComponent 8 "
                              "/Filter /DCTDecode";
  struct TCase {
    std::string decode;
    int red, green, blue;
  };
  const TCase cases[] = {
      {"", 215 * 225 / 255, 155 * 225 / 255, 55 * 225 / 255},
      {" /Decode [1 0 1 0 1 0 1 0]", 40 * 30 / 255, 100 * 30 / 255, 200 * 30 / 255}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.decode);
    const std::string file = test::ImagePdf(entries + c.decode, data);
    TMemoryStream stream(file.data(), file.size());
    TPdfGraphic page;
    ASSERT_EQ(test::ErrorOf([&] { page.LoadImage(stream, 1); }), "(no error)");
    EXPECT_EQ(page.ImageFormat(), ifTrueColor);
    const TColour colour = page.Pixel(4, 4);
    EXPECT_NEAR(RedOf(colour), c.red, 3);
    EXPECT_NEAR(GreenOf(colour), c.green, 3);
    EXPECT_NEAR(BlueOf(colour), c.blue, 3);
  }
}

TEST(PdfRecovery, EveryObjectMadeIsChargedToTheBudget) {
  std::string text = "[";
  for (int i = 0; i < 10000; ++i) text += "0 ";
  text += "]";
  const auto parse = [&](uint64_t budget) {
    return test::ErrorOf([&] {
      TPDFLexer lexer(reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0, &budget);
      lexer.ParseObject();
    });
  };
  // Three times the bytes pay for reading them, not for the objects they make.
  EXPECT_EQ(parse(3 * text.size()), "PDF file damaged: more to read than the file can hold");
  EXPECT_EQ(parse(3 * text.size() + 10001 * kPDFObjectCost), "(no error)");
}

TEST(PdfRecovery, InfoListsEveryPageOfAFileReadOnce) {
  test::TempDir dir;
  std::vector<std::string> command = {"img2pdf", "-o", dir.File("three.pdf")};
  for (int i = 0; i < 3; ++i) {
    TTiffGraphic page;
    test::RandomGraphic(page, 40 + 10 * i, 30, i == 1 ? ifBlackWhite : ifGray256, i);
    page.SaveToFile(dir.File(std::to_string(i) + ".tif"));
    command.push_back(dir.File(std::to_string(i) + ".tif"));
  }
  ASSERT_EQ(test::Tool(command).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("three.pdf")}).out,
            "1 40 30 8 300 200\n2 50 30 1 300 200\n3 60 30 8 300 200\n");
}
