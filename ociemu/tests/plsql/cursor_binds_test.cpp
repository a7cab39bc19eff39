// Cursor variables handed back by blocks: OPEN :c FOR into an OCI8 statement
// handle bound as SQLT_RSET and into an OCI7 cursor data area bound as type 102.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class CursorBindTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TABLE STAFF (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20), DEPT NUMBER(4), PAY NUMBER(9,2))");
    must_run("INSERT INTO STAFF VALUES (1, 'ADAMS', 10, 1100)");
    must_run("INSERT INTO STAFF VALUES (2, 'BLAKE', 20, 2850)");
    must_run("INSERT INTO STAFF VALUES (3, 'CLARK', 10, 2450.5)");
    must_run("INSERT INTO STAFF VALUES (4, 'DAVIS', 10, NULL)");
    must_run("COMMIT");
  }

  // Runs `block` with :dept bound to `dept` and :c to `cursor` (SQLT_RSET).
  sword open_into(OCIStmt* cursor, const std::string& block, long long dept = 10) {
    OCIStmt* stmt = prepare(block);
    OCIBind* dept_bind = nullptr;
    OCIBind* cursor_bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &dept_bind, err, text(":dept"), 5, &dept, sizeof dept, SQLT_INT, nullptr,
                                         nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &cursor_bind, err, text(":c"), 2, &cursor, 0, SQLT_RSET, nullptr,
                                         nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }

  OCIStmt* new_statement() {
    OCIStmt* stmt = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
    return stmt;
  }

  // "NAME:PAY" of each row the cursor yields, PAY "<null>" when NULL.
  std::vector<std::string> rows_of(OCIStmt* cursor) {
    char name[21] = {0}, pay[41] = {0};
    sb2 name_null = 0, pay_null = 0;
    OCIDefine* first = nullptr;
    OCIDefine* second = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &first, err, 1, name, sizeof name, SQLT_STR, &name_null, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &second, err, 2, pay, sizeof pay, SQLT_STR, &pay_null, nullptr,
                                          nullptr, OCI_DEFAULT));
    std::vector<std::string> rows;
    sword rc;
    while ((rc = OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) == OCI_SUCCESS) {
      rows.push_back(std::string(name) + ":" + (pay_null == -1 ? "<null>" : pay));
    }
    EXPECT_EQ(OCI_NO_DATA, rc) << last_error();
    return rows;
  }
};

TEST_F(CursorBindTest, a_statement_handle_fetches_the_rows_the_block_opened_with_its_binds) {
  OCIStmt* cursor = new_statement();
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, R"(
declare
  floor_pay number := 1000;
begin
  open :c for select name, pay from staff where dept = :dept and (pay > floor_pay or pay is null) order by name;
end;)")) << last_error();
  ub2 type = 0;
  ub4 columns = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(cursor, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err));
  EXPECT_EQ(OCI_STMT_SELECT, type);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(cursor, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err));
  EXPECT_EQ(2u, columns);
  void* param = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIParamGet(cursor, OCI_HTYPE_STMT, err, &param, 2));
  ub2 data_type = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(param, OCI_DTYPE_PARAM, &data_type, nullptr, OCI_ATTR_DATA_TYPE, err));
  EXPECT_EQ(SQLT_NUM, data_type);
  EXPECT_EQ((std::vector<std::string>{"ADAMS:1100", "CLARK:2450.5", "DAVIS:<null>"}), rows_of(cursor));
  ub4 fetched = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(cursor, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROW_COUNT, err));
  EXPECT_EQ(3u, fetched);
  OCIHandleFree(cursor, OCI_HTYPE_STMT);
}

TEST_F(CursorBindTest, reopening_into_the_same_handle_replaces_its_rows_and_execute_only_fetches) {
  OCIStmt* cursor = new_statement();
  const std::string block = "begin open :c for select name, pay from staff where dept = :dept order by id; end;";
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, block, 20)) << last_error();
  EXPECT_EQ((std::vector<std::string>{"BLAKE:2850"}), rows_of(cursor));
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, block, 10)) << last_error();
  // A client executing the handle it received (iters 0) must not lose the rows.
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ((std::vector<std::string>{"ADAMS:1100", "CLARK:2450.5", "DAVIS:<null>"}), rows_of(cursor));
  OCIHandleFree(cursor, OCI_HTYPE_STMT);
}

