#include "print/DibGraphicPrinter.h"

#include "graphics/DibGraphic.h"
#include "support/TestApplication.h"
#include "support/TestSupport.h"

#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>

namespace {

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

  // The PDF as poppler reads it: the page size "pdfinfo" gives in points,
  // then every image "pdfimages -list" finds as "page: width x height at the
  // placed pixels per inch each way".
  std::string Pdf() const {
    const test::RunResult info = test::Run({"pdfinfo", pdf});
    const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(listed.status, 0) << listed.err;
    std::istringstream size(
        info.out.substr(std::min(info.out.find("Page size:"), info.out.size())));
    std::string label, unit, width, by, height, line;
    size >> label >> unit >> width >> by >> height;
    std::string result = width + " x " + height;
    std::istringstream lines(listed.out);
    for (int row = 0; std::getline(lines, line); ++row) {
      std::istringstream fields(line);
      const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
      if (row >= 2 && f.size() >= 14)
        result += "; " + f[0] + ": " + f[3] + "x" + f[4] + " at " + f[12] + "x" + f[13];
    }
    return result;
  }

  int application = (test::EnsureApplication(), 0);
  test::TempDir dir;
  std::string pdf = dir.File("out.pdf");
  QPrinter printer{QPrinter::HighResolution};
  TDibGraphic page;
};

TEST_F(PrinterFixture, ManagedJobPrintsOnePageInTheGraphicsOrientation) {
  TDibGraphicPrinter graphicPrinter(printer);
  const TPrinterMetrics& m = graphicPrinter.Metrics();
  EXPECT_EQ((std::vector<int>{m.HorzRes, m.VertRes, m.PixelsPerInchX, m.PixelsPerInchY, m.OffsetX,
                              m.OffsetY}),
            (std::vector<int>{4800, 6600, 600, 600, 100, 100}));
  EXPECT_EQ(graphicPrinter.SizeMode(), psFitToPage);
  EXPECT_TRUE(graphicPrinter.ManageJob());
  graphicPrinter.SetSizeMode(psByResolution);
  EXPECT_EQ(graphicPrinter.Print(Picture(page, 2480, 3508, 300)), (TPrintRect{0, 0, 4665, 6600}));
  EXPECT_EQ(Pdf(), "600 x 816; 1: 2480x3508 at 319x319");

  // A wide picture turns the page to landscape; the printable area turns with it.
  EXPECT_EQ(graphicPrinter.Print(Picture(page, 3000, 300, 300)), (TPrintRect{0, 0, 6000, 600}));
  EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  EXPECT_EQ(m.HorzRes, 6600);
  EXPECT_EQ(Pdf(), "816 x 600; 1: 3000x300 at 300x300");
}

TEST_F(PrinterFixture, FixedSizeOrientationFollowsTheInches) {
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
  EXPECT_EQ(Pdf(), "600 x 816; 1: 3000x300 at 375x375; 2: 600x600 at 300x300");
}

} // namespace
