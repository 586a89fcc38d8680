#pragma once

#include "core/Exception.h"

// Every error the PDF writer raises itself.
class TPDFException : public Exception {
public:
  using Exception::Exception;
};

// Failures of the deflate compressor and misuse of a compression stream.
class ECompressionError : public Exception {
public:
  using Exception::Exception;
};

// The texts of the writer's errors; callers and tests compare against them.
inline constexpr const char* kGenerationInProgress = "Generation PDF file in progress";
inline constexpr const char* kGenerationNotActivated = "Generation PDF file not activated";
inline constexpr const char* kOutOfRange = "Out of range";
inline constexpr const char* kPageInProgress = "Page in progress";
inline constexpr const char* kCanvasAlreadyCreated = "Canvas for this page already created";

// A PDF file that the reader cannot take: not a PDF file, damaged,
// encrypted, or holding more than one image on a page.
class EPDFReadError : public Exception {
public:
  using Exception::Exception;
};
