#include "PdfTestSupport.h"

#include "core/MemoryStream.h"
#include "pdf/BatchPdf.h"
#include "pdf/CCITTCompression.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFException.h"
#include "pdf/PDFWriter.h"
#include "raster/PageGenerator.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using pdftest::Lines;
using pdftest::ReadText;

namespace {

constexpr const char* kIdentifier = "0123456789abcdef0123456789abcdef";

TPDFDateTime FixedDate() {
  TPDFDateTime date;
  date.Year = 2024;
  date.Month = 6;
  date.Day = 11;
  date.Hour = 9;
  date.Minute = 5;
  date.Second = 7;
  return date;
}

void Prepare(TPDFDocument& document, const std::string& path) {
  document.SetFileName(path);
  document.SetFixedIdentifier(kIdentifier);
  TPDFDocInfo info = document.DocumentInfo();
  info.CreationDate = FixedDate();
  document.SetDocumentInfo(info);
}

void ExpectValid(const std::string& path) {
  const pdftest::TCheck check = pdftest::QpdfCheck(path);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
}

// Appends lines, each ended by CR LF.
void Add(std::string& text, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) text += line + "\r\n";
}

// The cross-reference table and trailer for a file whose objects 1 to n all
// start with "N 0 obj" somewhere in text.
std::string CrossReference(const std::string& text, int n, int root, int info) {
  std::string out;
  Add(out, {"xref", "0 " + std::to_string(n + 1), "0000000000 65535 f"});
  for (int i = 1; i <= n; ++i) {
    const std::string header = "\r\n" + std::to_string(i) + " 0 obj\r\n";
    const size_t at = text.find(header);
    EXPECT_NE(at, std::string::npos) << "object " << i;
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n", at + 2);
    Add(out, {entry});
  }
  Add(out, {"trailer", "<<", "/Size " + std::to_string(n + 1), "/Root " + std::to_string(root) + " 0 R",
            "/Info " + std::to_string(info) + " 0 R",
            std::string("/ID [<") + kIdentifier + "><" + kIdentifier + ">]", ">>", "startxref",
            std::to_string(text.size()), "%%EOF"});
  return out;
}

// Object number -> offset, from the file's own cross-reference table; checks
// every entry's length and that startxref points at "xref".
std::map<int, size_t> ReadCrossReference(const std::string& text) {
  const size_t startxref = text.rfind("startxref\r\n");
  EXPECT_NE(startxref, std::string::npos);
  const size_t xref = std::stoul(text.substr(startxref + 11));
  EXPECT_EQ(text.substr(xref, 6), "xref\r\n");
  size_t at = xref + 6;
  const size_t lineEnd = text.find("\r\n", at);
  const int count = std::stoi(text.substr(at + 2, lineEnd - at - 2));
  at = lineEnd + 2;
  EXPECT_EQ(text.substr(at, 20), "0000000000 65535 f\r\n");
  std::map<int, size_t> offsets;
  for (int i = 1; i < count; ++i) {
    const std::string entry = text.substr(at + 20 * static_cast<size_t>(i), 20);
    EXPECT_EQ(entry.substr(10), " 00000 n\r\n");
    offsets[i] = std::stoul(entry.substr(0, 10));
    EXPECT_EQ(text.substr(offsets[i], std::to_string(i).size() + 8), std::to_string(i) + " 0 obj\r\n");
  }
  EXPECT_EQ(text.substr(at + 20 * static_cast<size_t>(count), 9), "trailer\r\n");
  return offsets;
}

// The lines of object number from its header to "endobj".
std::vector<std::string> ObjectLines(const std::string& text, int number) {
  const std::map<int, size_t> offsets = ReadCrossReference(text);
  const size_t start = offsets.at(number);
  const size_t end = text.find("endobj\r\n", start);
  return Lines(text.substr(start, end + 6 - start));
}

