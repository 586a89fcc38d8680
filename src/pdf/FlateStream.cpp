#include "pdf/FlateStream.h"

#include "pdf/PDFException.h"

#include <limits>
#include <vector>
#include <zlib.h>

namespace {

constexpr size_t kOutputSize = 64 * 1024;
constexpr const char* kCompressionError = "Compression error";
constexpr const char* kInvalidOperation = "Invalid stream operation";

} // namespace

struct TCompressionStream::TState {
  TStream& destination;
  z_stream zip{};
  std::vector<Bytef> output = std::vector<Bytef>(kOutputSize);
  int64_t given = 0;
  bool finished = false;

  explicit TState(TStream& target) : destination(target) {}

  // Runs deflate until it has taken all input (or, finishing, until the end).
  void Pump(int flush) {
    for (;;) {
      zip.next_out = output.data();
      zip.avail_out = static_cast<uInt>(output.size());
      const int status = deflate(&zip, flush);
      if (status == Z_STREAM_ERROR) throw ECompressionError(kCompressionError);
      const size_t produced = output.size() - zip.avail_out;
      if (produced > 0) destination.WriteBuffer(output.data(), produced);
      if (flush == Z_FINISH ? status == Z_STREAM_END : zip.avail_in == 0 && zip.avail_out != 0)
        return;
      if (status == Z_BUF_ERROR && produced == 0) throw ECompressionError(kCompressionError);
    }
  }
};

TCompressionStream::TCompressionStream(TStream& destination)
    : FState(std::make_unique<TState>(destination)) {
  if (deflateInit(&FState->zip, Z_DEFAULT_COMPRESSION) != Z_OK)
    throw ECompressionError(kCompressionError);
}

TCompressionStream::~TCompressionStream() { deflateEnd(&FState->zip); }

size_t TCompressionStream::Read(void*, size_t) { throw ECompressionError(kInvalidOperation); }

size_t TCompressionStream::Write(const void* buffer, size_t count) {
  if (FState->finished) throw ECompressionError(kInvalidOperation);
  const auto* bytes = static_cast<const Bytef*>(buffer);
  size_t left = count;
  while (left > 0) {
    const auto chunk = static_cast<uInt>(std::min<size_t>(left, std::numeric_limits<uInt>::max()));
    FState->zip.next_in = const_cast<Bytef*>(bytes);
    FState->zip.avail_in = chunk;
    FState->Pump(Z_NO_FLUSH);
    bytes += chunk;
    left -= chunk;
  }
  FState->given += static_cast<int64_t>(count);
  return count;
}

int64_t TCompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset != 0 || origin != TSeekOrigin::soCurrent) throw ECompressionError(kInvalidOperation);
  return FState->given;
}

void TCompressionStream::SetSize(int64_t) { throw ECompressionError(kInvalidOperation); }

void TCompressionStream::Finish() {
  if (FState->finished) return;
  FState->zip.next_in = nullptr;
  FState->zip.avail_in = 0;
  FState->Pump(Z_FINISH);
  FState->finished = true;
}
