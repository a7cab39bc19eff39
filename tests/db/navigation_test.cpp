#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::ids_forward;
using testing::make_people;
using testing::RecordingLink;

TEST(NavigationTest, an_empty_dataset_is_at_both_ends_and_moves_nowhere) {
  auto ds = make_people(0);
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Bof());
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->MoveBy(3), 0);
  ds->Last();
  EXPECT_TRUE(ds->Bof() && ds->Eof());
  EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
  EXPECT_EQ(ds->RecordCount(), 0);
  EXPECT_EQ(ds->RecNo(), 0);
  EXPECT_THROW(ds->Delete(), EDatabaseError);
}

TEST(NavigationTest, first_last_next_prior_stop_at_the_ends) {
  auto ds = make_people(3);
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  ds->Prior();
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  ds->Next();
  EXPECT_FALSE(ds->Bof());
  EXPECT_EQ(ds->RecNo(), 2);
  ds->Last();
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  ds->Next();
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  EXPECT_EQ(ds->MoveBy(-10), -2);
  EXPECT_TRUE(ds->Bof());
  EXPECT_EQ(ds->MoveBy(10), 2);
  EXPECT_EQ(ids_forward(*ds), (std::vector<int>{1, 2, 3}));
}

TEST(NavigationTest, record_numbers_move_the_cursor) {
  auto ds = make_people(5);
  ds->SetRecNo(4);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(ds->RecNo(), 4);
  EXPECT_EQ(ds->RecordCount(), 5);
}

TEST(NavigationTest, a_ring_smaller_than_the_data_scrolls_both_ways) {
  auto ds = make_people(20);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  RecordingLink link(4);
  link.SetDataSource(&source);
  EXPECT_EQ(ds->BufferCount(), 4);
  ds->First();
  std::vector<int> seen;
  while (!ds->Eof()) {
    seen.push_back(ds->FieldByName("ID")->AsInteger());
    EXPECT_GE(link.ActiveRecord(), 0);
    EXPECT_LT(link.ActiveRecord(), 4);
    ds->Next();
  }
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_EQ(seen.back(), 20);
  EXPECT_EQ(link.RecordCount(), 4);
  EXPECT_EQ(link.ActiveRecord(), 3) << "the last record sits at the bottom of the window";
  for (int expected = 19; expected >= 1; --expected) {
    ds->Prior();
    ASSERT_EQ(ds->FieldByName("ID")->AsInteger(), expected);
  }
  EXPECT_EQ(link.ActiveRecord(), 0);
  ds->SetRecNo(12);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 12);
  link.SetBufferCount(2);
  EXPECT_EQ(ds->BufferCount(), 2);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 12) << "shrinking the ring keeps the active record";
  ds->Next();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 13);
}

TEST(NavigationTest, scroll_events_report_how_far_the_window_moved) {
  auto ds = make_people(10);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  RecordingLink link(3);
  link.SetDataSource(&source);
  ds->First();
  link.log.clear();
  ds->Next();
  ds->Next();
  ds->Next();
  std::vector<std::string> scrolls;
  for (const auto& entry : link.log)
    if (entry.rfind("scrolled", 0) == 0) scrolls.push_back(entry);
  EXPECT_EQ(scrolls, (std::vector<std::string>{"scrolled 0", "scrolled 0", "scrolled 1"}));
  ds->First();
  EXPECT_EQ(link.ActiveRecord(), 0);
}

TEST(BookmarkTest, bookmarks_survive_inserts_and_deletes_around_them) {
  auto ds = make_people(5);
  ds->SetRecNo(3);
  TBookmark third = ds->GetBookmark();
  ds->First();
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(100);
  ds->Post();
  ds->Last();
  ds->Delete();
  ds->GotoBookmark(third);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  EXPECT_EQ(ds->RecNo(), 4) << "the insert before it moved it down";
  EXPECT_TRUE(ds->BookmarkValid(third));
  ds->Delete();
  EXPECT_FALSE(ds->BookmarkValid(third));
  EXPECT_THROW(ds->GotoBookmark(third), EDatabaseError);
}

TEST(BookmarkTest, comparison_follows_dataset_order_and_puts_null_last) {
  auto ds = make_people(3);
  TBookmark first = ds->GetBookmark();
  ds->Last();
  TBookmark last = ds->GetBookmark();
  EXPECT_EQ(ds->CompareBookmarks(first, last), -1);
  EXPECT_EQ(ds->CompareBookmarks(last, first), 1);
  EXPECT_EQ(ds->CompareBookmarks(first, first), 0);
  EXPECT_EQ(ds->CompareBookmarks({}, last), 1);
  EXPECT_EQ(ds->CompareBookmarks(last, {}), -1);
  EXPECT_EQ(ds->CompareBookmarks({}, {}), 0);
  ds->First();
  ds->Insert();
  EXPECT_TRUE(ds->GetBookmark().empty()) << "an unposted record has no bookmark";
  ds->Cancel();
}

}  // namespace
}  // namespace kvell