TEST_F(CursorBindTest, rows_are_those_committed_when_the_cursor_opened_and_a_prepare_makes_it_a_plain_statement) {
  OCIStmt* cursor = new_statement();
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, "begin open :c for select name, pay from staff where dept = :dept order by id; "
                                           "delete from staff where dept = :dept; end;"))
      << last_error();
  EXPECT_EQ(3u, rows_of(cursor).size());
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM STAFF WHERE DEPT = 10"));
  const std::string query = "SELECT NAME, PAY FROM STAFF ORDER BY ID";
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare(cursor, err, text(query), len(query), OCI_NTV_SYNTAX, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ((std::vector<std::string>{"BLAKE:2850"}), rows_of(cursor));
  OCIHandleFree(cursor, OCI_HTYPE_STMT);
}

TEST_F(CursorBindTest, a_cursor_bind_that_is_no_statement_handle_fails_the_block) {
  OCIStmt* cursor = new_statement();
  OCIHandleFree(cursor, OCI_HTYPE_STMT);  // stale now
  EXPECT_EQ(OCI_ERROR, open_into(cursor, "begin open :c for select name, pay from staff where dept = :dept; end;"));
  EXPECT_EQ(1001, last_code()) << last_error();

  OCIStmt* stmt = prepare("begin open :c for select name from staff; end;");
  long long number = 0;
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":c"), 2, &number, sizeof number, SQLT_INT, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(932, last_code()) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  // A cursor bind outside OPEN ... FOR is a compile error, not a silent no-op.
  EXPECT_NE("", failure("begin open :c; end;"));
  // Nor may a local cursor variable open without its query.
  EXPECT_NE(std::string::npos, failure("declare c sys_refcursor; begin open c; end;").find("PLS-00382"));
}

TEST_F(CursorBindTest, a_failing_query_leaves_the_cursor_closed_and_reports_the_error) {
  OCIStmt* cursor = new_statement();
  EXPECT_EQ(OCI_ERROR, open_into(cursor, "begin open :c for select name, 1 / (pay - pay) from staff "
                                         "where dept = :dept and to_number(name) > 0; end;"));
  EXPECT_EQ(1722, last_code()) << last_error();
  OCIDefine* define = nullptr;
  char name[21];
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
                                        nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  OCIHandleFree(cursor, OCI_HTYPE_STMT);
}

// The version 7 interface: the block's cursor variable is a second cursor data area.
TEST_F(CursorBindTest, an_oci7_cursor_area_bound_as_type_102_fetches_with_ofen) {
  Lda_Def lda{};
  ub1 hda[512] = {};
  Cda_Def block{}, rows{};
  std::string uid = "scott/tiger@" + database;
  ASSERT_EQ(0, orlon(&lda, hda, reinterpret_cast<OraText*>(uid.data()), -1, nullptr, -1, 0)) << lda.rc;
  ASSERT_EQ(0, oopen(&block, &lda, nullptr, -1, -1, nullptr, -1));
  ASSERT_EQ(0, oopen(&rows, &lda, nullptr, -1, -1, nullptr, -1));
  std::string text = "begin open :c for select name, id from staff where dept = :d order by name desc; end;";
  ASSERT_EQ(0, oparse(&block, reinterpret_cast<OraText*>(text.data()), -1, 0, 2)) << block.rc;
  sword dept = 10;
  ASSERT_EQ(0, obndra(&block, reinterpret_cast<OraText*>(const_cast<char*>(":d")), -1, reinterpret_cast<ub1*>(&dept),
                      sizeof dept, SQLT_INT, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1));
  ASSERT_EQ(0, obndra(&block, reinterpret_cast<OraText*>(const_cast<char*>(":c")), -1, reinterpret_cast<ub1*>(&rows),
                      -1, SQLT_CUR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1));
  ASSERT_EQ(0, oexec(&block)) << block.rc;
  char names[3][21] = {};
  sword ids[3] = {};
  ASSERT_EQ(0, odefin(&rows, 1, reinterpret_cast<ub1*>(names), sizeof names[0], SQLT_STR, -1, nullptr, nullptr, -1, -1,
                      nullptr, nullptr));
  ASSERT_EQ(0, odefin(&rows, 2, reinterpret_cast<ub1*>(ids), sizeof ids[0], SQLT_INT, -1, nullptr, nullptr, -1, -1,
                      nullptr, nullptr));
  EXPECT_EQ(0, ofen(&rows, 3)) << rows.rc;
  EXPECT_EQ(3u, rows.rpc);
  EXPECT_STREQ("DAVIS", names[0]);
  EXPECT_STREQ("ADAMS", names[2]);
  EXPECT_EQ(4, ids[0]);
  EXPECT_EQ(1403, ofen(&rows, 3));
  oclose(&rows);
  oclose(&block);
  ologof(&lda);
}

