#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/Grey.h"
#include "raster/RowOps.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const char* const kNeeds8Bit = "This operation requires 8 bit per pixel bitmap !";

} // namespace

void TDIB::Invert() {
  RequireImage();
  for (int y = 0; y < Height(); ++y)
    ComplementBytes(ScanLine(y), ScanLine(y), static_cast<size_t>(FRowBytes));
}

TDIB::THistogram TDIB::Histogram() const {
  RequireImage();
  THistogram bins{};
  const int width = Width();
  const int height = Height();
  switch (BitCount()) {
  case 1: {
    // Bits beyond the width in the last byte are not pixels and are not counted.
    const int full = width / 8;
    const uint8_t tailMask = (width % 8) ? kRightEdgeMask[width % 8 - 1] : 0;
    uint64_t ones = 0;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = ScanLine(y);
      for (int i = 0; i < full; ++i) ones += kBitCount[row[i]];
      if (tailMask) ones += kBitCount[row[full] & tailMask];
    }
    bins[1] = ones;
    bins[0] = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) - ones;
    break;
  }
  case 8: {
    std::array<uint8_t, 256> level;
    bool standard = HasStandardPalette();
    for (int i = 0; i < 256; ++i)
      level[static_cast<size_t>(i)] = standard ? static_cast<uint8_t>(i) : PaletteBlue(FPalette[i]);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = ScanLine(y);
      for (int x = 0; x < width; ++x) ++bins[level[row[x]]];
    }
    break;
  }
  case 24:
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = ScanLine(y);
      for (int x = 0; x < width; ++x, p += 3)
        ++bins[static_cast<size_t>(GreyLevel(p[2], p[1], p[0]))];
    }
    break;
  default:
    throw EDIBError(kNeeds8Bit);
  }
  return bins;
}

int TDIB::HistogramThreshold(const THistogram& histogram, double k) {
  double total = 0;
  for (uint64_t bin : histogram) total += static_cast<double>(bin);
  double mean = 0;
  for (int i = 0; i < 256; ++i)
    mean += i * (static_cast<double>(histogram[static_cast<size_t>(i)]) / total);
  double variance = 0;
  for (int i = 0; i < 256; ++i) {
    double d = i - mean;
    variance += d * d * (static_cast<double>(histogram[static_cast<size_t>(i)]) / total);
  }
  return static_cast<int>(Trunc(mean + k * std::sqrt(variance)));
}

int TDIB::CountRun(int x, int row, int colourOrThreshold, int length) const {
  if (length <= 0) return 0;
  const uint8_t* line = ScanLine(row);
  switch (BitCount()) {
  case 1: {
    const int last = x + length - 1;
    const int firstByte = x >> 3;
    const int lastByte = last >> 3;
    int ones;
    if (firstByte == lastByte) {
      ones = kBitCount[line[firstByte] & kLeftEdgeMask[x & 7] & kRightEdgeMask[last & 7]];
    } else {
      ones = kBitCount[line[firstByte] & kLeftEdgeMask[x & 7]] +
             kBitCount[line[lastByte] & kRightEdgeMask[last & 7]];
      for (int i = firstByte + 1; i < lastByte; ++i) ones += kBitCount[line[i]];
    }
    return colourOrThreshold == 1 ? ones : length - ones;
  }
  case 8: {
    int count = 0;
    for (int i = x; i < x + length; ++i) count += line[i] < colourOrThreshold;
    return count;
  }
  case 24: {
    int count = 0;
    const uint8_t* p = line + 3 * x;
    for (int i = 0; i < length; ++i, p += 3)
      count += GreyLevel(p[2], p[1], p[0]) < colourOrThreshold;
    return count;
  }
  default:
    throw EDIBError(kNeeds8Bit);
  }
}

uint8_t TDIB::WhiteFillByte() const {
  int white = WhiteIndex();
  switch (BitCount()) {
  case 1:
    return (white & 1) ? 0xFF : 0x00;
  case 4:
    return static_cast<uint8_t>((white & 0x0F) * 0x11);
  default:
    return static_cast<uint8_t>(white);
  }
}

