// TDataSetDictionary: the table entry, key columns, constraint checks and
// the message translation of a dataset.
#include "oracle/dataset/dataset_dictionary.h"

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dictionary_text.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/message_translation.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/record_values.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "runtime/ansi_case.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

constexpr const char* kRowIdVariable = "kvell__rowid";
constexpr int kUniqueViolation = 1;
constexpr int kCheckViolation = 2290;
constexpr int kParentKeyMissing = 2291;
constexpr int kBridgeViolation = 30021;

bool holds_value(const TField* field) {
  if (field->IsNull()) return false;
  const TFieldType type = field->DataType();
  const bool text = type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo;
  return !(text && IsBlank(field->AsString()));
}

// The bind type of a field's value.
int variable_type_of(const TField* field) {
  switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint: return 3;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return 4;
    case ftDate:
    case ftTime:
    case ftDateTime: return 12;
    default: return 5;
  }
}

void bind_field(StatementBinds& binds, const std::string& name, const TField* field) {
  binds.Declare(name, variable_type_of(field));
  binds.Set(name, field->IsNull() ? Null() : field->AsVariant());
}

void bind_string(StatementBinds& binds, const char* name, const std::string& value) {
  binds.Declare(name, 5);
  binds.Set(name, value);
}

std::string quoted_literal(const std::string& text) {
  std::string result;
  for (char c : text) {
    result += c;
    if (c == '\'') result += '\'';
  }
  return result;
}

}  // namespace

// ---- the table entry and its keys ----

TOracleTableInfo& TDataSetDictionary::TableInfo() {
  TOracleSession* session = dataset_.Session();
  if (!session) DatabaseError(dataset_messages::SessionUndefined);
  return TableInfoCache(*session).Get(*session, dataset_.GetUpdatingTableName());
}

// Runs a dictionary statement; whether it returned a row.
bool TDataSetDictionary::returns_row(const std::string& text, const StatementBinds& binds) {
  TOracleQuery& query = dataset_.writer().RunDictionary(text, binds);
  const bool found = !query.Eof();
  dataset_.writer().CloseByRule(query);
  return found;
}

std::vector<std::string> TDataSetDictionary::KeyColumns(bool require_fields) {
  std::vector<std::string> columns;
  try {
    TOracleTableInfo& info = TableInfo();
    StatementBinds binds;
    bind_string(binds, "owner", info.Owner());
    bind_string(binds, "table_name", info.TableName());
    TOracleQuery& constraints = dataset_.writer().RunDictionary(dictionary_text::KeyConstraint, binds);
    if (constraints.Eof()) return {};
    const std::string constraint = constraints.FieldText(0);
    dataset_.writer().CloseByRule(constraints);
    bind_string(binds, "constraint_name", constraint);
    TOracleQuery& query = dataset_.writer().RunDictionary(dictionary_text::KeyColumns, binds);
    for (; !query.Eof(); query.Next()) columns.push_back(query.FieldText(0));
    dataset_.writer().CloseByRule(query);
  } catch (const Exception&) {
    return {};
  }
  if (require_fields)
    for (const std::string& column : columns)
      if (!dataset_.FindField(column)) return {};
  return columns;
}

std::string TDataSetDictionary::FieldOfConstraint(const TOracleConstraintInfo& constraint) const {
  std::string found;
  for (const std::string& column : constraint.Columns) {
    const TOracleFieldInfo* info = dataset_.field_infos_.Find(column);
    const TField* field = info ? info->Field : nullptr;
    if (!field || field->FieldKind() != fkData || field->ReadOnly || info->Kind != fiColumn) continue;
    if (!found.empty()) return "*";
    found = field->FieldName();
  }
  return found;
}

// ---- checking ----

bool TDataSetDictionary::enforcing() const {
  return dataset_.OracleDictionary.EnforceConstraints && dataset_.rowid_column_ >= 0 && dataset_.Session();
}

bool TDataSetDictionary::existing_row() const { return dataset_.State() != dsInsert; }

bool TDataSetDictionary::is_link_or_sequence_field(const TField* field) const {
  const TSequenceField& sequence = dataset_.SequenceField;
  if (sequence.InUse() && AnsiSameText(sequence.Field, field->FieldName())) return true;
  if (!dataset_.Master()) return false;
  const std::string& links = IsBlank(dataset_.DetailFields) ? dataset_.MasterFields : dataset_.DetailFields;
  for (const std::string& name : SplitFieldNames(links))
    if (AnsiSameText(name, field->FieldName())) return true;
  return false;
}

void TDataSetDictionary::CheckField(TField* field) {
  if (!enforcing() || field->FieldNo() <= 0 || field->FieldKind() != fkData) return;
  if (is_link_or_sequence_field(field) || !holds_value(field)) return;
  TOracleTableInfo& info = TableInfo();
  for (TOracleConstraintInfo& constraint : info.Constraints()) {
    if (dataset_.OracleDictionary.IsDisabled(constraint.Name)) continue;
    if (!AnsiSameText(FieldOfConstraint(constraint), field->FieldName())) continue;
    check_and_raise(constraint);
  }
}

