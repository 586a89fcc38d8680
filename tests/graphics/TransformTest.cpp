#include "graphics/AntiAliasTransform.h"
#include "graphics/CropTransform.h"
#include "graphics/FlipTransforms.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/NegativeTransform.h"
#include "graphics/ResizeTransform.h"
#include "graphics/RotateTransform.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

const TImageFormat kFormats[] = {ifBlackWhite, ifGray16,   ifGray256,
                                 ifColor16,    ifColor256, ifTrueColor};
// Odd sizes: widths that are not multiples of 8, 1-pixel sides, sizes past one 8 x 8 block.
const std::pair<int, int> kSizes[] = {{1, 1},   {1, 9},  {9, 1},  {7, 5},
                                      {13, 17}, {33, 8}, {64, 3}, {71, 45}};

std::string Describe(TImageFormat format, std::pair<int, int> size) {
  return std::string(FormatDescription(format)) + " " + std::to_string(size.first) + "x" +
         std::to_string(size.second);
}

TEST(Rotate, QuarterTurnsMatchThePerPixelFormOnRandomPages) {
  uint32_t seed = 1;
  for (TImageFormat format : kFormats)
    for (auto size : kSizes)
      for (int degrees : {90, 180, 270}) {
        SCOPED_TRACE(Describe(format, size) + " by " + std::to_string(degrees));
        TDibGraphic page, fast, reference;
        test::RandomGraphic(page, size.first, size.second, format, seed++);
        TRotateTransform rotate;
        rotate.RotationAngle = degrees;
        rotate.ApplyOnDest(page, fast);
        test::ReferenceQuarterTurn(page, reference, degrees);
        EXPECT_TRUE(test::SameGraphic(fast, reference));
      }
}

TEST(Rotate, AngleIsRoundedToWholeDegreesWhenClose) {
  TDibGraphic page, expected;
  test::RandomGraphic(page, 11, 6, ifGray256, 7);
  test::ReferenceQuarterTurn(page, expected, 90);
  for (double angle : {90.0, 90.0004, 450.0, -270.0, 89.996}) {
    TDibGraphic result;
    TRotateTransform rotate;
    rotate.RotationAngle = angle;
    rotate.ApplyOnDest(page, result);
    EXPECT_TRUE(test::SameGraphic(result, expected)) << angle;
  }
  TDibGraphic same;
  TRotateTransform none;
  none.RotationAngle = 720;
  none.ApplyOnDest(page, same);
  EXPECT_TRUE(test::SameGraphic(same, page));
}

TEST(Rotate, TwoByOnePageTurnsIntoOneByTwo) {
  TDibGraphic page;
  page.NewImage(2, 1, 300, 300, nullptr, ifTrueColor);
  page.SetPixel(0, 0, 0x112233);
  page.SetPixel(1, 0, 0x445566);
  TRotateTransform rotate;
  rotate.Apply(page);
  ASSERT_EQ(page.Width(), 1);
  ASSERT_EQ(page.Height(), 2);
  EXPECT_EQ(page.Pixel(0, 0), 0x112233u);
  EXPECT_EQ(page.Pixel(0, 1), 0x445566u);
}

TEST(Rotate, QuarterTurnExchangesTheResolutions) {
  TDibGraphic page;
  page.NewImage(200, 100, 200, 100, nullptr, ifBlackWhite);
  TRotateTransform rotate;
  for (double angle : {90.0, 270.0}) {
    TDibGraphic turned;
    rotate.RotationAngle = angle;
    rotate.ApplyOnDest(page, turned);
    EXPECT_EQ(turned.XDpi(), 100);
    EXPECT_EQ(turned.YDpi(), 200);
  }
  TDibGraphic half;
  rotate.RotationAngle = 180;
  rotate.ApplyOnDest(page, half);
  EXPECT_EQ(half.XDpi(), 200);
  EXPECT_EQ(half.YDpi(), 100);
}

