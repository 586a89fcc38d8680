#include "graphics/DibGraphic.h"

#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "core/Rounding.h"
#include "graphics/PixelAccess.h"
#include "graphics/RgbToPaletteConverter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr double kInchesPerMetre = 39.370078740157480317;

TPixelFormat PixelFormatOf(TImageFormat format) {
  switch (FormatBits(format)) {
  case 1:
    return pf1bit;
  case 4:
    return pf4bit;
  case 8:
    return pf8bit;
  default:
    return pf24bit;
  }
}

bool AllGrey(const std::vector<TColour>& palette) {
  return std::all_of(palette.begin(), palette.end(),
                     [](TColour c) { return RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c); });
}

} // namespace

int32_t PelsPerMetre(int dpi) {
  return static_cast<int32_t>(Round(dpi * kInchesPerMetre));
}

int DpiOfPelsPerMetre(int32_t pelsPerMetre) {
  return static_cast<int>(Round(pelsPerMetre / kInchesPerMetre));
}

TDibGraphic::TDibGraphic() = default;
TDibGraphic::~TDibGraphic() = default;

std::unique_ptr<TDibGraphic> TDibGraphic::CreateEmpty() const {
  return std::make_unique<TDibGraphic>();
}

bool TDibGraphic::IsFormatStream(TStream&) {
  return false;
}

bool TDibGraphic::StartsWith(TStream& stream, std::string_view signature) {
  const int64_t start = stream.Position();
  std::string bytes(signature.size(), '\0');
  const size_t got = stream.Read(bytes.data(), bytes.size());
  stream.SetPosition(start);
  if (got != signature.size()) return false;
  for (size_t i = 0; i < got; ++i)
    if (signature[i] != '?' && signature[i] != bytes[i]) return false;
  return true;
}

int TDibGraphic::ImageCount(TStream&) {
  return 1;
}

void TDibGraphic::LoadImage(TStream&, int) {}

void TDibGraphic::AppendToStream(TStream&) {
  throw EGraphicError(FormatText("The %s format does not support multiple images", ClassName()));
}

void TDibGraphic::Release() {
  FDib.Clear();
  FConverter.reset();
}

void TDibGraphic::NewImage(int width, int height, int xDpi, int yDpi,
                           const std::vector<TColour>* palette, int format) {
  Release();
  try {
    const TImageFormat checked = CheckedImageFormat(format);
    FDib.NewImage(width, height, PixelFormatOf(checked), 0, 0);
    FImageFormat = checked;
    const std::vector<TColour>& defaults = DefaultPalette(checked);
    for (int i = 0; i < FDib.ColorCount(); ++i) {
      TColour colour = defaults[static_cast<size_t>(i)];
      if (palette != nullptr)
        colour = static_cast<size_t>(i) < palette->size()
                     ? (*palette)[static_cast<size_t>(i)] & 0xFFFFFF
                     : 0;
      FDib.SetPaletteEntry(i, colour);
    }
    FConverter = std::make_unique<TRgbToPaletteConverter>(Palette());
    SetResolution(xDpi, yDpi);
  } catch (...) {
    Release();
    throw;
  }
}

void TDibGraphic::SaveToStream(TStream& stream) {
  if (Empty()) throw EGraphicError("Graphic is empty");
  TBitmapFileHeader file{};
  const auto colours = static_cast<uint32_t>(PaletteSize());
  const size_t pixelBytes = static_cast<size_t>(Stride()) * static_cast<size_t>(Height());
  file.bfType = kBitmapSignature;
  file.bfOffBits = 54 + 4 * colours;
  file.bfSize = static_cast<uint32_t>(file.bfOffBits + pixelBytes);
  TBitmapInfoHeader header = *FDib.InfoHeader();
  header.biSizeImage = static_cast<uint32_t>(pixelBytes);
  header.biClrUsed = colours;
  header.biClrImportant = colours;
  stream.WriteBuffer(&file, sizeof file);
  stream.WriteBuffer(&header, sizeof header);
  for (uint32_t i = 0; i < colours; ++i) {
    const uint32_t entry = PaletteColour(static_cast<int>(i));
    stream.WriteBuffer(&entry, 4);
  }
  for (int y = Height() - 1; y >= 0; --y)
    stream.WriteBuffer(FDib.ScanLine(y), static_cast<size_t>(Stride()));
}

