#include "viewer/DisplayCopy.h"
#include "ViewerTestSupport.h"
#include "graphics/AntiAliasTransform.h"
#include "graphics/ResizeTransform.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// The display copy made whole, as the transforms make it.
std::unique_ptr<TDibGraphic> WholeDisplayCopy(const TDibGraphic& page, QSize size,
                                              bool antiAliased) {
  auto copy = std::make_unique<TDibGraphic>();
  TResizeTransform resize;
  resize.OutWidth = size.width();
  resize.OutHeight = size.height();
  resize.ForceFormat = true;
  resize.ForcedFormat = ifTrueColor;
  if (page.ImageFormat() == ifBlackWhite && antiAliased) {
    TDibGraphic grey;
    TAntiAliasTransform reduce;
    reduce.OutWidth = size.width();
    reduce.OutHeight = size.height();
    reduce.ApplyOnDest(page, grey);
    resize.ApplyOnDest(grey, *copy);
  } else {
    resize.ApplyOnDest(page, *copy);
  }
  return copy;
}

TEST(DisplayCopy, EveryPartHoldsWhatTheWholeDisplayCopyHoldsThere) {
  test::EnsureApplication();
  struct {
    TImageFormat format;
    int width, height;
    bool antiAliased;
    bool whiteIsZero = false;
  } pages[] = {{ifBlackWhite, 333, 517, true},
               {ifBlackWhite, 333, 517, false},
               {ifBlackWhite, 250, 90, true, true},
               {ifGray256, 301, 200, false},
               {ifColor16, 97, 131, false},
               {ifTrueColor, 251, 173, false},
               {ifTrueColor, 31, 33, false},
               {ifBlackWhite, 29, 17, true},
               {ifGray16, 64, 48, true}};
  std::mt19937 random(7);
  for (const auto& item : pages) {
    TDibGraphic page;
    test::FillPage(page, item.width, item.height, item.format, random());
    if (item.whiteIsZero) {
      page.SetPaletteColour(0, 0xFFFFFF);
      page.SetPaletteColour(1, 0);
    }
    // Reduced, enlarged, and reduced one way while enlarged the other.
    for (const QSize size :
         {QSize(item.width / 3, item.height / 4), QSize(item.width * 2 + 1, item.height * 3),
          QSize(item.width / 2, item.height * 2)}) {
      SCOPED_TRACE(testing::Message() << "format " << int{item.format} << " " << item.width << "x"
                                      << item.height << " to " << size.width() << "x"
                                      << size.height() << " anti-aliased " << item.antiAliased);
      const auto whole = WholeDisplayCopy(page, size, item.antiAliased);
      for (int trial = 0; trial < 4; ++trial) {
        const int left = static_cast<int>(random() % static_cast<unsigned>(size.width()));
        const int top = static_cast<int>(random() % static_cast<unsigned>(size.height()));
        const QRect part(left, top, 1 + static_cast<int>(random() % 90),
                         1 + static_cast<int>(random() % 90));
        const QImage built = BuildDisplayPart(page, size, item.antiAliased, part);
        const QRect inside = part.intersected(QRect(QPoint(0, 0), size));
        ASSERT_EQ(built.size(), inside.size());
        EXPECT_EQ(built.dotsPerMeterX(), page.XPelsPerMetre());
        int wrong = 0;
        for (int y = 0; y < inside.height(); ++y)
          for (int x = 0; x < inside.width(); ++x) {
            const TColour expected = whole->Pixel(inside.left() + x, inside.top() + y);
            const QRgb got = built.pixel(x, y);
            if (qRed(got) != RedOf(expected) || qGreen(got) != GreenOf(expected) ||
                qBlue(got) != BlueOf(expected))
              ++wrong;
          }
        EXPECT_EQ(wrong, 0) << "part " << part.x() << "," << part.y() << " " << part.width() << "x"
                            << part.height();
      }
    }
  }
}

TEST(DisplayCopy, NothingOutsideTheDisplayCopyOrOfAnEmptyPage) {
  TDibGraphic empty;
  EXPECT_TRUE(BuildDisplayPart(empty, QSize(10, 10), true, QRect(0, 0, 5, 5)).isNull());
  TDibGraphic page;
  test::FillPage(page, 20, 20, ifBlackWhite, 1);
  EXPECT_TRUE(BuildDisplayPart(page, QSize(10, 10), true, QRect(10, 0, 5, 5)).isNull());
  EXPECT_EQ(BuildDisplayPart(page, QSize(10, 10), true, QRect(-3, -3, 5, 5)).size(), QSize(2, 2));
}

} // namespace
