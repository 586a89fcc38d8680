// The main window's rules that need no window: the strip's grid and column
// count, the command-line rules, the enabling table, the status text, the
// physical-size zoom, the dialog filters and the settings defaults.
#include "app/AppSettings.h"
#include "app/CommandEnabling.h"
#include "app/PageView.h"
#include "app/StartupArguments.h"
#include "app/StripGrid.h"
#include "app/WidgetPrompt.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

TEST(StripGrid, WalksRowsOfColumnsWithRoomForTheCaptions) {
  // 120-pixel cells 6 pixels apart in three columns: x at 6, 132, 258 and
  // rows at 6, 144, 282.
  TStripGrid grid(120, 6, 3);
  std::vector<QPoint> cells;
  for (int k = 0; k < 7; ++k, grid.Advance()) cells.push_back(grid.Cell());
  const std::vector<QPoint> expected = {{6, 6},     {132, 6},   {258, 6}, {6, 144},
                                        {132, 144}, {258, 144}, {6, 282}};
  EXPECT_EQ(cells, expected);
  EXPECT_EQ(grid.Column(), 1);
  TStripGrid seek(120, 6, 3);
  seek.SeekTo(7);
  EXPECT_EQ(seek.Cell(), grid.Cell());
  EXPECT_EQ(seek.Column(), grid.Column());
}

