#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/JpegCoding.h"

#include <string>
#include <vector>

void TDIB::LoadJpegFromStream(TStream& stream) {
  Clear();
  try {
    TJpegDecoder decoder(stream);
    jpeg_decompress_struct& info = decoder.Info();
    decoder.Call<EDIBError>([&] { jpeg_read_header(&info, TRUE); });
    // Colour is decoded straight into blue, green, red, the order of the rows.
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    CheckImageSize(info.image_width, info.image_height, info.num_components == 1 ? 8 : 24);
    decoder.Call<EDIBError>([&] { jpeg_start_decompress(&info); });
    TPixelFormat format;
    switch (info.output_components) {
    case 1:
      format = pf8bit;
      break;
    case 3:
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
    while (static_cast<int>(info.output_scanline) < height) {
      const int first = static_cast<int>(info.output_scanline);
      const int count = std::min(8, height - first);
      for (int i = 0; i < count; ++i) rows[i] = ScanLine(first + i);
      JDIMENSION read = 0;
      decoder.Call<EDIBError>(
          [&] { read = jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)); });
      if (read == 0) throw EDIBError("JPEG decoding stopped early");
    }
    decoder.Call<EDIBError>([&] { jpeg_finish_decompress(&info); });
  } catch (...) {
    Clear();
    throw;
  }
}
