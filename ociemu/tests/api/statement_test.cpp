// Prepare, execute, binds, array DML, describe and the statement cache.
#include <algorithm>
#include <cstdlib>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class StatementTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE T (ID NUMBER(10) NOT NULL PRIMARY KEY, NAME VARCHAR2(20), AMOUNT NUMBER(9,2))");
  }

  // Inserts rows id = first..first+count-1 with one execute; returns the status.
  sword insert_rows(int first, int count, std::vector<sb2>* name_indicators = nullptr) {
    OCIStmt* stmt = prepare("INSERT INTO T (ID, NAME, AMOUNT) VALUES (:ID, :NAME, :AMOUNT)");
    std::vector<int> ids(static_cast<size_t>(count));
    std::vector<char> names(static_cast<size_t>(count) * 20);
    std::vector<ub2> name_lengths(static_cast<size_t>(count));
    std::vector<double> amounts(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      ids[size_t(i)] = first + i;
      int n = std::snprintf(&names[size_t(i) * 20], 20, "name %d", first + i);
      name_lengths[size_t(i)] = static_cast<ub2>(n);
      amounts[size_t(i)] = (first + i) * 0.5;
    }
    OCIBind* binds[3] = {};
    OCIBindByName(stmt, &binds[0], err, text(":ID"), 3, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
    OCIBindByName(stmt, &binds[1], err, text(":NAME"), 5, names.data(), 20, SQLT_CHR,
                  name_indicators ? name_indicators->data() : nullptr, name_lengths.data(), nullptr, 0, nullptr, 0);
    OCIBindByName(stmt, &binds[2], err, text(":AMOUNT"), 7, amounts.data(), sizeof(double), SQLT_FLT, nullptr, nullptr, nullptr, 0, nullptr, 0);
    sword rc = OCIStmtExecute(svc, stmt, err, static_cast<ub4>(count), 0, nullptr, nullptr, OCI_DEFAULT);
    ub4 processed = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &processed, nullptr, OCI_ATTR_ROW_COUNT, err);
    last_processed = processed;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }

  // NAME:TYPE:SIZE of each select-list column, described without executing.
  std::vector<std::string> described(const std::string& sql, OCISvcCtx* on = nullptr) {
    OCIStmt* stmt = prepare(sql);
    std::vector<std::string> columns = executed_columns(stmt, on, OCI_DESCRIBE_ONLY);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return columns;
  }
  // The same for a prepared statement executed in `mode`; the error text when it fails.
  std::vector<std::string> executed_columns(OCIStmt* stmt, OCISvcCtx* on = nullptr, ub4 mode = OCI_DEFAULT) {
    if (OCIStmtExecute(on ? on : svc, stmt, err, 0, 0, nullptr, nullptr, mode) != OCI_SUCCESS) return {last_error()};
    std::vector<std::string> columns;
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    for (ub4 i = 1; i <= count; ++i) {
      OCIParam* param = nullptr;
      OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), i);
      OraText* name = nullptr;
      ub4 name_length = 0;
      ub2 type = 0, size = 0;
      OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_length, OCI_ATTR_NAME, err);
      OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
      OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
      columns.push_back(std::string(reinterpret_cast<char*>(name), name_length) + ":" + std::to_string(type) + ":" +
                        std::to_string(size));
    }
    return columns;
  }

  ub4 last_processed = 0;
};

TEST_F(StatementTest, statement_type_is_known_after_prepare_and_the_function_code_after_execute) {
  struct Case { const char* sql; ub2 type; ub2 code; };
  for (Case c : {Case{"SELECT * FROM T", OCI_STMT_SELECT, 4}, Case{"  insert into T (ID) values (1)", OCI_STMT_INSERT, 3},
                 Case{"UPDATE T SET NAME = 'x'", OCI_STMT_UPDATE, 5}, Case{"DELETE FROM T", OCI_STMT_DELETE, 9}}) {
    OCIStmt* stmt = prepare(c.sql);
    ub2 type = 0, code = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    EXPECT_EQ(c.type, type) << c.sql;
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, c.type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, 0)) << last_error();
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, err);
    EXPECT_EQ(c.code, code) << c.sql;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
}

