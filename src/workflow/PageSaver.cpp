#include "workflow/PageSaver.h"

#include "core/Exception.h"
#include "core/FileStream.h"
#include "core/UserFolders.h"
#include "graphics/PdfGraphic.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"
#include "raster/DIB.h"
#include "workflow/ScanTarget.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

struct TPageSaver::TJob {
  int Scan = 0; // the BeginScan it was submitted after
  int Number = 0;
  TPageHandle Page;
  std::string FileName;
  bool AddThumbnail = false;
  int ThumbnailSize = 0; // the picture to render once written; 0: none
  bool Written = false;
  std::string RecoveryFile;
  std::unique_ptr<TDibGraphic> Thumbnail;
};

namespace {

// The failure's text, with the cause behind a library's bare message.
std::string FailureText(const std::string& message) {
  const TFileFailure failure = LastFileFailure();
  if (failure.Error == 0) return message;
  return message + " (" + std::strerror(failure.Error) + ")";
}

void ApplyTiffSettings(TTiffGraphic& tiff) {
  tiff.SetCompression(CompressionForFormat(tiff.ImageFormat()));
  tiff.SetRowsPerStrip(tiff.Height());
}

// Writes the page to fileName as a new file or as its new last page; the
// graphic that was written.
std::unique_ptr<TDibGraphic> WritePage(TSV_HANDLE page, const std::string& fileName) {
  std::unique_ptr<TDibGraphic> graphic;
  if (ScanFileFormat(fileName) == TScanFileFormat::Tiff) {
    auto tiff = std::make_unique<TTiffGraphic>();
    tiff->ImportPageHandle(page);
    ApplyTiffSettings(*tiff);
    graphic = std::move(tiff);
  } else {
    graphic = std::make_unique<TPdfGraphic>();
    graphic->ImportPageHandle(page);
  }
  // A missing file is saved as new; either way the file appears whole or
  // keeps what it held.
  graphic->AppendToFile(fileName);
  return graphic;
}

// Keeps a page that could not be written in folder; the file's path, or
// raises.
std::string KeepPage(TSV_HANDLE page, const std::string& folder, int number) {
  fs::create_directories(folder);
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  for (int attempt = 0;; ++attempt) {
    const std::string path =
        (fs::path(folder) / (std::string("page-") + stamp + "-" + std::to_string(::getpid()) + "-" +
                             std::to_string(number) + "-" + std::to_string(attempt) + ".tif"))
            .string();
    std::error_code ignored;
    if (fs::exists(path, ignored)) continue;
    WritePage(page, path);
    return path;
  }
}

// Page coding is background work: the calling thread runs at the lowest
// nice level, so that the scanner's transfer and the window, which the
// operator and a scanner's own buffers wait on, get a processor first; the
// in-flight bound makes the transfer wait, and so gives the processor back,
// when the writing falls behind. Left as it is where the level cannot be set.
void LowerThreadPriority() {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

} // namespace

TPageSaver::TPageSaver(TUIDispatcher& dispatcher, TLogSink& log, TShowPageEvent show,
                       TPageSaverOptions options)
    : FDispatcher(dispatcher), FLog(log), FShow(std::move(show)), FOptions(std::move(options)) {
  if (FOptions.MaxInFlight == 0) FOptions.MaxInFlight = 1;
  if (FOptions.Workers == 0) FOptions.Workers = 1;
  if (FOptions.RecoveryFolder.empty())
    FOptions.RecoveryFolder = (fs::path(UserStateFolder()) / "recovered").string();
  for (size_t i = 0; i < FOptions.Workers; ++i) FWorkers.emplace_back([this, i] { WorkerLoop(i); });
}

TPageSaver::~TPageSaver() {
  WaitFor([this] { return FInFlight == 0; }, 0, false);
  {
    std::lock_guard lock(FMutex);
    FStopping = true;
  }
  FChanged.notify_all();
  for (std::thread& worker : FWorkers) worker.join();
}

void TPageSaver::BeginScan() {
  std::lock_guard lock(FMutex);
  ++FScan;
  FNextNumber = 1;
  FFailures = 0;
}

void TPageSaver::SetThumbnailSize(int size) {
  std::lock_guard lock(FMutex);
  FThumbnailSize = size;
}

int TPageSaver::Submit(TSV_HANDLE page, std::string fileName, bool addThumbnail) {
  if (page == nullptr) return 0;
  auto job = std::make_unique<TJob>();
  job->Page = TPageHandle(page);
  job->FileName = std::move(fileName);
  job->AddThumbnail = addThumbnail;
  WaitFor([this] { return FInFlight < FOptions.MaxInFlight; }, 0, false);
  std::lock_guard lock(FMutex);
  job->Scan = FScan;
  job->Number = FNextNumber++;
  if (addThumbnail) job->ThumbnailSize = FThumbnailSize;
  const int number = job->Number;
  const std::string target = job->FileName;
  auto& queue = FQueues[target];
  queue.push_back(std::move(job));
  if (queue.size() == 1 && !FBusy.contains(target)) FReady.push_back(target);
  ++FWaiting;
  ++FInFlight;
  FChanged.notify_all();
  return number;
}

bool TPageSaver::WaitIdle(unsigned timeoutMs) {
  WaitFor([this] { return FInFlight == 0; }, timeoutMs, true);
  std::lock_guard lock(FMutex);
  return FInFlight == 0;
}

size_t TPageSaver::InFlight() const {
  std::lock_guard lock(FMutex);
  return FInFlight;
}

int TPageSaver::Failures() const {
  std::lock_guard lock(FMutex);
  return FFailures;
}

void TPageSaver::WaitFor(const std::function<bool()>& done, unsigned timeoutMs, bool bounded) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::unique_lock lock(FMutex);
      if (done()) return;
      if (bounded && std::chrono::steady_clock::now() >= deadline) return;
      // Workers wait in Synchronize for the show callback: serve them
      // between short waits.
      FChanged.wait_for(lock, std::chrono::milliseconds(2), done);
      if (done()) return;
    }
    FDispatcher.ProcessSynchronized();
  }
}

