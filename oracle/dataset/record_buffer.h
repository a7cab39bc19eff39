// One record of the Oracle dataset, as the record store keeps it and as the
// framework's buffers hold it: a header (record id, master record id,
// bookmark flag, the rowid short in place or long in a separate allocation,
// the blob list, the data-area size), then the data area of null-indicator
// bytes and native values, then the calculated part.
//
// On 64-bit the header's fields lie at these offsets (static_asserts below):
//   0 RecordId (int32), 4 MasterRecordId (int32), 8 bookmark flag (uint8),
//   9 short rowid (19 chars), 32 long rowid (pointer), 40 blob list
//   (pointer), 48 data-area size (int32); 56 bytes in all. Pointers are
//   8-byte aligned, so records start on 8-byte boundaries.
// Thread-safe: RowIdAllocations is atomic; records belong to one dataset.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/db_types.h"

namespace kvell {

// One long, LOB or long raw value of a record: a byte count and a separately
// allocated copy of the bytes.
struct TOracleBlob {
  int64_t Size = 0;
  std::unique_ptr<uint8_t[]> Data;

  std::string_view Bytes() const { return {reinterpret_cast<const char*>(Data.get()), static_cast<size_t>(Size)}; }
  void Assign(std::string_view bytes);
};

// A record's blob values, one entry per blob field (by the field's blob
// index); an entry is null while the field has no value.
class TBlobList {
 public:
  explicit TBlobList(int count) : items_(static_cast<size_t>(count)) {}
  int Count() const { return static_cast<int>(items_.size()); }
  // The entry, or nullptr when the field holds no value.
  const TOracleBlob* Find(int index) const;
  // The entry, made on first use.
  TOracleBlob& Get(int index);
  void Clear(int index);

 private:
  std::vector<std::unique_ptr<TOracleBlob>> items_;
};

struct RecordHeader {
  int32_t RecordId;        // unique within one execution; also the bookmark
  int32_t MasterRecordId;  // the master's RecordId at initialisation, -1 without one
  uint8_t BookmarkFlag;    // TBookmarkFlag
  char ShortRowId[19];     // NUL-terminated rowid shorter than 18 characters
  char* LongRowId;         // rowid of 18 or more characters, owned; else null
  TBlobList* Blobs;        // owned by the stored record; null when it has no blob values
  int32_t DataAreaSize;    // record size minus the header
};

inline constexpr int kRecordHeaderSize = sizeof(RecordHeader);
static_assert(offsetof(RecordHeader, MasterRecordId) == 4);
static_assert(offsetof(RecordHeader, BookmarkFlag) == 8);
static_assert(offsetof(RecordHeader, ShortRowId) == 9);
static_assert(sizeof(void*) != 8 || offsetof(RecordHeader, LongRowId) == 32);
static_assert(sizeof(void*) != 8 || offsetof(RecordHeader, Blobs) == 40);
static_assert(sizeof(void*) != 8 || offsetof(RecordHeader, DataAreaSize) == 48);
static_assert(sizeof(void*) != 8 || kRecordHeaderSize == 56);
// Rowids of this many characters or more live in a separate allocation.
inline constexpr size_t kLongRowIdLength = 18;

inline RecordHeader& Header(uint8_t* record) { return *reinterpret_cast<RecordHeader*>(record); }
inline const RecordHeader& Header(const uint8_t* record) { return *reinterpret_cast<const RecordHeader*>(record); }
inline uint8_t* DataArea(uint8_t* record) { return record + kRecordHeaderSize; }
inline const uint8_t* DataArea(const uint8_t* record) { return record + kRecordHeaderSize; }

// Separately allocated rowid strings alive in the process. It must be 0 when
// the process ends; a leak is reported with the assertion text at exit.
std::atomic<int>& RowIdAllocations();
// Raises Exception("Assertion failed: RowIdAllocations = 0") when not 0.
void CheckRowIdAllocations();

// Stores `rowid` in the header: short in place, long in a new allocation
// (any previous long rowid is released first).
void StoreRowId(uint8_t* record, std::string_view rowid);
std::string_view RecordRowId(const uint8_t* record);
// Releases what the stored record owns (its blob list and long rowid) and
// clears the pointers.
void ReleaseRecordData(uint8_t* record);
// Clears the blob-list pointer, the short rowid and the long-rowid pointer
// without releasing anything: for buffers that only copied a stored record.
void ClearRecordReferences(uint8_t* record);

}  // namespace kvell
