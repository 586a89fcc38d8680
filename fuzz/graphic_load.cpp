// Any bytes given to the graphic formats: the first whose signature matches
// (TIFF, JPEG, BMP; TIFF also when none does) counts the images and reads the
// first two, then the page is reduced for a thumbnail. Each step either works
// or raises one of our errors.
#include "core/Exception.h"
#include "core/MemoryStream.h"
#include "graphics/BitmapGraphic.h"
#include "graphics/JpegGraphic.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(data, size);
  std::unique_ptr<TDibGraphic> graphic;
  if (TJpegGraphic().IsFormatStream(stream))
    graphic = std::make_unique<TJpegGraphic>();
  else if (TBitmapGraphic().IsFormatStream(stream))
    graphic = std::make_unique<TBitmapGraphic>();
  else
    graphic = std::make_unique<TTiffGraphic>();
  try {
    const int count = graphic->ImageCount(stream);
    for (int image = 1; image <= count && image <= 2; ++image) {
      stream.SetPosition(0);
      try {
        graphic->LoadImage(stream, image);
        RenderThumbnailPicture(*graphic, 16, 16);
      } catch (const Exception&) {
      }
    }
  } catch (const Exception&) {
  }
  return 0;
}
