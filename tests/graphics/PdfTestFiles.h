#pragma once

#include "graphics/GraphicTestSupport.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// Runs a peer tool and records a test failure, with what it printed, when it
// does not succeed.
RunResult Tool(const std::vector<std::string>& arguments);

// A PDF file made of the object bodies given (object i + 1 is bodies[i],
// "" leaves the number free) with a correct classic cross-reference table
// and the trailer entries given besides /Size.
std::string BuildPdf(const std::vector<std::string>& bodies, const std::string& trailer);
// The same with a cross-reference stream (no filter, W [1 4 2]) as object
// bodies.size() + 1; entries maps object numbers to (type, field, index)
// for objects kept in object streams; the others are found by offset.
struct TXRefEntry {
  int number;
  int type;
  uint32_t field;
  uint16_t index;
};
std::string BuildPdfWithXRefStream(const std::vector<std::string>& bodies,
                                   const std::vector<TXRefEntry>& entries,
                                   const std::string& trailer);
// A stream object's body with its /Length.
std::string StreamObject(const std::string& entries, const std::string& data);
// A file of one page that draws one image: catalogue 1, page tree 2, page 3,
// content 4, image 5 with the entries given (its /Length is added).
std::string ImagePdf(const std::string& imageEntries, const std::string& data,
                     const std::string& mediaBox = "[0 0 72 72]",
                     const std::string& content = "q 72 0 0 72 0 0 cm /Im0 Do Q");

void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes);

// The bytes of object number's stream as the file stores them (through qpdf).
std::vector<uint8_t> RawStream(const std::string& path, int number);
// pdfimages -list, one row of fields per image.
std::vector<std::vector<std::string>> ImageList(const std::string& path);
// The image of a page as poppler extracts it (pdfimages -png).
void ExtractedImage(const std::string& path, int page, TDibGraphic& out);
// The JPEG data of a page's image as poppler extracts it (pdfimages -j), decoded by libjpeg.
JpegPixels ExtractedJpeg(const std::string& path, int page);
// The colours (0xRRGGBB) of libjpeg's decoding, rows from the top.
std::vector<uint32_t> JpegLooks(const JpegPixels& pixels);

// Page (from 1) of a PDF file read by TPdfGraphic.
void LoadPdfPage(const std::string& path, int page, TDibGraphic& out);

// A page written as a one-strip TIFF with libtiff: photometric, compression
// and Group 3 options as given; a 1-bit page (kept 0 = black) keeps its look.
void WriteTiffPage(const std::string& path, const TDibGraphic& page, int photometric,
                   int compression, int group3Options = 0);
// The raw bytes of a one-strip TIFF file's strip.
std::vector<uint8_t> RawStrip(const std::string& path);

} // namespace test
