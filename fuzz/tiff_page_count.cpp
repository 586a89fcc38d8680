// Any bytes given to the TIFF page counter.
#include "core/Exception.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(data, size);
  try {
    TDIB::TiffPageCount(stream);
  } catch (const Exception&) {
  }
  return 0;
}
