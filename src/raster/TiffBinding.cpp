#include "raster/TiffBinding.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

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

namespace {

class TRawTiff {
public:
  explicit TRawTiff(TStream& stream) : FStream(stream) {}

  bool ReadHeader() {
    uint8_t header[16] = {};
    if (!ReadAt(0, header, 8)) return false;
    if (header[0] == 'I' && header[1] == 'I')
      FBigEndian = false;
    else if (header[0] == 'M' && header[1] == 'M')
      FBigEndian = true;
    else
      return false;
    uint64_t magic = Decode(header + 2, 2);
    if (magic == 43) {
      FBig = true;
      if (!ReadAt(0, header, 16)) return false;
      FFirstLink = 8;
    } else if (magic != 42) {
      return false;
    }
    return true;
  }

  // Offset of the link that points at or beyond `limit`, or -1.
  int64_t FindDanglingLink(int64_t limit) {
    int64_t link = FFirstLink;
    std::set<uint64_t> seen;
    for (int guard = 0; guard < 100000; ++guard) {
      uint8_t bytes[8];
      if (!ReadAt(link, bytes, LinkSize())) return -1;
      uint64_t target = Decode(bytes, LinkSize());
      if (target == 0) return -1;
      if (target >= static_cast<uint64_t>(limit)) return link;
      if (!seen.insert(target).second) return -1;
      uint8_t countBytes[8];
      int countSize = FBig ? 8 : 2;
      if (!ReadAt(static_cast<int64_t>(target), countBytes, countSize)) return -1;
      uint64_t entries = Decode(countBytes, countSize);
      link = static_cast<int64_t>(target) + countSize +
             static_cast<int64_t>(entries) * (FBig ? 20 : 12);
    }
    return -1;
  }

  void ClearLink(int64_t link) {
    uint8_t zero[8] = {};
    FStream.SetPosition(link);
    FStream.WriteBuffer(zero, static_cast<size_t>(LinkSize()));
  }

private:
  int LinkSize() const { return FBig ? 8 : 4; }
  bool ReadAt(int64_t offset, uint8_t* buffer, int count) {
    return FStream.Seek(offset, TSeekOrigin::soBeginning) == offset &&
           FStream.Read(buffer, static_cast<size_t>(count)) == static_cast<size_t>(count);
  }
  uint64_t Decode(const uint8_t* bytes, int count) const {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
      int index = FBigEndian ? i : count - 1 - i;
      value = (value << 8) | bytes[index];
    }
    return value;
  }

  TStream& FStream;
  bool FBigEndian = false;
  bool FBig = false;
  int64_t FFirstLink = 4;
};

} // namespace

void RestoreTiffAfterFailedAppend(TStream& stream, int64_t originalSize) {
  try {
    stream.SetSize(originalSize);
    TRawTiff tiff(stream);
    if (originalSize == 0 || !tiff.ReadHeader()) return;
    int64_t link = tiff.FindDanglingLink(originalSize);
    if (link >= 0) tiff.ClearLink(link);
  } catch (const Exception&) {
    // Best effort: the failure that made the append stop is the one reported.
  }
}
