// Opening a dataset over EMP and DEPT: field definitions from the describe,
// values as the query reads them, browsing both ways, refusal of the steps
// that come with write-back, closing.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class BrowseTest : public DataSetTest {};
KVELL_DATASET_INTERFACES(BrowseTest);

TEST_P(BrowseTest, an_open_dataset_holds_every_row_with_the_values_the_query_reads) {
  auto emp = OpenDataSet("select rowid, empno, ename, sal, hiredate, comm from emp order by empno");
  EXPECT_EQ(emp->VisibleCount(), 14);
  ASSERT_EQ(emp->FieldCount(), 5) << "the rowid column gets no field";
  EXPECT_EQ(emp->FieldByName("EMPNO")->DataType(), ftInteger);
  EXPECT_EQ(emp->FieldByName("ENAME")->DataType(), ftString);
  EXPECT_EQ(emp->FieldByName("ENAME")->Size(), 10);
  EXPECT_EQ(emp->FieldByName("SAL")->DataType(), ftFloat);
  EXPECT_EQ(emp->FieldByName("HIREDATE")->DataType(), ftDateTime);

  TOracleQuery query;
  query.SetSession(session.get());
  query.SQL().SetText("select empno, ename, sal, hiredate, comm from emp order by empno");
  query.Execute();
  for (emp->First(); !emp->Eof(); emp->Next(), query.Next()) {
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), query.FieldInteger(0));
    EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), query.FieldText(1));
    EXPECT_DOUBLE_EQ(emp->FieldByName("SAL")->AsFloat(), query.FieldFloat(2));
    EXPECT_DOUBLE_EQ(emp->FieldByName("HIREDATE")->AsDateTime(), query.FieldDate(3));
    EXPECT_EQ(emp->FieldByName("COMM")->IsNull(), query.FieldIsNull(4));
  }
  EXPECT_TRUE(query.Eof() || (query.Next(), query.Eof()));
}

TEST_P(BrowseTest, browsing_backwards_revisits_the_rows_the_cursor_has_passed) {
  auto dept = OpenDataSet("select deptno, dname from dept order by deptno");
  std::vector<int> backwards;
  for (dept->Last(); !dept->Bof(); dept->Prior()) backwards.push_back(dept->FieldByName("DEPTNO")->AsInteger());
  EXPECT_EQ(backwards, (std::vector<int>{40, 30, 20, 10}));
  dept->First();
  EXPECT_EQ(dept->MoveBy(2), 2);
  EXPECT_EQ(dept->FieldByName("DNAME")->AsString(), "SALES");
  EXPECT_EQ(dept->MoveBy(5), 1);
  EXPECT_TRUE(dept->Eof());
}

TEST_P(BrowseTest, without_QueryAllRecords_rows_are_fetched_as_the_cursor_moves) {
  auto emp = MakeDataSet("select empno from emp order by empno");
  emp->QueryAllRecords = false;
  emp->SetReadBuffer(4);
  emp->Open();
  EXPECT_LE(emp->HeldRecords(), 2) << "opening asks only for the first record";
  emp->Next();
  emp->Next();
  EXPECT_EQ(emp->HeldRecords(), 3);
  emp->Last();
  EXPECT_EQ(emp->HeldRecords(), 14);
  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), 7934);
}

TEST_P(BrowseTest, skimming_counts_what_visiting_reads_and_copies_only_the_wanted_records) {
  auto emp = MakeDataSet("select empno from emp order by empno");
  emp->QueryAllRecords = false;
  emp->SetReadBuffer(4);
  emp->OnFilterRecord = [](TDataSet* dataset, bool& accept) {
    accept = dataset->FieldByName("EMPNO")->AsInteger() != 7521;
  };
  emp->SetFiltered(true);
  emp->Open();
  emp->Next();
  emp->Next();
  emp->DeleteStoredCurrent();  // 7566
  emp->First();
  const int active = emp->FieldByName("EMPNO")->AsInteger();

  auto every_third = [](int walked) { return walked % 3 == 0; };
  std::vector<int> wanted_ids;
  std::vector<TBookmark> bookmarks;
  const int skimmed = emp->SkimRecords({}, 100, every_third, [&] {
    wanted_ids.push_back(emp->FieldByName("EMPNO")->AsInteger());
    bookmarks.push_back(emp->GetBookmark());
    return true;
  });
  EXPECT_EQ(emp->HeldRecords(), 13) << "skimming fetches as it goes";
  std::vector<int> all_ids;
  EXPECT_EQ(skimmed, emp->VisitRecords({}, 100, [&] {
    all_ids.push_back(emp->FieldByName("EMPNO")->AsInteger());
    return true;
  }));
  EXPECT_EQ(skimmed, 12) << "the filtered and the deleted record are not counted";
  std::vector<int> expected;
  for (size_t i = 0; i < all_ids.size(); i += 3) expected.push_back(all_ids[i]);
  EXPECT_EQ(wanted_ids, expected);

  EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), active) << "the active record stays";
  EXPECT_EQ(3, emp->SkimRecords(bookmarks[1], 100, [](int walked) { return walked == 2; }, [] { return false; }))
      << "from a bookmark, stopped by the visit";
  for (size_t i = 0; i < bookmarks.size(); ++i) {
    emp->GotoBookmark(bookmarks[i]);
    EXPECT_EQ(emp->FieldByName("EMPNO")->AsInteger(), wanted_ids[i]) << "bookmark " << i;
  }
}

TEST_P(BrowseTest, an_empty_result_opens_empty) {
  auto emp = OpenDataSet("select empno, ename from emp where empno < 0");
  EXPECT_TRUE(emp->IsEmpty());
  EXPECT_TRUE(emp->Eof());
  EXPECT_TRUE(emp->FieldByName("ENAME")->IsNull());
  EXPECT_EQ(Column(*emp, "EMPNO"), std::vector<std::string>{});
}