namespace kvell {
namespace {

TEST(OpenCloseTest, events_bracket_the_cursor_and_streamed_activation_waits_for_loading) {
  TMemoryDataSet ds(nullptr);
  ds.FieldDefs().Add("ID", ftInteger);
  std::vector<std::string> log;
  ds.BeforeOpen = [&](TDataSet* d) { log.push_back("BeforeOpen " + std::to_string(d->Active())); };
  ds.AfterOpen = [&](TDataSet* d) { log.push_back("AfterOpen " + std::to_string(d->Active())); };
  ds.BeforeClose = [&](TDataSet* d) { log.push_back("BeforeClose " + std::to_string(d->Active())); };
  ds.AfterClose = [&](TDataSet* d) { log.push_back("AfterClose " + std::to_string(d->Active())); };
  ds.BeginLoading();
  ds.SetActive(true);
  EXPECT_FALSE(ds.Active()) << "a streamed-in Active waits for Loaded";
  ds.EndLoading();
  EXPECT_TRUE(ds.Active());
  ds.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen 0", "AfterOpen 1", "BeforeClose 1", "AfterClose 0"}));
  EXPECT_THROW(ds.First(), EDatabaseError);
}

TEST(NavigationTest, visiting_records_reads_them_in_order_without_moving_or_notifying) {
  auto ds = make_people(10);
  testing::RecordingLink link(3);
  TDataSource source(nullptr);
  source.SetDataSet(ds.get());
  link.SetDataSource(&source);
  ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() != 4; };
  ds->SetFiltered(true);
  ds->SetRecNo(2);
  int scrolls = 0;
  ds->AfterScroll = [&](TDataSet*) { ++scrolls; };
  link.log.clear();

  std::vector<int> ids;
  TBookmark third;
  EXPECT_EQ(5, ds->VisitRecords({}, 5, [&] {
    ids.push_back(ds->FieldByName("ID")->AsInteger());
    if (ids.size() == 3) third = ds->GetBookmark();
    return true;
  }));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 5, 6}), ids) << "the filter holds";
  ids.clear();
  EXPECT_EQ(2, ds->VisitRecords(third, 100, [&] {
    ids.push_back(ds->FieldByName("ID")->AsInteger());
    return ids.size() < 2;  // stops early
  }));
  EXPECT_EQ((std::vector<int>{3, 5}), ids);
  EXPECT_EQ(7, ds->VisitRecords(third, 100, [] { return true; })) << "up to the last record";

  EXPECT_EQ(2, ds->FieldByName("ID")->AsInteger());
  EXPECT_EQ(0, scrolls);
  EXPECT_TRUE(link.log.empty());
  ds->Next();
  EXPECT_EQ(3, ds->FieldByName("ID")->AsInteger()) << "the cursor comes back to the active record";
  ds->Edit();
  EXPECT_THROW(ds->VisitRecords({}, 1, [] { return true; }), EDatabaseError);
}

TEST(NavigationTest, skimming_reads_only_the_wanted_records_and_counts_past_the_others) {
  auto ds = make_people(10);
  ds->OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() != 4; };
  ds->SetFiltered(true);
  ds->SetRecNo(3);
  ds->Delete();  // ID 3
  ds->SetRecNo(2);

  std::vector<int> ids;
  std::vector<TBookmark> bookmarks;
  EXPECT_EQ(8, ds->SkimRecords({}, 100, [](int walked) { return walked % 2 == 1; }, [&] {
    ids.push_back(ds->FieldByName("ID")->AsInteger());
    bookmarks.push_back(ds->GetBookmark());
    return true;
  })) << "1, 2, 5 ... 10 remain";
  EXPECT_EQ((std::vector<int>{2, 6, 8, 10}), ids);
  EXPECT_EQ(2, ds->FieldByName("ID")->AsInteger()) << "the active record stays";
  EXPECT_EQ(2, ds->SkimRecords(bookmarks[1], 100, [](int walked) { return walked == 1; }, [] { return false; }));
  for (size_t i = 0; i < ids.size(); ++i) {
    ds->GotoBookmark(bookmarks[i]);
    EXPECT_EQ(ids[i], ds->FieldByName("ID")->AsInteger());
  }
}

}  // namespace
}  // namespace kvell
