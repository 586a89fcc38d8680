#include "graphics/DibGraphic.h"
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/RgbToPaletteConverter.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(ImageFormats, DescriptionsDepthsAndDefaultPalettes) {
  const char* texts[] = {"Black and white", "16 shades of gray", "256 shades of gray",
                         "16 color",        "256 color",         "True color"};
  const int bits[] = {1, 4, 8, 4, 8, 24};
  for (int f = 0; f < 6; ++f) {
    const auto format = static_cast<TImageFormat>(f);
    EXPECT_STREQ(FormatDescription(format), texts[f]);
    EXPECT_EQ(FormatBits(format), bits[f]);
    EXPECT_EQ(DefaultPalette(format).size(), static_cast<size_t>(FormatColourCount(format)));
  }
  EXPECT_EQ(DefaultPalette(ifBlackWhite), (std::vector<TColour>{0x000000, 0xFFFFFF}));
  EXPECT_EQ(DefaultPalette(ifGray16)[5], ColourOf(85, 85, 85));
  EXPECT_EQ(DefaultPalette(ifGray256)[200], ColourOf(200, 200, 200));
  const std::vector<TColour>& vga = DefaultPalette(ifColor16);
  EXPECT_EQ(vga[1], ColourOf(0, 0, 170));
  EXPECT_EQ(vga[6], ColourOf(170, 85, 0));
  EXPECT_EQ(vga[8], ColourOf(85, 85, 85));
  EXPECT_EQ(vga[15], ColourOf(255, 255, 255));
  const std::vector<TColour>& vga256 = DefaultPalette(ifColor256);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(vga256[static_cast<size_t>(i)], vga[static_cast<size_t>(i)]);
  EXPECT_EQ(vga256[16], ColourOf(0, 0, 0));       // grey ramp from black
  EXPECT_EQ(vga256[31], ColourOf(255, 255, 255)); // to white
  EXPECT_EQ(vga256[32], ColourOf(0, 0, 255));     // the hue ramps start at blue
  EXPECT_EQ(vga256[40], ColourOf(255, 0, 0));     // through red
  EXPECT_EQ(vga256[48], ColourOf(0, 255, 0));     // and green
  EXPECT_EQ(vga256[104], ColourOf(0, 0, 113));    // darker ramps
  for (int i = 248; i < 256; ++i) EXPECT_EQ(vga256[static_cast<size_t>(i)], 0u);
  EXPECT_EQ(test::ErrorOf([] { CheckedImageFormat(6); }), "Internal error: Invalid image format");
}

TEST(NewImage, BuildsTheLayoutAndRefusesWhatItCannot) {
  TDibGraphic graphic;
  EXPECT_TRUE(graphic.Empty());
  graphic.NewImage(33, 7, 300, 200, nullptr, ifBlackWhite);
  EXPECT_EQ(graphic.Stride(), 8);
  EXPECT_EQ(graphic.XPelsPerMetre(), 11811);
  EXPECT_EQ(graphic.YPelsPerMetre(), 7874);
  EXPECT_EQ(graphic.XDpi(), 300);
  EXPECT_EQ(graphic.YDpi(), 200);
  graphic.NewImage(3, 3, 0, 0, nullptr, ifGray16); // 0: the screen's
  EXPECT_EQ(graphic.XDpi(), ScreenDpiX());
  const std::vector<TColour> shortPalette = {0x123456};
  graphic.NewImage(3, 3, 100, 100, &shortPalette, ifColor16);
  EXPECT_EQ(graphic.PaletteColour(0), 0x123456u);
  EXPECT_EQ(graphic.PaletteColour(1), 0u);
  EXPECT_EQ(test::ErrorOf([&] { graphic.NewImage(3, 3, 100, 100, nullptr, 9); }),
            "Internal error: Invalid image format");
  EXPECT_TRUE(graphic.Empty()); // a failed NewImage leaves the graphic empty
  EXPECT_NE(
      test::ErrorOf([&] { graphic.NewImage(1 << 20, 1 << 20, 100, 100, nullptr, ifTrueColor); }),
      "(no error)");
  EXPECT_TRUE(graphic.Empty());
  graphic.NewImage(3, 3, 100, 100, nullptr, ifGray256);
  EXPECT_EQ(test::ErrorOf([&] { graphic.SetWidth(5); }),
            "Dimensions must be change with the NewImage method");
  EXPECT_EQ(test::ErrorOf([&] { graphic.SetHeight(5); }),
            "Dimensions must be change with the NewImage method");
}