TEST(Rotate, FreeAngleGrowsThePageAndFillsTheCorners) {
  TDibGraphic page;
  page.NewImage(40, 20, 300, 300, nullptr, ifGray256);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) page.SetPixelIndex(x, y, 0);
  TRotateTransform rotate;
  rotate.RotationAngle = 45;
  TDibGraphic turned;
  rotate.ApplyOnDest(page, turned);
  // Corners (-20,-10) ... mapped about the centre (20, 10) by 45 degrees.
  EXPECT_EQ(turned.Width(), 43);
  EXPECT_EQ(turned.Height(), 42);
  EXPECT_EQ(turned.ImageFormat(), ifGray256);
  EXPECT_EQ(turned.PixelIndex(0, 0), 255); // white fill
  EXPECT_EQ(turned.PixelIndex(21, 21), 0); // the page itself
  rotate.FillColour = 0x808080;
  rotate.ApplyOnDest(page, turned);
  EXPECT_EQ(turned.PixelIndex(0, 0), 128);
  // On a palette page the fill is the nearest palette entry.
  TDibGraphic colour;
  colour.NewImage(10, 10, 300, 300, nullptr, ifColor16);
  rotate.FillColour = ColourOf(250, 90, 80);
  rotate.RotationAngle = 30;
  rotate.ApplyOnDest(colour, turned);
  EXPECT_EQ(turned.PixelIndex(0, 0), 12); // (255, 85, 85)
}

TEST(Rotate, FreeAngleMapsEveryPixelBackToItsSource) {
  TDibGraphic page, turned;
  test::RandomGraphic(page, 23, 14, ifTrueColor, 3);
  TRotateTransform rotate;
  rotate.RotationAngle = -33.25;
  rotate.ApplyOnDest(page, turned);
  const double theta = -33.25 * 3.14159265358979323846 / 180;
  const double c = std::cos(theta), s = std::sin(theta);
  const int cx = 11, cy = 7, ncx = turned.Width() / 2, ncy = turned.Height() / 2;
  for (int j = 0; j < turned.Height(); ++j)
    for (int i = 0; i < turned.Width(); ++i) {
      int64_t sx = std::llrint((i - ncx) * c + (j - ncy) * s + cx);
      int64_t sy = std::llrint(-(i - ncx) * s + (j - ncy) * c + cy);
      if (sx == 23) sx = 22;
      if (sy == 14) sy = 13;
      const bool inside = sx >= 0 && sx < 23 && sy >= 0 && sy < 14;
      const TColour expected =
          inside ? page.Pixel(static_cast<int>(sx), static_cast<int>(sy)) : 0xFFFFFF;
      ASSERT_EQ(turned.Pixel(i, j), expected) << i << "," << j;
    }
}

TEST(MirrorAndFlip, MatchThePerPixelFormOnRandomPages) {
  uint32_t seed = 100;
  for (TImageFormat format : kFormats)
    for (auto size : kSizes) {
      SCOPED_TRACE(Describe(format, size));
      TDibGraphic page, fast, reference;
      test::RandomGraphic(page, size.first, size.second, format, seed++);
      TFlipHorizontalTransform mirror;
      mirror.ApplyOnDest(page, fast);
      if (size.first > 1) {
        test::ReferenceMirror(page, reference);
        EXPECT_TRUE(test::SameGraphic(fast, reference));
      } else {
        EXPECT_TRUE(test::SameGraphic(fast, page)); // a 1-pixel-wide page is copied
      }
      TFlipVerticalTransform flip;
      flip.ApplyOnDest(page, fast);
      if (size.second > 1) {
        test::ReferenceFlip(page, reference);
        EXPECT_TRUE(test::SameGraphic(fast, reference));
      } else {
        EXPECT_TRUE(test::SameGraphic(fast, page));
      }
    }
}

TEST(MirrorAndFlip, TwiceGivesTheSamePageBack) {
  TDibGraphic page, copy;
  test::RandomGraphic(page, 37, 21, ifBlackWhite, 9);
  copy.Assign(page);
  TFlipHorizontalTransform mirror;
  mirror.Apply(copy);
  mirror.Apply(copy);
  EXPECT_TRUE(test::SameLook(copy, page));
  TFlipVerticalTransform flip;
  flip.Apply(copy);
  EXPECT_FALSE(test::SameLook(copy, page));
  flip.Apply(copy);
  EXPECT_TRUE(test::SameLook(copy, page));
}

