#pragma once

#include "pdf/PDFFile.h"

#include <cstdint>
#include <map>
#include <span>
#include <vector>

// Most objects (arrays, dictionaries and the values in them) one copied value
// may hold once its references are followed: the entries of an image's
// dictionary are a handful of objects, and references that fan out may not
// make a few bytes of file into an exponential amount of copying.
inline constexpr size_t kMaxPDFCopiedObjects = 4096;

// Copies values of a file into a file being written, with new object numbers.
// References to other values are followed and their values copied in place;
// a reference to a stream (an ICC profile, a palette table, coding tables)
// makes the stream an object of its own in the new file, numbered from
// firstNumber on, each stream once however often it is referred to, its data
// as stored.
class TPDFObjectCopier {
public:
  struct TStreamCopy {
    int Number = 0;
    TPDFObject Dictionary; // without /Length, which the writer gives
    std::span<const uint8_t> Data;
  };

  TPDFObjectCopier(TPDFFile& file, int firstNumber);

  // The copy of value, holding references only to the streams copied.
  // Raises EPDFReadError for values too large or nested too deeply.
  TPDFObject Copy(const TPDFObject& value);

  const std::vector<TStreamCopy>& Streams() const { return FStreams; }
  // Bytes of stream data copied so far.
  uint64_t StreamBytes() const { return FStreamBytes; }

private:
  TPDFObject Copy(const TPDFObject& value, int depth, size_t& objects);
  int StreamNumber(int sourceNumber, const TPDFObject& stream, int depth, size_t& objects);

  TPDFFile& FFile;
  int FNextNumber;
  std::map<int, int> FNumbers; // source object number to new number
  std::vector<TStreamCopy> FStreams;
  uint64_t FStreamBytes = 0;
};