void TDibGraphic::LoadFromStream(TStream& stream) {
  if (!FMultiImage) {
    LoadImage(stream, FImageToLoad);
    return;
  }
  const int64_t start = stream.Position();
  const int count = ImageCount(stream);
  std::vector<std::unique_ptr<TDibGraphic>> frames;
  for (int i = 1; i <= count; ++i) {
    stream.SetPosition(start);
    frames.push_back(CreateEmpty());
    frames.back()->LoadImage(stream, i);
  }
  FFrames = std::move(frames);
  FCurrentFrame = -1;
  SelectFrame(1);
}

void TDibGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileStream::fmOpenRead);
  LoadFromStream(file);
}

void TDibGraphic::SaveToFile(const std::string& fileName) {
  TReplacingFileStream file(fileName);
  SaveToStream(file);
  file.Commit();
}

void TDibGraphic::AppendToFile(const std::string& fileName) {
  struct stat existing {};
  if (::stat(fileName.c_str(), &existing) != 0 && errno == ENOENT) {
    SaveToFile(fileName);
    return;
  }
  TFileStream file(fileName, TFileStream::fmOpenReadWrite, TFileStream::fmShareDenyWrite);
  AppendToStream(file);
}

void TDibGraphic::SetWidth(int) {
  throw EGraphicError("Dimensions must be change with the NewImage method");
}

void TDibGraphic::SetHeight(int) {
  throw EGraphicError("Dimensions must be change with the NewImage method");
}

int TDibGraphic::XDpi() const {
  return DpiOfPelsPerMetre(XPelsPerMetre());
}
int TDibGraphic::YDpi() const {
  return DpiOfPelsPerMetre(YPelsPerMetre());
}
int32_t TDibGraphic::XPelsPerMetre() const {
  return Empty() ? 0 : FDib.InfoHeader()->biXPelsPerMeter;
}
int32_t TDibGraphic::YPelsPerMetre() const {
  return Empty() ? 0 : FDib.InfoHeader()->biYPelsPerMeter;
}

void TDibGraphic::SetPelsPerMetre(int32_t x, int32_t y) {
  if (Empty()) throw EGraphicError("Graphic is empty");
  FDib.SetPelsPerMetre(x, y);
}

void TDibGraphic::SetResolution(int xDpi, int yDpi) {
  SetPelsPerMetre(PelsPerMetre(xDpi != 0 ? xDpi : ScreenDpiX()),
                  PelsPerMetre(yDpi != 0 ? yDpi : ScreenDpiY()));
}

std::vector<TColour> TDibGraphic::Palette() const {
  std::vector<TColour> palette;
  for (int i = 0; i < PaletteSize(); ++i) palette.push_back(PaletteColour(i));
  return palette;
}

void TDibGraphic::SetPaletteColour(int index, TColour colour) {
  if (index < 0 || index >= PaletteSize()) throw EGraphicError("The image does not have a palette");
  FDib.SetPaletteEntry(index, colour & 0xFFFFFF);
  FConverter = std::make_unique<TRgbToPaletteConverter>(Palette());
}

int TDibGraphic::NearestIndex(TColour colour) {
  if (FConverter == nullptr || PaletteSize() == 0)
    throw EGraphicError("The image does not have a palette");
  return FConverter->NearestIndex(colour);
}

TColour TDibGraphic::Pixel(int x, int y) const {
  const uint32_t value = PixelValue(x, y);
  return FImageFormat == ifTrueColor ? value : PaletteColour(static_cast<int>(value));
}

void TDibGraphic::SetPixel(int x, int y, TColour colour) {
  SetPixelValue(x, y, FImageFormat == ifTrueColor ? colour & 0xFFFFFF : NearestIndex(colour));
}

int TDibGraphic::PixelIndex(int x, int y) const {
  if (FImageFormat == ifTrueColor) throw EGraphicError("The image does not have a palette");
  return static_cast<int>(PixelValue(x, y));
}

void TDibGraphic::SetPixelIndex(int x, int y, int index) {
  if (FImageFormat == ifTrueColor) throw EGraphicError("The image does not have a palette");
  SetPixelValue(x, y, static_cast<uint32_t>(index));
}

