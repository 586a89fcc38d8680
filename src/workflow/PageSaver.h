#pragma once

#include "core/Dispatcher.h"
#include "core/PageHandle.h"
#include "workflow/LogSink.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TDibGraphic;

// What the show callback is told about one page once its writing is over.
struct TSavedPage {
  int Number = 0;            // 1-based number of the page in arrival order since the last BeginScan
  TSV_HANDLE Page = nullptr; // the page (bilevel pages normalised to black 0, white 1); valid
                             // only during the call, still owned by the saver
  std::string FileName;      // where it was to be written; empty: it was not to be written
  bool AddThumbnail = false;
  bool Written = false;     // true when FileName now holds the page
  std::string RecoveryFile; // when writing failed: the file the page was kept in, or empty
  // When AddThumbnail and Written: the page's thumbnail picture for cells of
  // ThumbnailSize, rendered by the worker that wrote it (null when it could
  // not be); valid only during the call.
  const TDibGraphic* Thumbnail = nullptr;
  int ThumbnailSize = 0;
};

// Runs on the user-interface thread after a page was written (or failed).
using TShowPageEvent = std::function<void(const TSavedPage& page)>;

struct TPageSaverOptions {
  // Pages accepted but not yet shown; Submit waits while this many are.
  size_t MaxInFlight = 4;
  // Threads writing pages; pages for one file are written one after another
  // in arrival order whatever this number. Thread n (counted from 0) starts
  // a page only while more than n pages wait: one thread writes while it
  // keeps up with the scanner, and the others join only when pages queue
  // up, so that otherwise the processors stay with the scanner's transfer
  // and the window.
  size_t Workers = 2;
  // Where pages that cannot be written are kept; empty: the user's state
  // folder ($XDG_STATE_HOME/tessivane, else ~/.local/state/tessivane) + "/recovered".
  std::string RecoveryFolder;
};

// Writes scanned pages to their files and hands them to the show callback:
// the page-saving work of a scan. A bilevel page is normalised to black 0 and
// white 1; a ".tif"/".tiff" file is written as TIFF (Group 4 for bilevel, JPEG
// for 8-bit grey and 24-bit colour, LZW otherwise, one strip per page), a
// ".pdf" file as PDF; an existing file gets the page appended as its new last
// page. Appends to one file keep the order in which the pages were
// submitted; pages for different files may be written at the same time.
//
// A page that cannot be written is kept in a recovery file and the line
// "Unable to save page N to PATH - message" (followed by " - kept in
// RECOVERY") goes to log; the show callback still gets the page, with
// Written false.
//
// All calls are made on the user-interface thread, which the dispatcher
// serves; while Submit or WaitIdle wait they run the dispatcher's queued
// calls, so the show callback is never starved.
class TPageSaver {
public:
  TPageSaver(TUIDispatcher& dispatcher, TLogSink& log, TShowPageEvent show,
             TPageSaverOptions options = {});
  // Waits for every submitted page to be written and shown.
  ~TPageSaver();
  TPageSaver(const TPageSaver&) = delete;
  TPageSaver& operator=(const TPageSaver&) = delete;

  // Starts numbering pages from 1 again and clears Failures; pages submitted
  // before still go on being written and shown.
  void BeginScan();
  // The side of the square thumbnail cell that the workers render the
  // pictures of written pages submitted with addThumbnail for, off the
  // user-interface thread; 0 (the default): none.
  void SetThumbnailSize(int size);
  // Takes ownership of page (freed by the saver once shown; a null page is
  // ignored and gives 0) and returns its number. fileName empty: the page is
  // only shown. Returns at once unless MaxInFlight pages are in flight, then
  // waits for room. An extension other than .tif, .tiff or .pdf fails like
  // any other write (logged, recovered).
  int Submit(TSV_HANDLE page, std::string fileName, bool addThumbnail);
  // Waits until every submitted page has been shown; false when timeoutMs
  // passed first.
  bool WaitIdle(unsigned timeoutMs);
  // Pages submitted and not yet shown.
  size_t InFlight() const;
  // Pages submitted since the last BeginScan that could not be written.
  int Failures() const;
  // The folder recovery files go to.
  const std::string& RecoveryFolder() const { return FOptions.RecoveryFolder; }

private:
  struct TJob;
  void WorkerLoop(size_t index);
  void Write(TJob& job);
  void Finish(std::unique_ptr<TJob> job);
  void WaitFor(const std::function<bool()>& done, unsigned timeoutMs, bool bounded);

  TUIDispatcher& FDispatcher;
  TLogSink& FLog;
  TShowPageEvent FShow;
  TPageSaverOptions FOptions;

  mutable std::mutex FMutex;
  std::condition_variable FChanged;
  // Pages waiting, per target file ("" for pages only shown), each queue in
  // arrival order; a target being written by a worker is in FBusy.
  std::map<std::string, std::deque<std::unique_ptr<TJob>>> FQueues;
  std::deque<std::string> FReady; // targets with waiting pages and no worker, oldest first
  std::set<std::string> FBusy;
  size_t FInFlight = 0;
  size_t FWaiting = 0; // pages in FQueues
  int FScan = 0; // BeginScan calls so far
  int FNextNumber = 1;
  int FFailures = 0; // of pages of the current scan
  int FThumbnailSize = 0;
  bool FStopping = false;
  std::vector<std::thread> FWorkers;
};
