#include "twain/FileNames.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Where the file name starts and where its extension's dot is (npos: none).
size_t NameStart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

size_t ExtensionDot(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  return dot == std::string::npos || dot < NameStart(path) ? std::string::npos : dot;
}

} // namespace

std::string FormatExtension(TTwnFileFmt format) {
  switch (format) {
  case TWFF_TIFF:
  case TWFF_TIFFMULTI:
    return "tif";
  case TWFF_PICT:
    return "pct";
  case TWFF_BMP:
    return "bmp";
  case TWFF_XBM:
    return "xbm";
  case TWFF_JFIF:
  case TWFF_SPIFF:
  case TWFF_EXIF:
    return "jpg";
  case TWFF_FPX:
    return "fpx";
  case TWFF_PNG:
    return "png";
  default:
    return {};
  }
}

uint16_t FormatOfExtension(const std::string& extension) {
  std::string ext = Lower(extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  if (ext == "tif") return TWFF_TIFF;
  if (ext == "pct") return TWFF_PICT;
  if (ext == "bmp") return TWFF_BMP;
  if (ext == "xbm") return TWFF_XBM;
  if (ext == "jpg") return TWFF_JFIF;
  if (ext == "fpx") return TWFF_FPX;
  if (ext == "png") return TWFF_PNG;
  return kInvalidFileFormat;
}

std::string ExtensionOf(const std::string& path) {
  const size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const size_t dot = ExtensionDot(path);
  const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
  return extension.empty() ? stem : stem + "." + extension;
}

std::string LowerCaseFileName(const std::string& path) {
  const size_t start = NameStart(path);
  return path.substr(0, start) + Lower(path.substr(start));
}

std::string TemporaryFileName(const std::string& prefix) {
  // One folder of this process's own, readable by nobody else, made once:
  // names inside it cannot be foreseen or planted by another user.
  static std::mutex lock;
  static std::string folder;
  static unsigned counter = 0;
  std::lock_guard guard(lock);
  if (folder.empty()) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
    const std::string pattern = (base / (prefix + "XXXXXX")).string();
    std::string made = pattern;
    // Without such a folder the name given leads nowhere, and the transfer fails.
    if (::mkdtemp(made.data()) == nullptr) return pattern + "/" + prefix;
    folder = made;
  }
  return folder + "/" + prefix + std::to_string(++counter);
}
