#include "graphics/JpegGraphic.h"

#include "graphics/JpegCoder.h"
#include "raster/JpegCoding.h"
#include "raster/RowOps.h"

#include <cstring>

std::unique_ptr<TDibGraphic> TJpegGraphic::CreateEmpty() const {
  return std::make_unique<TJpegGraphic>();
}

bool TJpegGraphic::IsFormatStream(TStream& stream) {
  using namespace std::string_view_literals;
  return StartsWith(stream, "\xFF\xD8\xFF\xE0??JFIF\0"sv);
}

void TJpegGraphic::LoadImage(TStream& stream, int) {
  WithoutForeignErrors<EGraphicError>([&] {
    const int components = JpegComponentCount(stream);
    if (components != 1 && components != 3 && components != 4)
      throw EGraphicError("Invalid number of samples, " + std::to_string(components));
    TDIB dib;
    dib.LoadJpegFromStream(stream);
    // The raster reader keeps the file's density (0 when it gives none).
    const TBitmapInfoHeader& header = *dib.InfoHeader();
    ImportDib(dib, components == 1 ? ifGray256 : ifTrueColor,
              header.biXPelsPerMeter == 0 ? 0 : dib.XResolution(),
              header.biYPelsPerMeter == 0 ? 0 : dib.YResolution());
  });
}

void TJpegGraphic::SetQuality(int quality) {
  FQuality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
}

void TJpegGraphic::SaveToStream(TStream& stream) {
  WriteGraphicJpeg(*this, FQuality, stream);
}

void WriteGraphicJpeg(const TDibGraphic& graphic, int quality, TStream& stream) {
  if (graphic.Empty()) throw EGraphicError("Graphic is empty");
  if (graphic.ImageFormat() != ifGray256 && graphic.ImageFormat() != ifTrueColor)
    throw EGraphicError("JPEG image must be gray scale or true color");
  TJpegRows image;
  image.width = graphic.Width();
  image.height = graphic.Height();
  image.components = graphic.ImageFormat() == ifGray256 ? 1 : 3;
  image.quality = quality;
  image.space = image.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  image.dpi = true;
  image.xDpi = graphic.XDpi();
  image.yDpi = graphic.YDpi();
  // Grey pages are written as the grey levels their palette shows.
  uint8_t levels[256];
  for (int i = 0; i < graphic.PaletteSize(); ++i)
    levels[i] = static_cast<uint8_t>(GreenOf(graphic.PaletteColour(i)));
  image.row = [&](int y, uint8_t* samples) -> const uint8_t* {
    const uint8_t* row = graphic.ScanLine(y);
    if (image.components == 1) {
      for (int x = 0; x < image.width; ++x) samples[x] = levels[row[x]];
    } else {
      SwapRedBlue(row, samples, static_cast<size_t>(image.width));
    }
    return samples;
  };
  EncodeJpegRows<EGraphicError>(stream, image);
}
