#include "raster/TiffBinding.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

TStream& StreamOf(thandle_t handle) {
  return *static_cast<TStream*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(StreamOf(handle).Read(buffer, static_cast<size_t>(size)));
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
  if (size <= 0) return 0;
  try {
    return static_cast<tmsize_t>(StreamOf(handle).Write(buffer, static_cast<size_t>(size)));
  } catch (...) {
    return -1; // a memory stream that cannot grow
  }
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  TSeekOrigin origin = whence == SEEK_SET   ? TSeekOrigin::soBeginning
                       : whence == SEEK_CUR ? TSeekOrigin::soCurrent
                                            : TSeekOrigin::soEnd;
  int64_t position = StreamOf(handle).Seek(static_cast<int64_t>(offset), origin);
  return position < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(position);
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t handle) {
  int64_t size = StreamOf(handle).Size();
  return size < 0 ? 0 : static_cast<toff_t>(size);
}

int MapProc(thandle_t, void**, toff_t*) {
  return 0;
}
void UnmapProc(thandle_t, void*, toff_t) {}

void SilenceGlobalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

} // namespace

int TTiffHandle::OnWarning(TIFF*, void* handle, const char*, const char* format, va_list args) {
  char message[512];
  std::vsnprintf(message, sizeof message, format, args);
  if (std::strstr(message, "IO error") || std::strstr(message, "Premature EOF") ||
      std::strstr(message, "Premature end"))
    static_cast<TTiffHandle*>(handle)->FDataMissing = true;
  return 1;
}

int TTiffHandle::OnError(TIFF*, void* handle, const char*, const char*, va_list) {
  static_cast<TTiffHandle*>(handle)->FDataMissing = true;
  return 1;
}

TTiffHandle::TTiffHandle(TStream& stream, const char* mode) {
  SilenceGlobalHandlers();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return;
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxImageBytes));
  FTiff = TIFFClientOpenExt("", mode, &stream, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                            MapProc, UnmapProc, options);
  TIFFOpenOptionsFree(options);
}

TTiffHandle::~TTiffHandle() {
  if (FTiff != nullptr) TIFFClose(FTiff);
}

void SetTiffIntField(TIFF* tiff, ttag_t tag, uint32_t value) {
  if (!TIFFSetField(tiff, tag, value))
    throw ETiffError("TIFFSetIntField: Tag = " + std::to_string(tag));
}

void SetTiffFloatField(TIFF* tiff, ttag_t tag, double value) {
  if (!TIFFSetField(tiff, tag, value))
    throw ETiffError("TIFFSetFloatField: Tag = " + std::to_string(tag));
}

void SetTiffTextField(TIFF* tiff, ttag_t tag, const std::string& value) {
  if (!TIFFSetField(tiff, tag, value.c_str()))
    throw ETiffError("TIFFSetField: Tag = " + std::to_string(tag));
}
