// NUMBER keeps 38 significant digits through the C entries: stored from literals,
// text binds and OCINumber binds, found by equality, summed past 64 bits, and
// fetched as text and as OCINumber without losing a digit.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class ExactNumberTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE n (id NUMBER, v NUMBER, w NUMBER(38))");
  }

  void insert_text(int id, const std::string& value) {
    OCIStmt* stmt = prepare("INSERT INTO n (id, v, w) VALUES (:id, :v, :v)");
    OCIBind* binds[2] = {};
    ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":id"), 3, &id, sizeof id, SQLT_INT, nullptr,
                                         nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":v"), 2, const_cast<char*>(value.c_str()),
                                         static_cast<sb4>(value.size() + 1), SQLT_STR, nullptr, nullptr, nullptr, 0,
                                         nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }

  // The first row's first column fetched as an OCINumber (SQLT_VNU: length byte, then the bytes).
  std::vector<int> fetched_number(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    OCINumber number{};
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &number, sizeof number, SQLT_VNU, nullptr, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return std::vector<int>(number.OCINumberPart, number.OCINumberPart + 1 + number.OCINumberPart[0]);
  }
};

TEST_F(ExactNumberTest, literals_and_text_binds_keep_every_digit) {
  must_run("INSERT INTO n VALUES (1, 12345678901234567890123, 12345678901234567890123)");
  insert_text(2, "-98765432109876543210.123456789");
  insert_text(3, "99999999999999999999999999999999999999");
  insert_text(4, "0.1");
  EXPECT_EQ((std::vector<std::string>{"12345678901234567890123", "-98765432109876543210.123456789",
                                      "99999999999999999999999999999999999999", ".1"}),
            column_texts("SELECT v FROM n ORDER BY id"));
  // NUMBER(38) rounds to its scale and keeps the integer digits.
  EXPECT_EQ("-98765432109876543210", single_text("SELECT w FROM n WHERE id = 2"));
  EXPECT_EQ("12345678901234567890123", single_text("SELECT 12345678901234567890123 FROM dual"));
}

TEST_F(ExactNumberTest, thirty_nine_digits_round_to_thirty_eight_and_to_number_keeps_every_digit) {
  // Past 2^128 at the 39th digit: before, the value wrapped around.
  must_run("INSERT INTO n (id, v) VALUES (1, '999999999999999999999999999999999999999')");
  must_run("INSERT INTO n (id, v) VALUES (2, '340282366920938463463374607431768211455')");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO n (id, w) VALUES (3, '999999999999999999999999999999999999999')"));
  EXPECT_EQ(1438, last_code()) << "NUMBER(38) holds no 39-digit integer";
  EXPECT_EQ((std::vector<std::string>{"1000000000000000000000000000000000000000", "340282366920938463463374607431768211460"}),
            column_texts("SELECT v FROM n ORDER BY id"));
  EXPECT_EQ("340282366920938463463374607431768211460",
            single_text("SELECT TO_NUMBER('340282366920938463463374607431768211455') FROM dual"));
  EXPECT_EQ(".17249138680355831", single_text("SELECT TO_NUMBER(0.17249138680355831) FROM dual"));
  EXPECT_EQ("-17249138680355831", single_text("SELECT TO_NUMBER(' -17249138680355831 ') FROM dual"));
  EXPECT_EQ(OCI_ERROR, run("SELECT TO_NUMBER('12a') FROM dual"));
  EXPECT_EQ(1722, last_code());
}

