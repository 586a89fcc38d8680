#include "app/PrintCommands.h"

#include "app/AppTexts.h"
#include "app/PageView.h"
#include "core/Exception.h"
#include "print/DibGraphicPrinter.h"
#include "viewer/ImageScrollBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>

#include <algorithm>
#include <climits>
#include <exception>

namespace {

std::optional<TPrintChoice> ShowPrintDialog(QWidget& owner, QPrinter& printer, int minPage,
                                            int maxPage) {
  QPrintDialog dialog(&printer, &owner);
  dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintSelection);
  dialog.setMinMax(minPage, maxPage);
  dialog.setFromTo(minPage, maxPage);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  TPrintChoice choice;
  switch (dialog.printRange()) {
  case QAbstractPrintDialog::PageRange:
    choice.Range = TPrintChoice::Pages;
    choice.FromPage = dialog.fromPage();
    choice.ToPage = dialog.toPage();
    break;
  case QAbstractPrintDialog::Selection:
    choice.Range = TPrintChoice::Selection;
    break;
  default:
    choice.Range = TPrintChoice::All;
    break;
  }
  return choice;
}

// The progress bar for the pages being printed, hidden and reset at the end.
class TPrintProgress {
public:
  TPrintProgress(QProgressBar& bar, int first, int last) : FBar(bar) {
    FBar.setRange(first, last);
    FBar.setValue(first);
    FBar.show();
  }
  TPrintProgress(const TPrintProgress&) = delete;
  TPrintProgress& operator=(const TPrintProgress&) = delete;
  ~TPrintProgress() {
    FBar.hide();
    FBar.setRange(0, INT_MAX);
    FBar.setValue(0);
  }
  void SetPosition(int page) { FBar.setValue(page); }

private:
  QProgressBar& FBar;
};

// Ends the print job however printing ends, then shows the current tab's
// page in the viewer again when reloadTab. A job still open here did not
// print whole: it is aborted rather than sent in part. An error reloading
// the page is raised unless a printing error is already on its way.
class TPrintJobEnd {
public:
  TPrintJobEnd(QPrinter& printer, QPainter& canvas, TPageView& page, bool reloadTab)
      : FPrinter(printer), FCanvas(canvas), FPage(page), FReloadTab(reloadTab),
        FUncaught(std::uncaught_exceptions()) {}
  TPrintJobEnd(const TPrintJobEnd&) = delete;
  TPrintJobEnd& operator=(const TPrintJobEnd&) = delete;
  ~TPrintJobEnd() noexcept(false) {
    if (FCanvas.isActive()) {
      FPrinter.abort();
      FCanvas.end();
    }
    if (!FReloadTab) return;
    try {
      FPage.TabChanged(FPage.Tabs().currentIndex());
    } catch (...) {
      if (std::uncaught_exceptions() == FUncaught) throw;
    }
  }

private:
  QPrinter& FPrinter;
  QPainter& FCanvas;
  TPageView& FPage;
  bool FReloadTab;
  int FUncaught;
};

} // namespace

TPrintCommands::TPrintCommands(TPageView& page, QProgressBar& progress, QWidget& owner,
                               QObject* parent)
    : QObject(parent), FPage(page), FProgress(progress), FOwner(owner),
      FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  FPrintDialog = [this](QPrinter& printer, int minPage, int maxPage) {
    return ShowPrintDialog(FOwner, printer, minPage, maxPage);
  };
}

TPrintCommands::~TPrintCommands() = default;

