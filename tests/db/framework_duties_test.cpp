// What the framework does itself for a descendant: releasing field buffers,
// keeping the edit mark across temporary states, record initialisation,
// internal-calculated fields, provider key fields and error recovery. The
// descendant here leaves its blob working copies alone at edit, insert and
// cancel, so only the framework can tidy up.
#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::RecordingLink;

class UntidyDataSet : public TMemoryDataSet {
 public:
  explicit UntidyDataSet(TComponent* owner) : TMemoryDataSet(owner) {}
  ~UntidyDataSet() override { BeforeDestruction(); }

  int close_blob_calls = 0;
  bool fail_reads = false;
  std::vector<TBookmarkFlag> init_flags;  // the flag each InitRecord left

  void CloseBlob(TField* field) override {
    ++close_blob_calls;
    TMemoryDataSet::CloseBlob(field);
  }
  // Reading the number positions the cursor, as a fetching dataset does.
  int RecNo() override {
    UpdateCursorPos();
    return TMemoryDataSet::RecNo();
  }
  // Counting is answered once and cached.
  int RecordCount() override {
    ++count_requests;
    if (cached_count_ < 0) cached_count_ = TMemoryDataSet::RecordCount();
    return cached_count_;
  }
  int count_requests = 0;

  // A look at another row under the filter state, as a filtered fetch does.
  void run_filter_scope(int depth) {
    TDataSetState saved = SetTempState(dsFilter);
    if (depth > 1) run_filter_scope(depth - 1);
    RestoreState(saved);
  }

 protected:
  void InternalEdit() override {}
  void InternalInsert() override {}
  void InternalCancel() override {}
  void InitRecord(TRecordBuffer buffer) override {
    TMemoryDataSet::InitRecord(buffer);
    init_flags.push_back(GetBookmarkFlag(buffer));
  }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) override {
    if (fail_reads) DatabaseError("read failed");
    return TMemoryDataSet::GetRecord(buffer, mode, do_check);
  }

 private:
  int cached_count_ = -1;
};

std::unique_ptr<UntidyDataSet> make_untidy(int count) {
  auto ds = std::make_unique<UntidyDataSet>(nullptr);
  ds->FieldDefs().Add("ID", ftInteger);
  ds->FieldDefs().Add("NAME", ftString, 20);
  ds->FieldDefs().Add("SAL", ftFloat);
  ds->FieldDefs().Add("NOTES", ftMemo);
  ds->Open();
  for (int i = 1; i <= count; ++i) ds->AppendRecord({i, "N" + std::to_string(i), i * 100.0});
  ds->First();
  return ds;
}

TBlobField* notes(TDataSet& ds) { return static_cast<TBlobField*>(ds.FieldByName("NOTES")); }

void expect_browse_write_refused(TDataSet& ds) {
  try {
    ds.CreateBlobStream(notes(ds), bmWrite);
    ADD_FAILURE() << "a write stream in browse state was accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, db_messages::NotEditing);
  }
}

// ---- field buffers ----

TEST(FieldBuffersTest, cancel_releases_the_working_copy_so_the_next_edit_starts_clean) {
  auto ds = make_untidy(2);
  ds->Edit();
  notes(*ds)->SetAsString("draft for record 1");
  ds->Cancel();
  EXPECT_GT(ds->close_blob_calls, 0);
  EXPECT_FALSE(notes(*ds)->Modified);
  expect_browse_write_refused(*ds);
  ds->Next();
  ds->Edit();
  EXPECT_TRUE(notes(*ds)->IsNull()) << "record 1's draft leaked into record 2's edit";
  ds->Post();
  ds->First();
  EXPECT_TRUE(notes(*ds)->IsNull());
}

TEST(FieldBuffersTest, post_delete_and_added_records_close_the_blobs) {
  auto ds = make_untidy(3);
  int before = ds->close_blob_calls;
  ds->Edit();
  notes(*ds)->SetAsString("kept");
  ds->Post();
  EXPECT_GT(ds->close_blob_calls, before);
  EXPECT_EQ(notes(*ds)->AsString(), "kept");

  before = ds->close_blob_calls;
  ds->AppendRecord({4, "N4", 400.0, "appended"});
  EXPECT_GT(ds->close_blob_calls, before);
  EXPECT_EQ(notes(*ds)->AsString(), "appended");
  expect_browse_write_refused(*ds);

  // Deleting straight from an edit leaves no working copy behind.
  ds->First();
  ds->Edit();
  notes(*ds)->SetAsString("abandoned");
  before = ds->close_blob_calls;
  ds->Delete();
  EXPECT_GT(ds->close_blob_calls, before);
  EXPECT_FALSE(notes(*ds)->Modified);
  expect_browse_write_refused(*ds);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_TRUE(notes(*ds)->IsNull());
}

