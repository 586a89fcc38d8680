// Printing through the window: into PDF files, and to a private print
// scheduler; what lands on paper is read back with poppler's tools.
#include "app/PrintCommands.h"
#include "PrintCupsServer.h"
#include "WindowFixture.h"
#include "app/PageView.h"
#include "app/StatusPanels.h"
#include "graphics/GraphicDocument.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <cups/cups.h>

#include <climits>
#include <regex>

using namespace apptest;

namespace {

using TImages = std::vector<std::string>;

// Every image of a PDF file as poppler lists it (pdfimages -list): "page:
// width x height in pixels at the pixels per inch it is placed at each way".
TImages PlacedImages(const std::string& pdf) {
  const test::RunResult listed = test::Run({"pdfimages", "-list", pdf});
  EXPECT_EQ(listed.status, 0) << listed.err;
  const std::regex row(R"((\d+) +\d+ +\S+ +(\d+) +(\d+)(?: +\S+){7} +(\d+) +(\d+))");
  TImages images;
  for (std::sregex_iterator m(listed.out.begin(), listed.out.end(), row), end; m != end; ++m)
    images.push_back(m->str(1) + ": " + m->str(2) + "x" + m->str(3) + " at " + m->str(4) + "x" +
                     m->str(5));
  return images;
}

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

// Pages of 200 dpi at their physical size; the viewer back on the tab's page.
TEST_F(PrintCommandsTest, PrintsTheChosenPagesAtTheirPhysicalSize) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);
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
  // The progress bar at each change: each job counted from its first page.
  const QString done = QString("0 of 0-%1").arg(INT_MAX);
  EXPECT_EQ(shown, QStringList({"1 of 1-3", "2 of 1-3 shown", "3 of 1-3 shown", done, "2 of 2-3",
                                "3 of 2-3 shown", done, "2 of 2-2", done}));

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
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

// The printer setup lists the private queue; OK takes it and its A3 paper.
// Through the scheduler each page lands at its own 300 dpi; the one 14 inches
// wide only fits shrunk to the printable width of 842 - 36 points (375 dpi).
TEST_F(PrintCommandsTest, ThroughAPrivateSchedulerPagesLandOnTheQueuesPaper) {
  WritePages(FBatch.File("three.tif"), {2480, 1654, 4200}, 3508, 300);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  const TPrivateCupsServer cups;
  QStringList listed;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    poll.stop();
    auto* printers = dialog->findChild<QComboBox*>("ComboPrinters");
    for (int i = 0; i < printers->count(); ++i) listed << printers->itemText(i);
    printers->setCurrentText(TPrivateCupsServer::kQueue);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
  });
  poll.start(10);
  ASSERT_TRUE(form.ExecuteAction("ActionPrinterSettings"));
  EXPECT_EQ(listed, QStringList{TPrivateCupsServer::kQueue});
  QPrinter& printer = form.PrintCommands().Printer();
  EXPECT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
  EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A3);

  form.PrintCommands().SetPrintDialog([](QPrinter&, int, int) {
    return std::optional(TPrintChoice{TPrintChoice::All, 1, 3});
  });
  ASSERT_TRUE(form.ExecuteAction("ActionPrint"));
  // The job ends within a bound; its pages are in the queue's file then.
  ASSERT_TRUE(WaitFor(
      [] {
        cups_job_t* jobs = nullptr;
        const int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, TPrivateCupsServer::kQueue, 0,
                                        CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active, jobs);
        return active == 0;
      },
      60000))
      << cups.ErrorLog();
  const std::string info = test::Run({"pdfinfo", cups.Output()}).out;
  EXPECT_NE(info.find("Page size:       842 x 1191 pts (A3)"), std::string::npos) << info;
  EXPECT_EQ(
      PlacedImages(cups.Output()),
      (TImages{"1: 2480x3508 at 300x300", "2: 1654x3508 at 300x300", "3: 4200x3508 at 375x375"}));
  EXPECT_EQ(printer.docName(), "Vellumtrace Tessivane Print Job"); // the job's title
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

} // namespace
