// Packages: a declaration and its body, their variables kept per session and
// set up by the body's initialisation, and pkg.member from blocks and from SQL.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

constexpr const char* kDeclaration = R"(create or replace package counter is
  step number := 1;
  calls number;
  procedure bump(amount in out number);
  function next_value(base number) return number;
end counter;)";

constexpr const char* kBody = R"(create or replace package body counter is
  total number := 0;
  procedure bump(amount in out number) is
  begin
    total := total + step;
    calls := nvl(calls, 0) + 1;
    amount := amount + total;
  end;
  function next_value(base number) return number is
    v number := base;
  begin
    bump(v);
    return v + step;
  end next_value;
begin
  step := 10;
end counter;)";

class PackageTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run(kDeclaration);
    must_run(kBody);
  }
};

TEST_F(PackageTest, members_are_called_from_blocks_and_the_state_lasts_for_the_session) {
  // The initialisation ran before the first use; the variables keep their values between calls.
  EXPECT_EQ("15|10|1", result_text("declare a number := 5; begin counter.bump(a); "
                                   ":r := a || '|' || counter.step || '|' || counter.calls; end;"));
  EXPECT_EQ("25|2", result_text("declare a number := 5; begin counter.bump(a); :r := a || '|' || counter.calls; end;"));
  EXPECT_EQ("", failure("begin counter.step := 100; end;"));
  EXPECT_EQ("221", result_text("begin :r := counter.next_value(1); end;"));  // 1 + 120 + 100
  // Another session has its own instance.
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  std::vector<Var> vars{string(":r")};
  ASSERT_EQ(OCI_SUCCESS, execute("begin :r := counter.step || '|' || nvl(to_char(counter.calls), 'null'); end;", vars, other))
      << last_error();
  EXPECT_EQ("10|null", vars[0].text);
  OCILogoff(other, err);
}

TEST_F(PackageTest, sql_calls_package_functions_and_replacing_the_body_starts_afresh) {
  EXPECT_EQ("21", single_text("SELECT counter.next_value(1) FROM dual"));  // 1 + 10 + 10
  EXPECT_EQ("31", single_text("SELECT SCOTT.counter.next_value(1) FROM dual"));  // total is 20 now
  must_run("create or replace package body counter is procedure bump(amount in out number) is begin amount := -1; end; "
           "function next_value(base number) return number is begin return base * step; end; end;");
  // The session held the package's state: the first call after the change says it is gone.
  std::string error = failure("begin counter.step := 2; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-04068: existing state of packages has been discarded")) << error;
  EXPECT_NE(std::string::npos, error.find("ORA-04061: existing state of package body \"SCOTT.COUNTER\" has been "
                                          "invalidated")) << error;
  EXPECT_EQ("7|", result_text("begin :r := counter.next_value(7) || '|' || counter.calls; end;"));
}

TEST_F(PackageTest, only_a_session_that_held_the_replaced_state_gets_ora_04068_and_only_once) {
  EXPECT_EQ("10", result_text("begin :r := counter.step; end;"));
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  must_run(std::string(kDeclaration).replace(std::string(kDeclaration).find("step number := 1"), 16, "step number := 2"),
           other);
  must_run(kBody, other);
  std::string error = failure("begin :r := counter.step; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-04068")) << error;
  EXPECT_NE(std::string::npos, error.find("package \"SCOTT.COUNTER\"")) << error;  // the declaration changed
  std::vector<Var> vars{string(":r")};
  ASSERT_EQ(OCI_SUCCESS, execute("begin :r := counter.step; end;", vars, other)) << last_error();
  EXPECT_EQ("10", vars[0].text);
  EXPECT_EQ("10", result_text("begin :r := counter.step; end;"));
  OCILogoff(other, err);
  // A package without variables or cursors keeps no state to lose.
  must_run("create or replace package texts is limit constant number := 3; function shout(t varchar2) return varchar2; end;");
  must_run("create or replace package body texts is function shout(t varchar2) return varchar2 is "
           "begin return upper(t); end; end;");
  EXPECT_EQ("A", result_text("begin :r := texts.shout('a'); end;"));
  must_run("create or replace package body texts is function shout(t varchar2) return varchar2 is "
           "begin return upper(t) || '!'; end; end;");
  EXPECT_EQ("A!", result_text("begin :r := texts.shout('a'); end;"));
}

