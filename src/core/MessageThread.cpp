#include "core/MessageThread.h"

TMessageThread::~TMessageThread() {
  if (FThread.joinable()) {
    PostQuit();
    FThread.join();
  }
}

void TMessageThread::Start() {
  FThread = std::thread([this] {
    Execute();
    FQueue.Close();
    FFinished.SetEvent();
  });
}

bool TMessageThread::PostMessage(uint32_t message, int64_t wParam, int64_t lParam,
                                 std::shared_ptr<void> data) {
  return FQueue.Post(TThreadMessage{message, wParam, lParam, std::move(data)});
}

bool TMessageThread::WaitFor(uint32_t timeoutMs) {
  if (!FThread.joinable()) return true;
  if (!FFinished.WaitFor(timeoutMs)) return false;
  FThread.join();
  return true;
}
