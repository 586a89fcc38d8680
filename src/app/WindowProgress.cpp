#include "app/WindowProgress.h"

#include <QCoreApplication>
#include <QProgressBar>

TWindowProgress::TWindowProgress(QProgressBar& bar, bool serveEvents)
    : FBar(bar), FServeEvents(serveEvents) {}

TWindowProgress::~TWindowProgress() = default;

void TWindowProgress::MapPositions(std::vector<int> positions, int maximum) {
  FPositions = std::move(positions);
  FMappedMaximum = maximum;
}

void TWindowProgress::Begin(int maximum) {
  FScope.emplace(&FBar, FMappedMaximum >= 0 ? FMappedMaximum : maximum);
}

void TWindowProgress::Position(int position) {
  const bool mapped = position >= 0 && position < static_cast<int>(FPositions.size());
  FBar.setValue(mapped ? FPositions[static_cast<size_t>(position)] : position);
  if (FServeEvents) QCoreApplication::processEvents();
}

void TWindowProgress::End() {
  FScope.reset();
}
