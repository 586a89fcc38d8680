#pragma once

#include "core/Stream.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The object layer of a PDF file written top to bottom: hands out object
// numbers, records where each object starts, and buffers the output so that
// the many short lines of a file reach the stream in large writes. Positions
// count the bytes written through this writer, the stream being empty at the
// start.
class TPDFWriter {
public:
  explicit TPDFWriter(TStream& stream);
  TPDFWriter(const TPDFWriter&) = delete;
  TPDFWriter& operator=(const TPDFWriter&) = delete;

  // The text, followed by CR LF when lineEnd is set.
  void WriteLine(std::string_view text, bool lineEnd = true);
  void Write(const void* data, size_t count);
  // Passes everything buffered to the stream; raises EWriteError when it is short.
  void Flush();
  int64_t Position() const { return FPosition; }

  // n := n + 1; the offset table grows by one entry.
  int NewObjectNumber();
  int ObjectCount() const { return static_cast<int>(FOffsets.size()); }
  // Gives number a new object number when it is below 1; raises "Out of
  // range" above the numbers handed out. Records the position and writes the
  // header line "N 0 obj" and "<<" with no line end, so the first entry of
  // the dictionary stands on the same line.
  void BeginObject(int& number);
  // A whole stream object, begun as BeginObject does: the dictionary's lines
  // in the order given (/Length among them), ">>", "stream", the data, CR LF
  // after it when lineEnd is set, "endstream" and "endobj".
  void WriteStreamObject(int& number, const std::vector<std::string>& dictionary,
                         std::span<const uint8_t> data, bool lineEnd);

  // The cross-reference table, every entry 20 bytes, then the trailer's
  // "startxref" part; the lines between are the caller's.
  int64_t WriteCrossReference();

private:
  TStream& FStream;
  std::vector<uint8_t> FBuffer;
  int64_t FPosition = 0;
  std::vector<int64_t> FOffsets;
};
