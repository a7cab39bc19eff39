// TOracleTableInfo and the session's TTableInfoCache: resolving a table
// name, loading constraints with their details, columns and default texts.
#include "oracle/dataset/table_info.h"

#include "oracle/dataset/dictionary_text.h"
#include "oracle/session/oracle_error.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/ansi_case.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

bool is_identifier_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c == '#' || static_cast<unsigned char>(c) >= 0x80;
}

int constraint_kind(const std::string& type) {
  if (type == "P") return ckPrimaryKey;
  if (type == "U") return ckUniqueKey;
  if (type == "R") return ckForeignKey;
  if (type == "C") return ckCheck;
  return ckOther;
}

void bind_string(TOracleQuery& query, const char* name, const std::string& value) {
  query.DeclareVariable(name, 5);
  query.SetVariable(name, value);
}

// One column's occurrences made bind variables; the text is rebuilt rather
// than edited in place.
std::string bind_column(const std::string& text, const std::string& name) {
  const std::string upper = AnsiUpperCase(text);
  std::string result;
  size_t copied = 0;
  size_t at = upper.find(name);
  while (at != std::string::npos) {
    const size_t end = at + name.size();
    const bool quoted = at > 0 && text[at - 1] == '"' && end < text.size() && text[end] == '"';
    const bool whole_word = (at == 0 || (!is_identifier_char(text[at - 1]) && text[at - 1] != ':')) &&
                            (end == text.size() || !is_identifier_char(text[end]));
    if (quoted || whole_word) {
      const size_t start = quoted ? at - 1 : at;
      result.append(text, copied, start - copied);
      result += ':';
      result.append(text, at, name.size());
      copied = quoted ? end + 1 : end;
    }
    at = upper.find(name, end);
  }
  result.append(text, copied, std::string::npos);
  return result;
}

}  // namespace

bool SplitOwnerAndTable(const std::string& name, std::string& owner, std::string& table) {
  const size_t dot = name.find('.');
  if (dot != std::string::npos) {
    owner = AnsiUpperCase(name.substr(0, dot));
    table = AnsiUpperCase(name.substr(dot + 1));
    return true;
  }
  if (name.empty()) {
    owner.clear();
    table.clear();
    return true;
  }
  return false;
}

std::string BindConstraintColumns(const std::string& condition, const std::vector<std::string>& columns) {
  std::string text = condition;
  for (const std::string& column : columns)
    if (!column.empty()) text = bind_column(text, AnsiUpperCase(column));
  return text;
}

// ---- TOracleTableInfo ----

TOracleTableInfo::TOracleTableInfo(TOracleSession& session, const std::string& name)
    : session_(session), name_(name) {
  query_.SetName("TableInfoQuery");
  query_.SetSession(&session);
  resolve();
}

void TOracleTableInfo::run(const std::string& text) {
  query_.SQL().SetText(text);
  ++statements_sent_;
  query_.Execute();
}

void TOracleTableInfo::resolve() {
  if (SplitOwnerAndTable(name_, owner_, table_name_)) return;
  const std::string upper_name = AnsiUpperCase(name_);
  if (session_.ODBCBridge()) {
    resolve_on_bridge(upper_name);
    return;
  }
  query_.DeleteVariables();
  bind_string(query_, "name", upper_name);
  bind_string(query_, "table_owner", "");
  bind_string(query_, "table_name", "");
  run(dictionary_text::ResolveBlock);
  owner_ = query_.GetVariable("table_owner").AsString();
  table_name_ = query_.GetVariable("table_name").AsString();
}

void TOracleTableInfo::resolve_on_bridge(const std::string& upper_name) {
  if (resolve_by(dictionary_text::BridgeResolveTable, upper_name)) return;
  if (resolve_by(dictionary_text::BridgeResolveSynonym, upper_name)) return;
  resolve_by(dictionary_text::BridgeResolvePublicSynonym, upper_name);
}

bool TOracleTableInfo::resolve_by(const char* statement, const std::string& upper_name) {
  query_.DeleteVariables();
  bind_string(query_, "name", upper_name);
  run(statement);
  if (query_.Eof()) return false;
  owner_ = query_.FieldText(0);
  table_name_ = query_.FieldText(1);
  query_.CloseCursor();
  return true;
}

// ---- constraints ----

std::vector<TOracleConstraintInfo>& TOracleTableInfo::Constraints() {
  if (!constraints_loaded_) {
    try {
      load_constraints();
    } catch (...) {
      constraints_.clear();
      throw;
    }
    constraints_loaded_ = true;
  }
  return constraints_;
}

