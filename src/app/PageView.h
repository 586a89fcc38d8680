#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QTabBar;
class TImageScrollBox;
class TMainStatusBar;
class TOperatorPrompt;

// The right-hand side of the main window: the viewer, the page tabs of the
// selected file, the status texts about the page and the zoom commands. It
// also keeps whether the page shown was changed and not yet written back.
class TPageView : public QObject {
  Q_OBJECT

public:
  TPageView(TImageScrollBox& viewer, QTabBar& tabs, TMainStatusBar& status, TOperatorPrompt& prompt,
            QObject* parent = nullptr);

  TImageScrollBox& Viewer() const { return FViewer; }
  QTabBar& Tabs() const { return FTabs; }

  // Shows page 1 of a file with one tab per page; panel 0 names the file.
  // A read error reaches the caller after the status is brought up to date.
  void ShowFile(const QString& path);
  // Empties the viewer and removes the tabs.
  void ShowNothing();
  // Status panel 1: "No Image Selected", or the page's number, size,
  // resolution and depth.
  void UpdateImageStatus();
  static QString ImageStatusText(bool empty, int tab, int tabCount, int width, int height,
                                 int xPelsPerMetre, int yPelsPerMetre, int bits);

  // The page shown was changed by a page command and not yet written back.
  bool Modified() const { return FModified; }
  void SetModified(bool modified) { FModified = modified; }
  // The save prompt, offered before the page shown is replaced: nothing when
  // the page is unchanged; Cancel raises EAbort and the page stays changed;
  // No discards the change; Yes writes it back through the writer the page
  // commands install. Afterwards the page counts as unchanged.
  void AskSaveChanges();
  using TSaveChanges = std::function<void()>;
  void SetSaveChanges(TSaveChanges save) { FSaveChanges = std::move(save); }

  // Zoom commands.
  void FitToWidth();
  void FitToHeight();
  void FitToPage();
  void NoScale();
  // The page at its physical size: screen dots per inch over the page's
  // horizontal resolution; 100 % when that cannot be computed.
  void OriginalSize();
  static float OriginalSizePercent(int screenDpi, int pageDpi);
  void ZoomIn();
  void ZoomOut();

  // TabControlPagesChanging and TabControlPagesChange in one, for the tab
  // bar's currentChanged (the tab has already moved when Qt reports it). A
  // read error of the new page reaches the caller.
  void TabChanged(int index);

private:
  void RebuildTabs(int pageCount);

  TImageScrollBox& FViewer;
  QTabBar& FTabs;
  TMainStatusBar& FStatus;
  TOperatorPrompt& FPrompt;
  TSaveChanges FSaveChanges;
  bool FModified = false;
  bool FRebuildingTabs = false;
  int FShownTab = 0;
};
