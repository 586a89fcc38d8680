#pragma once

#include "tessivane/twain.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// One request to the worker thread. It is shared between the caller and the
// worker, so a caller that gives up (time-out) leaves nothing dangling: the
// worker works on the request's own copy of the triplet's record, and what a
// late answer brings is released when the last holder lets go.
struct TTwnRequest {
  enum TPhase : int { Queued, Started, Done, Abandoned };

  uint32_t Message = 0;
  int64_t WParam = 0;

  // A generic triplet: the destination is the source or nobody.
  uint32_t DG = 0;
  uint16_t DAT = 0;
  uint16_t MSG = 0;
  bool ToSource = false;
  std::vector<uint8_t> Data;

  uint16_t Result = 1; // TWRC_FAILURE until answered
  TW_BOOL ShowUI = 0;
  TW_BOOL ModalUI = 0;
  std::atomic<int> Phase{Queued};

  // Runs when the request goes, always (resources the triplet borrowed).
  std::function<void()> Cleanup;
  // Runs when the request goes if the worker answered but the caller never
  // took the answer (what the reply brought: a container, a page).
  std::function<void(std::vector<uint8_t>& data)> ReleaseUntaken;
  bool Taken = false;

  TTwnRequest() = default;
  TTwnRequest(const TTwnRequest&) = delete;
  TTwnRequest& operator=(const TTwnRequest&) = delete;
  ~TTwnRequest() {
    if (!Taken && Phase.load() == Done && ReleaseUntaken) ReleaseUntaken(Data);
    if (Cleanup) Cleanup();
  }
};
