#pragma once

#include <string>
#include <vector>

namespace apptest {

// Every image of a PDF file as poppler lists it (pdfimages -list): "page:
// width x height in pixels at the pixels per inch it is placed at each way".
std::vector<std::string> PlacedImages(const std::string& pdf);
// pdfinfo's "Page size:" of a PDF file ("842 x 1191 pts (A3)").
std::string PdfPageSize(const std::string& pdf);

} // namespace apptest
