#include "graphics/GraphicDocument.h"

#include "core/FileStream.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/ReducedDecode.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffDirectoryView.h"
#include "graphics/TiffGraphic.h"

#include <sys/stat.h>

namespace {

// What tells one state of a file from another.
struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};

  bool operator==(const TFileIdentity& other) const {
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec;
  }
};

TFileIdentity IdentityOf(const struct stat& status) {
  return {status.st_dev, status.st_ino, status.st_size, status.st_mtim};
}

std::vector<uint8_t> ReadAll(TStream& stream) {
  stream.SetPosition(0);
  const int64_t size = stream.Size();
  std::vector<uint8_t> bytes(size > 0 ? static_cast<size_t>(size) : 0);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

} // namespace

struct TGraphicDocument::TImpl {
  enum TKind { Tiff, Pdf, Other };

  std::string FileName;
  std::unique_ptr<TDibGraphic> Prototype; // of the registered class
  std::unique_ptr<TFileStream> File;
  TFileIdentity Identity;
  TKind Kind = Other;
  int PageCount = 0;
  TTiffDirectories Directories;
  std::unique_ptr<TPdfPages> PdfPages;

  void CheckPage(int pageNumber) const {
    if (File == nullptr && PdfPages == nullptr) throw EGraphicError("The document is closed");
    if (pageNumber < 1 || pageNumber > PageCount)
      throw EGraphicError(FormatText("Page %d does not exist", pageNumber));
  }
};

TGraphicDocument::TGraphicDocument(const std::string& fileName) : FImpl(std::make_unique<TImpl>()) {
  TImpl& d = *FImpl;
  d.FileName = fileName;
  d.Prototype = GraphicForFile(fileName);
  d.File = std::make_unique<TFileStream>(fileName, TFileStream::fmOpenRead);
  struct stat status {};
  if (::fstat(d.File->Descriptor(), &status) == 0) d.Identity = IdentityOf(status);
  if (dynamic_cast<TTiffGraphic*>(d.Prototype.get()) != nullptr) {
    d.Kind = TImpl::Tiff;
    RegisterTiffApplicationTags();
    d.Directories = ReadTiffDirectories(*d.File);
    d.PageCount = static_cast<int>(d.Directories.Offsets.size());
  } else if (dynamic_cast<TPdfGraphic*>(d.Prototype.get()) != nullptr) {
    // The reader holds the file's bytes with its cross-reference and page
    // tree parsed; the descriptor is not needed after that.
    d.Kind = TImpl::Pdf;
    d.PdfPages = std::make_unique<TPdfPages>(ReadAll(*d.File));
    d.PageCount = d.PdfPages->Count();
    d.File.reset();
  } else {
    d.PageCount = d.Prototype->ImageCount(*d.File);
  }
}

TGraphicDocument::~TGraphicDocument() = default;

const std::string& TGraphicDocument::FileName() const {
  return FImpl->FileName;
}

bool TGraphicDocument::IsOpen() const {
  return FImpl->File != nullptr || FImpl->PdfPages != nullptr;
}

void TGraphicDocument::Close() {
  FImpl->File.reset();
  FImpl->PdfPages.reset();
  FImpl->PageCount = 0;
}

bool TGraphicDocument::StillCurrent() const {
  struct stat status {};
  return IsOpen() && ::stat(FImpl->FileName.c_str(), &status) == 0 &&
         IdentityOf(status) == FImpl->Identity;
}

int TGraphicDocument::PageCount() const {
  return FImpl->PageCount;
}

std::unique_ptr<TDibGraphic> TGraphicDocument::LoadPage(int pageNumber) {
  TImpl& d = *FImpl;
  d.CheckPage(pageNumber);
  std::unique_ptr<TDibGraphic> page = d.Prototype->CreateEmpty();
  switch (d.Kind) {
  case TImpl::Tiff: {
    TTiffDirectoryView view(*d.File, d.Directories, static_cast<size_t>(pageNumber - 1));
    page->LoadImage(view, 1);
    break;
  }
  case TImpl::Pdf:
    d.PdfPages->Load(pageNumber, static_cast<TPdfGraphic&>(*page));
    break;
  case TImpl::Other:
    d.File->SetPosition(0);
    page->LoadImage(*d.File, pageNumber);
    break;
  }
  return page;
}

std::unique_ptr<TDibGraphic> TGraphicDocument::ThumbnailPicture(int pageNumber, int cellWidth,
                                                                int cellHeight) {
  TImpl& d = *FImpl;
  d.CheckPage(pageNumber);
  std::unique_ptr<TDibGraphic> picture;
  if (d.Kind == TImpl::Tiff) {
    TTiffDirectoryView view(*d.File, d.Directories, static_cast<size_t>(pageNumber - 1));
    picture = ReducedBilevelTiff(view, cellWidth, cellHeight);
    if (picture == nullptr) picture = ReducedJpegTiff(view, cellWidth, cellHeight);
  } else if (d.Kind == TImpl::Other && dynamic_cast<TJpegGraphic*>(d.Prototype.get()) != nullptr) {
    d.File->SetPosition(0);
    picture = ReducedJpeg(*d.File, cellWidth, cellHeight);
  }
  if (picture != nullptr) return picture;
  return RenderThumbnailPicture(*LoadPage(pageNumber), cellWidth, cellHeight);
}
