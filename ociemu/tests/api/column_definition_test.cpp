// Column definitions beyond the basics: length semantics in characters or
// bytes, and defaults changed after the table exists, seen by every session.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class ColumnDefinitionTest : public OciTest {};

TEST_F(ColumnDefinitionTest, lengths_count_characters_or_bytes_as_declared) {
  must_run("CREATE TABLE names (c VARCHAR2(3 CHAR), b VARCHAR2(3 BYTE), f CHAR(2 CHAR), n NVARCHAR2(3))");
  const std::string three_umlauts = "\xc3\xa4\xc3\xb6\xc3\xbc";  // 3 characters, 6 bytes
  must_run("INSERT INTO names (c) VALUES ('" + three_umlauts + "')");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO names (b) VALUES ('" + three_umlauts + "')"));
  EXPECT_EQ(12899, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO names (c) VALUES ('abcd')"));
  EXPECT_EQ(12899, last_code());
  must_run("INSERT INTO names (b, f) VALUES ('abc', '\xc3\xa4')");
  EXPECT_EQ("\xc3\xa4 |", single_text("SELECT f || '|' FROM names WHERE b = 'abc'"));
  EXPECT_EQ((std::vector<std::string>{"C:VARCHAR2:12:3:C", "B:VARCHAR2:3:3:B", "F:CHAR:8:2:C", "N:NVARCHAR2:6:3:C"}),
            column_texts("SELECT column_name || ':' || data_type || ':' || data_length || ':' || char_length || ':' || "
                         "char_used FROM user_tab_columns WHERE table_name = 'NAMES' ORDER BY column_id"));
  EXPECT_EQ(three_umlauts, single_text("SELECT CAST(c AS VARCHAR2(3 CHAR)) FROM names WHERE c IS NOT NULL"));
  must_run("DECLARE v VARCHAR2(3 CHAR); w VARCHAR2(6 BYTE); BEGIN SELECT c, c INTO v, w FROM names WHERE c IS NOT "
           "NULL; END;");
  must_run("CREATE TYPE label_t AS OBJECT (text VARCHAR2(3 CHAR), code VARCHAR2(2 BYTE))");
}

TEST_F(ColumnDefinitionTest, raw_values_longer_than_the_column_are_refused) {
  must_run("CREATE TABLE r (x RAW(4))");
  OCIStmt* stmt = prepare("INSERT INTO r (x) VALUES (:1)");
  unsigned char bytes[5] = {1, 2, 3, 4, 5};
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, bytes, sizeof bytes, SQLT_BIN, nullptr, nullptr, nullptr, 0,
                                      nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ("ORA-12899: value too large for column \"SCOTT\".\"R\".\"X\" (actual: 5, maximum: 4)\n", last_error());
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, bytes, 4, SQLT_BIN, nullptr, nullptr, nullptr, 0, nullptr,
                                      OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_ERROR, run("UPDATE r SET x = hextoraw('0102030405')"));
  EXPECT_EQ(12899, last_code());
  EXPECT_EQ("01020304", single_text("SELECT rawtohex(x) FROM r"));
}

TEST_F(ColumnDefinitionTest, a_modified_default_fills_later_inserts_in_every_session) {
  must_run("CREATE TABLE items (id NUMBER PRIMARY KEY, status VARCHAR2(10) DEFAULT 'NEW', qty NUMBER, "
           "code CHAR(4) CHECK (code <> 'NONE'))");
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other) << last_error();
  must_run("INSERT INTO items (id) VALUES (1)", other);  // the other session has read the schema before
  must_run("COMMIT", other);
  must_run("ALTER TABLE items MODIFY (status DEFAULT 'OPEN', qty DEFAULT 1 + 1)");
  must_run("ALTER TABLE items MODIFY code DEFAULT 'AB'");
  must_run("INSERT INTO items (id) VALUES (2)");
  must_run("COMMIT");  // one writer at a time on a database file
  must_run("INSERT INTO items (id) VALUES (3)", other);
  must_run("COMMIT", other);
  EXPECT_EQ((std::vector<std::string>{"1 NEW  ", "2 OPEN 2 AB  |", "3 OPEN 2 AB  |"}),
            column_texts("SELECT id || ' ' || status || ' ' || qty || ' ' || nvl2(code, code || '|', '') FROM items "
                         "ORDER BY id"));
  EXPECT_EQ((std::vector<std::string>{"STATUS='OPEN'", "QTY=1 + 1", "CODE='AB'"}),
            column_texts("SELECT column_name || '=' || data_default FROM user_tab_columns WHERE table_name = 'ITEMS' "
                         "AND data_default IS NOT NULL ORDER BY column_id"));
  // The table keeps its key and checks, and a default can be taken back.
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO items (id, code) VALUES (2, 'X')"));
  EXPECT_EQ(1, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO items (id, code) VALUES (4, 'NONE')"));
  EXPECT_EQ(2290, last_code());
  must_run("ALTER TABLE items MODIFY (status DEFAULT NULL)");
  must_run("INSERT INTO items (id) VALUES (5)", other);
  must_run("COMMIT", other);
  EXPECT_EQ("<null>", single_text("SELECT status FROM items WHERE id = 5", other));
  EXPECT_EQ(OCI_ERROR, run("ALTER TABLE items MODIFY (nothing DEFAULT 1)"));
  EXPECT_EQ(904, last_code());
  EXPECT_EQ("ok", single_text("SELECT 'ok' FROM items WHERE id = 1")) << "the schema survives the edits";
  OCILogoff(other, err);
}

}  // namespace
}  // namespace ociemu::testing
