#pragma once

#include "tessivane/twain.h"

#include <memory>
#include <thread>

// Sends a source's announcements (MSG_XFERREADY, MSG_CLOSEDSREQ) to the
// manager in order, from a thread of its own. An application may call the
// source back from its callback, even close it there: the scanning thread
// never waits for the application, and the announcing thread's queue
// outlives the source.
class TSaneAnnouncer {
public:
  TSaneAnnouncer(DSMENTRYPROC manager, const TW_IDENTITY& source, const TW_IDENTITY& app);
  // Drops what was not sent yet; waits for the announcement under way,
  // unless called from within it.
  ~TSaneAnnouncer();
  TSaneAnnouncer(const TSaneAnnouncer&) = delete;
  TSaneAnnouncer& operator=(const TSaneAnnouncer&) = delete;

  void Post(TW_UINT16 MSG);
  // Drops the announcements not sent yet: they belong to a batch that has ended.
  void Clear();

private:
  struct TQueue;
  std::shared_ptr<TQueue> FQueue;
  std::thread FThread;
};
