#include "app/StripGrid.h"

#include "core/Rounding.h"

#include <algorithm>

// The caption label below each thumbnail.
constexpr int kCaptionHeight = 12;

TStripGrid::TStripGrid(int size, int space, int columns)
    : FSize(size), FSpace(space), FColumns(std::max(columns, 1)), FX(space), FY(space) {}

void TStripGrid::Advance() {
  FX += FSpace + FSize;
  ++FColumn;
  if (FColumn >= FColumns) {
    FY += FSpace + FSize + kCaptionHeight;
    FX = FSpace;
    FColumn = 0;
  }
}

void TStripGrid::SeekTo(int k) {
  FColumn = k % FColumns;
  FX = FSpace + FColumn * (FSpace + FSize);
  FY = FSpace + (k / FColumns) * (FSpace + FSize + kCaptionHeight);
}

int StripColumnCount(int clientWidth, int scrollBarWidth, bool hasVerticalRange, int size,
                     int space) {
  const int cell = size + space;
  if (cell <= 0) return 1;
  const int room = clientWidth - (hasVerticalRange ? 0 : scrollBarWidth);
  return static_cast<int>(std::max<int64_t>(Div(room, cell), 1));
}
