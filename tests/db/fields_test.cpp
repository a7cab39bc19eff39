#include <gtest/gtest.h>

#include "runtime/date_text.h"
#include "runtime/format_settings.h"
#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::make_people;

class FieldsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFormatSettings(); }
  void TearDown() override { ResetFormatSettings(); }
};

// A dataset with one field of each scalar kind, in insert state.
std::unique_ptr<TMemoryDataSet> make_typed() {
  auto ds = std::make_unique<TMemoryDataSet>(nullptr);
  ds->FieldDefs().Add("S", ftSmallint);
  ds->FieldDefs().Add("W", ftWord);
  ds->FieldDefs().Add("L", ftLargeint);
  ds->FieldDefs().Add("B", ftBoolean);
  ds->FieldDefs().Add("D", ftDate);
  ds->FieldDefs().Add("T", ftTime);
  ds->FieldDefs().Add("DT", ftDateTime);
  ds->FieldDefs().Add("C", ftFixedChar, 3);
  ds->Open();
  ds->Append();
  return ds;
}

TEST_F(FieldsTest, default_fields_follow_the_definitions_and_go_with_close) {
  auto ds = make_people(1);
  ASSERT_EQ(ds->FieldCount(), 4);
  EXPECT_NE(dynamic_cast<TIntegerField*>(ds->FieldByName("id")), nullptr) << "names match without case";
  EXPECT_NE(dynamic_cast<TMemoField*>(ds->FieldByName("NOTES")), nullptr);
  EXPECT_EQ(ds->FieldByName("NAME")->Size(), 20);
  EXPECT_EQ(ds->GetFieldList("ID; sal").size(), 2u);
  try {
    ds->FieldByName("MISSING");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Field 'MISSING' not found");
  }
  EXPECT_THROW(ds->GetFieldList("ID;NOPE"), EDatabaseError);
  ds->Close();
  EXPECT_EQ(ds->FieldCount(), 0);
}

TEST_F(FieldsTest, persistent_fields_survive_close_and_must_match_their_definition) {
  TMemoryDataSet ds(nullptr);
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  ds.Open();
  EXPECT_EQ(ds.FieldDefs().Count(), 1) << "definitions are taken from the fields";
  ds.AppendRecord({7});
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 1);
  ds.FieldDefs().Clear();
  ds.FieldDefs().Add("ID", ftString, 5);
  try {
    ds.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Type mismatch for field 'ID', expecting: Integer actual: String");
  }
  EXPECT_FALSE(ds.Active());
}

TEST_F(FieldsTest, integer_kinds_check_their_range) {
  auto ds = make_typed();
  TField* s = ds->FieldByName("S");
  s->SetAsInteger(-32768);
  EXPECT_EQ(s->AsInteger(), -32768);
  try {
    s->SetAsInteger(40000);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "40000 is not a valid value for field 'S'. The allowed range is -32768 to 32767");
  }
  EXPECT_THROW(ds->FieldByName("W")->SetAsInteger(-1), EDatabaseError);
  auto* l = static_cast<TLargeintField*>(ds->FieldByName("L"));
  l->SetAsString("9000000000");
  EXPECT_EQ(l->AsLargeInt(), 9000000000LL);
  EXPECT_EQ(l->AsVariant().VarType(), varInt64);
  EXPECT_THROW(s->SetAsString("12x"), EConvertError);
  s->SetAsFloat(2.5);
  EXPECT_EQ(s->AsInteger(), 2) << "floats round half to even";
  s->SetAsString("");
  EXPECT_TRUE(s->IsNull());
}

TEST_F(FieldsTest, booleans_read_their_display_values) {
  auto ds = make_typed();
  auto* b = static_cast<TBooleanField*>(ds->FieldByName("B"));
  b->DisplayValues = "Da;Ne";
  b->SetAsString("n");
  EXPECT_FALSE(b->AsBoolean());
  EXPECT_FALSE(b->IsNull());
  EXPECT_EQ(b->AsString(), "Ne");
  b->SetAsString("DA");
  EXPECT_TRUE(b->AsBoolean());
  EXPECT_THROW(b->SetAsString("maybe"), EDatabaseError);
  EXPECT_EQ(b->AsVariant().VarType(), varBoolean);
}

TEST_F(FieldsTest, date_kinds_round_trip_through_their_native_forms) {
  auto ds = make_typed();
  TDateTime when = EncodeDate(2026, 12, 8) + EncodeTime(17, 30, 5, 250);
  ds->FieldByName("DT")->SetAsDateTime(when);
  EXPECT_NEAR(ds->FieldByName("DT")->AsDateTime(), when, 1e-9);
  ds->FieldByName("D")->SetAsDateTime(when);
  EXPECT_DOUBLE_EQ(ds->FieldByName("D")->AsDateTime(), EncodeDate(2026, 12, 8));
  ds->FieldByName("T")->SetAsDateTime(when);
  EXPECT_NEAR(ds->FieldByName("T")->AsDateTime(), EncodeTime(17, 30, 5, 250), 1e-9);
  TDateTime early = EncodeDate(1850, 6, 1) + EncodeTime(6, 0, 0, 0);
  ds->FieldByName("DT")->SetAsDateTime(early);
  EXPECT_NEAR(ds->FieldByName("DT")->AsDateTime(), early, 1e-9) << "dates before the epoch keep their time";
  EXPECT_DOUBLE_EQ(DateTimeToNative(ftDateTime, 0), 693594.0 * MSecsPerDay);
  EXPECT_EQ(ds->FieldByName("D")->Text(), "8.12.2026");
  ds->FieldByName("D")->SetAsString("1.2.2003");
  EXPECT_DOUBLE_EQ(ds->FieldByName("D")->AsDateTime(), EncodeDate(2003, 2, 1));
  auto* dt = static_cast<TDateTimeField*>(ds->FieldByName("DT"));
  dt->SetAsDateTime(when);
  dt->DisplayFormat = "yyyy-mm-dd hh:nn";
  EXPECT_EQ(dt->DisplayText(), "2026-12-08 17:30");
  EXPECT_EQ(dt->Text(), "8.12.2026 17:30:05") << "editing ignores the display format";
}

