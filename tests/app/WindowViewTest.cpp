// The strip's layout and the page view of the main window: columns, tabs,
// status texts, zoom commands and the window's proportions.
#include "WindowFixture.h"

#include "app/StatusPanels.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "viewer/ImageScrollBox.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProxyStyle>
#include <QSplitter>
#include <QTabBar>
#include <QTest>

using namespace apptest;

namespace {

// A style whose scroll bars are 17 pixels wide.
class TScrollBar17 : public QProxyStyle {
public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_ScrollBarExtent) return 17;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

QStringList TabTexts(const QTabBar& tabs) {
  QStringList texts;
  for (int i = 0; i < tabs.count(); ++i) texts << tabs.tabText(i);
  return texts;
}

} // namespace

class WindowView : public WindowTest {};

TEST_F(WindowView, ColumnsForAStrip400PixelsWide) {
  for (int i = 0; i < 7; ++i) WritePage(FBatch.File("0" + std::to_string(i) + ".tif"), 100, 140);
  TFormMain& form = StartOn(FBatch.Path());
  TScrollBar17 style;
  form.Strip().setStyle(&style);
  form.Strip().setFixedSize(400, 460); // tall enough for three rows: no vertical range
  ASSERT_TRUE(WaitFor([&] { return form.Strip().viewport()->width() == 400; }));
  ASSERT_TRUE(WaitFor([&] { return form.ThumbColumns() == 3; }));
  std::vector<QPoint> cells;
  for (const TThumbnail* thumbnail : form.Strip().Thumbnails()) cells.push_back(thumbnail->pos());
  const std::vector<QPoint> expected = {{6, 6},     {132, 6},   {258, 6}, {6, 144},
                                        {132, 144}, {258, 144}, {6, 282}};
  EXPECT_EQ(cells, expected);
  // Each caption lies right below its thumbnail, as wide as it.
  const TThumbnail* last = form.Strip().Thumbnails().back();
  EXPECT_EQ(last->CaptionLabel()->geometry().topLeft(), QPoint(6, 402));
  EXPECT_EQ(last->CaptionLabel()->width(), 120);
  EXPECT_EQ(last->CaptionLabel()->text(), "File 7");
  // Narrower than one cell: one column.
  form.Strip().setFixedWidth(100);
  ASSERT_TRUE(WaitFor([&] { return form.ThumbColumns() == 1; }));
  EXPECT_EQ(form.Strip().Thumbnails()[1]->pos(), QPoint(6, 144));
  form.Strip().setStyle(nullptr);
}

TEST_F(WindowView, SelectionFrameAndBackgroundClick) {
  for (int i = 0; i < 5; ++i) WritePage(FBatch.File("0" + std::to_string(i) + ".tif"), 100, 140);
  TFormMain& form = StartOn(FBatch.Path());
  QFrame* frame = form.Strip().SelectionFrame();
  EXPECT_FALSE(frame->isVisible());
  TThumbnail* second = form.Strip().Thumbnails()[1];
  QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(form.SelectedThumb(), second);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->geometry(), second->geometry().adjusted(-2, -2, 2, 2));
  EXPECT_EQ(form.Status().PanelText(0), second->Path());
  EXPECT_FALSE(form.Viewer().Empty());
  // A click on the strip's background selects nothing.
  QTest::mouseClick(form.Strip().Content(), Qt::LeftButton, {}, QPoint(3, 300));
  EXPECT_EQ(form.SelectedThumb(), nullptr);
  EXPECT_FALSE(frame->isVisible());
  EXPECT_TRUE(form.Viewer().Empty());
  EXPECT_EQ(form.Tabs().count(), 0);
  EXPECT_EQ(form.Status().PanelText(0), "5 images in the batch");
  EXPECT_EQ(form.Status().PanelText(1), "No Image Selected");
  // A right-button press selects too, and the strip's pop-up offers the
  // selection's commands; a right click on the background keeps it.
  QTest::mouseClick(second, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(form.SelectedThumb(), second);
  QTest::mouseClick(form.Strip().Content(), Qt::RightButton, {}, QPoint(3, 300));
  EXPECT_EQ(form.SelectedThumb(), second);
  form.ActionManager1Update();
  for (QAction* entry : form.StripPopup().actions())
    EXPECT_TRUE(entry->isEnabled()) << entry->objectName().toStdString();
}

