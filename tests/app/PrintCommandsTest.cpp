#include "app/PageView.h"
#include "app/PrintCommands.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "WindowFixture.h"
#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"

#include <QPrinter>
#include <QProgressBar>
#include <QTabBar>
#include <QTest>

#include <sstream>

using namespace apptest;

namespace {

// Rows of "pdfimages -list": page, width and placed pixels per inch of every image.
std::vector<std::vector<int>> PdfImages(const std::string& pdf) {
  const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
  EXPECT_EQ(listed.status, 0) << listed.err;
  std::vector<std::vector<int>> rows;
  std::istringstream lines(listed.out);
  std::string line;
  for (int skip = 0; skip < 2 && std::getline(lines, line); ++skip) {
  }
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    int page = 0, number = 0, width = 0, height = 0, object = 0, generation = 0, xPpi = 0;
    std::string type, colour, components, bits, encoding, interpolate;
    if (fields >> page >> number >> type >> width >> height >> colour >> components >> bits >>
        encoding >> interpolate >> object >> generation >> xPpi)
      rows.push_back({page, width, xPpi});
  }
  return rows;
}

class PrintCommandsTest : public WindowTest {
protected:
  // Prints with the dialog answered by choice into a fresh PDF; returns its path.
  std::string PrintWith(TFormMain& form, std::optional<TPrintChoice> choice) {
    const std::string pdf = FOutput.File("print" + std::to_string(++FPrints) + ".pdf");
    QPrinter& printer = form.PrintCommands().Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setResolution(600);
    form.PrintCommands().SetPrintDialog([this, choice](QPrinter&, int minPage, int maxPage) {
      FDialogRange = {minPage, maxPage};
      return choice;
    });
    EXPECT_TRUE(form.ExecuteAction("ActionPrint"));
    return pdf;
  }

  test::TempDir FOutput;
  std::vector<int> FDialogRange;
  int FPrints = 0;
};

TEST_F(PrintCommandsTest, PrintsTheChosenPagesAtTheirPhysicalSize) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  QTest::mouseClick(form.Strip().Thumbnails()[0], Qt::LeftButton, {}, QPoint(5, 5));
  form.Tabs().setCurrentIndex(1);

  const std::string all = PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 3});
  EXPECT_EQ(FDialogRange, (std::vector<int>{1, 3}));
  EXPECT_EQ(PdfImages(all),
            (std::vector<std::vector<int>>{{1, 100, 200}, {2, 110, 200}, {3, 120, 200}}));
  EXPECT_EQ(form.PrintCommands().Printer().docName(), "Vellumtrace Tessivane Print Job");
  EXPECT_EQ(form.Viewer().Graphic().Width(), 110);

  const std::string pages = PrintWith(form, TPrintChoice{TPrintChoice::Pages, 2, 3});
  EXPECT_EQ(PdfImages(pages), (std::vector<std::vector<int>>{{1, 110, 200}, {2, 120, 200}}));

  form.Tabs().setCurrentIndex(2);
  const std::string selection = PrintWith(form, TPrintChoice{TPrintChoice::Selection, 1, 1});
  EXPECT_EQ(PdfImages(selection), (std::vector<std::vector<int>>{{1, 120, 200}}));
  EXPECT_EQ(form.Viewer().Graphic().Width(), 120);
  EXPECT_FALSE(form.Status().ProgressBar()->isVisible());

  // Cancel in the dialog, and pages outside the file, print nothing.
  EXPECT_FALSE(test::FileExists(PrintWith(form, std::nullopt)));
  FPrompt.Answer(TAnswer::Ok);
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::Pages, 2, 5})));
}

TEST_F(PrintCommandsTest, TheSavePromptComesFirst) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  QTest::mouseClick(form.Strip().Thumbnails()[0], Qt::LeftButton, {}, QPoint(5, 5));
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  FDialogRange.clear();
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 3})));
  EXPECT_TRUE(FDialogRange.empty());
  EXPECT_TRUE(form.PageView().Modified());
}

} // namespace
