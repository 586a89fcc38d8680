#pragma once

#include "core/Exception.h"

#include <string>

// The file format a Scan To File target is written in.
enum class TScanFileFormat { Tiff, Pdf };

// A Scan To File target whose extension names no format pages can be
// appended to.
class EScanTargetError : public Exception {
public:
  using Exception::Exception;
};

// The format chosen by the extension of fileName, ignoring case: ".tif" and
// ".tiff" give TIFF, ".pdf" PDF. Any other extension, or none, raises
// EScanTargetError with the message "Unable to scan to FILE - only .tif,
// .tiff and .pdf files can be written", so a scan is refused before it starts.
TScanFileFormat ScanFileFormat(const std::string& fileName);
