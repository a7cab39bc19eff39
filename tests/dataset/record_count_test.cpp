// Counting records (visible records, or the server's count once per
// execution) and reading and setting record numbers, with rows fetched on
// demand.
#include <string>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/record_count.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

TEST(RecordCountQueryTextTest, wraps_the_select_and_its_condition_and_drops_the_tail) {
  EXPECT_EQ(RecordCountQueryText("select * from emp order by ename"),
            "select count(*) from (\r\nselect * from emp\r\n)");
  EXPECT_EQ(RecordCountQueryText("select e.* from emp e\r\nwhere deptno = :d and (sal > 1000)\r\norder by 1"),
            "select count(*) from (\r\nselect e.* from emp e\r\nwhere deptno = :d and (sal > 1000))");
  EXPECT_EQ(RecordCountQueryText("select deptno, count(*) from emp group by deptno having count(*) > 3"),
            "select count(*) from (\r\nselect deptno, count(*) from emp group by deptno\r\nhaving count(*) > 3)");
  EXPECT_EQ(RecordCountQueryText("select * from emp where empno in (select mgr from emp where job = 'X') for update"),
            "select count(*) from (\r\nselect * from emp\r\nwhere empno in (select mgr from emp where job = 'X'))");
}

class RecordCountTest : public DataSetTest {
 protected:
  std::unique_ptr<InspectableDataSet> LazyEmp(const std::string& sql = "select empno from emp order by empno") {
    auto emp = MakeDataSet(sql);
    emp->QueryAllRecords = false;
    emp->SetReadBuffer(2);
    return emp;
  }
};
KVELL_DATASET_INTERFACES(RecordCountTest);

TEST_P(RecordCountTest, without_CountAllRecords_the_count_is_the_records_fetched_so_far) {
  auto emp = LazyEmp();
  EXPECT_EQ(MessageOf([&] { emp->RecordCount(); }), db_messages::DataSetClosed);
  emp->Open();
  const int early = emp->RecordCount();
  EXPECT_LT(early, 14);
  EXPECT_EQ(early, emp->HeldRecords());
  emp->Last();
  EXPECT_EQ(emp->RecordCount(), 14);
}

TEST_P(RecordCountTest, CountAllRecords_asks_the_server_once_per_execution) {
  auto emp = LazyEmp("select rowid, empno from emp where deptno = :deptno order by empno");
  emp->DeclareVariable("deptno", 3);
  emp->SetVariable("deptno", 30);
  emp->CountAllRecords = true;
  emp->Open();
  EXPECT_EQ(emp->RecordCount(), 6);
  EXPECT_LT(emp->HeldRecords(), 6) << "counting fetches nothing";
  Exec("insert into emp (empno, deptno) values (9001, 30)");
  EXPECT_EQ(emp->RecordCount(), 6) << "the count of this execution is kept";
  emp->Refresh();
  EXPECT_EQ(emp->RecordCount(), 7);
  emp->SetVariable("deptno", 10);
  emp->Refresh();
  EXPECT_EQ(emp->RecordCount(), 3);
}

TEST_P(RecordCountTest, a_filtered_dataset_counts_what_it_shows) {
  auto emp = OpenDataSet("select empno, deptno from emp");
  emp->CountAllRecords = true;
  emp->SetFilterText("DEPTNO = 10");
  emp->SetFiltered(true);
  EXPECT_EQ(emp->RecordCount(), 3);
}

TEST_P(RecordCountTest, a_cursor_variable_dataset_cannot_be_counted_on_the_server) {
  auto staff = MakeDataSet("begin\n  open :staff for select ename from emp;\nend;");
  staff->DeclareVariable("staff", 116);
  staff->Open();
  EXPECT_EQ(staff->RecordCount(), 14);
  staff->CountAllRecords = true;
  EXPECT_EQ(MessageOf([&] { staff->RecordCount(); }), dataset_messages::CannotCountCursor);
}

TEST_P(RecordCountTest, record_numbers_follow_the_cursor_and_move_it) {
  auto emp = OpenDataSet("select empno from emp order by empno");
  EXPECT_EQ(emp->RecNo(), 1);
  emp->MoveBy(4);
  EXPECT_EQ(emp->RecNo(), 5);
  int scrolls = 0;
  emp->AfterScroll = [&](TDataSet*) { ++scrolls; };
  emp->SetRecNo(9);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7839);
  EXPECT_EQ(emp->RecNo(), 9);
  EXPECT_EQ(scrolls, 1);
  emp->SetRecNo(9);
  EXPECT_EQ(scrolls, 1) << "the current number does not scroll";
  emp->SetRecNo(99);
  EXPECT_EQ(emp->RecNo(), 9) << "a number past the records is ignored";
  emp->Last();
  EXPECT_EQ(emp->RecNo(), 14);
  emp->Prior();
  emp->SetRecNo(1);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7369);
  EXPECT_TRUE(emp->Bof() || emp->RecNo() == 1);

  auto empty = OpenDataSet("select empno from emp where empno < 0");
  EXPECT_EQ(empty->RecNo(), 0);
}

TEST_P(RecordCountTest, record_numbers_past_the_held_rows_fetch_them_with_CountAllRecords) {
  auto emp = LazyEmp();
  emp->Open();
  emp->SetRecNo(12);
  EXPECT_EQ(emp->RecNo(), 1) << "without CountAllRecords only held records are reached";
  emp->CountAllRecords = true;
  emp->SetRecNo(12);
  EXPECT_EQ(emp->RecNo(), 12);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7900);
  EXPECT_LT(emp->HeldRecords(), 14);
  emp->SetRecNo(3);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7521);
}

}  // namespace
}  // namespace kvell::testing
