#include "graphics/GraphicTypes.h"

#include "core/Rounding.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace {

const TColour kVga16[16] = {
    ColourOf(0, 0, 0),     ColourOf(0, 0, 170),    ColourOf(0, 170, 0),    ColourOf(0, 170, 170),
    ColourOf(170, 0, 0),   ColourOf(170, 0, 170),  ColourOf(170, 85, 0),   ColourOf(170, 170, 170),
    ColourOf(85, 85, 85),  ColourOf(85, 85, 255),  ColourOf(85, 255, 85),  ColourOf(85, 255, 255),
    ColourOf(255, 85, 85), ColourOf(255, 85, 255), ColourOf(255, 255, 85), ColourOf(255, 255, 255)};

// The VGA's default 256-colour palette, built from its 6-bit DAC values.
std::vector<TColour> Vga256() {
  auto eight = [](int six) { return static_cast<int>(Round(six * 255.0 / 63.0)); };
  std::vector<TColour> palette(kVga16, kVga16 + 16);
  const int grey[16] = {0x00, 0x05, 0x08, 0x0B, 0x0E, 0x11, 0x14, 0x18,
                        0x1C, 0x20, 0x24, 0x28, 0x2D, 0x32, 0x38, 0x3F};
  for (int level : grey) palette.push_back(ColourOf(eight(level), eight(level), eight(level)));
  // Three intensities, each at three saturations: five levels from the
  // lowest to the highest component, walked round 24 hues from blue.
  const int levels[9][5] = {{0x00, 0x10, 0x1F, 0x2F, 0x3F}, {0x1F, 0x27, 0x2F, 0x37, 0x3F},
                            {0x2D, 0x31, 0x36, 0x3A, 0x3F}, {0x00, 0x07, 0x0E, 0x15, 0x1C},
                            {0x0E, 0x11, 0x15, 0x18, 0x1C}, {0x14, 0x16, 0x18, 0x1A, 0x1C},
                            {0x00, 0x04, 0x08, 0x0C, 0x10}, {0x08, 0x0A, 0x0C, 0x0E, 0x10},
                            {0x0B, 0x0C, 0x0D, 0x0F, 0x10}};
  // Red, green and blue as level numbers for each of the 24 hues.
  const int hues[24][3] = {{0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3},
                           {4, 0, 2}, {4, 0, 1}, {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0},
                           {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0}, {0, 4, 0}, {0, 4, 1},
                           {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};
  for (const auto& level : levels)
    for (const auto& hue : hues)
      palette.push_back(ColourOf(eight(level[hue[0]]), eight(level[hue[1]]), eight(level[hue[2]])));
  palette.resize(256, ColourOf(0, 0, 0));
  return palette;
}

std::array<std::vector<TColour>, 6> MakeDefaultPalettes() {
  std::array<std::vector<TColour>, 6> palettes;
  palettes[ifBlackWhite] = {ColourOf(0, 0, 0), ColourOf(255, 255, 255)};
  for (int i = 0; i < 16; ++i) palettes[ifGray16].push_back(ColourOf(i * 17, i * 17, i * 17));
  for (int i = 0; i < 256; ++i) palettes[ifGray256].push_back(ColourOf(i, i, i));
  palettes[ifColor16].assign(kVga16, kVga16 + 16);
  palettes[ifColor256] = Vga256();
  return palettes;
}

} // namespace

TImageFormat CheckedImageFormat(int format) {
  if (format < ifBlackWhite || format > ifTrueColor)
    throw EGraphicError("Internal error: Invalid image format");
  return static_cast<TImageFormat>(format);
}

int FormatBits(TImageFormat format) {
  static const int bits[6] = {1, 4, 8, 4, 8, 24};
  return bits[CheckedImageFormat(format)];
}

int FormatColourCount(TImageFormat format) {
  static const int colours[6] = {2, 16, 256, 16, 256, 0};
  return colours[CheckedImageFormat(format)];
}

const char* FormatDescription(TImageFormat format) {
  static const char* const texts[6] = {"Black and white", "16 shades of gray", "256 shades of gray",
                                       "16 color",        "256 color",         "True color"};
  return texts[CheckedImageFormat(format)];
}

const std::vector<TColour>& DefaultPalette(TImageFormat format) {
  static const std::array<std::vector<TColour>, 6> palettes = MakeDefaultPalettes();
  return palettes[CheckedImageFormat(format)];
}

std::string FormatText(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  char buffer[1024];
  std::vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}
