#include "db/dataset.h"

#include <algorithm>

#include "db/data_source.h"

namespace kvell {

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), fields_(this) {}

TDataSet::~TDataSet() {
  BeforeDestruction();
  while (!data_sources_.empty()) data_sources_.back()->SetDataSet(nullptr);
  fields_.Clear();
  for (TRecordBuffer& buffer : buffers_) delete[] buffer;
}

// Closing needs the descendant's cursor, so it runs in the destroying step,
// called first by the most-derived destructor. csDestroying is set by then,
// which keeps the close events quiet.
void TDataSet::Dismantle() {
  try {
    Close();
  } catch (...) {
    InternalHandleException();
  }
}

// ---- opening and closing ----

void TDataSet::SetActive(bool value) {
  if (HasState(csReading)) {
    streamed_active_ = value;
    return;
  }
  if (Active() == value) return;
  if (value) {
    DoBeforeOpen();
    open_cursor();
    SetState(dsBrowse);
    DoAfterOpen();
    if (!IsEmpty()) DoAfterScroll();
    return;
  }
  if (!HasState(csDestroying)) DoBeforeClose();
  SetState(dsInactive);
  close_cursor();
  if (!HasState(csDestroying)) DoAfterClose();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (streamed_active_) {
    streamed_active_ = false;
    SetActive(true);
  }
}

void TDataSet::open_cursor() {
  try {
    default_fields_ = fields_.Count() == 0;
    InternalOpen();
    internal_open_complete_ = true;
    update_buffer_count();
    bof_ = true;
  } catch (...) {
    close_cursor();
    throw;
  }
}

void TDataSet::close_cursor() {
  block_read_size_ = 0;
  internal_open_complete_ = false;
  FreeFieldBuffers();
  ClearBuffers();
  set_buffer_list_size(0);
  buffer_count_ = 0;
  InternalClose();
  default_fields_ = false;
}

void TDataSet::InitFieldDefs() {
  if (IsCursorOpen()) return;
  InternalInitFieldDefs();
  field_defs_.Updated = true;
}

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_.Count(); ++i) {
    const TFieldDef& def = field_defs_[i];
    if (def.DataType != ftUnknown && !FindField(def.Name)) def.CreateField(this, this);
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  has_lookup_fields_ = false;
  has_internal_calc_fields_ = false;
  for (TField* field : fields_) {
    if (!binding) {
      field->field_no_ = 0;
      continue;
    }
    has_internal_calc_fields_ = has_internal_calc_fields_ || field->FieldKind() == fkInternalCalc;
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
      field->field_no_ = -1;
      field->offset_ = calc_fields_size_;
      calc_fields_size_ += field->DataSize() + 1;
      has_lookup_fields_ = has_lookup_fields_ || field->FieldKind() == fkLookup;
      continue;
    }
    int index = field_defs_.IndexOf(field->FieldName());
    if (index < 0) DatabaseErrorFmt(db_messages::FieldNotFound, {field->FieldName()});
    const TFieldDef& def = field_defs_[index];
    bool compatible = def.DataType == field->DataType() ||
                      (IsBlobType(def.DataType) && field->IsBlob()) ||
                      (def.DataType == ftFixedChar && field->DataType() == ftString);
    if (!compatible)
      DatabaseErrorFmt(db_messages::FieldTypeMismatch,
                       {field->DisplayName(), FieldTypeName(field->DataType()),
                        FieldTypeName(def.DataType)});
    field->field_no_ = def.FieldNo;
  }
}

// ---- the record buffer ring ----

void TDataSet::update_buffer_count() {
  int wanted = 1;
  for (TDataSource* source : data_sources_)
    for (TDataLink* link : source->links_) wanted = std::max(wanted, link->buffer_count_);
  set_buffer_count(wanted);
}

void TDataSet::set_buffer_list_size(int value) {
  while (static_cast<int>(buffers_.size()) < value) buffers_.push_back(AllocRecordBuffer());
  while (static_cast<int>(buffers_.size()) > value) {
    FreeRecordBuffer(buffers_.back());
    buffers_.pop_back();
  }
}

