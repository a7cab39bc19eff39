// TOracleDataSet: the framework's record-buffer protocol - buffers,
// bookmarks, the get-record step, positioning, and field data by state.
#include <algorithm>
#include <cstring>

#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/ui/ui_hooks.h"

namespace kvell {
namespace {

int32_t read_id(const void* bookmark) {
  int32_t id;
  std::memcpy(&id, bookmark, sizeof id);
  return id;
}

}  // namespace

// ---- buffers ----

TRecordBuffer TOracleDataSet::AllocRecordBuffer() {
  auto* buffer = new uint8_t[static_cast<size_t>(record_size_)]();
  RecordHeader& header = Header(buffer);
  header.DataAreaSize = record_size_ - kRecordHeaderSize;
  ClearRecordReferences(buffer);
  header.MasterRecordId = master_record_id();
  return buffer;
}

void TOracleDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

void TOracleDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) const {
  std::memcpy(data, &Header(buffer).RecordId, sizeof(int32_t));
}

void TOracleDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  Header(buffer).RecordId = read_id(data);
}

TBookmarkFlag TOracleDataSet::GetBookmarkFlag(TRecordBuffer buffer) const {
  return static_cast<TBookmarkFlag>(Header(buffer).BookmarkFlag);
}

void TOracleDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  Header(buffer).BookmarkFlag = static_cast<uint8_t>(flag);
}

void TOracleDataSet::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(DataArea(buffer), 1, static_cast<size_t>(record_size_ - kRecordHeaderSize));
  ClearRecordReferences(buffer);
  Header(buffer).MasterRecordId = master_record_id();
}

void TOracleDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(calc_area(buffer), 1, static_cast<size_t>(CalcFieldsSize()));
}

void TOracleDataSet::CalculateFields(TRecordBuffer buffer) {
  if (State() == dsFilter) return;
  TDataSet::CalculateFields(buffer);
}

// ---- the visible list ----

int TOracleDataSet::VisibleCount() const {
  if (!store_) return 0;
  return UseFilteredList() ? store_->FilteredOffset() + store_->FilteredCount() : store_->RecordLimit();
}

uint8_t* TOracleDataSet::VisibleRecord(int number) const {
  return UseFilteredList() ? store_->FilteredRecord(number) : store_->Record(number);
}

int TOracleDataSet::VisibleNumberOfId(int32_t id) const {
  if (!store_) return -1;
  return UseFilteredList() ? store_->FilteredNumberOfId(id) : store_->NumberOfId(id);
}

uint8_t* TOracleDataSet::StoredRecordOf(TRecordBuffer buffer) const {
  if (!store_ || !buffer || GetBookmarkFlag(buffer) != bfCurrent) return nullptr;
  const int32_t id = Header(buffer).RecordId;
  if (id < store_->FirstHeldId()) return nullptr;
  const int number = store_->NumberOfId(id);
  return number < 0 ? nullptr : store_->Record(number);
}

void TOracleDataSet::report_below_offset(int number) const {
  const std::string message = dataset_messages::NotInUnidirectionalMode(Name(), number);
  try {
    throw Exception(message);
  } catch (...) {
    HandleApplicationException(this);
  }
  throw Exception(message);
}

// ---- the get-record step ----

TGetResult TOracleDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) {
  const TGetResult result = move_cursor(mode, do_check);
  if (result != grOK) return result;
  std::memcpy(buffer, VisibleRecord(current_), static_cast<size_t>(record_size_));
  SetBookmarkFlag(buffer, bfCurrent);
  GetCalcFields(buffer);
  return grOK;
}

TGetResult TOracleDataSet::SkipRecord(TRecordBuffer, TGetMode mode) { return move_cursor(mode, false); }

TGetResult TOracleDataSet::move_cursor(TGetMode mode, bool do_check) {
  TGetResult result = grOK;
  switch (mode) {
    case gmCurrent:
      if (current_ >= VisibleCount()) FetchRecord();
      if (current_ < 0 || current_ >= VisibleCount()) result = grError;
      break;
    case gmNext:
      // A paused fetch adds a record and still answers false: count, not the answer, decides.
      if (current_ >= VisibleCount() - 1) FetchRecord();
      if (current_ < VisibleCount() - 1) {
        ++current_;
      } else {
        current_ = VisibleCount();
        result = grEOF;
      }
      break;
    case gmPrior:
      current_ = std::min(current_, VisibleCount());
      if (current_ > 0) {
        --current_;
      } else {
        current_ = -1;
        result = grBOF;
      }
      break;
  }
  if (result == grOK && current_ < 0) result = grError;
  if (result == grError && do_check) DatabaseError(dataset_messages::NoRecords);
  return result;
}

void TOracleDataSet::InternalLast() {
  fetch_all_under_wait_cursor();
  current_ = VisibleCount();
}

void TOracleDataSet::InternalGotoBookmark(const void* bookmark) {
  const int32_t id = read_id(bookmark);
  const int number = VisibleNumberOfId(id);
  if (number < 0) DatabaseError(dataset_messages::BookmarkNotFound(id));
  current_ = number;
}

void TOracleDataSet::InternalSetToRecord(TRecordBuffer buffer) { InternalGotoBookmark(&Header(buffer).RecordId); }

bool TOracleDataSet::BookmarkValid(const TBookmark& bookmark) const {
  return bookmark.size() == sizeof(int32_t) && VisibleNumberOfId(read_id(bookmark.data())) >= 0;
}

