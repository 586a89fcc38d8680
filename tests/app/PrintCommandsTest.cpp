#include "app/PrintCommands.h"
#include "PrintTestSupport.h"
#include "WindowFixture.h"
#include "app/PageView.h"
#include "app/StatusPanels.h"
#include "graphics/GraphicDocument.h"
#include "viewer/ImageScrollBox.h"

#include <QPrinter>
#include <QProgressBar>
#include <QTabBar>

#include <climits>

using namespace apptest;

namespace {

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
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);

  // Value, range and visibility of the progress bar at each change.
  QProgressBar& progress = *form.Status().ProgressBar();
  std::vector<std::vector<int>> shown;
  QObject::connect(&progress, &QProgressBar::valueChanged, [&](int value) {
    shown.push_back({value, progress.minimum(), progress.maximum(), progress.isVisible()});
  });
  const std::string all = PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 3});
  EXPECT_EQ(shown, (std::vector<std::vector<int>>{
                       {1, 1, 3, 0}, {2, 1, 3, 1}, {3, 1, 3, 1}, {0, 0, INT_MAX, 0}}));
  EXPECT_EQ(FDialogRange, (std::vector<int>{1, 3}));
  EXPECT_EQ(PlacedImages(all),
            (std::vector<TPlacedImage>{
                {1, 100, 150, 200, 200}, {2, 110, 150, 200, 200}, {3, 120, 150, 200, 200}}));
  EXPECT_EQ(form.PrintCommands().Printer().docName(), "Vellumtrace Tessivane Print Job");
  EXPECT_EQ(form.Viewer().Graphic().Width(), 110);

  const std::string pages = PrintWith(form, TPrintChoice{TPrintChoice::Pages, 2, 3});
  EXPECT_EQ(PlacedImages(pages),
            (std::vector<TPlacedImage>{{1, 110, 150, 200, 200}, {2, 120, 150, 200, 200}}));

  form.Tabs().setCurrentIndex(2);
  const std::string selection = PrintWith(form, TPrintChoice{TPrintChoice::Selection, 1, 1});
  EXPECT_EQ(PlacedImages(selection), (std::vector<TPlacedImage>{{1, 120, 150, 200, 200}}));
  EXPECT_EQ(form.Viewer().Graphic().Width(), 120);
  EXPECT_FALSE(progress.isVisible());

  // Cancel in the dialog, and pages outside the file, print nothing.
  EXPECT_FALSE(test::FileExists(PrintWith(form, std::nullopt)));
  FPrompt.Answer(TAnswer::Ok);
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::Pages, 2, 5})));
  EXPECT_EQ(FPrompt.MessageTexts().back(), "The pages to print are not pages of the file");
}

TEST_F(PrintCommandsTest, APageWithoutAFilePrintsThePageShown) {
  const std::string scanned = FBatch.File("scanned.tif");
  WritePage(scanned, 140, 160, 200);
  TFormMain& form = Start();
  form.Viewer().Graphic().Assign(*TGraphicDocument(scanned).LoadPage(1));
  ASSERT_EQ(form.Tabs().count(), 0);
  const std::string pdf = PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 1});
  EXPECT_EQ(FDialogRange, (std::vector<int>{1, 1}));
  EXPECT_EQ(PlacedImages(pdf), (std::vector<TPlacedImage>{{1, 140, 160, 200, 200}}));
}

TEST_F(PrintCommandsTest, TheSavePromptComesFirst) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  FDialogRange.clear();
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 3})));
  EXPECT_TRUE(FDialogRange.empty());
  EXPECT_TRUE(form.PageView().Modified());

  // After Yes the turned page is printed from the file it was stored in.
  form.PageView().SetModified(false);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  FPrompt.Answer(TAnswer::Yes);
  const std::string pdf = PrintWith(form, TPrintChoice{TPrintChoice::Selection, 1, 1});
  EXPECT_EQ(PlacedImages(pdf), (std::vector<TPlacedImage>{{1, 150, 100, 200, 200}}));
  EXPECT_EQ(PageSize(FBatch.File("three.tif")), QSize(150, 100));
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

} // namespace
