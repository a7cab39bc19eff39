#include "db/memory_dataset.h"

#include <algorithm>
#include <cstring>

#include "runtime/ansi_case.h"

namespace kvell {
namespace {

// Every buffer starts with the record id (the bookmark) and the bookmark flag.
struct BufferHeader {
  int32_t id;
  uint8_t flag;
};
constexpr int HeaderSize = 8;
static_assert(sizeof(BufferHeader) <= HeaderSize);

BufferHeader& header(TRecordBuffer buffer) { return *reinterpret_cast<BufferHeader*>(buffer); }

int32_t read_id(const void* bookmark) {
  int32_t id;
  std::memcpy(&id, bookmark, sizeof id);
  return id;
}


}  // namespace

// A stream over one blob value: the stored record's, or the edit copy.
class TMemoryDataSet::BlobStream : public TStream {
 public:
  BlobStream(TMemoryDataSet* dataset, TBlobField* field, std::string* blob, bool editing)
      : dataset_(dataset), field_(field), blob_(blob), editing_(editing) {}
  ~BlobStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return blob_ ? static_cast<int64_t>(blob_->size()) : 0; }
  void truncate() {
    blob_->clear();
    modified_ = editing_;
  }

 private:
  TMemoryDataSet* dataset_;
  TBlobField* field_;
  std::string* blob_;  // nullptr when the record has no value to read
  bool editing_;
  bool modified_ = false;
  int64_t position_ = 0;
};

TMemoryDataSet::BlobStream::~BlobStream() {
  if (!modified_) return;
  field_->Modified = true;
  try {
    dataset_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
  } catch (...) {
    dataset_->InternalHandleException();
  }
}

int64_t TMemoryDataSet::BlobStream::Read(void* buffer, int64_t count) {
  if (!blob_ || position_ >= Size() || count <= 0) return 0;
  count = std::min(count, Size() - position_);
  std::memcpy(buffer, blob_->data() + position_, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TMemoryDataSet::BlobStream::Write(const void* buffer, int64_t count) {
  if (!blob_) DatabaseError(db_messages::NotEditing);
  if (count <= 0) return 0;
  if (position_ + count > Size()) blob_->resize(static_cast<size_t>(position_ + count));
  std::memcpy(blob_->data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  modified_ = editing_;
  return count;
}

int64_t TMemoryDataSet::BlobStream::Seek(int64_t offset, int origin) {
  if (origin == soBeginning) position_ = offset;
  else if (origin == soCurrent) position_ += offset;
  else position_ = Size() + offset;
  if (position_ < 0) position_ = 0;
  return position_;
}

// Puts the dataset in the filter state on one stored record for as long as
// it lives, so that fields read that record.
class TMemoryDataSet::RecordScope {
 public:
  RecordScope(TMemoryDataSet& dataset, Record* record)
      : dataset_(dataset), saved_(dataset.SetTempState(dsFilter)) {
    dataset_.filter_record_ = record;
  }
  ~RecordScope() {
    dataset_.filter_record_ = nullptr;
    dataset_.RestoreState(saved_);
  }
  RecordScope(const RecordScope&) = delete;
  RecordScope& operator=(const RecordScope&) = delete;

 private:
  TMemoryDataSet& dataset_;
  TDataSetState saved_;
};

TMemoryDataSet::TMemoryDataSet(TComponent* owner) : TDataSet(owner) {}

TMemoryDataSet::~TMemoryDataSet() { BeforeDestruction(); }

// ---- opening and layout ----

void TMemoryDataSet::InternalInitFieldDefs() {
  if (FieldDefs().Count() > 0) return;
  for (TField* field : Fields()) {
    if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) continue;
    TFieldDef& def = FieldDefs().Add(field->FieldName(), field->DataType(), field->Size(), field->Required);
    def.InternalCalcField = field->FieldKind() == fkInternalCalc;
  }
}

void TMemoryDataSet::InternalOpen() {
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  compute_layout();
  SetBookmarkSize(sizeof(int32_t));
  next_id_ = 0;
  current_ = -1;
  compile_filter();
  open_ = true;
}

void TMemoryDataSet::compute_layout() {
  slots_.assign(FieldDefs().Count(), Slot{});
  record_size_ = 0;
  blob_count_ = 0;
  for (TField* field : Fields()) {
    if (field->FieldNo() <= 0) continue;
    Slot& slot = slots_[field->FieldNo() - 1];
    if (field->IsBlob()) {
      slot.blob = blob_count_++;
    } else {
      slot.offset = record_size_;
      record_size_ += field->DataSize() + 1;
    }
  }
  edit_blobs_.assign(blob_count_, std::string());
}

void TMemoryDataSet::InternalClose() {
  open_ = false;
  predicate_.reset();
  visible_.clear();
  by_id_.clear();
  records_.clear();
  edit_blobs_.clear();
  BindFields(false);
  if (DefaultFields()) DestroyFields();
}

// ---- buffers and bookmarks ----

TRecordBuffer TMemoryDataSet::AllocRecordBuffer() {
  auto* buffer = new uint8_t[HeaderSize + record_size_ + CalcFieldsSize()]();
  return buffer;
}

void TMemoryDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

uint8_t* TMemoryDataSet::data_area(TRecordBuffer buffer) const { return buffer + HeaderSize; }

uint8_t* TMemoryDataSet::calc_area(TRecordBuffer buffer) const {
  return buffer + HeaderSize + record_size_;
}

void TMemoryDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) const {
  std::memcpy(data, &header(buffer).id, sizeof(int32_t));
}

void TMemoryDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  header(buffer).id = read_id(data);
}

