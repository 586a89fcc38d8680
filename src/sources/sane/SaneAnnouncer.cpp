#include "SaneAnnouncer.h"

#include <condition_variable>
#include <deque>
#include <mutex>

struct TSaneAnnouncer::TQueue {
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<TW_UINT16> Messages;
  bool Stopping = false;
  DSMENTRYPROC Manager = nullptr;
  TW_IDENTITY Source{};
  TW_IDENTITY App{};
};

TSaneAnnouncer::TSaneAnnouncer(DSMENTRYPROC manager, const TW_IDENTITY& source,
                               const TW_IDENTITY& app)
    : FQueue(std::make_shared<TQueue>()) {
  FQueue->Manager = manager;
  FQueue->Source = source;
  FQueue->App = app;
  // The thread holds the queue, never the source.
  FThread = std::thread([queue = FQueue] {
    std::unique_lock lock(queue->Lock);
    for (;;) {
      queue->Changed.wait(lock, [&] { return queue->Stopping || !queue->Messages.empty(); });
      if (queue->Stopping) return;
      const TW_UINT16 msg = queue->Messages.front();
      queue->Messages.pop_front();
      lock.unlock();
      if (queue->Manager != nullptr)
        queue->Manager(&queue->Source, &queue->App, DG_CONTROL, DAT_NULL, msg, nullptr);
      lock.lock();
    }
  });
}

TSaneAnnouncer::~TSaneAnnouncer() {
  {
    std::lock_guard guard(FQueue->Lock);
    FQueue->Stopping = true;
    FQueue->Messages.clear();
  }
  FQueue->Changed.notify_all();
  if (FThread.get_id() == std::this_thread::get_id())
    FThread.detach(); // the source is closed from its own announcement's callback
  else
    FThread.join();
}

void TSaneAnnouncer::Clear() {
  std::lock_guard guard(FQueue->Lock);
  FQueue->Messages.clear();
}

void TSaneAnnouncer::Post(TW_UINT16 MSG) {
  {
    std::lock_guard guard(FQueue->Lock);
    FQueue->Messages.push_back(MSG);
  }
  FQueue->Changed.notify_all();
}
