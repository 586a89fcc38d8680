#pragma once

#include "core/Dispatcher.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

// The dispatcher of the application: the thread that creates it (the Qt
// user-interface thread) runs the calls other threads synchronise, from its
// event loop, also from the nested loop of a modal dialog.
//
// While the user-interface thread waits inside the TWAIN engine
// (KeepResponsive between the slices of a wait), the windows are painted and
// timers run, but no synchronised call runs and no input is taken: a handler
// run there could call the engine again and take the request lock the
// waiting call holds. Such calls wait until the engine's call has returned
// and the event loop takes them up.
class TQtDispatcher : public QObject, public TUIDispatcher {
  Q_OBJECT
public:
  explicit TQtDispatcher(QObject* parent = nullptr);
  ~TQtDispatcher() override;

  bool IsUIThread() const override;
  void Synchronize(const std::function<void()>& call) override;
  void KeepResponsive() override;
  void ProcessSynchronized() override;

protected:
  bool event(QEvent* event) override;

private:
  struct TCall {
    std::function<void()> Call;
    std::exception_ptr Error;
    bool Done = false;
  };
  void Wake();
  void RunQueued();

  std::mutex FLock;
  std::condition_variable FDone;
  std::deque<std::shared_ptr<TCall>> FQueue;
  // User-interface thread only.
  int FEngineWaits = 0;
  bool FDeferred = false;
};
