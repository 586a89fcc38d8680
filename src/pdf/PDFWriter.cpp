#include "pdf/PDFWriter.h"

#include "pdf/PDFException.h"

#include <cstdio>
#include <string>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

} // namespace

TPDFWriter::TPDFWriter(TStream& stream) : FStream(stream) {
  FBuffer.reserve(kBufferSize);
}

void TPDFWriter::Write(const void* data, size_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (FBuffer.size() + count > kBufferSize) {
    Flush();
    if (count >= kBufferSize) {
      FStream.WriteBuffer(bytes, count);
      FPosition += static_cast<int64_t>(count);
      return;
    }
  }
  FBuffer.insert(FBuffer.end(), bytes, bytes + count);
  FPosition += static_cast<int64_t>(count);
}

void TPDFWriter::WriteLine(std::string_view text, bool lineEnd) {
  Write(text.data(), text.size());
  if (lineEnd) Write("\r\n", 2);
}

void TPDFWriter::Flush() {
  if (FBuffer.empty()) return;
  FStream.WriteBuffer(FBuffer.data(), FBuffer.size());
  FBuffer.clear();
}

int TPDFWriter::NewObjectNumber() {
  FOffsets.push_back(0);
  return ObjectCount();
}

void TPDFWriter::BeginObject(int& number) {
  if (number < 1) number = NewObjectNumber();
  if (number > ObjectCount()) throw TPDFException(kOutOfRange);
  FOffsets[static_cast<size_t>(number - 1)] = FPosition;
  WriteLine(std::to_string(number) + " 0 obj");
  WriteLine("<<", false);
}

void TPDFWriter::WriteStreamObject(int& number, const std::vector<std::string>& dictionary,
                                   std::span<const uint8_t> data, bool lineEnd) {
  BeginObject(number);
  for (const std::string& line : dictionary) WriteLine(line);
  WriteLine(">>");
  WriteLine("stream");
  Write(data.data(), data.size());
  if (lineEnd) WriteLine("");
  WriteLine("endstream");
  WriteLine("endobj");
}

int64_t TPDFWriter::WriteCrossReference() {
  const int64_t start = FPosition;
  WriteLine("xref");
  WriteLine("0 " + std::to_string(ObjectCount() + 1));
  WriteLine("0000000000 65535 f");
  char entry[32];
  for (int64_t offset : FOffsets) {
    // Ten digits hold every offset of a file below 10 GB; a larger file
    // cannot be described by a classic table.
    if (offset > 9999999999) throw TPDFException(kOutOfRange);
    std::snprintf(entry, sizeof entry, "%010lld 00000 n", static_cast<long long>(offset));
    WriteLine(entry);
  }
  return start;
}
