#pragma once

#include "core/Stream.h"
#include "raster/DIBTypes.h"

#include <cstdarg>
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
// reports for the handle never reach the terminal: failures reach the caller
// as results that the raster library turns into ETiffError. Errors and the
// warnings that mean data was missing from the file are remembered, since
// libtiff's decoders go on after them (a bad code word in fax data, a strip
// cut short), filling in blanks: a damaged file is not taken for a good one.
class TTiffHandle {
public:
  TTiffHandle(TStream& stream, const char* mode);
  TTiffHandle(const TTiffHandle&) = delete;
  TTiffHandle& operator=(const TTiffHandle&) = delete;
  ~TTiffHandle(); // closes the handle (a written directory is flushed by then)

  bool IsOpen() const { return FTiff != nullptr; }
  TIFF* Get() const { return FTiff; }
  // Whether libtiff met the end of the data where more was expected, or
  // reported an error, since the handle was opened or the reports were last
  // cleared.
  bool DataMissing() const { return FDataMissing; }
  // Forgets what was reported so far: the directory is read, decoding starts.
  void ClearReports() { FDataMissing = false; }

private:
  static int OnWarning(TIFF*, void* handle, const char* module, const char* format, va_list args);
  static int OnError(TIFF*, void* handle, const char* module, const char* format, va_list args);
  TIFF* FTiff = nullptr;
  bool FDataMissing = false;
};

// Tag access with the checking step: a tag that cannot be read or set raises
// ETiffError naming the tag.
template <typename T> T GetTiffField(TIFF* tiff, ttag_t tag) {
  T value{};
  if (!TIFFGetField(tiff, tag, &value))
    throw ETiffError("TIFFGetField: Tag = " + std::to_string(tag));
  return value;
}
void SetTiffIntField(TIFF* tiff, ttag_t tag, uint32_t value);
void SetTiffFloatField(TIFF* tiff, ttag_t tag, double value);
void SetTiffTextField(TIFF* tiff, ttag_t tag, const std::string& value);
