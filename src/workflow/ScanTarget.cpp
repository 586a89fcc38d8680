#include "workflow/ScanTarget.h"

#include "profiles/Text.h"

#include <filesystem>

std::optional<TScanFileFormat> PageFileFormat(const std::string& fileName) {
  const std::string extension = UpperCase(std::filesystem::path(fileName).extension().string());
  if (extension == ".TIF" || extension == ".TIFF") return TScanFileFormat::Tiff;
  if (extension == ".PDF") return TScanFileFormat::Pdf;
  return std::nullopt;
}

TScanFileFormat ScanFileFormat(const std::string& fileName) {
  if (const std::optional<TScanFileFormat> format = PageFileFormat(fileName)) return *format;
  throw EScanTargetError("Unable to scan to " + fileName +
                         " - only .tif, .tiff and .pdf files can be written");
}
