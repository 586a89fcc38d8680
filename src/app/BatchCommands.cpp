#include "app/BatchCommands.h"

#include "app/AppTexts.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "core/Exception.h"
#include "workflow/BatchFiles.h"
#include "workflow/BatchFolder.h"
#include "workflow/BatchTexts.h"
#include "workflow/OperatorPrompt.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>

namespace {

QStringList ToQt(const std::vector<std::string>& paths) {
  QStringList list;
  for (const std::string& path : paths) list << QString::fromStdString(path);
  return list;
}

} // namespace

TBatchCommands::TBatchCommands(TBatchFolder& batch, TThumbnailStrip& strip, QLabel& caption,
                               QProgressBar& progress, TOperatorPrompt& prompt, TBatchHost& host,
                               QObject* parent)
    : QObject(parent), FBatch(batch), FStrip(strip), FCaption(caption), FProgress(progress),
      FPrompt(prompt), FHost(host), FShellOpen([](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
      }) {
  ShowCaption();
}

void TBatchCommands::ShowCaption() {
  FCaption.setText(FBatch.IsOpen() ? QString::fromStdString(FBatch.Folder())
                                   : QString(kBatchFolderNotSelectedText));
}

void TBatchCommands::OpenBatchFolder(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isDir()) {
    FOpenedOnce = true;
    FBatch.Close();
    ShowCaption();
    return;
  }
  if (FHost.PageModified()) FHost.AskSaveChanges();
  FOpenedOnce = true;
  if (!FBatch.Open(path.toStdString())) {
    ShowCaption();
    return;
  }
  ShowCaption();
  ++FBuild;
  FStrip.Clear();
  FHost.SelectThumbnail(nullptr);
  AddThumbnails(ToQt(FBatch.ListBatchFiles()), FStrip.StartGrid(), false);
}

void TBatchCommands::AppendNewThumbnails() {
  ++FBuild;
  const TStripGrid grid = FStrip.RelayoutThumbnails();
  AddThumbnails(ToQt(FBatch.ListBatchFiles()), grid, true);
}

void TBatchCommands::AddThumbnails(const QStringList& files, TStripGrid grid, bool skipShown) {
  const int build = FBuild;
  TProgressScope progress(&FProgress, static_cast<int>(files.size()));
  for (int k = 0; k < files.size(); ++k) {
    progress.SetPosition(k);
    QCoreApplication::processEvents();
    // A command served just now may have begun another build of the strip:
    // this one then has nothing more to add.
    if (build != FBuild) return;
    if (skipShown && FStrip.Find(files[k])) continue;
    FStrip.AddThumbnail(files[k], grid.Cell());
    grid.Advance();
  }
}

void TBatchCommands::OpenBatchFolderCommand() {
  TFolderDialogOptions options;
  options.Title = AppTexts::kOpenBatchFolderTitle;
  options.InitialDir = FBatch.Folder();
  options.AllowCreate = true;
  const std::optional<std::string> folder = FPrompt.SelectFolder(options);
  if (folder) OpenBatchFolder(QString::fromStdString(*folder));
}

void TBatchCommands::CopyIntoBatch(const QString& source) {
  // A copy is read by its extension, so a page keeps a batch extension it
  // has; anything else gets the usual ".tif" name.
  const std::string extension = '.' + QFileInfo(source).suffix().toLower().toStdString();
  const std::string target = TBatchFolder::HasBatchExtension(source.toStdString())
                                 ? FBatch.NewBatchFileName(extension)
                                 : FBatch.NewBatchFileName();
  CopyFileIntoBatch(source.toStdString(), target);
}

void TBatchCommands::ImportImages() {
  TFileDialogOptions options;
  options.Title = kImportDialogTitle;
  options.Filter = kImportDialogFilter;
  options.MultiSelect = true;
  options.MustExist = true;
  const std::optional<TFileDialogResult> chosen = FPrompt.OpenFiles(options);
  if (!chosen) return;
  {
    TProgressScope progress(&FProgress, static_cast<int>(chosen->Files.size()));
    for (size_t i = 0; i < chosen->Files.size(); ++i) {
      progress.SetPosition(static_cast<int>(i));
      CopyIntoBatch(QString::fromStdString(chosen->Files[i]));
    }
  }
  AppendNewThumbnails();
}

void TBatchCommands::DropFiles(const QStringList& paths) {
  if (!FBatch.IsOpen()) {
    FPrompt.ShowError(kDropWithoutBatchFolderText);
    return;
  }
  try {
    for (const QString& path : paths) {
      TBusyCursor busy;
      CopyIntoBatch(path);
    }
  } catch (...) {
    AppendNewThumbnails();
    throw;
  }
  AppendNewThumbnails();
}

void TBatchCommands::DeleteSelected() {
  TThumbnail* selected = FStrip.Selected();
  if (!selected || !FPrompt.Confirm(kDeleteSelectedFileText)) return;
  RecycleFile(selected->Path().toStdString());
  // The page's file is gone at the operator's wish: a change to it is not
  // offered for saving into a file that no longer exists.
  FHost.DiscardPageChanges();
  FStrip.RemoveThumbnail(selected);
  FHost.SelectThumbnail(nullptr);
  FStrip.RelayoutThumbnails();
}

void TBatchCommands::MoveSelected(bool prior) {
  TThumbnail* selected = FStrip.Selected();
  if (!selected) return;
  const std::optional<std::string> partner =
      MovePartner(FBatch.ListBatchFiles(), selected->Path().toStdString(),
                  prior ? TMoveDirection::Prior : TMoveDirection::Next);
  if (!partner) return;
  TThumbnail* other = FStrip.Find(QString::fromStdString(*partner));
  if (other) {
    SwapThumbnails(selected, other);
    return;
  }
  // The neighbour has no thumbnail (its file cannot be read): the pages
  // change places all the same, and the thumbnail follows its page.
  FHost.AskSaveChanges();
  const TSwappedPaths swapped = SwapBatchFiles(selected->Path().toStdString(), *partner);
  selected->SetPath(QString::fromStdString(swapped.PageOfA));
  FHost.SelectThumbnail(selected);
}

void TBatchCommands::MoveSelectedPrior() {
  MoveSelected(true);
}
void TBatchCommands::MoveSelectedNext() {
  MoveSelected(false);
}

void TBatchCommands::SwapThumbnails(TThumbnail* dragged, TThumbnail* target) {
  if (!dragged || !target || dragged == target) return;
  // The files are about to change places under the viewer: a changed page
  // is written back (or dropped) first, while its file still holds it.
  FHost.AskSaveChanges();
  const TSwappedPaths swapped =
      SwapBatchFiles(dragged->Path().toStdString(), target->Path().toStdString());
  QImage draggedPicture = dragged->Picture();
  dragged->SetPicture(target->Picture());
  target->SetPicture(std::move(draggedPicture));
  // Each thumbnail names the file that now holds the page it shows.
  dragged->SetPath(QString::fromStdString(swapped.PageOfB));
  target->SetPath(QString::fromStdString(swapped.PageOfA));
  FHost.SelectThumbnail(target);
}

void TBatchCommands::ViewSelected() {
  if (TThumbnail* selected = FStrip.Selected()) FShellOpen(selected->Path());
}

void TBatchCommands::CaptionClicked() {
  if (FBatch.Exists())
    FShellOpen(QString::fromStdString(FBatch.Folder()));
  else
    OpenBatchFolderCommand();
}
