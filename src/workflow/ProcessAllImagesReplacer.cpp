#include "workflow/ProcessAllImagesReplacer.h"

#include "core/Exception.h"
#include "core/FileTargets.h"

#include <exception>
#include <pthread.h>
#include <set>
#include <vector>

TBatchReplacer::TBatchReplacer()
    : FMaker([this] {
        ::pthread_setname_np(::pthread_self(), kMakerName);
        Make();
      }),
      FPlacer([this] {
        ::pthread_setname_np(::pthread_self(), kPlacerName);
        PutInPlace();
      }) {}

TBatchReplacer::~TBatchReplacer() {
  {
    std::lock_guard lock(FMutex);
    FStopping = true;
  }
  FChanged.notify_all();
  FMaker.join();
  FPlacer.join();
}

void TBatchReplacer::Submit(int index, const std::string& file, const TDibGraphic& graphic) {
  {
    std::lock_guard lock(FMutex);
    FToMake.push_back({index, file, &graphic, nullptr});
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

void TBatchReplacer::Make() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] { return FStopping || !FToMake.empty(); });
    if (FStopping) return;
    TJob job = std::move(FToMake.front());
    FToMake.pop_front();
    lock.unlock();
    std::optional<std::string> failure;
    try {
      job.Page = PreparePageIntoFile(job.File, 1, *job.Graphic);
    } catch (const std::exception& error) {
      failure = error.what();
    }
    lock.lock();
    if (failure)
      FDone[job.Index] = std::move(failure);
    else
      FMade.push_back(std::move(job));
    FChanged.notify_all();
  }
}

void TBatchReplacer::PutInPlace() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] { return FStopping || !FMade.empty(); });
    if (FStopping) return;
    std::deque<TJob> turn;
    turn.swap(FMade);
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
    for (TJob& job : turn) job.Page.reset();
    lock.lock();
    for (size_t i = 0; i < turn.size(); ++i) FDone[turn[i].Index] = std::move(outcomes[i]);
    FChanged.notify_all();
  }
}
