#include "ViewerTestSupport.h"
#include "graphics/GraphicTestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void Send(TImageScrollBox& viewer, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
  QWidget* target = viewer.viewport();
  QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void Press(TImageScrollBox& viewer, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  Send(viewer, QEvent::MouseButtonPress, at, button, button);
}
void Move(TImageScrollBox& viewer, QPoint at, Qt::MouseButtons buttons = Qt::LeftButton) {
  Send(viewer, QEvent::MouseMove, at, Qt::NoButton, buttons);
}
void Release(TImageScrollBox& viewer, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  Send(viewer, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

std::unique_ptr<TImageScrollBox> ViewerOfPage(int width, int height, TImageFormat format) {
  auto viewer = test::ShownViewer(300, 200);
  test::FillPage(viewer->Graphic(), width, height, format, 4);
  viewer->Redraw(true);
  return viewer;
}

TEST(ViewerQuickSelect, ARectangleGivesThatPartOfTheDisplayCopy) {
  auto viewer = ViewerOfPage(600, 400, ifBlackWhite);
  viewer->SetAntiAliased(true);
  viewer->SetZoomPercent(50);
  viewer->SetMouseHandlerKind(mhQuickSelect);
  std::vector<QRect> rects;
  std::unique_ptr<TDibGraphic> selected;
  viewer->OnQuickSelect = [&](TImageScrollBox*, TDibGraphic& graphic, const QRect& rect) {
    rects.push_back(rect);
    selected = std::make_unique<TDibGraphic>();
    selected->Assign(graphic);
  };
  // Dragged up and to the left, past the page's right edge at first.
  Press(*viewer, QPoint(120, 90));
  Move(*viewer, QPoint(299, 95));
  const auto* handler = dynamic_cast<TQuickSelectMouseHandler*>(viewer->MouseHandler());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->Frame(), QRect(120, 90, 179, 5));
  // The frame is drawn over the page, inverting what it covers.
  const QImage framed = viewer->viewport()->grab().toImage();
  Move(*viewer, QPoint(40, 30));
  Release(*viewer, QPoint(40, 30));
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], QRect(40, 30, 80, 60));
  EXPECT_TRUE(test::SameGraphic(*selected, *viewer->DisplayCopy(QRect(40, 30, 80, 60))));
  EXPECT_EQ(selected->ImageFormat(), ifTrueColor);
  EXPECT_TRUE(handler->Frame().isNull());
  const QImage plain = viewer->viewport()->grab().toImage();
  int inverted = 0;
  for (int x = 120; x < 299; ++x)
    inverted += framed.pixel(x, 90) == (plain.pixel(x, 90) ^ 0xFFFFFF) ? 1 : 0;
  EXPECT_GT(inverted, 40);
  EXPECT_EQ(framed.pixel(200, 150), plain.pixel(200, 150));
}

TEST(ViewerQuickSelect, ZeroWidthOrHeightOrACentredPageCallsNothing) {
  auto viewer = ViewerOfPage(600, 400, ifTrueColor);
  viewer->SetMouseHandlerKind(mhQuickSelect);
  int calls = 0;
  viewer->OnQuickSelect = [&](TImageScrollBox*, TDibGraphic&, const QRect&) { ++calls; };
  Press(*viewer, QPoint(50, 50));
  Move(*viewer, QPoint(50, 150));
  Release(*viewer, QPoint(50, 150));
  Press(*viewer, QPoint(50, 50));
  Release(*viewer, QPoint(150, 50));
  EXPECT_EQ(calls, 0);
  viewer->SetZoomPercent(20);
  viewer->SetCentered(true);
  const QPoint corner = viewer->ImageRect().topLeft();
  Press(*viewer, corner + QPoint(5, 5));
  Release(*viewer, corner + QPoint(60, 40));
  EXPECT_EQ(calls, 0);
}

TEST(ViewerDrag, ThePageFollowsTheMouseWhileAScrollBarShows) {
  auto viewer = ViewerOfPage(900, 700, ifGray256);
  ASSERT_TRUE(viewer->HorizontalBarShown());
  EXPECT_EQ(viewer->viewport()->cursor().shape(), Qt::OpenHandCursor);
  Press(*viewer, QPoint(100, 100));
  EXPECT_EQ(viewer->viewport()->cursor().shape(), Qt::ClosedHandCursor);
  Move(*viewer, QPoint(60, 70));
  EXPECT_EQ(viewer->horizontalScrollBar()->value(), 40);
  EXPECT_EQ(viewer->verticalScrollBar()->value(), 30);
  Move(*viewer, QPoint(50, 60));
  EXPECT_EQ(viewer->horizontalScrollBar()->value(), 50);
  EXPECT_EQ(viewer->verticalScrollBar()->value(), 40);
  Release(*viewer, QPoint(50, 60));
  EXPECT_EQ(viewer->viewport()->cursor().shape(), Qt::OpenHandCursor);
  // The right button does not drag.
  Press(*viewer, QPoint(100, 100), Qt::RightButton);
  Move(*viewer, QPoint(10, 10), Qt::RightButton);
  Release(*viewer, QPoint(10, 10), Qt::RightButton);
  EXPECT_EQ(viewer->horizontalScrollBar()->value(), 50);
  // Nor does any button when the whole page shows.
  viewer->SetZoomMode(zmFitToPage);
  Press(*viewer, QPoint(20, 20));
  Move(*viewer, QPoint(5, 5));
  Release(*viewer, QPoint(5, 5));
  EXPECT_EQ(viewer->horizontalScrollBar()->value(), 0);
}

TEST(ViewerEvents, MouseEventsOfThePageInDisplayCoordinates) {
  auto viewer = ViewerOfPage(900, 700, ifBlackWhite);
  viewer->SetMouseHandlerKind(mhNone);
  viewer->horizontalScrollBar()->setValue(30);
  std::vector<std::string> seen;
  const auto record = [&](const char* what) {
    return [&seen, what](TImageScrollBox*, Qt::MouseButton, Qt::KeyboardModifiers, QPoint at) {
      seen.push_back(std::string(what) + " " + std::to_string(at.x()) + "," +
                     std::to_string(at.y()));
    };
  };
  viewer->OnImageMouseDown = record("down");
  viewer->OnImageMouseUp = record("up");
  viewer->OnImageDblClick = record("double");
  viewer->OnImageMouseMove = [&](TImageScrollBox*, Qt::KeyboardModifiers, QPoint at) {
    seen.push_back("move " + std::to_string(at.x()) + "," + std::to_string(at.y()));
  };
  Press(*viewer, QPoint(10, 20));
  Move(*viewer, QPoint(11, 21));
  Release(*viewer, QPoint(11, 21));
  Send(*viewer, QEvent::MouseButtonDblClick, QPoint(12, 22), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"down 40,20", "move 41,21", "up 41,21", "double 42,22"}));
  // Outside the page nothing is told.
  seen.clear();
  viewer->SetZoomPercent(10);
  Press(*viewer, QPoint(200, 150));
  Release(*viewer, QPoint(200, 150));
  EXPECT_TRUE(seen.empty());
}

TEST(ViewerEvents, ScrollSequencesBeginAndEnd) {
  auto viewer = ViewerOfPage(900, 700, ifBlackWhite);
  int begins = 0, ends = 0;
  viewer->OnBeginScroll = [&](TImageScrollBox*) { ++begins; };
  viewer->OnEndScroll = [&](TImageScrollBox*) { ++ends; };
  viewer->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(begins, 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ends == 1; }, 5000));
  EXPECT_GT(viewer->verticalScrollBar()->value(), 0);
}

} // namespace
