#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QProgressBar;
class QWidget;
class TPageView;

// The operator's choice in the print dialog.
struct TPrintChoice {
  enum TRange { All, Pages, Selection };
  TRange Range = All;
  int FromPage = 1;
  int ToPage = 1;
};

// ActionPrinterSettings and ActionPrint: the current printer of the window
// and the printing of the pages of the file shown, each at its physical size.
class TPrintCommands : public QObject {
  Q_OBJECT

public:
  // The print dialog for pages minPage to maxPage; nothing on Cancel.
  using TPrintDialog =
      std::function<std::optional<TPrintChoice>(QPrinter& printer, int minPage, int maxPage)>;

  TPrintCommands(TPageView& page, QProgressBar& progress, QWidget& owner,
                 QObject* parent = nullptr);
  ~TPrintCommands() override;

  // The printer that printing uses.
  QPrinter& Printer() const { return *FPrinter; }
  void SetPrintDialog(TPrintDialog dialog) { FPrintDialog = std::move(dialog); }

  // ActionPrinterSettings: the printer-setup dialog, a printer of the
  // system's and its paper through the page setup; the choice stays on the
  // printer on OK.
  void PrinterSettings();
  // ActionPrint: the save prompt first (its Cancel raises EAbort), then the
  // dialog; afterwards the viewer shows the current tab's page again. A page
  // without a file (no tabs) prints the page shown.
  void Print();

private:
  void PrintPages(int first, int last);

  TPageView& FPage;
  QProgressBar& FProgress;
  QWidget& FOwner;
  std::unique_ptr<QPrinter> FPrinter;
  TPrintDialog FPrintDialog;
};
