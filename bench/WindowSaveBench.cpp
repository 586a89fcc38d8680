// The main window's batch commands on the offscreen platform, over 100
// bilevel A4 pages at 300 dpi (Group 4 TIFF files): Save Batch As to PDF and
// to TIFF through the action, beside `tessivane-cli topdf` and `tiffcp` of
// the same files in the same run (their ratio is the counter
// "ratio_to_peer"), and Negative over the batch (read, transform, write
// back, thumbnail), per file.
#include "OffscreenApplication.h"
#include "app/FormMain.h"
#include "graphics/TiffGraphic.h"
#include "raster/PageGenerator.h"
#include "workflow/BatchFolder.h"
#include "workflow/ScriptedPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kPages = 100;

// A folder of kPages generated bilevel A4 pages, each its own text.
std::string Batch(const std::string& name) {
  const std::string folder = fs::temp_directory_path() / ("tessivane-save-bench-" + name);
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (int i = 0; i < kPages; ++i) {
    TPageSpec layout;
    layout.Seed = static_cast<uint64_t>(i + 1);
    TDIB dib;
    GeneratePage(dib, layout);
    TTiffGraphic page;
    page.ImportPageHandle(dib.Handle());
    page.SetResolution(300, 300);
    page.SetCompression(tcGroup4);
    char file[32];
    std::snprintf(file, sizeof file, "/%08d.tif", i);
    page.SaveToFile(folder + file);
  }
  return folder;
}

const std::string& SaveFolder() {
  static const std::string folder = Batch("pages");
  return folder;
}

// Shows the window, its start timer stopped, with folder as its batch.
void ShowWithBatch(TFormMain& form, const std::string& folder) {
  form.StartTimer().stop();
  form.show();
  QCoreApplication::processEvents();
  form.BatchCommands().OpenBatchFolder(QString::fromStdString(folder));
}

// The peer's time for the same job, once per run.
double PeerMs(bool pdf, const std::vector<std::string>& files, const std::string& out) {
  QStringList arguments;
  QString program;
  if (pdf) {
    program = QString::fromStdString(std::string(TESSIVANE_BIN_DIR) + "/tessivane-cli");
    arguments << "topdf" << QString::fromStdString(out);
  } else {
    program = "tiffcp";
  }
  for (const std::string& file : files) arguments << QString::fromStdString(file);
  if (!pdf) arguments << QString::fromStdString(out);
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    fs::remove(out);
    QElapsedTimer clock;
    clock.start();
    if (QProcess::execute(program, arguments) != 0) return -1;
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return best;
}

void SaveBatchAs(benchmark::State& state, bool pdf) {
  OffscreenApplication("bench_window_save");
  const std::string folder = SaveFolder();
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  ShowWithBatch(form, folder);
  const std::string out =
      fs::temp_directory_path() / (pdf ? "tessivane-save-bench.pdf" : "tessivane-save-bench.tif");
  double best = 1e300;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(out);
    prompt.AnswerSave(out);
    prompt.Answer(TAnswer::Ok);
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    form.ExecuteAction("ActionSaveBatchAs");
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (prompt.MessageTexts().back().rfind("Created file", 0) != 0)
      state.SkipWithError(prompt.MessageTexts().back().c_str());
  }
  const double peer = PeerMs(pdf, form.Batch().ListBatchFiles(), out + ".peer");
  fs::remove(out + ".peer");
  fs::remove(out);
  state.counters["best_ms"] = best;
  state.counters["peer_ms"] = peer;
  state.counters["ratio_to_peer"] = peer > 0 ? best / peer : -1;
}

void NegativeOverBatch(benchmark::State& state) {
  OffscreenApplication("bench_window_save");
  const std::string folder = Batch("negative");
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  ShowWithBatch(form, folder);
  double totalMs = 0;
  for (auto _ : state) {
    prompt.Answer(TAnswer::Yes);
    QElapsedTimer clock;
    clock.start();
    form.ExecuteAction("ActionInvert");
    totalMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
  }
  state.counters["ms_per_file"] = totalMs / kPages / static_cast<double>(state.iterations());
  fs::remove_all(folder);
}

} // namespace

BENCHMARK_CAPTURE(SaveBatchAs, pdf_group4_a4_x100, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(SaveBatchAs, tiff_group4_a4_x100, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(NegativeOverBatch)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
