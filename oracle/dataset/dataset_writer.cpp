// TDataSetWriter: the statement query and its rules, savepoints and commits,
// error translation, the table names, and the values and texts of the
// generated statements.
#include "oracle/dataset/dataset_writer.h"

#include <algorithm>
#include <cstring>

#include "oracle/binding/entry_tables.h"
#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"
#include "oracle/dataset/table_name_scan.h"
#include "oracle/dataset/value_compare.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/sql_scan.h"
#include "runtime/ansi_case.h"
#include "runtime/text_trim.h"

namespace kvell {

namespace {

// The type a column's new value is bound with. Timestamps keep their
// fractions where the session can bind them; a DATE would drop them.
int bind_type(const TOracleFieldInfo& info, bool timestamps) {
  switch (info.OracleType) {
    case 3:
    case 4:
    case 8:
    case 24:
    case 112:
    case 113:
    case 114: return info.IsXML ? 5 : info.OracleType;
    case 187:
    case 188:
    case 232: return timestamps ? info.OracleType : 12;
    case 12: return 12;
    default: return 5;
  }
}

std::vector<std::string> split_names(const std::string& names) {
  std::vector<std::string> result;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    std::string name = names.substr(start, end - start);
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (!name.empty()) result.push_back(name);
    start = end + 1;
  }
  return result;
}

}  // namespace

TDataSetWriter::TDataSetWriter(TOracleDataSet& dataset) : dataset_(dataset) {}

TDataSetWriter::~TDataSetWriter() = default;

// ---- the statement query ----

void TDataSetWriter::configure(TOracleQuery& query, bool string_fields_only) const {
  // Set before every statement, changed seldom: the setters are called only for a change.
  if (query.Session() != dataset_.Session()) query.SetSession(dataset_.Session());
  query.Cursor = dataset_.Cursor();
  query.Optimize = dataset_.Optimize();
  query.Debug = dataset_.Debug();
  query.SetReadBuffer(2);
  if (query.StringFieldsOnly() != string_fields_only) query.SetStringFieldsOnly(string_fields_only);
}

TOracleQuery& TDataSetWriter::execute(std::string_view text, const StatementBinds& binds, bool string_fields_only,
                                      bool remember) {
  TOracleQuery& query = statement_queries_.Bind(text, binds, remember);
  configure(query, string_fields_only);
  ++statements_sent_;
  try {
    query.Execute();
  } catch (...) {
    TStatementQueries::Reparse(query);
    throw;
  }
  return query;
}

TOracleQuery& TDataSetWriter::run(const std::string& text, const StatementBinds& binds, bool string_fields_only) {
  return execute(text, binds, string_fields_only, true);
}

void TDataSetWriter::close_by_rule(TOracleQuery& query) const {
  TOracleSession* session = dataset_.Session();
  if (!query.Optimize || !session || session->StatementCacheInUse()) query.CloseCursor();
}

TOracleQuery& TDataSetWriter::RunDictionary(const std::string& text, const StatementBinds& binds, bool debug) {
  TOracleQuery& query = statement_queries_.Bind(text, binds, false);
  configure(query, false);
  query.Debug = debug;
  try {
    query.Execute();
  } catch (...) {
    TStatementQueries::Reparse(query);
    throw;
  }
  return query;
}

void TDataSetWriter::close_query_by_rule() {
  if (TOracleQuery* query = statement_queries_.Last()) close_by_rule(*query);
}

// The savepoint statements are kept prepared like the generated ones but do
// not count as the last generated statement.
void TDataSetWriter::execute_internal(const char* statement) {
  close_by_rule(execute(statement, StatementBinds(), false, false));
}

// ---- savepoint and commit ----

bool TDataSetWriter::logging() const { return applying_ || dataset_.LogsChanges(); }

bool TDataSetWriter::savepoints_allowed() const {
  TOracleSession* session = dataset_.Session();
  return session && !session->ODBCBridge() && !session->AutoCommitMode();
}

void TDataSetWriter::set_savepoint() {
  if (!logging()) set_savepoint_now();
}

void TDataSetWriter::set_savepoint_now() {
  if (savepoints_allowed()) execute_internal(dml_text::Savepoint);
}

void TDataSetWriter::rollback_to_savepoint() {
  if (!logging()) rollback_to_savepoint_now();
}

