// TIFF files as other programs write them, and hostile ones: each is read
// right or refused quickly with our error.
#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/RasterTestSupport.h"
#include "support/LibjpegEncode.h"
#include "support/PeerTools.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace {

test::RunResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), test::BinPath("tessivane-cli"));
  return test::Run(arguments);
}

TDIB Load(const std::string& path, int page = 0) {
  TFileStream file(path, TFileStream::fmOpenRead);
  TDIB dib;
  dib.LoadTiffFromStream(file, page);
  return dib;
}

// A little-endian TIFF of one directory with the given short and long
// entries, its data at offset 8.
std::vector<uint8_t> TinyTiff(const std::vector<std::pair<uint16_t, uint32_t>>& entries,
                              const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file = {'I', 'I', 42, 0};
  auto put16 = [&](uint32_t v) { file.push_back(v & 0xFF), file.push_back((v >> 8) & 0xFF); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  const auto directory = static_cast<uint32_t>(8 + data.size() + data.size() % 2);
  put32(directory);
  file.insert(file.end(), data.begin(), data.end());
  if (data.size() % 2) file.push_back(0);
  put16(static_cast<uint32_t>(entries.size()));
  for (auto [tag, value] : entries) {
    const bool isLong = value > 0xFFFF || tag == 273 || tag == 279 || tag == 324 || tag == 325 ||
                        tag == 513 || tag == 514;
    put16(tag), put16(isLong ? 4 : 3), put32(1), put32(value);
  }
  put32(0);
  return file;
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
  return test::ErrorOf([&] {
    TMemoryStream stream(bytes.data(), bytes.size());
    TDIB page;
    page.LoadFromStream(stream, 0);
  });
}

// Where stored pixel (x, y) is found seen as the TIFF 6.0 standard describes
// each orientation: which visual side row 0 and column 0 lie on.
struct TSeen {
  int width, height;
  // the stored pixel shown at (X, Y) of the seen page
  std::function<std::pair<int, int>(int X, int Y)> stored;
};
TSeen SeenLayout(int orientation, int w, int l) {
  switch (orientation) {
  case 1: // row 0 top, column 0 left
    return {w, l, [](int X, int Y) { return std::pair{X, Y}; }};
  case 2: // row 0 top, column 0 right
    return {w, l, [w](int X, int Y) { return std::pair{w - 1 - X, Y}; }};
  case 3: // row 0 bottom, column 0 right
    return {w, l, [w, l](int X, int Y) { return std::pair{w - 1 - X, l - 1 - Y}; }};
  case 4: // row 0 bottom, column 0 left
    return {w, l, [l](int X, int Y) { return std::pair{X, l - 1 - Y}; }};
  case 5: // row 0 left, column 0 top
    return {l, w, [](int X, int Y) { return std::pair{Y, X}; }};
  case 6: // row 0 right, column 0 top
    return {l, w, [l](int X, int Y) { return std::pair{Y, l - 1 - X}; }};
  case 7: // row 0 right, column 0 bottom
    return {l, w, [w, l](int X, int Y) { return std::pair{w - 1 - Y, l - 1 - X}; }};
  default: // 8: row 0 left, column 0 bottom
    return {l, w, [w](int X, int Y) { return std::pair{w - 1 - Y, X}; }};
  }
}

} // namespace

TEST(TiffPeerFiles, PilBilevelWithoutBitsPerSampleOrResolutionReadsAndSaves) {
  const std::string python = test::PythonWith({"PIL"});
  if (python.empty()) GTEST_SKIP() << "no Python with PIL";
  test::TempDir dir;
  const std::string path = dir.File("pil.tif");
  ASSERT_EQ(test::RunPython(python, R"(
import sys
from PIL import Image
page = Image.new('1', (41, 17), 1)
for x in range(0, 41, 3): page.putpixel((x, 5), 0)
page.save(sys.argv[1])
)",
                            {path})
                .status,
            0);
  ASSERT_EQ(test::Run({"tiffinfo", path}).out.find("Bits/Sample"), std::string::npos);
  ASSERT_EQ(test::Run({"tiffinfo", path}).out.find("Resolution"), std::string::npos);

  TDIB page = Load(path);
  EXPECT_EQ(page.BitCount(), 1);
  EXPECT_EQ(page.XResolution(), kDefaultPageDpi);
  EXPECT_EQ(page.YResolution(), kDefaultPageDpi);
  EXPECT_EQ(test::Looks(page), test::ReadTiffLook(path).pixels);
  EXPECT_EQ(page.GetPixel(3, 5), 0);
  EXPECT_EQ(page.GetPixel(4, 5), 1);

  // Both readers agree, and the page saves into a PDF page sized from the default.
  EXPECT_EQ(Cli({"info", path}).out, "1 41 17 1 96 96\n");
  const test::RunResult pdf = Cli({"topdf", dir.File("out.pdf"), path});
  EXPECT_EQ(pdf.status, 0) << pdf.err;
  const std::string info = test::Run({"pdfinfo", dir.File("out.pdf")}).out;
  EXPECT_NE(info.find("Page size:       31 x 13 pts"), std::string::npos) << info;
}