TEST_P(BrowseTest, duplicate_column_names_get_numbered_field_names) {
  auto dataset = OpenDataSet("select ename name, job name, mgr name, empno from emp where empno = 7566");
  ASSERT_EQ(dataset->FieldCount(), 4);
  EXPECT_EQ(dataset->Fields()[0]->FieldName(), "NAME");
  EXPECT_EQ(dataset->Fields()[1]->FieldName(), "NAME_1");
  EXPECT_EQ(dataset->Fields()[2]->FieldName(), "NAME_2");
  EXPECT_EQ(dataset->FieldByName("NAME_1")->AsString(), "MANAGER");
  EXPECT_EQ(dataset->FieldInfos()[0].Kind, fiRowId);
  EXPECT_EQ(dataset->FieldInfos()[2].ColumnName, "NAME");
}

TEST_P(BrowseTest, query_events_fire_once_around_the_single_execution_of_an_open) {
  auto dept = MakeDataSet("select deptno from dept");
  std::vector<std::string> events;
  dept->BeforeQuery = [&](TOracleDataSet*) { events.push_back("BeforeQuery"); };
  dept->AfterQuery = [&](TOracleDataSet* sender) {
    events.push_back("AfterQuery " + std::to_string(static_cast<InspectableDataSet*>(sender)->HeldRecords()));
  };
  dept->BeforeOpen = [&](TDataSet*) { events.push_back("BeforeOpen"); };
  dept->AfterOpen = [&](TDataSet*) { events.push_back("AfterOpen"); };
  dept->Open();
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeOpen", "BeforeQuery", "AfterQuery 4", "AfterOpen"}));
  events.clear();
  dept->Refresh();
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeQuery", "AfterQuery 4"}));
}

TEST_P(BrowseTest, AfterQuery_fires_even_when_the_execution_fails) {
  auto bad = MakeDataSet("select no_such_column from dept");
  int after = 0;
  bad->AfterQuery = [&](TOracleDataSet*) { ++after; };
  EXPECT_NE(OracleErrorCodeOf([&] { bad->Open(); }), 0);
  EXPECT_EQ(after, 1);
  EXPECT_FALSE(bad->Active());
}

TEST_P(BrowseTest, refresh_reads_the_rows_again_and_restarts_record_ids) {
  auto dept = OpenDataSet("select rowid, deptno, dname from dept order by deptno");
  TBookmark first = dept->GetBookmark();
  Exec("insert into dept (deptno, dname) values (50, 'LABS')");
  dept->Refresh();
  EXPECT_EQ(dept->VisibleCount(), 5);
  EXPECT_EQ(dept->GetBookmark(), first) << "the first record of each execution has RecordId 1";
  dept->Last();
  EXPECT_EQ(dept->FieldByName("DNAME")->AsString(), "LABS");
}

TEST_P(BrowseTest, a_select_without_rowid_is_read_only) {
  auto plain = OpenDataSet("select deptno, dname from dept");
  EXPECT_FALSE(plain->CanModify());
  EXPECT_EQ(MessageOf([&] { plain->Edit(); }), db_messages::DataSetReadOnly);
  plain->OnApplyRecord = [](TOracleDataSet*, char, bool&, std::string&) {};
  EXPECT_TRUE(plain->CanModify()) << "an OnApplyRecord handler writes the rows back itself";
  auto with_rowid = OpenDataSet("select rowid, deptno, dname from dept");
  EXPECT_TRUE(with_rowid->CanModify());
  with_rowid->ReadOnly = true;
  EXPECT_FALSE(with_rowid->CanModify());
}

TEST_P(BrowseTest, cached_updates_need_a_rowid_to_open) {
  auto plain = MakeDataSet("select deptno from dept");
  plain->SetCachedUpdates(true);
  EXPECT_EQ(MessageOf([&] { plain->Open(); }), dataset_messages::CachedUpdatesRequireRowId);
  EXPECT_FALSE(plain->Active());
  auto with_rowid = MakeDataSet("select rowid, deptno from dept");
  with_rowid->SetCachedUpdates(true);
  with_rowid->Open();
  EXPECT_EQ(with_rowid->VisibleCount(), 4);
}

TEST_P(BrowseTest, setting_SQL_reopens_an_active_dataset_and_Unidirectional_only_changes_while_closed) {
  auto dataset = OpenDataSet("select deptno from dept");
  dataset->SetSQLText("select ename from emp where deptno = 10 order by ename");
  EXPECT_TRUE(dataset->Active());
  EXPECT_EQ(Column(*dataset, "ENAME"), (std::vector<std::string>{"CLARK", "KING", "MILLER"}));
  EXPECT_EQ(MessageOf([&] { dataset->SetUnidirectional(true); }), db_messages::DataSetOpen);
  dataset->Close();
  dataset->SetUnidirectional(true);
  EXPECT_TRUE(dataset->Unidirectional());
}

TEST_P(BrowseTest, closing_frees_the_store_and_the_rowid_allocations) {
  const int before = RowIdAllocations().load();
  auto emp = OpenDataSet("select rowid, empno from emp");
  EXPECT_EQ(RowIdAllocations().load(), before + 14) << "emulated rowids are 18 characters long";
  emp->Close();
  EXPECT_EQ(RowIdAllocations().load(), before);
  EXPECT_EQ(emp->RecordStore(), nullptr);
  EXPECT_EQ(emp->FieldCount(), 0) << "default fields go with the cursor";
  emp->Open();
  emp.reset();
  EXPECT_EQ(RowIdAllocations().load(), before);
  EXPECT_NO_THROW(CheckRowIdAllocations());
}

}  // namespace
}  // namespace kvell::testing
