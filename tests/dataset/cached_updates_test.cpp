// Cached updates on ociemu: changes kept in the records and the change log
// until applied, undone by a cancel, placed again on the rows of a new
// execution, applied in one savepoint (a failure in the middle leaves server,
// records and log as they were), blob values in logged records, and rows
// that another session changed or locked meanwhile.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dml_messages.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr const char* kEmpSql = "select rowid, empno, ename, sal from emp order by empno";

class CachedUpdatesTest : public TwoSessionDataSetTest {
 protected:
  std::unique_ptr<InspectableDataSet> CachedEmp(TLockingModeOptions mode = lmCheckImmediate) {
    auto emp = MakeDataSet(kEmpSql);
    emp->SetCachedUpdates(true);
    emp->LockingMode = mode;
    emp->Open();
    return emp;
  }
  static void GoTo(TDataSet& emp, int empno) { ASSERT_TRUE(emp.Locate("EMPNO", Variant(empno), 0)) << empno; }
  static void SetSal(TDataSet& emp, int empno, double sal) {
    GoTo(emp, empno);
    emp.Edit();
    emp.FieldByName("SAL")->SetAsFloat(sal);
    emp.Post();
  }
  // Inserts before the current record (appends with `append`).
  static void AddEmp(TDataSet& emp, int empno, const std::string& name, bool append = false) {
    if (append)
      emp.Append();
    else
      emp.Insert();
    emp.FieldByName("EMPNO")->SetAsInteger(empno);
    emp.FieldByName("ENAME")->SetAsString(name);
    emp.FieldByName("SAL")->SetAsFloat(100);
    emp.Post();
  }
  // What this session's transaction holds, committed or not.
  std::string Server(const std::string& sql) { return QueryValue(*session, sql); }

};
KVELL_DATASET_INTERFACES(CachedUpdatesTest);

TEST_P(CachedUpdatesTest, changes_stay_in_the_records_until_applied_and_then_reach_the_server) {
  auto emp = CachedEmp();
  SetSal(*emp, 7369, 900);
  GoTo(*emp, 7499);
  emp->Delete();
  GoTo(*emp, 7521);
  AddEmp(*emp, 9001, "NEWBIE");
  EXPECT_EQ(emp->UpdateStatus(), usInserted);
  GoTo(*emp, 7369);
  EXPECT_EQ(emp->UpdateStatus(), usModified);
  EXPECT_EQ(emp->FieldByName("SAL")->OldValue().AsDouble(), 800) << "old values are those before the change";
  GoTo(*emp, 7566);
  EXPECT_EQ(emp->UpdateStatus(), usUnmodified);
  EXPECT_TRUE(emp->UpdatesPending());
  EXPECT_EQ(emp->ChangeLog().Count(), 3);
  EXPECT_EQ(emp->VisibleCount(), 14);
  EXPECT_EQ(Server("select sal from emp where empno = 7369"), "800") << "nothing was sent";
  EXPECT_EQ(Server("select count(*) from emp where empno in (7499, 9001)"), "1");

  emp->ApplyUpdates();
  EXPECT_FALSE(emp->UpdatesPending());
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "900") << "applied and committed";
  EXPECT_EQ(OtherSees("select count(*) from emp where empno = 7499"), "0");
  EXPECT_EQ(OtherSees("select ename from emp where empno = 9001"), "NEWBIE");

  // The applied insert knows its row: a later change to it is an update.
  GoTo(*emp, 9001);
  EXPECT_EQ(emp->UpdateStatus(), usUnmodified);
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(150);
  emp->Post();
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select count(*) || ' ' || max(sal) from emp where empno = 9001"), "1 150");
}

