// CHAR(n) and NCHAR(n) columns through the call interface: values stored
// blank-padded by every way a row is written, blank-padded comparison, the
// describe, PL/SQL CHAR variables; and multi-column UPDATE SET on tables with
// row triggers.
#include <string>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class CharPaddingTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE codes (id NUMBER PRIMARY KEY, c CHAR(5), n NCHAR(3), v VARCHAR2(5), d CHAR(4) DEFAULT 'z')");
  }

  std::string rows(const std::string& sql) {
    std::string out;
    for (const auto& row : column_texts(sql)) out += (out.empty() ? "" : ",") + row;
    return out;
  }

  // Every select-list column described as "type:size:char size".
  std::vector<std::string> described(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    std::vector<std::string> out;
    if (OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY) == OCI_SUCCESS) {
      void* param = nullptr;
      for (ub4 position = 1; OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, position) == OCI_SUCCESS; ++position) {
        ub2 type = 0, size = 0, chars = 0;
        OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
        OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err);
        OCIAttrGet(param, OCI_DTYPE_PARAM, &chars, nullptr, OCI_ATTR_CHAR_SIZE, err);
        out.push_back(std::to_string(type) + ":" + std::to_string(size) + ":" + std::to_string(chars));
      }
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
  }

  // Array insert of (id, c) through binds.
  sword insert_binds(const std::vector<std::string>& values) {
    OCIStmt* stmt = prepare("INSERT INTO codes (id, c) VALUES (:i, :c)");
    std::vector<int> ids;
    std::vector<char> texts(values.size() * 8);
    std::vector<ub2> lengths;
    for (size_t k = 0; k < values.size(); ++k) {
      ids.push_back(100 + static_cast<int>(k));
      values[k].copy(&texts[k * 8], 8);
      lengths.push_back(static_cast<ub2>(values[k].size()));
    }
    OCIBind* bind = nullptr;
    OCIBindByName(stmt, &bind, err, text(":i"), 2, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0,
                  nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &bind, err, text(":c"), 2, texts.data(), 8, SQLT_CHR, nullptr, lengths.data(), nullptr, 0,
                  nullptr, OCI_DEFAULT);
    sword rc = OCIStmtExecute(svc, stmt, err, static_cast<ub4>(values.size()), 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }
};

TEST_F(CharPaddingTest, every_write_stores_the_value_padded_to_the_declared_size) {
  must_run("INSERT INTO codes (id, c, n, v) VALUES (1, 'ab', '\xC3\xA9', 'ab')");
  must_run("INSERT INTO codes (id, c) SELECT 2, 'k' FROM dual");
  ASSERT_EQ(OCI_SUCCESS, insert_binds({"x", "yz"})) << last_error();
  must_run("UPDATE codes SET v = c WHERE id = 1");
  must_run("INSERT INTO codes (id, c) VALUES (3, 'q')");
  must_run("UPDATE codes SET c = (SELECT 'w' FROM dual) WHERE id = 3");
  must_run("BEGIN INSERT INTO codes (id, c) VALUES (4, 'p'); UPDATE codes SET n = 'o' WHERE id = 4; END;");
  EXPECT_EQ("1[ab   ][\xC3\xA9  ][ab   ][z   ],2[k    ][][][z   ],3[w    ][][][z   ],4[p    ][o  ][][z   ],"
            "100[x    ][][][z   ],101[yz   ][][][z   ]",
            rows("SELECT id || '[' || c || '][' || n || '][' || v || '][' || d || ']' FROM codes ORDER BY id"));
  EXPECT_EQ("5", single_text("SELECT length(c) FROM codes WHERE id = 1"));

  // Too long stays too long: padding never truncates.
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO codes (id, c) VALUES (9, 'abcdef')"));
  EXPECT_EQ(12899, last_code());
  EXPECT_EQ(OCI_ERROR, run("UPDATE codes SET n = 'abcd' WHERE id = 1"));
  EXPECT_EQ(12899, last_code());
}

