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

#include <algorithm>
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

// The peer's time for the same job, once.
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
  fs::remove(out);
  QElapsedTimer clock;
  clock.start();
  if (QProcess::execute(program, arguments) != 0) return -1;
  const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  fs::remove(out);
  return ms;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? -1 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Each iteration saves through the window, then runs the peer on the same
// files (outside the timing): the two alternate, so a machine busy with
// other work slows both alike. "ratio_to_peer" is the median of the
// iterations' ratios.
void SaveBatchAs(benchmark::State& state, bool pdf) {
  OffscreenApplication("bench_window_save");
  const std::string folder = SaveFolder();
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  ShowWithBatch(form, folder);
  const std::string out =
      fs::temp_directory_path() / (pdf ? "tessivane-save-bench.pdf" : "tessivane-save-bench.tif");
  std::vector<double> ours, peers, ratios;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(out);
    prompt.AnswerSave(out);
    prompt.Answer(TAnswer::Ok);
    state.ResumeTiming();
    QElapsedTimer clock;
    clock.start();
    form.ExecuteAction("ActionSaveBatchAs");
    ours.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    state.PauseTiming();
    if (prompt.MessageTexts().back().rfind("Created file", 0) != 0)
      state.SkipWithError(prompt.MessageTexts().back().c_str());
    peers.push_back(PeerMs(pdf, form.Batch().ListBatchFiles(), out + ".peer"));
    if (peers.back() < 0) state.SkipWithError("the peer failed");
    ratios.push_back(ours.back() / peers.back());
    state.ResumeTiming();
  }
  fs::remove(out);
  state.counters["median_ms"] = Median(ours);
  state.counters["peer_median_ms"] = Median(peers);
  state.counters["ratio_to_peer"] = Median(ratios);
}

// "ms_per_file" is the median of the iterations.
void NegativeOverBatch(benchmark::State& state) {
  OffscreenApplication("bench_window_save");
  const std::string folder = Batch("negative");
  TScriptedPrompt prompt;
  TFormMain form(prompt, {});
  ShowWithBatch(form, folder);
  std::vector<double> perFile;
  for (auto _ : state) {
    prompt.Answer(TAnswer::Yes);
    QElapsedTimer clock;
    clock.start();
    form.ExecuteAction("ActionInvert");
    perFile.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6 / kPages);
  }
  state.counters["ms_per_file"] = Median(perFile);
  fs::remove_all(folder);
}

} // namespace

BENCHMARK_CAPTURE(SaveBatchAs, pdf_group4_a4_x100, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(SaveBatchAs, tiff_group4_a4_x100, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(NegativeOverBatch)->Unit(benchmark::kMillisecond)->Iterations(4);

BENCHMARK_MAIN();
