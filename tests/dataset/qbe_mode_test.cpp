// Query by example on ociemu's EMP: the search record, the where clause the
// examples give (compared as text) and the rows it selects (compared with a
// hand-written query), the refusals, cancelling, counting and saved values.
#include <string>
#include <vector>

#include "db/data_aware_control.h"
#include "db/data_source.h"
#include "oracle/dataset/qbe_mode.h"
#include "oracle/dataset/qbe_where.h"
#include "oracle/ui/default_user_interface.h"
#include "runtime/datetime.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr const char* kEmpSql = "select rowid, empno, ename, job, hiredate, sal, deptno from emp\r\norder by empno";

class QBEModeTest : public DataSetTest {
 protected:
  // ENAME of each row of a hand-written query.
  std::vector<std::string> Names(const std::string& sql) {
    auto hand = OpenDataSet(sql);
    return Column(*hand, "ENAME");
  }
};
KVELL_DATASET_INTERFACES(QBEModeTest);

TEST_P(QBEModeTest, examples_become_a_where_clause_that_selects_the_rows_of_the_hand_written_query) {
  auto emp = OpenDataSet(kEmpSql);
  int before = 0, after = 0;
  emp->BeforeQBE = [&](TOracleDataSet*) { ++before; };
  emp->AfterQBE = [&](TOracleDataSet*) { ++after; };
  emp->SetQBEMode(true);
  EXPECT_TRUE(emp->QBEMode());
  EXPECT_EQ(emp->State(), dsInsert);
  EXPECT_EQ(before, 1);
  emp->FieldByName("ENAME")->SetText("*A*");
  emp->FieldByName("SAL")->SetText("1250");
  emp->ApplyQBE();
  EXPECT_FALSE(emp->QBEMode());
  EXPECT_EQ(after, 1);
  EXPECT_EQ(emp->SQL().Text(),
            "select rowid, empno, ename, job, hiredate, sal, deptno from emp\r\n"
            "where (ENAME like '%A%')\r\nand (SAL = 1250)\r\norder by empno\r\n/* Modified for QBE */\r\n");
  EXPECT_EQ(Column(*emp, "ENAME"), Names("select ename from emp where ename like '%A%' and sal = 1250 order by empno"));
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"WARD", "MARTIN"}));
  emp->Close();
  EXPECT_EQ(emp->SQL().Text(), std::string(kEmpSql) + "\r\n") << "closing takes the conditions out";
}

TEST_P(QBEModeTest, operators_lists_negation_null_and_whole_days_select_what_sql_would) {
  auto emp = MakeDataSet(kEmpSql);
  emp->QBEDefinition.AllowOperators = true;
  emp->SetQBEMode(true);
  emp->Open();
  ASSERT_TRUE(emp->QBEMode()) << "opening enters the remembered mode";
  emp->FieldByName("DEPTNO")->SetText("not in (10, 30)");
  emp->FieldByName("SAL")->SetText(">= 1100");
  emp->FieldByName("JOB")->SetText("CLERK or ANALYST");
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"),
            Names("select ename from emp where (not (deptno in (10,30)) or deptno is null) and sal >= 1100 "
                  "and (job = 'CLERK' or job = 'ANALYST') order by empno"));

  emp->SetQBEMode(true);
  EXPECT_EQ(emp->FieldByName("SAL")->Text(), ">= 1100") << "the last search's values come back";
  emp->FieldByName("SAL")->SetText("");
  emp->FieldByName("DEPTNO")->SetText("");
  emp->FieldByName("JOB")->SetText("");
  emp->FieldByName("HIREDATE")->SetText("3.12.1981");
  emp->QBEDefinition.Find("HIREDATE")->DateWithoutTime = true;
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"JAMES", "FORD"}));

  emp->SetQBEMode(true);
  emp->FieldByName("HIREDATE")->SetText("");
  emp->FieldByName("ENAME")->SetText("'KING' or null");
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"), std::vector<std::string>{"KING"});
}

