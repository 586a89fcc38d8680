#include "pdf/CCITTCompression.h"

#include "pdf/CCITTCodes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr size_t kBufferSize = 16 * 1024;

// Leading 0 bits and leading 1 bits of every byte value (8 for 0 and 255).
constexpr std::array<uint8_t, 256> LeadingBits(int colour) {
  std::array<uint8_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    int n = 0;
    while (n < 8 && ((value >> (7 - n)) & 1) == colour) ++n;
    table[static_cast<size_t>(value)] = static_cast<uint8_t>(n);
  }
  return table;
}
constexpr std::array<uint8_t, 256> kLeadingZeros = LeadingBits(0);
constexpr std::array<uint8_t, 256> kLeadingOnes = LeadingBits(1);

constexpr int kWhite = 0;
constexpr int kBlack = 1;

inline int Pixel(const uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

} // namespace

TCCITTCompression::TCCITTCompression(TCCITTMode mode, TStream* output)
    : FMode(mode), FOutput(output) {}

void TCCITTCompression::CompressBitmap(const TDIB& bitmap, TStream& output, TCCITTMode mode) {
  TCCITTCompression coder(mode, &output);
  coder.Compress(bitmap);
}

// The run of colour from position on, up to the width. Whole bytes of the
// colour are skipped eight pixels at a time.
int TCCITTCompression::Run(const uint8_t* row, int position, int colour) const {
  if (position >= FWidth) return 0;
  const std::array<uint8_t, 256>& leading = colour == kWhite ? kLeadingZeros : kLeadingOnes;
  const uint8_t full = colour == kWhite ? 0x00 : 0xFF;
  int index = position >> 3;
  const int bit = position & 7;
  // The first byte, shifted so that position is its leading bit; the bits
  // shifted in from the right are not part of the run.
  int run = std::min<int>(leading[static_cast<uint8_t>(row[index] << bit)], 8 - bit);
  if (run == 8 - bit) {
    ++index;
    while (index < FRowLength && row[index] == full) {
      run += 8;
      ++index;
    }
    if (index < FRowLength) run += leading[row[index]];
  }
  return std::min(run, FWidth - position);
}

int TCCITTCompression::NextChange(const uint8_t* row, int position) const {
  if (position >= FWidth) return FWidth;
  return position + Run(row, position, Pixel(row, position));
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

void TCCITTCompression::PutRun(int run, int colour) {
  const TFaxCode* terminating = colour == kWhite ? kWhiteTerminating : kBlackTerminating;
  const TFaxCode* makeUp = colour == kWhite ? kWhiteMakeUp : kBlackMakeUp;
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

void TCCITTCompression::CodeRowOneD(const uint8_t* row) {
  int p = 0;
  for (;;) {
    const int white = Run(row, p, kWhite);
    PutRun(white, kWhite);
    p += white;
    if (p >= FWidth) return;
    const int black = Run(row, p, kBlack);
    PutRun(black, kBlack);
    p += black;
    if (p >= FWidth) return;
  }
}

void TCCITTCompression::CodeRowTwoD(const uint8_t* row, const uint8_t* reference) {
  int a0 = 0;
  int a1 = Pixel(row, 0) == kBlack ? 0 : Run(row, 0, kWhite);
  int b1 = Pixel(reference, 0) == kBlack ? 0 : Run(reference, 0, kWhite);
  for (;;) {
    const int b2 = b1 < FWidth ? NextChange(reference, b1) : FWidth;
    if (b2 < a1) {
      Put(kPassCode.code, kPassCode.length);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const TFaxCode& code = kVerticalCodes[a1 - b1 + 3];
      Put(code.code, code.length);
      a0 = a1;
    } else {
      const int a2 = a1 < FWidth ? NextChange(row, a1) : FWidth;
      Put(kHorizontalCode.code, kHorizontalCode.length);
      const int first = (a0 == 0 && a1 == 0) ? kWhite : Pixel(row, a0);
      PutRun(a1 - a0, first);
      PutRun(a2 - a1, 1 - first);
      a0 = a2;
    }
    if (a0 >= FWidth) return;
    const int colour = Pixel(row, a0);
    a1 = a0 + Run(row, a0, colour);
    b1 = a0 + Run(reference, a0, 1 - colour);
    b1 += Run(reference, b1, colour);
  }
}

void TCCITTCompression::Compress(const TDIB& bitmap) {
  if (FOutput == nullptr) throw Exception("Not set output stream.");
  if (bitmap.BitCount() != 1) throw Exception("Not b/w image.");
  if (bitmap.Width() == 0 || bitmap.Height() == 0) return;
  FWidth = bitmap.Width();
  FRowLength = (FWidth + 7) / 8;
  const auto rowLength = static_cast<size_t>(FRowLength);
  std::vector<uint8_t> row(rowLength);
  std::vector<uint8_t> reference(FMode == cmGroup3OneD ? 0 : rowLength, 0);
  FBuffer.assign(kBufferSize, 0);
  FFill = 0;
  FBits = 0;
  FBitCount = 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* source = bitmap.ScanLine(y);
    for (size_t i = 0; i < rowLength; ++i) row[i] = static_cast<uint8_t>(~source[i]);
    switch (FMode) {
    case cmGroup3OneD: CodeRowOneD(row.data()); break;
    case cmGroup3TwoD:
      Put(kEndOfLine.code, kEndOfLine.length);
      Put(0, 1);
      CodeRowTwoD(row.data(), reference.data());
      std::memcpy(reference.data(), row.data(), rowLength);
      break;
    case cmGroup4:
      CodeRowTwoD(row.data(), reference.data());
      std::memcpy(reference.data(), row.data(), rowLength);
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
