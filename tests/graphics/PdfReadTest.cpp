#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "core/PageHandle.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "graphics/TiffGraphic.h"
#include "pdf/PDFDocument.h"

#include <gtest/gtest.h>

#include <tiffio.h>

namespace {

// Pages of 150 x 75 pixels at 150 dpi (a page of 72 x 36 points) as files
// the peer tools take, and how each one looks.
class PdfReadTest : public ::testing::Test {
protected:
  void SetUp() override {
    test::RandomGraphic(FBilevel, 150, 75, ifBlackWhite, 1);
    test::RandomGraphic(FGrey, 150, 75, ifGray256, 2);
    test::RandomGraphic(FColour, 150, 75, ifTrueColor, 3);
    for (TDibGraphic* page : {&FBilevel, &FGrey, &FColour}) page->SetResolution(150, 150);
    test::WriteTiffPage(File("bw-g4.tif"), FBilevel, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    test::WriteTiffPage(File("bw-g4-black1.tif"), FBilevel, PHOTOMETRIC_MINISBLACK,
                        COMPRESSION_CCITTFAX4);
    test::WriteTiffPage(File("bw.tif"), FBilevel, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
    test::WriteTiffPage(File("bw-white.tif"), FBilevel, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE);
    test::WriteTiffPage(File("grey.tif"), FGrey, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
    test::WriteTiffPage(File("colour.tif"), FColour, PHOTOMETRIC_RGB, COMPRESSION_NONE);
    for (TImageFormat format : {ifColor256, ifColor16}) {
      TTiffGraphic palette;
      test::RandomGraphic(palette, 150, 75, format, 4 + format);
      palette.SetResolution(150, 150);
      palette.SetCompression(tcLZW);
      palette.SaveToFile(File(format == ifColor256 ? "palette.tif" : "palette16.tif"));
      (format == ifColor256 ? FPalette : FPalette16).Assign(palette);
    }
    TJpegGraphic jpeg;
    jpeg.Assign(FGrey);
    jpeg.SaveToFile(File("grey.jpg"));
    jpeg.Assign(FColour);
    jpeg.SaveToFile(File("colour.jpg"));
    test::Tool({"convert", File("grey.tif"), "-depth", "16", "-define", "png:bit-depth=16",
                File("grey16.png")});
    test::Tool({"convert", File("grey.tif"), "-depth", "2", File("grey2.png")});
    test::Tool({"convert", File("grey2.png"), "-depth", "8", File("grey2.tif")});
  }

  std::string File(const std::string& name) const { return FDir.File(name); }

  // Page 1 of the file read by TPdfGraphic: its look, format and resolution.
  void ExpectPage(const std::string& pdf, const std::vector<uint32_t>& looks, TImageFormat format) {
    SCOPED_TRACE(pdf);
    TDibGraphic page;
    ASSERT_NO_THROW(test::LoadPdfPage(pdf, 1, page));
    EXPECT_EQ(page.Width(), 150);
    EXPECT_EQ(page.Height(), 75);
    EXPECT_EQ(page.ImageFormat(), format);
    EXPECT_EQ(page.XDpi(), 150);
    EXPECT_EQ(page.YDpi(), 150);
    EXPECT_EQ(test::Looks(page), looks);
  }

  std::vector<uint32_t> JpegFileLooks(const std::string& name) {
    return test::JpegLooks(test::DecodeJpeg(File(name)));
  }

  test::TempDir FDir;
  TDibGraphic FBilevel, FGrey, FColour, FPalette, FPalette16;
};

TEST_F(PdfReadTest, Img2pdfFilesOfEveryKind) {
  struct TCase {
    const char* input;
    TImageFormat format;
  };
  const TCase cases[] = {{"bw-g4.tif", ifBlackWhite},  {"bw-g4-black1.tif", ifBlackWhite},
                         {"bw.tif", ifBlackWhite},     {"grey.tif", ifGray256},
                         {"colour.tif", ifTrueColor},  {"palette.tif", ifColor256},
                         {"palette16.tif", ifColor16}, {"grey.jpg", ifGray256},
                         {"colour.jpg", ifTrueColor},  {"grey16.png", ifGray256},
                         {"grey2.png", ifGray16}};
  for (const char* engine : {"pikepdf", "internal"}) {
    for (const TCase& item : cases) {
      const std::string input = item.input;
      const std::string pdf = File(input + "." + engine + ".pdf");
      test::Tool({"img2pdf", "--engine", engine, "-o", pdf, File(input)});
      std::vector<uint32_t> looks;
      if (input.rfind("bw", 0) == 0)
        looks = test::Looks(FBilevel);
      else if (input == "grey.tif" || input == "grey16.png")
        looks = test::Looks(FGrey);
      else if (input == "colour.tif")
        looks = test::Looks(FColour);
      else if (input == "palette.tif")
        looks = test::Looks(FPalette);
      else if (input == "palette16.tif")
        looks = test::Looks(FPalette16);
      else if (input == "grey2.png")
        looks = test::TiffLooks(File("grey2.tif"), 0);
      else
        looks = JpegFileLooks(input);
      ExpectPage(pdf, looks, item.format);
    }
  }
  // img2pdf passes Group 4 data through, with BlackIs1 for black-is-one files.
  const std::string list =
      test::Tool({"qpdf", "--show-object=7", File("bw-g4-black1.tif.pikepdf.pdf")}).out;
  EXPECT_NE(list.find("/BlackIs1 true"), std::string::npos) << list;
}

TEST_F(PdfReadTest, Tiff2pdfFilesOfEveryKind) {
  struct TCase {
    const char* input;
    const char* option; // "" none, "-z" Flate, "-j" JPEG
    TImageFormat format;
  };
  const TCase cases[] = {{"bw-g4.tif", "", ifBlackWhite},   {"bw-g4-black1.tif", "", ifBlackWhite},
                         {"bw.tif", "", ifBlackWhite},      {"bw-white.tif", "", ifBlackWhite},
                         {"bw.tif", "-z", ifBlackWhite},    {"grey.tif", "", ifGray256},
                         {"grey.tif", "-z", ifGray256},     {"grey.tif", "-j", ifGray256},
                         {"colour.tif", "", ifTrueColor},   {"colour.tif", "-z", ifTrueColor},
                         {"colour.tif", "-j", ifTrueColor}, {"palette.tif", "", ifColor256},
                         {"palette16.tif", "-z", ifColor16}};
  int made = 0;
  for (const TCase& item : cases) {
    const std::string input = item.input;
    const std::string option = item.option;
    const std::string pdf = File(std::to_string(made++) + ".pdf");
    std::vector<std::string> command = {"tiff2pdf", "-o", pdf};
    if (!option.empty()) command.push_back(option);
    command.push_back(File(input));
    test::Tool(command);
    std::vector<uint32_t> looks;
    if (option == "-j")
      looks = test::JpegLooks(test::ExtractedJpeg(pdf, 1));
    else if (input.rfind("bw", 0) == 0)
      looks = test::Looks(FBilevel);
    else if (input == "grey.tif")
      looks = test::Looks(FGrey);
    else if (input == "colour.tif")
      looks = test::Looks(FColour);
    else if (input == "palette.tif")
      looks = test::Looks(FPalette);
    else
      looks = test::Looks(FPalette16);
    ExpectPage(pdf, looks, item.format);

    // The same file with its objects in object streams and a cross-reference
    // stream (predictor 12), and linearised.
    const std::string packed = pdf + ".packed.pdf";
    test::Tool({"qpdf", "--object-streams=generate", pdf, packed});
    ExpectPage(packed, looks, item.format);
    const std::string linear = pdf + ".linear.pdf";
    test::Tool({"qpdf", "--linearize", "--object-streams=generate", pdf, linear});
    ExpectPage(linear, looks, item.format);
  }
  EXPECT_NE(
      test::Tool({"qpdf", "--show-xref", File("0.pdf.packed.pdf")}).out.find("compressed; stream"),
      std::string::npos);
}

TEST_F(PdfReadTest, DocumentWriterFilesOfEveryKind) {
  const std::string pdf = File("document.pdf");
  TPDFDocument document;
  document.SetFileName(pdf);
  document.BeginDoc();
  const struct {
    const TDibGraphic* page;
    TImageCompression kind;
  } pages[] = {{&FBilevel, icCCITT4}, {&FBilevel, icCCITT2D}, {&FBilevel, icCCITT1D},
               {&FColour, icFlate},   {&FGrey, icFlate},      {&FColour, icJPEG},
               {&FGrey, icJPEG}};
  for (size_t i = 0; i < std::size(pages); ++i) {
    TPageHandle handle = pages[i].page->ExportPageHandle();
    TDIB dib;
    dib.AttachHandle(handle.Get());
    dib.SetOwnsHandle(false);
    const int image = document.AddImage(dib, pages[i].kind);
    if (i > 0) document.NewPage();
    document.CurrentPage()->SetWidth(72);
    document.CurrentPage()->SetHeight(36);
    document.CurrentPage()->ShowImage(image, 0, 0, 72, 36, 0);
  }
  document.EndDoc();
  const std::vector<std::vector<uint32_t>> looks = {test::Looks(FBilevel), test::Looks(FBilevel),
                                                    test::Looks(FBilevel), test::Looks(FColour),
                                                    test::Looks(FGrey)};
  TPdfGraphic reader;
  {
    TFileStream file(pdf, TFileStream::fmOpenRead);
    ASSERT_EQ(reader.ImageCount(file), 7);
  }
  for (int page = 1; page <= 7; ++page) {
    SCOPED_TRACE(page);
    TDibGraphic read;
    test::LoadPdfPage(pdf, page, read);
    EXPECT_EQ(read.XDpi(), 150);
    if (page <= 5)
      EXPECT_EQ(test::Looks(read), looks[static_cast<size_t>(page - 1)]);
    else
      EXPECT_EQ(test::Looks(read), test::JpegLooks(test::ExtractedJpeg(pdf, page)));
  }
}

} // namespace

namespace {

// Page 1 of a file held in memory, read by TPdfGraphic.
void ReadPage(const std::string& file, TDibGraphic& out) {
  TMemoryStream stream(file.data(), file.size());
  TPdfGraphic graphic;
  graphic.LoadImage(stream, 1);
  out.Assign(graphic);
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(PdfRead, CodingsAndColourSpacesOfOtherWriters) {
  TDibGraphic page;
  // Raw samples inverted by a Decode array.
  ReadPage(test::ImagePdf("/Width 8 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 1 "
                          "/Decode [1 0]",
                          "\xF0\x0F"),
           page);
  EXPECT_EQ(page.ImageFormat(), ifBlackWhite);
  EXPECT_EQ(test::Looks(page),
            (std::vector<uint32_t>{0, 0, 0, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                   0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0}));
  // Run-length data: a literal run and a repeated byte.
  ReadPage(test::ImagePdf("/Width 4 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8 "
                          "/Filter /RunLengthDecode",
                          std::string("\x03\x0A\x14\x1E\x28\xFD\x07\x80", 8)),
           page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x0A0A0A, 0x141414, 0x1E1E1E, 0x282828,
                                                      0x070707, 0x070707, 0x070707, 0x070707}));
  // Flate with the TIFF predictor, and with PNG rows (Sub, Up, Average, Paeth).
  const std::vector<uint8_t> tiffRows = test::Deflate({10, 20, 30, 5, 5, 5});
  ReadPage(
      test::ImagePdf("/Width 2 /Height 1 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                     "/Filter /FlateDecode /DecodeParms << /Predictor 2 /Colors 3 /Columns 2 >>",
                     Text(tiffRows)),
      page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x0A141E, 0x0F1923}));
  const std::vector<uint8_t> pngRows = test::Deflate({1, 10, 5, 2, 1, 1, 3, 4, 4, 4, 0, 0});
  ReadPage(test::ImagePdf("/Width 2 /Height 4 /ColorSpace /DeviceGray /BitsPerComponent 8 "
                          "/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 2 >>",
                          Text(pngRows)),
           page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x0A0A0A, 0x0F0F0F, 0x0B0B0B, 0x101010,
                                                      0x090909, 0x101010, 0x090909, 0x101010}));
  // A 2-bit palette over grey levels, from a palette stream, and calibrated and ICC spaces.
  ReadPage(
      test::BuildPdf(
          {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 4 1] /Resources << "
           "/XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>",
           test::StreamObject("", "/Im0 Do"),
           test::StreamObject("/Type /XObject /Subtype /Image /Width 4 /Height 1 "
                              "/ColorSpace [/Indexed /DeviceGray 3 6 0 R] "
                              "/BitsPerComponent 2",
                              "\x1B"),
           test::StreamObject("/Filter /FlateDecode", Text(test::Deflate({0, 100, 200, 255})))},
          "/Root 1 0 R"),
      page);
  EXPECT_EQ(page.ImageFormat(), ifGray16);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0, 0x646464, 0xC8C8C8, 0xFFFFFF}));
  ReadPage(test::BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                           "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources << "
                           "/XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>",
                           test::StreamObject("", "/Im0 Do"),
                           test::StreamObject("/Type /XObject /Subtype /Image /Width 1 /Height 1 "
                                              "/ColorSpace [/ICCBased 6 0 R] /BitsPerComponent 8",
                                              "\x01\x02\x03"),
                           test::StreamObject("/N 3", "profile")},
                          "/Root 1 0 R"),
           page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x010203}));
  ReadPage(test::ImagePdf("/Width 1 /Height 1 /ColorSpace [/CalGray << /WhitePoint [1 1 1] >>] "
                          "/BitsPerComponent 16",
                          "\x80\x01"),
           page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x808080}));
}

