// Any bytes given to the page reader, which picks BMP, TIFF, PNG or JPEG by
// signature: the reader either gives a page or raises one of our errors.
#include "core/Exception.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(data, size);
  TDIB page;
  for (int index = 0; index < 2; ++index) {
    stream.SetPosition(0);
    try {
      page.LoadFromStream(stream, index);
      // Touch every row, so a page that claims more than it holds shows up.
      unsigned sum = 0;
      for (int y = 0; y < page.Height() && page.RowBytes() > 0; ++y)
        sum += page.ScanLine(y)[page.RowBytes() - 1];
      (void)sum;
    } catch (const Exception&) {
    }
    if (size < 2 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
      break;
  }
  return 0;
}