void DrawOnePage(TPDFDocument& document, int width, int height) {
  TDIB page;
  page.NewImage(width, height, pf1bit, 72, 72);
  page.FillBits(0xFF);
  const int index = document.AddImage(page, icCCITT4);
  document.CurrentPage()->SetWidth(width);
  document.CurrentPage()->SetHeight(height);
  document.CurrentPage()->ShowImage(index, 0, 0, width, height, 0);
}

} // namespace

TEST(PDFDocument, WritesTheOnePageFileLineForLine) {
  test::TempDir dir;
  TDIB page;
  TPageSpec layout;
  layout.Width = 2550;
  layout.Height = 3300;
  layout.Dpi = 300;
  GeneratePage(page, layout);
  for (TPDFVersion version : {v13, v14}) {
    const std::string path = dir.File(version == v13 ? "example.pdf" : "example14.pdf");
    TPDFDocument document;
    Prepare(document, path);
    document.SetVersion(version);
    document.BeginDoc();
    TPDFBatch(document).AddPage(page);
    document.EndDoc();

    TMemoryStream coded;
    TCCITTCompression::CompressBitmap(page, coded, cmGroup4);
    const std::string data(coded.Bytes().begin(), coded.Bytes().end());
    std::string expected;
    Add(expected, {version == v13 ? "%PDF-1.3" : "%PDF-1.4", "3 0 obj", "<</Creator (Vellumtrace SDK)",
                   "/CreationDate (D:20240611090507)", "/Producer (Vellumtrace PDF Library)",
                   "/Author ()", "/Title (No Title)", "/Subject ()", "/Keywords ()", ">>", "endobj",
                   "1 0 obj", "<</Type /Pages", "/Kids [", "2 0 R", "]", "/Count 1", ">>", "endobj",
                   "4 0 obj", "<</Type /XObject", "/Subtype /Image", "/ColorSpace /DeviceGray",
                   "/BitsPerComponent 1", "/Width 2550", "/Height 3300", "/Filter [/CCITTFaxDecode]",
                   "/Length " + std::to_string(data.size()),
                   "/DecodeParms [<</K -1 /Columns 2550 /Rows 3300>>]", ">>", "stream"});
    expected += data;
    Add(expected, {"endstream", "endobj", "5 0 obj", "<< /XObject <<", "/Im0 4 0 R", ">>", ">>",
                   "endobj", "6 0 obj", "<</Length 57", ">>", "stream", "q", "q", "1 0 0 1 0 0 cm",
                   "612 0 0 792 0 0 cm", "/Im0 Do", "Q", "Q", "", "endstream", "endobj", "2 0 obj",
                   "<</Type /Page", "/Parent 1 0 R", "/Resources 5 0 R", "/Contents [6 0 R]",
                   "/MediaBox [0 0 612 792]", ">>", "endobj", "7 0 obj", "<</Type /Catalog",
                   " /Pages 1 0 R", "/PageLayout /SinglePage", "/PageMode /UseNone", ">>", "endobj"});
    expected += CrossReference(expected, 7, 7, 3);
    const std::string written = ReadText(path);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected) << "the file differs from the worked example";
    ExpectValid(path);
  }
}

TEST(PDFDocument, EmptyDocumentHasOneEmptyPage) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("empty.pdf"));
  document.BeginDoc();
  document.EndDoc();
  const std::string text = ReadText(dir.File("empty.pdf"));
  // Pages 1, page 2, information 3, resources 4, contents 5, catalog 6.
  EXPECT_EQ(ObjectLines(text, 4), (std::vector<std::string>{"4 0 obj", "<<>>", "endobj"}));
  EXPECT_EQ(ObjectLines(text, 5), (std::vector<std::string>{"5 0 obj", "<</Length 6", ">>", "stream",
                                                            "q", "Q", "", "endstream", "endobj"}));
  const std::vector<std::string> page = ObjectLines(text, 2);
  EXPECT_EQ(page[5], "/MediaBox [0 0 595 842]");
  ExpectValid(dir.File("empty.pdf"));
  const pdftest::TPdfInfo info = pdftest::PdfInfo(dir.File("empty.pdf"));
  EXPECT_EQ(info.pages, 1);
  EXPECT_EQ(info.sizes, std::vector<std::string>{"595 x 842"});
}

