#include "core/FileStream.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"
#include "raster/RasterTestSupport.h"
#include "raster/TiffBinding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace {

TDIB Load(const std::string& path, int page = 0, int* rowsPerStrip = nullptr) {
  TFileStream file(path, TFileStream::fmOpenRead);
  TDIB dib;
  int rows = dib.LoadTiffFromStream(file, page);
  if (rowsPerStrip) *rowsPerStrip = rows;
  return dib;
}

std::string LoadError(const std::string& path, int page = 0) {
  try {
    Load(path, page);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "no error";
}

// A gradient with a few features: bars, a frame, random dots.
uint32_t Pattern(uint32_t x, uint32_t y, int s) {
  return (x * 7 + y * 3 + static_cast<uint32_t>(s) * 50 + ((x / 5 + y / 3) % 2) * 40) & 0xFF;
}

} // namespace

TEST(TiffRead, WhiteIsZeroGroup4ReadsBlackAsZeroAndWritesBackTheSame) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.width = 77;
  layout.height = 33;
  layout.bitsPerSample = 1;
  layout.photometric = PHOTOMETRIC_MINISWHITE;
  layout.compression = COMPRESSION_CCITTFAX4;
  test::WriteTiff(dir.File("in.tif"), layout,
                  [](uint32_t x, uint32_t y, int) { return (x * y + x) % 5 == 0; });
  TDIB page = Load(dir.File("in.tif"));
  ASSERT_EQ(page.BitCount(), 1);
  EXPECT_EQ(page.PaletteEntry(0), 0u);
  EXPECT_EQ(page.PaletteEntry(1), 0xFFFFFFu);
  EXPECT_EQ(page.GetPixel(0, 0), 0); // sample 1 in a white-is-zero file is black
  EXPECT_EQ(page.GetPixel(1, 0), 1);
  const auto look = test::ReadTiffLook(dir.File("in.tif")).pixels;
  EXPECT_EQ(test::Looks(page), look);
  page.SaveToTiffFile(dir.File("out.tif"), false, 0, 0);
  TIFF* tiff = TIFFOpen(dir.File("out.tif").c_str(), "r");
  uint16_t compression = 0, photometric = 9;
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFClose(tiff);
  EXPECT_EQ(compression, 4);
  EXPECT_EQ(photometric, 0);
  EXPECT_EQ(test::ReadTiffLook(dir.File("out.tif")).pixels, look);
}

TEST(TiffRead, BilevelWrittenUncompressedKeepsItsRows) {
  test::TempDir dir;
  TDIB page;
  test::RandomPage(page, 24, 3, pf1bit, 5);
  page.SaveToTiffFile(dir.File("a.tif"), false, 0, 1);
  TIFF* tiff = TIFFOpen(dir.File("a.tif").c_str(), "r");
  uint16_t photometric = 9;
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
  TIFFReadScanline(tiff, row.data(), 1, 0);
  TIFFClose(tiff);
  EXPECT_EQ(photometric, 1);
  EXPECT_EQ(std::vector<uint8_t>(page.ScanLine(1), page.ScanLine(1) + 3), row);
}

TEST(TiffRead, FaxPagesWithoutBitsPerSampleOrMarkedBlackIsZero) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.width = 50;
  layout.height = 20;
  layout.bitsPerSample = 1;
  layout.compression = COMPRESSION_CCITTFAX3;
  layout.t4Options = 0;
  layout.writeBitsPerSample = false;
  layout.photometric = PHOTOMETRIC_MINISWHITE;
  auto bars = [](uint32_t x, uint32_t, int) -> uint32_t { return x % 10 < 3; };
  test::WriteTiff(dir.File("nobps.tif"), layout, bars);
  TDIB page = Load(dir.File("nobps.tif"));
  EXPECT_EQ(page.BitCount(), 1);
  EXPECT_EQ(page.GetPixel(0, 0), 0); // black bar
  EXPECT_EQ(page.GetPixel(5, 0), 1);
  // A fax page that says black-is-zero means it, as libtiff's tools read it.
  layout.writeBitsPerSample = true;
  layout.photometric = PHOTOMETRIC_MINISBLACK;
  test::WriteTiff(dir.File("biz.tif"), layout, bars);
  page = Load(dir.File("biz.tif"));
  EXPECT_EQ(page.GetPixel(0, 0), 1);
  EXPECT_EQ(page.GetPixel(5, 0), 0);
  EXPECT_EQ(test::Looks(page), test::ReadTiffLook(dir.File("biz.tif")).pixels);
}

