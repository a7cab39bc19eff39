// Anonymous blocks: declarations, assignments, expressions and control flow.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class BlockTest : public PlsqlTest {};

TEST_F(BlockTest, the_simplest_blocks_run_and_report_their_statement_type) {
  for (const char* block : {"begin null; end;", "BEGIN NULL; END;", "declare x number; begin null; end;",
                            "begin\n  begin null; end;\nend;"}) {
    EXPECT_EQ("", failure(block)) << block;
  }
  OCIStmt* stmt = prepare("declare x number; begin null; end;");
  ub2 type = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
  EXPECT_EQ(OCI_STMT_DECLARE, type);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ub2 code = 0;
  OCIAttrGet(stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, err);
  EXPECT_EQ(34, code);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BlockTest, bind_variables_are_read_and_assigned) {
  std::vector<Var> vars{number(":n", 41), string(":s", "abc"), string(":empty", "x")};
  ASSERT_EQ(OCI_SUCCESS, execute("begin :n := :n + 1; :s := upper(:s) || '!'; :empty := null; end;", vars))
      << last_error();
  EXPECT_EQ(42, vars[0].integer);
  EXPECT_EQ("ABC!", vars[1].text);
  EXPECT_TRUE(vars[2].null);
  // The same prepared block runs again with the values it left.
  OCIStmt* stmt = prepare("begin :n := :n * 2; end;");
  long long n = 5;
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, err, text(":n"), 2, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, 0)) << last_error();
  EXPECT_EQ(40, n);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BlockTest, binds_by_position_count_each_name_once) {
  OCIStmt* stmt = prepare("begin :a := :b + :a; :b := 0; end;");
  long long a = 1, b = 10;
  OCIBind* binds[2] = {};
  OCIBindByPos(stmt, &binds[0], err, 1, &a, sizeof a, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[1], err, 2, &b, sizeof b, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, 0)) << last_error();
  EXPECT_EQ(11, a);
  EXPECT_EQ(0, b);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(BlockTest, declarations_take_their_types_defaults_and_constants) {
  EXPECT_EQ("12.35|abc  |7|<null>|3", result_text(R"(
declare
  amount number(5,2) := 12.345;
  code   char(5) default 'abc';
  seven  constant integer := 3 + 4;
  nothing varchar2(10);
  counter pls_integer := 1;
  flag   boolean := true;
begin
  counter := counter + 2;
  :r := amount || '|' || code || '|' || seven || '|' || nvl(nothing, '<null>') || '|' || counter;
end;)"));
  EXPECT_EQ("10-JAN-24|2024", result_text(R"(
declare
  d date := to_date('2024-01-09', 'YYYY-MM-DD');
begin
  d := d + 1;
  :r := to_char(d, 'DD-MON-RR') || '|' || to_char(d, 'YYYY');
end;)"));
}

TEST_F(BlockTest, anchored_types_follow_tables_and_variables) {
  EXPECT_EQ("KING|5000|PRESIDENT", result_text(R"(
declare
  name emp.ename%type;
  copy name%type;
  person emp%rowtype;
begin
  select * into person from emp where empno = 7839;
  name := person.ename;
  copy := name;
  :r := copy || '|' || person.sal || '|' || person.job;
end;)"));
  // VARCHAR2(10) from the column: an eleventh character overflows.
  EXPECT_NE(std::string::npos,
            failure("declare n emp.ename%type; begin n := 'abcdefghijk'; end;").find("ORA-06502: PL/SQL: numeric or value error: character string buffer too small"));
}

TEST_F(BlockTest, conditions_choose_branches_with_null_as_not_true) {
  const char* block = R"(
begin
  if :n > 10 then :r := 'big';
  elsif :n > 5 then :r := 'medium';
  elsif not (:n > 5) then :r := 'small';
  else :r := 'unknown';
  end if;
end;)";
  for (auto [n, null, expected] : {std::tuple{20, false, "big"}, std::tuple{7, false, "medium"},
                                   std::tuple{1, false, "small"}, std::tuple{0, true, "unknown"}}) {
    std::vector<Var> vars{number(":n", n, null), string(":r")};
    ASSERT_EQ(OCI_SUCCESS, execute(block, vars)) << last_error();
    EXPECT_EQ(expected, vars[1].text) << n;
  }
}

TEST_F(BlockTest, case_statements_match_values_and_conditions) {
  EXPECT_EQ("two,neg,other", result_text(R"(
declare
  x number := 2;
  s varchar2(100);
begin
  case x when 1 then s := 'one'; when 2 then s := 'two'; else s := 'many'; end case;
  case when x - 5 < 0 then s := s || ',neg'; else s := s || ',pos'; end case;
  s := s || ',' || case x when 9 then 'nine' else 'other' end;
  :r := s;
end;)"));
  EXPECT_NE(std::string::npos,
            failure("declare x number := 3; begin case x when 1 then null; end case; end;").find("ORA-06592"));
}

TEST_F(BlockTest, loops_exit_continue_and_count) {
  EXPECT_EQ("55|10|5 4 3 2 1|2 4 6|outer done 3", result_text(R"(
declare
  total number := 0;
  n number := 0;
  s varchar2(100);
  evens varchar2(100);
  rounds number := 0;
begin
  for i in 1 .. 10 loop total := total + i; end loop;
  loop n := n + 1; exit when n >= 10; end loop;
  for i in reverse 1..5 loop s := s || i || case when i > 1 then ' ' end; end loop;
  for i in 1..6 loop
    continue when mod(i, 2) = 1;
    evens := evens || case when evens is not null then ' ' end || i;
  end loop;
  <<outer>>
  loop
    rounds := rounds + 1;
    while true loop
      exit outer when rounds = 3;
      exit;
    end loop;
  end loop outer;
  :r := total || '|' || n || '|' || s || '|' || evens || '|outer done ' || rounds;
end;)"));
}

TEST_F(BlockTest, a_for_loop_with_an_empty_range_does_not_run_and_its_index_is_read_only) {
  EXPECT_EQ("0", result_text("declare c number := 0; begin for i in 5..1 loop c := c + 1; end loop; :r := c; end;"));
  std::string error = failure("begin for i in 1..2 loop i := 5; end loop; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06550: line 1, column 26:")) << error;
  EXPECT_NE(std::string::npos, error.find("PLS-00363")) << error;
}

TEST_F(BlockTest, nested_blocks_scope_their_names_and_labels) {
  EXPECT_EQ("inner 2 outer 1", result_text(R"(
declare
  x number := 1;
  s varchar2(50);
begin
  declare
    x number := 2;
  begin
    s := 'inner ' || x;
  end;
  :r := s || ' outer ' || x;
end;)"));
}

TEST_F(BlockTest, index_by_tables_hold_sparse_elements) {
  EXPECT_EQ("3|1|10|b|<no 5>|20", result_text(R"(
declare
  type names_t is table of varchar2(20) index by binary_integer;
  names names_t;
  s varchar2(100);
begin
  names(1) := 'a';
  names(10) := 'c';
  names(2) := 'b';
  s := names.count || '|' || names.first || '|' || names.last || '|' || names(names.next(1));
  begin
    s := s || '|' || names(5);
  exception when no_data_found then s := s || '|<no 5>';
  end;
  :r := s || '|' || (names.last + names.last);
end;)"));
}

TEST_F(BlockTest, compile_errors_name_the_line_column_and_pls_message) {
  std::string undeclared = failure("begin\n  :x := y + 1;\nend;");
  EXPECT_EQ(0u, undeclared.find("ORA-06550: line 2, column 9:\nPLS-00201: identifier 'Y' must be declared")) << undeclared;
  std::string syntax = failure("begin\n  if 1 = 1 then null;\nend;");
  EXPECT_EQ(0u, syntax.find("ORA-06550: line 3, column 4:\nPLS-00103: Encountered the symbol")) << syntax;
  std::string table = failure("begin\n  delete from no_such_table;\nend;");
  EXPECT_NE(std::string::npos, table.find("ORA-06550: line 2, column 3:\nPL/SQL: ORA-00942: table or view does not exist"))
      << table;
  EXPECT_EQ(6550, [&] {
    failure("begin null end;");
    return last_code();
  }());
}

}  // namespace
}  // namespace ociemu::testing
