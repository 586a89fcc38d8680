#include "graphics/BitmapGraphic.h"

#include "core/Rounding.h"

std::unique_ptr<TDibGraphic> TBitmapGraphic::CreateEmpty() const {
  return std::make_unique<TBitmapGraphic>();
}

bool TBitmapGraphic::IsFormatStream(TStream& stream) {
  return StartsWith(stream, "BM");
}

void TBitmapGraphic::LoadImage(TStream& stream, int) {
  WithoutForeignErrors<EGraphicError>([&] {
    TDIB dib;
    dib.LoadBmpFromStream(stream);
    std::vector<TColour> palette;
    for (int i = 0; i < dib.ColorCount(); ++i) palette.push_back(dib.PaletteEntry(i) & 0xFFFFFF);
    const TBitmapInfoHeader& header = *dib.InfoHeader();
    ImportDib(dib, FormatForBits(dib.BitCount(), palette),
              static_cast<int>(Round(header.biXPelsPerMeter * 0.0254)),
              static_cast<int>(Round(header.biYPelsPerMeter * 0.0254)));
  });
}
