// Column defaults for new records and the field settings a dataset takes
// from the dictionary, on ociemu; and the numeric formats on their own.
#include <string>

#include "oracle/dataset/dictionary_format.h"
#include "oracle/dataset/table_info.h"
#include "runtime/date_text.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class DictionaryFieldsTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create sequence orders_seq start with 500");
    Exec("create table orders (id number(5), status varchar2(8) default 'NEW', placed date default sysdate, "
         "amount number(10,2) default 12.5, note varchar2(30 char), kind number(1))");
    Exec("create or replace trigger orders_id before insert on orders for each row "
         "begin if :new.id is null then select orders_seq.nextval into :new.id from dual; end if; end;");
  }
};
KVELL_DATASET_INTERFACES(DictionaryFieldsTest);

TEST_P(DictionaryFieldsTest, new_records_take_literal_and_sysdate_defaults_and_a_trigger_fills_the_key) {
  auto orders = MakeDataSet("select rowid, o.* from orders o");
  orders->OracleDictionary.DefaultValues = true;
  orders->RefreshOptions = roAfterInsert;
  orders->Open();
  orders->Append();
  EXPECT_EQ(orders->FieldByName("STATUS")->AsString(), "NEW");
  EXPECT_DOUBLE_EQ(orders->FieldByName("AMOUNT")->AsFloat(), 12.5);
  EXPECT_FALSE(orders->FieldByName("PLACED")->IsNull());
  EXPECT_TRUE(orders->FieldByName("ID")->IsNull());
  EXPECT_TRUE(orders->FieldByName("NOTE")->IsNull());
  orders->Post();
  EXPECT_EQ(orders->FieldByName("ID")->AsInteger(), 500) << "the trigger's key read back after the insert";
  EXPECT_EQ(QueryValue(*session, "select status from orders where id = 500"), "NEW");
}

TEST_P(DictionaryFieldsTest, defaults_are_evaluated_once_per_session_unless_dynamic) {
  Exec("create sequence tick_seq");
  Exec("create table ticks (n number default tick_seq.nextval, label varchar2(5))");
  auto first = OpenDataSet("select rowid, t.* from ticks t");
  first->OracleDictionary.DefaultValues = true;
  first->Append();
  EXPECT_EQ(first->FieldByName("N")->AsInteger(), 1);
  first->Cancel();
  first->Append();
  EXPECT_EQ(first->FieldByName("N")->AsInteger(), 1) << "kept from the first evaluation";
  first->Cancel();
  first->OracleDictionary.DynamicDefaults = true;
  first->Append();
  EXPECT_EQ(first->FieldByName("N")->AsInteger(), 2);
  first->Cancel();
  const int64_t sent = TableInfoCache(*session).StatementsSent();
  auto second = OpenDataSet("select rowid, t.* from ticks t");
  second->OracleDictionary.DefaultValues = true;
  second->Append();
  EXPECT_EQ(second->FieldByName("N")->AsInteger(), 2);
  EXPECT_EQ(TableInfoCache(*session).StatementsSent(), sent) << "the second dataset reads nothing again";
  second->Cancel();
}

TEST_P(DictionaryFieldsTest, a_table_that_cannot_be_described_gives_no_defaults_and_no_exception) {
  Exec("create table gone (a number default 1)");
  Exec("create view gone_v as select * from gone");
  auto dataset = MakeDataSet("select rowid, a from gone");
  dataset->OracleDictionary.DefaultValues = true;
  dataset->SetUpdatingTable("gone_v");
  dataset->Open();
  Exec("drop view gone_v");
  ::testing::internal::CaptureStderr();
  dataset->Append();
  const std::string reported = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(dataset->FieldByName("A")->IsNull());
  EXPECT_NE(reported.find("ORA-00942"), std::string::npos) << reported;
  dataset->Cancel();
}