void TDataSet::set_buffer_count(int value) {
  if (buffer_count_ == value) return;
  if (buffer_count_ > value && record_count_ > 0) {
    // Keep the window that ends at the active record.
    int delta = std::max(0, active_record_ - value + 1);
    for (TDataSource* source : data_sources_)
      for (TDataLink* link : source->links_) delta = std::min(delta, link->first_record_);
    for (int i = 0; i < value; ++i) move_buffer(i + delta, i);
    active_record_ -= delta;
    if (current_record_ != -1) current_record_ -= delta;
    record_count_ = std::min(record_count_, value);
    for (TDataSource* source : data_sources_)
      for (TDataLink* link : source->links_) link->first_record_ -= delta;
  }
  set_buffer_list_size(value + 1);
  buffer_count_ = value;
  if (!internal_open_complete_ || HasState(csDestroying)) return;
  get_next_records();
  if (record_count_ < buffer_count_) {
    int added = get_prior_records();
    active_record_ += added;
    for (TDataSource* source : data_sources_)
      for (TDataLink* link : source->links_) link->first_record_ += added;
  }
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::activate_buffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::move_buffer(int from, int to) {
  if (from == to) return;
  TRecordBuffer buffer = buffers_[from];
  if (from < to)
    std::rotate(buffers_.begin() + from, buffers_.begin() + from + 1, buffers_.begin() + to + 1);
  else
    std::rotate(buffers_.begin() + to, buffers_.begin() + from, buffers_.begin() + from + 1);
  buffers_[to] = buffer;
}

void TDataSet::set_current_record(int index) {
  if (current_record_ == index) return;
  if (!unidirectional_) {
    TRecordBuffer buffer = buffers_[index];
    switch (GetBookmarkFlag(buffer)) {
      case bfCurrent:
      case bfInserted: InternalSetToRecord(buffer); break;
      case bfBOF: InternalFirst(); break;
      case bfEOF: InternalLast(); break;
    }
  }
  current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) set_current_record(active_record_);
}

