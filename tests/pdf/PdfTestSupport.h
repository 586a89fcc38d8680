#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pdftest {

// The file split at CR LF; the bytes of a stream stay inside their line.
std::vector<std::string> Lines(const std::string& text);
std::string ReadText(const std::string& path);

// qpdf --check: exit status and everything it printed.
struct TCheck {
  int status = -1;
  std::string output;
};
TCheck QpdfCheck(const std::string& path);

// pdfinfo's page count and the media box of every page ("W x H" in points).
struct TPdfInfo {
  int pages = 0;
  std::vector<std::string> sizes;
};
TPdfInfo PdfInfo(const std::string& path);

// Poppler's rendering of one page (counting from 1) at dpi, mode "mono" (a
// 1-bit page, 0 = black), "gray" (8 bits) or "color" (24 bits). Rendered
// through poppler's cairo backend, which maps an image that fills the page
// onto exactly its own pixels; pdftoppm's backend stretches every image over
// one pixel more than it covers and interpolates, so no PDF renders back
// exactly through it.
void Render(const std::string& pdf, int page, int dpi, const std::string& mode, TDIB& out);

// Pixels whose colour differs between two pages of the same size (any depth).
int DifferentPixels(const TDIB& a, const TDIB& b);
// Mean absolute difference per colour sample between two pages of the same size.
double MeanError(const TDIB& a, const TDIB& b);

// Random 1-bit page of runs: run lengths drawn around meanRun, now and then
// much longer; rows sometimes start black; padding bits beyond the width set
// at random.
void RandomRunsPage(TDIB& page, int width, int height, uint64_t seed, int meanRun);

// Decodes fax data with libtiff, wrapped as a one-strip TIFF with the
// compression and T4Options that fit the mode; returns the rows (1 = black),
// or throws with libtiff's message.
std::vector<uint8_t> DecodeWithLibtiff(const std::vector<uint8_t>& coded, int width, int height,
                                       int mode);

// libtiff's own Group 4 coding of a page (kept 0 = black), as the strip
// bytes of a one-strip TIFF file.
std::vector<uint8_t> LibtiffGroup4(const TDIB& page);

// Compares decoded rows (1 = black) with a page kept 0 = black, within the width.
// Returns the first differing row, or -1.
int FirstDifferentRow(const TDIB& page, const std::vector<uint8_t>& rows);

// A one-component JPEG file of an 8-bit grey page (its palette ignored).
std::vector<uint8_t> GreyJpeg(const TDIB& page, int quality);
// A small four-component (CMYK) JPEG file.
std::vector<uint8_t> CmykJpeg(int width, int height);

// The inflated bytes of a zlib stream.
std::vector<uint8_t> Inflate(const uint8_t* data, size_t size);

} // namespace pdftest
