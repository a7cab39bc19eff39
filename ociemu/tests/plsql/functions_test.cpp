// Stored functions called from blocks, from other stored code and from SQL;
// recursion of stored and local programs with its depth limit; local
// subprograms with forward declarations.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class FunctionTest : public PlsqlTest {
 protected:
  void create(const std::string& text) { ASSERT_EQ(OCI_SUCCESS, run(text)) << last_error(); }
};

constexpr const char* kExtra = R"(create or replace function extra(p_sal in number, p_rate number default 10)
  return number is
begin
  if p_sal is null then
    return null;
  end if;
  return round(p_sal * p_rate / 100, 2);
end;)";

TEST_F(FunctionTest, a_stored_function_is_called_from_blocks_in_expressions_and_conditions) {
  create(kExtra);
  EXPECT_EQ("150", result_text("begin :r := extra(1500); end;"));
  EXPECT_EQ("301", result_text("begin :r := extra(1500, 20) + 1; end;"));
  EXPECT_EQ("big", result_text("begin if extra(5000) > 400 then :r := 'big'; else :r := 'small'; end if; end;"));
  EXPECT_EQ("<null>", result_text("declare n number := extra(null); begin :r := n; end;"));
  // From another stored program.
  create("create function total_pay(p_sal number) return number is begin return p_sal + extra(p_sal); end;");
  EXPECT_EQ("1100", result_text("begin :r := total_pay(1000); end;"));
  EXPECT_EQ("VALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'TOTAL_PAY'"));
  EXPECT_EQ("FUNCTION", single_text("SELECT OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_NAME = 'EXTRA'"));
  EXPECT_EQ("  return number is\n", single_text("SELECT TEXT FROM USER_SOURCE WHERE NAME = 'EXTRA' AND LINE = 2"));
}

TEST_F(FunctionTest, sql_calls_stored_functions_in_select_lists_where_clauses_and_dml) {
  create(kExtra);
  EXPECT_EQ("500", single_text("SELECT EXTRA(SAL) FROM EMP WHERE ENAME = 'KING'"));
  EXPECT_EQ("3", single_text("SELECT COUNT(*) FROM EMP WHERE SCOTT.EXTRA(SAL, 20) >= 600"));
  must_run("CREATE TABLE PAID (ENAME VARCHAR2(10), AMOUNT NUMBER)");
  must_run("INSERT INTO PAID SELECT ENAME, EXTRA(SAL) FROM EMP WHERE DEPTNO = 10");
  must_run("INSERT INTO PAID VALUES ('X', EXTRA(100, 50))");
  EXPECT_EQ("50", single_text("SELECT AMOUNT FROM PAID WHERE ENAME = 'X'"));
  must_run("UPDATE PAID SET AMOUNT = EXTRA(AMOUNT, 200) WHERE ENAME = 'X'");
  EXPECT_EQ("100", single_text("SELECT AMOUNT FROM PAID WHERE ENAME = 'X'"));
  EXPECT_EQ("4", single_text("SELECT COUNT(*) FROM PAID"));
  // A function's own query runs while the statement calling it steps through its rows.
  create("create function dept_name(p_deptno number) return varchar2 is n dept.dname%type; "
         "begin select dname into n from dept where deptno = p_deptno; return n; end;");
  EXPECT_EQ(std::vector<std::string>({"ACCOUNTING", "RESEARCH"}),
            column_texts("SELECT DISTINCT DEPT_NAME(DEPTNO) FROM EMP WHERE DEPTNO < 30 ORDER BY 1"));
  // Errors inside come back as the statement's error, with the function's backtrace.
  EXPECT_EQ(OCI_ERROR, run("SELECT DEPT_NAME(99) FROM DUAL"));
  EXPECT_EQ(1403, last_code());
  EXPECT_NE(std::string::npos, last_error().find("ORA-06512: at \"SCOTT.DEPT_NAME\", line 1")) << last_error();
}

TEST_F(FunctionTest, wrong_calls_and_missing_returns_fail_as_oracle_does) {
  create("create function no_value(n number) return number is begin if n > 0 then return n; end if; end;");
  std::string error = failure("declare x number; begin x := no_value(-1); end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06503: PL/SQL: Function returned without value")) << error;
  EXPECT_NE(std::string::npos, error.find("ORA-06512: at \"SCOTT.NO_VALUE\", line 1")) << error;
  EXPECT_EQ(OCI_ERROR, run("SELECT NO_VALUE(1, 2) FROM DUAL"));
  EXPECT_EQ(6553, last_code());
  EXPECT_NE(std::string::npos, last_error().find("PLS-306: wrong number or types of arguments in call to 'NO_VALUE'"));
  // A function is no procedure, and RETURN is checked against what it is in.
  EXPECT_NE(std::string::npos, failure("begin no_value(1); end;").find("PLS-00221"));
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run("create procedure p is begin return 1; end;"));
  EXPECT_NE(std::string::npos, single_text("SELECT TEXT FROM USER_ERRORS WHERE NAME = 'P'").find("PLS-00372"));
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run("create function f return number is begin return; end;"));
  EXPECT_NE(std::string::npos, single_text("SELECT TEXT FROM USER_ERRORS WHERE NAME = 'F'").find("PLS-00503"));
}

TEST_F(FunctionTest, a_function_called_from_a_query_may_not_change_data_but_one_called_from_plsql_may) {
  must_run("CREATE TABLE AUDIT_LOG (N NUMBER)");
  create("create function logged(p_n number) return number is begin insert into audit_log values (p_n); return p_n; end;");
  EXPECT_EQ(OCI_ERROR, run("SELECT LOGGED(1) FROM DUAL"));
  EXPECT_EQ(14551, last_code());
  EXPECT_EQ("7", result_text("begin :r := logged(7); end;"));
  must_run("INSERT INTO AUDIT_LOG VALUES (LOGGED(8))");
  EXPECT_EQ("3", single_text("SELECT COUNT(*) FROM AUDIT_LOG"));
  create("create function committing return number is begin commit; return 1; end;");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO AUDIT_LOG VALUES (COMMITTING)"));
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO AUDIT_LOG VALUES (COMMITTING())"));
  EXPECT_EQ(14552, last_code());
}

