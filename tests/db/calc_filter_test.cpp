#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::ids_forward;
using testing::make_people;

// Adds a calculated DOUBLE_SAL field and counts its computations.
struct CalcFixture {
  std::unique_ptr<TMemoryDataSet> ds = std::make_unique<TMemoryDataSet>(nullptr);
  int computed = 0;
  int computed_while_filtering = 0;

  CalcFixture() {
    for (auto [name, type] : {std::pair{"ID", ftInteger}, std::pair{"SAL", ftFloat}}) {
      TField* field = CreateFieldOfType(ds.get(), type);
      field->SetFieldName(name);
      field->SetDataSet(ds.get());
    }
    auto* twice = new TFloatField(ds.get());
    twice->SetFieldName("DOUBLE_SAL");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(ds.get());
    ds->OnCalcFields = [this](TDataSet* d) {
      ++computed;
      if (d->State() == dsFilter) ++computed_while_filtering;
      EXPECT_TRUE(d->State() == dsCalcFields || IsEditState(d->State()));
      if (!d->FieldByName("SAL")->IsNull())
        d->FieldByName("DOUBLE_SAL")->SetAsFloat(d->FieldByName("SAL")->AsFloat() * 2);
    };
    ds->Open();
    for (int i = 1; i <= 5; ++i) ds->AppendRecord({i, i * 10.0});
    ds->First();
  }
};

TEST(CalcFieldsTest, are_computed_for_each_record_and_follow_edits) {
  CalcFixture f;
  std::vector<double> doubled;
  for (f.ds->First(); !f.ds->Eof(); f.ds->Next()) doubled.push_back(f.ds->FieldByName("DOUBLE_SAL")->AsFloat());
  EXPECT_EQ(doubled, (std::vector<double>{20, 40, 60, 80, 100}));
  f.ds->Edit();
  f.ds->FieldByName("SAL")->SetAsFloat(7);
  EXPECT_DOUBLE_EQ(f.ds->FieldByName("DOUBLE_SAL")->AsFloat(), 14) << "AutoCalcFields recomputes on change";
  f.ds->Cancel();
  EXPECT_DOUBLE_EQ(f.ds->FieldByName("DOUBLE_SAL")->AsFloat(), 100);
  EXPECT_THROW(f.ds->FieldByName("DOUBLE_SAL")->SetAsFloat(1), EDatabaseError)
      << "calculated fields are written only while calculating";
}

TEST(CalcFieldsTest, are_never_computed_in_the_filter_state) {
  CalcFixture f;
  bool calc_was_null = false;
  f.ds->OnFilterRecord = [&](TDataSet* d, bool& accept) {
    calc_was_null = calc_was_null || d->FieldByName("DOUBLE_SAL")->IsNull();
    accept = d->FieldByName("SAL")->AsFloat() > 25;
  };
  f.ds->SetFiltered(true);
  EXPECT_EQ(f.computed_while_filtering, 0);
  EXPECT_TRUE(calc_was_null);
  EXPECT_EQ(ids_forward(*f.ds), (std::vector<int>{3, 4, 5}));
}

TEST(FilterTest, on_filter_record_hides_records_until_switched_off) {
  auto ds = make_people(6);
  ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() % 2 == 0; };
  ds->SetFiltered(true);
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{2, 4, 6}));
  EXPECT_EQ(ds->RecordCount(), 3);
  ds->AppendRecord({7});
  EXPECT_EQ(ds->RecordCount(), 3) << "a new record that fails the filter is not shown";
  ds->First();
  ds->Edit();
  ds->FieldByName("ID")->SetAsInteger(9);
  ds->Post();
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{4, 6}));
  ds->SetFiltered(false);
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 9, 3, 4, 5, 6, 7}));
}

// A stand-in expression engine: "ID>n" keeps records with a larger ID.
class IdAbove : public TFilterPredicate {
 public:
  IdAbove(TDataSet& ds, int limit) : ds_(ds), limit_(limit) {}
  bool Accepts() override { return ds_.FieldByName("ID")->AsInteger() > limit_; }

 private:
  TDataSet& ds_;
  int limit_;
};

