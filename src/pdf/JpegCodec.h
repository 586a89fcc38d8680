#pragma once

#include "core/Exception.h"
#include "core/Stream.h"
#include "raster/DIB.h"

#include <cstdint>
#include <string>
#include <vector>

// Failures reported by the JPEG library while coding or reading a header.
class EJPEGError : public Exception {
public:
  using Exception::Exception;
};

// Codes a page as a baseline JPEG file with three colour components at the
// given quality (the library's defaults otherwise), from the page converted
// to 24 bits per pixel. The file data is written to output as it is produced.
void EncodeJpeg(const TDIB& page, int quality, TStream& output);

// A JPEG file kept as it is, with what its frame header says. The data is
// checked as far as the header; raises EJPEGError when that fails.
class TJPEGImage {
public:
  explicit TJPEGImage(std::vector<uint8_t> data);
  static TJPEGImage LoadFromFile(const std::string& fileName);

  const std::vector<uint8_t>& Data() const { return FData; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Components() const { return FComponents; }
  // The picture decoded into a page (8 or 24 bits per pixel); four-component
  // data holds CMYK samples, inverted ink values when cmykInverted is set.
  void Decode(TDIB& page, bool cmykInverted = false) const;

private:
  std::vector<uint8_t> FData;
  int FWidth = 0;
  int FHeight = 0;
  int FComponents = 0;
};
