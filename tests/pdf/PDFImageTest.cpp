#include "PdfTestSupport.h"

#include "core/MemoryStream.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFException.h"
#include "raster/PageGenerator.h"
#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

using pdftest::Lines;
using pdftest::ReadText;

namespace {

// One document per test; pages sized in points = pixels at Resolution 72.
struct TDocumentFile {
  test::TempDir dir;
  std::string path = dir.File("images.pdf");
  TPDFDocument document;

  TDocumentFile() {
    document.SetFileName(path);
    document.BeginDoc();
  }
  // Draws image index over a page of its own size (a new page unless first).
  void Show(int index, bool first) {
    if (!first) document.NewPage();
    const TPDFImage& image = document.Images()[index];
    TPDFPage& page = *document.CurrentPage();
    page.SetWidth(image.Width());
    page.SetHeight(image.Height());
    page.ShowImage(index, 0, 0, image.Width(), image.Height(), 0);
  }
  std::string Finish() {
    document.EndDoc();
    const pdftest::TCheck check = pdftest::QpdfCheck(path);
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
    return ReadText(path);
  }
};

// The dictionary lines of the image XObject named "/Type /XObject" that
// comes nth in the file, from its header to "stream".
std::vector<std::string> XObjectHead(const std::string& text, int nth = 0) {
  size_t at = 0;
  for (int i = 0; i <= nth; ++i) at = text.find("<</Type /XObject", at + 1);
  const size_t start = text.rfind("\r\n", at - 3) + 2;
  const size_t end = text.find("stream\r\n", at);
  return Lines(text.substr(start, end + 6 - start));
}

// The stream bytes of the nth image XObject.
std::string XObjectData(const std::string& text, int nth = 0) {
  size_t at = 0;
  for (int i = 0; i <= nth; ++i) at = text.find("<</Type /XObject", at + 1);
  const size_t lengthAt = text.find("/Length ", at) + 8;
  const size_t length = std::stoul(text.substr(lengthAt));
  const size_t data = text.find("stream\r\n", at) + 8;
  EXPECT_EQ(text.substr(data + length, 17), "endstream\r\nendobj") << "endstream follows the data";
  return text.substr(data, length);
}

void GeneratedPage(TDIB& page, int bits, int width, int height, int dpi, uint64_t seed = 1) {
  TPageSpec layout;
  layout.Width = width;
  layout.Height = height;
  layout.Dpi = dpi;
  layout.Bits = bits;
  layout.Seed = seed;
  GeneratePage(page, layout);
}

// Poppler's render of a page of the document at 72 dpi (one point, one pixel).
std::unique_ptr<TDIB> Rendered(const std::string& path, int page, const std::string& mode) {
  auto render = std::make_unique<TDIB>();
  pdftest::Render(path, page, 72, mode, *render);
  return render;
}

} // namespace

TEST(PDFImage, BilevelPageAsGroup4) {
  TDocumentFile file;
  TDIB page;
  GeneratedPage(page, 1, 1700, 2200, 200);
  file.Show(file.document.AddImage(page, icCCITT4), true);
  const std::string text = file.Finish();
  const std::vector<std::string> head = XObjectHead(text);
  EXPECT_EQ(std::vector<std::string>(head.begin() + 1, head.end()),
            (std::vector<std::string>{
                "<</Type /XObject", "/Subtype /Image", "/ColorSpace /DeviceGray",
                "/BitsPerComponent 1", "/Width 1700", "/Height 2200", "/Filter [/CCITTFaxDecode]",
                "/Length " + std::to_string(XObjectData(text).size()),
                "/DecodeParms [<</K -1 /Columns 1700 /Rows 2200>>]", ">>", "stream"}));
  // Rendered at the page's own resolution, poppler gives back every pixel.
  TDIB original;
  GeneratedPage(original, 1, 1700, 2200, 200);
  EXPECT_EQ(pdftest::DifferentPixels(original, *Rendered(file.path, 1, "mono")), 0);
}

