// Variables in and out of PL/SQL blocks through both interfaces: every simple
// type, nulls, PL/SQL tables both ways and a cursor variable that a block opens.
#include <gtest/gtest.h>

#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class PLSQLVariablesTest : public ConnectedQueryTest<SessionInterfaceTest> {
 protected:
  // Runs `text` with one IN OUT variable :v of `type` holding `value`, and returns what it holds after.
  Variant RoundTrip(int type, const Variant& value, const std::string& text) {
    query->DeleteVariables();
    query->DeclareVariable("v", type);
    query->SetVariable("v", value);
    query->SQL().SetText(text);
    query->Execute();
    return query->GetVariable("v");
  }
};

TEST_P(PLSQLVariablesTest, every_simple_type_is_changed_by_a_block_and_read_back) {
  EXPECT_EQ(42, RoundTrip(3, 41, "begin :v := :v + 1; end;").AsInteger());
  EXPECT_DOUBLE_EQ(5.25, RoundTrip(4, 2.625, "begin :v := :v * 2; end;").AsDouble());
  EXPECT_EQ("ABC", RoundTrip(5, "abc", "begin :v := upper(:v); end;").AsString());
  // CHARZ comes back blank-padded to its bound size: the session's longest string
  // (4000 characters, 2000 through the version 7 interface).
  const std::string fixed = RoundTrip(97, "abc", "begin :v := upper(:v); end;").AsString();
  const size_t bound_size = GetParam() == Interface::OCI8 ? 4000 : 2000;
  EXPECT_EQ("ABC" + std::string(bound_size - 3, ' '), fixed) << fixed.size();
  const std::string long_text(5000, 'q');  // beyond a SQL string, within a PL/SQL one
  EXPECT_EQ(long_text + "z", RoundTrip(10, long_text, "begin :v := :v || 'z'; end;").AsString());
  const TDateTime christmas = EncodeDate(2026, 12, 25) + EncodeTime(18, 30, 15, 0);
  EXPECT_DOUBLE_EQ(christmas + 1, RoundTrip(12, Variant::FromDateTime(christmas), "begin :v := :v + 1; end;")
                                      .AsDateTime());
  EXPECT_EQ(std::vector<uint8_t>({0x01, 0x02, 0xFF}),
            RoundTrip(24, Variant::FromBytes({9, 9, 9}), "begin :v := hextoraw('0102FF'); end;").AsBytes());
}

TEST_P(PLSQLVariablesTest, nulls_go_in_and_come_out_of_every_simple_type) {
  for (int type : {3, 4, 5, 10, 12, 97}) {
    SCOPED_TRACE(type);
    EXPECT_TRUE(RoundTrip(type, Null(), "begin if :v is not null then :v := 'not null'; end if; end;").IsEmpty());
  }
  session->NullValue = nvNull;
  EXPECT_TRUE(RoundTrip(3, 7, "begin :v := null; end;").IsNull());
  EXPECT_TRUE(RoundTrip(5, "x", "begin :v := null; end;").IsNull());
  EXPECT_TRUE(RoundTrip(12, Variant::FromDateTime(EncodeDate(2000, 1, 1)), "begin :v := null; end;").IsNull());
}

TEST_P(PLSQLVariablesTest, a_block_reads_a_plsql_table_and_fills_another) {
  query->SQL().SetText(
      "declare\n"
      "  type numbers is table of number index by binary_integer;\n"
      "begin\n"
      "  :total := 0;\n"
      "  for i in 1 .. :n loop\n"
      "    :total := :total + :amounts(i);\n"
      "    :labels(i) := 'item ' || :amounts(i);\n"
      "  end loop;\n"
      "end;");
  query->DeclareVariable("amounts", 3);
  query->DeclarePLSQLTable("amounts", 10, 0);
  query->DeclareVariable("labels", 5);
  query->DeclarePLSQLTable("labels", 10, 20);
  query->DeclareVariable("total", 3);
  query->DeclareVariable("n", 3);
  query->SetVariable("amounts", VarArrayOf({5, 7, 30}));
  query->SetVariable("n", 3);
  query->Execute();
  EXPECT_EQ(42, query->GetVariable("total").AsInteger());
  const Variant labels = query->GetVariable("labels");
  ASSERT_TRUE(labels.IsArray());
  EXPECT_EQ(2, labels.ArrayHighBound());
  EXPECT_EQ("item 5", labels[0].AsString());
  EXPECT_EQ("item 30", labels[2].AsString());
}

TEST_P(PLSQLVariablesTest, a_cursor_opened_by_a_block_is_fetched_by_the_receiving_query_in_arrays) {
  TOracleQuery employees;
  employees.SetSession(session.get());
  employees.SetReadBuffer(4);
  query->SQL().SetText("begin open :staff for select ename, sal from emp order by ename; end;");
  query->DeclareVariable("staff", 116);
  query->SetComplexVariable("staff", &employees);
  query->Execute();
  employees.Execute();
  std::vector<std::string> names;
  for (; !employees.Eof(); employees.Next()) names.push_back(employees.FieldText(0));
  EXPECT_EQ(QueryValue(*session, "select to_char(count(*)) from emp"), std::to_string(names.size()));
  EXPECT_EQ(QueryValue(*session, "select min(ename) from emp"), names.front());
  EXPECT_EQ(2, employees.ColumnCount());

  // The same variable takes a new cursor at the next execution.
  query->SQL().SetText("begin open :staff for select dname from dept where deptno = 10; end;");
  query->Execute();
  employees.Execute();
  ASSERT_FALSE(employees.Eof());
  EXPECT_EQ("ACCOUNTING", employees.FieldText(0));
  employees.Next();
  EXPECT_TRUE(employees.Eof());
}

TEST_P(PLSQLVariablesTest, a_cursor_variable_without_its_query_is_refused) {
  query->SQL().SetText("begin open :staff for select * from dual; end;");
  query->DeclareVariable("staff", 116);
  try {
    query->Execute();
    FAIL() << "executed without a receiving query";
  } catch (const Exception& error) {
    EXPECT_EQ("Cursor variable :STAFF cannot be nil", error.Message);
  }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, PLSQLVariablesTest, ::testing::Values(Interface::OCI8, Interface::ForceOCI7),
                         InterfaceName);

}  // namespace
}  // namespace kvell::testing
