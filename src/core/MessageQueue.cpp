#include "core/MessageQueue.h"

#include <chrono>
#include <utility>

bool TMessageQueue::Post(TThreadMessage message) {
  {
    std::lock_guard guard(FMutex);
    if (FClosed) return false;
    FMessages.push_back(std::move(message));
  }
  FArrived.notify_one();
  return true;
}

bool TMessageQueue::Get(TThreadMessage& message, uint32_t timeoutMs) {
  std::unique_lock lock(FMutex);
  auto ready = [this] { return !FMessages.empty(); };
  if (timeoutMs == INFINITE_WAIT)
    FArrived.wait(lock, ready);
  else if (!FArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
    return false;
  message = std::move(FMessages.front());
  FMessages.pop_front();
  return true;
}

std::deque<TThreadMessage> TMessageQueue::Close() {
  std::lock_guard guard(FMutex);
  FClosed = true;
  return std::exchange(FMessages, {});
}
