#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/JpegCoding.h"

#include <string>
#include <vector>

namespace {

// A CMYK row as 24-bit rows hold it (blue, green, red): each colour is what
// its ink and the black ink leave of white paper.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned left = inverted ? cmyk[c] : 255u - cmyk[c];
      bgr[2 - c] = static_cast<uint8_t>((left * k + 127) / 255);
    }
  }
}

} // namespace

void TDIB::LoadJpegFromStream(TStream& stream) {
  LoadJpeg(stream, 0);
}

void TDIB::LoadJpegFromStream(TStream& stream, bool cmykInverted) {
  LoadJpeg(stream, cmykInverted ? 2 : 1);
}

void TDIB::LoadJpeg(TStream& stream, int cmykForm) {
  Clear();
  try {
    TJpegDecoder decoder(stream);
    jpeg_decompress_struct& info = decoder.Info();
    decoder.Call<EDIBError>([&] { jpeg_read_header(&info, TRUE); });
    // Colour is decoded straight into blue, green, red, the order of the rows;
    // four-component data as CMYK, converted row by row.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool inverted = cmykForm == 0 ? info.saw_Adobe_marker != 0 : cmykForm == 2;
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    CheckImageSize(info.image_width, info.image_height, info.num_components == 1 ? 8 : 32);
    decoder.Call<EDIBError>([&] { jpeg_start_decompress(&info); });
    TPixelFormat format;
    switch (info.output_components) {
    case 1:
      format = pf8bit;
      break;
    case 3:
    case 4:
      format = pf24bit;
      break;
    default:
      throw EDIBError("Invalid samples count: " + std::to_string(info.output_components));
    }
    int xDpi = kDefaultPageDpi, yDpi = kDefaultPageDpi;
    if (info.density_unit == 1) {
      xDpi = info.X_density;
      yDpi = info.Y_density;
    } else if (info.density_unit == 2) {
      xDpi = static_cast<int>(Round(info.X_density * 2.54));
      yDpi = static_cast<int>(Round(info.Y_density * 2.54));
    }
    if (xDpi <= 0 || yDpi <= 0) xDpi = yDpi = kDefaultPageDpi;
    NewImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), format,
             xDpi, yDpi);
    const int height = Height();
    JSAMPROW rows[8];
    std::vector<uint8_t> inks(cmyk ? 4 * size_t{info.output_width} : 0);
    while (static_cast<int>(info.output_scanline) < height) {
      const int first = static_cast<int>(info.output_scanline);
      const int count = cmyk ? 1 : std::min(8, height - first);
      for (int i = 0; i < count; ++i) rows[i] = cmyk ? inks.data() : ScanLine(first + i);
      JDIMENSION read = 0;
      decoder.Call<EDIBError>(
          [&] { read = jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)); });
      if (read == 0) throw EDIBError("JPEG decoding stopped early");
      if (cmyk) CmykToBgr(inks.data(), ScanLine(first), info.output_width, inverted);
    }
    decoder.Call<EDIBError>([&] { jpeg_finish_decompress(&info); });
  } catch (...) {
    Clear();
    throw;
  }
}
