#pragma once

#include "app/StatusPanels.h"
#include "workflow/BatchProgress.h"

#include <optional>
#include <vector>

class QProgressBar;

// A loop over the batch as the window shows it: the status bar's progress
// bar and the hourglass cursor while it runs (a TProgressScope from Begin to
// End). The bar is hidden and reset (minimum 0, maximum 2147483647, position
// 0) and the cursor restored when the loop ends, or when this object goes,
// however the loop was left.
class TWindowProgress : public TBatchProgress {
public:
  // serveEvents: the window processes pending messages before each file,
  // so it stays responsive between files.
  TWindowProgress(QProgressBar& bar, bool serveEvents);
  TWindowProgress(const TWindowProgress&) = delete;
  TWindowProgress& operator=(const TWindowProgress&) = delete;
  ~TWindowProgress() override;

  // Positions reported for file k become positions[k] (the strip index of
  // the file's thumbnail), and the range ends at maximum instead of the
  // number of files; with none given the file index is the position.
  void MapPositions(std::vector<int> positions, int maximum);

  void Begin(int maximum) override;
  void Position(int position) override;
  void End() override;

private:
  QProgressBar& FBar;
  bool FServeEvents;
  std::optional<TProgressScope> FScope; // while the loop runs
  std::vector<int> FPositions;
  int FMappedMaximum = -1;
};
