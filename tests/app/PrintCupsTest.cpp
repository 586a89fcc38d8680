#include "PrintCupsServer.h"
#include "PrintTestSupport.h"
#include "WindowFixture.h"
#include "app/PrintCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cups/cups.h>

using namespace apptest;

namespace {

using PrintCupsTest = WindowTest;

// The printer setup lists the private queue: Cancel keeps printing to PDF
// files, OK takes the queue and its A3 paper. Through the scheduler each page
// lands at its own 300 dpi; the one 14 inches wide only fits shrunk to the
// printable width of 842 - 36 points (375 dpi), its aspect kept.
TEST_F(PrintCupsTest, PagesLandOnTheQueuesPaperAtTheirPhysicalSize) {
  WritePages(FBatch.File("three.tif"), {2480, 1654, 4200}, 3508, 300);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  const TPrivateCupsServer cups;
  QPrinter& printer = form.PrintCommands().Printer();
  for (const auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
    QStringList listed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      poll.stop();
      auto* printers = dialog->findChild<QComboBox*>("ComboPrinters");
      for (int i = 0; i < printers->count(); ++i) listed << printers->itemText(i);
      printers->setCurrentText(TPrivateCupsServer::kQueue);
      QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(button), Qt::LeftButton);
    });
    poll.start(10);
    ASSERT_TRUE(form.ExecuteAction("ActionPrinterSettings"));
    EXPECT_EQ(listed, QStringList{TPrivateCupsServer::kQueue});
    EXPECT_EQ(printer.outputFormat() == QPrinter::NativeFormat, button == QDialogButtonBox::Ok);
  }
  EXPECT_EQ(printer.printerName(), TPrivateCupsServer::kQueue);
  EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A3);

  form.PrintCommands().SetPrintDialog([](QPrinter&, int, int) {
    return std::optional(TPrintChoice{TPrintChoice::All, 1, 3});
  });
  ASSERT_TRUE(form.ExecuteAction("ActionPrint"));
  std::string ended; // the title of the job that ended, and how
  ASSERT_TRUE(WaitFor(
      [&] {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, TPrivateCupsServer::kQueue, 0,
                                       CUPS_WHICHJOBS_COMPLETED);
        if (count == 1)
          ended =
              jobs[0].title + std::string(jobs[0].state == IPP_JSTATE_COMPLETED ? "" : " failed");
        cupsFreeJobs(count, jobs);
        return count == 1;
      },
      60000))
      << cups.ErrorLog();
  EXPECT_EQ(ended, "Vellumtrace Tessivane Print Job");
  EXPECT_EQ(PdfPageSize(cups.Output()), "842 x 1191 pts (A3)");
  EXPECT_EQ(PlacedImages(cups.Output()),
            (std::vector<std::string>{"1: 2480x3508 at 300x300", "2: 1654x3508 at 300x300",
                                      "3: 4200x3508 at 375x375"}));
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

} // namespace
