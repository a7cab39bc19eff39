// TOracleDataSet: the provider-support interface - transactions kept in the
// change log, the command text and its parameters as the dataset's
// variables, statements run with "?" placeholders, and the table, key
// fields, index definitions and default order a provider writes updates by.
#include <algorithm>
#include <memory>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/order_by_scan.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/sql_scan.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

std::string join_names(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ";") + name;
  return joined;
}

// The text with the n-th "?" outside literals and comments made the variable
// of the n-th parameter.
std::string placeholders_to_variables(const std::string& sql, const TParams* params) {
  std::string text;
  int next = 0;
  for (const SqlSpan& span : SplitSql(sql)) {
    const std::string_view part = std::string_view(sql).substr(span.Begin, span.End - span.Begin);
    if (span.Kind != SqlSpanKind::Code) {
      text += part;
      continue;
    }
    for (char c : part) {
      if (c == '?' && params && next < params->Count())
        text += ":" + (*params)[next++].Name;
      else
        text += c;
    }
  }
  return text;
}

// `name` as variables are kept: upper-case, with the leading ':'.
bool uses_variable(const std::vector<ScannedVariable>& used, const std::string& name) {
  return std::any_of(used.begin(), used.end(), [&](const ScannedVariable& v) { return ":" + v.Name == name; });
}

void refuse_unbound_params(const TParams& params, const std::string& sql) {
  const std::vector<ScannedVariable> used = ScanVariables(sql, false);
  for (int i = 0; i < params.Count(); ++i) {
    if (!uses_variable(used, NormalizeVariableName(params[i].Name)))
      DatabaseError(dataset_messages::NoVariableForParameter + params[i].Name);
  }
}

std::string lob_param_bytes(const TParam& param) {
  const Variant& value = param.Value();
  if (value.IsBytes()) {
    const std::vector<uint8_t> bytes = value.AsBytes();
    return std::string(bytes.begin(), bytes.end());
  }
  return param.AsString();
}

}  // namespace

// ---- transactions ----

void TOracleDataSet::PSStartTransaction() {
  change_log_.Clear();
  provider_logging_ = true;
  CommitOnPost = false;
}

void TOracleDataSet::PSEndTransaction(bool commit) {
  const bool server_side = !(ProviderOptions & opNoCommit) && session_ && !session_->InMTSTransaction();
  if (commit) {
    if (server_side) session_->Commit();
    CommitUpdates();
  } else {
    if (server_side) session_->Rollback();
    CancelUpdates();
  }
  provider_logging_ = false;
}

bool TOracleDataSet::PSInTransaction() { return provider_logging_; }

// ---- the command ----

void TOracleDataSet::PSReset() { Close(); }

// A variable the new text does not use would still be bound to it and fail
// the execution (ORA-01036); those it uses keep their types and values.
void TOracleDataSet::PSSetCommandText(const std::string& command_text) {
  Close();
  SetSQLText(command_text);
  const std::vector<ScannedVariable> used = ScanVariables(command_text, false);
  for (int i = VariableCount() - 1; i >= 0; --i)
    if (!uses_variable(used, VariableName(i))) main_query_->DeleteVariable(VariableName(i));
  provider_params_.reset();
}

void TOracleDataSet::PSExecute() {
  Close();
  Open();
  write_provider_lobs();
}

// The bytes of LOB parameters go into the locators the statement returned.
void TOracleDataSet::write_provider_lobs() {
  for (ProviderLob& lob : provider_lobs_)
    if (!lob.Bytes.empty()) lob.Locator->Write(lob.Bytes.data(), static_cast<int64_t>(lob.Bytes.size()));
  free_provider_lobs();
}

void TOracleDataSet::free_provider_lobs() {
  for (ProviderLob& lob : provider_lobs_) {
    try {
      if (VariableIndex(lob.Variable) >= 0) SetComplexVariable(lob.Variable, nullptr);
    } catch (...) {
      // releasing a parameter's locator never fails the caller
    }
  }
  provider_lobs_.clear();
}

TParams* TOracleDataSet::PSGetParams() {
  if (!provider_params_) provider_params_ = std::make_unique<TParams>();
  Variables().AssignToParams(*provider_params_);
  return provider_params_.get();
}

void TOracleDataSet::PSSetParams(const TParams& params) {
  for (int i = 0; i < params.Count(); ++i)
    if (VariableIndex(params[i].Name) < 0) DatabaseError(dataset_messages::NoVariableForParameter + params[i].Name);
  free_provider_lobs();
  for (int i = 0; i < params.Count(); ++i) {
    const int type = VariableType(VariableIndex(params[i].Name));
    if (type != 112 && type != 113) {
      SetVariable(params[i].Name, params[i].Value());
      continue;
    }
    // A LOB is written once the statement has returned a locator for it.
    ProviderLob lob{params[i].Name, std::make_unique<TLOBLocator>(session_, type), lob_param_bytes(params[i])};
    SetComplexVariable(lob.Variable, lob.Locator.get());
    provider_lobs_.push_back(std::move(lob));
  }
  provider_params_.reset();
}