bool TDataSet::get_next_record() {
  TGetMode mode = gmNext;
  if (record_count_ > 0) {
    set_current_record(record_count_ - 1);
    if (state_ == dsInsert && current_record_ == active_record_ &&
        GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
      mode = gmCurrent;
  }
  if (GetRecord(buffers_[record_count_], mode, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    activate_buffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    move_buffer(0, record_count_);
  }
  current_record_ = record_count_ - 1;
  return true;
}

bool TDataSet::get_prior_record() {
  if (record_count_ > 0) set_current_record(0);
  if (GetRecord(buffers_[record_count_], gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    activate_buffers();
  } else {
    move_buffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

int TDataSet::get_next_records() {
  int added = 0;
  while (record_count_ < buffer_count_ && get_next_record()) ++added;
  return added;
}

int TDataSet::get_prior_records() {
  int added = 0;
  while (record_count_ < buffer_count_ && get_prior_record()) ++added;
  return added;
}

void TDataSet::Resync(TResyncMode mode) {
  if (unidirectional_) return;
  TRecordBuffer scratch = buffers_[record_count_];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(scratch, gmCurrent, true) != grOK) DatabaseError(db_messages::RecordNotFound);
  } else if (GetRecord(scratch, gmCurrent, false) != grOK &&
             GetRecord(scratch, gmNext, false) != grOK &&
             GetRecord(scratch, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  int count = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  move_buffer(record_count_, 0);
  activate_buffers();
  try {
    while (count > 0 && get_prior_record()) --count;
    get_next_records();
    get_prior_records();
  } catch (...) {
    DataEvent(deDataSetChange, 0);
    throw;
  }
  DataEvent(deDataSetChange, 0);
}

// ---- navigation ----

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    get_next_record();
    get_next_records();
  } catch (...) {
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    throw;
  }
  bof_ = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

void TDataSet::Last() {
  if (unidirectional_) DatabaseError("Operation not allowed on a unidirectional dataset");
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    get_prior_record();
    get_prior_records();
  } catch (...) {
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    throw;
  }
  eof_ = true;
  DataEvent(deDataSetChange, 0);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if (!((distance > 0 && !eof_) || (distance < 0 && !bof_))) return 0;
  bof_ = false;
  eof_ = false;
  int scrolled = 0;  // buffers shifted; data links move their window by it
  auto finish = [&] {
    DataEvent(deDataSetScroll, scrolled);
    DoAfterScroll();
  };
  try {
    for (; distance > 0; --distance, ++moved) {
      if (active_record_ < record_count_ - 1) {
        ++active_record_;
        continue;
      }
      int shift = record_count_ < buffer_count_ ? 0 : 1;
      if (!get_next_record()) {
        eof_ = true;
        break;
      }
      scrolled -= shift;
      active_record_ = record_count_ - 1;
    }
    for (; distance < 0; ++distance, --moved) {
      if (active_record_ > 0) {
        --active_record_;
        continue;
      }
      int shift = record_count_ < buffer_count_ ? 0 : 1;
      if (!get_prior_record()) {
        bof_ = true;
        break;
      }
      scrolled += shift;
      active_record_ = 0;
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return moved;
}

// ---- editing ----

void TDataSet::CheckActive() const {
  if (state_ == dsInactive) DatabaseError(db_messages::DataSetClosed);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(db_messages::DataSetOpen);
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) DatabaseError(db_messages::DataSetReadOnly);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  if (IsEditState(state_)) {
    UpdateRecord();
    if (modified_) Post(); else Cancel();
  } else if (state_ == dsSetKey) {
    Post();
  }
}

void TDataSet::UpdateRecord() {
  if (!IsEditState(state_) && state_ != dsSetKey) DatabaseError(db_messages::NotEditing);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::check_operation(void (TDataSet::*operation)(), const TDataSetErrorEvent& error_event) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*operation)();
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = daFail;
      if (error_event) error_event(this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) throw EAbort();
    }
  }
}

void TDataSet::Edit() {
  if (IsEditState(state_)) return;
  if (record_count_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  check_operation(&TDataSet::InternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::begin_insert_append() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::end_insert_append() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  begin_insert_append();
  TBookmark old_current = GetBookmark();
  move_buffer(record_count_, active_record_);
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0)
    SetBookmarkFlag(buffer, bfBOF);
  else if (!old_current.empty())
    SetBookmarkData(buffer, old_current.data());
  if (record_count_ < buffer_count_) ++record_count_;
  InternalInsert();
  end_insert_append();
}

void TDataSet::Append() {
  begin_insert_append();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  record_count_ = 1;
  bof_ = false;
  get_prior_records();
  InternalInsert();
  end_insert_append();
}

void TDataSet::add_record(const std::vector<Variant>& values, bool append) {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  if (!append) UpdateCursorPos();
  DisableControls();
  // Controls come back however the resynchronisation ends.
  try {
    try {
      move_buffer(record_count_, active_record_);
      InitRecord(ActiveBuffer());
      if (record_count_ == 0) SetBookmarkFlag(ActiveBuffer(), bfBOF);
      SetState(dsInsert);
      SetFields(values);
      DoBeforePost();
      InternalAddRecord(ActiveBuffer(), append);
    } catch (...) {
      end_add_record();
      throw;
    }
    end_add_record();
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  DoAfterPost();
}

void TDataSet::end_add_record() {
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync(0);
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::FreeFieldBuffers() {
  for (TField* field : fields_) field->FreeBuffers();
}

void TDataSet::InternalPost() { CheckRequiredFields(); }

void TDataSet::CheckRequiredFields() {
  for (TField* field : fields_) {
    if (field->Required && !field->ReadOnly && field->FieldKind() == fkData && field->IsNull()) {
      field->FocusControl();
      DatabaseErrorFmt(db_messages::FieldRequired, {field->DisplayName()});
    }
  }
}

void TDataSet::Post() {
  UpdateRecord();
  if (!IsEditState(state_)) {
    if (state_ == dsSetKey) SetState(dsBrowse);
    return;
  }
  DataEvent(deCheckBrowseMode, 0);
  DoBeforePost();
  check_operation(&TDataSet::InternalPost, OnPostError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync(0);
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (!IsEditState(state_)) {
    if (state_ == dsSetKey) SetState(dsBrowse);
    return;
  }
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeCancel();
  bool scroll_events = state_ == dsInsert;
  if (scroll_events) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync(0);
  DoAfterCancel();
  if (scroll_events) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (record_count_ == 0) DatabaseError(db_messages::DataSetEmpty);
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  check_operation(&TDataSet::InternalDelete, OnDeleteError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync(0);
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  DoBeforeRefresh();
  UpdateCursorPos();
  InternalRefresh();
  Resync(0);
  DoAfterRefresh();
}

TUpdateStatus TDataSet::UpdateStatus() const {
  if (state_ == dsInsert) return usInserted;
  if (state_ == dsEdit && modified_) return usModified;
  return usUnmodified;
}

void TDataSet::InternalHandleException() {}

// ---- states and events ----

void TDataSet::SetState(TDataSetState value) {
  if (state_ == value) return;
  state_ = value;
  modified_ = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState value) {
  TDataSetState old = state_;
  state_ = value;
  ++disable_count_;
  temp_modified_.push_back(modified_);
  modified_ = false;
  return old;
}

// The edit being left for a moment keeps its mark, so that the next
// browse-mode check still posts it.
void TDataSet::RestoreState(TDataSetState value) {
  state_ = value;
  --disable_count_;
  if (temp_modified_.empty()) return;
  modified_ = temp_modified_.back();
  temp_modified_.pop_back();
}

void TDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disable_state_ = state_;
    enable_event_ = deDataSetChange;
  }
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ != 0) return;
  if (disable_state_ != state_) DataEvent(deUpdateState, 0);
  if (disable_state_ != dsInactive && state_ != dsInactive) DataEvent(enable_event_, 0);
}

void TDataSet::SetBlockReadSize(int value) { block_read_size_ = value > 0 ? value : 0; }

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  switch (event) {
    case deFieldChange: {
      TField* field = reinterpret_cast<TField*>(info);
      // Only a data value can change what calculated fields derive from;
      // this also stops OnCalcFields from feeding itself.
      if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
        modified_ = true;
        update_calc_fields();
      }
      field->Change();
      break;
    }
    case dePropertyChange: field_defs_.Updated = false; break;
    default: break;
  }
  if (ControlsDisabled() || state_ == dsBlockRead) {
    if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange)
      enable_event_ = deLayoutChange;
    return;
  }
  notify_sources(event, info);
}