TEST(Negative, TrueColourTwiceIsExactAndPaletteColourOnlyChangesThePalette) {
  TDibGraphic page, original;
  test::RandomGraphic(page, 9, 5, ifTrueColor, 11);
  original.Assign(page);
  TNegativeTransform negative;
  negative.Apply(page);
  EXPECT_EQ(page.Pixel(3, 2), ~original.Pixel(3, 2) & 0xFFFFFF);
  negative.Apply(page);
  EXPECT_TRUE(test::SameGraphic(page, original));

  test::RandomGraphic(page, 9, 5, ifColor256, 12);
  original.Assign(page);
  negative.Apply(page);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(page.PixelIndex(x, y), original.PixelIndex(x, y));
  EXPECT_EQ(page.PaletteColour(7), ~original.PaletteColour(7) & 0xFFFFFF);

  // Grey and bilevel pages: every byte of the rows, the palette stays.
  test::RandomGraphic(page, 9, 5, ifGray16, 13);
  original.Assign(page);
  TDibGraphic result;
  negative.ApplyOnDest(page, result);
  EXPECT_TRUE(test::SameGraphic(page, original)); // the source is left alone
  EXPECT_EQ(result.Palette(), original.Palette());
  for (int i = 0; i < result.Stride(); ++i)
    EXPECT_EQ(result.ScanLine(4)[i], static_cast<uint8_t>(~original.ScanLine(4)[i]));
}

TEST(AntiAlias, GreyLevelsFollowTheShareOfBlack) {
  EXPECT_EQ(AntiAliasGrey(20, 20), 0);
  EXPECT_EQ(AntiAliasGrey(20, 19), 0);
  EXPECT_EQ(AntiAliasGrey(20, 18), 25);
  EXPECT_EQ(AntiAliasGrey(20, 2), 229);
  EXPECT_EQ(AntiAliasGrey(20, 1), 255);
  EXPECT_EQ(AntiAliasGrey(20, 0), 255);
  EXPECT_EQ(AntiAliasGrey(0, 0), 255);

  // A destination pixel over 20 source pixels (5 columns, 4 rows: rows are
  // counted to the next pixel's first row inclusive) with 18 of them black.
  TDibGraphic page;
  page.NewImage(10, 6, 300, 300, nullptr, ifBlackWhite);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) page.SetPixelIndex(x, y, 1);
  int black = 0;
  for (int y = 0; y <= 3 && black < 18; ++y)
    for (int x = 0; x < 5 && black < 18; ++x, ++black) page.SetPixelIndex(x, y, 0);
  TAntiAliasTransform reduce;
  reduce.OutWidth = 2;
  reduce.OutHeight = 2;
  TDibGraphic small;
  reduce.ApplyOnDest(page, small);
  EXPECT_EQ(small.ImageFormat(), ifGray256);
  EXPECT_EQ(small.PixelIndex(0, 0), 25);
}

TEST(AntiAlias, AllBlackPageReducesToBlackAndMatchesThePerPixelForm) {
  TDibGraphic page, small;
  page.NewImage(16, 16, 300, 300, nullptr, ifBlackWhite);
  TAntiAliasTransform reduce;
  reduce.OutWidth = 4;
  reduce.OutHeight = 4;
  reduce.ApplyOnDest(page, small);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small.PixelIndex(x, y), 0);

  uint32_t seed = 200;
  for (auto size : kSizes)
    for (auto out : {std::pair{1, 1}, std::pair{3, 2}, std::pair{5, 9}, std::pair{0, 0}}) {
      SCOPED_TRACE(Describe(ifBlackWhite, size) + " to " + std::to_string(out.first));
      TDibGraphic random, fast, reference;
      test::RandomGraphic(random, size.first, size.second, ifBlackWhite, seed++);
      if (seed % 2 == 0) {
        random.SetPaletteColour(0, 0xFFFFFF); // white is bit 0: the grey is complemented
        random.SetPaletteColour(1, 0);
      }
      reduce.OutWidth = out.first;
      reduce.OutHeight = out.second;
      reduce.ApplyOnDest(random, fast);
      test::ReferenceAntiAlias(random, reference, out.first ? out.first : size.first,
                               out.second ? out.second : size.second);
      EXPECT_TRUE(test::SameGraphic(fast, reference));
    }
}

