#include "ViewerTestSupport.h"

#include <QScrollBar>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// A shown viewer of the given client size holding a blank page.
struct TViewerWithPage {
  std::unique_ptr<TImageScrollBox> viewer;
  std::vector<float> zooms; // OnZoomChange calls

  TViewerWithPage(int clientWidth, int clientHeight, int pageWidth, int pageHeight,
                  TZoomMode mode) {
    viewer = test::ShownViewer(clientWidth, clientHeight);
    viewer->OnZoomChange = [this](TImageScrollBox* sender, float zoom) {
      EXPECT_EQ(sender, viewer.get());
      zooms.push_back(zoom);
    };
    viewer->Graphic().NewImage(pageWidth, pageHeight, 300, 300, nullptr, ifBlackWhite);
    viewer->SetZoomMode(mode);
    viewer->Redraw(true);
  }
};

TEST(ViewerZoom, A4PageInAnEightHundredBySixHundredClient) {
  TViewerWithPage page(800, 600, 2480, 3508, zmFitToPage);
  EXPECT_FLOAT_EQ(page.viewer->ZoomPercent(), 600.0f / 3508.0f * 100);
  EXPECT_NEAR(page.viewer->ZoomPercent(), 17.1, 0.05);
  EXPECT_EQ(page.viewer->DisplaySize(), QSize(424, 600));
  EXPECT_FALSE(page.viewer->HorizontalBarShown());
  EXPECT_FALSE(page.viewer->VerticalBarShown());

  page.viewer->SetZoomMode(zmFitWidth);
  EXPECT_FLOAT_EQ(page.viewer->ZoomPercent(), 800.0f / 2480.0f * 100);
  EXPECT_NEAR(page.viewer->ZoomPercent(), 32.3, 0.05);
  EXPECT_TRUE(page.viewer->VerticalBarShown());
  EXPECT_FALSE(page.viewer->HorizontalBarShown());
  EXPECT_EQ(page.viewer->verticalScrollBar()->maximum(), page.viewer->DisplaySize().height() - 600);
  ASSERT_EQ(page.zooms.size(), 2u);
  EXPECT_FLOAT_EQ(page.zooms[1], page.viewer->ZoomPercent());

  page.viewer->SetZoomMode(zmFitHeight);
  EXPECT_FLOAT_EQ(page.viewer->ZoomPercent(), 600.0f / 3508.0f * 100);
  page.viewer->SetZoomMode(zmOriginalSize);
  EXPECT_EQ(page.viewer->ZoomPercent(), 100);
  EXPECT_TRUE(page.viewer->HorizontalBarShown());
  EXPECT_TRUE(page.viewer->VerticalBarShown());
}

TEST(ViewerZoom, FitToPageNeverEnlargesButFullPageDoes) {
  TViewerWithPage page(800, 600, 100, 100, zmFitToPage);
  EXPECT_EQ(page.viewer->ZoomPercent(), 100);
  EXPECT_EQ(page.viewer->DisplaySize(), QSize(100, 100));
  page.viewer->SetZoomMode(zmFullPage);
  EXPECT_EQ(page.viewer->ZoomPercent(), 600);
  EXPECT_EQ(page.viewer->DisplaySize(), QSize(600, 600));
}

TEST(ViewerZoom, StepsOfFiveStopAtFivePercent) {
  TViewerWithPage page(400, 300, 1000, 1000, zmFitToPage);
  page.zooms.clear();
  page.viewer->SetZoomPercent(20);
  EXPECT_EQ(page.viewer->ZoomMode(), zmPercent);
  for (float expected : {15.0f, 10.0f, 5.0f, 5.0f}) {
    page.viewer->SetZoomPercent(page.viewer->ZoomPercent() - 5);
    EXPECT_EQ(page.viewer->ZoomPercent(), expected);
  }
  EXPECT_EQ(page.zooms, (std::vector<float>{20, 15, 10, 5}));
  // The same percent again, or no number at all, changes nothing and tells nobody.
  page.viewer->SetZoomPercent(5);
  page.viewer->SetZoomPercent(std::numeric_limits<float>::quiet_NaN());
  page.viewer->SetZoomPercent(std::numeric_limits<float>::infinity());
  EXPECT_EQ(page.zooms.size(), 4u);
  EXPECT_EQ(page.viewer->ZoomPercent(), 5);
  // An absurd zoom is shown within bounds.
  page.viewer->SetZoomPercent(1e7f);
  EXPECT_EQ(page.viewer->DisplaySize(), QSize(1 << 24, 1 << 24));
  page.viewer->viewport()->repaint();
}