void TPageSaver::WorkerLoop(size_t index) {
  LowerThreadPriority();
  for (;;) {
    std::unique_ptr<TJob> job;
    std::string target;
    {
      std::unique_lock lock(FMutex);
      FChanged.wait(lock, [&] { return FStopping || (!FReady.empty() && FWaiting > index); });
      if (FReady.empty()) return;
      target = FReady.front();
      FReady.pop_front();
      FBusy.insert(target);
      auto& queue = FQueues[target];
      job = std::move(queue.front());
      queue.pop_front();
      --FWaiting;
    }
    Write(*job);
    {
      std::lock_guard lock(FMutex);
      FBusy.erase(target);
      auto queue = FQueues.find(target);
      if (queue->second.empty())
        FQueues.erase(queue);
      else
        FReady.push_back(target);
      // A page of an earlier scan still in flight does not count in this one.
      if (job->Scan == FScan && !job->FileName.empty() && !job->Written) ++FFailures;
    }
    FChanged.notify_all();
    Finish(std::move(job));
  }
}

void TPageSaver::Write(TJob& job) {
  try {
    TDIB dib;
    dib.AttachHandle(job.Page.Get());
    dib.SetOwnsHandle(false);
    if (dib.BitCount() == 1 && dib.WhiteIndex() != 1) dib.InvertKeepingAppearance();
  } catch (const Exception& error) {
    FLog.AddLine("Unable to read page " + std::to_string(job.Number) + " - " + error.Message());
  }
  if (job.FileName.empty()) return;
  std::string message;
  try {
    const std::unique_ptr<TDibGraphic> written = WritePage(job.Page.Get(), job.FileName);
    job.Written = true;
    if (job.ThumbnailSize > 0) {
      try {
        job.Thumbnail = RenderThumbnailPicture(*written, job.ThumbnailSize, job.ThumbnailSize);
      } catch (const std::exception&) {
        // The show callback renders it, or says why it cannot.
      }
    }
    return;
  } catch (const Exception& error) {
    message = FailureText(error.Message());
  } catch (const std::exception& error) {
    message = error.what();
  }
  std::string line =
      "Unable to save page " + std::to_string(job.Number) + " to " + job.FileName + " - " + message;
  try {
    job.RecoveryFile = KeepPage(job.Page.Get(), FOptions.RecoveryFolder, job.Number);
    line += " - kept in " + job.RecoveryFile;
  } catch (const Exception& error) {
    line += " - not kept: " + FailureText(error.Message());
  } catch (const std::exception& error) {
    line += std::string(" - not kept: ") + error.what();
  }
  FLog.AddLine(line);
}

void TPageSaver::Finish(std::unique_ptr<TJob> job) {
  if (FShow) {
    TSavedPage saved;
    saved.Number = job->Number;
    saved.Page = job->Page.Get();
    saved.FileName = job->FileName;
    saved.AddThumbnail = job->AddThumbnail;
    saved.Written = job->Written;
    saved.RecoveryFile = job->RecoveryFile;
    saved.Thumbnail = job->Thumbnail.get();
    saved.ThumbnailSize = job->ThumbnailSize;
    try {
      FDispatcher.Synchronize([&] { FShow(saved); });
    } catch (...) {
      // The page is written; a failure to show it loses nothing.
    }
  }
  job.reset();
  {
    std::lock_guard lock(FMutex);
    --FInFlight;
  }
  FChanged.notify_all();
}
