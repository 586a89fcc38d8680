#include "PrintCupsServer.h"
#include "PrintTestSupport.h"
#include "WindowFixture.h"
#include "app/PrintCommands.h"
#include "viewer/ImageScrollBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace apptest;

namespace {

// The printable width and height of the queue's A3 paper in inches: 842 x
// 1191 points less 18 points each side.
constexpr double kPrintableWidth = (842.0 - 36) / 72;
constexpr double kPrintableHeight = (1191.0 - 36) / 72;

class PrintCupsTest : public WindowTest {};

TEST_F(PrintCupsTest, PrintsAllChosenAndCurrentPagesThroughTheScheduler) {
  if (TPrivateCupsServer::Program().empty())
    GTEST_SKIP() << "cupsd is not installed (scripts/install-deps.sh installs cups-daemon)";
  // Pages of 300 dots per inch: A4 (8.27 x 11.69 in), a narrower one, and
  // one 14 inches wide that only fits shrunk.
  WritePages(FBatch.File("three.tif"), {2480, 1654, 4200}, 3508, 300);
  TFormMain& form = StartOn(FBatch.Path());
  ClickThumbnail(form, 0);
  form.Tabs().setCurrentIndex(1);
  const TPrivateCupsServer cups;
  QPrinter& printer = form.PrintCommands().Printer();
  ASSERT_EQ(printer.outputFormat(), QPrinter::PdfFormat); // no printer when the window came up

  // The operator picks the queue in the printer setup, first cancelling.
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
  EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A3); // the queue's own paper

  const test::TempDir kept;
  const struct {
    TPrintChoice Choice;
    std::vector<int> Widths; // of the pages printed, in order
  } jobs[] = {{{TPrintChoice::All, 1, 3}, {2480, 1654, 4200}},
              {{TPrintChoice::Pages, 2, 3}, {1654, 4200}},
              {{TPrintChoice::Selection, 1, 1}, {1654}}};
  size_t sent = 0;
  for (const auto& job : jobs) {
    SCOPED_TRACE(sent);
    form.PrintCommands().SetPrintDialog(
        [&job](QPrinter&, int, int) { return std::optional<TPrintChoice>(job.Choice); });
    ASSERT_TRUE(form.ExecuteAction("ActionPrint"));
    const std::vector<std::string> ended = cups.EndedJobs(++sent);
    EXPECT_EQ(ended.back(), "Vellumtrace Tessivane Print Job") << cups.ErrorLog();
    const std::string pdf = kept.File("job" + std::to_string(sent) + ".pdf");
    std::filesystem::copy_file(cups.Output(), pdf);
    EXPECT_EQ(form.Viewer().Graphic().Width(), 1654); // the current tab's page again

    EXPECT_EQ(PdfPageCount(pdf), static_cast<int>(job.Widths.size()));
    EXPECT_EQ(PdfPageSize(pdf), "842 x 1191 pts (A3)");
    const std::vector<TPlacedImage> images = PlacedImages(pdf);
    ASSERT_EQ(images.size(), job.Widths.size());
    for (size_t i = 0; i < images.size(); ++i) {
      const TPlacedImage& image = images[i];
      EXPECT_EQ(std::vector<int>({image.Page, image.Width, image.Height}),
                std::vector<int>({static_cast<int>(i) + 1, job.Widths[i], 3508}));
      const double width = double(image.Width) / image.XPpi;
      const double height = double(image.Height) / image.YPpi;
      EXPECT_LE(width, kPrintableWidth + 0.01);
      EXPECT_LE(height, kPrintableHeight + 0.01);
      if (image.Width <= 2480) { // fits: printed at its own 300 dpi, 11.69 inches high
        EXPECT_EQ(std::vector<int>({image.XPpi, image.YPpi}), std::vector<int>({300, 300}));
      } else { // shrunk to the printable width, aspect ratio kept
        EXPECT_NEAR(width, kPrintableWidth, 0.02);
        EXPECT_EQ(image.XPpi, image.YPpi);
      }
    }
  }
  EXPECT_TRUE(FPrompt.Unexpected().empty());
}

} // namespace