TEST_F(StatementTest, ddl_runs_while_a_cursor_of_the_session_is_open_and_the_cursor_reads_on) {
  must_run("CREATE TABLE gone (a NUMBER)");
  must_run("CREATE INDEX gone_a ON gone (a)");
  OCIStmt* cursor = prepare("SELECT empno FROM emp ORDER BY empno");
  int empno = 0;
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 1, &empno, sizeof empno, SQLT_INT, nullptr, nullptr,
                                        nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(7369, empno);
  must_run("CREATE TABLE other (a NUMBER)");
  must_run("ALTER TABLE other ADD (b NUMBER)");
  must_run("DROP TABLE other");
  must_run("DROP TABLE gone");
  // The names are free again at once, the index's included.
  must_run("CREATE TABLE gone (b VARCHAR2(3))");
  int rows = 1;
  sword rc;
  while ((rc = OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) == OCI_SUCCESS) ++rows;
  EXPECT_EQ(OCI_NO_DATA, rc) << last_error();
  EXPECT_EQ(14, rows);
  OCIHandleFree(cursor, OCI_HTYPE_STMT);
  must_run("CREATE INDEX gone_a ON gone (b)");
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM user_tables WHERE table_name LIKE 'OCIEMU%'"));
  EXPECT_EQ(OCI_ERROR, run("SELECT * FROM other"));
  EXPECT_EQ(942, last_code());
}

TEST_F(StatementTest, bind_names_may_hold_letters_beyond_ascii_and_are_upper_case_in_the_bind_info) {
  must_run("CREATE TABLE mail (id NUMBER, \"MÉIL\" VARCHAR2(20))");
  OCIStmt* stmt = prepare("INSERT INTO mail VALUES (:id, :méil) RETURNING id INTO :réf");
  OraText* names[3] = {};
  ub1 lengths[3] = {};
  OraText* indicators[3] = {};
  ub1 indicator_lengths[3] = {}, duplicates[3] = {};
  OCIBind* handles[3] = {};
  sb4 found = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtGetBindInfo(stmt, err, 3, 1, &found, names, lengths, indicators, indicator_lengths,
                                            duplicates, handles)) << last_error();
  ASSERT_EQ(3, found);
  EXPECT_EQ("MÉIL", std::string(reinterpret_cast<char*>(names[1]), lengths[1]));
  EXPECT_EQ("RÉF", std::string(reinterpret_cast<char*>(names[2]), lengths[2]));

  int id = 5, back = 0;
  char mail[] = "x@y";
  OCIBind* binds[3] = {};
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":id"), 3, &id, sizeof id, SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  // The client may spell the name in either case.
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":MéIL"), 6, mail, sizeof mail, SQLT_STR,
                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[2], err, text(":réf"), 5, &back, sizeof back, SQLT_INT,
                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(5, back);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("x@y", single_text("SELECT \"MÉIL\" FROM mail"));
}

