#pragma once

#include "pdf/PDFLexer.h"
#include "pdf/PDFObject.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

// Bounds on what the reader takes from a file, so that no input makes it
// allocate wildly or run long.
inline constexpr int kMaxPDFObjectNumber = 8388607;
inline constexpr size_t kMaxPDFObjects = size_t{1} << 20;
inline constexpr int kMaxPDFXRefSections = 256;
// Decoded size of one cross-reference or object stream, and of all of them.
inline constexpr size_t kMaxPDFStructureBytes = size_t{64} << 20;
inline constexpr size_t kMaxPDFStructureTotal = size_t{256} << 20;

// What a stream's filters give: the decoded bytes, or, when the last filter
// is an image coding (DCTDecode, CCITTFaxDecode, JPXDecode) and the caller takes those,
// the bytes before it with that filter's name and parameters.
struct TDecodedStream {
  std::vector<uint8_t> Data;
  bool Truncated = false;  // the filters would have given more than the limit
  std::string ImageFilter; // "DCTDecode", "CCITTFaxDecode", "JPXDecode" or empty
  const TPDFObject* ImageParameters = nullptr; // resolved; null when none
};

// A PDF file held in memory, read through its cross-reference data: classic
// tables, cross-reference streams and hybrids, with the sections before
// them (/Prev), and objects stored in object streams. Objects are parsed when
// first asked for and kept; references that lead back to an object being
// read raise EPDFReadError, as does every other fault of the file.
//
// Damage that real writers leave is repaired as other readers repair it: a
// cross-reference table that cannot be read, or that puts an object where it
// is not, is rebuilt once by scanning the file for its objects and trailers;
// a stream whose /Length does not end at "endstream" runs to the first
// "endstream" after its start. Both take their work from the budget.
class TPDFFile {
public:
  // Raises EPDFReadError "Not a PDF file" without a header, "Encrypted PDF
  // files are not supported" for an encrypted file, and "PDF file damaged: "
  // with the fault for a file whose cross-reference data cannot be read.
  explicit TPDFFile(std::vector<uint8_t> bytes);
  TPDFFile(const TPDFFile&) = delete;
  TPDFFile& operator=(const TPDFFile&) = delete;
  ~TPDFFile();

  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  const TPDFObject& Trailer() const { return FTrailer; }

  // The object a value stands for: references followed (a missing or free
  // object is null). The result lives as long as the file.
  const TPDFObject& Resolve(const TPDFObject& value);
  // A dictionary's value for key, resolved; null when missing or null.
  const TPDFObject* Get(const TPDFObject& dictionary, std::string_view key);

  std::span<const uint8_t> RawData(const TPDFObject& stream) const;
  // Applies the stream's filters (FlateDecode with its predictors,
  // RunLengthDecode) and gives at most limit bytes. With takeImageFilter a
  // last DCTDecode, CCITTFaxDecode or JPXDecode filter is left to the caller; any other
  // filter raises EPDFReadError. The decoded bytes are taken from the reading
  // budget unless they are an image's samples, which the raster library's
  // bound on image size holds.
  TDecodedStream DecodeStream(const TPDFObject& stream, size_t limit, bool takeImageFilter = false);

  // What is left of the work this file may cause: every byte lexed and every
  // byte of a stream decoded (besides image samples) is taken from it. It
  // starts at a multiple of the file's size, so that no file, however its
  // objects refer to each other, makes the reader work much longer than it
  // takes to read it a few dozen times.
  uint64_t& Budget() { return FBudget; }

private:
  struct TEntry {
    uint8_t Type = 0;   // 0 free, 1 at an offset, 2 in an object stream
    uint64_t Field = 0; // offset, or the object stream's number
    uint32_t Index = 0; // generation, or the index in the object stream
  };
  struct TObjectStream {
    std::vector<uint8_t> Data;
    size_t First = 0;
    std::vector<std::pair<int, size_t>> Offsets; // object number, offset after First
  };

  void ReadCrossReferences();
  // Replaces the cross-reference data by what a scan of the file finds
  // (PDFFileRecovery.cpp); done at most once.
  void Rebuild();
  void AddScannedStreams(const std::vector<int>& candidates);
  bool HasObjectAt(size_t offset, int number);
  // Length of a stream's data from start to the "endstream" keyword after it.
  size_t RecoverStreamLength(size_t start);
  TPDFObject ReadSection(size_t offset, bool& isStream);
  // Reads a table's entries; returns the position after its "trailer" keyword.
  size_t ReadTable(size_t position);
  void ReadStreamEntries(const TPDFObject& stream);
  void AddEntry(int64_t number, const TEntry& entry);
  // "N G obj" at offset and the object after it, a stream when one follows.
  TPDFObject ParseIndirect(size_t offset, int expectedNumber);
  TPDFLexer Lexer(const std::vector<uint8_t>& bytes, size_t position, size_t size = SIZE_MAX);
  const TPDFObject& Load(int number);
  const TObjectStream& LoadObjectStream(int number);

  std::vector<uint8_t> FBytes;
  TPDFObject FTrailer = TPDFObject::Dictionary();
  std::map<int, TEntry> FEntries;
  std::map<int, std::unique_ptr<TPDFObject>> FObjects;
  std::map<int, std::unique_ptr<TObjectStream>> FObjectStreams;
  std::set<int> FLoading;
  size_t FStructureBytes = 0;
  uint64_t FBudget = 0;
  bool FRebuilt = false;
};
