#include "app/LogForm.h"

#include "app/AppTexts.h"

#include <QPlainTextEdit>
#include <QThread>
#include <QVBoxLayout>

TLogForm::TLogForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), MemoLog(new QPlainTextEdit(this)) {
  setObjectName("LogForm");
  setWindowTitle(AppTexts::kLogCaption);
  resize(222, 268);
  MemoLog->setObjectName("MemoLog");
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(MemoLog);
}

void TLogForm::AddLine(const std::string& line) {
  AddLine(QString::fromStdString(line));
}

void TLogForm::AddLine(const QString& line) {
  QMetaObject::invokeMethod(
      MemoLog, [memo = MemoLog, line] { memo->appendPlainText(line); },
      QThread::currentThread() == thread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void TLogForm::Clear() {
  MemoLog->clear();
}

QStringList TLogForm::Lines() const {
  const QString text = MemoLog->toPlainText();
  return text.isEmpty() ? QStringList{} : text.split('\n');
}

void TLogForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  emit VisibilityChanged(true);
}

void TLogForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  emit VisibilityChanged(false);
}
