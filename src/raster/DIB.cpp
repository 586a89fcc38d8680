#include "raster/DIB.h"

#include "core/Exception.h"
#include "core/Rounding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr double kInchesPerMetre = 39.37;

int Read1(const uint8_t* row, int x) {
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
void Write1(uint8_t* row, int x, int value) {
  uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
  if (value > 0)
    row[x >> 3] |= mask;
  else
    row[x >> 3] &= static_cast<uint8_t>(~mask);
}
int Read4(const uint8_t* row, int x) {
  uint8_t byte = row[x >> 1];
  return (x & 1) ? (byte & 0x0F) : (byte >> 4);
}
void Write4(uint8_t* row, int x, int value) {
  uint8_t& byte = row[x >> 1];
  uint8_t nibble = static_cast<uint8_t>(value & 0x0F);
  byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | nibble)
                 : static_cast<uint8_t>((byte & 0x0F) | (nibble << 4));
}
int Read8(const uint8_t* row, int x) {
  return row[x];
}
void Write8(uint8_t* row, int x, int value) {
  row[x] = static_cast<uint8_t>(value);
}
int Read24(const uint8_t* row, int x) {
  const uint8_t* p = row + 3 * x;
  return RGBValue(p[2], p[1], p[0]);
}
void Write24(uint8_t* row, int x, int value) {
  uint8_t* p = row + 3 * x;
  p[0] = static_cast<uint8_t>(value >> 16);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value);
}

bool IsWhite(uint32_t entry) {
  return (entry & 0xFFFFFF) == 0xFFFFFF;
}
bool IsBlack(uint32_t entry) {
  return (entry & 0xFFFFFF) == 0;
}

int32_t PelsPerMetre(int dpi) {
  return static_cast<int32_t>(Round(dpi * kInchesPerMetre));
}

} // namespace

