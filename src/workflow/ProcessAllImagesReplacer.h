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

// Puts the batch loop's prepared pages in place on a thread of its own, so
// that flushing file N to the disk overlaps reading and transforming file
// N+1. Each turn takes every page waiting: each is put in place (its data
// flushed before its new name), then every folder they are in is flushed
// once, and only then is any of them reported done; the old files are
// released on this thread too. A page that cannot be put in place is left
// as it was and reported with its error; a folder that cannot be flushed
// fails every page of that turn in it.
class TBatchReplacer {
public:
  TBatchReplacer();
  // Waits for the pages handed over and drops the outcomes not yet taken.
  ~TBatchReplacer();
  TBatchReplacer(const TBatchReplacer&) = delete;
  TBatchReplacer& operator=(const TBatchReplacer&) = delete;

  // Hands page number `index` over; indexes are unique.
  void Submit(int index, std::unique_ptr<TPreparedPage> page);
  // Waits until page `index` is done: no value when it is in place and its
  // folder flushed, else the error's message.
  std::optional<std::string> Outcome(int index);

private:
  struct TJob {
    int Index = 0;
    std::unique_ptr<TPreparedPage> Page;
  };
  void Run();

  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TJob> FWaiting;
  std::map<int, std::optional<std::string>> FDone;
  bool FStopping = false;
  std::thread FThread;
};