// Clients page through the names a few at a time, going on while the count comes back negative.
TEST_F(StatementTest, bind_info_pages_end_with_a_positive_count_on_the_last_page) {
  OCIStmt* stmt = prepare("SELECT :a, :b, :c, :d, :e, :a, :f, :g, :h, :i, :j FROM dual");
  std::vector<std::string> seen;
  std::vector<sb4> counts;
  for (ub4 start = 1; counts.size() < 5;) {
    OraText* names[4] = {};
    ub1 lengths[4] = {}, indicator_lengths[4] = {}, duplicates[4] = {};
    OraText* indicators[4] = {};
    OCIBind* handles[4] = {};
    sb4 found = 0;
    ASSERT_EQ(OCI_SUCCESS, OCIStmtGetBindInfo(stmt, err, 4, start, &found, names, lengths, indicators,
                                              indicator_lengths, duplicates, handles)) << last_error();
    counts.push_back(found);
    const ub4 this_page = std::min<ub4>(4, static_cast<ub4>(std::abs(found)) - start + 1);
    for (ub4 k = 0; k < this_page; ++k) {
      if (!duplicates[k]) seen.emplace_back(reinterpret_cast<char*>(names[k]), lengths[k]);
    }
    start += this_page;
    if (found > 0) break;
  }
  EXPECT_EQ((std::vector<sb4>{-11, -11, 11}), counts);
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}), seen);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, an_empty_statement_text_is_refused_at_prepare) {
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
  EXPECT_EQ(OCI_ERROR, OCIStmtPrepare(stmt, err, text(""), 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
  EXPECT_EQ("ORA-24373: invalid length specified for statement\n", last_error());
  EXPECT_EQ(OCI_ERROR, OCIStmtPrepare(stmt, err, nullptr, 5, OCI_NTV_SYNTAX, OCI_DEFAULT));
  EXPECT_EQ(24373, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, array_dml_reports_the_rows_of_each_iteration) {
  ASSERT_EQ(OCI_SUCCESS, insert_rows(1, 5)) << last_error();
  OCIStmt* stmt = prepare("UPDATE T SET NAME = 'x' WHERE ID <= :N");
  int limits[3] = {0, 2, 5};
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, err, text(":N"), 2, limits, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 3, 0, nullptr, nullptr, OCI_RETURN_ROW_COUNT_ARRAY))
      << last_error();
  ub8* counts = nullptr;
  ub4 count_size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &counts, &count_size, OCI_ATTR_DML_ROW_COUNT_ARRAY, err));
  ASSERT_EQ(3u, count_size);
  EXPECT_EQ((std::vector<ub8>{0, 2, 5}), std::vector<ub8>(counts, counts + count_size));
  ub4 total = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(7u, total);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, ten_thousand_rows_go_in_with_one_execute_and_come_back_in_arrays_of_100) {
  std::vector<sb2> name_indicators(10000, 0);
  for (size_t i = 0; i < name_indicators.size(); i += 7) name_indicators[i] = -1;
  ASSERT_EQ(OCI_SUCCESS, insert_rows(1, 10000, &name_indicators)) << last_error();
  EXPECT_EQ(10000u, last_processed);

  OCIStmt* stmt = prepare("SELECT ID, NAME, AMOUNT FROM T ORDER BY ID");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  int ids[100];
  char names[100][21];
  sb2 indicators[100];
  ub2 lengths[100], codes[100];
  double amounts[100];
  OCIDefine* defines[3] = {};
  OCIDefineByPos(stmt, &defines[0], err, 1, ids, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(stmt, &defines[1], err, 2, names, 21, SQLT_STR, indicators, lengths, codes, 0);
  OCIDefineByPos(stmt, &defines[2], err, 3, amounts, sizeof(double), SQLT_FLT, nullptr, nullptr, nullptr, 0);
  int expected = 1, batches = 0;
  sword rc = OCI_SUCCESS;
  while (rc == OCI_SUCCESS) {
    rc = OCIStmtFetch2(stmt, err, 100, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
    ASSERT_TRUE(rc == OCI_SUCCESS || rc == OCI_NO_DATA) << last_error();
    ub4 fetched = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
    for (ub4 i = 0; i < fetched; ++i, ++expected) {
      ASSERT_EQ(expected, ids[i]);
      ASSERT_DOUBLE_EQ(expected * 0.5, amounts[i]);
      if ((expected - 1) % 7 == 0) {
        ASSERT_EQ(-1, indicators[i]) << expected;
        ASSERT_EQ(1405, codes[i]);
      } else {
        ASSERT_EQ(0, indicators[i]);
        ASSERT_EQ("name " + std::to_string(expected), names[i]);
        ASSERT_EQ(std::strlen(names[i]), lengths[i]);
      }
    }
    if (fetched) ++batches;
  }
  EXPECT_EQ(OCI_NO_DATA, rc);
  EXPECT_EQ(10001, expected);
  EXPECT_EQ(100, batches);
  ub4 total = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(10000u, total);
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 100, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << "fetch after the end";
  EXPECT_EQ(1002, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, an_array_insert_stops_at_the_first_failing_row_and_keeps_the_rows_before_it) {
  must_run("INSERT INTO T (ID) VALUES (105)");
  EXPECT_EQ(OCI_ERROR, insert_rows(100, 10));
  EXPECT_EQ(1, last_code());
  EXPECT_EQ(5u, last_processed);
  ub4 offset = 0;
  OCIAttrGet(err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err);
  EXPECT_EQ(5u, offset);
  EXPECT_EQ("6", single_text("SELECT COUNT(*) FROM T"));
}

TEST_F(StatementTest, a_block_run_for_each_element_counts_its_runs_and_names_the_failing_one) {
  must_run("INSERT INTO T (ID) VALUES (13)");
  OCIStmt* stmt = prepare("BEGIN INSERT INTO T (ID) VALUES (:ID); END;");
  int ids[5] = {10, 11, 12, 13, 14};
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, err, text(":ID"), 3, ids, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ub4 processed = 99;
  ub4 offset = 99;
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 5, 1, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1, last_code());
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &processed, nullptr, OCI_ATTR_ROW_COUNT, err);
  OCIAttrGet(err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err);
  EXPECT_EQ(2u, processed) << "the runs before the failing one";
  EXPECT_EQ(3u, offset) << "counted from the start of the arrays";
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 4, nullptr, nullptr, OCI_DEFAULT));
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &processed, nullptr, OCI_ATTR_ROW_COUNT, err);
  EXPECT_EQ(1u, processed);
  EXPECT_EQ("4 50", single_text("SELECT COUNT(*) || ' ' || SUM(ID) FROM T")) << "11 to 14";
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, a_partial_last_batch_arrives_together_with_no_data) {
  ASSERT_EQ(OCI_SUCCESS, insert_rows(1, 5));
  OCIStmt* stmt = prepare("SELECT ID FROM T ORDER BY ID");
  int ids[4] = {};
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, err, 1, ids, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 4, 0, nullptr, nullptr, OCI_DEFAULT)) << "execute fetches too";
  EXPECT_EQ(4, ids[3]);
  EXPECT_EQ(OCI_NO_DATA, OCIStmtFetch2(stmt, err, 4, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(1403, last_code());
  ub4 fetched = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
  EXPECT_EQ(1u, fetched);
  EXPECT_EQ(5, ids[0]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, truncation_warns_with_the_real_length_and_null_without_indicator_fails) {
  must_run("INSERT INTO T (ID, NAME) VALUES (1, 'abcdefghij')");
  must_run("INSERT INTO T (ID, NAME) VALUES (2, NULL)");
  OCIStmt* stmt = prepare("SELECT NAME FROM T ORDER BY ID");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  char name[5];
  sb2 indicator = 0;
  ub2 length = 0, code = 0;
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, err, 1, name, sizeof name, SQLT_CHR, &indicator, &length, &code, 0);
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, 0));
  EXPECT_EQ(1406, last_code());
  EXPECT_EQ(10, indicator);
  EXPECT_EQ(5, length);
  EXPECT_EQ(1406, code);
  EXPECT_EQ(0, std::memcmp(name, "abcde", 5));
  OCIDefineByPos(stmt, &define, err, 1, name, sizeof name, SQLT_CHR, nullptr, &length, &code, 0);
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, 0));
  EXPECT_EQ(1405, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, a_query_without_defines_cannot_be_fetched_and_a_missing_bind_is_reported) {
  OCIStmt* stmt = prepare("SELECT ID FROM T WHERE ID = :X");
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1008, last_code());
  OCIBind* bind = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIBindByName(stmt, &bind, err, text(":Y"), 2, nullptr, 0, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0));
  EXPECT_EQ(1036, last_code());
  int x = 1;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &x, sizeof x, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, 0));
  EXPECT_EQ(24374, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, describe_only_reports_the_declared_columns_without_fetching) {
  must_run("CREATE TABLE ALLTYPES (V VARCHAR2(30) NOT NULL, C CHAR(4), N NUMBER, P NUMBER(7,2), D DATE, "
           "TS TIMESTAMP, R RAW(16), L LONG, CL CLOB, BL BLOB)");
  OCIStmt* stmt = prepare("SELECT * FROM ALLTYPES");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
  ub4 count = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
  ASSERT_EQ(10u, count);
  struct Expected { const char* name; ub2 type; ub2 size; sb2 precision; sb1 scale; ub1 nullable; };
  const Expected expected[] = {{"V", 1, 30, 0, 0, 0},     {"C", 96, 4, 0, 0, 1},   {"N", 2, 22, 0, -127, 1},
                               {"P", 2, 22, 7, 2, 1},     {"D", 12, 7, 0, 0, 1},   {"TS", 187, 11, 0, 0, 1},
                               {"R", 23, 16, 0, 0, 1},    {"L", 8, 0, 0, 0, 1},    {"CL", 112, 4000, 0, 0, 1},
                               {"BL", 113, 4000, 0, 0, 1}};
  for (ub4 i = 0; i < count; ++i) {
    OCIParam* param = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), i + 1));
    OraText* name = nullptr;
    ub4 name_length = 0;
    ub2 type = 0, size = 0;
    sb2 precision = -1;
    sb1 scale = 0;
    ub1 nullable = 9;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_length, OCI_ATTR_NAME, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, err);
    const Expected& e = expected[i];
    EXPECT_EQ(e.name, std::string(reinterpret_cast<char*>(name), name_length));
    EXPECT_EQ(e.type, type) << e.name;
    if (e.type != 8) {
      EXPECT_EQ(e.size, size) << e.name;
    }
    if (e.type == 2) {
      EXPECT_EQ(e.precision, precision) << e.name;
      EXPECT_EQ(e.scale, scale) << e.name;
    }
    EXPECT_EQ(e.nullable, nullable) << e.name;
  }
  OCIParam* beyond = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&beyond), 11));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// A handle executed again keeps its description only while nothing can have
