// The main window on the offscreen platform: opening a batch folder of A4
// pages at 300 dpi until the strip is built (500 bilevel Group 4 pages, 200
// colour JPEG pages), with the memory the strip adds and the longest time
// the window went without serving its events; then selecting a thumbnail
// until the viewer has drawn the page, and one zoom step.
#include "OffscreenApplication.h"
#include "app/FormMain.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/JpegGraphic.h"
#include "graphics/TiffGraphic.h"
#include "raster/PageGenerator.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/ScriptedPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A folder of count copies of one generated A4 page, made once per run.
std::string BatchOf(int bits, int count) {
  const std::string folder =
      fs::temp_directory_path() /
      ("tessivane-window-bench-" + std::to_string(bits) + "-" + std::to_string(count));
  const std::string extension = bits == 1 ? ".tif" : ".jpg";
  if (fs::exists(folder + "/" + std::to_string(count - 1) + extension)) return folder;
  fs::create_directories(folder);
  TPageSpec layout;
  layout.Bits = bits;
  TDIB dib;
  GeneratePage(dib, layout);
  const std::string first = folder + "/0" + extension;
  if (bits == 1) {
    TTiffGraphic page;
    page.ImportPageHandle(dib.Handle());
    page.SetCompression(tcGroup4);
    page.SaveToFile(first);
  } else {
    TJpegGraphic page;
    page.ImportPageHandle(dib.Handle());
    page.SaveToFile(first);
  }
  for (int i = 1; i < count; ++i)
    fs::copy_file(first, folder + "/" + std::to_string(i) + extension,
                  fs::copy_options::overwrite_existing);
  return folder;
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

void OpenBatchFolder(benchmark::State& state, int bits, int count) {
  OffscreenApplication("bench_window");
  const QString folder = QString::fromStdString(BatchOf(bits, count));
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  form.StartTimer().stop();
  form.resize(1024, 768);
  form.show();
  QCoreApplication::processEvents();
  // A timer that fires whenever the window serves its events.
  QElapsedTimer clock;
  qint64 last = 0, longest = 0;
  QTimer served;
  served.setInterval(0);
  QObject::connect(&served, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  double growth = 0;
  double longestMs = 0;
  double totalMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form.SelectThumbnail(nullptr);
    form.Strip().Clear();
    QCoreApplication::processEvents();
    state.ResumeTiming();
    const double before = ResidentMegabytes();
    served.start();
    clock.restart();
    last = 0;
    longest = 0;
    form.BatchCommands().OpenBatchFolder(folder);
    totalMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
    served.stop();
    growth = std::max(growth, ResidentMegabytes() - before);
    longestMs = std::max(longestMs, static_cast<double>(longest) / 1e6);
    if (form.Strip().Count() != count) state.SkipWithError("the strip is not complete");
  }
  state.counters["ms_per_page"] =
      totalMs / static_cast<double>(count) / static_cast<double>(state.iterations());
  state.counters["memory_growth_MB"] = growth;
  state.counters["longest_gap_ms"] = longestMs;
}

void SelectAndZoom(benchmark::State& state, int bits, bool zoomStep) {
  OffscreenApplication("bench_window");
  const QString folder = QString::fromStdString(BatchOf(bits, 2));
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  form.StartTimer().stop();
  form.resize(1024, 768);
  form.show();
  form.BatchCommands().OpenBatchFolder(folder);
  TThumbnail* thumbnails[] = {form.Strip().Thumbnails().at(0), form.Strip().Thumbnails().at(1)};
  int k = 0;
  form.SelectThumbnail(thumbnails[0]);
  for (auto _ : state) {
    if (zoomStep) {
      form.ExecuteAction(k % 2 ? "ActionZoomIn" : "ActionZoomOut");
    } else {
      form.SelectThumbnail(thumbnails[k % 2]);
    }
    form.Viewer().viewport()->repaint();
    ++k;
  }
}

} // namespace

BENCHMARK_CAPTURE(OpenBatchFolder, group4_a4_x500, 1, 500)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(OpenBatchFolder, jpeg_colour_a4_x200, 24, 200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(SelectAndZoom, select_1bit_a4, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectAndZoom, select_24bit_a4, 24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectAndZoom, zoom_step_1bit_a4, 1, true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