void TPrintCommands::PrinterSettings() {
  QDialog dialog(&FOwner);
  dialog.setWindowTitle(AppTexts::kPrinterSetupCaption);
  auto* printers = new QComboBox(&dialog);
  printers->setObjectName("ComboPrinters");
  printers->addItems(QPrinterInfo::availablePrinterNames());
  printers->setCurrentText(FPrinter->outputFormat() == QPrinter::NativeFormat
                               ? FPrinter->printerName()
                               : QPrinterInfo::defaultPrinterName());
  auto* paper = new QPushButton(AppTexts::kPrinterSetupPaper, &dialog);
  paper->setObjectName("ButtonPaper");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  auto* layout = new QFormLayout(&dialog);
  if (printers->count() == 0) layout->addRow(new QLabel(AppTexts::kPrinterSetupNone, &dialog));
  layout->addRow(AppTexts::kPrinterSetupPrinter, printers);
  layout->addRow(paper);
  layout->addRow(buttons);
  paper->setEnabled(printers->count() > 0);
  buttons->button(QDialogButtonBox::Ok)->setEnabled(printers->count() > 0);

  // The printer takes the choice as it is made, so the page setup shows the
  // chosen printer's papers; Cancel puts the earlier printer and page back.
  const QString earlierPrinter = FPrinter->printerName();
  const QPrinter::OutputFormat earlierFormat = FPrinter->outputFormat();
  const QPageLayout earlierLayout = FPrinter->pageLayout();
  const auto choose = [this, printers] {
    if (printers->currentText().isEmpty() || printers->currentText() == FPrinter->printerName())
      return;
    FPrinter->setPrinterName(printers->currentText());
    FPrinter->setPageSize(QPrinterInfo(*FPrinter).defaultPageSize());
  };
  QObject::connect(paper, &QPushButton::clicked, &dialog, [this, &dialog, choose] {
    choose();
    QPageSetupDialog(FPrinter.get(), &dialog).exec();
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() == QDialog::Accepted) {
    choose();
    return;
  }
  FPrinter->setPrinterName(earlierPrinter);
  FPrinter->setOutputFormat(earlierFormat);
  FPrinter->setPageLayout(earlierLayout);
}

void TPrintCommands::Print() {
  FPage.AskSaveChanges();
  // A page without a file is offered as the one page there is.
  const int tabs = FPage.Tabs().count();
  const std::optional<TPrintChoice> choice = FPrintDialog(*FPrinter, 1, std::max(tabs, 1));
  if (!choice) return;
  int first = 1;
  int last = tabs;
  if (choice->Range == TPrintChoice::Selection) {
    first = last = FPage.Tabs().currentIndex() + 1;
  } else if (choice->Range == TPrintChoice::Pages) {
    first = choice->FromPage;
    last = choice->ToPage;
  }
  if (tabs > 0 && (first < 1 || last > tabs || first > last))
    throw Exception(AppTexts::kPrintRangeInvalid);
  PrintPages(first, last);
}

void TPrintCommands::PrintPages(int first, int last) {
  TImageScrollBox& viewer = FPage.Viewer();
  const bool hasFile = FPage.Tabs().count() > 0;
  TPrintProgress progress(FProgress, hasFile ? first : 1, hasFile ? last : 1);
  TDibGraphicPrinter printer(*FPrinter);
  printer.SetSizeMode(psByResolution);
  printer.SetManageJob(false);
  FPrinter->setDocName(AppTexts::kPrintJobTitle);
  QPainter canvas;
  if (!canvas.begin(FPrinter.get())) throw Exception(AppTexts::kPrintJobNotStarted);
  const TPrintJobEnd jobEnd(*FPrinter, canvas, FPage, hasFile);
  printer.SetCanvas(&canvas);
  const std::string file = viewer.FileName();
  if (!hasFile) {
    printer.Print(viewer.Graphic());
  } else {
    for (int page = first; page <= last; ++page) {
      viewer.LoadPage(file, page);
      progress.SetPosition(page);
      // The window repaints, but takes no clicks or keys until the job ends.
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      printer.Print(viewer.Graphic());
      if (page != last && !FPrinter->newPage()) throw Exception(AppTexts::kPrintJobNotFinished);
    }
  }
  if (!canvas.end()) throw Exception(AppTexts::kPrintJobNotFinished);
}
