#include "app/ScanCommands.h"

#include "twain/AcqTWAIN.h"
#include "workflow/QtDispatcher.h"

TScanCommands::TScanCommands(QObject* parent)
    : QObject(parent), FDispatcher(std::make_unique<TQtDispatcher>()),
      FAcqTWAIN(std::make_unique<TAcqTWAIN>(*FDispatcher)) {
  TAcqTWAIN& twain = *FAcqTWAIN;
  twain.SetManufacturer("Vellumtrace Technologies");
  twain.SetProductFamily("Image Capture");
  twain.SetProductName("Vellumtrace Tessivane");
  twain.SetCountry(TAcqCountry::UNITEDKINGDOM);
  twain.SetDIBHandleType(THDT_DIBRAW);
  twain.SetReturnHandle(false);
  twain.SetLogFilename(TAcqTWAINLog::DefaultLogFilename());
}

TScanCommands::~TScanCommands() = default;

void TScanCommands::ActionSelectScannerExecute() {
  FAcqTWAIN->SelectSource();
}

std::vector<std::string> TScanCommands::SourceList() {
  std::vector<std::string> names;
  FAcqTWAIN->GetSourceList(names);
  return names;
}
