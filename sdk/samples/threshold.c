/*
 * Sample plug-in module: turns every grey or colour pixel of a page black or
 * white by its brightness, keeping the page's depth and palette size (the
 * block may only be changed in place). Bilevel pages are left alone.
 */
#include "tessivane/plugin.h"

#include <stdio.h>
#include <string.h>

/* Pixels at least this bright (0 to 255) become white. */
enum { kThreshold = 128 };

static unsigned brightness(unsigned red, unsigned green, unsigned blue) {
  return (299 * red + 587 * green + 114 * blue) / 1000;
}

TSV_PLUGIN_EXPORT void GetProcessDescription(char* description) {
  snprintf(description, TSV_DESCRIPTION_SIZE, "Sample: black and white by threshold %d",
           kThreshold);
}

TSV_PLUGIN_EXPORT int32_t StartProcess(TSV_WINDOW mainWindow) {
  (void)mainWindow;
  return 0;
}

TSV_PLUGIN_EXPORT int32_t EndProcess(void) {
  return 0;
}

/* For a palette page: the index of the darkest and of the brightest entry,
 * and for every entry the index it becomes. */
static void palette_map(const uint8_t* palette, unsigned colours, uint8_t* map) {
  unsigned darkest = 0, brightest = 0, low = 256, high = 0;
  for (unsigned i = 0; i < colours; ++i) {
    const unsigned b = brightness(palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]);
    if (b < low) low = b, darkest = i;
    if (b >= high) high = b, brightest = i;
  }
  for (unsigned i = 0; i < colours; ++i) {
    const unsigned b = brightness(palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]);
    map[i] = (uint8_t)(b >= kThreshold ? brightest : darkest);
  }
}

TSV_PLUGIN_EXPORT int32_t ExecuteProcess(const char* fileName, int32_t pageIndex, TSV_HANDLE page) {
  (void)fileName;
  (void)pageIndex;
  const size_t size = tsv_mem_size(page);
  uint8_t* base = tsv_mem_lock(page);
  if (base == NULL) return 1;
  tsv_bitmap_info_header header;
  int32_t result = 1;
  if (size < sizeof header) goto done;
  memcpy(&header, base, sizeof header);
  const unsigned bits = header.biBitCount;
  if (header.biSize != 40 || header.biWidth <= 0 || header.biHeight <= 0 ||
      (bits != 4 && bits != 8 && bits != 24))
    goto done;
  const unsigned colours = bits == 24 ? 0 : header.biClrUsed ? header.biClrUsed : 1u << bits;
  if (colours > 256) goto done;
  const size_t stride = (((size_t)header.biWidth * bits + 31) / 32) * 4;
  const size_t rows = 40 + 4 * (size_t)colours;
  if (rows > size || (size - rows) / stride < (size_t)header.biHeight) goto done;
  uint8_t map[256];
  if (bits != 24) palette_map(base + 40, colours, map);
  for (int32_t y = 0; y < header.biHeight; ++y) {
    uint8_t* row = base + rows + (size_t)y * stride;
    for (int32_t x = 0; x < header.biWidth; ++x) {
      if (bits == 24) {
        uint8_t* pixel = row + 3 * (size_t)x;
        const uint8_t value = brightness(pixel[2], pixel[1], pixel[0]) >= kThreshold ? 255 : 0;
        pixel[0] = pixel[1] = pixel[2] = value;
      } else if (bits == 8) {
        row[x] = map[row[x] < colours ? row[x] : 0];
      } else {
        uint8_t* pair = row + x / 2;
        const unsigned shift = (x % 2) ? 0 : 4;
        const unsigned index = (*pair >> shift) & 0x0F;
        const uint8_t value = map[index < colours ? index : 0];
        *pair = (uint8_t)((*pair & ~(0x0F << shift)) | (value << shift));
      }
    }
  }
  result = 0;
done:
  tsv_mem_unlock(page);
  return result;
}
