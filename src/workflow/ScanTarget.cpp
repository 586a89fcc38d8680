#include "workflow/ScanTarget.h"

#include "profiles/Text.h"

#include <filesystem>

TScanFileFormat ScanFileFormat(const std::string& fileName) {
  const std::string extension = UpperCase(std::filesystem::path(fileName).extension().string());
  if (extension == ".TIF" || extension == ".TIFF") return TScanFileFormat::Tiff;
  if (extension == ".PDF") return TScanFileFormat::Pdf;
  throw EScanTargetError("Unable to scan to " + fileName +
                         " - only .tif, .tiff and .pdf files can be written");
}