TEST(TiffRead, OddBitCountsAndWideSamplesBecomeGreyLevels) {
  test::TempDir dir;
  test::TiffSpec layout;
  for (uint16_t bits : {2, 16}) {
    SCOPED_TRACE(bits);
    layout.bitsPerSample = bits;
    const std::string path = dir.File("grey" + std::to_string(bits) + ".tif");
    test::WriteTiff(path, layout, [bits](uint32_t x, uint32_t y, int) {
      return bits == 2 ? (x + y) % 4 : (x * 1000 + y * 300) & 0xFFFF;
    });
    TDIB page = Load(path);
    EXPECT_EQ(page.BitCount(), 8);
    EXPECT_EQ(test::Looks(page), test::ReadTiffLook(path).pixels);
  }
}

TEST(TiffRead, ResolutionUnits) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.xResolution = 118.11f;
  layout.yResolution = 78.74f;
  layout.resolutionUnit = 3;
  auto flat = [](uint32_t, uint32_t, int) -> uint32_t { return 9; };
  test::WriteTiff(dir.File("cm.tif"), layout, flat);
  TDIB page = Load(dir.File("cm.tif"));
  EXPECT_EQ(page.XResolution(), 300);
  EXPECT_EQ(page.YResolution(), 200);
  layout.xResolution = 300;
  layout.yResolution = 150;
  layout.resolutionUnit = 0;
  test::WriteTiff(dir.File("nounit.tif"), layout, flat);
  page = Load(dir.File("nounit.tif"));
  EXPECT_EQ(page.XResolution(), 300);
  EXPECT_EQ(page.YResolution(), 150);
}

TEST(TiffRead, FilesRecodedByTiffcpReadToTheSamePage) {
  test::TempDir dir;
  struct Source {
    const char* name;
    TPixelFormat format;
  };
  for (Source source : {Source{"bw", pf1bit}, Source{"grey", pf8bit}, Source{"colour", pf24bit},
                        Source{"four", pf4bit}}) {
    TDIB original;
    if (source.format == pf4bit) {
      test::RandomPage(original, 203, 101, pf4bit, 3);
    } else {
      TPageSpec layout;
      layout.Width = 203;
      layout.Height = 101;
      layout.Dpi = 100;
      layout.Bits = source.format == pf1bit ? 1 : source.format == pf8bit ? 8 : 24;
      layout.Seed = 5;
      GeneratePage(original, layout);
    }
    const std::string plain = dir.File(std::string(source.name) + ".tif");
    original.SaveToTiffFile(plain, false, 0, 1);
    const std::vector<uint32_t> want = test::ReadTiffLook(plain).pixels;
    std::vector<std::vector<std::string>> recodings = {
        {"-c", "lzw"}, {"-c", "packbits"}, {"-c", "zip"}, {"-t"}, {"-r", "7"}};
    if (source.format == pf8bit || source.format == pf24bit)
      recodings.push_back({"-p", "separate"});
    if (source.format == pf1bit) {
      recodings.push_back({"-c", "g3:1d"});
      recodings.push_back({"-c", "g3:2d"});
      recodings.push_back({"-c", "g4"});
      recodings.push_back({"-t", "-c", "g4"});
    }
    if (source.format == pf8bit || source.format == pf24bit) recodings.push_back({"-c", "jpeg"});
    for (const auto& options : recodings) {
      std::vector<std::string> command = {"tiffcp"};
      std::string name = source.name;
      for (const auto& o : options) {
        command.push_back(o);
        name += o;
      }
      const std::string out = dir.File(name + ".tif");
      command.push_back(plain);
      command.push_back(out);
      ASSERT_EQ(test::Run(command).status, 0) << name;
      SCOPED_TRACE(name);
      TDIB page = Load(out);
      EXPECT_EQ(page.Width(), 203);
      EXPECT_EQ(page.XResolution(), original.XResolution());
      if (options.back() == "jpeg") {
        EXPECT_LT(test::MeanDifference(test::Looks(page), want), 4.0);
        // Strip decoding gives exactly what libtiff's RGBA interface gives.
        EXPECT_EQ(test::Looks(page), test::ReadTiffLook(out).pixels);
      } else {
        EXPECT_EQ(test::CountDifferences(test::Looks(page), want, 0), 0);
      }
    }
  }
}

