#include "workflow/SavePage.h"

#include "core/FileStream.h"
#include "core/FileTargets.h"
#include "core/MemoryStream.h"
#include "graphics/BitmapGraphic.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/TiffGraphic.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

[[noreturn]] void NoSuchPage(int pageNumber, const std::string& file) {
  throw ESavePageError(FormatText("Page %d does not exist in %s", pageNumber, file.c_str()));
}

void CheckSinglePage(int pageNumber, const std::string& file) {
  if (pageNumber != 1) NoSuchPage(pageNumber, file);
}

// The page as the file's own format stores it: the graphic's pixels and
// resolution in a graphic of the file's class, with that format's settings.
void TakeGraphic(TDibGraphic& target, const TDibGraphic& graphic) {
  target.Assign(graphic);
  if (auto* tiff = dynamic_cast<TTiffGraphic*>(&target)) {
    tiff->SetCompression(CompressionForFormat(tiff->ImageFormat()));
    // A page read from a TIFF file keeps its text tags (the annotation, say).
    if (const auto* source = dynamic_cast<const TTiffGraphic*>(&graphic))
      for (const auto& [tag, text] : source->Tags()) tiff->SetTag(tag, text);
  }
  if (auto* jpeg = dynamic_cast<TJpegGraphic*>(&target)) {
    const auto* source = dynamic_cast<const TJpegGraphic*>(&graphic);
    jpeg->SetQuality(source ? source->Quality() : TJpegGraphic().Quality());
  }
}

// Every page of the TIFF file again, page pageNumber taken from graphic.
void RewriteTiff(TStream& source, int pageNumber, const TDibGraphic& graphic,
                 const std::string& file, TStream& target) {
  TTiffGraphic reader;
  const int count = reader.ImageCount(source);
  if (pageNumber < 1 || pageNumber > count) NoSuchPage(pageNumber, file);
  for (int i = 1; i <= count; ++i) {
    TTiffGraphic page;
    if (i == pageNumber) {
      TakeGraphic(page, graphic);
    } else {
      // The page keeps its own compression and text tags.
      source.SetPosition(0);
      page.LoadImage(source, i);
    }
    // Appending takes the file from the stream's position.
    target.SetPosition(0);
    if (i == 1)
      page.SaveToStream(target);
    else
      page.AppendToStream(target);
  }
}

} // namespace

TPreparedPage::TPreparedPage(std::unique_ptr<TFileStream> source,
                             std::unique_ptr<TReplacingFileStream> replacement)
    : FSource(std::move(source)), FReplacement(std::move(replacement)) {}

TPreparedPage::~TPreparedPage() = default;

void TPreparedPage::PutInPlace() {
  if (FSource) {
    FReplacement->CommitLeavingFolderUnflushed();
    return;
  }
  // Another writer that made the file meanwhile keeps it.
  if (!FReplacement->CommitNew(false))
    throw ESavePageError("Cannot create " + FReplacement->FileName() +
                         ": the file was made by another program meanwhile");
}

const std::string& TPreparedPage::TargetName() const {
  return FReplacement->TargetName();
}

std::unique_ptr<TPreparedPage> PreparePageIntoFile(const std::string& file, int pageNumber,
                                                   const TDibGraphic& graphic) {
  struct stat existing {};
  if (::stat(file.c_str(), &existing) != 0 && errno == ENOENT) {
    std::unique_ptr<TDibGraphic> target = GraphicForFile(file);
    TakeGraphic(*target, graphic);
    auto created = std::make_unique<TReplacingFileStream>(file);
    target->SaveToStream(*created);
    return std::make_unique<TPreparedPage>(nullptr, std::move(created));
  }
  std::unique_ptr<TDibGraphic> kind = GraphicForFile(file);
  // Other writers of the file wait until the new content is in place.
  auto source = std::make_unique<TFileStream>(file, TFileStream::fmOpenReadWrite,
                                              TFileStream::fmShareDenyWrite);
  // The new file is made whole in memory before the target is opened, so an
  // unreadable file or a page it cannot store leaves no trace.
  TMemoryStream made;
  if (dynamic_cast<TTiffGraphic*>(kind.get())) {
    RewriteTiff(*source, pageNumber, graphic, file, made);
  } else if (dynamic_cast<TPdfGraphic*>(kind.get())) {
    std::vector<uint8_t> bytes(static_cast<size_t>(source->Size()));
    if (!bytes.empty()) source->ReadBuffer(bytes.data(), bytes.size());
    TPdfGraphic page;
    page.Assign(graphic);
    if (!page.WriteReplacing(bytes, pageNumber, made)) NoSuchPage(pageNumber, file);
  } else {
    // JPEG, BMP and every other single-page format.
    CheckSinglePage(pageNumber, file);
    TakeGraphic(*kind, graphic);
    kind->SaveToStream(made);
  }
  auto replacement = std::make_unique<TReplacingFileStream>(file);
  replacement->WriteBuffer(made.Memory(), made.Bytes().size());
  return std::make_unique<TPreparedPage>(std::move(source), std::move(replacement));
}

void SavePageIntoFile(const std::string& file, int pageNumber, const TDibGraphic& graphic) {
  const std::unique_ptr<TPreparedPage> prepared = PreparePageIntoFile(file, pageNumber, graphic);
  prepared->PutInPlace();
  if (int error = SyncFolder(FolderOf(prepared->TargetName())))
    throw EFCreateError(prepared->TargetName(), error);
}
