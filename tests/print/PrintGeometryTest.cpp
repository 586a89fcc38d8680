#include "print/PrintGeometry.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A 600-dpi printer with a printable area of 4800 x 6600 pixels and 100
// unprintable pixels left and top.
const TPrinterMetrics kPrinter{4800, 6600, 600, 600, 100, 100};
const TPictureSize kA4At300{2480, 3508, 300, 300};

struct GeometryCase {
  const char* name;
  TPictureSize picture;
  TPrinterMetrics printer;
  TPrintPlacement placement;
  TPrintRect expected;
};

TPrintPlacement Mode(TPrintSizeMode mode, double left = 0, double top = 0) {
  TPrintPlacement placement;
  placement.Mode = mode;
  placement.LeftMargin = left;
  placement.TopMargin = top;
  return placement;
}

TPrintPlacement Inches(TPrintSizeMode mode, double width, double height) {
  TPrintPlacement placement = Mode(mode);
  placement.WidthInches = width;
  placement.HeightInches = height;
  return placement;
}

TEST(PrintGeometry, RectangleForEveryModeAndMargin) {
  const GeometryCase cases[] = {
      {"shrunk to the printable height",
       kA4At300,
       kPrinter,
       Mode(psByResolution),
       {0, 0, 4665, 6600}},
      {"large page: physical size, never enlarged",
       kA4At300,
       {6000, 8000, 600, 600, 0, 0},
       Mode(psByResolution),
       {0, 0, 4960, 7016}},
      {"small picture stays small",
       {300, 150, 300, 300},
       kPrinter,
       Mode(psByResolution),
       {0, 0, 600, 300}},
      {"own resolution each way",
       {300, 300, 100, 200},
       kPrinter,
       Mode(psByResolution),
       {0, 0, 1800, 900}},
      {"margin beyond the offset moves the picture",
       {300, 300, 300, 300},
       kPrinter,
       Mode(psByResolution, 0.5, 1.0),
       {200, 500, 600, 600}},
      {"margin inside the offset gives 0",
       {300, 300, 300, 300},
       kPrinter,
       Mode(psByResolution, 0.1, 0.15),
       {0, 0, 600, 600}},
      {"fit: landscape picture takes the full width",
       {3000, 2000, 300, 300},
       kPrinter,
       Mode(psFitToPage),
       {0, 0, 4800, 3200}},
      {"fit: tall picture takes the full height",
       {1000, 2000, 300, 300},
       kPrinter,
       Mode(psFitToPage),
       {0, 0, 3300, 6600}},
      {"fit ignores margins",
       {3000, 2000, 300, 300},
       kPrinter,
       Mode(psFitToPage, 2, 2),
       {0, 0, 4800, 3200}},
      {"stretch ignores margins and aspect",
       {10, 1000, 300, 300},
       kPrinter,
       Mode(psStretchToPage, 2, 2),
       {0, 0, 4799, 6599}},
      {"fixed width, height in proportion",
       kA4At300,
       kPrinter,
       Inches(psFixedWidth, 2, 9),
       {0, 0, 1200, 1697}},
      {"fixed height, width in proportion",
       kA4At300,
       kPrinter,
       Inches(psFixedHeight, 9, 3),
       {0, 0, 1272, 1800}},
      {"fixed size, aspect not kept",
       kA4At300,
       kPrinter,
       Inches(psFixedSize, 4, 2),
       {0, 0, 2400, 1200}},
  };
  for (const GeometryCase& c : cases) {
    const TPrintRect rect = PrintRectangle(c.picture, c.printer, c.placement);
    EXPECT_EQ(rect, c.expected) << c.name << ": got " << rect.Left << "," << rect.Top << " "
                                << rect.Width << " x " << rect.Height;
  }
}

TEST(PrintGeometry, ImpossibleSizesRaiseAClearError) {
  EXPECT_EQ(test::ErrorOf([] {
              PrintRectangle({100, 100, 0, 300}, kPrinter, Mode(psByResolution));
            }),
            "Division by zero");
  EXPECT_EQ(test::ErrorOf([] {
              PrintRectangle({0, 100, 300, 300}, kPrinter, Mode(psFitToPage));
            }),
            "Division by zero");
  EXPECT_EQ(test::ErrorOf([] {
              PrintRectangle({100, 0, 300, 300}, kPrinter, Inches(psFixedHeight, 1, 1));
            }),
            "Division by zero");
  EXPECT_EQ(test::ErrorOf([] { PrintRectangle(kA4At300, kPrinter, Inches(psFixedSize, 1e12, 1)); }),
            "The printed size is out of range");
}

} // namespace