TEST(PDFImage, PopplerDecodesEveryCCITTKind) {
  TDocumentFile file;
  std::vector<std::unique_ptr<TDIB>> pages;
  const int widths[] = {1, 7, 333, 2601, 4999};
  for (int i = 0; i < 5; ++i) {
    pages.push_back(std::make_unique<TDIB>());
    pdftest::RandomRunsPage(*pages.back(), widths[i], 1 + 13 * i, 70 + i, 1 + 60 * i);
  }
  pages.push_back(std::make_unique<TDIB>());
  GeneratedPage(*pages.back(), 1, 850, 1100, 100, 4);
  int count = 0;
  for (TImageCompression kind : {icCCITT1D, icCCITT2D, icCCITT4})
    for (const auto& page : pages) file.Show(file.document.AddImage(*page, kind), count++ == 0);
  const std::string text = file.Finish();
  EXPECT_NE(text.find("/DecodeParms [<</K 0 /Columns 4999 /Rows 53>>]"), std::string::npos);
  EXPECT_NE(text.find("/DecodeParms [<</K 1 /Columns 4999 /Rows 53>>]"), std::string::npos);
  for (int i = 0; i < count; ++i) {
    const TDIB& page = *pages[static_cast<size_t>(i) % pages.size()];
    EXPECT_EQ(pdftest::DifferentPixels(page, *Rendered(file.path, i + 1, "mono")), 0)
        << "page " << i + 1;
  }
}

TEST(PDFImage, GreyAndColourPagesAsJPEG) {
  TDocumentFile file;
  TDIB grey, colour;
  GeneratedPage(grey, 8, 850, 1100, 100, 2);
  GeneratedPage(colour, 24, 850, 1100, 100, 3);
  file.Show(file.document.AddImage(grey, icJPEG), true);
  file.Show(file.document.AddImage(colour, icJPEG), false);
  const std::string text = file.Finish();
  for (int nth : {0, 1}) {
    const std::vector<std::string> head = XObjectHead(text, nth);
    EXPECT_EQ(head[3], "/ColorSpace /DeviceRGB");
    EXPECT_EQ(head[4], "/BitsPerComponent 8");
    EXPECT_EQ(head[7], "/Filter /DCTDecode");
    // The stream is a baseline JPEG file with three components at quality 80.
    const std::string data = XObjectData(text, nth);
    TJPEGImage jpeg(std::vector<uint8_t>(data.begin(), data.end()));
    EXPECT_EQ(jpeg.Components(), 3);
    EXPECT_EQ(data.find("\xFF\xC2"), std::string::npos);
  }
  // Poppler shows what the JPEG data holds, and that is the page within the
  // loss of quality 80 on noisy paper.
  const TDIB* originals[] = {&grey, &colour};
  for (int nth : {0, 1}) {
    const std::string data = XObjectData(text, nth);
    TMemoryStream stream(data.data(), data.size());
    TDIB decoded;
    decoded.LoadJpegFromStream(stream);
    const std::unique_ptr<TDIB> render = Rendered(file.path, nth + 1, "color");
    EXPECT_LT(pdftest::MeanError(decoded, *render), 1.0);
    EXPECT_LT(pdftest::MeanError(*originals[nth], *render), 6.0);
  }
}

TEST(PDFImage, FlateImageHoldsRgbRowsFromTheTop) {
  TDocumentFile file;
  TDIB colour;
  colour.NewImage(5, 3, pf24bit, 72, 72);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) colour.SetPixel(x, y, RGBValue(10 * x + 1, 50 + y, 200 - x));
  TDIB grey;
  grey.NewImage(3, 2, pf8bit, 72, 72);
  grey.SetPixel(2, 1, 77);
  file.Show(file.document.AddImage(colour, icFlate), true);
  file.Show(file.document.AddImage(grey, icFlate), false);
  const std::string text = file.Finish();
  EXPECT_EQ(XObjectHead(text)[7], "/Filter /FlateDecode");
  EXPECT_EQ(XObjectHead(text)[3], "/ColorSpace /DeviceRGB");
  const std::string data = XObjectData(text);
  const std::vector<uint8_t> samples =
      pdftest::Inflate(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  ASSERT_EQ(samples.size(), 5u * 3u * 3u);
  EXPECT_EQ(samples[0], 1);
  EXPECT_EQ(samples[1], 50);
  EXPECT_EQ(samples[2], 200);
  for (int y = 0; y < 3; ++y) { // the last pixel of every row too
    const uint8_t* last = samples.data() + 15 * y + 12;
    EXPECT_EQ(last[0], 41);
    EXPECT_EQ(last[1], 50 + y);
    EXPECT_EQ(last[2], 196);
  }
  const std::string greyData = XObjectData(text, 1);
  const std::vector<uint8_t> greySamples =
      pdftest::Inflate(reinterpret_cast<const uint8_t*>(greyData.data()), greyData.size());
  ASSERT_EQ(greySamples.size(), 3u * 2u * 3u);
  const uint8_t level = PaletteRed(grey.PaletteEntry(77));
  EXPECT_EQ(greySamples[15], level);
  EXPECT_EQ(greySamples[17], level);
  EXPECT_LT(pdftest::MeanError(colour, *Rendered(file.path, 1, "color")), 0.01);
}

