#include "print/PrintGeometry.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A 600-dpi printable area of 4800 x 6600 pixels, 100 unprintable pixels left and top.
const TPrinterMetrics kPrinter{4800, 6600, 600, 600, 100, 100};
const TPrinterMetrics kLarge{6000, 8000, 600, 600};
const TPictureSize kA4{2480, 3508, 300, 300};

TEST(PrintGeometry, RectangleOrErrorForEveryModeAndMargin) {
  const struct {
    TPictureSize Picture;
    TPrinterMetrics Printer;
    TPrintPlacement At; // mode, width, height, left, top
    TPrintRect Expected;
    const char* Error = "(no error)";
  } cases[] = {
      {kA4, kPrinter, {psByResolution}, {0, 0, 4665, 6600}}, // shrunk; margins past the offset
      {kA4, kLarge, {psByResolution}, {0, 0, 4960, 7016}},   // never enlarged
      {{300, 300, 100, 200}, kPrinter, {psByResolution}, {0, 0, 1800, 900}},
      {{300, 300, 300, 300}, kPrinter, {psByResolution, 5, 5, 0.5, 1}, {200, 500, 600, 600}},
      {{3000, 2000, 300, 300}, kPrinter, {psFitToPage, 5, 5, 2, 2}, {0, 0, 4800, 3200}},
      {{1000, 2000, 300, 300}, kPrinter, {psFitToPage}, {0, 0, 3300, 6600}},
      {{10, 1000, 300, 300}, kPrinter, {psStretchToPage, 5, 5, 2, 2}, {0, 0, 4799, 6599}},
      {kA4, kPrinter, {psFixedWidth, 2, 9}, {0, 0, 1200, 1697}},
      {kA4, kPrinter, {psFixedHeight, 9, 3}, {0, 0, 1272, 1800}},
      {kA4, kPrinter, {psFixedSize, 4, 2}, {0, 0, 2400, 1200}},
      {{100, 100, 0, 300}, kPrinter, {psByResolution}, {}, "Division by zero"},
      {{100, 0, 300, 300}, kPrinter, {psFixedHeight, 1, 1}, {}, "Division by zero"},
      {kA4, kPrinter, {psFixedSize, 1e12, 1}, {}, "The printed size is out of range"},
  };
  for (const auto& c : cases) {
    TPrintRect rect{};
    const std::string error =
        test::ErrorOf([&] { rect = PrintRectangle(c.Picture, c.Printer, c.At); });
    EXPECT_EQ(error, c.Error) << &c - cases;
    EXPECT_EQ(rect, c.Expected) << &c - cases << ": " << rect.Left << "," << rect.Top << " "
                                << rect.Width << "x" << rect.Height;
  }
}

} // namespace
