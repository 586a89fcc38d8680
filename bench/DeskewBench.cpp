// Deskew and despeckle of generated A4 pages, timed in-process against
// leptonica on the same pages: pixFindSkew and pixDeskew for the deskew,
// pixSelectBySize keeping groups wider or higher than 6 pixels for the
// despeckle. Each benchmark copies the page outside the timed part.

#include "raster/DIB.h"
#include "raster/PageGenerator.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <cstring>
#include <map>
#include <memory>

namespace {

struct TPixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using TPix = std::unique_ptr<PIX, TPixDeleter>;

// The page of a depth and skew, generated once: 2480 x 3508 at 300 dpi,
// with specks.
const TDIB& Page(int bits, double skew) {
  static std::map<std::pair<int, double>, std::unique_ptr<TDIB>> pages;
  auto& page = pages[{bits, skew}];
  if (!page) {
    page = std::make_unique<TDIB>();
    TPageSpec layout;
    layout.Bits = bits;
    layout.SkewDegrees = skew;
    layout.Specks = true;
    GeneratePage(*page, layout);
  }
  return *page;
}

void Copy(const TDIB& from, TDIB& to) {
  to.NewImage(from.Width(), from.Height(), from.PixelFormat(), from.XResolution(),
              from.YResolution());
  for (int y = 0; y < from.Height(); ++y)
    std::memcpy(to.ScanLine(y), from.ScanLine(y), static_cast<size_t>(from.Stride()));
}

// The same pixels as a leptonica image: 1 bit with 1 = black, 8-bit grey, or
// 32-bit RGB.
TPix ToPix(const TDIB& page) {
  const int bits = page.BitCount();
  TPix pix(pixCreate(page.Width(), page.Height(), bits == 24 ? 32 : bits));
  pixSetResolution(pix.get(), page.XResolution(), page.YResolution());
  const int wpl = pixGetWpl(pix.get());
  l_uint32* data = pixGetData(pix.get());
  for (int y = 0; y < page.Height(); ++y) {
    const uint8_t* row = page.ScanLine(y);
    l_uint32* line = data + y * wpl;
    if (bits == 1)
      for (int i = 0; i < page.RowBytes(); ++i)
        SET_DATA_BYTE(line, i, static_cast<uint8_t>(~row[i]));
    else if (bits == 8)
      for (int x = 0; x < page.Width(); ++x) SET_DATA_BYTE(line, x, row[x]);
    else
      for (int x = 0; x < page.Width(); ++x) {
        l_uint32 pixel;
        composeRGBPixel(row[3 * x + 2], row[3 * x + 1], row[3 * x], &pixel);
        line[x] = pixel;
      }
  }
  return pix;
}

void TessivaneDeskew(benchmark::State& state, int bits, double skew) {
  const TDIB& original = Page(bits, skew);
  TDIB page;
  double angle = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Copy(original, page);
    state.ResumeTiming();
    angle = page.Deskew(true, true, 5.0);
  }
  state.counters["angle"] = angle;
}

void TessivaneDetectSkew(benchmark::State& state, int bits, double skew) {
  const TDIB& page = Page(bits, skew);
  double angle = 0;
  for (auto _ : state) benchmark::DoNotOptimize(angle = page.DetectSkew(0, 5.0, 0.1));
  state.counters["angle"] = angle;
}

void LeptonicaDeskew(benchmark::State& state, int bits, double skew) {
  TPix pix = ToPix(Page(bits, skew));
  for (auto _ : state) {
    TPix result(pixDeskew(pix.get(), 0));
    benchmark::DoNotOptimize(result.get());
  }
}

void LeptonicaFindSkew(benchmark::State& state, double skew) {
  TPix pix = ToPix(Page(1, skew));
  l_float32 angle = 0, confidence = 0;
  for (auto _ : state) pixFindSkew(pix.get(), &angle, &confidence);
  state.counters["angle"] = angle;
}

void TessivaneDespeckle(benchmark::State& state, double skew) {
  const TDIB& original = Page(1, skew);
  TDIB page;
  int removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Copy(original, page);
    state.ResumeTiming();
    removed = page.Despeckle(-1, -1);
  }
  state.counters["removed"] = removed;
}

void LeptonicaSelectBySize(benchmark::State& state, double skew) {
  TPix pix = ToPix(Page(1, skew));
  l_int32 changed = 0;
  for (auto _ : state) {
    TPix result(pixSelectBySize(pix.get(), 6, 6, 8, L_SELECT_IF_EITHER, L_SELECT_IF_GT, &changed));
    benchmark::DoNotOptimize(result.get());
  }
}

} // namespace

BENCHMARK_CAPTURE(TessivaneDeskew, bits1_skew2, 1, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaDeskew, bits1_skew2, 1, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDeskew, bits1_skew_minus4_5, 1, -4.5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaDeskew, bits1_skew_minus4_5, 1, -4.5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDetectSkew, bits1_skew2, 1, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaFindSkew, bits1_skew2, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDespeckle, skew2, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaSelectBySize, skew2, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDespeckle, skew_minus4_5, -4.5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaSelectBySize, skew_minus4_5, -4.5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDeskew, bits8_skew2, 8, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaDeskew, bits8_skew2, 8, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TessivaneDeskew, bits24_skew2, 24, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LeptonicaDeskew, bits24_skew2, 24, 2.0)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  setMsgSeverity(L_SEVERITY_WARNING);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
