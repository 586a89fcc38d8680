#pragma once

#include "core/Exception.h"

#include <optional>
#include <string>

// The file format a Scan To File target, or a saved batch, is written in.
enum class TScanFileFormat { Tiff, Pdf };

// The format the extension of fileName names, ignoring case: ".tif" and
// ".tiff" give TIFF, ".pdf" PDF; any other extension, or none, gives none.
std::optional<TScanFileFormat> PageFileFormat(const std::string& fileName);

// A Scan To File target whose extension names no format pages can be
// appended to.
class EScanTargetError : public Exception {
public:
  using Exception::Exception;
};

// The format PageFileFormat chooses for fileName. Any other extension, or
// none, raises EScanTargetError with the message "Unable to scan to FILE -
// only .tif, .tiff and .pdf files can be written", so a scan is refused
// before it starts.
TScanFileFormat ScanFileFormat(const std::string& fileName);
