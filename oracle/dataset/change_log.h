// The change log of a TOracleDataSet: one TChangeLogItem per record changed
// while cached updates or a provider transaction log changes, holding deep
// copies of the record before and after the change (each copy with its own
// blob list and rowid, so nothing points into the record store's pages).
// Entries are kept oldest first; a record has at most one entry. Inserted
// and deleted records remember the store position they stand at (or would
// stand at), kept current as records enter and leave the store, so that a
// re-executed query places them again where they were.
// Thread-safe: no; owned by one dataset.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "oracle/dataset/record_values.h"

namespace kvell {

struct TChangeLogItem {
  char Action = 'U';     // 'I', 'U' or 'D'
  int32_t RecordId = 0;  // RecordId of the record in the current execution
  int Position = 0;      // record number an inserted (deleted) record stands (stood) at
  RecordCopy OldValues;  // the record before the change; null for inserts
  RecordCopy NewValues;  // the record after the change; null for deletes
  bool Placed = false;   // matched to a record of the current execution
  bool NotCached = false;  // logged by a provider transaction: already sent to the server

  // The rowid of the row on the server: the old values' (empty for inserts).
  std::string_view RowId() const;
};

class TChangeLog {
 public:
  TChangeLog() = default;
  TChangeLog(const TChangeLog&) = delete;
  TChangeLog& operator=(const TChangeLog&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // Oldest first.
  TChangeLogItem& operator[](int index) { return *items_.at(static_cast<size_t>(index)); }
  const TChangeLogItem& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }

  // The entry of a record of the current execution, or nullptr.
  TChangeLogItem* FindPlaced(int32_t record_id) const;
  // An update or delete not yet matched in this execution whose row has `rowid`.
  TChangeLogItem* FindUnplacedByRowId(std::string_view rowid) const;
  // The oldest insert not yet placed whose new values `belongs` accepts;
  // with `position` >= 0 only one that stands at that record number.
  TChangeLogItem* NextUnplacedInsert(const std::function<bool(const uint8_t*)>& belongs, int position) const;
  bool HasUnplacedInserts() const { return unplaced_inserts_ > 0; }

  // Appends an entry for a record of the current execution.
  TChangeLogItem& Add(char action, int32_t record_id, int position);
  // Matches an entry to the record `record_id` at `position`.
  void Place(TChangeLogItem& item, int32_t record_id, int position);
  void Remove(TChangeLogItem& item);
  // A new execution: every entry waits to be matched again.
  void ResetPlaced();
  void Clear();

  // Keep positions current: a record entered the store at `position` (a new
  // record, or a deleted one put back), or left it. A deleted record that
  // would stand at the same position stays before the one entering.
  void RecordEntered(int position);
  void RecordRemoved(int position);

  // Cached inserts minus cached deletes (provider entries are counted when posted).
  int CachedBalance() const;

 private:
  void forget_index_entries(const TChangeLogItem& item);

  std::vector<std::unique_ptr<TChangeLogItem>> items_;
  std::unordered_map<int32_t, TChangeLogItem*> placed_by_id_;
  std::unordered_map<std::string, TChangeLogItem*> unplaced_by_rowid_;
  int unplaced_inserts_ = 0;
};

}  // namespace kvell
