#pragma once

#include <QObject>
#include <QString>

class QTabBar;
class TImageScrollBox;
class TMainStatusBar;
class TOperatorPrompt;
class TThumbnailStrip;

// The right-hand side of the main window: the viewer, the page tabs of the
// selected file, the status texts about the page and the zoom commands. It
// also keeps whether the page shown was changed and not yet written back.
class TPageView : public QObject {
  Q_OBJECT

public:
  TPageView(TImageScrollBox& viewer, QTabBar& tabs, TMainStatusBar& status, TThumbnailStrip& strip,
            TOperatorPrompt& prompt, QObject* parent = nullptr);

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
  // No discards the change; Yes writes it back (WriteBackPage). Afterwards
  // the page counts as unchanged; a write that fails raises and leaves the
  // page changed.
  void AskSaveChanges();
  // Writes the page shown into its file: the viewer's file, else the
  // selected thumbnail's, else the Scan To File target, else a file named
  // in the save dialog (Cancel raises EAbort). It takes the place of the
  // page of the current tab; with no tabs, of the file's last page (the one
  // a scan appended last). A file that does not exist yet is made and the
  // viewer then names it. The thumbnail of the file is drawn again when its
  // first page was written.
  void WriteBackPage();
  // FScanFileName: the file Scan To File appends to, or empty.
  const QString& ScanFileName() const { return FScanFileName; }
  void SetScanFileName(const QString& fileName) { FScanFileName = fileName; }

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
  TThumbnailStrip& FStrip;
  TOperatorPrompt& FPrompt;
  QString FScanFileName;
  bool FModified = false;
  bool FRebuildingTabs = false;
  int FShownTab = 0;
};