TEST(TiffRead, PaletteFilesOfOneFourAndEightBits) {
  test::TempDir dir;
  for (uint16_t bits : {1, 4, 8}) {
    test::TiffSpec layout;
    layout.bitsPerSample = bits;
    layout.photometric = PHOTOMETRIC_PALETTE;
    const size_t n = size_t{1} << bits;
    for (int channel = 0; channel < 3; ++channel)
      for (size_t i = 0; i < n; ++i)
        layout.colorMap.push_back(
            static_cast<uint16_t>(((i * 37 + static_cast<size_t>(channel) * 80) % 256) * 257));
    const std::string path = dir.File("pal" + std::to_string(bits) + ".tif");
    test::WriteTiff(path, layout, [n](uint32_t x, uint32_t y, int) {
      return static_cast<uint32_t>((x + y) % n);
    });
    TDIB page = Load(path);
    EXPECT_EQ(page.BitCount(), bits < 5 ? 4 : 8);
    EXPECT_EQ(test::Looks(page), test::ReadTiffLook(path).pixels) << bits;
  }
  // An old-style colour map of 8-bit values is taken as it is.
  test::TiffSpec layout;
  layout.bitsPerSample = 4;
  layout.photometric = PHOTOMETRIC_PALETTE;
  for (int channel = 0; channel < 3; ++channel)
    for (int i = 0; i < 16; ++i) layout.colorMap.push_back(static_cast<uint16_t>(i * 16 + channel));
  test::WriteTiff(dir.File("narrow.tif"), layout, [](uint32_t x, uint32_t, int) { return x % 16; });
  TDIB page = Load(dir.File("narrow.tif"));
  EXPECT_EQ(page.PaletteEntry(3), PaletteColor(48, 49, 50));
}

TEST(TiffRead, MinIsWhiteAndMinIsBlackInStripsAndTiles) {
  test::TempDir dir;
  for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
    for (uint16_t bits : {1, 4, 8}) {
      for (uint32_t tile : {0u, 16u}) {
        test::TiffSpec layout;
        layout.width = 64;
        layout.height = 40;
        layout.bitsPerSample = bits;
        layout.photometric = photometric;
        layout.tileSize = tile;
        const uint32_t max = (1u << bits) - 1;
        const std::string path =
            dir.File("p" + std::to_string(photometric) + "b" + std::to_string(bits) + "t" +
                     std::to_string(tile) + ".tif");
        test::WriteTiff(path, layout,
                        [max](uint32_t x, uint32_t y, int) { return (x * 3 + y) % (max + 1); });
        SCOPED_TRACE(path);
        TDIB page;
        ASSERT_NO_THROW(page = Load(path));
        std::vector<uint32_t> want = test::ReadTiffLook(path).pixels;
        EXPECT_EQ(test::CountDifferences(test::Looks(page), want, 0), 0);
      }
    }
  }
}

TEST(TiffRead, MissingRowsPerStripMeansOneStrip) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.width = 30;
  layout.height = 50;
  layout.writeRowsPerStrip = false;
  test::WriteTiff(dir.File("one.tif"), layout, Pattern);
  int rows = 0;
  TDIB page = Load(dir.File("one.tif"), 0, &rows);
  EXPECT_EQ(test::Looks(page), test::ReadTiffLook(dir.File("one.tif")).pixels);
  layout.rowsPerStrip = 7;
  layout.writeRowsPerStrip = true;
  test::WriteTiff(dir.File("seven.tif"), layout, Pattern);
  page = Load(dir.File("seven.tif"), 0, &rows);
  EXPECT_EQ(rows, 7);
  EXPECT_EQ(test::Looks(page), test::ReadTiffLook(dir.File("seven.tif")).pixels);
}

