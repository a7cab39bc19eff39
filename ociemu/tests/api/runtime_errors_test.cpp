// Well-formed statements that fail only while they run: each must carry the error Oracle gives,
// never ORA-00600, which a client takes for a lost connection.
#include <string>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

struct RuntimeFailure {
  std::string sql;
  int code;
};

class RuntimeErrorsTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE r (id NUMBER(4) PRIMARY KEY, n NUMBER(5,2), s VARCHAR2(3), c CHAR(2) NOT NULL, "
             "b RAW(2), CONSTRAINT r_pos CHECK (id > 0))");
    must_run("INSERT INTO r VALUES (1, 1.5, 'abc', 'x', HEXTORAW('AB'))");
    must_run("INSERT INTO r VALUES (2, 2.5, 'def', 'y', NULL)");
    must_run("CREATE TABLE child (id NUMBER PRIMARY KEY, rid NUMBER REFERENCES r(id))");
  }

  // Runs each statement and fetches a query's first row, where most run-time failures surface.
  void expect_failures(std::initializer_list<RuntimeFailure> failures) {
    for (const RuntimeFailure& failure : failures) {
      EXPECT_EQ(failure.code, failure_of(failure.sql)) << failure.sql << ": " << last_error();
    }
  }

  // Runs each query and compares its first value.
  void expect_values(std::initializer_list<std::pair<std::string, std::string>> values) {
    for (const auto& [expected, sql] : values) EXPECT_EQ(expected, single_text(sql)) << sql;
  }

  int failure_of(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    ub2 type = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    sword rc = OCIStmtExecute(svc, stmt, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
    char value[64];
    sb2 indicator = 0;
    OCIDefine* define = nullptr;
    if (rc == OCI_SUCCESS && type == OCI_STMT_SELECT) {
      OCIDefineByPos(stmt, &define, err, 1, value, sizeof value, SQLT_STR, &indicator, nullptr, nullptr, OCI_DEFAULT);
      rc = OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_ERROR ? last_code() : 0;
  }

  // The first value of a query given one text bind, or "ORA-<code>" when it fails.
  std::string first_value_with_text_bind(const std::string& sql, const std::string& bound) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    OCIBindByPos(stmt, &bind, err, 1, const_cast<char*>(bound.data()), static_cast<sb4>(bound.size()), SQLT_CHR,
                 nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    char value[64] = {};
    OCIDefine* define = nullptr;
    OCIDefineByPos(stmt, &define, err, 1, value, sizeof value, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    if (rc == OCI_ERROR) return "ORA-" + std::to_string(last_code());
    return rc == OCI_NO_DATA ? "<no rows>" : value;
  }
};

TEST_F(RuntimeErrorsTest, arithmetic_and_conversion_failures_carry_oracles_codes) {
  expect_failures({
      {"SELECT 1/0 FROM dual", 1476},
      {"SELECT n/0 FROM r", 1476},
      {"SELECT TO_NUMBER('abc') FROM dual", 1722},
      {"SELECT 'abc' + 1 FROM dual", 1722},
      {"SELECT TO_DATE('2020-13-01', 'YYYY-MM-DD') FROM dual", 1843},
      {"SELECT TO_DATE('xx', 'YYYY') FROM dual", 1858},
      {"SELECT SQRT(-1) FROM dual", 1428},
      {"SELECT 1e125 * 10 FROM dual", 1426},
      {"SELECT ABS(-9223372036854775808) FROM dual", 1426},
      {"SELECT HEXTORAW('XYZ') FROM dual", 1465},
      {"SELECT SUBSTR('abc', 1, 'x') FROM dual", 1722},
      {"SELECT TO_CHAR(SYSDATE, 'QQQQ XX') FROM dual", 1821},
      {"SELECT CAST('abc' AS NUMBER) FROM dual", 1722},
  });
}

TEST_F(RuntimeErrorsTest, text_that_is_no_number_fails_where_oracle_converts_it) {
  expect_failures({
      {"SELECT s * 2 FROM r", 1722},
      {"SELECT 2 * s FROM r", 1722},
      {"SELECT id FROM r WHERE 1 = 'a'", 1722},
      {"SELECT id FROM r WHERE n < 'x'", 1722},
      {"SELECT id FROM r WHERE id = 'it''s'", 1722},
  });
  must_run("CREATE TABLE numeric_text (t VARCHAR2(10))");
  must_run("INSERT INTO numeric_text VALUES (' 2.5 ')");
  expect_values({
      {"5", "SELECT t * 2 FROM numeric_text"},
      {"7.5", "SELECT 3 * t FROM numeric_text"},
      {"2", "SELECT COUNT(*) FROM r WHERE 1 = '1'"},
      {"1", "SELECT id FROM r WHERE n = '1.50'"},
      {"3", "SELECT id * '1.5' FROM r WHERE id = 2"},
  });
}

TEST_F(RuntimeErrorsTest, text_columns_and_binds_compared_with_numbers_are_converted_to_numbers) {
  must_run("CREATE TABLE texts (id NUMBER, t VARCHAR2(40), big NUMBER)");
  must_run("INSERT INTO texts VALUES (1, ' 05', 12345678901234567890123)");
  must_run("INSERT INTO texts VALUES (2, 'abc', 2)");
  expect_values({
      {"1", "SELECT id FROM texts WHERE id = 1 AND t = 5"},
      {"-5", "SELECT -t FROM texts WHERE id = 1"},
  });
  expect_failures({
      {"SELECT COUNT(*) FROM texts WHERE t = 5", 1722},
      {"SELECT COUNT(*) FROM texts WHERE 7 < t", 1722},
      {"SELECT -t FROM texts WHERE id = 2", 1722},
  });
  EXPECT_EQ("1", first_value_with_text_bind("SELECT id FROM texts WHERE big = :b", "12345678901234567890123"));
  EXPECT_EQ("2", first_value_with_text_bind("SELECT id FROM texts WHERE big = :b", " 2 "));
  EXPECT_EQ("ORA-1722", first_value_with_text_bind("SELECT id FROM texts WHERE id = :b", "one"));
  EXPECT_EQ("<no rows>", first_value_with_text_bind("SELECT id FROM texts WHERE t = :b", "5"))
      << "text against text stays a text comparison";
}

TEST_F(RuntimeErrorsTest, a_scalar_subquery_of_several_rows_fails_and_of_one_row_gives_it) {
  expect_failures({
      {"SELECT (SELECT id FROM r) FROM dual", 1427},
      {"SELECT id FROM r WHERE id = (SELECT id FROM r)", 1427},
      {"SELECT id FROM r x WHERE id = (SELECT y.id FROM r y WHERE y.id >= x.id)", 1427},
      {"UPDATE r SET n = (SELECT n FROM r)", 1427},
  });
  expect_values({
      {"2.5", "SELECT (SELECT n FROM r WHERE id = 2) FROM dual"},
      {"<null>", "SELECT NVL((SELECT s FROM r WHERE id = 9), '<null>') FROM dual"},
      {"2", "SELECT (SELECT COUNT(*) FROM r) FROM dual"},
      {"2", "SELECT MAX(id) FROM r x WHERE id = (SELECT y.id FROM r y WHERE y.id = x.id)"},
      {"2", "SELECT COUNT(*) FROM r WHERE id IN (SELECT id FROM r)"},
      {"2", "SELECT COUNT(*) FROM r WHERE EXISTS (SELECT id FROM r)"},
      {"1", "SELECT COUNT(*) FROM r WHERE (id, s) = (SELECT id, s FROM r WHERE id = 1)"},
  });
}

TEST_F(RuntimeErrorsTest, a_table_holds_at_most_a_thousand_columns) {
  auto columns = [](int count) {
    std::string list = "c0 NUMBER";
    for (int k = 1; k < count; ++k) list += ", c" + std::to_string(k) + " NUMBER";
    return list;
  };
  expect_failures({{"CREATE TABLE wide (" + columns(1001) + ")", 1792}});
  must_run("CREATE TABLE wide (" + columns(1000) + ")");
  expect_failures({{"ALTER TABLE wide ADD (extra NUMBER)", 1792},
                   {"CREATE TABLE wider AS SELECT w.*, 1 extra FROM wide w", 1792}});
}

// Results past NUMBER's range or a CAST's type fail as Oracle's do instead of coming back changed;
// those within it come back rounded to the type.
TEST_F(RuntimeErrorsTest, results_past_a_types_limits_fail_and_those_within_are_rounded_to_it) {
  expect_failures({
      {"SELECT POWER(10, 200) FROM dual", 1426},
      {"SELECT POWER(-10, 127) FROM dual", 1426},
      {"SELECT POWER(10, 126) FROM dual", 1426},
      {"SELECT EXP(1000) FROM dual", 1426},
      {"SELECT CAST(12345 AS NUMBER(3)) FROM dual", 1438},
      {"SELECT CAST(99.996 AS NUMBER(4,2)) FROM dual", 1438},
      {"SELECT CAST(n * 1000 AS NUMBER(4,1)) FROM r WHERE id = 1", 1438},
      {"SELECT CAST('abcdef' AS VARCHAR2(2)) FROM dual", 25137},
      {"SELECT CAST('žaba' AS VARCHAR2(4)) FROM dual", 25137},
      {"SELECT CAST(s AS CHAR(2 CHAR)) FROM r", 25137},
  });
  expect_values({
      {"0", "SELECT POWER(10, 125) - 1E125 FROM dual"},
      {"1000000000000000000000000000001", "SELECT POWER(10, 30) + 1 FROM dual"},
      {"1267650600228229401496703205376", "SELECT POWER(2, 100) FROM dual"},
      {"-27", "SELECT POWER(-3, 3) FROM dual"},
      {"2.25", "SELECT POWER(1.5, 2) FROM dual"},
      {"1", "SELECT POWER(0, 0) FROM dual"},
      {"0", "SELECT POWER(0.1, 200) FROM dual"},
      {"2", "SELECT POWER(4, 0.5) FROM dual"},
  });
  EXPECT_EQ("123", single_text("SELECT CAST(123.4 AS NUMBER(3)) FROM dual"));
  EXPECT_EQ("-99.99", single_text("SELECT CAST(-99.994 AS NUMBER(4,2)) FROM dual"));
  EXPECT_EQ("1200", single_text("SELECT CAST(1234 AS NUMBER(2,-2)) FROM dual"));
  EXPECT_EQ("3", single_text("SELECT CAST(2.5 AS INTEGER) FROM dual"));
  EXPECT_EQ("12345678901234567890123", single_text("SELECT CAST(12345678901234567890123 AS NUMBER) FROM dual"));
  EXPECT_EQ("žaba", single_text("SELECT CAST('žaba' AS VARCHAR2(4 CHAR)) FROM dual"));
  EXPECT_EQ("[ab   ]", single_text("SELECT '[' || CAST('ab' AS CHAR(5)) || ']' FROM dual"));
  EXPECT_EQ("[ža ]", single_text("SELECT '[' || CAST('ža' AS NCHAR(3)) || ']' FROM dual"));
  EXPECT_EQ("[ža ]", single_text("SELECT '[' || CAST('ža' AS CHAR(4)) || ']' FROM dual")) << "bytes by default";
  EXPECT_EQ("<null>", single_text("SELECT CAST(NULL AS VARCHAR2(1)) || CAST(NULL AS NUMBER(1)) FROM dual"));
}

TEST_F(RuntimeErrorsTest, functions_given_bad_arguments_carry_oracles_codes) {
  expect_failures({
      {"SELECT 1 FROM dual WHERE 'a' LIKE 'a' ESCAPE 'xx'", 1425},
      {"SELECT NTILE(0) OVER (ORDER BY id) FROM r", 1428},
      {"SELECT NTH_VALUE(id, 0) OVER (ORDER BY id) FROM r", 1428},
      {"SELECT SUM(id) OVER (ORDER BY id ROWS BETWEEN -1 PRECEDING AND CURRENT ROW) FROM r", 1428},
      {"SELECT JSON_OBJECT('a' VALUE '{bad' FORMAT JSON) FROM dual", 40441},
      {"SELECT JSON_VALUE('{\"a\":1}', 'no path') FROM dual", 40442},
      {"SELECT INSTR('abc', 'b', 1, 0) FROM dual", 1428},
  });
}

TEST_F(RuntimeErrorsTest, dml_failures_carry_oracles_codes) {
  std::string wide = "CREATE TABLE wide (c0 NUMBER";
  // Past SQLite's own limit of 2000.
  for (int k = 1; k < 2001; ++k) wide += ", c" + std::to_string(k) + " NUMBER";
  expect_failures({
      {"INSERT INTO r (id, c) VALUES (1, 'y')", 1},
      {"INSERT INTO r (id) VALUES (3)", 1400},
      {"INSERT INTO r (id, c, s) VALUES (3, 'y', 'abcd')", 12899},
      {"INSERT INTO r (id, c, n) VALUES (4, 'y', 12345)", 1438},
      {"INSERT INTO r (id, c) VALUES ('x', 'y')", 1722},
      {"INSERT INTO r (id, c) VALUES (-1, 'y')", 2290},
      {"INSERT INTO r (id, c, b) VALUES (5, 'y', HEXTORAW('ABCDEF'))", 12899},
      {"INSERT INTO child VALUES (1, 99)", 2291},
      {"UPDATE r SET n = n / 0", 1476},
      {"UPDATE r SET id = 99999", 1438},
      {"DELETE FROM r WHERE id = 1/0", 1476},
      {wide + ")", 1792},
  });
  must_run("INSERT INTO child VALUES (1, 1)");
  expect_failures({{"DELETE FROM r", 2292}});
}

TEST_F(RuntimeErrorsTest, an_update_to_null_names_the_column_it_cannot_update) {
  expect_failures({{"UPDATE r SET c = NULL", 1407}});
  EXPECT_EQ("ORA-01407: cannot update (\"SCOTT\".\"R\".\"C\") to NULL\n", last_error());
  expect_failures({{"BEGIN UPDATE r SET c = NULL WHERE id = 2; END;", 1407}});
  expect_failures({{"INSERT INTO r (id, c) SELECT 9, NULL FROM dual", 1400}});
}

}  // namespace
}  // namespace ociemu::testing
