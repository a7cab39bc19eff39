// Function results in select lists describe with their declared types, and SQL
// passes arguments to stored functions by name as well as by position.
#include <string>
#include <utility>
#include <vector>

#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class FunctionCallSqlTest : public PlsqlTest {
 protected:
  void create(const std::string& text) { ASSERT_EQ(OCI_SUCCESS, run(text)) << last_error(); }

  // The described type of each select-list column of `sql`.
  std::vector<ub2> described_types(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    std::vector<ub2> types;
    for (ub4 i = 1; i <= count; ++i) {
      OCIParam* param = nullptr;
      EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), i));
      ub2 type = 0;
      OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
      types.push_back(type);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return types;
  }
};

TEST_F(FunctionCallSqlTest, function_results_describe_as_their_declared_types) {
  create("create function due(p_from date) return date is begin return p_from + 30; end;");
  create("create function half(n number) return number is begin return n / 2; end;");
  create("create function tag(s varchar2) return varchar2 is begin return '<' || s || '>'; end;");
  create("create function stamp return timestamp is begin return timestamp '2024-01-02 03:04:05.5'; end;");
  create("create function counted return pls_integer is begin return 7; end;");
  must_run("create table stamps (t timestamp)");
  ub2 timestamp_type = described_types("select t from stamps").front();
  EXPECT_EQ((std::vector<ub2>{SQLT_DAT, SQLT_NUM, SQLT_CHR, timestamp_type, SQLT_NUM}),
            described_types("select due(hiredate), half(sal), tag(ename), stamp(), counted() from emp"));

  // A DATE result fetches as a date, not as its storage text.
  OCIStmt* stmt = prepare("select due(hiredate) from emp where ename = 'KING'");
  OCIDate due;
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &due, sizeof due, SQLT_ODT, nullptr, nullptr, nullptr,
                                        OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(1981, due.OCIDateYYYY);  // KING was hired on 17-NOV-1981
  EXPECT_EQ(12, due.OCIDateMM);
  EXPECT_EQ(17, due.OCIDateDD);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("17-DEC-81", single_text("select due(hiredate) from emp where ename = 'KING'"));
}

TEST_F(FunctionCallSqlTest, date_builtins_describe_as_dates) {
  EXPECT_EQ((std::vector<ub2>(7, SQLT_DAT)),
            described_types("select sysdate, to_date('2024-03-01', 'YYYY-MM-DD'), add_months(hiredate, 2), "
                            "trunc(hiredate), nvl(hiredate, sysdate), last_day(hiredate), hiredate + 1 from emp"));
}

constexpr const char* kSpan = R"(create or replace function span(p_a number, p_b number, p_c number default 100)
  return number is
begin
  return p_a * 10000 + p_b * 1000 + p_c;
end;)";

TEST_F(FunctionCallSqlTest, sql_passes_arguments_by_name_in_any_order_with_defaults) {
  create(kSpan);
  EXPECT_EQ("12100", single_text("select span(p_b => 2, p_a => 1) from dual"));
  EXPECT_EQ("12003", single_text("select span(1, p_c => 3, p_b => 2) from dual"));
  EXPECT_EQ("12003", single_text("select scott.span(p_c=>3, p_a=>1, p_b=>1 + 1) from dual"));
  EXPECT_EQ("1", single_text("select count(*) from emp where span(p_a => 0, p_b => 0, p_c => empno) = 7839"));
  must_run("create table spans (n number)");
  must_run("insert into spans values (span(p_b => 4, p_a => 3))");
  must_run("update spans set n = n + span(p_c => 1, p_b => 0, p_a => 0)");
  EXPECT_EQ("34101", single_text("select n from spans"));
}

TEST_F(FunctionCallSqlTest, wrong_names_and_orders_fail_as_oracle_does) {
  create(kSpan);
  struct Case {
    const char* call;
    const char* error;
  };
  const Case cases[] = {
      {"span(p_a => 1, p_x => 2)", "ORA-06553: PLS-306: wrong number or types of arguments in call to 'SPAN'"},
      {"span(p_a => 1, p_a => 2)", "ORA-06553: PLS-306: wrong number or types of arguments in call to 'SPAN'"},
      {"span(p_b => 1)", "ORA-06553: PLS-306: wrong number or types of arguments in call to 'SPAN'"},
      {"span(1, 2, p_a => 3)", "ORA-06553: PLS-306: wrong number or types of arguments in call to 'SPAN'"},
      {"span(p_a => 1, 2)",
       "ORA-06553: PLS-312: a positional parameter association may not follow a named association"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OCI_ERROR, run(std::string("select ") + c.call + " from dual")) << c.call;
    EXPECT_EQ(std::string(c.error) + "\n", last_error()) << c.call;
  }
  // Blocks reach the same calls through their expressions.
  EXPECT_EQ("12100", result_text("begin :r := span(p_b => 2, p_a => 1); end;"));
  EXPECT_EQ("21100", result_text("declare p_a number := 2; begin :r := span(p_b => p_a - 1, p_a => p_a); end;"));
}

TEST_F(FunctionCallSqlTest, a_function_without_arguments_is_called_without_parentheses_unless_a_column_has_its_name) {
  create("create function answer return number is begin return 42; end;");
  create("create table shadowing (answer number)");
  create("insert into shadowing values (7)");
  EXPECT_EQ("43", single_text("select answer + 1 from dual where answer = 42"));
  EXPECT_EQ("42", single_text("select scott.answer from dual"));
  EXPECT_EQ("7", single_text("select answer from shadowing"));
  EXPECT_EQ("7", single_text("select answer from (select answer from shadowing)"));
  EXPECT_EQ(OCI_ERROR, run("select answers from dual"));
  EXPECT_EQ(904, last_code());
}

}  // namespace
}  // namespace ociemu::testing