TEST_F(ExactNumberTest, magnitudes_beyond_number_fail_as_numeric_overflow_instead_of_wrapping) {
  for (const char* value : {"1e126", "-1e126", "1.5e200", "1.0e126.0"}) {  // the last overflows before its syntax fails
    OCIStmt* stmt = prepare(std::string("SELECT ") + value + " FROM dual");
    OCINumber number{};
    OCIDefine* define = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &number, sizeof number, SQLT_VNU, nullptr, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << value;
    EXPECT_EQ(1426, last_code()) << value;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  // The literal is refused as it is read, before the stray ".0" after it makes a syntax error.
  EXPECT_EQ(OCI_ERROR, run("SELECT 1.0e126.0 FROM dual"));
  EXPECT_EQ(1426, last_code());
  EXPECT_EQ(OCI_SUCCESS, run("SELECT 1.5e200d FROM dual")) << "a BINARY_DOUBLE literal has the room";
  EXPECT_EQ(255, fetched_number("SELECT 9.9e125 FROM dual")[1]) << "the largest exponent byte";
  EXPECT_EQ((std::vector<int>{1, 0x80}), fetched_number("SELECT 1e-131 FROM dual")) << "too small reads as zero";
}

TEST_F(ExactNumberTest, fetches_and_binds_as_ocinumber_are_exact) {
  must_run("INSERT INTO n VALUES (1, 12345678901234567890123, NULL)");
  // 12345678901234567890123: exponent byte 0xCC, then the base-100 digits 01 23 45 ... 23, each plus one.
  EXPECT_EQ((std::vector<int>{13, 0xCC, 2, 24, 46, 68, 90, 2, 24, 46, 68, 90, 2, 24}),
            fetched_number("SELECT v FROM n WHERE id = 1"));

  // The same bytes bound back find the row and store the value again unchanged.
  std::vector<int> parts = fetched_number("SELECT v FROM n WHERE id = 1");
  OCINumber number{};
  for (size_t i = 0; i < parts.size(); ++i) number.OCINumberPart[i] = static_cast<ub1>(parts[i]);
  OCIStmt* stmt = prepare("INSERT INTO n (id, v) SELECT 2, :num FROM n WHERE v = :num");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":num"), 4, &number, sizeof number, SQLT_VNU, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("12345678901234567890123", single_text("SELECT v FROM n WHERE id = 2"));
}

