#pragma once

#include "pdf/PDFImage.h"
#include "pdf/PDFTypes.h"

#include <memory>
#include <string>
#include <vector>

class TPDFWriter;

// Drawing recorded on a page's canvas: content operator lines already in page
// space, and the extent they cover from the page's top-left corner in device
// units. When the page ends, a recording that reaches at least 1 unit to the
// right and downward goes before the page's own content.
class TPDFCanvas {
public:
  void Draw(const std::vector<std::string>& operatorLines, double right, double bottom);
  const std::vector<std::string>& Lines() const { return FLines; }
  bool Reaches() const { return FRight >= 1 && FBottom >= 1; }

private:
  std::vector<std::string> FLines;
  double FRight = 0;
  double FBottom = 0;
};

// One page being built: its size, the content operator lines in order, and
// the images it draws. Coordinates given by the caller are device units
// (the document's Resolution per inch) from the top-left corner, y downward.
class TPDFPage {
public:
  TPDFPage(TPDFWriter& writer, TPDFImages& images, int resolution);
  TPDFPage(const TPDFPage&) = delete;
  TPDFPage& operator=(const TPDFPage&) = delete;
  ~TPDFPage();

  int ObjectNumber() const { return FObjectNumber; }

  // Size in device units: the nearest integer to the size in points times
  // the page factor. Setting stores the nearest integer to value / factor
  // points and sets the size code to 0. After drawing started, raises "Page
  // in progress".
  int Width() const;
  int Height() const;
  void SetWidth(int value);
  void SetHeight(int value);
  int PointWidth() const { return FWidth; }
  int PointHeight() const { return FHeight; }

  // Size codes 1 to 19 set a paper size and reapply the orientation; any
  // other code keeps the size.
  int PageSize() const { return FPageSize; }
  void SetPageSize(int code);
  // 0 portrait, 1 landscape.
  int Orientation() const { return FOrientation; }
  void SetOrientation(int orientation);
  // 0 to 3 quarter turns, written as /Rotate; settable at any time.
  int Rotation() const { return FRotation; }
  void SetRotation(int rotation);

  // Graphics state: a save appends "q"; a restore appends "Q" while the
  // depth is above 1 (the page's own opening "q" stays open).
  void GStateSave();
  void GStateRestore();
  int StateDepth() const { return FStateDepth; }

  // Draws image index with its top-left corner at (x, y) and size w x h in
  // device units, turned counter-clockwise by angle degrees about its
  // lower-left corner. Raises "Out of range" for an index outside the list.
  void ShowImage(int index, double x, double y, double w, double h, double angle);

  bool DrawingStarted() const { return FDrawingStarted; }
  const std::vector<std::string>& Content() const { return FContent; }
  // Made by the document with the page; a second call raises "Canvas for
  // this page already created".
  void CreateCanvas();
  TPDFCanvas* Canvas() { return FCanvas.get(); }

private:
  friend class TPDFDocument;
  // Turns the canvas recording into content and frees the canvas.
  void End();
  // Writes the page's images not yet written, resources, contents and page
  // object, then empties the content list.
  void Write(TPDFWriter& writer, TCompressionType compression, int pagesNumber);

  double ToPointsX(double x);
  double ToPointsY(double y);
  double ToPointsSize(double size);
  void CheckNotDrawing() const;

  TPDFImages& FImages;
  int FObjectNumber;
  long double FFactor;
  int FWidth = 0;
  int FHeight = 0;
  int FPageSize = 0;
  int FOrientation = 0;
  int FRotation = 0;
  int FStateDepth = 1;
  bool FDrawingStarted = false;
  std::vector<std::string> FContent;
  std::vector<int> FDrawnImages;
  std::unique_ptr<TPDFCanvas> FCanvas;
  bool FCanvasCreated = false;
};

// The document's pages in page order; owns them.
class TPDFPages {
public:
  TPDFPage& Add(std::unique_ptr<TPDFPage> page);
  int Count() const { return static_cast<int>(FItems.size()); }
  TPDFPage& operator[](int index) { return *FItems[static_cast<size_t>(index)]; }
  void Clear() { FItems.clear(); }

private:
  std::vector<std::unique_ptr<TPDFPage>> FItems;
};