TEST(AntiAlias, OtherPagesAreCopiedOrLeftAlone) {
  TDibGraphic page, copy, original;
  test::RandomGraphic(page, 12, 7, ifGray256, 5);
  original.Assign(page);
  TAntiAliasTransform reduce;
  reduce.OutWidth = 3;
  reduce.OutHeight = 3;
  reduce.ApplyOnDest(page, copy);
  EXPECT_TRUE(test::SameGraphic(copy, page));
  reduce.Apply(page);
  EXPECT_TRUE(test::SameGraphic(page, original));
}

TEST(Crop, MarginsAndRectangleMatchThePerPixelForm) {
  uint32_t seed = 300;
  for (TImageFormat format : kFormats) {
    SCOPED_TRACE(FormatDescription(format));
    TDibGraphic page, cut, reference;
    test::RandomGraphic(page, 29, 17, format, seed++);
    TCropTransform crop;
    crop.CropLeft = 3, crop.CropTop = 2, crop.CropRight = 5, crop.CropBottom = 4;
    crop.ApplyOnDest(page, cut);
    test::ReferenceCrop(page, reference, 3, 2, 21, 11);
    EXPECT_TRUE(test::SameGraphic(cut, reference));
    // A rectangle reaching past the page is cut to what the page has.
    crop.CropByRect = true;
    crop.CropLeft = 9, crop.CropTop = 5, crop.CropRight = 40, crop.CropBottom = 12;
    crop.ApplyOnDest(page, cut);
    test::ReferenceCrop(page, reference, 9, 5, 20, 7);
    EXPECT_TRUE(test::SameGraphic(cut, reference));
  }
}

TEST(Crop, InvalidParametersAreRefused) {
  TDibGraphic page, cut;
  page.NewImage(20, 10, 300, 300, nullptr, ifGray256);
  auto expectInvalid = [&](bool byRect, int left, int top, int right, int bottom) {
    TCropTransform crop;
    crop.CropByRect = byRect;
    crop.CropLeft = left, crop.CropTop = top, crop.CropRight = right, crop.CropBottom = bottom;
    try {
      crop.ApplyOnDest(page, cut);
      ADD_FAILURE() << "accepted " << left << "," << top << "," << right << "," << bottom;
    } catch (const EGraphicError& error) {
      EXPECT_EQ(error.Message(), "Invalid crop parameters");
    }
  };
  expectInvalid(false, 20, 0, 0, 0); // left margin equal to the width
  expectInvalid(false, 0, 6, 0, 4);  // nothing left between top and bottom
  expectInvalid(true, 5, 5, 5, 8);   // empty rectangle
  expectInvalid(true, -2, 0, 5, 5);  // starts left of the page
  expectInvalid(true, 25, 0, 30, 5); // lies right of the page
}