void TDataSetWriter::rollback_to_savepoint_now() {
  if (savepoints_allowed()) {
    execute_internal(dml_text::RollbackToSavepoint);
  } else if (dataset_.CommitOnPost && dataset_.Session()) {
    dataset_.Session()->Rollback();
  }
}

void TDataSetWriter::rollback_to_savepoint_quietly() {
  try {
    rollback_to_savepoint();
  } catch (...) {
    // the failure being reported matters more than this one
  }
}

void TDataSetWriter::commit() {
  if (!logging()) commit_now();
}

void TDataSetWriter::commit_now() {
  TOracleSession* session = dataset_.Session();
  if (!session || !dataset_.CommitOnPost || session->InMTSTransaction() || session->AutoCommitMode()) return;
  ++statements_sent_;
  session->Commit();
}

void TDataSetWriter::rollback_for_cancel() {
  TOracleSession* session = dataset_.Session();
  if (!session || logging() || !dataset_.CommitOnPost || session->InMTSTransaction()) return;
  ++statements_sent_;
  session->Rollback();
}

// ---- errors ----

void TDataSetWriter::raise_translated(int code, const std::string& text, char action) const {
  DatabaseError(dataset_.TranslateMessage(action, code, text));
}

void TDataSetWriter::raise_translated(const EOracleError& error, char action) const {
  raise_translated(error.ErrorCode, error.Message, action);
}

void TDataSetWriter::raise_without_rowid(const char* action_name) const {
  throw Exception(std::string(action_name) + dml_messages::NoRowIdTail);
}

// ---- table names ----

const std::string& TDataSetWriter::find_table_names() {
  if (!IsBlank(dataset_.UpdatingTable())) {
    updating_table_ = NormalizeTableName(dataset_.UpdatingTable());
  } else if (dataset_.FetchesFromCursor()) {
    throw Exception(dml_messages::CursorDataSetNeedsTable);
  } else {
    updating_table_ = ScanUpdatingTableName(dataset_.SQL().Text());
  }
  select_table_ = ScanSelectTableName(dataset_.SQL().Text(), updating_table_);
  table_names_known_ = true;
  return updating_table_;
}

std::string TDataSetWriter::SelectTableName() {
  UpdatingTableName();
  return select_table_;
}

void TDataSetWriter::ForgetTableNames() {
  table_names_known_ = false;
  collection_block_.reset();
}

// ---- values ----

Variant TDataSetWriter::record_value(const uint8_t* record, const TOracleFieldInfo& info) const {
  if (!info.Field) return Null();
  if (!info.Field->IsBlob()) return SlotValue(record, info);
  const TBlobList* blobs = Header(record).Blobs;
  return BlobValue(blobs ? blobs->Find(info.BlobIndex) : nullptr, info);
}

// The value being posted: the edit buffer's, or a blob's working copy when
// the field was written in this edit.
Variant TDataSetWriter::edit_value(const TOracleFieldInfo& info) const {
  if (post_source_) return record_value(post_source_, info);
  TRecordBuffer buffer = dataset_.ActiveBuffer();
  if (!info.Field->IsBlob()) return SlotValue(buffer, info);
  if (static_cast<TBlobField*>(info.Field)->Modified)
    return BlobValue(edit_blobs_ ? edit_blobs_->Find(info.BlobIndex) : nullptr, info);
  const uint8_t* stored = dataset_.StoredRecordOf(buffer);
  return stored ? record_value(stored, info) : Null();
}

bool TDataSetWriter::is_posted_column(const TOracleFieldInfo& info) const {
  return info.Field && info.DataOffset >= 0 && info.Field->FieldKind() == fkData && !info.ReadOnly &&
         (info.Kind == fiColumn || info.Kind == fiAttribute);
}

bool TDataSetWriter::column_changed(const uint8_t* stored, const TOracleFieldInfo& info) const {
  if (info.Field->IsBlob())
    return post_source_ ? blob_changed(stored, info) : static_cast<TBlobField*>(info.Field)->Modified;
  // Most fields of an edit are untouched: identical slots need no values made to compare.
  const uint8_t* edited = post_source_ ? post_source_ : static_cast<const uint8_t*>(dataset_.ActiveBuffer());
  if (SlotsIdentical(stored, edited, info)) return false;
  TOracleSession* session = dataset_.Session();
  const bool trim = session && session->Preferences().TrimStringFields;
  return FieldValueChanged(info.Field->DataType(), record_value(stored, info), edit_value(info), trim);
}

