#include "SanePage.h"

#include "SaneStatus.h"
#include "tessivane/twain.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace {

// A sample of a 16-bit line, in the machine's byte order as SANE sends it.
uint8_t HighByte(const uint8_t* line, size_t sample) {
  uint16_t value;
  std::memcpy(&value, line + 2 * sample, 2);
  return static_cast<uint8_t>(value >> 8);
}

uint8_t Sample(const uint8_t* line, size_t sample, int depth) {
  return depth == 16 ? HighByte(line, sample) : line[sample];
}

TPixelFormat FormatOf(int bits) {
  return bits == 1 ? pf1bit : bits == 8 ? pf8bit : pf24bit;
}

} // namespace

TSanePage::TSanePage(const TSourceMemory& memory, int pixelType, int width, int height, int xDpi,
                     int yDpi)
    : FMemory(memory), FPixelType(pixelType), FXDpi(xDpi), FYDpi(yDpi) {
  const int bits = pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24;
  FLayout = NewDIBLayout(width, height, FormatOf(bits));
  FBlock = FMemory.Alloc(FLayout.BlockSize());
  if (FBlock == nullptr) throw ESaneError(SANE_STATUS_NO_MEM, "sane_read");
  auto* start = static_cast<uint8_t*>(FMemory.LockHandle(FBlock));
  if (start == nullptr) {
    FMemory.FreeHandle(FBlock);
    FBlock = nullptr;
    throw ESaneError(SANE_STATUS_NO_MEM, "sane_read");
  }
  WriteNewDIBHeader(start, FLayout, xDpi, yDpi);
  FBits = start + FLayout.BitsOffset();
  // The manager's memory need not come zeroed: the rows' padding is.
  if (const size_t padding = FLayout.Stride - RowBytes(); padding > 0)
    for (int row = 0; row < height; ++row) std::memset(Row(row) + RowBytes(), 0, padding);
}

TSanePage::TSanePage(TSanePage&& other) noexcept
    : FMemory(other.FMemory), FBlock(std::exchange(other.FBlock, nullptr)),
      FBits(std::exchange(other.FBits, nullptr)), FLayout(other.FLayout),
      FPixelType(other.FPixelType), FXDpi(other.FXDpi), FYDpi(other.FYDpi) {}

TSanePage& TSanePage::operator=(TSanePage&& other) noexcept {
  if (this != &other) {
    Free();
    FMemory = other.FMemory;
    FBlock = std::exchange(other.FBlock, nullptr);
    FBits = std::exchange(other.FBits, nullptr);
    FLayout = other.FLayout;
    FPixelType = other.FPixelType;
    FXDpi = other.FXDpi;
    FYDpi = other.FYDpi;
  }
  return *this;
}

TSanePage::~TSanePage() {
  Free();
}

void TSanePage::Free() {
  if (FBlock == nullptr) return;
  FMemory.UnlockHandle(FBlock);
  FMemory.FreeHandle(FBlock);
  FBlock = nullptr;
  FBits = nullptr;
}

TW_HANDLE TSanePage::Release() {
  if (FBlock != nullptr) FMemory.UnlockHandle(FBlock);
  FBits = nullptr;
  return std::exchange(FBlock, nullptr);
}

void TSanePage::CopyRow(int row, uint8_t* out) const {
  const uint8_t* in = Row(row);
  if (FLayout.Bits != 24) {
    std::memcpy(out, in, RowBytes());
    return;
  }
  for (int x = 0; x < FLayout.Width; ++x) {
    out[3 * x] = in[3 * x + 2];
    out[3 * x + 1] = in[3 * x + 1];
    out[3 * x + 2] = in[3 * x];
  }
}

TDIB TSanePage::ToDIB() const {
  TDIB image;
  image.NewImage(FLayout.Width, FLayout.Height, FormatOf(FLayout.Bits), FXDpi, FYDpi);
  std::memcpy(image.ScanLine(FLayout.Height - 1), FBits,
              static_cast<size_t>(FLayout.Height) * FLayout.Stride);
  return image;
}

void TSanePageBuilder::BeginFrame(const SANE_Parameters& parameters) {
  const bool single = parameters.format == SANE_FRAME_RED ||
                      parameters.format == SANE_FRAME_GREEN || parameters.format == SANE_FRAME_BLUE;
  const bool bilevel = parameters.format == SANE_FRAME_GRAY && parameters.depth == 1;
  const bool known =
      parameters.format == SANE_FRAME_GRAY || parameters.format == SANE_FRAME_RGB || single;
  const bool depthOk = bilevel || parameters.depth == 8 || parameters.depth == 16;
  const int samples = parameters.format == SANE_FRAME_RGB ? 3 : 1;
  const int64_t needed =
      (static_cast<int64_t>(parameters.pixels_per_line) * samples * parameters.depth + 7) / 8;
  if (!known || !depthOk || parameters.pixels_per_line <= 0 || parameters.bytes_per_line < needed)
    throw ESaneError(SANE_STATUS_INVAL, "sane_get_parameters");
  if (FStarted && (FChannel < 0 || !single || parameters.pixels_per_line != FWidth))
    throw ESaneError(SANE_STATUS_INVAL, "sane_get_parameters");

  FFrame = parameters;
  FLineInFrame = 0;
  FPartial.clear();
  if (single)
    FChannel = parameters.format == SANE_FRAME_RED     ? 0
               : parameters.format == SANE_FRAME_GREEN ? 1
                                                       : 2;
  if (FStarted) return;
  FStarted = true;
  FWidth = parameters.pixels_per_line;
  FPixelType = bilevel ? TWPT_BW : parameters.format == SANE_FRAME_GRAY ? TWPT_GRAY : TWPT_RGB;
  FBits = bilevel ? 1 : parameters.format == SANE_FRAME_GRAY ? 8 : 24;
  FRowBytes = static_cast<size_t>(DIBRowBytes(FWidth, FBits));
  // A page no packed bitmap could hold is refused before it is read.
  const auto lines = static_cast<size_t>(std::max(parameters.lines, 1));
  if (FWidth > INT32_MAX / 32 ||
      static_cast<size_t>(DIBStride(FWidth, FBits)) > static_cast<size_t>(kMaxImageBytes) / lines)
    throw ESaneError(SANE_STATUS_NO_MEM, "sane_get_parameters");
  if (parameters.lines > 0)
    FPage = TSanePage(FMemory, FPixelType, FWidth, parameters.lines, FXDpi, FYDpi);
}

