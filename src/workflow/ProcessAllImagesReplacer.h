#pragma once

#include "workflow/SavePage.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// Writes the batch loop's pages back on threads of their own, so that
// coding file N and flushing it to the disk overlap reading and
// transforming file N+1. One thread makes each page's new file
// (PreparePageIntoFile), another puts them in place in turns: each turn
// takes every page made, puts each in place (its data flushed before its new
// name), then flushes every folder they are in once, and only then reports
// any of them done; the old files are released there too. A page that
// cannot be made or put in place is left as it was and reported with its
// error; a folder that cannot be flushed fails every page of that turn in
// it (their new content is in place then, as after a single replacement
// whose folder flush fails).
class TBatchReplacer {
public:
  // The threads' names (as `ps -L` and a debugger show them).
  static constexpr const char* kMakerName = "tessivane-make";
  static constexpr const char* kPlacerName = "tessivane-place";

  TBatchReplacer();
  // Pages not yet put in place are dropped (their files stay as they were);
  // a turn under way is finished.
  ~TBatchReplacer();
  TBatchReplacer(const TBatchReplacer&) = delete;
  TBatchReplacer& operator=(const TBatchReplacer&) = delete;

  // Writes graphic back as the first page of file; index is unique, and
  // graphic is read until Outcome(index) returns.
  void Submit(int index, const std::string& file, const TDibGraphic& graphic);
  // Waits until page `index` is done: no value when it is in place and its
  // folder flushed, else the error's message.
  std::optional<std::string> Outcome(int index);

private:
  struct TJob {
    int Index = 0;
    std::string File;
    const TDibGraphic* Graphic = nullptr;
    std::unique_ptr<TPreparedPage> Page;
  };
  void Make();
  void PutInPlace();

  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TJob> FToMake, FMade;
  std::map<int, std::optional<std::string>> FDone;
  bool FStopping = false;
  std::thread FMaker, FPlacer;
};