TEST(FieldBuffersTest, failing_new_record_handler_leaves_no_working_copy) {
  auto ds = testing::make_people(2);
  ds->OnNewRecord = [](TDataSet* d) {
    d->FieldByName("NOTES")->SetAsString("half-made");
    DatabaseError("no new records today");
  };
  EXPECT_THROW(ds->Append(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_FALSE(notes(*ds)->Modified);
  expect_browse_write_refused(*ds);
  ds->OnNewRecord = nullptr;
  ds->Edit();
  EXPECT_TRUE(notes(*ds)->IsNull());
  ds->Cancel();
}

// ---- the edit mark across temporary states ----

TEST(ModifiedMarkTest, survives_temporary_states_so_navigation_posts_the_edit) {
  auto ds = make_untidy(3);
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("changed");
  ds->run_filter_scope(2);
  EXPECT_TRUE(ds->Modified());
  ds->FieldByName("SAL")->SetNewValue(5.0);
  EXPECT_TRUE(ds->Modified()) << "setting a new value cleared the edit's mark";
  ds->Next();
  ds->First();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "changed");
  EXPECT_EQ(ds->FieldByName("SAL")->AsFloat(), 5.0);

  // An unmodified edit stays unmodified and is cancelled.
  ds->Edit();
  ds->run_filter_scope(1);
  EXPECT_FALSE(ds->Modified());
}

// ---- record numbers and counts ----

TEST(RecordNumbersTest, are_the_descendants_through_the_base) {
  auto ds = make_untidy(4);
  TDataSet& base = *ds;
  base.MoveBy(2);
  EXPECT_EQ(base.RecNo(), 3);
  EXPECT_EQ(base.RecordCount(), 4);
  ds->AppendRecord({5});
  EXPECT_EQ(base.RecordCount(), 4) << "the cached count is the descendant's answer";
  EXPECT_EQ(ds->count_requests, 2);
}

// ---- provider flags ----

TEST(ProviderFlagsTest, default_key_fields_are_those_flagged_in_key) {
  auto ds = make_untidy(1);
  IProviderSupport& provider = *ds;
  EXPECT_EQ(ds->FieldByName("ID")->ProviderFlags, pfInUpdate | pfInWhere);
  EXPECT_EQ(provider.PSGetKeyFields(), "");
  ds->FieldByName("SAL")->ProviderFlags |= pfInKey;
  ds->FieldByName("ID")->ProviderFlags = pfInKey | pfHidden;
  EXPECT_EQ(provider.PSGetKeyFields(), "ID;SAL") << "in field order";
}

// ---- record initialisation ----

TEST(InitRecordTest, runs_for_insert_append_and_added_records) {
  auto ds = make_untidy(2);
  ds->init_flags.clear();
  ds->Insert();
  ds->Cancel();
  ds->Append();
  ds->Cancel();
  ds->First();
  ds->InsertRecord({10});
  ds->AppendRecord({11});
  ASSERT_EQ(ds->init_flags.size(), 4u);
  for (TBookmarkFlag flag : ds->init_flags) EXPECT_EQ(flag, bfInserted);
  EXPECT_EQ(testing::ids_forward(*ds), (std::vector<int>{10, 1, 2, 11}));
}

// ---- internal-calculated fields ----

TEST(InternalCalcTest, on_calc_fields_fires_when_only_internal_calculated_fields_exist) {
  TMemoryDataSet ds(nullptr);
  TField* id = CreateFieldOfType(&ds, ftInteger);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  TField* total = CreateFieldOfType(&ds, ftFloat);
  total->SetFieldName("TOTAL");
  total->SetFieldKind(fkInternalCalc);
  total->SetDataSet(&ds);
  std::vector<int> seen;
  ds.OnCalcFields = [&](TDataSet* d) {
    if (d->State() == dsCalcFields) seen.push_back(d->FieldByName("ID")->AsInteger());
  };
  ds.Open();
  ds.AppendRecord({1});
  ds.AppendRecord({2});
  seen.clear();
  testing::ids_forward(ds);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

// ---- error recovery ----

TEST(ErrorRecoveryTest, failed_resynchronisation_after_adding_a_record_enables_controls) {
  auto ds = make_untidy(2);
  TDataSource source(nullptr);
  RecordingLink link;
  source.SetDataSet(ds.get());
  link.SetDataSource(&source);
  ds->BeforePost = [](TDataSet* d) { static_cast<UntidyDataSet*>(d)->fail_reads = true; };
  EXPECT_THROW(ds->AppendRecord({3}), EDatabaseError);
  EXPECT_FALSE(ds->ControlsDisabled());
  ds->fail_reads = false;
  ds->BeforePost = nullptr;
  link.log.clear();
  ds->First();
  EXPECT_FALSE(link.log.empty()) << "the link is told about changes again";
  EXPECT_EQ(testing::ids_forward(*ds), (std::vector<int>{1, 2, 3}));
  link.SetDataSource(nullptr);
}

TEST(ErrorRecoveryTest, abort_from_an_error_handler_is_silent) {
  auto ds = make_untidy(1);
  ds->FieldByName("NAME")->Required = true;
  ds->OnPostError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
  ds->Edit();
  ds->FieldByName("NAME")->Clear();
  try {
    ds->Post();
    FAIL() << "the post went through";
  } catch (const EDatabaseError&) {
    FAIL() << "an abort must not surface as a database error";
  } catch (const EAbort& e) {
    EXPECT_EQ(e.Message, "Operation aborted");
  }
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "N1");
}

}  // namespace
}  // namespace kvell
