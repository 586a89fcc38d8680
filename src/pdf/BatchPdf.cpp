#include "pdf/BatchPdf.h"

#include "core/Exception.h"
#include "core/FileStream.h"

#include <cfenv>
#include <cmath>
#include <exception>

namespace {

// The nearest integer to pixels / dpi * 72 in extended precision, halves to
// the even integer.
int PageLength(int pixels, int dpi) {
  if (dpi == 0) throw EMathError("Floating point division by zero");
  const long double points = static_cast<long double>(pixels) / dpi * 72.0L;
  if (!std::isfinite(points) || std::fabs(points) > 2147483647.0L)
    throw EMathError("Invalid floating point operation");
  return static_cast<int>(std::nearbyintl(points));
}

} // namespace

// The PDF page's size in device units for an image's pixels and resolutions;
// a resolution of 0 (none) is the fixed default one.
TPDFBatch::TPageSize TPDFBatch::PageSizeOf(int width, int height, int xDpi, int yDpi) {
  return {PageLength(width, xDpi > 0 ? xDpi : kDefaultPageDpi),
          PageLength(height, yDpi > 0 ? yDpi : kDefaultPageDpi)};
}

void TPDFBatch::AddPage(const TDIB& page) {
  // The size is checked before the image is coded.
  const TPageSize size =
      PageSizeOf(page.Width(), page.Height(), page.XResolution(), page.YResolution());
  PlaceImage(FDocument.AddImage(page, page.PixelFormat() == pf1bit ? icCCITT4 : icJPEG), size);
}

void TPDFBatch::AddJpegPage(const TJPEGImage& jpeg, int xDpi, int yDpi) {
  const TPageSize size = PageSizeOf(jpeg.Width(), jpeg.Height(), xDpi, yDpi);
  PlaceImage(FDocument.AddImage(jpeg, icJPEG), size);
}

void TPDFBatch::PlaceImage(int index, TPageSize size) {
  if (FWritten > 0) FDocument.NewPage();
  TPDFPage& target = *FDocument.CurrentPage();
  target.SetWidth(size.Width);
  target.SetHeight(size.Height);
  target.ShowImage(index, 0, 0, target.Width(), target.Height(), 0);
  ++FWritten;
}

int WriteBatchPdf(const std::string& fileName, const std::function<void(TPDFBatch&)>& addPages) {
  TPDFDocument document;
  document.SetFileName(fileName);
  document.BeginDoc();
  TPDFBatch batch(document);
  std::exception_ptr failure;
  try {
    addPages(batch);
  } catch (...) {
    failure = std::current_exception();
  }
  // Pages already written are kept; a save that fails before its first page
  // leaves the target as it was.
  if (failure && batch.Written() == 0) {
    document.Abort();
    std::rethrow_exception(failure);
  }
  document.EndDoc();
  if (failure) std::rethrow_exception(failure);
  return batch.Written();
}

int SaveBatchAsPdf(const std::string& fileName, const std::vector<std::string>& files,
                   const std::function<void(size_t)>& onFile) {
  return WriteBatchPdf(fileName, [&](TPDFBatch& batch) {
    TDIB page;
    for (size_t i = 0; i < files.size(); ++i) {
      if (onFile) onFile(i);
      TFileStream file(files[i], TFileStream::fmOpenRead);
      const int pages = TDIB::TiffPageCount(file);
      for (int j = 0; j < pages; ++j) {
        file.SetPosition(0);
        page.LoadFromStream(file, j);
        batch.AddPage(page);
      }
    }
  });
}