TBookmarkFlag TMemoryDataSet::GetBookmarkFlag(TRecordBuffer buffer) const {
  return static_cast<TBookmarkFlag>(header(buffer).flag);
}

void TMemoryDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
  header(buffer).flag = static_cast<uint8_t>(flag);
}

TMemoryDataSet::Record* TMemoryDataSet::record_of(TRecordBuffer buffer) const {
  if (!buffer) return nullptr;
  auto it = by_id_.find(header(buffer).id);
  return it == by_id_.end() ? nullptr : it->second;
}

int TMemoryDataSet::visible_index(int32_t id) const {
  // Ids grow with appends, so an unfiltered, untouched store has id at id - 1.
  int guess = id - 1;
  if (guess >= 0 && guess < static_cast<int>(visible_.size()) && visible_[guess]->id == id) return guess;
  for (size_t i = 0; i < visible_.size(); ++i)
    if (visible_[i]->id == id) return static_cast<int>(i);
  return -1;
}

int TMemoryDataSet::record_index(int32_t id) const {
  for (size_t i = 0; i < records_.size(); ++i)
    if (records_[i]->id == id) return static_cast<int>(i);
  return -1;
}

bool TMemoryDataSet::BookmarkValid(const TBookmark& bookmark) const {
  return bookmark.size() == sizeof(int32_t) && visible_index(read_id(bookmark.data())) >= 0;
}

int TMemoryDataSet::CompareBookmarks(const TBookmark& first, const TBookmark& second) const {
  if (first.empty() || second.empty()) return first.empty() == second.empty() ? 0 : first.empty() ? 1 : -1;
  int a = record_index(read_id(first.data()));
  int b = record_index(read_id(second.data()));
  return a < b ? -1 : a > b ? 1 : 0;
}

void TMemoryDataSet::InternalGotoBookmark(const void* bookmark) {
  int32_t id = read_id(bookmark);
  int index = visible_index(id);
  if (index < 0) DatabaseError(std::string(db_messages::BookmarkNotFound) + " (" + std::to_string(id) + ")");
  current_ = index;
}

void TMemoryDataSet::InternalSetToRecord(TRecordBuffer buffer) { InternalGotoBookmark(&header(buffer).id); }

// ---- reading records ----

TGetResult TMemoryDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool do_check) {
  int count = static_cast<int>(visible_.size());
  TGetResult result = grOK;
  switch (mode) {
    case gmCurrent:
      if (current_ < 0 || current_ >= count) result = grError;
      break;
    case gmNext:
      if (current_ < count - 1) ++current_;
      else { current_ = count; result = grEOF; }
      break;
    case gmPrior:
      if (current_ > 0) --current_;
      else { current_ = -1; result = grBOF; }
      break;
  }
  if (result == grError && do_check) DatabaseError(db_messages::RecordNotFound);
  if (result != grOK) return result;
  const Record& record = *visible_[current_];
  header(buffer).id = record.id;
  header(buffer).flag = bfCurrent;
  std::memcpy(data_area(buffer), record.data.data(), record_size_);
  GetCalcFields(buffer);
  return grOK;
}

