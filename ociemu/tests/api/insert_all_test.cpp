// INSERT ALL through the call interface: every INTO clause takes the binds, row by row of an
// array execute, and the row count is that of all the tables.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class InsertAllTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE a (id NUMBER, v VARCHAR2(10))");
    must_run("CREATE TABLE b (id NUMBER, v VARCHAR2(10))");
  }

  std::vector<std::string> rows(const std::string& table) {
    return column_texts("SELECT id || ':' || v FROM " + table + " ORDER BY id, v");
  }

  // Executes with :1 an array of numbers and :2 of texts, bound by position; returns the row count.
  ub4 execute_bound(const std::string& sql, std::vector<int> ids, std::vector<std::string> texts) {
    OCIStmt* stmt = prepare(sql);
    char buffer[4][10] = {};
    ub2 lengths[4] = {};
    for (size_t k = 0; k < texts.size(); ++k) {
      texts[k].copy(buffer[k], sizeof buffer[k]);
      lengths[k] = static_cast<ub2>(texts[k].size());
    }
    OCIBind* first = nullptr;
    OCIBind* second = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &first, err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr,
                                        nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &second, err, 2, buffer, sizeof buffer[0], SQLT_CHR, nullptr, lengths,
                                        nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, static_cast<ub4>(ids.size()), 0, nullptr, nullptr, OCI_DEFAULT))
        << last_error();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return count;
  }
};

TEST_F(InsertAllTest, every_into_clause_takes_each_rows_binds) {
  EXPECT_EQ(6u, execute_bound("INSERT ALL INTO a VALUES (:1, :2) INTO b (id, v) VALUES (:1 * 10, upper(:2)) "
                              "INTO a (v, id) VALUES ('copy', :1) SELECT * FROM dual",
                              {1, 2}, {"x", "y"}));
  EXPECT_EQ((std::vector<std::string>{"1:copy", "1:x", "2:copy", "2:y"}), rows("a"));
  EXPECT_EQ((std::vector<std::string>{"10:X", "20:Y"}), rows("b"));
}

TEST_F(InsertAllTest, leaves_no_rowid_behind_as_its_rows_are_in_several_tables) {
  OCIStmt* stmt = prepare("INSERT ALL INTO a VALUES (1, 'x') INTO b VALUES (2, 'y') SELECT * FROM dual");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ("", rowid_after_dml(stmt));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(InsertAllTest, conditions_and_a_bound_subquery_source) {
  // :1 filters the source, :2 is in a value of the second clause only.
  EXPECT_EQ(5u, execute_bound("INSERT FIRST WHEN sal > 2990 THEN INTO a VALUES (empno, ename) "
                              "ELSE INTO b VALUES (empno, :2) SELECT empno, ename, sal FROM emp WHERE deptno = :1",
                              {20}, {"low"}));
  EXPECT_EQ((std::vector<std::string>{"7788:SCOTT", "7902:FORD"}), rows("a"));
  EXPECT_EQ((std::vector<std::string>{"7369:low", "7566:low", "7876:low"}), rows("b"));
}

}  // namespace
}  // namespace ociemu::testing
