// Fetch control: AfterFetchRecord pausing, stopping, cancelling and
// throwing; unidirectional datasets; cursor variables; a session killed
// while rows are fetched; detached datasets.
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/ui/ui_hooks.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

// Records what the dataset hands to the user: exception reports.
class ReportingUserInterface : public UserInterface {
 public:
  explicit ReportingUserInterface(std::vector<std::string>& reports) : reports_(reports) {}
  int Confirm(const std::string&, TConfirmButtons) override { return mrOk; }
  TCursor ScreenCursor() override { return cursor_; }
  void SetScreenCursor(TCursor cursor) override { cursor_ = cursor; }
  void HandleException(const void*) override {
    try {
      throw;
    } catch (const Exception& e) {
      reports_.push_back(e.Message);
    }
  }
  int ComponentCount() override { return 0; }
  TComponent* Component(int) override { return nullptr; }

 private:
  std::vector<std::string>& reports_;
  TCursor cursor_ = crDefault;
};

class FetchControlTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    ui_ = std::make_unique<ScopedUserInterface>(std::make_unique<ReportingUserInterface>(reports));
  }
  void TearDown() override {
    ui_.reset();
    DataSetTest::TearDown();
  }
  // EMP in EMPNO order, with `action` answered for the row number (1-based) `at`.
  std::unique_ptr<InspectableDataSet> OpenWithAction(int at, TAfterFetchRecordAction action) {
    auto emp = MakeDataSet("select empno from emp order by empno");
    emp->AfterFetchRecord = [this, at, action](TOracleDataSet* sender, bool, TAfterFetchRecordAction& answer) {
      seen.push_back(sender->FieldByName("EMPNO")->AsInteger());
      if (static_cast<int>(seen.size()) == at) answer = action;
    };
    emp->Open();
    return emp;
  }
  void FillNumbers(int rows) {
    Exec("create table numbers (n number(9), label varchar2(20))");
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText("insert into numbers values (:n, 'row ' || :n)");
    insert.DeclareVariable("n", 3);
    for (int n = 1; n <= rows; ++n) {
      insert.SetVariable("n", n);
      insert.Execute();
    }
  }

  std::vector<std::string> reports;
  std::vector<int> seen;
  std::unique_ptr<ScopedUserInterface> ui_;
};
KVELL_DATASET_INTERFACES(FetchControlTest);

TEST_P(FetchControlTest, a_pause_after_the_third_row_leaves_three_records_until_the_cursor_moves_past_them) {
  auto emp = OpenWithAction(3, afPause);
  EXPECT_EQ(emp->HeldRecords(), 3);
  EXPECT_EQ(seen, (std::vector<int>{7369, 7499, 7521})) << "the handler reads the record just fetched";
  emp->MoveBy(2);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7521);
  EXPECT_EQ(emp->HeldRecords(), 3);
  emp->Next();
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7566);
  emp->Last();
  EXPECT_EQ(emp->HeldRecords(), 14);
}

TEST_P(FetchControlTest, a_stop_keeps_the_records_fetched_so_far_and_fetches_no_more) {
  auto emp = OpenWithAction(5, afStop);
  EXPECT_EQ(emp->HeldRecords(), 5);
  emp->Last();
  EXPECT_EQ(emp->HeldRecords(), 5);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7654);
}

TEST_P(FetchControlTest, a_cancel_releases_every_record) {
  auto emp = OpenWithAction(4, afCancel);
  EXPECT_EQ(emp->HeldRecords(), 0);
  EXPECT_TRUE(emp->IsEmpty());
  EXPECT_TRUE(reports.empty());
}

TEST_P(FetchControlTest, a_throwing_handler_is_reported_and_cancels_the_fetch) {
  auto emp = MakeDataSet("select empno from emp order by empno");
  int calls = 0;
  emp->AfterFetchRecord = [&](TOracleDataSet*, bool, TAfterFetchRecordAction&) {
    if (++calls == 2) throw Exception("handler failed");
  };
  EXPECT_NO_THROW(emp->Open());
  EXPECT_EQ(reports, std::vector<std::string>{"handler failed"});
  EXPECT_TRUE(emp->IsEmpty());
  EXPECT_EQ(calls, 2);
}

TEST_P(FetchControlTest, FilterAccept_tells_the_handler_whether_the_record_passed_the_filter) {
  auto emp = MakeDataSet("select empno, deptno from emp order by empno");
  emp->SetFilterText("DEPTNO = 10");
  emp->SetFiltered(true);
  int accepted = 0, rejected = 0;
  emp->AfterFetchRecord = [&](TOracleDataSet*, bool accept, TAfterFetchRecordAction&) {
    ++(accept ? accepted : rejected);
  };
  emp->Open();
  EXPECT_EQ(accepted, 3);
  EXPECT_EQ(rejected, 11);
}