void TMemoryDataSet::InternalInitRecord(TRecordBuffer buffer) {
  header(buffer).id = 0;
  std::memset(data_area(buffer), 0, record_size_);
  for (const Slot& slot : slots_)
    if (slot.offset >= 0) data_area(buffer)[slot.offset] = 1;
  ClearCalcFields(buffer);
}

void TMemoryDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(calc_area(buffer), 0, CalcFieldsSize());
  for (TField* field : Fields())
    if (field->FieldNo() < 0) calc_area(buffer)[field->Offset()] = 1;
}

// ---- field data ----

TMemoryDataSet::Slot TMemoryDataSet::slot_of(const TField* field) const {
  if (field->FieldNo() <= 0 || field->FieldNo() > static_cast<int>(slots_.size())) return Slot{};
  return slots_[field->FieldNo() - 1];
}

const uint8_t* TMemoryDataSet::read_area(const TField* field) {
  bool calculated = field->FieldNo() < 0;
  switch (State()) {
    case dsFilter:
      if (calculated || !filter_record_) return nullptr;  // not computed while filtering
      return filter_record_->data.data();
    case dsCalcFields:
      return calculated ? calc_area(CalcBuffer()) : data_area(CalcBuffer());
    case dsOldValue: {
      if (calculated || IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return nullptr;
      Record* record = record_of(ActiveBuffer());
      return record ? record->data.data() : nullptr;
    }
    default:
      if (IsEmpty() || !ActiveBuffer()) return nullptr;
      return calculated ? calc_area(ActiveBuffer()) : data_area(ActiveBuffer());
  }
}

bool TMemoryDataSet::GetFieldData(TField* field, void* buffer) {
  if (field->IsBlob()) {
    const std::string* blob = read_blob(field);
    return blob && !blob->empty();
  }
  const uint8_t* area = read_area(field);
  if (!area) return false;
  int offset = field->FieldNo() < 0 ? field->Offset() : slot_of(field).offset;
  if (offset < 0 || area[offset] != 0) return false;
  if (buffer) std::memcpy(buffer, area + offset + 1, field->DataSize());
  return true;
}

void TMemoryDataSet::SetFieldData(TField* field, const void* buffer) {
  TDataSetState state = State();
  bool calculated = field->FieldNo() < 0;
  bool writable = IsEditState(state) || state == dsSetKey || state == dsNewValue ||
                  state == dsInternalCalc || (state == dsCalcFields && calculated);
  if (!writable) DatabaseError(db_messages::NotEditing);
  if (field->ReadOnly && !calculated && state != dsSetKey)
    DatabaseErrorFmt(db_messages::FieldReadOnly, {field->DisplayName()});
  if (IsEditState(state)) field->Validate(buffer);
  TRecordBuffer target = state == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  uint8_t* slot = calculated ? calc_area(target) + field->Offset()
                             : data_area(target) + slot_of(field).offset;
  bool text = field->IsText();
  bool empty_text = buffer && text && *static_cast<const char*>(buffer) == '\0';
  if (!buffer || empty_text) {
    slot[0] = 1;
    std::memset(slot + 1, 0, field->DataSize());
  } else {
    slot[0] = 0;
    std::memcpy(slot + 1, buffer, field->DataSize());
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

// ---- blobs ----

const std::string* TMemoryDataSet::read_blob(const TField* field) {
  int index = slot_of(field).blob;
  if (index < 0) return nullptr;
  if (State() == dsFilter) return filter_record_ ? &filter_record_->blobs[index] : nullptr;
  bool working = IsEditState(State()) || State() == dsNewValue;
  if (working && static_cast<const TBlobField*>(field)->Modified) return &edit_blobs_[index];
  TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
  if (State() != dsCalcFields && IsEmpty()) return nullptr;
  if (GetBookmarkFlag(buffer) != bfCurrent) return nullptr;  // not stored yet
  Record* record = record_of(buffer);
  return record ? &record->blobs[index] : nullptr;
}

std::unique_ptr<TStream> TMemoryDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  auto* blob_field = dynamic_cast<TBlobField*>(field);
  int index = slot_of(field).blob;
  if (!blob_field || index < 0) return TDataSet::CreateBlobStream(field, mode);
  bool editing = IsEditState(State());
  if (State() == dsOldValue && mode != bmRead) DatabaseError(db_messages::NotEditing);
  // Old values always come from the stored record.
  bool working_copy = (blob_field->Modified || mode != bmRead) && State() != dsOldValue;
  if (working_copy && !blob_field->Modified && !editing && State() != dsNewValue)
    DatabaseError(db_messages::NotEditing);
  if (working_copy && !blob_field->Modified) {
    // Start the working copy from the stored value so read-write edits it.
    const std::string* stored = read_blob(field);
    edit_blobs_[index] = stored ? *stored : std::string();
  }
  std::string* blob = working_copy ? &edit_blobs_[index] : const_cast<std::string*>(read_blob(field));
  auto stream = std::make_unique<BlobStream>(this, blob_field, blob, editing);
  if (mode == bmWrite) stream->truncate();
  return stream;
}

void TMemoryDataSet::CloseBlob(TField* field) {
  int index = slot_of(field).blob;
  if (index >= 0 && index < static_cast<int>(edit_blobs_.size())) edit_blobs_[index].clear();
}

void TMemoryDataSet::reset_edit_blobs() {
  for (std::string& blob : edit_blobs_) blob.clear();
  for (TField* field : Fields())
    if (auto* blob_field = dynamic_cast<TBlobField*>(field)) blob_field->Modified = false;
}

// ---- writing records ----

void TMemoryDataSet::store(TRecordBuffer buffer, Record& record) {
  record.data.assign(data_area(buffer), data_area(buffer) + record_size_);
  record.blobs.resize(blob_count_);
  for (TField* field : Fields()) {
    auto* blob_field = dynamic_cast<TBlobField*>(field);
    if (blob_field && blob_field->Modified) record.blobs[slot_of(field).blob] = edit_blobs_[slot_of(field).blob];
  }
  reset_edit_blobs();
}

void TMemoryDataSet::insert_record(TRecordBuffer buffer, bool append) {
  auto record = std::make_unique<Record>();
  record->id = ++next_id_;
  store(buffer, *record);
  Record* raw = record.get();
  // An insert goes before the record the cursor was on.
  int32_t before_id = append ? 0 : header(buffer).id;
  int position = before_id ? record_index(before_id) : -1;
  records_.insert(position < 0 ? records_.end() : records_.begin() + position, std::move(record));
  by_id_[raw->id] = raw;
  header(buffer).id = raw->id;
  header(buffer).flag = bfCurrent;
  if (!accepts(raw)) return;
  int visible_position = before_id ? visible_index(before_id) : -1;
  if (visible_position < 0) visible_position = static_cast<int>(visible_.size());
  visible_.insert(visible_.begin() + visible_position, raw);
  current_ = visible_position;
}

void TMemoryDataSet::InternalPost() {
  TDataSet::InternalPost();
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == dsEdit) {
    Record* record = record_of(buffer);
    if (!record) DatabaseError(db_messages::RecordNotFound);
    store(buffer, *record);
    if (!accepts(record)) {
      visible_.erase(std::remove(visible_.begin(), visible_.end(), record), visible_.end());
    }
    return;
  }
  insert_record(buffer, GetBookmarkFlag(buffer) == bfEOF || GetBookmarkFlag(buffer) == bfBOF);
}

void TMemoryDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
  if (buffer != ActiveBuffer()) DatabaseError("InternalAddRecord: buffer is not the active buffer");
  CheckRequiredFields();
  if (!append && current_ >= 0 && current_ < static_cast<int>(visible_.size()))
    header(buffer).id = visible_[current_]->id;
  insert_record(buffer, append || visible_.empty());
}

