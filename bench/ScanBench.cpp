// 100 A4 pages from the virtual scanner through Scan To Batch in the
// offscreen main window (negotiation, transfer, Group 4 or JPEG TIFF files,
// viewer and thumbnails), beside the engine alone delivering the same pages
// to a handler that frees them, in the same run: the counter "ratio_to_engine"
// is the window's time over the engine's (the best scan of each); "cpu_ms"
// and "engine_cpu_ms" are the processor time of every thread during those
// scans, which a busy machine does not inflate. "peak_rss_mb" is the process's
// peak resident memory after the benchmark (getrusage), "max_in_flight" the
// most pages the page saver held at once.
#include "EngineNegotiation.h"
#include "OffscreenApplication.h"
#include "app/FormMain.h"
#include "app/ScanCommands.h"
#include "tessivane/pagemem.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"
#include "workflow/PageSaver.h"
#include "workflow/QtDispatcher.h"
#include "workflow/ScriptedPrompt.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kPages = 100;
constexpr int kWaitMs = 600000;

// Runs the event loop until done holds, as the application's loop runs:
// sleeping until an event comes, a timer looking at done every 5 ms; false
// after kWaitMs.
bool ProcessUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;
  tick.start(5);
  while (!done()) {
    if (clock.elapsed() > kWaitMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// The process's processor time (every thread), in milliseconds.
double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

struct TTimes {
  double WallMs = -1; // the best of the scans; -1 when a scan failed
  double CpuMs = -1;  // the processor time of that scan
};

// The engine alone: the same settings and pages, each page freed at once;
// the best of three scans.
TTimes EngineTimes(int pixelType, int dpi) {
  TQtDispatcher dispatcher;
  TAcqTWAIN twain(dispatcher);
  twain.SetDIBHandleType(THDT_DIBRAW);
  twain.SetReturnHandle(false);
  twain.ShowUI = false;
  int pages = 0;
  twain.OnImageReady = [&](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                           const std::string&) {
    if (image == nullptr) return;
    ++pages;
    tsv_mem_free(static_cast<TSV_HANDLE>(image));
  };
  twain.OnNegotiation = [&](TTwnObject*) {
    NegotiatePixelTypeAndResolution(twain, pixelType, dpi);
  };
  TTimes best{1e300, 0};
  for (int run = 0; run < 3; ++run) {
    pages = 0;
    QElapsedTimer clock;
    clock.start();
    const double cpu = ProcessCpuMs();
    twain.SetXferCount(-1);
    if (!twain.Acquire("") ||
        !ProcessUntil([&] { return twain.State() == 1 && !twain.DSMOpen(); }) || pages != kPages)
      return {};
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (wall < best.WallMs) best = {wall, ProcessCpuMs() - cpu};
  }
  return best;
}

void ScanToBatch(benchmark::State& state, int pixelType, int dpi) {
  OffscreenApplication("bench_scan");
  ::setenv(VIRTUAL_SHEETS_VARIABLE, std::to_string(kPages).c_str(), 1);
  ::unsetenv(VIRTUAL_CONFIG_VARIABLE);
  const std::string app = std::getenv("TESSIVANE_APP_FOLDER");
  const std::string dpiText = std::to_string(dpi);
  std::ofstream(app + "/Bench.tsp") << "\r\n257,I," << pixelType << "\r\n4376,F," << dpiText
                                    << "\r\n4377,F," << dpiText << "\r\n";
  const std::string batch = fs::temp_directory_path() / "tessivane-scan-bench";

  const TTimes engine = EngineTimes(pixelType, dpi);
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  form.StartTimer().stop();
  form.show();
  QCoreApplication::processEvents();
  const int index = form.ProfileCombo().findText("Bench");
  form.ProfileCombo().setCurrentIndex(index);
  form.ComboBoxScannerSettingsClick(index);
  const TAcqTWAIN& twain = form.ScanCommands().AcqTWAIN();
  const TPageSaver& saver = form.ScanCommands().PageSaver();
  size_t maxInFlight = 0;
  TTimes best{1e300, 0};
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(batch);
    fs::create_directories(batch);
    form.BatchCommands().OpenBatchFolder(QString::fromStdString(batch));
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    const double cpu = ProcessCpuMs();
    const bool started = form.ExecuteAction("ActionScanToBatch");
    const bool done = started && ProcessUntil([&] {
                        maxInFlight = std::max(maxInFlight, saver.InFlight());
                        return twain.State() == 1 && !twain.DSMOpen() && !saver.InFlight();
                      });
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (wall < best.WallMs) best = {wall, ProcessCpuMs() - cpu};
    state.PauseTiming();
    const auto files = static_cast<int>(std::distance(fs::directory_iterator(batch), {}));
    if (!done || files != kPages) {
      state.SkipWithError(("pages written: " + std::to_string(files)).c_str());
      break;
    }
    state.ResumeTiming();
  }
  fs::remove_all(batch);
  state.counters["best_ms"] = best.WallMs;
  state.counters["engine_ms"] = engine.WallMs;
  state.counters["ratio_to_engine"] = engine.WallMs > 0 ? best.WallMs / engine.WallMs : -1;
  state.counters["cpu_ms"] = best.CpuMs;
  state.counters["engine_cpu_ms"] = engine.CpuMs;
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.counters["max_in_flight"] = static_cast<double>(maxInFlight);
}

} // namespace

BENCHMARK_CAPTURE(ScanToBatch, bilevel_a4_300dpi_x100, TWPT_BW, 300)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(ScanToBatch, colour_a4_200dpi_x100, TWPT_RGB, 200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();
