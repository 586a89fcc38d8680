#pragma once

#include "core/MessageThread.h"
#include "core/SyncEvent.h"
#include "twain/Callback.h"
#include "twain/Request.h"
#include "twain/Session.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// The TWAIN worker thread: the only thread that calls the Data Source
// Manager (the selection dialog aside). It takes requests from its queue,
// performs them, and tells the event thread about failures, state changes and
// what the source announces.
//
// Request protocol: callers are serialised (one request in flight). The
// caller resets DoneEvent and posts the request; the worker answers into the
// request, marks it done and sets DoneEvent, and takes the next request at
// once. A signal left over from a request its caller gave up on is told
// apart by the request's own phase.
// The worker's way to the event thread: cut when the event thread goes, so
// that a worker abandoned inside a hanging source posts into nothing.
class TEventLink {
public:
  explicit TEventLink(TMessageThread& target) : FTarget(&target) {}
  void Post(uint32_t message, int64_t wParam = 0, int64_t lParam = 0,
            std::shared_ptr<void> data = {});
  void Cut();

private:
  std::mutex FLock;
  TMessageThread* FTarget;
};

class TAcqTWAINQueue : public TMessageThread, private TSourceMessageTarget {
public:
  TAcqTWAINQueue(std::shared_ptr<TTwnSession> session, std::shared_ptr<TEventLink> events);
  ~TAcqTWAINQueue() override;

  TSyncEvent DoneEvent;

protected:
  void Execute() override;

private:
  void SourceMessage(uint16_t msg) override;
  void HandleRequest(TTwnRequest& request);
  void CloseLeftOpen();
  void HandleSourceMessage(uint16_t msg);

  uint16_t OpenDSM();
  TTwnMemory ManagerMemory();
  uint16_t CloseDSM();
  uint16_t OpenDS();
  uint16_t CloseDS();
  uint16_t EnableDS(TTwnRequest& request);
  uint16_t DisableDS();
  uint16_t Triplet(TTwnRequest& request);

  // Every call of the manager: guards against exceptions, classifies the
  // return code, asks for the condition code and reports failures.
  uint16_t Call(bool toSource, uint32_t DG, uint16_t DAT, uint16_t MSG, void* data);
  void DSMBroken();
  void UnloadDSM();
  void ReportState(int state);

  const std::shared_ptr<TTwnSession> FSessionOwner;
  TTwnSession& FSession;
  const std::shared_ptr<TEventLink> FEvents;
  // The identities as the manager sees them during one request.
  TW_IDENTITY FApp{};
  TW_IDENTITY FSource{};
  void* FParent = nullptr;
};
