#include "print/DibGraphicPrinter.h"

#include "graphics/DibGraphic.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

bool EnsureApplication() {
  static int argc = 1;
  static char name[] = "tessivane_print_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application =
      QGuiApplication::instance() == nullptr ? new QGuiApplication(argc, argv) : nullptr;
  return application != nullptr || QGuiApplication::instance() != nullptr;
}

// A PDF printer at 600 dpi whose paper is 600 x 816 points with 12-point
// margins: a printable area of 4800 x 6600 pixels, 100 pixels in from the
// paper's left and top edges.
class PrinterFixture : public ::testing::Test {
protected:
  void SetUp() override {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setResolution(600);
    printer.setPageSize(
        QPageSize(QSizeF(600, 816), QPageSize::Point, "Test", QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Point);
  }

  static TDibGraphic& Picture(TDibGraphic& graphic, int width, int height, int dpi) {
    graphic.NewImage(width, height, dpi, dpi, nullptr, ifTrueColor);
    return graphic;
  }

  // "pdfimages -list" rows: page, width, height and the placed pixels per
  // inch each way of every image.
  std::vector<std::vector<int>> Images() const {
    const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
    EXPECT_EQ(listed.status, 0) << listed.err;
    std::vector<std::vector<int>> rows;
    std::istringstream lines(listed.out);
    std::string line;
    for (int skip = 0; skip < 2 && std::getline(lines, line); ++skip) {
    }
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      int page = 0, number = 0, width = 0, height = 0, object = 0, generation = 0, xPpi = 0,
          yPpi = 0;
      std::string type, colour, components, bits, encoding, interpolate;
      if (fields >> page >> number >> type >> width >> height >> colour >> components >> bits >>
          encoding >> interpolate >> object >> generation >> xPpi >> yPpi)
        rows.push_back({page, width, height, xPpi, yPpi});
    }
    return rows;
  }

  std::string PageSize() const {
    const test::RunResult info = test::Run({"pdfinfo", pdf});
    EXPECT_EQ(info.status, 0) << info.err;
    // "Page size:" then the width and height in points.
    std::istringstream fields(
        info.out.substr(std::min(info.out.find("Page size:"), info.out.size())));
    std::string page, size, width, by, height;
    fields >> page >> size >> width >> by >> height;
    return width + " x " + height;
  }

  bool application = EnsureApplication();
  test::TempDir dir;
  std::string pdf = dir.File("out.pdf");
  QPrinter printer{QPrinter::HighResolution};
};

TEST_F(PrinterFixture, MetricsComeFromThePaperAndPageRectangles) {
  TDibGraphicPrinter graphicPrinter(printer);
  const TPrinterMetrics& metrics = graphicPrinter.Metrics();
  EXPECT_EQ(metrics.HorzRes, 4800);
  EXPECT_EQ(metrics.VertRes, 6600);
  EXPECT_EQ(metrics.PixelsPerInchX, 600);
  EXPECT_EQ(metrics.PixelsPerInchY, 600);
  EXPECT_EQ(metrics.OffsetX, 100);
  EXPECT_EQ(metrics.OffsetY, 100);
  EXPECT_EQ(graphicPrinter.SizeMode(), psFitToPage);
  EXPECT_TRUE(graphicPrinter.ManageJob());
}

TEST_F(PrinterFixture, ManagedJobPrintsOnePageInTheGraphicsOrientation) {
  TDibGraphic page;
  TDibGraphicPrinter graphicPrinter(printer);
  graphicPrinter.SetSizeMode(psByResolution);
  graphicPrinter.SetJobTitle("Job");
  const TPrintRect rect = graphicPrinter.Print(Picture(page, 2480, 3508, 300));
  EXPECT_EQ(rect, (TPrintRect{0, 0, 4665, 6600}));
  EXPECT_EQ(PageSize(), "600 x 816");
  EXPECT_EQ(Images(), (std::vector<std::vector<int>>{{1, 2480, 3508, 319, 319}}));

  // A wide picture turns the page to landscape; the printable area turns with it.
  const TPrintRect wide = graphicPrinter.Print(Picture(page, 3000, 300, 300));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(graphicPrinter.Metrics().HorzRes, 6600);
  EXPECT_EQ(wide, (TPrintRect{0, 0, 6000, 600}));
  EXPECT_EQ(PageSize(), "816 x 600");
}

TEST_F(PrinterFixture, FixedSizeOrientationFollowsTheInches) {
  TDibGraphic page;
  TDibGraphicPrinter graphicPrinter(printer);
  graphicPrinter.SetWidthInches(6);
  graphicPrinter.SetHeightInches(2);
  graphicPrinter.SetSizeMode(psFixedSize);
  graphicPrinter.Print(Picture(page, 100, 900, 300));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  // Leaving the fixed-size mode sets the orientation once more from the inches.
  graphicPrinter.SetHeightInches(7);
  graphicPrinter.SetSizeMode(psFitToPage);
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
}

TEST_F(PrinterFixture, CallersJobIsLeftAlone) {
  TDibGraphic page;
  TDibGraphicPrinter graphicPrinter(printer);
  graphicPrinter.SetSizeMode(psByResolution);
  graphicPrinter.SetManageJob(false);
  Picture(page, 3000, 300, 300);
  EXPECT_EQ(test::ErrorOf([&] { graphicPrinter.Print(page); }), "No print job is open");

  QPainter canvas(&printer);
  graphicPrinter.SetCanvas(&canvas);
  graphicPrinter.SetLeftMargin(0.5);
  EXPECT_EQ(graphicPrinter.Print(page), (TPrintRect{200, 0, 4800, 480}));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
  EXPECT_TRUE(canvas.isActive());
  printer.newPage();
  graphicPrinter.Print(Picture(page, 600, 600, 300));
  ASSERT_TRUE(canvas.end());
  EXPECT_EQ(Images(),
            (std::vector<std::vector<int>>{{1, 3000, 300, 375, 375}, {2, 600, 600, 300, 300}}));
}

} // namespace
