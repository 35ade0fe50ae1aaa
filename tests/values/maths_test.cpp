#include "quarvel/maths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quarvel {
namespace {

TEST(Maths, DegreesRootsAndPowers) {
  EXPECT_EQ(sin_degrees(90), 1);
  EXPECT_EQ(cos_degrees(180), -1);
  EXPECT_NEAR(tan_degrees(45), 1, 1e-15);
  EXPECT_EQ(atan2_degrees(1, 0), 90);
  EXPECT_EQ(atan2_degrees(-1, -1), -135);
  EXPECT_NEAR(asin_degrees(0.5), 30, 1e-12);
  EXPECT_NEAR(acos_degrees(0.5), 60, 1e-12);
  // Outside -1 .. 1 the arc functions clamp instead of giving NaN.
  EXPECT_EQ(asin_degrees(2), 90);
  EXPECT_EQ(asin_degrees(-7), -90);
  EXPECT_EQ(acos_degrees(2), 0);
  EXPECT_EQ(acos_degrees(-1.5), 180);
  EXPECT_TRUE(std::isnan(square_root(-1)));
  EXPECT_EQ(power(2, 10), 1024);
  EXPECT_EQ(absolute(-2.5), 2.5);
}

TEST(Maths, ModuloTruncatesToWholeNumbersAndKeepsTheSignOfA) {
  EXPECT_EQ(modulo(-7, 3), -1);
  EXPECT_EQ(modulo(7, -3), 1);
  EXPECT_EQ(modulo(7.9, 2.5), 1);
  EXPECT_EQ(modulo(12, 4), 0);
  // No division by zero: b truncating to 0 gives 0.
  EXPECT_EQ(modulo(5, 0), 0);
  EXPECT_EQ(modulo(5, 0.5), 0);
  EXPECT_EQ(modulo(5, -0.9), 0);
  EXPECT_EQ(modulo(5, std::numeric_limits<double>::quiet_NaN()), 0);
  // The one quotient that overflows 32 bits.
  EXPECT_EQ(modulo(-2147483648.0, -1), 0);
  EXPECT_EQ(modulo(1e20, 7), 2147483647 % 7);
}

TEST(Maths, NumberTextLength) {
  EXPECT_EQ(number_text_length(100), 3);
  EXPECT_EQ(number_text_length(1.5), 3);
  EXPECT_EQ(number_text_length(-0.25), 5);
  EXPECT_EQ(number_text_length(0), 1);
  EXPECT_EQ(number_text_length(1e10), 7);  // "1.e+010"
}

}  // namespace
}  // namespace quarvel
