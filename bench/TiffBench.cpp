// TIFF reading and writing of an A4 page at 300 dpi, ours beside the same
// work done with libtiff directly on a memory buffer.
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <tiffio.h>
#include <vector>

namespace {

// A page and its TIFF file, made once.
struct TFixture {
  TDIB page;
  std::vector<uint8_t> file;
  int code;
  TFixture(int bits, int compression) : code(compression) {
    TPageSpec layout;
    layout.Bits = bits;
    GeneratePage(page, layout);
    TMemoryStream stream;
    page.SaveToTiffStream(stream, false, 0, compression);
    file = stream.Bytes();
  }
};

TFixture& Group4() {
  static TFixture fixture(1, 5);
  return fixture;
}
TFixture& Jpeg() {
  static TFixture fixture(8, 7);
  return fixture;
}

// A plain memory file for libtiff.
struct TRawFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
};

tmsize_t RawRead(thandle_t h, void* buffer, tmsize_t size) {
  auto* f = static_cast<TRawFile*>(h);
  size_t n =
      std::min(static_cast<size_t>(size), f->bytes.size() - std::min(f->position, f->bytes.size()));
  std::memcpy(buffer, f->bytes.data() + f->position, n);
  f->position += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t RawWrite(thandle_t h, void* buffer, tmsize_t size) {
  auto* f = static_cast<TRawFile*>(h);
  if (f->position + static_cast<size_t>(size) > f->bytes.size())
    f->bytes.resize(f->position + static_cast<size_t>(size));
  std::memcpy(f->bytes.data() + f->position, buffer, static_cast<size_t>(size));
  f->position += static_cast<size_t>(size);
  return size;
}
toff_t RawSeek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<TRawFile*>(h);
  size_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->position : f->bytes.size();
  f->position = base + static_cast<size_t>(offset);
  return f->position;
}
int RawClose(thandle_t) {
  return 0;
}
toff_t RawSize(thandle_t h) {
  return static_cast<TRawFile*>(h)->bytes.size();
}
int RawMap(thandle_t, void**, toff_t*) {
  return 0;
}
void RawUnmap(thandle_t, void*, toff_t) {}

TIFF* RawOpen(TRawFile& file, const char* mode) {
  return TIFFClientOpen("", mode, &file, RawRead, RawWrite, RawSeek, RawClose, RawSize, RawMap,
                        RawUnmap);
}

void OursWrite(benchmark::State& state, TFixture& fixture) {
  for (auto _ : state) {
    TMemoryStream stream;
    fixture.page.SaveToTiffStream(stream, false, 0, fixture.code);
    benchmark::DoNotOptimize(stream.Memory());
  }
}

void RawWrite(benchmark::State& state, TFixture& fixture) {
  const TDIB& page = fixture.page;
  const bool bilevel = page.BitCount() == 1;
  // The rows as the file holds them, prepared once: white-is-zero for fax data.
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < page.Height(); ++y) {
    rows.emplace_back(page.ScanLine(y), page.ScanLine(y) + page.RowBytes());
    if (bilevel)
      for (auto& b : rows.back()) b = static_cast<uint8_t>(~b);
  }
  for (auto _ : state) {
    TRawFile file;
    TIFF* tiff = RawOpen(file, "w");
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, bilevel ? 16u : 8u);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.Width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.Height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(page.BitCount()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    for (int y = 0; y < page.Height(); ++y)
      TIFFWriteScanline(tiff, rows[static_cast<size_t>(y)].data(), static_cast<uint32_t>(y), 0);
    TIFFClose(tiff);
    benchmark::DoNotOptimize(file.bytes.data());
  }
}

void OursRead(benchmark::State& state, TFixture& fixture) {
  TMemoryStream stream(fixture.file.data(), fixture.file.size());
  TDIB page;
  for (auto _ : state) {
    stream.SetPosition(0);
    page.LoadTiffFromStream(stream, 0);
    benchmark::DoNotOptimize(page.ScanLine(0));
  }
}

void RawRead(benchmark::State& state, TFixture& fixture) {
  TRawFile file{fixture.file, 0};
  for (auto _ : state) {
    file.position = 0;
    TIFF* tiff = RawOpen(file, "r");
    std::vector<uint8_t> pixels(static_cast<size_t>(TIFFScanlineSize(tiff)) *
                                static_cast<size_t>(fixture.page.Height()));
    const tmsize_t stripSize = TIFFStripSize(tiff);
    uint8_t* at = pixels.data();
    for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tiff); ++strip) {
      tmsize_t n = TIFFReadEncodedStrip(tiff, strip, at, stripSize);
      at += n;
    }
    TIFFClose(tiff);
    benchmark::DoNotOptimize(pixels.data());
  }
}

} // namespace

BENCHMARK_CAPTURE(OursWrite, group4, Group4())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawWrite, group4, Group4())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursRead, group4, Group4())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawRead, group4, Group4())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursWrite, jpeg, Jpeg())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawWrite, jpeg, Jpeg())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursRead, jpeg, Jpeg())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RawRead, jpeg, Jpeg())->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
