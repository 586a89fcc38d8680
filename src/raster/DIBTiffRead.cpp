#include "raster/DIB.h"

#include "raster/TiffPage.h"

int TDIB::TiffPageCount(TStream& stream) {
  return WithoutForeignErrors<ETiffError>([&] { return TTiffFile(stream).PageCount(); });
}

int TDIB::LoadTiffFromStream(TStream& stream, int pageIndex) {
  Clear();
  return WithoutForeignErrors<ETiffError>([&] {
    TTiffFile file(stream);
    const TTiffPageInfo info = file.Select(pageIndex);
    file.Read(info, *this);
    return static_cast<int>(std::min<uint32_t>(info.rowsPerStrip, INT32_MAX));
  });
}
