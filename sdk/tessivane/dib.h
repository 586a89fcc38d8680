/*
 * The packed device-independent bitmap: how a page travels in a block of
 * tessivane/pagemem.h between the application, the TWAIN manager, data
 * sources and plug-in modules.
 *
 * A block holds the 40-byte information header, a palette of 2, 16 or 256
 * entries for 1, 4 and 8 bits per pixel (none for 24; each entry blue,
 * green, red, 0), then the rows, the bottom row first, each padded to a
 * multiple of 4 bytes. All fields are little-endian. A BMP file is the same
 * preceded by the 14-byte file header.
 */
#ifndef TESSIVANE_DIB_H
#define TESSIVANE_DIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)
typedef struct tsv_bitmap_file_header {
  uint16_t bfType; /* "BM" = 0x4D42 */
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
} tsv_bitmap_file_header;

typedef struct tsv_bitmap_info_header {
  uint32_t biSize; /* 40 */
  int32_t biWidth;
  int32_t biHeight; /* positive: rows stored bottom-up */
  uint16_t biPlanes;
  uint16_t biBitCount; /* 1, 4, 8 or 24 */
  uint32_t biCompression; /* 0 */
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} tsv_bitmap_info_header;
#pragma pack(pop)

#ifdef __cplusplus
}
static_assert(sizeof(tsv_bitmap_file_header) == 14);
static_assert(sizeof(tsv_bitmap_info_header) == 40);
#endif

#endif
