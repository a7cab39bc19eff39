// Writing a dataset's changes back on ociemu: the generated update, insert
// and delete, the row locked, compared and re-read as LockingMode and
// RefreshOptions say, against a second session that locks, changes or
// deletes the row, and a failed post that leaves everything as it was.
#include <string>
#include <vector>

#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/dml_statements.h"
#include "runtime/datetime.h"
#include "runtime/text_trim.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr const char* kEmpSql = "select rowid, empno, ename, sal, comm from emp order by empno";

class WriteBackTest : public TwoSessionDataSetTest {
 protected:
  // The dataset over EMP positioned on `empno`.
  std::unique_ptr<InspectableDataSet> EmpAt(int empno, TLockingModeOptions mode = lmCheckImmediate) {
    auto emp = MakeDataSet(kEmpSql);
    emp->LockingMode = mode;
    emp->Open();
    while (!emp->Eof() && emp->FieldByName("EMPNO")->AsInteger() != empno) emp->Next();
    return emp;
  }
  // Locks the row of `empno` from the other session.
  void OtherLocks(int empno) {
    Run(*other, "select * from emp where empno = " + std::to_string(empno) + " for update nowait");
  }
  std::string DmlText(InspectableDataSet& dataset) { return dataset.DMLQuery()->SQL().Text(); }

};
KVELL_DATASET_INTERFACES(WriteBackTest);

TEST_P(WriteBackTest, an_edit_posts_only_the_changed_column_by_rowid_and_commits) {
  auto emp = EmpAt(7369);
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(1234.5);
  emp->Post();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "1234.5");
  const std::string returning = OCI7() ? "" : "\r\nreturning rowid into :kvell__rowid";
  EXPECT_EQ(DmlText(*emp), "update EMP\r\nset SAL = :v3\r\nwhere rowid = :kvell__rowid" + returning + "\r\n");
  EXPECT_EQ(emp->FieldByName("SAL")->AsFloat(), 1234.5);
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "SMITH");
  emp->Refresh();
  EXPECT_EQ(emp->FieldByName("SAL")->AsFloat(), 1234.5) << "the row on the server";
}

// Posts in a row reuse their update text only while it still fits: another
// column, a null instead of a value, or another updating table each need
// their own.
TEST_P(WriteBackTest, each_update_names_the_columns_values_and_table_of_its_own_post) {
  Run(*session, "create synonym emp_s for emp");
  auto emp = EmpAt(7369);
  const std::string tail =
      std::string("\r\nwhere rowid = :kvell__rowid") + (OCI7() ? "" : "\r\nreturning rowid into :kvell__rowid") + "\r\n";
  struct Round {
    const char* updating_table;
    const char* ename;  // null: left as it is
    const char* sal;    // null: left as it is; "": set to null
    const char* head;
  } rounds[] = {
      {"", nullptr, "1001", "update EMP\r\nset SAL = :v3"},
      {"", nullptr, "1002", "update EMP\r\nset SAL = :v3"},
      {"", "ALPHA", nullptr, "update EMP\r\nset ENAME = :v2"},
      {"", "BETA", "1003", "update EMP\r\nset ENAME = :v2, SAL = :v3"},
      {"", nullptr, "", "update EMP\r\nset SAL = null"},
      {"", nullptr, "1004", "update EMP\r\nset SAL = :v3"},
      {"emp_s", nullptr, "1005", "update EMP_S\r\nset SAL = :v3"},
  };
  for (const Round& round : rounds) {
    emp->SetUpdatingTable(round.updating_table);
    emp->Edit();
    if (round.ename) emp->FieldByName("ENAME")->SetAsString(round.ename);
    if (round.sal && !*round.sal) emp->FieldByName("SAL")->Clear();
    if (round.sal && *round.sal) emp->FieldByName("SAL")->SetAsFloat(std::stod(round.sal));
    emp->Post();
    EXPECT_EQ(DmlText(*emp), round.head + tail) << round.head;
    if (round.sal) {
      EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), round.sal) << round.head;
    }
  }
  EXPECT_EQ(OtherSees("select ename from emp where empno = 7369"), "BETA");
}

