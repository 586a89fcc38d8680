#include "graphics/JpegCoder.h"

#include "graphics/GraphicTypes.h"
#include "raster/JpegCoding.h"

#include <algorithm>
#include <vector>

int JpegComponentCount(TStream& stream) {
  const int64_t start = stream.Position();
  int components = 0;
  {
    TJpegDecoder decoder(stream);
    jpeg_decompress_struct& info = decoder.Info();
    decoder.Call<EGraphicError>([&] { jpeg_read_header(&info, TRUE); });
    components = info.num_components;
  }
  stream.SetPosition(start);
  return components;
}

void WriteJpeg(TStream& stream, const TJpegImage& image) {
  TJpegEncoder encoder(stream);
  jpeg_compress_struct& info = encoder.Info();
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = image.components;
  info.in_color_space = image.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  encoder.Call<EGraphicError>([&] {
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, image.quality, TRUE);
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;
    info.X_density = static_cast<UINT16>(std::clamp(image.xDpi, 0, 65535));
    info.Y_density = static_cast<UINT16>(std::clamp(image.yDpi, 0, 65535));
    jpeg_start_compress(&info, TRUE);
  });
  std::vector<uint8_t> samples(static_cast<size_t>(image.width) *
                               static_cast<size_t>(image.components));
  for (int y = 0; y < image.height; ++y) {
    image.row(y, samples.data());
    JSAMPROW row = samples.data();
    encoder.Call<EGraphicError>([&] { jpeg_write_scanlines(&info, &row, 1); });
  }
  encoder.Call<EGraphicError>([&] { jpeg_finish_compress(&info); });
}