TEST_F(ExactNumberTest, equality_tells_apart_values_that_differ_in_the_last_digit) {
  must_run("INSERT INTO n VALUES (1, 12345678901234567890123, NULL)");
  insert_text(2, "12345678901234567890124");
  EXPECT_EQ("1", single_text("SELECT id FROM n WHERE v = 12345678901234567890123"));
  EXPECT_EQ("2", single_text("SELECT id FROM n WHERE v = 12345678901234567890124"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM n WHERE v <> 12345678901234567890123"));
  EXPECT_EQ("2", single_text("SELECT COUNT(DISTINCT v) FROM n"));
}

TEST_F(ExactNumberTest, sum_of_integers_goes_past_sixty_four_bits_exactly) {
  must_run("INSERT INTO n VALUES (1, 9223372036854775807, NULL)");
  must_run("INSERT INTO n VALUES (2, 9223372036854775807, NULL)");
  must_run("INSERT INTO n VALUES (3, NULL, NULL)");
  EXPECT_EQ("18446744073709551614", single_text("SELECT SUM(v) FROM n"));
  must_run("INSERT INTO n VALUES (4, 12345678901234567890123, NULL)");
  EXPECT_EQ("12364125645308277441737", single_text("SELECT SUM(v) FROM n"));
  EXPECT_EQ("9223372036854775807", single_text("SELECT SUM(DISTINCT v) FROM n WHERE id < 3"));
  EXPECT_EQ("<null>", single_text("SELECT SUM(v) FROM n WHERE id = 3"));
  EXPECT_EQ((std::vector<std::string>{"9223372036854775807", "18446744073709551614"}),
            column_texts("SELECT SUM(v) OVER (ORDER BY id) FROM n WHERE id < 3 ORDER BY id"));
  EXPECT_EQ("3.5", single_text("SELECT SUM(x) FROM (SELECT 1.5 x FROM dual UNION ALL SELECT 2 FROM dual)"));
}

TEST_F(ExactNumberTest, order_extremes_and_ranges_compare_every_digit) {
  for (const char* row : {"1, 12345678901234567890124", "2, 12345678901234567890123", "3, -98765432109876543210987",
                          "4, 5", "6, 12345678901234567890123.5", "7, 1.5"}) {
    must_run(std::string("INSERT INTO n (id, v) VALUES (") + row + ")");
  }
  using Ids = std::vector<std::string>;
  EXPECT_EQ((Ids{"3", "7", "4", "2", "6", "1"}), column_texts("SELECT id FROM n ORDER BY v"));
  EXPECT_EQ((Ids{"1", "6", "2", "4", "7", "3"}), column_texts("SELECT id FROM n ORDER BY v DESC, id"));
  EXPECT_EQ((Ids{"3", "7"}), column_texts("SELECT id FROM n ORDER BY v + 0 FETCH FIRST 2 ROWS ONLY"));
  EXPECT_EQ("-98765432109876543210987", single_text("SELECT MIN(v) FROM n"));
  EXPECT_EQ("98765432109876543210987", single_text("SELECT -MIN(v) FROM n"));
  EXPECT_EQ("12345678901234567890124", single_text("SELECT MAX(v) FROM n"));
  EXPECT_EQ("12345678901234567890123.5", single_text("SELECT MAX(v) FROM n WHERE id <> 1"));
  EXPECT_EQ((Ids{"1", "6"}), column_texts("SELECT id FROM n WHERE v > 12345678901234567890123 ORDER BY id"));
  EXPECT_EQ((Ids{"3"}), column_texts("SELECT id FROM n WHERE v < 0"));
  EXPECT_EQ((Ids{"2", "4", "6", "7"}),
            column_texts("SELECT id FROM n WHERE v BETWEEN 0 AND 12345678901234567890123.5 ORDER BY id"));
  EXPECT_EQ((Ids{"1", "3"}), column_texts("SELECT id FROM n WHERE v NOT BETWEEN 0 AND '12345678901234567890123.5' "
                                           "ORDER BY id"));
  // Number text compared with a NUMBER is read as the number it spells, not as a REAL.
  EXPECT_EQ((Ids{"1"}), column_texts("SELECT id FROM n WHERE v = '12345678901234567890124'"));
  EXPECT_EQ((Ids{"2", "6", "1"}), column_texts("SELECT id FROM n WHERE v >= '12345678901234567890123' ORDER BY v"));
}

TEST_F(ExactNumberTest, arithmetic_and_rounding_keep_thirty_eight_digits) {
  must_run("INSERT INTO n (id, v) VALUES (1, 12345678901234567890123)");
  must_run("INSERT INTO n (id, v) VALUES (2, 9223372036854775807)");
  must_run("INSERT INTO n (id, v) VALUES (3, 12345678901234567890123.5)");
  EXPECT_EQ("12345678901234567890124", single_text("SELECT v + 1 FROM n WHERE id = 1"));
  EXPECT_EQ("12345678901234567890122", single_text("SELECT v - 1 FROM n WHERE id = 1"));
  EXPECT_EQ("123456789012345678901230", single_text("SELECT v * 10 FROM n WHERE id = 1"));
  EXPECT_EQ("1.524157875323883675049422368847227558E+44", single_text("SELECT v * v FROM n WHERE id = 1"));
  EXPECT_EQ(".5", single_text("SELECT a.v - b.v FROM n a, n b WHERE a.id = 3 AND b.id = 1"));
  // Past 64 bits in SQLite's own integer arithmetic, which would turn REAL.
  EXPECT_EQ("9223372036854775808", single_text("SELECT v + 1 FROM n WHERE id = 2"));
  EXPECT_EQ("18446744073709551614", single_text("SELECT v * 2 FROM n WHERE id = 2"));
  EXPECT_EQ("9223372036854775808", single_text("SELECT v + '1' FROM n WHERE id = 2"));
  EXPECT_EQ("12345678901234567890124", single_text("SELECT ROUND(v) FROM n WHERE id = 3"));
  EXPECT_EQ("12345678901234567890123", single_text("SELECT TRUNC(v) FROM n WHERE id = 3"));
  EXPECT_EQ("12345678901234567890100", single_text("SELECT ROUND(v, -2) FROM n WHERE id = 3"));
  EXPECT_EQ("12345678901234567890000", single_text("SELECT TRUNC(v, -4) FROM n WHERE id = 3"));
  OCIStmt* overflowing = prepare("SELECT v * v * v * v * v * v FROM n WHERE id = 1");
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, overflowing, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1426, last_code());
  OCIHandleFree(overflowing, OCI_HTYPE_STMT);
}

TEST_F(ExactNumberTest, text_longer_than_forty_digits_rounds_into_ocinumber) {
  struct Case { std::string text, expected; };
  // An OCINumber holds 20 base-100 digits: 40 decimal digits when the integer part has an even count.
  const std::string forty = "1234567890123456789012345678901234567890";
  const Case cases[] = {
      {forty + "56", "1234567890123456789012345678901234567891" "00"},
      {forty + "49", forty + "00"},
      {"-0." + forty + "6", "-0.1234567890123456789012345678901234567891"},
      {std::string(41, '9'), "1" + std::string(41, '0')},
      {std::string(42, '9'), "1" + std::string(42, '0')},
  };
  for (const Case& c : cases) {
    OCINumber number{};
    ASSERT_EQ(OCI_SUCCESS, OCINumberFromText(err, text(c.text), len(c.text), nullptr, 0, nullptr, 0, &number));
    char back[80] = {};
    ub4 size = sizeof back;
    const std::string format = "TM9";
    ASSERT_EQ(OCI_SUCCESS, OCINumberToText(err, &number, text(format), len(format), nullptr, 0, &size,
                                           reinterpret_cast<OraText*>(back)))
        << last_error();
    EXPECT_EQ(c.expected, std::string(back, size)) << c.text;
  }
}

}  // namespace
}  // namespace ociemu::testing