// changed it: DDL of this or another session, or a type guessed from a value.
TEST_F(StatementTest, a_query_executed_again_describes_its_columns_as_they_are_now) {
  using Columns = std::vector<std::string>;
  must_run("CREATE TABLE SHAPE (A VARCHAR2(5), B NUMBER)");
  must_run("INSERT INTO SHAPE VALUES ('x', 1)");
  must_run("COMMIT");
  OCIStmt* stmt = prepare("SELECT A, DECODE(B, 1, :v, NULL) G FROM SHAPE");
  char value[8] = "12";
  sb4 value_size = 3;
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":v"), 2, value, value_size, SQLT_STR, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  const Columns first = executed_columns(stmt);
  EXPECT_EQ((Columns{"A:1:5", "G:1:4000"}), first) << "G typed by the text bound";
  EXPECT_EQ(first, executed_columns(stmt));
  int number = 12;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":v"), 2, &number, sizeof number, SQLT_INT, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ("G:2:22", executed_columns(stmt).at(1)) << "typed by the number bound now";
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other) << last_error();
  must_run("DROP TABLE SHAPE", other);
  must_run("CREATE TABLE SHAPE (A VARCHAR2(9), B NUMBER)", other);
  EXPECT_EQ("A:1:9", executed_columns(stmt).at(0)) << "another session's DDL";
  must_run("DROP TABLE SHAPE");
  must_run("CREATE TABLE SHAPE (A DATE, B NUMBER)");
  EXPECT_EQ("A:12:7", executed_columns(stmt).at(0)) << "the session's own DDL";
  OCILogoff(other, err);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, a_rowid_describes_as_rowid_with_or_without_its_table_alias) {
  EXPECT_EQ((std::vector<std::string>{"ROWID:104:18", "ENAME:1:10"}), described("SELECT rowid, ename FROM emp"));
  EXPECT_EQ((std::vector<std::string>{"ROWID:104:18", "ENAME:1:10"}), described("SELECT e.rowid, e.ename FROM emp e"));
  EXPECT_EQ((std::vector<std::string>{"ROWID:104:18", "ROWID:104:18", "R:104:18"}),
            described("SELECT e.ROWID, d.rowid, e.rowid r FROM emp e JOIN dept d ON d.deptno = e.deptno"));
}