TEST_P(WriteBackTest, statement_queries_stay_prepared_with_Optimize_and_are_closed_without_it) {
  auto emp = EmpAt(7369);
  for (double sal : {1001.0, 1002.0}) {
    emp->Edit();
    emp->FieldByName("SAL")->SetAsFloat(sal);
    emp->Post();
  }
  TOracleQuery* update = emp->DMLQuery();
  ASSERT_NE(update, nullptr);
  EXPECT_EQ(update->Name(), "DMLQuery");
  EXPECT_TRUE(update->CursorOpen()) << "kept prepared for the next post";
  EXPECT_EQ(emp->StatementsSent(), 10) << "compare at edit, savepoint, lock and compare, update, commit";
  emp->SetOptimize(false);
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(1003);
  emp->Post();
  EXPECT_EQ(emp->DMLQuery(), update) << "the same text runs in the same query";
  EXPECT_FALSE(update->CursorOpen()) << "closed after the statement without Optimize";
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "1003");
  emp->Close();
  EXPECT_EQ(emp->DMLQuery(), nullptr) << "freed at close";
}

TEST_P(WriteBackTest, more_statement_texts_than_stay_prepared_all_reach_the_server) {
  auto emp = EmpAt(7499);
  const char* columns[][2] = {{"ENAME", nullptr}, {"SAL", nullptr}, {"COMM", nullptr}, {"ENAME", "SAL"},
                              {"ENAME", "COMM"},  {"SAL", "COMM"},  {"ENAME", nullptr}, {"SAL", "COMM"}};
  int round = 0;
  for (auto& pair : columns) {
    ++round;
    emp->Edit();
    for (const char* column : pair) {
      if (!column) continue;
      TField* field = emp->FieldByName(column);
      if (field->DataType() == ftString) {
        field->SetAsString("N" + std::to_string(round));
      } else {
        field->SetAsFloat(100 + round);
      }
    }
    emp->Post();
  }
  EXPECT_EQ(OtherSees("select ename || ' ' || sal || ' ' || comm from emp where empno = 7499"), "N7 108 108");
  EXPECT_EQ(DmlText(*emp).rfind("update EMP\r\nset SAL = :v3, COMM = :v4\r\n", 0), 0u) << DmlText(*emp);
}

TEST_P(WriteBackTest, cached_changes_send_nothing_until_applied) {
  auto emp = MakeDataSet(kEmpSql);
  emp->SetCachedUpdates(true);
  emp->LockingMode = lmNone;
  emp->Open();
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(1);
  emp->Post();
  emp->Next();
  emp->Delete();
  emp->Insert();
  emp->FieldByName("EMPNO")->SetAsInteger(9001);
  emp->Post();
  EXPECT_EQ(emp->StatementsSent(), 0);
  EXPECT_EQ(emp->VisibleCount(), 14);
  EXPECT_EQ(OtherSees("select count(*) || ' ' || min(sal) from emp"), "14 800") << "nothing was written";
  emp->ApplyUpdates();
  EXPECT_EQ(OtherSees("select count(*) || ' ' || min(sal) from emp"), "14 1");
}

TEST_P(WriteBackTest, a_post_that_changes_nothing_sends_nothing) {
  auto emp = EmpAt(7499);
  emp->Edit();
  emp->FieldByName("ENAME")->SetAsString("ALLEN  ");
  TOracleQuery* before = emp->DMLQuery();
  emp->Post();
  EXPECT_EQ(emp->DMLQuery(), before) << "no statement query was needed";
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "ALLEN  ");
}

