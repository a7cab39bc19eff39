// Stored procedures: CREATE [OR REPLACE], calls from blocks with IN, OUT and
// IN OUT parameters and defaults, errors raised inside them, compile errors
// kept in the dictionary, and DROP.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class StoredProgramTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TABLE LEDGER (ID NUMBER(6) PRIMARY KEY, AMOUNT NUMBER(9,2))");
  }
};

constexpr const char* kBook = R"(create or replace procedure book(p_id in number, p_amount in number := 10,
                                 p_total out number, p_calls in out number) is
  doubled number := p_amount * 2;
begin
  if p_amount < 0 then
    raise_application_error(-20001, 'negative amount ' || p_amount);
  end if;
  insert into ledger values (p_id, doubled);
  select sum(amount) into p_total from ledger;
  p_calls := nvl(p_calls, 0) + 1;
end book;)";

TEST_F(StoredProgramTest, a_procedure_takes_in_out_and_in_out_parameters_and_defaults) {
  ASSERT_EQ(OCI_SUCCESS, run(kBook)) << last_error();
  std::vector<Var> vars{number(":total"), number(":calls", 5)};
  ASSERT_EQ(OCI_SUCCESS, execute("begin book(1, 4, :total, :calls); book(p_id => 2, p_total => :total, "
                                 "p_calls => :calls); end;",
                                 vars))
      << last_error();
  EXPECT_EQ(28, vars[0].integer);  // 8 + the default 10 doubled
  EXPECT_EQ(7, vars[1].integer);
  EXPECT_EQ("2", single_text("SELECT COUNT(*) FROM LEDGER"));
  // Locals of the caller are passed and written back too.
  EXPECT_EQ("1", result_text("declare t number; c number; begin book(3, 1, t, c); :r := c; end;"));
}

TEST_F(StoredProgramTest, an_error_in_a_procedure_names_it_in_the_backtrace_and_handlers_see_it) {
  ASSERT_EQ(OCI_SUCCESS, run(kBook)) << last_error();
  std::string error = failure("declare t number; c number; begin\n  book(1, -1, t, c);\nend;");
  EXPECT_NE(std::string::npos, error.find("ORA-20001: negative amount -1")) << error;
  EXPECT_NE(std::string::npos, error.find("ORA-06512: at \"SCOTT.BOOK\", line 6")) << error;
  EXPECT_NE(std::string::npos, error.find("ORA-06512: at line 2")) << error;
  EXPECT_EQ("-20001", result_text("declare t number; c number; begin book(1, -1, t, c); "
                                  "exception when others then :r := sqlcode; end;"));
}

TEST_F(StoredProgramTest, source_and_status_are_in_the_dictionary_and_drop_removes_them) {
  ASSERT_EQ(OCI_SUCCESS, run(kBook)) << last_error();
  EXPECT_EQ("procedure book(p_id in number, p_amount in number := 10,\n",
            single_text("SELECT TEXT FROM USER_SOURCE WHERE NAME = 'BOOK' AND LINE = 1"));
  EXPECT_EQ("11", single_text("SELECT COUNT(*) FROM USER_SOURCE WHERE NAME = 'BOOK'"));
  EXPECT_EQ("VALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'BOOK' AND "
                                 "OBJECT_TYPE = 'PROCEDURE'"));
  // Without OR REPLACE the name is taken.
  std::string again = kBook;
  again.replace(0, std::string("create or replace").size(), "create");
  EXPECT_EQ(OCI_ERROR, run(again));
  EXPECT_EQ(955, last_code());
  ASSERT_EQ(OCI_SUCCESS, run("DROP PROCEDURE BOOK")) << last_error();
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM USER_SOURCE WHERE NAME = 'BOOK'"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_NAME = 'BOOK'"));
  EXPECT_NE(std::string::npos, failure("begin book(1); end;").find("PLS-00201: identifier 'BOOK' must be declared"));
  EXPECT_EQ(OCI_ERROR, run("DROP PROCEDURE BOOK"));
  EXPECT_EQ(4043, last_code());
}

TEST_F(StoredProgramTest, a_procedure_that_does_not_compile_is_stored_invalid_with_its_error) {
  const std::string broken = "create procedure broken is\nbegin\n  no_such_thing := 1;\nend;";
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO, run(broken));
  EXPECT_EQ(24344, last_code());
  EXPECT_EQ("INVALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'BROKEN'"));
  EXPECT_EQ("3", single_text("SELECT LINE FROM USER_ERRORS WHERE NAME = 'BROKEN'"));
  EXPECT_NE(std::string::npos, single_text("SELECT TEXT FROM USER_ERRORS WHERE NAME = 'BROKEN'").find("PLS-00201"));
  EXPECT_NE(std::string::npos, failure("begin broken; end;").find("PLS-00905: object SCOTT.BROKEN is invalid"));
  // Replacing it with a good body makes it valid and callable.
  ASSERT_EQ(OCI_SUCCESS, run("create or replace procedure broken is begin insert into ledger values (9, 9); end;"))
      << last_error();
  EXPECT_EQ("VALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'BROKEN'"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM USER_ERRORS WHERE NAME = 'BROKEN'"));
  ASSERT_EQ("", failure("begin broken; end;"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM LEDGER WHERE ID = 9"));
}

TEST_F(StoredProgramTest, calls_with_wrong_arguments_fail_to_compile) {
  ASSERT_EQ(OCI_SUCCESS, run(kBook)) << last_error();
  EXPECT_NE(std::string::npos, failure("begin book(1); end;").find("PLS-00306"));
  EXPECT_NE(std::string::npos, failure("declare t number; c number; begin book(1, 2, t, c, 5); end;").find("PLS-00306"));
  EXPECT_NE(std::string::npos, failure("declare t number; begin book(1, 2, t, 3); end;").find("PLS-00363"));
}

TEST_F(StoredProgramTest, restricted_rowid_text_takes_its_full_form_in_rowid_parameters_and_variables) {
  must_run("CREATE TABLE ROWIDS (ID NUMBER, R ROWID)");
  must_run("create or replace procedure keep_rowid(p_id number, p_rowid rowid) is "
           "begin insert into rowids values (p_id, p_rowid); end;");
  std::vector<Var> vars{string(":r", "0")};
  ASSERT_EQ(OCI_SUCCESS, execute("begin keep_rowid(1, :r); end;", vars)) << last_error();
  EXPECT_EQ("00000000.0000.0000", single_text("SELECT R FROM ROWIDS WHERE ID = 1"));
  EXPECT_EQ("00000DD5.0000.0101|AAAB12AADAAAAwPAAA",
            result_text("declare a rowid := 'dd5.0.101'; b rowid; begin b := 'AAAB12AADAAAAwPAAA'; :r := a || '|' || b; end;"));
}

}  // namespace
}  // namespace ociemu::testing

