#include "app/PageView.h"

#include "app/AppTexts.h"
#include "app/PageCommands.h"
#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "core/Exception.h"
#include "core/Rounding.h"
#include "graphics/GraphicDocument.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/BatchTexts.h"
#include "workflow/OperatorPrompt.h"
#include "workflow/SavePage.h"

#include <QFileInfo>
#include <QTabBar>

#include <cmath>

namespace {

// Dots per inch of a resolution in pixels per metre, as an unsigned 16-bit
// number.
int DpiText(int pelsPerMetre) {
  return static_cast<uint16_t>(Round(pelsPerMetre / 39.370078740157480317));
}

} // namespace

TPageView::TPageView(TImageScrollBox& viewer, QTabBar& tabs, TMainStatusBar& status,
                     TThumbnailStrip& strip, TOperatorPrompt& prompt, QObject* parent)
    : QObject(parent), FViewer(viewer), FTabs(tabs), FStatus(status), FStrip(strip),
      FPrompt(prompt) {
  FViewer.SetZoomMode(zmFitToPage);
  FViewer.SetZoomPercent(100);
  FViewer.SetCentered(true);
  FViewer.SetAntiAliased(true);
  FViewer.SetMouseHandlerOwnership(true);
  FViewer.OnZoomChange = [this](TImageScrollBox*, float zoom) {
    FViewer.SetAntiAliased(zoom < 100);
  };
}

void TPageView::RebuildTabs(int pageCount) {
  FRebuildingTabs = true;
  while (FTabs.count() > 0) FTabs.removeTab(FTabs.count() - 1);
  for (int page = 1; page <= pageCount; ++page) FTabs.addTab(QString::number(page));
  if (pageCount > 0) FTabs.setCurrentIndex(0);
  FShownTab = 0;
  FRebuildingTabs = false;
}

void TPageView::ShowFile(const QString& path) {
  RebuildTabs(0);
  FStatus.SetPanelText(0, path);
  try {
    FViewer.SetFileName(path.toStdString());
    RebuildTabs(FViewer.PageCount(path.toStdString()));
  } catch (...) {
    UpdateImageStatus();
    throw;
  }
  UpdateImageStatus();
}

void TPageView::ShowNothing() {
  RebuildTabs(0);
  FViewer.SetFileName("");
  FViewer.Redraw();
  UpdateImageStatus();
}

QString TPageView::ImageStatusText(bool empty, int tab, int tabCount, int width, int height,
                                   int xPelsPerMetre, int yPelsPerMetre, int bits) {
  if (empty) return kNoImageSelectedText;
  const int page = tabCount > 0 ? tab + 1 : 1;
  const int pages = tabCount > 0 ? tabCount : 1;
  return QString(AppTexts::kPageStatus)
      .arg(page)
      .arg(pages)
      .arg(width)
      .arg(height)
      .arg(DpiText(xPelsPerMetre))
      .arg(DpiText(yPelsPerMetre))
      .arg(bits);
}

void TPageView::UpdateImageStatus() {
  const TDibGraphic& page = FViewer.Graphic();
  FStatus.SetPanelText(1, ImageStatusText(FViewer.Empty(), FTabs.currentIndex(), FTabs.count(),
                                          page.Width(), page.Height(), page.XPelsPerMetre(),
                                          page.YPelsPerMetre(), page.BitCount()));
}

void TPageView::AskSaveChanges() {
  if (!FModified) return;
  const TAnswer answer = FPrompt.AskYesNoCancel(AppTexts::kAskSaveChanges);
  if (answer == TAnswer::Cancel) throw EAbort();
  if (answer == TAnswer::Yes) WriteBackPage();
  FModified = false;
}

void TPageView::WriteBackPage() {
  QString target = QString::fromStdString(FViewer.FileName());
  if (target.isEmpty() && FStrip.Selected()) target = FStrip.Selected()->Path();
  if (target.isEmpty()) target = FScanFileName;
  if (target.isEmpty()) {
    const std::optional<TFileDialogResult> chosen = FPrompt.SaveFile(SaveAsDialogOptions());
    if (!chosen || chosen->Files.empty()) throw EAbort();
    target = QString::fromStdString(chosen->Files.front());
  }
  const std::string file = target.toStdString();
  const bool existed = QFileInfo::exists(target);
  // The tab of the page shown: the tab bar may already stand on the next
  // one when its change asks. Without tabs the page came from a scan: Scan
  // To File shows the page it appended last, Scan To Batch the one page of a
  // new file.
  int page = 1;
  if (FTabs.count() > 0)
    page = FShownTab + 1;
  else if (existed)
    page = TGraphicDocument(file).PageCount();
  SavePageIntoFile(file, page, FViewer.Graphic());
  if (page == 1) FStrip.RedrawThumbnail(target, FViewer.Graphic());
  if (!existed) FViewer.SetFileName(file);
}

void TPageView::TabChanged(int index) {
  if (FRebuildingTabs || index < 0) return;
  try {
    AskSaveChanges();
  } catch (const Exception&) {
    // Before the change: a Cancel or an error here lets the change go ahead.
  }
  try {
    AskSaveChanges();
  } catch (const EAbort&) {
    // The page is still changed: the viewer keeps it, and the tab that
    // shows it stays the current one.
    FRebuildingTabs = true;
    FTabs.setCurrentIndex(FShownTab);
    FRebuildingTabs = false;
    return;
  }
  const std::string file = FViewer.FileName();
  if (!file.empty() && QFileInfo::exists(QString::fromStdString(file)) && FTabs.count() > 1) {
    FShownTab = index;
    try {
      FViewer.LoadPage(file, index + 1);
    } catch (...) {
      UpdateImageStatus();
      throw;
    }
  }
  UpdateImageStatus();
}

void TPageView::FitToWidth() {
  FViewer.SetZoomMode(zmFitWidth);
}
void TPageView::FitToHeight() {
  FViewer.SetZoomMode(zmFitHeight);
}
void TPageView::FitToPage() {
  FViewer.SetZoomMode(zmFitToPage);
}

void TPageView::NoScale() {
  FViewer.SetZoomMode(zmPercent);
  FViewer.SetZoomPercent(100);
}

float TPageView::OriginalSizePercent(int screenDpi, int pageDpi) {
  if (pageDpi <= 0) return 100;
  const float percent = static_cast<float>(screenDpi) / static_cast<float>(pageDpi) * 100.0f;
  return std::isfinite(percent) && percent > 0 ? percent : 100;
}

void TPageView::OriginalSize() {
  FViewer.SetZoomMode(zmPercent);
  FViewer.SetZoomPercent(OriginalSizePercent(ScreenDpiX(), FViewer.Graphic().XDpi()));
}

void TPageView::ZoomIn() {
  FViewer.SetZoomMode(zmPercent);
  FViewer.SetZoomPercent(FViewer.ZoomPercent() + 5);
}

void TPageView::ZoomOut() {
  FViewer.SetZoomMode(zmPercent);
  FViewer.SetZoomPercent(FViewer.ZoomPercent() - 5);
}
