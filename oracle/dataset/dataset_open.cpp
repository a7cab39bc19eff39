// TOracleDataSet: opening - field definitions from the query's describe data,
// the record layout, executing the query - and closing and refreshing.
#include <algorithm>

#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/qbe_mode.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/ansi_case.h"

namespace kvell {
namespace {

constexpr int kCursorVariableType = 116;

// Clears a mark when the scope ends, however it ends.
class MarkScope {
 public:
  explicit MarkScope(bool& mark) : mark_(mark) { mark_ = true; }
  ~MarkScope() { mark_ = false; }
  MarkScope(const MarkScope&) = delete;
  MarkScope& operator=(const MarkScope&) = delete;

 private:
  bool& mark_;
};

bool is_character_column(int internal_type) { return internal_type == 1 || internal_type == 96; }

}  // namespace

// ---- opening ----

void TOracleDataSet::InternalOpen() {
  MarkScope opening(opening_);
  current_ = -1;
  SetBookmarkSize(sizeof(int32_t));
  compression_totals_ = {};
  try {
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    if (DefaultFields()) dictionary_->ApplyFieldSettings();
    QBEDefinition.Refresh(FieldDefs());
    bind_descriptors();
    if (CachedUpdates() && !HasState(csDesigning) && rowid_column_ < 0)
      throw Exception(dataset_messages::CachedUpdatesRequireRowId);
    compute_layout();
    create_store();
    writer_->Opened();
    parse_filter();
    if (!QBEMode()) ExecuteQuery();
  } catch (...) {
    fire_after_query();
    throw;
  }
}

void TOracleDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  set_detail_variables();
  const bool executing = opening_ && !QBEMode() && !waits_for_master();
  if (executing) fire_before_query();
  choose_fetch_query(executing);
  find_rowid_column();
  describe_columns();
  add_field_definitions();
  field_infos_.LinkObjectAttributes();
  if (Active()) compute_layout();
  else QBEDefinition.Refresh(FieldDefs());
}

void TOracleDataSet::fire_before_query() {
  before_query_fired_ = true;
  if (BeforeQuery) BeforeQuery(this);
}

void TOracleDataSet::fire_after_query() {
  if (!before_query_fired_) return;
  before_query_fired_ = false;
  if (AfterQuery) AfterQuery(this);
}

void TOracleDataSet::ensure_cursor_query(const std::string& variable) {
  if (!cursor_query_) {
    cursor_query_ = std::make_unique<TOracleQuery>();
    cursor_query_->SetName("CursorQuery");
  }
  cursor_query_->SetSession(session_);
  cursor_query_->SetReadBuffer(main_query_->ReadBuffer());
  cursor_query_->Optimize = main_query_->Optimize;
  cursor_query_->Cursor = main_query_->Cursor;
  cursor_query_->SetStringFieldsOnly(main_query_->StringFieldsOnly());
  cursor_variable_ = variable;
  main_query_->SetComplexVariable(variable, cursor_query_.get());
}

// The query rows come from, executed once for describing and fetching when
// the dataset opens, else only described.
void TOracleDataSet::choose_fetch_query(bool executing) {
  if (!session_) DatabaseError(dataset_messages::SessionUndefined);
  executed_for_describe_ = false;
  if (external_fetch_query_) {
    fetch_query_ = external_fetch_query_;
  } else {
    fetch_query_ = main_query_.get();
    for (int i = 0; i < main_query_->VariableCount(); ++i) {
      if (main_query_->VariableType(i) != kCursorVariableType) continue;
      ensure_cursor_query(main_query_->VariableName(i));
      fetch_query_ = cursor_query_.get();
      break;
    }
  }
  if (fetch_query_ == cursor_query_.get() && fetch_query_ != nullptr) {
    main_query_->Execute();
    fetch_query_->Execute();
    executed_for_describe_ = true;
    return;
  }
  if (executing) {
    fetch_query_->Execute();
    executed_for_describe_ = true;
  } else {
    fetch_query_->Describe();
  }
}

