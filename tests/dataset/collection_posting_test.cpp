// A detail over the elements of a master row's nested table, written back
// through the collection expression on ociemu: inserts (also into a null
// collection, which the dataset first makes empty), updates and deletes of
// elements identified by a key or by their rowids.
#include <functional>
#include <string>
#include <vector>

#include "oracle/dataset/dml_messages.h"
#include "oracle/ui/default_user_interface.h"
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
  // The statement texts (without their variables) the dataset sends while `action` runs.
  std::vector<std::string> TextsSentBy(const std::function<void()>& action) {
    std::vector<std::string> texts;
    parts->SetDebug(true);
    InstalledDefaultUserInterface()->SetConfirmPolicy([&](const std::string& shown, TConfirmButtons) {
      std::string text = shown.substr(0, shown.find("\r:"));
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      texts.push_back(std::move(text));
      return mrOk;
    });
    try {
      action();
    } catch (...) {
      InstalledDefaultUserInterface()->SetConfirmPolicy(nullptr);
      parts->SetDebug(false);
      throw;
    }
    InstalledDefaultUserInterface()->SetConfirmPolicy(nullptr);
    parts->SetDebug(false);
    return texts;
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

// What reaches the server for elements known by their rowids: every statement
// names the expression as the dataset's SQL writes it, and the rowid each
// insert or update returns is the one the next statement names.
TEST_P(CollectionPostingTest, element_statements_name_the_expression_line_for_line) {
  parts->Close();
  parts->UniqueFields = "";
  parts->Open();
  const std::string table = "TABLE(select m.parts from cp_kit m where m.id = :id)";
  const std::string savepoint = "savepoint KVELL__LOCKPOINT";
  const std::string lock = "select * from " + table + " where rowid = :kvell__rowid\r\nfor update nowait";
  EXPECT_EQ(TextsSentBy([&] { AddPart("washer", 1); }),
            (std::vector<std::string>{savepoint,
                                      "begin\r\n"
                                      "  update cp_kit m\r\n"
                                      "  set m.parts = SCOTT.CP_PARTS_T()\r\n"
                                      "  where m.parts is null\r\n"
                                      "  and (m.id = :id);\r\n"
                                      "end;",
                                      "insert into " + table + "\r\n"
                                      "  (NAME, QTY)\r\n"
                                      "values\r\n"
                                      "  (:v1, :v2)\r\n"
                                      "returning rowid into :kvell__rowid"}));
  EXPECT_EQ(TextsSentBy([&] {
              parts->Edit();
              parts->FieldByName("QTY")->SetAsInteger(2);
              parts->Post();
            }),
            (std::vector<std::string>{"select * from " + table + " where rowid = :kvell__rowid", savepoint, lock,
                                      "update " + table + "\r\n"
                                      "set QTY = :v2\r\n"
                                      "where rowid = :kvell__rowid\r\n"
                                      "returning rowid into :kvell__rowid"}));
  EXPECT_EQ(TextsSentBy([&] { parts->Delete(); }),
            (std::vector<std::string>{savepoint, lock,
                                      "delete from " + table + "\r\n"
                                      "where rowid = :kvell__rowid"}));
  EXPECT_EQ(Committed(1), "bolt=10,nut=4") << "the washer came, changed and went";
}

// A LOB attribute of an element goes in a temporary LOB. Without temporary
// LOBs it would come back through RETURNING into a locator, which the server
// cannot give for an element: the post fails whole, and nothing is stored.
TEST_P(CollectionPostingTest, a_lob_attribute_is_written_through_a_temporary_lob_or_refused_whole) {
  Exec("create type cp_note_t as object (title varchar2(20), body clob)");
  Exec("create type cp_notes_t as table of cp_note_t");
  Exec("create table cp_book (id number(4), notes cp_notes_t) nested table notes store as cp_book_notes");
  Exec("insert into cp_book values (1, cp_notes_t(cp_note_t('a', 'first body')))");
  session->Commit();
  auto notes = MakeDataSet("select t.*, t.rowid from table(select b.notes from cp_book b where b.id = 1) t");
  notes->Open();
  auto add_note = [&](const std::string& title) {
    notes->Append();
    notes->FieldByName("TITLE")->SetAsString(title);
    notes->FieldByName("BODY")->SetAsString(title + " body");
    notes->Post();
  };
  const std::string bodies = "select title || '=' || dbms_lob.substr(body, 100, 1) from table(select notes from "
                             "cp_book where id = 1) where title <> 'a'";
  add_note("cached");
  notes->Edit();
  notes->FieldByName("BODY")->SetAsString("changed body");
  notes->Post();
  EXPECT_EQ(OtherSees(bodies), "cached=changed body");
  session->Preferences().TemporaryLOB = tlNone;
  EXPECT_NE(MessageOf([&] { add_note("returned"); }).find("ORA-03001"), std::string::npos);
  notes->Cancel();
  EXPECT_EQ(OtherSees("select count(*) from table(select notes from cp_book where id = 1)"), "2");
}

// A VARRAY's elements are no rows of their own: TABLE(...) gives them no
// rowid, and the server refuses DML on them, so an element dataset has no
// key of the server's. It is read-only unless the application writes the
// elements back itself in OnApplyRecord.
class VarrayElementTest : public TwoSessionDataSetTest {
 protected:
  void SetUp() override {
    TwoSessionDataSetTest::SetUp();
    if (OCI7()) GTEST_SKIP() << "objects need OCI8";
    Exec("create type cp_tags_t as varray(5) of varchar2(20)");
    Exec("create table cp_item (id number(4), tags cp_tags_t)");
    Exec("insert into cp_item values (1, cp_tags_t('red', 'blue'))");
    session->Commit();
    tags = MakeDataSet("select column_value tag from table(select tags from cp_item where id = 1)");
    tags->LockingMode = lmNone;
    tags->Open();
  }
  void TearDown() override {
    tags.reset();
    TwoSessionDataSetTest::TearDown();
  }
  std::string Committed() {
    return OtherSees("select count(*) || ':' || min(column_value) || ',' || max(column_value) "
                     "from table(select tags from cp_item where id = 1)");
  }
  std::unique_ptr<InspectableDataSet> tags;
};
KVELL_DATASET_INTERFACES(VarrayElementTest);

TEST_P(VarrayElementTest, elements_have_no_rowid_and_are_read_only_without_an_apply_handler) {
  EXPECT_EQ(Column(*tags, "TAG"), (std::vector<std::string>{"red", "blue"}));
  EXPECT_FALSE(tags->CanModify());
  EXPECT_EQ(MessageOf([&] { tags->Edit(); }), "Cannot modify a read-only dataset");
  auto with_rowid = MakeDataSet("select t.*, t.rowid from table(select tags from cp_item where id = 1) t");
  EXPECT_EQ(OracleErrorCodeOf([&] { with_rowid->Open(); }), 1445);
}

TEST_P(VarrayElementTest, an_apply_handler_takes_every_write_and_a_check_it_leaves_needs_a_rowid) {
  std::string actions;
  tags->OnApplyRecord = [&](TOracleDataSet*, char action, bool& applied, std::string&) {
    actions += action;
    applied = action != 'C';
  };
  EXPECT_TRUE(tags->CanModify());
  tags->Append();
  tags->FieldByName("TAG")->SetAsString("green");
  tags->Post();
  tags->First();
  tags->Edit();
  tags->FieldByName("TAG")->SetAsString("pink");
  tags->Post();
  tags->Delete();
  EXPECT_EQ(actions, "IUD");
  EXPECT_EQ(Column(*tags, "TAG"), (std::vector<std::string>{"blue", "green"}));
  EXPECT_EQ(Committed(), "2:blue,red") << "the dataset sends no DML of its own";
  tags->LockingMode = lmCheckImmediate;
  const std::string no_rowid = std::string(dml_messages::LockRefreshOrCheckAction) + dml_messages::NoRowIdTail;
  EXPECT_EQ(MessageOf([&] { tags->Edit(); }), no_rowid) << "a comparison the handler leaves has no row to read";
  EXPECT_EQ(tags->State(), dsBrowse);
}

}  // namespace
}  // namespace kvell::testing
