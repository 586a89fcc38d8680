#include "core/MemoryStream.h"
#include "graphics/BitmapGraphic.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"

#include <gtest/gtest.h>

namespace {

TEST(Signatures, EachFormatKnowsItsOwnFromTheStreamPosition) {
  using namespace std::string_view_literals;
  TBitmapGraphic bitmap;
  TJpegGraphic jpeg;
  TPdfGraphic pdf;
  TTiffGraphic tiff;
  const struct {
    TDibGraphic* graphic;
    std::string_view bytes;
    bool matches;
  } cases[] = {{&bitmap, "BMxx"sv, true},
               {&bitmap, "B"sv, false},
               {&bitmap, "MB"sv, false},
               {&jpeg, "\xFF\xD8\xFF\xE0\x00\x10JFIF\0\x01"sv, true},
               {&jpeg, "\xFF\xD8\xFF\xE0\x12\x34JFIF\0"sv, true},
               {&jpeg, "\xFF\xD8\xFF\xE1\x00\x10" "Exif\0\0"sv, false},
               {&jpeg, "\xFF\xD8\xFF\xE0\x00\x10JFIF"sv, false},
               {&pdf, "%PDF-1.3"sv, true},
               {&pdf, "%PDX-1.3"sv, false},
               {&pdf, "%PDF"sv, false},
               {&tiff, "MM\0*"sv, true},
               {&tiff, "II*\0"sv, true},
               {&tiff, "MM*\0"sv, false},
               {&tiff, "II\0*"sv, false}};
  for (const auto& item : cases) {
    SCOPED_TRACE(item.graphic->ClassName() + std::string(" ") + std::string(item.bytes));
    // Two bytes before the signature: the check starts where the stream is.
    std::string bytes = "..";
    bytes += item.bytes;
    TMemoryStream stream(bytes.data(), bytes.size());
    stream.SetPosition(2);
    EXPECT_EQ(item.graphic->IsFormatStream(stream), item.matches);
    EXPECT_EQ(stream.Position(), 2);
  }
}

TEST(Registry, ExtensionsPickTheirClassInAnyCase) {
  EXPECT_NE(dynamic_cast<TTiffGraphic*>(GraphicForFile("page.Tif").get()), nullptr);
  EXPECT_NE(dynamic_cast<TTiffGraphic*>(GraphicForFile("/batch/PAGE.TIFF").get()), nullptr);
  EXPECT_NE(dynamic_cast<TJpegGraphic*>(GraphicForFile("a.jpeg").get()), nullptr);
  EXPECT_NE(dynamic_cast<TJpegGraphic*>(GraphicForFile("a.JPG").get()), nullptr);
  EXPECT_NE(dynamic_cast<TBitmapGraphic*>(GraphicForFile("a.bmp").get()), nullptr);
  EXPECT_NE(dynamic_cast<TPdfGraphic*>(GraphicForFile("scan.Pdf").get()), nullptr);
  for (const std::string name : {"page.png", "page", "folder.tif/page"}) {
    try {
      GraphicForFile(name);
      ADD_FAILURE() << name;
    } catch (const EGraphicError& error) {
      EXPECT_EQ(error.Message(), "Graphic files of " + FileExtension(name) +
                                     " format are not supported or not registered");
    }
  }
  try {
    GraphicForFile("page.png");
  } catch (const EGraphicError& error) {
    EXPECT_EQ(error.Message(), "Graphic files of .png format are not supported or not registered");
  }
  const std::optional<TGraphicFormat> tiff = FindGraphicFormat(".tiff");
  ASSERT_TRUE(tiff);
  EXPECT_EQ(tiff->Description, "TIFF file");
  EXPECT_EQ(FindGraphicFormat("JPG")->Description, "JPEG");
  EXPECT_EQ(FindGraphicFormat("bmp")->Description, "Bitmap file");
  EXPECT_EQ(FindGraphicFormat("PDF")->Description, "PDF file");
}

TEST(Registry, AFormatIsOneRegistration) {
  class TRawGraphic : public TDibGraphic {
  public:
    const char* ClassName() const override { return "TRawGraphic"; }
  };
  EXPECT_FALSE(FindGraphicFormat("RAW"));
  RegisterGraphicFormat(GraphicFormatOf<TRawGraphic>({"raw", ".Rw2"}, "Raw file"));
  EXPECT_STREQ(GraphicForFile("x.RAW")->ClassName(), "TRawGraphic");
  EXPECT_STREQ(GraphicForFile("x.rw2")->ClassName(), "TRawGraphic");
  // Registering an extension again gives it to the newer class.
  RegisterGraphicFormat(GraphicFormatOf<TBitmapGraphic>({"RW2"}, "Bitmap file"));
  EXPECT_STREQ(GraphicForFile("x.rw2")->ClassName(), "TBitmapGraphic");
  EXPECT_STREQ(GraphicForFile("x.raw")->ClassName(), "TRawGraphic");
  size_t withRaw = 0;
  for (const TGraphicFormat& format : GraphicFormats())
    if (format.Description == "Raw file") withRaw = format.Extensions.size();
  EXPECT_EQ(withRaw, 1u);
}

TEST(Thumbnail, BilevelPagesAreAntiAliasedOthersSmoothlyResized) {
  TDibGraphic page;
  page.NewImage(2480, 3508, 300, 300, nullptr, ifBlackWhite);
  std::unique_ptr<TDibGraphic> picture = RenderThumbnailPicture(page, 120, 120);
  // factor = 120 / 3508: 2480 x factor = 84.8 -> 85.
  EXPECT_EQ(picture->Width(), 85);
  EXPECT_EQ(picture->Height(), 120);
  EXPECT_EQ(picture->ImageFormat(), ifGray256);
  EXPECT_EQ(picture->PixelIndex(40, 60), 0); // an all-black page
  EXPECT_EQ(page.Width(), 2480);             // the page is not changed

  TDibGraphic colour;
  colour.NewImage(300, 150, 300, 300, nullptr, ifTrueColor);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 300; ++x) colour.SetPixel(x, y, x < 150 ? 0xFF0000 : 0x0000FF);
  picture = RenderThumbnailPicture(colour, 120, 120);
  EXPECT_EQ(picture->Width(), 120);
  EXPECT_EQ(picture->Height(), 60);
  EXPECT_EQ(picture->ImageFormat(), ifTrueColor);
  // The widened filter's weights sum to one only nearly.
  EXPECT_GE(RedOf(picture->Pixel(5, 30)), 240);
  EXPECT_EQ(BlueOf(picture->Pixel(5, 30)), 0);
  EXPECT_EQ(RedOf(picture->Pixel(115, 30)), 0);
  EXPECT_GE(BlueOf(picture->Pixel(115, 30)), 240);

  // A sliver still gets a picture of at least one pixel across.
  TDibGraphic sliver;
  sliver.NewImage(3000, 2, 300, 300, nullptr, ifBlackWhite);
  picture = RenderThumbnailPicture(sliver, 120, 120);
  EXPECT_EQ(picture->Width(), 120);
  EXPECT_EQ(picture->Height(), 1);
}

} // namespace