TEST_P(WriteBackTest, an_insert_lists_its_non_null_columns_and_takes_the_rowid_of_the_new_row) {
  auto dept = OpenDataSet("select rowid, deptno, dname, loc from dept order by deptno");
  dept->Append();
  dept->FieldByName("DEPTNO")->SetAsInteger(50);
  dept->FieldByName("DNAME")->SetAsString("RESEARCH2");
  dept->Post();
  EXPECT_EQ(OtherSees("select dname from dept where deptno = 50"), "RESEARCH2");
  const std::string returning = OCI7() ? "" : "\r\nreturning rowid into :kvell__rowid";
  EXPECT_EQ(DmlText(*dept), "insert into DEPT\r\n  (DEPTNO, DNAME)\r\nvalues\r\n  (:v1, :v2)" + returning + "\r\n");
  EXPECT_EQ(dept->FieldByName("DEPTNO")->AsInteger(), 50);
  dept->Last();
  EXPECT_EQ(dept->FieldByName("DEPTNO")->AsInteger(), 50);
  dept->Edit();
  dept->FieldByName("LOC")->SetAsString("KRANJ");
  dept->Post();
  EXPECT_EQ(OtherSees("select loc from dept where deptno = 50"), "KRANJ") << "the new row's rowid was kept";
}

TEST_P(WriteBackTest, an_insert_goes_before_the_current_record_and_an_all_null_one_sends_nothing) {
  Exec("create table places (deptno number(4), name varchar2(20))");
  for (int deptno : {10, 20, 30, 40}) Exec("insert into places values (" + std::to_string(deptno) + ", 'x')");
  session->Commit();
  auto dept = OpenDataSet("select rowid, deptno, name from places order by deptno");
  dept->Next();  // 20
  dept->Insert();
  dept->FieldByName("DEPTNO")->SetAsInteger(15);
  dept->Post();
  EXPECT_EQ(Column(*dept, "DEPTNO"), (std::vector<std::string>{"10", "15", "20", "30", "40"}));
  dept->First();
  dept->Insert();
  dept->Post();
  EXPECT_EQ(Column(*dept, "DEPTNO"), (std::vector<std::string>{"", "10", "15", "20", "30", "40"}));
  EXPECT_EQ(OtherSees("select count(*) from places"), "5");
}

TEST_P(WriteBackTest, a_delete_removes_the_row_and_the_record) {
  auto emp = EmpAt(7900);
  emp->Delete();
  EXPECT_EQ(OtherSees("select count(*) from emp where empno = 7900"), "0");
  EXPECT_EQ(DmlText(*emp), "delete from EMP\r\nwhere rowid = :kvell__rowid\r\n");
  EXPECT_EQ(emp->VisibleCount(), 13);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7902) << "the next record becomes current";
}

TEST_P(WriteBackTest, a_row_locked_by_another_session_is_reported_when_the_mode_locks) {
  OtherLocks(7566);
  for (TLockingModeOptions mode : {lmLockImmediate, lmCheckImmediate, lmLockDelayed}) {
    auto emp = EmpAt(7566, mode);
    std::string message;
    if (mode == lmLockImmediate) {
      message = MessageOf([&] { emp->Edit(); });
      EXPECT_EQ(emp->State(), dsBrowse);
    } else {
      emp->Edit();
      emp->FieldByName("COMM")->SetAsFloat(1);
      message = MessageOf([&] { emp->Post(); });
      EXPECT_EQ(emp->State(), dsEdit) << "the failed post leaves the edit open";
      emp->Cancel();
      EXPECT_TRUE(emp->FieldByName("COMM")->IsNull());
    }
    EXPECT_EQ(message, dml_messages::RecordLocked) << "mode " << mode;
  }
  other->Rollback();
  EXPECT_EQ(OtherSees("select nvl(comm, -1) from emp where empno = 7566"), "-1");
}

