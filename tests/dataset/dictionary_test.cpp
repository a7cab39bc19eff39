// The data dictionary on ociemu: resolving table names through synonyms and
// views, key columns, client-side constraint checks whose messages match the
// server's own, the message table, and the cache shared by a session's datasets.
#include <string>

#include "oracle/dataset/table_info.h"
#include "runtime/text_trim.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class DictionaryTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table dept_d (deptno number(2) constraint pk_dept_d primary key, "
         "dname varchar2(14) constraint uk_dept_dname unique)");
    Exec("create table emp_d (empno number(4) constraint pk_emp_d primary key, ename varchar2(10), "
         "sal number(7,2) constraint ck_emp_sal check (sal > 0), "
         "deptno number(2) constraint fk_emp_dept references dept_d, "
         "notes varchar2(20) check (notes <> 'bad'))");
    Exec("insert into dept_d values (10, 'ACCOUNTING')");
    Exec("insert into dept_d values (20, 'RESEARCH')");
    Exec("insert into emp_d values (7369, 'SMITH', 800, 20, null)");
    Exec("insert into emp_d values (7499, 'ALLEN', 1600, 10, null)");
    session->Commit();
  }

  std::unique_ptr<InspectableDataSet> Enforcing(const std::string& sql) {
    auto dataset = MakeDataSet(sql);
    dataset->OracleDictionary.EnforceConstraints = true;
    dataset->Open();
    return dataset;
  }
  // The message the server itself gives for `sql`, without the line break
  // OCI8's error records end with.
  std::string ServerMessage(const std::string& sql) {
    std::string message = MessageOf([&] { Exec(sql); });
    Exec("rollback");
    return std::string(TrimRight(message));
  }
};
KVELL_DATASET_INTERFACES(DictionaryTest);

TEST_P(DictionaryTest, names_resolve_through_tables_views_and_private_and_public_synonyms) {
  Exec("create view emp_v as select * from emp_d");
  Exec("create synonym emp_s for emp_d");
  Exec("create public synonym emp_p for scott.emp_d");
  auto dataset = MakeDataSet("select rowid, e.* from emp_d e");
  struct Case {
    const char* table;
    const char* owner;
    const char* name;
  } cases[] = {{"emp_d", "SCOTT", "EMP_D"}, {"emp_v", "SCOTT", "EMP_V"}, {"emp_s", "SCOTT", "EMP_D"},
               {"emp_p", "SCOTT", "EMP_D"}, {"nothing", "", ""}};
  for (const Case& c : cases) {
    dataset->SetUpdatingTable(c.table);
    TOracleTableInfo& info = dataset->TableInfo();
    EXPECT_EQ(info.Owner(), c.owner) << c.table;
    EXPECT_EQ(info.TableName(), c.name) << c.table;
  }
}

TEST_P(DictionaryTest, a_dotted_name_resolves_without_the_server_and_entries_are_shared) {
  auto first = MakeDataSet("select * from emp_d");
  first->SetUpdatingTable("sales.orders");
  TOracleTableInfo& info = first->TableInfo();
  EXPECT_EQ(info.Owner(), "SALES");
  EXPECT_EQ(info.TableName(), "ORDERS");
  EXPECT_EQ(info.StatementsSent(), 0);
  auto second = MakeDataSet("select * from emp_d");
  second->SetUpdatingTable("SALES.Orders");
  EXPECT_EQ(&second->TableInfo(), &info) << "names compare without case";
  EXPECT_EQ(TableInfoCache(*session).Count(), 1);

  auto detached = std::make_unique<InspectableDataSet>();
  detached->SetUpdatingTable("emp_d");
  EXPECT_EQ(MessageOf([&] { detached->TableInfo(); }), "Session undefined");
}

