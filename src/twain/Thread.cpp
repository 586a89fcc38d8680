#include "twain/Thread.h"

#include "twain/Messages.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
constexpr uint32_t kSlice = 20;
constexpr uint32_t kStartupWait = 10000;
constexpr uint32_t kShutdownTimeout = 50;
// How long the component's end waits for a source that does not answer.
constexpr uint32_t kAbandonAfter = 2000;
} // namespace

TAcqTWAINThread::TAcqTWAINThread(std::shared_ptr<TTwnSession> session, TUIDispatcher& dispatcher)
    : FSessionOwner(std::move(session)), FSession(*FSessionOwner), FDispatcher(dispatcher) {
  {
    std::lock_guard guard(FRequestLock);
    StartWorker();
  }
  Start();
}

TAcqTWAINThread::~TAcqTWAINThread() {
  Stop();
  FLink->Cut();
}

void TAcqTWAINThread::ReleaseWorker(std::shared_ptr<TAcqTWAINQueue> worker) {
  if (!worker) return;
  worker->PostQuit();
  if (worker->WaitFor(kAbandonAfter)) return; // ended: destroyed here
  // Kept for the rest of the process, never freed, its thread let go.
  worker->Detach();
  static auto* abandoned = new std::vector<std::shared_ptr<TAcqTWAINQueue>>;
  static std::mutex lock;
  std::lock_guard guard(lock);
  abandoned->push_back(std::move(worker));
}

void TAcqTWAINThread::StartWorker() {
  auto worker = std::make_shared<TAcqTWAINQueue>(FSessionOwner, FLink);
  worker->Start();
  {
    std::lock_guard guard(FWorkerLock);
    FWorker = worker;
  }
  auto ping = std::make_shared<TTwnRequest>();
  ping->Message = TWM_PING;
  worker->DoneEvent.ResetEvent();
  worker->PostMessage(TWM_PING, 0, 0, ping);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartupWait);
  while (ping->Phase != TTwnRequest::Done && std::chrono::steady_clock::now() < deadline)
    worker->DoneEvent.WaitFor(kSlice);
}

std::shared_ptr<TAcqTWAINQueue> TAcqTWAINThread::Worker() {
  std::lock_guard guard(FWorkerLock);
  return FWorker;
}

void TAcqTWAINThread::Stop() {
  if (Finished()) {
    WaitFor();
    return;
  }
  PostMessage(TWM_DETACH);
  BeginShutdown();
  PostQuit();
  // The thread may be waiting for a handler to run on this thread.
  if (FDispatcher.IsUIThread())
    while (!FEnded.WaitFor(10)) FDispatcher.ProcessSynchronized();
  WaitFor();
}

uint16_t TAcqTWAINThread::Connect(uint32_t message, TTimeout timeout, int64_t wParam,
                                  TW_BOOL* showUI, TW_BOOL* modalUI) {
  auto request = std::make_shared<TTwnRequest>();
  request->Message = message;
  request->WParam = wParam;
  const uint16_t result = Submit(request, timeout, false);
  if (request->Taken) {
    if (showUI != nullptr) *showUI = request->ShowUI;
    if (modalUI != nullptr) *modalUI = request->ModalUI;
  }
  return result;
}

uint16_t TAcqTWAINThread::Triplet(uint32_t DG, uint16_t DAT, uint16_t MSG, void* data, size_t size,
                                  bool toSource, TTripletOptions options) {
  auto request = std::make_shared<TTwnRequest>();
  request->Message = TWM_TRIPLET;
  request->DG = DG;
  request->DAT = DAT;
  request->MSG = MSG;
  request->ToSource = toSource;
  if (data != nullptr && size > 0)
    request->Data.assign(static_cast<const uint8_t*>(data),
                         static_cast<const uint8_t*>(data) + size);
  request->Cleanup = std::move(options.Cleanup);
  request->ReleaseUntaken = std::move(options.ReleaseUntaken);
  const uint16_t result = Submit(request, options.Timeout, true);
  if (request->Taken && data != nullptr && size > 0) std::memcpy(data, request->Data.data(), size);
  // Give the source's own threads a moment after each call, more after a failure.
  std::this_thread::yield();
  if (result != TWRC_SUCCESS) std::this_thread::yield();
  return result;
}

