#include <gtest/gtest.h>

#include <cmath>
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