uint32_t TDibGraphic::PixelValue(int x, int y) const {
  const uint8_t* row = FDib.ScanLine(y);
  return WithBits(BitCount(), [&](auto bits) { return GetRowValue<bits()>(row, x); });
}

void TDibGraphic::SetPixelValue(int x, int y, uint32_t value) {
  uint8_t* row = FDib.ScanLine(y);
  WithBits(BitCount(), [&](auto bits) { SetRowValue<bits()>(row, x, value); });
}

void TDibGraphic::Assign(const TDibGraphic& source) {
  if (&source == this) return;
  if (source.Empty()) {
    Release();
    return;
  }
  const std::vector<TColour> palette = source.Palette();
  NewImage(source.Width(), source.Height(), source.XDpi(), source.YDpi(), &palette,
           source.ImageFormat());
  SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
  const auto bytes = static_cast<size_t>(Stride());
  for (int y = 0; y < Height(); ++y) std::memcpy(ScanLine(y), source.ScanLine(y), bytes);
}

void TDibGraphic::TakePage(TDibGraphic& source) {
  if (&source == this) return;
  Release();
  FDib = std::move(source.FDib);
  FImageFormat = source.FImageFormat;
  FConverter = std::move(source.FConverter);
  source.Release();
}

TPageHandle TDibGraphic::ExportPageHandle() const {
  if (Empty()) throw EGraphicError("Graphic is empty");
  const auto colours = static_cast<size_t>(PaletteSize());
  const size_t pixelBytes = static_cast<size_t>(Stride()) * static_cast<size_t>(Height());
  TPageHandle handle = TPageHandle::Allocate(40 + 4 * colours + pixelBytes);
  TBlockLock lock(handle.Get());
  auto* base = static_cast<uint8_t*>(lock.Address());
  TBitmapInfoHeader header = *FDib.InfoHeader();
  header.biSizeImage = static_cast<uint32_t>(pixelBytes);
  header.biClrUsed = static_cast<uint32_t>(colours);
  header.biClrImportant = static_cast<uint32_t>(colours);
  std::memcpy(base, &header, sizeof header);
  for (size_t i = 0; i < colours; ++i) {
    const uint32_t entry = PaletteColour(static_cast<int>(i));
    std::memcpy(base + 40 + 4 * i, &entry, 4);
  }
  uint8_t* rows = base + 40 + 4 * colours;
  for (int y = 0; y < Height(); ++y)
    std::memcpy(rows + static_cast<size_t>(Height() - 1 - y) * static_cast<size_t>(Stride()),
                ScanLine(y), static_cast<size_t>(Stride()));
  return handle;
}

TImageFormat TDibGraphic::FormatForBits(int bits, const std::vector<TColour>& palette) {
  switch (bits) {
  case 1:
    return ifBlackWhite;
  case 4:
    return AllGrey(palette) ? ifGray16 : ifColor16;
  case 8:
    return AllGrey(palette) ? ifGray256 : ifColor256;
  default:
    return ifTrueColor;
  }
}

void TDibGraphic::ImportDib(const TDIB& dib, TImageFormat format, int xDpi, int yDpi) {
  std::vector<TColour> palette;
  for (int i = 0; i < dib.ColorCount(); ++i) palette.push_back(dib.PaletteEntry(i) & 0xFFFFFF);
  if (FormatBits(format) != dib.BitCount())
    throw EGraphicError("Internal error: Invalid image format");
  // A page read from a file without a resolution has the fixed default one.
  NewImage(dib.Width(), dib.Height(), xDpi > 0 ? xDpi : kDefaultPageDpi,
           yDpi > 0 ? yDpi : kDefaultPageDpi, &palette, format);
  const auto bytes = static_cast<size_t>(std::min(Stride(), dib.Stride()));
  for (int y = 0; y < Height(); ++y) std::memcpy(ScanLine(y), dib.ScanLine(y), bytes);
}

