#include "workflow/ProcessAllImages.h"

#include "graphics/GraphicRegistry.h"
#include "workflow/BatchProgress.h"
#include "workflow/LogSink.h"
#include "workflow/ProcessAllImagesReplacer.h"
#include "workflow/SavePage.h"

#include <deque>
#include <exception>
#include <memory>
#include <sys/stat.h>

namespace {

// Files being written back while the loop goes on; more wait for the
// oldest (each holds its page for the writer and the stored handler).
constexpr size_t kFilesInFlight = 3;

struct TInFlight {
  int Index = 0;
  std::string File;
  std::unique_ptr<TDibGraphic> Graphic;
  dev_t Device = 0; // the file being replaced
  ino_t Inode = 0;
};

// Reports the files in flight in order, each once its replacement is
// done: stored (then onStored) or failed (then its error line).
class TOutcomes {
public:
  TOutcomes(TLogSink& log, const TPageStoredHandler& onStored, TProcessSummary& summary)
      : FLog(log), FOnStored(onStored), FSummary(summary) {}

  void Add(TInFlight file) {
    // Stored first, so the writer only ever reads a graphic the list keeps
    // alive; a file the writer did not take is no longer in flight.
    FInFlight.push_back(std::move(file));
    const TInFlight& stored = FInFlight.back();
    try {
      FReplacer.Submit(stored.Index, stored.File, *stored.Graphic);
    } catch (...) {
      FInFlight.pop_back();
      throw;
    }
    while (FInFlight.size() > kFilesInFlight) ReportOldest();
  }
  // Reports every file in flight, so a later file's line follows theirs.
  void ReportAll() {
    while (!FInFlight.empty()) ReportOldest();
  }
  // Reports the files in flight up to the last that replaces the file
  // `named` (found through another name of it, a link): the loop then reads
  // the content those files leave, as when they are written one after
  // another.
  void ReportReplacing(const struct stat& named) {
    for (size_t i = FInFlight.size(); i-- > 0;)
      if (FInFlight[i].Device == named.st_dev && FInFlight[i].Inode == named.st_ino) {
        for (size_t k = 0; k <= i; ++k) ReportOldest();
        return;
      }
  }
  void Failed(const std::string& file, const std::string& message) {
    ++FSummary.Failed;
    FLog.AddLine(ProcessingErrorLine(file, message));
  }

private:
  void ReportOldest() {
    TInFlight file = std::move(FInFlight.front());
    FInFlight.pop_front();
    if (std::optional<std::string> error = FReplacer.Outcome(file.Index)) {
      Failed(file.File, *error);
      return;
    }
    ++FSummary.Stored;
    try {
      if (FOnStored) FOnStored(file.File, *file.Graphic);
    } catch (const std::exception& error) {
      Failed(file.File, error.what());
    }
  }

  TLogSink& FLog;
  const TPageStoredHandler& FOnStored;
  TProcessSummary& FSummary;
  std::deque<TInFlight> FInFlight;
  TBatchReplacer FReplacer;
};

} // namespace

std::string ProcessingErrorLine(const std::string& fileName, const std::string& message) {
  return "Error processing " + fileName + " - " + message;
}

TProcessSummary ProcessAllImages(const std::vector<std::string>& files,
                                 const TPageOperation& operation, TLogSink& log,
                                 TBatchProgress* progress, const TPageStoredHandler& onStored) {
  TProcessSummary summary;
  const TBatchProgressScope scope(progress, static_cast<int>(files.size()));
  TOutcomes outcomes(log, onStored, summary);
  for (size_t k = 0; k < files.size(); ++k) {
    const std::string& file = files[k];
    scope.Position(static_cast<int>(k));
    ++summary.Files;
    try {
      struct stat named {};
      if (::stat(file.c_str(), &named) == 0) outcomes.ReportReplacing(named);
      std::unique_ptr<TDibGraphic> graphic = GraphicForFile(file);
      // Only the first page of a multi-page file is processed.
      graphic->SetImageToLoad(1);
      graphic->LoadFromFile(file);
      const TPageContext context{file, 0};
      if (operation(*graphic, &context) == 0)
        outcomes.Add({static_cast<int>(k), file, std::move(graphic), named.st_dev, named.st_ino});
    } catch (const std::exception& error) {
      outcomes.ReportAll();
      outcomes.Failed(file, error.what());
    }
  }
  outcomes.ReportAll();
  return summary;
}