TEST(PDFDocument, NumbersObjectsOfManyPagesInWritingOrder) {
  test::TempDir dir;
  for (int k : {1, 2, 5}) {
    const std::string path = dir.File("pages" + std::to_string(k) + ".pdf");
    TPDFDocument document;
    Prepare(document, path);
    document.BeginDoc();
    for (int i = 0; i < k; ++i) {
      if (i > 0) document.NewPage();
      DrawOnePage(document, 100 + i, 200);
    }
    document.EndDoc();
    const std::string text = ReadText(path);
    const std::map<int, size_t> offsets = ReadCrossReference(text);
    ASSERT_EQ(static_cast<int>(offsets.size()), 4 * k + 3);
    EXPECT_NE(text.find("/Size " + std::to_string(4 * k + 4) + "\r\n"), std::string::npos);
    EXPECT_EQ(ObjectLines(text, k + 2)[1].rfind("<</Creator", 0), 0u);
    for (int i = 0; i < k; ++i) {
      const int image = k + 3 + 3 * i;
      EXPECT_EQ(ObjectLines(text, image)[1], "<</Type /XObject");
      EXPECT_EQ(ObjectLines(text, image + 1)[2], "/Im" + std::to_string(i) + " " +
                                                    std::to_string(image) + " 0 R");
      const std::vector<std::string> page = ObjectLines(text, 2 + i);
      EXPECT_EQ(page[3], "/Resources " + std::to_string(image + 1) + " 0 R");
      EXPECT_EQ(page[4], "/Contents [" + std::to_string(image + 2) + " 0 R]");
      // Each page's objects follow its image and precede the next page's.
      EXPECT_LT(offsets.at(image), offsets.at(image + 1));
      EXPECT_LT(offsets.at(image + 2), offsets.at(2 + i));
    }
    EXPECT_EQ(ObjectLines(text, 4 * k + 3)[1], "<</Type /Catalog");
    EXPECT_EQ(pdftest::PdfInfo(path).pages, k);
    ExpectValid(path);
  }
}

TEST(PDFDocument, EscapesInformationStrings) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("title.pdf"));
  TPDFDocInfo info = document.DocumentInfo();
  info.Title = "a(b)c\\d\re\nf";
  info.Author = "Ann";
  info.Producer = "ignored";
  document.SetDocumentInfo(info);
  document.BeginDoc();
  document.EndDoc();
  const std::string text = ReadText(dir.File("title.pdf"));
  const std::vector<std::string> lines = ObjectLines(text, 3);
  EXPECT_EQ(lines[5], "/Title (a\\(b\\)c\\\\d\\re\nf)");
  EXPECT_EQ(lines[4], "/Author (Ann)");
  EXPECT_EQ(lines[3], "/Producer (Vellumtrace PDF Library)");
  ExpectValid(dir.File("title.pdf"));
  const test::RunResult run = test::Run({"pdfinfo", dir.File("title.pdf")});
  EXPECT_NE(run.out.find("a(b)c\\d"), std::string::npos) << run.out;
}