void TDibGraphic::ImportPageHandle(TSV_HANDLE handle) {
  TBlockLock lock(handle);
  const size_t size = tsv_mem_size(handle);
  if (size < sizeof(TBitmapInfoHeader)) throw EGraphicError("Invalid bitmap handle");
  const auto* base = static_cast<const uint8_t*>(lock.Address());
  TBitmapInfoHeader header;
  std::memcpy(&header, base, sizeof header);
  const int bits = header.biBitCount;
  const uint32_t colours = header.biClrUsed != 0 ? header.biClrUsed : bits <= 8 ? 1u << bits : 0u;
  const bool direct = header.biSize == 40 && header.biCompression == 0 && header.biWidth > 0 &&
                      header.biHeight > 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 24) &&
                      (bits == 24 || colours <= (1u << bits));
  const int xDpi =
      header.biXPelsPerMeter > 0 ? DpiOfPelsPerMetre(header.biXPelsPerMeter) : kDefaultPageDpi;
  const int yDpi =
      header.biYPelsPerMeter > 0 ? DpiOfPelsPerMetre(header.biYPelsPerMeter) : kDefaultPageDpi;
  if (direct) {
    CheckImageSize(header.biWidth, header.biHeight, bits);
    const auto stride = static_cast<size_t>(DIBStride(header.biWidth, bits));
    const size_t rowsOffset = 40 + 4 * static_cast<size_t>(colours);
    if (rowsOffset > size || (size - rowsOffset) / stride < static_cast<size_t>(header.biHeight))
      throw EGraphicError("Invalid bitmap handle");
    std::vector<TColour> palette;
    if (bits <= 8)
      for (uint32_t i = 0; i < colours; ++i) {
        uint32_t entry;
        std::memcpy(&entry, base + 40 + 4 * i, 4);
        palette.push_back(entry & 0xFFFFFF);
      }
    NewImage(header.biWidth, header.biHeight, xDpi, yDpi, &palette, FormatForBits(bits, palette));
    if (header.biXPelsPerMeter > 0 && header.biYPelsPerMeter > 0)
      SetPelsPerMetre(header.biXPelsPerMeter, header.biYPelsPerMeter);
    const uint8_t* rows = base + rowsOffset;
    for (int y = 0; y < Height(); ++y)
      std::memcpy(ScanLine(y), rows + static_cast<size_t>(Height() - 1 - y) * stride, stride);
    return;
  }
  // Any other layout (other header versions, bit fields, 16 or 32 bits,
  // top-down rows) is read as the bitmap file it would make.
  if (header.biSize < 12 || header.biSize > size || colours > 256)
    throw EGraphicError("Invalid bitmap handle");
  TMemoryStream file;
  TBitmapFileHeader fileHeader{};
  fileHeader.bfType = kBitmapSignature;
  fileHeader.bfSize = static_cast<uint32_t>(14 + size);
  const bool masksAfterHeader =
      header.biSize == 40 && (header.biCompression == 3 || header.biCompression == 6);
  fileHeader.bfOffBits = 14 + header.biSize +
                         (masksAfterHeader ? (header.biCompression == 6 ? 16 : 12) : 0) +
                         (bits <= 8 ? 4 * colours : 0);
  file.WriteBuffer(&fileHeader, sizeof fileHeader);
  file.WriteBuffer(base, size);
  file.SetPosition(0);
  TDIB dib;
  dib.LoadBmpFromStream(file);
  std::vector<TColour> palette;
  for (int i = 0; i < dib.ColorCount(); ++i) palette.push_back(dib.PaletteEntry(i) & 0xFFFFFF);
  ImportDib(dib, FormatForBits(dib.BitCount(), palette), xDpi, yDpi);
  if (header.biXPelsPerMeter > 0 && header.biYPelsPerMeter > 0)
    SetPelsPerMetre(header.biXPelsPerMeter, header.biYPelsPerMeter);
}

void TDibGraphic::SelectFrame(int frameNumber) {
  if (frameNumber < 1 || frameNumber > FrameCount())
    throw EGraphicError(FormatText("Frame %d does not exist", frameNumber));
  const TDibGraphic& frame = *FFrames[static_cast<size_t>(frameNumber - 1)];
  Assign(frame);
  CopyFormatProperties(frame);
  FCurrentFrame = frameNumber - 1;
  if (OnChange) OnChange(*this);
}

void TDibGraphic::CopyFormatProperties(const TDibGraphic&) {}
