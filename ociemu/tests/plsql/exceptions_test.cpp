// Raising and handling: predefined, user and application errors, handlers in
// nested blocks, SQLCODE/SQLERRM and the text an unhandled error leaves with.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class ExceptionsTest : public PlsqlTest {};

TEST_F(ExceptionsTest, raise_application_error_leaves_with_its_code_text_and_line) {
  std::string error = failure("begin\n  null;\n  raise_application_error(-20123, 'Salary ' || 'too high');\nend;");
  EXPECT_EQ("ORA-20123: Salary too high\nORA-06512: at line 3\n", error);
  EXPECT_EQ(20123, last_code());
  std::string range = failure("begin raise_application_error(-1, 'x'); end;");
  EXPECT_EQ(0u, range.find("ORA-21000: error number argument to raise_application_error of -1 is out of range")) << range;
}

TEST_F(ExceptionsTest, handlers_catch_by_name_or_others_and_see_sqlcode_and_sqlerrm) {
  EXPECT_EQ("-1476 ORA-01476: divisor is equal to zero", result_text(R"(
declare x number;
begin
  x := 1 / 0;
exception
  when no_data_found then :r := 'wrong';
  when zero_divide then :r := sqlcode || ' ' || sqlerrm;
end;)"));
  EXPECT_EQ("-20001 ORA-20001: custom", result_text(R"(
begin
  raise_application_error(-20001, 'custom');
exception
  when others then :r := sqlcode || ' ' || sqlerrm;
end;)"));
  EXPECT_EQ("100 ORA-01403: no data found|0", result_text(R"(
declare s varchar2(100);
begin
  begin
    raise no_data_found;
  exception when no_data_found then s := sqlcode || ' ' || sqlerrm;
  end;
  :r := s || '|' || sqlcode;
end;)"));
  EXPECT_EQ("value", result_text("declare n number; begin n := 'abc'; exception when value_error then :r := 'value'; end;"));
}

TEST_F(ExceptionsTest, user_exceptions_and_exception_init) {
  EXPECT_EQ("mine 1 User-Defined Exception", result_text(R"(
declare
  mine exception;
begin
  raise mine;
exception
  when mine then :r := 'mine ' || sqlcode || ' ' || sqlerrm;
end;)"));
  EXPECT_EQ("caught -20500 ORA-20500: via code", result_text(R"(
declare
  overdrawn exception;
  pragma exception_init(overdrawn, -20500);
begin
  raise_application_error(-20500, 'via code');
exception
  when overdrawn then :r := 'caught ' || sqlcode || ' ' || sqlerrm;
end;)"));
  EXPECT_EQ("ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 1\n",
            failure("declare e exception; begin raise e; end;"));
  // A user exception is not a predefined one that happens to share SQLCODE 1.
  EXPECT_EQ("others", result_text(R"(
declare e exception;
begin raise e;
exception when dup_val_on_index then :r := 'dup'; when others then :r := 'others';
end;)"));
}

TEST_F(ExceptionsTest, errors_propagate_outwards_and_handlers_can_reraise) {
  EXPECT_EQ("inner outer", result_text(R"(
declare s varchar2(100);
begin
  begin
    begin
      raise too_many_rows;
    exception when too_many_rows then s := 'inner'; raise;
    end;
  exception when no_data_found then s := 'wrong';
  end;
exception when too_many_rows then :r := s || ' outer';
end;)"));
  EXPECT_EQ("ORA-01422: exact fetch returns more than requested number of rows\nORA-06512: at line 4\n",
            failure("begin\n  begin null; exception when others then null; end;\n  null;\n  raise too_many_rows;\nend;"));
  // An error in a handler is not caught by its own block's handlers.
  EXPECT_EQ("outer", result_text(R"(
begin
  begin
    raise no_data_found;
  exception
    when no_data_found then raise zero_divide;
    when zero_divide then :r := 'same block';
  end;
exception when zero_divide then :r := 'outer';
end;)"));
}

TEST_F(ExceptionsTest, an_error_in_a_declaration_goes_to_the_enclosing_handler) {
  EXPECT_EQ("enclosing", result_text(R"(
begin
  declare
    n number(2) := 12345;
  begin
    :r := 'body';
  exception when value_error then :r := 'own';
  end;
exception when value_error then :r := 'enclosing';
end;)"));
}

TEST_F(ExceptionsTest, sql_errors_keep_oracle_codes_inside_blocks) {
  must_run("CREATE TABLE K (ID NUMBER CONSTRAINT K_PK PRIMARY KEY)");
  EXPECT_EQ("dup ORA-00001: unique constraint (SCOTT.K_PK) violated", result_text(R"(
begin
  insert into k values (1);
  insert into k values (1);
exception when dup_val_on_index then :r := 'dup ' || sqlerrm;
end;)"));
  EXPECT_EQ("invalid", result_text(R"(
declare n number;
begin
  select to_number('x1') into n from dual;
exception when invalid_number then :r := 'invalid';
end;)"));
}

}  // namespace
}  // namespace ociemu::testing