TEST_F(PackageTest, the_body_is_an_object_of_its_own_with_its_status_and_errors) {
  const std::string objects =
      "SELECT OBJECT_TYPE || ' ' || STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'COUNTER' ORDER BY OBJECT_TYPE";
  using Rows = std::vector<std::string>;
  EXPECT_EQ((Rows{"PACKAGE VALID", "PACKAGE BODY VALID"}), column_texts(objects));
  EXPECT_EQ("2", single_text("SELECT COUNT(*) FROM ALL_OBJECTS WHERE OWNER = 'SCOTT' AND OBJECT_NAME = 'COUNTER'"));
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run(R"(create or replace package body counter is
  procedure bump(amount in out number) is
  begin
    amount := no_such_thing;
  end;
  function next_value(base number) return number is begin return base; end;
end;)"));
  EXPECT_EQ((Rows{"PACKAGE VALID", "PACKAGE BODY INVALID"}), column_texts(objects));
  // Lines count from the body's own first line.
  const std::string error = single_text("SELECT TYPE || ' ' || LINE || ' ' || TEXT FROM USER_ERRORS WHERE NAME = 'COUNTER'");
  EXPECT_EQ(0u, error.rfind("PACKAGE BODY 4 PLS-00201: identifier 'NO_SUCH_THING' must be declared", 0)) << error;
  // Called, the body compiles again: its error counts lines the same way, not from the declaration's start.
  const std::string called = failure("declare a number := 1; begin counter.bump(a); end;");
  EXPECT_EQ(0u, called.find("ORA-06550: line 4, column ")) << called;
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run("create or replace package counter is procedure bump(amount in out nothing); end;"));
  EXPECT_EQ((Rows{"PACKAGE INVALID", "PACKAGE BODY INVALID"}), column_texts(objects));
  EXPECT_EQ((Rows{"PACKAGE", "PACKAGE BODY"}), column_texts("SELECT TYPE FROM USER_ERRORS WHERE NAME = 'COUNTER' ORDER BY TYPE"));
  must_run(kDeclaration);
  must_run(kBody);
  EXPECT_EQ((Rows{"PACKAGE VALID", "PACKAGE BODY VALID"}), column_texts(objects));
  must_run("drop package body counter");
  EXPECT_EQ((Rows{"PACKAGE VALID"}), column_texts(objects));
}

TEST_F(PackageTest, functions_without_arguments_are_called_without_parentheses) {
  must_run("create or replace package clock is function ticks return number; "
           "function label(p varchar2 := 'x') return varchar2; end;");
  must_run("create or replace package body clock is n number := 0; "
           "function ticks return number is begin n := n + 1; return n; end; "
           "function label(p varchar2 := 'x') return varchar2 is begin return p; end; end;");
  EXPECT_EQ("1", single_text("SELECT clock.ticks FROM dual"));
  EXPECT_EQ("2x", single_text("SELECT scott.clock.ticks || clock.label FROM dual"));
  EXPECT_EQ("3x|4|yes", result_text("declare t number := scott.clock.ticks; begin :r := t || clock.label || '|' || "
                                    "clock.ticks; if clock.ticks > 4 then :r := :r || '|yes'; end if; end;"));
}

TEST_F(PackageTest, other_units_use_its_cursors_and_types_and_the_cursors_stay_open_between_calls) {
  must_run("CREATE TABLE STAFF (ID NUMBER(4) PRIMARY KEY, NAME VARCHAR2(20), DEPT NUMBER(4))");
  must_run("INSERT INTO STAFF VALUES (1, 'ADAMS', 10)");
  must_run("INSERT INTO STAFF VALUES (2, 'BLAKE', 20)");
  must_run("INSERT INTO STAFF VALUES (3, 'CLARK', 10)");
  must_run(R"(create or replace package staff_pkg is
  type t_rec is record (id number, name varchar2(20));
  type t_names is table of varchar2(20) index by pls_integer;
  cursor by_dept(p_dept number) is select id, name from staff where dept = p_dept order by id;
  cursor everyone is select name from staff order by id;
  floor_id number(4) := 1;
end;)");
  EXPECT_EQ("2:CLARK:2|ADAMS,BLAKE,CLARK|closed", result_text(R"(declare
  r staff_pkg.t_rec;
  names staff_pkg.t_names;
  e staff_pkg.everyone%rowtype;
  n staff_pkg.floor_id%type := 1;
begin
  open staff_pkg.by_dept(10);
  loop
    fetch staff_pkg.by_dept into r;
    exit when staff_pkg.by_dept%notfound;
    names(names.count + 1) := r.name;
  end loop;
  :r := names.count || ':' || names(2) || ':' || staff_pkg.by_dept%rowcount || '|';
  close staff_pkg.by_dept;
  for x in scott.staff_pkg.everyone loop
    e := x;
    :r := :r || case when x.name = 'ADAMS' then '' else ',' end || e.name;
  end loop;
  if not staff_pkg.by_dept%isopen then :r := :r || '|closed'; end if;
end;)"));
  // The cursor is the session's: opened by one call, read on by the next.
  EXPECT_EQ("ADAMS", result_text("declare n varchar2(20); begin open staff_pkg.everyone; "
                                 "fetch staff_pkg.everyone into n; :r := n; end;"));
  EXPECT_EQ("BLAKE|2", result_text("declare n varchar2(20); begin fetch staff_pkg.everyone into n; "
                                   ":r := n || '|' || staff_pkg.everyone%rowcount; end;"));
  std::string error = failure("begin open staff_pkg.everyone; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06511")) << error;
  std::string undeclared = failure("declare r staff_pkg.no_such_type; begin null; end;");
  EXPECT_NE(std::string::npos, undeclared.find("PLS-00201")) << undeclared;
}

