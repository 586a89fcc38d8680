#include "viewer/ReadGraphicThread.h"

#include "graphics/GraphicRegistry.h"

#include <QString>
#include <atomic>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool IsFile(const std::string& fileName) {
  struct stat status {};
  return ::stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The lowest priority Linux gives a thread: it runs only when nothing else wants the processor.
void LowestPriority() {
  sched_param parameter{};
  parameter.sched_priority = 0;
  pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameter);
}

} // namespace

uint64_t TReadAheadSlot::Request(const std::string& fileName) {
  std::lock_guard lock(FLock);
  FGraphic.reset();
  FFileName = fileName;
  return ++FLatest;
}

void TReadAheadSlot::Clear() {
  std::lock_guard lock(FLock);
  FGraphic.reset();
  FFileName.clear();
  ++FLatest;
}

void TReadAheadSlot::Publish(uint64_t request, std::unique_ptr<TDibGraphic> graphic) {
  std::lock_guard lock(FLock);
  if (request == FLatest) FGraphic = std::move(graphic);
}

bool TReadAheadSlot::Ready(const std::string& fileName) const {
  std::lock_guard lock(FLock);
  return FGraphic != nullptr && !fileName.empty() && SameName(fileName, FFileName);
}

std::unique_ptr<TDibGraphic> TReadAheadSlot::Take(const std::string& fileName) {
  std::lock_guard lock(FLock);
  if (FGraphic == nullptr || fileName.empty() || !SameName(fileName, FFileName)) return nullptr;
  FFileName.clear();
  ++FLatest;
  return std::move(FGraphic);
}

struct TReadGraphicThread::TState {
  std::atomic<bool> Finished{false};
};

TReadGraphicThread::TReadGraphicThread(std::shared_ptr<TReadAheadSlot> slot, uint64_t request,
                                       std::string fileName)
    : FState(std::make_shared<TState>()) {
  FThread = std::thread(
      [slot = std::move(slot), request, fileName = std::move(fileName), state = FState] {
        LowestPriority();
        try {
          if (IsFile(fileName) && FindGraphicFormat(FileExtension(fileName))) {
            std::unique_ptr<TDibGraphic> graphic = GraphicForFile(fileName);
            graphic->LoadFromFile(fileName);
            slot->Publish(request, std::move(graphic));
          }
        } catch (...) {
          // A file that cannot be read ahead is read when it is shown, and its error reported then.
        }
        state->Finished = true;
      });
}

TReadGraphicThread::~TReadGraphicThread() {
  if (FThread.joinable()) FThread.join();
}

bool TReadGraphicThread::Finished() const {
  return FState->Finished;
}

TReadAhead::TReadAhead() : FSlot(std::make_shared<TReadAheadSlot>()) {}

void TReadAhead::Start(const std::string& fileName) {
  std::erase_if(FThreads, [](const auto& thread) { return thread->Finished(); });
  const uint64_t request = FSlot->Request(fileName);
  FThreads.push_back(std::make_unique<TReadGraphicThread>(FSlot, request, fileName));
}
