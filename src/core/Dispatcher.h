#pragma once

#include <functional>

// Runs work on the user-interface thread for threads that must not touch the
// interface themselves. The TWAIN engine raises every event through it.
class TUIDispatcher {
public:
  virtual ~TUIDispatcher() = default;

  virtual bool IsUIThread() const = 0;

  // Runs call on the user-interface thread and returns once it has run; also
  // while that thread sits in a nested loop (a modal dialog). Called on the
  // user-interface thread itself, it runs call at once. An exception thrown
  // by call is raised again in the calling thread.
  virtual void Synchronize(const std::function<void()>& call) = 0;

  // Called on the user-interface thread between the short slices of a wait
  // for the TWAIN worker: keep the windows painted, but run no queued calls
  // and take no input. Calls synchronised meanwhile wait until the engine's
  // call has returned: run inside the wait, a handler that calls the engine
  // would take the request lock the waiting call holds. So an event
  // handler never runs nested inside an engine call of the same thread; it
  // runs from the event loop, a modal dialog's loop included, and may call
  // the engine itself.
  virtual void KeepResponsive() = 0;

  // Called on the user-interface thread while it waits for a thread that may
  // itself be waiting in Synchronize: runs the calls queued so far.
  virtual void ProcessSynchronized() = 0;
};
