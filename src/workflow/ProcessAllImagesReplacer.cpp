#include "workflow/ProcessAllImagesReplacer.h"

#include "core/Exception.h"
#include "core/FileTargets.h"

#include <exception>
#include <set>
#include <vector>

TBatchReplacer::TBatchReplacer() : FThread([this] { Run(); }) {}

TBatchReplacer::~TBatchReplacer() {
  {
    std::lock_guard lock(FMutex);
    FStopping = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TBatchReplacer::Submit(int index, std::unique_ptr<TPreparedPage> page) {
  {
    std::lock_guard lock(FMutex);
    FWaiting.push_back({index, std::move(page)});
  }
  FChanged.notify_all();
}

std::optional<std::string> TBatchReplacer::Outcome(int index) {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [&] { return FDone.contains(index); });
  std::optional<std::string> outcome = std::move(FDone.at(index));
  FDone.erase(index);
  return outcome;
}

void TBatchReplacer::Run() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] { return FStopping || !FWaiting.empty(); });
    if (FWaiting.empty()) return;
    std::deque<TJob> turn;
    turn.swap(FWaiting);
    lock.unlock();
    std::vector<std::optional<std::string>> outcomes(turn.size());
    std::set<std::string> folders;
    for (size_t i = 0; i < turn.size(); ++i) {
      try {
        turn[i].Page->PutInPlace();
        folders.insert(FolderOf(turn[i].Page->TargetName()));
      } catch (const std::exception& error) {
        outcomes[i] = error.what();
      }
    }
    for (const std::string& folder : folders) {
      const int error = SyncFolder(folder);
      if (error == 0) continue;
      for (size_t i = 0; i < turn.size(); ++i)
        if (!outcomes[i] && FolderOf(turn[i].Page->TargetName()) == folder)
          outcomes[i] = EFCreateError(turn[i].Page->TargetName(), error).what();
    }
    // Releasing the old files (their locks, their space) before reporting:
    // a writer told the page is stored finds the file free.
    std::vector<int> indexes;
    for (TJob& job : turn) {
      indexes.push_back(job.Index);
      job.Page.reset();
    }
    lock.lock();
    for (size_t i = 0; i < turn.size(); ++i) FDone[indexes[i]] = std::move(outcomes[i]);
    FChanged.notify_all();
  }
}
