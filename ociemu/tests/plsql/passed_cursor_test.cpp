// Cursors the client passes in: a statement handle executed as a query and
// bound as SQLT_RSET, read by the block or by the procedure it is given to.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class PassedCursorTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TABLE STAFF (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20), DEPT NUMBER(4), HIRED DATE)");
    must_run("INSERT INTO STAFF VALUES (1, 'ADAMS', 10, DATE '2001-02-03')");
    must_run("INSERT INTO STAFF VALUES (2, 'BLAKE', 20, NULL)");
    must_run("INSERT INTO STAFF VALUES (3, 'CLARK', 10, DATE '2003-04-05')");
    must_run("INSERT INTO STAFF VALUES (4, 'DAVIS', 10, NULL)");
    must_run("COMMIT");
    must_run(R"(create or replace procedure read_names(p_rows in sys_refcursor, p_names out varchar2) is
  n varchar2(20);
begin
  loop
    fetch p_rows into n;
    exit when p_rows%notfound;
    p_names := p_names || n || ',';
  end loop;
  p_names := p_names || p_rows%rowcount;
end;)");
  }
  void TearDown() override {
    if (cursor_) OCIHandleFree(cursor_, OCI_HTYPE_STMT);
    PlsqlTest::TearDown();
  }

  // The handle the tests pass: the query executed, no row fetched yet.
  OCIStmt* open_query(const std::string& query = "SELECT NAME FROM STAFF WHERE DEPT = 10 ORDER BY ID") {
    cursor_ = prepare(query);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor_, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return cursor_;
  }

  // Runs `block` with :c bound to `cursor` (as `type`) and gives what it left in :r ("" without one), or the error.
  std::string run_with(OCIStmt*& cursor, const std::string& block, ub2 type = SQLT_RSET) {
    OCIStmt* stmt = prepare(block);
    char result[401] = {0};
    sb2 result_null = 0;
    ub2 result_length = 0;
    OCIBind* binds[2] = {};
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":c"), 2, &cursor, type == SQLT_RSET ? 0 : sizeof cursor, type, nullptr, nullptr,
                                         nullptr, 0, nullptr, OCI_DEFAULT));
    if (block.find(":r") != std::string::npos) {
      EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":r"), 2, result, sizeof result - 1, SQLT_CHR,
                                           &result_null, &result_length, nullptr, 0, nullptr, OCI_DEFAULT));
    }
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    std::string out = rc != OCI_SUCCESS ? "error: " + last_error()
                      : result_null == -1 ? "<null>"
                                          : std::string(result, result_length);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
  }

  // The names the client still fetches from the handle (up to `limit` of them).
  std::vector<std::string> client_rows_up_to(OCIStmt* cursor, size_t limit) {
    char name[21] = {0};
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
                                          nullptr, OCI_DEFAULT));
    std::vector<std::string> rows;
    while (rows.size() < limit && OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) {
      rows.push_back(name);
    }
    return rows;
  }
  std::vector<std::string> client_rows(OCIStmt* cursor) { return client_rows_up_to(cursor, SIZE_MAX); }

  OCIStmt* cursor_ = nullptr;
};