bool TDataSetWriter::timestamps_bindable() const {
  const TOracleSession* session = dataset_.Session();
  return session && session->OCI8Mode() && OCI9Available;
}

bool TDataSetWriter::has_object_columns() const {
  const TOracleFieldInfoList& infos = dataset_.field_infos_;
  for (int i = 1; i < infos.Count(); ++i)
    if (infos[i].OracleType == 108 && infos[i].Kind != fiAttribute) return true;
  return false;
}

// ---- statements ----

ColumnValue TDataSetWriter::column_expression(const TOracleFieldInfo& info, const Variant& value, bool inserting,
                                              const std::string& variable) const {
  const bool is_null = FieldValueIsNull(info.Field->DataType(), value);
  // The usual column: bound as it is, whatever the session and the field's server-side values.
  if (!is_null && BindsValueVariable(info.OracleType, info.IsXML)) return {":" + variable, ValueBinding::Value, false};
  const TOracleSession* session = dataset_.Session();
  ColumnValueInput input;
  input.TypeCode = info.OracleType;
  input.Xml = info.IsXML;
  input.IsNull = is_null;
  input.Insert = inserting;
  input.Variable = variable;
  input.DefaultExpression = info.Field->DefaultExpression;
  const TSequenceField& sequence = dataset_.SequenceField;
  if (sequence.InUse() && sequence.ApplyMoment == amOnServer && AnsiSameText(sequence.Field, info.FieldName))
    input.ServerSequence = sequence.Sequence;
  if (session) {
    input.NullLOBIsEmpty = session->Preferences().NullLOBIsEmpty;
    input.NullObjectIsEmpty = session->Preferences().NullObjectIsEmpty;
    input.TemporaryLOBs = session->Preferences().TemporaryLOB != tlNone && session->OCI8Mode() && OCI81Available;
  }
  return ColumnValueExpression(input);
}

namespace {

// An object column whose attributes are fields of their own.
bool is_attribute_object(const TOracleFieldInfo& info) {
  return info.OracleType == 108 && !info.IsXML && !info.ObjectIsCollection &&
         (info.Kind == fiColumn || info.Kind == fiColumnWithoutField) && !info.Children.empty();
}

}  // namespace

// Attributes cannot be assigned one by one into a null object, nor listed in
// an insert: such an object is written through its constructor.
bool TDataSetWriter::written_whole(const TOracleFieldInfo& object, bool inserting, const uint8_t* stored) const {
  if (inserting) return true;
  for (const TOracleFieldInfo* attribute : object.Children) {
    if (!attribute->Field || attribute->DataOffset < 0) continue;
    if (!FieldValueIsNull(attribute->Field->DataType(), record_value(stored, *attribute))) return false;
  }
  return true;
}

std::optional<TDataSetWriter::PostedColumn> TDataSetWriter::object_column(const TOracleFieldInfo& object,
                                                                          bool inserting,
                                                                          const uint8_t* stored) const {
  if (!written_whole(object, inserting, stored)) return std::nullopt;
  const TOracleSession* session = dataset_.Session();
  ColumnValueInput input;
  input.TypeCode = 108;
  input.Insert = inserting;
  input.ObjectTypeName = object.TypeName;
  if (session) {
    input.NullLOBIsEmpty = session->Preferences().NullLOBIsEmpty;
    input.NullObjectIsEmpty = session->Preferences().NullObjectIsEmpty;
  }
  PostedColumn column{&object, Null(), {}, {}, {}};
  bool changed = inserting, any_value = false;
  for (const TOracleFieldInfo* attribute : object.Children) {
    ColumnValueInput empty;
    empty.TypeCode = attribute->OracleType;
    empty.Xml = attribute->IsXML;
    empty.NullLOBIsEmpty = input.NullLOBIsEmpty;
    const std::string null_value = ColumnValueExpression(empty).Expression;
    input.AttributeNullValues.push_back(null_value);
    if (!attribute->Field || attribute->DataOffset < 0 || attribute->Field->FieldKind() != fkData) {
      input.AttributeValues.push_back(null_value);
      continue;
    }
    Variant value = edit_value(*attribute);
    if (!inserting && column_changed(stored, *attribute)) changed = true;
    if (!FieldValueIsNull(attribute->Field->DataType(), value)) any_value = true;
    std::string variable = ValueVariableName(attribute->Field->FieldNo());
    ColumnValue expression = column_expression(*attribute, value, false, variable);
    input.AttributeValues.push_back(expression.Expression);
    column.Attributes.push_back({attribute, std::move(value), std::move(expression), std::move(variable), {}});
  }
  if (!changed) return std::nullopt;
  input.IsNull = !any_value;
  column.Expression = ColumnValueExpression(input);
  if (!any_value) column.Attributes.clear();
  if (inserting && !any_value && !column.Expression.ServerSide) return std::nullopt;
  return column;
}