TEST_P(FetchControlTest, a_unidirectional_dataset_walks_past_several_pages_and_refuses_to_step_back) {
  FillNumbers(100);
  auto numbers = MakeDataSet("select n, label from numbers order by n");
  numbers->SetUnidirectional(true);
  numbers->SetReadBuffer(10);
  numbers->Open();
  int expected = 1;
  for (numbers->First(); !numbers->Eof(); numbers->Next(), ++expected) {
    ASSERT_EQ(numbers->FieldByName("N")->AsInteger(), expected);
    ASSERT_EQ(numbers->FieldByName("LABEL")->AsString(), "row " + std::to_string(expected));
    ASSERT_LE(numbers->HeldRecords(), 11) << "one page of ReadBuffer + 1 records at most";
  }
  EXPECT_EQ(expected, 101);
  EXPECT_GT(numbers->RecordStore()->Offset(), 80);
  const std::string expected_message = dataset_messages::NotInUnidirectionalMode("TestData", 0);
  EXPECT_EQ(MessageOf([&] { numbers->First(); }), expected_message) << "records from the start are gone";
  EXPECT_EQ(reports, std::vector<std::string>{expected_message}) << "shown to the user";
}

TEST_P(FetchControlTest, a_unidirectional_step_back_within_the_page_is_allowed_and_before_it_refused) {
  FillNumbers(30);
  auto numbers = MakeDataSet("select n from numbers order by n");
  numbers->SetUnidirectional(true);
  numbers->SetReadBuffer(5);
  numbers->Open();
  numbers->MoveBy(7);  // record 8, the second of the second page
  EXPECT_EQ(numbers->FieldByName("N")->AsInteger(), 8);
  numbers->Prior();
  EXPECT_EQ(numbers->FieldByName("N")->AsInteger(), 7);
  const std::string message = MessageOf([&] { numbers->Prior(); });
  EXPECT_EQ(message, dataset_messages::NotInUnidirectionalMode("TestData", 5));
  EXPECT_EQ(reports, std::vector<std::string>{message});
  EXPECT_EQ(numbers->FieldByName("N")->AsInteger(), 7) << "the current record stays";
}

TEST_P(FetchControlTest, a_killed_session_surfaces_its_error_and_the_rows_held_stay_readable) {
  FillNumbers(40);
  auto numbers = MakeDataSet("select n from numbers order by n");
  numbers->QueryAllRecords = false;
  numbers->SetReadBuffer(10);
  numbers->Open();
  numbers->MoveBy(9);
  EXPECT_EQ(numbers->FieldByName("N")->AsInteger(), 10);
  void* handle = OCI7() ? static_cast<void*>(session->LogonDataArea()) : static_cast<void*>(session->ServiceContext());
  ASSERT_EQ(EmulatorHooks::KillSession(handle), 0);
  EXPECT_NE(OracleErrorCodeOf([&] { numbers->MoveBy(5); }), 0);
  EXPECT_TRUE(numbers->Active());
  std::vector<int> held;
  numbers->First();
  for (;;) {
    held.push_back(numbers->FieldByName("N")->AsInteger());
    if (held.size() == 10) break;
    numbers->Next();
  }
  EXPECT_EQ(held, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_P(FetchControlTest, a_cursor_variable_opened_by_a_block_is_fetched_through_CursorQuery) {
  auto staff = MakeDataSet("begin\n  open :staff for select ename, sal from emp where deptno = :deptno order by ename;\nend;");
  staff->DeclareVariable("staff", 116);
  staff->DeclareVariable("deptno", 3);
  staff->SetVariable("deptno", 10);
  staff->Open();
  EXPECT_EQ(Column(*staff, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
  EXPECT_FALSE(staff->CanModify());
  staff->SetVariable("deptno", 30);
  staff->Refresh();
  EXPECT_EQ(Column(*staff, "ENAME").size(), 6u);
  staff->Close();
  staff->SetVariable("deptno", 20);
  staff->Open();
  EXPECT_EQ(Column(*staff, "ENAME").size(), 5u);
}

TEST_P(FetchControlTest, a_detachable_dataset_keeps_its_rows_when_the_session_goes) {
  auto dept = MakeDataSet("select rowid, deptno, dname from dept order by deptno");
  dept->Detachable = true;
  dept->Open();
  EXPECT_FALSE(dept->Detached());
  session->LogOff();
  EXPECT_TRUE(dept->Active());
  EXPECT_TRUE(dept->Detached());
  EXPECT_FALSE(dept->CanModify());
  EXPECT_EQ(Column(*dept, "DNAME"), (std::vector<std::string>{"ACCOUNTING", "RESEARCH", "SALES", "OPERATIONS"}));
  dept->Refresh();
  EXPECT_EQ(Column(*dept, "DEPTNO"), (std::vector<std::string>{"10", "20", "30", "40"}))
      << "re-executing a detached dataset reads nothing and keeps its rows";
}

TEST_P(FetchControlTest, a_dataset_that_may_not_detach_closes_with_its_session) {
  auto dept = OpenDataSet("select deptno from dept");
  session->LogOff();
  EXPECT_FALSE(dept->Active());
  auto kept = MakeDataSet("select deptno from dept");
  session->LogOn();
  kept->Detachable = true;
  kept->Open();
  kept->SetSession(nullptr);
  EXPECT_TRUE(kept->Active());
  EXPECT_TRUE(kept->Detached());
  EXPECT_EQ(Column(*kept, "DEPTNO").size(), 4u);
  kept->SetSession(session.get());
  EXPECT_FALSE(kept->Active()) << "a different session closes the dataset";
}

}  // namespace
}  // namespace kvell::testing