TEST_P(WriteBackTest, a_row_changed_by_another_session_is_found_by_every_comparing_mode) {
  for (TLockingModeOptions mode : {lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone}) {
    auto emp = EmpAt(7788, mode);
    Run(*other, "update emp set ename = ename || 'X' where empno = 7788");
    other->Commit();
    std::string message;
    if (mode == lmLockImmediate || mode == lmCheckImmediate) {
      message = MessageOf([&] { emp->Edit(); });
    } else {
      emp->Edit();
      emp->FieldByName("SAL")->SetAsFloat(100 + mode);
      message = MessageOf([&] { emp->Post(); });
    }
    if (mode == lmNone) {
      EXPECT_EQ(message, "<no exception>") << "lmNone overwrites";
      EXPECT_EQ(OtherSees("select sal from emp where empno = 7788"), std::to_string(100 + mode));
    } else {
      EXPECT_EQ(message, dml_messages::RecordChanged) << "mode " << mode;
    }
    if (emp->State() == dsEdit) emp->Cancel();
    // ociemu: the savepoint opened the file's one write transaction; Oracle would hold nothing here.
    session->Rollback();
  }
}

// The check at edit compares every column by its own rules: a number, an
// integer and a text changed are found; trailing blanks and a float's last
// digits beyond its precision are not changes.
TEST_P(WriteBackTest, the_check_finds_real_changes_of_each_column_type_and_only_those) {
  struct Case {
    const char* change;
    bool found;
  } cases[] = {{"sal = sal + 1", true},
               {"empno = 7790", true},
               {"ename = 'SCOTTY'", true},
               {"ename = ename || '  '", false},
               {"sal = sal * (1 + 1e-13)", false},
               {"comm = 7", true}};
  for (const Case& c : cases) {
    Exec("update emp set empno = 7788, ename = 'SCOTT', sal = 3000, comm = null where ename like 'SCOTT%'");
    session->Commit();
    auto emp = EmpAt(7788);
    Run(*other, std::string("update emp set ") + c.change + " where empno = 7788");
    other->Commit();
    const std::string message = MessageOf([&] { emp->Edit(); });
    EXPECT_EQ(message, c.found ? dml_messages::RecordChanged : "<no exception>") << c.change;
    if (emp->State() == dsEdit) emp->Cancel();
    session->Rollback();
  }
}

// The table's select and the dataset's own select hold a field's column at
// different places: switching between them from post to post must compare
// each field with its own column, and still find a real change.
TEST_P(WriteBackTest, the_check_compares_each_field_with_its_own_column_when_its_select_changes) {
  auto emp = EmpAt(7499);
  for (int round = 0; round < 4; ++round) {
    emp->RefreshOptions = round % 2 ? TRefreshOptions{roAllFields} : TRefreshOptions{0};
    emp->Edit();
    emp->FieldByName("SAL")->SetAsFloat(2000 + round);
    EXPECT_EQ(MessageOf([&] { emp->Post(); }), "<no exception>") << "round " << round;
    Run(*other, "update emp set ename = 'OTHER' where empno = 7499");
    other->Commit();
    EXPECT_EQ(MessageOf([&] { emp->Edit(); }), dml_messages::RecordChanged) << "round " << round;
    if (emp->State() == dsEdit) emp->Cancel();
    Run(*other, "update emp set ename = 'ALLEN' where empno = 7499");
    other->Commit();
  }
}

TEST_P(WriteBackTest, a_row_deleted_by_another_session_is_found_by_every_mode) {
  for (TLockingModeOptions mode : {lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone}) {
    Exec("insert into dept values (" + std::to_string(60 + mode) + ", 'GONE', 'X')");
    session->Commit();
    auto dept = OpenDataSet("select rowid, deptno, dname from dept where deptno = " + std::to_string(60 + mode));
    dept->LockingMode = mode;
    Run(*other, "delete from dept where deptno = " + std::to_string(60 + mode));
    other->Commit();
    std::string message;
    if (mode == lmLockImmediate || mode == lmCheckImmediate) {
      message = MessageOf([&] { dept->Edit(); });
    } else {
      dept->Edit();
      dept->FieldByName("DNAME")->SetAsString("BACK");
      message = MessageOf([&] { dept->Post(); });
    }
    EXPECT_EQ(message, dml_messages::RecordDeleted) << "mode " << mode;
    EXPECT_EQ(MessageOf([&] { dept->Cancel(); dept->Delete(); }), dml_messages::RecordDeleted) << "mode " << mode;
    session->Rollback();  // ociemu: see above
  }
}