TEST_P(QBEModeTest, switches_of_an_entry_shape_string_comparisons) {
  auto emp = OpenDataSet(kEmpSql);
  TQBEField* name = emp->QBEDefinition.Find("ename");
  ASSERT_NE(name, nullptr);
  name->CaseInsensitive = true;
  name->PartialMatch = true;
  emp->SetQBEMode(true);
  emp->FieldByName("ENAME")->SetText("mar");
  EXPECT_EQ(emp->RecordCount(), 1) << "the server's count of the example's rows";
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"), std::vector<std::string>{"MARTIN"});
  name->CaseInsensitive = false;
  name->PartialMatch = false;
  name->SoundsLike = true;
  emp->SetQBEMode(true);
  emp->FieldByName("ENAME")->SetText("SMYTH");
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"), Names("select ename from emp where soundex(ename) = soundex('SMYTH')"));
}

TEST_P(QBEModeTest, cancelling_restores_fields_and_requeries_unless_the_handler_declines) {
  auto emp = OpenDataSet(kEmpSql);
  TField* empno = emp->FieldByName("EMPNO");
  empno->Required = true;
  int changes = 0;
  empno->OnChange = [&](TField*) { ++changes; };
  emp->QBEDefinition.Find("EMPNO")->SetEnabled(false);
  emp->SetQBEMode(true);
  EXPECT_TRUE(empno->ReadOnly) << "a disabled entry cannot take an example";
  EXPECT_FALSE(empno->Required);
  emp->FieldByName("ENAME")->SetText("KING");
  EXPECT_EQ(MessageOf([&] { emp->Append(); }), "Operation not allowed in QBE mode") << "the search record is not posted";
  bool asked = false;
  emp->OnCancelQBE = [&](TOracleDataSet*, bool& requery) {
    asked = true;
    requery = false;
  };
  emp->SetQBEMode(false);
  EXPECT_TRUE(asked);
  EXPECT_FALSE(empno->ReadOnly);
  EXPECT_TRUE(empno->Required);
  EXPECT_TRUE(emp->IsEmpty()) << "not re-executed";
  emp->OnCancelQBE = nullptr;
  emp->SetQBEMode(true);
  emp->SetQBEMode(false);
  EXPECT_EQ(emp->RecordCount(), 14);
  emp->Edit();
  empno->SetAsInteger(1);
  EXPECT_EQ(changes, 1) << "the field's own change handler is back";
  emp->Cancel();
}

// Counts on every data event, as a grid does.
class CountingLink : public TDataLink {
 public:
  int Count = -1;

 protected:
  void ActiveChanged() override { count(); }
  void DataSetChanged() override { count(); }
  void EditingChanged() override { count(); }
  void RecordChanged(TField*) override { count(); }

 private:
  void count() {
    if (Active()) Count = DataSet()->RecordCount();
  }
};

TEST_P(QBEModeTest, a_control_counting_while_the_mode_is_entered_and_left_keeps_the_examples) {
  auto emp = OpenDataSet(kEmpSql);
  emp->QBEDefinition.SaveQBEValues = true;
  TDataSource source(nullptr);
  source.SetDataSet(emp.get());
  CountingLink grid;
  grid.SetDataSource(&source);
  emp->SetQBEMode(true);
  emp->FieldByName("ENAME")->SetText("*A*");
  emp->FieldByName("SAL")->SetText("1250");
  EXPECT_EQ(grid.Count, 2) << "the count of the examples typed so far";
  emp->ApplyQBE();
  EXPECT_EQ(Column(*emp, "ENAME"), (std::vector<std::string>{"WARD", "MARTIN"}));
  EXPECT_EQ(grid.Count, 2);

  emp->SetQBEMode(true);
  EXPECT_EQ(emp->FieldByName("ENAME")->Text(), "*A*") << "the saved examples come back";
  EXPECT_EQ(emp->FieldByName("SAL")->Text(), "1250");
  grid.SetDataSource(nullptr);
}

