#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TAcqTWAIN;
class TBatchFolder;
class TImageScrollBox;
class TLogForm;
class TOperatorPrompt;
class TPageView;
class TProfileCommands;
class TPageSaver;
class TQtDispatcher;
class TThumbnailStrip;
struct TSavedPage;

// Where the pages of the scan under way go.
enum class TScanTarget { Batch, File, Screen };

// The scanning commands of the main window and the acquisition component
// they drive: a scan starts on the user-interface thread and returns once
// the scanner is enabled; its pages then arrive one by one, each written by
// a worker and shown in the viewer.
class TScanCommands : public QObject {
  Q_OBJECT

public:
  // What a scan needs of the window. SelectNone is SelectThumbnail with
  // none: it may raise EAbort when the operator cancels its save prompt.
  struct TWindowParts {
    TBatchFolder& Batch;
    TThumbnailStrip& Strip;
    TImageScrollBox& Viewer;
    TPageView& PageView;
    TLogForm& Log;
    TProfileCommands& Profiles;
    TOperatorPrompt& Prompt;
    std::function<void()> SelectNone;
  };

  TScanCommands(TWindowParts parts, QObject* parent);
  ~TScanCommands() override;

  TAcqTWAIN& AcqTWAIN() const { return *FAcqTWAIN; }
  TPageSaver& PageSaver() const { return *FPageSaver; }
  TScanTarget ScanTarget() const { return FScanTarget; }
  const std::string& ScanFileName() const { return FScanFileName; }

  // ActionSelectScanner: the source manager's own selection dialog.
  void ActionSelectScannerExecute();
  // The product names of the installed sources.
  std::vector<std::string> SourceList();

  void ActionScanToBatchExecute() { StartScan(TScanTarget::Batch); }
  void ActionScanToFileExecute() { StartScan(TScanTarget::File); }
  void ActionScanToScreenExecute() { StartScan(TScanTarget::Screen); }

  // AcqTWAINImageReady: a delivered page goes to the page saver, with its
  // file by the scan's target; the saver owns the page from here on.
  void AcqTWAINImageReady(void* hImage);
  // The saver's show callback, on the user-interface thread: the page in
  // the viewer, and its thumbnail when it was written to a batch file.
  // While the scan goes on the viewer holds each page at once but draws
  // pages at most ten times a second, so the last one is drawn at most a
  // tenth of a second after it came.
  void ShowPage(const TSavedPage& page);
  // Before the window's parts go: the engine stops and every page accepted
  // is written; nothing is shown any more.
  void Shutdown();

private:
  void StartScan(TScanTarget target);
  void AcqTWAINNegotiation();
  void RedrawViewer();

  TWindowParts FParts;
  TScanTarget FScanTarget = TScanTarget::Batch;
  std::string FScanFileName;
  bool FClosing = false;
  bool FNegotiating = false;      // failures then end in the negotiation's own log lines
  QTimer FViewerRedraw;           // a redraw held back while pages arrive fast
  QElapsedTimer FSinceViewerDrew; // since the viewer last drew a scanned page
  std::unique_ptr<TQtDispatcher> FDispatcher;
  std::unique_ptr<TPageSaver> FPageSaver; // uses FDispatcher and the log
  std::unique_ptr<TAcqTWAIN> FAcqTWAIN;   // hands pages to FPageSaver, so goes first
};
