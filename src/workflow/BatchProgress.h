#pragma once

// How a loop over the batch shows its progress: the status bar's progress
// bar in the window, the terminal in the command-line tool. The loop calls
// Begin once, Position before each file (the window also lets pending
// messages be processed there, so it stays responsive between files), and End
// exactly once when it is over, whether it finished or failed.
class TBatchProgress {
public:
  virtual ~TBatchProgress() = default;
  // The range runs from 0 to maximum (the number of files).
  virtual void Begin(int maximum) = 0;
  // position: the index (from 0) of the file about to be worked on.
  virtual void Position(int position) = 0;
  // Hide and reset (minimum 0, maximum 2147483647, position 0).
  virtual void End() = 0;
};

// Calls Begin on construction and End on destruction, so that End runs
// whatever happens; a null progress does nothing.
class TBatchProgressScope {
public:
  TBatchProgressScope(TBatchProgress* progress, int maximum) : FProgress(progress) {
    if (FProgress) FProgress->Begin(maximum);
  }
  TBatchProgressScope(const TBatchProgressScope&) = delete;
  TBatchProgressScope& operator=(const TBatchProgressScope&) = delete;
  ~TBatchProgressScope() {
    if (FProgress) FProgress->End();
  }
  void Position(int position) const {
    if (FProgress) FProgress->Position(position);
  }

private:
  TBatchProgress* FProgress;
};
