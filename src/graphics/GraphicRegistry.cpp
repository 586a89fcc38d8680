#include "graphics/GraphicRegistry.h"

#include "graphics/BitmapGraphic.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/TiffGraphic.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace {

// The formats this library provides; a new format is one more line here.
std::vector<TGraphicFormat> BuiltInFormats() {
  return {
      GraphicFormatOf<TTiffGraphic>({"TIF", "TIFF"}, "TIFF file"),
      GraphicFormatOf<TJpegGraphic>({"JPG", "JPEG"}, "JPEG"),
      GraphicFormatOf<TBitmapGraphic>({"BMP"}, "Bitmap file"),
      GraphicFormatOf<TPdfGraphic>({"PDF"}, "PDF file"),
  };
}

std::string UpperWithoutDot(std::string extension) {
  if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
  for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return extension;
}

struct TRegistry {
  std::mutex lock;
  std::vector<TGraphicFormat> formats;
  TRegistry() {
    for (TGraphicFormat& format : BuiltInFormats()) formats.push_back(std::move(format));
  }
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

} // namespace

void RegisterGraphicFormat(const TGraphicFormat& format) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.lock);
  TGraphicFormat added = format;
  for (std::string& extension : added.Extensions) extension = UpperWithoutDot(extension);
  for (TGraphicFormat& existing : registry.formats)
    std::erase_if(existing.Extensions, [&](const std::string& extension) {
      return std::find(added.Extensions.begin(), added.Extensions.end(), extension) !=
             added.Extensions.end();
    });
  registry.formats.push_back(std::move(added));
}

std::vector<TGraphicFormat> GraphicFormats() {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.lock);
  std::vector<TGraphicFormat> formats;
  for (const TGraphicFormat& format : registry.formats)
    if (!format.Extensions.empty()) formats.push_back(format);
  return formats;
}

std::optional<TGraphicFormat> FindGraphicFormat(const std::string& extension) {
  const std::string wanted = UpperWithoutDot(extension);
  if (wanted.empty()) return std::nullopt;
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.lock);
  for (auto format = registry.formats.rbegin(); format != registry.formats.rend(); ++format)
    if (std::find(format->Extensions.begin(), format->Extensions.end(), wanted) !=
        format->Extensions.end())
      return *format;
  return std::nullopt;
}

std::string FileExtension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot);
}

std::unique_ptr<TDibGraphic> GraphicForFile(const std::string& fileName) {
  const std::string extension = FileExtension(fileName);
  const std::optional<TGraphicFormat> format = FindGraphicFormat(extension);
  if (!format)
    throw EGraphicError(FormatText("Graphic files of %s format are not supported or not registered",
                                   extension.c_str()));
  return format->Create();
}
