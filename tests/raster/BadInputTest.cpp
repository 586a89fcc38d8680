#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"
#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <random>

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

// Decoding either works or raises one of our errors; nothing else escapes.
bool Decodes(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  TDIB page;
  try {
    page.LoadFromStream(stream, 0);
    return true;
  } catch (const Exception&) {
    EXPECT_TRUE(page.Empty() || page.Width() > 0);
    return false;
  }
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

TEST(BadInput, CorruptedPixelDataRaisesForCompressedFormats) {
  for (const auto& file : GoodFiles()) {
    if (file.name != "png") continue;
    std::vector<uint8_t> bytes = file.bytes;
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i) bytes[i] ^= 0x5A;
    EXPECT_FALSE(Decodes(bytes)); // the checksum catches it
  }
}