TEST(Pixels, ColoursIndicesAndNearestEntries) {
  TDibGraphic graphic;
  graphic.NewImage(5, 2, 300, 300, nullptr, ifColor16);
  graphic.SetPixel(4, 1, ColourOf(160, 10, 5)); // nearest: maroon (170, 0, 0)
  EXPECT_EQ(graphic.PixelIndex(4, 1), 4);
  EXPECT_EQ(graphic.Pixel(4, 1), ColourOf(170, 0, 0));
  graphic.SetPixelIndex(3, 0, 14);
  EXPECT_EQ(graphic.Pixel(3, 0), ColourOf(255, 255, 85));
  EXPECT_EQ(graphic.ScanLine(0)[1], 0x0E); // pixel 3: the low nibble of byte 1

  graphic.NewImage(3, 2, 300, 300, nullptr, ifTrueColor);
  graphic.SetPixel(2, 1, 0x0A141E);
  EXPECT_EQ(graphic.Pixel(2, 1), 0x0A141Eu);
  EXPECT_EQ(graphic.ScanLine(1)[6], 0x1E); // blue first, as the bytes lie
  EXPECT_EQ(graphic.ScanLine(1)[8], 0x0A);
  EXPECT_EQ(test::ErrorOf([&] { graphic.PixelIndex(0, 0); }), "The image does not have a palette");
  EXPECT_EQ(test::ErrorOf([&] { graphic.SetPixelIndex(0, 0, 1); }),
            "The image does not have a palette");

  // Changing the palette changes what the nearest entry is.
  graphic.NewImage(2, 1, 300, 300, nullptr, ifBlackWhite);
  graphic.SetPixel(0, 0, 0x202020);
  EXPECT_EQ(graphic.PixelIndex(0, 0), 0);
  graphic.SetPaletteColour(0, 0x303030);
  graphic.SetPaletteColour(1, 0x000000);
  graphic.SetPixel(1, 0, 0x050505);
  EXPECT_EQ(graphic.PixelIndex(1, 0), 1);
}

TEST(Pixels, ConverterFindsTheFirstNearestEntryAndCachesBySlot) {
  TRgbToPaletteConverter converter({0x000000, 0x102030, 0x102030, 0xFFFFFF});
  EXPECT_EQ(converter.NearestIndex(0x102030), 1); // exact, the first of two
  EXPECT_EQ(converter.NearestIndex(0x112131), 1);
  EXPECT_EQ(converter.NearestIndex(0xF0F0F0), 3);
  // Two colours sharing a slot (equal modulo 1020) each get their own answer.
  EXPECT_EQ(converter.NearestIndex(0x000000), 0);
  EXPECT_EQ(converter.NearestIndex(1020 * 16448), 3);
  EXPECT_EQ(converter.NearestIndex(0x000000), 0);
  // Equal distances: the first entry wins.
  TRgbToPaletteConverter tie({0x000000, 0x020202});
  EXPECT_EQ(tie.NearestIndex(0x010101), 0);
}

TEST(Assign, CopiesSizeFormatPaletteResolutionAndRows) {
  TDibGraphic source, copy;
  test::RandomGraphic(source, 19, 7, ifColor256, 3);
  source.SetPelsPerMetre(5906, 3000);
  copy.Assign(source);
  EXPECT_TRUE(test::SameGraphic(copy, source));
  TDibGraphic empty;
  copy.Assign(empty);
  EXPECT_TRUE(copy.Empty());
}

