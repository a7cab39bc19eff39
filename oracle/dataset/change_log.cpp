#include "oracle/dataset/change_log.h"

#include <algorithm>

namespace kvell {

std::string_view TChangeLogItem::RowId() const {
  return OldValues ? RecordRowId(OldValues.get()) : std::string_view();
}

TChangeLogItem* TChangeLog::FindPlaced(int32_t record_id) const {
  const auto found = placed_by_id_.find(record_id);
  return found == placed_by_id_.end() ? nullptr : found->second;
}

TChangeLogItem* TChangeLog::FindUnplacedByRowId(std::string_view rowid) const {
  if (unplaced_by_rowid_.empty() || rowid.empty()) return nullptr;
  const auto found = unplaced_by_rowid_.find(std::string(rowid));
  return found == unplaced_by_rowid_.end() ? nullptr : found->second;
}

TChangeLogItem* TChangeLog::NextUnplacedInsert(const std::function<bool(const uint8_t*)>& belongs,
                                               int position) const {
  if (unplaced_inserts_ == 0) return nullptr;
  for (const auto& item : items_) {
    if (item->Action != 'I' || item->Placed || !belongs(item->NewValues.get())) continue;
    if (position < 0 || item->Position == position) return item.get();
  }
  return nullptr;
}

TChangeLogItem& TChangeLog::Add(char action, int32_t record_id, int position) {
  auto item = std::make_unique<TChangeLogItem>();
  item->Action = action;
  item->RecordId = record_id;
  item->Position = position;
  item->Placed = true;
  TChangeLogItem& added = *item;
  items_.push_back(std::move(item));
  placed_by_id_[record_id] = &added;
  return added;
}

void TChangeLog::Place(TChangeLogItem& item, int32_t record_id, int position) {
  forget_index_entries(item);
  item.Placed = true;
  item.RecordId = record_id;
  item.Position = position;
  placed_by_id_[record_id] = &item;
}

void TChangeLog::forget_index_entries(const TChangeLogItem& item) {
  if (item.Placed) {
    const auto found = placed_by_id_.find(item.RecordId);
    if (found != placed_by_id_.end() && found->second == &item) placed_by_id_.erase(found);
    return;
  }
  if (item.Action == 'I') {
    --unplaced_inserts_;
    return;
  }
  const auto found = unplaced_by_rowid_.find(std::string(item.RowId()));
  if (found != unplaced_by_rowid_.end() && found->second == &item) unplaced_by_rowid_.erase(found);
}

void TChangeLog::Remove(TChangeLogItem& item) {
  const auto held = std::find_if(items_.begin(), items_.end(), [&](const auto& entry) { return entry.get() == &item; });
  if (held == items_.end()) return;
  forget_index_entries(item);
  items_.erase(held);
}

void TChangeLog::ResetPlaced() {
  placed_by_id_.clear();
  unplaced_by_rowid_.clear();
  unplaced_inserts_ = 0;
  for (const auto& item : items_) {
    item->Placed = false;
    if (item->Action == 'I')
      ++unplaced_inserts_;
    else
      unplaced_by_rowid_[std::string(item->RowId())] = item.get();
  }
}

void TChangeLog::Clear() {
  items_.clear();
  placed_by_id_.clear();
  unplaced_by_rowid_.clear();
  unplaced_inserts_ = 0;
}

void TChangeLog::RecordEntered(int position) {
  for (const auto& item : items_) {
    if (item->Action == 'I' && item->Position >= position) ++item->Position;
    if (item->Action == 'D' && item->Position > position) ++item->Position;
  }
}

void TChangeLog::RecordRemoved(int position) {
  for (const auto& item : items_)
    if (item->Action != 'U' && item->Position > position) --item->Position;
}

int TChangeLog::CachedBalance() const {
  int balance = 0;
  for (const auto& item : items_) {
    if (item->NotCached) continue;
    if (item->Action == 'I') ++balance;
    if (item->Action == 'D') --balance;
  }
  return balance;
}

}  // namespace kvell