TEST(PdfRead, FaxCodingsOfEveryKind) {
  test::TempDir dir;
  TDibGraphic bilevel;
  test::RandomGraphic(bilevel, 61, 23, ifBlackWhite, 12);
  const struct {
    int compression;
    int options;
    const char* parameters;
  } cases[] = {{COMPRESSION_CCITTRLE, 0, "/K 0 /EncodedByteAlign true"},
               {COMPRESSION_CCITTFAX3, 0, "/K 0 /EndOfLine true"},
               {COMPRESSION_CCITTFAX3, 0, "/K 0"},
               {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, "/K 4 /EndOfLine true"},
               {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS,
                "/K 1 /EndOfLine true /EncodedByteAlign true"},
               {COMPRESSION_CCITTFAX4, 0, "/K -1 /BlackIs1 false"}};
  for (const auto& item : cases) {
    SCOPED_TRACE(item.parameters);
    const std::string tiff = dir.File("fax.tif");
    test::WriteTiffPage(tiff, bilevel, PHOTOMETRIC_MINISWHITE, item.compression, item.options);
    TDibGraphic page;
    ReadPage(test::ImagePdf("/Width 61 /Height 23 /ColorSpace /DeviceGray /BitsPerComponent 1 "
                            "/Filter /CCITTFaxDecode /DecodeParms << /Columns 61 " +
                                std::string(item.parameters) + " >>",
                            Text(test::RawStrip(tiff))),
             page);
    EXPECT_TRUE(test::SameLook(page, bilevel));
  }
}

TEST(PdfRead, ObjectsInObjectStreams) {
  const std::string catalogue = "<< /Type /Catalog /Pages 2 0 R >> ";
  const std::string header = "1 0 2 " + std::to_string(catalogue.size()) + " ";
  const std::string objects = header + catalogue + "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
  const std::string file = test::BuildPdfWithXRefStream(
      {"", "",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] /Resources << /XObject << "
       "/Im0 5 0 R >> >> /Contents 4 0 R >>",
       test::StreamObject("", "/Im0 Do"),
       test::StreamObject("/Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace "
                          "/DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                          Text(test::Deflate({7, 9}))),
       test::StreamObject("/Type /ObjStm /N 2 /First " + std::to_string(header.size()), objects)},
      {{1, 2, 6, 0}, {2, 2, 6, 1}}, "/Root 1 0 R");
  TDibGraphic page;
  ReadPage(file, page);
  EXPECT_EQ(test::Looks(page), (std::vector<uint32_t>{0x070707, 0x090909}));
  EXPECT_EQ(page.XDpi(), 2);
}

} // namespace
