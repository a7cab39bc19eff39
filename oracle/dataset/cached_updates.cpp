// TOracleDataSet: the change log's side of the dataset - changes logged while
// cached updates or a provider transaction log them, logged changes placed
// again on the rows of a new execution, and applying, cancelling and
// committing them.
#include <algorithm>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"

namespace kvell {

// ---- logging ----

bool TOracleDataSet::HasLogEntry(const uint8_t* record) const {
  return change_log_.FindPlaced(Header(record).RecordId) != nullptr;
}

void TOracleDataSet::LogChange(char action, uint8_t* record, const uint8_t* old_values) {
  if (!LogsChanges() || !store_) return;
  const int32_t id = Header(record).RecordId;
  const int position = store_->NumberOfId(id);
  TChangeLogItem* entry = change_log_.FindPlaced(id);
  if (!entry) {
    if (action == 'I') change_log_.RecordEntered(position);
    if (action == 'D') change_log_.RecordRemoved(position);
    TChangeLogItem& added = change_log_.Add(action, id, position);
    added.NotCached = !CachedUpdates();
    if (action != 'I') added.OldValues = CopyRecord(old_values, record_size_);
    if (action != 'D') added.NewValues = CopyRecord(record, record_size_);
    return;
  }
  if (entry->Action == 'D') return;
  if (action == 'U') {
    entry->NewValues = CopyRecord(record, record_size_);
  } else if (action == 'D' && entry->Action == 'I') {
    // The record never reached the server: forgetting the insert is the delete.
    drop_detail_inserts_under(record);
    change_log_.Remove(*entry);
    change_log_.RecordRemoved(position);
  } else if (action == 'D') {
    change_log_.RecordRemoved(position);
    entry->Action = 'D';
    entry->Position = position;
    entry->NewValues.reset();
  }
}

// ---- placing logged changes at fetch ----

// A logged insert that belongs here: at the current end of the records while
// rows remain, or after the last row. A detail's inserts belong to the master
// record they were made under.
uint8_t* TOracleDataSet::place_cached_insert() {
  if (!CachedUpdates() || !change_log_.HasUnplacedInserts()) return nullptr;
  TChangeLogItem* entry = change_log_.NextUnplacedInsert(
      [this](const uint8_t* values) { return belongs_to_master_record(values); },
      rows_exhausted_ ? -1 : store_->RecordLimit());
  if (!entry) return nullptr;
  uint8_t* record = store_->FreeSlot();
  CopyRecordInto(record, entry->NewValues.get(), record_size_);
  Header(record).BookmarkFlag = 0;
  store_->Append(record);
  Header(record).RecordId = ++last_record_id_;
  change_log_.Place(*entry, last_record_id_, store_->NumberOfId(last_record_id_));
  return record;
}

// With DetailFields a record carries its master's key, which outlives the
// master's RecordIds: a refresh of the master numbers its records anew.
bool TOracleDataSet::belongs_to_master_record(const uint8_t* values) const {
  if (!master_) return true;
  if (master_record_id() < 0) return DetailFields.empty() && Header(values).MasterRecordId == -1;
  return made_under(values, master_->ActiveBuffer());
}

// Whether the record `values` was made under the master record `master_values`.
bool TOracleDataSet::made_under(const uint8_t* values, const uint8_t* master_values) const {
  if (DetailFields.empty()) return Header(values).MasterRecordId == Header(master_values).RecordId;
  const std::vector<std::string> master_names = SplitFieldNames(MasterFields);
  const std::vector<std::string> detail_names = SplitFieldNames(DetailFields);
  for (size_t i = 0; i < master_names.size() && i < detail_names.size(); ++i) {
    const TField* field = FindField(detail_names[i]);
    if (!field || field->FieldNo() <= 0 || field->IsBlob()) continue;
    const Variant own = SlotValue(values, field_infos_[field->FieldNo()]);
    const Variant key = master_->key_value(master_names[i], master_values);
    if (own.IsNull() != key.IsNull()) return false;
    if (!own.IsNull() && !(own == key) && own.AsString() != key.AsString()) return false;
  }
  return true;
}

// A master field's value in one of the master's records; a field that is no
// column reads the current record.
Variant TOracleDataSet::key_value(const std::string& field_name, const uint8_t* values) const {
  TField* field = FieldByName(field_name);
  if (field->FieldNo() <= 0 || field->IsBlob()) return field->AsVariant();
  return SlotValue(values, field_infos_[field->FieldNo()]);
}

TChangeLogItem* TOracleDataSet::logged_change_of_row() const {
  if (!CachedUpdates() || rowid_column_ < 0 || change_log_.Empty()) return nullptr;
  return change_log_.FindUnplacedByRowId(fetch_query_->FieldText(rowid_column_));
}

// ---- the operations ----

void TOracleDataSet::SetCachedUpdates(bool value) {
  if (!value && UpdatesPending()) throw Exception(dataset_messages::CachedUpdatesPending);
  cached_updates_ = value;
}

bool TOracleDataSet::UpdatesPending() const { return CachedUpdates() && !change_log_.Empty(); }

void TOracleDataSet::ApplyUpdates() {
  CheckActive();
  CheckBrowseMode();
  if (!UpdatesPending()) return;
  const std::vector<int32_t> reread = writer_->ApplyLog(change_log_);
  CommitUpdates();
  for (const int32_t id : reread) writer_->RefreshApplied(id);
  Resync(0);
}

void TOracleDataSet::CommitUpdates() {
  if (!Active()) {
    change_log_.Clear();
    return;
  }
  for (int i = 0; i < change_log_.Count(); ++i) {
    const TChangeLogItem& entry = change_log_[i];
    if (entry.NotCached) continue;  // counted when posted
    if (entry.Action == 'I') ++posted_inserts_;
    if (entry.Action == 'D') ++posted_deletes_;
  }
  change_log_.Clear();
  DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::CancelUpdates() {
  provider_logging_ = false;
  if (!Active()) {
    change_log_.Clear();
    return;
  }
  if (State() == dsEdit || State() == dsInsert) Cancel();
  while (!change_log_.Empty()) {
    TChangeLogItem& entry = change_log_[change_log_.Count() - 1];
    if (entry.Placed) {
      undo_change(entry);
    } else {
      if (entry.Action == 'I') drop_detail_inserts_under(entry.NewValues.get());
      change_log_.Remove(entry);  // its row has not been read again: nothing to undo here
    }
  }
  refilter_records();
  current_ = std::min(current_, VisibleCount() - 1);
  if (current_ < 0 && VisibleCount() > 0) current_ = 0;
  notify_details();
  Resync(0);
}

// Undoes one change in the record list and forgets its entry; the filtered
// list is rebuilt once afterwards.
void TOracleDataSet::undo_change(TChangeLogItem& entry) {
  if (entry.NotCached) {  // a provider transaction's post, counted when it was sent
    if (entry.Action == 'I') --posted_inserts_;
    if (entry.Action == 'D') --posted_deletes_;
  }
  const int number = store_->NumberOfId(entry.RecordId);
  if (entry.Action == 'I') {
    drop_detail_inserts_under(number >= 0 ? store_->Record(number) : entry.NewValues.get());
    change_log_.Remove(entry);
    if (number < 0) return;
    store_->Delete(number);
    change_log_.RecordRemoved(number);
    return;
  }
  if (entry.Action == 'U') {
    if (number >= 0) restore_record(store_->Record(number), entry.OldValues.get());
    change_log_.Remove(entry);
    return;
  }
  const RecordCopy old_values = std::move(entry.OldValues);
  const int32_t id = entry.RecordId;
  const int position = entry.Position;
  change_log_.Remove(entry);
  uint8_t* record = store_->FreeSlot();
  CopyRecordInto(record, old_values.get(), record_size_);
  Header(record).RecordId = id;
  Header(record).BookmarkFlag = 0;
  store_->Insert(record, position, -1);
  change_log_.RecordEntered(position);
}

// A master's insert that never reaches the server takes the details' cached
// inserts made under it along: alone they would be sent as orphan rows.
void TOracleDataSet::drop_detail_inserts_under(const uint8_t* master_values) {
  for (TOracleDataSet* detail : details_) detail->drop_inserts_under(master_values);
}

void TOracleDataSet::drop_inserts_under(const uint8_t* master_values) {
  if (!Active() || !CachedUpdates() || change_log_.Empty()) return;
  const bool showing = master_record_seen_ && *master_record_seen_ == Header(master_values).RecordId;
  if (showing && IsEditState(State())) Cancel();
  bool dropped = false;
  for (int i = change_log_.Count() - 1; i >= 0; --i) {
    TChangeLogItem& entry = change_log_[i];
    if (entry.Action != 'I' || !made_under(entry.NewValues.get(), master_values)) continue;
    if (entry.Placed) {
      undo_change(entry);
    } else {
      drop_detail_inserts_under(entry.NewValues.get());
      change_log_.Remove(entry);
    }
    dropped = true;
  }
  if (!dropped) return;
  refilter_records();
  current_ = std::min(current_, VisibleCount() - 1);
  if (current_ < 0 && VisibleCount() > 0) current_ = 0;
  Resync(0);
}

void TOracleDataSet::restore_record(uint8_t* record, const uint8_t* values) {
  const RecordHeader kept = Header(record);
  CopyRecordInto(record, values, record_size_);
  RecordHeader& header = Header(record);
  header.RecordId = kept.RecordId;
  header.MasterRecordId = kept.MasterRecordId;
  header.BookmarkFlag = kept.BookmarkFlag;
}

// Refreshing re-queries the details, whose cached changes must be applied first.
void TOracleDataSet::refuse_refresh_over_cached_details() const {
  for (const TOracleDataSet* detail : details_)
    if (detail->CachedUpdates() && detail->DetailFields.empty() && !detail->change_log_.Empty())
      throw Exception(dataset_messages::RefreshWithCachedDetails);
}

}  // namespace kvell
