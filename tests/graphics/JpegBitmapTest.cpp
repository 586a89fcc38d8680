#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/BitmapGraphic.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/JpegGraphic.h"
#include "support/LibjpegEncode.h"
#include "support/TestSupport.h"

#include <QImage>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>

namespace {

// A smooth page JPEG codes well.
void Gradient(TDibGraphic& page, TImageFormat format) {
  page.NewImage(48, 32, 200, 150, nullptr, format);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) page.SetPixel(x, y, ColourOf(x * 5, y * 7, 200 - x * 2));
}

TEST(JpegGraphic, GreyAndColourRoundTripThroughLibjpeg) {
  test::TempDir dir;
  for (TImageFormat format : {ifGray256, ifTrueColor}) {
    SCOPED_TRACE(FormatDescription(format));
    TJpegGraphic page;
    Gradient(page, format);
    page.SaveToFile(dir.File("page.jpg"));
    const test::JpegPixels decoded = test::DecodeJpeg(dir.File("page.jpg"));
    EXPECT_EQ(decoded.width, 48);
    EXPECT_EQ(decoded.height, 32);
    EXPECT_EQ(decoded.components, format == ifGray256 ? 1 : 3);
    EXPECT_EQ(decoded.densityUnit, 1);
    EXPECT_EQ(decoded.xDensity, 200);
    EXPECT_EQ(decoded.yDensity, 150);
    const std::vector<uint32_t> looks = test::Looks(page);
    double difference = 0;
    for (size_t i = 0; i < looks.size(); ++i) {
      const uint8_t* sample = decoded.samples.data() + i * static_cast<size_t>(decoded.components);
      const int red = sample[0], green = decoded.components == 3 ? sample[1] : sample[0],
                blue = decoded.components == 3 ? sample[2] : sample[0];
      difference += std::abs(red - static_cast<int>(looks[i] >> 16 & 0xFF)) +
                    std::abs(green - static_cast<int>(looks[i] >> 8 & 0xFF)) +
                    std::abs(blue - static_cast<int>(looks[i] & 0xFF));
    }
    EXPECT_LT(difference / (3.0 * static_cast<double>(looks.size())), 3.0);

    TJpegGraphic back;
    back.LoadFromFile(dir.File("page.jpg"));
    EXPECT_EQ(back.ImageFormat(), format);
    EXPECT_EQ(back.XDpi(), 200);
    EXPECT_EQ(back.YDpi(), 150);
    TFileStream file(dir.File("page.jpg"), TFileStream::fmOpenRead);
    EXPECT_TRUE(back.IsFormatStream(file));
  }
}

TEST(JpegGraphic, WritesOnlyGreyAndColourAndQualityChangesTheSize) {
  TJpegGraphic page;
  for (TImageFormat format : {ifBlackWhite, ifGray16, ifColor16, ifColor256}) {
    page.NewImage(8, 8, 100, 100, nullptr, format);
    TMemoryStream stream;
    EXPECT_EQ(test::ErrorOf([&] { page.SaveToStream(stream); }),
              "JPEG image must be gray scale or true color");
  }
  test::RandomGraphic(page, 64, 64, ifTrueColor, 3);
  EXPECT_EQ(page.Quality(), 80);
  TMemoryStream high, low;
  page.SaveToStream(high);
  page.SetQuality(20);
  page.SaveToStream(low);
  EXPECT_LT(low.Size(), high.Size());
  EXPECT_EQ(test::ErrorOf([&] { page.AppendToStream(high); }),
            "The TJpegGraphic format does not support multiple images");
}

