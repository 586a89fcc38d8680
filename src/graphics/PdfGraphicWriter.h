#pragma once

#include "graphics/DibGraphic.h"
#include "pdf/PDFObject.h"
#include "pdf/PDFWriter.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The objects of an image-only PDF file as TPdfGraphic writes them, one
// call per object: every object starts on its own "N 0 obj" line and every
// line ends with CR LF.

// An image XObject: its size, the dictionary entries that describe the
// samples (null ones are left out) and the stream's bytes as stored.
struct TPdfImageObject {
  int Width = 0;
  int Height = 0;
  TPDFObject BitsPerComponent;
  TPDFObject ColorSpace;
  TPDFObject Decode;
  TPDFObject Filter;
  TPDFObject DecodeParms;
  std::vector<uint8_t> OwnedData; // when the data is not held elsewhere
  std::span<const uint8_t> Data;
};

// The entries of the document information dictionary, as their bytes.
struct TPdfInfo {
  std::string Creator;
  std::string CreationDate; // "D:yyyymmddhhnnss"
  std::string Producer;
  std::string Author;
  std::string Title;
  std::string Subject;
  std::string Keywords;
};

// The page's image coded for PDF: Group 4 for black and white, Flate for 16
// grey levels and the palette formats (as an indexed colour space over RGB),
// JPEG for 256 grey levels and true colour.
TPdfImageObject EncodePageImage(const TDibGraphic& graphic);

// The content that draws image /Im<image> over a whole page of the size given.
std::string FullPageContent(const std::string& width, const std::string& height, int image);

class TPdfGraphicWriter {
public:
  // objectCount numbers are handed out at once, so objects can be written in
  // any order; each must be written before Finish.
  TPdfGraphicWriter(TStream& stream, int objectCount);

  void Header();
  void Info(int number, const TPdfInfo& info);
  void Pages(int number, const std::vector<int>& kids);
  // The crop box is left out when empty, the rotation when 0.
  void Page(int number, int parent, int resources, int contents, const std::string& mediaBox,
            const std::string& cropBox, int rotate);
  void Resources(int number, int image);
  void Content(int number, const std::string& content);
  void Image(int number, const TPdfImageObject& image);
  // A stream of another file copied as stored: its dictionary (without
  // /Length) and its data.
  void Stream(int number, const TPDFObject& dictionary, std::span<const uint8_t> data);
  void Catalog(int number, int pages);
  // The cross-reference table and the trailer; flushes everything to the stream.
  void Finish(int root, int info);

private:
  void Begin(int number);
  void End();

  TPDFWriter FWriter;
};