TEST(StripGrid, ColumnCountLeavesRoomForAScrollBarThatMayAppear) {
  struct Case {
    int width, scrollBar;
    bool range;
    int size, space, columns;
  };
  const Case cases[] = {
      {400, 17, false, 120, 6, 3}, // (400 - 17) div 126
      {400, 17, true, 120, 6, 3},  // 400 div 126
      {395, 17, false, 120, 6, 3},
      {395, 17, true, 120, 6, 3},
      {395, 0, false, 120, 6, 3},
      {269, 17, false, 120, 6, 2},
      {269, 17, true, 120, 6, 2},
      {260, 17, false, 120, 6, 1}, // 243 div 126
      {260, 17, true, 120, 6, 2},  // 260 div 126
      {100, 17, false, 120, 6, 1}, // narrower than one cell: still one column
      {0, 17, false, 120, 6, 1},
      {400, 17, false, 0, 0, 1}, // sizes adding up to nothing do not divide by zero
      {400, 17, false, 5, -10, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StripColumnCount(c.width, c.scrollBar, c.range, c.size, c.space), c.columns)
        << c.width << " " << c.scrollBar << " " << c.range << " " << c.size << " " << c.space;
}

TEST(StartupArguments, QuotesAreStrippedOnceAtEachEnd) {
  EXPECT_EQ(StripArgumentQuotes("\"/tmp/a b\""), "/tmp/a b");
  EXPECT_EQ(StripArgumentQuotes("'x'"), "x");
  EXPECT_EQ(StripArgumentQuotes("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(StripArgumentQuotes("\"x"), "x");
  EXPECT_EQ(StripArgumentQuotes("x'"), "x");
  EXPECT_EQ(StripArgumentQuotes("\""), "");
  EXPECT_EQ(StripArgumentQuotes("-auto"), "-auto");
}

TEST(StartupArguments, TheFirstRuleThatAppliesWins) {
  test::TempDir dir;
  const QString folder = QString::fromStdString(dir.File("a folder"));
  std::filesystem::create_directory(folder.toStdString());
  const QStringList items = {"Show Scanner User Interface", "Office", "-auto"};
  struct Case {
    QString argument;
    TArgumentKind kind;
    int index;
  };
  const Case cases[] = {
      {'"' + folder + '"', TArgumentKind::BatchFolder, -1},
      {"/elsewhere/office.TSP", TArgumentKind::Profile, 1},
      {"Office", TArgumentKind::Profile, 1},
      {"-AUTO", TArgumentKind::Profile, 2}, // a profile of that name comes first
      {folder + "/missing", TArgumentKind::Ignored, -1},
      {"/elsewhere/Home.tsp", TArgumentKind::Ignored, -1},
      {"", TArgumentKind::Ignored, -1},
  };
  for (const Case& c : cases) {
    const TArgument taken = ClassifyArgument(c.argument, items);
    EXPECT_EQ(taken.Kind, c.kind) << c.argument.toStdString();
    EXPECT_EQ(taken.ProfileIndex, c.index) << c.argument.toStdString();
  }
  EXPECT_EQ(ClassifyArgument("'-Auto'", {"Show Scanner User Interface"}).Kind,
            TArgumentKind::AutoScan);
  EXPECT_EQ(ClassifyArgument('"' + folder + '"', items).Text, folder);
}

TEST(CommandEnabling, FollowsTheStateOfBatchSelectionAndViewer) {
  const QStringList batchFolder = {"ActionScanToBatch", "ActionImportImages"};
  const QStringList selection = {"ActionDelete", "ActionMoveUp", "ActionMoveDown", "ActionView"};
  const QStringList two = {"ActionSaveBatchAs", "ActionImageProcessing"};
  const QStringList image = {"ActionPrint",     "ActionCopy",       "ActionZoomIn",
                             "ActionZoomOut",   "ActionFitToWidth", "ActionFitToHeight",
                             "ActionFitToPage", "ActionNoScale",    "ActionOriginalSize"};
  const QStringList pages = {
      "ActionRotate90",       "ActionRotate180",    "ActionRotate270",
      "ActionFlipHorizontal", "ActionFlipVertical", "ActionInvert",
      "ActionDeskew",         "ActionDespeckle",    "ActionCustomProcessing"};
  const QStringList always = {"ActionOpenBatchFolder", "ActionExit",         "ActionLog",
                              "ActionAbout",           "ActionScanToScreen", "ActionSelectScanner"};
  for (int mask = 0; mask < 16; ++mask) {
    for (int count : {0, 1, 2, 3}) {
      TEnablingState state;
      state.BatchFolderExists = mask & 1;
      state.ThumbnailSelected = mask & 2;
      state.ImageShown = mask & 4;
      state.ThumbnailCount = count;
      for (const QString& name : batchFolder)
        EXPECT_EQ(CommandEnabled(name, state), state.BatchFolderExists);
      for (const QString& name : selection)
        EXPECT_EQ(CommandEnabled(name, state), state.ThumbnailSelected);
      for (const QString& name : two) EXPECT_EQ(CommandEnabled(name, state), count >= 2);
      for (const QString& name : image) EXPECT_EQ(CommandEnabled(name, state), state.ImageShown);
      for (const QString& name : pages)
        EXPECT_EQ(CommandEnabled(name, state), state.ImageShown || count >= 2);
      for (const QString& name : always) EXPECT_TRUE(CommandEnabled(name, state));
    }
  }
}

TEST(PageStatus, TellsPageSizeResolutionAndDepth) {
  EXPECT_EQ(TPageView::ImageStatusText(true, 0, 3, 10, 10, 11811, 11811, 1), "No Image Selected");
  EXPECT_EQ(TPageView::ImageStatusText(false, 2, 3, 2480, 3508, 11811, 11811, 1),
            "Page: 3 of 3 - Size: 2480x3508 - Resolution: 300x300 DPI - Bits Per Pixel: 1");
  // No tabs (a page with no file) reads as page 1 of 1; 200 x 100 dpi.
  EXPECT_EQ(TPageView::ImageStatusText(false, -1, 0, 17, 9, 7874, 3937, 24),
            "Page: 1 of 1 - Size: 17x9 - Resolution: 200x100 DPI - Bits Per Pixel: 24");
  // The resolution is shown as an unsigned 16-bit number.
  EXPECT_EQ(TPageView::ImageStatusText(false, 0, 1, 1, 1, 2580160, 0, 8).toStdString(),
            "Page: 1 of 1 - Size: 1x1 - Resolution: 0x0 DPI - Bits Per Pixel: 8");
}

TEST(PageZoom, OriginalSizeIsTheScreenOverThePageResolution) {
  EXPECT_FLOAT_EQ(TPageView::OriginalSizePercent(96, 300), 32.0f);
  EXPECT_FLOAT_EQ(TPageView::OriginalSizePercent(96, 96), 100.0f);
  EXPECT_FLOAT_EQ(TPageView::OriginalSizePercent(96, 0), 100.0f); // no resolution: 100 %
  EXPECT_FLOAT_EQ(TPageView::OriginalSizePercent(96, -5), 100.0f);
}

TEST(WidgetPrompt, FiltersBecomeDialogEntries) {
  EXPECT_EQ(DialogFilters("TIFF Files|*.TIF"), QStringList{"TIFF Files (*.TIF)"});
  EXPECT_EQ(DialogFilters("TIFF File|*.tif|PDF File|*.pdf;*.PDF"),
            (QStringList{"TIFF File (*.tif)", "PDF File (*.pdf *.PDF)"}));
  EXPECT_EQ(DialogFilters(""), QStringList{});
  EXPECT_EQ(DialogFilters("dangling"), QStringList{});
}

TEST(AppSettings, SpacingDefaultsToFivePercentOfTheSize) {
  EXPECT_EQ(DefaultThumbSpace(120), 6);
  EXPECT_EQ(DefaultThumbSpace(200), 10);
  EXPECT_EQ(DefaultThumbSpace(50), 2);  // 2.5 to the even neighbour
  EXPECT_EQ(DefaultThumbSpace(70), 4);  // 3.5 to the even neighbour
  EXPECT_EQ(DefaultThumbSpace(130), 6); // 6.5 to the even neighbour
}