int TOracleDataSet::CompareBookmarks(const TBookmark& first, const TBookmark& second) const {
  if (first.empty() && second.empty()) return 0;
  if (second.empty()) return -1;
  if (first.empty()) return 1;
  const int32_t a = read_id(first.data()), b = read_id(second.data());
  return a < b ? -1 : a > b ? 1 : 0;
}

// ---- field data ----

// A framework buffer holds copies of its stored record's pointers, which die
// with the record (released in unidirectional mode, on a cancelled fetch or
// a delete): blob values are read through the stored record itself.
const TOracleBlob* TOracleDataSet::BlobOf(const uint8_t* record, const TOracleFieldInfo& info) const {
  if (record != filter_record_ && record != event_record_) {
    uint8_t* stored = StoredRecordOf(const_cast<uint8_t*>(record));
    if (!stored) return nullptr;
    record = stored;
  }
  const TBlobList* blobs = Header(record).Blobs;
  return blobs ? blobs->Find(info.BlobIndex) : nullptr;
}

uint8_t* TOracleDataSet::RecordForState(const TField* field) const {
  (void)field;
  switch (State()) {
    case dsFilter: return filter_record_;
    case dsCalcFields: return CalcBuffer();
    case dsOldValue: return OldValuesRecord();
    case dsEdit:
    case dsInsert: return ActiveBuffer();
    default:
      if (applying_record_) return const_cast<uint8_t*>(applying_record_);
      if (event_record_) return event_record_;
      return IsEmpty() ? nullptr : ActiveBuffer();
  }
}

// With a change logged, a record's old values are those before the change.
uint8_t* TOracleDataSet::OldValuesRecord() const {
  if (applying_old_values_) return const_cast<uint8_t*>(applying_old_values_);
  uint8_t* stored = StoredRecordOf(ActiveBuffer());
  if (!stored || !CachedUpdates()) return stored;
  const TChangeLogItem* entry = change_log_.FindPlaced(Header(stored).RecordId);
  return entry && entry->OldValues ? entry->OldValues.get() : stored;
}

bool TOracleDataSet::GetFieldData(TField* field, void* buffer) {
  uint8_t* record = RecordForState(field);
  if (!record) return false;
  if (field->FieldNo() < 0) {  // calculated and lookup fields
    const uint8_t* slot = calc_area(record) + field->Offset();
    if (slot[0] != 0) return false;
    if (buffer) std::memcpy(buffer, slot + 1, static_cast<size_t>(field->DataSize()));
    return true;
  }
  if (field->FieldNo() >= field_infos_.Count()) return false;
  const TOracleFieldInfo& info = field_infos_[field->FieldNo()];
  // Every cell a view shows comes through here: the layout's own sizes, not virtual calls.
  if (info.BlobIndex >= 0) {
    // A field without an entry holds no bytes, so it is null.
    const TOracleBlob* blob = BlobForState(record, field, info);
    return blob != nullptr && blob->Size > 0;
  }
  const uint8_t* slot = DataArea(record) + info.DataOffset;
  if (slot[0] != 0) return false;
  if (buffer) std::memcpy(buffer, slot + 1, static_cast<size_t>(info.DataSize));
  return true;
}

TFieldBytes TOracleDataSet::PeekFieldData(TField* field) {
  uint8_t* record = RecordForState(field);
  const int number = field->FieldNo();
  if (!record || number >= field_infos_.Count()) return {true, nullptr};
  const uint8_t* slot;
  if (number < 0) {
    slot = calc_area(record) + field->Offset();
  } else {
    const TOracleFieldInfo& info = field_infos_[number];
    if (info.BlobIndex >= 0) return {};  // kept apart from the record
    slot = DataArea(record) + info.DataOffset;
  }
  return {true, slot[0] == 0 ? slot + 1 : nullptr};
}

void TOracleDataSet::SetFieldData(TField* field, const void* buffer) {
  const TDataSetState state = State();
  const bool calculated = field->FieldNo() < 0;
  const bool writable = IsEditState(state) || state == dsSetKey || state == dsNewValue ||
                        state == dsInternalCalc || state == dsCalcFields || state == dsFilter;
  if (!writable) DatabaseError(db_messages::NotEditing);
  // The dataset's own filling of a new record (master key, sequence) is not the user's edit.
  if (field->ReadOnly && !calculated && state != dsSetKey && !filling_new_record_)
    DatabaseErrorFmt(db_messages::FieldReadOnly, {field->DisplayName()});
  if (IsEditState(state) && !filling_new_record_ && !QBEMode()) field->Validate(buffer);
  uint8_t* record = state == dsCalcFields ? CalcBuffer() : state == dsFilter ? filter_record_ : ActiveBuffer();
  if (!record) DatabaseError(db_messages::NotEditing);
  uint8_t* slot = calculated ? calc_area(record) + field->Offset()
                             : DataArea(record) + field_infos_[field->FieldNo()].DataOffset;
  // An empty text is null; the type is asked only when the value could be one.
  if (!buffer || (*static_cast<const char*>(buffer) == '\0' && field->IsText())) {
    slot[0] = 1;
  } else {
    slot[0] = 0;
    std::memcpy(slot + 1, buffer, static_cast<size_t>(field->DataSize()));
  }
  if (IsEditState(state) && !filling_new_record_ && !QBEMode()) dictionary_->CheckField(field);
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
  if (!Detached()) update_detail_variables();
}

}  // namespace kvell