TEST_F(CursorBindTest, a_stored_procedure_opens_a_cursor_parameter_for_the_bind_it_is_given) {
  must_run("create or replace procedure open_staff(p_dept number, p_rows out sys_refcursor) is begin "
           "open p_rows for select name, pay from staff where dept = p_dept order by id; end;");
  OCIStmt* cursor = new_statement();
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, "begin open_staff(:dept, :c); end;")) << last_error();
  EXPECT_EQ(std::vector<std::string>({"ADAMS:1100", "CLARK:2450.5", "DAVIS:<null>"}), rows_of(cursor));
  // A local cursor variable takes it too, and passes it on to another procedure that fetches from it.
  must_run("create or replace procedure first_name(p_rows in sys_refcursor, p_name out varchar2) is begin "
           "fetch p_rows into p_name, p_name; end;");
  EXPECT_EQ("2850:1", result_text("declare c sys_refcursor; n varchar2(20); begin open_staff(20, c); "
                                  "first_name(c, n); :r := n || ':' || c%rowcount; close c; end;"));
}

TEST_F(CursorBindTest, a_local_cursor_variable_is_assigned_to_a_bind_with_its_remaining_rows) {
  OCIStmt* cursor = new_statement();
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, R"(declare
  type staff_cursor is ref cursor return staff%rowtype;
  mine staff_cursor;
  skipped staff%rowtype;
begin
  open mine for select * from staff where dept = :dept order by id;
  fetch mine into skipped;
  :c := mine;
end;)")) << last_error();
  char name[21] = {0};
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 2, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  std::vector<std::string> names;
  while (OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) names.push_back(name);
  EXPECT_EQ(std::vector<std::string>({"CLARK", "DAVIS"}), names);
  // A cursor variable that was never opened is handed over as no open cursor: the block
  // runs, and only fetching from the handle fails.
  EXPECT_EQ(OCI_SUCCESS, open_into(cursor, "declare c sys_refcursor; d number := :dept; begin :c := c; end;"))
      << last_error();
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(24338, last_code());
  ub4 columns = 0;
  EXPECT_EQ(OCI_ERROR, OCIAttrGet(cursor, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err));
  EXPECT_EQ(24338, last_code()) << "a query never executed has no columns to tell";
  ASSERT_EQ(OCI_SUCCESS, open_into(cursor, R"(declare c sys_refcursor; d number := :dept;
begin open c for select * from staff where dept = d; :c := c; end;)")) << last_error();
  EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(cursor, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err));
}

}  // namespace
}  // namespace ociemu::testing

namespace ociemu::testing {
namespace {

class ImplicitResultTest : public CursorBindTest {};

TEST_F(ImplicitResultTest, returned_cursors_come_back_in_order_from_get_next_result) {
  OCIStmt* stmt = prepare(R"(
declare
  c1 sys_refcursor;
  c2 sys_refcursor;
begin
  open c1 for select name, pay from staff where dept = 20;
  dbms_sql.return_result(c1);
  open c2 for select name, pay from staff where dept = 10 order by id;
  dbms_sql.return_result(c2, true);
end;)");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ub4 count = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_IMPLICIT_RESULT_COUNT, err));
  EXPECT_EQ(2u, count);
  std::vector<std::vector<std::string>> results;
  void* result = nullptr;
  ub4 type = 0;
  while (OCIStmtGetNextResult(stmt, err, &result, &type, OCI_DEFAULT) == OCI_SUCCESS) {
    EXPECT_EQ(static_cast<ub4>(OCI_RESULT_TYPE_SELECT), type);
    results.push_back(rows_of(static_cast<OCIStmt*>(result)));
  }
  EXPECT_EQ((std::vector<std::vector<std::string>>{{"BLAKE:2850"}, {"ADAMS:1100", "CLARK:2450.5", "DAVIS:<null>"}}),
            results);
  EXPECT_EQ(OCI_NO_DATA, OCIStmtGetNextResult(stmt, err, &result, &type, OCI_DEFAULT));
  // A new execution replaces the results; a closed cursor cannot be returned.
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIStmtGetNextResult(stmt, err, &result, &type, OCI_DEFAULT));
  EXPECT_EQ((std::vector<std::string>{"BLAKE:2850"}), rows_of(static_cast<OCIStmt*>(result)));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_NE(std::string::npos,
            failure("declare c sys_refcursor; begin dbms_sql.return_result(c); end;").find("ORA-01001"));
}

}  // namespace
}  // namespace ociemu::testing
