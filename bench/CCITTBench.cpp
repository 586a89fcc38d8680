// Group 4 coding of a generated A4 text page at 300 dpi: our coder against
// libtiff's, both writing one strip into memory.
#include "core/MemoryStream.h"
#include "pdf/CCITTCompression.h"
#include "raster/PageGenerator.h"
#include "raster/TiffBinding.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

const TDIB& TextPage() {
  static TDIB page;
  if (page.Empty()) {
    TPageSpec layout; // 2480 x 3508 at 300 dpi, 1 bit
    GeneratePage(page, layout);
  }
  return page;
}

// The page's rows top-down with 0 = white, as libtiff's coder takes them.
const std::vector<uint8_t>& LibtiffRows() {
  static std::vector<uint8_t> rows;
  if (rows.empty()) {
    const TDIB& page = TextPage();
    const auto rowBytes = static_cast<size_t>(page.RowBytes());
    rows.resize(rowBytes * static_cast<size_t>(page.Height()));
    for (int y = 0; y < page.Height(); ++y)
      for (size_t i = 0; i < rowBytes; ++i)
        rows[rowBytes * static_cast<size_t>(y) + i] = static_cast<uint8_t>(~page.ScanLine(y)[i]);
  }
  return rows;
}

void OursGroup4(benchmark::State& state) {
  const TDIB& page = TextPage();
  TMemoryStream out;
  for (auto _ : state) {
    out.Clear();
    TCCITTCompression::CompressBitmap(page, out, cmGroup4);
    benchmark::DoNotOptimize(out.Memory());
  }
  state.counters["bytes"] = static_cast<double>(out.Size());
}

void LibtiffGroup4(benchmark::State& state) {
  const TDIB& page = TextPage();
  std::vector<uint8_t>& rows = const_cast<std::vector<uint8_t>&>(LibtiffRows());
  TMemoryStream out;
  for (auto _ : state) {
    out.Clear();
    TTiffHandle handle(out, "w");
    TIFF* tiff = handle.Get();
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.Width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.Height()));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.Height()));
    if (TIFFWriteEncodedStrip(tiff, 0, rows.data(), static_cast<tmsize_t>(rows.size())) < 0)
      state.SkipWithError("libtiff failed");
    benchmark::DoNotOptimize(out.Memory());
  }
  state.counters["bytes"] = static_cast<double>(out.Size());
}

} // namespace

BENCHMARK(OursGroup4)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(LibtiffGroup4)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK_MAIN();
