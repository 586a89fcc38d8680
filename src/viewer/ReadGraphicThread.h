#pragma once

#include "graphics/DibGraphic.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where read-ahead threads hand over the page they read. Each request gets
// a number; a thread publishes only while its request is the latest, so a
// later request supersedes an earlier one whose result is discarded.
class TReadAheadSlot {
public:
  // Starts a new request for a file, discarding what was published before.
  uint64_t Request(const std::string& fileName);
  // Forgets the current request and its page.
  void Clear();
  // Called by a thread: keeps the page when its request is still the latest.
  void Publish(uint64_t request, std::unique_ptr<TDibGraphic> graphic);
  // Whether the latest request has a page for the file (names compared
  // ignoring case).
  bool Ready(const std::string& fileName) const;
  // Takes the page of the latest request when it is for the file; null otherwise.
  std::unique_ptr<TDibGraphic> Take(const std::string& fileName);

private:
  mutable std::mutex FLock;
  uint64_t FLatest = 0;
  std::string FFileName;
  std::unique_ptr<TDibGraphic> FGraphic;
};

// Reads one file in the background at the lowest priority the system
// gives a thread, building its own graphic of the class registered for the
// file's extension and handing it to the slot whole. Files that do not exist,
// have no registered class or fail to read give nothing.
class TReadGraphicThread {
public:
  TReadGraphicThread(std::shared_ptr<TReadAheadSlot> slot, uint64_t request, std::string fileName);
  TReadGraphicThread(const TReadGraphicThread&) = delete;
  TReadGraphicThread& operator=(const TReadGraphicThread&) = delete;
  ~TReadGraphicThread(); // waits for the thread to end

  bool Finished() const;

private:
  struct TState;
  std::shared_ptr<TState> FState;
  std::thread FThread;
};

// The viewer's read-ahead: the slot and the threads still running. Finished
// threads are released with the next request; the rest are waited for when
// the read-ahead goes.
class TReadAhead {
public:
  TReadAhead();
  void Start(const std::string& fileName);
  void Clear() { FSlot->Clear(); }
  bool Ready(const std::string& fileName) const { return FSlot->Ready(fileName); }
  std::unique_ptr<TDibGraphic> Take(const std::string& fileName) { return FSlot->Take(fileName); }

private:
  std::shared_ptr<TReadAheadSlot> FSlot;
  std::vector<std::unique_ptr<TReadGraphicThread>> FThreads;
};