TEST(Assign, TakingAPageMovesItWholeAndKeepsColourMatching) {
  TDibGraphic source, copy, taker;
  test::RandomGraphic(source, 19, 7, ifColor16, 4);
  source.SetPelsPerMetre(5906, 3000);
  copy.Assign(source);
  test::RandomGraphic(taker, 3, 3, ifTrueColor, 5);
  taker.TakePage(source);
  EXPECT_TRUE(test::SameGraphic(taker, copy));
  EXPECT_TRUE(source.Empty());
  // The nearest-colour lookup follows the page's palette.
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(taker.NearestIndex(copy.PaletteColour(i)), copy.NearestIndex(copy.PaletteColour(i)));
}

TEST(PageHandles, ExportAndImportRoundTripInEveryFormat) {
  uint32_t seed = 1;
  for (int f = 0; f <= ifTrueColor; ++f) {
    const auto format = static_cast<TImageFormat>(f);
    SCOPED_TRACE(FormatDescription(format));
    TDibGraphic source, back;
    test::RandomGraphic(source, 21, 6, format, seed++);
    TPageHandle handle = source.ExportPageHandle();
    {
      TBlockLock lock(handle.Get());
      TBitmapInfoHeader header;
      std::memcpy(&header, lock.Address(), sizeof header);
      EXPECT_EQ(header.biSize, 40u);
      EXPECT_EQ(header.biBitCount, FormatBits(format));
      EXPECT_EQ(header.biClrUsed, static_cast<uint32_t>(FormatColourCount(format)));
      EXPECT_EQ(tsv_mem_size(handle.Get()),
                40 + 4 * header.biClrUsed + static_cast<size_t>(source.Stride()) * 6);
    }
    // The raster library sees the same page.
    TDIB dib;
    dib.SetOwnsHandle(false);
    dib.AttachHandle(handle.Get());
    EXPECT_EQ(dib.Width(), 21);
    EXPECT_EQ(dib.GetPixel(20, 5) & (format == ifTrueColor ? 0xFFFFFF : 0xFF),
              static_cast<int>(format == ifTrueColor ? (source.PixelValue(20, 5) >> 16 |
                                                        (source.PixelValue(20, 5) & 0xFF00) |
                                                        (source.PixelValue(20, 5) & 0xFF) << 16)
                                                     : source.PixelValue(20, 5)));
    dib.Clear();
    back.ImportPageHandle(handle.Get());
    EXPECT_TRUE(tsv_mem_size(handle.Get()) > 0); // not freed
    // Palette formats come back as colour formats unless their palette is grey.
    EXPECT_TRUE(test::SameLook(back, source));
    EXPECT_EQ(back.XPelsPerMetre(), source.XPelsPerMetre());
  }
  TDibGraphic empty;
  EXPECT_EQ(test::ErrorOf([&] { empty.ExportPageHandle(); }), "Graphic is empty");
}

