#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::ids_forward;
using testing::make_people;
using testing::RecordingLink;

TEST(DataLinkTest, sees_state_record_and_dataset_events_in_order) {
  auto ds = make_people(3);
  TDataSource source(nullptr);
  std::vector<std::string> source_log;
  source.OnStateChange = [&](TDataSource* s) { source_log.push_back("state " + std::to_string(s->State())); };
  source.OnDataChange = [&](TDataSource*, TField* f) { source_log.push_back(f ? "data " + f->FieldName() : "data"); };
  source.OnUpdateData = [&](TDataSource*) { source_log.push_back("update"); };
  RecordingLink link;
  link.SetDataSource(&source);
  source.SetDataSet(ds.get());
  EXPECT_TRUE(link.Active());
  ds->Edit();
  EXPECT_TRUE(link.Editing());
  ds->FieldByName("NAME")->SetAsString("x");
  ds->Post();
  EXPECT_EQ(link.log, (std::vector<std::string>{"active", "check browse", "editing", "record -", "record NAME",
                                                "update data", "check browse", "not editing", "changed"}));
  EXPECT_EQ(source_log, (std::vector<std::string>{"state 1", "state 2", "data", "data NAME", "update", "state 1",
                                                  "data"}));
  link.log.clear();
  ds->Close();
  EXPECT_EQ(link.log, (std::vector<std::string>{"inactive"}));
  EXPECT_FALSE(link.Editing());
}

// A dataset's only source, with no links, hears events through its own
// handlers and keeps the dataset's state for a link made later.
TEST(DataLinkTest, a_source_without_links_tells_its_handlers_and_follows_the_state) {
  auto ds = make_people(2);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  ds->Edit();
  EXPECT_EQ(source.State(), dsEdit);
  std::vector<std::string> log;
  source.OnDataChange = [&](TDataSource*, TField* f) { log.push_back(f ? "data " + f->FieldName() : "data"); };
  source.OnUpdateData = [&](TDataSource*) { log.push_back("update"); };
  ds->FieldByName("NAME")->SetAsString("x");
  ds->Post();
  EXPECT_EQ(source.State(), dsBrowse);
  EXPECT_EQ(log, (std::vector<std::string>{"data NAME", "update", "data"}));
  source.OnDataChange = nullptr;
  source.OnUpdateData = nullptr;
  ds->Edit();
  RecordingLink late;
  late.SetDataSource(&source);
  EXPECT_TRUE(late.Editing()) << "a link made during the edit sees the source's state";
  ds->Cancel();
  EXPECT_FALSE(late.Editing());
}

TEST(DataLinkTest, disabled_controls_hear_one_change_when_enabled_again) {
  auto ds = make_people(5);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  RecordingLink link;
  link.SetDataSource(&source);
  link.log.clear();
  ds->DisableControls();
  ds->Next();
  ds->Next();
  ds->Edit();
  ds->Cancel();
  EXPECT_TRUE(link.log.empty());
  ds->EnableControls();
  EXPECT_EQ(link.log, (std::vector<std::string>{"changed"}));
}

TEST(DataLinkTest, auto_edit_and_unlinking_on_destruction) {
  auto ds = make_people(2);
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(ds.get());
  RecordingLink link;
  link.SetDataSource(source.get());
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds->State(), dsEdit);
  ds->Cancel();
  source->AutoEdit = false;
  EXPECT_FALSE(link.Edit());
  source.reset();
  EXPECT_EQ(link.DataSource(), nullptr);
  EXPECT_FALSE(link.Active());
  ds.reset();  // no source left to tell
}

TEST(DataLinkTest, a_destroyed_dataset_detaches_its_sources) {
  auto ds = make_people(2);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  ds.reset();
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_EQ(source.State(), dsInactive);
}

// Employees shown for the current department through a master data link.
struct MasterDetail {
  std::unique_ptr<TMemoryDataSet> dept = std::make_unique<TMemoryDataSet>(nullptr);
  std::unique_ptr<TMemoryDataSet> emp = std::make_unique<TMemoryDataSet>(nullptr);
  TDataSource dept_source{nullptr};
  TMasterDataLink link{emp.get()};
  int master_changes = 0;

  MasterDetail() {
    dept->FieldDefs().Add("DEPTNO", ftInteger);
    dept->Open();
    for (int d : {10, 20, 30}) dept->AppendRecord({d});
    emp->FieldDefs().Add("ID", ftInteger);
    emp->FieldDefs().Add("DEPTNO", ftInteger);
    emp->Open();
    for (auto [id, d] : {std::pair{1, 10}, {2, 20}, {3, 10}, {4, 20}}) emp->AppendRecord({id, d});
    emp->OnFilterRecord = [this](TDataSet* d, bool& accept) {
      accept = d->FieldByName("DEPTNO")->AsInteger() == dept->FieldByName("DEPTNO")->AsInteger();
    };
    dept_source.SetDataSet(dept.get());
    link.OnMasterChange = [this](TMasterDataLink*) {
      ++master_changes;
      emp->SetFiltered(true);
    };
    link.SetFieldNames("DEPTNO");
    link.SetDataSource(&dept_source);
  }
};

TEST(MasterDetailTest, the_detail_follows_the_master_record) {
  MasterDetail md;
  md.dept->First();
  EXPECT_EQ(ids_forward(*md.emp), (std::vector<int>{1, 3}));
  md.dept->Next();
  EXPECT_EQ(ids_forward(*md.emp), (std::vector<int>{2, 4}));
  md.dept->Next();
  EXPECT_TRUE(md.emp->IsEmpty());
  ASSERT_EQ(md.link.Fields().size(), 1u);
  EXPECT_EQ(md.link.Fields()[0]->FieldName(), "DEPTNO");
}

TEST(MasterDetailTest, only_changes_of_the_linked_fields_reach_the_detail) {
  MasterDetail md;
  md.dept->FieldDefs();
  md.dept->First();
  int before = md.master_changes;
  md.dept->Edit();
  md.dept->FieldByName("DEPTNO")->SetAsInteger(20);
  EXPECT_EQ(md.master_changes, before + 2) << "the edit's record change and the field change";
  EXPECT_EQ(ids_forward(*md.emp), (std::vector<int>{2, 4}));
  md.dept->Cancel();
  md.emp->Close();
  before = md.master_changes;
  md.dept->Next();
  EXPECT_EQ(md.master_changes, before) << "a closed detail is left alone";
}

}  // namespace
}  // namespace kvell