TEST_P(WriteBackTest, lock_immediate_holds_the_lock_from_edit_until_post_or_cancel) {
  auto emp = EmpAt(7844, lmLockImmediate);
  emp->Edit();
  EXPECT_NE(OracleErrorCodeOf([&] { OtherLocks(7844); }), 0) << "locked at edit";
  emp->Cancel();
  EXPECT_EQ(OracleErrorCodeOf([&] { OtherLocks(7844); }), 0) << "cancel released the lock";
  other->Rollback();
  emp->Edit();
  emp->Post();  // nothing changed: still commits
  EXPECT_EQ(OracleErrorCodeOf([&] { OtherLocks(7844); }), 0) << "the post's commit released the lock";
  other->Rollback();
}

TEST_P(WriteBackTest, a_failed_post_leaves_row_record_and_transaction_as_they_were) {
  Exec("alter table emp add constraint sal_positive check (sal > 0)");
  auto emp = EmpAt(7876);
  emp->CommitOnPost = false;
  emp->Edit();
  emp->FieldByName("ENAME")->SetAsString("ADAMS2");
  emp->Post();  // kept in the transaction
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(-1);
  const std::string message = MessageOf([&] { emp->Post(); });
  EXPECT_NE(message.find("ORA-02290"), std::string::npos) << message;
  EXPECT_EQ(emp->State(), dsEdit);
  emp->Cancel();
  EXPECT_EQ(emp->FieldByName("SAL")->AsFloat(), 1100);
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "ADAMS2");
  EXPECT_EQ(QueryValue(*session, "select ename || ' ' || sal from emp where empno = 7876"), "ADAMS2 1100")
      << "the earlier post survived the rollback to the savepoint";
  session->Commit();
  EXPECT_EQ(OtherSees("select ename from emp where empno = 7876"), "ADAMS2");
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(1200);
  emp->Post();  // the text that failed runs again
  session->Commit();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7876"), "1200");
}

TEST_P(WriteBackTest, errors_pass_through_OnTranslateMessage_with_the_action) {
  Exec("alter table dept add constraint dname_upper check (dname = upper(dname))");
  auto dept = OpenDataSet("select rowid, deptno, dname from dept order by deptno");
  std::vector<std::string> seen;
  dept->OnTranslateMessage = [&](TOracleDataSet*, int code, const std::string& constraint, char action,
                                 std::string& msg) {
    seen.push_back(std::to_string(code) + " " + constraint + " " + action);
    msg = "translated";
  };
  dept->Edit();
  dept->FieldByName("DNAME")->SetAsString("lower");
  EXPECT_EQ(MessageOf([&] { dept->Post(); }), "translated");
  dept->Cancel();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "2290 DNAME_UPPER U");
}

TEST_P(WriteBackTest, OnApplyRecord_takes_over_and_an_applied_insert_keeps_its_rowid) {
  auto dept = OpenDataSet("select rowid, deptno, dname from dept order by deptno");
  std::string actions;
  dept->OnApplyRecord = [&](TOracleDataSet*, char action, bool& applied, std::string& rowid) {
    actions += action;
    applied = true;
    if (action == 'I') rowid = "AAAAAAAAAAAAAAAAAA";
  };
  dept->Edit();
  dept->FieldByName("DNAME")->SetAsString("APPLIED");
  dept->Post();
  dept->Append();
  dept->FieldByName("DEPTNO")->SetAsInteger(70);
  dept->Post();
  dept->First();
  dept->Delete();
  // The edit checks; the post's lock, once applied, needs no check; the delete locks.
  EXPECT_EQ(actions, "CLUILD");
  EXPECT_EQ(OtherSees("select count(*) from dept"), "4");
  EXPECT_EQ(OtherSees("select dname from dept where deptno = 10"), "ACCOUNTING");
  EXPECT_EQ(Column(*dept, "DEPTNO"), (std::vector<std::string>{"20", "30", "40", "70"}));
}