TEST(PageHandles, ImportTakesFormatFromBitsAndGreyPalettes) {
  auto makeBlock = [](int bits, uint32_t clrUsed, const std::vector<uint32_t>& palette, int width,
                      int height) {
    const size_t stride = static_cast<size_t>(DIBStride(width, bits));
    TPageHandle handle = TPageHandle::Allocate(40 + 4 * palette.size() + stride * height);
    TBlockLock lock(handle.Get());
    TBitmapInfoHeader header{};
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bits);
    header.biClrUsed = clrUsed;
    header.biXPelsPerMeter = 11811;
    header.biYPelsPerMeter = 11811;
    auto* base = static_cast<uint8_t*>(lock.Address());
    std::memcpy(base, &header, 40);
    std::memcpy(base + 40, palette.data(), 4 * palette.size());
    // Bottom row first: the bottom row holds index 1 in its first pixel.
    base[40 + 4 * palette.size()] = bits == 8 ? 1 : bits == 4 ? 0x10 : 0x80;
    return handle;
  };
  std::vector<uint32_t> greyRamp;
  for (uint32_t i = 0; i < 256; ++i) greyRamp.push_back(i * 0x010101);
  TDibGraphic graphic;
  graphic.ImportPageHandle(makeBlock(8, 0, greyRamp, 5, 3).Get());
  EXPECT_EQ(graphic.ImageFormat(), ifGray256);
  EXPECT_EQ(graphic.PixelIndex(0, 2), 1);
  EXPECT_EQ(graphic.XDpi(), 300);
  std::vector<uint32_t> colours = greyRamp;
  colours[9] = 0x00FF00;
  graphic.ImportPageHandle(makeBlock(8, 0, colours, 5, 3).Get());
  EXPECT_EQ(graphic.ImageFormat(), ifColor256);
  // A short palette (biClrUsed 3): the rows follow its three entries.
  graphic.ImportPageHandle(makeBlock(4, 3, {0x000000, 0x808080, 0xFFFFFF}, 5, 3).Get());
  EXPECT_EQ(graphic.ImageFormat(), ifGray16);
  EXPECT_EQ(graphic.Pixel(0, 2), 0x808080u);
  graphic.ImportPageHandle(makeBlock(1, 0, {0xFFFFFF, 0x000000}, 9, 2).Get());
  EXPECT_EQ(graphic.ImageFormat(), ifBlackWhite);
  EXPECT_EQ(graphic.Pixel(0, 1), 0u);
  EXPECT_EQ(graphic.Pixel(1, 1), 0xFFFFFFu);

  // 32-bit rows go through a bitmap file in memory and become true colour.
  TPageHandle wide = TPageHandle::Allocate(40 + 4 * 2 * 2);
  {
    TBlockLock lock(wide.Get());
    TBitmapInfoHeader header{};
    header.biSize = 40;
    header.biWidth = 2;
    header.biHeight = -2; // top-down
    header.biPlanes = 1;
    header.biBitCount = 32;
    auto* base = static_cast<uint8_t*>(lock.Address());
    std::memcpy(base, &header, 40);
    const uint8_t rows[16] = {10, 20, 30, 0, 40, 50, 60, 0, 1, 2, 3, 0, 4, 5, 6, 0};
    std::memcpy(base + 40, rows, 16);
  }
  graphic.ImportPageHandle(wide.Get());
  EXPECT_EQ(graphic.ImageFormat(), ifTrueColor);
  EXPECT_EQ(graphic.Pixel(1, 0), ColourOf(60, 50, 40));
  EXPECT_EQ(graphic.Pixel(0, 1), ColourOf(3, 2, 1));

  // A block too short for its rows is refused, not read past its end.
  TPageHandle cut = makeBlock(8, 0, greyRamp, 5, 3);
  TPageHandle small = TPageHandle::Allocate(40 + 1024 + 4);
  {
    TBlockLock from(cut.Get()), to(small.Get());
    std::memcpy(to.Address(), from.Address(), 40 + 1024 + 4);
  }
  EXPECT_EQ(test::ErrorOf([&] { graphic.ImportPageHandle(small.Get()); }), "Invalid bitmap handle");
}

