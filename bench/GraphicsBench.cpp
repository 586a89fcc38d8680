// Page transforms of an A4 page at 300 dpi (2480 x 3508), bilevel and true
// colour: quarter turn, mirror and the thumbnail strip's reduction, the last
// also of the colour page at 200 dpi (1654 x 2339) that scanning benchmarks use.
#include "graphics/DibGraphic.h"
#include "graphics/FlipTransforms.h"
#include "graphics/RotateTransform.h"
#include "graphics/Thumbnail.h"
#include "GeneratedGraphic.h"

#include <benchmark/benchmark.h>

namespace {

TDibGraphic& Page(int bits, int dpi = 300) { return GeneratedGraphic<TDibGraphic>(bits, dpi); }

void RotateOnDest(benchmark::State& state, int bits) {
  TDibGraphic& page = Page(bits);
  TRotateTransform rotate;
  for (auto _ : state) {
    TDibGraphic turned;
    rotate.ApplyOnDest(page, turned);
    benchmark::DoNotOptimize(turned.ScanLine(0));
  }
}

void RotateInPlace(benchmark::State& state, int bits) {
  TDibGraphic page;
  page.Assign(Page(bits));
  TRotateTransform rotate;
  for (auto _ : state) {
    rotate.Apply(page);
    benchmark::DoNotOptimize(page.ScanLine(0));
  }
}

void Mirror(benchmark::State& state, int bits) {
  TDibGraphic& page = Page(bits);
  TFlipHorizontalTransform mirror;
  for (auto _ : state) {
    TDibGraphic mirrored;
    mirror.ApplyOnDest(page, mirrored);
    benchmark::DoNotOptimize(mirrored.ScanLine(0));
  }
}

void Thumbnail(benchmark::State& state, int bits, int dpi) {
  TDibGraphic& page = Page(bits, dpi);
  for (auto _ : state) {
    std::unique_ptr<TDibGraphic> picture = RenderThumbnailPicture(page, 120, 120);
    benchmark::DoNotOptimize(picture->ScanLine(0));
  }
}

} // namespace

BENCHMARK_CAPTURE(RotateOnDest, bilevel, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotateInPlace, bilevel, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mirror, bilevel, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail, bilevel, 1, 300)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotateOnDest, colour, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RotateInPlace, colour, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mirror, colour, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail, colour, 24, 300)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail, colour_200dpi, 24, 200)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
