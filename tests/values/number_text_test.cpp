#include "quarvel/number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace quarvel {
namespace {

TEST(NumberText, DoublesWithTenSignificantDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {100, "100"},
      {0, "0"},
      {-0.0, "0"},
      {1.5, "1.5"},
      {-0.25, "-0.25"},
      {0.1, "0.1"},
      {1.0 / 3, "0.3333333333"},
      {-2.0 / 3, "-0.6666666667"},
      {123456.789, "123456.789"},
      {0.05, "5.e-002"},
      {12345678901.0, "1.23456789e+010"},
      {1e10, "1.e+010"},
      {9999999999.0, "9999999999"},
      {9999999999.5, "1.e+010"},  // rounding moves the exponent
      {0.099999999999, "0.1"},
      {0.0999999999, "9.99999999e-002"},
      {1e-5, "1.e-005"},
      {-1.5e300, "-1.5e+300"},
      {DBL_MAX, "1.797693135e+308"},
      {5e-324, "4.940656458e-324"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::nan(""), "nan"},
      {-std::nan(""), "nan"},
  };
  for (const auto& c : cases) {
    char out[kNumberTextBuffer];
    const size_t n = format_double(c.value, out);
    EXPECT_STREQ(out, c.text) << c.value;
    EXPECT_EQ(n, std::strlen(c.text));
    EXPECT_STREQ(number_to_text(c.value).c_str(), c.text);
  }
  EXPECT_STREQ(number_to_text(-42).c_str(), "-42");
  EXPECT_STREQ(number_to_text(0).c_str(), "0");
  EXPECT_STREQ(number_to_text(2.5f).c_str(), "2.5");
  EXPECT_STREQ(number_to_text(1e20f).c_str(), "1.00000002e+020");  // widened exactly
}

TEST(NumberText, ParsesLongestNumericPrefix) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"  12.5kg", 12.5}, {"abc", 0},        {"1e3", 1000},   {"1E+3x", 1000},
      {"1d3", 1000},      {"1D-2", 0.01},    {"+.5e+", 0.5},  {"5.", 5},
      {"5.e2", 500},      {".", 0},          {"-", 0},        {"+-1", 0},
      {"\t\n\v\f\r 7", 7}, {"1e", 1},        {"2e-", 2},      {"3dx", 3},
      {"0x10", 0},        {"inf", 0},        {"nan", 0},      {"- 1", 0},
      {"1 2", 1},         {"-.25", -0.25},   {"007", 7},      {"1e0400", HUGE_VAL},
      {"-1e400", -HUGE_VAL}, {"1e-400", 0},  {"1e99999999999999999999", HUGE_VAL},
      {"0e99999999999", 0}, {"0.1", 0.1},    {"9007199254740993", 9007199254740992.0},
      {"4.9e-324", 5e-324}, {"1.7976931348623159e308", HUGE_VAL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_to_number(c.text), c.value) << c.text;
    EXPECT_EQ(text_to_number(DynString(c.text)), c.value) << c.text;
  }
  EXPECT_TRUE(std::signbit(text_to_number("-0")));
  EXPECT_TRUE(std::signbit(text_to_number("-1e-999")));
  EXPECT_EQ(text_to_number(static_cast<const char*>(nullptr)), 0.0);
  EXPECT_EQ(text_to_number(DynString()), 0.0);
}

TEST(NumberText, ParserRespectsLengthAndNul) {
  EXPECT_EQ(text_to_number("123", 2), 12.0);
  EXPECT_EQ(text_to_number("1e5", 2), 1.0);
  EXPECT_EQ(text_to_number("1d5", 3), 100000.0);
  EXPECT_EQ(text_to_number("1\0" "5", 3), 1.0);
  EXPECT_EQ(text_to_number("  ", 2), 0.0);
  EXPECT_EQ(text_to_number("9", 0), 0.0);
  EXPECT_EQ(text_to_number(nullptr, 5), 0.0);
}