void TDataSet::notify_sources(TDataEvent event, intptr_t info) {
  // A handler may detach a source; walk a copy. A single source needs no
  // list copied: a data event per edit step makes that copy show. Nor is it
  // called when nothing hears it - usually the dataset's own source, kept for
  // details that may link later - but for the state it follows.
  if (data_sources_.size() == 1) {
    TDataSource& source = *data_sources_.front();
    if (event == deUpdateState || !source.links_.empty() || source.OnDataChange || source.OnUpdateData)
      source.data_event(event, info);
    return;
  }
  std::vector<TDataSource*> sources = data_sources_;
  for (TDataSource* source : sources) source->data_event(event, info);
}

void TDataSet::add_data_source(TDataSource* source) {
  data_sources_.push_back(source);
  if (internal_open_complete_) update_buffer_count();
}

void TDataSet::remove_data_source(TDataSource* source) {
  data_sources_.erase(std::remove(data_sources_.begin(), data_sources_.end(), source),
                      data_sources_.end());
  if (internal_open_complete_) update_buffer_count();
}

// ---- calculated fields ----

void TDataSet::update_calc_fields() {
  if (state_ == dsSetKey || !HasCalcFields() || !AutoCalcFields || !IsEditState(state_)) return;
  CalculateFields(ActiveBuffer());
}

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (!HasCalcFields()) return;
  TDataSetState saved = state_;
  state_ = dsCalcFields;
  try {
    CalculateFields(buffer);
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  calc_buffer_ = buffer;
  if (!unidirectional_ && state_ != dsInternalCalc) {
    ClearCalcFields(buffer);
    for (TField* field : fields_)
      if (field->FieldKind() == fkLookup) field->CalcLookupValue();
  }
  DoOnCalcFields();
}

// ---- field data ----

bool TDataSet::GetFieldData(TField*, void*) { return false; }

void TDataSet::SetFieldData(TField*, const void*) {}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode) {
  DatabaseErrorFmt(db_messages::FieldAccessError, {field->DisplayName(), "BLOB"});
}

std::vector<TField*> TDataSet::GetFieldList(const std::string& field_names) const {
  std::vector<TField*> list;
  for (const std::string& name : SplitFieldNames(field_names)) list.push_back(FieldByName(name));
  return list;
}

Variant TDataSet::FieldValues(const std::string& field_names) const {
  std::vector<TField*> list = GetFieldList(field_names);
  if (list.size() == 1) return list[0]->AsVariant();
  std::vector<Variant> values;
  for (TField* field : list) values.push_back(field->AsVariant());
  return VarArrayOf(std::move(values));
}

