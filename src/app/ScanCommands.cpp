#include "app/ScanCommands.h"

#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/ProfileCommands.h"
#include "core/Exception.h"
#include "twain/AcqTWAIN.h"
#include "workflow/BatchFolder.h"
#include "workflow/OperatorPrompt.h"
#include "workflow/QtDispatcher.h"

TScanCommands::TScanCommands(TWindowParts parts, QObject* parent)
    : QObject(parent), FParts(std::move(parts)), FDispatcher(std::make_unique<TQtDispatcher>()),
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

void TScanCommands::StartScan(TScanTarget target) {
  std::string fileName;
  if (target == TScanTarget::File) {
    TFileDialogOptions options;
    options.Title = AppTexts::kScanSaveTitle;
    options.Filter = AppTexts::kScanSaveFilter;
    options.DefaultExt = AppTexts::kScanSaveDefaultExt;
    const std::optional<TFileDialogResult> chosen = FParts.Prompt.SaveFile(options);
    if (!chosen || chosen->Files.empty()) throw EAbort();
    fileName = chosen->Files.front();
  }
  FParts.Log.Clear();
  if (target == TScanTarget::Batch && !FParts.Batch.Exists())
    throw Exception(AppTexts::kBatchFolderNotSelected);
  FScanFileName = fileName;
  FParts.SelectNone();
  FScanTarget = target;
  TAcqTWAIN& twain = *FAcqTWAIN;
  twain.ShowUI = FParts.Profiles.ShowsScannerUserInterface();
  const std::string sourceName = FParts.Profiles.SourceName();
  twain.SetXferCount(-1);
  twain.Acquire(sourceName);
}
