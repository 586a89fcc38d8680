// The page viewer and the strip's thumbnails on generated A4 pages at 300 dpi
// (2480 x 3508): selecting a file until the viewer has drawn it at fit to
// page in an 800 x 600 view, a zoom step on the page shown, and making a
// thumbnail of a file's first page through the open document (with the
// plain path of reading the whole page for comparison).
#include "GeneratedGraphic.h"
#include "graphics/GraphicDocument.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/JpegGraphic.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {

// Two files of each kind, so that every selection opens another file.
struct TBenchFiles {
  QTemporaryDir dir;
  std::string Bilevel[2];
  std::string ColourTiff[2];
  std::string ColourJpeg[2];

  TBenchFiles() {
    const std::string root = dir.path().toStdString() + "/";
    for (int i = 0; i < 2; ++i) {
      TTiffGraphic bilevel;
      bilevel.Assign(GeneratedGraphic<TDibGraphic>(1));
      bilevel.SetCompression(tcGroup4);
      Bilevel[i] = root + "bilevel" + std::to_string(i) + ".tif";
      bilevel.SaveToFile(Bilevel[i]);
      TTiffGraphic colour;
      colour.Assign(GeneratedGraphic<TDibGraphic>(24));
      colour.SetCompression(tcJpeg);
      ColourTiff[i] = root + "colour" + std::to_string(i) + ".tif";
      colour.SaveToFile(ColourTiff[i]);
      TJpegGraphic jpeg;
      jpeg.Assign(GeneratedGraphic<TDibGraphic>(24));
      ColourJpeg[i] = root + "colour" + std::to_string(i) + ".jpg";
      jpeg.SaveToFile(ColourJpeg[i]);
    }
  }
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

// The viewer as the main window sets it up, in an 800 x 600 view.
TImageScrollBox& Viewer() {
  static TImageScrollBox* viewer = [] {
    auto* made = new TImageScrollBox;
    made->resize(800, 600);
    made->SetZoomMode(zmFitToPage);
    made->SetCentered(true);
    made->SetAntiAliased(true);
    made->OnZoomChange = [made](TImageScrollBox*, float zoom) { made->SetAntiAliased(zoom < 100); };
    made->show();
    QApplication::processEvents();
    return made;
  }();
  return *viewer;
}

void SelectFile(benchmark::State& state, std::string (TBenchFiles::*kind)[2]) {
  const std::string(&files)[2] = Files().*kind;
  TImageScrollBox& viewer = Viewer();
  viewer.SetZoomMode(zmFitToPage);
  int next = 0;
  for (auto _ : state) {
    viewer.SetFileName(files[next]);
    benchmark::DoNotOptimize(viewer.PageCount(files[next]));
    viewer.viewport()->repaint();
    next = 1 - next;
  }
  viewer.SetFileName("");
}

void ZoomStep(benchmark::State& state) {
  TImageScrollBox& viewer = Viewer();
  viewer.SetZoomMode(zmFitToPage);
  viewer.SetFileName(Files().Bilevel[0]);
  viewer.viewport()->repaint();
  const float start = viewer.ZoomPercent();
  float step = 5;
  for (auto _ : state) {
    viewer.SetZoomPercent(viewer.ZoomPercent() + step);
    viewer.viewport()->repaint();
    if (viewer.ZoomPercent() > start + 20 || viewer.ZoomPercent() < start - 10) step = -step;
  }
  viewer.SetFileName("");
}

void ThumbnailThroughDocument(benchmark::State& state, std::string (TBenchFiles::*kind)[2]) {
  const std::string& file = (Files().*kind)[0];
  for (auto _ : state) {
    TGraphicDocument document(file);
    std::unique_ptr<TDibGraphic> picture = document.ThumbnailPicture(1, 120, 120);
    benchmark::DoNotOptimize(picture->ScanLine(0));
  }
}

void ThumbnailOfWholePage(benchmark::State& state, std::string (TBenchFiles::*kind)[2]) {
  const std::string& file = (Files().*kind)[0];
  for (auto _ : state) {
    std::unique_ptr<TDibGraphic> page = GraphicForFile(file);
    page->LoadFromFile(file);
    std::unique_ptr<TDibGraphic> picture = RenderThumbnailPicture(*page, 120, 120);
    benchmark::DoNotOptimize(picture->ScanLine(0));
  }
}

} // namespace

BENCHMARK_CAPTURE(SelectFile, bilevel_group4, &TBenchFiles::Bilevel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectFile, colour_tiff_jpeg, &TBenchFiles::ColourTiff)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectFile, colour_jpeg, &TBenchFiles::ColourJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(ZoomStep)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThumbnailThroughDocument, bilevel_group4, &TBenchFiles::Bilevel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThumbnailOfWholePage, bilevel_group4, &TBenchFiles::Bilevel)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThumbnailThroughDocument, colour_jpeg, &TBenchFiles::ColourJpeg)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThumbnailOfWholePage, colour_jpeg, &TBenchFiles::ColourJpeg)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThumbnailThroughDocument, colour_tiff_jpeg, &TBenchFiles::ColourTiff)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
