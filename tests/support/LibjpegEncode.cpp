#include "support/LibjpegEncode.h"

#include <cstdlib>

namespace test {

std::vector<uint8_t> LibjpegEncode(int width, int height, int components, J_COLOR_SPACE space,
                                   int quality, const std::function<int(int, int, int)>& sample,
                                   int densityUnit, int density) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.density_unit = static_cast<UINT8>(densityUnit);
  info.X_density = static_cast<UINT16>(density);
  info.Y_density = static_cast<UINT16>(density);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width * components));
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        row[static_cast<size_t>(x * components + c)] =
            static_cast<uint8_t>(sample(x, static_cast<int>(info.next_scanline), c));
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

} // namespace test
