#include "raster/DIB.h"

#include "core/Rounding.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

namespace {

// libpng reports errors by a long jump; the jump lands in the small guarded
// calls below, whose frames hold no objects with destructors.
struct TPngContext {
  TStream* stream = nullptr;
  char error[200] = {};
};

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto* context = static_cast<TPngContext*>(png_get_io_ptr(png));
  if (context->stream->Read(data, length) != length) png_error(png, "Read Error");
}

void OnError(png_structp png, png_const_charp message) {
  auto* context = static_cast<TPngContext*>(png_get_error_ptr(png));
  std::snprintf(context->error, sizeof context->error, "%s", message ? message : "PNG error");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool GuardedReadInfo(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool GuardedReadImage(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr); // a file cut short after its pixels is still cut short
  return true;
}

class TPngReader {
public:
  explicit TPngReader(TStream& stream) {
    FContext.stream = &stream;
    FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, &FContext, OnError, OnWarning);
    if (FPng == nullptr) throw EOSError(ENOMEM);
    FInfo = png_create_info_struct(FPng);
    if (FInfo == nullptr) {
      png_destroy_read_struct(&FPng, nullptr, nullptr);
      throw EOSError(ENOMEM);
    }
    png_set_read_fn(FPng, &FContext, ReadData);
    png_set_user_limits(FPng, 0x7FFFFFFF, 0x7FFFFFFF);
  }
  TPngReader(const TPngReader&) = delete;
  TPngReader& operator=(const TPngReader&) = delete;
  ~TPngReader() { png_destroy_read_struct(&FPng, &FInfo, nullptr); }

  void ReadInfo() { Check(GuardedReadInfo(FPng, FInfo)); }
  void ReadImage(png_bytepp rows) { Check(GuardedReadImage(FPng, rows)); }
  png_structp Png() const { return FPng; }
  png_infop Info() const { return FInfo; }

private:
  void Check(bool ok) {
    if (!ok) throw EDIBError(FContext.error);
  }
  TPngContext FContext;
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
};

} // namespace

void TDIB::LoadPngFromStream(TStream& stream) {
  Clear();
  try {
    TPngReader reader(stream);
    reader.ReadInfo();
    png_structp png = reader.Png();
    png_infop info = reader.Info();
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bits = png_get_bit_depth(png, info) * png_get_channels(png, info);
    TPixelFormat format;
    switch (bits) {
    case 1:
      format = pf1bit;
      break;
    case 4:
      format = pf4bit;
      break;
    case 8:
      format = pf8bit;
      break;
    case 24:
      format = pf24bit;
      break;
    default:
      throw EDIBError("Bit depht not allowed");
    }
    int xDpi = kDefaultPageDpi, yDpi = kDefaultPageDpi;
    png_uint_32 xPpm = 0, yPpm = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xPpm, &yPpm, &unit) && unit == PNG_RESOLUTION_METER) {
      xDpi = static_cast<int>(Round(xPpm / 39.37));
      yDpi = static_cast<int>(Round(yPpm / 39.37));
    }
    if (xDpi <= 0 || yDpi <= 0) xDpi = yDpi = kDefaultPageDpi;
    CheckImageSize(width, height, bits);
    NewImage(static_cast<int>(width), static_cast<int>(height), format, xDpi, yDpi);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
      png_colorp entries = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &entries, &count)) {
        for (int i = 0; i < count && i < FColorCount; ++i)
          FPalette[i] = PaletteColor(entries[i].red, entries[i].green, entries[i].blue);
      }
    } else if (colourType == PNG_COLOR_TYPE_GRAY && FColorCount > 2) {
      // Grey samples of n bits run from black at 0 to white at 2^n - 1.
      for (int i = 0; i < FColorCount; ++i) {
        auto level = static_cast<uint8_t>(i * 255 / (FColorCount - 1));
        FPalette[i] = PaletteColor(level, level, level);
      }
    }
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = ScanLine(static_cast<int>(y));
    reader.ReadImage(rows.data());
  } catch (...) {
    Clear();
    throw;
  }
}