void CheckImageSize(int64_t width, int64_t height, int bits) {
  if (width < 0 || height < 0 || width > INT32_MAX / 32 || height > INT32_MAX ||
      DIBStride(width, bits) * height > kMaxImageBytes)
    throw EDIBError("Image too large: " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels");
}

TDIB::TDIB() = default;

TDIB::~TDIB() {
  Clear();
}

TDIB::TDIB(TDIB&& other) noexcept {
  *this = std::move(other);
}

TDIB& TDIB::operator=(TDIB&& other) noexcept {
  if (this == &other) return *this;
  Clear();
  FRows = std::move(other.FRows);
  FHandle = std::exchange(other.FHandle, nullptr);
  FHeader = std::exchange(other.FHeader, nullptr);
  FOwnsHandle = std::exchange(other.FOwnsHandle, true);
  FBlockSize = std::exchange(other.FBlockSize, 0);
  FPixelFormat = std::exchange(other.FPixelFormat, pf8bit);
  FLockCount = std::exchange(other.FLockCount, 0);
  FFileHeader = std::exchange(other.FFileHeader, {});
  FInfoHeader = std::exchange(other.FInfoHeader, nullptr);
  FPalette = std::exchange(other.FPalette, nullptr);
  FBits = std::exchange(other.FBits, nullptr);
  FColorCount = std::exchange(other.FColorCount, 0);
  FColorsUsed = std::exchange(other.FColorsUsed, 0);
  FStride = std::exchange(other.FStride, 0);
  FRowBytes = std::exchange(other.FRowBytes, 0);
  FPixelWriter = std::exchange(other.FPixelWriter, nullptr);
  FPixelReader = std::exchange(other.FPixelReader, nullptr);
  other.FRows.clear();
  return *this;
}

void TDIB::Clear() {
  FRows.clear();
  FRows.shrink_to_fit();
  if (FHandle != nullptr) {
    while (FLockCount > 0) Unlock();
    if (FOwnsHandle) tsv_mem_free(FHandle);
  }
  FHandle = nullptr;
  FHeader = nullptr;
  FLockCount = 0;
  FBlockSize = 0;
  FFileHeader = {};
  FInfoHeader = nullptr;
  FPalette = nullptr;
  FBits = nullptr;
  FColorCount = 0;
  FColorsUsed = 0;
  FStride = 0;
  FRowBytes = 0;
  FPixelReader = nullptr;
  FPixelWriter = nullptr;
}

void* TDIB::Lock() {
  if (FLockCount == 0) {
    FHeader = tsv_mem_lock(FHandle);
    if (FHeader == nullptr) throw EOSError(errno == 0 ? EINVAL : errno);
  }
  ++FLockCount;
  return FHeader;
}

void TDIB::Unlock() {
  if (FLockCount == 0) return;
  if (--FLockCount == 0) {
    tsv_mem_unlock(FHandle);
    FHeader = nullptr;
  }
}

void TDIB::AllocateBlock(size_t size) {
  FHandle = tsv_mem_alloc(size);
  if (FHandle == nullptr) throw EOSError(ENOMEM);
  FBlockSize = size;
  Lock();
}

size_t TNewDIBLayout::BitsOffset() const {
  return 40 + 4 * static_cast<size_t>(Colours);
}

size_t TNewDIBLayout::BlockSize() const {
  return BitsOffset() + static_cast<size_t>(Height) * Stride;
}

TNewDIBLayout NewDIBLayout(int width, int height, TPixelFormat pixelFormat) {
  int bits;
  switch (pixelFormat) {
  case pf1bit:
    bits = 1;
    break;
  case pf4bit:
    bits = 4;
    break;
  case pf8bit:
    bits = 8;
    break;
  case pf24bit:
    bits = 24;
    break;
  default:
    throw EDIBError("Bit depht not allowed");
  }
  CheckImageSize(width, height, bits);
  return {width, height, bits, bits <= 8 ? 1 << bits : 0,
          static_cast<size_t>(DIBStride(width, bits))};
}

void WriteNewDIBHeader(void* block, const TNewDIBLayout& layout, int xDpi, int yDpi) {
  auto* header = static_cast<TBitmapInfoHeader*>(block);
  header->biSize = 40;
  header->biWidth = layout.Width;
  header->biHeight = layout.Height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<uint16_t>(layout.Bits);
  header->biCompression = 0;
  header->biSizeImage = static_cast<uint32_t>(static_cast<size_t>(layout.Height) * layout.Stride);
  header->biXPelsPerMeter = PelsPerMetre(xDpi);
  header->biYPelsPerMeter = PelsPerMetre(yDpi);
  header->biClrUsed = static_cast<uint32_t>(layout.Colours);
  header->biClrImportant = static_cast<uint32_t>(layout.Colours);

  auto* palette = reinterpret_cast<uint32_t*>(header + 1);
  if (layout.Colours == 2) {
    palette[0] = PaletteColor(0, 0, 0);
    palette[1] = PaletteColor(255, 255, 255);
  } else {
    for (int i = 0; i < layout.Colours; ++i) {
      auto level = static_cast<uint8_t>(Round(i * 256.0 / layout.Colours));
      palette[i] = PaletteColor(level, level, level);
    }
  }
}

void TDIB::NewImage(int width, int height, TPixelFormat pixelFormat, int xDpi, int yDpi) {
  Clear();
  const TNewDIBLayout layout = NewDIBLayout(width, height, pixelFormat);
  const size_t size = layout.BlockSize();
  AllocateBlock(size);

  FFileHeader.bfType = kBitmapSignature;
  FFileHeader.bfSize = static_cast<uint32_t>(size);
  FFileHeader.bfOffBits = static_cast<uint32_t>(14 + layout.BitsOffset());
  WriteNewDIBHeader(FHeader, layout, xDpi, yDpi);
  ParseHeader();
}

void TDIB::AttachHandle(TSV_HANDLE handle) {
  Clear();
  if (handle == nullptr) return;
  FHandle = handle;
  FBlockSize = tsv_mem_size(handle);
  try {
    Lock();
    ParseHeader();
  } catch (...) {
    // The block stays with the caller's ownership rules; only our hold on it ends.
    bool owns = FOwnsHandle;
    FOwnsHandle = false;
    Clear();
    FOwnsHandle = owns;
    throw;
  }
}

void TDIB::ParseHeader() {
  if (FBlockSize < sizeof(TBitmapInfoHeader)) throw EDIBError("Invalid bitmap handle");
  FInfoHeader = static_cast<TBitmapInfoHeader*>(FHeader);
  const TBitmapInfoHeader& h = *FInfoHeader;
  int bits = h.biBitCount;
  switch (bits) {
  case 1:
    FPixelFormat = pf1bit;
    FPixelReader = Read1;
    FPixelWriter = Write1;
    break;
  case 4:
    FPixelFormat = pf4bit;
    FPixelReader = Read4;
    FPixelWriter = Write4;
    break;
  case 8:
    FPixelFormat = pf8bit;
    FPixelReader = Read8;
    FPixelWriter = Write8;
    break;
  case 24:
    FPixelFormat = pf24bit;
    FPixelReader = Read24;
    FPixelWriter = Write24;
    break;
  default:
    FInfoHeader = nullptr;
    throw EDIBError("Bit depht not allowed");
  }
  if (h.biSize != 40 || h.biCompression != 0 || h.biWidth < 0 || h.biHeight < 0) {
    FInfoHeader = nullptr;
    throw EDIBError("Unsupported bitmap format");
  }
  CheckImageSize(h.biWidth, h.biHeight, bits);
  FColorCount = bits <= 8 ? 1 << bits : 0;
  FColorsUsed = h.biClrUsed;
  FStride = static_cast<int>(DIBStride(h.biWidth, bits));
  FRowBytes = static_cast<int>(DIBRowBytes(h.biWidth, bits));
  auto* base = static_cast<uint8_t*>(FHeader);
  size_t rowsOffset = 40 + 4 * static_cast<size_t>(FColorCount);
  if (FFileHeader.bfOffBits != 0) {
    if (FFileHeader.bfOffBits < 14 + rowsOffset) {
      FInfoHeader = nullptr;
      throw EDIBError("Invalid bitmap file !");
    }
    rowsOffset = FFileHeader.bfOffBits - 14;
  }
  size_t pixelBytes = static_cast<size_t>(FStride) * static_cast<size_t>(h.biHeight);
  if (rowsOffset > FBlockSize || FBlockSize - rowsOffset < pixelBytes) {
    FInfoHeader = nullptr;
    throw EDIBError("Invalid bitmap handle");
  }
  FPalette = reinterpret_cast<uint32_t*>(base + 40);
  FBits = base + rowsOffset;
  int height = h.biHeight;
  FRows.resize(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    FRows[static_cast<size_t>(y)] = FBits + static_cast<size_t>(height - 1 - y) * FStride;
}

int TDIB::Width() const {
  return FInfoHeader ? FInfoHeader->biWidth : 0;
}
int TDIB::Height() const {
  return FInfoHeader ? FInfoHeader->biHeight : 0;
}
int TDIB::BitCount() const {
  return FInfoHeader ? FInfoHeader->biBitCount : 0;
}

int TDIB::XResolution() const {
  return FInfoHeader ? static_cast<int>(Round(FInfoHeader->biXPelsPerMeter / kInchesPerMetre)) : 0;
}
int TDIB::YResolution() const {
  return FInfoHeader ? static_cast<int>(Round(FInfoHeader->biYPelsPerMeter / kInchesPerMetre)) : 0;
}

void TDIB::RequireImage() const {
  if (FInfoHeader == nullptr) throw EDIBError("No image");
}

void TDIB::RequireNonEmptyPage() const {
  RequireImage();
  if (Width() <= 0 || Height() <= 0) throw EDIBError("The page is empty");
}

void TDIB::FillBits(uint8_t value) {
  RequireImage();
  std::memset(FBits, value, static_cast<size_t>(FStride) * static_cast<size_t>(Height()));
}

void TDIB::SetPaletteFromLogPalette(const TLogPalette& palette) {
  int count = std::min<int>(palette.palNumEntries, FColorCount);
  for (int i = 0; i < count; ++i) {
    const TPaletteEntry& e = palette.palPalEntry[i];
    FPalette[i] = PaletteColor(e.peRed, e.peGreen, e.peBlue);
  }
}

int TDIB::WhiteIndex() const {
  for (int i = 0; i < FColorCount; ++i)
    if (IsWhite(FPalette[i])) return i;
  if (BitCount() == 8) return 255;
  if (BitCount() == 24) return 0xFFFFFF;
  return 0;
}

int TDIB::BlackIndex() const {
  for (int i = 0; i < FColorCount; ++i)
    if (IsBlack(FPalette[i])) return i;
  if (BitCount() == 8 || BitCount() == 24) return 0;
  return 1;
}

bool TDIB::HasStandardPalette() const {
  switch (BitCount()) {
  case 1:
    return IsWhite(FPalette[0]) && IsBlack(FPalette[1]);
  case 8:
    for (int i = 0; i < 256; ++i)
      if ((FPalette[i] & 0xFFFFFF) !=
          PaletteColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)))
        return false;
    return true;
  default:
    return true;
  }
}

void TDIB::InvertKeepingAppearance() {
  Invert();
  for (int i = 0; i < FColorCount / 2; ++i) std::swap(FPalette[i], FPalette[FColorCount - 1 - i]);
}

void TDIB::LoadFromStream(TStream& stream, int pageIndex) {
  WithoutForeignErrors<EDIBError>([&] {
    uint8_t signature[8] = {};
    int64_t start = stream.Position();
    size_t got = stream.Read(signature, sizeof signature);
    stream.SetPosition(start);
    static const uint8_t kPng[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (got >= 2 && (signature[0] | signature[1] << 8) == kBitmapSignature)
      LoadBmpFromStream(stream);
    else if (got >= 2 && ((signature[0] == 'I' && signature[1] == 'I') ||
                          (signature[0] == 'M' && signature[1] == 'M')))
      LoadTiffFromStream(stream, pageIndex);
    else if (got == 8 && std::memcmp(signature, kPng, 8) == 0)
      LoadPngFromStream(stream);
    else
      LoadJpegFromStream(stream);
  });
}
