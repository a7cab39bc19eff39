// CURSOR(select ...) columns: described as SQLT_RSET, defined with one
// application statement handle per row, each then fetching its row's sub-query.
#include <string>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class CursorColumnTest : public OciTest {
 protected:
  void TearDown() override {
    for (OCIStmt* child : children_) OCIHandleFree(child, OCI_HTYPE_STMT);
    OciTest::TearDown();
  }

  OCIStmt* new_child() {
    OCIStmt* stmt = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
    children_.push_back(stmt);
    return stmt;
  }

  ub2 column_type(OCIStmt* stmt, ub4 position) {
    OCIParam* param = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), position))
        << last_error();
    ub2 type = 0;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
    return type;
  }

  std::string column_name(OCIStmt* stmt, ub4 position) {
    OCIParam* param = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), position));
    OraText* name = nullptr;
    ub4 size = 0;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_NAME, err);
    return std::string(reinterpret_cast<char*>(name), size);
  }

  // Every row the handle yields, its columns as text joined by '|'.
  std::vector<std::string> rows_of(OCIStmt* cursor, ub4 columns) {
    std::vector<std::vector<char>> values(columns, std::vector<char>(101));
    std::vector<sb2> nulls(columns);
    for (ub4 i = 0; i < columns; ++i) {
      OCIDefine* define = nullptr;
      EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, i + 1, values[i].data(), 101, SQLT_STR, &nulls[i],
                                            nullptr, nullptr, OCI_DEFAULT))
          << last_error();
    }
    std::vector<std::string> rows;
    sword rc;
    while ((rc = OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) == OCI_SUCCESS) {
      std::string row;
      for (ub4 i = 0; i < columns; ++i) row += (i ? "|" : "") + std::string(nulls[i] == -1 ? "<null>" : values[i].data());
      rows.push_back(row);
    }
    EXPECT_EQ(OCI_NO_DATA, rc) << last_error();
    return rows;
  }

  OCIStmt* execute(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return stmt;
  }

  // Defines column `position` as SQLT_RSET over handles[0..n).
  sword define_cursors(OCIStmt* stmt, ub4 position, OCIStmt** handles, sb2* nulls) {
    OCIDefine* define = nullptr;
    return OCIDefineByPos(stmt, &define, err, position, handles, sizeof(OCIStmt*), SQLT_RSET, nulls, nullptr, nullptr,
                          OCI_DEFAULT);
  }

  std::vector<OCIStmt*> children_;
};

constexpr const char* kDepartments =
    "select d.deptno, cursor(select ename from emp e where e.deptno = d.deptno order by ename) staff "
    "from dept d order by d.deptno";