void TDIB::ShiftLine(int row, int n) {
  int byteShift, bitShift;
  const int magnitude = std::abs(n);
  switch (BitCount()) {
  case 1:
    byteShift = magnitude / 8;
    bitShift = magnitude % 8;
    break;
  case 4:
    byteShift = magnitude / 2;
    bitShift = 4 * (magnitude % 2);
    break;
  case 8:
    byteShift = magnitude;
    bitShift = 0;
    break;
  case 24:
    byteShift = 3 * magnitude;
    bitShift = 0;
    break;
  default:
    throw EDIBError("Bit depht not supported for ShiftLine !");
  }
  if (n == 0) return;
  const uint8_t fill = WhiteFillByte();
  uint8_t* line = ScanLine(row);
  const int stride = FStride;
  if (byteShift >= stride) {
    std::memset(line, fill, static_cast<size_t>(stride));
    return;
  }
  if (n > 0) {
    std::memmove(line + byteShift, line, static_cast<size_t>(stride - byteShift));
    std::memset(line, fill, static_cast<size_t>(byteShift));
    if (bitShift) {
      for (int i = stride - 1; i > 0; --i)
        line[i] = static_cast<uint8_t>((line[i] >> bitShift) | (line[i - 1] << (8 - bitShift)));
      line[0] = static_cast<uint8_t>((line[0] >> bitShift) | (fill << (8 - bitShift)));
    }
  } else {
    // What comes in at the right is white: the bits beyond the width become
    // the fill first, whatever the padding held.
    const int usedBits = Width() * BitCount();
    const int firstPadByte = usedBits / 8;
    if (usedBits % 8) {
      uint8_t keep = kRightEdgeMask[usedBits % 8 - 1];
      line[firstPadByte] = static_cast<uint8_t>((line[firstPadByte] & keep) | (fill & ~keep));
      std::memset(line + firstPadByte + 1, fill, static_cast<size_t>(stride - firstPadByte - 1));
    } else {
      std::memset(line + firstPadByte, fill, static_cast<size_t>(stride - firstPadByte));
    }
    std::memmove(line, line + byteShift, static_cast<size_t>(stride - byteShift));
    std::memset(line + stride - byteShift, fill, static_cast<size_t>(byteShift));
    if (bitShift) {
      for (int i = 0; i < stride - 1; ++i)
        line[i] = static_cast<uint8_t>((line[i] << bitShift) | (line[i + 1] >> (8 - bitShift)));
      line[stride - 1] =
          static_cast<uint8_t>((line[stride - 1] << bitShift) | (fill >> (8 - bitShift)));
    }
  }
}

void TDIB::ShiftLines(int n) {
  RequireImage();
  for (int y = 0; y < Height(); ++y) ShiftLine(y, n);
}

void TDIB::ShiftRows(int n) {
  RequireImage();
  const int height = Height();
  if (std::abs(n) > height) throw EDIBError("Shift larger than the image");
  const uint8_t fill = WhiteFillByte();
  const auto stride = static_cast<size_t>(FStride);
  if (n > 0) {
    for (int y = height - 1; y >= n; --y) std::memcpy(ScanLine(y), ScanLine(y - n), stride);
    for (int y = 0; y < n; ++y) std::memset(ScanLine(y), fill, stride);
  } else if (n < 0) {
    const int m = -n;
    for (int y = 0; y < height - m; ++y) std::memcpy(ScanLine(y), ScanLine(y + m), stride);
    for (int y = height - m; y < height; ++y) std::memset(ScanLine(y), fill, stride);
  }
}

void TDIB::ResizeCanvas(int newWidth, int newHeight, uint8_t fill) {
  RequireImage();
  const int oldWidth = Width();
  const int oldHeight = Height();
  if (newWidth == oldWidth && newHeight == oldHeight) return;
  const int bits = BitCount();
  CheckImageSize(newWidth, newHeight, bits);
  const auto newStride = static_cast<size_t>(DIBStride(newWidth, bits));
  const auto rowsOffset = static_cast<size_t>(FBits - static_cast<uint8_t*>(FHeader));
  const size_t newSize = rowsOffset + newStride * static_cast<size_t>(newHeight);

  // The kept top rows, cut to the smaller stride, wait aside while the block
  // changes size: rows are stored bottom-up, so every one of them moves.
  const int keptRows = std::min(oldHeight, newHeight);
  const size_t keptBytes = std::min(newStride, static_cast<size_t>(FStride));
  std::vector<uint8_t> kept(keptBytes * static_cast<size_t>(keptRows));
  for (int y = 0; y < keptRows; ++y)
    std::memcpy(kept.data() + static_cast<size_t>(y) * keptBytes, ScanLine(y), keptBytes);

  const unsigned locks = FLockCount;
  while (FLockCount > 0) Unlock();
  TSV_HANDLE resized = tsv_mem_realloc(FHandle, newSize);
  const int error = errno;
  for (unsigned i = 0; i < locks; ++i) Lock();
  if (resized == nullptr) throw EOSError(error);
  FBlockSize = newSize;
  FFileHeader = {};
  auto* header = static_cast<TBitmapInfoHeader*>(FHeader);
  header->biWidth = newWidth;
  header->biHeight = newHeight;
  header->biSizeImage = static_cast<uint32_t>(newStride * static_cast<size_t>(newHeight));
  ParseHeader();

  const int64_t oldBits = int64_t{oldWidth} * bits;
  const auto firstNewByte = static_cast<size_t>(oldBits / 8);
  for (int y = 0; y < keptRows; ++y) {
    uint8_t* row = ScanLine(y);
    std::memcpy(row, kept.data() + static_cast<size_t>(y) * keptBytes, keptBytes);
    if (newWidth > oldWidth) {
      size_t from = firstNewByte;
      if (oldBits % 8) {
        uint8_t keep = kRightEdgeMask[oldBits % 8 - 1];
        row[from] = static_cast<uint8_t>((row[from] & keep) | (fill & ~keep));
        ++from;
      }
      std::memset(row + from, fill, newStride - from);
    }
  }
  for (int y = keptRows; y < newHeight; ++y) std::memset(ScanLine(y), fill, newStride);
}