int TOracleDataSet::PSExecuteStatement(const std::string& sql, TParams* params, TDataSet** result_set) {
  if (result_set) *result_set = nullptr;
  const std::string text = placeholders_to_variables(sql, params);
  TOracleQuery query;
  query.SetSession(session_);
  query.SQL().SetText(text);
  if (params) {
    refuse_unbound_params(*params, text);
    query.Variables().AssignFromParams(*params);
  }
  query.Execute();
  if (params) {
    for (int i = 0; i < params->Count(); ++i) {
      TParam& param = (*params)[i];
      if (param.ParamType == ptOutput || param.ParamType == ptInputOutput) param.SetValue(query.GetVariable(param.Name));
    }
  }
  if (result_set && query.ColumnCount() > 0) {
    auto rows = std::make_unique<TOracleDataSet>();
    rows->SetSession(session_);
    rows->SetSQLText(text);
    if (params) rows->Variables().AssignFromParams(*params);
    rows->Open();
    *result_set = rows.release();
  }
  return query.RowsProcessed();
}

// ---- what a provider writes updates by ----

std::string TOracleDataSet::PSGetQuoteChar() { return "\""; }

std::string TOracleDataSet::PSGetTableName() { return GetUpdatingTableName(); }

bool TOracleDataSet::PSIsSQLBased() { return true; }

bool TOracleDataSet::PSIsSQLSupported() { return true; }

std::string TOracleDataSet::PSGetKeyFields() {
  if (ProviderOptions & opNoKeyFields) return "";
  std::string keys = TDataSet::PSGetKeyFields();
  if (!keys.empty()) return keys;
  if (IsBlank(UniqueFields) && IsBlank(UpdatingTable()) && FetchesFromCursor()) return "";
  if (opening_) return "";
  if (IsBlank(UniqueFields)) return join_names(DictionaryKeyColumns(true));
  return join_names(key_field_names());
}

// The UniqueFields that name fields of the dataset.
std::vector<std::string> TOracleDataSet::key_field_names() const {
  std::vector<std::string> names;
  for (const std::string& name : SplitFieldNames(UniqueFields))
    if (const TField* field = FindField(name)) names.push_back(field->FieldName());
  return names;
}

std::optional<TIndexDef> TOracleDataSet::PSGetDefaultOrder() {
  if (ProviderOptions & opNoDefaultOrder) return std::nullopt;
  return default_order();
}

// The index the SQL's ORDER BY sorts by, as far as its items are fields.
std::optional<TIndexDef> TOracleDataSet::default_order() {
  TIndexDef order;
  order.Name = "DEFAULT_ORDER";
  std::vector<std::string> fields, descending, without_case;
  for (const OrderByItem& item : ScanOrderBy(SQL().Text())) {
    const TField* field = order_field(item.Column);
    if (!field) break;
    fields.push_back(field->FieldName());
    if (item.Descending) descending.push_back(field->FieldName());
    if (item.CaseInsensitive) without_case.push_back(field->FieldName());
  }
  if (fields.empty()) return std::nullopt;
  order.Fields = join_names(fields);
  order.DescFields = join_names(descending);
  order.CaseInsFields = join_names(without_case);
  if (descending.size() == fields.size()) order.Options |= ixDescending;
  if (without_case.size() == fields.size()) order.Options |= ixCaseInsensitive;
  return order;
}

// The field an ORDER BY item names: by name, or by select-list position.
const TField* TOracleDataSet::order_field(const std::string& column) const {
  if (!column.empty() && column.find_first_not_of("0123456789") == std::string::npos) {
    const int position = std::stoi(column.substr(0, 9)) - 1;
    for (int i = 1; i < field_infos_.Count(); ++i)
      if (field_infos_[i].ColumnIndex == position && field_infos_[i].Kind != fiAttribute) return field_infos_[i].Field;
    return nullptr;
  }
  return FindField(column);
}

TIndexDefs TOracleDataSet::PSGetIndexDefs(TIndexOptions options) {
  TIndexDefs defs;
  if (ProviderOptions & opNoIndexDefs) return defs;
  const std::string keys = PSGetKeyFields();
  if (!keys.empty()) {
    TIndexDef primary;
    primary.Fields = keys;
    primary.Options = ixPrimary | ixUnique;
    defs.push_back(primary);
  }
  if (!(ProviderOptions & opNoDefaultOrder))
    if (std::optional<TIndexDef> order = default_order()) defs.push_back(*order);
  if (options == 0) return defs;
  TIndexDefs wanted;
  for (const TIndexDef& def : defs)
    if (def.Options & options) wanted.push_back(def);
  return wanted;
}

}  // namespace kvell
