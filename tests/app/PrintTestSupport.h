#pragma once

#include <string>
#include <vector>

namespace apptest {

// One image of a PDF file as poppler lists it (pdfimages -list): the page it
// is on, its size in pixels and the pixels per inch it is placed at.
struct TPlacedImage {
  int Page = 0;
  int Width = 0;
  int Height = 0;
  int XPpi = 0;
  int YPpi = 0;
  bool operator==(const TPlacedImage&) const = default;
};
std::vector<TPlacedImage> PlacedImages(const std::string& pdf);

// pdfinfo's "Pages:" and "Page size:" lines of a PDF file ("842 x 1191 pts (A3)").
int PdfPageCount(const std::string& pdf);
std::string PdfPageSize(const std::string& pdf);

} // namespace apptest
