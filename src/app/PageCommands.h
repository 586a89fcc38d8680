#pragma once

#include "workflow/OperatorPrompt.h"
#include "workflow/PageOperations.h"

#include <QObject>

class QProgressBar;
class TBatchFolder;
class TLogSink;
class TPageView;
class TThumbnailStrip;

// The save dialog of the window: "Sava as TIF or PDF", TIFF or PDF, ".tif"
// added when the operator types no extension, no overwrite prompt.
TFileDialogOptions SaveAsDialogOptions();

// The page corrections (rotate, mirror, flip, negative, deskew, despeckle)
// and Save Batch As. A correction works on the page in the viewer, which
// then counts as changed until the save prompt; with no page shown it runs,
// once the operator agrees, over every file of the batch, each result
// written back at once.
class TPageCommands : public QObject {
  Q_OBJECT

public:
  TPageCommands(TBatchFolder& batch, TThumbnailStrip& strip, TPageView& page,
                QProgressBar& progress, TOperatorPrompt& prompt, TLogSink& log,
                QObject* parent = nullptr);

  // ActionRotate90 .. ActionDespeckle: the command on the viewer's page
  // (hourglass meanwhile; the page counts as changed when the command
  // reports something to store), or over the batch after the confirmation.
  void RunPageCommand(TPageCommand command);
  // The batch loop in the window: the progress bar and the hourglass, the
  // window served between files, per-file errors in the log, and the
  // thumbnail of every file written back drawn again.
  void ProcessAllImages(const TPageOperation& operation);
  // ActionSaveBatchAsExecute: every page of every file of the strip, in the
  // strip's order, into one TIFF or PDF file named in the save dialog; the
  // information box tells the file and the number of pages.
  void SaveBatchAs();

private:
  TBatchFolder& FBatch;
  TThumbnailStrip& FStrip;
  TPageView& FPage;
  QProgressBar& FProgress;
  TOperatorPrompt& FPrompt;
  TLogSink& FLog;
};