void TSanePageBuilder::Add(const uint8_t* data, size_t length) {
  const auto lineBytes = static_cast<size_t>(FFrame.bytes_per_line);
  if (!FPartial.empty()) {
    const size_t take = std::min(length, lineBytes - FPartial.size());
    FPartial.insert(FPartial.end(), data, data + take);
    data += take;
    length -= take;
    if (FPartial.size() < lineBytes) return;
    TakeLine(FPartial.data());
    FPartial.clear();
  }
  for (; length >= lineBytes; data += lineBytes, length -= lineBytes) TakeLine(data);
  FPartial.assign(data, data + length);
}

uint8_t* TSanePageBuilder::Row(size_t row) {
  // Later frames of a three-pass scan fill rows the first frame made.
  if (row < FHeight)
    return FGrown.empty() ? FPage.Row(static_cast<int>(row)) : FGrown.data() + row * FRowBytes;
  // The next row of the page of the announced height.
  if (FGrown.empty() && row < static_cast<size_t>(FPage.Height())) {
    ++FHeight;
    uint8_t* made = FPage.Row(static_cast<int>(row));
    // One frame of three fills a third of the row; the manager's memory need
    // not come zeroed.
    if (FChannel >= 0) std::memset(made, 0, FRowBytes);
    return made;
  }
  // A page of unknown length stops growing where a bitmap could not hold it.
  if ((FHeight + 1) * static_cast<size_t>(DIBStride(FWidth, FBits)) >
      static_cast<size_t>(kMaxImageBytes))
    throw ESaneError(SANE_STATUS_NO_MEM, "sane_read");
  // More lines than announced: the rows so far move to the growing page.
  if (FGrown.empty() && FHeight > 0) {
    FGrown.reserve(2 * FHeight * FRowBytes);
    for (size_t y = 0; y < FHeight; ++y) {
      const uint8_t* made = FPage.Row(static_cast<int>(y));
      FGrown.insert(FGrown.end(), made, made + FRowBytes);
    }
  }
  FPage = TSanePage();
  ++FHeight;
  FGrown.resize(FHeight * FRowBytes, 0);
  return FGrown.data() + row * FRowBytes;
}

void TSanePageBuilder::TakeLine(const uint8_t* line) {
  uint8_t* out = Row(static_cast<size_t>(FLineInFrame++));
  const auto width = static_cast<size_t>(FWidth);
  if (FBits == 1) {
    for (size_t i = 0; i < FRowBytes; ++i) out[i] = static_cast<uint8_t>(~line[i]);
    if (const int spare = static_cast<int>(FRowBytes * 8 - width); spare > 0)
      out[FRowBytes - 1] &= static_cast<uint8_t>(0xFF << spare);
  } else if (FChannel >= 0) {
    // Rows hold blue, green, red.
    for (size_t x = 0; x < width; ++x) out[3 * x + 2 - FChannel] = Sample(line, x, FFrame.depth);
  } else if (FBits == 24) {
    for (size_t x = 0; x < width; ++x) {
      out[3 * x] = Sample(line, 3 * x + 2, FFrame.depth);
      out[3 * x + 1] = Sample(line, 3 * x + 1, FFrame.depth);
      out[3 * x + 2] = Sample(line, 3 * x, FFrame.depth);
    }
  } else if (FFrame.depth == 8) {
    std::memcpy(out, line, width);
  } else {
    for (size_t x = 0; x < width; ++x) out[x] = Sample(line, x, FFrame.depth);
  }
}

TSanePage TSanePageBuilder::Finish() {
  if (FHeight == 0) return {};
  if (FGrown.empty() && FHeight == static_cast<size_t>(FPage.Height())) return std::move(FPage);
  // Fewer lines than announced, more, or an unknown number: a page of the
  // lines that came.
  TSanePage page(FMemory, FPixelType, FWidth, static_cast<int>(FHeight), FXDpi, FYDpi);
  for (size_t y = 0; y < FHeight; ++y) {
    const uint8_t* made =
        FGrown.empty() ? FPage.Row(static_cast<int>(y)) : FGrown.data() + y * FRowBytes;
    std::memcpy(page.Row(static_cast<int>(y)), made, FRowBytes);
  }
  return page;
}