TEST(PDFDocument, FlateContentInflatesToTheSameText) {
  test::TempDir dir;
  std::map<TCompressionType, std::string> files;
  for (TCompressionType compression : {ctNone, ctFlate}) {
    const std::string path = dir.File(compression == ctNone ? "plain.pdf" : "flate.pdf");
    TPDFDocument document;
    Prepare(document, path);
    document.SetCompression(compression);
    document.BeginDoc();
    DrawOnePage(document, 300, 400);
    document.CurrentPage()->ShowImage(0, 10.5, 20.25, 30, 40, 0);
    document.EndDoc();
    files[compression] = ReadText(path);
    ExpectValid(path);
  }
  const std::string& flate = files[ctFlate];
  const std::map<int, size_t> offsets = ReadCrossReference(flate);
  const size_t contents = offsets.at(6);
  const std::vector<std::string> head = Lines(flate.substr(contents, 80));
  ASSERT_EQ(head[2], "/Filter /FlateDecode");
  const size_t length = std::stoul(head[1].substr(9));
  const size_t data = flate.find("stream\r\n", contents) + 8;
  const std::vector<uint8_t> inflated =
      pdftest::Inflate(reinterpret_cast<const uint8_t*>(flate.data()) + data, length);
  EXPECT_EQ(flate.substr(data + length, 11), "\r\nendstream");
  const std::string& plain = files[ctNone];
  const size_t plainData = plain.find("stream\r\n", ReadCrossReference(plain).at(6)) + 8;
  const std::string text(inflated.begin(), inflated.end());
  EXPECT_EQ(text, plain.substr(plainData, text.size()));
  EXPECT_EQ(text, "q\r\nq\r\n1 0 0 1 0 0 cm\r\n300 0 0 400 0 0 cm\r\n/Im0 Do\r\nQ\r\nq\r\n"
                  "1 0 0 1 10.5 339.75 cm\r\n30 0 0 40 0 0 cm\r\n/Im0 Do\r\nQ\r\nQ\r\n");
  // Images are not affected.
  EXPECT_EQ(ObjectLines(flate, 4), ObjectLines(plain, 4));
}

TEST(PDFDocument, PageSizeThroughThePageFactor) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("sizes.pdf"));
  document.SetResolution(144);
  document.BeginDoc();
  TPDFPage& page = *document.CurrentPage();
  EXPECT_EQ(page.PageSize(), 2);
  EXPECT_EQ(page.Width(), 1190);
  page.SetWidth(1224);
  EXPECT_EQ(page.PointWidth(), 612);
  EXPECT_EQ(page.Width(), 1224);
  EXPECT_EQ(page.PageSize(), 0);
  page.SetOrientation(1);
  EXPECT_EQ(page.PointWidth(), 842);
  EXPECT_EQ(page.PointHeight(), 612);
  page.SetPageSize(1);
  EXPECT_EQ(page.PointWidth(), 792); // landscape kept
  page.SetOrientation(0);
  page.SetPageSize(0);
  EXPECT_EQ(page.PointWidth(), 612);
  EXPECT_EQ(page.PointHeight(), 792);
  page.SetRotation(1);
  document.NewPage();
  document.CurrentPage()->SetPageSize(3);
  document.CurrentPage()->SetRotation(3);
  document.EndDoc();
  const std::string text = ReadText(dir.File("sizes.pdf"));
  EXPECT_EQ(ObjectLines(text, 2)[5], "/MediaBox [0 0 612 792]");
  EXPECT_EQ(ObjectLines(text, 2)[6], "/Rotate 90");
  EXPECT_EQ(ObjectLines(text, 3)[6], "/Rotate 270");
  ExpectValid(dir.File("sizes.pdf"));
  EXPECT_EQ(pdftest::PdfInfo(dir.File("sizes.pdf")).sizes,
            (std::vector<std::string>{"612 x 792", "842 x 1190"}));
}

TEST(PDFDocument, PageSizeIsFixedOnceDrawingStarted) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("progress.pdf"));
  document.BeginDoc();
  TPDFPage& page = *document.CurrentPage();
  page.SetHeight(500);
  EXPECT_FALSE(page.DrawingStarted());
  TDIB bitmap;
  bitmap.NewImage(8, 8, pf1bit, 72, 72);
  page.ShowImage(document.AddImage(bitmap, icCCITT4), 0, 0, 100, 100, 0);
  EXPECT_TRUE(page.DrawingStarted());
  EXPECT_EQ(test::ErrorOf([&] { page.SetHeight(600); }), "Page in progress");
  EXPECT_EQ(test::ErrorOf([&] { page.SetWidth(600); }), "Page in progress");
  EXPECT_EQ(test::ErrorOf([&] { page.SetPageSize(1); }), "Page in progress");
  EXPECT_EQ(test::ErrorOf([&] { page.SetOrientation(1); }), "Page in progress");
  page.SetRotation(2);
  EXPECT_EQ(page.PointHeight(), 500);
  document.EndDoc();
}