TEST_P(WriteBackTest, timestamps_keep_their_fractions_of_a_second_on_update_and_insert) {
  if (OCI7()) GTEST_SKIP() << "the version 7 interface binds no timestamps";
  Exec("create table stamps (id number(4), t timestamp(3))");
  Exec("insert into stamps values (1, timestamp '2020-05-06 07:08:09')");
  const double millisecond = 1.0 / 86400000;
  const TDateTime updated = EncodeDate(2021, 1, 2) + EncodeTime(3, 4, 5, 678);
  const TDateTime inserted = EncodeDate(2022, 7, 8) + EncodeTime(9, 10, 11, 12);
  auto stamps = OpenDataSet("select rowid, id, t from stamps order by id");
  stamps->Edit();
  stamps->FieldByName("T")->SetAsDateTime(updated);
  stamps->Post();
  stamps->Append();
  stamps->FieldByName("ID")->SetAsInteger(2);
  stamps->FieldByName("T")->SetAsDateTime(inserted);
  stamps->Post();
  stamps->First();
  stamps->Edit();  // compares with the server to the millisecond
  stamps->FieldByName("ID")->SetAsInteger(3);
  stamps->Post();
  auto again = OpenDataSet("select id, t from stamps order by id");
  EXPECT_EQ(again->FieldByName("ID")->AsInteger(), 2);
  EXPECT_NEAR(again->FieldByName("T")->AsDateTime(), inserted, millisecond / 2);
  again->Next();
  EXPECT_EQ(again->FieldByName("ID")->AsInteger(), 3);
  EXPECT_NEAR(again->FieldByName("T")->AsDateTime(), updated, millisecond / 2);
}

TEST_P(WriteBackTest, object_columns_are_written_by_attribute_or_whole_through_their_constructor) {
  if (OCI7()) GTEST_SKIP() << "objects need the version 8 interface";
  Exec("create type t_address as object (city varchar2(20), zip number(5))");
  Exec("create table homes (id number(4), addr t_address)");
  Exec("insert into homes values (1, t_address('LJUBLJANA', 1000))");
  Exec("insert into homes values (2, null)");
  auto homes = OpenDataSet("select rowid, id, addr from homes order by id");
  const std::string returning = "\r\nreturning rowid into :kvell__rowid\r\n";
  homes->Edit();
  homes->FieldByName("ADDR.CITY")->SetAsString("MARIBOR");
  homes->Post();
  EXPECT_EQ(DmlText(*homes), "update HOMES t\r\nset t.ADDR.CITY = :v3\r\nwhere rowid = :kvell__rowid" + returning);
  homes->Next();
  homes->Edit();
  homes->FieldByName("ADDR.CITY")->SetAsString("KRANJ");
  homes->Post();
  EXPECT_EQ(DmlText(*homes),
            "update HOMES t\r\nset t.ADDR = SCOTT.T_ADDRESS(:v3, null)\r\nwhere rowid = :kvell__rowid" + returning)
      << "attributes of a null object cannot be assigned";
  homes->Append();
  homes->FieldByName("ID")->SetAsInteger(3);
  homes->FieldByName("ADDR.ZIP")->SetAsInteger(4000);
  homes->Post();
  EXPECT_EQ(DmlText(*homes), "insert into HOMES t\r\n  (t.ID, t.ADDR)\r\nvalues\r\n  (:v1, SCOTT.T_ADDRESS(null, :v4))" +
                                 returning);
  session->Preferences().NullObjectIsEmpty = true;
  homes->Append();
  homes->FieldByName("ID")->SetAsInteger(4);
  homes->Post();
  EXPECT_EQ(DmlText(*homes), "insert into HOMES t\r\n  (t.ID, t.ADDR)\r\nvalues\r\n  (:v1, SCOTT.T_ADDRESS(null, null))" +
                                 returning);
  EXPECT_EQ(OtherSees("select h.id || ' ' || h.addr.city || ' ' || h.addr.zip from homes h where h.id = 1"),
            "1 MARIBOR 1000");
  EXPECT_EQ(OtherSees("select h.id || ' ' || h.addr.city || ' ' || h.addr.zip from homes h where h.id = 2"),
            "2 KRANJ ");
  EXPECT_EQ(OtherSees("select h.id || ' ' || h.addr.city || ' ' || h.addr.zip from homes h where h.id = 3"),
            "3  4000");
  EXPECT_EQ(OtherSees("select count(*) from homes h where h.addr is not null"), "4")
      << "an empty object, not a null one, under NullObjectIsEmpty";
}