TEST(Resize, FiltersHaveTheirShapes) {
  EXPECT_DOUBLE_EQ(ResizeFilter(0, 0.25), 0.75);
  EXPECT_DOUBLE_EQ(ResizeFilter(0, -0.25), 0.75);
  EXPECT_DOUBLE_EQ(ResizeFilter(1, 0.5), 0.5);
  EXPECT_DOUBLE_EQ(ResizeFilter(2, 0.25), 0.6875);
  EXPECT_DOUBLE_EQ(ResizeFilter(2, 1.0), 0.125);
  EXPECT_DOUBLE_EQ(ResizeFilter(3, 0.0), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(ResizeFilter(3, 1.0), 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(ResizeFilter(4, 0.0), 1.0);
  EXPECT_NEAR(ResizeFilter(4, 1.0), 0.0, 1e-15);
  EXPECT_NEAR(ResizeFilter(4, 0.5), 0.6079271018540267, 1e-12);
  EXPECT_DOUBLE_EQ(ResizeFilter(5, 0.0), 16.0 / 18.0);
  EXPECT_NEAR(ResizeFilter(5, 1.0), 1.0 / 18.0, 1e-15);
  const double support[] = {1.0, 1.0, 1.5, 2.0, 3.0, 2.0};
  for (int f = 0; f < kResizeFilterCount; ++f) {
    EXPECT_EQ(ResizeFilterSupport(f), support[f]);
    EXPECT_EQ(ResizeFilter(f, support[f]), 0.0) << f;
    EXPECT_EQ(ResizeFilter(f, support[f] + 0.1), 0.0) << f;
  }
  // Filters that sum to one over whole-pixel steps keep flat areas flat.
  for (int f : {0, 3, 5}) {
    double sum = 0;
    for (int i = -3; i <= 3; ++i) sum += ResizeFilter(f, i + 0.3);
    EXPECT_NEAR(sum, 1.0, 1e-12) << f;
  }
}

TEST(Resize, SmoothTriangleInterpolatesBetweenPixels) {
  TDibGraphic page, wide;
  page.NewImage(2, 2, 300, 300, nullptr, ifTrueColor);
  for (int y = 0; y < 2; ++y) {
    page.SetPixel(0, y, ColourOf(0, 0, 0));
    page.SetPixel(1, y, ColourOf(200, 100, 50));
  }
  TResizeTransform resize;
  resize.Smooth = true;
  resize.OutWidth = 5;
  resize.OutHeight = 2;
  resize.ApplyOnDest(page, wide);
  // Scale (5 - 1) / (2 - 1): destination columns fall at 0, 1/4, 1/2, 3/4, 1.
  EXPECT_EQ(wide.Pixel(0, 0), ColourOf(0, 0, 0));
  EXPECT_EQ(wide.Pixel(1, 0), ColourOf(50, 25, 12)); // 12.5 rounds to even
  EXPECT_EQ(wide.Pixel(2, 1), ColourOf(100, 50, 25));
  EXPECT_EQ(wide.Pixel(3, 0), ColourOf(150, 75, 38)); // 37.5 rounds to even
  EXPECT_EQ(wide.Pixel(4, 1), ColourOf(200, 100, 50));
}

// With the processor's vector instructions and without them; they are
// allowed again however the test ends.
TEST(Resize, SmoothMatchesThePerPixelFormOnRandomPages) {
  const struct TAllowAgain {
    ~TAllowAgain() { AllowResizeVectorInstructions(true); }
  } allowAgain;
  for (bool vectors : {true, false}) {
    AllowResizeVectorInstructions(vectors);
    uint32_t seed = 1;
    for (TImageFormat format : kFormats)
      for (auto size : kSizes)
        for (auto [width, height] : {std::pair{2, 2}, {5, 9}, {17, 3}, {6, 30}})
          for (int filter = 0; filter < kResizeFilterCount; ++filter) {
            SCOPED_TRACE(Describe(format, size) + " to " + std::to_string(width) + "x" +
                         std::to_string(height) + " filter " + std::to_string(filter));
            TDibGraphic page, fast, reference;
            test::RandomGraphic(page, size.first, size.second, format, seed++);
            TResizeTransform resize;
            resize.Smooth = true;
            resize.FilterIndex = filter;
            resize.OutWidth = width;
            resize.OutHeight = height;
            resize.ApplyOnDest(page, fast);
            test::ReferenceSmoothResize(page, reference, width, height, filter);
            ASSERT_TRUE(test::SameGraphic(fast, reference)) << "vectors " << vectors;
          }
  }
}

TEST(Resize, SmoothKeepsFlatPagesFlatWithEveryFilterAndFormat) {
  for (int filter = 0; filter < kResizeFilterCount; ++filter)
    for (TImageFormat format : {ifGray256, ifColor16, ifTrueColor}) {
      TDibGraphic page, small;
      page.NewImage(37, 23, 300, 300, nullptr, format);
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) page.SetPixel(x, y, ColourOf(170, 85, 0));
      TResizeTransform resize;
      resize.Smooth = true;
      resize.FilterIndex = filter;
      resize.OutWidth = 10;
      resize.OutHeight = 41;
      resize.ApplyOnDest(page, small);
      ASSERT_EQ(small.Width(), 10);
      ASSERT_EQ(small.ImageFormat(), format);
      // Weights of the widened filters sum to one only nearly: a level or two.
      const TColour expected = page.Pixel(0, 0);
      for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 10; ++x) {
          const TColour got = small.Pixel(x, y);
          ASSERT_NEAR(RedOf(got), RedOf(expected), 2) << filter << " " << x << "," << y;
          ASSERT_NEAR(GreenOf(got), GreenOf(expected), 2) << filter << " " << x << "," << y;
          ASSERT_NEAR(BlueOf(got), BlueOf(expected), 2) << filter << " " << x << "," << y;
        }
    }
}

