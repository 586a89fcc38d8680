#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "pdf/PDFException.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <tiffio.h>

namespace {

// Three pages of different codings at 100 dpi: Group 4, JPEG and Flate.
void ThreePages(const std::string& path, std::vector<std::unique_ptr<TPdfGraphic>>& pages) {
  const TImageFormat formats[] = {ifBlackWhite, ifTrueColor, ifGray16};
  for (int i = 0; i < 3; ++i) {
    auto page = std::make_unique<TPdfGraphic>();
    test::RandomGraphic(*page, 200 + 8 * i, 100 + 2 * i, formats[i], 40 + i);
    page->SetResolution(100, 100);
    if (i == 0)
      page->SaveToFile(path);
    else
      page->AppendToFile(path);
    pages.push_back(std::move(page));
  }
}

TEST(PdfGraphicAppend, AFourthPageLeavesTheEarlierImageStreamsAsTheyWere) {
  test::TempDir dir;
  const std::string path = dir.File("book.pdf");
  std::vector<std::unique_ptr<TPdfGraphic>> pages;
  ThreePages(path, pages);
  std::vector<std::vector<uint8_t>> streams;
  std::vector<std::vector<uint32_t>> looks;
  for (int i = 0; i < 3; ++i) {
    streams.push_back(test::RawStream(path, 7 + 4 * i));
    ASSERT_GT(streams.back().size(), 20u);
    TDibGraphic page;
    test::LoadPdfPage(path, i + 1, page);
    looks.push_back(test::Looks(page));
  }

  TPdfGraphic fourth;
  test::RandomGraphic(fourth, 123, 45, ifColor256, 9);
  fourth.SetResolution(100, 100);
  fourth.AppendToFile(path);

  EXPECT_EQ(test::Tool({"qpdf", "--check", path}).status, 0);
  EXPECT_NE(test::Tool({"pdfinfo", path}).out.find("Pages:           4"), std::string::npos);
  TPdfGraphic reader;
  {
    TFileStream file(path, TFileStream::fmOpenRead);
    EXPECT_EQ(reader.ImageCount(file), 4);
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(test::RawStream(path, 7 + 4 * i), streams[static_cast<size_t>(i)])
        << "page " << i + 1;
    TDibGraphic page;
    test::LoadPdfPage(path, i + 1, page);
    EXPECT_EQ(test::Looks(page), looks[static_cast<size_t>(i)]) << "page " << i + 1;
  }
  TDibGraphic last;
  test::LoadPdfPage(path, 4, last);
  EXPECT_TRUE(test::SameLook(last, fourth));

  // The layout of an appended file: information 1, pages 2, catalogue 3, then
  // for page i page 4 + 4i, content 5 + 4i, resources 6 + 4i, image 7 + 4i.
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  const std::string text(bytes.begin(), bytes.end());
  std::vector<int> order;
  for (size_t at = text.find(" 0 obj\r\n"); at != std::string::npos;
       at = text.find(" 0 obj\r\n", at + 1))
    order.push_back(std::stoi(text.substr(text.rfind('\n', at) + 1)));
  EXPECT_EQ(order,
            (std::vector<int>{1, 2, 4, 6, 5, 7, 8, 10, 9, 11, 12, 14, 13, 15, 16, 18, 19, 17, 3}));
  EXPECT_NE(text.find("/Kids [\r\n4 0 R\r\n8 0 R\r\n12 0 R\r\n16 0 R\r\n]\r\n/Count 4"),
            std::string::npos);
  EXPECT_NE(text.find("trailer\r\n<<\r\n/Size 20\r\n/Root 3 0 R\r\n/Info 1 0 R\r\n>>"),
            std::string::npos);
  // Every page refers to its own objects.
  for (int i = 0; i < 4; ++i) {
    const std::string page =
        test::Tool({"qpdf", "--show-object=" + std::to_string(4 + 4 * i), path}).out;
    EXPECT_NE(page.find("/Contents [ " + std::to_string(5 + 4 * i) + " 0 R ]"), std::string::npos)
        << page;
    EXPECT_NE(page.find("/Resources " + std::to_string(6 + 4 * i) + " 0 R"), std::string::npos)
        << page;
  }
}

TEST(PdfGraphicAppend, PagesOfOtherWritersAreCopiedAsStored) {
  test::TempDir dir;
  TDibGraphic source;
  test::RandomGraphic(source, 96, 40, ifGray256, 3);
  const std::string tiff = dir.File("grey.tif");
  test::WriteTiffPage(tiff, source, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
  struct TMaker {
    const char* name;
    std::vector<std::string> command;
  };
  const TMaker makers[] = {
      {"img2pdf.pdf", {"img2pdf", "-o", dir.File("img2pdf.pdf"), tiff}},
      {"internal.pdf", {"img2pdf", "--engine", "internal", "-o", dir.File("internal.pdf"), tiff}},
      {"tiff2pdf.pdf", {"tiff2pdf", "-z", "-o", dir.File("tiff2pdf.pdf"), tiff}}};
  for (const TMaker& maker : makers) {
    SCOPED_TRACE(maker.name);
    test::Tool(maker.command);
    const std::string path = dir.File(maker.name);
    const auto before = test::ImageList(path);
    ASSERT_EQ(before.size(), 1u);
    const std::vector<uint8_t> stream = test::RawStream(path, std::stoi(before[0][10]));
    TPdfGraphic added;
    test::RandomGraphic(added, 30, 20, ifBlackWhite, 8);
    added.AppendToFile(path);
    EXPECT_EQ(test::Tool({"qpdf", "--check", path}).status, 0);
    EXPECT_EQ(test::RawStream(path, 7), stream);
    TDibGraphic first, second;
    test::LoadPdfPage(path, 1, first);
    EXPECT_TRUE(test::SameLook(first, source));
    test::LoadPdfPage(path, 2, second);
    EXPECT_TRUE(test::SameLook(second, added));
    TDibGraphic extracted;
    test::ExtractedImage(path, 1, extracted);
    EXPECT_TRUE(test::SameLook(extracted, source));
  }
}

// A memory stream whose first write of more than a few bytes stops halfway.
class TStreamFailingOnce : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  size_t Write(const void* buffer, size_t count) override {
    if (!FFailed && count > 64) {
      FFailed = true;
      return TMemoryStream::Write(buffer, count / 2);
    }
    return TMemoryStream::Write(buffer, count);
  }

private:
  bool FFailed = false;
};

TEST(PdfGraphicAppend, AFailedAppendLeavesTheFileAsItWas) {
  test::TempDir dir;
  TPdfGraphic page;
  test::RandomGraphic(page, 50, 40, ifGray16, 1);

  // A file that is not an image-only PDF, a damaged one, and an empty graphic.
  const std::string text = dir.File("text.pdf");
  test::WriteText(
      text, test::BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 99 99] /Contents 4 0 R >>",
                            test::StreamObject("", "BT /F1 9 Tf (Hi) Tj ET")},
                           "/Root 1 0 R"));
  const std::string book = dir.File("book.pdf");
  page.SaveToFile(book);
  page.AppendToFile(book);
  std::vector<uint8_t> cut = test::ReadFile(book);
  cut.resize(cut.size() / 3);
  const std::string damaged = dir.File("damaged.pdf");
  test::WriteFile(damaged, cut);
  const struct {
    std::string path;
    std::string message;
  } failures[] = {{text, "PDF page 1 is not an image-only page"},
                  {damaged, "PDF file damaged: no document catalogue"}};
  for (const auto& failure : failures) {
    const std::vector<uint8_t> before = test::ReadFile(failure.path);
    try {
      page.AppendToFile(failure.path);
      ADD_FAILURE() << failure.path;
    } catch (const EPDFReadError& error) {
      EXPECT_EQ(error.Message(), failure.message);
    }
    EXPECT_EQ(test::ReadFile(failure.path), before);
  }
  const std::vector<uint8_t> good = test::ReadFile(book);
  TPdfGraphic empty;
  EXPECT_THROW(empty.AppendToFile(book), EGraphicError);
  EXPECT_EQ(test::ReadFile(book), good);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            3);

  // A stream that fails while the new file is written gets its old contents back.
  TStreamFailingOnce stream(good.data(), good.size());
  EXPECT_THROW(page.AppendToStream(stream), EWriteError);
  EXPECT_EQ(stream.Bytes(), good);
}

