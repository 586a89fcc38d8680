#pragma once

#include "core/SyncEvent.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

// Message numbers shared by every thread queue.
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_USER = 0x0400;

// One message for a thread: a number, two integer parameters and an optional
// record that the message keeps alive until the receiver drops it.
struct TThreadMessage {
  uint32_t Message = 0;
  int64_t WParam = 0;
  int64_t LParam = 0;
  std::shared_ptr<void> Data;
};

// The message queue of one thread; any thread may post. Once closed (its
// thread has ended) the queue refuses further posts.
class TMessageQueue {
public:
  TMessageQueue() = default;
  TMessageQueue(const TMessageQueue&) = delete;
  TMessageQueue& operator=(const TMessageQueue&) = delete;

  bool Post(TThreadMessage message);
  // Takes the oldest message, waiting up to timeoutMs; false on time-out.
  bool Get(TThreadMessage& message, uint32_t timeoutMs = INFINITE_WAIT);
  // Refuses later posts and hands back what was still queued.
  std::deque<TThreadMessage> Close();

private:
  mutable std::mutex FMutex;
  std::condition_variable FArrived;
  std::deque<TThreadMessage> FMessages;
  bool FClosed = false;
};
