#pragma once

#include "core/Stream.h"
#include "raster/DIB.h"

#include <cstdint>
#include <vector>

enum TCCITTMode : int {
  cmGroup3OneD = 0, // modified Huffman, no end-of-line codes
  cmGroup3TwoD = 1, // every row an end-of-line code, a 0 tag bit and a 2-D coded row
  cmGroup4 = 2      // ITU-T T.6, ended by two end-of-line codes
};

// Codes a 1-bit picture as CCITT fax data for a PDF CCITTFaxDecode stream.
// Source bit 0 is black and bit 1 white (the palette is not consulted), so a
// page kept 0 = black decodes with black where the page is black. The coded
// bytes are appended to the output stream as they are produced.
//
// Each row is read once, 64 pixels at a time, into the list of its changing
// elements; two-dimensional coding then walks the lists of the coding row and
// the row above, so the coder holds two such lists and no copy of the
// picture. Bits beyond the width in a row's last byte count for nothing.
class TCCITTCompression {
public:
  explicit TCCITTCompression(TCCITTMode mode = cmGroup4, TStream* output = nullptr);

  TCCITTMode Mode() const { return FMode; }
  void SetMode(TCCITTMode mode) { FMode = mode; }
  TStream* OutputStream() const { return FOutput; }
  void SetOutputStream(TStream* output) { FOutput = output; }

  // Raises Exception "Not set output stream." without an output stream and
  // "Not b/w image." for a picture that is not 1 bit per pixel; a picture
  // without pixels writes nothing.
  void Compress(const TDIB& bitmap);

  static void CompressBitmap(const TDIB& bitmap, TStream& output, TCCITTMode mode);

private:
  // Fills changes with the positions where the row's colour changes, the row
  // starting white, followed by the width repeated as an end marker; returns
  // the count of real changes.
  int FindChanges(const uint8_t* row, std::vector<int>& changes) const;
  void CodeRowOneD(const std::vector<int>& changes, int count);
  void CodeRowTwoD(const std::vector<int>& coding, const std::vector<int>& reference);
  void PutRun(int run, bool white);
  void Put(uint32_t code, int length);
  void FlushBits();
  void FlushBuffer();

  TCCITTMode FMode;
  TStream* FOutput;
  int FWidth = 0;
  int FRowLength = 0;
  uint64_t FBits = 0; // pending code bits, the oldest the most significant
  int FBitCount = 0;
  std::vector<uint8_t> FBuffer;
  size_t FFill = 0;
};