TEST_P(CachedUpdatesTest, a_cancel_undoes_every_change_newest_first) {
  auto emp = CachedEmp();
  const auto names = Column(*emp, "ENAME");
  const auto sals = Column(*emp, "SAL");
  SetSal(*emp, 7369, 900);
  SetSal(*emp, 7369, 950);
  GoTo(*emp, 7499);
  emp->Delete();
  GoTo(*emp, 7521);
  AddEmp(*emp, 9001, "FIRST");
  AddEmp(*emp, 9002, "SECOND");  // before FIRST
  emp->Delete();                 // a cached insert deleted again: forgotten
  SetSal(*emp, 7566, 3000);
  emp->Delete();  // an update deleted: the delete of the original row
  GoTo(*emp, 7654);
  emp->Delete();
  EXPECT_EQ(emp->ChangeLog().Count(), 5);
  EXPECT_EQ(emp->VisibleCount(), 12);
  const auto changed = Column(*emp, "ENAME");
  emp->Refresh();  // deleted rows are skipped again and remember where they stood
  EXPECT_EQ(Column(*emp, "ENAME"), changed);
  emp->CancelUpdates();
  EXPECT_FALSE(emp->UpdatesPending());
  EXPECT_EQ(Column(*emp, "ENAME"), names);
  EXPECT_EQ(Column(*emp, "SAL"), sals);
  GoTo(*emp, 7499);
  emp->Edit();  // a restored record is an ordinary one again
  emp->FieldByName("SAL")->SetAsFloat(1700);
  emp->Post();
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7499"), "1700");
}

TEST_P(CachedUpdatesTest, a_cancel_under_a_filter_restores_the_filtered_view) {
  auto emp = CachedEmp();
  emp->SetFilterText("SAL >= 2500");
  emp->SetFiltered(true);
  const auto names = Column(*emp, "ENAME");
  ASSERT_EQ(names, (std::vector<std::string>{"JONES", "BLAKE", "SCOTT", "KING", "FORD"}));
  GoTo(*emp, 7698);
  emp->Delete();
  GoTo(*emp, 7788);
  emp->Delete();
  EXPECT_EQ(emp->VisibleCount(), 3);
  emp->CancelUpdates();
  EXPECT_EQ(Column(*emp, "ENAME"), names);
  emp->SetFiltered(false);
  EXPECT_EQ(emp->VisibleCount(), 14);
}

TEST_P(CachedUpdatesTest, pending_changes_are_placed_again_on_the_rows_of_a_refresh) {
  auto emp = CachedEmp();
  SetSal(*emp, 7369, 900);
  GoTo(*emp, 7499);
  emp->Delete();
  GoTo(*emp, 7654);
  AddEmp(*emp, 9002, "LATER");
  GoTo(*emp, 7521);
  AddEmp(*emp, 9001, "EARLIER");
  emp->Last();
  AddEmp(*emp, 9003, "LAST", true);
  const auto names = Column(*emp, "ENAME");
  const auto sals = Column(*emp, "SAL");
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(names[1], "EARLIER");
  emp->Refresh();
  EXPECT_EQ(Column(*emp, "ENAME"), names);
  EXPECT_EQ(Column(*emp, "SAL"), sals);
  GoTo(*emp, 9001);
  EXPECT_EQ(emp->UpdateStatus(), usInserted);
  GoTo(*emp, 7369);
  EXPECT_EQ(emp->UpdateStatus(), usModified);

  // Rows read on demand meet their changes as they arrive.
  emp->QueryAllRecords = false;
  emp->SetReadBuffer(2);
  emp->Refresh();
  EXPECT_LT(emp->HeldRecords(), 16);
  EXPECT_EQ(Column(*emp, "ENAME"), names);

  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select count(*) from emp"), "16");
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "900");
  emp->Refresh();
  EXPECT_EQ(Column(*emp, "ENAME").size(), 16u) << "nothing applied is placed a second time";
}

TEST_P(CachedUpdatesTest, an_apply_failing_on_the_third_of_five_changes_leaves_everything_as_it_was) {
  Exec("alter table emp add constraint sal_positive check (sal > 0)");
  auto emp = CachedEmp();
  SetSal(*emp, 7369, 900);
  SetSal(*emp, 7499, 1700);
  SetSal(*emp, 7521, -1);
  GoTo(*emp, 7566);
  emp->Delete();
  AddEmp(*emp, 9001, "NEWBIE", true);
  Exec("update dept set loc = 'HERE' where deptno = 10");  // the transaction's own earlier work
  const auto names = Column(*emp, "ENAME");
  const auto sals = Column(*emp, "SAL");

  const std::string message = MessageOf([&] { emp->ApplyUpdates(); });
  EXPECT_NE(message.find("ORA-02290"), std::string::npos) << message;
  EXPECT_EQ(emp->ChangeLog().Count(), 5);
  EXPECT_EQ(Column(*emp, "ENAME"), names);
  EXPECT_EQ(Column(*emp, "SAL"), sals);
  EXPECT_EQ(Server("select sal from emp where empno = 7369"), "800") << "the first two were rolled back";
  EXPECT_EQ(Server("select sal from emp where empno = 7499"), "1600");
  EXPECT_EQ(Server("select count(*) from emp"), "14");
  EXPECT_EQ(Server("select loc from dept where deptno = 10"), "HERE") << "work before the apply stays";

  SetSal(*emp, 7521, 1300);
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "900");
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7521"), "1300");
  EXPECT_EQ(OtherSees("select count(*) from emp where empno in (7566, 9001)"), "1");
  EXPECT_EQ(OtherSees("select loc from dept where deptno = 10"), "HERE");
}