// A file of pages that all draw one image of 200 x 200 grey levels.
std::string SharedImagePages(int pages) {
  std::vector<std::string> bodies = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                     test::StreamObject("", "q 72 0 0 72 0 0 cm /Im0 Do Q"),
                                     test::StreamObject("/Type /XObject /Subtype /Image /Width 200 "
                                                        "/Height 200 /ColorSpace /DeviceGray "
                                                        "/BitsPerComponent 8",
                                                        std::string(40000, 'x'))};
  std::string kids;
  for (int i = 0; i < pages; ++i) {
    bodies.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] /Contents 3 0 R "
                     "/Resources << /XObject << /Im0 4 0 R >> >> >>");
    kids += std::to_string(i + 5) + " 0 R ";
  }
  bodies[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
  return test::BuildPdf(bodies, "/Root 1 0 R");
}

TEST(PdfGraphicAppend, PagesSharingAnImageGetACopyEachWithinBounds) {
  TPdfGraphic page;
  test::RandomGraphic(page, 20, 10, ifBlackWhite, 4);
  const std::string few = SharedImagePages(20);
  TMemoryStream stream(few.data(), few.size());
  page.AppendToStream(stream);
  stream.SetPosition(0);
  TPdfGraphic reader;
  EXPECT_EQ(reader.ImageCount(stream), 21);
  reader.LoadImage(stream, 20);
  EXPECT_EQ(reader.Pixel(0, 0), 0x787878u);

  // Two thousand copies of the image would make a file of 80 MB from one of 300 kB.
  const std::string many = SharedImagePages(2000);
  TMemoryStream large(many.data(), many.size());
  try {
    page.AppendToStream(large);
    ADD_FAILURE();
  } catch (const EPDFReadError& error) {
    EXPECT_EQ(error.Message(), "PDF file too large to append to");
  }
  EXPECT_EQ(large.Bytes(), std::vector<uint8_t>(many.begin(), many.end()));
}

