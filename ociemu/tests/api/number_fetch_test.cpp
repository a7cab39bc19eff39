// NUMBER values fetched as text, OCINumber and double, at packed strides and many rows per
// call: each form agrees to the last digit with an independent reading of the number's text
// (OCINumberFromText, strtod), and cells that do not fit take Oracle's truncation rules.
#include <cstdlib>
#include <random>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

#pragma pack(push, 1)
struct PackedRow {
  char pad;
  char text[48];    // SQLT_STR
  ub1 varnum[22];   // SQLT_VNU
  double real;      // SQLT_FLT
  ub1 number[21];   // SQLT_NUM
  char shown[48];   // TO_CHAR of the value, the reference text
  ub2 number_length;
};
#pragma pack(pop)

class NumberFetchTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE N (ID NUMBER, V NUMBER)");
  }

  void insert(const std::vector<std::string>& values) {
    OCIStmt* stmt = prepare("INSERT INTO N VALUES (:1, :2)");
    for (size_t i = 0; i < values.size(); ++i) {
      const int id = static_cast<int>(i);
      OCIBind* binds[2] = {};
      ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &binds[0], err, 1, const_cast<int*>(&id), sizeof id, SQLT_INT, nullptr,
                                          nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
      ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &binds[1], err, 2, const_cast<char*>(values[i].c_str()),
                                          static_cast<sb4>(values[i].size() + 1), SQLT_STR, nullptr, nullptr, nullptr,
                                          0, nullptr, OCI_DEFAULT));
      ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT))
          << values[i] << ": " << last_error();
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }

  // Every row, fetched many rows per call into packed structs.
  std::vector<PackedRow> fetch_all() {
    constexpr ub4 kBatch = 37;
    std::vector<PackedRow> rows(kBatch), all;
    OCIStmt* stmt = prepare("SELECT V, V, V, V, TO_CHAR(V) FROM N ORDER BY ID");
    const struct {
      void* value;
      sb4 size;
      ub2 dty;
      ub2* lengths;
    } columns[] = {{rows[0].text, sizeof rows[0].text, SQLT_STR, nullptr},
                   {rows[0].varnum, sizeof rows[0].varnum, SQLT_VNU, nullptr},
                   {&rows[0].real, sizeof rows[0].real, SQLT_FLT, nullptr},
                   {rows[0].number, sizeof rows[0].number, SQLT_NUM, &rows[0].number_length},
                   {rows[0].shown, sizeof rows[0].shown, SQLT_STR, nullptr}};
    ub4 position = 1;
    for (const auto& column : columns) {
      OCIDefine* define = nullptr;
      EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, position++, column.value, column.size, column.dty,
                                            nullptr, column.lengths, nullptr, OCI_DEFAULT));
      EXPECT_EQ(OCI_SUCCESS, OCIDefineArrayOfStruct(define, err, sizeof(PackedRow), 0, sizeof(PackedRow), 0));
    }
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    sword rc = OCI_SUCCESS;
    while (rc == OCI_SUCCESS) {
      rc = OCIStmtFetch2(stmt, err, kBatch, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      EXPECT_TRUE(rc == OCI_SUCCESS || rc == OCI_NO_DATA) << last_error();
      ub4 fetched = 0;
      OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
      all.insert(all.end(), rows.begin(), rows.begin() + fetched);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return all;
  }

  std::vector<int> from_text(const std::string& text) {
    OCINumber number{};
    EXPECT_EQ(OCI_SUCCESS, OCINumberFromText(err, OciTest::text(text), len(text), nullptr, 0, nullptr, 0, &number))
        << text;
    return std::vector<int>(number.OCINumberPart + 1, number.OCINumberPart + 1 + number.OCINumberPart[0]);
  }

  // Checks every fetched form of each value against the value's reference text.
  void expect_forms_agree(const std::vector<std::string>& values) {
    insert(values);
    const std::vector<PackedRow> rows = fetch_all();
    ASSERT_EQ(values.size(), rows.size());
    for (const PackedRow& row : rows) {
      const std::string shown = row.shown;
      EXPECT_EQ(shown, std::string(row.text)) << "inserted as " << values[&row - rows.data()];
      const std::vector<int> expected = from_text(shown);
      EXPECT_EQ(expected, std::vector<int>(row.varnum + 1, row.varnum + 1 + row.varnum[0])) << shown;
      EXPECT_EQ(expected, std::vector<int>(row.number, row.number + row.number_length)) << shown;
      const double real = row.real;  // a copy: the packed member is not aligned
      EXPECT_EQ(std::strtod(shown.c_str(), nullptr), real) << shown;
    }
  }
};

using Bytes = std::vector<int>;

