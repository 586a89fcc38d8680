#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Wait without a limit.
constexpr uint32_t INFINITE_WAIT = 0xFFFFFFFF;

// A manual-reset event: once set it stays set, releasing every waiter, until
// it is reset.
class TSyncEvent {
public:
  explicit TSyncEvent(bool initiallySet = false) : FSet(initiallySet) {}
  TSyncEvent(const TSyncEvent&) = delete;
  TSyncEvent& operator=(const TSyncEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  bool IsSet() const;
  // True when the event is set within timeoutMs (INFINITE_WAIT: no limit).
  bool WaitFor(uint32_t timeoutMs) const;

private:
  mutable std::mutex FMutex;
  mutable std::condition_variable FChanged;
  bool FSet;
};
