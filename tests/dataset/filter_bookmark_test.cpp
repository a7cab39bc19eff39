// Client-side filters over the fields of every kind, OnFilterRecord, the
// filter options, parse errors, and bookmarks with a filter and after the
// store lost records.
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/filter/expression.h"
#include "runtime/format_settings.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class FilterTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    // The version 7 interface reads no LOBs: a LONG and a RAW stand in for them there.
    Exec(std::string("create table people (id number(4), name varchar2(20), sal number(8,2), born date, ") +
         (OCI7() ? "notes long, photo raw(4)" : "notes clob, photo blob") + ", code char(3))");
    Exec("insert into people values (1, 'SMITH', 800, to_date('17-12-1980','DD-MM-YYYY'), 'quiet', "
         "hextoraw('0102'), 'AB')");
    Exec("insert into people values (2, 'smythe', 1500.5, to_date('20-02-1991','DD-MM-YYYY'), null, null, 'XY')");
    Exec("insert into people values (3, 'JONES', null, to_date('02-04-1981','DD-MM-YYYY'), 'loud', null, null)");
    Exec("insert into people values (4, 'SMALL', 3000, null, 'quiet too', hextoraw('03'), 'AB')");
    people = MakeDataSet("select rowid, id, name, sal, born, notes, photo, code from people order by id");
  }
  void TearDown() override {
    people.reset();
    ResetFormatSettings();
    DataSetTest::TearDown();
  }
  std::vector<int> Ids() {
    std::vector<int> ids;
    for (people->First(); !people->Eof(); people->Next()) ids.push_back(people->FieldByName("ID")->AsInteger());
    return ids;
  }
  std::vector<int> Filter(const std::string& text, TFilterOptions options = {}) {
    people->SetFilterText(text);
    people->SetFilterOptions(options);
    people->SetFiltered(true);
    return Ids();
  }

  std::unique_ptr<InspectableDataSet> people;
};
KVELL_DATASET_INTERFACES(FilterTest);

