#pragma once

#include "core/Dispatcher.h"
#include "core/MessageThread.h"
#include "twain/EventSink.h"
#include "twain/Queue.h"
#include "twain/Session.h"
#include "twain/Types.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A request's time-out in milliseconds (INFINITE_WAIT for none); without
// one, the time-out the session holds (60 000 ms unless changed).
using TTimeout = std::optional<uint32_t>;
inline constexpr std::nullopt_t kSessionTimeout = std::nullopt;

// What a triplet request may carry besides its record.
struct TTripletOptions {
  TTimeout Timeout = kSessionTimeout;
  // Resources the triplet borrows; freed when the request goes.
  std::function<void()> Cleanup;
  // Frees what a reply brought when the caller gave up before it came.
  std::function<void(std::vector<uint8_t>& data)> ReleaseUntaken;
};

// The TWAIN event thread. It owns the worker thread (and replaces it after a
// fault of the manager), receives the worker's notifications, runs the image
// transfers and raises the component's events through the sink. Its request
// methods are called from any thread and block until the worker answers or
// the time-out passes.
class TAcqTWAINThread : public TMessageThread, public TTwnObject {
public:
  TAcqTWAINThread(std::shared_ptr<TTwnSession> session, TUIDispatcher& dispatcher);
  ~TAcqTWAINThread() override;

  // Events go to the sink once it is set; Stop detaches it.
  void SetSink(TTwnEventSink* sink) { FSink = sink; }

  // One of the connection requests (TWM_OPENDSM ... TWM_DISABLEDS).
  uint16_t Connect(uint32_t message, TTimeout timeout, int64_t wParam = 0,
                   TW_BOOL* showUI = nullptr, TW_BOOL* modalUI = nullptr);
  // A triplet with the application as origin and the source (toSource) or
  // nobody as destination; `data` (size bytes) is copied to the worker and
  // back.
  uint16_t Triplet(uint32_t DG, uint16_t DAT, uint16_t MSG, void* data, size_t size, bool toSource,
                   TTripletOptions options = {});

  // Taken by the selection dialog, which calls the manager itself.
  std::mutex& SelectLock() { return FSelectLock; }
  std::atomic<TAcquireMode> Mode{TAcquireMode::Idle};

  // The component is going: detach its handlers, end the thread (which
  // resets pending transfers and shuts the connection down) and wait,
  // running synchronised calls meanwhile.
  void Stop();

protected:
  void Execute() override;

private:
  std::shared_ptr<TAcqTWAINQueue> Worker();
  uint16_t Submit(const std::shared_ptr<TTwnRequest>& request, TTimeout requested, bool isTriplet);
  void Dispatch(const TThreadMessage& message);
  void ReplaceWorker();
  // Ends a worker; one that does not end within a few seconds is stuck in a
  // source and is abandoned: left running, never destroyed, and with it the
  // session and the manager library it may still be executing.
  static void ReleaseWorker(std::shared_ptr<TAcqTWAINQueue> worker);
  void StartWorker();
  // Short time-outs, one try, and a worker waiting on the engine let go.
  void BeginShutdown();
  void ExitShutdown();
  TTwnEventSink* Sink() const { return FSink; }

  // Transfers.
  void XferReady();
  void TransferOne();
  void NextImageStep();
  void ShutdownConnection();
  void CloseRequest();
  void EndXfer();
  void NativeTransfer(const TTwnTransferSettings& settings);
  // Runs one raise of a handler; an exception from the handler is reported
  // through OnFailure (the transfer's DAT, TWCC_OPERATIONERROR) and the
  // answer is false.
  bool Contained(uint16_t DAT, const std::function<void()>& raise);
  void RaiseFailureContained(const TTwnFailure& failure);
  // A transfer that ended with nothing the application can use.
  void ReportTransferFailure(uint16_t DAT, uint16_t condition);
  void FileTransfer(const TTwnTransferSettings& settings);
  void MemoryTransfer(const TTwnTransferSettings& settings);
  void ShutDownIfDone(bool anyMode);
  void ImageReady(void* pBmp, TTwnBitmapInfo* pBmpInfo, TW_HANDLE hImage,
                  const std::string& filePath);
  bool ReadCurrent(uint16_t capability, double& value);

  const std::shared_ptr<TTwnSession> FSessionOwner;
  TTwnSession& FSession;
  TUIDispatcher& FDispatcher;
  const std::shared_ptr<TEventLink> FLink = std::make_shared<TEventLink>(*this);
  std::atomic<TTwnEventSink*> FSink{nullptr};
  std::mutex FSelectLock;
  std::mutex FRequestLock; // one request in flight at a time
  std::mutex FWorkerLock;
  std::shared_ptr<TAcqTWAINQueue> FWorker;
  TSyncEvent FEnded;

  // Images the source still holds, as MSG_ENDXFER last reported.
  int FPending = 0;
  // The DAT of the transfer under way, for failures of its handlers.
  uint16_t FTransferDAT = DAT_IMAGENATIVEXFER;
};
