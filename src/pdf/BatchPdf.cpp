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

void TPDFBatch::AddPage(const TDIB& page) {
  // The sizes are checked before the image is coded.
  PageLength(page.Width(), page.XResolution() > 0 ? page.XResolution() : kDefaultPageDpi);
  PageLength(page.Height(), page.YResolution() > 0 ? page.YResolution() : kDefaultPageDpi);
  const int index = FDocument.AddImage(page, page.PixelFormat() == pf1bit ? icCCITT4 : icJPEG);
  PlaceImage(index, page.Width(), page.Height(), page.XResolution(), page.YResolution());
}

void TPDFBatch::AddJpegPage(const TJPEGImage& jpeg, int xDpi, int yDpi) {
  PageLength(jpeg.Width(), xDpi > 0 ? xDpi : kDefaultPageDpi);
  PageLength(jpeg.Height(), yDpi > 0 ? yDpi : kDefaultPageDpi);
  PlaceImage(FDocument.AddImage(jpeg, icJPEG), jpeg.Width(), jpeg.Height(), xDpi, yDpi);
}

void TPDFBatch::PlaceImage(int index, int width, int height, int xDpi, int yDpi) {
  // A page that came without a resolution has the fixed default one.
  const int pageWidth = PageLength(width, xDpi > 0 ? xDpi : kDefaultPageDpi);
  const int pageHeight = PageLength(height, yDpi > 0 ? yDpi : kDefaultPageDpi);
  if (FWritten > 0) FDocument.NewPage();
  TPDFPage& target = *FDocument.CurrentPage();
  target.SetWidth(pageWidth);
  target.SetHeight(pageHeight);
  target.ShowImage(index, 0, 0, target.Width(), target.Height(), 0);
  ++FWritten;
}

int SaveBatchAsPdf(const std::string& fileName, const std::vector<std::string>& files,
                   const std::function<void(size_t)>& onFile) {
  TPDFDocument document;
  document.SetFileName(fileName);
  document.BeginDoc();
  TPDFBatch batch(document);
  std::exception_ptr failure;
  try {
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