TEST(TiffPeerFiles, TwoBitGreyReadsTheSameInEveryCommand) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.bitsPerSample = 2;
  const std::string path = dir.File("two.tif");
  test::WriteTiff(path, layout, [](uint32_t x, uint32_t y, int) { return (x / 3 + y) % 4; });
  EXPECT_EQ(Cli({"info", path}).out, "1 64 48 8 300 300\n");
  const test::RunResult pdf = Cli({"topdf", dir.File("out.pdf"), path});
  EXPECT_EQ(pdf.status, 0) << pdf.err;
  ASSERT_EQ(Cli({"convert", path, dir.File("out.tif"), "--compression", "1"}).status, 0);
  EXPECT_EQ(test::ReadTiffLook(dir.File("out.tif")).pixels, test::ReadTiffLook(path).pixels);
}

TEST(TiffPeerFiles, EveryOrientationOnStripJpegAndFaxPages) {
  test::TempDir dir;
  struct TCase {
    const char* name;
    uint16_t compression, bits, samples, photometric;
    int tolerance;
  };
  const TCase cases[] = {{"strips", COMPRESSION_LZW, 8, 3, PHOTOMETRIC_RGB, 0},
                         {"jpeg", COMPRESSION_JPEG, 8, 3, PHOTOMETRIC_RGB, 24},
                         {"fax", COMPRESSION_CCITTFAX4, 1, 1, PHOTOMETRIC_MINISWHITE, 0},
                         {"tiles", COMPRESSION_NONE, 8, 1, PHOTOMETRIC_MINISBLACK, 0}};
  // Blocks of 8 pixels, so that JPEG keeps them apart.
  auto sample = [](uint32_t x, uint32_t y, int s) -> uint32_t {
    return ((x / 8) * 60 + (y / 8) * 25 + static_cast<uint32_t>(s) * 90) % 256;
  };
  for (const TCase& c : cases) {
    test::TiffSpec layout;
    layout.width = 48;
    layout.height = 32;
    layout.compression = c.compression;
    layout.bitsPerSample = c.bits;
    layout.samplesPerPixel = c.samples;
    layout.photometric = c.photometric;
    layout.xResolution = 300;
    layout.yResolution = 150;
    if (std::string(c.name) == "tiles") layout.tileSize = 16;
    const std::string stored = dir.File(std::string(c.name) + ".tif");
    test::WriteTiff(stored, layout, [&](uint32_t x, uint32_t y, int s) {
      return c.bits == 1 ? (sample(x, y, 0) > 127 ? 1u : 0u) : sample(x, y, s);
    });
    const std::vector<uint32_t> look = test::ReadTiffLook(stored).pixels;
    for (int orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE(std::string(c.name) + " orientation " + std::to_string(orientation));
      const std::string path = dir.File("o.tif");
      test::WriteFile(path, test::ReadFile(stored));
      ASSERT_EQ(test::Run({"tiffset", "-s", "274", std::to_string(orientation), path}).status, 0);
      const TDIB page = Load(path);
      const TSeen seen = SeenLayout(orientation, 48, 32);
      ASSERT_EQ(page.Width(), seen.width);
      ASSERT_EQ(page.Height(), seen.height);
      EXPECT_EQ(page.XResolution(), orientation >= 5 ? 150 : 300);
      std::vector<uint32_t> want;
      for (int Y = 0; Y < seen.height; ++Y)
        for (int X = 0; X < seen.width; ++X) {
          const auto [x, y] = seen.stored(X, Y);
          want.push_back(look[static_cast<size_t>(y) * 48 + static_cast<size_t>(x)]);
        }
      EXPECT_EQ(test::CountDifferences(test::Looks(page), want, c.tolerance), 0);
    }
  }
}

TEST(TiffPeerFiles, DamagedGroup4DataFailsTheRead) {
  test::TempDir dir;
  test::TiffSpec layout;
  layout.width = 800;
  layout.height = 300;
  layout.bitsPerSample = 1;
  layout.photometric = PHOTOMETRIC_MINISWHITE;
  layout.compression = COMPRESSION_CCITTFAX4;
  layout.rowsPerStrip = 300;
  const std::string path = dir.File("g4.tif");
  test::WriteTiff(path, layout, [](uint32_t x, uint32_t y, int) {
    return ((x / 7) * (y / 5) + x / 13) % 3 == 0 ? 1u : 0u;
  });
  ASSERT_NO_THROW(Load(path));
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tiff, nullptr);
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &offsets);
  TIFFGetField(tiff, TIFFTAG_STRIPBYTECOUNTS, &counts);
  const uint64_t offset = offsets[0], count = counts[0];
  TIFFClose(tiff);
  ASSERT_GT(count, 400u);
  std::vector<uint8_t> bytes = test::ReadFile(path);
  uint32_t state = 12345;
  for (uint64_t i = 0; i < 64; ++i) {
    state = state * 1103515245 + 12345;
    bytes[offset + count / 3 + i] = static_cast<uint8_t>(state >> 16);
  }
  test::WriteFile(path, bytes);
  // libtiff's own tool sees the damage: so must we.
  ASSERT_NE(test::Run({"tiffinfo", "-D", path}).err, "");
  EXPECT_EQ(test::ErrorOf([&] { Load(path); }), "TIFFReadScanline");
  EXPECT_NE(Cli({"topdf", dir.File("out.pdf"), path}).status, 0);
}