void TDataSetWriter::posted_columns(bool inserting, const uint8_t* stored, std::vector<PostedColumn>& columns) const {
  columns.clear();
  const TOracleFieldInfoList& infos = dataset_.field_infos_;
  for (int i = 1; i < infos.Count(); ++i) {
    const TOracleFieldInfo& info = infos[i];
    if (is_attribute_object(info)) {
      if (std::optional<PostedColumn> object = object_column(info, inserting, stored)) columns.push_back(std::move(*object));
      continue;
    }
    if (!is_posted_column(info)) continue;
    if (info.Kind == fiAttribute && info.Parent && is_attribute_object(*info.Parent) &&
        written_whole(*info.Parent, inserting, stored))
      continue;
    if (!inserting && !column_changed(stored, info)) continue;
    Variant value = edit_value(info);
    std::string variable = ValueVariableName(info.Field->FieldNo());
    ColumnValue expression = column_expression(info, value, inserting, variable);
    const bool is_null = FieldValueIsNull(info.Field->DataType(), value);
    if (inserting && is_null && !expression.ServerSide) continue;
    columns.push_back({&info, std::move(value), std::move(expression), std::move(variable), {}});
  }
}

std::vector<KeyTerm> TDataSetWriter::key_terms(const uint8_t* record, bool for_lookup) const {
  std::vector<KeyTerm> terms;
  for (const std::string& name : for_lookup ? key_fields_ : split_names(dataset_.UniqueFields)) {
    const TOracleFieldInfo* info = const_cast<TOracleFieldInfoList&>(dataset_.field_infos_).Find(name);
    if (!info || !info->Field) {
      if (for_lookup) break;
      continue;
    }
    terms.push_back({info->FieldName, FieldValueIsNull(info->Field->DataType(), record_value(record, *info))});
  }
  return terms;
}

const std::string& TDataSetWriter::where_clause(StatementBinds& binds, const uint8_t* record) {
  if (IsBlank(dataset_.UniqueFields)) {
    static const std::string by_rowid = dml_text::RowIdWhereClause;
    binds.SetText(binds.Declare(dml_text::RowIdVariable, 5), RecordRowId(record));
    return by_rowid;
  }
  const std::vector<KeyTerm> terms = key_terms(record, false);
  if (terms.empty()) DatabaseError(dml_messages::NoUniqueFields);
  int number = 0;
  for (const KeyTerm& term : terms) {
    if (term.IsNull) continue;
    const TOracleFieldInfo& info = *dataset_.field_infos_.Find(term.FieldName);
    const std::string variable = KeyVariableName(++number);
    binds.Set(binds.Declare(variable, bind_type(info, timestamps_bindable())), record_value(record, info));
  }
  key_where_ = KeyWhereClause(terms);
  return key_where_;
}

// Variables of the dataset that the statement text names (a table
// expression's own binds).
void TDataSetWriter::bind_table_variables(StatementBinds& binds, const std::string& text) const {
  const TOracleQuery& main = dataset_.MainQuery();
  if (main.VariableCount() == 0) return;
  for (const ScannedVariable& scanned : ScanVariables(text, false)) {
    const int index = main.VariableIndex(scanned.Name);
    if (index < 0 || binds.Has(scanned.Name)) continue;
    binds.Set(binds.Declare(scanned.Name, main.VariableType(index)), main.GetVariable(index));
  }
}

