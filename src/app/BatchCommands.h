#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QProgressBar;
class TBatchFolder;
class TOperatorPrompt;
class TThumbnail;
class TThumbnailStrip;

// What the batch folder commands need from the window they work in.
class TBatchHost {
public:
  virtual ~TBatchHost() = default;
  // Changes the selection (the viewer follows); may raise EAbort when the
  // operator cancels the save prompt.
  virtual void SelectThumbnail(TThumbnail* thumbnail) = 0;
  // The save prompt for a changed page; raises EAbort on Cancel.
  virtual void AskSaveChanges() = 0;
  virtual bool PageModified() const = 0;
  // Forgets a change of the page shown without writing it.
  virtual void DiscardPageChanges() = 0;
};

// The commands on the batch folder: opening it and building the strip,
// importing and dropping files, deleting, moving a page one step or onto
// another, opening a file or the folder with the desktop.
class TBatchCommands : public QObject {
  Q_OBJECT

public:
  // Opens a file or folder with the desktop's program for it; the outcome
  // is not looked at.
  using TShellOpen = std::function<void(const QString& path)>;

  TBatchCommands(TBatchFolder& batch, TThumbnailStrip& strip, QLabel& caption,
                 QProgressBar& progress, TOperatorPrompt& prompt, TBatchHost& host,
                 QObject* parent = nullptr);

  void SetShellOpen(TShellOpen open) { FShellOpen = std::move(open); }
  // Whether OpenBatchFolder has run at least once.
  bool FolderOpenedOnce() const { return FOpenedOnce; }

  // Makes path the batch and rebuilds the strip. A path that is not an
  // existing folder closes the batch and leaves the strip as it is.
  void OpenBatchFolder(const QString& path);
  // Adds thumbnails for batch files that have none, after the last one.
  void AppendNewThumbnails();

  void OpenBatchFolderCommand(); // ActionOpenBatchFolder: the folder dialog
  void ImportImages();           // ActionImportImages
  void DropFiles(const QStringList& paths);
  void DeleteSelected();    // ActionDelete
  void MoveSelectedPrior(); // ActionMoveUp
  void MoveSelectedNext();  // ActionMoveDown
  void ViewSelected();      // ActionView
  void CaptionClicked();    // PanelBatchFolderClick
  // Moves the page of dragged to the place of target's page.
  void SwapThumbnails(TThumbnail* dragged, TThumbnail* target);

private:
  void ShowCaption();
  void MoveSelected(bool prior);
  // Copies files into the batch under fresh names, keeping a batch
  // extension the source has (".tif" otherwise).
  void CopyIntoBatch(const QString& source);
  // Adds thumbnails for files from the grid walk's cell on; stops when
  // another build of the strip starts while events are served.
  void AddThumbnails(const QStringList& files, class TStripGrid grid, bool skipShown);

  TBatchFolder& FBatch;
  TThumbnailStrip& FStrip;
  QLabel& FCaption;
  QProgressBar& FProgress;
  TOperatorPrompt& FPrompt;
  TBatchHost& FHost;
  TShellOpen FShellOpen;
  int FBuild = 0; // counts the builds of the strip begun
  bool FOpenedOnce = false;
};