TEST(QtImages, ConvertBothWaysAndDraw) {
  TDibGraphic page, back;
  test::RandomGraphic(page, 13, 9, ifColor16, 8);
  QImage image = page.ToQImage();
  ASSERT_EQ(image.format(), QImage::Format_Indexed8);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, page.Pixel(x, y));
  back.Assign(image);
  EXPECT_EQ(back.ImageFormat(), ifColor256); // toolkit images have no 4-bit form
  EXPECT_TRUE(test::SameLook(back, page));

  for (TImageFormat format : {ifBlackWhite, ifGray256, ifTrueColor}) {
    test::RandomGraphic(page, 13, 9, format, 9);
    back.Assign(page.ToQImage());
    EXPECT_EQ(back.ImageFormat(), format);
    EXPECT_TRUE(test::SameLook(back, page)) << FormatDescription(format);
    EXPECT_EQ(back.XPelsPerMetre(), page.XPelsPerMetre());
  }

  // Other toolkit formats are drawn on black.
  QImage translucent(2, 1, QImage::Format_ARGB32);
  translucent.setPixel(0, 0, qRgba(200, 100, 50, 255));
  translucent.setPixel(1, 0, qRgba(200, 100, 50, 0));
  back.Assign(translucent);
  EXPECT_EQ(back.ImageFormat(), ifTrueColor);
  EXPECT_EQ(back.Pixel(0, 0), ColourOf(200, 100, 50));
  EXPECT_EQ(back.Pixel(1, 0), 0u);

  // Drawing at twice the size with nearest neighbours repeats every pixel;
  // the bottom-up rows come out the right way up.
  for (TImageFormat format : {ifBlackWhite, ifGray16, ifColor256, ifTrueColor}) {
    test::RandomGraphic(page, 7, 5, format, 10);
    QImage canvas(14, 10, QImage::Format_RGB32);
    canvas.fill(Qt::magenta);
    {
      QPainter painter(&canvas);
      page.Draw(painter, QRectF(0, 0, 14, 10));
    }
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 14; ++x)
        ASSERT_EQ(canvas.pixel(x, y) & 0xFFFFFF, page.Pixel(x / 2, y / 2))
            << FormatDescription(format) << " " << x << "," << y;
  }
}

TEST(Frames, MultiImageLoadingSelectsFrames) {
  // A graphic class whose stream holds one byte per image: the image's grey level.
  class TByteGraphic : public TDibGraphic {
  public:
    std::unique_ptr<TDibGraphic> CreateEmpty() const override {
      return std::make_unique<TByteGraphic>();
    }
    int ImageCount(TStream& stream) override { return static_cast<int>(stream.Size()); }
    void LoadImage(TStream& stream, int imageNumber) override {
      uint8_t level = 0;
      stream.SetPosition(imageNumber - 1);
      stream.ReadBuffer(&level, 1);
      NewImage(1, 1, 100, 100, nullptr, ifGray256);
      SetPixelIndex(0, 0, level);
    }
  };
  TByteGraphic graphic;
  const uint8_t levels[3] = {10, 20, 30};
  TMemoryStream stream(levels, 3);
  graphic.SetImageToLoad(2);
  graphic.LoadFromStream(stream);
  EXPECT_EQ(graphic.PixelIndex(0, 0), 20);
  EXPECT_EQ(graphic.FrameCount(), 0);

  int changes = 0;
  graphic.OnChange = [&](TDibGraphic& sender) {
    EXPECT_EQ(&sender, &graphic);
    ++changes;
  };
  graphic.SetMultiImage(true);
  stream.SetPosition(0);
  graphic.LoadFromStream(stream);
  EXPECT_EQ(graphic.FrameCount(), 3);
  EXPECT_EQ(graphic.CurrentFrame(), 1);
  EXPECT_EQ(graphic.PixelIndex(0, 0), 10);
  graphic.SelectFrame(3);
  EXPECT_EQ(graphic.PixelIndex(0, 0), 30);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(test::ErrorOf([&] { graphic.SelectFrame(4); }), "Frame 4 does not exist");
  EXPECT_EQ(test::ErrorOf([&] { graphic.SelectFrame(0); }), "Frame 0 does not exist");
  EXPECT_EQ(test::ErrorOf([&] { graphic.AppendToStream(stream); }),
            "The TDibGraphic format does not support multiple images");
}

} // namespace
