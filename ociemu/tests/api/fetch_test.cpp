// Fetch paths beyond plain arrays: scrolling, row structures, external
// character types and LONG values, whole and piecewise.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class FetchTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE S (N NUMBER(5), W VARCHAR2(10))");
    for (int i = 1; i <= 10; ++i) must_run("INSERT INTO S VALUES (" + std::to_string(i) + ", 'w" + std::to_string(i) + "')");
  }
};

TEST_F(FetchTest, a_scrollable_cursor_moves_in_every_direction) {
  OCIStmt* stmt = prepare("SELECT N FROM S ORDER BY N");
  int n[3] = {};
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, err, 1, n, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_STMT_SCROLLABLE_READONLY));
  auto at = [&](ub2 orientation, sb4 offset, ub4 rows = 1) {
    sword rc = OCIStmtFetch2(stmt, err, rows, orientation, offset, OCI_DEFAULT);
    ub4 position = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &position, nullptr, OCI_ATTR_CURRENT_POSITION, err);
    return rc == OCI_SUCCESS ? std::make_pair(n[0], static_cast<int>(position)) : std::make_pair(-1, static_cast<int>(position));
  };
  EXPECT_EQ(std::make_pair(10, 10), at(OCI_FETCH_LAST, 0));
  EXPECT_EQ(std::make_pair(1, 1), at(OCI_FETCH_FIRST, 0));
  EXPECT_EQ(std::make_pair(2, 2), at(OCI_FETCH_NEXT, 0));
  EXPECT_EQ(std::make_pair(7, 7), at(OCI_FETCH_ABSOLUTE, 7));
  EXPECT_EQ(std::make_pair(5, 5), at(OCI_FETCH_RELATIVE, -2));
  EXPECT_EQ(std::make_pair(4, 4), at(OCI_FETCH_PRIOR, 0));
  EXPECT_EQ(std::make_pair(4, 4), at(OCI_FETCH_CURRENT, 0));
  EXPECT_EQ(std::make_pair(5, 7), at(OCI_FETCH_NEXT, 0, 3));
  EXPECT_EQ(7, n[2]);
  EXPECT_EQ(-1, at(OCI_FETCH_ABSOLUTE, 11).first);
  EXPECT_EQ(1403, last_code());
  EXPECT_EQ(std::make_pair(10, 10), at(OCI_FETCH_PRIOR, 0)) << "back from past the end";
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(FetchTest, a_forward_cursor_refuses_to_scroll) {
  OCIStmt* stmt = prepare("SELECT N FROM S");
  int n = 0;
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_LAST, 0, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(FetchTest, rows_land_in_an_array_of_structures) {
  struct Row {
    int n;
    char w[11];
    sb2 w_indicator;
    ub2 w_length;
  } rows[4] = {};
  OCIStmt* stmt = prepare("SELECT N, W FROM S WHERE N <= 4 ORDER BY N");
  OCIDefine* defines[2] = {};
  OCIDefineByPos(stmt, &defines[0], err, 1, &rows[0].n, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &defines[1], err, 2, rows[0].w, sizeof rows[0].w, SQLT_STR, &rows[0].w_indicator,
                 &rows[0].w_length, nullptr, 0);
  OCIDefineArrayOfStruct(defines[0], err, sizeof(Row), 0, 0, 0);
  OCIDefineArrayOfStruct(defines[1], err, sizeof(Row), sizeof(Row), sizeof(Row), 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 4, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(i + 1, rows[i].n);
    EXPECT_EQ("w" + std::to_string(i + 1), rows[i].w);
    EXPECT_EQ(0, rows[i].w_indicator);
    EXPECT_EQ(2, rows[i].w_length);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(FetchTest, character_types_pad_terminate_or_prefix_as_declared) {
  OCIStmt* stmt = prepare("SELECT W, W, W FROM S WHERE N = 3");
  char fixed[6], fixedz[6];
  struct { ub2 length; char text[8]; } varying{};
  OCIDefine* defines[3] = {};
  OCIDefineByPos(stmt, &defines[0], err, 1, fixed, sizeof fixed, SQLT_AFC, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &defines[1], err, 2, fixedz, sizeof fixedz, SQLT_AVC, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &defines[2], err, 3, &varying, sizeof varying, SQLT_VCS, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(0, std::memcmp(fixed, "w3    ", 6));
  EXPECT_STREQ("w3   ", fixedz);
  EXPECT_EQ(2, varying.length);
  EXPECT_EQ(0, std::memcmp(varying.text, "w3", 2));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// Texts of every length up to past the short ones land byte for byte, with nothing written after
// them; a length and a code arrive in whichever of the arrays the client gave, 2- or 4-byte lengths.
TEST_F(FetchTest, texts_of_every_short_length_land_whole_with_nothing_written_past_them) {
  must_run("CREATE TABLE L (T VARCHAR2(40))");
  std::vector<std::string> texts;
  for (size_t length : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 33}) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + (i * 7 + length) % 26);
    texts.push_back(text);
    must_run("INSERT INTO L VALUES ('" + text + "')");
  }
  constexpr size_t kRows = 13;
  ASSERT_EQ(kRows, texts.size());
  char chars[kRows][40], terminated[kRows][40], bare[kRows][40];
  sb2 indicators[3][kRows];
  ub2 lengths[kRows], codes[kRows];
  ub4 wide_lengths[kRows];
  std::memset(chars, '#', sizeof chars);
  std::memset(terminated, '#', sizeof terminated);
  std::memset(bare, '#', sizeof bare);
  std::memset(indicators, 0x5A, sizeof indicators);
  std::memset(lengths, 0x5A, sizeof lengths);
  std::memset(codes, 0x5A, sizeof codes);
  std::memset(wide_lengths, 0x5A, sizeof wide_lengths);
  OCIStmt* stmt = prepare("SELECT T, T, T FROM L ORDER BY LENGTH(T)");
  OCIDefine* d[3] = {};
  OCIDefineByPos(stmt, &d[0], err, 1, chars, 40, SQLT_CHR, indicators[0], lengths, codes, 0);
  OCIDefineByPos2(stmt, &d[1], err, 2, terminated, 40, SQLT_STR, indicators[1], wide_lengths, nullptr, 0);
  OCIDefineByPos(stmt, &d[2], err, 3, bare, 40, SQLT_CHR, indicators[2], nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, kRows, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  for (size_t row = 0; row < kRows; ++row) {
    const std::string& text = texts[row];
    const size_t n = text.size();
    EXPECT_EQ(text, std::string(chars[row], n));
    EXPECT_EQ('#', chars[row][n]) << n;
    EXPECT_EQ(n, lengths[row]);
    EXPECT_EQ(0, codes[row]);
    EXPECT_EQ(text, std::string(terminated[row], n));
    EXPECT_EQ('\0', terminated[row][n]) << n;
    EXPECT_EQ('#', terminated[row][n + 1]) << n;
    EXPECT_EQ(n, wide_lengths[row]);
    EXPECT_EQ(text, std::string(bare[row], n));
    EXPECT_EQ('#', bare[row][n]) << n;
    for (const auto& column : indicators) EXPECT_EQ(0, column[row]) << n;
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// Rows of one array fetch where some cells go straight into the buffers and others need
// converting, rounding, truncating or a NULL indicator; each must keep its own slots.
TEST_F(FetchTest, one_array_fetch_mixes_plain_copies_with_conversions_truncation_and_nulls) {
  must_run("CREATE TABLE M (ORD NUMBER, N NUMBER, T VARCHAR2(20), D DATE)");
  must_run("INSERT INTO M VALUES (1, 7, 'seven', DATE '2020-01-02')");
  must_run("INSERT INTO M VALUES (2, 2.5, 'truncated text', NULL)");
  must_run("INSERT INTO M VALUES (3, NULL, NULL, NULL)");
  must_run("INSERT INTO M VALUES (4, 12345678901234567890123, 'x', NULL)");
  must_run("INSERT INTO M VALUES (5, 42, 'y', NULL)");
  OCIStmt* stmt = prepare("SELECT N, N, N, T, T, D FROM M ORDER BY ORD");
  int whole[4] = {};
  double real[4] = {};
  char digits[4][40] = {}, terminated[4][6] = {}, chars[4][20] = {}, date[4][20] = {}, redefined[2][40] = {};
  sb2 indicators[6][4] = {};
  ub2 lengths[6][4] = {}, codes[6][4] = {};
  OCIDefine* d[6] = {};
  OCIDefineByPos(stmt, &d[0], err, 1, whole, sizeof(int), SQLT_INT, indicators[0], lengths[0], codes[0], 0);
  OCIDefineByPos(stmt, &d[1], err, 2, real, sizeof(double), SQLT_FLT, indicators[1], lengths[1], codes[1], 0);
  OCIDefineByPos(stmt, &d[2], err, 3, digits, 40, SQLT_STR, indicators[2], lengths[2], codes[2], 0);
  OCIDefineByPos(stmt, &d[3], err, 4, terminated, 6, SQLT_STR, indicators[3], lengths[3], codes[3], 0);
  OCIDefineByPos(stmt, &d[4], err, 5, chars, 20, SQLT_CHR, indicators[4], lengths[4], codes[4], 0);
  OCIDefineByPos(stmt, &d[5], err, 6, date, 20, SQLT_STR, indicators[5], lengths[5], codes[5], 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  // The 23-digit number does not fit an int: take three rows first, then the rest without the int.
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, OCIStmtFetch2(stmt, err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(1406, last_code());

  EXPECT_EQ(7, whole[0]);
  EXPECT_EQ(3, whole[1]) << "rounded";
  EXPECT_DOUBLE_EQ(7.0, real[0]);
  EXPECT_DOUBLE_EQ(2.5, real[1]);
  EXPECT_STREQ("7", digits[0]);
  EXPECT_STREQ("2.5", digits[1]);
  EXPECT_EQ(1, lengths[2][0]);

  EXPECT_STREQ("seven", terminated[0]);
  EXPECT_EQ(0, indicators[3][0]);
  EXPECT_EQ(5, lengths[3][0]);
  EXPECT_EQ(0, codes[3][0]);
  EXPECT_STREQ("trunc", terminated[1]);
  EXPECT_EQ(14, indicators[3][1]) << "the full length";
  EXPECT_EQ(1406, codes[3][1]);
  EXPECT_EQ(0, std::memcmp(chars[1], "truncated text", 14));
  EXPECT_EQ(14, lengths[4][1]);
  EXPECT_EQ(0, codes[4][1]);

  EXPECT_STREQ("02-JAN-20", date[0]) << "a date is shown in the session's format, not as stored";
  EXPECT_EQ(-1, indicators[5][1]);
  for (int column = 0; column < 6; ++column) {
    EXPECT_EQ(-1, indicators[column][2]) << column;
    EXPECT_EQ(1405, codes[column][2]) << column;
  }

  OCIDefineByPos(stmt, &d[0], err, 1, redefined, 40, SQLT_STR, indicators[0], lengths[0], codes[0], 0);
  EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("12345678901234567890123", redefined[0]) << "a define made between fetch calls applies to the next";
  EXPECT_STREQ("42", redefined[1]);
  EXPECT_STREQ("12345678901234567890123", digits[0]);
  EXPECT_DOUBLE_EQ(1.2345678901234568e22, real[0]);
  EXPECT_STREQ("x", terminated[0]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// Rows packed one byte apart leave every element unaligned; a 4-byte length array sits beside them.
// The checks read packed members by value (unary +): a reference to one would be misaligned.
TEST_F(FetchTest, every_plainly_copied_kind_lands_whole_across_fetch_calls_at_any_stride) {
  must_run("CREATE TABLE K (ORD NUMBER, N NUMBER, R NUMBER, T VARCHAR2(10))");
  const char* rows[] = {"1, 7, 0.25, 'seven'", "2, -128, -1.5, 'a'", "3, 0, NULL, NULL", "4, 100, 1e100, 'sixsix'",
                        "5, 127, 2, 'abc'",    "6, -9, 0, 'four'",    "7, 1, 3.75, 'z'"};
  for (const char* row : rows) must_run(std::string("INSERT INTO K VALUES (") + row + ")");
#pragma pack(push, 1)
  struct Row {
    char pad;
    int8_t tiny;
    int16_t small;
    int64_t big;
    double real;
    char text[6];
    char chars[5];
    sb2 text_indicator;
    ub2 text_length;
  } out[3];
#pragma pack(pop)
  ub4 wide_lengths[3] = {};
  sb2 real_indicators[3] = {}, chars_indicators[3] = {};
  OCIStmt* stmt = prepare("SELECT N, N, N, R, T, T FROM K ORDER BY ORD");
  ub4 prefetch = 2;
  OCIAttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 0, OCI_ATTR_PREFETCH_ROWS, err);
  OCIDefine* d[6] = {};
  OCIDefineByPos(stmt, &d[0], err, 1, &out[0].tiny, 1, SQLT_INT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &d[1], err, 2, &out[0].small, 2, SQLT_INT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &d[2], err, 3, &out[0].big, 8, SQLT_INT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &d[3], err, 4, &out[0].real, 8, SQLT_FLT, real_indicators, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &d[4], err, 5, out[0].text, 6, SQLT_STR, &out[0].text_indicator, &out[0].text_length, nullptr, 0);
  OCIDefineByPos2(stmt, &d[5], err, 6, out[0].chars, 5, SQLT_CHR, chars_indicators, wide_lengths, nullptr, 0);
  for (int i = 0; i < 4; ++i) OCIDefineArrayOfStruct(d[i], err, sizeof(Row), sizeof(sb2), 0, 0);
  OCIDefineArrayOfStruct(d[4], err, sizeof(Row), sizeof(Row), sizeof(Row), 0);
  OCIDefineArrayOfStruct(d[5], err, sizeof(Row), sizeof(sb2), 0, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();

  auto fetch = [&](ub4 expected_rows) {
    std::memset(out, 0x5A, sizeof out);
    const sword rc = OCIStmtFetch2(stmt, err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
    ub4 fetched = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
    EXPECT_EQ(expected_rows, fetched);
    return rc;
  };
  auto chars_at = [&](int i) { return std::string(out[i].chars, wide_lengths[i]); };

  ASSERT_EQ(OCI_SUCCESS, fetch(3)) << last_error();
  EXPECT_EQ(7, +out[0].tiny);
  EXPECT_EQ(7, +out[0].small);
  EXPECT_EQ(7, +out[0].big);
  EXPECT_DOUBLE_EQ(0.25, +out[0].real);
  EXPECT_STREQ("seven", out[0].text);
  EXPECT_EQ(5, +out[0].text_length);
  EXPECT_EQ("seven", chars_at(0));
  EXPECT_EQ(-128, +out[1].tiny);
  EXPECT_EQ(-128, +out[1].big);
  EXPECT_DOUBLE_EQ(-1.5, +out[1].real);
  EXPECT_EQ("a", chars_at(1));
  EXPECT_EQ(0, +out[2].tiny);
  EXPECT_EQ(-1, real_indicators[2]);
  EXPECT_EQ(-1, +out[2].text_indicator);
  EXPECT_EQ(-1, chars_indicators[2]);
  EXPECT_EQ(0, wide_lengths[2]);
  EXPECT_EQ(0, real_indicators[1]);
  EXPECT_EQ(0, +out[1].text_indicator);

  ASSERT_EQ(OCI_SUCCESS_WITH_INFO, fetch(3)) << "'sixsix' does not fit either text buffer";
  EXPECT_EQ(100, +out[0].tiny);
  EXPECT_DOUBLE_EQ(1e100, +out[0].real);
  EXPECT_STREQ("sixsi", out[0].text);
  EXPECT_EQ(6, +out[0].text_indicator) << "the full length";
  EXPECT_EQ(6, chars_indicators[0]);
  EXPECT_EQ("sixsi", chars_at(0));
  EXPECT_EQ(127, +out[1].small);
  EXPECT_STREQ("abc", out[1].text);
  EXPECT_EQ(0, +out[1].text_indicator);
  EXPECT_EQ(-9, +out[2].big);
  EXPECT_DOUBLE_EQ(0.0, +out[2].real);
  EXPECT_EQ("four", chars_at(2));

  ASSERT_EQ(OCI_NO_DATA, fetch(1));
  EXPECT_EQ(1, +out[0].big);
  EXPECT_DOUBLE_EQ(3.75, +out[0].real);
  EXPECT_STREQ("z", out[0].text);
  EXPECT_EQ(1, +out[0].text_length);
  EXPECT_EQ(0x5A5A, static_cast<ub2>(out[1].small)) << "nothing written past the rows fetched";
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

struct Pieces {
  std::string collected;
  char buffer[4096];
  ub4 length = 0;
  sb2 indicator = 0;
  ub2 code = 0;
  int calls = 0;
  int first_pieces = 0;
};

sb4 collect_piece(void* context, OCIDefine*, ub4, void** bufpp, ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodepp) {
  auto* pieces = static_cast<Pieces*>(context);
  if (pieces->calls++ > 0) pieces->collected.append(pieces->buffer, pieces->length);
  if (*piecep == OCI_FIRST_PIECE) ++pieces->first_pieces;
  pieces->length = sizeof pieces->buffer;
  *bufpp = pieces->buffer;
  *alenpp = &pieces->length;
  *indpp = &pieces->indicator;
  *rcodepp = &pieces->code;
  return OCI_CONTINUE;
}

// A float buffer smaller than the value written into it is refused, never overrun or over-read.
TEST_F(FetchTest, float_buffers_too_small_for_their_value_are_refused) {
  must_run("CREATE TABLE F (X NUMBER)");
  OCIStmt* insert = prepare("INSERT INTO F VALUES (:X)");
  OCIBind* bind = nullptr;
  const double source[1] = {2.5};
  OCIBindByPos(insert, &bind, err, 1, const_cast<double*>(source), 2, SQLT_FLT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(932, last_code());
  OCIHandleFree(insert, OCI_HTYPE_STMT);

  must_run("INSERT INTO F VALUES (2.5)");
  for (uint16_t dty : {SQLT_FLT, SQLT_BFLOAT}) {
    OCIStmt* query = prepare("SELECT X FROM F");
    unsigned char buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    OCIDefine* define = nullptr;
    OCIDefineByPos(query, &define, err, 1, buffer, dty == SQLT_FLT ? 6 : 2, dty, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << dty;
    EXPECT_EQ(932, last_code()) << dty;
    EXPECT_EQ(0xEE, buffer[dty == SQLT_FLT ? 6 : 2]) << "nothing written past the buffer";
    OCIHandleFree(query, OCI_HTYPE_STMT);
  }
}

// A value too wide for a small integer buffer fails its row instead of arriving with its low bytes.
TEST_F(FetchTest, integers_too_wide_for_their_buffer_fail_with_ora_01455) {
  struct Case { const char* value; int size; uint16_t dty; bool fits; };
  const Case cases[] = {{"127", 1, SQLT_INT, true},     {"128", 1, SQLT_INT, false},   {"-128", 1, SQLT_INT, true},
                        {"255", 1, SQLT_UIN, true},     {"256", 1, SQLT_UIN, false},   {"-1", 2, SQLT_UIN, false},
                        {"-32768", 2, SQLT_INT, true},  {"40000", 2, SQLT_INT, false}, {"65535", 2, SQLT_UIN, true},
                        {"2147483648", 4, SQLT_INT, false}, {"4294967295", 4, SQLT_UIN, true}};
  for (const Case& c : cases) {
    OCIStmt* query = prepare(std::string("SELECT ") + c.value + " FROM dual");
    unsigned char buffer[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    OCIDefine* define = nullptr;
    OCIDefineByPos(query, &define, err, 1, buffer, c.size, c.dty, nullptr, nullptr, nullptr, 0);
    const sword rc = OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(query, OCI_HTYPE_STMT);
    if (c.fits) {
      EXPECT_EQ(OCI_SUCCESS, rc) << c.value << ": " << last_error();
      continue;
    }
    EXPECT_EQ(OCI_ERROR, rc) << c.value;
    EXPECT_EQ(1455, last_code()) << c.value;
  }
}

TEST_F(FetchTest, a_100_kb_long_arrives_piece_by_piece_through_the_define_callback) {
  must_run("CREATE TABLE LONGS (ID NUMBER, L LONG)");
  std::string value;
  for (int i = 0; value.size() < 100 * 1024; ++i) value += "piece " + std::to_string(i) + ";";
  OCIStmt* insert = prepare("INSERT INTO LONGS VALUES (1, :L)");
  OCIBind* bind = nullptr;
  OCIBindByPos(insert, &bind, err, 1, value.data(), static_cast<sb4>(value.size()), SQLT_LNG, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(insert, OCI_HTYPE_STMT);

  OCIStmt* query = prepare("SELECT L FROM LONGS");
  OCIDefine* define = nullptr;
  Pieces pieces;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(query, &define, err, 1, nullptr, 0x7fffffff, SQLT_LNG, nullptr, nullptr, nullptr,
                                        OCI_DYNAMIC_FETCH));
  ASSERT_EQ(OCI_SUCCESS, OCIDefineDynamic(define, err, &pieces, collect_piece));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  pieces.collected.append(pieces.buffer, pieces.length);
  EXPECT_EQ(value.size(), pieces.collected.size());
  EXPECT_TRUE(value == pieces.collected);
  EXPECT_EQ(1, pieces.first_pieces);
  EXPECT_EQ(static_cast<int>((value.size() + 4095) / 4096), pieces.calls);
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

sb4 refuse_piece(void*, OCIDefine*, ub4, void**, ub4**, ub1*, void**, ub2**) { return OCI_ERROR; }

TEST_F(FetchTest, a_long_truncates_into_a_static_buffer_and_a_refusing_callback_fails_the_fetch) {
  must_run("CREATE TABLE LONGS (L LONG RAW)");
  std::string bytes(3000, '\x7f');
  OCIStmt* insert = prepare("INSERT INTO LONGS VALUES (:L)");
  OCIBind* bind = nullptr;
  OCIBindByPos(insert, &bind, err, 1, bytes.data(), 3000, SQLT_LBI, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  OCIHandleFree(insert, OCI_HTYPE_STMT);

  OCIStmt* query = prepare("SELECT L FROM LONGS");
  char buffer[1000];
  sb2 indicator = 0;
  ub2 length = 0;
  OCIDefine* define = nullptr;
  OCIDefineByPos(query, &define, err, 1, buffer, sizeof buffer, SQLT_LBI, &indicator, &length, nullptr, 0);
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(3000, indicator);
  EXPECT_EQ(1000, length);
  OCIDefineByPos(query, &define, err, 1, nullptr, 0x7fffffff, SQLT_LBI, nullptr, nullptr, nullptr, OCI_DYNAMIC_FETCH);
  OCIDefineDynamic(define, err, nullptr, refuse_piece);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(24343, last_code());
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace ociemu::testing
