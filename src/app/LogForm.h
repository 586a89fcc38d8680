#pragma once

#include "workflow/LogSink.h"

#include <QWidget>

class QPlainTextEdit;

// The log window: a tool window that stays on top, holding the log's lines
// in a read-only text box. It lives for the whole run; only its visibility
// changes. Visibility changes are announced so the "Log Form" check mark
// can follow a close by the window frame.
class TLogForm : public QWidget, public TLogSink {
  Q_OBJECT

public:
  explicit TLogForm(QWidget* parent = nullptr);

  // From any thread: lines from elsewhere are handed to the window's thread.
  void AddLine(const std::string& line) override;
  void AddLine(const QString& line);
  void Clear();
  QStringList Lines() const;

signals:
  void VisibilityChanged(bool visible);

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  QPlainTextEdit* MemoLog;
};
