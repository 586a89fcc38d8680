#include "graphics/TiffGraphic.h"
#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/GraphicTestSupport.h"
#include "raster/PageGenerator.h"
#include "raster/TiffBinding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A one-pixel, one-strip little-endian TIFF written by hand.
std::vector<uint8_t> MinimalTiff(uint16_t compression, bool withBitsPerSample) {
  std::vector<std::pair<uint16_t, uint32_t>> entries = {{256, 1}, {257, 1}};
  if (withBitsPerSample) entries.push_back({258, 8});
  entries.insert(entries.end(), {{259, compression}, {262, 1}, {273, 0}, {278, 1}, {279, 1}});
  std::vector<uint8_t> file = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put16 = [&](uint32_t v) { file.push_back(v & 0xFF), file.push_back((v >> 8) & 0xFF); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  const auto dataOffset = static_cast<uint32_t>(8 + 2 + 12 * entries.size() + 4);
  put16(static_cast<uint32_t>(entries.size()));
  for (auto [tag, value] : entries) {
    const bool isLong = tag == 273 || tag == 279;
    put16(tag), put16(isLong ? 4 : 3), put32(1);
    put32(tag == 273 ? dataOffset : value);
  }
  put32(0);
  file.push_back(0x80);
  return file;
}

const TImageFormat kFormats[] = {ifBlackWhite, ifGray16,   ifGray256,
                                 ifColor16,    ifColor256, ifTrueColor};

std::string TiffInfo(const std::string& path) {
  return test::Run({"tiffinfo", path}).out;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(TiffGraphic, EveryFormatRoundTripsWithEveryAllowedCompression) {
  test::TempDir dir;
  const char* names[] = {"None",          "PackBits", "CCITT Group 3", "CCITT Group 3",
                         "CCITT Group 4", "Deflate",  "JPEG",          "LZW"};
  uint32_t seed = 1;
  for (TImageFormat format : kFormats)
    for (int c = tcNone; c <= tcLZW; ++c) {
      const auto compression = static_cast<TTiffCompression>(c);
      if (!CompressionAllowed(compression, format)) continue;
      SCOPED_TRACE(std::string(FormatDescription(format)) + " " + CompressionText(compression));
      TTiffGraphic page;
      test::RandomGraphic(page, 37, 11, format, seed++);
      page.SetCompression(compression);
      const std::string path = dir.File("page.tif");
      page.SaveToFile(path);

      const std::string info = TiffInfo(path);
      EXPECT_TRUE(Contains(info, std::string("Compression Scheme: ") + names[c])) << info;
      EXPECT_TRUE(Contains(info, "Resolution: 300, 200 pixels/inch")) << info;
      EXPECT_TRUE(Contains(info, "Software: Quillmere Image Library")) << info;
      if (format == ifColor16 || format == ifColor256) {
        EXPECT_TRUE(Contains(info, "Photometric Interpretation: palette color")) << info;
      }
      // libtiff sees what we hold (JPEG: nearly).
      int width = 0, height = 0;
      const std::vector<uint32_t> looks = test::TiffLooks(path, 0, &width, &height);
      EXPECT_EQ(width, 37);
      EXPECT_EQ(height, 11);
      const std::vector<uint32_t> ours = test::Looks(page);
      if (compression == tcJpeg) {
        double total = 0;
        for (size_t i = 0; i < looks.size(); ++i)
          for (int shift : {0, 8, 16})
            total += std::abs(static_cast<int>((looks[i] >> shift) & 0xFF) -
                              static_cast<int>((ours[i] >> shift) & 0xFF));
        EXPECT_LT(total / (3.0 * static_cast<double>(looks.size())),
                  40.0); // random noise codes badly
      } else {
        EXPECT_EQ(looks, ours);
      }
      // And our reader gets the page back, its format and its compression.
      TTiffGraphic back;
      back.LoadFromFile(path);
      EXPECT_EQ(back.ImageFormat(), format);
      EXPECT_EQ(back.Compression(), compression);
      EXPECT_EQ(back.XDpi(), 300);
      EXPECT_EQ(back.YDpi(), 200);
      if (compression != tcJpeg) {
        EXPECT_TRUE(test::SameLook(back, page));
      }
    }
}

TEST(TiffGraphic, CompressionRulesAndTheirError) {
  TTiffGraphic page;
  page.NewImage(8, 8, 300, 300, nullptr, ifBlackWhite);
  EXPECT_EQ(page.Compression(), tcGroup4);
  EXPECT_EQ(test::ErrorOf([&] { page.SetCompression(tcJpeg); }),
            "JPEG compression not supported with Black and white images");
  page.NewImage(8, 8, 300, 300, nullptr, ifColor256);
  EXPECT_EQ(page.Compression(), tcPackbits);
  EXPECT_EQ(test::ErrorOf([&] { page.SetCompression(tcGroup4); }),
            "CCITT Group 4 compression not supported with 256 color images");
  EXPECT_EQ(test::ErrorOf([&] { page.SetCompression(tcJpeg); }),
            "JPEG compression not supported with 256 color images");
  page.NewImage(8, 8, 300, 300, nullptr, ifGray16);
  EXPECT_EQ(test::ErrorOf([&] { page.SetCompression(tcGroup3_2D); }),
            "CCITT Group 3, 2D compression not supported with 16 shades of gray images");
  const bool allowed[6][8] = {{1, 1, 1, 1, 1, 1, 0, 1}, {1, 1, 0, 0, 0, 1, 0, 1},
                              {1, 1, 0, 0, 0, 1, 1, 1}, {1, 1, 0, 0, 0, 1, 0, 1},
                              {1, 1, 0, 0, 0, 1, 0, 1}, {1, 1, 0, 0, 0, 1, 1, 1}};
  for (int f = 0; f < 6; ++f)
    for (int c = 0; c < 8; ++c)
      EXPECT_EQ(CompressionAllowed(static_cast<TTiffCompression>(c), static_cast<TImageFormat>(f)),
                allowed[f][c])
          << f << " " << c;
  page.SetRowsPerStrip(0);
  EXPECT_EQ(page.RowsPerStrip(), 1);
  page.SetRowsPerStrip(100);
  EXPECT_EQ(page.RowsPerStrip(), 8);
}

TEST(TiffGraphic, MixedMultiPageFileReadsEachPage) {
  test::TempDir dir;
  const std::string path = dir.File("mixed.tif");
  TTiffGraphic bilevel, grey, colour;
  test::RandomGraphic(bilevel, 50, 30, ifBlackWhite, 1);
  test::RandomGraphic(grey, 40, 20, ifGray256, 2);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) grey.SetPixelIndex(x, y, (x * 6) % 256); // smooth enough for JPEG
  test::RandomGraphic(colour, 25, 15, ifColor256, 3);
  bilevel.SetCompression(tcGroup4);
  grey.SetCompression(tcJpeg);
  colour.SetCompression(tcLZW);
  bilevel.SaveToFile(path);
  grey.AppendToFile(path);
  colour.AppendToFile(path);

  EXPECT_EQ(test::Run({"tiffinfo", path}).out.find("Compression Scheme: JPEG") != std::string::npos,
            true);
  TTiffGraphic page;
  {
    TFileStream file(path, TFileStream::fmOpenRead);
    EXPECT_EQ(page.ImageCount(file), 3);
    page.LoadImage(file, 3);
  }
  EXPECT_EQ(page.Compression(), tcLZW);
  EXPECT_TRUE(test::SameLook(page, colour));
  page.SetImageToLoad(1);
  page.LoadFromFile(path);
  EXPECT_EQ(page.Compression(), tcGroup4);
  EXPECT_TRUE(test::SameLook(page, bilevel));
  {
    TFileStream file(path, TFileStream::fmOpenRead);
    page.LoadImage(file, 2);
  }
  EXPECT_EQ(page.Compression(), tcJpeg);
  EXPECT_EQ(page.ImageFormat(), ifGray256);
  EXPECT_EQ(page.RowsPerStrip(), 8);
  EXPECT_NEAR(page.PixelIndex(20, 10), 120, 4);
  {
    TFileStream file(path, TFileStream::fmOpenRead);
    EXPECT_EQ(test::ErrorOf([&] { page.LoadImage(file, 4); }),
              "ETiffError TIFFSetDirectory: page 3");
  }

  // Frames: every page of the file, each with its own compression.
  TTiffGraphic frames;
  frames.SetMultiImage(true);
  frames.LoadFromFile(path);
  EXPECT_EQ(frames.FrameCount(), 3);
  frames.SelectFrame(2);
  EXPECT_EQ(frames.Compression(), tcJpeg);
  EXPECT_EQ(frames.Width(), 40);
}

TEST(TiffGraphic, AppendingToEmptyAndEmbeddedStreams) {
  TTiffGraphic page;
  test::RandomGraphic(page, 20, 10, ifGray16, 4);
  TMemoryStream empty;
  page.AppendToStream(empty); // a plain save
  empty.SetPosition(0);
  EXPECT_EQ(page.ImageCount(empty), 1);

  // A TIFF stored after other data is read and appended where it starts.
  TMemoryStream embedded;
  embedded.WriteBuffer("HEADER", 6);
  page.SaveToStream(embedded);
  embedded.SetPosition(6);
  page.AppendToStream(embedded);
  embedded.SetPosition(6);
  EXPECT_EQ(page.ImageCount(embedded), 2);
  TTiffGraphic back;
  embedded.SetPosition(6);
  back.LoadImage(embedded, 2);
  EXPECT_TRUE(test::SameLook(back, page));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(embedded.Memory()), 6), "HEADER");

  // Appending to something that is not a TIFF fails and leaves it as it was.
  TMemoryStream other("not a tiff file", 15);
  EXPECT_EQ(test::ErrorOf([&] { page.AppendToStream(other); }), "ETiffError TIFFOpen");
  EXPECT_EQ(other.Size(), 15);
}

