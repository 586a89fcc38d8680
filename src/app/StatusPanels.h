#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

// The status bar of the main window: panel 0 takes one third of the width
// (integer division), panel 1 the rest; the progress bar lies over panel 0,
// 4 pixels less high than the bar, hidden except while a long job runs.
class TMainStatusBar : public QStatusBar {
  Q_OBJECT

public:
  explicit TMainStatusBar(QWidget* parent = nullptr);

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* Panel(int panel) const;
  QProgressBar* ProgressBar() const { return FProgressBar; }

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void PlacePanels();

  QLabel* FPanels[2];
  QProgressBar* FProgressBar;
};

// A long job over the batch, for the scope of one block: shows the progress
// bar with the range 0 .. maximum and the hourglass cursor; at the end of the
// block, however it is left, hides the bar, resets it (minimum 0, maximum
// 2147483647, position 0) and restores the cursor.
class TProgressScope {
public:
  TProgressScope(QProgressBar* bar, int maximum);
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;
  ~TProgressScope();

  void SetPosition(int position);

private:
  QProgressBar* FBar;
};

// The hourglass cursor for the scope of one block.
class TBusyCursor {
public:
  TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
  ~TBusyCursor();
};
