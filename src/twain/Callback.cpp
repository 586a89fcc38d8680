#include "twain/Callback.h"

#include <map>
#include <mutex>

namespace {

struct TTargets {
  std::mutex Lock;
  std::map<TW_UINT32, TSourceMessageTarget*> ById;
};

TTargets& Targets() {
  static TTargets targets;
  return targets;
}

} // namespace

TW_UINT16 TwainCallback(pTW_IDENTITY, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT,
                        TW_UINT16 MSG, TW_MEMREF) {
  if (pDest == nullptr || DG != DG_CONTROL || DAT != DAT_NULL) return TWRC_FAILURE;
  TTargets& targets = Targets();
  std::lock_guard guard(targets.Lock);
  auto found = targets.ById.find(TW_UINT32{pDest->Id});
  if (found == targets.ById.end()) return TWRC_FAILURE;
  found->second->SourceMessage(MSG);
  return TWRC_SUCCESS;
}

void RegisterSourceMessageTarget(TW_UINT32 appId, TSourceMessageTarget* target) {
  TTargets& targets = Targets();
  std::lock_guard guard(targets.Lock);
  for (auto it = targets.ById.begin(); it != targets.ById.end();)
    it = it->second == target ? targets.ById.erase(it) : std::next(it);
  targets.ById[appId] = target;
}

void UnregisterSourceMessageTarget(TSourceMessageTarget* target) {
  TTargets& targets = Targets();
  std::lock_guard guard(targets.Lock);
  for (auto it = targets.ById.begin(); it != targets.ById.end();)
    it = it->second == target ? targets.ById.erase(it) : std::next(it);
}
