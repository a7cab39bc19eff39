// SearchRecord over EMP: option rules and messages, directions and starting
// points, the comparison classes, rows not fetched yet, filters, calculated
// fields; Locate and Lookup on top of it.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "runtime/datetime.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class SearchTest : public DataSetTest {
 protected:
  std::unique_ptr<InspectableDataSet> Emp(bool query_all = true) {
    auto emp = MakeDataSet("select rowid, empno, ename, job, hiredate, sal, comm, deptno from emp order by empno");
    emp->QueryAllRecords = query_all;
    emp->SetReadBuffer(3);
    emp->Open();
    return emp;
  }
  static int EmpNo(TDataSet& dataset) { return dataset.FieldByName("EMPNO")->AsInteger(); }
};
KVELL_DATASET_INTERFACES(SearchTest);

TEST_P(SearchTest, invalid_option_combinations_and_value_counts_are_refused_with_the_dataset_name) {
  auto emp = Emp();
  const std::string invalid = "TestData" + std::string(dataset_messages::SearchOptionsInvalid);
  for (TSearchRecordOptions options :
       {srFromBeginning | srFromEnd, srFromCurrent | srFromBeginning, srFromCurrent | srFromEnd, srForward | srBackward,
        srForward | srFromEnd, srBackward | srFromBeginning}) {
    EXPECT_EQ(MessageOf([&] { emp->SearchRecord("ENAME", "KING", options); }), invalid) << options;
  }
  EXPECT_EQ(MessageOf([&] { emp->SearchRecord("ENAME;JOB", "KING", srFromBeginning); }),
            "TestData" + std::string(dataset_messages::SearchValueCountMismatch));
  EXPECT_EQ(MessageOf([&] { emp->SearchRecord("ENAME", VarArrayOf({"KING", "X"}), 0); }),
            "TestData" + std::string(dataset_messages::SearchValueCountMismatch));
  EXPECT_EQ(EmpNo(*emp), 7369) << "a refused search does not move";

  auto without_rowid = OpenDataSet("select empno from emp");
  EXPECT_EQ(MessageOf([&] { without_rowid->SearchRecord("rowid", "AAAA", srFromBeginning); }),
            dataset_messages::RowIdNotSelected);
}

TEST_P(SearchTest, starting_points_and_directions_skip_the_current_record) {
  auto emp = Emp();
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7369);
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", 0)) << "from the current record, which is not compared";
  EXPECT_EQ(EmpNo(*emp), 7876);
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", srFromCurrent | srForward));
  EXPECT_EQ(EmpNo(*emp), 7900);
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", srBackward));
  EXPECT_EQ(EmpNo(*emp), 7876);
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", srFromEnd));
  EXPECT_EQ(EmpNo(*emp), 7934) << "from the end it finds the last match";
  EXPECT_FALSE(emp->SearchRecord("JOB", "CLERK", 0)) << "nothing after the last clerk";
  EXPECT_EQ(EmpNo(*emp), 7934);
  ASSERT_TRUE(emp->SearchRecord("JOB", "PRESIDENT", srFromEnd | srBackward | srDontMove));
  EXPECT_EQ(EmpNo(*emp), 7934) << "srDontMove leaves the cursor";
  EXPECT_EQ(emp->RecNo(), 14);
}