void TOracleTableInfo::load_constraints() {
  constraints_.clear();
  query_.DeleteVariables();
  bind_string(query_, "owner", owner_);
  bind_string(query_, "table_name", table_name_);
  std::string text = dictionary_text::ConstraintColumnsHead;
  if (!session_.ODBCBridge()) text += dictionary_text::ConstraintColumnsNoSystemNames;
  text += dictionary_text::ConstraintColumnsOrder;
  for (run(text); !query_.Eof(); query_.Next()) {
    const std::string name = query_.FieldText(0);
    if (constraints_.empty() || constraints_.back().Name != name) {
      TOracleConstraintInfo& constraint = constraints_.emplace_back();
      constraint.TableInfo = this;
      constraint.Name = name;
    }
    constraints_.back().Columns.push_back(query_.FieldText(1));
  }
}

void TOracleTableInfo::LoadDetails(TOracleConstraintInfo& constraint) {
  if (constraint.Loaded) return;
  query_.DeleteVariables();
  bind_string(query_, "constraint_name", constraint.Name);
  bind_string(query_, "owner", owner_);
  std::string text = dictionary_text::ConstraintDetailsHead;
  text += session_.ODBCBridge() ? dictionary_text::ConstraintDetailsBridge : dictionary_text::ConstraintDetailsEnabled;
  run(text);
  constraint.Exists = !query_.Eof();
  if (constraint.Exists) {
    constraint.Kind = constraint_kind(query_.FieldText(0));
    const std::string referenced_constraint = query_.FieldText(1);
    constraint.ReferencedOwner = query_.FieldText(2);
    if (constraint.Kind == ckCheck) constraint.Condition = BindConstraintColumns(query_.FieldText(3), constraint.Columns);
    query_.CloseCursor();
    if (constraint.Kind == ckForeignKey) {
      query_.DeleteVariables();
      bind_string(query_, "owner", constraint.ReferencedOwner);
      bind_string(query_, "constraint_name", referenced_constraint);
      load_references(constraint);
    }
  }
  constraint.Loaded = true;
}

void TOracleTableInfo::load_references(TOracleConstraintInfo& constraint) {
  constraint.ReferencedColumns.clear();
  for (run(dictionary_text::ReferencedColumns); !query_.Eof(); query_.Next()) {
    constraint.ReferencedTable = query_.FieldText(0);
    constraint.ReferencedColumns.push_back(query_.FieldText(1));
  }
}

// ---- columns and defaults ----

const std::vector<TOracleColumnInfo>& TOracleTableInfo::Columns() {
  if (columns_loaded_) return columns_;
  columns_loaded_ = true;
  try {
    query_.DeleteVariables();
    query_.SQL().SetText(std::string(dictionary_text::DescribeTable) + name_);
    ++statements_sent_;
    query_.Describe();
    for (int i = 0; i < query_.ColumnCount(); ++i)
      columns_.push_back({query_.FieldName(i), query_.FieldType(i), query_.FieldPrecision(i), query_.FieldScale(i), "", {}});
  } catch (const Exception&) {
    columns_.clear();
    HandleApplicationException(this);
  }
  return columns_;
}

TOracleColumnInfo* TOracleTableInfo::FindColumn(const std::string& name) {
  for (TOracleColumnInfo& column : columns_)
    if (column.Name == name) return &column;
  return nullptr;
}

bool TOracleTableInfo::ReadDefaults() {
  if (defaults_read_) return !no_defaults_;
  Columns();
  query_.DeleteVariables();
  bind_string(query_, "owner", owner_);
  bind_string(query_, "table_name", table_name_);
  no_defaults_ = true;
  for (run(dictionary_text::ColumnDefaults); !query_.Eof(); query_.Next()) {
    TOracleColumnInfo* column = FindColumn(query_.FieldText(0));
    const std::string text(TrimRight(query_.FieldText(1)));
    if (!column || IsBlank(text)) continue;
    column->DefaultText = text;
    no_defaults_ = false;
  }
  defaults_read_ = true;
  return !no_defaults_;
}

// ---- the cache ----

TOracleTableInfo& TTableInfoCache::Get(TOracleSession& session, const std::string& name) {
  for (auto& entry : entries_)
    if (AnsiSameText(entry->Name(), name)) return *entry;
  entries_.push_back(std::make_unique<TOracleTableInfo>(session, name));
  return *entries_.back();
}

int64_t TTableInfoCache::StatementsSent() const {
  int64_t total = 0;
  for (const auto& entry : entries_) total += entry->StatementsSent();
  return total;
}

TTableInfoCache& TableInfoCache(TOracleSession& session) {
  std::unique_ptr<TSessionCache>& slot = session.TableInfoCacheSlot();
  if (!slot) slot = std::make_unique<TTableInfoCache>();
  return static_cast<TTableInfoCache&>(*slot);
}

int VariableTypeOfColumn(const TOracleColumnInfo& column) {
  switch (column.TypeCode) {
    case 3:
    case 4:
    case 12: return column.TypeCode;
    case 187:
    case 188:
    case 232: return 12;
    default: return 5;
  }
}

}  // namespace kvell