TEST(TiffGraphic, KeptTextAndApplicationTagsTravelWithThePage) {
  test::TempDir dir;
  const std::string path = dir.File("tags.tif");
  TTiffGraphic page;
  page.NewImage(16, 16, 200, 200, nullptr, ifBlackWhite);
  page.SetTag(270, "Invoice 42");
  page.SetTag(305, "Scanner Suite");
  page.SetTag(306, "2024:01:31 17:05:09");
  page.SetTag(40000, "note on the page");
  page.SetTag(40019, "last slot");
  page.SaveToFile(path);
  const std::string info = TiffInfo(path);
  EXPECT_TRUE(Contains(info, "ImageDescription: Invoice 42")) << info;
  EXPECT_TRUE(Contains(info, "Software: Scanner Suite")) << info;
  EXPECT_TRUE(Contains(info, "DateTime: 2024:01:31 17:05:09")) << info;
  EXPECT_TRUE(Contains(info, "40000")) << info;

  TTiffGraphic back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.Tag(270), "Invoice 42");
  EXPECT_EQ(back.Annotation(), "note on the page");
  EXPECT_EQ(back.Tag(40019), "last slot");
  EXPECT_EQ(back.Tag(271), "");
  EXPECT_NE(test::ErrorOf([&] { back.SetTag(273, "x"); }), "(no error)");

  // Without kept texts: our Software name and today's date and time.
  TTiffGraphic plain;
  plain.NewImage(16, 16, 200, 200, nullptr, ifBlackWhite);
  plain.SaveToFile(path);
  const std::string plainInfo = TiffInfo(path);
  EXPECT_TRUE(Contains(plainInfo, "Software: Quillmere Image Library")) << plainInfo;
  const size_t at = plainInfo.find("DateTime: ");
  ASSERT_NE(at, std::string::npos);
  const std::string stamp = plainInfo.substr(at + 10, 19);
  EXPECT_EQ(stamp[4], ':');
  EXPECT_EQ(stamp[10], ' ');
  EXPECT_EQ(stamp[16], ':');
}

