#pragma once

#include "core/Stream.h"
#include "raster/DIBTypes.h"

#include <string>
#include <tiffio.h>

// Failures of TIFF reading and writing.
class ETiffError : public EDIBError {
public:
  using EDIBError::EDIBError;
};

// libtiff opened on one of our streams through client procedures: read,
// write, seek and size map to the stream, close does nothing (the caller owns
// the stream), nothing is memory-mapped. libtiff's own error and warning
// reports for the handle are swallowed: failures reach the caller as results
// that the raster library turns into ETiffError.
class TTiffHandle {
public:
  TTiffHandle(TStream& stream, const char* mode);
  TTiffHandle(const TTiffHandle&) = delete;
  TTiffHandle& operator=(const TTiffHandle&) = delete;
  ~TTiffHandle(); // closes the handle (a written directory is flushed by then)

  bool IsOpen() const { return FTiff != nullptr; }
  TIFF* Get() const { return FTiff; }

private:
  TIFF* FTiff = nullptr;
};

// Tag access with the checking step: a tag that cannot be read or set raises
// ETiffError naming the tag.
template <typename T> T GetTiffField(TIFF* tiff, ttag_t tag) {
  T value{};
  if (!TIFFGetField(tiff, tag, &value)) throw ETiffError("TIFFGetField: Tag = " + std::to_string(tag));
  return value;
}
void SetTiffIntField(TIFF* tiff, ttag_t tag, uint32_t value);
void SetTiffFloatField(TIFF* tiff, ttag_t tag, double value);
void SetTiffTextField(TIFF* tiff, ttag_t tag, const std::string& value);

// After a failed append, puts a TIFF file back as it was: cuts it to its old
// size and clears the link to the directory that was being added.
void RestoreTiffAfterFailedAppend(TStream& stream, int64_t originalSize);
