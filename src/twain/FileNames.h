#pragma once

#include "twain/Types.h"

#include <string>

// What FormatOfExtension answers for an extension of no known format.
constexpr uint16_t kInvalidFileFormat = 232;

// "tif" (TIFF, multi-page TIFF), "pct", "bmp", "xbm", "jpg" (JFIF, SPIFF,
// EXIF), "fpx", "png"; empty for other formats.
std::string FormatExtension(TTwnFileFmt format);
// The format of ".tif", ".pct", ".bmp", ".xbm", ".jpg", ".fpx", ".png" (any
// case, dot optional); kInvalidFileFormat otherwise.
uint16_t FormatOfExtension(const std::string& extension);
// The extension of a path's file name, without the dot; empty when it has none.
std::string ExtensionOf(const std::string& path);
// The path with its file name's extension replaced (or added).
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// The path with its file name (not its folders) in lower case.
std::string LowerCaseFileName(const std::string& path);
// A new, unused file name starting with prefix, in a folder of the
// system's temporary folder that only this process's user can reach (made
// once, mode 0700). When that folder cannot be made, the name lies in a
// folder that does not exist, so that nothing can be written under it.
std::string TemporaryFileName(const std::string& prefix);