TEST_F(StatementTest, a_text_prepared_again_is_parsed_for_the_schema_and_settings_of_now) {
  using Columns = std::vector<std::string>;
  must_run("CREATE TABLE SHAPE (A NUMBER)");
  EXPECT_EQ(Columns{"A:2:22"}, described("SELECT * FROM SHAPE"));
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other) << last_error();
  must_run("DROP TABLE SHAPE", other);
  must_run("CREATE TABLE SHAPE (A NUMBER, B DATE)", other);
  EXPECT_EQ((Columns{"A:2:22", "B:12:7"}), described("SELECT * FROM SHAPE")) << "another session's DDL";
  must_run("ALTER TABLE SHAPE ADD (C NUMBER)");
  EXPECT_EQ((Columns{"A:2:22", "B:12:7", "C:2:22"}), described("SELECT * FROM SHAPE")) << "the session's own DDL";
  must_run("INSERT INTO SHAPE VALUES (1, DATE '2024-05-17', 3)");
  must_run("COMMIT");
  const std::string query = "SELECT TO_CHAR(B) FROM SHAPE";
  EXPECT_EQ("17-MAY-24", single_text(query));
  must_run("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY/MM/DD'");
  EXPECT_EQ("2024/05/17", single_text(query)) << "the session's settings";
  for (int round = 0; round < 3; ++round) EXPECT_EQ("2024/05/17", single_text(query)) << round;

  // Dictionary-only changes by another session: a synonym moved, a view and a function replaced.
  must_run("CREATE TABLE WIDE (X VARCHAR2(5), Y VARCHAR2(7))");
  must_run("CREATE SYNONYM S FOR SHAPE");
  EXPECT_EQ(3u, described("SELECT * FROM S").size());
  must_run("CREATE OR REPLACE SYNONYM S FOR WIDE", other);
  EXPECT_EQ((Columns{"X:1:5", "Y:1:7"}), described("SELECT * FROM S")) << "synonym moved";
  must_run("CREATE VIEW V AS SELECT A FROM SHAPE");
  EXPECT_EQ(Columns{"A:2:22"}, described("SELECT * FROM V"));
  must_run("CREATE OR REPLACE VIEW V AS SELECT Y FROM WIDE", other);
  EXPECT_EQ(Columns{"Y:1:7"}, described("SELECT * FROM V")) << "view replaced";
  must_run("CREATE FUNCTION F RETURN NUMBER IS BEGIN RETURN 1; END;");
  EXPECT_EQ("1", single_text("SELECT F() FROM DUAL"));
  must_run("CREATE OR REPLACE FUNCTION F RETURN VARCHAR2 IS BEGIN RETURN 'two'; END;", other);
  EXPECT_EQ("two", single_text("SELECT F() FROM DUAL")) << "function replaced";

  // A text whose table went away fails afresh, and parses again once the table is back.
  must_run("DROP TABLE SHAPE", other);
  EXPECT_EQ(Columns{"ORA-00942: table or view does not exist\n"}, described("SELECT * FROM SHAPE"));
  EXPECT_EQ(Columns{"ORA-00942: table or view does not exist\n"}, described("SELECT * FROM SHAPE")) << "twice";
  must_run("CREATE TABLE SHAPE (Z DATE)", other);
  EXPECT_EQ(Columns{"Z:12:7"}, described("SELECT * FROM SHAPE"));
  OCILogoff(other, err);
}