void TOracleDataSet::find_rowid_column() {
  rowid_column_ = fetch_query_->FieldIndex("ROWID");
  if (rowid_column_ >= 0) return;
  for (int i = 0; i < fetch_query_->ColumnCount(); ++i) {
    const int type = fetch_query_->FieldInternalType(i);
    if (type == 11 || type == 104) {
      rowid_column_ = i;
      return;
    }
  }
}

void TOracleDataSet::describe_columns() {
  field_infos_.Reset();
  fill_planned_ = false;
  for (int i = 0; i < fetch_query_->ColumnCount(); ++i) {
    if (i == rowid_column_) continue;
    const TFieldData& column = fetch_query_->Column(i);
    TOracleFieldInfo& info = field_infos_.Add(column.Name);
    info.ColumnName = column.Name;
    info.OracleType = fetch_query_->FieldType(i);
    info.TypeName = column.TypeName;
    info.IsXML = AnsiSameText(column.TypeName, "SYS.XMLTYPE");
    info.Size = is_character_column(column.InternalType) ? column.DataSize : fetch_query_->FieldSize(i);
    info.Scale = column.Scale;
    info.Precision = column.Precision;
    info.NotNull = !column.Nullable;
    info.ColumnIndex = i;
    if (info.OracleType == 108 && !info.IsXML) describe_object_column(i, info);
  }
}

// Object columns are expanded into one descriptor per attribute, unless the
// type is a collection.
void TOracleDataSet::describe_object_column(int column, const TOracleFieldInfo& parent_info) {
  const std::string parent_name = parent_info.FieldName;
  TOracleObject object(session_, parent_info.TypeName);
  if (object.IsCollection()) {
    field_infos_.Find(parent_name)->ObjectIsCollection = true;
    return;
  }
  for (int a = 0; a < object.AttributeCount(); ++a) {
    const TObjectAttribute& attribute = object.Attribute(a);
    TOracleFieldInfo& info = field_infos_.Add(parent_name + "." + attribute.Name);
    info.Kind = fiAttribute;
    info.ColumnName = parent_info.ColumnName;
    info.AttributeName = attribute.Name;
    info.OracleType = attribute.DataType;
    info.TypeName = attribute.TypeName;
    info.IsXML = AnsiSameText(attribute.TypeName, "SYS.XMLTYPE");
    info.Size = attribute.DataSize;
    info.Scale = attribute.Scale;
    info.Precision = attribute.Precision;
    info.ColumnIndex = column;
    info.AttributeIndex = a;
  }
}

void TOracleDataSet::add_field_definitions() {
  const TSessionPreferences& preferences = session_->Preferences();
  for (int i = 1; i < field_infos_.Count(); ++i) {
    const TOracleFieldInfo& info = field_infos_[i];
    // Attributes of embedded objects are reached through their own descriptors only.
    if (info.Kind == fiAttribute && (info.AttributeName.find('.') != std::string::npos ||
                                     (info.OracleType == 108 && !info.IsXML)))
      continue;
    int size = 0;
    const TFieldType type =
        FieldTypeOfColumn(info, preferences.SmallIntPrecision(), preferences.MaxStringFieldSize(), size);
    if (type == ftUnknown) continue;
    TFieldDef& def = FieldDefs().Add(info.FieldName, type, size, OracleDictionary.RequiredFields() && info.NotNull);
    def.FieldNo = i;
  }
}

void TOracleDataSet::bind_descriptors() {
  for (int i = 1; i < field_infos_.Count(); ++i) {
    TOracleFieldInfo& info = field_infos_[i];
    info.Field = nullptr;
    for (TField* field : Fields()) {
      if (field->FieldNo() == i) {
        info.Field = field;
        break;
      }
    }
    if (info.Field) {
      info.ReadOnly = info.Field->ReadOnly;
      info.Required = info.Field->Required;
    } else if (info.Kind == fiColumn) {
      info.Kind = fiColumnWithoutField;
    }
  }
}