TEST_F(CharPaddingTest, comparisons_with_text_are_blank_padded) {
  must_run("INSERT INTO codes (id, c, v) VALUES (1, 'ab', 'ab')");
  must_run("INSERT INTO codes (id, c, v) VALUES (2, 'ab c', 'ab c')");
  EXPECT_EQ("1", rows("SELECT id FROM codes WHERE c = 'ab'"));
  EXPECT_EQ("1", rows("SELECT id FROM codes WHERE 'ab ' = c"));
  EXPECT_EQ("2", rows("SELECT id FROM codes WHERE c IN ('x', 'ab c')"));
  EXPECT_EQ("2", rows("SELECT id FROM codes WHERE c > 'ab'"));
  // VARCHAR2 keeps non-padded comparison.
  EXPECT_EQ("", rows("SELECT id FROM codes WHERE v = 'ab '"));
  EXPECT_EQ("1", rows("SELECT id FROM codes WHERE c LIKE 'ab   '"));
}

TEST_F(CharPaddingTest, describe_reports_char_with_its_size) {
  OCIStmt* stmt = prepare("SELECT c, n FROM codes");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
  for (ub4 position : {1u, 2u}) {
    void* param = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, position));
    ub2 type = 0, size = 0;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_CHAR_SIZE, err);
    EXPECT_EQ(96, type);
    EXPECT_EQ(position == 1 ? 5 : 3, size);
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(CharPaddingTest, string_literals_describe_as_char_of_their_bytes) {
  // A literal and a concatenation of literals are CHAR; a number or a VARCHAR2 makes VARCHAR2.
  EXPECT_EQ((std::vector<std::string>{"96:3:3", "96:3:3", "96:2:2", "1:4000:4000", "1:4000:4000"}),
            described("SELECT 'abc', 'a' || 'bc', '\xc3\xa4', 'a' || 1, 'a' || v FROM codes"));
  EXPECT_EQ("abc|", single_text("SELECT 'abc' || '|' FROM dual"));
  // Parts of a compound query may be longer than the first part's literal: nothing is cut.
  EXPECT_EQ((std::vector<std::string>{"a", "bcd"}),
            column_texts("SELECT 'a' FROM dual UNION ALL SELECT 'bcd' FROM dual"));
}

TEST_F(CharPaddingTest, triggers_see_and_store_padded_values) {
  must_run("CREATE TABLE seen (what VARCHAR2(40))");
  must_run("create trigger codes_b before insert or update on codes for each row begin\n"
           "  if :new.id = 7 then :new.c := 'set'; end if;\n"
           "  insert into seen values ('before [' || :new.c || ']');\nend;");
  must_run("create trigger codes_a after insert or update on codes for each row begin\n"
           "  insert into seen values ('after [' || :new.c || '] old [' || :old.c || ']');\nend;");
  must_run("INSERT INTO codes (id, c) VALUES (6, 'a')");
  must_run("INSERT INTO codes (id, c) VALUES (7, 'b')");
  must_run("UPDATE codes SET c = 'up' WHERE id = 6");
  EXPECT_EQ("6[up   ],7[set  ]", rows("SELECT id || '[' || c || ']' FROM codes ORDER BY id"));
  EXPECT_EQ("after [a    ] old [],after [set  ] old [],after [up   ] old [a    ],before [a    ],before [set  ],"
            "before [up   ]",
            rows("SELECT what FROM seen ORDER BY what"));
}

TEST_F(CharPaddingTest, plsql_char_variables_pad_and_refuse_too_long_values) {
  must_run("CREATE TABLE block_out (what VARCHAR2(20))");
  must_run("DECLARE x CHAR(4) := 'a'; y CHAR := 'b'; BEGIN INSERT INTO block_out VALUES ('[' || x || '][' || y || ']'); "
           "x := 'cd'; INSERT INTO block_out VALUES ('[' || x || ']'); END;");
  EXPECT_EQ("[a   ][b],[cd  ]", rows("SELECT what FROM block_out ORDER BY what"));
  EXPECT_EQ(OCI_ERROR, run("DECLARE x CHAR(2); BEGIN x := 'abc'; END;"));
  EXPECT_EQ(6502, last_code());
}

class RowAssignmentTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE acct (id NUMBER PRIMARY KEY, owner VARCHAR2(10), amount NUMBER, code CHAR(3))");
    must_run("CREATE TABLE src (id NUMBER, owner VARCHAR2(10), amount NUMBER)");
    must_run("CREATE TABLE audit_log (what VARCHAR2(60))");
    must_run("INSERT INTO acct VALUES (1, 'ann', 10, 'a')");
    must_run("INSERT INTO acct VALUES (2, 'bob', 20, 'b')");
    must_run("INSERT INTO acct VALUES (3, 'cy', 30, 'c')");
    must_run("INSERT INTO src VALUES (1, 'ANN', 11)");
    must_run("INSERT INTO src VALUES (2, 'BOB', 21)");
    must_run("COMMIT");
  }
  std::string rows(const std::string& sql) {
    std::string out;
    for (const auto& row : column_texts(sql)) out += (out.empty() ? "" : ",") + row;
    return out;
  }
};

TEST_F(RowAssignmentTest, set_of_columns_from_a_correlated_row_fires_row_triggers) {
  must_run("create trigger acct_u before update on acct for each row begin\n"
           "  insert into audit_log values (:old.id || ' ' || :old.owner || '->' || :new.owner || ' ' || :old.amount "
           "|| '->' || :new.amount || ' [' || :new.code || ']');\n"
           "  if :new.amount > 100 then raise_application_error(-20001, 'too much'); end if;\nend;");
  must_run("UPDATE acct a SET (owner, amount) = (SELECT s.owner, s.amount FROM src s WHERE s.id = a.id), code = 'x' "
           "WHERE a.id <= 3");
  EXPECT_EQ("1 ANN 11 x  ,2 BOB 21 x  ,3   x  ", rows("SELECT id || ' ' || owner || ' ' || amount || ' ' || code FROM acct ORDER BY id"));
  EXPECT_EQ("1 ann->ANN 10->11 [x  ],2 bob->BOB 20->21 [x  ],3 cy-> 30-> [x  ]",
            rows("SELECT what FROM audit_log ORDER BY what"));

  // A failing row undoes the whole statement.
  must_run("UPDATE src SET amount = 500 WHERE id = 2");
  EXPECT_EQ(OCI_ERROR, run("UPDATE acct a SET (owner, amount) = (SELECT s.owner, s.amount FROM src s WHERE s.id = a.id) "
                           "WHERE a.id IN (1, 2)"));
  EXPECT_EQ(20001, last_code());
  EXPECT_EQ("1 11,2 21,3 ", rows("SELECT id || ' ' || amount FROM acct ORDER BY id"));
}

TEST_F(RowAssignmentTest, set_of_columns_pads_char_columns_without_triggers) {
  must_run("CREATE TABLE pairs (id NUMBER, a CHAR(4), b VARCHAR2(4))");
  must_run("INSERT INTO pairs VALUES (1, 'x', 'x')");
  must_run("UPDATE pairs p SET (a, b) = (SELECT 'yz', 'yz' FROM dual WHERE p.id = 1)");
  EXPECT_EQ("[yz  ][yz]", rows("SELECT '[' || a || '][' || b || ']' FROM pairs"));
  // Without CHAR targets or triggers SQLite's row assignment does the work.
  must_run("UPDATE acct a SET (owner, amount) = (SELECT s.owner, s.amount FROM src s WHERE s.id = a.id) WHERE a.id = 1");
  EXPECT_EQ("ANN 11", single_text("SELECT owner || ' ' || amount FROM acct WHERE id = 1"));
}

}  // namespace
}  // namespace ociemu::testing