TEST_F(CursorColumnTest, a_correlated_cursor_column_gives_each_outer_row_its_own_rows) {
  OCIStmt* stmt = execute(kDepartments);
  EXPECT_EQ(SQLT_RSET, column_type(stmt, 2));
  EXPECT_EQ("STAFF", column_name(stmt, 2));
  int deptno[2] = {0, 0};
  OCIDefine* first = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &first, err, 1, deptno, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  OCIStmt* handles[2] = {new_child(), new_child()};
  sb2 nulls[2] = {-1, -1};
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 2, handles, nulls)) << last_error();

  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(10, deptno[0]);
  EXPECT_EQ(20, deptno[1]);
  EXPECT_EQ(0, nulls[0]);
  EXPECT_EQ(SQLT_CHR, column_type(handles[0], 1));
  EXPECT_EQ("ENAME", column_name(handles[0], 1));
  EXPECT_EQ((std::vector<std::string>{"CLARK", "KING", "MILLER"}), rows_of(handles[0], 1));
  EXPECT_EQ((std::vector<std::string>{"ADAMS", "FORD", "JONES", "SCOTT", "SMITH"}), rows_of(handles[1], 1));

  // The next array replaces both handles' cursors; department 40 has nobody.
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(30, deptno[0]);
  EXPECT_EQ(40, deptno[1]);
  EXPECT_EQ(6u, rows_of(handles[0], 1).size());
  EXPECT_TRUE(rows_of(handles[1], 1).empty());
  EXPECT_EQ(OCI_NO_DATA, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(CursorColumnTest, the_rows_keep_their_types_and_outlive_the_outer_statement) {
  must_run("create table notes (id number(4), body varchar2(20), taken date, code raw(4), price number(7,2))");
  must_run("insert into notes values (1, 'first', to_date('2024-02-29 13:45:00', 'YYYY-MM-DD HH24:MI:SS'), "
           "hextoraw('0A0B'), 12.5)");
  must_run("insert into notes values (2, null, null, null, -0.25)");
  OCIStmt* stmt = execute(
      "select cursor(select id, body, taken, code, price, price * 2 twice, upper(body) from notes order by id) "
      "from dual");
  OCIStmt* child = new_child();
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 1, &child, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);  // the child's rows stay with the child

  EXPECT_EQ(SQLT_NUM, column_type(child, 1));
  EXPECT_EQ(SQLT_DAT, column_type(child, 3));
  EXPECT_EQ(SQLT_BIN, column_type(child, 4));
  EXPECT_EQ("TWICE", column_name(child, 6));
  EXPECT_EQ("UPPER(BODY)", column_name(child, 7));
  OCIDefine* define = nullptr;
  OCIDate taken;
  sb2 taken_null = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(child, &define, err, 3, &taken, sizeof taken, SQLT_ODT, &taken_null, nullptr,
                                        nullptr, OCI_DEFAULT));
  char code[9] = {0};
  sb2 code_null = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(child, &define, err, 4, code, sizeof code, SQLT_STR, &code_null, nullptr,
                                        nullptr, OCI_DEFAULT));
  double twice = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(child, &define, err, 6, &twice, sizeof twice, SQLT_FLT, nullptr, nullptr,
                                        nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(child, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(2024, taken.OCIDateYYYY);
  EXPECT_EQ(29, taken.OCIDateDD);
  EXPECT_EQ(13, taken.OCIDateTime.OCITimeHH);
  EXPECT_STREQ("0A0B", code);
  EXPECT_DOUBLE_EQ(25.0, twice);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(child, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(-1, taken_null);
  EXPECT_EQ(-1, code_null);
  EXPECT_DOUBLE_EQ(-0.5, twice);
  EXPECT_EQ(OCI_NO_DATA, OCIStmtFetch2(child, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
}

TEST_F(CursorColumnTest, cursors_nest_and_star_items_name_every_column) {
  OCIStmt* stmt = execute(
      "select d.dname, cursor(select e.ename, cursor(select s.grade from salgrade s "
      "where e.sal between s.losal and s.hisal) grades from emp e where e.deptno = d.deptno and e.job = 'PRESIDENT') "
      "from dept d where d.deptno = 10");
  OCIStmt* child = new_child();
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 2, &child, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(SQLT_RSET, column_type(child, 2));
  EXPECT_EQ("GRADES", column_name(child, 2));
  char name[21] = {0};
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(child, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  OCIStmt* grandchild = new_child();
  ASSERT_EQ(OCI_SUCCESS, define_cursors(child, 2, &grandchild, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(child, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("KING", name);
  EXPECT_EQ((std::vector<std::string>{"5"}), rows_of(grandchild, 1));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  stmt = execute("select cursor(select * from dept where deptno = 20) from dual");
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 1, &child, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ("LOC", column_name(child, 3));
  EXPECT_EQ((std::vector<std::string>{"20|RESEARCH|DALLAS"}), rows_of(child, 3));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(CursorColumnTest, mismatched_defines_fail_with_oracles_errors) {
  OCIStmt* stmt = execute(kDepartments);
  char text[100];
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 2, text, sizeof text, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ("ORA-00932: inconsistent datatypes: expected CHAR got CURSER\n", last_error());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  stmt = execute(kDepartments);
  OCIStmt* child = new_child();
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 1, &child, nullptr));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(932, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  stmt = execute(kDepartments);
  OCIStmt* none = nullptr;
  ASSERT_EQ(OCI_SUCCESS, define_cursors(stmt, 2, &none, nullptr));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(1001, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace ociemu::testing