TEST_F(NumberFetchTest, edge_values_reach_every_form_exactly) {
  const std::vector<std::string> values = {
      "0", "1", "-1", "100", "-100", "99", "101", "1000000", "9223372036854775807", "-9223372036854775808",
      "9223372036854775808", "-9223372036854775809", "12345678901234567890123456789012345678",
      "-12345678901234567890123456789012345678", "99999999999999999999999999999999999999",
      "9876543210987654321.0987654321000001", "-0.000123", "0.1", "-0.5", "0.12345678901234567890123456789012345678",
      "1.5E-100", "1E-130", "-1E-130", "9.99E+125", "-9.99E+125", "1.2345678901234567890123456789012345678E+125",
      "1.2345678901234567890123456789012345678E-120", "123456789012345678901234567890123456.78",
      "10000000000000000000000000000000000000000", "0.00000000000000000000000000000000000000001234",
      // Halfway between two doubles (2^54 + 2), and a hair either side of it.
      "18014398509481986.0000000001", "-18014398509481986.0000000001", "18014398509481985.9999999999",
      "36028797018963971.00000000000000000001", "36028797018963970.99999999999999999999"};
  expect_forms_agree(values);
  const std::vector<PackedRow> rows = fetch_all();
  // Oracle's own bytes for a few: zero, -1 (with its 102 terminator), 1E-130, 9.99E+125.
  EXPECT_EQ((Bytes{0x80}), Bytes(rows[0].varnum + 1, rows[0].varnum + 1 + rows[0].varnum[0]));
  EXPECT_EQ((Bytes{0x3E, 0x64, 0x66}), Bytes(rows[2].varnum + 1, rows[2].varnum + 1 + rows[2].varnum[0]));
  EXPECT_EQ((Bytes{0x80, 0x02}), Bytes(rows[21].varnum + 1, rows[21].varnum + 1 + rows[21].varnum[0]));
  EXPECT_EQ((Bytes{0xFF, 0x64, 0x5B}), Bytes(rows[23].varnum + 1, rows[23].varnum + 1 + rows[23].varnum[0]));
  EXPECT_EQ("-.000123", std::string(rows[16].text));
  EXPECT_EQ("1E-130", std::string(rows[21].text));
}

// Digits of every length, the point anywhere within or around them, either sign.
std::string random_number_text(std::mt19937_64& generator) {
  std::uniform_int_distribution<int> length_of(1, 38), digit(0, 9), shift(-45, 45);
  std::string digits(static_cast<size_t>(length_of(generator)), '0');
  for (char& d : digits) d = static_cast<char>('0' + digit(generator));
  if (digits[0] == '0') digits[0] = '7';
  const int point = static_cast<int>(digits.size()) + shift(generator) / 3;
  std::string text = generator() % 2 ? "-" : "";
  if (point <= 0) return text + "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  if (point >= static_cast<int>(digits.size())) return text + digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  return text + digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
}

TEST_F(NumberFetchTest, random_values_of_up_to_thirty_eight_digits_reach_every_form_exactly) {
  std::mt19937_64 generator(20261211);
  std::vector<std::string> values;
  for (int i = 0; i < 400; ++i) values.push_back(random_number_text(generator));
  expect_forms_agree(values);
}

// Where the quick readings hand over: a double's 2^53, its exact powers of ten (up to 10^22),
// sixteen whole digits, a base-100 pair across the point (an odd exponent), NUMBER's limits.
TEST_F(NumberFetchTest, values_at_the_edges_of_each_quick_reading_reach_every_form_exactly) {
  expect_forms_agree({"9007199254740992", "9007199254740993", "900719925474099.2", "900719925474099.3",
                      "-900719925474099.3", "90071992547409.93", "9007199254740993.5", "9007199254740994.5",
                      "9007199254740993.0000000000000000001", "9007199254740992.9999999999999999999",
                      "999999999999999.9", "1000000000000000.1", "9999999999999999.5", "1234567890123456789.5",
                      ".0000000000000000000001", ".00000000000000000000012", "-.0000000000000000000009",
                      "1234567.000000000000001", "123456789012345678", "1234567890123456789012",
                      "12345678901234567890000000000000000000", "-12345678901234567890000000000000000000",
                      "1.2345678901234567890123456789012345678E+124", "-9.8765432109876543210987654321098765432E+124",
                      "9.9999999999999999999999999999999999999E+125", "1.0000000000000000000000000000000000001E-129",
                      "-1.0000000000000000000000000000000000001E-129", "1.2E-129", "-1.23E-130", "-0", "-0.0"});
}

// The whole number one below `digits`, followed by a fraction just short of one.
std::string just_below(std::string digits) {
  size_t at = digits.size() - 1;
  for (; digits[at] == '0'; --at) digits[at] = '9';
  --digits[at];
  return digits + ".99999999999";
}