namespace ociemu::testing {
namespace {

class OutParameterFunctionTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("create or replace function split_twice(a number, doubled out number, tag in out varchar2) return number is "
             "begin doubled := a * 2; tag := tag || '!'; return a + 1; end;");
  }
};

TEST_F(OutParameterFunctionTest, plsql_gets_the_out_values_and_the_result_sql_refuses_the_call) {
  EXPECT_EQ("4|6|hi!", result_text("declare x number; s varchar2(10) := 'hi'; y number; "
                                   "begin y := split_twice(3, x, s); :r := y || '|' || x || '|' || s; end;"));
  // Named arguments, a bind as the result, and a local function with an OUT parameter.
  EXPECT_EQ("3", result_text("declare x number; s varchar2(10); begin :r := split_twice(tag => s, a => 2, doubled => x); end;"));
  EXPECT_EQ("5|10", result_text("declare n number; m number; "
                                "function halve(v number, rest out number) return number is "
                                "begin rest := mod(v, 2) * 10; return trunc(v / 2); end; "
                                "begin m := halve(11, n); :r := m || '|' || n; end;"));
  std::string error = result_text("begin :r := split_twice(1, 2, 3); end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00363: expression '2' cannot be used as an assignment target")) << error;
  EXPECT_EQ(OCI_ERROR, run("SELECT split_twice(1, 2, 'a') FROM dual"));
  EXPECT_EQ("ORA-06572: Function SCOTT.SPLIT_TWICE has out arguments\n", last_error());
}

TEST_F(OutParameterFunctionTest, calls_inside_expressions_conditions_and_arguments_hand_back_their_out_values) {
  // In a condition, as an argument of another function and of a procedure, and nested in its own arguments.
  EXPECT_EQ("yes|6|a!", result_text("declare x number; s varchar2(10) := 'a'; begin "
                                    "if split_twice(3, x, s) > 3 then :r := 'yes|' || x || '|' || s; end if; end;"));
  EXPECT_EQ("5|b!!", result_text("declare x number; s varchar2(10) := 'b'; begin "
                                 ":r := to_char(split_twice(split_twice(1, x, s) + 1, x, s) + 1) || '|' || s; end;"));
  must_run("create or replace procedure show(v varchar2, o out varchar2) is begin o := '[' || v || ']'; end;");
  EXPECT_EQ("[4-8]", result_text("declare x number; s varchar2(10); o varchar2(20); begin "
                                 "show(split_twice(3, x, s) || '-' || (x + 2), o); :r := o; end;"));
  // A loop condition calls it on every test; so does a package's function, and a local one.
  must_run("create or replace package tally is function up(n in out number) return number; end;");
  must_run("create or replace package body tally is function up(n in out number) return number is "
           "begin n := n + 1; return n; end; end;");
  EXPECT_EQ("4|5", result_text("declare n number := 0; turns number := 0; begin "
                               "while tally.up(n) < 5 loop turns := turns + 1; end loop; :r := turns || '|' || n; end;"));
  EXPECT_EQ("11|1", result_text("declare r number; "
                                "function halve(v number, rest out number) return number is "
                                "begin rest := mod(v, 2); return trunc(v / 2); end; "
                                "begin :r := (halve(11, r) * 2 + 1) || '|' || r; end;"));
  // Inside SQL the call is SQL's, which refuses OUT arguments.
  std::string error = failure("declare x number; s varchar2(10); n number; begin "
                              "select split_twice(1, x, s) into n from dual; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06572")) << error;
}

TEST_F(OutParameterFunctionTest, char_parameters_and_results_take_the_length_of_the_value) {
  must_run("create or replace procedure joined(c char, n nchar, o out char) is begin o := c || '-' || n; end;");
  must_run("create or replace function initials(c in char) return char is begin return substr(c, 1, 3); end;");
  EXPECT_EQ("abc-Grüße|7", result_text("declare o varchar2(20); begin joined('abc', 'Grüße', o); "
                                       ":r := o || '|' || length(initials('abcdefg') || 'defg'); end;"));
  // A declared CHAR variable keeps its length rule.
  std::string error = failure("declare c char; begin c := 'ab'; end;");
  EXPECT_NE(std::string::npos, error.find("ORA-06502")) << error;
}

}  // namespace
}  // namespace ociemu::testing
