#include "app/PageCommands.h"

#include "app/AppTexts.h"
#include "app/PageView.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "app/WindowProgress.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/BatchFolder.h"
#include "workflow/ProcessAllImages.h"
#include "workflow/SaveBatch.h"

#include <QCoreApplication>
#include <QProgressBar>

TFileDialogOptions SaveAsDialogOptions() {
  TFileDialogOptions options;
  options.Title = AppTexts::kSaveAsDialogTitle;
  options.Filter = AppTexts::kSaveAsDialogFilter;
  options.DefaultExt = AppTexts::kSaveAsDefaultExt;
  return options;
}

TPageCommands::TPageCommands(TBatchFolder& batch, TThumbnailStrip& strip, TPageView& page,
                             QProgressBar& progress, TOperatorPrompt& prompt, TLogSink& log,
                             QObject* parent)
    : QObject(parent), FBatch(batch), FStrip(strip), FPage(page), FProgress(progress),
      FPrompt(prompt), FLog(log) {}

void TPageCommands::RunPageCommand(TPageCommand command) {
  TImageScrollBox& viewer = FPage.Viewer();
  if (viewer.Empty()) {
    if (FPrompt.Confirm(AppTexts::kAskProcessAllImages)) ProcessAllImages(PageOperation(command));
    return;
  }
  int result = 0;
  {
    TBusyCursor busy;
    result = ::RunPageCommand(command, viewer.Graphic());
  }
  // A despeckle of a page that is not bilevel changes nothing: there is
  // then nothing to offer for saving.
  if (result == 0) FPage.SetModified(true);
  viewer.Redraw();
  FPage.UpdateImageStatus();
}

void TPageCommands::ProcessAllImages(const TPageOperation& operation) {
  TWindowProgress progress(FProgress, true);
  const auto redraw = [this](const std::string& fileName, const TDibGraphic& graphic) {
    // Looked up for every file: the strip may have been rebuilt while the
    // window was served between files.
    FStrip.RedrawThumbnail(QString::fromStdString(fileName), graphic);
  };
  ::ProcessAllImages(FBatch.ListBatchFiles(), operation, FLog, &progress, redraw);
}

void TPageCommands::SaveBatchAs() {
  const std::optional<TFileDialogResult> chosen = FPrompt.SaveFile(SaveAsDialogOptions());
  if (!chosen || chosen->Files.empty()) return;
  QCoreApplication::processEvents();
  // The thumbnails in the strip's order, each with its index among the
  // strip's children (the selection frame and the captions count too).
  std::vector<std::string> files;
  std::vector<int> positions;
  int children = 0;
  for (QObject* child : FStrip.Content()->children()) {
    if (!child->isWidgetType()) continue;
    if (auto* thumbnail = qobject_cast<TThumbnail*>(child)) {
      files.push_back(thumbnail->Path().toStdString());
      positions.push_back(children);
    }
    ++children;
  }
  TBatchSaveResult saved;
  {
    TWindowProgress progress(FProgress, false);
    progress.MapPositions(std::move(positions), children - 1);
    saved = ::SaveBatchAs(chosen->Files.front(), files, &progress);
  }
  FPrompt.Inform(CreatedFileText(saved.FileName, saved.Written));
}
