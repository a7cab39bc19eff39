#include "oracle/dataset/record_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "oracle/dataset/dataset_messages.h"
#include "runtime/exception.h"

namespace kvell {

void TOracleBlob::Assign(std::string_view bytes) {
  Size = static_cast<int64_t>(bytes.size());
  Data = std::make_unique_for_overwrite<uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(Data.get(), bytes.data(), bytes.size());
}

const TOracleBlob* TBlobList::Find(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

TOracleBlob& TBlobList::Get(int index) {
  auto& item = items_.at(static_cast<size_t>(index));
  if (!item) item = std::make_unique<TOracleBlob>();
  return *item;
}

void TBlobList::Clear(int index) {
  if (index >= 0 && index < Count()) items_[static_cast<size_t>(index)].reset();
}

namespace {

void report_leaked_rowids() {
  if (RowIdAllocations().load(std::memory_order_relaxed) != 0)
    std::fprintf(stderr, "%s\n", dataset_messages::RowIdAllocationsAssertion);
}

}  // namespace

// Checked at exit, after every dataset should have released its records.
std::atomic<int>& RowIdAllocations() {
  static std::atomic<int>* counter = [] {
    auto* made = new std::atomic<int>(0);  // never freed: exit handlers still read it
    std::atexit(report_leaked_rowids);
    return made;
  }();
  return *counter;
}

void CheckRowIdAllocations() {
  if (RowIdAllocations().load(std::memory_order_relaxed) != 0)
    throw Exception(dataset_messages::RowIdAllocationsAssertion);
}

static void release_long_rowid(RecordHeader& header) {
  if (!header.LongRowId) return;
  delete[] header.LongRowId;
  header.LongRowId = nullptr;
  RowIdAllocations().fetch_sub(1, std::memory_order_relaxed);
}

void StoreRowId(uint8_t* record, std::string_view rowid) {
  RecordHeader& header = Header(record);
  release_long_rowid(header);
  std::memset(header.ShortRowId, 0, sizeof header.ShortRowId);
  if (rowid.size() < kLongRowIdLength) {
    std::memcpy(header.ShortRowId, rowid.data(), rowid.size());
    return;
  }
  header.LongRowId = new char[rowid.size() + 1];
  std::memcpy(header.LongRowId, rowid.data(), rowid.size());
  header.LongRowId[rowid.size()] = '\0';
  RowIdAllocations().fetch_add(1, std::memory_order_relaxed);
}

std::string_view RecordRowId(const uint8_t* record) {
  const RecordHeader& header = Header(record);
  if (header.LongRowId) return header.LongRowId;
  return {header.ShortRowId, strnlen(header.ShortRowId, sizeof header.ShortRowId)};
}

void ReleaseRecordData(uint8_t* record) {
  RecordHeader& header = Header(record);
  release_long_rowid(header);
  delete header.Blobs;
  header.Blobs = nullptr;
}

void ClearRecordReferences(uint8_t* record) {
  RecordHeader& header = Header(record);
  header.Blobs = nullptr;
  header.LongRowId = nullptr;
  std::memset(header.ShortRowId, 0, sizeof header.ShortRowId);
}

}  // namespace kvell
