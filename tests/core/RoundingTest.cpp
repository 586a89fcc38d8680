#include "core/Rounding.h"
#include "core/Exception.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(Rounding, RoundSendsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(2.4999999), 2);
  EXPECT_EQ(Round(2.5000001), 3);
  EXPECT_EQ(Round(-2.5000001), -3);
  // The page-size figures of a batch saved as PDF: 595.2 and 841.92 points.
  EXPECT_EQ(Round(2480.0 / 300 * 72), 595);
  EXPECT_EQ(Round(3508.0 / 300 * 72), 842);
  EXPECT_EQ(Round(300 * 39.37), 11811);
  EXPECT_EQ(Round(200 * 39.37), 7874);
}

TEST(Rounding, TruncDropsTheFractionTowardZero) {
  EXPECT_EQ(Trunc(2.9), 2);
  EXPECT_EQ(Trunc(-2.9), -2);
  EXPECT_EQ(Trunc(127.5), 127);
}

TEST(Rounding, DivTruncatesTowardZero) {
  EXPECT_EQ(Div(7, 2), 3);
  EXPECT_EQ(Div(-7, 2), -3);
  EXPECT_EQ(Div(7, -2), -3);
  EXPECT_THROW(Div(1, 0), EMathError);
  EXPECT_THROW(Div(INT64_MIN, -1), EMathError);
}

TEST(Rounding, ValuesWithoutAnIntegerRaise) {
  EXPECT_THROW(Round(std::numeric_limits<double>::quiet_NaN()), EMathError);
  EXPECT_THROW(Round(std::numeric_limits<double>::infinity()), EMathError);
  EXPECT_THROW(Trunc(1e300), EMathError);
  // A page size computed from a resolution of 0.
  EXPECT_THROW(Round(2480.0 / 0.0 * 72), EMathError);
  try {
    Round(std::nan(""));
  } catch (const EMathError& error) {
    EXPECT_EQ(error.Message(), "Invalid floating point operation");
  }
}