TEST_F(PassedCursorTest, a_block_fetches_the_rows_left_with_the_attributes_and_closes_the_cursor) {
  OCIStmt* cursor = open_query("SELECT NAME, HIRED FROM STAFF WHERE DEPT = 10 ORDER BY ID");
  // The client reads the first row itself; the block sees the rest and counts all three.
  char name[21] = {0};
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_STREQ("ADAMS", name);
  EXPECT_EQ("CLARK:2003-04-05,DAVIS:-,|3|FALSE", run_with(cursor, R"(
declare
  n varchar2(20);
  d date;
begin
  :r := '';
  loop
    fetch :c into n, d;
    exit when :c%notfound;
    :r := :r || n || ':' || nvl(to_char(d, 'YYYY-MM-DD'), '-') || ',';
  end loop;
  :r := :r || '|' || :c%rowcount;
  close :c;
  if :c%isopen then :r := :r || '|TRUE'; else :r := :r || '|FALSE'; end if;
end;)"));
  EXPECT_EQ(OCI_ERROR, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(1001, last_code()) << last_error();
}

TEST_F(PassedCursorTest, a_procedure_with_a_cursor_parameter_reads_it_and_the_client_keeps_what_is_left) {
  OCIStmt* cursor = open_query();
  EXPECT_EQ("ADAMS,CLARK,DAVIS,3", run_with(cursor, "begin read_names(:c, :r); end;"));
  // The client learns of the end from its own next fetch, as no data rather than an error.
  char name[21];
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(cursor, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  EXPECT_EQ(OCI_NO_DATA, OCIStmtFetch2(cursor, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  // A block's own cursor variable takes the passed cursor over; IN OUT reads one row and hands it back.
  must_run("create or replace procedure skip_one(p_rows in out sys_refcursor) is n varchar2(20); "
           "begin fetch p_rows into n; end;");
  cursor = open_query();
  EXPECT_EQ("CLARK", run_with(cursor, "declare c sys_refcursor := :c; n varchar2(20); begin "
                                      "skip_one(c); fetch c into n; :r := n; end;"));
  EXPECT_EQ(std::vector<std::string>{"DAVIS"}, client_rows(cursor));
  cursor = open_query();
  EXPECT_EQ("", run_with(cursor, "begin skip_one(:c); end;"));
  EXPECT_EQ((std::vector<std::string>{"CLARK", "DAVIS"}), client_rows(cursor));
}

TEST_F(PassedCursorTest, rows_the_client_prefetched_at_execute_are_past_the_cursor_the_procedure_reads) {
  must_run("create or replace procedure names_of(p_rows in sys_refcursor, p_names out varchar2) is "
           "n varchar2(20); begin loop fetch p_rows into n; exit when p_rows%notfound; "
           "p_names := p_names || n || ','; end loop; end;");
  auto open_with_prefetch = [&](ub4 rows) {
    cursor_ = prepare("SELECT NAME FROM STAFF WHERE DEPT = 10 ORDER BY ID");
    EXPECT_EQ(OCI_SUCCESS, OCIAttrSet(cursor_, OCI_HTYPE_STMT, &rows, sizeof rows, OCI_ATTR_PREFETCH_ROWS, err));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor_, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return cursor_;
  };
  OCIStmt* cursor = open_with_prefetch(0);
  EXPECT_EQ("ADAMS,CLARK,DAVIS,", run_with(cursor, "begin names_of(:c, :r); end;"));
  OCIHandleFree(cursor_, OCI_HTYPE_STMT);
  // The client still hands its prefetched rows to the application, and nothing after them.
  cursor = open_with_prefetch(2);
  EXPECT_EQ("DAVIS,", run_with(cursor, "begin names_of(:c, :r); end;"));
  EXPECT_EQ((std::vector<std::string>{"ADAMS", "CLARK"}), client_rows(cursor));
  OCIHandleFree(cursor_, OCI_HTYPE_STMT);
  // Rows the application fetched come out of the prefetched ones; beyond the end nothing is left.
  cursor = open_with_prefetch(2);
  EXPECT_EQ(std::vector<std::string>{"ADAMS"}, client_rows_up_to(cursor, 1));
  EXPECT_EQ("DAVIS,", run_with(cursor, "begin names_of(:c, :r); end;"));
  EXPECT_EQ(std::vector<std::string>{"CLARK"}, client_rows(cursor));
  OCIHandleFree(cursor_, OCI_HTYPE_STMT);
  cursor = open_with_prefetch(10);
  EXPECT_EQ("<null>", run_with(cursor, "begin names_of(:c, :r); end;"));
  EXPECT_EQ((std::vector<std::string>{"ADAMS", "CLARK", "DAVIS"}), client_rows(cursor));
}

TEST_F(PassedCursorTest, a_block_reading_one_row_past_the_prefetched_ones_leaves_the_rest_in_order) {
  must_run("create or replace procedure take_one(p_rows in sys_refcursor, p_name out varchar2) is "
           "begin fetch p_rows into p_name; end;");
  ub4 prefetch = 1;
  cursor_ = prepare("SELECT NAME FROM STAFF WHERE DEPT = 10 ORDER BY ID");
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(cursor_, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS, err));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, cursor_, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_EQ("CLARK", run_with(cursor_, "begin take_one(:c, :r); end;"));
  EXPECT_EQ((std::vector<std::string>{"ADAMS", "DAVIS"}), client_rows(cursor_));
}

TEST_F(PassedCursorTest, an_in_out_cursor_the_procedure_opens_anew_gives_the_client_the_new_rows) {
  must_run("create or replace procedure reopen(p_rows in out sys_refcursor) is "
           "begin close p_rows; open p_rows for select name from staff where dept = 20; end;");
  OCIStmt* cursor = open_query();
  EXPECT_EQ("", run_with(cursor, "begin reopen(:c); end;"));
  EXPECT_EQ(std::vector<std::string>{"BLAKE"}, client_rows(cursor));
}

TEST_F(PassedCursorTest, a_passed_cursor_handed_to_another_cursor_bind_moves_its_remaining_rows_there) {
  must_run("create or replace procedure hand_on(p_from in sys_refcursor, p_to out sys_refcursor) is "
           "n varchar2(20); begin fetch p_from into n; p_to := p_from; end;");
  OCIStmt* cursor = open_query();
  OCIStmt* other = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&other), OCI_HTYPE_STMT, 0, nullptr));
  OCIStmt* stmt = prepare("begin hand_on(:c, :d); end;");
  OCIBind* binds[2] = {};
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[0], err, text(":c"), 2, &cursor, 0, SQLT_RSET, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &binds[1], err, text(":d"), 2, &other, 0, SQLT_RSET, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"CLARK", "DAVIS"}), client_rows(other));
  OCIHandleFree(other, OCI_HTYPE_STMT);
}

