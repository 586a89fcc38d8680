// TPdfGraphic appending a page to a PDF file of n - 1 pages, n = 2 and 20,
// with the A4 page at 300 dpi (2480 x 3508), bilevel (Group 4) and true
// colour (JPEG). Appending copies the earlier pages' image data as stored
// and codes only the new page, so the 20th page should cost little more
// than the 2nd. "Stream" appends to a file held in memory; "File" is the
// whole operation on a file on disk (read, write beside, flush, rename).
#include "core/MemoryStream.h"
#include "graphics/PdfGraphic.h"
#include "GeneratedGraphic.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

TPdfGraphic& Page(int bits) { return GeneratedGraphic<TPdfGraphic>(bits); }

// A file of count pages, each the page of that depth.
const std::vector<uint8_t>& FileOf(int count, int bits) {
  static std::map<std::pair<int, int>, std::vector<uint8_t>> files;
  std::vector<uint8_t>& bytes = files[{count, bits}];
  if (bytes.empty()) {
    TMemoryStream file;
    for (int i = 0; i < count; ++i) {
      file.SetPosition(0);
      Page(bits).AppendToStream(file);
    }
    bytes = file.Bytes();
  }
  return bytes;
}

void Stream(benchmark::State& state, int bits) {
  const std::vector<uint8_t>& before = FileOf(static_cast<int>(state.range(0)) - 1, bits);
  TPdfGraphic& page = Page(bits);
  for (auto _ : state) {
    state.PauseTiming();
    TMemoryStream file(before.data(), before.size());
    state.ResumeTiming();
    page.AppendToStream(file);
    benchmark::DoNotOptimize(file.Memory());
  }
  state.counters["bytes"] = static_cast<double>(before.size());
}

void File(benchmark::State& state, int bits) {
  const std::vector<uint8_t>& before = FileOf(static_cast<int>(state.range(0)) - 1, bits);
  TPdfGraphic& page = Page(bits);
  const std::string path = "/tmp/tessivane-bench-" + std::to_string(::getpid()) + ".pdf";
  for (auto _ : state) {
    state.PauseTiming();
    TMemoryStream(before.data(), before.size()).SaveToFile(path);
    state.ResumeTiming();
    page.AppendToFile(path);
  }
  std::remove(path.c_str());
}

} // namespace

BENCHMARK_CAPTURE(Stream, bilevel, 1)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stream, colour, 24)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(File, bilevel, 1)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(File, colour, 24)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
