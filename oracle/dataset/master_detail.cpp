// TOracleDataSet: master/detail. A detail registers with its master, takes
// its variables from the master's current record and re-queries when the
// master moves to another record; the master posts pending detail edits
// before it scrolls.
#include <algorithm>

#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/oracle_dataset.h"

namespace kvell {
namespace {

constexpr int kFixedCharType = 96;
constexpr int kZeroTerminatedCharType = 97;

}  // namespace

void TOracleDataSet::SetMaster(TOracleDataSet* master) {
  if (master == master_) return;
  for (const TOracleDataSet* link = master; link; link = link->master_)
    if (link == this) throw Exception(dataset_messages::CircularMasterDetail);
  Close();
  if (master_) master_->unregister_detail(this);
  master_ = master;
  if (master_) master_->details_.push_back(this);
  master_link_.SetDataSource(master_ ? &master_->internal_source_ : nullptr);
  if (master_ && HasState(csDesigning) && !HasState(csLoading)) configure_master_detail();
}

void TOracleDataSet::unregister_detail(TOracleDataSet* detail) {
  details_.erase(std::remove(details_.begin(), details_.end(), detail), details_.end());
}

// Neither side of a link outlives the other's pointer to it.
void TOracleDataSet::release_master_links() {
  for (TOracleDataSet* detail : details_) {
    detail->master_ = nullptr;
    detail->master_link_.SetDataSource(nullptr);
  }
  details_.clear();
  if (master_) master_->unregister_detail(this);
  master_ = nullptr;
  master_link_.SetDataSource(nullptr);
}

// ---- the detail's side ----

int32_t TOracleDataSet::current_record_id() const {
  if (!Active() || IsEmpty() || (State() != dsBrowse && State() != dsEdit)) return -1;
  return Header(ActiveBuffer()).RecordId;
}

int32_t TOracleDataSet::master_record_id() const { return master_ ? master_->current_record_id() : -1; }

bool TOracleDataSet::waits_for_master() const {
  return master_ && (!master_->Active() || master_->IsEmpty() || master_->State() == dsInsert || master_->QBEMode());
}

void TOracleDataSet::set_detail_variables() {
  if (!master_) return;
  const std::vector<std::string> master_names = SplitFieldNames(MasterFields);
  const std::vector<std::string> detail_names = SplitFieldNames(DetailFields);
  for (size_t i = 0; i < master_names.size(); ++i) {
    const std::string& variable = detail_names.empty() ? master_names[i]
                                  : i < detail_names.size() ? detail_names[i]
                                                            : master_names[i];
    const int index = VariableIndex(variable);
    const int type = index >= 0 ? VariableType(index) : 0;
    SetVariable(variable, master_->detail_value(master_names[i], type));
  }
}

// A master field's value for a detail variable of `variable_type`. A fixed
// character column keeps its blanks for a variable that would compare it
// as such.
Variant TOracleDataSet::detail_value(const std::string& field_name, int variable_type) const {
  TField* field = FindField(field_name);
  if (!Active() || !field) return Null();
  Variant value = field->AsVariant();
  if (field->FieldNo() <= 0 || !value.IsString() || variable_type == kZeroTerminatedCharType) return value;
  const TOracleFieldInfo& info = field_infos_[field->FieldNo()];
  if (info.Kind != fiColumn || !fetch_query_ || fetch_query_->FieldInternalType(info.ColumnIndex) != kFixedCharType)
    return value;
  std::string text = value.AsString();
  if (static_cast<int>(text.size()) < info.Size) text.resize(static_cast<size_t>(info.Size), ' ');
  return Variant(std::move(text));
}

void TOracleDataSet::stay_empty_for_master() {
  master_record_seen_ = master_record_id();
  set_detail_variables();
  fetch_exhausted_ = true;
  first_fetched_row_pending_ = false;
}

// Re-queries when the master stands on another record than the rows were
// read for; an empty detail is emptied again only when that changed too.
void TOracleDataSet::follow_master() {
  if (!Active()) fetch_exhausted_ = true;
  if (!Active() || !master_) return;
  if (master_record_seen_ && *master_record_seen_ == master_record_id()) return;
  ExecuteQuery();
  First();
}

// ---- the master's side ----

void TOracleDataSet::mark_details_stale() {
  if (details_.empty()) return;
  for (TOracleDataSet* detail : details_) detail->master_record_seen_.reset();
  details_stale_ = true;
}

void TOracleDataSet::refresh_details() {
  if (posting_ && State() == dsInsert) return;
  details_stale_ = false;
  // A detail may leave the list while it re-queries.
  const std::vector<TOracleDataSet*> details = details_;
  for (TOracleDataSet* detail : details) detail->follow_master();
}

void TOracleDataSet::update_detail_variables() {
  for (TOracleDataSet* detail : details_)
    if (detail->Active()) detail->set_detail_variables();
}

void TOracleDataSet::post_editing_details() {
  for (TOracleDataSet* detail : details_) {
    if (detail->Active() && IsEditState(detail->State())) detail->Post();
    detail->post_editing_details();
  }
}

// The master/detail notification around inserts: the details follow the
// master's new state (they stay empty while it inserts).
void TOracleDataSet::notify_details() {
  if (details_.empty() || QBEMode() || HasState(csDesigning) || Detached()) return;
  refresh_details();
}

// A posted insert is counted, and the details keep what they hold: it belongs
// to the new record (the last RecordId given).
void TOracleDataSet::posted_insert() {
  if (!CachedUpdates()) ++posted_inserts_;
  for (TOracleDataSet* detail : details_) detail->master_record_seen_ = last_record_id_;
}

void TOracleDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deFieldListChange && HasState(csDesigning) && !HasState(csLoading) && State() == dsInactive)
    dictionary_->ApplyFieldSettings();
  if (!details_.empty() &&
      (event == deDataSetChange || event == deDataSetScroll || (event == deUpdateState && details_stale_)))
    refresh_details();
  TDataSet::DataEvent(event, info);
}

void TOracleDataSet::DoBeforeScroll() {
  post_editing_details();
  TDataSet::DoBeforeScroll();
}

void TOracleDataSet::DoBeforeInsert() {
  if (QBEMode()) return;
  TDataSet::DoBeforeInsert();
  notify_details();
}

void TOracleDataSet::DoAfterInsert() {
  if (QBEMode()) return;
  TDataSet::DoAfterInsert();
  notify_details();
}

}  // namespace kvell