TEST(TiffGraphic, ReaderRulesOfItsOwn) {
  test::TempDir dir;
  // Resolution unit 1 counts as inches; unit 3 as centimetres.
  {
    TIFF* tiff = TIFFOpen(dir.File("unit.tif").c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 150.0);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 75.0);
    uint16_t rows[2][8];
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 8; ++x) rows[y][x] = static_cast<uint16_t>(x * 8000 + y * 255);
    for (uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tiff, rows[y], y, 0);
    TIFFClose(tiff);
  }
  // 16-bit grey: 256 levels from the high byte, inverted for white-is-zero;
  // no rows-per-strip tag reads as the largest integer.
  TTiffGraphic page;
  page.LoadFromFile(dir.File("unit.tif"));
  EXPECT_EQ(page.ImageFormat(), ifGray256);
  EXPECT_EQ(page.XDpi(), 150);
  EXPECT_EQ(page.YDpi(), 75);
  EXPECT_EQ(page.PixelIndex(3, 0), 255 - (3 * 8000 >> 8));
  EXPECT_EQ(page.PixelIndex(7, 1), 255 - ((7 * 8000 + 255) >> 8));

  // 2-bit grey: an odd bit count read through the RGBA path as 256 grey levels.
  {
    TIFF* tiff = TIFFOpen(dir.File("two.tif").c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 2);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
    uint8_t row = 0x1B; // levels 0, 1, 2, 3
    TIFFWriteScanline(tiff, &row, 0, 0);
    TIFFClose(tiff);
  }
  page.LoadFromFile(dir.File("two.tif"));
  EXPECT_EQ(page.ImageFormat(), ifGray256);
  EXPECT_EQ(page.PixelIndex(1, 0), 85);
  EXPECT_EQ(page.PixelIndex(3, 0), 255);
  EXPECT_EQ(page.RowsPerStrip(), 1);

  // Deflate data under Adobe's compression number reads as ZLib.
  {
    TIFF* tiff = TIFFOpen(dir.File("adobe.tif").c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 3);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    uint8_t row[3] = {5, 6, 7};
    TIFFWriteScanline(tiff, row, 0, 0);
    TIFFClose(tiff);
  }
  page.LoadFromFile(dir.File("adobe.tif"));
  EXPECT_EQ(page.Compression(), tcZLib);
  EXPECT_EQ(page.PixelIndex(2, 0), 7);
}