TEST_P(WriteBackTest, xml_columns_are_written_through_createxml) {
  if (OCI7()) GTEST_SKIP() << "XML documents need the version 8 interface";
  Exec("create table docs (id number(4), x sys.xmltype)");
  Exec("insert into docs values (1, xmltype('<r><a>1</a></r>'))");
  auto docs = OpenDataSet("select rowid, id, x from docs order by id");
  const std::string returning = "\r\nreturning rowid into :kvell__rowid\r\n";
  docs->Edit();
  docs->FieldByName("X")->SetAsString("<r><a>2</a></r>");
  docs->Post();
  EXPECT_EQ(DmlText(*docs), "update DOCS t\r\nset t.X = sys.xmltype.createxml(:v2)\r\nwhere rowid = :kvell__rowid" +
                                returning);
  docs->Append();
  docs->FieldByName("ID")->SetAsInteger(2);
  docs->FieldByName("X")->SetAsString("<r><b>3</b></r>");
  docs->Post();
  EXPECT_EQ(DmlText(*docs),
            "insert into DOCS t\r\n  (t.ID, t.X)\r\nvalues\r\n  (:v1, sys.xmltype.createxml(:v2))" + returning);
  auto again = OpenDataSet("select id, x from docs order by id");
  EXPECT_EQ(again->FieldByName("X")->AsString(), "<r><a>2</a></r>");
  again->Next();
  EXPECT_EQ(again->FieldByName("X")->AsString(), "<r><b>3</b></r>");
}

// A dataset over a join view posts through the view onto its key-preserved table: the
// employee's columns change, the department's cannot, and nothing is half written.
TEST_P(WriteBackTest, a_join_view_dataset_edits_the_key_preserved_tables_columns) {
  Run(*session, "create view emp_dept_v as select e.empno, e.ename, e.sal, d.dname from emp e, dept d "
                "where e.deptno = d.deptno");
  auto view = MakeDataSet("select rowid, empno, ename, sal, dname from emp_dept_v order by empno");
  view->SetUpdatingTable("EMP_DEPT_V");
  view->Open();
  ASSERT_EQ(view->FieldByName("EMPNO")->AsInteger(), 7369);
  view->Edit();
  view->FieldByName("SAL")->SetAsFloat(2468);
  view->Post();
  EXPECT_EQ(OtherSees("select sal from emp where empno = 7369"), "2468");
  EXPECT_EQ(view->FieldByName("DNAME")->AsString(), "RESEARCH");
  view->Edit();
  view->FieldByName("DNAME")->SetAsString("LAB");
  EXPECT_EQ(TrimRight(MessageOf([&] { view->Post(); })),
            "ORA-01779: cannot modify a column which maps to a non key-preserved table");
  EXPECT_EQ(view->State(), dsEdit) << "the failed post leaves the edit open";
  view->Cancel();
  EXPECT_EQ(OtherSees("select dname from dept where deptno = 20"), "RESEARCH");
}

}  // namespace
}  // namespace kvell::testing
