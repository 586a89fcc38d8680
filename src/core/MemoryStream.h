#pragma once

#include "core/Stream.h"

#include <cstdint>
#include <string>
#include <vector>

// A stream held in memory; grows as it is written.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  TMemoryStream(const void* data, size_t size); // a copy of the bytes, positioned at 0

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  void Clear();
  const uint8_t* Memory() const { return FData.data(); }
  uint8_t* Memory() { return FData.data(); }
  const std::vector<uint8_t>& Bytes() const { return FData; }

  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const; // whole or not at all

private:
  std::vector<uint8_t> FData;
  size_t FPosition = 0;
};
