#pragma once

#include <QObject>

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
class TQtDispatcher;
class TThumbnailStrip;

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
  TScanTarget ScanTarget() const { return FScanTarget; }
  const std::string& ScanFileName() const { return FScanFileName; }

  // ActionSelectScanner: the source manager's own selection dialog.
  void ActionSelectScannerExecute();
  // The product names of the installed sources.
  std::vector<std::string> SourceList();

  void ActionScanToBatchExecute() { StartScan(TScanTarget::Batch); }
  void ActionScanToFileExecute() { StartScan(TScanTarget::File); }
  void ActionScanToScreenExecute() { StartScan(TScanTarget::Screen); }

private:
  void StartScan(TScanTarget target);

  TWindowParts FParts;
  TScanTarget FScanTarget = TScanTarget::Batch;
  std::string FScanFileName;
  std::unique_ptr<TQtDispatcher> FDispatcher;
  std::unique_ptr<TAcqTWAIN> FAcqTWAIN; // uses FDispatcher, so goes first
};
