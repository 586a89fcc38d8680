#include "app/AddOnCommands.h"

#include "app/AppTexts.h"
#include "app/DialogoProcessing.h"
#include "app/FormMain.h"
#include "app/PageCommands.h"
#include "app/PageView.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/DibGraphic.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/OperatorPrompt.h"

#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTabBar>

namespace {

// The one file chosen in an open dialog for an existing file, or none when
// the dialog was cancelled.
std::optional<std::string> AskExistingFile(TOperatorPrompt& prompt, const char* title,
                                           const char* filter, const char* defaultExt) {
  TFileDialogOptions options;
  options.Title = title;
  options.Filter = filter;
  options.DefaultExt = defaultExt;
  options.MustExist = true;
  const std::optional<TFileDialogResult> chosen = prompt.OpenFiles(options);
  if (!chosen || chosen->Files.empty()) return std::nullopt;
  return chosen->Files.front();
}

} // namespace

TAddOnCommands::TAddOnCommands(TFormMain& window, TOperatorPrompt& prompt, QObject* parent)
    : QObject(parent), FWindow(window), FPrompt(prompt), FAddOns(window.AppFolder().toStdString()) {
}

void TAddOnCommands::CustomProcessing() {
  QStringList descriptions;
  for (const std::string& description : FAddOns.Descriptions())
    descriptions << QString::fromStdString(description);
  TDialogoProcessing dialog(descriptions, &FWindow);
  if (dialog.exec() != QDialog::Accepted || dialog.SelectedIndex() < 0) return;
  TRuntimeAddOnInfo run;
  run.AddOn = FAddOns.Items().at(static_cast<size_t>(dialog.SelectedIndex())).get();
  if (FWindow.Viewer().Empty())
    ProcessBatch(run);
  else
    ProcessViewerPage(run);
}

void TAddOnCommands::ReopenIfAsked(int32_t ended) {
  if (ended == 1) FWindow.BatchCommands().OpenBatchFolder(FWindow.BatchFolder());
}

void TAddOnCommands::ProcessBatch(TRuntimeAddOnInfo& run) {
  if (!FPrompt.Confirm(AppTexts::kAskProcessAllImages)) return;
  const TPageOperation operation = [&run](TDibGraphic& graphic, const TPageContext* context) {
    return RunAddOnOnFile(graphic, run, context->FileName, context->PageIndex);
  };
  RunAddOnSession(
      *run.AddOn, static_cast<TSV_WINDOW>(FWindow.winId()),
      [&] { FWindow.PageCommands().ProcessAllImages(operation); },
      [this](int32_t ended) { ReopenIfAsked(ended); });
}

void TAddOnCommands::ProcessViewerPage(TRuntimeAddOnInfo& run) {
  TBusyCursor busy;
  TImageScrollBox& viewer = FWindow.Viewer();
  const QTabBar& tabs = FWindow.Tabs();
  run.PageFileName = viewer.FileName();
  run.PageIndex = tabs.count() == 0 ? -1 : tabs.currentIndex();
  bool reopened = false;
  const std::optional<int32_t> ended = RunAddOnSession(
      *run.AddOn, static_cast<TSV_WINDOW>(FWindow.winId()),
      [&] { RunAddOn(viewer.Graphic(), run); },
      [&](int32_t result) {
        ReopenIfAsked(result);
        reopened = result == 1;
      });
  if (!ended) return;
  // After a reload the viewer is empty: there is no page left to mark as
  // changed, and the next save prompt would have nothing to write.
  if (!reopened) FWindow.PageView().SetModified(true);
  viewer.Redraw();
}

void TAddOnCommands::ImageProcessing() {
  const std::optional<std::string> script =
      AskExistingFile(FPrompt, AppTexts::kScriptDialogTitle, AppTexts::kScriptDialogFilter, ".IPS");
  if (!script) return;
  while (FProcessorExe.isEmpty() || !QFileInfo(FProcessorExe).isFile()) {
    FPrompt.Inform(JoinMessage(AppTexts::kProcessorNotSet, AppTexts::kProcessorNotSetMore));
    const std::optional<std::string> exe = AskExistingFile(
        FPrompt, AppTexts::kProcessorDialogTitle, AppTexts::kProcessorDialogFilter, ".exe");
    if (!exe) throw EAbort();
    FProcessorExe = QString::fromStdString(*exe);
  }
  const QString listFile = FWindow.BatchFolder() + AppTexts::kFilesListName;
  QStringList paths;
  for (const TThumbnail* thumbnail : FWindow.Strip().Thumbnails()) paths << thumbnail->Path();
  WriteFilesList(listFile, paths);
  if (!StartProcessor(FProcessorExe, QString::fromStdString(*script), listFile))
    FPrompt.MessageBox(TMessageKind::Error,
                       JoinMessage(AppTexts::kProcessorFailed, AppTexts::kProcessorFailedMore),
                       TButtons::Ok);
}

void WriteFilesList(const QString& listFile, const QStringList& paths) {
  QSaveFile file(listFile);
  QByteArray content;
  for (const QString& path : paths) content += path.toLocal8Bit() + "\r\n";
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
    throw Exception("Cannot write " + listFile.toStdString() + ": " +
                    file.errorString().toStdString());
}

bool StartProcessor(const QString& processor, const QString& script, const QString& listFile) {
  return QProcess::startDetached(processor, {script, listFile});
}
