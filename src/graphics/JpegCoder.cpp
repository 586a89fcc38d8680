#include "graphics/JpegCoder.h"

#include "graphics/GraphicTypes.h"
#include "raster/JpegCoding.h"

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
