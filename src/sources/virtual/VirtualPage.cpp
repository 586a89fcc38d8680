#include "VirtualPage.h"

#include "raster/PageGenerator.h"
#include "tessivane/twain.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

// Digits 0 to 9, 5 columns by 7 rows, bit 4 the leftmost column.
constexpr std::array<std::array<uint8_t, 7>, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

int Black(const TDIB& page) {
  return page.BitCount() == 1 ? page.BlackIndex() : 0;
}
int White(const TDIB& page) {
  if (page.BitCount() == 1) return page.WhiteIndex();
  return page.BitCount() == 24 ? 0xFFFFFF : 255;
}

void FillRect(TDIB& page, int left, int top, int right, int bottom, int value) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, page.Width());
  bottom = std::min(bottom, page.Height());
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) page.SetPixel(x, y, value);
}

// The number in black on a white box, a quarter inch of margin from the
// top right corner, digits about 0.4 inch high.
void DrawPageNumber(TDIB& page, int number, int dpi) {
  const std::string text = std::to_string(number);
  const int cell = std::max(1, dpi * 4 / 70);
  const int gap = cell;
  const int digitWidth = 5 * cell;
  const int textWidth = static_cast<int>(text.size()) * (digitWidth + gap) - gap;
  const int margin = dpi / 4;
  const int right = page.Width() - margin;
  const int left = right - textWidth;
  const int top = margin;
  FillRect(page, left - gap, top - gap, right + gap, top + 7 * cell + gap, White(page));
  for (size_t i = 0; i < text.size(); ++i) {
    const auto& glyph = kDigits[static_cast<size_t>(text[i] - '0')];
    const int x0 = left + static_cast<int>(i) * (digitWidth + gap);
    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 5; ++column)
        if (glyph[static_cast<size_t>(row)] & (0x10 >> column))
          FillRect(page, x0 + column * cell, top + row * cell, x0 + (column + 1) * cell,
                   top + (row + 1) * cell, Black(page));
  }
}

void SetYResolution(TDIB& page, int yDpi) {
  auto* header = static_cast<TBitmapInfoHeader*>(page.Lock());
  header->biYPelsPerMeter = static_cast<int32_t>(yDpi * 39.37 + 0.5);
  page.Unlock();
}

} // namespace

int GreyLevel(const TDIB& page, int x, int y) {
  const uint32_t entry = page.PaletteEntry(page.GetPixel(x, y));
  return (PaletteRed(entry) + PaletteGreen(entry) + PaletteBlue(entry)) / 3;
}

std::unique_ptr<TDIB> RenderPage(const TPageLayout& layout, int pageNumber) {
  TPageSpec generated;
  generated.Width = layout.Width;
  generated.Height = layout.Height;
  generated.Dpi = layout.XDpi;
  generated.Bits = layout.PixelType == TWPT_RGB ? 24 : layout.PixelType == TWPT_GRAY ? 8 : 1;
  generated.Seed = static_cast<uint64_t>(pageNumber);
  auto page = std::make_unique<TDIB>();
  GeneratePage(*page, generated);
  DrawPageNumber(*page, pageNumber, std::min(layout.XDpi, layout.YDpi));
  if (layout.YDpi != layout.XDpi) SetYResolution(*page, layout.YDpi);
  if (layout.PixelType != TWPT_GRAY || layout.BitDepth != 4) return page;

  auto grey4 = std::make_unique<TDIB>();
  grey4->NewImage(page->Width(), page->Height(), pf4bit, layout.XDpi, layout.YDpi);
  for (int i = 0; i < 16; ++i)
    grey4->SetPaletteEntry(i,
                           PaletteColor(static_cast<uint8_t>(17 * i), static_cast<uint8_t>(17 * i),
                                        static_cast<uint8_t>(17 * i)));
  for (int y = 0; y < page->Height(); ++y)
    for (int x = 0; x < page->Width(); ++x) grey4->SetPixel(x, y, GreyLevel(*page, x, y) >> 4);
  if (layout.YDpi != layout.XDpi) SetYResolution(*grey4, layout.YDpi);
  return grey4;
}
