#include "db/data_source.h"

#include <algorithm>

#include "db/dataset.h"

namespace kvell {

// ---- TDataSource ----

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  BeforeDestruction();
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset_) dataset_->remove_data_source(this);
  dataset_ = dataset;
  if (dataset_) dataset_->add_data_source(this);
  notify_state();
}

void TDataSource::SetEnabled(bool enabled) {
  enabled_ = enabled;
  notify_state();
}

void TDataSource::Edit() {
  if (AutoEdit && state_ == dsBrowse) dataset_->Edit();
}

void TDataSource::notify_state() {
  set_state(enabled_ && dataset_ ? dataset_->State() : dsInactive);
}

void TDataSource::set_state(TDataSetState state) {
  if (state_ == state) return;
  state_ = state;
  notify_links(deUpdateState, 0);
  if (OnStateChange) OnStateChange(this);
}

void TDataSource::notify_links(TDataEvent event, intptr_t info) {
  if (links_.empty()) return;  // the usual case for a dataset's own sources, at every edit step
  std::vector<TDataLink*> links = links_;  // a handler may unlink
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->data_event(event, info);
}

void TDataSource::data_event(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    notify_state();
    return;
  }
  if (state_ == dsInactive) return;
  notify_links(event, info);
  switch (event) {
    case deFieldChange:
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

// ---- TDataLink ----

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == source_) return;
  if (source_) {
    auto& links = source_->links_;
    links.erase(std::remove(links.begin(), links.end(), this), links.end());
    if (TDataSet* dataset = source_->dataset_; dataset && dataset->internal_open_complete_)
      dataset->update_buffer_count();
  }
  source_ = source;
  if (source_) {
    source_->links_.push_back(this);
    if (TDataSet* dataset = source_->dataset_; dataset && dataset->internal_open_complete_)
      dataset->update_buffer_count();
  }
  update_active_state();
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

void TDataLink::SetBufferCount(int value) {
  if (value < 1 || value == buffer_count_) return;
  buffer_count_ = value;
  TDataSet* dataset = DataSet();
  if (active_ && dataset && dataset->internal_open_complete_) {
    dataset->update_buffer_count();
    update_range();
  }
}

int TDataLink::ActiveRecord() const {
  TDataSet* dataset = DataSet();
  if (!dataset || source_->State() == dsSetKey) return 0;
  return dataset->active_record_ - first_record_;
}

void TDataLink::SetActiveRecord(int value) {
  TDataSet* dataset = DataSet();
  if (dataset && source_->State() != dsSetKey) dataset->active_record_ = value + first_record_;
}

int TDataLink::RecordCount() const {
  TDataSet* dataset = DataSet();
  if (!dataset) return 0;
  if (source_->State() == dsSetKey) return 1;
  return std::min(dataset->record_count_, buffer_count_);
}

bool TDataLink::Edit() {
  if (!ReadOnly && source_) source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

int TDataLink::MoveBy(int distance) { return DataSet() ? DataSet()->MoveBy(distance) : 0; }

void TDataLink::update_range() {
  TDataSet* dataset = DataSet();
  int min = std::max(0, dataset->active_record_ - buffer_count_ + 1);
  int max = std::min(std::max(0, dataset->buffer_count_ - buffer_count_), dataset->active_record_);
  first_record_ = std::clamp(first_record_, min, std::max(min, max));
}

void TDataLink::update_active_state() {
  bool active = source_ && source_->State() != dsInactive;
  if (active != active_) {
    active_ = active;
    if (active_) update_range();
    else first_record_ = 0;
    ActiveChanged();
  }
  bool editing = active_ && IsEditState(source_->State());
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::data_event(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    update_active_state();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      // Info is how many buffers the ring shifted; the window moves by what
      // it takes to keep the active record inside it.
      int first = first_record_ + (event == deDataSetScroll ? static_cast<int>(info) : 0);
      update_range();
      if (event == deDataSetChange) DataSetChanged();
      else if (event == deLayoutChange) LayoutChanged();
      else DataSetScrolled(first_record_ - first);
      break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField*>(info)); break;
    default: break;
  }
}

// ---- TMasterDataLink ----

void TMasterDataLink::SetFieldNames(const std::string& names) {
  if (names == field_names_) return;
  field_names_ = names;
  ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
  fields_.clear();
  if (Active()) fields_ = DataSet()->GetFieldList(field_names_);
  if (!detail_->Active() || detail_->HasState(csDestroying)) return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (DataSource()->State() == dsSetKey || !detail_->Active() || fields_.empty()) return;
  if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  if (OnMasterChange) OnMasterChange(this);
}

}  // namespace kvell
