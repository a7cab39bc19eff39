// The exact decimal behind NUMBER: parsing, Oracle's text, rounding, sums and order.
#include <gtest/gtest.h>

#include "ociemu/sql/exact_number.h"

namespace ociemu::sql {
namespace {

std::string shown(std::string_view text) {
  auto value = Decimal::parse(text);
  return value ? value->text() : "<not a number>";
}

TEST(ExactNumber, keeps_thirty_eight_digits_and_shows_them_as_oracle_does) {
  EXPECT_EQ("12345678901234567890123", shown("12345678901234567890123"));
  EXPECT_EQ("-99999999999999999999999999999999999999", shown("-99999999999999999999999999999999999999"));
  EXPECT_EQ(".000000000000000000012345678901234567891", shown("0.000000000000000000012345678901234567891"));
  EXPECT_EQ("1.5", shown(" +1.50 "));
  EXPECT_EQ("-.25", shown("-0.25"));
  EXPECT_EQ("1500", shown("1.5e3"));
  EXPECT_EQ("0", shown("-0.000"));
  EXPECT_EQ("1.2E+45", shown("12e44"));
  // The 39th digit rounds the 38th, half away from zero.
  EXPECT_EQ("123456789012345678901234567890123456790", shown("123456789012345678901234567890123456785"));
  EXPECT_EQ(".12345678901234567890123456789012345679", shown("0.123456789012345678901234567890123456785"));
  // Beyond 128 bits at 39 digits: rounded, never wrapped.
  EXPECT_EQ("340282366920938463463374607431768211460", shown("340282366920938463463374607431768211455"));
  EXPECT_EQ("1000000000000000000000000000000000000000", shown("999999999999999999999999999999999999999"));
  EXPECT_EQ(shown("-1e40"), shown("-9999999999999999999999999999999999999999.9"));
  EXPECT_EQ("<not a number>", shown("12a"));
  EXPECT_EQ("<not a number>", shown("."));
  EXPECT_EQ("<not a number>", shown("1e200"));
}

TEST(ExactNumber, sums_round_and_compare_exactly) {
  auto big = *Decimal::parse("9223372036854775807");
  EXPECT_EQ("18446744073709551614", big.plus(big).text());
  EXPECT_EQ("-1", Decimal::of(9).plus(*Decimal::parse("-10")).text());
  EXPECT_EQ("100000000000000000000.00000000000000001",
            Decimal::parse("1e20")->plus(*Decimal::parse("1e-17")).text());
  EXPECT_EQ("2.68", Decimal::parse("2.675")->rounded(2).text());
  EXPECT_EQ("-1300", Decimal::parse("-1250")->rounded(-2).text());
  EXPECT_EQ("-1200", Decimal::parse("-1249.9")->rounded(-2).text());
  EXPECT_LT(Decimal::parse("-12345678901234567890124")->compare(*Decimal::parse("-12345678901234567890123")), 0);
  EXPECT_GT(Decimal::parse(".1")->compare(*Decimal::parse("0.09999999999999999999")), 0);
  EXPECT_EQ(0, Decimal::parse("1.0")->compare(Decimal::of(1)));
  EXPECT_EQ(std::optional<int64_t>(INT64_MIN), Decimal::of(INT64_MIN).to_int64());
  EXPECT_EQ(std::nullopt, Decimal::parse("9223372036854775808")->to_int64());
}

TEST(ExactNumber, literals_stay_plain_unless_a_real_would_lose_digits) {
  EXPECT_EQ("42", number_literal("42"));
  EXPECT_EQ("0.1", number_literal("0.1"));
  EXPECT_EQ("X'313233343536373839303132333435363738393000'", number_literal("12345678901234567890"));
  const std::string blob = exact_number_blob(*Decimal::parse("-1.5E+40"));
  EXPECT_TRUE(is_exact_number(blob.data(), blob.size()));
  EXPECT_EQ("-1.5E+40", exact_number_text(blob.data(), blob.size()));
  EXPECT_FALSE(is_exact_number("\x01\x02", 2));
}

// Long texts are checked a block at a time (eight bytes, or sixteen with SSE2), the last block
// overlapping: one foreign byte anywhere, even one a bit away from a digit, makes the blob
// something else. Lengths around both block sizes, and the sign and point at their edges.
TEST(ExactNumber, a_blob_is_an_exact_number_only_when_every_byte_before_its_mark_belongs_to_a_number) {
  for (const std::string text : {"7", "-1.5E+40", "123456789", "123456789012345", "1234567890123456", "12345678901234567",
                                 "-1234567.8901234E-12", "-123456789012345.6", "-123456789012345.6789012345678901",
                                 "1234567890123456789012345678901", "12345678901234567890123456789012",
                                 "-1234567890123456789012.345678901", "-9876543210987654321.098765432109876543"}) {
    const std::string blob = text + kExactNumberMark;
    EXPECT_TRUE(is_exact_number(blob.data(), blob.size())) << text;
    for (size_t at = 0; at < text.size(); ++at) {
      for (const char foreign : {'/', ':', 'x', '\xB0', '\0'}) {
        std::string changed = blob;
        changed[at] = foreign;
        EXPECT_FALSE(is_exact_number(changed.data(), changed.size())) << text << " with byte " << at << " changed";
      }
    }
  }
}

}  // namespace
}  // namespace ociemu::sql
