#include "workflow/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TQtDispatcher::TQtDispatcher(QObject* parent) : QObject(parent) {}

TQtDispatcher::~TQtDispatcher() {
  // Whoever still waits is let go; its call will not run.
  std::lock_guard guard(FLock);
  for (const std::shared_ptr<TCall>& call : FQueue) call->Done = true;
  FQueue.clear();
  FDone.notify_all();
}

bool TQtDispatcher::IsUIThread() const {
  return QThread::currentThread() == thread();
}

void TQtDispatcher::Synchronize(const std::function<void()>& call) {
  if (IsUIThread()) {
    call();
    return;
  }
  auto queued = std::make_shared<TCall>();
  queued->Call = call;
  std::unique_lock lock(FLock);
  FQueue.push_back(queued);
  Wake();
  FDone.wait(lock, [&] { return queued->Done; });
  if (queued->Error) std::rethrow_exception(queued->Error);
}

void TQtDispatcher::Wake() {
  QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
}

void TQtDispatcher::KeepResponsive() {
  ++FEngineWaits;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  --FEngineWaits;
  // Calls that came meanwhile are taken up once the wait is over.
  if (FEngineWaits == 0 && FDeferred) {
    FDeferred = false;
    Wake();
  }
}

void TQtDispatcher::ProcessSynchronized() {
  RunQueued();
}

bool TQtDispatcher::event(QEvent* event) {
  if (event->type() != kWakeEvent) return QObject::event(event);
  if (FEngineWaits > 0)
    FDeferred = true;
  else
    RunQueued();
  return true;
}

void TQtDispatcher::RunQueued() {
  for (;;) {
    std::shared_ptr<TCall> next;
    {
      std::lock_guard guard(FLock);
      if (FQueue.empty()) return;
      next = FQueue.front();
      FQueue.pop_front();
    }
    try {
      next->Call();
    } catch (...) {
      next->Error = std::current_exception();
    }
    {
      std::lock_guard guard(FLock);
      next->Done = true;
    }
    FDone.notify_all();
  }
}