void TDataSet::SetFieldValues(const std::string& field_names, const Variant& values) {
  std::vector<TField*> list = GetFieldList(field_names);
  if (list.size() == 1 && !values.IsArray()) {
    list[0]->SetAsVariant(values);
    return;
  }
  for (size_t i = 0; i < list.size(); ++i)
    list[i]->SetAsVariant(values[values.ArrayLowBound() + static_cast<int>(i)]);
}

void TDataSet::SetFields(const std::vector<Variant>& values) {
  int count = std::min(static_cast<int>(values.size()), fields_.Count());
  for (int i = 0; i < count; ++i)
    if (!values[i].IsEmpty()) fields_[i]->SetAsVariant(values[i]);
}

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
  if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) return Null();
  TDataSetState saved = state_;
  state_ = state;
  Variant value;
  try {
    value = field->AsVariant();
  } catch (...) {
    state_ = saved;
    throw;
  }
  state_ = saved;
  return value;
}

void TDataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
  TDataSetState saved = SetTempState(state);
  try {
    field->SetAsVariant(value);
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
}

// ---- bookmarks and search ----

bool TDataSet::BookmarkAvailable() const {
  return (state_ == dsBrowse || IsEditState(state_)) && !IsEmpty() &&
         GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() const {
  TBookmark bookmark;
  ReadBookmark(bookmark);
  return bookmark;
}

void TDataSet::ReadBookmark(TBookmark& out) const {
  if (!BookmarkAvailable()) {
    out.clear();
    return;
  }
  out.resize(static_cast<size_t>(bookmark_size_));
  GetBookmarkData(ActiveBuffer(), out.data());
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

int TDataSet::VisitRecords(const TBookmark& from, int count, const std::function<bool()>& visit) {
  return walk_records(from, count, nullptr, visit);
}

int TDataSet::SkimRecords(const TBookmark& from, int count, const std::function<bool(int)>& wanted,
                          const std::function<bool()>& visit) {
  return walk_records(from, count, &wanted, visit);
}

int TDataSet::walk_records(const TBookmark& from, int count, const std::function<bool(int)>* wanted,
                           const std::function<bool()>& visit) {
  CheckActive();
  if (state_ != dsBrowse) DatabaseError(db_messages::NotBrowsing);
  if (record_count_ == 0 || count <= 0) return 0;
  // The ring's free buffer stands in for the active one while visiting, so
  // the fields read the visited record and the ring itself stays untouched.
  struct Swap {
    TDataSet& dataset;
    explicit Swap(TDataSet& owner) : dataset(owner) { swap(); }
    ~Swap() {
      swap();
      dataset.CursorPosChanged();
    }
    void swap() { std::swap(dataset.buffers_[dataset.active_record_], dataset.buffers_[dataset.record_count_]); }
  } swap(*this);
  CursorPosChanged();
  TGetMode mode = gmNext;
  if (from.empty()) {
    InternalFirst();
  } else {
    InternalGotoBookmark(from.data());
    mode = gmCurrent;
  }
  int visited = 0;
  while (visited < count) {
    const bool read = !wanted || (*wanted)(visited);
    const TGetResult result = read ? GetRecord(ActiveBuffer(), mode, false) : SkipRecord(ActiveBuffer(), mode);
    if (result != grOK) break;
    mode = gmNext;
    ++visited;
    if (read && !visit()) break;
  }
  return visited;
}

int TDataSet::CompareBookmarks(const TBookmark&, const TBookmark&) const { return 0; }

bool TDataSet::Locate(const std::string&, const Variant&, TLocateOptions) { return false; }

Variant TDataSet::Lookup(const std::string&, const Variant&, const std::string&) { return Null(); }

// ---- provider defaults ----

std::string TDataSet::PSGetKeyFields() {
  std::string keys;
  for (TField* field : fields_) {
    if (!(field->ProviderFlags & pfInKey)) continue;
    if (!keys.empty()) keys += ';';
    keys += field->FieldName();
  }
  return keys;
}

void TDataSet::PSExecute() { DatabaseError("Provider does not support this operation"); }

void TDataSet::PSSetParams(const TParams& params) {
  if (params.Count() > 0) DatabaseError("Provider does not support this operation");
}

int TDataSet::PSExecuteStatement(const std::string&, TParams*, TDataSet**) {
  DatabaseError("Provider does not support this operation");
}

}  // namespace kvell
