#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::ids_forward;
using testing::make_people;

// Logs each Before/After event as "name:state".
class EditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds = make_people(3);
    auto hook = [this](TDataSet::TDataSetNotifyEvent& event, const char* name) {
      event = [this, name](TDataSet* d) { log.push_back(std::string(name) + ":" + std::to_string(d->State())); };
    };
    using Member = TDataSet::TDataSetNotifyEvent TDataSet::*;
    const std::pair<Member, const char*> events[] = {
        {&TDataSet::BeforeInsert, "BeforeInsert"}, {&TDataSet::AfterInsert, "AfterInsert"},
        {&TDataSet::BeforeEdit, "BeforeEdit"},     {&TDataSet::AfterEdit, "AfterEdit"},
        {&TDataSet::BeforePost, "BeforePost"},     {&TDataSet::AfterPost, "AfterPost"},
        {&TDataSet::BeforeCancel, "BeforeCancel"}, {&TDataSet::AfterCancel, "AfterCancel"},
        {&TDataSet::BeforeDelete, "BeforeDelete"}, {&TDataSet::AfterDelete, "AfterDelete"},
        {&TDataSet::BeforeScroll, "BeforeScroll"}, {&TDataSet::AfterScroll, "AfterScroll"},
        {&TDataSet::OnNewRecord, "OnNewRecord"}};
    for (auto [member, name] : events) hook((*ds).*member, name);
  }
  std::unique_ptr<TMemoryDataSet> ds;
  std::vector<std::string> log;
};

TEST_F(EditingTest, edit_then_post_fires_events_in_order_and_stores_the_value) {
  ds->Edit();
  EXPECT_EQ(ds->State(), dsEdit);
  ds->FieldByName("NAME")->SetAsString("Ana");
  EXPECT_TRUE(ds->Modified());
  EXPECT_EQ(ds->FieldByName("NAME")->OldValue().AsString(), "N1");
  EXPECT_EQ(ds->FieldByName("NAME")->NewValue().AsString(), "Ana");
  ds->Post();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit:1", "AfterEdit:2", "BeforePost:2", "AfterPost:1"}));
  ds->Last();
  ds->First();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "Ana");
}

TEST_F(EditingTest, cancel_restores_the_record_and_an_insert_cancel_scrolls_back) {
  ds->Edit();
  ds->FieldByName("SAL")->SetAsFloat(1);
  ds->Cancel();
  EXPECT_DOUBLE_EQ(ds->FieldByName("SAL")->AsFloat(), 100);
  ds->Next();
  log.clear();
  ds->Insert();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
  EXPECT_TRUE(ds->FieldByName("ID")->OldValue().IsNull());
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert:1", "BeforeScroll:1", "OnNewRecord:3", "AfterInsert:3",
                                           "AfterScroll:3", "BeforeCancel:3", "BeforeScroll:3", "AfterCancel:1",
                                           "AfterScroll:1"}));
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 2, 3}));
}

TEST_F(EditingTest, insert_goes_before_the_current_record_and_append_at_the_end) {
  ds->Next();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(10);
  ds->Post();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 10) << "the posted record stays current";
  ds->First();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(20);
  ds->Post();
  EXPECT_EQ(ds->RecNo(), 5);
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 10, 2, 3, 20}));
}

TEST_F(EditingTest, new_record_defaults_come_from_OnNewRecord_without_marking_it_modified) {
  ds->OnNewRecord = [](TDataSet* d) { d->FieldByName("SAL")->SetAsFloat(42); };
  ds->Append();
  EXPECT_FALSE(ds->Modified());
  EXPECT_DOUBLE_EQ(ds->FieldByName("SAL")->AsFloat(), 42);
  ds->CheckBrowseMode();
  EXPECT_EQ(ds->RecordCount(), 3) << "an unmodified insert is cancelled by the browse-mode check";
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(4);
  ds->CheckBrowseMode();
  EXPECT_EQ(ds->RecordCount(), 4) << "a modified one is posted";
}

TEST_F(EditingTest, delete_moves_to_the_next_record_or_the_previous_at_the_end) {
  ds->Delete();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  ds->Last();
  ds->Delete();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
}

TEST_F(EditingTest, required_fields_refuse_to_post_until_filled) {
  ds->Close();
  ds->FieldDefs()[1].Required = true;
  ds->Open();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(9);
  try {
    ds->Post();
    FAIL() << "posted without NAME";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Field 'NAME' must have a value");
  }
  EXPECT_EQ(ds->State(), dsInsert);
  ds->FieldByName("NAME")->SetAsString("x");
  ds->Post();
  EXPECT_EQ(ds->RecordCount(), 1);
}

TEST_F(EditingTest, writing_outside_edit_mode_and_read_only_fields_are_refused) {
  try {
    ds->FieldByName("ID")->SetAsInteger(5);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Dataset not in edit or insert mode");
  }
  ds->FieldByName("ID")->ReadOnly = true;
  ds->Edit();
  EXPECT_THROW(ds->FieldByName("ID")->SetAsInteger(5), EDatabaseError);
  ds->Cancel();
  ds->ReadOnly = true;
  EXPECT_THROW(ds->Edit(), EDatabaseError);
  EXPECT_THROW(ds->Append(), EDatabaseError);
}

TEST_F(EditingTest, post_error_handler_may_retry_after_fixing_the_record) {
  ds->Close();
  ds->FieldDefs()[0].Required = true;
  ds->Open();
  int calls = 0;
  ds->OnPostError = [&](TDataSet* d, EDatabaseError&, TDataAction& action) {
    ++calls;
    d->FieldByName("ID")->SetAsInteger(77);
    action = daRetry;
  };
  ds->Append();
  ds->FieldByName("NAME")->SetAsString("n");
  ds->Post();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 77);
}

TEST_F(EditingTest, validation_sees_the_new_value_and_can_reject_it) {
  TField* sal = ds->FieldByName("SAL");
  sal->OnValidate = [](TField* f) {
    if (f->AsFloat() < 0) throw EDatabaseError("negative");
  };
  int changes = 0;
  sal->OnChange = [&](TField*) { ++changes; };
  ds->Edit();
  EXPECT_THROW(sal->SetAsFloat(-1), EDatabaseError);
  EXPECT_DOUBLE_EQ(sal->AsFloat(), 100);
  sal->SetAsFloat(5);
  EXPECT_EQ(changes, 1);
  ds->Post();
}

TEST_F(EditingTest, insert_and_append_record_post_in_one_step) {
  ds->Last();
  ds->InsertRecord({50, "ins"});
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 50);
  ds->AppendRecord({60, Variant(), 1.5});
  EXPECT_TRUE(ds->FieldByName("NAME")->IsNull());
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 2, 50, 3, 60}));
}

}  // namespace
}  // namespace kvell
