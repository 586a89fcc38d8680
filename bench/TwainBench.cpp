// One A4 page from the virtual scanner through the whole engine (worker and
// event threads, manager, scanner) by each transfer mechanism, from Acquire
// to the page in the handler and the manager closed again.
#include "EngineNegotiation.h"
#include "core/CallQueueDispatcher.h"
#include "tessivane/pagemem.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

void ScanOnePage(benchmark::State& state, TTwnXferType mech, int pixelType, int dpi) {
  setenv(VIRTUAL_SHEETS_VARIABLE, "1", 1);
  unsetenv(VIRTUAL_CONFIG_VARIABLE);
  const std::string file =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/twain-bench.bmp";
  TCallQueueDispatcher dispatcher;
  TAcqTWAIN twain(dispatcher);
  twain.SetXferMech(mech);
  twain.SetDIBHandleType(THDT_DIBRAW);
  if (mech == TWFX_FILES) twain.SetFilename(file);
  twain.ShowUI = false;
  int pages = 0;
  twain.OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                           const std::string&) {
    if (image != nullptr) ++pages;
    tsv_mem_free(static_cast<TSV_HANDLE>(image));
  };
  twain.OnNegotiation = [&](TTwnObject*) {
    NegotiatePixelTypeAndResolution(twain, pixelType, dpi);
  };
  for (auto _ : state) {
    const int before = pages;
    if (!twain.Acquire("") ||
        !dispatcher.ProcessUntil([&] { return pages == before + 1 && twain.State() == 1; },
                                 60000)) {
      state.SkipWithError("no page");
      break;
    }
  }
  state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
}

void NativeBilevel300(benchmark::State& state) {
  ScanOnePage(state, TWFX_NATIVE, TWPT_BW, 300);
}
void MemoryBilevel300(benchmark::State& state) {
  ScanOnePage(state, TWFX_MEMORY, TWPT_BW, 300);
}
void FileBilevel300(benchmark::State& state) {
  ScanOnePage(state, TWFX_FILES, TWPT_BW, 300);
}
void NativeColour200(benchmark::State& state) {
  ScanOnePage(state, TWFX_NATIVE, TWPT_RGB, 200);
}
void MemoryColour200(benchmark::State& state) {
  ScanOnePage(state, TWFX_MEMORY, TWPT_RGB, 200);
}

BENCHMARK(NativeBilevel300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MemoryBilevel300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FileBilevel300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(NativeColour200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MemoryColour200)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