TEST(Resize, SizesThatCannotBeResampledAreRefused) {
  TDibGraphic page, out, empty;
  page.NewImage(10, 10, 300, 300, nullptr, ifGray256);
  TResizeTransform resize;
  resize.Smooth = true;
  resize.OutWidth = 1;
  resize.OutHeight = 5;
  try {
    resize.ApplyOnDest(page, out);
    ADD_FAILURE();
  } catch (const EGraphicError& error) {
    EXPECT_EQ(error.Message(), "Destination graphic too small");
  }
  resize.OutWidth = 5;
  try {
    resize.ApplyOnDest(empty, out);
    ADD_FAILURE();
  } catch (const EGraphicError& error) {
    EXPECT_EQ(error.Message(), "Source graphic too small");
  }
}

TEST(Resize, PlainStretchDropsOrRepeatsPixelsAndAveragesLargeColourPages) {
  TDibGraphic page, out;
  test::RandomGraphic(page, 8, 4, ifColor16, 21);
  TResizeTransform resize;
  resize.OutWidth = 16;
  resize.OutHeight = 2;
  resize.ApplyOnDest(page, out);
  EXPECT_EQ(out.ImageFormat(), ifColor16);
  EXPECT_EQ(out.Palette(), page.Palette());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(out.PixelIndex(x, y), page.PixelIndex(x / 2, y * 2));

  // Forced to true colour: the colours the palette gave.
  resize.ForceFormat = true;
  resize.ForcedFormat = ifTrueColor;
  resize.ApplyOnDest(page, out);
  EXPECT_EQ(out.Pixel(5, 1), page.Pixel(2, 2));

  // A true-colour page of more than 1024 pixels: each pixel the mean of its area.
  TDibGraphic large;
  large.NewImage(64, 32, 300, 300, nullptr, ifTrueColor);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) large.SetPixel(x, y, (x + y) % 2 ? ColourOf(200, 0, 100) : 0);
  resize.ForceFormat = false;
  resize.OutWidth = 32;
  resize.OutHeight = 16;
  resize.ApplyOnDest(large, out);
  EXPECT_EQ(out.Pixel(3, 3), ColourOf(100, 0, 50));
}

TEST(Transforms, ReportProgressOnlyWhenItChanges) {
  TDibGraphic page, out;
  test::RandomGraphic(page, 300, 250, ifBlackWhite, 4);
  std::vector<int> seen;
  TRotateTransform rotate;
  rotate.ProgressHandler = [&](TImageTransform& sender, int percent) {
    EXPECT_EQ(&sender, &rotate);
    seen.push_back(percent);
  };
  rotate.ApplyOnDest(page, out);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  TFlipVerticalTransform silent; // no handler, no calls
  silent.ApplyOnDest(page, out);
}

TEST(Transforms, BaseClassHasNoDestinationForm) {
  TImageTransform transform;
  TDibGraphic page, out;
  page.NewImage(3, 3, 300, 300, nullptr, ifGray256);
  try {
    transform.Apply(page);
    ADD_FAILURE();
  } catch (const EGraphicError& error) {
    EXPECT_EQ(error.Message(), "Method \"ApplyOnDest\" not implemented for TImageTransform class");
  }
  EXPECT_EQ(page.Width(), 3); // the page keeps its content
}

} // namespace