TEST_F(PassedCursorTest, packages_take_cursor_parameters_in_and_out) {
  must_run(R"(create or replace package staff_cursors is
  procedure names(p_rows in sys_refcursor, p_names out varchar2);
  procedure open_dept(p_dept number, p_rows out sys_refcursor);
end;)");
  must_run(R"(create or replace package body staff_cursors is
  procedure names(p_rows in sys_refcursor, p_names out varchar2) is
  begin
    read_names(p_rows, p_names);
  end;
  procedure open_dept(p_dept number, p_rows out sys_refcursor) is
  begin
    open p_rows for select name from staff where dept = p_dept order by id desc;
  end;
end;)");
  OCIStmt* cursor = open_query();
  EXPECT_EQ("ADAMS,CLARK,DAVIS,3", run_with(cursor, "begin staff_cursors.names(:c, :r); end;"));
  EXPECT_EQ("", run_with(cursor, "begin staff_cursors.open_dept(10, :c); end;"));
  EXPECT_EQ((std::vector<std::string>{"DAVIS", "CLARK", "ADAMS"}), client_rows(cursor));
  EXPECT_EQ("BLAKE,1", result_text("declare c sys_refcursor; begin staff_cursors.open_dept(20, c); "
                                   "staff_cursors.names(c, :r); end;"));
}

TEST_F(PassedCursorTest, return_result_of_a_passed_cursor_gives_its_rows_left_as_an_implicit_result) {
  OCIStmt* cursor = open_query();
  OCIStmt* stmt = prepare("declare n varchar2(20); begin fetch :c into n; dbms_sql.return_result(:c); end;");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":c"), 2, &cursor, 0, SQLT_RSET, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  void* result = nullptr;
  ub4 type = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtGetNextResult(stmt, err, &result, &type, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(static_cast<ub4>(OCI_RESULT_TYPE_SELECT), type);
  char name[21] = {0};
  OCIDefine* define = nullptr;
  auto* rows = static_cast<OCIStmt*>(result);
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(rows, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  std::vector<std::string> names;
  while (OCIStmtFetch2(rows, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"CLARK", "DAVIS"}), names) << "the row the block read is gone";
  EXPECT_EQ(OCI_NO_DATA, OCIStmtGetNextResult(stmt, err, &result, &type, OCI_DEFAULT));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(PassedCursorTest, a_handle_without_an_open_query_or_a_bind_of_another_type_fails) {
  OCIStmt* unexecuted = prepare("SELECT NAME FROM STAFF");
  std::string error = run_with(unexecuted, "declare n varchar2(20); begin fetch :c into n; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-01001")) << error;
  OCIHandleFree(unexecuted, OCI_HTYPE_STMT);
  OCIStmt* freed = prepare("SELECT NAME FROM STAFF");
  OCIHandleFree(freed, OCI_HTYPE_STMT);
  error = run_with(freed, "begin read_names(:c, :r); end;");
  EXPECT_NE(std::string::npos, error.find("ORA-01001")) << error;
  OCIStmt* cursor = open_query();
  error = run_with(cursor, "declare n varchar2(20); begin fetch :c into n; end;", SQLT_INT);
  EXPECT_NE(std::string::npos, error.find("ORA-00932")) << error;
}

}  // namespace
}  // namespace ociemu::testing
