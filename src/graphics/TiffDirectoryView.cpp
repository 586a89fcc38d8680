#include "graphics/TiffDirectoryView.h"

#include "core/Exception.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <cstring>

TTiffDirectories ReadTiffDirectories(TStream& stream) {
  stream.SetPosition(0);
  TTiffDirectories directories;
  {
    TTiffHandle handle(stream, "r");
    if (!handle.IsOpen()) throw ETiffError("ETiffError TIFFOpen");
    TIFF* tiff = handle.Get();
    directories.BigTiff = TIFFIsBigTIFF(tiff) != 0;
    directories.BigEndian = TIFFIsBigEndian(tiff) != 0;
    directories.Offsets.push_back(TIFFCurrentDirOffset(tiff));
    while (TIFFReadDirectory(tiff)) directories.Offsets.push_back(TIFFCurrentDirOffset(tiff));
  }
  stream.SetPosition(0);
  return directories;
}

TTiffDirectoryView::TTiffDirectoryView(TStream& base, const TTiffDirectories& directories,
                                       size_t index)
    : FBase(base) {
  // Classic TIFF keeps the first offset in bytes 4 to 7, BigTIFF in 8 to 15.
  FPatchStart = directories.BigTiff ? 8 : 4;
  FPatchLength = directories.BigTiff ? 8 : 4;
  const uint64_t offset = directories.Offsets.at(index);
  for (int i = 0; i < FPatchLength; ++i) {
    const int shift = directories.BigEndian ? 8 * (FPatchLength - 1 - i) : 8 * i;
    FPatch[i] = static_cast<uint8_t>(offset >> shift);
  }
}

size_t TTiffDirectoryView::Read(void* buffer, size_t count) {
  if (FBase.Seek(FPosition, TSeekOrigin::soBeginning) != FPosition) return 0;
  const size_t read = FBase.Read(buffer, count);
  const int64_t end = FPosition + static_cast<int64_t>(read);
  const int64_t from = std::max(FPosition, FPatchStart);
  const int64_t to = std::min(end, FPatchStart + FPatchLength);
  if (from < to)
    std::memcpy(static_cast<uint8_t*>(buffer) + (from - FPosition), FPatch + (from - FPatchStart),
                static_cast<size_t>(to - from));
  FPosition = end;
  return read;
}

size_t TTiffDirectoryView::Write(const void*, size_t) {
  return 0;
}

int64_t TTiffDirectoryView::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = FPosition;
  if (origin == TSeekOrigin::soEnd) base = FBase.Size();
  if (base < 0 || base + offset < 0) return -1;
  FPosition = base + offset;
  return FPosition;
}

int64_t TTiffDirectoryView::Size() {
  return FBase.Size();
}

void TTiffDirectoryView::SetSize(int64_t) {
  throw EStreamError("The TIFF directory view is read-only");
}
