// SQL inside blocks: SELECT INTO, DML and its attributes, RETURNING INTO,
// cursors, dynamic SQL and transactions.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class SqlInBlocksTest : public PlsqlTest {
 protected:
  sword execute_on(OCISvcCtx* on, const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    sword rc = OCIStmtExecute(on, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc;
  }
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TABLE T (ID NUMBER(10) PRIMARY KEY, NAME VARCHAR2(20), AMOUNT NUMBER(9,2))");
    must_run("INSERT INTO T VALUES (1, 'one', 1.5)");
    must_run("INSERT INTO T VALUES (2, 'two', 2.5)");
    must_run("INSERT INTO T VALUES (3, 'three', NULL)");
    must_run("COMMIT");
  }
};

TEST_F(SqlInBlocksTest, select_into_reads_one_row_and_names_its_failures) {
  EXPECT_EQ("two 2.5", result_text("declare n varchar2(20); a number; begin select name, amount into n, a from t where id = 2; :r := n || ' ' || a; end;"));
  EXPECT_EQ("none", result_text(R"(
declare n varchar2(20);
begin
  select name into n from t where id = 99;
  :r := 'found';
exception
  when no_data_found then :r := 'none';
end;)"));
  EXPECT_EQ("many -1422", result_text(R"(
declare n varchar2(20);
begin
  select name into n from t;
exception
  when too_many_rows then :r := 'many ' || sqlcode;
end;)"));
  std::string unhandled = failure("declare n varchar2(20);\nbegin\n  select name into n from t where id = 99;\nend;");
  EXPECT_EQ("ORA-01403: no data found\nORA-06512: at line 3\n", unhandled);
}

TEST_F(SqlInBlocksTest, locals_become_binds_but_columns_win_over_them) {
  EXPECT_EQ("three|3", result_text(R"(
declare
  wanted number := 3;
  id number := 1;
  n t.name%type;
  c number;
begin
  select name into n from t where t.id = wanted;
  select count(*) into c from t where id = id;
  :r := n || '|' || c;
end;)"));
}

TEST_F(SqlInBlocksTest, dml_sets_the_sql_attributes_and_returning_fills_targets) {
  EXPECT_EQ("2|TRUE|0|TRUE|11|eleven", result_text(R"(
declare
  s varchar2(200);
  new_id number;
  new_name varchar2(20);
begin
  update t set amount = 0 where id <= 2;
  s := sql%rowcount || '|' || case when sql%found then 'TRUE' else 'FALSE' end;
  delete from t where id = 42;
  s := s || '|' || sql%rowcount || '|' || case when sql%notfound then 'TRUE' else 'FALSE' end;
  insert into t (id, name) values (11, 'eleven') returning id, name into new_id, new_name;
  :r := s || '|' || new_id || '|' || new_name;
end;)"));
  EXPECT_EQ("0", single_text("SELECT TO_CHAR(AMOUNT) FROM T WHERE ID = 1"));
}

TEST_F(SqlInBlocksTest, insert_all_runs_without_the_blocks_values_and_is_refused_with_them) {
  EXPECT_EQ("", failure("begin insert all into t (id) values (21) into t (id, name) values (22, 'b') select * from dual; end;"));
  EXPECT_EQ("2", single_text("SELECT COUNT(*) FROM T WHERE ID IN (21, 22)"));
  // Only the last INTO clause would see the variable; the rest would store NULL.
  EXPECT_NE(std::string::npos, failure("declare n number := 23; begin insert all into t (id) values (n) into t (id) values (n + 1) "
                        "select * from dual; end;").find("ORA-03001"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM T WHERE ID IS NULL OR ID > 22"));
}

TEST_F(SqlInBlocksTest, rows_from_a_loop_variable_go_into_a_table) {
  EXPECT_EQ("", failure("begin for i in 10..14 loop insert into t (id, name) values (i, 'n' || i); end loop; end;"));
  EXPECT_EQ("5", single_text("SELECT COUNT(*) FROM T WHERE ID BETWEEN 10 AND 14"));
  EXPECT_EQ("n12", single_text("SELECT NAME FROM T WHERE ID = 12"));
}

TEST_F(SqlInBlocksTest, cursor_for_loops_and_explicit_cursors_walk_the_rows) {
  EXPECT_EQ("one,two,three|3|two|1:FALSE", result_text(R"(
declare
  cursor by_amount(minimum number) is select id, name from t where amount >= minimum order by id;
  row_ by_amount%rowtype;
  s varchar2(200);
  n number := 0;
begin
  for r in (select name from t order by id) loop
    s := s || case when n > 0 then ',' end || r.name;
    n := n + 1;
  end loop;
  s := s || '|' || n;
  open by_amount(2);
  loop
    fetch by_amount into row_;
    exit when by_amount%notfound;
    s := s || '|' || row_.name;
  end loop;
  s := s || '|' || by_amount%rowcount || ':' || case when by_amount%found then 'TRUE' else 'FALSE' end;
  close by_amount;
  :r := s;
end;)"));
  EXPECT_NE(std::string::npos, failure("declare cursor c is select 1 from dual; begin open c; open c; end;").find("ORA-06511"));
  EXPECT_NE(std::string::npos, failure("declare cursor c is select 1 from dual; begin close c; end;").find("ORA-01001"));
}

TEST_F(SqlInBlocksTest, ref_cursors_open_for_static_and_dynamic_queries) {
  EXPECT_EQ("two three", result_text(R"(
declare
  c sys_refcursor;
  n varchar2(20);
  s varchar2(100);
begin
  open c for select name from t where id > 1 order by name desc;
  loop fetch c into n; exit when c%notfound; s := s || n || ' '; end loop;
  close c;
  open c for 'select name from t where id = :1' using 3;
  fetch c into n;
  close c;
  :r := rtrim(s) || case when n = 'three' then '' else '?' end;
end;)"));
}

TEST_F(SqlInBlocksTest, execute_immediate_runs_ddl_and_dml_with_using) {
  EXPECT_EQ("1|7", result_text(R"(
declare c number;
begin
  execute immediate 'create table extra (x number)';
  execute immediate 'insert into extra values (:1)' using 7;
  c := sql%rowcount;
  execute immediate 'select max(x) from extra' into :r;
  :r := c || '|' || :r;
end;)"));
}

TEST_F(SqlInBlocksTest, bulk_collect_fills_index_by_tables) {
  EXPECT_EQ("3|one|three", result_text(R"(
declare
  type names_t is table of varchar2(20) index by pls_integer;
  names names_t;
begin
  select name bulk collect into names from t order by id;
  :r := names.count || '|' || names(1) || '|' || names(3);
end;)"));
}

TEST_F(SqlInBlocksTest, transaction_control_inside_blocks_is_seen_by_other_sessions) {
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  EXPECT_EQ("", failure("begin insert into t (id) values (20); savepoint s1; insert into t (id) values (21); "
                        "rollback to savepoint s1; commit; end;"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM T WHERE ID IN (20, 21)", other));
  EXPECT_EQ("", failure("begin delete from t where id = 20; rollback; end;"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM T WHERE ID = 20", other));
  OCILogoff(other, err);
}

TEST_F(SqlInBlocksTest, select_into_for_update_locks_the_row_it_reads_until_the_transaction_ends) {
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  EXPECT_EQ("", failure("declare n varchar2(20); begin select name into n from t where id = 1 for update; end;"));
  EXPECT_EQ(OCI_ERROR, execute_on(other, "SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT"));
  EXPECT_EQ(54, last_code());
  EXPECT_EQ(OCI_SUCCESS, execute_on(other, "SELECT ID FROM T WHERE ID = 2 FOR UPDATE NOWAIT")) << last_error();
  EXPECT_EQ(OCI_SUCCESS, OCITransRollback(other, err, OCI_DEFAULT));
  // BULK COLLECT locks every row it read; the lock holder's NOWAIT is refused nothing.
  EXPECT_EQ("", failure("declare type names is table of varchar2(20) index by binary_integer; n names; "
                        "begin select name bulk collect into n from t where id >= 2 for update nowait; end;"));
  EXPECT_EQ(OCI_ERROR, execute_on(other, "SELECT ID FROM T WHERE ID = 3 FOR UPDATE NOWAIT"));
  must_run("COMMIT");
  EXPECT_EQ(OCI_SUCCESS, execute_on(other, "SELECT ID FROM T WHERE ID = 1 FOR UPDATE NOWAIT")) << last_error();
  OCILogoff(other, err);
}

TEST_F(SqlInBlocksTest, an_unhandled_error_undoes_the_blocks_uncommitted_work_only) {
  must_run("INSERT INTO T (ID) VALUES (29)");
  std::string error = failure("begin insert into t (id) values (30);\n insert into t (id) values (1); end;");
  EXPECT_EQ(0u, error.find("ORA-00001: unique constraint")) << error;
  EXPECT_NE(std::string::npos, error.find("\nORA-06512: at line 2")) << error;
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM T WHERE ID IN (29, 30)"));
  // Work the block committed stays committed.
  error = failure("begin insert into t (id) values (31); commit; insert into t (id) values (32); raise no_data_found; end;");
  EXPECT_EQ(0u, error.find("ORA-01403")) << error;
  must_run("ROLLBACK");
  EXPECT_EQ("2", single_text("SELECT COUNT(*) FROM T WHERE ID IN (29, 31)"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM T WHERE ID IN (30, 32)"));
  // A handled error leaves the block's work in place.
  EXPECT_EQ("", failure("begin insert into t (id) values (33); insert into t (id) values (1); exception when dup_val_on_index then null; end;"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM T WHERE ID = 33"));
}

TEST_F(SqlInBlocksTest, dbms_output_lines_come_back_through_get_line) {
  std::vector<Var> vars{string(":line", "x"), number(":status", 9)};
  ASSERT_EQ("", failure("begin dbms_output.enable(10000); dbms_output.put('a'); dbms_output.put_line('b' || 1); "
                        "dbms_output.put_line('second'); end;"));
  ASSERT_EQ(OCI_SUCCESS, execute("begin dbms_output.get_line(:line, :status); end;", vars)) << last_error();
  EXPECT_EQ("ab1", vars[0].text);
  EXPECT_EQ(0, vars[1].integer);
  ASSERT_EQ(OCI_SUCCESS, execute("begin dbms_output.get_line(:line, :status); end;", vars));
  EXPECT_EQ("second", vars[0].text);
  ASSERT_EQ(OCI_SUCCESS, execute("begin dbms_output.get_line(:line, :status); end;", vars));
  EXPECT_TRUE(vars[0].null);
  EXPECT_EQ(1, vars[1].integer);
}

}  // namespace
}  // namespace ociemu::testing
