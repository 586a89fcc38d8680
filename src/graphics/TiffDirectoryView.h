#pragma once

#include "core/Stream.h"

#include <cstdint>
#include <vector>

// The offsets of every directory of a TIFF stream, in order, found by one
// walk of the chain. Raises ETiffError ("ETiffError TIFFOpen") for a stream
// libtiff does not open.
struct TTiffDirectories {
  std::vector<uint64_t> Offsets;
  bool BigTiff = false;
  bool BigEndian = false;
};
TTiffDirectories ReadTiffDirectories(TStream& stream);

// A TIFF stream seen as a file whose first directory is one of its later
// ones: the header's first-directory offset reads as that directory's
// offset, every other byte as it is. A reader opening the view at its first
// directory goes straight to that page without walking the pages before it.
// The view is read-only; it shares the underlying stream's bytes.
class TTiffDirectoryView : public TStream {
public:
  TTiffDirectoryView(TStream& base, const TTiffDirectories& directories, size_t index);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override; // raises EStreamError

private:
  TStream& FBase;
  int64_t FPosition = 0;
  int64_t FPatchStart = 4;
  uint8_t FPatch[8] = {};
  int FPatchLength = 4;
};