TEST(ViewerZoom, EmptyPageIgnoresZoomRequests) {
  test::EnsureApplication();
  auto viewer = test::ShownViewer(300, 300);
  int calls = 0;
  viewer->OnZoomChange = [&](TImageScrollBox*, float) { ++calls; };
  viewer->SetZoomPercent(50);
  EXPECT_EQ(viewer->ZoomMode(), zmOriginalSize);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(viewer->ImageVisible());
}

TEST(ViewerZoom, APageScaledBelowOnePixelShowsOnePixel) {
  TViewerWithPage page(800, 600, 2000, 3, zmPercent);
  page.viewer->SetZoomPercent(10);
  EXPECT_EQ(page.viewer->DisplaySize(), QSize(200, 1));
  EXPECT_EQ(DisplaySizeFor(QSize(3, 5000), 10), QSize(1, 500));
  EXPECT_EQ(DisplaySizeFor(QSize(1, 1), 0.2f), QSize(1, 1));
}

TEST(ViewerZoom, CentredPagesSitInTheMiddleOfTheRoomLeft) {
  TViewerWithPage page(801, 600, 100, 50, zmOriginalSize);
  EXPECT_EQ(page.viewer->ImageRect(), QRect(0, 0, 100, 50));
  page.viewer->SetCentered(true);
  EXPECT_EQ(page.viewer->ImageRect(), QRect(350, 275, 100, 50));
  EXPECT_EQ(PlacementFor(QSize(900, 50), QSize(801, 600), true), QPoint(0, 275));
}

TEST(ViewerGeometry, ConvertsBetweenItsThreeSpaces) {
  const TViewGeometry geometry(QSize(2000, 1000), QSize(500, 250), QPoint(10, 20), QPoint(30, 5));
  EXPECT_EQ(geometry.DisplayToWidget(QPoint(30, 5)), QPoint(10, 20));
  EXPECT_EQ(geometry.WidgetToDisplay(QPoint(10, 20)), QPoint(30, 5));
  EXPECT_EQ(geometry.WidgetToDisplay(geometry.DisplayToWidget(QPoint(123, 45))), QPoint(123, 45));
  EXPECT_EQ(geometry.DisplayToImage(QPointF(100, 50)), QPointF(400, 200));
  EXPECT_EQ(geometry.ImageToDisplay(QPointF(400, 200)), QPointF(100, 50));
  EXPECT_EQ(geometry.VisibleDisplayRect(QRect(0, 0, 100, 100)), QRect(20, 0, 100, 85));
}

} // namespace

namespace {

TEST(ViewerZoom, AntiAliasingRedrawsOnlyABilevelPage) {
  for (const auto& [format, redraws] : {std::pair{ifBlackWhite, 2}, std::pair{ifGray256, 0}}) {
    TViewerWithPage page(300, 300, 600, 600, zmFitToPage);
    page.viewer->Graphic().NewImage(600, 600, 300, 300, nullptr, format);
    int count = 0;
    page.viewer->OnRedraw = [&](TDibGraphic&) { ++count; };
    page.viewer->SetAntiAliased(true);
    page.viewer->SetAntiAliased(true);
    page.viewer->SetAntiAliased(false);
    EXPECT_EQ(count, redraws) << int{format};
    EXPECT_FALSE(page.viewer->AntiAliased());
  }
}

} // namespace
