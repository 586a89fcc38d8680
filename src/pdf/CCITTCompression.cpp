#include "pdf/CCITTCompression.h"

#include "pdf/CCITTCodes.h"

#include <cstring>

namespace {

constexpr size_t kBufferSize = 16 * 1024;

// End markers after a row's changes: the 2-D coder looks up to two entries
// past the last change it has reached.
constexpr int kEndMarkers = 3;

// 64 pixels of a row from byte index on, the first pixel the most significant
// bit; bytes past the row's last are read as 0.
inline uint64_t PixelWord(const uint8_t* row, int rowLength, int index) {
  if (index + 8 <= rowLength) {
    uint64_t word;
    std::memcpy(&word, row + index, sizeof word);
    return __builtin_bswap64(word);
  }
  uint64_t word = 0;
  for (int i = 0; i < 8; ++i) word = (word << 8) | (index + i < rowLength ? row[index + i] : 0);
  return word;
}

} // namespace

TCCITTCompression::TCCITTCompression(TCCITTMode mode, TStream* output)
    : FMode(mode), FOutput(output) {}

void TCCITTCompression::CompressBitmap(const TDIB& bitmap, TStream& output, TCCITTMode mode) {
  TCCITTCompression coder(mode, &output);
  coder.Compress(bitmap);
}

int TCCITTCompression::FindChanges(const uint8_t* row, std::vector<int>& changes) const {
  // In the source a set bit is white. A pixel is a change where it differs
  // from the pixel before it, the row starting after a white pixel: the set
  // bits of word ^ (word shifted by one) are the changes, 64 pixels at a time.
  int* out = changes.data();
  int count = 0;
  uint64_t before = 1;
  for (int first = 0; first < FWidth; first += 64) {
    const uint64_t word = PixelWord(row, FRowLength, first >> 3);
    uint64_t found = word ^ ((word >> 1) | (before << 63));
    if (FWidth - first < 64) found &= ~(~uint64_t{0} >> (FWidth - first)); // past the width
    while (found != 0) {
      const int bit = __builtin_clzll(found);
      out[count++] = first + bit;
      found &= ~(uint64_t{1} << (63 - bit));
    }
    before = word & 1;
  }
  for (int i = 0; i < kEndMarkers; ++i) out[count + i] = FWidth;
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