// Slots of the data fields in field order; blob fields keep their null
// byte here and their bytes in the record's blob list.
void TOracleDataSet::compute_layout() {
  fill_planned_ = false;
  int offset = 0;
  blob_count_ = 0;
  for (int i = 0; i < field_infos_.Count(); ++i) {
    field_infos_[i].DataOffset = -1;
    field_infos_[i].BlobIndex = -1;
  }
  for (TField* field : Fields()) {
    if (field->FieldNo() <= 0 || field->FieldNo() >= field_infos_.Count()) continue;
    TOracleFieldInfo& info = field_infos_[field->FieldNo()];
    info.DataOffset = offset;
    info.DataSize = field->DataSize();
    offset += info.DataSize + 1;
    if (field->IsBlob()) info.BlobIndex = blob_count_++;
  }
  data_size_ = offset;
  record_size_ = kRecordHeaderSize + data_size_ + CalcFieldsSize();
}

void TOracleDataSet::create_store() {
  store_ = std::make_unique<TRecordDataList>(record_size_, ReadBuffer(), unidirectional_,
                                             [this](int number) { report_below_offset(number); });
}

// ---- executing ----

void TOracleDataSet::ReleaseRecords() {
  if (store_) store_->Clear();
  last_record_id_ = 0;
  current_ = -1;
}

void TOracleDataSet::ExecuteQuery() {
  // A detached dataset cannot read its rows again, so it keeps them.
  if (Detached() && !opening_) return;
  ReleaseRecords();
  fill_planned_ = false;
  change_log_.ResetPlaced();
  forget_server_count();
  if (waits_for_master()) {
    stay_empty_for_master();
    return;
  }
  mark_details_stale();
  set_detail_variables();
  if (!opening_) fire_before_query();
  try {
    if (!opening_) {
      if (fetch_query_ == cursor_query_.get() && fetch_query_ != nullptr) main_query_->Execute();
      fetch_query_->Execute();
    } else if (!executed_for_describe_) {
      fetch_query_->Execute();
    }
    executed_for_describe_ = false;
    master_record_seen_ = master_record_id();
    rows_exhausted_ = fetch_query_->Eof();
    fetch_exhausted_ = rows_exhausted_ && !(CachedUpdates() && change_log_.HasUnplacedInserts());
    first_fetched_row_pending_ = true;
    if (QueryAllRecords && !unidirectional_) fetch_all_under_wait_cursor();
  } catch (...) {
    fire_after_query();
    throw;
  }
  fire_after_query();
}

void TOracleDataSet::fetch_all_under_wait_cursor() {
  if (fetch_exhausted_) return;
  WaitCursor busy(Cursor());
  FetchAll();
}

// ---- closing and refreshing ----

void TOracleDataSet::InternalClose() {
  qbe_->Closing();
  cached_updating_table_.clear();
  writer_->Closing();
  store_.reset();
  if (DefaultFields()) DestroyFields();
  BindFields(false);
  for (int i = 0; i < field_infos_.Count(); ++i) field_infos_[i].Field = nullptr;
  last_record_id_ = 0;
  current_ = -1;
  filter_expression_.reset();
  free_secondary_queries();
  change_log_.Clear();
  free_provider_lobs();
  master_record_seen_.reset();
  for (TOracleDataSet* detail : details_) detail->follow_master();
}

void TOracleDataSet::free_secondary_queries() {
  try {
    if (cursor_query_ && main_query_->VariableIndex(cursor_variable_) >= 0)
      main_query_->SetComplexVariable(cursor_variable_, nullptr);
  } catch (...) {
    // freeing what the dataset owns never fails the close
  }
  try {
    cursor_query_.reset();
  } catch (...) {
  }
  fetch_query_ = main_query_.get();
}

void TOracleDataSet::InternalRefresh() {
  refuse_refresh_over_cached_details();
  if (QBEMode()) DatabaseError(dataset_messages::NotInQBEMode);
  post_editing_details();
  ExecuteQuery();
  current_ = -1;
}

}  // namespace kvell