TEST(PDFImage, JPEGDataIsKeptUnchanged) {
  test::TempDir dir;
  TDIB grey;
  GeneratedPage(grey, 8, 300, 200, 72, 5);
  const std::vector<uint8_t> jpeg = pdftest::GreyJpeg(grey, 90);
  test::WriteFile(dir.File("grey.jpg"), jpeg);
  TDocumentFile file;
  file.Show(file.document.AddImage(dir.File("grey.jpg"), icJPEG), true);
  file.Show(file.document.AddImage(TJPEGImage(jpeg), icJPEG), false);
  file.Show(file.document.AddImage(TJPEGImage(jpeg), icFlate), false);
  EXPECT_EQ(test::ErrorOf([&] { file.document.AddImage(dir.File("grey.jpg"), icCCITT4); }),
            "CCITT compression work only for bitmap");
  // CMYK data cannot be shown as the grey or RGB image the XObject names.
  EXPECT_EQ(
      test::ErrorOf([&] { file.document.AddImage(TJPEGImage(pdftest::CmykJpeg(16, 16)), icJPEG); }),
      "Not valid image.");
  const TPDFImage& kept = file.document.Images()[0];
  EXPECT_EQ(kept.Kind(), icJPEG);
  EXPECT_TRUE(kept.Grayscale());
  EXPECT_EQ(kept.BitsPerComponent(), 8);
  EXPECT_EQ(kept.Width(), 300);
  EXPECT_FALSE(kept.Written());
  EXPECT_EQ(kept.ObjectNumber(), -1);
  const std::string text = file.Finish();
  for (int nth : {0, 1}) {
    EXPECT_EQ(XObjectHead(text, nth)[3], "/ColorSpace /DeviceGray");
    EXPECT_EQ(XObjectHead(text, nth)[7], "/Filter /DCTDecode");
    const std::string data = XObjectData(text, nth);
    EXPECT_TRUE(std::vector<uint8_t>(data.begin(), data.end()) == jpeg);
  }
  EXPECT_EQ(XObjectHead(text, 2)[3], "/ColorSpace /DeviceRGB");
  EXPECT_EQ(XObjectHead(text, 2)[7], "/Filter /FlateDecode");
  EXPECT_LT(pdftest::MeanError(grey, *Rendered(file.path, 1, "color")), 3.0);
  EXPECT_LT(pdftest::MeanError(grey, *Rendered(file.path, 3, "color")), 3.0);
}

TEST(PDFImage, FileIsReadAsBmpThenAsJpeg) {
  test::TempDir dir;
  TDIB bilevel;
  pdftest::RandomRunsPage(bilevel, 77, 33, 3, 4);
  bilevel.SaveToBmpFile(dir.File("page.bmp"));
  TDIB colour;
  GeneratedPage(colour, 24, 64, 48, 72, 6);
  colour.SaveToBmpFile(dir.File("colour.bmp"));
  TDocumentFile file;
  file.Show(file.document.AddImage(dir.File("page.bmp"), icCCITT4), true);
  file.Show(file.document.AddImage(dir.File("colour.bmp"), icJPEG), false);
  // A colour bitmap cannot be fax coded; the JPEG attempt then reports its own error.
  const std::string message =
      test::ErrorOf([&] { file.document.AddImage(dir.File("colour.bmp"), icCCITT2D); });
  EXPECT_NE(message.find("JPEG"), std::string::npos) << message;
  EXPECT_NE(test::ErrorOf([&] { file.document.AddImage(dir.File("missing.bmp"), icJPEG); }),
            "(no error)");
  TDIB empty;
  EXPECT_EQ(test::ErrorOf([&] { file.document.AddImage(empty, icJPEG); }), "Not valid image.");
  EXPECT_EQ(test::ErrorOf([&] { file.document.AddImage(colour, icCCITT4); }), "Not b/w image.");
  EXPECT_EQ(file.document.Images().Count(), 2);
  file.Finish();
  EXPECT_EQ(pdftest::DifferentPixels(bilevel, *Rendered(file.path, 1, "mono")), 0);
  EXPECT_LT(pdftest::MeanError(colour, *Rendered(file.path, 2, "color")), 6.0);
}

