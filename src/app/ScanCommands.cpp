#include "app/ScanCommands.h"

#include "app/AppTexts.h"
#include "app/LogForm.h"
#include "app/PageCommands.h"
#include "app/PageView.h"
#include "app/ProfileCommands.h"
#include "app/ThumbnailStrip.h"
#include "core/Exception.h"
#include "core/UserFolders.h"
#include "twain/AcqTWAIN.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/BatchFolder.h"
#include "workflow/OperatorPrompt.h"
#include "workflow/PageSaver.h"
#include "workflow/ProfileNegotiation.h"
#include "workflow/QtDispatcher.h"
#include "workflow/ScanTarget.h"

namespace {

// How long closing the window waits for the pages still being written.
constexpr unsigned kShutdownWaitMs = 120000;

// The least time between two drawings of scanned pages while more are on
// their way: drawing each of tens of pages a second would take the
// processor from writing them, and no operator could look at them.
constexpr qint64 kViewerRedrawMs = 100;

// A failed call to the scanner outside the negotiation, which reports its
// own; capability reads the engine makes by itself may fail on any source
// and are left out.
std::string ScannerErrorLine(int dg, uint16_t dat, uint16_t msg, int error, int status) {
  return "Scanner error: DG " + std::to_string(dg) + ", DAT " + std::to_string(dat) + ", MSG " +
         std::to_string(msg) + " ended with return code " + std::to_string(error) +
         ", condition code " + std::to_string(status);
}

} // namespace

TScanCommands::TScanCommands(TWindowParts parts, QObject* parent)
    : QObject(parent), FParts(std::move(parts)), FDispatcher(std::make_unique<TQtDispatcher>()),
      FPageSaver(std::make_unique<TPageSaver>(*FDispatcher, FParts.Log,
                                              [this](const TSavedPage& page) { ShowPage(page); })),
      FAcqTWAIN(std::make_unique<TAcqTWAIN>(*FDispatcher)) {
  FViewerRedraw.setSingleShot(true);
  connect(&FViewerRedraw, &QTimer::timeout, this, [this] {
    if (!FClosing) RedrawViewer();
  });
  TAcqTWAIN& twain = *FAcqTWAIN;
  twain.SetManufacturer("Vellumtrace Technologies");
  twain.SetProductFamily("Image Capture");
  twain.SetProductName("Vellumtrace Tessivane");
  twain.SetCountry(TAcqCountry::UNITEDKINGDOM);
  twain.SetDIBHandleType(THDT_DIBRAW);
  twain.SetReturnHandle(false);
  twain.SetLogFilename(UserStateFolder() + "/APPTWN.LOG");
  twain.OnImageReady = [this](TTwnObject*, void*, TTwnBitmapInfo*, TW_HANDLE hImage,
                              const std::string&) { AcqTWAINImageReady(hImage); };
  twain.OnNegotiation = [this](TTwnObject*) { AcqTWAINNegotiation(); };
  twain.OnFailure = [this](TTwnObject*, int dg, uint16_t dat, uint16_t, uint16_t msg, int error,
                           int status) {
    if (FNegotiating || dat == DAT_CAPABILITY) return;
    FParts.Log.AddLine(ScannerErrorLine(dg, dat, msg, error, status));
  };
}

TScanCommands::~TScanCommands() {
  Shutdown();
}