void TDataSetWriter::bind_columns(StatementBinds& binds, std::vector<PostedColumn>& columns,
                                  ReturningPart& returning) {
  TOracleSession* session = dataset_.Session();
  for (PostedColumn& column : columns) {
    if (!column.Attributes.empty()) bind_columns(binds, column.Attributes, returning);
    if (column.Expression.Binding == ValueBinding::None) continue;
    const TOracleFieldInfo& info = *column.Info;
    const std::string& name = column.Variable;
    switch (column.Expression.Binding) {
      case ValueBinding::None: break;
      case ValueBinding::Value: {
        const int position = binds.Declare(name, bind_type(info, timestamps_bindable()));
        Variant value = column.Value;
        if (info.OracleType == 24 && dataset_.CompressBLOBs) {
          const std::vector<uint8_t> bytes = value.AsBytes();
          const std::string stored =
              dataset_.CompressedValue(info.Field, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
          value = Variant::FromBytes(std::vector<uint8_t>(stored.begin(), stored.end()));
        }
        binds.Set(position, std::move(value));
        break;
      }
      case ValueBinding::TemporaryLOB: {
        auto locator = std::unique_ptr<TLOBLocator>(
            TLOBLocator::CreateTemporary(session, info.OracleType, session->Preferences().TemporaryLOB == tlCache));
        const std::string bytes = lob_bytes(column);
        if (!bytes.empty()) locator->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        binds.Declare(name, info.OracleType);
        binds.SetObject(name, locator.get());
        locators_.push_back(std::move(locator));
        break;
      }
      case ValueBinding::ReturnedLOB: {
        auto locator = std::make_unique<TLOBLocator>(session, info.OracleType);
        binds.Declare(name, info.OracleType);
        binds.SetObject(name, locator.get());
        returning.Add(ColumnReference(info.ColumnName, has_object_columns()), name);
        returned_lobs_.push_back({locator.get(), lob_bytes(column)});
        locators_.push_back(std::move(locator));
        break;
      }
    }
  }
}

// The bytes a LOB column receives: a binary value's stored form.
std::string TDataSetWriter::lob_bytes(const PostedColumn& column) {
  if (column.Value.IsNull() || column.Value.IsEmpty()) return "";
  if (column.Value.IsString()) return column.Value.AsString();
  const std::vector<uint8_t> bytes = column.Value.AsBytes();
  std::string value(bytes.begin(), bytes.end());
  if (dataset_.CompressBLOBs && column.Info->OracleType == 113) return dataset_.CompressedValue(column.Info->Field, value);
  return value;
}

void TDataSetWriter::write_returned_lobs() {
  for (auto& [locator, bytes] : returned_lobs_)
    if (!bytes.empty()) locator->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TDataSetWriter::free_locators() {
  // Only locators are bound as objects: without any there is nothing to detach.
  if (!locators_.empty()) statement_queries_.DetachObjects();
  returned_lobs_.clear();
  locators_.clear();
}

// ---- blob working copies ----

TOracleBlob* TDataSetWriter::EditBlob(int blob_index) {
  if (!edit_blobs_ || blob_index < 0 || blob_index >= edit_blobs_->Count()) return nullptr;
  return &edit_blobs_->Get(blob_index);
}

void TDataSetWriter::ResetEditBlob(int blob_index) {
  if (edit_blobs_) edit_blobs_->Clear(blob_index);
}

// ---- opening and closing ----

void TDataSetWriter::Opened() {
  edit_blobs_ = std::make_unique<TBlobList>(dataset_.blob_count_);
  statements_sent_ = 0;
  find_key_fields();
}

// An insert's rowid is found again by these when the server cannot return
// it (an ODBC bridge) or the dataset identifies rows by UniqueFields.
void TDataSetWriter::find_key_fields() {
  key_fields_.clear();
  const TOracleSession* session = dataset_.Session();
  const bool bridge = session && session->ODBCBridge();
  if ((!bridge && IsBlank(dataset_.UniqueFields)) || dataset_.rowid_column_ < 0) return;
  key_fields_ = split_names(dataset_.UniqueFields);
  const bool any_field = std::any_of(key_fields_.begin(), key_fields_.end(),
                                     [this](const std::string& name) { return dataset_.FindField(name) != nullptr; });
  if (!any_field) key_fields_ = dataset_.DictionaryKeyColumns(true);
  if (key_fields_.empty()) DatabaseError(dml_messages::NoKeyColumns);
}

void TDataSetWriter::Closing() {
  ForgetTableNames();
  forget_result_columns();
  free_locators();
  try {
    statement_queries_.Clear();
  } catch (...) {
    // freeing what the dataset owns never fails the close
  }
  edit_blobs_.reset();
}

}  // namespace kvell
