// 100 A4 pages from the virtual scanner through Scan To Batch in the
// offscreen main window (negotiation, transfer, Group 4 or JPEG TIFF files,
// viewer and thumbnails), beside the engine alone delivering the same pages
// to a handler that frees them, in the same run, the two taking turns: the
// counter "ratio_to_engine" is the window's time over the engine's (the best
// scan of each); "cpu_ms" and "engine_cpu_ms" are the processor time of every
// thread during those scans, which a busy machine does not inflate, "sys_ms"
// and "faults" the part of it in the kernel and the page faults.
// "peak_rss_mb" is the process's peak resident memory after the benchmark,
// "max_in_flight" the most pages the page saver held at once.
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
#include <sys/time.h>

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

double Ms(const timeval& time) {
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// The process's use of the machine so far, every thread counted.
struct TUsage {
  double CpuMs;  // processor time, user and kernel
  double SysMs;  // of that, in the kernel
  double Faults; // page faults served without reading a file

  static TUsage Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {Ms(usage.ru_utime) + Ms(usage.ru_stime), Ms(usage.ru_stime),
            static_cast<double>(usage.ru_minflt)};
  }
};

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The best of the scans so far: its time and what it used.
struct TTimes {
  double WallMs = 1e300;
  TUsage Used{};

  void Keep(const QElapsedTimer& clock, const TUsage& before) {
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (wall >= WallMs) return;
    const TUsage now = TUsage::Now();
    WallMs = wall;
    Used = {now.CpuMs - before.CpuMs, now.SysMs - before.SysMs, now.Faults - before.Faults};
  }
};

// The engine alone: the same settings and pages, each page freed at once.
class TEngineScan {
public:
  TEngineScan(int pixelType, int dpi) : FTwain(FDispatcher) {
    FTwain.SetDIBHandleType(THDT_DIBRAW);
    FTwain.SetReturnHandle(false);
    FTwain.ShowUI = false;
    FTwain.OnImageReady = [this](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE image,
                                 const std::string&) {
      if (image == nullptr) return;
      ++FPages;
      tsv_mem_free(static_cast<TSV_HANDLE>(image));
    };
    FTwain.OnNegotiation = [this, pixelType, dpi](TTwnObject*) {
      NegotiatePixelTypeAndResolution(FTwain, pixelType, dpi);
    };
  }

  // One scan of kPages; false when it failed.
  bool Scan(TTimes& best) {
    FPages = 0;
    QElapsedTimer clock;
    clock.start();
    const TUsage before = TUsage::Now();
    FTwain.SetXferCount(-1);
    if (!FTwain.Acquire("") ||
        !ProcessUntil([&] { return FTwain.State() == 1 && !FTwain.DSMOpen(); }) || FPages != kPages)
      return false;
    best.Keep(clock, before);
    return true;
  }

private:
  TQtDispatcher FDispatcher;
  TAcqTWAIN FTwain;
  int FPages = 0;
};

void ScanToBatch(benchmark::State& state, int pixelType, int dpi) {
  OffscreenApplication("bench_scan");
  ::setenv(VIRTUAL_SHEETS_VARIABLE, std::to_string(kPages).c_str(), 1);
  ::unsetenv(VIRTUAL_CONFIG_VARIABLE);
  const std::string app = std::getenv("TESSIVANE_APP_FOLDER");
  const std::string dpiText = std::to_string(dpi);
  std::ofstream(app + "/Bench.tsp") << "\r\n257,I," << pixelType << "\r\n4376,F," << dpiText
                                    << "\r\n4377,F," << dpiText << "\r\n";
  const std::string batch = fs::temp_directory_path() / "tessivane-scan-bench";

  TEngineScan engineScan(pixelType, dpi);
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
  TTimes best;
  TTimes engine;
  for (auto _ : state) {
    state.PauseTiming();
    // The engine's scan just before each of the window's, so that both see
    // the machine in the same state.
    if (!engineScan.Scan(engine)) {
      state.SkipWithError("the engine's scan failed");
      break;
    }
    fs::remove_all(batch);
    fs::create_directories(batch);
    form.BatchCommands().OpenBatchFolder(QString::fromStdString(batch));
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    const TUsage before = TUsage::Now();
    const bool started = form.ExecuteAction("ActionScanToBatch");
    const bool done = started && ProcessUntil([&] {
                        maxInFlight = std::max(maxInFlight, saver.InFlight());
                        return twain.State() == 1 && !twain.DSMOpen() && !saver.InFlight();
                      });
    best.Keep(clock, before);
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
  state.counters["ratio_to_engine"] = best.WallMs / engine.WallMs;
  state.counters["cpu_ms"] = best.Used.CpuMs;
  state.counters["engine_cpu_ms"] = engine.Used.CpuMs;
  state.counters["sys_ms"] = best.Used.SysMs;
  state.counters["engine_sys_ms"] = engine.Used.SysMs;
  state.counters["faults"] = best.Used.Faults;
  state.counters["engine_faults"] = engine.Used.Faults;
  state.counters["peak_rss_mb"] = PeakRssMb();
  state.counters["max_in_flight"] = static_cast<double>(maxInFlight);
}

} // namespace

BENCHMARK_CAPTURE(ScanToBatch, bilevel_a4_300dpi_x100, TWPT_BW, 300)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(ScanToBatch, colour_a4_200dpi_x100, TWPT_RGB, 200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