TEST_P(CachedUpdatesTest, blob_values_are_kept_cancelled_and_applied_with_their_records) {
  if (OCI7()) GTEST_SKIP() << "LOB columns need the OCI8 interface";
  Exec("create table docs (id number(4), body clob, data blob)");
  const std::string sql = "select rowid, id, body, data from docs order by id";
  const std::string big(100000, 'z');
  {
    auto seed = OpenDataSet(sql);
    seed->Append();
    seed->FieldByName("ID")->SetAsInteger(1);
    seed->FieldByName("BODY")->SetAsString("first");
    seed->FieldByName("DATA")->SetAsString(std::string("\x01\x02", 2));
    seed->Post();
  }
  auto docs = MakeDataSet(sql);
  docs->SetCachedUpdates(true);
  docs->Open();
  docs->Edit();
  docs->FieldByName("BODY")->SetAsString("second");
  docs->Post();
  EXPECT_EQ(docs->FieldByName("BODY")->OldValue().AsString(), "first");
  docs->Append();
  docs->FieldByName("ID")->SetAsInteger(2);
  docs->FieldByName("BODY")->SetAsString(big);
  docs->Post();
  docs->Refresh();
  EXPECT_EQ(Column(*docs, "BODY"), (std::vector<std::string>{"second", big}));
  docs->CancelUpdates();
  EXPECT_EQ(Column(*docs, "BODY"), (std::vector<std::string>{"first"}));
  docs->First();
  EXPECT_EQ(docs->FieldByName("DATA")->AsString(), std::string("\x01\x02", 2));

  docs->Edit();
  docs->FieldByName("DATA")->SetAsString(big);
  docs->Post();
  docs->Append();
  docs->FieldByName("ID")->SetAsInteger(2);
  docs->FieldByName("BODY")->SetAsString(big);
  docs->Post();
  docs->ApplyUpdates();
  auto check = OpenDataSet(sql);
  EXPECT_EQ(Column(*check, "BODY"), (std::vector<std::string>{"first", big}));
  check->First();
  EXPECT_TRUE(check->FieldByName("DATA")->AsString() == big);
}

TEST_P(CachedUpdatesTest, rows_another_session_changed_or_locked_are_found_when_applied) {
  auto emp = CachedEmp();
  SetSal(*emp, 7566, 3100);
  Run(*other, "update emp set sal = 2999 where empno = 7566");
  other->Commit();
  EXPECT_EQ(MessageOf([&] { emp->ApplyUpdates(); }), dml_messages::RecordChanged);
  EXPECT_TRUE(emp->UpdatesPending());
  emp->CancelUpdates();

  auto locked = CachedEmp(lmLockDelayed);
  SetSal(*locked, 7698, 2900);
  Run(*other, "select * from emp where empno = 7698 for update nowait");
  EXPECT_EQ(MessageOf([&] { locked->ApplyUpdates(); }), dml_messages::RecordLocked);
  EXPECT_TRUE(locked->UpdatesPending());
  other->Rollback();
  locked->ApplyUpdates();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7698"), "2900");
}

TEST_P(CachedUpdatesTest, OnApplyRecord_sees_each_change_as_it_is_applied) {
  auto emp = CachedEmp(lmNone);
  std::vector<std::string> seen;
  emp->OnApplyRecord = [&](TOracleDataSet* dataset, char action, bool& applied, std::string&) {
    seen.push_back(std::string(1, action) + " " + dataset->FieldByName("ENAME")->AsString() + " " +
                   dataset->FieldByName("SAL")->AsString());
    applied = action == 'D';  // the handler deletes by itself
  };
  SetSal(*emp, 7369, 900);
  GoTo(*emp, 7499);
  emp->Delete();
  AddEmp(*emp, 9001, "NEWBIE", true);
  EXPECT_TRUE(seen.empty()) << "nothing is applied before ApplyUpdates";
  emp->ApplyUpdates();
  EXPECT_EQ(seen, (std::vector<std::string>{"U SMITH 900", "D ALLEN 1600", "I NEWBIE 100"}));
  EXPECT_EQ(OtherSees("select count(*) from emp where empno in (7499, 9001)"), "2") << "the handler kept 7499";
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "900");
}

