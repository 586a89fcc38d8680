#pragma once

#include "graphics/GraphicTypes.h"

#include <array>
#include <vector>

// Finds the palette entry nearest to a colour: the smallest sum of squared
// differences of red, green and blue, the first entry winning a tie. Answers
// are cached in 1020 slots chosen by the colour value modulo 1020.
class TRgbToPaletteConverter {
public:
  explicit TRgbToPaletteConverter(std::vector<TColour> palette);
  int NearestIndex(TColour colour);

private:
  struct TSlot {
    TColour colour = 0;
    int index = -1;
  };
  std::vector<TColour> FPalette;
  std::array<TSlot, 1020> FCache{};
};