TEST_P(QBEModeTest, entering_is_refused_for_cursors_pending_updates_and_details_without_a_master_record) {
  auto emp = MakeDataSet(kEmpSql);
  emp->SetCachedUpdates(true);
  emp->Open();
  emp->Edit();
  emp->FieldByName("SAL")->SetAsFloat(1);
  emp->Post();
  EXPECT_EQ(MessageOf([&] { emp->SetQBEMode(true); }), qbe_messages::PendingUpdates);
  emp->CancelUpdates();

  auto cursor = MakeDataSet("begin open :c for select * from emp; end;");
  cursor->DeclareVariable("c", 116);
  cursor->Open();
  EXPECT_EQ(MessageOf([&] { cursor->SetQBEMode(true); }), qbe_messages::NotForCursors);

  auto dept = OpenDataSet("select rowid, deptno from dept where deptno = 99");
  auto detail = MakeDataSet("select rowid, empno, deptno from emp where deptno = :deptno");
  detail->DeclareVariable("deptno", 3);
  detail->MasterFields = "DEPTNO";
  detail->SetMaster(dept.get());
  detail->Open();
  EXPECT_EQ(MessageOf([&] { detail->SetQBEMode(true); }), qbe_messages::NoMasterRecord);
}

// A control as a host registers it: the colours and length it was given.
class RecordingControl final : public TDataAwareControl {
 public:
  RecordingControl(TComponent* owner, TDataSource* source) : TDataAwareControl(owner), source_(source) {}
  TDataSource* DataSource() const override { return source_; }
  void SetFontColor(TColor color) override { font = color; }
  void SetBackgroundColor(TColor color) override { background = color; }
  int MaxLength() const override { return max_length; }
  void SetMaxLength(int length) override { max_length = length; }

  TColor font = clNone;
  TColor background = clNone;
  int max_length = 10;

 private:
  TDataSource* source_;
};

TEST_P(QBEModeTest, the_controls_of_the_dataset_are_coloured_in_the_mode_and_restored_after) {
  auto emp = OpenDataSet(kEmpSql);
  auto dept = OpenDataSet("select * from dept");
  TComponent application(nullptr);
  TDataSource emp_source(nullptr), dept_source(nullptr);
  emp_source.SetDataSet(emp.get());
  dept_source.SetDataSet(dept.get());
  auto* own = new RecordingControl(&application, &emp_source);
  auto* other = new RecordingControl(&application, &dept_source);
  InstalledDefaultUserInterface()->SetApplication(&application);
  emp->QBEDefinition.QBEFontColor = 0x0000FF;
  emp->QBEDefinition.QBEBackgroundColor = 0x00FFFF;
  emp->QBEDefinition.AllowOperators = true;

  emp->SetQBEMode(true);
  EXPECT_EQ(own->font, 0x0000FF);
  EXPECT_EQ(own->background, 0x00FFFF);
  EXPECT_EQ(own->max_length, 0) << "operators need room";
  EXPECT_EQ(other->font, clNone) << "another dataset's control is left alone";
  EXPECT_EQ(other->max_length, 10);
  emp->SetQBEMode(false);
  EXPECT_EQ(own->font, clWindowText);
  EXPECT_EQ(own->background, clWindow);
  EXPECT_EQ(own->max_length, 10);

  // Only a background given: the font is not touched; designing colours nothing.
  emp->QBEDefinition.QBEFontColor = TQBEDefinition::kDefaultColor;
  own->font = clNone;
  emp->SetQBEMode(true);
  EXPECT_EQ(own->font, clNone);
  EXPECT_EQ(own->background, 0x00FFFF);
  emp->SetQBEMode(false);
  own->background = clNone;
  emp->SetDesigning(true);
  emp->SetQBEMode(true);
  EXPECT_EQ(own->background, clNone);
  emp->SetQBEMode(false);
  InstalledDefaultUserInterface()->SetApplication(nullptr);
}

}  // namespace
}  // namespace kvell::testing
