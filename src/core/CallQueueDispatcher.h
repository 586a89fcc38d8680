#pragma once

#include "core/Dispatcher.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// A dispatcher without a windowing system: the thread that creates it is the
// user-interface thread, and synchronised calls run whenever that thread
// processes its queue (ProcessPending, ProcessUntil). Processing is
// re-entrant, so a call may itself run a nested loop, as a modal dialog does.
// Used by tests and by the command-line tool.
class TCallQueueDispatcher : public TUIDispatcher {
public:
  TCallQueueDispatcher();

  bool IsUIThread() const override;
  void Synchronize(const std::function<void()>& call) override;
  void KeepResponsive() override;
  void ProcessSynchronized() override { ProcessPending(); }

  // Runs the calls queued so far; returns how many ran.
  int ProcessPending();
  // Runs queued calls as they come until done() holds or timeoutMs passes;
  // returns done().
  bool ProcessUntil(const std::function<bool()>& done, uint32_t timeoutMs);
  // How often a waiting caller asked the interface to stay responsive.
  unsigned ResponsiveCount() const { return FResponsiveCount; }

private:
  struct TCall;
  bool RunOne();

  std::thread::id FUIThread;
  std::mutex FMutex;
  std::condition_variable FQueued;
  std::deque<std::shared_ptr<TCall>> FCalls;
  std::atomic<unsigned> FResponsiveCount{0};
};