TEST(PdfGraphicAppend, StreamsAppendFromTheirPosition) {
  TPdfGraphic page;
  test::RandomGraphic(page, 40, 30, ifColor16, 2);
  TMemoryStream stream;
  stream.WriteBuffer("lead", 4);
  page.AppendToStream(stream); // nothing after the position: a plain save
  stream.SetPosition(4);
  page.AppendToStream(stream);
  ASSERT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().begin() + 9), "lead%PDF-");
  stream.SetPosition(4);
  TPdfGraphic reader;
  EXPECT_EQ(reader.ImageCount(stream), 2);
  EXPECT_EQ(stream.Position(), 4);
  reader.LoadImage(stream, 2);
  EXPECT_TRUE(test::SameLook(reader, page));
}

TEST(PdfGraphicAppend, WritersOfOneFileTakeTurns) {
  test::TempDir dir;
  const std::string path = dir.File("shared.pdf");
  TPdfGraphic first;
  test::RandomGraphic(first, 64, 48, ifBlackWhite, 1);
  first.SaveToFile(path);
  const auto writer = [&](uint32_t seed) {
    for (int i = 0; i < 6; ++i) {
      TPdfGraphic page;
      test::RandomGraphic(page, 64, 48, ifBlackWhite, seed + static_cast<uint32_t>(i));
      page.AppendToFile(path);
    }
  };
  std::thread a(writer, 100), b(writer, 200);
  a.join();
  b.join();
  TPdfGraphic reader;
  TFileStream file(path, TFileStream::fmOpenRead);
  EXPECT_EQ(reader.ImageCount(file), 13);
}

} // namespace