TEST_F(FieldsTest, a_date_time_shows_the_value_it_reads_before_and_after_the_epoch) {
  auto ds = make_typed();
  TField* dt = ds->FieldByName("DT");
  const TDateTime values[] = {EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 59, 999), EncodeDate(1850, 6, 1) - 0.25,
                              -1.5, -0.25, 0, EncodeDate(1, 1, 1), EncodeDate(9999, 12, 31) + 0.5};
  for (const TDateTime value : values) {
    dt->SetAsDateTime(value);
    EXPECT_EQ(dt->DisplayText(), FormatDateTime("c", dt->AsDateTime())) << value;
  }
  dt->SetAsDateTime(EncodeDate(1850, 6, 1) - 0.25);
  EXPECT_EQ(dt->DisplayText(), "1.6.1850 06:00:00") << "before the epoch the time still counts forward";
  dt->Clear();
  std::string text = "stale";
  EXPECT_FALSE(dt->ReadDisplayText(text));
  EXPECT_EQ(text, "");
}

TEST_F(FieldsTest, strings_longer_than_the_field_are_refused_and_empty_text_is_null) {
  auto ds = make_typed();
  TField* c = ds->FieldByName("C");
  c->SetAsString("abc");
  try {
    c->SetAsString("abcdef");
    ADD_FAILURE() << "a longer text was cut to size";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ("Value too long for field 'C' (length 6, size 3)", error.what());
  }
  EXPECT_EQ(c->AsString(), "abc") << "the value before stays";
  c->SetAsString("ab      ");
  EXPECT_EQ(c->AsString(), "ab ") << "a fixed-length field drops only the blanks it pads with";
  EXPECT_THROW(c->SetAsString("abcd  "), EDatabaseError);
  c->SetAsString("");
  EXPECT_TRUE(c->IsNull());
  EXPECT_TRUE(c->AsVariant().IsNull());
  c->SetAsInteger(12);
  EXPECT_EQ(c->AsInteger(), 12);
  c->SetAsString("x");
  EXPECT_THROW(c->AsFloat(), EConvertError);
  EXPECT_THROW(ds->FieldByName("S")->AsDateTime(), EDatabaseError) << "no such conversion";
}

TEST_F(FieldsTest, display_formats_and_text_events_shape_the_text) {
  auto ds = make_people(1);
  auto* sal = static_cast<TFloatField*>(ds->FieldByName("SAL"));
  ds->Edit();
  sal->SetAsFloat(1234567.891);
  EXPECT_EQ(sal->DisplayText(), "1234567.891");
  sal->DisplayFormat = "#,##0.00";
  EXPECT_EQ(sal->DisplayText(), "1,234,567.89");
  sal->EditFormat = "0.0";
  EXPECT_EQ(sal->Text(), "1234567.9");
  sal->SetAsFloat(-0.5);
  sal->DisplayFormat = "0.00;(0.00);zero";
  EXPECT_EQ(sal->DisplayText(), "(0.50)");
  sal->SetAsFloat(0);
  EXPECT_EQ(sal->DisplayText(), "zero");
  FormatSettings().DecimalSeparator = ',';
  sal->DisplayFormat.clear();
  sal->SetAsString("2,5");
  EXPECT_EQ(sal->DisplayText(), "2,5");
  TField* name = ds->FieldByName("NAME");
  name->OnGetText = [](TField* f, std::string& text, bool display) {
    text = (display ? "[" : "<") + f->AsString() + (display ? "]" : ">");
  };
  name->OnSetText = [](TField* f, const std::string& text) { f->SetAsString(text + "!"); };
  name->SetText("hi");
  EXPECT_EQ(name->DisplayText(), "[hi!]");
  EXPECT_EQ(name->Text(), "<hi!>");
  ds->Cancel();
}

TEST_F(FieldsTest, variants_write_null_and_values_into_any_kind) {
  auto ds = make_people(1);
  ds->Edit();
  ds->SetFieldValues("ID;NAME", VarArrayOf({5, "five"}));
  EXPECT_EQ(ds->FieldValues("ID;NAME"), VarArrayOf({5, "five"}));
  ds->FieldByName("SAL")->SetValue(Null());
  EXPECT_TRUE(ds->FieldByName("SAL")->IsNull());
  ds->FieldByName("SAL")->SetValue("2.5");
  EXPECT_DOUBLE_EQ(ds->FieldByName("SAL")->AsFloat(), 2.5);
  ds->Post();
}

TEST_F(FieldsTest, params_find_by_name_and_take_types_from_values) {
  TParams params;
  params.CreateParam(ftUnknown, "Dept", ptInput).SetValue(10);
  params.CreateParam(ftString, "NAME", ptInput);
  EXPECT_EQ(params.ParamByName("DEPT").DataType, ftInteger);
  EXPECT_TRUE(params.ParamByName("name").IsNull());
  params.ParamByName("name").SetAsDateTime(1);
  EXPECT_EQ(params.ParamByName("name").DataType, ftDateTime);
  try {
    params.ParamByName("X");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Parameter 'X' not found");
  }
  TParams copy;
  copy.Assign(params);
  EXPECT_EQ(copy.ParamByName("DEPT").AsInteger(), 10);
}

}  // namespace
}  // namespace kvell