TEST_P(CachedUpdatesTest, a_cached_post_checks_the_records_constraints_at_once) {
  Exec("create table pairs (a number(4), b number(4), constraint pairs_uk unique (a, b))");
  Exec("insert into pairs values (1, 1)");
  session->Commit();
  auto pairs = MakeDataSet("select rowid, a, b from pairs");
  pairs->SetCachedUpdates(true);
  pairs->OracleDictionary.EnforceConstraints = true;
  pairs->Open();
  pairs->Append();
  pairs->FieldByName("A")->SetAsInteger(1);
  pairs->FieldByName("B")->SetAsInteger(1);
  const std::string message = MessageOf([&] { pairs->Post(); });
  EXPECT_NE(message.find("ORA-00001"), std::string::npos) << message;
  EXPECT_NE(message.find("PAIRS_UK"), std::string::npos) << message;
  EXPECT_EQ(pairs->State(), dsInsert);
  EXPECT_EQ(pairs->ChangeLog().Count(), 0);
  pairs->FieldByName("B")->SetAsInteger(2);
  pairs->Post();
  EXPECT_EQ(pairs->ChangeLog().Count(), 1);
}

TEST_P(CachedUpdatesTest, the_server_count_takes_cached_inserts_and_deletes_into_account) {
  auto emp = MakeDataSet(kEmpSql);
  emp->SetCachedUpdates(true);
  emp->CountAllRecords = true;
  emp->Open();
  AddEmp(*emp, 9001, "ONE", true);
  AddEmp(*emp, 9002, "TWO", true);
  GoTo(*emp, 7369);
  emp->Delete();
  EXPECT_EQ(emp->RecordCount(), 15);
  emp->CancelUpdates();
  EXPECT_EQ(emp->RecordCount(), 14);
  AddEmp(*emp, 9001, "ONE", true);
  emp->ApplyUpdates();
  EXPECT_EQ(emp->RecordCount(), 15) << "applied changes count as posted";
  emp->Refresh();
  EXPECT_EQ(emp->RecordCount(), 15);
}

TEST_P(CachedUpdatesTest, a_details_cached_inserts_stay_with_their_master_record) {
  auto dept = OpenDataSet("select rowid, deptno, dname from dept order by deptno");
  auto emp = MakeDataSet("select rowid, empno, ename, sal, deptno from emp where deptno = :deptno order by empno");
  emp->DeclareVariable("deptno", 3);
  emp->MasterFields = "DEPTNO";  // the variable is named as the master field
  emp->SetCachedUpdates(true);
  emp->SetMaster(dept.get());
  emp->Open();
  AddEmp(*emp, 9001, "NEWBIE", true);
  const std::vector<std::string> accounting{"CLARK", "KING", "MILLER", "NEWBIE"};
  EXPECT_EQ(Column(*emp, "ENAME"), accounting);
  EXPECT_EQ(MessageOf([&] { dept->Refresh(); }), dataset_messages::RefreshWithCachedDetails);
  dept->Next();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"SMITH", "JONES", "SCOTT", "ADAMS", "FORD"}));
  dept->Prior();
  EXPECT_EQ(Column(*emp, "ENAME"), accounting);
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select deptno from emp where empno = 9001"), "10");
  dept->Refresh();
  EXPECT_EQ(Column(*emp, "ENAME"), accounting);
}

TEST_P(CachedUpdatesTest, pending_changes_keep_cached_updates_on_until_applied_or_cancelled) {
  auto emp = CachedEmp();
  SetSal(*emp, 7369, 900);
  EXPECT_EQ(MessageOf([&] { emp->SetCachedUpdates(false); }), dataset_messages::CachedUpdatesPending);
  EXPECT_TRUE(emp->UpdatesPending()) << "the change is still there to apply";
  emp->ApplyUpdates();
  emp->SetCachedUpdates(false);
  SetSal(*emp, 7499, 1700);  // now posted at once
  EXPECT_EQ(OtherSees("select sal from emp where empno in (7369, 7499) order by empno"), "900");
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7499"), "1700");
}