TEST(PDFDocument, RefusesCallsOutOfState) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("state.pdf"));
  TDIB page;
  page.NewImage(8, 8, pf1bit, 72, 72);
  const std::string notActivated = "Generation PDF file not activated";
  EXPECT_EQ(test::ErrorOf([&] { document.NewPage(); }), notActivated);
  EXPECT_EQ(test::ErrorOf([&] { document.AddImage(page, icCCITT4); }), notActivated);
  EXPECT_EQ(test::ErrorOf([&] { document.AddImage(dir.File("none.bmp"), icCCITT4); }), notActivated);
  EXPECT_EQ(test::ErrorOf([&] { document.EndDoc(); }), notActivated);
  EXPECT_EQ(test::ErrorOf([&] { document.Abort(); }), notActivated);
  EXPECT_EQ(document.CurrentPage(), nullptr);
  document.BeginDoc();
  const std::string inProgress = "Generation PDF file in progress";
  EXPECT_EQ(test::ErrorOf([&] { document.BeginDoc(); }), inProgress);
  EXPECT_EQ(test::ErrorOf([&] { document.SetFileName(dir.File("other.pdf")); }), inProgress);
  EXPECT_EQ(test::ErrorOf([&] { document.SetOnePass(true); }), inProgress);
  EXPECT_EQ(test::ErrorOf([&] { document.CurrentPage()->CreateCanvas(); }),
            "Canvas for this page already created");
  EXPECT_EQ(test::ErrorOf([&] { document.CurrentPage()->ShowImage(0, 0, 0, 1, 1, 0); }), "Out of range");
  document.EndDoc();
  EXPECT_FALSE(document.Generating());
  EXPECT_FALSE(document.Aborted());
  // A document can be generated again; every list starts empty.
  document.SetFileName(dir.File("again.pdf"));
  document.BeginDoc();
  EXPECT_EQ(document.Images().Count(), 0);
  EXPECT_EQ(document.Pages().Count(), 1);
  EXPECT_EQ(document.CurrentPage()->ObjectNumber(), 2);
  document.EndDoc();
  ExpectValid(dir.File("again.pdf"));
}

TEST(PDFWriter, RefusesObjectNumbersNotHandedOut) {
  TMemoryStream out;
  TPDFWriter writer(out);
  EXPECT_EQ(writer.NewObjectNumber(), 1);
  int number = 2;
  EXPECT_EQ(test::ErrorOf([&] { writer.BeginObject(number); }), "Out of range");
  number = 0;
  writer.BeginObject(number);
  EXPECT_EQ(number, 2);
  writer.Flush();
  EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().end()), "2 0 obj\r\n<<");
}

TEST(PDFDocument, CanvasRecordingGoesBeforeThePageContent) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("canvas.pdf"));
  document.BeginDoc();
  // Drawn, but reaching less than one unit down: nothing is added.
  document.CurrentPage()->Canvas()->Draw({"0 0 m 10 0 l S"}, 10, 0.5);
  document.NewPage();
  document.CurrentPage()->Canvas()->Draw({"0 0 m 10 10 l S"}, 10, 10);
  document.NewPage();
  EXPECT_NE(document.CurrentPage()->Canvas(), nullptr);
  document.EndDoc();
  const std::string text = ReadText(dir.File("canvas.pdf"));
  // Pages 2, 3, 4; information 5; then resources and contents per page.
  EXPECT_EQ(ObjectLines(text, 7)[4], "q");
  EXPECT_EQ(ObjectLines(text, 7)[5], "Q");
  const std::vector<std::string> drawn = ObjectLines(text, 9);
  EXPECT_EQ(drawn[1], "<</Length 26");
  EXPECT_EQ(drawn[4], "0 0 m 10 10 l S");
  EXPECT_EQ(drawn[5], "\r");
  EXPECT_EQ(drawn[6], "q");
  EXPECT_EQ(ObjectLines(text, 11)[1], "<</Length 6");
  ExpectValid(dir.File("canvas.pdf"));
}

