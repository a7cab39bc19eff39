#include "runtime/str_convert.h"

#include <gtest/gtest.h>

#include "runtime/exception.h"

namespace kvell {
namespace {

TEST(StrToInt, accepts_decimal_with_leading_blanks_and_one_sign) {
  EXPECT_EQ(TryStrToInt("12345"), 12345);
  EXPECT_EQ(TryStrToInt("  123"), 123);
  EXPECT_EQ(TryStrToInt("-42"), -42);
  EXPECT_EQ(TryStrToInt("+7"), 7);
  EXPECT_EQ(TryStrToInt("00042"), 42);
  EXPECT_EQ(TryStrToInt(" -0"), 0);
}

TEST(StrToInt, accepts_hexadecimal_after_dollar_x_or_0x_in_either_case) {
  EXPECT_EQ(TryStrToInt("$FF"), 255);
  EXPECT_EQ(TryStrToInt("xff"), 255);
  EXPECT_EQ(TryStrToInt("X1a"), 26);
  EXPECT_EQ(TryStrToInt("0x10"), 16);
  EXPECT_EQ(TryStrToInt("0X10"), 16);
  EXPECT_EQ(TryStrToInt("-$10"), -16);
}

TEST(StrToInt, rejects_empty_trailing_blanks_inner_blanks_and_other_characters) {
  for (const char* text : {"", " ", "12 ", "12 34", "1a", "--1", "+-1", "$", "0x", "x", "ABCDE", "1.5", "\t1"})
    EXPECT_FALSE(TryStrToInt(text).has_value()) << "'" << text << "'";
}

TEST(StrToInt, keeps_to_the_32_bit_signed_range) {
  EXPECT_EQ(TryStrToInt("2147483647"), 2147483647);
  EXPECT_EQ(TryStrToInt("-2147483648"), INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648").has_value());
  EXPECT_FALSE(TryStrToInt("-2147483649").has_value());
  EXPECT_EQ(TryStrToInt("$7FFFFFFF"), 2147483647);
  EXPECT_FALSE(TryStrToInt("$100000000").has_value());
  EXPECT_FALSE(TryStrToInt("99999999999999999999999").has_value());
}

TEST(StrToInt, raises_a_conversion_error_naming_the_text) {
  try {
    StrToInt("12x");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'12x' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("nope", -1), -1);
}

}  // namespace
}  // namespace kvell