TEST(TiffRead, PagesOfAMultiPageFile) {
  test::TempDir dir;
  const std::string path = dir.File("multi.tif");
  for (uint32_t i = 0; i < 4; ++i) {
    test::TiffSpec layout;
    layout.width = 10 + i;
    layout.height = 5;
    test::WriteTiff(
        path, layout, [i](uint32_t x, uint32_t, int) { return x * 20 + i; }, i > 0);
  }
  TFileStream file(path, TFileStream::fmOpenRead);
  EXPECT_EQ(TDIB::TiffPageCount(file), 4);
  for (int i = 0; i < 4; ++i) {
    TDIB page = Load(path, i);
    EXPECT_EQ(page.Width(), 10 + i);
    EXPECT_EQ(page.GetPixel(1, 0), 20 + i);
  }
  EXPECT_EQ(LoadError(path, 4), "TIFFSetDirectory: page 4");
  EXPECT_EQ(LoadError(path, -1), "TIFFSetDirectory: page -1");
}

TEST(TiffRead, ColourFilesInEveryLayout) {
  test::TempDir dir;
  struct Case {
    const char* name;
    uint16_t compression;
    uint16_t photometric;
    uint16_t planar;
    uint32_t tile;
  };
  for (Case c :
       {Case{"rgb", 1, PHOTOMETRIC_RGB, 1, 0}, Case{"sep", 5, PHOTOMETRIC_RGB, 2, 0},
        Case{"tiled", 8, PHOTOMETRIC_RGB, 1, 16}, Case{"jpegrgb", 7, PHOTOMETRIC_RGB, 1, 0},
        Case{"jpegycc", 7, PHOTOMETRIC_YCBCR, 1, 0}}) {
    test::TiffSpec layout;
    layout.width = 48;
    layout.height = 32;
    layout.samplesPerPixel = 3;
    layout.compression = c.compression;
    layout.photometric = c.photometric;
    layout.planar = c.planar;
    layout.tileSize = c.tile;
    if (c.compression == 7) layout.rowsPerStrip = 16;
    const std::string path = dir.File(std::string(c.name) + ".tif");
    test::WriteTiff(path, layout, Pattern);
    SCOPED_TRACE(c.name);
    TDIB page = Load(path);
    EXPECT_EQ(page.BitCount(), 24);
    EXPECT_EQ(test::Looks(page), test::ReadTiffLook(path).pixels);
  }
  test::TiffSpec cmyk;
  cmyk.samplesPerPixel = 4;
  cmyk.photometric = PHOTOMETRIC_SEPARATED;
  test::WriteTiff(dir.File("cmyk.tif"), cmyk, Pattern);
  TDIB page = Load(dir.File("cmyk.tif"));
  EXPECT_EQ(page.BitCount(), 24);
  EXPECT_EQ(test::Looks(page), test::ReadTiffLook(dir.File("cmyk.tif")).pixels);
}

TEST(TiffRead, GreyJpegFilesEitherWay) {
  test::TempDir dir;
  for (uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE}) {
    test::TiffSpec layout;
    layout.compression = COMPRESSION_JPEG;
    layout.photometric = photometric;
    layout.rowsPerStrip = 8;
    const std::string path = dir.File("j" + std::to_string(photometric) + ".tif");
    test::WriteTiff(path, layout, Pattern);
    TDIB page = Load(path);
    EXPECT_EQ(page.BitCount(), 8);
    EXPECT_EQ(test::Looks(page), test::ReadTiffLook(path).pixels) << photometric;
  }
}

TEST(TiffRead, FilesThatAreNotTiffs) {
  test::TempDir dir;
  test::WriteFile(dir.File("junk.tif"), {'I', 'I', 42, 0, 1, 2, 3, 4, 5});
  EXPECT_EQ(LoadError(dir.File("junk.tif")), "TIFFOpen");
  TFileStream file(dir.File("junk.tif"), TFileStream::fmOpenRead);
  try {
    TDIB::TiffPageCount(file);
    FAIL();
  } catch (const ETiffError& error) {
    EXPECT_EQ(error.Message(), "TIFFOpen");
  }
}

TEST(TiffRead, ColourRowsOfEveryWidthKeepTheirChannels) {
  test::TempDir dir;
  for (int width = 1; width <= 23; ++width) {
    TDIB page;
    test::RandomPage(page, width, 3, pf24bit, static_cast<uint32_t>(width));
    const std::string path = dir.File("w" + std::to_string(width) + ".tif");
    page.SaveToTiffFile(path, false, 0, 1);
    EXPECT_EQ(test::Looks(Load(path)), test::Looks(page)) << width;
    EXPECT_EQ(test::ReadTiffLook(path).pixels, test::Looks(page)) << width;
  }
}
