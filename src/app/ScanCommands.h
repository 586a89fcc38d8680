#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class TAcqTWAIN;
class TQtDispatcher;

// The scanning commands of the main window and the acquisition component
// they drive.
class TScanCommands : public QObject {
  Q_OBJECT

public:
  explicit TScanCommands(QObject* parent);
  ~TScanCommands() override;

  TAcqTWAIN& AcqTWAIN() const { return *FAcqTWAIN; }

  // ActionSelectScanner: the source manager's own selection dialog.
  void ActionSelectScannerExecute();
  // The product names of the installed sources.
  std::vector<std::string> SourceList();

private:
  std::unique_ptr<TQtDispatcher> FDispatcher;
  std::unique_ptr<TAcqTWAIN> FAcqTWAIN; // uses FDispatcher, so goes first
};