TEST_F(WindowView, AThreePageFileHasATabPerPage) {
  WritePages(FBatch.File("three.tif"), {100, 110, 120}, 150, 200);
  WritePage(FBatch.File("single.tif"), 90, 140);
  TFormMain& form = StartOn(FBatch.Path());
  ASSERT_EQ(form.Strip().Count(), 2);
  QTest::mouseClick(form.Strip().Thumbnails()[1], Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(TabTexts(form.Tabs()), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(form.Tabs().currentIndex(), 0);
  EXPECT_EQ(form.Status().PanelText(1),
            "Page: 1 of 3 - Size: 100x150 - Resolution: 200x200 DPI - Bits Per Pixel: 1");
  form.Tabs().setCurrentIndex(2);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 120);
  EXPECT_EQ(form.Status().PanelText(1),
            "Page: 3 of 3 - Size: 120x150 - Resolution: 200x200 DPI - Bits Per Pixel: 1");
  // Cancel in the save prompt keeps the changed page and its tab.
  form.PageView().SetModified(true);
  FPrompt.Answer(TAnswer::Cancel);
  FPrompt.Answer(TAnswer::Cancel);
  form.Tabs().setCurrentIndex(1);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 120);
  EXPECT_EQ(form.Tabs().currentIndex(), 2);
  EXPECT_TRUE(form.PageView().Modified());
  FPrompt.Answer(TAnswer::No);
  form.Tabs().setCurrentIndex(1);
  EXPECT_EQ(form.Viewer().Graphic().Width(), 110);
  EXPECT_FALSE(form.PageView().Modified());
  // A single-page file: one tab.
  QTest::mouseClick(form.Strip().Thumbnails()[0], Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(TabTexts(form.Tabs()), QStringList{"1"});
  EXPECT_EQ(form.Status().PanelText(1),
            "Page: 1 of 1 - Size: 90x140 - Resolution: 300x300 DPI - Bits Per Pixel: 1");
}

TEST_F(WindowView, ZoomCommandsAndTheAntiAliasingRule) {
  WritePage(FBatch.File("page.tif"), 600, 800, 300);
  TFormMain& form = StartOn(FBatch.Path());
  QTest::mouseClick(form.Strip().Thumbnails()[0], Qt::LeftButton, {}, QPoint(5, 5));
  TImageScrollBox& viewer = form.Viewer();
  EXPECT_EQ(viewer.ZoomMode(), zmFitToPage);
  EXPECT_TRUE(viewer.Centered());
  viewer.SetZoomPercent(20);
  std::vector<float> zooms;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(form.ExecuteAction("ActionZoomOut"));
    zooms.push_back(viewer.ZoomPercent());
  }
  EXPECT_EQ(zooms, (std::vector<float>{15, 10, 5, 5}));
  EXPECT_TRUE(viewer.AntiAliased());
  form.ExecuteAction("ActionNoScale");
  EXPECT_EQ(viewer.ZoomMode(), zmPercent);
  EXPECT_FLOAT_EQ(viewer.ZoomPercent(), 100);
  EXPECT_FALSE(viewer.AntiAliased());
  form.ExecuteAction("ActionZoomIn");
  EXPECT_FLOAT_EQ(viewer.ZoomPercent(), 105);
  ASSERT_EQ(ScreenDpiX(), 96);
  form.ExecuteAction("ActionOriginalSize");
  EXPECT_FLOAT_EQ(viewer.ZoomPercent(), 32);
  EXPECT_TRUE(viewer.AntiAliased());
  const std::pair<const char*, TZoomMode> modes[] = {{"ActionFitToWidth", zmFitWidth},
                                                     {"ActionFitToHeight", zmFitHeight},
                                                     {"ActionFitToPage", zmFitToPage}};
  for (const auto& [name, mode] : modes) {
    form.ExecuteAction(name);
    EXPECT_EQ(viewer.ZoomMode(), mode) << name;
  }
}

TEST_F(WindowView, PanelsTakeTheirShareOfTheWindow) {
  TFormMain& form = Start();
  Tick();
  ASSERT_TRUE(WaitFor([&] { return form.isMaximized(); }));
  form.showNormal();
  form.resize(1000, 700);
  ASSERT_TRUE(WaitFor([&] { return form.width() == 1000; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(form.Splitter().sizes().at(1), 500);
  TMainStatusBar& status = form.Status();
  EXPECT_EQ(status.Panel(0)->width(), status.contentsRect().width() / 3);
  EXPECT_EQ(form.findChild<QLabel*>("PanelBatchFolder")->height(), 17);
  EXPECT_EQ(form.Tabs().height(), 21);
  EXPECT_EQ(form.Tabs().shape(), QTabBar::RoundedSouth);
}
