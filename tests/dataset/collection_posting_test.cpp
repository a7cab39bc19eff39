// A detail over the elements of a master row's nested table, written back
// through the collection expression on ociemu: inserts (also into a null
// collection, which the dataset first makes empty), updates and deletes of
// elements identified by a key or by their rowids.
#include <string>
#include <vector>

#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class CollectionPostingTest : public TwoSessionDataSetTest {
 protected:
  void SetUp() override {
    TwoSessionDataSetTest::SetUp();
    if (OCI7()) GTEST_SKIP() << "objects need OCI8";
    Exec("create type cp_part_t as object (name varchar2(20), qty number)");
    Exec("create type cp_parts_t as table of cp_part_t");
    Exec("create table cp_kit (id number(4) primary key, parts cp_parts_t) nested table parts store as cp_kit_parts");
    Exec("insert into cp_kit values (1, cp_parts_t(cp_part_t('bolt', 10), cp_part_t('nut', 4)))");
    Exec("insert into cp_kit values (2, null)");
    session->Commit();
    kit = OpenDataSet("select rowid, id from cp_kit order by id");
    parts = MakeDataSet("select t.*, t.rowid from table(select m.parts from cp_kit m where m.id = :id) t");
    parts->DeclareVariable("id", 3);
    parts->MasterFields = "ID";
    parts->UniqueFields = "NAME";
    parts->SetMaster(kit.get());
    parts->Open();
  }
  void TearDown() override {
    parts.reset();
    kit.reset();
    TwoSessionDataSetTest::TearDown();
  }
  void AddPart(const std::string& name, int qty) {
    parts->Append();
    parts->FieldByName("NAME")->SetAsString(name);
    parts->FieldByName("QTY")->SetAsInteger(qty);
    parts->Post();
  }
  // The committed elements of a kit, as another session reads them.
  std::string Committed(int id) {
    TOracleQuery query;
    query.SetSession(other.get());
    query.SQL().SetText("select name || '=' || qty from table(select parts from cp_kit where id = " + std::to_string(id) +
                     ") order by name");
    query.Execute();
    std::string elements;
    for (; !query.Eof(); query.Next()) elements += (elements.empty() ? "" : ",") + query.FieldText(0);
    return elements;
  }
  std::unique_ptr<InspectableDataSet> kit, parts;
};
KVELL_DATASET_INTERFACES(CollectionPostingTest);

TEST_P(CollectionPostingTest, elements_are_inserted_updated_and_deleted_through_the_expression) {
  AddPart("washer", 1);
  ASSERT_TRUE(parts->Locate("NAME", Variant("nut"), 0));
  parts->Edit();
  parts->FieldByName("QTY")->SetAsInteger(5);
  parts->Post();
  ASSERT_TRUE(parts->Locate("NAME", Variant("bolt"), 0));
  parts->Delete();
  EXPECT_EQ(Committed(1), "nut=5,washer=1");
  parts->Refresh();
  EXPECT_EQ(Column(*parts, "NAME"), (std::vector<std::string>{"nut", "washer"}));
}

TEST_P(CollectionPostingTest, an_insert_into_a_null_collection_creates_it_first) {
  kit->Next();
  AddPart("spring", 7);
  EXPECT_EQ(Committed(2), "spring=7");
  EXPECT_EQ(Committed(1), "bolt=10,nut=4") << "the block touches only the selected row";
  AddPart("gear", 2);  // the collection exists now: the block leaves it alone
  EXPECT_EQ(Committed(2), "gear=2,spring=7");
}

// Without UniqueFields each element is known by the rowid the server returns
// from the insert or update, so a second edit of the same record finds it.
TEST_P(CollectionPostingTest, elements_known_by_rowid_are_inserted_and_edited_again) {
  parts->Close();
  parts->UniqueFields = "";
  parts->Open();
  AddPart("washer", 1);
  EXPECT_EQ(Committed(1), "bolt=10,nut=4,washer=1");
  // Each post finds the element by the rowid the one before returned; a stale
  // one would name no element and fail as deleted by another user.
  parts->Edit();
  parts->FieldByName("QTY")->SetAsInteger(2);
  parts->Post();
  EXPECT_EQ(Committed(1), "bolt=10,nut=4,washer=2");
  parts->Edit();
  parts->FieldByName("QTY")->SetAsInteger(3);
  parts->Post();
  ASSERT_TRUE(parts->Locate("NAME", Variant("nut"), 0));
  parts->Edit();
  parts->FieldByName("QTY")->SetAsInteger(5);
  parts->Post();
  EXPECT_EQ(Committed(1), "bolt=10,nut=5,washer=3");
}

}  // namespace
}  // namespace kvell::testing
