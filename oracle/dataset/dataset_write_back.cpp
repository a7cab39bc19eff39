// TOracleDataSet: the framework's edit, post, delete and cancel steps and the
// blob streams, handed to the dataset's writer, and the record store's side
// of posting (new records entered, deleted ones removed).
#include <cstring>

#include "oracle/dataset/blob_stream.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/oracle_dataset.h"

namespace kvell {

// ---- the framework's steps ----

void TOracleDataSet::InternalEdit() {
  writer_->Edit();
}

void TOracleDataSet::InternalPost() {
  TDataSet::InternalPost();
  if (QBEMode()) DatabaseError(dataset_messages::NotInQBEMode);
  const bool inserting = State() == dsInsert;
  writer_->Post(inserting);
  if (inserting) posted_insert();
}

void TOracleDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  if (buffer != ActiveBuffer()) throw Exception(dataset_messages::ForeignAddBuffer);
  if (append) {
    InternalLast();
    SetBookmarkFlag(buffer, bfEOF);
  }
  TDataSet::InternalPost();
  writer_->Post(true);
  posted_insert();
}

void TOracleDataSet::InternalDelete() {
  if (QBEMode()) DatabaseError(dataset_messages::NotInQBEMode);
  writer_->Delete();
  if (!CachedUpdates()) ++posted_deletes_;
}

void TOracleDataSet::InternalCancel() { writer_->Cancel(State() == dsEdit); }

std::string TOracleDataSet::GetUpdatingTableName() { return writer_->UpdatingTableName(); }

std::string TOracleDataSet::GetSelectTableName() { return writer_->SelectTableName(); }

bool TOracleDataSet::FetchesFromCursor() const {
  if (fetch_query_ && fetch_query_ == cursor_query_.get()) return true;
  for (int i = 0; i < main_query_->VariableCount(); ++i)
    if (main_query_->VariableType(i) == 116) return true;
  return false;
}

TOracleQuery* TOracleDataSet::DMLQuery() const { return writer_->DMLQuery(); }

int64_t TOracleDataSet::StatementsSent() const { return writer_->StatementsSent(); }

// ---- the record store ----

void TOracleDataSet::InsertStoredRecord(uint8_t* record, TRecordBuffer buffer) {
  int before = store_->RecordLimit();
  int before_filtered = UseFilteredList() ? store_->FilteredOffset() + store_->FilteredCount() : -1;
  if (GetBookmarkFlag(buffer) == bfInserted) {
    const int32_t next_id = Header(buffer).RecordId;
    const int number = store_->NumberOfId(next_id);
    if (number >= 0) before = number;
    if (UseFilteredList()) {
      const int filtered = store_->FilteredNumberOfId(next_id);
      if (filtered >= 0) before_filtered = filtered;
    }
  } else if (GetBookmarkFlag(buffer) == bfBOF) {
    before = store_->Offset();
    if (UseFilteredList()) before_filtered = store_->FilteredOffset();
  }
  store_->Insert(record, before, before_filtered);
  current_ = VisibleNumberOfId(Header(record).RecordId);
}

void TOracleDataSet::RemoveStoredRecord(uint8_t* record) {
  store_->Delete(store_->NumberOfId(Header(record).RecordId));
  if (fetch_exhausted_ && current_ >= VisibleCount()) current_ = VisibleCount() - 1;
}

// ---- blob values ----

const TOracleBlob* TOracleDataSet::BlobForState(const uint8_t* record, TField* field,
                                                const TOracleFieldInfo& info) const {
  if (IsEditState(State()) && static_cast<TBlobField*>(field)->Modified) return writer_->EditBlob(info.BlobIndex);
  // Old values and a logged change being applied hold their own blob lists.
  if (State() == dsOldValue || (record && record == applying_record_)) {
    const TBlobList* blobs = Header(record).Blobs;
    return blobs ? blobs->Find(info.BlobIndex) : nullptr;
  }
  return BlobOf(record, info);
}

std::unique_ptr<TStream> TOracleDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  uint8_t* record = RecordForState(field);
  const TDataSetState state = State();
  const bool value_state = state == dsNewValue || state == dsOldValue;
  auto* blob_field = static_cast<TBlobField*>(field);
  if (!record || field->FieldNo() <= 0 || field->FieldNo() >= field_infos_.Count())
    return std::make_unique<TOracleBlobStream>(*this, field, mode, nullptr, false, false);
  const TOracleFieldInfo& info = field_infos_[field->FieldNo()];
  const bool writes = mode != bmRead;
  if (writes && !blob_field->Modified && !IsEditState(state) && state != dsNewValue)
    DatabaseError(db_messages::NotEditing);
  if ((blob_field->Modified || writes) && !value_state) {
    TOracleBlob* edited = writer_->EditBlob(info.BlobIndex);
    // A read-write stream continues the value it opens on.
    if (edited && !blob_field->Modified && mode == bmReadWrite) {
      const TOracleBlob* current = BlobOf(record, info);
      edited->Assign(current ? current->Bytes() : std::string_view());
    }
    return std::make_unique<TOracleBlobStream>(*this, field, mode, edited, true, IsEditState(state));
  }
  auto* own = const_cast<TOracleBlob*>(BlobForState(record, field, info));
  return std::make_unique<TOracleBlobStream>(*this, field, mode, own, true, false);
}

void TOracleDataSet::CloseBlob(TField* field) {
  if (field->FieldNo() <= 0 || field->FieldNo() >= field_infos_.Count()) return;
  writer_->ResetEditBlob(field_infos_[field->FieldNo()].BlobIndex);
}

}  // namespace kvell
