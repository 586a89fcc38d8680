// The batch loop's Negative over a batch of 1-bit A4 pages at 300 dpi (Group
// 4 TIFF files): each file read, inverted and written back, per file; and
// saving a 20-page batch as PDF and as TIFF.
#include "GeneratedGraphic.h"
#include "graphics/TiffGraphic.h"
#include "workflow/LogSink.h"
#include "workflow/PageOperations.h"
#include "workflow/ProcessAllImages.h"
#include "workflow/SaveBatch.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A fresh folder of count generated pages, removed at the end of the run.
class TBenchBatch {
public:
  explicit TBenchBatch(int count) {
    FFolder =
        std::filesystem::temp_directory_path() / ("tessivane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(FFolder);
    TTiffGraphic& page = GeneratedGraphic<TTiffGraphic>(1);
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "%08d.tif", i);
      FFiles.push_back((FFolder / name).string());
      page.SaveToFile(FFiles.back());
    }
  }
  ~TBenchBatch() { std::filesystem::remove_all(FFolder); }
  const std::vector<std::string>& Files() const { return FFiles; }
  std::string Output(const char* name) const { return (FFolder / name).string(); }

private:
  std::filesystem::path FFolder;
  std::vector<std::string> FFiles;
};

void BM_NegativeOverBatch(benchmark::State& state) {
  const TBenchBatch batch(static_cast<int>(state.range(0)));
  TLogLines log;
  for (auto _ : state) {
    const TProcessSummary summary =
        ProcessAllImages(batch.Files(), PageOperation(TPageCommand::Invert), log);
    if (summary.Stored != summary.Files) state.SkipWithError("a file was not stored");
  }
  // items_per_second: files a second of wall-clock time.
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NegativeOverBatch)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_SaveBatch(benchmark::State& state, const char* name) {
  const TBenchBatch batch(20);
  const std::string output = batch.Output(name);
  for (auto _ : state) {
    std::remove(output.c_str());
    benchmark::DoNotOptimize(SaveBatchAs(output, batch.Files()).Written);
  }
}
BENCHMARK_CAPTURE(BM_SaveBatch, pdf, "out.pdf")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_SaveBatch, tiff, "out.tif")->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
