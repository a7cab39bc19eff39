// Names as Oracle resolves them: quoted names are case-sensitive, pseudocolumns are not assignable.
#include <sqlite3.h>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class IdentifierTest : public OciTest {
 protected:
  // The headings a query describes, joined by commas.
  std::string headings(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    std::string joined;
    for (ub4 position = 1; position <= count; ++position) {
      OCIParam* param = nullptr;
      EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), position));
      OraText* name = nullptr;
      ub4 size = 0;
      OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_NAME, err);
      joined += (position > 1 ? "," : "") + std::string(reinterpret_cast<char*>(name), size);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return joined;
  }
};

TEST_F(IdentifierTest, assigning_rowid_is_refused_as_oracle_refuses_it) {
  must_run("CREATE TABLE t (id NUMBER)");
  must_run("INSERT INTO t VALUES (1)");
  EXPECT_EQ(OCI_ERROR, run("UPDATE t SET ROWID = 'AAAAAAAAAAAAAAAAAA' WHERE id = 1"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ(OCI_ERROR, run("UPDATE t SET id = 2, rowid = NULL"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO t (id, ROWID) VALUES (2, 'AAAAAAAAAAAAAAAAAA')"));
  EXPECT_EQ(1747, last_code());
  EXPECT_EQ("1", single_text("SELECT id FROM t"));
}

TEST_F(IdentifierTest, computed_columns_are_named_by_their_text_without_blanks) {
  must_run("CREATE TABLE t (id NUMBER, \"Mixed\" NUMBER)");
  EXPECT_EQ("'NESTEDROW1',ID+1,\"Mixed\"*2,LOWER('ABC')",
            headings("SELECT 'Nested Row 1', id + 1, \"Mixed\" * 2, lower( 'aBc' ) FROM t"));
  EXPECT_EQ("Kept Case", headings("SELECT 'x y' \"Kept Case\" FROM t")) << "an alias names it as written";
  EXPECT_EQ((std::vector<std::string>{"x y"}), column_texts("SELECT 'x y' FROM dual")) << "the value keeps its blanks";
}

TEST_F(IdentifierTest, columns_that_differ_only_in_case_are_distinct_columns) {
  must_run("CREATE TABLE q (\"c\" NUMBER, \"C\" VARCHAR2(10), id NUMBER)");
  must_run("INSERT INTO q (\"C\", \"c\", id) VALUES ('one', 1, 1)");
  must_run("INSERT INTO q VALUES (2, 'two', 2)");
  EXPECT_EQ("c,C,ID", headings("SELECT * FROM q"));
  EXPECT_EQ("C,c", headings("SELECT x.\"C\", \"c\" FROM q x"));
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), column_texts("SELECT \"C\" FROM q ORDER BY \"c\""));
  EXPECT_EQ((std::vector<std::string>{"one"}), column_texts("SELECT C FROM q WHERE \"c\" = 1"));
  must_run("UPDATE q SET \"C\" = 'uno' WHERE \"c\" = 1");
  must_run("UPDATE q SET \"c\" = 20 WHERE \"C\" = 'two'");
  EXPECT_EQ((std::vector<std::string>{"1 uno", "20 two"}), column_texts("SELECT \"c\" || ' ' || \"C\" FROM q ORDER BY id"));
  EXPECT_EQ((std::vector<std::string>{"c NUMBER", "C VARCHAR2", "ID NUMBER"}),
            column_texts("SELECT column_name || ' ' || data_type FROM user_tab_columns WHERE table_name = 'Q' "
                         "ORDER BY column_id"));
}

TEST_F(IdentifierTest, altering_columns_keeps_names_that_differ_only_in_case_apart) {
  must_run("CREATE TABLE q (\"c\" NUMBER, id NUMBER)");
  must_run("INSERT INTO q VALUES (1, 1)");
  must_run("ALTER TABLE q ADD (\"C\" VARCHAR2(5) DEFAULT 'd')");
  EXPECT_EQ(OCI_ERROR, run("ALTER TABLE q ADD (\"C\" NUMBER)"));
  EXPECT_EQ(1430, last_code());
  EXPECT_EQ("1 d", single_text("SELECT \"c\" || ' ' || \"C\" FROM q"));
  EXPECT_EQ("'d'", single_text("SELECT data_default FROM user_tab_columns WHERE table_name = 'Q' AND column_name = 'C'"));
  EXPECT_EQ(OCI_ERROR, run("ALTER TABLE q RENAME COLUMN id TO \"c\""));
  EXPECT_EQ(957, last_code());
  must_run("ALTER TABLE q DROP COLUMN \"c\"");
  EXPECT_EQ("ID,C", headings("SELECT * FROM q"));
  must_run("ALTER TABLE q ADD (\"c\" NUMBER)");
  must_run("UPDATE q SET \"c\" = 7");
  EXPECT_EQ("d 7", single_text("SELECT \"C\" || ' ' || \"c\" FROM q"));
}

TEST_F(IdentifierTest, constraints_apply_to_the_column_of_their_exact_name) {
  must_run("CREATE TABLE q (\"k\" NUMBER, \"K\" NUMBER PRIMARY KEY, CONSTRAINT k_positive CHECK (\"K\" > 0))");
  must_run("INSERT INTO q VALUES (1, 1)");
  must_run("INSERT INTO q VALUES (1, 2)");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO q VALUES (3, 2)"));
  EXPECT_EQ(1, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO q VALUES (5, -1)"));
  EXPECT_EQ(2290, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO q (\"k\") VALUES (6)"));
  EXPECT_EQ(1400, last_code());
  must_run("CREATE TABLE copy AS SELECT * FROM q");
  EXPECT_EQ("k,K", headings("SELECT * FROM copy"));
  EXPECT_EQ("2", single_text("SELECT \"K\" FROM copy WHERE \"k\" = 1 AND \"K\" > 1"));
}

TEST_F(IdentifierTest, tables_and_views_that_differ_only_in_case_are_distinct_objects) {
  must_run("CREATE TABLE \"t\" (a NUMBER PRIMARY KEY)");
  must_run("CREATE TABLE \"T\" (b NUMBER, a NUMBER REFERENCES \"t\" (a))");
  must_run("INSERT INTO \"t\" VALUES (1)");
  must_run("INSERT INTO t (b, a) VALUES (2, 1)");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO \"T\" VALUES (3, 9)"));
  EXPECT_EQ(2291, last_code());
  EXPECT_EQ("A", headings("SELECT * FROM \"t\""));
  EXPECT_EQ("B,A", headings("SELECT * FROM t"));
  const std::string rowid = single_text("SELECT rowid FROM \"T\"");
  EXPECT_EQ("2", single_text("SELECT b FROM \"T\" WHERE rowid = '" + rowid + "'"));
  EXPECT_EQ((std::vector<std::string>{"T.A", "T.B", "t.A"}),
            column_texts("SELECT table_name || '.' || column_name FROM user_tab_columns WHERE upper(table_name) = 'T' "
                         "ORDER BY 1"));
  must_run("CREATE VIEW \"v\" AS SELECT a FROM \"t\"");
  must_run("CREATE VIEW \"V\" AS SELECT b FROM \"T\"");
  must_run("CREATE OR REPLACE VIEW \"V\" AS SELECT b * 10 AS b10 FROM \"T\"");
  EXPECT_EQ("1", single_text("SELECT * FROM \"v\""));
  EXPECT_EQ("20", single_text("SELECT * FROM v"));
  must_run("RENAME \"t\" TO \"Tt\"");
  must_run("CREATE TABLE \"tT\" (x NUMBER)");
  must_run("ALTER TABLE \"T\" RENAME TO \"TT\"");
  must_run("DROP TABLE tt");
  EXPECT_EQ((std::vector<std::string>{"Tt", "tT"}),
            column_texts("SELECT table_name FROM user_tables WHERE upper(table_name) = 'TT' ORDER BY 1"));
  EXPECT_EQ("1", single_text("SELECT a FROM \"Tt\""));
}

// A file whose catalogue predates stored names: the logon adds what is missing.
TEST_F(IdentifierTest, a_file_made_before_stored_names_takes_names_that_differ_only_in_case) {
  must_run("CREATE TABLE kept (a NUMBER)");
  must_run("INSERT INTO kept VALUES (1)");
  must_run("COMMIT");
  ASSERT_EQ(OCI_SUCCESS, OCILogoff(svc, err));
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(database.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                    "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, "
                                    "', STORAGE TEXT', '') WHERE name = 'OCIEMU$OBJECTS'",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  svc = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, svc) << last_error();
  must_run("CREATE TABLE \"Kept\" (b NUMBER)");
  must_run("INSERT INTO \"Kept\" VALUES (2)");
  EXPECT_EQ("1", single_text("SELECT a FROM kept"));
  EXPECT_EQ("2", single_text("SELECT b FROM \"Kept\""));
}

}  // namespace
}  // namespace ociemu::testing
