#include "twain/Queue.h"

#include "twain/Messages.h"
#include "twain/Types.h"

#include <cstring>
#include <exception>
#include <memory>

void TEventLink::Post(uint32_t message, int64_t wParam, int64_t lParam,
                      std::shared_ptr<void> data) {
  std::lock_guard guard(FLock);
  if (FTarget != nullptr) FTarget->PostMessage(message, wParam, lParam, std::move(data));
}

void TEventLink::Cut() {
  std::lock_guard guard(FLock);
  FTarget = nullptr;
}

TAcqTWAINQueue::TAcqTWAINQueue(std::shared_ptr<TTwnSession> session,
                               std::shared_ptr<TEventLink> events)
    : FSessionOwner(std::move(session)), FSession(*FSessionOwner), FEvents(std::move(events)) {}

TAcqTWAINQueue::~TAcqTWAINQueue() {
  UnregisterSourceMessageTarget(this);
  PostQuit();
  WaitFor();
}

void TAcqTWAINQueue::Execute() {
  TThreadMessage message;
  while (Queue().Get(message)) {
    if (message.Message == WM_QUIT) break;
    try {
      if (message.Message == TWM_SOURCEMESSAGE)
        HandleSourceMessage(static_cast<uint16_t>(message.WParam));
      else if (message.Data != nullptr)
        HandleRequest(*std::static_pointer_cast<TTwnRequest>(message.Data));
    } catch (const std::exception&) {
      // A failure inside one request must not end the worker.
    }
  }
  // A worker let go while a source hung closes, once the source returned,
  // what it left open, so that the manager and the source are free again.
  if (FSession.ShuttingDown) CloseLeftOpen();
  // Requests that will never run are answered as unanswered.
  for (TThreadMessage& left : Queue().Close()) {
    if (left.Data == nullptr || left.Message == TWM_SOURCEMESSAGE) continue;
    auto request = std::static_pointer_cast<TTwnRequest>(left.Data);
    int queued = TTwnRequest::Queued;
    if (request->Phase.compare_exchange_strong(queued, TTwnRequest::Started)) {
      request->Result = TWRC_NOANSWER;
      request->Phase = TTwnRequest::Done;
    }
  }
  DoneEvent.SetEvent();
}