TEST_P(SearchTest, values_compare_by_their_fields_type) {
  auto emp = Emp();
  ASSERT_TRUE(emp->SearchRecord("EMPNO", "7839", srFromBeginning)) << "a text value for an integer field";
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "KING");
  ASSERT_TRUE(emp->SearchRecord("SAL", 2975.0, srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7566);
  ASSERT_TRUE(emp->SearchRecord("HIREDATE", Variant::FromDateTime(EncodeDate(1981, 12, 3)), srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7900);
  EXPECT_FALSE(emp->SearchRecord("HIREDATE", Variant::FromDateTime(EncodeDate(1981, 12, 3) + 0.5), srFromBeginning));
  ASSERT_TRUE(emp->SearchRecord("HIREDATE", Variant::FromDateTime(EncodeDate(1981, 12, 3) + 0.5),
                                srFromBeginning | srIgnoreTime));
  EXPECT_EQ(EmpNo(*emp), 7900);
  ASSERT_TRUE(emp->SearchRecord("DEPTNO;JOB", VarArrayOf({10, "CLERK"}), srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7934);
  ASSERT_TRUE(emp->SearchRecord("COMM", Null(), srFromBeginning | srForward));
  EXPECT_EQ(EmpNo(*emp), 7369) << "a null value finds a null field";
  ASSERT_TRUE(emp->SearchRecord("COMM", "", 0));
  EXPECT_EQ(EmpNo(*emp), 7566);
  ASSERT_TRUE(emp->SearchRecord("COMM", 0, srFromBeginning)) << "zero is a value, not a null";
  EXPECT_EQ(EmpNo(*emp), 7844);
}

TEST_P(SearchTest, texts_compare_with_case_partial_and_wildcard_options) {
  auto emp = Emp();
  EXPECT_FALSE(emp->SearchRecord("ENAME", "king", srFromBeginning));
  ASSERT_TRUE(emp->SearchRecord("ENAME", "king", srFromBeginning | srIgnoreCase));
  EXPECT_EQ(EmpNo(*emp), 7839);
  EXPECT_FALSE(emp->SearchRecord("ENAME", "MAR", srFromBeginning));
  ASSERT_TRUE(emp->SearchRecord("ENAME", "MAR", srFromBeginning | srPartialMatch));
  EXPECT_EQ(EmpNo(*emp), 7654);
  EXPECT_FALSE(emp->SearchRecord("ENAME", "MARTINEZ", srFromBeginning | srPartialMatch))
      << "the field text is shorter than the value";
  ASSERT_TRUE(emp->SearchRecord("EMPNO", "78", srFromBeginning | srPartialMatch)) << "a number's text";
  EXPECT_EQ(EmpNo(*emp), 7839);
  ASSERT_TRUE(emp->SearchRecord("ENAME", "?ORD", srFromBeginning | srWildcards));
  EXPECT_EQ(EmpNo(*emp), 7902);
  ASSERT_TRUE(emp->SearchRecord("ENAME", "m*r", srFromBeginning | srWildcards | srIgnoreCase));
  EXPECT_EQ(EmpNo(*emp), 7934);
  ASSERT_TRUE(emp->SearchRecord("ENAME", "j", srFromBeginning | srWildcards | srPartialMatch | srIgnoreCase));
  EXPECT_EQ(EmpNo(*emp), 7566);
  ASSERT_TRUE(emp->SearchRecord("ENAME;JOB", VarArrayOf({"JAMES   ", "CLERK"}), srFromBeginning))
      << "trailing blanks go with TrimStringFields";
  EXPECT_EQ(EmpNo(*emp), 7900);
}

TEST_P(SearchTest, a_rowid_search_finds_the_row_of_that_rowid) {
  auto emp = Emp();
  const std::string rowid = QueryValue(*session, "select rowid from emp where empno = 7788");
  ASSERT_TRUE(emp->SearchRecord("RowId", rowid, srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7788);
  EXPECT_FALSE(emp->SearchRecord("ROWID", "AAAAAAAAAAAAAAAAAA", srFromBeginning));
}

TEST_P(SearchTest, stepping_forward_fetches_rows_not_yet_held) {
  auto emp = Emp(false);
  EXPECT_LT(emp->HeldRecords(), 14);
  ASSERT_TRUE(emp->SearchRecord("ENAME", "TURNER", srFromBeginning));
  EXPECT_EQ(emp->HeldRecords(), 10) << "fetched up to the record found";
  EXPECT_FALSE(emp->SearchRecord("ENAME", "NOBODY", 0));
  EXPECT_EQ(emp->HeldRecords(), 14);
  EXPECT_EQ(emp->FieldByName("ENAME")->AsString(), "TURNER");

  auto watched = Emp(false);
  std::vector<int> fetched;
  watched->AfterFetchRecord = [&](TOracleDataSet* d, bool, TAfterFetchRecordAction&) {
    fetched.push_back(EmpNo(*d));
  };
  ASSERT_TRUE(watched->SearchRecord("ENAME", "JONES", srFromBeginning));
  ASSERT_FALSE(fetched.empty());
  EXPECT_EQ(fetched.back(), 7566) << "AfterFetchRecord reads the record it is told of";

  auto backwards = Emp(false);
  EXPECT_FALSE(backwards->SearchRecord("ENAME", "MILLER", srBackward)) << "backward never fetches";
  ASSERT_TRUE(backwards->SearchRecord("ENAME", "ADAMS", srFromEnd));
  EXPECT_EQ(backwards->HeldRecords(), 14) << "srFromEnd fetches everything first";
}

TEST_P(SearchTest, a_filter_hides_records_from_the_search) {
  auto emp = Emp(false);
  emp->SetFilterText("DEPTNO = 30");
  emp->SetFiltered(true);
  EXPECT_FALSE(emp->SearchRecord("ENAME", "KING", srFromBeginning));
  ASSERT_TRUE(emp->SearchRecord("JOB", "MANAGER", srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7698);
  ASSERT_TRUE(emp->SearchRecord("JOB", "CLERK", srFromEnd));
  EXPECT_EQ(EmpNo(*emp), 7900);
}

TEST_P(SearchTest, calculated_fields_are_computed_for_each_candidate) {
  auto emp = MakeDataSet("select empno, sal from emp order by empno");
  for (const char* name : {"EMPNO", "SAL"}) {
    TField* field = CreateFieldOfType(emp.get(), std::string(name) == "EMPNO" ? ftInteger : ftFloat);
    field->SetFieldName(name);
    field->SetDataSet(emp.get());
  }
  auto* yearly = new TFloatField(emp.get());
  yearly->SetFieldName("YEARLY");
  yearly->SetFieldKind(fkCalculated);
  yearly->SetDataSet(emp.get());
  emp->OnCalcFields = [](TDataSet* d) {
    d->FieldByName("YEARLY")->SetAsFloat(d->FieldByName("SAL")->AsFloat() * 12);
  };
  emp->Open();
  ASSERT_TRUE(emp->SearchRecord("YEARLY", 60000.0, srFromBeginning));
  EXPECT_EQ(EmpNo(*emp), 7839);
  EXPECT_DOUBLE_EQ(emp->Lookup("EMPNO", 7566, "YEARLY").AsDouble(), 2975.0 * 12);
}

TEST_P(SearchTest, nothing_is_found_past_the_last_record_or_in_a_closed_dataset) {
  auto emp = Emp();
  emp->Last();
  EXPECT_FALSE(emp->SearchRecord("JOB", "CLERK", 0));
  EXPECT_EQ(EmpNo(*emp), 7934);
  emp->Close();
  EXPECT_EQ(MessageOf([&] { emp->SearchRecord("JOB", "CLERK", 0); }), db_messages::DataSetClosed);
}

TEST_P(SearchTest, locate_matches_several_fields_partially_and_without_case) {
  auto emp = Emp(false);
  EXPECT_TRUE(emp->Locate("JOB;DEPTNO", VarArrayOf({"SALESMAN", 30}), 0));
  EXPECT_EQ(EmpNo(*emp), 7499);
  EXPECT_FALSE(emp->Locate("JOB;DEPTNO", VarArrayOf({"sales", 30}), loPartialKey));
  EXPECT_TRUE(emp->Locate("JOB;DEPTNO", VarArrayOf({"sales", 30}), loPartialKey | loCaseInsensitive));
  EXPECT_EQ(EmpNo(*emp), 7499) << "Locate starts from the beginning";
  EXPECT_TRUE(emp->Locate("ENAME", "mil", loPartialKey | loCaseInsensitive));
  EXPECT_EQ(EmpNo(*emp), 7934);
  EXPECT_FALSE(emp->Locate("ENAME", "NOBODY", 0));
  EXPECT_EQ(EmpNo(*emp), 7934) << "a failed Locate does not move";
}

TEST_P(SearchTest, lookup_reads_the_found_record_without_moving) {
  auto emp = Emp(false);
  int scrolls = 0;
  emp->AfterScroll = [&](TDataSet*) { ++scrolls; };
  const Variant found = emp->Lookup("ENAME", "SCOTT", "EMPNO;JOB;SAL");
  ASSERT_TRUE(found.IsArray());
  EXPECT_EQ(found[0].AsInteger(), 7788);
  EXPECT_EQ(found[1].AsString(), "ANALYST");
  EXPECT_DOUBLE_EQ(found[2].AsDouble(), 3000);
  EXPECT_EQ(emp->Lookup("EMPNO", 7839, "ENAME").AsString(), "KING");
  EXPECT_TRUE(emp->Lookup("ENAME", "NOBODY", "EMPNO").IsNull());
  EXPECT_EQ(EmpNo(*emp), 7369);
  EXPECT_EQ(scrolls, 0);
}

}  // namespace
}  // namespace kvell::testing
