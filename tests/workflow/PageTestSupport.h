#pragma once

#include "graphics/DibGraphic.h"
#include "graphics/TiffGraphic.h"
#include "support/TestSupport.h"
#include "workflow/BatchProgress.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace test {

// Records every call, so the order of Begin, Position and End shows.
class TRecordedProgress : public TBatchProgress {
public:
  void Begin(int maximum) override { Calls.push_back("begin " + std::to_string(maximum)); }
  void Position(int position) override { Calls.push_back(std::to_string(position)); }
  void End() override { Calls.push_back("end"); }
  std::vector<std::string> Calls;
};

// A page of the format with a pattern no turn or flip maps onto itself:
// a block in the top left corner, a stripe along the bottom and noise.
std::unique_ptr<TDibGraphic> PatternPage(TImageFormat format, int width, int height, int xDpi,
                                         int yDpi, unsigned seed = 1);
// Writes the page as a file of the class its extension selects.
void SavePage(const TDibGraphic& page, const std::string& fileName);
// Appends a pattern page of each format, stored with its compression, to a
// TIFF file; the seeds are 1, 2, ...
void AppendTiffPages(const std::string& fileName,
                     const std::vector<std::pair<TImageFormat, TTiffCompression>>& pages, int width,
                     int height, int xDpi, int yDpi);
// Page pageNumber (from 1) of a file, read through the graphic registry.
std::unique_ptr<TDibGraphic> LoadPage(const std::string& fileName, int pageNumber = 1);
// Same size, and every colour channel within tolerance at every pixel.
::testing::AssertionResult SamePixels(const TDibGraphic& a, const TDibGraphic& b,
                                      int tolerance = 0);
// The mean of every channel's absolute difference over the pages, which
// must have one size (a large value otherwise).
double MeanDifference(const TDibGraphic& a, const TDibGraphic& b);
// Runs tessivane-cli with the arguments.
RunResult Cli(std::vector<std::string> arguments);
// The compression scheme lines tiffinfo prints, one per page.
std::vector<std::string> TiffCompressions(const std::string& fileName);
// The rows of "pdfimages -list" after its two header lines.
std::vector<std::string> PdfImageRows(const std::string& fileName);
// The stored bytes of every JPEG and Group 4 image of a PDF file, in order
// (pdfimages -j -ccitt); other images come decoded.
std::vector<std::vector<uint8_t>> PdfImageData(const std::string& fileName);

} // namespace test
