#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/PdfGraphic.h"
#include "graphics/TiffGraphic.h"
#include "pdf/BatchPdf.h"
#include "raster/DIB.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// Where the next-directory link of a little-endian TIFF directory lies.
size_t LinkOf(const std::vector<uint8_t>& bytes, uint32_t directory) {
  return directory + 2 + 12 * static_cast<size_t>(bytes[directory] | bytes[directory + 1] << 8);
}

void AppendDib(const std::string& path, int height) {
  TDIB page;
  page.NewImage(40, height, pf1bit, 72, 72);
  page.SaveToTiffFile(path, true, 0, 0);
}

std::vector<uint8_t> Bmp(uint32_t headerSize, int width, int height) {
  std::vector<uint8_t> bytes(14 + headerSize + 8 + 8, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutU32(bytes, 2, static_cast<uint32_t>(bytes.size()));
  PutU32(bytes, 10, 14 + headerSize + 8);
  PutU32(bytes, 14, headerSize);
  if (headerSize == 12) {
    bytes[18] = static_cast<uint8_t>(width);
    bytes[20] = static_cast<uint8_t>(height);
    bytes[22] = 1;
    bytes[24] = 1;
  } else {
    PutU32(bytes, 18, static_cast<uint32_t>(width));
    PutU32(bytes, 22, static_cast<uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 1;
  }
  return bytes;
}

} // namespace

// An append onto a TIFF file whose page chain is damaged is refused before
// anything is written, and the file stays byte for byte as it was.
TEST(WriteRefusals, AppendsOntoDamagedTiffChainsAreRefusedAndChangeNothing) {
  const struct {
    const char* damage;
    const char* message;
    std::function<void(std::vector<uint8_t>&)> apply;
  } cases[] = {
      {"first link past the end", "its page chain points past the end of the file",
       [](std::vector<uint8_t>& b) { PutU32(b, 4, static_cast<uint32_t>(b.size() + 100)); }},
      {"no page", "it holds no page", [](std::vector<uint8_t>& b) { PutU32(b, 4, 0); }},
      {"loop", "its page chain loops",
       [](std::vector<uint8_t>& b) {
         const uint32_t first = U32At(b, 4);
         PutU32(b, LinkOf(b, U32At(b, LinkOf(b, first))), first);
       }},
      {"last directory cut", "its page chain runs past the end of the file",
       [](std::vector<uint8_t>& b) {
         const uint32_t second = U32At(b, LinkOf(b, U32At(b, 4)));
         b.resize(LinkOf(b, second) + 2);
       }},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string path = dir.File("batch.tif");
    AppendDib(path, 24);
    AppendDib(path, 24);
    std::vector<uint8_t> bytes = test::ReadFile(path);
    c.apply(bytes);
    test::WriteFile(path, bytes);
    const std::string refusal = std::string("Cannot append to this TIFF file: ") + c.message;
    EXPECT_EQ(test::ErrorOf([&] { AppendDib(path, 24); }), refusal) << c.damage;
    EXPECT_EQ(test::ReadFile(path), bytes) << c.damage;
    TTiffGraphic graphic;
    graphic.NewImage(40, 24, 72, 72, nullptr, ifBlackWhite);
    EXPECT_EQ(test::ErrorOf([&] { graphic.AppendToFile(path); }), "ETiffError " + refusal)
        << c.damage;
    TMemoryStream memory(bytes.data(), bytes.size());
    EXPECT_EQ(test::ErrorOf([&] { graphic.AppendToStream(memory); }), "ETiffError " + refusal)
        << c.damage;
    EXPECT_EQ(memory.Bytes(), bytes) << c.damage;
    EXPECT_EQ(test::ReadFile(path), bytes) << c.damage;
  }
}

// A page without rows is refused by the BMP reader and by every writer, so
// it never reaches a batch file.
TEST(WriteRefusals, PagesWithoutRowsAreNeitherReadNorWritten) {
  test::TempDir dir;
  const std::string batch = dir.File("batch.tif");
  AppendDib(batch, 24);
  const std::vector<uint8_t> kept = test::ReadFile(batch);
  for (auto [headerSize, width] : {std::pair{40u, 8}, std::pair{12u, 8}, std::pair{40u, 0}}) {
    const std::string bmp = dir.File("zero.bmp");
    test::WriteFile(bmp, Bmp(headerSize, width, 0));
    TFileStream file(bmp, TFileStream::fmOpenRead);
    TDIB page;
    EXPECT_EQ(test::ErrorOf([&] { page.LoadBmpFromStream(file); }), "Invalid bitmap file !")
        << headerSize << " " << width;
    const test::RunResult run =
        test::Run({test::BinPath("tessivane-cli"), "convert", bmp, batch, "--append"});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(test::ReadFile(batch), kept);
  }
  EXPECT_EQ(test::ErrorOf([&] { AppendDib(batch, 0); }), "The page is empty");
  TDIB empty;
  empty.NewImage(8, 0, pf8bit, 72, 72);
  EXPECT_EQ(test::ErrorOf([&] { empty.SaveToBmpFile(dir.File("empty.bmp")); }),
            "The page is empty");
  EXPECT_EQ(test::ReadFile(batch), kept);
  EXPECT_FALSE(test::FileExists(dir.File("empty.bmp")));
}

// Saving a batch as PDF over an existing file: a save that fails before its
// first page (a missing or broken input) leaves the file untouched; one that
// fails later keeps the pages written before.
TEST(WriteRefusals, APdfSaveFailingBeforeItsFirstPageLeavesTheTargetUntouched) {
  test::TempDir dir;
  const std::string good = dir.File("good.tif");
  AppendDib(good, 24);
  const std::string broken = dir.File("broken.tif");
  test::WriteFile(broken, {'I', 'I', 42, 0, 99, 0, 0, 0});
  const std::string out = dir.File("out.pdf");
  ASSERT_EQ(SaveBatchAsPdf(out, {good, good}), 2);
  const std::vector<uint8_t> kept = test::ReadFile(out);
  for (const std::string& input : {dir.File("missing.tif"), broken}) {
    EXPECT_NE(test::ErrorOf([&] { SaveBatchAsPdf(out, {input}); }), "(no error)") << input;
    EXPECT_EQ(test::ReadFile(out), kept) << input;
  }
  EXPECT_NE(test::ErrorOf([&] { SaveBatchAsPdf(out, {good, broken}); }), "(no error)");
  EXPECT_EQ(test::Run({"qpdf", "--show-npages", out}).out, "1\n");
}