TEST(NumberText, ParsesThousandsOfDigits) {
  EXPECT_EQ(text_to_number(("1" + std::string(5000, '0')).c_str()), HUGE_VAL);
  EXPECT_EQ(text_to_number(("1" + std::string(5000, '0') + "e-5000").c_str()), 1.0);
  EXPECT_EQ(text_to_number(("0." + std::string(5000, '0') + "1d5011").c_str()), 1e10);
  EXPECT_EQ(text_to_number(("-0." + std::string(5000, '0') + "1").c_str()), -0.0);
  // Just above the halfway point between two doubles, decided by the last digit.
  const std::string above = "9007199254740993" + std::string(3000, '0') + "1e-3001";
  EXPECT_EQ(text_to_number(above.c_str()), 9007199254740994.0);
}

TEST(NumberText, RoundTripKeepsTenDigits) {
  const double values[] = {1.0 / 7, -123.456e-7, 6.02214076e23, 2.718281828459045, 1e-300,
                           4.4e-320, 987654321.123, -0.5, 1e15};
  for (double v : values) {
    const double back = text_to_number(number_to_text(v));
    EXPECT_LE(std::fabs(back - v), std::fabs(v) * 5e-10 + 5e-324) << v;
    EXPECT_STREQ(number_to_text(back).c_str(), number_to_text(v).c_str());
  }
}

TEST(NumberText, FormatNumber) {
  EXPECT_STREQ(format_number(8, 2, 3.14159).c_str(), "    3.14");
  EXPECT_STREQ(format_number(0, 3, 2).c_str(), "2.000");
  EXPECT_STREQ(format_number(2, 0, 5).c_str(), " 5");
  EXPECT_STREQ(format_number(2, 0, 30).c_str(), "30");
  EXPECT_STREQ(format_number(8.9, 2.9, -1).c_str(), "   -1.00");
  EXPECT_STREQ(format_number(0, 0, 2.5).c_str(), "2");  // ties to even, as printf
  EXPECT_STREQ(format_number(0, 1, 0.05).c_str(), "0.1");
  EXPECT_STREQ(format_number(-6, 1, 1.25).c_str(), "1.2   ");
  EXPECT_STREQ(format_number(5, -3, 7.7).c_str(), "    8");
  EXPECT_STREQ(format_number(6, 2, std::numeric_limits<double>::infinity()).c_str(), "   inf");
  EXPECT_STREQ(format_number(std::nan(""), std::nan(""), 1.5).c_str(), "2");

  // Clamped: width 200, decimals 100; the largest double still fits.
  EXPECT_EQ(format_number(1e9, 0, 1).length_of(), 200u);
  const DynString wide = format_number(0, 1e9, -DBL_MAX);
  EXPECT_EQ(wide.length_of(), 1u + 309u + 1u + 100u);
  EXPECT_EQ(text_to_number(wide), -DBL_MAX);
}

TEST(NumberText, CharacterCodesAndHex) {
  EXPECT_STREQ(char_text(65).c_str(), "A");
  EXPECT_STREQ(char_text(321).c_str(), "A");
  EXPECT_STREQ(char_text(65.9).c_str(), "A");
  EXPECT_STREQ(char_text(-191).c_str(), "A");
  EXPECT_STREQ(char_text(233).c_str(), "\xE9");
  EXPECT_STREQ(char_text(65536.0 * 1000 + 66).c_str(), "B");
  EXPECT_EQ(char_text(0).length_of(), 0u);
  EXPECT_EQ(char_text(256).length_of(), 0u);
  EXPECT_EQ(char_text(std::nan("")).length_of(), 0u);
  EXPECT_EQ(char_text(1e300).length_of(), 0u);

  EXPECT_EQ(char_code(DynString("\xE9t\xE9")), -23.0);
  EXPECT_EQ(char_code(DynString("A")), 65.0);
  EXPECT_EQ(char_code(DynString()), 0.0);

  const uint8_t bytes[] = {0x00, 0xAB, 0x7F, 0xFF, 0x10};
  EXPECT_STREQ(bytes_to_hex(bytes, 5).c_str(), "00AB7FFF10");
  EXPECT_EQ(bytes_to_hex(bytes, 0).length_of(), 0u);
}

}  // namespace
}  // namespace quarvel
