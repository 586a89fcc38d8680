#include "print/DibGraphicPrinter.h"

#include "graphics/DibGraphic.h"
#include "support/TestApplication.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <gtest/gtest.h>
#include <sstream>

namespace {

// The 600-dpi PDF printer of these tests, portrait, writing to pdf.
void SetUpPrinter(QPrinter& printer, const std::string& pdf) {
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setResolution(600);
  printer.setPageSize(QPageSize(QSizeF(600, 816), QPageSize::Point, "Test", QPageSize::ExactMatch));
  printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Point);
  printer.setPageOrientation(QPageLayout::Portrait);
}

} // namespace

// A 600-dpi PDF printer on 600 x 816 points with 12-point margins: a printable
// area of 4800 x 6600 pixels, 100 pixels in from the paper's edges.
TEST(DibGraphicPrinter, MetricsPdfPageLandscapeTurnAndTheCallersClosedJob) {
  test::EnsureApplication();
  const test::TempDir dir;
  const std::string pdf = dir.File("out.pdf");
  QPrinter printer(QPrinter::HighResolution);
  SetUpPrinter(printer, pdf);
  TDibGraphic page;
  const auto picture = [&](int width, int height) -> TDibGraphic& {
    page.NewImage(width, height, 300, 300, nullptr, ifTrueColor);
    return page;
  };
  TDibGraphicPrinter graphicPrinter(printer);
  const TPrinterMetrics& m = graphicPrinter.Metrics();
  EXPECT_EQ((std::vector<int>{m.HorzRes, m.VertRes, m.PixelsPerInchX, m.PixelsPerInchY, m.OffsetX,
                              m.OffsetY}),
            (std::vector<int>{4800, 6600, 600, 600, 100, 100}));
  graphicPrinter.SetSizeMode(psByResolution);
  EXPECT_EQ(graphicPrinter.Print(picture(2480, 3508)), (TPrintRect{0, 0, 4665, 6600}));
  // "points wide x high; page: image width x height at x-ppi x y-ppi", as poppler reads it.
  const std::string info = test::Run({"pdfinfo", pdf}).out;
  std::istringstream size(info.substr(info.find("Page size:") + 10)),
      images(test::Run({"pdfimages", "-list", pdf}).out);
  std::string w, h, f[31];
  size >> w >> f[0] >> h;
  for (std::string& field : f) images >> field;
  EXPECT_EQ(w + " x " + h + "; " + f[17] + ": " + f[20] + "x" + f[21] + " at " + f[29] + "x" +
                f[30],
            "600 x 816; 1: 2480x3508 at 319x319");

  // A wide picture turns the page to landscape; the printable area turns with it.
  EXPECT_EQ(graphicPrinter.Print(picture(3000, 300)), (TPrintRect{0, 0, 6000, 600}));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(m.HorzRes, 6600);
  graphicPrinter.SetManageJob(false);
  EXPECT_EQ(test::ErrorOf([&] { graphicPrinter.Print(page); }), "No print job is open");
}

// The orientation follows the fixed size only while the printer runs its own
// jobs; drawing into the caller's job leaves orientation and job alone.
TEST(DibGraphicPrinter, OrientationOfFixedSizesAndTheCallersOpenJob) {
  test::EnsureApplication();
  const test::TempDir dir;
  QPrinter printer(QPrinter::HighResolution);
  SetUpPrinter(printer, dir.File("own.pdf"));
  TDibGraphic tall;
  tall.NewImage(300, 3000, 300, 300, nullptr, ifTrueColor);
  TDibGraphicPrinter graphicPrinter(printer);
  graphicPrinter.SetWidthInches(8);
  graphicPrinter.SetHeightInches(4);
  graphicPrinter.SetSizeMode(psFixedSize); // the mode held before was psFitToPage
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
  graphicPrinter.SetSizeMode(psByResolution); // leaving psFixedSize turns the page
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(graphicPrinter.Metrics().HorzRes, 6600);
  graphicPrinter.SetSizeMode(psFixedSize);
  SetUpPrinter(printer, dir.File("own.pdf"));
  graphicPrinter.SetJobTitle("Own job");
  EXPECT_EQ(graphicPrinter.Print(tall), (TPrintRect{0, 0, 4800, 2400})); // 8 x 4 in, landscape
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_NE(test::Run({"pdfinfo", dir.File("own.pdf")}).out.find("Own job"), std::string::npos);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  SetUpPrinter(printer, dir.File("caller.pdf"));
  graphicPrinter.SetManageJob(false);
  graphicPrinter.SetSizeMode(psFitToPage);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
  QPainter canvas(&printer);
  graphicPrinter.SetCanvas(&canvas);
  TDibGraphic wide;
  wide.NewImage(3000, 300, 300, 300, nullptr, ifTrueColor);
  EXPECT_EQ(graphicPrinter.Print(wide), (TPrintRect{0, 0, 4800, 480}));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
  EXPECT_TRUE(canvas.isActive());
  EXPECT_TRUE(canvas.end());
}
