#include "core/SyncEvent.h"

#include <chrono>

void TSyncEvent::SetEvent() {
  {
    std::lock_guard guard(FMutex);
    FSet = true;
  }
  FChanged.notify_all();
}

void TSyncEvent::ResetEvent() {
  std::lock_guard guard(FMutex);
  FSet = false;
}

bool TSyncEvent::IsSet() const {
  std::lock_guard guard(FMutex);
  return FSet;
}

bool TSyncEvent::WaitFor(uint32_t timeoutMs) const {
  std::unique_lock lock(FMutex);
  if (timeoutMs == INFINITE_WAIT) {
    FChanged.wait(lock, [this] { return FSet; });
    return true;
  }
  return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FSet; });
}
