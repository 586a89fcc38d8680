#pragma once

#include "graphics/GraphicTestSupport.h"
#include "graphics/TiffGraphic.h"
#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"
#include "workflow/BatchProgress.h"

namespace test {

// Records every call, so the order of Begin, Position and End shows.
struct TRecordedProgress : TBatchProgress {
  void Begin(int maximum) override { Calls.push_back("begin " + std::to_string(maximum)); }
  void Position(int position) override { Calls.push_back(std::to_string(position)); }
  void End() override { Calls.push_back("end"); }
  std::vector<std::string> Calls;
};

// A block in the top left corner, a stripe along the bottom and noise: no
// turn or flip maps the page onto itself, and JPEG codes it closely.
std::unique_ptr<TDibGraphic> PatternPage(TImageFormat format, int width, int height, int xDpi = 100,
                                         int yDpi = 100, unsigned seed = 1);
// Writes the page as a file of the class its extension selects.
void SavePage(const TDibGraphic& page, const std::string& fileName);
// Appends pattern pages (seeds 1, 2, ...) stored with those compressions.
void AppendTiffPages(const std::string& fileName,
                     const std::vector<std::pair<TImageFormat, TTiffCompression>>& pages, int width,
                     int height, int xDpi, int yDpi);
// Page pageNumber (from 1) of a file, read through the graphic registry.
std::unique_ptr<TDibGraphic> LoadPage(const std::string& fileName, int pageNumber = 1);
// One size, and every channel of every pixel within tolerance.
::testing::AssertionResult SamePixels(const TDibGraphic& a, const TDibGraphic& b,
                                      int tolerance = 0);
// tiffinfo's compression scheme of each page; the stored data of a PDF's
// JPEG and Group 4 images as "pdfimages -j -ccitt" writes them into folder.
std::vector<std::string> TiffCompressions(const std::string& fileName);
std::vector<std::string> PdfImages(const std::string& fileName, const TempDir& folder);

} // namespace test
