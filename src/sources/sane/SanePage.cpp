#include "SanePage.h"

#include "SaneStatus.h"
#include "tessivane/twain.h"

#include <algorithm>
#include <cstring>

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

} // namespace

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
  if (FStarted && (FChannel < 0 || !single || parameters.pixels_per_line != FPage.Width))
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
  FPage.Width = parameters.pixels_per_line;
  if (bilevel) {
    FPage.PixelType = TWPT_BW;
    FPage.BitsPerPixel = 1;
  } else if (parameters.format == SANE_FRAME_GRAY) {
    FPage.PixelType = TWPT_GRAY;
    FPage.BitsPerPixel = 8;
  } else {
    FPage.PixelType = TWPT_RGB;
    FPage.BitsPerPixel = 24;
  }
  FPage.RowBytes = (static_cast<size_t>(FPage.Width) * FPage.BitsPerPixel + 7) / 8;
  // A page no packed bitmap could hold is refused before it is read.
  const auto lines = static_cast<size_t>(std::max(parameters.lines, 1));
  if (FPage.RowBytes > static_cast<size_t>(kMaxImageBytes) / lines)
    throw ESaneError(SANE_STATUS_NO_MEM, "sane_get_parameters");
  if (parameters.lines > 0) FPage.Rows.reserve(FPage.RowBytes * lines);
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

void TSanePageBuilder::TakeLine(const uint8_t* line) {
  const size_t row = static_cast<size_t>(FLineInFrame++);
  // Later frames of a three-pass scan fill rows the first frame made.
  if (row >= static_cast<size_t>(FPage.Height)) {
    // A page of unknown length stops growing where a bitmap could not hold it.
    if (FPage.Rows.size() + FPage.RowBytes > static_cast<size_t>(kMaxImageBytes))
      throw ESaneError(SANE_STATUS_NO_MEM, "sane_read");
    ++FPage.Height;
    // 8-bit samples are the row as they come.
    if (FFrame.depth == 8 && FChannel < 0) {
      FPage.Rows.insert(FPage.Rows.end(), line, line + FPage.RowBytes);
      return;
    }
    FPage.Rows.resize(FPage.Rows.size() + FPage.RowBytes, 0);
  }
  uint8_t* out = FPage.Rows.data() + row * FPage.RowBytes;
  const auto width = static_cast<size_t>(FPage.Width);
  if (FPage.BitsPerPixel == 1) {
    for (size_t i = 0; i < FPage.RowBytes; ++i) out[i] = static_cast<uint8_t>(~line[i]);
    if (const int spare = static_cast<int>(FPage.RowBytes * 8 - width); spare > 0)
      out[FPage.RowBytes - 1] &= static_cast<uint8_t>(0xFF << spare);
  } else if (FChannel >= 0) {
    for (size_t x = 0; x < width; ++x) out[3 * x + FChannel] = Sample(line, x, FFrame.depth);
  } else {
    const size_t samples = width * (FPage.BitsPerPixel / 8);
    for (size_t s = 0; s < samples; ++s) out[s] = Sample(line, s, FFrame.depth);
  }
}

TSanePage TSanePageBuilder::Finish() {
  TSanePage page = std::move(FPage);
  *this = TSanePageBuilder{};
  return page;
}

std::unique_ptr<TDIB> TSanePage::ToDIB(int xDpi, int yDpi) const {
  auto dib = std::make_unique<TDIB>();
  const TPixelFormat format = BitsPerPixel == 1 ? pf1bit : BitsPerPixel == 8 ? pf8bit : pf24bit;
  dib->NewImage(Width, Height, format, xDpi, yDpi);
  for (int y = 0; y < Height; ++y) {
    const uint8_t* in = Rows.data() + static_cast<size_t>(y) * RowBytes;
    uint8_t* out = dib->ScanLine(y);
    if (BitsPerPixel == 24) {
      for (int x = 0; x < Width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
      }
    } else {
      std::memcpy(out, in, RowBytes);
    }
  }
  return dib;
}
