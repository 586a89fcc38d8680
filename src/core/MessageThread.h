#pragma once

#include "core/MessageQueue.h"
#include "core/SyncEvent.h"

#include <thread>

// A thread with a message queue. Execute runs on the new thread and usually
// loops over the queue until WM_QUIT. A derived class stops its thread
// (PostQuit, WaitFor) in its own destructor, before its members go.
class TMessageThread {
public:
  TMessageThread() = default;
  TMessageThread(const TMessageThread&) = delete;
  TMessageThread& operator=(const TMessageThread&) = delete;
  virtual ~TMessageThread();

  void Start();
  bool PostMessage(uint32_t message, int64_t wParam = 0, int64_t lParam = 0,
                   std::shared_ptr<void> data = {});
  bool PostQuit() { return PostMessage(WM_QUIT); }
  // Waits for Execute to return, then joins; true when it ended in time.
  bool WaitFor(uint32_t timeoutMs = INFINITE_WAIT);
  bool Finished() const { return FFinished.IsSet(); }
  // Lets the thread run on unwatched (it is stuck where nobody can reach
  // it); the object must then live as long as the thread may.
  void Detach() {
    if (FThread.joinable()) FThread.detach();
  }

protected:
  virtual void Execute() = 0;
  TMessageQueue& Queue() { return FQueue; }

private:
  TMessageQueue FQueue;
  TSyncEvent FFinished;
  std::thread FThread;
};