TEST_F(StatementTest, nulls_sort_above_every_value_unless_the_query_says_otherwise) {
  must_run("INSERT INTO T (ID, NAME) VALUES (1, 'b')");
  must_run("INSERT INTO T (ID, NAME) VALUES (2, NULL)");
  must_run("INSERT INTO T (ID, NAME) VALUES (3, 'a')");
  using Ids = std::vector<std::string>;
  EXPECT_EQ((Ids{"3", "1", "2"}), column_texts("SELECT ID FROM T ORDER BY NAME"));
  EXPECT_EQ((Ids{"3", "1", "2"}), column_texts("SELECT ID FROM T ORDER BY NAME ASC, ID"));
  EXPECT_EQ((Ids{"2", "1", "3"}), column_texts("SELECT ID FROM T ORDER BY NAME DESC"));
  EXPECT_EQ((Ids{"2", "3", "1"}), column_texts("SELECT ID FROM T ORDER BY NAME NULLS FIRST"));
  EXPECT_EQ((Ids{"1", "3", "2"}), column_texts("SELECT ID FROM T ORDER BY NAME DESC NULLS LAST"));
  EXPECT_EQ((Ids{"3", "1", "2"}), column_texts("SELECT ID, NAME FROM T ORDER BY 2"));
  EXPECT_EQ((Ids{"1", "2", "3"}), column_texts("SELECT ID FROM T ORDER BY ID"));
}

