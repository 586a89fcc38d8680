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

using TImages = std::vector<std::string>;

class PrintCommandsTest : public WindowTest {
protected:
  // Prints with the dialog answered by choice into a fresh PDF; returns its path.
  std::string PrintWith(TFormMain& form, std::optional<TPrintChoice> choice) {
    const std::string pdf = FOutput.File("print" + std::to_string(++FPrints) + ".pdf");
    QPrinter& printer = form.PrintCommands().Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
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

// Pages of 200 dpi printed at their physical size; the viewer is back on the
// current tab's page after each job, and the progress bar hidden.
TEST_F(PrintCommandsTest, PrintsTheChosenPagesAtTheirPhysicalSize) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);
  // Value, range and visibility of the progress bar at each change.
  QProgressBar& progress = *form.Status().ProgressBar();
  QStringList shown;
  QObject::connect(&progress, &QProgressBar::valueChanged, [&](int value) {
    shown << QString::asprintf("%d of %d-%d%s", value, progress.minimum(), progress.maximum(),
                               progress.isVisible() ? " shown" : "");
  });
  const std::pair<TPrintChoice, TImages> jobs[] = {
      {{TPrintChoice::All, 1, 3},
       {"1: 100x150 at 200x200", "2: 110x150 at 200x200", "3: 120x150 at 200x200"}},
      {{TPrintChoice::Pages, 2, 3}, {"1: 110x150 at 200x200", "2: 120x150 at 200x200"}},
      {{TPrintChoice::Selection, 1, 1}, {"1: 110x150 at 200x200"}}};
  for (const auto& [choice, images] : jobs) {
    EXPECT_EQ(PlacedImages(PrintWith(form, choice)), images);
    EXPECT_EQ(FDialogRange, (std::vector<int>{1, 3}));
    EXPECT_EQ(form.Viewer().Graphic().Width(), 110);
  }
  // Each job's pages counted from its first page; the bar hidden at the end.
  const QString done = QString("0 of 0-%1").arg(INT_MAX);
  EXPECT_EQ(shown, QStringList({"1 of 1-3", "2 of 1-3 shown", "3 of 1-3 shown", done, "2 of 2-3",
                                "3 of 2-3 shown", done, "2 of 2-2", done}));
  EXPECT_FALSE(progress.isVisible());

  // Cancel in the dialog, and pages outside the file, print nothing.
  EXPECT_FALSE(test::FileExists(PrintWith(form, std::nullopt)));
  FPrompt.Answer(TAnswer::Ok);
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::Pages, 2, 5})));
  EXPECT_EQ(FPrompt.MessageTexts().back(), "The pages to print are not pages of the file");
}

// A page without a file is offered as page 1 and printed as shown.
TEST_F(PrintCommandsTest, APageWithoutAFilePrintsThePageShown) {
  const std::string scanned = FBatch.File("scanned.tif");
  WritePage(scanned, 140, 160, 200);
  TFormMain& form = Start();
  form.Viewer().Graphic().Assign(*TGraphicDocument(scanned).LoadPage(1));
  const std::string pdf = PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 1});
  EXPECT_EQ(FDialogRange, (std::vector<int>{1, 1}));
  EXPECT_EQ(PlacedImages(pdf), TImages{"1: 140x160 at 200x200"});
}

// Cancel in the save prompt prints nothing and keeps the change; after Yes
// the turned page is printed from the file it was stored in.
TEST_F(PrintCommandsTest, TheSavePromptComesFirst) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  EXPECT_FALSE(test::FileExists(PrintWith(form, TPrintChoice{TPrintChoice::All, 1, 3})));
  EXPECT_TRUE(FDialogRange.empty());
  EXPECT_TRUE(form.PageView().Modified());

  form.PageView().SetModified(false);
  ASSERT_TRUE(form.ExecuteAction("ActionRotate90"));
  FPrompt.Answer(TAnswer::Yes);
  const std::string pdf = PrintWith(form, TPrintChoice{TPrintChoice::Selection, 1, 1});
  EXPECT_EQ(PlacedImages(pdf), TImages{"1: 150x100 at 200x200"});
  EXPECT_EQ(PageSize(FBatch.File("three.tif")), QSize(150, 100));
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

} // namespace
