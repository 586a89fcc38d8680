#include "graphics/RgbToPaletteConverter.h"

#include <utility>

TRgbToPaletteConverter::TRgbToPaletteConverter(std::vector<TColour> palette)
    : FPalette(std::move(palette)) {}

int TRgbToPaletteConverter::NearestIndex(TColour colour) {
  colour &= 0xFFFFFF;
  TSlot& slot = FCache[colour % FCache.size()];
  if (slot.index >= 0 && slot.colour == colour) return slot.index;
  int best = 0;
  int bestDistance = -1;
  for (size_t i = 0; i < FPalette.size(); ++i) {
    const int red = RedOf(FPalette[i]) - RedOf(colour);
    const int green = GreenOf(FPalette[i]) - GreenOf(colour);
    const int blue = BlueOf(FPalette[i]) - BlueOf(colour);
    const int distance = red * red + green * green + blue * blue;
    if (bestDistance < 0 || distance < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
      if (distance == 0) break;
    }
  }
  slot = {colour, best};
  return best;
}