void TDataSetDictionary::CheckRecord() {
  if (!enforcing()) return;
  TOracleTableInfo& info = TableInfo();
  for (TOracleConstraintInfo& constraint : info.Constraints()) {
    if (!record_check_applies(constraint)) continue;
    try {
      check_and_raise(constraint);
    } catch (...) {
      for (const std::string& column : constraint.Columns) {
        TField* field = dataset_.FindField(column);
        if (field && !is_link_or_sequence_field(field)) {
          field->FocusControl();
          break;
        }
      }
      throw;
    }
  }
}

// Multi-field constraints whose fields are all there and one of them changed.
bool TDataSetDictionary::record_check_applies(const TOracleConstraintInfo& constraint) const {
  if (dataset_.OracleDictionary.IsDisabled(constraint.Name) || constraint.Columns.empty()) return false;
  const std::string single = FieldOfConstraint(constraint);
  if (!single.empty() && single != "*") return false;
  const TSequenceField& sequence = dataset_.SequenceField;
  const bool server_sequence = sequence.InUse() && sequence.ApplyMoment == amOnServer;
  const uint8_t* stored = existing_row() ? dataset_.StoredRecordOf(dataset_.ActiveBuffer()) : nullptr;
  bool changed = false;
  for (const std::string& column : constraint.Columns) {
    const TOracleFieldInfo* info = dataset_.field_infos_.Find(column);
    const TField* field = info ? info->Field : nullptr;
    if (!field || field->FieldKind() != fkData) return false;
    if (field->IsNull() && server_sequence && AnsiSameText(sequence.Field, field->FieldName())) return false;
    if (field->IsNull() && constraint.Kind == ckForeignKey) return false;
    if (is_link_or_sequence_field(field)) continue;
    if (!stored) {
      changed = changed || !field->IsNull();
    } else if (!field->IsBlob()) {
      changed = changed || !(SlotValue(stored, *info) == SlotValue(dataset_.ActiveBuffer(), *info));
    }
  }
  return changed;
}

void TDataSetDictionary::check_and_raise(TOracleConstraintInfo& constraint) {
  const int code = check_constraint(constraint);
  if (code != 0) raise_violation(constraint, code);
}

int TDataSetDictionary::check_constraint(TOracleConstraintInfo& constraint) {
  constraint.TableInfo->LoadDetails(constraint);
  if (!constraint.Exists) return 0;
  int code = 0;
  switch (constraint.Kind) {
    case ckPrimaryKey:
    case ckUniqueKey: code = check_key(constraint); break;
    case ckForeignKey: code = check_foreign_key(constraint); break;
    case ckCheck: code = check_condition(constraint); break;
    default: break;
  }
  return code;
}

void TDataSetDictionary::bind_rowid(StatementBinds& binds) const {
  binds.Declare(kRowIdVariable, 5);
  binds.Set(kRowIdVariable, std::string(RecordRowId(dataset_.StoredRecordOf(dataset_.ActiveBuffer()))));
}

int TDataSetDictionary::check_key(const TOracleConstraintInfo& constraint) {
  const bool existing = existing_row();
  const std::string table = dataset_.GetUpdatingTableName();
  StatementBinds binds;
  std::string text = "select 'x' from " + table + "\r\n";
  text += existing ? "where rowid <> :kvell__rowid\r\nand " : "where ";
  bool any_value = false;
  for (size_t i = 0; i < constraint.Columns.size(); ++i) {
    const std::string& column = constraint.Columns[i];
    if (i > 0) text += "and ";
    const TField* field = dataset_.FindField(column);
    if (!field) {
      if (!existing) return 0;
      text += column + " = (select " + column + " from " + table + " where rowid = :kvell__rowid)";
    } else if (holds_value(field)) {
      text += column + " = :" + column;
      bind_field(binds, column, field);
      any_value = true;
    } else {
      text += column + " is null";
    }
    text += "\r\n";
  }
  if (!any_value) return 0;
  if (existing) bind_rowid(binds);
  return returns_row(text, binds) ? kUniqueViolation : 0;
}

int TDataSetDictionary::check_foreign_key(const TOracleConstraintInfo& constraint) {
  if (constraint.ReferencedColumns.size() != constraint.Columns.size()) return 0;
  const bool existing = existing_row();
  const std::string table = dataset_.GetUpdatingTableName();
  StatementBinds binds;
  std::string text = "select 'x' from " + constraint.ReferencedOwner + "." + constraint.ReferencedTable + "\r\n";
  bool any_value = false;
  bool uses_rowid = false;
  for (size_t i = 0; i < constraint.Columns.size(); ++i) {
    const std::string& column = constraint.Columns[i];
    text += i == 0 ? "where " : "and ";
    text += constraint.ReferencedColumns[i];
    const TField* field = dataset_.FindField(column);
    if (!field) {
      if (!existing) return 0;
      text += " = (select " + column + " from " + table + " where rowid = :kvell__rowid)";
      uses_rowid = true;
    } else if (holds_value(field)) {
      text += " = :" + column;
      bind_field(binds, column, field);
      any_value = true;
    } else {
      text += " is null";
    }
    text += "\r\n";
  }
  if (!any_value) return 0;
  if (uses_rowid) bind_rowid(binds);
  return returns_row(text, binds) ? 0 : kParentKeyMissing;
}

