#include "app/WindowProgress.h"

#include <QApplication>
#include <QProgressBar>

#include <limits>

TWindowProgress::TWindowProgress(QProgressBar& bar, bool serveEvents)
    : FBar(bar), FServeEvents(serveEvents) {}

TWindowProgress::~TWindowProgress() {
  End();
}

void TWindowProgress::MapPositions(std::vector<int> positions, int maximum) {
  FPositions = std::move(positions);
  FMappedMaximum = maximum;
}

void TWindowProgress::Begin(int maximum) {
  FBar.setRange(0, FMappedMaximum >= 0 ? FMappedMaximum : maximum);
  FBar.setValue(0);
  FBar.show();
  FBar.raise();
  if (!FBusy) QApplication::setOverrideCursor(Qt::WaitCursor);
  FBusy = true;
}

void TWindowProgress::Position(int position) {
  const bool mapped = position >= 0 && position < static_cast<int>(FPositions.size());
  FBar.setValue(mapped ? FPositions[static_cast<size_t>(position)] : position);
  if (FServeEvents) QCoreApplication::processEvents();
}

void TWindowProgress::End() {
  FBar.hide();
  FBar.setRange(0, std::numeric_limits<int>::max());
  FBar.setValue(0);
  if (FBusy) QApplication::restoreOverrideCursor();
  FBusy = false;
}