TEST(TiffPeerFiles, TilesFarLargerThanThePageAreRefused) {
  // 16 x 16 pixels in tiles of 65520 x 65520, through the tile and RGBA paths.
  const std::vector<uint8_t> data(64, 0);
  for (uint16_t samples : {1, 3}) {
    SCOPED_TRACE(samples);
    const auto file = TinyTiff({{256, 16},
                                {257, 16},
                                {258, 8},
                                {259, 1},
                                {262, samples == 1 ? 1u : 2u},
                                {277, samples},
                                {284, 2},
                                {322, 65520},
                                {323, 65520},
                                {324, 8},
                                {325, 64}},
                               data);
    EXPECT_EQ(LoadError(file).rfind("Image too large: tiles of ", 0), 0u) << LoadError(file);
  }
}

TEST(TiffPeerFiles, AlphaIsLaidOverWhitePaper) {
  const std::string python = test::PythonWith({"PIL"});
  if (python.empty()) GTEST_SKIP() << "no Python with PIL";
  test::TempDir dir;
  ASSERT_EQ(test::RunPython(python, R"(
import sys
from PIL import Image
grey = Image.new('LA', (6, 2), (40, 255))
grey.putpixel((1, 0), (40, 0))
grey.putpixel((2, 0), (0, 128))
grey.save(sys.argv[1])
colour = Image.new('RGBA', (6, 2), (200, 10, 30, 255))
colour.putpixel((1, 0), (200, 10, 30, 0))
colour.save(sys.argv[2], compression='tiff_lzw')
)",
                            {dir.File("la.tif"), dir.File("rgba.tif")})
                .status,
            0);
  TDIB grey = Load(dir.File("la.tif"));
  EXPECT_EQ(grey.BitCount(), 8);
  EXPECT_EQ(test::Look(grey, 0, 0), 0x282828u);
  EXPECT_EQ(test::Look(grey, 1, 0), 0xFFFFFFu);                         // transparent: the paper
  EXPECT_NEAR(static_cast<int>(test::Look(grey, 2, 0) & 0xFF), 127, 1); // half-covered black
  TDIB colour = Load(dir.File("rgba.tif"));
  EXPECT_EQ(colour.BitCount(), 24);
  EXPECT_EQ(test::Look(colour, 0, 0), 0xC80A1Eu);
  EXPECT_EQ(test::Look(colour, 1, 0), 0xFFFFFFu);
}

TEST(TiffPeerFiles, OldStyleJpegPagesReadThroughLibtiff) {
  // Compression 6 with the whole JPEG stream named by JPEGInterchangeFormat,
  // as older scanning software wrote it.
  auto sample = [](int x, int y, int c) {
    return c == 0 ? 200 : c == 1 ? (x < 8 ? 40 : 160) : y * 4;
  };
  const std::vector<uint8_t> jpeg = test::LibjpegEncode(16, 16, 3, JCS_RGB, 95, sample);
  const auto size = static_cast<uint32_t>(jpeg.size());
  const auto file = TinyTiff({{256, 16},
                              {257, 16},
                              {258, 8},
                              {259, 6},
                              {262, 6},
                              {273, 8},
                              {277, 3},
                              {278, 16},
                              {279, size},
                              {513, 8},
                              {514, size}},
                             jpeg);
  TMemoryStream stream(file.data(), file.size());
  TDIB page;
  ASSERT_EQ(test::ErrorOf([&] { page.LoadFromStream(stream, 0); }), "(no error)");
  EXPECT_EQ(page.BitCount(), 24);
  for (auto [x, y] : {std::pair{2, 2}, std::pair{12, 9}}) {
    const uint32_t look = test::Look(page, x, y);
    EXPECT_NEAR(static_cast<int>(look >> 16), sample(x, y, 0), 8);
    EXPECT_NEAR(static_cast<int>((look >> 8) & 0xFF), sample(x, y, 1), 8);
    EXPECT_NEAR(static_cast<int>(look & 0xFF), sample(x, y, 2), 8);
  }
  // The TIFF graphic reads it too, as a JPEG page.
  test::TempDir dir;
  test::WriteFile(dir.File("old.tif"), file);
  EXPECT_EQ(Cli({"info", dir.File("old.tif")}).out, "1 16 16 24 96 96\n");
}
