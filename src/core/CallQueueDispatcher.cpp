#include "core/CallQueueDispatcher.h"

#include <algorithm>
#include <chrono>
#include <exception>

struct TCallQueueDispatcher::TCall {
  std::function<void()> Work;
  std::exception_ptr Error;
  bool Done = false;
  std::condition_variable Finished;
};

TCallQueueDispatcher::TCallQueueDispatcher() : FUIThread(std::this_thread::get_id()) {}

bool TCallQueueDispatcher::IsUIThread() const {
  return std::this_thread::get_id() == FUIThread;
}

void TCallQueueDispatcher::Synchronize(const std::function<void()>& call) {
  if (IsUIThread()) {
    call();
    return;
  }
  auto entry = std::make_shared<TCall>();
  entry->Work = call;
  std::unique_lock lock(FMutex);
  FCalls.push_back(entry);
  FQueued.notify_all();
  entry->Finished.wait(lock, [&] { return entry->Done; });
  // The error becomes this thread's alone, so it also ends here.
  std::exception_ptr error = std::move(entry->Error);
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

void TCallQueueDispatcher::KeepResponsive() {
  ++FResponsiveCount;
}

bool TCallQueueDispatcher::RunOne() {
  std::shared_ptr<TCall> entry;
  {
    std::lock_guard guard(FMutex);
    if (FCalls.empty()) return false;
    entry = FCalls.front();
    FCalls.pop_front();
  }
  // Runs without the lock, so the call may queue or process further calls.
  std::exception_ptr error;
  try {
    entry->Work();
  } catch (...) {
    error = std::current_exception();
  }
  {
    std::lock_guard guard(FMutex);
    entry->Error = std::move(error);
    entry->Done = true;
  }
  entry->Finished.notify_all();
  return true;
}

int TCallQueueDispatcher::ProcessPending() {
  int ran = 0;
  while (RunOne()) ++ran;
  return ran;
}

bool TCallQueueDispatcher::ProcessUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    ProcessPending();
    if (done()) return true;
    std::unique_lock lock(FMutex);
    // Wakes for new calls, and at least every 5 ms for conditions that
    // other threads change without queueing anything.
    const auto next =
        std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
    FQueued.wait_until(lock, next, [this] { return !FCalls.empty(); });
    if (std::chrono::steady_clock::now() >= deadline && FCalls.empty()) {
      lock.unlock();
      return done();
    }
  }
}
