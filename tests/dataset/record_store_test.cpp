// The record store on its own: page growth, unidirectional release and
// numbering, deletion from both lists, rowids short and long, blob lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/record_buffer.h"
#include "oracle/dataset/record_store.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

constexpr int kRecordSize = kRecordHeaderSize + 12;

// Appends `count` records with ids continuing from the store's last one.
std::vector<uint8_t*> append(TRecordDataList& store, int count, int32_t& next_id) {
  std::vector<uint8_t*> added;
  for (int i = 0; i < count; ++i) {
    uint8_t* record = store.FreeSlot();
    store.Append(record);
    Header(record).RecordId = ++next_id;
    added.push_back(record);
  }
  return added;
}

TEST(RecordStore, pages_grow_by_half_the_records_held_but_never_below_ReadBuffer_plus_one) {
  TRecordDataList store(kRecordSize, 25, false, nullptr);
  int32_t id = 0;
  append(store, 26, id);
  EXPECT_EQ(store.PageCount(), 1);
  append(store, 1, id);
  EXPECT_EQ(store.PageCount(), 2) << "the second page holds max(26 / 2, 26) records";
  append(store, 25, id);
  EXPECT_EQ(store.PageCount(), 2);
  append(store, 1, id);
  EXPECT_EQ(store.PageCount(), 3);
  for (int rows : {1000, 100000}) {
    append(store, rows - store.Count(), id);
    const double per_row = static_cast<double>(store.PageBytes()) / store.Count();
    EXPECT_LE(per_row, 1.5 * kRecordSize + 16) << rows << " rows";
  }
}

TEST(RecordStore, a_free_slot_is_zero_filled_and_stays_free_until_appended) {
  TRecordDataList store(kRecordSize, 3, false, nullptr);
  uint8_t* slot = store.FreeSlot();
  EXPECT_EQ(store.FreeSlot(), slot);
  std::vector<uint8_t> zeros(kRecordSize, 0);
  EXPECT_EQ(std::memcmp(slot, zeros.data(), zeros.size()), 0);
  store.Append(slot);
  EXPECT_NE(store.FreeSlot(), slot);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(store.FreeSlot()) % alignof(RecordHeader), 0u);
}

// A size no other test uses, with a first page large enough to be mapped.
TEST(RecordStore, a_released_large_page_serves_the_next_store_with_its_slots_cleared) {
  constexpr int kWideRecord = kRecordHeaderSize + 4003;
  constexpr int kReadBuffer = 1233;
  uint8_t* first_slot = nullptr;
  {
    TRecordDataList store(kWideRecord, kReadBuffer, false, nullptr);
    int32_t id = 0;
    for (uint8_t* record : append(store, 3, id)) std::memset(DataArea(record), 0xAB, kWideRecord - kRecordHeaderSize);
    first_slot = store.Record(0);
  }
  TRecordDataList store(kWideRecord, kReadBuffer, false, nullptr);
  uint8_t* slot = store.FreeSlot();
  ASSERT_EQ(slot, first_slot) << "the released page is used again";
  const std::vector<uint8_t> zeros(kWideRecord, 0);
  EXPECT_EQ(std::memcmp(slot, zeros.data(), zeros.size()), 0);
  store.Append(slot);
  EXPECT_EQ(std::memcmp(store.FreeSlot(), zeros.data(), zeros.size()), 0);
}

// A fresh mapping is already zero, so its slots are not cleared when first
// handed out; one written to and handed out again must still come back clear.
TEST(RecordStore, a_slot_written_before_it_was_taken_comes_back_cleared_from_a_fresh_large_page) {
  constexpr int kWideRecord = kRecordHeaderSize + 2000;
  TRecordDataList store(kWideRecord, 5000, false, nullptr);
  const std::vector<uint8_t> zeros(kWideRecord, 0);
  for (int taken = 0; taken < 2; ++taken) {
    uint8_t* slot = store.FreeSlot();
    std::memset(slot, 0xCD, kWideRecord);  // a fill that failed half way
    ASSERT_EQ(store.FreeSlot(), slot);
    EXPECT_EQ(std::memcmp(slot, zeros.data(), zeros.size()), 0) << "slot " << taken;
    store.Append(slot);
  }
}

