#include "print/PrintGeometry.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A 600-dpi printer with a printable area of 4800 x 6600 pixels and 100
// unprintable pixels left and top.
const TPrinterMetrics kPrinter{4800, 6600, 600, 600, 100, 100};
const TPrinterMetrics kLargePage{6000, 8000, 600, 600, 0, 0};
const TPictureSize kA4At300{2480, 3508, 300, 300};
const char* const kOutOfRange = "The printed size is out of range";

TPrintPlacement Place(TPrintSizeMode mode, double left = 0, double top = 0, double width = 5,
                      double height = 5) {
  return {mode, width, height, left, top};
}

TEST(PrintGeometry, RectangleOrErrorForEveryModeAndMargin) {
  const struct {
    TPictureSize Picture;
    TPrinterMetrics Printer;
    TPrintPlacement Placement;
    TPrintRect Expected;
    const char* Error = nullptr; // raised instead, when set
  } cases[] = {
      // By resolution: shrunk to the printable height; physical size on a
      // large page, never enlarged; a small picture stays small; each way
      // at its own resolution.
      {kA4At300, kPrinter, Place(psByResolution), {0, 0, 4665, 6600}},
      {kA4At300, kLargePage, Place(psByResolution), {0, 0, 4960, 7016}},
      {{300, 150, 300, 300}, kPrinter, Place(psByResolution), {0, 0, 600, 300}},
      {{300, 300, 100, 200}, kPrinter, Place(psByResolution), {0, 0, 1800, 900}},
      // A margin beyond the offset moves the picture; one inside it gives 0.
      {{300, 300, 300, 300}, kPrinter, Place(psByResolution, 0.5, 1.0), {200, 500, 600, 600}},
      {{300, 300, 300, 300}, kPrinter, Place(psByResolution, 0.1, 0.15), {0, 0, 600, 600}},
      // Fit: a landscape picture takes the full width, a tall one the full
      // height, margins ignored; stretch ignores margins and aspect.
      {{3000, 2000, 300, 300}, kPrinter, Place(psFitToPage), {0, 0, 4800, 3200}},
      {{1000, 2000, 300, 300}, kPrinter, Place(psFitToPage), {0, 0, 3300, 6600}},
      {{3000, 2000, 300, 300}, kPrinter, Place(psFitToPage, 2, 2), {0, 0, 4800, 3200}},
      {{10, 1000, 300, 300}, kPrinter, Place(psStretchToPage, 2, 2), {0, 0, 4799, 6599}},
      // Fixed width or height with the other side in proportion; fixed size
      // does not keep the aspect.
      {kA4At300, kPrinter, Place(psFixedWidth, 0, 0, 2, 9), {0, 0, 1200, 1697}},
      {kA4At300, kPrinter, Place(psFixedHeight, 0, 0, 9, 3), {0, 0, 1272, 1800}},
      {kA4At300, kPrinter, Place(psFixedSize, 0, 0, 4, 2), {0, 0, 2400, 1200}},
      // A zero resolution or side the mode divides by; a size beyond an integer.
      {{100, 100, 0, 300}, kPrinter, Place(psByResolution), {}, "Division by zero"},
      {{0, 100, 300, 300}, kPrinter, Place(psFitToPage), {}, "Division by zero"},
      {{100, 0, 300, 300}, kPrinter, Place(psFixedHeight, 0, 0, 1, 1), {}, "Division by zero"},
      {kA4At300, kPrinter, Place(psFixedSize, 0, 0, 1e12, 1), {}, kOutOfRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (c.Error) {
      EXPECT_EQ(test::ErrorOf([&] { PrintRectangle(c.Picture, c.Printer, c.Placement); }), c.Error);
      continue;
    }
    const TPrintRect rect = PrintRectangle(c.Picture, c.Printer, c.Placement);
    EXPECT_EQ(rect, c.Expected) << "got " << rect.Left << "," << rect.Top << " " << rect.Width
                                << " x " << rect.Height;
  }
}

} // namespace
