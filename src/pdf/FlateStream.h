#pragma once

#include "core/Stream.h"

#include <memory>

// A write-only stream that deflates what it is given (zlib format, zlib's
// default level) into a destination stream through a 64 KiB buffer. Finish
// ends the deflate stream; without it the destination holds an unfinished
// stream. Reading, seeking (other than asking the position, which counts the
// bytes given so far) and resizing raise ECompressionError "Invalid stream
// operation"; a failure of zlib raises ECompressionError "Compression error".
class TCompressionStream : public TStream {
public:
  explicit TCompressionStream(TStream& destination);
  ~TCompressionStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  void Finish();

private:
  struct TState;
  std::unique_ptr<TState> FState;
};