TEST(TiffGraphic, BadInputGivesClearErrors) {
  test::TempDir dir;
  TTiffGraphic page;
  page.NewImage(1, 1, 100, 100, nullptr, ifGray256);
  page.SetPixelIndex(0, 0, 7);
  auto loadError = [&](const std::vector<uint8_t>& bytes) {
    test::WriteFile(dir.File("bad.tif"), bytes);
    return test::ErrorOf([&] { page.LoadFromFile(dir.File("bad.tif")); });
  };
  EXPECT_EQ(loadError(MinimalTiff(1, true)), "(no error)");
  EXPECT_EQ(page.PixelIndex(0, 0), 0x80);
  page.SetPixelIndex(0, 0, 7);
  EXPECT_EQ(loadError(MinimalTiff(34712, true)), "ETiffError Unsupported compression tag, 34712");
  // Without BitsPerSample a page has one bit per sample, the TIFF 6.0 default.
  EXPECT_EQ(loadError(MinimalTiff(1, false)), "(no error)");
  EXPECT_EQ(page.ImageFormat(), ifBlackWhite);
  EXPECT_EQ(page.PixelIndex(0, 0), 1);
  page.NewImage(1, 1, 100, 100, nullptr, ifGray256);
  page.SetPixelIndex(0, 0, 7);
  EXPECT_EQ(loadError({'I', 'I', 42, 0, 99, 0, 0, 0}), "ETiffError TIFFOpen");
  EXPECT_EQ(loadError({'M', 'M', 0}), "ETiffError TIFFOpen");
  EXPECT_EQ(page.PixelIndex(0, 0), 7); // a failed load leaves the page as it was
  // Known compressions whose data is damaged fail in decoding, not as unsupported.
  EXPECT_EQ(loadError(MinimalTiff(32946, true)), "ETiffError TIFFReadEncodedStrip");
  EXPECT_EQ(loadError(MinimalTiff(8, true)), "ETiffError TIFFReadEncodedStrip");

  // A Group 4 page cut short.
  TTiffGraphic bilevel;
  test::RandomGraphic(bilevel, 200, 100, ifBlackWhite, 5);
  TMemoryStream whole;
  bilevel.SaveToStream(whole);
  std::vector<uint8_t> bytes = whole.Bytes();
  bytes.resize(bytes.size() / 2);
  EXPECT_EQ(loadError(bytes).rfind("ETiffError ", 0), 0u);
  whole.SetPosition(0);
  EXPECT_EQ(test::ErrorOf([&] { page.ImageCount(whole); }), "(no error)");
  TMemoryStream garbage("GIF89a", 6);
  EXPECT_EQ(test::ErrorOf([&] { page.ImageCount(garbage); }), "ETiffError TIFFOpen");
  EXPECT_FALSE(page.IsFormatStream(garbage));
  whole.SetPosition(0);
  EXPECT_TRUE(page.IsFormatStream(whole));
  EXPECT_EQ(whole.Position(), 0);

  TTiffGraphic empty;
  EXPECT_EQ(test::ErrorOf([&] { empty.SaveToFile(dir.File("empty.tif")); }), "Graphic is empty");
  EXPECT_FALSE(test::FileExists(dir.File("empty.tif")));
}