TEST_P(DictionaryTest, key_columns_come_from_the_primary_key_else_a_unique_key) {
  Exec("create table uk_only (a number, b number, c number, constraint uk_only_ab unique (a, b))");
  Exec("create table no_key (a number)");
  auto emp = MakeDataSet("select rowid, ename from emp_d");
  EXPECT_EQ(emp->DictionaryKeyColumns(false), std::vector<std::string>{"EMPNO"});
  emp->Open();
  EXPECT_TRUE(emp->DictionaryKeyColumns(true).empty()) << "EMPNO is not a field";
  auto unique = OpenDataSet("select rowid, a, b from uk_only");
  EXPECT_EQ(unique->DictionaryKeyColumns(true), (std::vector<std::string>{"A", "B"}));
  auto none = MakeDataSet("select * from no_key");
  EXPECT_TRUE(none->DictionaryKeyColumns(false).empty());

  auto provided = OpenDataSet("select rowid, empno, ename from emp_d");
  EXPECT_EQ(provided->PSGetKeyFields(), "EMPNO") << "the provider's keys without UniqueFields";
  provided->UniqueFields = "ENAME";
  EXPECT_EQ(provided->PSGetKeyFields(), "ENAME");
}

TEST_P(DictionaryTest, named_constraints_load_with_their_columns_and_system_named_ones_do_not) {
  auto dataset = MakeDataSet("select * from emp_d");
  std::vector<std::string> names;
  for (const TOracleConstraintInfo& constraint : dataset->TableInfo().Constraints()) names.push_back(constraint.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"CK_EMP_SAL", "FK_EMP_DEPT", "PK_EMP_D"}));
  TOracleConstraintInfo& check = dataset->TableInfo().Constraints()[0];
  dataset->TableInfo().LoadDetails(check);
  EXPECT_EQ(check.Kind, ckCheck);
  EXPECT_EQ(check.Condition, ":sal > 0");
  TOracleConstraintInfo& foreign = dataset->TableInfo().Constraints()[1];
  dataset->TableInfo().LoadDetails(foreign);
  EXPECT_EQ(foreign.Kind, ckForeignKey);
  EXPECT_EQ(foreign.ReferencedTable, "DEPT_D");
  EXPECT_EQ(foreign.ReferencedColumns, std::vector<std::string>{"DEPTNO"});
}

TEST_P(DictionaryTest, client_checks_give_the_servers_own_message_for_the_same_row) {
  auto dept = Enforcing("select rowid, deptno, dname from dept_d order by deptno");
  dept->Edit();
  dept->FieldByName("DNAME")->SetAsString("ACCOUNTING");  // its own value: the row is excluded
  EXPECT_EQ(MessageOf([&] { dept->FieldByName("DNAME")->SetAsString("RESEARCH"); }),
            ServerMessage("update dept_d set dname = 'RESEARCH' where deptno = 10"));
  dept->Cancel();
  dept->Append();
  EXPECT_EQ(MessageOf([&] { dept->FieldByName("DEPTNO")->SetAsInteger(20); }),
            ServerMessage("insert into dept_d (deptno) values (20)"));
  dept->Cancel();

  auto emp = Enforcing("select rowid, empno, sal, deptno from emp_d order by empno");
  emp->Edit();
  EXPECT_EQ(MessageOf([&] { emp->FieldByName("DEPTNO")->SetAsInteger(99); }),
            ServerMessage("update emp_d set deptno = 99 where empno = 7369"));
  EXPECT_EQ(MessageOf([&] { emp->FieldByName("SAL")->SetAsFloat(-1); }),
            ServerMessage("update emp_d set sal = -1 where empno = 7369"));
  emp->FieldByName("SAL")->SetAsFloat(900);
  emp->FieldByName("DEPTNO")->SetAsInteger(10);
  emp->Post();
  EXPECT_EQ(QueryValue(*session, "select deptno from emp_d where empno = 7369"), "10");
}

TEST_P(DictionaryTest, a_check_reads_columns_that_are_not_fields_from_the_row) {
  Exec("create table ranges (lo number, hi number, constraint ck_range check (lo <= hi))");
  Exec("insert into ranges values (1, 5)");
  session->Commit();
  auto dataset = Enforcing("select rowid, lo from ranges");
  dataset->Edit();
  dataset->FieldByName("LO")->SetAsInteger(5);
  EXPECT_NE(MessageOf([&] { dataset->FieldByName("LO")->SetAsInteger(6); }).find("CK_RANGE"), std::string::npos);
  dataset->Cancel();
  dataset->Append();
  dataset->FieldByName("LO")->SetAsInteger(6);  // an insert cannot read HI: skipped
  dataset->Cancel();
}