void TMemoryDataSet::InternalDelete() {
  Record* record = record_of(ActiveBuffer());
  if (!record) DatabaseError(db_messages::RecordNotFound);
  visible_.erase(std::remove(visible_.begin(), visible_.end(), record), visible_.end());
  by_id_.erase(record->id);
  records_.erase(records_.begin() + record_index(record->id));
}

// ---- record numbers ----

int TMemoryDataSet::RecordCount() {
  CheckActive();
  return static_cast<int>(visible_.size());
}

int TMemoryDataSet::RecNo() {
  CheckActive();
  if (IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return State() == dsInsert ? -1 : 0;
  return visible_index(header(ActiveBuffer()).id) + 1;
}

void TMemoryDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  value = std::clamp(value, 1, static_cast<int>(visible_.size()));
  if (value == RecNo()) return;
  DoBeforeScroll();
  current_ = value - 1;
  Resync(rmCenter);
  DoAfterScroll();
}

// ---- filtering ----

bool TMemoryDataSet::accepts(Record* record) {
  if (!Filtered()) return true;
  RecordScope scope(*this, record);
  bool accept = true;
  if (OnFilterRecord) OnFilterRecord(this, accept);
  if (accept && predicate_) accept = predicate_->Accepts();
  return accept;
}

void TMemoryDataSet::rebuild_visible() {
  visible_.clear();
  for (const auto& record : records_)
    if (accepts(record.get())) visible_.push_back(record.get());
  current_ = -1;
}