uint16_t TAcqTWAINThread::Submit(const std::shared_ptr<TTwnRequest>& request, TTimeout requested,
                                 bool isTriplet) {
  const uint32_t timeout = requested.value_or(FSession.Timeout);
  std::lock_guard requestGuard(FRequestLock);
  std::shared_ptr<TAcqTWAINQueue> worker = Worker();
  if (!worker) return TWRC_FAILURE;

  worker->DoneEvent.ResetEvent();
  if (!worker->PostMessage(request->Message, 0, 0, request)) return TWRC_NOANSWER;

  const bool onUIThread = FDispatcher.IsUIThread();
  auto waitSlice = [&](uint32_t ms) {
    const bool set = worker->DoneEvent.WaitFor(ms);
    if (onUIThread) FDispatcher.KeepResponsive();
    return set;
  };

  // A triplet waits for the worker to take it up for as many slices as the
  // retry limit allows; a busy worker then fails it without running it.
  if (isTriplet) {
    const uint32_t limit = FSession.RetryLimit;
    for (uint32_t i = 0; i < limit && request->Phase == TTwnRequest::Queued; ++i) waitSlice(kSlice);
  }

  const auto start = std::chrono::steady_clock::now();
  while (request->Phase != TTwnRequest::Done) {
    uint32_t slice = kSlice;
    if (timeout != INFINITE_WAIT) {
      const auto elapsed =
          static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
      if (elapsed >= timeout) break;
      slice = std::min(kSlice, timeout - elapsed);
    }
    // While the component goes, a request not yet taken up is given up at
    // once and one stuck in the source after a few seconds.
    if (FSession.ShuttingDown &&
        (request->Phase == TTwnRequest::Queued || FSession.ShutdownExpired(kAbandonAfter)))
      break;
    // A stale signal from an earlier, abandoned request is cleared.
    if (waitSlice(slice) && request->Phase != TTwnRequest::Done) worker->DoneEvent.ResetEvent();
  }

  uint16_t result;
  if (request->Phase == TTwnRequest::Done) {
    result = request->Result;
    request->Taken = true;
  } else {
    // A request the worker never started is withdrawn; one it started is
    // left to finish, and what it brings is released with the request.
    int queued = TTwnRequest::Queued;
    request->Phase.compare_exchange_strong(queued, TTwnRequest::Abandoned);
    result = TWRC_NOANSWER;
  }
  return result;
}

void TAcqTWAINThread::Execute() {
  TThreadMessage message;
  while (Queue().Get(message)) {
    if (message.Message == WM_QUIT) break;
    try {
      Dispatch(message);
    } catch (...) {
      // A failing handler must not end the event thread.
    }
  }
  try {
    ExitShutdown();
  } catch (...) {
    // Nothing more can be done while going.
  }
  FEnded.SetEvent();
}

void TAcqTWAINThread::Dispatch(const TThreadMessage& message) {
  TTwnEventSink* sink = Sink();
  switch (message.Message) {
  case TWM_NEXTXFER:
    TransferOne();
    break;
  case TWM_DETACH:
    FSink = nullptr;
    break;
  case TWM_CLOSEREQUEST:
    CloseRequest();
    break;
  case TWM_SOURCECLOSED:
    if (sink) sink->RaiseEnableMenus(this);
    break;
  case TWM_DEVICEEVENT:
    if (sink) sink->HandleDeviceEvent();
    break;
  case TWM_FAILURE:
    if (sink && message.Data)
      sink->RaiseFailure(this, *std::static_pointer_cast<TTwnFailure>(message.Data));
    break;
  case TWM_STATE:
    FSession.State = static_cast<int>(message.LParam);
    break;
  case TWM_XFERREADY:
    XferReady();
    break;
  case TWM_DSMFAULT:
    ReplaceWorker();
    break;
  default:
    break;
  }
}

void TAcqTWAINThread::ReplaceWorker() {
  {
    std::lock_guard requestGuard(FRequestLock);
    std::shared_ptr<TAcqTWAINQueue> old;
    {
      std::lock_guard guard(FWorkerLock);
      old = std::move(FWorker);
    }
    ReleaseWorker(std::move(old));
    FSession.State = 1;
    StartWorker();
  }
  if (TTwnEventSink* sink = Sink()) sink->RaiseEnableMenus(this);
}

void TAcqTWAINThread::BeginShutdown() {
  FSession.Timeout = kShutdownTimeout;
  FSession.RetryLimit = 1;
  FSession.BeginShutdown();
  if (auto worker = Worker()) worker->DoneEvent.SetEvent();
}

void TAcqTWAINThread::ExitShutdown() {
  BeginShutdown();
  if (FSession.SourceOpen) {
    TW_PENDINGXFERS pending{};
    if (Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending, sizeof pending, true) ==
            TWRC_SUCCESS &&
        pending.Count != 0) {
      pending = {};
      Triplet(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, sizeof pending, true);
    }
  }
  ShutdownConnection();
  std::shared_ptr<TAcqTWAINQueue> worker;
  {
    std::lock_guard guard(FWorkerLock);
    worker = std::move(FWorker);
  }
  ReleaseWorker(std::move(worker));
}