TEST_F(StatementTest, numbers_convert_to_and_from_oracle_number_bytes) {
  // Byte forms as Oracle's client lays them out.
  struct Case { const char* text; std::vector<ub1> bytes; };
  const Case cases[] = {{"0", {0x80}}, {"1", {0xC1, 0x02}}, {"123", {0xC2, 0x02, 0x18}},
                        {"123.45", {0xC2, 0x02, 0x18, 0x2E}}, {"0.5", {0xC0, 0x33}}, {"-1", {0x3E, 0x64, 0x66}},
                        {"-123.45", {0x3D, 0x64, 0x4E, 0x38, 0x66}}, {"100", {0xC2, 0x02}}};
  must_run("CREATE TABLE ONE_ROW (X NUMBER)");
  must_run("INSERT INTO ONE_ROW VALUES (1)");
  for (const Case& c : cases) {
    OCINumber number{};
    ASSERT_EQ(OCI_SUCCESS, OCINumberFromText(err, text(c.text), static_cast<ub4>(std::strlen(c.text)), nullptr, 0,
                                             nullptr, 0, &number));
    EXPECT_EQ(c.bytes.size(), number.OCINumberPart[0]) << c.text;
    EXPECT_EQ(0, std::memcmp(c.bytes.data(), number.OCINumberPart + 1, c.bytes.size())) << c.text;
    // And back through a bind and a fetch as SQLT_VNU.
    OCIStmt* stmt = prepare("SELECT :N FROM ONE_ROW");
    OCIBind* bind = nullptr;
    OCIBindByPos(stmt, &bind, err, 1, &number, sizeof number, SQLT_VNU, nullptr, nullptr, nullptr, 0, nullptr, 0);
    double back = 0;
    OCIDefine* define = nullptr;
    OCIDefineByPos(stmt, &define, err, 1, &back, sizeof back, SQLT_FLT, nullptr, nullptr, nullptr, 0);
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    EXPECT_DOUBLE_EQ(std::strtod(c.text, nullptr), back);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
}

TEST_F(StatementTest, dates_travel_as_seven_oracle_bytes) {
  must_run("CREATE TABLE DATES (D DATE)");
  OCIStmt* insert = prepare("INSERT INTO DATES VALUES (:D)");
  ub1 in[7] = {119, 192, 11, 30, 16, 18, 1};  // 30-NOV-1992 15:17:00
  OCIBind* bind = nullptr;
  OCIBindByPos(insert, &bind, err, 1, in, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, insert, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(insert, OCI_HTYPE_STMT);
  OCIStmt* query = prepare("SELECT D, D FROM DATES");
  ub1 out[7] = {};
  OCIDate date{};
  OCIDefine* defines[2] = {};
  OCIDefineByPos(query, &defines[0], err, 1, out, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0);
  OCIDefineByPos(query, &defines[1], err, 2, &date, sizeof date, SQLT_ODT, nullptr, nullptr, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(0, std::memcmp(in, out, 7));
  EXPECT_EQ(1992, date.OCIDateYYYY);
  EXPECT_EQ(11, date.OCIDateMM);
  EXPECT_EQ(15, date.OCIDateTime.OCITimeHH);
  OCIHandleFree(query, OCI_HTYPE_STMT);
}

// The 18-character text a rowid descriptor's bytes spell: kind byte, then object (4),
// file (2), block (4) and row (2) big-endian, in base 64 groups of 6, 3, 6 and 3.
std::string text_of_rowid_bytes(const OCIRowid* rowid) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* b = reinterpret_cast<const unsigned char*>(rowid);
  auto be = [b](int at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | b[at + i];
    return value;
  };
  std::string text;
  auto put = [&text](uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) text += kAlphabet[(value >> (6 * i)) & 63];
  };
  put(be(1, 4), 6);
  put(be(5, 2), 3);
  put(be(7, 4), 6);
  put(be(11, 2), 3);
  return b[0] == 1 ? text : "kind " + std::to_string(b[0]);
}

std::string rowid_to_char(OCIRowid* rowid, OCIError* err) {
  OraText text[32];
  ub2 length = sizeof text;
  if (OCIRowidToChar(rowid, text, &length, err) != OCI_SUCCESS) return "<error>";
  return std::string(reinterpret_cast<char*>(text), length);
}

TEST_F(StatementTest, the_rowid_descriptor_lays_out_the_row_touched_last_and_a_selected_rowid) {
  must_run("INSERT INTO T (ID) VALUES (1)");
  OCIRowid* rowid = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr));
  EXPECT_EQ("kind 0", text_of_rowid_bytes(rowid)) << "a fresh descriptor names no row";
  std::vector<std::string> touched;
  for (const char* sql : {"INSERT INTO T (ID) VALUES (2)", "UPDATE T SET ID = 11 WHERE ID = 1"}) {
    OCIStmt* stmt = prepare(sql);
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    ub4 size = 0;
    ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, rowid, &size, OCI_ATTR_ROWID, err));
    EXPECT_NE(0u, size);
    const std::string text = rowid_to_char(rowid, err);
    ASSERT_EQ(18u, text.size());
    EXPECT_EQ(text, text_of_rowid_bytes(rowid));
    touched.push_back(text);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  EXPECT_EQ(touched[0], single_text("SELECT ROWID FROM T WHERE ID = 2"));
  EXPECT_EQ(touched[1], single_text("SELECT ROWID FROM T WHERE ID = 11"));
  EXPECT_NE(touched[0], touched[1]);

  OCIRowid* selected = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&selected), OCI_DTYPE_ROWID, 0, nullptr));
  OCIStmt* query = prepare("SELECT ROWID FROM T WHERE ID = 2");
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(query, &define, err, 1, &selected, sizeof selected, SQLT_RDD, nullptr,
                                        nullptr, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, query, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(touched[0], text_of_rowid_bytes(selected));
  EXPECT_EQ(touched[0], rowid_to_char(selected, err));
  OCIHandleFree(query, OCI_HTYPE_STMT);
  OCIDescriptorFree(selected, OCI_DTYPE_ROWID);
  OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
}

TEST_F(StatementTest, a_delete_of_every_row_names_the_row_it_removed) {
  must_run("INSERT INTO T (ID) VALUES (7)");
  const std::string removed = single_text("SELECT ROWID FROM T");
  OCIStmt* stmt = prepare("DELETE FROM T");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(removed, rowid_after_dml(stmt));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// The rowid after DML names the table as it is now, also when it was dropped
// and created again here or by another session since the last DML on it.
TEST_F(StatementTest, the_rowid_after_dml_follows_a_table_created_again) {
  auto rowid_after = [this](const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIRowid* rowid = nullptr;
    OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr);
    ub4 size = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, rowid, &size, OCI_ATTR_ROWID, err));
    std::string text = rowid_to_char(rowid, err);
    OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return text;
  };
  rowid_after("INSERT INTO T (ID) VALUES (1)");
  must_run("DROP TABLE T");
  must_run("CREATE TABLE T_FIRST (ID NUMBER(10))");  // T takes another object id
  must_run("CREATE TABLE T (ID NUMBER(10))");
  const std::string here = rowid_after("INSERT INTO T (ID) VALUES (2)");
  EXPECT_EQ(here, single_text("SELECT ROWID FROM T WHERE ID = 2"));

  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  must_run("COMMIT");
  must_run("DROP TABLE T", other);
  must_run("CREATE TABLE T_SECOND (ID NUMBER(10))", other);
  must_run("CREATE TABLE T (ID NUMBER(10))", other);
  const std::string elsewhere = rowid_after("INSERT INTO T (ID) VALUES (3)");
  EXPECT_EQ(elsewhere, single_text("SELECT ROWID FROM T WHERE ID = 3"));
  must_run("COMMIT");
  OCILogoff(other, err);
}