TEST(RecordStore, unidirectional_mode_releases_every_record_when_a_page_fills_and_keeps_counting) {
  std::vector<int> refused;
  TRecordDataList store(kRecordSize, 4, true, [&](int number) {
    refused.push_back(number);
    throw Exception("refused");
  });
  int32_t id = 0;
  append(store, 5, id);
  EXPECT_EQ(store.Offset(), 0);
  append(store, 1, id);
  EXPECT_EQ(store.Offset(), 5);
  EXPECT_EQ(store.Count(), 1);
  EXPECT_EQ(store.PageCount(), 1);
  EXPECT_EQ(Header(store.Record(5)).RecordId, 6);
  EXPECT_EQ(store.NumberOfId(6), 5);
  EXPECT_EQ(store.NumberOfId(2), -1);
  EXPECT_GT(store.FirstHeldId(), 5);
  EXPECT_THROW(store.Record(4), Exception);
  EXPECT_EQ(refused, std::vector<int>{4});
}

TEST(RecordStore, deleting_removes_a_record_from_both_lists_and_frees_its_rowid_and_blobs) {
  const int before = RowIdAllocations().load();
  TRecordDataList store(kRecordSize, 10, false, nullptr);
  int32_t id = 0;
  std::vector<uint8_t*> records = append(store, 4, id);
  for (uint8_t* record : records) {
    StoreRowId(record, "AAAAAAAAAAAAAAAAAB");
    Header(record).Blobs = new TBlobList(1);
    Header(record).Blobs->Get(0).Assign("value");
  }
  store.AddFiltered(records[1]);
  store.AddFiltered(records[2]);
  EXPECT_EQ(RowIdAllocations().load(), before + 4);
  store.Delete(1);
  EXPECT_EQ(store.Count(), 3);
  EXPECT_EQ(store.FilteredCount(), 1);
  EXPECT_EQ(store.FilteredRecord(0), records[2]);
  EXPECT_EQ(store.NumberOfId(3), 1) << "lookup falls back to scanning after a delete";
  EXPECT_EQ(RowIdAllocations().load(), before + 3);
  store.Clear();
  EXPECT_EQ(RowIdAllocations().load(), before);
  EXPECT_EQ(store.Count(), 0);
}

TEST(RecordStore, an_inserted_record_takes_its_place_in_the_list_and_its_slot_in_the_last_page) {
  TRecordDataList store(kRecordSize, 10, false, nullptr);
  int32_t id = 0;
  std::vector<uint8_t*> records = append(store, 3, id);
  uint8_t* inserted = store.FreeSlot();
  Header(inserted).RecordId = 99;
  store.Insert(inserted, 1, -1);
  EXPECT_EQ(store.Count(), 4);
  EXPECT_EQ(store.Record(1), inserted);
  EXPECT_EQ(store.Record(2), records[1]);
  EXPECT_EQ(store.NumberOfId(99), 1);
  EXPECT_NE(store.FreeSlot(), inserted);
}

TEST(RecordStore, adding_the_last_filtered_record_again_is_reported_as_a_bug) {
  TRecordDataList store(kRecordSize, 10, false, nullptr);
  int32_t id = 0;
  std::vector<uint8_t*> records = append(store, 2, id);
  store.AddFiltered(records[0]);
  EXPECT_NO_THROW(store.AddFiltered(records[0])) << "the first position is exempt";
  store.AddFiltered(records[1]);
  try {
    store.AddFiltered(records[1]);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, dataset_messages::DuplicateInFilteredList(1));
  }
}

TEST(RecordBuffer, rowids_shorter_than_18_characters_stay_in_the_header) {
  const int before = RowIdAllocations().load();
  std::vector<uint8_t> record(kRecordSize, 0);
  StoreRowId(record.data(), "0000012A.0003.0004");
  EXPECT_EQ(RowIdAllocations().load(), before + 1);
  EXPECT_EQ(RecordRowId(record.data()), "0000012A.0003.0004");
  StoreRowId(record.data(), "12A.3.4");
  EXPECT_EQ(RowIdAllocations().load(), before) << "the long rowid is released when replaced";
  EXPECT_EQ(Header(record.data()).LongRowId, nullptr);
  EXPECT_EQ(RecordRowId(record.data()), "12A.3.4");
  StoreRowId(record.data(), std::string(17, 'R'));
  EXPECT_EQ(RecordRowId(record.data()), std::string(17, 'R'));
  EXPECT_EQ(RowIdAllocations().load(), before);
  ReleaseRecordData(record.data());
}

TEST(RecordBuffer, the_assertion_names_the_counter_while_rowids_are_held) {
  std::vector<uint8_t> record(kRecordSize, 0);
  StoreRowId(record.data(), std::string(18, 'A'));
  try {
    CheckRowIdAllocations();
    ADD_FAILURE() << "no assertion";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Assertion failed: RowIdAllocations = 0");
  }
  ReleaseRecordData(record.data());
  EXPECT_NO_THROW(CheckRowIdAllocations());
}

}  // namespace
}  // namespace kvell
