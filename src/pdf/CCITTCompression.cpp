#include "pdf/CCITTCompression.h"

#include "pdf/CCITTCodes.h"

#include <algorithm>
#include <array>

namespace {

constexpr size_t kBufferSize = 16 * 1024;

// Leading 0 bits and leading 1 bits of every byte value (8 for 0 and 255).
constexpr std::array<uint8_t, 256> LeadingBits(int bit) {
  std::array<uint8_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    int n = 0;
    while (n < 8 && ((value >> (7 - n)) & 1) == bit) ++n;
    table[static_cast<size_t>(value)] = static_cast<uint8_t>(n);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kLeadingZeros = LeadingBits(0);
constexpr std::array<uint8_t, 256> kLeadingOnes = LeadingBits(1);

// End markers after a row's changes: the 2-D coder looks up to two entries
// past the last change it has reached.
constexpr int kEndMarkers = 3;

// The run of equal bits starting at bit position p of a source row, up to
// end: whole bytes equal to full are skipped eight pixels at a time, the
// partial bytes at either end go through the table of leading bits.
inline int RunFrom(const uint8_t* row, int rowLength, int p, int end, uint8_t full,
                   const std::array<uint8_t, 256>& leading) {
  int index = p >> 3;
  const int bit = p & 7;
  const int head = leading[static_cast<uint8_t>(row[index] << bit)];
  if (head < 8 - bit) return std::min(p + head, end);
  int position = (index + 1) << 3;
  ++index;
  while (index < rowLength && row[index] == full) {
    ++index;
    position += 8;
  }
  if (index < rowLength) position += leading[row[index]];
  return std::min(position, end);
}

} // namespace

TCCITTCompression::TCCITTCompression(TCCITTMode mode, TStream* output)
    : FMode(mode), FOutput(output) {}

void TCCITTCompression::CompressBitmap(const TDIB& bitmap, TStream& output, TCCITTMode mode) {
  TCCITTCompression coder(mode, &output);
  coder.Compress(bitmap);
}

int TCCITTCompression::FindChanges(const uint8_t* row, std::vector<int>& changes) const {
  // In the source a set bit is white: a white run is a run of 1 bits.
  int count = 0;
  int p = 0;
  bool white = true;
  for (;;) {
    p = white ? RunFrom(row, FRowLength, p, FWidth, 0xFF, kLeadingOnes)
              : RunFrom(row, FRowLength, p, FWidth, 0x00, kLeadingZeros);
    if (p >= FWidth) break;
    changes[static_cast<size_t>(count++)] = p;
    white = !white;
  }
  for (int i = 0; i < kEndMarkers; ++i) changes[static_cast<size_t>(count + i)] = FWidth;
  return count;
}

void TCCITTCompression::Put(uint32_t code, int length) {
  FBits = (FBits << length) | code;
  FBitCount += length;
  if (FBitCount >= 32) {
    if (FFill + 4 > FBuffer.size()) FlushBuffer();
    FBitCount -= 32;
    const auto word = static_cast<uint32_t>(FBits >> FBitCount);
    FBuffer[FFill++] = static_cast<uint8_t>(word >> 24);
    FBuffer[FFill++] = static_cast<uint8_t>(word >> 16);
    FBuffer[FFill++] = static_cast<uint8_t>(word >> 8);
    FBuffer[FFill++] = static_cast<uint8_t>(word);
    FBits &= (uint64_t{1} << FBitCount) - 1;
  }
}

void TCCITTCompression::PutRun(int run, bool white) {
  const TFaxCode* terminating = white ? kWhiteTerminating : kBlackTerminating;
  const TFaxCode* makeUp = white ? kWhiteMakeUp : kBlackMakeUp;
  while (run > 2623) {
    Put(kExtendedMakeUp[12].code, kExtendedMakeUp[12].length);
    run -= 2560;
  }
  if (run > 63) {
    const int index = run / 64;
    const TFaxCode& code = index <= 27 ? makeUp[index - 1] : kExtendedMakeUp[index - 28];
    Put(code.code, code.length);
    run %= 64;
  }
  Put(terminating[run].code, terminating[run].length);
}

// Every whole byte of pending bits goes to the buffer; the last bits are
// padded with 0 to a whole byte.
void TCCITTCompression::FlushBits() {
  while (FBitCount > 0) {
    if (FFill == FBuffer.size()) FlushBuffer();
    if (FBitCount >= 8) {
      FBitCount -= 8;
      FBuffer[FFill++] = static_cast<uint8_t>(FBits >> FBitCount);
    } else {
      FBuffer[FFill++] = static_cast<uint8_t>(FBits << (8 - FBitCount));
      FBitCount = 0;
    }
  }
  FBits = 0;
}

void TCCITTCompression::FlushBuffer() {
  FOutput->WriteBuffer(FBuffer.data(), FFill);
  FFill = 0;
}

// Runs alternate from white; a row that starts black starts with a white run of 0.
void TCCITTCompression::CodeRowOneD(const std::vector<int>& changes, int count) {
  int start = 0;
  bool white = true;
  for (int i = 0; i <= count; ++i) {
    const int end = changes[static_cast<size_t>(i)];
    PutRun(end - start, white);
    start = end;
    white = !white;
  }
}

// Changes at even indices turn the row black, at odd indices white. a1 is
// coding[ci]; b1 is the first change of the row above beyond a0 that turns
// it the same way as a1 does, b2 the change after it. a0 starts before the
// row (so b1 may be 0 there) and only moves right, so the index of the first
// reference change beyond a0 only moves right too.
void TCCITTCompression::CodeRowTwoD(const std::vector<int>& coding,
                                    const std::vector<int>& reference) {
  const int* c = coding.data();
  const int* r = reference.data();
  int a0 = 0;
  int ci = 0;
  int beyond = 0; // first reference index whose change lies beyond a0
  for (;;) {
    const int bi = beyond + ((beyond ^ ci) & 1);
    const int a1 = c[ci];
    const int b1 = r[bi];
    const int b2 = r[bi + 1];
    if (b2 < a1) {
      Put(kPassCode.code, kPassCode.length);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const TFaxCode& code = kVerticalCodes[a1 - b1 + 3];
      Put(code.code, code.length);
      a0 = a1;
      ++ci;
    } else {
      const int a2 = c[ci + 1];
      Put(kHorizontalCode.code, kHorizontalCode.length);
      const bool white = (ci & 1) == 0;
      PutRun(a1 - a0, white);
      PutRun(a2 - a1, !white);
      a0 = a2;
      ci += 2;
    }
    if (a0 >= FWidth) return;
    while (r[beyond] <= a0) ++beyond;
  }
}

void TCCITTCompression::Compress(const TDIB& bitmap) {
  if (FOutput == nullptr) throw Exception("Not set output stream.");
  if (bitmap.BitCount() != 1) throw Exception("Not b/w image.");
  const int height = bitmap.Height();
  if (bitmap.Width() == 0 || height == 0) return;
  FWidth = bitmap.Width();
  FRowLength = (FWidth + 7) / 8;
  const auto listLength = static_cast<size_t>(FWidth + kEndMarkers);
  std::vector<int> coding(listLength);
  // The row above the first is all white: no changes.
  std::vector<int> reference(listLength, FWidth);
  FBuffer.assign(kBufferSize, 0);
  FFill = 0;
  FBits = 0;
  FBitCount = 0;
  for (int y = 0; y < height; ++y) {
    const int count = FindChanges(bitmap.ScanLine(y), coding);
    switch (FMode) {
    case cmGroup3OneD: CodeRowOneD(coding, count); break;
    case cmGroup3TwoD:
      Put(kEndOfLine.code, kEndOfLine.length);
      Put(0, 1);
      CodeRowTwoD(coding, reference);
      coding.swap(reference);
      break;
    case cmGroup4:
      CodeRowTwoD(coding, reference);
      coding.swap(reference);
      break;
    }
  }
  if (FMode == cmGroup4) {
    Put(kEndOfLine.code, kEndOfLine.length);
    Put(kEndOfLine.code, kEndOfLine.length);
  }
  FlushBits();
  FlushBuffer();
  FBuffer.clear();
  FBuffer.shrink_to_fit();
}