void TScanCommands::Shutdown() {
  if (FClosing) return;
  FClosing = true;
  FViewerRedraw.stop();
  FAcqTWAIN.reset();
  FPageSaver->WaitIdle(kShutdownWaitMs);
  FPageSaver.reset();
}

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
    const std::optional<TFileDialogResult> chosen = FParts.Prompt.SaveFile(SaveAsDialogOptions());
    if (!chosen || chosen->Files.empty()) throw EAbort();
    fileName = chosen->Files.front();
    // Only files pages can be appended to; anything else is refused here,
    // before the scanner starts.
    ScanFileFormat(fileName);
  }
  FParts.Log.Clear();
  if (target == TScanTarget::Batch && !FParts.Batch.Exists())
    throw Exception(AppTexts::kBatchFolderNotSelected);
  FScanFileName = fileName;
  FParts.SelectNone();
  // Where the save prompt's Yes stores a scanned page shown without a file:
  // the last page of the Scan To File target; none for the other targets.
  // Set after the prompt for the page shown so far, whose own target it is
  // not.
  FParts.PageView.SetScanFileName(QString::fromStdString(fileName));
  FScanTarget = target;
  TAcqTWAIN& twain = *FAcqTWAIN;
  twain.ShowUI = FParts.Profiles.ShowsScannerUserInterface();
  const std::string sourceName = FParts.Profiles.SourceName();
  FPageSaver->BeginScan();
  FPageSaver->SetThumbnailSize(FParts.Strip.ThumbSize());
  twain.SetXferCount(-1);
  twain.Acquire(sourceName);
}

void TScanCommands::AcqTWAINNegotiation() {
  FNegotiating = true;
  const struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FNegotiating};
  ApplyProfileSettings(*FAcqTWAIN, FParts.Profiles.ActiveProfile(), FParts.Log, FParts.Prompt);
}

void TScanCommands::AcqTWAINImageReady(void* hImage) {
  if (hImage == nullptr) {
    FParts.Log.AddLine(std::string(AppTexts::kNoPageDelivered));
    return;
  }
  const auto page = static_cast<TSV_HANDLE>(hImage);
  std::string fileName;
  bool addThumbnail = false;
  switch (FScanTarget) {
  case TScanTarget::File:
    fileName = FScanFileName;
    break;
  case TScanTarget::Batch:
    try {
      fileName = FParts.Batch.NewBatchFileName();
      addThumbnail = true;
    } catch (const Exception& error) {
      // No batch folder to write to any more: the page is still shown.
      FParts.Log.AddLine(error.Message());
    }
    break;
  case TScanTarget::Screen:
    break;
  }
  // The engine's thread waits for this handler; nothing may escape into it.
  try {
    FPageSaver->Submit(page, std::move(fileName), addThumbnail);
  } catch (const std::exception& error) {
    FParts.Log.AddLine(std::string(error.what()));
  }
}

void TScanCommands::RedrawViewer() {
  FViewerRedraw.stop();
  FParts.Viewer.Redraw(true);
  FSinceViewerDrew.start();
}

void TScanCommands::ShowPage(const TSavedPage& page) {
  if (FClosing) return;
  try {
    // A scanned page belongs to no file: whatever file the viewer showed
    // goes, so that a later save prompt cannot write the page over it.
    if (!FParts.Viewer.FileName().empty()) FParts.PageView.ShowNothing();
    FParts.Viewer.Graphic().ImportPageHandle(page.Page);
    const qint64 since = FSinceViewerDrew.isValid() ? FSinceViewerDrew.elapsed() : kViewerRedrawMs;
    // Source enabled (state 5 or more): the scan goes on and more pages may come.
    if (FAcqTWAIN && FAcqTWAIN->State() >= 5 && since < kViewerRedrawMs) {
      if (!FViewerRedraw.isActive()) FViewerRedraw.start(static_cast<int>(kViewerRedrawMs - since));
    } else {
      RedrawViewer();
    }
    FParts.PageView.UpdateImageStatus();
    if (page.AddThumbnail && page.Written) {
      const TStripGrid grid = FParts.Strip.RelayoutThumbnails();
      const int size = FParts.Strip.ThumbSize();
      FParts.Strip.AddThumbnail(
          QString::fromStdString(page.FileName), grid.Cell(),
          page.Thumbnail && page.ThumbnailSize == size
              ? page.Thumbnail->ToQImage()
              : TThumbnailStrip::ThumbnailPictureOf(FParts.Viewer.Graphic(), size));
    }
  } catch (const std::exception& error) {
    FParts.Log.AddLine(std::string(error.what()));
  }
}
