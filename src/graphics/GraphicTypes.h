#pragma once

#include "core/Exception.h"
#include "raster/Grey.h"

#include <cstdint>
#include <string>
#include <vector>

// The six image formats a graphic can hold. The numbers are stored and
// exchanged, so they never change.
enum TImageFormat : uint8_t {
  ifBlackWhite = 0, // 1 bit
  ifGray16 = 1,     // 4 bits, grey levels
  ifGray256 = 2,    // 8 bits, grey levels
  ifColor16 = 3,    // 4 bits, colour palette
  ifColor256 = 4,   // 8 bits, colour palette
  ifTrueColor = 5   // 24 bits
};

// Errors of the graphics framework and its transforms.
class EGraphicError : public Exception {
public:
  using Exception::Exception;
};

// A graphic colour value: blue in bits 0-7, green 8-15, red 16-23 (the
// layout of a palette entry). Raster pixel values use the opposite order.
using TColour = uint32_t;

constexpr TColour ColourOf(int red, int green, int blue) {
  return static_cast<TColour>(blue & 0xFF) | static_cast<TColour>(green & 0xFF) << 8 |
         static_cast<TColour>(red & 0xFF) << 16;
}
constexpr int RedOf(TColour colour) {
  return static_cast<int>(colour >> 16 & 0xFF);
}
constexpr int GreenOf(TColour colour) {
  return static_cast<int>(colour >> 8 & 0xFF);
}
constexpr int BlueOf(TColour colour) {
  return static_cast<int>(colour & 0xFF);
}
constexpr int GreyOf(TColour colour) {
  return GreyLevel(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

// Raises EGraphicError "Internal error: Invalid image format" for any value
// outside 0 to 5.
TImageFormat CheckedImageFormat(int format);
int FormatBits(TImageFormat format);
int FormatColourCount(TImageFormat format); // palette entries, 0 for true colour
const char* FormatDescription(TImageFormat format);
// The palette a new image of the format gets when none is given (empty for true colour).
const std::vector<TColour>& DefaultPalette(TImageFormat format);

// printf-style formatting of the framework's messages.
std::string FormatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
