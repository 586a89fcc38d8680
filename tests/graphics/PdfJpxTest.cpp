// PDF pages whose images are JPEG 2000 data, as OCR tools and scanners'
// own software write them, here made by PIL and img2pdf.
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/PdfGraphic.h"
#include "graphics/PdfTestFiles.h"
#include "support/PeerTools.h"

#include <gtest/gtest.h>

TEST(PdfJpx, JpegTwoThousandPagesReadAndStayAsStoredWhenAppendedTo) {
  const std::string python = test::PythonWith({"PIL", "img2pdf"});
  if (python.empty()) GTEST_SKIP() << "no Python with PIL and img2pdf";
  test::TempDir dir;
  const std::string path = dir.File("jpx.pdf");
  const test::RunResult made = test::RunPython(python, R"(
import sys, img2pdf
from PIL import Image
colour = Image.new('RGB', (20, 10), (200, 40, 10))
for x in range(10): colour.putpixel((x, 3), (0, 90, 250))
colour.save(sys.argv[2])
grey = Image.new('L', (12, 7), 77)
grey.putpixel((5, 5), 240)
grey.save(sys.argv[3])
open(sys.argv[1], 'wb').write(img2pdf.convert([sys.argv[2], sys.argv[3]]))
)",
                                               {path, dir.File("c.jp2"), dir.File("g.jp2")});
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_EQ(test::ImageList(path).size(), 2u);
  ASSERT_EQ(test::ImageList(path)[0][8], "jpx");

  TPdfGraphic page;
  test::LoadPdfPage(path, 1, page);
  EXPECT_EQ(page.ImageFormat(), ifTrueColor);
  EXPECT_EQ(page.Width(), 20);
  EXPECT_EQ(page.XDpi(), 96); // img2pdf's page size for a picture without a resolution
  EXPECT_EQ(page.Pixel(15, 0), ColourOf(200, 40, 10)); // written without loss
  EXPECT_EQ(page.Pixel(4, 3), ColourOf(0, 90, 250));
  test::LoadPdfPage(path, 2, page);
  EXPECT_EQ(page.ImageFormat(), ifGray256);
  EXPECT_EQ(page.PixelIndex(0, 0), 77);
  EXPECT_EQ(page.PixelIndex(5, 5), 240);

  // A new page appended: the earlier pages' data is copied as it is stored.
  const auto firstImage = [&](const std::string& prefix) {
    test::Tool({"pdfimages", "-jp2", "-f", "1", "-l", "1", path, dir.File(prefix)});
    return test::ReadFile(dir.File(prefix + "-000.jp2"));
  };
  const std::vector<uint8_t> stored = firstImage("before");
  ASSERT_FALSE(stored.empty());
  TPdfGraphic added;
  test::RandomGraphic(added, 30, 20, ifGray256, 4);
  added.AppendToFile(path);
  const auto images = test::ImageList(path);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0][8], "jpx");
  EXPECT_EQ(images[1][8], "jpx");
  test::LoadPdfPage(path, 1, page);
  EXPECT_EQ(page.Pixel(4, 3), ColourOf(0, 90, 250));
  EXPECT_EQ(firstImage("after"), stored);
}

TEST(PdfJpx, DamagedJpegTwoThousandDataRaisesOurError) {
  const std::string file =
      test::ImagePdf("/Width 8 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                     "/Filter /JPXDecode",
                     std::string("\x00\x00\x00\x0cjP  \x0d\x0a\x87\x0a garbage", 20));
  TMemoryStream stream(file.data(), file.size());
  TPdfGraphic page;
  EXPECT_EQ(test::ErrorOf([&] {
              page.LoadImage(stream, 1);
            }).rfind("PDF image: JPEG 2000 data cannot be decoded", 0),
            0u);
}