TEST(PDFDocument, ClosesGraphicsStatesLeftOpen) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("states.pdf"));
  document.BeginDoc();
  TPDFPage& page = *document.CurrentPage();
  page.GStateRestore(); // the page's own "q" stays open
  EXPECT_EQ(page.StateDepth(), 1);
  page.GStateSave();
  page.GStateSave();
  page.GStateRestore();
  page.GStateSave();
  EXPECT_EQ(page.StateDepth(), 3);
  document.EndDoc();
  const std::vector<std::string> contents = ObjectLines(ReadText(dir.File("states.pdf")), 5);
  EXPECT_EQ(std::vector<std::string>(contents.begin() + 4, contents.end() - 3),
            (std::vector<std::string>{"q", "q", "q", "Q", "q", "Q", "Q", "Q"}));
  ExpectValid(dir.File("states.pdf"));
}

TEST(PDFDocument, CatalogCarriesLayoutModeAndViewerPreferences) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("catalog.pdf"));
  document.SetPageLayout(plTwoColumnLeft);
  document.SetPageMode(pmFullScreen);
  document.SetViewerPreferences({vpCenterWindow, vpHideToolBar, vpFitWindow});
  document.BeginDoc();
  document.EndDoc();
  EXPECT_EQ(ObjectLines(ReadText(dir.File("catalog.pdf")), 6),
            (std::vector<std::string>{"6 0 obj", "<</Type /Catalog", " /Pages 1 0 R",
                                      "/PageLayout /TwoColumnLeft", "/ViewerPreferences <<",
                                      "/HideToolbar true", "/FitWindow true", "/CenterWindow true",
                                      ">>", "/PageMode /FullScreen", ">>", "endobj"}));
  ExpectValid(dir.File("catalog.pdf"));
}

TEST(PDFDocument, OnePassWritesPagesAsTheyEndAndLeavesUndrawnImagesOut) {
  test::TempDir dir;
  for (bool onePass : {false, true}) {
    const std::string path = dir.File(onePass ? "onepass.pdf" : "twopass.pdf");
    TPDFDocument document;
    Prepare(document, path);
    document.SetOnePass(onePass);
    document.BeginDoc();
    DrawOnePage(document, 50, 60);
    TDIB unused;
    unused.NewImage(9, 9, pf8bit, 72, 72);
    document.AddImage(unused, icFlate);
    document.NewPage();
    DrawOnePage(document, 70, 80);
    document.EndDoc();
    const std::string text = ReadText(path);
    const std::map<int, size_t> offsets = ReadCrossReference(text);
    if (onePass) {
      // Page 2 and its objects come before the page made by NewPage (number 6).
      EXPECT_EQ(offsets.size(), 11u);
      EXPECT_EQ(ObjectLines(text, 3)[1], "<</Type /XObject");
      EXPECT_LT(offsets.at(2), offsets.at(6));
      EXPECT_EQ(text.find("/Im1 "), std::string::npos);
    } else {
      EXPECT_EQ(offsets.size(), 12u);
      EXPECT_EQ(ObjectLines(text, 12)[7], "/Filter /FlateDecode"); // the undrawn image, last
    }
    ExpectValid(path);
    EXPECT_EQ(pdftest::PdfInfo(path).sizes, (std::vector<std::string>{"50 x 60", "70 x 80"}));
  }
}

