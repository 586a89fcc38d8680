#include "workflow/SaveBatch.h"

#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "graphics/GraphicDocument.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/GraphicTypes.h"
#include "graphics/JpegGraphic.h"
#include "graphics/RasterCopy.h"
#include "graphics/TiffGraphic.h"
#include "pdf/BatchPdf.h"
#include "pdf/JpegCodec.h"
#include "raster/DIB.h"
#include "workflow/BatchProgress.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace {

// Calls addPage with every page of every file, in order. The graphic
// registry picks each file's class by its extension: TIFF files are read
// page by page straight into the raster page by the raster library's TIFF
// reader, every other format through its graphic (a document of one file
// open at a time). jpegFile is the file's name when the page is a JPEG
// file's only page, else empty.
using TPageSink =
    std::function<void(TDIB& page, const TDibGraphic* graphic, const std::string& jpegFile)>;

// Reads the pages of the batch's TIFF files ahead, in order, on a thread of
// its own, so that decoding the next page overlaps coding this one; at most
// kAhead pages wait. A file that cannot be read ends the reading there, its
// error handed over in its place.
class TTiffPagesAhead {
public:
  explicit TTiffPagesAhead(const std::vector<std::string>& files)
      : FFiles(files), FThread([this] { Run(); }) {}
  ~TTiffPagesAhead() {
    {
      std::lock_guard lock(FMutex);
      FStopping = true;
    }
    FChanged.notify_all();
    FThread.join();
  }
  TTiffPagesAhead(const TTiffPagesAhead&) = delete;
  TTiffPagesAhead& operator=(const TTiffPagesAhead&) = delete;

  // The next page of the next TIFF file into page; false after the file's
  // last page. Raises the error reading the file met.
  bool Next(TDIB& page) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return !FRead.empty(); });
    TRead read = std::move(FRead.front());
    FRead.pop_front();
    FChanged.notify_all();
    lock.unlock();
    if (read.Failure) std::rethrow_exception(read.Failure);
    if (!read.Page) return false;
    page = std::move(*read.Page);
    return true;
  }

private:
  static constexpr size_t kAhead = 2;
  struct TRead {
    std::unique_ptr<TDIB> Page; // null after the file's last page
    std::exception_ptr Failure;
  };

  // False when the loop is stopping.
  bool Hand(TRead read) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FStopping || FRead.size() < kAhead; });
    if (FStopping) return false;
    FRead.push_back(std::move(read));
    FChanged.notify_all();
    return true;
  }

  void Run() {
    for (size_t i = 0; i < FFiles.size(); ++i) {
      try {
        // A file of another format is read by the page loop itself (one of
        // no format there fails before this file would be asked for).
        if (!dynamic_cast<TTiffGraphic*>(GraphicForFile(FFiles[i]).get())) continue;
        TFileStream file(FFiles[i], TFileStream::fmOpenRead);
        const int pages = TDIB::TiffPageCount(file);
        for (int j = 0; j < pages; ++j) {
          file.SetPosition(0);
          auto page = std::make_unique<TDIB>();
          page->LoadFromStream(file, j);
          if (!Hand({std::move(page), nullptr})) return;
        }
        if (!Hand({nullptr, nullptr})) return;
      } catch (...) {
        Hand({nullptr, std::current_exception()});
        return;
      }
    }
  }

  const std::vector<std::string>& FFiles;
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TRead> FRead;
  bool FStopping = false;
  std::thread FThread;
};

void ForEachPage(const std::vector<std::string>& files, TBatchProgress* progress,
                 const TPageSink& addPage) {
  const TBatchProgressScope scope(progress, static_cast<int>(files.size()));
  TTiffPagesAhead ahead(files);
  TDIB page;
  for (size_t i = 0; i < files.size(); ++i) {
    scope.Position(static_cast<int>(i));
    const std::unique_ptr<TDibGraphic> kind = GraphicForFile(files[i]);
    if (dynamic_cast<TTiffGraphic*>(kind.get())) {
      while (ahead.Next(page)) addPage(page, nullptr, "");
      continue;
    }
    TGraphicDocument document(files[i]);
    const int pages = document.PageCount();
    const bool jpeg = dynamic_cast<TJpegGraphic*>(kind.get()) != nullptr;
    for (int j = 1; j <= pages; ++j) {
      const std::unique_ptr<TDibGraphic> graphic = document.LoadPage(j);
      CopyToRaster(*graphic, page);
      addPage(page, graphic.get(), jpeg ? files[i] : "");
    }
  }
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& files) {
  struct stat target {};
  if (::stat(output.c_str(), &target) != 0) return;
  for (const std::string& file : files) {
    struct stat input {};
    if (::stat(file.c_str(), &input) == 0 && SameFile(input, target))
      throw ESaveBatchError("Cannot save the batch into " + output +
                            ": the file is one of the batch's files");
  }
}