TEST_P(DictionaryFieldsTest, numeric_fields_get_ranges_and_formats_from_precision_and_scale) {
  auto orders = MakeDataSet("select rowid, id, amount, kind, status, note, 'x' extra from orders");
  orders->OracleDictionary.RangeValues = true;
  orders->OracleDictionary.SetDisplayFormats(true);
  orders->OracleDictionary.FieldKinds = true;
  orders->OracleDictionary.SetCharacterSize(true);
  orders->Open();
  auto* id = dynamic_cast<TIntegerField*>(orders->FieldByName("ID"));
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->MinValue, -99999);
  EXPECT_EQ(id->MaxValue, 99999);
  EXPECT_EQ(id->DisplayWidth(), 6);
  auto* amount = dynamic_cast<TFloatField*>(orders->FieldByName("AMOUNT"));
  ASSERT_NE(amount, nullptr);
  EXPECT_EQ(amount->DisplayFormat, "##,###,##0.00");
  EXPECT_EQ(amount->EditFormat, "#######0.00");
  EXPECT_EQ(amount->DisplayWidth(), 14);
  EXPECT_DOUBLE_EQ(amount->MaxValue, 99999999.99);
  // The version 7 describe carries no character length.
  if (!OCI7()) {
    EXPECT_EQ(orders->FieldByName("NOTE")->DisplayWidth(), 30);
  }
  TField* extra = orders->FieldByName("EXTRA");
  EXPECT_EQ(extra->FieldKind(), fkInternalCalc);
  EXPECT_TRUE(extra->ReadOnly);
  EXPECT_EQ(orders->FieldByName("STATUS")->FieldKind(), fkData);

  Exec("insert into orders (id, amount) values (1, 2)");
  orders->Refresh();
  orders->Edit();
  EXPECT_THROW(orders->FieldByName("EXTRA")->SetAsString("y"), EDatabaseError);
  orders->Cancel();
}

TEST_P(DictionaryFieldsTest, fields_added_while_designing_take_the_settings_at_once) {
  auto orders = MakeDataSet("select rowid, id, amount, 'x' extra from orders");
  orders->SetDesigning(true);
  orders->OracleDictionary.SetDisplayFormats(true);
  orders->OracleDictionary.FieldKinds = true;
  orders->InitFieldDefs();
  TFieldDefs& defs = orders->FieldDefs();
  auto* amount = dynamic_cast<TFloatField*>(defs[defs.IndexOf("AMOUNT")].CreateField(orders.get(), orders.get()));
  ASSERT_NE(amount, nullptr);
  EXPECT_EQ(amount->DisplayFormat, "##,###,##0.00");
  EXPECT_EQ(amount->EditFormat, "#######0.00");
  TField* extra = defs[defs.IndexOf("EXTRA")].CreateField(orders.get(), orders.get());
  EXPECT_EQ(extra->FieldKind(), fkInternalCalc);
  EXPECT_TRUE(extra->ReadOnly);

  // At run time a persistent field keeps what the program gave it.
  auto running = MakeDataSet("select rowid, id, amount from orders");
  running->OracleDictionary.SetDisplayFormats(true);
  running->InitFieldDefs();
  TFieldDefs& running_defs = running->FieldDefs();
  auto* plain = dynamic_cast<TFloatField*>(
      running_defs[running_defs.IndexOf("AMOUNT")].CreateField(running.get(), running.get()));
  EXPECT_EQ(plain->DisplayFormat, "");
}

TEST_P(DictionaryFieldsTest, switching_display_formats_reopens_and_required_fields_follow_the_switch) {
  Exec("create table strict (a number(3) not null, b number(3))");
  auto dataset = OpenDataSet("select rowid, a, b from strict");
  EXPECT_TRUE(dataset->FieldByName("A")->Required);
  EXPECT_EQ(dynamic_cast<TNumericField*>(dataset->FieldByName("A"))->DisplayFormat, "");
  int changes = 0;
  dataset->AfterOpen = [&](TDataSet*) { ++changes; };
  dataset->OracleDictionary.SetDisplayFormats(true);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(dataset->FieldByName("A")->DisplayWidth(), 4);
  dataset->Close();
  dataset->OracleDictionary.SetRequiredFields(false);
  dataset->Open();
  EXPECT_FALSE(dataset->FieldByName("A")->Required);

  TOracleDictionary copy;
  copy.Assign(dataset->OracleDictionary);
  EXPECT_TRUE(copy.DisplayFormats());
  EXPECT_FALSE(copy.RequiredFields());
}

TEST(DictionaryFormat, formats_group_the_integer_part_and_keep_the_scale) {
  EXPECT_EQ(NumberDisplayFormat(10, 2), "##,###,##0.00");
  EXPECT_EQ(NumberEditFormat(10, 2), "#######0.00");
  EXPECT_EQ(NumberDisplayFormat(3, 3), "0.000") << "no integer digits";
  EXPECT_EQ(NumberDisplayFormat(5, 4), "0.0000");
  EXPECT_EQ(NumberDisplayFormat(7, 1), "###,##0.0");
}

TEST(DictionaryFormat, check_conditions_bind_whole_words_and_quoted_names) {
  EXPECT_EQ(BindConstraintColumns("sal > 0 and salary < \"SAL\"", {"SAL"}), ":sal > 0 and salary < :SAL");
  EXPECT_EQ(BindConstraintColumns("lo <= hi and x_lo > 0", {"LO", "HI"}), ":lo <= :hi and x_lo > 0");
  EXPECT_EQ(BindConstraintColumns("status in ('A', 'B')", {"STATUS"}), ":status in ('A', 'B')");
}

}  // namespace
}  // namespace kvell::testing
