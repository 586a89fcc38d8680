#include "app/StatusPanels.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>

#include <limits>

TMainStatusBar::TMainStatusBar(QWidget* parent)
    : QStatusBar(parent), FProgressBar(new QProgressBar(this)) {
  setObjectName("StatusBar");
  setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    FPanels[i] = new QLabel(this);
    FPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
    FPanels[i]->setFrameShape(QFrame::Panel);
    FPanels[i]->setFrameShadow(QFrame::Sunken);
    FPanels[i]->setMinimumWidth(1);
    addWidget(FPanels[i], i);
  }
  FProgressBar->setObjectName("ProgressBar");
  FProgressBar->setTextVisible(false);
  FProgressBar->setRange(0, std::numeric_limits<int>::max());
  FProgressBar->hide();
}

QLabel* TMainStatusBar::Panel(int panel) const {
  return FPanels[panel];
}

QString TMainStatusBar::PanelText(int panel) const {
  return FPanels[panel]->text();
}

void TMainStatusBar::SetPanelText(int panel, const QString& text) {
  FPanels[panel]->setText(text);
}

void TMainStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  PlacePanels();
}

void TMainStatusBar::PlacePanels() {
  const int width = contentsRect().width();
  FPanels[0]->setFixedWidth(std::max(width / 3, 1));
  const QRect client = contentsRect();
  FProgressBar->setGeometry(client.x(), client.y() + 2, width / 3,
                            std::max(client.height() - 4, 1));
  FProgressBar->raise();
}

TProgressScope::TProgressScope(QProgressBar* bar, int maximum) : FBar(bar) {
  FBar->setRange(0, maximum);
  FBar->setValue(0);
  FBar->show();
  FBar->raise();
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

TProgressScope::~TProgressScope() {
  FBar->hide();
  FBar->setRange(0, std::numeric_limits<int>::max());
  FBar->setValue(0);
  QApplication::restoreOverrideCursor();
}

void TProgressScope::SetPosition(int position) {
  FBar->setValue(position);
}

TBusyCursor::TBusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor() {
  QApplication::restoreOverrideCursor();
}