TEST_F(FunctionTest, stored_programs_call_themselves_and_each_other) {
  create("create function fact(n number) return number is begin "
         "if n <= 1 then return 1; end if; return n * fact(n - 1); end;");
  EXPECT_EQ("VALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'FACT'"));
  EXPECT_EQ("3628800", result_text("begin :r := fact(10); end;"));
  EXPECT_EQ("120", single_text("SELECT FACT(5) FROM DUAL"));
  // A recursive walk: each level steps its own cursor over the same query.
  must_run("CREATE TABLE TREE (ID NUMBER, PARENT NUMBER, NAME VARCHAR2(10))");
  must_run("INSERT INTO TREE SELECT 1, NULL, 'root' FROM DUAL UNION ALL SELECT 2, 1, 'a' FROM DUAL UNION ALL "
           "SELECT 3, 2, 'a1' FROM DUAL UNION ALL SELECT 4, 1, 'b' FROM DUAL UNION ALL SELECT 5, 2, 'a2' FROM DUAL");
  create("create procedure walk(p_id number, p_path in out varchar2) is begin "
         "for r in (select id, name from tree where parent = p_id order by id) loop "
         "p_path := p_path || '/' || r.name; walk(r.id, p_path); end loop; end;");
  EXPECT_EQ("root/a/a1/a2/b", result_text("declare p varchar2(100) := 'root'; begin walk(1, p); :r := p; end;"));
  // Mutual recursion: the first is stored with errors until the second exists.
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run("create function is_even(n number) return number is begin "
                                        "if n = 0 then return 1; end if; return is_odd(n - 1); end;"));
  create("create function is_odd(n number) return number is begin "
         "if n = 0 then return 0; end if; return is_even(n - 1); end;");
  EXPECT_EQ("1", result_text("begin :r := is_even(10); end;"));
  EXPECT_EQ("1", result_text("begin :r := is_odd(7); end;"));
}

TEST_F(FunctionTest, runaway_recursion_ends_with_a_storage_error_that_handlers_can_take) {
  create("create procedure forever(n number) is begin forever(n + 1); end;");
  std::string error = failure("begin forever(1); end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06500: PL/SQL: storage error")) << error.substr(0, 300);
  EXPECT_EQ("caught", result_text("begin forever(1); exception when storage_error then :r := 'caught'; end;"));
  create("create function deep(n number) return number is begin return deep(n + 1); end;");
  EXPECT_EQ(OCI_ERROR, run("SELECT DEEP(1) FROM DUAL"));
  EXPECT_EQ(6500, last_code());
  // Every level is counted out again: deep but finite recursion still runs afterwards.
  create("create function depth_of(n number) return number is begin "
         "if n <= 0 then return 0; end if; return 1 + depth_of(n - 1); end;");
  EXPECT_EQ("400", result_text("begin :r := depth_of(400); end;"));
}

TEST_F(FunctionTest, local_subprograms_see_the_block_recurse_and_may_be_declared_ahead) {
  EXPECT_EQ("55:12", result_text(R"(declare
  calls number := 0;
  function fib(n pls_integer) return pls_integer is
  begin
    calls := calls + 1;
    if n < 2 then return n; end if;
    return fib(n - 1) + fib(n - 2);
  end;
  procedure note(p_text in out varchar2, p_add varchar2 := '!') is
  begin
    p_text := p_text || p_add;
  end note;
  t varchar2(40) := 'x';
begin
  note(t);
  :r := fib(10) || ':' || length(t || fib(1)) * 4;
end;)"));
  // Forward declarations let two local functions call each other.
  EXPECT_EQ("odd", result_text(R"(declare
  function is_even(n number) return boolean;
  function is_odd(n number) return boolean is begin return n <> 0 and is_even(n - 1); end;
  function is_even(n number) return boolean is begin return n = 0 or is_odd(n - 1); end;
begin
  if is_odd(7) then :r := 'odd'; else :r := 'even'; end if;
end;)"));
  // Each call has its own locals, restored when it returns.
  EXPECT_EQ("3-2-1", result_text(R"(declare
  function countdown(n number) return varchar2 is
    here number := n;
    rest varchar2(100);
  begin
    if n = 1 then return '1'; end if;
    rest := countdown(n - 1);
    return here || '-' || rest;
  end;
begin
  :r := countdown(3);
end;)"));
}

TEST_F(FunctionTest, local_subprogram_errors_carry_their_lines_and_reach_the_callers_handlers) {
  std::string error = failure("declare\n  procedure boom is\n  begin\n    raise_application_error(-20005, 'bang');\n"
                              "  end;\nbegin\n  boom;\nend;");
  EXPECT_NE(std::string::npos, error.find("ORA-20005: bang\nORA-06512: at line 4\nORA-06512: at line 7")) << error;
  EXPECT_EQ("mine", result_text("declare e exception; function f return number is begin raise e; end; "
                                "n number; begin n := f + 1; exception when e then :r := 'mine'; end;"));
  EXPECT_NE(std::string::npos, failure("declare procedure p; begin p; end;").find("PLS-00328"));
  EXPECT_NE(std::string::npos, failure("declare procedure p is begin null; end; n number; begin n := p; end;")
                                   .find("PLS-00222"));
}

}  // namespace
}  // namespace ociemu::testing
