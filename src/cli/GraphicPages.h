#pragma once

#include "graphics/DibGraphic.h"

#include <functional>
#include <memory>
#include <string>

// Pages of files for the commands, read and written through the graphic
// format table.

// Whether the file's extension has a graphic class.
bool HasGraphicFormat(const std::string& fileName);

// Number of pages of a file of a registered format.
int GraphicPageCount(const std::string& fileName);

// Page pageNumber (from 1) of a file: through its graphic class when its
// extension has one, else through the raster reader (PNG, say).
std::unique_ptr<TDibGraphic> LoadGraphicPage(const std::string& fileName, int pageNumber);

// Every page of a file of a registered format, in order, each handed to
// visit with its number from 1. TIFF and PDF files are opened and parsed
// once for all their pages.
void ForEachGraphicPage(const std::string& fileName,
                        const std::function<void(int pageNumber, TDibGraphic& page)>& visit);

// How a page is written into a TIFF file.
struct TTiffWriteOptions {
  int compression = -1; // a TTiffCompression, or -1: the page's own (see WriteGraphicPage)
  int rowsPerStrip = 0; // 0: as the page has it
};

// The TIFF compression for one of the raster writer's compression codes
// (0 by depth, 1 none, 2 PackBits, 3 and 4 Group 3 1-D and 2-D, 5 Group 4,
// 6 Deflate, 7 JPEG, 8 LZW; others none). Code 0 gives Group 4 for black and
// white, PackBits for 16-level pages, JPEG for grey and true colour and LZW
// for 256-colour pages, which JPEG cannot hold.
int TiffCompressionOfCode(int code, const TDibGraphic& page);

// Writes a page into a new file in the format of its extension (a file that
// appears whole or not at all), or appends it as the next page when append is
// set and the file exists. A TIFF target keeps the page's compression when
// it came from a TIFF file and its format allows it, else the compression by
// format: Group 4 for black and white, JPEG for 256 grey levels and true
// colour, LZW otherwise.
void WriteGraphicPage(TDibGraphic& page, const std::string& fileName, bool append,
                      const TTiffWriteOptions& options = {});