// The pages are appended to the output's content in memory, each whole or
// not at all (see AppendTiffPage); the result then takes the output's place
// in one step, so the output on disk is never half written. An existing
// output is locked against other writers meanwhile. After a failure the
// pages appended before it are still put in place, and the failure raised.
int SaveAsTiff(const std::string& output, const std::vector<std::string>& files,
               TBatchProgress* progress) {
  std::unique_ptr<TFileStream> existing;
  TMemoryStream content;
  struct stat target {};
  if (::stat(output.c_str(), &target) == 0 || errno != ENOENT) {
    existing = std::make_unique<TFileStream>(output, TFileStream::fmOpenReadWrite,
                                             TFileStream::fmShareDenyWrite);
    content.CopyFrom(*existing, existing->Size());
  }
  TReplacingFileStream replacement(output);
  int written = 0;
  std::exception_ptr failure;
  try {
    ForEachPage(files, progress, [&](TDIB& page, const TDibGraphic*, const std::string&) {
      content.SetPosition(0);
      page.SaveToTiffStream(content, true, 16, 0);
      ++written;
    });
  } catch (...) {
    failure = std::current_exception();
  }
  if (written > 0) {
    replacement.WriteBuffer(content.Memory(), content.Bytes().size());
    replacement.Commit();
  }
  if (failure) std::rethrow_exception(failure);
  return written;
}

// A JPEG file's data goes into the PDF as it is; data the PDF cannot show as
// it is (four components) is coded again from the pixels.
bool AddJpegFile(TPDFBatch& batch, const std::string& fileName, const TDibGraphic& page) {
  const TJPEGImage jpeg = TJPEGImage::LoadFromFile(fileName);
  if (jpeg.Components() != 1 && jpeg.Components() != 3) return false;
  batch.AddJpegPage(jpeg, page.XDpi(), page.YDpi());
  return true;
}

int SaveAsPdf(const std::string& output, const std::vector<std::string>& files,
              TBatchProgress* progress) {
  return WriteBatchPdf(output, [&](TPDFBatch& batch) {
    ForEachPage(files, progress,
                [&](TDIB& page, const TDibGraphic* graphic, const std::string& jpegFile) {
                  if (!jpegFile.empty() && AddJpegFile(batch, jpegFile, *graphic)) return;
                  batch.AddPage(page);
                });
  });
}

} // namespace

TBatchOutputKind BatchOutputKind(const std::string& outputName) {
  if (const std::optional<TBatchOutputKind> kind = PageFileFormat(outputName)) return *kind;
  throw ESaveBatchError("Cannot save the batch as " + outputName +
                        ": the name must end in .tif, .tiff or .pdf");
}

std::string CreatedFileText(const std::string& outputName, int written) {
  return FormatText("Created file %s with %d images.", outputName.c_str(), written);
}

TBatchSaveResult SaveBatchAs(const std::string& outputName, const std::vector<std::string>& files,
                             TBatchProgress* progress) {
  const TBatchOutputKind kind = BatchOutputKind(outputName);
  if (files.empty()) throw ESaveBatchError("The batch holds no files to save");
  TBatchSaveResult result;
  result.FileName = std::filesystem::absolute(outputName).lexically_normal().string();
  CheckOutputIsNoInput(result.FileName, files);
  result.Written = kind == TBatchOutputKind::Tiff ? SaveAsTiff(result.FileName, files, progress)
                                                  : SaveAsPdf(result.FileName, files, progress);
  return result;
}