TEST(FilterTest, a_filter_text_goes_through_the_installed_compiler) {
  auto ds = make_people(5);
  std::vector<std::string> compiled;
  ds->FilterCompiler = [&](TDataSet& d, const std::string& text, TFilterOptions options) {
    compiled.push_back(text + (options.Contains(foCaseInsensitive) ? " ci" : ""));
    if (text.rfind("ID>", 0) != 0) throw EDatabaseError("bad filter");
    return std::make_unique<IdAbove>(d, std::stoi(text.substr(3)));
  };
  ds->SetFilterText("ID>3");
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 2, 3, 4, 5})) << "not applied until Filtered";
  ds->SetFiltered(true);
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{4, 5}));
  ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() != 5; };
  ds->SetFilterOptions(TFilterOptions{foCaseInsensitive});
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{4})) << "the event and the text must both accept";
  EXPECT_THROW(ds->SetFilterText("junk"), EDatabaseError);
  EXPECT_EQ(compiled, (std::vector<std::string>{"ID>3", "ID>3 ci", "junk ci"}));
  TMemoryDataSet plain(nullptr);
  plain.FieldDefs().Add("ID", ftInteger);
  plain.SetFilterText("ID>1");
  EXPECT_THROW(plain.Open(), EDatabaseError) << "no engine, no filter text";
  EXPECT_FALSE(plain.Active());
}

TEST(SearchTest, locate_moves_to_the_first_match_with_the_options) {
  auto ds = make_people(5);
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("Šime");
  ds->Post();
  EXPECT_TRUE(ds->Locate("NAME", "N4", 0));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);
  EXPECT_FALSE(ds->Locate("NAME", "n4", 0));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4) << "a failed search does not move";
  EXPECT_TRUE(ds->Locate("NAME", "šIM", loCaseInsensitive | loPartialKey));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  EXPECT_TRUE(ds->Locate("ID;SAL", VarArrayOf({3, 300.0}), 0));
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_FALSE(ds->Locate("ID;SAL", VarArrayOf({3, 301.0}), 0));
  EXPECT_TRUE(ds->Locate("NOTES", Null(), 0)) << "null matches null";
}

TEST(SearchTest, lookup_reads_values_without_moving) {
  auto ds = make_people(5);
  ds->SetRecNo(2);
  EXPECT_EQ(ds->Lookup("ID", 4, "NAME").AsString(), "N4");
  EXPECT_EQ(ds->Lookup("ID", 4, "NAME;SAL"), VarArrayOf({"N4", 400.0}));
  EXPECT_TRUE(ds->Lookup("ID", 99, "NAME").IsNull());
  EXPECT_EQ(ds->RecNo(), 2);
}

TEST(SearchTest, lookup_fields_take_their_value_from_another_dataset) {
  auto depts = std::make_unique<TMemoryDataSet>(nullptr);
  depts->FieldDefs().Add("DEPTNO", ftInteger);
  depts->FieldDefs().Add("DNAME", ftString, 14);
  depts->Open();
  depts->AppendRecord({10, "ACCOUNTING"});
  depts->AppendRecord({20, "RESEARCH"});
  TMemoryDataSet emp(nullptr);
  for (auto [name, type] : {std::pair{"ENAME", ftString}, std::pair{"DEPTNO", ftInteger}}) {
    TField* field = CreateFieldOfType(&emp, type);
    field->SetFieldName(name);
    field->SetDataSet(&emp);
  }
  auto* dname = new TStringField(&emp);
  dname->SetFieldName("DNAME");
  dname->SetFieldKind(fkLookup);
  dname->LookupDataSet = depts.get();
  dname->KeyFields = "DEPTNO";
  dname->LookupKeyFields = "DEPTNO";
  dname->LookupResultField = "DNAME";
  dname->SetDataSet(&emp);
  emp.Open();
  emp.AppendRecord({"KING", 10});
  emp.AppendRecord({"FORD", 20});
  emp.AppendRecord({"NOBODY", 30});
  std::vector<std::string> names;
  for (emp.First(); !emp.Eof(); emp.Next()) names.push_back(dname->AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"ACCOUNTING", "RESEARCH", ""}));
}

}  // namespace
}  // namespace kvell