// A whole part of nineteen digits is read into 64 bits, of twenty or more into 128: halfway
// between two doubles there (ties go to the even one, down or up) and a hair either side, with
// either sign, and the rounding that carries into the next power of two.
TEST_F(NumberFetchTest, whole_parts_of_sixteen_to_thirty_eight_digits_round_to_the_nearest_double) {
  std::vector<std::string> values;
  // 2^62 + 512 and + 3584, 2^64 + 2048 and + 14336, 2^100 + 2^47 and + 3 x 2^47.
  for (const std::string tie : {"4611686018427388416", "4611686018427391488", "18446744073709553664",
                                "18446744073709565952", "1267650600228229542234191560704",
                                "1267650600228229823709168271360"}) {
    for (const std::string sign : {"", "-"}) {
      values.push_back(sign + tie);
      values.push_back(sign + tie + ".0000000000000000001");
      values.push_back(sign + just_below(tie));
    }
  }
  for (const std::string carry : {"18014398509481983.9", "9223372036854775807", "9223372036854775807.5",
                                  "9999999999999999999", "10000000000000000000", "1180591620717411303423",
                                  "99999999999999999999999999999999999999", "-99999999999999999999999999999999999999"}) {
    values.push_back(carry);
  }
  expect_forms_agree(values);
}

// Every count of digits from 1 to 38, the point before, within and after them.
TEST_F(NumberFetchTest, values_of_every_length_with_the_point_anywhere_reach_every_form_exactly) {
  const std::string digits = "73918264550192837465564738291019283746";
  std::vector<std::string> values;
  for (size_t length = 1; length <= digits.size(); ++length) {
    const std::string run = digits.substr(0, length);
    values.push_back(run);
    values.push_back("-" + run + "000");
    values.push_back("." + run);
    values.push_back("-.0" + run);
    for (size_t point = 1; point < length; point += 3) values.push_back(run.substr(0, point) + "." + run.substr(point));
  }
  expect_forms_agree(values);
}

// Digits are read in blocks of sixteen (eight without SSE2): runs that end at, or straddle, a
// block's edge, with the sign and the point on either side of one.
TEST_F(NumberFetchTest, values_at_the_edges_of_digit_blocks_reach_every_form_exactly) {
  const std::string digits = "987654321098765432109876543210987";
  std::vector<std::string> values;
  for (const size_t length : {7, 8, 9, 15, 16, 17, 31, 32, 33}) {
    const std::string run = digits.substr(0, length);
    for (const std::string sign : {"", "-"}) {
      values.push_back(sign + run);
      values.push_back(sign + "." + run);
      for (const size_t point : {1, 7, 8, 9, 15, 16, 17, 31, 32}) {
        if (point < length) values.push_back(sign + run.substr(0, point) + "." + run.substr(point));
      }
    }
  }
  expect_forms_agree(values);
}

// Thirty-eight digits, as many as a value keeps, joined across the point wherever it falls, with
// zeros after the point before them, and zeros and nines at either end of a base-100 pair.
TEST_F(NumberFetchTest, thirty_eight_digits_with_the_point_at_every_place_reach_every_form_exactly) {
  std::vector<std::string> values;
  for (const std::string digits : {"90000000000000000000000000000000000009", "10990990099909999000999900009999900001"}) {
    for (const std::string sign : {"", "-"}) {
      for (size_t point = 0; point <= digits.size(); ++point) {
        values.push_back(sign + digits.substr(0, point) + "." + digits.substr(point));
      }
      for (const std::string zeros : {"0", "00", "000"}) values.push_back(sign + "." + zeros + digits);
      values.push_back(sign + digits + "00");
      values.push_back(sign + digits + "000");
    }
  }
  expect_forms_agree(values);
}

TEST_F(NumberFetchTest, numbers_longer_than_a_text_element_are_truncated_with_their_full_length) {
  insert({"12345678901234567890123456789012345678", "123456", "-1234"});
  OCIStmt* stmt = prepare("SELECT V FROM N ORDER BY ID");
  char texts[3][6];
  sb2 indicators[3] = {};
  ub2 codes[3] = {};
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, texts, sizeof texts[0], SQLT_STR, indicators, nullptr,
                                        codes, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, OCIStmtExecute(svc, stmt, err, 3, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1406, last_code());
  EXPECT_EQ("12345", std::string(texts[0]));
  EXPECT_EQ(38, indicators[0]);
  EXPECT_EQ(1406, codes[0]);
  EXPECT_EQ("12345", std::string(texts[1]));
  EXPECT_EQ(6, indicators[1]);
  EXPECT_EQ("-1234", std::string(texts[2]));
  EXPECT_EQ(0, indicators[2]);
  EXPECT_EQ(0, codes[2]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace ociemu::testing
