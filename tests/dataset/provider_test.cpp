// The dataset as a data provider sees it on ociemu: a provider transaction
// committed and rolled back (its posts undone in the records too), the
// variables as parameters, statements with "?" placeholders, and the table,
// key fields, index definitions and default order.
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr const char* kEmpSql = "select rowid, empno, ename, sal from emp order by empno";

class ProviderTest : public TwoSessionDataSetTest {
 protected:
  // Posts a new salary for the first employee, deletes the second and appends one.
  static void ChangeThree(TDataSet& emp) {
    emp.First();
    emp.Edit();
    emp.FieldByName("SAL")->SetAsFloat(900);
    emp.Post();
    emp.Next();
    emp.Delete();
    emp.Append();
    emp.FieldByName("EMPNO")->SetAsInteger(9001);
    emp.FieldByName("ENAME")->SetAsString("NEWBIE");
    emp.Post();
  }

};
KVELL_DATASET_INTERFACES(ProviderTest);

TEST_P(ProviderTest, a_rolled_back_transaction_undoes_the_server_and_the_records) {
  auto emp = OpenDataSet(kEmpSql);
  emp->CountAllRecords = true;
  const auto names = Column(*emp, "ENAME");
  const auto sals = Column(*emp, "SAL");
  emp->PSStartTransaction();
  EXPECT_TRUE(emp->PSInTransaction());
  EXPECT_FALSE(emp->CommitOnPost);
  ChangeThree(*emp);
  EXPECT_EQ(QueryValue(*session, "select count(*) || ' ' || min(sal) from emp"), "14 900") << "posted, not committed";
  EXPECT_EQ(emp->RecordCount(), 14);
  emp->PSEndTransaction(false);
  EXPECT_FALSE(emp->PSInTransaction());
  EXPECT_EQ(Column(*emp, "ENAME"), names);
  EXPECT_EQ(Column(*emp, "SAL"), sals);
  EXPECT_EQ(emp->RecordCount(), 14);
  EXPECT_EQ(OtherSees("select count(*) || ' ' || min(sal) from emp"), "14 800");
  EXPECT_EQ(QueryValue(*session, "select count(*) from emp where empno = 7499"), "1");
}

TEST_P(ProviderTest, a_committed_transaction_keeps_its_posts) {
  auto emp = OpenDataSet(kEmpSql);
  emp->PSStartTransaction();
  ChangeThree(*emp);
  emp->PSEndTransaction(true);
  EXPECT_FALSE(emp->PSInTransaction());
  EXPECT_EQ(emp->ChangeLog().Count(), 0);
  EXPECT_EQ(OtherSees("select count(*) || ' ' || min(sal) from emp"), "14 900");
  EXPECT_EQ(OtherSees("select count(*) from emp where empno in (7499, 9001)"), "1");
  emp->Refresh();
  EXPECT_EQ(emp->VisibleCount(), 14);
}

TEST_P(ProviderTest, parameters_are_the_variables) {
  auto emp = MakeDataSet("select rowid, empno, ename from emp where deptno = :deptno order by empno");
  emp->DeclareVariable("deptno", 3);
  emp->SetVariable("deptno", 10);
  TParams* params = emp->PSGetParams();
  ASSERT_EQ(params->Count(), 1);
  EXPECT_EQ((*params)[0].Name, "DEPTNO");
  EXPECT_EQ((*params)[0].AsInteger(), 10);

  TParams next;
  next.CreateParam(ftInteger, "deptno", ptInput).SetAsInteger(20);
  emp->PSSetParams(next);
  emp->PSExecute();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"SMITH", "JONES", "SCOTT", "ADAMS", "FORD"}));

  TParams wrong;
  wrong.CreateParam(ftInteger, "deptno", ptInput).SetAsInteger(30);
  wrong.CreateParam(ftInteger, "nope", ptInput).SetAsInteger(1);
  EXPECT_EQ(MessageOf([&] { emp->PSSetParams(wrong); }), std::string(dataset_messages::NoVariableForParameter) + "nope");
  EXPECT_EQ(emp->GetVariable("deptno").AsInteger(), 20) << "nothing was set";

  emp->PSSetCommandText("select rowid, dname from dept where deptno >= :deptno order by deptno");
  EXPECT_FALSE(emp->Active());
  emp->PSExecute();
  EXPECT_EQ(Column(*emp, "DNAME"), (std::vector<std::string>{"RESEARCH", "SALES", "OPERATIONS"}));

  // A text without the variable no longer binds it (ORA-01036 before).
  emp->PSSetCommandText("select rowid, dname from dept where deptno < 30 order by deptno");
  emp->PSExecute();
  EXPECT_EQ(Column(*emp, "DNAME"), (std::vector<std::string>{"ACCOUNTING", "RESEARCH"}));
  EXPECT_EQ(emp->VariableCount(), 0);
  emp->PSReset();
  EXPECT_FALSE(emp->Active());
}