TEST(PDFDocument, FailedEndDocRemovesThePartialFileAndDoesNotLaunch) {
  test::TempDir dir;
  // A folder made where the file should go while it is written: the finished
  // file cannot take its place.
  const std::string path = dir.File("taken.pdf");
  TPDFDocument document;
  Prepare(document, path);
  document.SetAutoLaunch(true);
  int launches = 0;
  document.SetLauncher([&](const std::string&) { ++launches; });
  document.BeginDoc();
  std::filesystem::create_directory(path);
  DrawOnePage(document, 10, 10);
  EXPECT_THROW(document.EndDoc(), EFCreateError);
  EXPECT_TRUE(document.Aborted());
  EXPECT_FALSE(document.Generating());
  EXPECT_EQ(launches, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(PDFDocument, LaunchesTheFinishedFileWhenAsked) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("open.pdf"));
  std::vector<std::string> launched;
  document.SetLauncher([&](const std::string& name) {
    EXPECT_TRUE(test::FileExists(name));
    launched.push_back(name);
    throw Exception("no viewer");
  });
  document.BeginDoc();
  document.EndDoc();
  EXPECT_TRUE(launched.empty());
  document.SetAutoLaunch(true);
  document.BeginDoc();
  document.EndDoc(); // the launcher's failure is ignored
  EXPECT_EQ(launched, std::vector<std::string>{dir.File("open.pdf")});
}

TEST(PDFDocument, AbortLeavesNoPartialFileAndKeepsAnEarlierOne) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("new.pdf"));
  document.BeginDoc();
  document.Abort();
  EXPECT_TRUE(document.Aborted());
  EXPECT_FALSE(test::FileExists(dir.File("new.pdf")));

  test::WriteFile(dir.File("old.pdf"), {'o', 'l', 'd'});
  document.SetFileName(dir.File("old.pdf"));
  document.BeginDoc();
  DrawOnePage(document, 10, 10);
  document.Abort();
  EXPECT_EQ(test::ReadFile(dir.File("old.pdf")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  // Finished, the new file replaces the old one.
  document.BeginDoc();
  EXPECT_FALSE(document.Aborted());
  document.EndDoc();
  ExpectValid(dir.File("old.pdf"));
}

TEST(PDFDocument, OutputStreamReceivesTheWholeFileAndNoFileIsMade) {
  test::TempDir dir;
  TPDFDocument document;
  Prepare(document, dir.File("memory.pdf"));
  TMemoryStream out;
  document.SetOutputStream(&out);
  EXPECT_EQ(document.OutputStream(), &out);
  document.BeginDoc();
  DrawOnePage(document, 20, 30);
  document.EndDoc();
  EXPECT_FALSE(test::FileExists(dir.File("memory.pdf")));
  test::WriteFile(dir.File("copy.pdf"), out.Bytes());
  ExpectValid(dir.File("copy.pdf"));
  // Written to a file instead, the bytes are the same.
  document.SetOutputStream(nullptr);
  document.BeginDoc();
  DrawOnePage(document, 20, 30);
  document.EndDoc();
  EXPECT_EQ(test::ReadFile(dir.File("memory.pdf")), out.Bytes());
}

TEST(PDFDocument, IdentifiersDifferBetweenFiles) {
  test::TempDir dir;
  TPDFDocument document;
  document.SetFileName(dir.File("a.pdf"));
  document.BeginDoc();
  const std::string first = document.FileIdentifier();
  document.EndDoc();
  document.SetFileName(dir.File("b.pdf"));
  document.BeginDoc();
  const std::string second = document.FileIdentifier();
  document.EndDoc();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, second);
  EXPECT_NE(ReadText(dir.File("a.pdf")).find("/ID [<" + first + "><" + first + ">]"), std::string::npos);
  EXPECT_THROW(document.SetFixedIdentifier("ABC"), TPDFException);
}

TEST(PDFFormat, RealsHaveAtMostFourDecimals) {
  EXPECT_EQ(FormatPDFReal(612), "612");
  EXPECT_EQ(FormatPDFReal(0.8660254037844387), "0.866");
  EXPECT_EQ(FormatPDFReal(-0.5), "-0.5");
  EXPECT_EQ(FormatPDFReal(0.00004), "0");
  EXPECT_EQ(FormatPDFReal(-0.00004), "0");
  EXPECT_EQ(FormatPDFReal(1234.56789), "1234.5679");
  EXPECT_EQ(FormatPDFReal(-10), "-10");
  EXPECT_EQ(FormatPDFDate(FixedDate()), "20240611090507");
}