int TDataSetDictionary::check_condition(const TOracleConstraintInfo& constraint) {
  const bool existing = existing_row();
  const std::string table = dataset_.GetUpdatingTableName();
  StatementBinds binds;
  std::string selected;
  std::string targets;
  for (const std::string& column : constraint.Columns) {
    if (const TField* field = dataset_.FindField(column)) {
      bind_field(binds, column, field);
      continue;
    }
    if (!existing) return 0;
    constraint.TableInfo->Columns();
    const TOracleColumnInfo* table_column = constraint.TableInfo->FindColumn(column);
    if (!table_column) return 0;
    binds.Declare(column, VariableTypeOfColumn(*table_column));
    selected += (selected.empty() ? "" : ", ") + column;
    targets += (targets.empty() ? ":" : ", :") + column;
  }
  std::string text = "begin\r\n";
  if (!selected.empty())
    text += "  select " + selected + " into " + targets + " from " + table + " where rowid = :kvell__rowid;\r\n";
  text += "  if not (" + constraint.Condition + ") then\r\n";
  text += "    :error := 2290;\r\n  else\r\n    :error := 0;\r\n  end if;\r\n";
  if (!selected.empty()) text += "exception\r\n  when others then :error := 0;\r\n";
  text += "end;";
  if (!selected.empty()) bind_rowid(binds);
  binds.Declare("error", 3);
  TOracleQuery& query = dataset_.writer().RunDictionary(text, binds);
  const Variant error = query.GetVariable("error");
  dataset_.writer().CloseByRule(query);
  return !error.IsNull() && !error.IsEmpty() && error.AsInteger() == kCheckViolation ? kCheckViolation : 0;
}

void TDataSetDictionary::raise_violation(const TOracleConstraintInfo& constraint, int code) {
  TOracleSession& session = *dataset_.Session();
  std::string text;
  int raised_code = code;
  if (session.ODBCBridge()) {
    text = session.ErrorMessageText(kBridgeViolation);
    text += code == kUniqueViolation ? "[POL-3220] duplicate keys in unique/primary index"
                                     : "[POL-5143] integrity constraint violation";
    raised_code = kBridgeViolation;
  } else {
    text = session.ErrorMessageText(code);
    const size_t open = text.find('(');
    const size_t close = open == std::string::npos ? std::string::npos : text.find(')', open);
    if (close != std::string::npos)
      text = text.substr(0, open + 1) + constraint.TableInfo->Owner() + "." + constraint.Name + text.substr(close);
  }
  DatabaseError(TranslateMessage(existing_row() ? 'U' : 'I', raised_code, text));
}

// ---- messages ----

std::string TDataSetDictionary::TranslateMessage(char action, int code, const std::string& text) {
  std::string message = TrimmedErrorText(code, text);
  const std::string constraint = ConstraintNameOf(code, text);
  TOracleSession* session = dataset_.Session();
  if (dataset_.OracleDictionary.UseMessageTable && session && !IsBlank(session->MessageTable) && !constraint.empty()) {
    try {
      const std::string found = lookup_message(action, code, constraint);
      if (!found.empty()) message = found;
    } catch (const Exception& error) {
      message += "(" + error.Message + ")";
    }
  }
  if (dataset_.OnTranslateMessage) dataset_.OnTranslateMessage(&dataset_, code, constraint, action, message);
  return message;
}

std::string TDataSetDictionary::lookup_message(char action, int code, const std::string& constraint) {
  const std::string filter = code == 2291 ? "C" : code == 2292 ? "P" : "*";
  TOracleQuery query;
  query.SetName("MessageQuery");
  query.SetSession(dataset_.Session());
  query.SQL().SetText("select actions, parent_child, error_message from " + dataset_.Session()->MessageTable +
                      "\r\nwhere constraint_name = '" + quoted_literal(constraint) + "'\r\norder by actions");
  std::string message;
  for (query.Execute(); !query.Eof(); query.Next()) {
    const std::string parent_child = AnsiUpperCase(query.FieldText(1));
    if (parent_child != "*" && parent_child != filter) continue;
    const std::string actions = AnsiUpperCase(query.FieldText(0));
    if (actions.find(action) != std::string::npos || (actions == "*" && message.empty()))
      message = query.FieldText(2);
  }
  return message;
}

}  // namespace kvell