TEST_P(ProviderTest, a_lob_parameter_is_written_into_the_locator_its_command_returns) {
  if (OCI7()) GTEST_SKIP() << "LOB variables need the OCI8 interface";
  Exec("create table docs (id number(4), body clob)");
  auto docs = MakeDataSet("insert into docs (id, body) values (:id, empty_clob()) returning body into :body");
  docs->DeclareVariable("id", 3);
  docs->DeclareVariable("body", 112);
  TParams params;
  params.CreateParam(ftInteger, "id", ptInput).SetAsInteger(7);
  params.CreateParam(ftOraClob, "body", ptInput).SetAsString("the text of seven");
  docs->PSSetParams(params);
  docs->PSExecute();
  EXPECT_EQ(QueryValue(*session, "select body from docs where id = 7"), "the text of seven");

  // The same through a PL/SQL block whose OUT locator names the new row.
  docs->PSSetCommandText(
      "begin\r\n"
      "  insert into docs (id, body) values (:id, empty_clob());\r\n"
      "  select body into :body from docs where id = :id for update;\r\n"
      "end;");
  params[0].SetAsInteger(8);
  params[1].SetAsString("the text of eight");
  docs->PSSetParams(params);
  docs->PSExecute();
  EXPECT_EQ(QueryValue(*session, "select body from docs where id = 8"), "the text of eight");
}

TEST_P(ProviderTest, statements_take_their_parameters_for_question_marks) {
  auto emp = OpenDataSet(kEmpSql);
  TParams params;
  params.CreateParam(ftString, "name", ptInput).SetAsString("SMITH?");
  params.CreateParam(ftInteger, "id", ptInput).SetAsInteger(7369);
  EXPECT_EQ(emp->PSExecuteStatement("update emp set ename = ? where empno = ? and job <> '?'", &params, nullptr), 1);
  EXPECT_EQ(QueryValue(*session, "select ename from emp where empno = 7369"), "SMITH?");

  TParams unused;
  unused.CreateParam(ftInteger, "id", ptInput).SetAsInteger(7369);
  unused.CreateParam(ftInteger, "extra", ptInput).SetAsInteger(1);
  EXPECT_EQ(MessageOf([&] { emp->PSExecuteStatement("delete from emp where empno = ?", &unused, nullptr); }),
            std::string(dataset_messages::NoVariableForParameter) + "extra");
  EXPECT_EQ(QueryValue(*session, "select count(*) from emp"), "14") << "refused before running";

  TParams dept;
  dept.CreateParam(ftInteger, "deptno", ptInput).SetAsInteger(10);
  TDataSet* rows = nullptr;
  emp->PSExecuteStatement("select ename from emp where deptno = ? order by ename", &dept, &rows);
  ASSERT_NE(rows, nullptr);
  std::unique_ptr<TDataSet> owned(rows);
  EXPECT_EQ(Column(*owned, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
}

TEST_P(ProviderTest, keys_index_definitions_and_default_order_come_from_UniqueFields_and_ORDER_BY) {
  auto emp = MakeDataSet("select rowid, empno, ename, sal from emp e order by upper(e.ename) desc, 2");
  emp->UniqueFields = "EMPNO";
  emp->Open();
  EXPECT_EQ(emp->PSGetTableName(), "EMP");
  EXPECT_EQ(emp->PSGetQuoteChar(), "\"");
  EXPECT_TRUE(emp->PSIsSQLBased() && emp->PSIsSQLSupported());
  EXPECT_EQ(emp->PSGetKeyFields(), "EMPNO");
  const std::optional<TIndexDef> order = emp->PSGetDefaultOrder();
  ASSERT_TRUE(order.has_value());
  EXPECT_EQ(order->Fields, "ENAME;EMPNO");
  EXPECT_EQ(order->DescFields, "ENAME");
  EXPECT_EQ(order->CaseInsFields, "ENAME");
  const TIndexDefs all = emp->PSGetIndexDefs(0);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].Fields, "EMPNO");
  EXPECT_EQ(all[0].Options, unsigned{ixPrimary | ixUnique});
  EXPECT_EQ(emp->PSGetIndexDefs(ixPrimary).size(), 1u);

  emp->ProviderOptions = opNoKeyFields | opNoDefaultOrder;
  EXPECT_EQ(emp->PSGetKeyFields(), "");
  EXPECT_FALSE(emp->PSGetDefaultOrder().has_value());
  emp->ProviderOptions = opNoIndexDefs;
  EXPECT_TRUE(emp->PSGetIndexDefs(0).empty());
}

}  // namespace
}  // namespace kvell::testing
