#include "core/MemoryStream.h"

#include "core/Exception.h"
#include "core/FileStream.h"

#include <algorithm>
#include <cstring>

TMemoryStream::TMemoryStream(const void* data, size_t size)
    : FData(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (FPosition >= FData.size()) return 0;
  size_t n = std::min(count, FData.size() - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += n;
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = FPosition + count;
  if (end > FData.size()) {
    if (end > FData.capacity()) FData.reserve(std::max(end, FData.capacity() * 2));
    FData.resize(end);
  }
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? static_cast<int64_t>(FPosition)
                                                    : static_cast<int64_t>(FData.size());
  int64_t target = base + offset;
  if (offset > 0 && target < base) return -1;
  if (target < 0) return -1;
  FPosition = static_cast<size_t>(target);
  return target;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EWriteError();
  FData.resize(static_cast<size_t>(size));
  if (FPosition > FData.size()) FPosition = FData.size();
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileStream::fmOpenRead);
  int64_t size = file.Size();
  if (size < 0) throw EReadError();
  std::vector<uint8_t> data(static_cast<size_t>(size));
  file.ReadBuffer(data.data(), data.size());
  FData = std::move(data);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TReplacingFileStream file(fileName);
  file.WriteBuffer(FData.data(), FData.size());
  file.Commit();
}
