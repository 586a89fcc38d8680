#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"
#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <tiffio.h>

namespace {

struct Sample {
  std::string name;
  std::vector<uint8_t> bytes;
};

// One good file of each format the readers take, made from a generated page.
std::vector<Sample> GoodFiles() {
  test::TempDir dir;
  TDIB page;
  TPageSpec layout;
  layout.Width = 160;
  layout.Height = 120;
  layout.Dpi = 100;
  layout.Bits = 8;
  GeneratePage(page, layout);
  std::vector<Sample> files;
  TMemoryStream bmp;
  page.SaveBmpToStream(bmp);
  files.push_back({"bmp", bmp.Bytes()});
  for (int code : {5, 7, 8}) {
    TDIB source;
    layout.Bits = code == 5 ? 1 : 8;
    GeneratePage(source, layout);
    TMemoryStream tiff;
    source.SaveToTiffStream(tiff, false, 16, code);
    files.push_back({"tiff" + std::to_string(code), tiff.Bytes()});
  }
  // PNG and JPEG come from the independent writers of the peer tools.
  const std::string tif = dir.File("p.tif");
  page.SaveToTiffFile(tif, false, 0, 1);
  if (test::Run({"tiff2pdf", "-o", dir.File("p.pdf"), tif}).status == 0 &&
      test::Run({"pdftoppm", "-png", "-r", "30", "-singlefile", dir.File("p.pdf"), dir.File("p")})
              .status == 0)
    files.push_back({"png", test::ReadFile(dir.File("p.png"))});
  if (test::Run({"pdftoppm", "-jpeg", "-r", "30", "-singlefile", dir.File("p.pdf"), dir.File("p")})
          .status == 0)
    files.push_back({"jpeg", test::ReadFile(dir.File("p.jpg"))});
  return files;
}

uint32_t Big16(const std::vector<uint8_t>& b, size_t at) {
  return at + 2 <= b.size() ? uint32_t{b[at]} << 8 | b[at + 1] : 0;
}
uint32_t Big32(const std::vector<uint8_t>& b, size_t at) {
  return Big16(b, at) << 16 | Big16(b, at + 2);
}
int64_t Little(const std::vector<uint8_t>& b, size_t at, int count) {
  if (at + static_cast<size_t>(count) > b.size()) return 0;
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | b[at + static_cast<size_t>(i)];
  return count == 4 ? static_cast<int32_t>(value) : static_cast<int16_t>(value);
}

// The page size a file's header announces, as the format's own rules (and
// for TIFF libtiff itself) read it; a TIFF orientation of 5 to 8 turns it.
struct THeaderSize {
  int64_t width = -1;
  int64_t height = -1;
};
THeaderSize HeaderSize(const std::vector<uint8_t>& bytes, int page) {
  THeaderSize size;
  if (bytes.size() >= 26 && bytes[0] == 'B' && bytes[1] == 'M') {
    const bool core = Little(bytes, 14, 4) == 12;
    size.width = Little(bytes, 18, core ? 2 : 4);
    size.height = std::abs(Little(bytes, core ? 20 : 22, core ? 2 : 4));
  } else if (bytes.size() >= 24 && bytes[0] == 0x89 && bytes[1] == 'P') {
    size.width = Big32(bytes, 16);
    size.height = Big32(bytes, 20);
  } else if (bytes.size() >= 4 && (bytes[0] == 'I' || bytes[0] == 'M')) {
    test::TempDir dir;
    test::WriteFile(dir.File("h.tif"), bytes);
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    if (TIFF* tiff = TIFFOpen(dir.File("h.tif").c_str(), "r")) {
      uint32_t w = 0, h = 0;
      uint16_t orientation = 1;
      if (TIFFSetDirectory(tiff, static_cast<tdir_t>(page)) &&
          TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w) &&
          TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h)) {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
        const bool turned = orientation >= 5 && orientation <= 8;
        size.width = turned ? h : w;
        size.height = turned ? w : h;
      }
      TIFFClose(tiff);
    }
  } else {
    // JPEG: the segments from the start of the file up to the first frame
    // header; bytes between segments are passed over, as libjpeg does.
    for (size_t at = 2; at + 9 < bytes.size();) {
      if (bytes[at] != 0xFF || bytes[at + 1] == 0xFF) {
        ++at;
        continue;
      }
      const uint8_t marker = bytes[at + 1];
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
        size.height = Big16(bytes, at + 5);
        size.width = Big16(bytes, at + 7);
        break;
      }
      at += 2 + Big16(bytes, at + 2);
    }
  }
  return size;
}

// Decoding either works and gives a page of the size its header announces,
// or raises one of our errors and leaves the page empty or whole; nothing
// else escapes.
bool Decodes(const std::vector<uint8_t>& bytes, int index = 0) {
  TMemoryStream stream(bytes.data(), bytes.size());
  TDIB page;
  try {
    page.LoadFromStream(stream, index);
  } catch (const Exception&) {
    EXPECT_TRUE(page.Empty() || (page.Width() > 0 && page.Height() > 0));
    return false;
  }
  const THeaderSize size = HeaderSize(bytes, index);
  EXPECT_EQ(page.Width(), size.width);
  EXPECT_EQ(page.Height(), size.height);
  return true;
}

} // namespace

TEST(BadInput, TheSampleFilesAreGood) {
  auto files = GoodFiles();
  ASSERT_EQ(files.size(), 6u);
  for (const auto& file : files) EXPECT_TRUE(Decodes(file.bytes)) << file.name;
}

TEST(BadInput, TruncatedFilesRaiseAnError) {
  for (const auto& file : GoodFiles()) {
    const size_t size = file.bytes.size();
    for (size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{9}, size_t{30}, size / 4,
                          size / 2, size - 20, size - 3, size - 1}) {
      std::vector<uint8_t> cut(file.bytes.begin(), file.bytes.begin() + static_cast<long>(length));
      EXPECT_FALSE(Decodes(cut)) << file.name << " cut to " << length;
    }
  }
}

TEST(BadInput, CorruptedFilesNeverCrash) {
  std::mt19937 random(20261208);
  for (const auto& file : GoodFiles()) {
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> bytes = file.bytes;
      const int flips = 1 + static_cast<int>(random() % 8);
      // Most damage goes into the headers, where it hurts most.
      for (int i = 0; i < flips; ++i) {
        size_t span = random() % 3 == 0 ? bytes.size() : std::min<size_t>(bytes.size(), 1200);
        bytes[random() % span] = static_cast<uint8_t>(random());
      }
      Decodes(bytes);
    }
  }
}

TEST(BadInput, FuzzCorporaReadRightOrRaiseOurErrors) {
  for (const char* target : {"load_from_stream", "tiff_page_count", "graphic_load"}) {
    const std::filesystem::path folder = test::SourcePath(std::string("fuzz/corpus/") + target);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      const std::vector<uint8_t> bytes = test::ReadFile(entry.path().string());
      Decodes(bytes, 0);
      if (bytes.size() > 1 && (bytes[0] == 'I' || bytes[0] == 'M')) Decodes(bytes, 1);
      ++files;
    }
    EXPECT_GT(files, 10) << target;
  }
}

TEST(BadInput, CorruptedPixelDataRaisesForCompressedFormats) {
  for (const auto& file : GoodFiles()) {
    if (file.name != "png") continue;
    std::vector<uint8_t> bytes = file.bytes;
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i) bytes[i] ^= 0x5A;
    EXPECT_FALSE(Decodes(bytes)); // the checksum catches it
  }
}
