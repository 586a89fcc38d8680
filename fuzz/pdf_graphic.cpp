// Any bytes given to TPdfGraphic: the page count, the first two pages read
// and reduced for a thumbnail, then a small page appended to the file. Each
// step either works or raises one of our errors; and an append that works
// must give a file that reads back with one page more, whose first page
// shows what the first page of the input showed.
#include "core/Exception.h"
#include "core/MemoryStream.h"
#include "graphics/PdfGraphic.h"
#include "graphics/Thumbnail.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

bool SamePixels(const TDibGraphic& a, const TDibGraphic& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.ImageFormat() != b.ImageFormat() ||
      a.Palette() != b.Palette())
    return false;
  const auto bytes = static_cast<size_t>((a.Width() * a.BitCount() + 7) / 8);
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), bytes) != 0) return false;
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(data, size);
  TPdfGraphic graphic;
  int count = 0;
  std::unique_ptr<TPdfGraphic> first;
  try {
    count = graphic.ImageCount(stream);
    for (int image = 1; image <= count && image <= 2; ++image) {
      try {
        graphic.LoadImage(stream, image);
        if (image == 1) {
          first = std::make_unique<TPdfGraphic>();
          first->Assign(graphic);
        }
        RenderThumbnailPicture(graphic, 16, 16);
      } catch (const Exception&) {
      }
    }
  } catch (const Exception&) {
    return 0;
  }

  TMemoryStream file(data, size);
  try {
    TPdfGraphic page;
    page.NewImage(9, 5, 72, 72, nullptr, ifBlackWhite);
    page.SetPixel(4, 2, 0);
    page.AppendToStream(file);
  } catch (const Exception&) {
    return 0;
  }
  file.SetPosition(0);
  TPdfGraphic reader;
  if (reader.ImageCount(file) != count + 1) std::abort();
  if (first != nullptr) {
    reader.LoadImage(file, 1);
    if (!SamePixels(reader, *first)) std::abort();
  }
  return 0;
}