TEST_P(DictionaryTest, disabled_constraints_and_datasets_without_rowid_are_not_checked) {
  auto emp = MakeDataSet("select rowid, empno, sal from emp_d order by empno");
  emp->OracleDictionary.EnforceConstraints = true;
  emp->OracleDictionary.DisabledConstraints.Add("ck_emp_sal");
  emp->Open();
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(-1);
  emp->Cancel();
  auto without_rowid = MakeDataSet("select empno, sal from emp_d order by empno");
  without_rowid->OracleDictionary.EnforceConstraints = true;
  without_rowid->OnApplyRecord = [](TOracleDataSet*, char, bool& applied, std::string&) { applied = true; };
  without_rowid->Open();
  without_rowid->Edit();
  without_rowid->FieldByName("SAL")->SetAsFloat(-1);
  without_rowid->Cancel();
}

TEST_P(DictionaryTest, the_message_table_gives_the_row_of_the_action_over_the_wildcard_row) {
  Exec("create table messages (constraint_name varchar2(30), actions varchar2(10), parent_child varchar2(1), "
       "error_message varchar2(100))");
  Exec("insert into messages values ('UK_DEPT_DNAME', '*', '*', 'Names are unique')");
  Exec("insert into messages values ('UK_DEPT_DNAME', 'U', '*', 'Another department has this name')");
  Exec("insert into messages values ('FK_EMP_DEPT', '*', 'P', 'Parent row only')");
  session->Commit();
  session->MessageTable = "messages";
  auto dept = MakeDataSet("select rowid, deptno, dname from dept_d order by deptno");
  dept->OracleDictionary.EnforceConstraints = true;
  dept->OracleDictionary.UseMessageTable = true;
  dept->Open();
  dept->Edit();
  EXPECT_EQ(MessageOf([&] { dept->FieldByName("DNAME")->SetAsString("RESEARCH"); }),
            "Another department has this name");
  dept->Cancel();
  dept->Append();
  dept->FieldByName("DEPTNO")->SetAsInteger(30);
  EXPECT_EQ(MessageOf([&] { dept->FieldByName("DNAME")->SetAsString("RESEARCH"); }), "Names are unique");
  dept->Cancel();

  const std::string server = ServerMessage("update emp_d set deptno = 99 where empno = 7369");
  EXPECT_EQ(dept->TranslateMessage('U', 2291, server), server) << "a parent-only row does not answer a child error";
  session->MessageTable = "no_such_table";
  EXPECT_NE(dept->TranslateMessage('U', 1, "ORA-00001: unique constraint (SCOTT.UK_DEPT_DNAME) violated").find(
                "violated(ORA-00942"),
            std::string::npos)
      << "an error of the lookup is appended";
}

TEST_P(DictionaryTest, a_trigger_error_is_shown_without_its_backtrace_and_events_see_the_constraint) {
  Exec("create or replace trigger emp_d_guard before update on emp_d for each row "
       "begin if :new.ename = 'NOBODY' then raise_application_error(-20001, 'No such person'); end if; end;");
  auto emp = OpenDataSet("select rowid, empno, ename from emp_d order by empno");
  std::string seen;
  emp->OnTranslateMessage = [&](TOracleDataSet*, int code, const std::string& constraint, char action,
                                std::string& message) {
    seen = std::to_string(code) + " " + constraint + " " + action;
    message.insert(0, "!");
  };
  emp->Edit();
  emp->FieldByName("ENAME")->SetAsString("NOBODY");
  const std::string message = MessageOf([&] { emp->Post(); });
  EXPECT_EQ(message.rfind("!ORA-20001: No such person", 0), 0u) << message;
  EXPECT_EQ(message.find("ORA-06512"), std::string::npos) << message;
  EXPECT_EQ(seen, "20001  U");
  emp->Cancel();
  emp->Edit();
  emp->FieldByName("EMPNO")->SetAsInteger(7499);
  EXPECT_EQ(TrimRight(MessageOf([&] { emp->Post(); })),
            "!" + ServerMessage("update emp_d set empno = 7499 where empno = 7369"));
  EXPECT_EQ(seen, "1 PK_EMP_D U");
  emp->Cancel();
}

}  // namespace
}  // namespace kvell::testing
