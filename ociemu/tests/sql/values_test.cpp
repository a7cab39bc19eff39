// Value conversions the call interface shares: rowid text, NUMBER text, DATE
// format models and declared types.
#include <gtest/gtest.h>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {
namespace {

TEST(RowidText, is_eighteen_base64_digits_that_decode_to_the_same_table_and_row) {
  for (int64_t row : {int64_t{1}, int64_t{65535}, int64_t{65536}, int64_t{123456789}, (int64_t{1} << 47) + 5}) {
    std::string text = encode_rowid(73182, row);
    ASSERT_EQ(text.size(), 18u);
    int64_t object = 0, decoded = 0;
    ASSERT_TRUE(decode_rowid(text, object, decoded)) << text;
    EXPECT_EQ(object, 73182);
    EXPECT_EQ(decoded, row) << text;
  }
}

TEST(RowidText, uses_oracles_digit_order_for_the_object_number) {
  // Object 63388 is AAAPec in Oracle's own example rowid.
  EXPECT_EQ(encode_rowid(63388, 0).substr(0, 6), "AAAPec");
}

TEST(RowidText, rejects_malformed_text) {
  int64_t object = 0, row = 0;
  EXPECT_FALSE(decode_rowid("AAAPecAAFAAAABSAA", object, row));   // 17 characters
  EXPECT_FALSE(decode_rowid("AAAPecAAFAAAABSAA*", object, row));  // not a base-64 digit
  EXPECT_FALSE(decode_rowid("AAAPecAAAAAAABSAAA", object, row));  // file 0 does not exist
}

TEST(NumberText, follows_oracles_text_form) {
  EXPECT_EQ(format_number(0.5), ".5");
  EXPECT_EQ(format_number(-0.5), "-.5");
  EXPECT_EQ(format_number(1.25), "1.25");
  EXPECT_EQ(format_number(0.1 + 0.2), ".3");
  EXPECT_EQ(format_number(100.0), "100");
  EXPECT_EQ(format_number(int64_t{-42}), "-42");
  EXPECT_EQ(format_number(1e-130).substr(0, 1), "1");
  EXPECT_NE(format_number(1e-130).find("E-130"), std::string::npos);
  EXPECT_NE(format_number(1.5e125).find("E+125"), std::string::npos);
}

TEST(NumberRounding, rounds_half_away_from_zero_on_the_decimal_a_double_shows) {
  EXPECT_EQ(0.25, round_decimal(0.25, 2, false));      // no more decimals than kept
  EXPECT_EQ(-1234.5, round_decimal(-1234.5, 3, true));
  EXPECT_EQ(1.01, round_decimal(1.005, 2, false));      // 1.005 is 1.00499999... as a double
  EXPECT_EQ(2.68, round_decimal(2.675, 2, false));
  EXPECT_EQ(13.0, round_decimal(12.5, 0, false));       // not to even
  EXPECT_EQ(-13.0, round_decimal(-12.5, 0, false));
  EXPECT_EQ(-1.23, round_decimal(-1.239, 2, true));
  EXPECT_EQ(0.3, round_decimal(0.1 * 3, 2, false));
  EXPECT_EQ(1200.0, round_decimal(1249.9, -2, false));
}

TEST(DateFormat, writes_the_common_elements) {
  const std::string stored = "1981-02-20 15:04:05";
  EXPECT_EQ(format_datetime(stored, "DD-MON-RR"), "20-FEB-81");
  EXPECT_EQ(format_datetime(stored, "YYYY-MM-DD HH24:MI:SS"), "1981-02-20 15:04:05");
  EXPECT_EQ(format_datetime(stored, "HH:MI AM"), "03:04 PM");
  EXPECT_EQ(format_datetime(stored, "Day, DD Month YYYY"), "Friday   , 20 February  1981");
  EXPECT_EQ(format_datetime(stored, "FMDay, DD Month YYYY"), "Friday, 20 February 1981");
  EXPECT_EQ(format_datetime(stored, "mon dy \"at\" hh24"), "feb fri at 15");
  EXPECT_EQ(format_datetime("2024-01-01 00:00:00.123456789", "SS.FF3"), "00.123");
}

TEST(DateFormat, reads_values_back_with_oracles_leniency) {
  EXPECT_EQ(parse_datetime("20-FEB-81", "DD-MON-RR"), "1981-02-20 00:00:00");
  EXPECT_EQ(parse_datetime("20-feb-2081", "DD-MON-YYYY"), "2081-02-20 00:00:00");
  EXPECT_EQ(parse_datetime("20/02/1981 3:04:05 pm", "DD-MM-YYYY HH:MI:SS AM"), "1981-02-20 15:04:05");
  EXPECT_EQ(parse_datetime("1-1-2000", "DD-MM-YYYY"), "2000-01-01 00:00:00");
  EXPECT_EQ(parse_datetime("2024-02-29", "YYYY-MM-DD"), "2024-02-29 00:00:00");
}

TEST(DateFormat, raises_oracles_errors_for_bad_values) {
  auto code = [](const char* text, const char* model) {
    try {
      parse_datetime(text, model);
    } catch (const OracleException& e) {
      return e.error.code;
    }
    return 0;
  };
  EXPECT_EQ(code("31-FEB-2001", "DD-MON-YYYY"), 1847);
  EXPECT_EQ(code("01-XYZ-2001", "DD-MON-YYYY"), 1843);
  EXPECT_EQ(code("AB-01-2001", "DD-MM-YYYY"), 1858);
  EXPECT_EQ(code("01-01-2001 junk", "DD-MM-YYYY"), 1830);
  EXPECT_EQ(code("01-01-2001 25", "DD-MM-YYYY HH24"), 1850);
  EXPECT_EQ(code("01-01-2001", "DD-MM-QQQQ"), 1821);
}

TEST(DeclaredType, describes_oracle_declarations) {
  auto number = parse_declared_type("NUMBER(7,2)");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type_code, 2);
  EXPECT_EQ(number->data_size, 22);
  EXPECT_EQ(number->precision, 7);
  EXPECT_EQ(number->scale, 2);
  EXPECT_EQ(parse_declared_type("NUMBER")->scale, -127);
  EXPECT_EQ(parse_declared_type("NUMBER(4)")->scale, 0);
  auto text = parse_declared_type("VARCHAR2(10)");
  EXPECT_EQ(text->type_code, 1);
  EXPECT_EQ(text->data_size, 10);
  EXPECT_EQ(text->char_size, 10);
  EXPECT_EQ(parse_declared_type("VARCHAR2(10 CHAR)")->data_size, 40);
  EXPECT_EQ(parse_declared_type("NVARCHAR2(10)")->charset_form, 2);
  EXPECT_EQ(parse_declared_type("CHAR(3)")->type_code, 96);
  EXPECT_EQ(parse_declared_type("DATE")->data_size, 7);
  EXPECT_EQ(parse_declared_type("TIMESTAMP(6)")->type_code, 180);
  EXPECT_EQ(parse_declared_type("TIMESTAMP(3) WITH TIME ZONE")->type_code, 181);
  EXPECT_EQ(parse_declared_type("TIMESTAMP(6) WITH LOCAL TIME ZONE")->type_code, 231);
  EXPECT_EQ(parse_declared_type("RAW(16)")->data_size, 16);
  EXPECT_EQ(parse_declared_type("LONG VARCHAR")->type_code, 8);
  EXPECT_EQ(parse_declared_type("LONG RAW")->type_code, 24);
  EXPECT_EQ(parse_declared_type("CLOB")->type_code, 112);
  EXPECT_EQ(parse_declared_type("NCLOB")->charset_form, 2);
  EXPECT_EQ(parse_declared_type("BLOB")->type_code, 113);
  EXPECT_EQ(parse_declared_type("BFILE")->type_code, 114);
  EXPECT_FALSE(parse_declared_type("TEXT"));
  EXPECT_FALSE(parse_declared_type(nullptr));
}

}  // namespace
}  // namespace ociemu::sql