TEST_F(PackageTest, missing_members_and_bodies_fail_as_oracle_does) {
  std::string error = failure("begin counter.nothing(1); end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00201")) << error;
  must_run("create or replace package bare is procedure p; end;");
  error = failure("begin bare.p; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06508")) << error;
  EXPECT_EQ(OCI_ERROR, run("create package body missing_spec is end;"));
  EXPECT_EQ(4043, last_code());
  // A body whose subprogram the package head declares but the body lacks does not compile.
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run("create or replace package body bare is procedure q is begin null; end; end;"));
  must_run("drop package bare");
  error = failure("begin bare.p; end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00201")) << error;
}

}  // namespace
}  // namespace ociemu::testing

namespace ociemu::testing {
namespace {

constexpr const char* kShapesDeclaration = R"(create or replace package shapes is
  procedure describe(n number, o out varchar2);
  procedure describe(s varchar2, o out varchar2);
  procedure describe(d date, o out varchar2);
  procedure describe(a number, b number, o out varchar2);
  function area(r number) return number;
  function area(w number, h number) return number;
  function area(name varchar2) return number;
end;)";

constexpr const char* kShapesBody = R"(create or replace package body shapes is
  procedure describe(n number, o out varchar2) is begin o := 'number ' || n; end;
  procedure describe(s varchar2, o out varchar2) is begin o := 'text ' || s; end;
  procedure describe(d date, o out varchar2) is begin o := 'date ' || to_char(d, 'YYYY'); end;
  procedure describe(a number, b number, o out varchar2) is begin o := 'pair ' || (a + b); end;
  function area(r number) return number is begin return 3 * r * r; end;
  function area(w number, h number) return number is begin return w * h; end;
  function area(name varchar2) return number is begin return length(name); end;
end;)";

class OverloadTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run(kShapesDeclaration);
    must_run(kShapesBody);
  }
};

TEST_F(OverloadTest, a_call_takes_the_declaration_its_argument_count_and_types_fit) {
  EXPECT_EQ("number 7|text seven|date 2024|pair 5|text 8", result_text(R"(declare
  o1 varchar2(30); o2 varchar2(30); o3 varchar2(30); o4 varchar2(30); o5 varchar2(30);
  d date := date '2024-05-06';
  s varchar2(5) := '8';
begin
  shapes.describe(7, o1);
  shapes.describe('seven', o2);
  shapes.describe(d, o3);
  shapes.describe(2, 3, o4);
  shapes.describe(s, o => o5);
  :r := o1 || '|' || o2 || '|' || o3 || '|' || o4 || '|' || o5;
end;)"));
  EXPECT_EQ("12|6|5", result_text("begin :r := shapes.area(2) || '|' || shapes.area(2, 3) || '|' || "
                                  "shapes.area('shape'); end;"));
  std::string error = failure("declare o varchar2(10); begin shapes.describe(1, 2, 3, o); end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00306")) << error;
}

TEST_F(OverloadTest, sql_and_local_subprograms_resolve_overloads_too) {
  EXPECT_EQ("6", single_text("SELECT shapes.area(2, 3) FROM dual"));
  EXPECT_EQ("12", single_text("SELECT shapes.area(2) FROM dual"));
  EXPECT_EQ("4", single_text("SELECT shapes.area('abcd') FROM dual"));
  EXPECT_EQ("n1|t1|n2", result_text(R"(declare
  function kind(v number) return varchar2 is begin return 'n1'; end;
  function kind(v varchar2) return varchar2 is begin return 't1'; end;
  function kind(v number, w number) return varchar2 is begin return 'n2'; end;
begin
  :r := kind(1) || '|' || kind('x') || '|' || kind(1, 2);
end;)"));
  // A forward declaration is completed by the body of the same parameters, whatever the order.
  EXPECT_EQ("b:2", result_text(R"(declare
  procedure show(a number, o out varchar2);
  procedure show(a varchar2, o out varchar2);
  procedure show(a varchar2, o out varchar2) is begin o := 'b:' || a; end;
  procedure show(a number, o out varchar2) is begin show(to_char(a + 1), o); end;
begin
  show(1, :r);
end;)"));
}

}  // namespace
}  // namespace ociemu::testing