TEST_F(StatementTest, a_released_statement_comes_back_from_the_cache_by_text_and_by_key) {
  ub4 size = 5;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(svc, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, err));
  std::string sql = "SELECT COUNT(*) FROM T";
  OCIStmt* first = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &first, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, first, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtRelease(first, err, nullptr, 0, OCI_DEFAULT));
  OCIStmt* again = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &again, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
  EXPECT_EQ(first, again);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtRelease(again, err, text("count"), 5, OCI_DEFAULT));
  OCIStmt* by_key = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &by_key, err, nullptr, 0, text("count"), 5, OCI_NTV_SYNTAX,
                                         OCI_PREP2_CACHE_SEARCHONLY));
  EXPECT_EQ(first, by_key);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtRelease(by_key, err, nullptr, 0, OCI_STRLS_CACHE_DELETE));
  EXPECT_EQ(OCI_ERROR, OCIStmtPrepare2(svc, &by_key, err, nullptr, 0, text("count"), 5, OCI_NTV_SYNTAX,
                                       OCI_PREP2_CACHE_SEARCHONLY));
  EXPECT_EQ(24431, last_code());
}

// A client that releases to the cache describes again on every execution: the
// columns must be those of the table as it is then, read under either handle type.
TEST_F(StatementTest, a_statement_taken_again_from_the_cache_describes_the_table_as_it_is_now) {
  const std::string sql = "SELECT * FROM T";
  auto described_from_cache = [&](ub4 handle_type) {
    OCIStmt* stmt = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &stmt, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
    std::vector<std::string> columns;
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY));
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    for (ub4 i = 1; i <= count; ++i) {
      void* param = nullptr;
      EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, i));
      OraText* name = nullptr;
      ub4 name_length = 0;
      ub2 type = 0;
      EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(param, handle_type, &name, &name_length, OCI_ATTR_NAME, err));
      EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(param, handle_type, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
      columns.push_back(std::string(reinterpret_cast<char*>(name), name_length) + ":" + std::to_string(type));
    }
    EXPECT_EQ(OCI_SUCCESS, OCIStmtRelease(stmt, err, nullptr, 0, OCI_DEFAULT));
    return columns;
  };
  const std::vector<std::string> first = {"ID:2", "NAME:1", "AMOUNT:2"};
  EXPECT_EQ(first, described_from_cache(OCI_DTYPE_PARAM));
  EXPECT_EQ(first, described_from_cache(OCI_HTYPE_DESCRIBE));
  must_run("DROP TABLE T");
  must_run("CREATE TABLE T (CODE VARCHAR2(5), DAY DATE)");
  EXPECT_EQ((std::vector<std::string>{"CODE:1", "DAY:12"}), described_from_cache(OCI_DTYPE_PARAM));

  int unknown = 0;
  ub2 type = 0;
  for (ub4 handle_type : {ub4{OCI_DTYPE_PARAM}, ub4{OCI_HTYPE_DESCRIBE}}) {
    EXPECT_EQ(OCI_INVALID_HANDLE, OCIAttrGet(&unknown, handle_type, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
  }
}

TEST_F(StatementTest, the_cache_keeps_at_most_its_size_and_drops_the_least_recently_used) {
  ub4 size = 2;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(svc, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, err));
  std::vector<std::string> texts = {"SELECT 1 FROM T", "SELECT 2 FROM T", "SELECT 3 FROM T"};
  for (auto& sql : texts) {
    OCIStmt* stmt = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &stmt, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIStmtRelease(stmt, err, nullptr, 0, OCI_DEFAULT));
  }
  OCIStmt* stmt = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIStmtPrepare2(svc, &stmt, err, text(texts[0]), len(texts[0]), nullptr, 0, OCI_NTV_SYNTAX,
                                       OCI_PREP2_CACHE_SEARCHONLY));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtPrepare2(svc, &stmt, err, text(texts[2]), len(texts[2]), nullptr, 0, OCI_NTV_SYNTAX,
                                         OCI_PREP2_CACHE_SEARCHONLY));
}

TEST_F(StatementTest, a_parse_error_reports_its_offset) {
  OCIStmt* stmt = prepare("SELECT ID FROM T WHERE ID = = 1");
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  ub2 offset = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, err);
  EXPECT_EQ(28, offset);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, an_unknown_column_reports_ora_00904_at_its_offset) {
  OCIStmt* stmt = prepare("SELECT ID, NOSUCH FROM T");
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(904, last_code());
  ub2 offset = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, err);
  EXPECT_EQ(11, offset);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace ociemu::testing