class CachedDetailTest : public CachedUpdatesTest {
 protected:
  void OpenPair(bool cached_master, bool detail_fields = true) {
    dept = MakeDataSet("select rowid, deptno, dname from dept order by deptno");
    dept->SetCachedUpdates(cached_master);
    dept->Open();
    emp = MakeDataSet("select rowid, empno, ename, sal, deptno from emp where deptno = :deptno order by empno");
    emp->DeclareVariable("deptno", 3);
    emp->MasterFields = "DEPTNO";
    if (detail_fields) emp->DetailFields = "DEPTNO";
    emp->SetCachedUpdates(true);
    emp->SetMaster(dept.get());
    emp->Open();
  }
  void AddDept(int deptno) {
    dept->Insert();
    dept->FieldByName("DEPTNO")->SetAsInteger(deptno);
    dept->FieldByName("DNAME")->SetAsString("NEW");
    dept->Post();
  }
  void TearDown() override {
    emp.reset();
    dept.reset();
    CachedUpdatesTest::TearDown();
  }
  std::unique_ptr<InspectableDataSet> dept, emp;
};
KVELL_DATASET_INTERFACES(CachedDetailTest);

TEST_P(CachedDetailTest, a_cancel_in_the_master_moves_the_detail_to_the_record_it_lands_on) {
  OpenPair(true);
  dept->Insert();  // before ACCOUNTING
  dept->FieldByName("DEPTNO")->SetAsInteger(5);
  dept->FieldByName("DNAME")->SetAsString("NEW");
  dept->Post();
  EXPECT_TRUE(emp->IsEmpty());
  dept->CancelUpdates();
  EXPECT_EQ(dept->FieldByName("DNAME")->AsString(), "ACCOUNTING");
  EXPECT_EQ(emp->GetVariable("deptno").AsInteger(), 10);
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
}

TEST_P(CachedDetailTest, a_details_cached_inserts_follow_the_master_key_across_a_master_refresh) {
  OpenPair(false);
  AddEmp(*emp, 9001, "NEWBIE", true);
  // A new first department numbers the master's records anew at the refresh.
  Run(*other, "insert into dept (deptno, dname) values (5, 'FIRST')");
  other->Commit();
  dept->Refresh();
  EXPECT_EQ(dept->FieldByName("DNAME")->AsString(), "FIRST");
  EXPECT_TRUE(emp->IsEmpty()) << "not under the record that took ACCOUNTING's place";
  ASSERT_TRUE(dept->Locate("DEPTNO", Variant(10), 0));
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER", "NEWBIE"}));
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select deptno from emp where empno = 9001"), "10");
}

// Alone, a detail's inserts under a master insert that never reaches the
// server would be sent as orphan rows (or fail the whole apply under a
// foreign key); inserts under other master records must stay.
TEST_P(CachedDetailTest, a_details_inserts_go_with_the_master_insert_they_were_made_under) {
  const auto sent = [&](int empno) { return OtherSees("select count(*) from emp where empno = " + std::to_string(empno)); };
  for (const bool detail_fields : {true, false}) {
    SCOPED_TRACE(detail_fields ? "DetailFields" : "record identity");
    const int base = detail_fields ? 9000 : 9100;
    OpenPair(true, detail_fields);
    AddEmp(*emp, base + 1, "KEPT", true);  // under ACCOUNTING
    AddDept(5);
    AddEmp(*emp, base + 2, "CANCELLED", true);
    dept->CancelUpdates();
    EXPECT_EQ(emp->ChangeLog().Count(), 1);

    AddDept(6);
    AddEmp(*emp, base + 3, "DELETED", true);
    AddEmp(*emp, base + 4, "DELETED", true);
    dept->Delete();  // forgets the cached insert
    EXPECT_EQ(emp->ChangeLog().Count(), 1);
    EXPECT_FALSE(dept->UpdatesPending());

    AddDept(7);
    emp->Append();
    emp->FieldByName("EMPNO")->SetAsInteger(base + 5);
    dept->CancelUpdates();  // with the detail's insert still being edited
    EXPECT_EQ(emp->State(), dsBrowse);

    emp->ApplyUpdates();
    EXPECT_EQ(sent(base + 1), "1");
    for (int empno = base + 2; empno <= base + 5; ++empno) EXPECT_EQ(sent(empno), "0") << empno;
  }
}

}  // namespace
}  // namespace kvell::testing