TEST_P(FilterTest, filters_compare_fields_of_every_kind) {
  people->Open();
  EXPECT_EQ(Filter("ID >= 3"), (std::vector<int>{3, 4})) << "small integer";
  EXPECT_EQ(Filter("SAL > 1000"), (std::vector<int>{2, 4})) << "float";
  EXPECT_EQ(Filter("SAL = NULL"), (std::vector<int>{3}));
  EXPECT_EQ(Filter("NAME = 'SM*'"), (std::vector<int>{1, 4})) << "string with a wildcard";
  EXPECT_EQ(Filter("NAME = 'SM*'", {foCaseInsensitive}), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(Filter("NAME = 'SM*'", {foNoPartialCompare}), (std::vector<int>{}));
  EXPECT_EQ(Filter("BORN > '1.1.1981'"), (std::vector<int>{2, 3})) << "date-time";
  EXPECT_EQ(Filter("BORN = NULL"), (std::vector<int>{4}));
  EXPECT_EQ(Filter("NOTES = 'quiet*'"), (std::vector<int>{1, 4})) << "character LOB or LONG";
  EXPECT_EQ(Filter("PHOTO <> NULL"), (std::vector<int>{1, 4})) << "binary LOB or RAW";
  EXPECT_EQ(Filter("CODE = 'AB'"), (std::vector<int>{1, 4})) << "fixed character, trimmed";
  EXPECT_EQ(Filter("(ID < 2) OR (SAL >= 3000) AND (NAME <> 'X')"), (std::vector<int>{1, 4}));
  people->SetFiltered(false);
  EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_P(FilterTest, OnFilterRecord_decides_before_the_filter_text) {
  people->OnFilterRecord = [](TDataSet* dataset, bool& accept) {
    EXPECT_EQ(dataset->State(), dsFilter);
    accept = dataset->FieldByName("ID")->AsInteger() % 2 == 0;
  };
  people->SetFiltered(true);
  people->Open();
  EXPECT_EQ(Ids(), (std::vector<int>{2, 4})) << "applied while fetching";
  EXPECT_EQ(Filter("SAL > 2000"), (std::vector<int>{4}));
}

TEST_P(FilterTest, calculated_fields_are_not_computed_while_filtering) {
  int computed_in_filter = 0;
  auto* doubled = new TIntegerField(people.get());
  doubled->SetFieldName("DOUBLED");
  doubled->SetFieldKind(fkCalculated);
  doubled->SetDataSet(people.get());
  for (const char* name : {"ID", "NAME"}) {
    TField* field = CreateFieldOfType(people.get(), name[0] == 'I' ? ftInteger : ftString);
    field->SetFieldName(name);
    if (name[0] == 'N') field->SetSize(20);
    field->SetDataSet(people.get());
  }
  people->OnCalcFields = [&](TDataSet* dataset) {
    if (dataset->State() == dsFilter) ++computed_in_filter;
    dataset->FieldByName("DOUBLED")->SetAsInteger(dataset->FieldByName("ID")->AsInteger() * 2);
  };
  people->Open();
  EXPECT_EQ(Filter("ID > 2"), (std::vector<int>{3, 4}));
  EXPECT_EQ(computed_in_filter, 0);
  people->First();
  EXPECT_EQ(people->FieldByName("DOUBLED")->AsInteger(), 6);
  EXPECT_EQ(people->FieldCount(), 3) << "persistent fields only";
}

TEST_P(FilterTest, a_bad_filter_text_fails_in_the_setter_or_when_opening) {
  people->SetFilterText("ID = (");
  EXPECT_THROW(people->Open(), EExpression);
  EXPECT_FALSE(people->Active());
  people->SetFilterText("ID = 1");
  people->Open();
  EXPECT_THROW(people->SetFilterText("NAME = 'x"), EExpression);
  people->SetFilterText("NOPE = 1");
  EXPECT_EQ(MessageOf([&] { people->SetFiltered(true); }), "Field 'NOPE' not found");
}

TEST_P(FilterTest, bookmarks_find_their_records_with_a_filter_and_refuse_filtered_out_ones) {
  people->Open();
  people->Last();
  TBookmark fourth = people->GetBookmark();
  people->First();
  people->Next();
  TBookmark second = people->GetBookmark();
  EXPECT_EQ(people->CompareBookmarks(second, fourth), -1);
  EXPECT_EQ(people->CompareBookmarks(fourth, second), 1);
  EXPECT_EQ(people->CompareBookmarks(fourth, fourth), 0);
  EXPECT_EQ(people->CompareBookmarks({}, second), 1);
  EXPECT_EQ(people->CompareBookmarks(second, {}), -1);
  EXPECT_EQ(people->CompareBookmarks({}, {}), 0);
  Filter("SAL > 2000");
  EXPECT_TRUE(people->BookmarkValid(fourth));
  EXPECT_FALSE(people->BookmarkValid(second));
  people->GotoBookmark(fourth);
  EXPECT_EQ(people->FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(MessageOf([&] { people->GotoBookmark(second); }), dataset_messages::BookmarkNotFound(2));
  EXPECT_EQ(people->FieldByName("ID")->AsInteger(), 4);
}

TEST_P(FilterTest, bookmarks_survive_records_deleted_from_the_store) {
  people->Open();
  people->Last();
  TBookmark fourth = people->GetBookmark();
  people->First();
  TBookmark first = people->GetBookmark();
  people->Next();
  people->DeleteStoredCurrent();  // ID 2
  people->GotoBookmark(fourth);
  EXPECT_EQ(people->FieldByName("ID")->AsInteger(), 4) << "found by a scan once positions moved";
  people->GotoBookmark(first);
  EXPECT_EQ(people->FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 4}));
  EXPECT_FALSE(people->BookmarkValid(TBookmark{2, 0, 0, 0})) << "the deleted record's RecordId";
}

}  // namespace
}  // namespace kvell::testing
