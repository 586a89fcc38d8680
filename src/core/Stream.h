#pragma once

#include <cstddef>
#include <cstdint>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream with a position. Read, Write and Seek report failure through
// their results (short counts, -1), never by raising, so they can serve C
// libraries' callbacks directly; ReadBuffer and WriteBuffer raise on a short
// transfer.
class TStream {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Bytes actually transferred; fewer than asked at the end or on failure.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // The new position, or -1 when the position cannot be set.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  // Truncates or extends; raises EStreamError on failure.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position);

  void ReadBuffer(void* buffer, size_t count);        // EReadError when short
  void WriteBuffer(const void* buffer, size_t count); // EWriteError when short
  // Copies count bytes from source's position (count 0: from its start to its end).
  int64_t CopyFrom(TStream& source, int64_t count);
};
