#include "core/WritePoint.h"

#include <atomic>

namespace {

std::atomic<TWritePointObserver> observer{nullptr};

} // namespace

TWritePointObserver SetWritePointObserver(TWritePointObserver next) {
  return observer.exchange(next);
}

int PassWritePoint() {
  TWritePointObserver current = observer.load();
  return current == nullptr ? 0 : current();
}