TEST(PDFImage, ImageDrawnOnTwoPagesIsWrittenOnce) {
  TDocumentFile file;
  TDIB page;
  pdftest::RandomRunsPage(page, 40, 30, 8, 3);
  const int index = file.document.AddImage(page, icCCITT4);
  file.Show(index, true);
  file.Show(index, false);
  const std::string text = file.Finish();
  EXPECT_EQ(XObjectHead(text)[0], "5 0 obj");
  EXPECT_EQ(text.find("<</Type /XObject", text.find("<</Type /XObject") + 1), std::string::npos);
  size_t first = text.find("/Im0 5 0 R\r\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find("/Im0 5 0 R\r\n", first + 1), std::string::npos);
  EXPECT_EQ(pdftest::PdfInfo(file.path).pages, 2);
}

TEST(PDFImage, ShowImageWritesTheRotationOnlyWhenItCounts) {
  TDocumentFile file;
  TDIB page;
  page.NewImage(4, 4, pf1bit, 72, 72);
  const int index = file.document.AddImage(page, icCCITT4);
  TPDFPage& target = *file.document.CurrentPage();
  target.ShowImage(index, 10, 20, 100, 50, 0.0005);
  target.ShowImage(index, 10, 20, 100, 50, 30);
  EXPECT_EQ(test::ErrorOf([&] { target.ShowImage(1, 0, 0, 1, 1, 0); }), "Out of range");
  EXPECT_EQ(test::ErrorOf([&] { target.ShowImage(-1, 0, 0, 1, 1, 0); }), "Out of range");
  const std::vector<std::string> expected = {
      "q",       "q", "1 0 0 1 10 772 cm", "100 0 0 50 0 0 cm",           "/Im0 Do",
      "Q",       "q", "1 0 0 1 10 772 cm", "0.866 0.5 -0.5 0.866 0 0 cm", "100 0 0 50 0 0 cm",
      "/Im0 Do", "Q"};
  EXPECT_EQ(target.Content(), expected);
  file.Finish();
}

TEST(PDFImage, PagesWithAPaletteCodeAsTheir24BitForm) {
  TDIB grey, bilevel, custom;
  GeneratedPage(grey, 8, 203, 117, 72, 9);
  pdftest::RandomRunsPage(bilevel, 203, 117, 10, 6);
  // Four bits with a colour palette.
  custom.NewImage(203, 117, pf4bit, 72, 72);
  for (int i = 0; i < 16; ++i)
    custom.SetPaletteEntry(i, PaletteColor(16 * i, 255 - 9 * i, (i * 77) & 255));
  for (int y = 0; y < 117; ++y)
    for (int x = 0; x < 203; ++x) custom.SetPixel(x, y, (x / 7 + y / 5) % 16);
  for (const TDIB* page : {&grey, &bilevel, &custom}) {
    TDIB rgb;
    rgb.NewImage(page->Width(), page->Height(), pf24bit, 72, 72);
    for (int y = 0; y < page->Height(); ++y)
      for (int x = 0; x < page->Width(); ++x) {
        const uint32_t entry = page->PaletteEntry(page->GetPixel(x, y));
        rgb.SetPixel(x, y, RGBValue(PaletteRed(entry), PaletteGreen(entry), PaletteBlue(entry)));
      }
    TMemoryStream direct, converted;
    EncodeJpeg(*page, 80, direct);
    EncodeJpeg(rgb, 80, converted);
    EXPECT_TRUE(direct.Bytes() == converted.Bytes()) << page->BitCount() << " bits";
  }
}

TEST(PDFImage, GreyPagesOfEverySizeCodeAsTheir24BitForm) {
  // Grey pages skip the coder's colour conversion; the edges of the coding
  // blocks must come out as the conversion would have made them.
  struct Size {
    int width, height;
  };
  for (Size size : {Size{1, 1}, Size{16, 16}, Size{17, 33}, Size{31, 8}, Size{640, 15}}) {
    TDIB grey, rgb;
    GeneratedPage(grey, 8, size.width, size.height, 72, 3);
    rgb.NewImage(size.width, size.height, pf24bit, 72, 72);
    for (int y = 0; y < size.height; ++y)
      for (int x = 0; x < size.width; ++x) {
        const int level = grey.GetPixel(x, y);
        rgb.SetPixel(x, y,
                     RGBValue(static_cast<uint8_t>(level), static_cast<uint8_t>(level),
                              static_cast<uint8_t>(level)));
      }
    for (int quality : {30, 80, 100}) {
      TMemoryStream direct, converted;
      EncodeJpeg(grey, quality, direct);
      EncodeJpeg(rgb, quality, converted);
      EXPECT_TRUE(direct.Bytes() == converted.Bytes())
          << size.width << " x " << size.height << " at " << quality;
    }
  }
}
