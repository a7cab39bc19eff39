// Rows identified by UniqueFields, sequence fields at their three moments,
// server defaults, and the re-reads that RefreshOptions ask for.
#include <string>

#include "oracle/dataset/dml_messages.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class KeysAndRefreshTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table items (id number(6), code varchar2(10), name varchar2(20), created date default sysdate)");
    Exec("create sequence items_seq start with 100");
    Exec("insert into items (id, code, name) values (1, null, 'one')");
    Exec("insert into items (id, code, name) values (2, 'B', 'two')");
    session->Commit();
  }
  std::string LastText(InspectableDataSet& dataset) { return dataset.DMLQuery()->SQL().Text(); }
  std::string Stored(const std::string& sql) { return QueryValue(*session, sql); }
};
KVELL_DATASET_INTERFACES(KeysAndRefreshTest);

TEST_P(KeysAndRefreshTest, unique_fields_identify_the_row_with_is_null_for_an_empty_key) {
  auto items = MakeDataSet("select rowid, id, code, name from items order by id");
  items->UniqueFields = "ID;CODE";
  items->Open();
  items->Edit();
  items->FieldByName("NAME")->SetAsString("uno");
  items->Post();
  EXPECT_EQ(LastText(*items), "update ITEMS\r\nset NAME = :v3\r\nwhere ID = :kvell__key1\r\nand CODE is null\r\n");
  EXPECT_EQ(Stored("select name from items where id = 1"), "uno");
  items->Append();
  items->FieldByName("ID")->SetAsInteger(3);
  items->FieldByName("NAME")->SetAsString("three");
  items->Post();
  EXPECT_EQ(LastText(*items), "select rowid from ITEMS where\r\nID = :ID\r\nand CODE is null\r\n")
      << "a keyed insert finds its rowid by the key";
  items->Edit();
  items->FieldByName("CODE")->SetAsString("C");
  items->Post();
  EXPECT_EQ(Stored("select code from items where id = 3"), "C") << "changing a key column finds the row by its old key";
}

TEST_P(KeysAndRefreshTest, unique_fields_that_name_no_field_are_refused) {
  // Without a key in the dictionary either, at open.
  auto items = MakeDataSet("select rowid, id, name from items order by id");
  items->UniqueFields = "NOPE";
  EXPECT_EQ(MessageOf([&] { items->Open(); }), dml_messages::NoKeyColumns);
  // With one, the dictionary's key finds inserted rows, but an update's
  // where clause needs the named fields.
  Exec("alter table items add constraint pk_items primary key (id)");
  items->Open();
  items->Edit();
  items->FieldByName("NAME")->SetAsString("x");
  EXPECT_EQ(MessageOf([&] { items->Post(); }), dml_messages::NoUniqueFields);
  items->Cancel();
}

TEST_P(KeysAndRefreshTest, a_sequence_fills_the_key_on_post_on_new_record_or_on_the_server) {
  auto items = MakeDataSet("select rowid, id, name from items order by id");
  items->SequenceField.Field = "ID";
  items->SequenceField.Sequence = "items_seq";
  items->Open();
  items->Append();
  EXPECT_TRUE(items->FieldByName("ID")->IsNull());
  items->FieldByName("NAME")->SetAsString("posted");
  items->Post();
  EXPECT_EQ(items->FieldByName("ID")->AsInteger(), 100);

  items->SequenceField.ApplyMoment = amOnNewRecord;
  items->Append();
  EXPECT_EQ(items->FieldByName("ID")->AsInteger(), 101);
  items->Post();

  items->SequenceField.ApplyMoment = amOnServer;
  items->Append();
  items->FieldByName("NAME")->SetAsString("server");
  items->Post();
  const std::string text = LastText(*items);
  EXPECT_EQ(text.rfind("select * from ITEMS where rowid = :kvell__rowid", 0), 0u) << "re-read after the insert";
  EXPECT_EQ(items->FieldByName("ID")->AsInteger(), 102);
  EXPECT_EQ(Stored("select count(*) from items where id between 100 and 102"), "3");
}

TEST_P(KeysAndRefreshTest, a_null_field_with_a_default_expression_is_inserted_as_the_expression_and_re_read) {
  auto items = MakeDataSet("select rowid, id, name, created from items order by id");
  items->Open();
  items->FieldByName("CREATED")->DefaultExpression = "sysdate - 1";
  items->Append();
  items->FieldByName("ID")->SetAsInteger(9);
  items->Post();
  EXPECT_FALSE(items->FieldByName("CREATED")->IsNull()) << "re-read after the insert";
  EXPECT_EQ(Stored("select count(*) from items where id = 9 and created < sysdate - 0.5"), "1");
}

TEST_P(KeysAndRefreshTest, after_update_and_before_edit_re_read_the_row) {
  Exec("create or replace trigger items_upper before update on items for each row begin "
       ":new.name := upper(:new.name); end;");
  auto items = MakeDataSet("select rowid, id, code, name from items order by id");
  items->RefreshOptions = roAfterUpdate | roBeforeEdit;
  items->Open();
  items->Edit();
  items->FieldByName("NAME")->SetAsString("lower");
  items->Post();
  EXPECT_EQ(items->FieldByName("NAME")->AsString(), "LOWER") << "the trigger's change was read back";
  auto other = MakeSession();
  other->LogOn();
  Run(*other, "update items set code = 'Z' where id = 1");
  other->Commit();
  items->Edit();
  EXPECT_EQ(items->FieldByName("CODE")->AsString(), "Z") << "roBeforeEdit reads instead of comparing";
  items->Cancel();
}

TEST_P(KeysAndRefreshTest, all_fields_re_reads_joined_columns_through_the_datasets_own_query) {
  auto emp = MakeDataSet("select e.rowid, e.empno, e.ename, d.dname from emp e, dept d\r\n"
                         "where d.deptno = e.deptno order by e.empno");
  emp->RefreshOptions = roBeforeEdit | roAllFields;
  emp->Open();
  EXPECT_EQ(emp->GetUpdatingTableName(), "EMP");
  EXPECT_EQ(emp->GetSelectTableName(), "e");
  Exec("update dept set dname = 'LAB' where deptno = 20");
  session->Commit();
  emp->Edit();  // 7369 works in 20
  EXPECT_EQ(emp->FieldByName("DNAME")->AsString(), "LAB");
  EXPECT_EQ(LastText(*emp),
            "select e.rowid, e.empno, e.ename, d.dname from emp e, dept d\r\n"
            "where (d.deptno = e.deptno)\r\nand\r\n(e.rowid = :kvell__rowid)\r\n");
  emp->Cancel();
}

TEST_P(KeysAndRefreshTest, a_lock_on_all_fields_names_the_first_data_field) {
  auto emp = MakeDataSet("select e.rowid, e.empno, e.ename from emp e order by e.empno");
  emp->RefreshOptions = roAllFields;
  emp->LockingMode = lmLockImmediate;
  emp->Open();
  emp->Edit();
  EXPECT_EQ(LastText(*emp),
            "select e.rowid, e.empno, e.ename from emp e\r\nwhere e.rowid = :kvell__rowid\r\n"
            "for update of e.EMPNO nowait\r\n");
  emp->Cancel();
}

}  // namespace
}  // namespace kvell::testing
