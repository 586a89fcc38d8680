#pragma once

#include "tessivane/twain.h"

#include <cstdint>

// Receives what sources announce through the manager's callback.
class TSourceMessageTarget {
public:
  virtual ~TSourceMessageTarget() = default;
  // Called on whatever thread the source uses; must only queue the message.
  virtual void SourceMessage(uint16_t msg) = 0;
};

// The application callback registered with DAT_CALLBACK. The manager calls
// it with the application's identity as destination; the message goes to the
// target registered for that identity's Id.
TW_UINT16 TwainCallback(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT,
                        TW_UINT16 MSG, TW_MEMREF pData);

void RegisterSourceMessageTarget(TW_UINT32 appId, TSourceMessageTarget* target);
// After this returns, the target is not called any more.
void UnregisterSourceMessageTarget(TSourceMessageTarget* target);