void TAcqTWAINQueue::CloseLeftOpen() {
  try {
    if (FSession.SourceEnabled) {
      // From state 7 or 6 back to 5, whichever the source is in.
      TW_PENDINGXFERS pending{};
      if (Call(true, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS ||
          pending.Count != 0) {
        pending = {};
        Call(true, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
      }
      DisableDS();
    }
    if (FSession.SourceOpen) CloseDS();
    if (FSession.DSMOpen) CloseDSM();
  } catch (const std::exception&) {
    // Nothing more can be done for a session nobody waits for.
  }
}

void TAcqTWAINQueue::SourceMessage(uint16_t msg) {
  PostMessage(TWM_SOURCEMESSAGE, msg);
}

void TAcqTWAINQueue::HandleSourceMessage(uint16_t msg) {
  if (!FSession.SourceOpen) return;
  switch (msg) {
  case MSG_XFERREADY:
    FEvents->Post(TWM_XFERREADY);
    break;
  case MSG_CLOSEDSREQ:
  case MSG_CLOSEDSOK:
    FEvents->Post(TWM_CLOSEREQUEST);
    break;
  case MSG_DEVICEEVENT:
    FEvents->Post(TWM_DEVICEEVENT);
    break;
  default:
    break;
  }
}

void TAcqTWAINQueue::HandleRequest(TTwnRequest& request) {
  int queued = TTwnRequest::Queued;
  if (!request.Phase.compare_exchange_strong(queued, TTwnRequest::Started))
    return; // the caller gave up
  FApp = FSession.App();
  FSource = FSession.Source();

  uint16_t result = TWRC_FAILURE;
  switch (request.Message) {
  case TWM_OPENDSM:
    result = OpenDSM();
    break;
  case TWM_CLOSEDSM:
    result = CloseDSM();
    break;
  case TWM_OPENDS:
    result = OpenDS();
    break;
  case TWM_CLOSEDS:
    result = CloseDS();
    break;
  case TWM_ENABLEDS:
    result = EnableDS(request);
    break;
  case TWM_DISABLEDS:
    result = DisableDS();
    break;
  case TWM_TRIPLET:
    result = Triplet(request);
    break;
  case TWM_PING:
    result = TWRC_SUCCESS;
    break;
  default:
    break;
  }

  request.Result = result;
  request.Phase = TTwnRequest::Done;
  DoneEvent.SetEvent();
}

uint16_t TAcqTWAINQueue::OpenDSM() {
  if (FSession.DSMOpen) return TWRC_SUCCESS;
  if (!FSession.Library.Load(DSMPath())) return TWRC_FAILURE;
  ReportState(2);
  FApp.Id = 0; // the manager assigns it
  const uint16_t result = Call(false, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &FParent);
  if (result == TWRC_SUCCESS) {
    FSession.SetApp(FApp);
    FSession.DSMOpen = true;
    RegisterSourceMessageTarget(FApp.Id, this);
    FSession.SetMemory(ManagerMemory());
    ReportState(3);
  } else if (result != TWRC_DSMEXCEPTION) {
    UnloadDSM();
  }
  return result;
}

uint16_t TAcqTWAINQueue::CloseDSM() {
  if (!FSession.DSMOpen || FSession.SourceOpen) return TWRC_FAILURE;
  const uint16_t result = Call(false, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &FParent);
  if (result == TWRC_SUCCESS) {
    FSession.DSMOpen = false;
    ReportState(2);
    UnloadDSM();
  }
  return result;
}

TTwnMemory TAcqTWAINQueue::ManagerMemory() {
  // A manager that announces DF_DSM2 hands out its memory functions; one that
  // does not leaves the engine with its own.
  if ((FApp.SupportedGroups & DF_DSM2) == 0) return {};
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  if (Call(false, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry) != TWRC_SUCCESS) return {};
  return TTwnMemory::FromEntryPoint(entry);
}

void TAcqTWAINQueue::UnloadDSM() {
  UnregisterSourceMessageTarget(this);
  FSession.SetMemory({});
  FSession.Library.Unload();
  {
    std::lock_guard guard(FSession.IdentityLock);
    FSession.SourceIdentity.Id = 0;
  }
  ReportState(1);
}

uint16_t TAcqTWAINQueue::OpenDS() {
  if (!FSession.DSMOpen || FSession.SourceOpen) return TWRC_FAILURE;
  TW_IDENTITY source = FSource;
  const uint16_t result = Call(false, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
  if (result != TWRC_SUCCESS) return result;
  FSource = source;
  FSession.SetSource(source);
  FSession.SourceProtocol = source.ProtocolMajor * 10 + source.ProtocolMinor;
  FSession.SourceOpen = true;
  ReportState(4);

  // Sources announce transfers and close requests through this callback.
  TW_CALLBACK callback{};
  callback.CallBackProc = reinterpret_cast<TW_MEMREF>(&TwainCallback);
  callback.RefCon = FApp.Id;
  const uint16_t registered =
      Call(true, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback);
  if (registered != TWRC_SUCCESS) {
    // Without the callback the source could never deliver a page.
    if (registered != TWRC_DSMEXCEPTION) CloseDS();
    return registered;
  }
  return TWRC_SUCCESS;
}

uint16_t TAcqTWAINQueue::CloseDS() {
  if (!FSession.SourceOpen || FSession.SourceEnabled) return TWRC_FAILURE;
  TW_IDENTITY source = FSource;
  const uint16_t result = Call(false, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
  if (result == TWRC_SUCCESS) {
    FSession.SourceOpen = false;
    {
      std::lock_guard guard(FSession.IdentityLock);
      FSession.SourceIdentity.Id = 0;
      std::memset(FSession.SourceIdentity.ProductName, 0,
                  sizeof FSession.SourceIdentity.ProductName);
    }
    ReportState(3);
    FEvents->Post(TWM_SOURCECLOSED);
  }
  return result;
}

uint16_t TAcqTWAINQueue::EnableDS(TTwnRequest& request) {
  if (!FSession.SourceOpen || FSession.SourceEnabled) return TWRC_FAILURE;
  TW_USERINTERFACE ui{};
  ui.ShowUI = request.WParam != 0 ? 1 : 0;
  ui.ModalUI = 0;
  ui.hParent = FParent;
  const uint16_t result = Call(true, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  request.ShowUI = ui.ShowUI;
  request.ModalUI = ui.ModalUI;
  if (result == TWRC_SUCCESS || result == TWRC_CHECKSTATUS) {
    FSession.SourceEnabled = true;
    ReportState(5);
  }
  return result;
}

uint16_t TAcqTWAINQueue::DisableDS() {
  if (!FSession.SourceEnabled) return TWRC_FAILURE;
  TW_USERINTERFACE ui{};
  ui.hParent = FParent;
  const uint16_t result = Call(true, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  if (result == TWRC_SUCCESS) {
    FSession.SourceEnabled = false;
    ReportState(4);
  }
  return result;
}

uint16_t TAcqTWAINQueue::Triplet(TTwnRequest& request) {
  const bool toSource =
      request.ToSource && request.DAT != DAT_IDENTITY && request.DAT != DAT_PARENT;
  return Call(toSource, request.DG, request.DAT, request.MSG,
              request.Data.empty() ? nullptr : request.Data.data());
}

uint16_t TAcqTWAINQueue::Call(bool toSource, uint32_t DG, uint16_t DAT, uint16_t MSG, void* data) {
  TW_IDENTITY* destination = toSource ? &FSource : nullptr;
  uint16_t result = TWRC_FAILURE;
  const DSMENTRYPROC entry = FSession.Library.Entry();
  if (entry != nullptr) {
    try {
      result = entry(&FApp, destination, DG, DAT, MSG, data);
    } catch (...) {
      result = TWRC_DSMEXCEPTION;
    }
  }

  uint16_t condition = TWCC_SUCCESS;
  if (result == TWRC_SUCCESS || (result >= TWRC_CANCEL && result <= TWRC_ENDOFLIST)) {
    condition = TWCC_SUCCESS;
  } else if (result == TWRC_DSMEXCEPTION) {
    if (DAT != DAT_STATUS) DSMBroken();
    FEvents->Post(TWM_DSMFAULT);
    return result;
  } else {
    condition = TWCC_BUMMER;
    TW_STATUS status{};
    try {
      if (entry != nullptr &&
          entry(&FApp, destination, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS)
        condition = status.ConditionCode;
    } catch (...) {
      // The follow-up question must not turn one failure into two.
    }
  }

  if (condition != TWCC_SUCCESS && DAT != DAT_STATUS) {
    auto failure = std::make_shared<TTwnFailure>();
    failure->DG = DG;
    failure->DAT = DAT;
    failure->CAP =
        DAT == DAT_CAPABILITY && data != nullptr ? static_cast<TW_CAPABILITY*>(data)->Cap : 0;
    failure->MSG = MSG;
    failure->Error = result;
    failure->Status = condition;
    {
      std::lock_guard guard(FSession.FailureLock);
      FSession.LastFailure = *failure;
    }
    FEvents->Post(TWM_FAILURE, 0, 0, failure);
  }
  return result;
}

void TAcqTWAINQueue::DSMBroken() {
  FSession.SourceEnabled = false;
  FSession.SourceOpen = false;
  FSession.DSMOpen = false;
  UnregisterSourceMessageTarget(this);
  FSession.SetMemory({});
  FSession.Library.Unload();
  std::lock_guard guard(FSession.IdentityLock);
  FSession.SourceIdentity.Id = 0;
}

void TAcqTWAINQueue::ReportState(int state) {
  FEvents->Post(TWM_STATE, 0, state);
}