TEST(JpegGraphic, OtherComponentCountsAndDamagedFilesAreRefused) {
  test::TempDir dir;
  // A four-component (CMYK) JPEG made with libjpeg is true colour; two
  // components are refused.
  test::WriteFile(dir.File("cmyk.jpg"),
                  test::LibjpegEncode(4, 2, 4, JCS_CMYK, 75, [](int, int, int) { return 0; }));
  TJpegGraphic page;
  EXPECT_EQ(test::ErrorOf([&] { page.LoadFromFile(dir.File("cmyk.jpg")); }), "(no error)");
  EXPECT_EQ(page.ImageFormat(), ifTrueColor);
  EXPECT_EQ(page.Pixel(1, 1), 0u); // Adobe's inverted inks of 0: all ink, black
  test::WriteFile(dir.File("two.jpg"),
                  test::LibjpegEncode(4, 2, 2, JCS_UNKNOWN, 75, [](int, int, int) { return 0; }));
  EXPECT_EQ(test::ErrorOf([&] { page.LoadFromFile(dir.File("two.jpg")); }),
            "Invalid number of samples, 2");
  test::WriteFile(dir.File("bad.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0});
  EXPECT_NE(test::ErrorOf([&] { page.LoadFromFile(dir.File("bad.jpg")); }), "(no error)");
  test::WriteFile(dir.File("text.jpg"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_NE(test::ErrorOf([&] { page.LoadFromFile(dir.File("text.jpg")); }), "(no error)");
  TMemoryStream text("hello", 5);
  EXPECT_FALSE(page.IsFormatStream(text));
  // A cut-off file of a real page.
  TJpegGraphic good;
  Gradient(good, ifTrueColor);
  TMemoryStream whole;
  good.SaveToStream(whole);
  std::vector<uint8_t> half(whole.Bytes().begin(), whole.Bytes().begin() + whole.Size() / 2);
  test::WriteFile(dir.File("half.jpg"), half);
  EXPECT_NE(test::ErrorOf([&] { page.LoadFromFile(dir.File("half.jpg")); }), "(no error)");
}

TEST(BitmapGraphic, EveryFormatRoundTripsAndIndependentReadersAgree) {
  test::TempDir dir;
  uint32_t seed = 40;
  for (int f = 0; f <= ifTrueColor; ++f) {
    const auto format = static_cast<TImageFormat>(f);
    SCOPED_TRACE(FormatDescription(format));
    TBitmapGraphic page, back;
    test::RandomGraphic(page, 23, 7, format, seed++);
    page.SaveToFile(dir.File("page.bmp"));
    const std::vector<uint8_t> bytes = test::ReadFile(dir.File("page.bmp"));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    const uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16;
    EXPECT_EQ(offset, 54u + 4u * static_cast<uint32_t>(FormatColourCount(format)));
    back.LoadFromFile(dir.File("page.bmp"));
    EXPECT_TRUE(test::SameLook(back, page));
    EXPECT_EQ(back.XDpi(), 300);
    EXPECT_EQ(back.YDpi(), 200);
    // The toolkit's reader sees the same picture.
    QImage image(QString::fromStdString(dir.File("page.bmp")));
    ASSERT_FALSE(image.isNull());
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 23; ++x) ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, page.Pixel(x, y));
  }
}

TEST(BitmapGraphic, SignatureResolutionAndDamagedFiles) {
  TBitmapGraphic page;
  TMemoryStream bitmap("BMxx", 4), other("PNG", 3);
  EXPECT_TRUE(page.IsFormatStream(bitmap));
  EXPECT_FALSE(page.IsFormatStream(other));
  EXPECT_EQ(bitmap.Position(), 0);
  // Resolution is Round(pixels per metre x 0.0254): 3780 gives 96.
  page.NewImage(2, 2, 100, 100, nullptr, ifGray256);
  page.SetPelsPerMetre(3780, 2835);
  TMemoryStream stream;
  page.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmapGraphic back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back.XDpi(), 96);
  EXPECT_EQ(back.YDpi(), 72);
  EXPECT_EQ(back.ImageFormat(), ifGray256);
  std::vector<uint8_t> cut(stream.Bytes().begin(), stream.Bytes().begin() + 60);
  TMemoryStream shortFile(cut.data(), cut.size());
  EXPECT_NE(test::ErrorOf([&] { back.LoadFromStream(shortFile); }), "(no error)");
  EXPECT_EQ(back.XDpi(), 96); // unchanged by the failed load
  TMemoryStream wrong("XXXXXXXXXXXXXXXXXXXX", 20);
  EXPECT_EQ(test::ErrorOf([&] { back.LoadFromStream(wrong); }), "Invalid bitmap file !");
}

} // namespace