TEST(TiffGraphic, BilevelPagesKeepTheirLookWhicheverEntryIsWhite) {
  test::TempDir dir;
  TTiffGraphic page;
  test::RandomGraphic(page, 30, 9, ifBlackWhite, 6);
  page.SetPaletteColour(0, 0xFFFFFF);
  page.SetPaletteColour(1, 0x000000);
  for (TTiffCompression compression : {tcGroup4, tcLZW, tcNone}) {
    page.SetCompression(compression);
    page.SaveToFile(dir.File("white0.tif"));
    EXPECT_EQ(test::TiffLooks(dir.File("white0.tif"), 0), test::Looks(page))
        << CompressionText(compression);
  }
  // Grey pages whose palette is not the plain ramp are written as they look.
  TTiffGraphic grey;
  std::vector<TColour> reversed;
  for (int i = 0; i < 256; ++i) reversed.push_back(ColourOf(255 - i, 255 - i, 255 - i));
  grey.NewImage(4, 1, 100, 100, &reversed, ifGray256);
  grey.SetPixelIndex(1, 0, 10);
  grey.SaveToFile(dir.File("grey.tif"));
  EXPECT_EQ(test::TiffLooks(dir.File("grey.tif"), 0), test::Looks(grey));
  std::vector<TColour> odd = DefaultPalette(ifGray16);
  odd[3] = ColourOf(60, 60, 60);
  grey.NewImage(4, 1, 100, 100, &odd, ifGray16);
  grey.SetPixelIndex(2, 0, 3);
  grey.SaveToFile(dir.File("grey16.tif"));
  EXPECT_EQ(test::TiffLooks(dir.File("grey16.tif"), 0), test::Looks(grey));
}

// The first strip of a file's first page, as stored.
std::vector<uint8_t> RawStrip(const std::string& path) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return {};
  std::vector<uint8_t> data(static_cast<size_t>(TIFFRawStripSize(tiff, 0)));
  if (TIFFReadRawStrip(tiff, 0, data.data(), static_cast<tmsize_t>(data.size())) < 0) data.clear();
  TIFFClose(tiff);
  return data;
}

// One-strip Group 4 pages are coded by our coder: the strip must be the
// bytes libtiff's coder makes of the same rows, whichever entry is white.
TEST(TiffGraphic, OneStripGroup4IsCodedAsLibtiffCodesIt) {
  test::TempDir dir;
  TDIB text;
  GeneratePage(text,
               {.Width = 1277, .Height = 1650, .Dpi = 150, .SkewDegrees = 1.5, .Specks = true});
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    TTiffGraphic page;
    if (kind < 2)
      page.ImportDib(text, ifBlackWhite, 150, 150);
    else
      test::RandomGraphic(page, 301, 40, ifBlackWhite, 9);
    if (kind % 2 == 1) {
      page.SetPaletteColour(0, 0xFFFFFF);
      page.SetPaletteColour(1, 0x000000);
    }
    page.SetCompression(tcGroup4);
    page.SetRowsPerStrip(page.Height());
    const std::string ours = dir.File("ours.tif"), theirs = dir.File("theirs.tif");
    page.SaveToFile(ours);
    ASSERT_EQ(
        test::Run({"tiffcp", "-c", "g4", "-r", std::to_string(page.Height()), ours, theirs}).status,
        0);
    const std::vector<uint8_t> strip = RawStrip(ours);
    EXPECT_FALSE(strip.empty());
    EXPECT_TRUE(strip == RawStrip(theirs));
    EXPECT_EQ(test::TiffLooks(ours, 0), test::Looks(page));
  }
}

} // namespace
