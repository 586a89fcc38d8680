#pragma once

#include "raster/DIB.h"
#include "raster/TiffBinding.h"

#include <cstdint>
#include <memory>

// What a TIFF directory says about its page, as far as reading it needs. The
// raster reader and the graphics framework read pages through this one
// description, so a page one of them reads the other reads the same way.
struct TTiffPageInfo {
  uint32_t width = 0; // as stored, before the orientation is applied
  uint32_t length = 0;
  uint16_t photometric = 0;
  uint16_t compression = 0;
  uint16_t bitsPerSample = 1; // 1 when the tag is missing, the TIFF 6.0 default
  uint16_t samplesPerPixel = 1;
  uint16_t extraSamples = 0; // alpha or unspecified samples after the colour ones
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t orientation = ORIENTATION_TOPLEFT; // 1 to 8
  bool fax = false;
  bool tiled = false;
  // Resolution of the page as it is seen (after the orientation); kDefaultPageDpi
  // when the file gives none. ResolutionUnit 3 (centimetres) is converted,
  // every other unit counts as inches.
  int xDpi = kDefaultPageDpi;
  int yDpi = kDefaultPageDpi;
  // RowsPerStrip, the image length for 0xFFFFFFFF, 16 when the tag is missing.
  uint32_t rowsPerStrip = 16;
};

// Describes the current directory. Raises ETiffError for a directory that
// gives no page ("TIFFGetField: Tag = " with the tag of a missing size,
// "Invalid image size") and for layouts that would make the reader allocate
// more than a page may hold (a tile or a strip far larger than its page).
TTiffPageInfo DescribeTiffPage(TIFF* tiff);

// Reads the page of the current directory into dib: 1, 4 and 8 bits with
// their palette for grey and palette pages (1-bit pages 0 = black), 24 bits
// for colour. Whatever libtiff decodes but the page cannot hold as it is
// stored (odd bit counts, 16-bit samples, alpha, planar or old-style JPEG
// data) goes through libtiff's RGBA interface: grey pages become 256 grey
// levels, others true colour, transparent parts laid over white paper. The
// orientation is applied last, the same way on every path. Every decoding
// failure libtiff reports raises ETiffError naming the libtiff call.
void ReadTiffPage(TTiffHandle& handle, const TTiffPageInfo& info, TDIB& dib);

// A TIFF file opened once, whose pages are read one after the other without
// opening it again. The stream must outlive the file.
class TTiffFile {
public:
  // Raises ETiffError "TIFFOpen" when libtiff cannot open the stream.
  explicit TTiffFile(TStream& stream);
  int PageCount();
  // Selects the page (from 0) and describes it; raises ETiffError
  // "TIFFSetDirectory: page " and the index when the file has no such page.
  TTiffPageInfo Select(int pageIndex);
  // Reads the selected page.
  void Read(const TTiffPageInfo& info, TDIB& dib) { ReadTiffPage(*FHandle, info, dib); }
  TIFF* Get() const { return FHandle->Get(); }

private:
  std::unique_ptr<TTiffHandle> FHandle;
};