void TMemoryDataSet::compile_filter() {
  predicate_.reset();
  if (Filter().empty()) return;
  if (!FilterCompiler) DatabaseError("Filter expressions are not supported by this dataset");
  predicate_ = FilterCompiler(*this, Filter(), FilterOptions());
}

void TMemoryDataSet::SetFilterText(const std::string& text) {
  TDataSet::SetFilterText(text);
  if (!Active()) return;
  compile_filter();
  if (Filtered()) {
    rebuild_visible();
    First();
  }
}

void TMemoryDataSet::SetFilterOptions(TFilterOptions options) {
  if (options == FilterOptions()) return;
  TDataSet::SetFilterOptions(options);
  SetFilterText(Filter());
}

void TMemoryDataSet::SetFiltered(bool value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(value);
  if (!Active()) return;
  rebuild_visible();
  First();
}

// ---- search ----

bool TMemoryDataSet::record_matches(const std::vector<TField*>& fields, const Variant& values,
                                    TLocateOptions options) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const Variant& wanted = values.IsArray() ? values[values.ArrayLowBound() + static_cast<int>(i)] : values;
    Variant actual = fields[i]->AsVariant();
    if (VarIsClear(wanted) || VarIsClear(actual)) {
      if (VarIsClear(wanted) != VarIsClear(actual)) return false;
      continue;
    }
    if (!actual.IsString()) {
      if (!(actual == wanted)) return false;
      continue;
    }
    std::string text = actual.AsString(), key = wanted.AsString();
    if (options & loCaseInsensitive) {
      text = AnsiUpperCase(text);
      key = AnsiUpperCase(key);
    }
    if ((options & loPartialKey) && text.size() > key.size()) text.resize(key.size());
    if (text != key) return false;
  }
  return true;
}

int TMemoryDataSet::find_record(const std::string& key_fields, const Variant& key_values,
                                TLocateOptions options) {
  std::vector<TField*> fields = GetFieldList(key_fields);
  for (size_t i = 0; i < visible_.size(); ++i) {
    RecordScope scope(*this, visible_[i]);
    if (record_matches(fields, key_values, options)) return static_cast<int>(i);
  }
  return -1;
}

bool TMemoryDataSet::Locate(const std::string& key_fields, const Variant& key_values,
                            TLocateOptions options) {
  CheckBrowseMode();
  int found = find_record(key_fields, key_values, options);
  if (found < 0) return false;
  DoBeforeScroll();
  current_ = found;
  Resync(rmExact | rmCenter);
  DoAfterScroll();
  return true;
}

Variant TMemoryDataSet::Lookup(const std::string& key_fields, const Variant& key_values,
                               const std::string& result_fields) {
  CheckBrowseMode();
  int found = find_record(key_fields, key_values, 0);
  if (found < 0) return Null();
  RecordScope scope(*this, visible_[found]);
  return FieldValues(result_fields);
}

}  // namespace kvell
