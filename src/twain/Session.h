#pragma once

#include "tessivane/twain.h"
#include "twain/DSMLibrary.h"
#include "twain/Memory.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

constexpr uint32_t kDefaultTimeout = 60000;
constexpr uint32_t kDefaultRetryLimit = 1000;

// A failed triplet, as OnFailure reports it.
struct TTwnFailure {
  uint32_t DG = 0;
  uint16_t DAT = 0;
  uint16_t CAP = 0; // the capability for DAT_CAPABILITY with data, else 0
  uint16_t MSG = 0;
  uint16_t Error = 0;  // return code
  uint16_t Status = 0; // condition code
};

// What the component, the event thread and the worker share about the one
// session with the manager. Connection flags and the state are written by the
// worker (and the event thread for transfer states) and read anywhere;
// identities are read and written under IdentityLock. The library belongs
// to the worker thread.
struct TTwnSession {
  mutable std::mutex IdentityLock;
  TW_IDENTITY AppIdentity{};
  TW_IDENTITY SourceIdentity{};

  std::atomic<bool> DSMOpen{false};
  std::atomic<bool> SourceOpen{false};
  std::atomic<bool> SourceEnabled{false};
  std::atomic<int> State{1};
  std::atomic<int> SourceProtocol{0};

  std::atomic<uint32_t> Timeout{kDefaultTimeout};
  std::atomic<uint32_t> RetryLimit{kDefaultRetryLimit};
  std::atomic<bool> ShuttingDown{false};
  // When the shutdown began, in steady-clock milliseconds.
  std::atomic<int64_t> ShutdownSince{0};
  void BeginShutdown() {
    int64_t unset = 0;
    ShutdownSince.compare_exchange_strong(unset, NowMs());
    ShuttingDown = true;
  }
  bool ShutdownExpired(uint32_t afterMs) const {
    return ShuttingDown && NowMs() - ShutdownSince >= static_cast<int64_t>(afterMs);
  }
  static int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  TDSMLibrary Library;

  // The memory functions of the open manager (the registry without one);
  // set by the worker after MSG_OPENDSM and reset before the library goes.
  TTwnMemory Memory() const {
    std::lock_guard guard(MemoryLock);
    return FMemory;
  }
  void SetMemory(const TTwnMemory& memory) {
    std::lock_guard guard(MemoryLock);
    FMemory = memory;
  }

  mutable std::mutex FailureLock;
  TTwnFailure LastFailure;

  mutable std::mutex MemoryLock;
  TTwnMemory FMemory;

  TW_IDENTITY App() const {
    std::lock_guard guard(IdentityLock);
    return AppIdentity;
  }
  TW_IDENTITY Source() const {
    std::lock_guard guard(IdentityLock);
    return SourceIdentity;
  }
  void SetApp(const TW_IDENTITY& identity) {
    std::lock_guard guard(IdentityLock);
    AppIdentity = identity;
  }
  void SetSource(const TW_IDENTITY& identity) {
    std::lock_guard guard(IdentityLock);
    SourceIdentity = identity;
  }
};
