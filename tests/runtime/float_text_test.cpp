#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <limits>

#include "runtime/exception.h"
#include "runtime/float_math.h"
#include "runtime/float_text.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

class FloatText : public ::testing::Test {
 protected:
  void SetUp() override { ResetFormatSettings(); }
  void TearDown() override { ResetFormatSettings(); }
};

TEST_F(FloatText, general_format_keeps_15_significant_digits_without_trailing_zeros) {
  EXPECT_EQ(FloatToStr(0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(1), "1");
  EXPECT_EQ(FloatToStr(-1.5), "-1.5");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(FloatToStr(1500), "1500");
  EXPECT_EQ(FloatToStr(123456.789), "123456.789");
}

TEST_F(FloatText, switches_to_exponent_form_outside_fixed_range) {
  EXPECT_EQ(FloatToStr(999999999999999.0), "999999999999999");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(-1.5e20), "-1.5E20");
  EXPECT_EQ(FloatToStr(123456789012345678.0), "1.23456789012346E17");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(1.25e-300), "1.25E-300");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

// The text from printf's rounding to 15 digits, in FloatToStr's layout: the
// shortest digits FloatToStr starts from must never round differently.
std::string printf_general_text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  std::string digits;
  const char* p = buffer;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string text;
  if (exponent <= -5 || exponent >= 15) {
    text = digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "") + "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    text = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const size_t integer = static_cast<size_t>(exponent) + 1;
    digits.resize(std::max(digits.size(), integer), '0');
    text = digits.size() > integer ? digits.substr(0, integer) + "." + digits.substr(integer) : digits;
  }
  return value < 0 ? "-" + text : text;
}

TEST_F(FloatText, rounds_as_printf_does_at_15_digits_across_the_range) {
  std::mt19937_64 random(29);
  std::uniform_int_distribution<int> exponents(-320, 308);
  std::uniform_real_distribution<double> mantissas(-10, 10);
  for (int i = 0; i < 200000; ++i) {
    double value = mantissas(random) * std::pow(10.0, exponents(random));
    if (i % 4 == 0) value = std::round(value * 1e4) / 1e4;  // short values, as money and measures are
    if (value == 0 || !std::isfinite(value)) continue;
    ASSERT_EQ(FloatToStr(value), printf_general_text(value)) << std::hexfloat << value;
  }
  for (double value : {0.1, 1e15 - 1, 9.999999999999995e14, 5e-324, 1.7976931348623157e308, 123456789012345.6})
    EXPECT_EQ(FloatToStr(value), printf_general_text(value)) << value;
}

TEST_F(FloatText, uses_the_locale_decimal_separator_both_ways) {
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(2.5), "2,5");
  EXPECT_EQ(FloatToStr(2.5e-7), "2,5E-7");
  EXPECT_EQ(StrToFloat("2,5"), 2.5);
  EXPECT_FALSE(TryStrToFloat("2.5"));
}

TEST_F(FloatText, reads_signs_exponents_and_blanks) {
  EXPECT_EQ(StrToFloat(" 1.5 "), 1.5);
  EXPECT_EQ(StrToFloat("-2e-2"), -0.02);
  EXPECT_EQ(StrToFloat("+3"), 3);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  EXPECT_EQ(StrToFloat("5."), 5);
  EXPECT_EQ(StrToFloat("1E+3"), 1000);
  EXPECT_EQ(StrToFloat("1E-400"), 0);
  for (const char* bad : {"", " ", ".", "e5", "1E", "1E+", "1.2.3", "1 2", "--1", "abc", "1E400", "0x10"})
    EXPECT_FALSE(TryStrToFloat(bad)) << bad;
  try {
    StrToFloat("1,5");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'1,5' is not a valid floating point value");
  }
}

TEST(FloatMath, raises_instead_of_yielding_nan_infinity_or_undefined_results) {
  EXPECT_THROW(FloatDivide(1, 0), EZeroDivide);
  EXPECT_THROW(FloatDivide(0, 0), EInvalidOp);
  EXPECT_EQ(FloatDivide(1, 4), 0.25);
  EXPECT_THROW(FloatLn(0), EZeroDivide);
  EXPECT_THROW(FloatLn(-1), EInvalidOp);
  EXPECT_THROW(FloatSqrt(-1), EInvalidOp);
  EXPECT_THROW(CheckFloat(std::nan("")), EInvalidOp);
  EXPECT_EQ(Trunc(-2.9), -2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(-3.5), -4);
  EXPECT_THROW(Trunc(1e19), EInvalidOp);
  EXPECT_THROW(Round(std::nan("")), EInvalidOp);
  EXPECT_EQ(IntDiv(INT32_MIN, -1), INT32_MIN);
  EXPECT_EQ(IntMod(INT32_MIN, -1), 0);
  EXPECT_EQ(IntDiv(-7, 2), -3);
  EXPECT_EQ(IntMod(-7, 2), -1);
  EXPECT_THROW(IntDiv(1, 0), EDivByZero);
  try {
    IntMod(1, 0);
  } catch (const EMathError& e) {
    EXPECT_EQ(e.Message, "Division by zero");
  }
}

}  // namespace
}  // namespace kvell
