// TOracleDataSet: construction, properties, the session link, activation and
// the steps that later parts of the dataset provide.
#include "oracle/dataset/oracle_dataset.h"

#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/qbe_mode.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/ui_hooks.h"

namespace kvell {

TOracleDataSet::TOracleDataSet(TComponent* owner) : TDataSet(owner) {
  writer_ = std::make_unique<TDataSetWriter>(*this);
  dictionary_ = std::make_unique<TDataSetDictionary>(*this);
  qbe_ = std::make_unique<TDataSetQBE>(*this);
  main_query_ = CreateMainQuery();
  main_query_->SetName("MainQuery");
  internal_source_.SetDataSet(this);
}

TOracleDataSet::~TOracleDataSet() {
  BeforeDestruction();
  release_master_links();
  internal_source_.SetDataSet(nullptr);
  if (session_) session_->DetachClient(skDataSet, this);
}

std::unique_ptr<TOracleQuery> TOracleDataSet::CreateMainQuery() { return std::make_unique<TOracleQuery>(); }

// ---- properties ----

void TOracleDataSet::SetSQL(const TStringList& lines) {
  main_query_->SetSQL(lines);
  cached_updating_table_.clear();
  writer_->ForgetTableNames();
  DataEvent(dePropertyChange, 0);
  if (Active()) {
    Close();
    Open();
  }
}

void TOracleDataSet::SetSQLText(const std::string& text) {
  TStringList lines;
  lines.SetText(text);
  SetSQL(lines);
}

void TOracleDataSet::SetStringFieldsOnly(bool value) {
  main_query_->SetStringFieldsOnly(value);
  DataEvent(dePropertyChange, 0);
  if (Active()) {
    Close();
    Open();
  }
}

void TOracleDataSet::SetUnidirectional(bool value) {
  if (value == unidirectional_) return;
  CheckInactive();
  unidirectional_ = value;
}

void TOracleDataSet::SetUpdatingTable(const std::string& value) {
  updating_table_ = value;
  cached_updating_table_.clear();
  writer_->ForgetTableNames();
}

void TOracleDataSet::SetQBEMode(bool value) {
  if (value == qbe_mode_) return;
  if (!Active()) {
    qbe_mode_ = value;
  } else if (value) {
    qbe_->Enter();
  } else {
    qbe_->Cancel(false);
  }
}

void TOracleDataSet::ApplyQBE() {
  if (!qbe_mode_) return;
  qbe_->StoreValues();
  qbe_->BuildWhereClause();
  qbe_->Leave(false);
  Refresh();
  if (AfterQBE) AfterQBE(this);
}

bool TOracleDataSet::Detached() const {
  return Active() && (session_ == nullptr || !session_->Connected());
}

void TOracleDataSet::NotAvailableYet(const std::string& operation) const {
  DatabaseError(dataset_messages::NotAvailableYet(operation));
}

// ---- session and activation ----

void TOracleDataSet::SetSession(TOracleSession* session) {
  if (session == session_) return;
  const bool stays_detached = session == nullptr && Detachable;
  if (Active() && !stays_detached) Close();
  if (session_) session_->DetachClient(skDataSet, this);
  session_ = session;
  if (session_) session_->AttachClient(skDataSet, this);
  main_query_->SetSession(session);
  if (cursor_query_) cursor_query_->SetSession(session);
  if (Detached()) DataEvent(deDataSetChange, 0);
  if (remembered_active_ && session_ && !HasState(csLoading)) SetActive(true);
}

void TOracleDataSet::SetActive(bool value) {
  if (HasState(csReading) || HasState(csLoading)) {
    if (DesignActivation && !HasState(csDesigning)) return;
    remembered_active_ = value;
    return;
  }
  if (value && !session_ && HasState(csDesigning)) {
    remembered_active_ = true;
    return;
  }
  // A remembered activation waits for a connected session at run time.
  if (value && remembered_active_ && !HasState(csDesigning) && (!session_ || !session_->Connected())) return;
  remembered_active_ = false;
  TDataSet::SetActive(value);
  if (value && qbe_mode_ && Active() && State() == dsBrowse) {
    qbe_mode_ = false;
    qbe_->Enter();
  }
}

void TOracleDataSet::Loaded() {
  TDataSet::Loaded();
  if (!remembered_active_) return;
  if (!session_) return;  // applied when a session is set
  try {
    SetActive(true);
  } catch (...) {
    if (!HasState(csDesigning)) throw;
    HandleApplicationException(this);
  }
}

void TOracleDataSet::SessionLoggingOff() {
  if (!Detachable) Close();
}

void TOracleDataSet::SessionLoggedOff() {
  if (Active()) DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::SessionDestroyed() {
  session_ = nullptr;
  if (cursor_query_) cursor_query_->SessionDestroyed();
  if (Active() && Detachable) DataEvent(deDataSetChange, 0);
}

void TOracleDataSet::ReopenForPreferences() {
  if (!Active()) {
    FieldDefs().Updated = false;
    return;
  }
  Close();
  Open();
}

// ---- modification and the steps of later parts ----

bool TOracleDataSet::GetCanModify() const {
  if (QBEMode()) return true;
  if (!Active() || Detached() || ReadOnly) return false;
  if (rowid_column_ < 0 && !OnApplyRecord) return false;
  return master_ == nullptr || (master_->Active() && !master_->IsEmpty() && !master_->QBEMode());
}

// A detail's edit waits while its master posts an insert: the master's row
// must exist first.
void TOracleDataSet::Post() {
  if (master_ && master_->posting_ && master_->State() == dsInsert) return;
  if (QBEMode()) DatabaseError(dataset_messages::NotInQBEMode);
  const bool was_posting = posting_;
  posting_ = true;
  try {
    TDataSet::Post();
  } catch (...) {
    posting_ = was_posting;
    throw;
  }
  posting_ = was_posting;
}

bool TOracleDataSet::FireApplyRecord(char action, std::string& rowid) {
  bool applied = false;
  if (OnApplyRecord) OnApplyRecord(this, action, applied, rowid);
  return applied;
}


std::string TOracleDataSet::TranslateMessage(char action, int code, const std::string& text) {
  return dictionary_->TranslateMessage(action, code, text);
}

TOracleTableInfo& TOracleDataSet::TableInfo() { return dictionary_->TableInfo(); }

std::vector<std::string> TOracleDataSet::DictionaryKeyColumns(bool require_fields) {
  return dictionary_->KeyColumns(require_fields);
}

TUpdateStatus TOracleDataSet::UpdateStatus() const {
  if (IsEmpty()) return usUnmodified;
  if (State() == dsInsert) return usInserted;
  if (CachedUpdates()) {
    const uint8_t* stored = StoredRecordOf(ActiveBuffer());
    const TChangeLogItem* entry = stored ? change_log_.FindPlaced(Header(stored).RecordId) : nullptr;
    if (!entry) return usUnmodified;
    return entry->Action == 'I' ? usInserted : entry->Action == 'D' ? usDeleted : usModified;
  }
  return State() == dsEdit ? usModified : usUnmodified;
}

void TOracleDataSet::SetBlockReadSize(int value) { TDataSet::SetBlockReadSize(value > 0 ? -1 : value); }

void TOracleDataSet::InternalHandleException() { HandleApplicationException(this); }

}  // namespace kvell
