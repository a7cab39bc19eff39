#include "ociemu/api/statement.h"

#include <sqlite3.h>

#include "ociemu/api/direct_bind.h"
#include "ociemu/api/direct_fetch.h"
#include "ociemu/api/object_cache.h"
#include "ociemu/api/object_refs.h"
#include "ociemu/api/text_case.h"
#include "ociemu/plsql/ast.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/stored_names.h"
#include "ociemu/sql/types.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>

namespace ociemu {
namespace {

constexpr int kReservedBindName = 1745;  // ORA-01745: invalid host/bind variable name
constexpr int kTypeVarchar = 1;
constexpr int kTypeNumber = 2;
constexpr int kTypeRaw = 23;
constexpr int kPlsqlBlockCode = 34;  // SQL function code of BEGIN/DECLARE blocks
constexpr int kObjectGone = 21700;
constexpr int kCreateProcedureCode = 24, kCreateFunctionCode = 91, kCreateTriggerCode = 59;
constexpr int kCreatePackageCode = 94, kCreatePackageBodyCode = 97;

bool is_identifier_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return std::isalnum(byte) || c == '_' || c == '$' || c == '#' || byte >= 0x80;  // names may hold any UTF-8 letter
}

// Skips a literal, quoted identifier or comment starting at i; returns the index after it, or i.
size_t skip_non_code(std::string_view text, size_t i) {
  if (text[i] == '\'' || text[i] == '"') {
    char quote = text[i];
    size_t j = i + 1;
    while (j < text.size()) {
      if (text[j] == quote) {
        if (j + 1 < text.size() && text[j + 1] == quote) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return text.size();
  }
  if (text.compare(i, 2, "--") == 0) {
    size_t end = text.find('\n', i);
    return end == std::string_view::npos ? text.size() : end + 1;
  }
  if (text.compare(i, 2, "/*") == 0) {
    size_t end = text.find("*/", i + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
  }
  return i;
}


bool is_query(sql::StatementKind kind) { return kind == sql::StatementKind::Select; }

bool is_dml(sql::StatementKind kind) {
  using K = sql::StatementKind;
  return kind == K::Insert || kind == K::Update || kind == K::Delete || kind == K::Merge || kind == K::PlsqlBlock;
}

void set_code(ub2* slot, int code) {
  if (slot) ElementArrays::store(slot, static_cast<ub2>(code));
}

}  // namespace

sql::OracleType inferred_type(const Cell& cell) {
  sql::OracleType type;
  const bool exact_number = cell.kind == Cell::Blob && sql::is_exact_number(cell.data, cell.size);
  switch (exact_number ? Cell::Real : cell.kind) {
    case Cell::Integer:
    case Cell::Real:
      type.type_code = kTypeNumber;
      type.data_size = 22;
      type.type_name = "NUMBER";
      break;
    case Cell::Blob:
      type.type_code = kTypeRaw;
      type.data_size = 2000;
      type.type_name = "RAW";
      break;
    default:
      type.type_code = kTypeVarchar;
      type.data_size = 4000;
      type.char_size = 4000;
      type.type_name = "VARCHAR2";
      break;
  }
  return type;
}

void record_error(ErrorHandle* errors, int code, const std::string& message) {
  if (errors == nullptr) return;
  errors->records.assign({code, full_message(code, message)});
}

uint16_t classify_statement(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t skipped = (text[i] == '-' || text[i] == '/') ? skip_non_code(text, i) : i;
    if (skipped != i) {
      i = skipped;
    } else if (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == '(') {
      ++i;
    } else {
      break;
    }
  }
  size_t end = i;
  while (end < text.size() && is_identifier_char(text[end])) ++end;
  std::string word = upper(text.substr(i, end - i));
  static const std::pair<const char*, uint16_t> kinds[] = {
      {"SELECT", OCI_STMT_SELECT}, {"WITH", OCI_STMT_SELECT},     {"UPDATE", OCI_STMT_UPDATE},
      {"DELETE", OCI_STMT_DELETE}, {"INSERT", OCI_STMT_INSERT},   {"CREATE", OCI_STMT_CREATE},
      {"DROP", OCI_STMT_DROP},     {"ALTER", OCI_STMT_ALTER},     {"BEGIN", OCI_STMT_BEGIN},
      {"DECLARE", OCI_STMT_DECLARE}, {"CALL", OCI_STMT_CALL},     {"MERGE", OCI_STMT_MERGE},
      {"ROLLBACK", OCI_STMT_ROLLBACK}, {"COMMIT", OCI_STMT_COMMIT},
  };
  for (auto& [name, type] : kinds) {
    if (word == name) return type;
  }
  return OCI_STMT_UNKNOWN;
}

std::vector<std::string> scan_placeholders(std::string_view text) {
  std::vector<std::string> names;
  size_t i = 0;
  while (i < text.size()) {
    size_t skipped = skip_non_code(text, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    // As Oracle reads "INTO:3", a colon after a name starts a placeholder too.
    bool starts = text[i] == ':' && i + 1 < text.size();
    if (starts && text[i + 1] == '"') {
      size_t end = text.find('"', i + 2);
      if (end == std::string_view::npos) break;
      names.emplace_back(text.substr(i + 2, end - i - 2));
      i = end + 1;
    } else if (starts && is_identifier_char(text[i + 1])) {
      size_t end = i + 1;
      while (end < text.size() && is_identifier_char(text[end])) ++end;
      names.push_back(sql::upper_bind_name(text.substr(i + 1, end - i - 1)));
      i = end;
    } else {
      ++i;
    }
  }
  return names;
}

std::string bind_key(std::string_view name) {
  if (!name.empty() && name.front() == ':') name.remove_prefix(1);
  // A quoted name keeps its case; clients pass it with or without the colon.
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return std::string(name.substr(1, name.size() - 2));
  return sql::upper_bind_name(name);
}

Statement::Statement(Environment* env) : Handle(kType, env) {}

Statement::~Statement() {
  free_implicit_results();
  finalize();
}

void Statement::finalize() {
  plsql_unit_.reset();  // its statements belong to the connection about to be released
  Session* session = live<Session>(session_);
  const bool reusable = main_ && translated_ && !adopted_ && session && session->connection == connection_ &&
                        generation_ == session->generation;
  if (reusable) {
    session->keep_parsed({text, generation_, data_version_, std::move(translation_), main_});
  } else if (main_) {
    sqlite3_finalize(main_);
  }
  main_ = nullptr;
  for (const RowsInsert& kept : rows_inserts_) sqlite3_finalize(kept.statement);
  rows_inserts_.clear();
  rows_run_ = 0;
  translated_ = false;
  cursor_ = Cursor::Closed;
}

void Statement::prepare(std::string_view sql_text) {
  finalize();
  adopted_ = false;
  unopened_ = false;
  text.assign(sql_text);
  // Statements end without ';', PL/SQL blocks keep theirs.
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  statement_type = classify_statement(text);
  if (!text.empty() && text.back() == ';' && statement_type != OCI_STMT_BEGIN && statement_type != OCI_STMT_DECLARE) {
    text.pop_back();
  }
  // Oracle parses no binds in DDL: a trigger's :NEW is its own, and a client's bind there is refused.
  const bool ddl = statement_type == OCI_STMT_CREATE || statement_type == OCI_STMT_DROP || statement_type == OCI_STMT_ALTER;
  placeholders_ = ddl ? std::vector<std::string>{} : scan_placeholders(text);
  block_positions_ = statement_type == OCI_STMT_BEGIN || statement_type == OCI_STMT_DECLARE;
  distinct_positions_.clear();
  std::vector<std::string_view> distinct;
  for (const std::string& name : placeholders_) {
    auto found = std::find(distinct.begin(), distinct.end(), name);
    if (found == distinct.end()) found = distinct.insert(distinct.end(), name);
    distinct_positions_.push_back(static_cast<uint32_t>(found - distinct.begin()) + 1);
  }
  binds_.clear();
  defines_.clear();
  columns_.clear();
  params_.clear();
  kept_description_.reset();
  rows_.clear();
  row_count = rows_fetched = 0;
  parse_error_offset = 0;
  rowid_text.clear();
  sql_function_code = 0;
  session_ = nullptr;
  connection_.reset();
}

Bind* Statement::bind(uint32_t position, std::string_view name, const ElementArrays& arrays, uint32_t mode) {
  std::string key = bind_key(name);
  bool known = key.empty() ? position >= 1 && position <= placeholders_.size()
                           : std::find(placeholders_.begin(), placeholders_.end(), key) != placeholders_.end();
  if (!known) fail(1036);
  auto same = [&](const std::unique_ptr<Bind>& b) { return key.empty() ? b->name.empty() && b->position == position : b->name == key; };
  auto found = std::find_if(binds_.begin(), binds_.end(), same);
  Bind* bound = found != binds_.end() ? found->get() : binds_.emplace_back(std::make_unique<Bind>(env(), this)).get();
  bound->name = key;
  bound->position = key.empty() ? position : 0;
  bound->made = ++binds_made_;
  bound->arrays = arrays;
  bound->mode = mode;
  drop_replaced_binds();
  return bound;
}

bool Statement::covers(const Bind& bound, size_t occurrence) const {
  if (occurrence >= placeholders_.size()) return false;
  if (!bound.name.empty()) return bound.name == placeholders_[occurrence];
  return bound.position == (block_positions_ ? distinct_positions_[occurrence] : occurrence + 1);
}

Bind* Statement::bind_at(size_t occurrence) const {
  Bind* newest = nullptr;
  for (const auto& bound : binds_) {
    if (covers(*bound, occurrence) && (newest == nullptr || bound->made > newest->made)) newest = bound.get();
  }
  return newest;
}

// A client may free the buffers of binds it has replaced (a statement cache does),
// so a replaced bind must not stay where an OUT value could be written through it.
void Statement::drop_replaced_binds() {
  std::vector<const Bind*> in_use;
  for (size_t occurrence = 0; occurrence < placeholders_.size(); ++occurrence) in_use.push_back(bind_at(occurrence));
  std::erase_if(binds_, [&](const std::unique_ptr<Bind>& bound) {
    bool covers_any = false;
    for (size_t occurrence = 0; occurrence < placeholders_.size() && !covers_any; ++occurrence) {
      covers_any = covers(*bound, occurrence);
    }
    return covers_any && std::find(in_use.begin(), in_use.end(), bound.get()) == in_use.end();
  });
}

Define* Statement::define(uint32_t position, const ElementArrays& arrays, uint32_t mode) {
  if (position == 0) fail(1007);
  if (defines_.size() < position) defines_.resize(position);
  auto& slot = defines_[position - 1];
  if (!slot) slot = std::make_unique<Define>(env(), this);
  slot->position = position;
  slot->arrays = arrays;
  slot->mode = mode;
  return slot.get();
}

void Statement::fail_sqlite(int rc, bool at_prepare) {
  sqlite3* db = connection_->db();
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) fail(54);
  // Only a prepare failure points into the statement text.
  sql::OracleError error = at_prepare ? sql::map_sqlite_error(db, rc, text)
                                      : sql::as_failure_of(translation_.kind, sql::map_sqlite_error(db, rc));
  parse_error_offset = static_cast<uint16_t>(error.parse_offset);
  throw OracleException{std::move(error)};
}

void Statement::ensure_translated(Session& session) {
  if (translated_ && session_ == &session && generation_ == session.generation && connection_ == session.connection) {
    return;
  }
  finalize();
  session_ = &session;
  connection_ = session.connection;
  generation_ = session.generation;
  parse_error_offset = 0;
  if (std::optional<ParsedStatement> parsed = session.take_parsed(text)) {
    translation_ = std::move(parsed->translation);
    main_ = parsed->main;
    data_version_ = parsed->data_version;
  } else {
    data_version_ = session.data_version();
    try {
      translation_ = sql::translate(text, connection_->db(), session.context);
      if (translation_.reserved_bind_offset >= 0) sql::throw_oracle(kReservedBindName, {}, translation_.reserved_bind_offset);
    } catch (const sql::OracleException& e) {
      parse_error_offset = static_cast<uint16_t>(e.error.parse_offset);
      throw;
    }
  }
  if (translation_.statement_type != 0) statement_type = static_cast<uint16_t>(translation_.statement_type);
  sql_function_code = static_cast<uint16_t>(translation_.sql_function_code);
  if (main_ == nullptr && (is_query(translation_.kind) || is_dml(translation_.kind)) && !translation_.sqlite_sql.empty()) {
    const std::string& main_sql = translation_.sqlite_sql.back();
    int rc = sqlite3_prepare_v2(connection_->db(), main_sql.c_str(), static_cast<int>(main_sql.size()), &main_, nullptr);
    if (rc != SQLITE_OK) fail_sqlite(rc, /*at_prepare=*/true);
  }
  translated_ = true;
}

void Statement::run_ddl_statements() {
  constexpr std::string_view kDropTable = "DROP TABLE ";
  for (const std::string& sql : translation_.sqlite_sql) {
    const int rc = sqlite3_exec(connection_->db(), sql.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) continue;
    // Locked by a cursor of this connection still reading (SQLite's rule, not Oracle's).
    if ((rc & 0xff) == SQLITE_LOCKED && std::string_view(sql).substr(0, kDropTable.size()) == kDropTable) {
      connection_->recycle_table(sql.substr(kDropTable.size()));
      continue;
    }
    fail_sqlite(rc);
  }
}

void Statement::run_statements(size_t count) {
  for (size_t i = 0; i < count && i < translation_.sqlite_sql.size(); ++i) {
    int rc = sqlite3_exec(connection_->db(), translation_.sqlite_sql[i].c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail_sqlite(rc);
  }
}

uint64_t Statement::run_bound_statements(uint32_t row, uint32_t iteration) {
  uint64_t changes = 0;
  sqlite3* db = connection_->db();
  for (size_t i = 0; i + 1 < translation_.sqlite_sql.size(); ++i) {
    const std::string& sql = translation_.sqlite_sql[i];
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (rc != SQLITE_OK) fail_sqlite(rc);
    for (int index = 1; index <= sqlite3_bind_parameter_count(raw); ++index) {
      if (static_cast<size_t>(index) < parameter_binds_.size() && parameter_binds_[static_cast<size_t>(index)])
        bind_element(*parameter_binds_[static_cast<size_t>(index)], raw, index, row, iteration);
    }
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail_sqlite(rc);
    changes += static_cast<uint64_t>(sqlite3_changes(db));
  }
  return changes;
}

void Statement::map_parameters(bool require_all) {
  int count = sqlite3_bind_parameter_count(main_);
  // INSERT ALL's earlier statements may use placeholders the last one does not.
  if (is_dml(translation_.kind) && translation_.sqlite_sql.size() > 1) {
    for (const sql::Placeholder& placeholder : translation_.placeholders) count = std::max(count, placeholder.sqlite_index);
  }
  parameter_binds_.assign(static_cast<size_t>(count) + 1, nullptr);
  for (size_t i = 0; i < translation_.placeholders.size(); ++i) {
    const sql::Placeholder& placeholder = translation_.placeholders[i];
    if (placeholder.sqlite_index <= 0 || placeholder.sqlite_index > count) continue;
    if (Bind* bound = bind_at(i)) parameter_binds_[static_cast<size_t>(placeholder.sqlite_index)] = bound;
  }
  for (int index = 1; require_all && index <= count; ++index) {
    if (parameter_binds_[static_cast<size_t>(index)] == nullptr) fail(1008);
  }
  plan_binds();
}

namespace {

const sb2 kNotNull = 0;  // the indicator of binds the client gave none

DirectBindKind direct_bind_kind(const ElementArrays& a) {
  if (a.values == nullptr || a.wide_lengths) return DirectBindKind::None;
  switch (a.dty) {
    case SQLT_INT:
      if (a.lengths) return DirectBindKind::None;  // a length slot would choose the width
      switch (a.value_size) {
        case 1: return DirectBindKind::Int8;
        case 2: return DirectBindKind::Int16;
        case 4: return DirectBindKind::Int32;
        case 8: return DirectBindKind::Int64;
        default: return DirectBindKind::None;
      }
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_IBDOUBLE:
      return a.value_size == 8 && a.lengths == nullptr ? DirectBindKind::Real : DirectBindKind::None;
    case SQLT_CHR:
      return DirectBindKind::Text;
    case SQLT_STR:
      return DirectBindKind::TerminatedText;
    default:
      return DirectBindKind::None;
  }
}

PlannedBind planned_bind(Bind& bound, int index) {
  const ElementArrays& a = bound.arrays;
  PlannedBind p;
  p.bound = &bound;
  p.index = index;
  p.kind = direct_bind_kind(a);
  p.values = static_cast<const char*>(a.values);
  p.value_skip = a.value_skip;
  p.value_size = a.value_size > 0 ? static_cast<uint32_t>(a.value_size) : 0;
  p.indicators = a.indicators ? static_cast<const char*>(a.indicators) : reinterpret_cast<const char*>(&kNotNull);
  p.indicator_skip = a.indicators ? a.indicator_skip : 0;
  p.lengths = reinterpret_cast<const char*>(a.lengths);
  p.length_skip = a.length_skip;
  return p;
}

}  // namespace

// A data-at-exec callback runs client code between elements, which may bind anew: then
// nothing is planned, and every element reads its bind as it stands.
void Statement::plan_binds() {
  bind_plan_.clear();
  const auto used = std::min(parameter_binds_.size(), static_cast<size_t>(sqlite3_bind_parameter_count(main_)) + 1);
  const bool callbacks = std::any_of(binds_.begin(), binds_.end(), [](const std::unique_ptr<Bind>& b) {
    return b && (b->mode & OCI_DATA_AT_EXEC) && b->in_callback;
  });
  for (size_t index = 1; index < used; ++index) {
    if (parameter_binds_[index] == nullptr) continue;  // describe without binds: NULL
    PlannedBind planned = planned_bind(*parameter_binds_[index], static_cast<int>(index));
    if (callbacks) planned.kind = DirectBindKind::None;
    bind_plan_.push_back(planned);
  }
  binds_call_back_ = callbacks;
}

void Statement::bind_row(sqlite3_stmt* stmt, int shift, uint32_t row, uint32_t iteration) {
  for (const PlannedBind& planned : bind_plan_) {
    if (planned.kind != DirectBindKind::None) {
      bind_directly(planned, stmt, planned.index + shift, row);
    } else {
      bind_element(*planned.bound, stmt, planned.index + shift, row, iteration);
    }
  }
}

InPiece Statement::in_piece(Bind& bound, uint32_t iteration) {
  InPiece in;
  ub1 piece = OCI_ONE_PIECE;
  void* indicator = nullptr;
  if (bound.in_callback(bound.in_context, reinterpret_cast<OCIBind*>(&bound), iteration, 0, &in.buffer, &in.length,
                        &piece, &indicator) != OCI_CONTINUE) {
    fail(24343);
  }
  in.indicator = static_cast<sb2*>(indicator);
  return in;
}

void Statement::bind_element(Bind& bound, sqlite3_stmt* stmt, int index, uint32_t row, uint32_t iteration) {
  const ElementArrays& a = bound.arrays;
  const bool at_exec = (bound.mode & OCI_DATA_AT_EXEC) && bound.in_callback;
  if (is_locator_type(a.dty)) {
    if (!at_exec) return bind_locator(stmt, index, a, row);
    // A callback hands over the locator itself, where an element holds a pointer to one.
    InPiece in = in_piece(bound, iteration);
    void* locator = in.buffer;
    ElementArrays given;
    given.values = &locator;
    given.value_size = sizeof locator;
    given.dty = a.dty;
    given.indicators = in.indicator;
    if (locator == nullptr) return static_cast<void>(sqlite3_bind_null(stmt, index));
    return bind_locator(stmt, index, given, 0);
  }
  if (a.dty == SQLT_REF) {
    std::optional<std::string> stored = bound_ref_text(bound, row);
    if (!stored) {
      sqlite3_bind_null(stmt, index);
    } else {
      sqlite3_bind_text(stmt, index, stored->data(), static_cast<int>(stored->size()), SQLITE_TRANSIENT);
    }
    return;
  }
  const void* value = a.values ? a.value_at(row) : nullptr;
  const sb2* indicator = a.indicator_at(row);
  uint32_t length = a.length(row);
  bool null = indicator && *indicator == -1;
  void* descriptor = nullptr;
  if (at_exec) {
    InPiece in = in_piece(bound, iteration);
    // Likewise a descriptor (datetime, interval, rowid) comes itself.
    descriptor = in.buffer;
    value = is_descriptor_type(a.dty) ? &descriptor : in.buffer;
    length = in.length;
    null = in.buffer == nullptr || (in.indicator && *in.indicator == -1);
  } else if (!a.has_length(row) && value) {
    length = implied_length(a.dty, value, a.value_size);
  }
  if (a.dty == SQLT_NTY) {
    // A type a package declares exists for PL/SQL only.
    const TypeDescriptor* type = bound.objects.type;
    if (type != nullptr && !type->info.package.empty() && translation_.kind != sql::StatementKind::PlsqlBlock) {
      fail(kObjectGone);
    }
    std::optional<std::string> stored = bound_object_text(bound, row, *session_);
    if (!stored) {
      sqlite3_bind_null(stmt, index);
    } else {
      sqlite3_bind_text(stmt, index, stored->data(), static_cast<int>(stored->size()), SQLITE_TRANSIENT);
    }
  } else if (null || value == nullptr) {
    sqlite3_bind_null(stmt, index);
  } else {
    bind_value(stmt, index, a.dty, value, length);
  }
}

sword Statement::execute(Session& session, ErrorHandle* errors, uint32_t iters, uint32_t row_offset, uint32_t mode) {
  // LOB writes kept in the session reach their rows before any SQL can see them.
  if (session.write_transaction) session.lobs.flush(*session.connection);
  session.lobs.discard();
  if (adopted_) return iters == 0 || (mode & OCI_DESCRIBE_ONLY) ? OCI_SUCCESS : fetch(errors, iters, OCI_FETCH_NEXT, 0);
  session.apply_requested_schema();
  if (mode & OCI_PARSE_ONLY) {
    parse_only(session);
    return OCI_SUCCESS;
  }
  ensure_translated(session);
  rowid_text.clear();
  dml_row_offset = 0;
  row_errors.clear();
  if (errors) errors->set_row_errors({});
  sword result = OCI_SUCCESS;
  if (is_query(translation_.kind)) {
    result = execute_query(session, errors, iters, mode);
  } else if (mode & OCI_DESCRIBE_ONLY) {
    return OCI_SUCCESS;
  } else if (translation_.kind == sql::StatementKind::PlsqlBlock && translation_.sql_function_code == kPlsqlBlockCode) {
    result = execute_plsql(session, iters, row_offset);
  } else if (translation_.kind == sql::StatementKind::PlsqlBlock &&
             (translation_.sql_function_code == kCreateProcedureCode || translation_.sql_function_code == kCreateFunctionCode ||
              translation_.sql_function_code == kCreateTriggerCode || translation_.sql_function_code == kCreatePackageCode ||
              translation_.sql_function_code == kCreatePackageBodyCode)) {
    result = execute_create_program(session, errors);
  } else if (is_dml(translation_.kind)) {
    if (translation_.sqlite_sql.empty()) fail(3001);
    result = execute_dml(session, iters, row_offset, (mode & OCI_BATCH_ERRORS) != 0);
  } else {
    execute_other(session);
  }
  if (!row_errors.empty()) {
    // Some rows failed: the client reads their errors and decides; nothing is committed for it.
    if (errors) errors->set_row_errors(row_errors);
    record_error(errors, 24381, message_text(24381));
    return OCI_SUCCESS_WITH_INFO;
  }
  if ((mode & OCI_COMMIT_ON_SUCCESS) || session.autocommit) session.commit();
  return result;
}

void Statement::parse_only(Session& session) {
  ensure_translated(session);
  if (translation_.kind != sql::StatementKind::PlsqlBlock || translation_.sql_function_code != kPlsqlBlockCode) return;
  compile_block(session);
}

bool Statement::column_types_declared() const {
  const int count = sqlite3_column_count(main_);
  for (int i = 0; i < count; ++i) {
    if (static_cast<size_t>(i) < translation_.select_types.size() && translation_.select_types[i]) continue;
    if (!sql::parse_declared_type(sqlite3_column_decltype(main_, i))) return false;
  }
  return true;
}

void Statement::describe_execution(Session& session, bool may_peek) {
  const int reprepares = sqlite3_stmt_status(main_, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (kept_description_ && kept_description_->generation == session.generation &&
      kept_description_->statement == main_ && kept_description_->reprepares == reprepares) {
    return;
  }
  describe(may_peek);
  if (!types_guessed_) kept_description_ = KeptDescription{session.generation, main_, reprepares};
}

void Statement::describe(bool may_peek) {
  columns_.clear();
  params_.clear();
  kept_description_.reset();
  types_guessed_ = false;
  int count = sqlite3_column_count(main_) - static_cast<int>(translation_.lob_rowids.size());
  if (translation_.lock_rowid_column > 0) count = std::min(count, translation_.lock_rowid_column - 1);
  for (int i = 0; i < count; ++i) {
    ColumnInfo column;
    column.name = sql::oracle_name(sqlite3_column_name(main_, i));
    std::optional<sql::OracleType> type;
    if (static_cast<size_t>(i) < translation_.select_types.size()) type = translation_.select_types[i];
    if (!type) type = sql::parse_declared_type(sqlite3_column_decltype(main_, i));
    if (!type) {
      type = inferred_type(may_peek ? cell_at(main_, i) : Cell{});
      types_guessed_ = true;
    }
    column.type = *type;
    if (static_cast<size_t>(i) < translation_.cursor_columns.size()) column.cursor = translation_.cursor_columns[i];
#ifdef SQLITE_ENABLE_COLUMN_METADATA
    const char* table = sqlite3_column_table_name(main_, i);
    const char* origin = sqlite3_column_origin_name(main_, i);
    int not_null = 0;
    if (table && origin &&
        sqlite3_table_column_metadata(connection_->db(), sqlite3_column_database_name(main_, i), table, origin,
                                      nullptr, nullptr, &not_null, nullptr, nullptr) == SQLITE_OK) {
      column.nullable = not_null == 0;
    }
#endif
    if ((column.type.type_code >= kClobType && column.type.type_code <= kBfileType) ||
        column.type.type_code == sql::kObjectColumnType) {
      locate_origin(column, i);
    }
    columns_.push_back(std::move(column));
  }
}

void Statement::locate_origin(ColumnInfo& column, int index) {
  std::string attribute_path;
  const char* table = sqlite3_column_table_name(main_, index);
  const char* origin = sqlite3_column_origin_name(main_, index);
  for (const auto& attribute : translation_.lob_attributes) {
    if (attribute.select_index != index) continue;
    table = attribute.table.c_str();
    origin = attribute.column.c_str();
    attribute_path = attribute.path;
  }
  for (const auto& deferred : translation_.deferred_lobs) {
    if (deferred.column != index) continue;
    table = deferred.table.c_str();
    origin = deferred.name.c_str();
    column.deferred = true;
    int not_null = 0;
    if (sqlite3_table_column_metadata(connection_->db(), "main", table, origin, nullptr, nullptr, &not_null, nullptr,
                                      nullptr) == SQLITE_OK) {
      column.nullable = not_null == 0;
    }
  }
  if (table == nullptr || origin == nullptr) return;
  for (const auto& hidden : translation_.lob_rowids) {
    if (sql_name_equal(hidden.table, table)) {
      column.origin_table = table;
      column.origin_column = origin;
      column.origin_path = attribute_path;
      column.rowid_column = hidden.column - 1;
      return;
    }
  }
}

sword Statement::execute_query(Session& session, ErrorHandle* errors, uint32_t iters, uint32_t mode) {
  if (main_ == nullptr) fail(900);
  close_cursor();
  run_statements(translation_.sqlite_sql.size() - 1);
  sqlite3_reset(main_);
  sqlite3_clear_bindings(main_);
  map_parameters((mode & OCI_DESCRIBE_ONLY) == 0);
  bind_row(main_, 0, 0, 0);
  if (mode & OCI_DESCRIBE_ONLY) {
    // Stepping runs the query (a sequence's NEXTVAL draws a number), so a row
    // is peeked at only for a column whose type nothing else tells.
    if (column_types_declared()) {
      describe(false);
      return OCI_SUCCESS;
    }
    int rc = sqlite3_step(main_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail_sqlite(rc);
    describe(rc == SQLITE_ROW);
    sqlite3_reset(main_);
    return OCI_SUCCESS;
  }
  int rc = sqlite3_step(main_);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    sqlite3_reset(main_);
    fail_sqlite(rc);
  }
  pending_row_ = rc == SQLITE_ROW;
  describe_execution(session, pending_row_);
  cursor_ = pending_row_ ? Cursor::Open : Cursor::Open;
  row_count = 0;
  rows_fetched = 0;
  current_position = 0;
  client_prefetched_ = prefetch_set ? prefetch_rows : 0;
  scrollable_ = (mode & OCI_STMT_SCROLLABLE_READONLY) != 0;
  if (translation_.for_update || scrollable_) materialize();
  if (translation_.for_update) lock_selected_rows(session);
  if (iters == 0) return OCI_SUCCESS;
  sword result = fetch(errors, iters, OCI_FETCH_NEXT, 0);
  if ((mode & OCI_EXACT_FETCH) && result == OCI_SUCCESS && advance()) {
    close_cursor();
    fail(1422);
  }
  return result;
}

void Statement::materialize() {
  rows_.clear();
  int width = sqlite3_column_count(main_);
  while (advance()) {
    std::vector<StoredCell>& row = rows_.emplace_back();
    row.reserve(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i) row.push_back(StoredCell::from(cell_at(main_, i)));
  }
  sqlite3_reset(main_);
  materialized_ = true;
  next_row_ = 0;
  cursor_ = Cursor::Open;
}

void Statement::lock_selected_rows(Session& session) {
  std::vector<int64_t> rowids;
  int column = translation_.lock_rowid_column;
  if (column > 0) {
    for (auto& row : rows_) {
      if (static_cast<size_t>(column) <= row.size()) rowids.push_back(row[static_cast<size_t>(column) - 1].integer);
    }
    if (rowids.empty()) return;  // nothing selected, nothing to lock
  }
  session.lock_rows(translation_.locked_table, rowids, translation_.nowait);
}

sword Statement::execute_dml(Session& session, uint32_t iters, uint32_t row_offset, bool batch_errors) {
  if (iters == 0) fail(24333);
  // A row locked by another session's FOR UPDATE: undo, wait for its release, run again.
  for (;;) {
    bool transaction_was_empty = !session.write_transaction;
    if (!try_dml(session, iters, row_offset, batch_errors)) break;
    if (!session.wait_for_conflicting_lock(transaction_was_empty)) fail(54);
  }
  if (!session.last_table.empty() && !translation_.multitable_insert) {
    rowid_text = sql::encode_rowid(session.rowid_object_id(session.last_table), session.last_rowid);
  }
  return OCI_SUCCESS;
}

// Runs the iterations once; true when they touched a row another session has locked (and were undone).
bool Statement::try_dml(Session& session, uint32_t iters, uint32_t row_offset, bool batch_errors) {
  session.start_write();
  bool watch = !session.database->locks.empty();
  if (watch) {
    connection_->exec("SAVEPOINT ociemu_statement");
    session.watch_locks = true;
    session.lock_conflict = false;
  }
  session.last_table.clear();
  row_count = 0;
  row_counts.clear();
  for (auto& bound : binds_) bound->rows_returned = 0;
  auto finish_watch = [&](bool undo) {
    if (!watch) return;
    session.watch_locks = false;
    if (undo) connection_->exec("ROLLBACK TO ociemu_statement");
    connection_->exec("RELEASE ociemu_statement");
  };
  row_errors.clear();
  rows_run_ += iters;
  uint32_t total_returned = 0;
  try {
    map_parameters(true);
    for (uint32_t i = 0; i < iters && !(watch && session.lock_conflict);) {
      const uint32_t rows = rows_at_once(iters - i);
      if (rows > 1 && insert_rows_at_once(row_offset + i, i, rows)) {
        i += rows;
        continue;
      }
      for (const uint32_t end = i + rows; i < end && !(watch && session.lock_conflict); ++i) {
        total_returned += batch_errors ? run_dml_row_keeping_errors(row_offset + i, i) : run_dml_row(row_offset + i, i);
      }
    }
  } catch (...) {
    finish_watch(false);
    throw;
  }
  // Inside the callbacks the count is the iteration's; afterwards, the statement's.
  for (size_t item = 0; item < translation_.returning_into.size(); ++item) {
    if (Bind* bound = returning_bind(item)) bound->rows_returned = total_returned;
  }
  bool conflict = watch && session.lock_conflict;
  finish_watch(conflict);
  if (conflict) row_count = 0, row_counts.clear();
  return conflict;
}

uint32_t Statement::run_dml_row(uint32_t row, uint32_t iteration) {
  if (translation_.returning_into.empty() && translation_.sqlite_sql.size() == 1) return run_dml_row_once(row, iteration);
  // A returned value the client's bind cannot take fails the iteration, and undoes its change;
  // a statement run as several SQLite statements fails as a whole.
  connection_->exec("SAVEPOINT ociemu_iteration");
  try {
    const uint32_t returned = run_dml_row_once(row, iteration);
    connection_->exec("RELEASE ociemu_iteration");
    return returned;
  } catch (...) {
    sqlite3_reset(main_);
    connection_->exec("ROLLBACK TO ociemu_iteration");
    connection_->exec("RELEASE ociemu_iteration");
    throw;
  }
}

uint32_t Statement::run_dml_row_once(uint32_t row, uint32_t iteration) {
  const uint64_t earlier_changes = run_bound_statements(row, iteration);
  sqlite3_reset(main_);
  bind_row(main_, 0, row, iteration);
  int rc;
  // RETURNING rows are all read before any is written out: the first out-bind
  // callback of the iteration already sees how many there are.
  std::vector<std::vector<StoredCell>> returned;
  while ((rc = sqlite3_step(main_)) == SQLITE_ROW) returned.push_back(returned_cells());
  if (rc != SQLITE_DONE) {
    dml_row_offset = row;
    sqlite3_reset(main_);
    fail_sqlite(rc);
  }
  if (!translation_.returning_into.empty()) place_returning(row, returned);
  const auto last_changes = translation_.last_statement_uncounted ? 0 : sqlite3_changes(connection_->db());
  row_counts.push_back(static_cast<ub8>(last_changes) + earlier_changes);
  row_count += row_counts.back();
  sqlite3_reset(main_);
  return static_cast<uint32_t>(returned.size());
}

uint32_t Statement::run_dml_row_keeping_errors(uint32_t row, uint32_t iteration) {
  connection_->exec("SAVEPOINT ociemu_row");
  try {
    uint32_t returned = run_dml_row(row, iteration);
    connection_->exec("RELEASE ociemu_row");
    return returned;
  } catch (const OracleException& e) {
    sqlite3_reset(main_);
    connection_->exec("ROLLBACK TO ociemu_row");
    connection_->exec("RELEASE ociemu_row");
    row_errors.push_back(RowError{ErrorRecord{e.error.code, full_message(e.error.code, e.error.message)}, row});
    row_counts.push_back(0);
    return 0;
  }
}

namespace {
// Powers of two keep the statements an execute prepares few; fewer rows go one at a time.
constexpr uint32_t kMostRowsAtOnce = 512, kFewestRowsAtOnce = 8;
// Preparing a row of a rows-at-once statement costs about ten times what running it saves, so
// one of n rows is prepared only after the handle has run this many times n rows.
constexpr uint64_t kRowsRunPerRowPrepared = 32;
}  // namespace

uint32_t Statement::rows_at_once(uint32_t remaining) const {
  if (translation_.repeatable_insert_row.empty() || binds_call_back_) return 1;
  const int parameters = sqlite3_bind_parameter_count(main_);
  const int parameter_limit = sqlite3_limit(connection_->db(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
  uint32_t rows = std::min(remaining, kMostRowsAtOnce);
  if (parameters > 0) rows = std::min(rows, static_cast<uint32_t>(parameter_limit / parameters));
  if (rows < kFewestRowsAtOnce) return 1;
  rows = std::bit_floor(rows);
  const bool prepared = std::any_of(rows_inserts_.begin(), rows_inserts_.end(),
                                    [&](const RowsInsert& kept) { return kept.rows == rows; });
  if (prepared || rows_run_ >= kRowsRunPerRowPrepared * rows) return rows;
  const uint64_t affordable = rows_run_ / kRowsRunPerRowPrepared;
  return affordable >= kFewestRowsAtOnce ? static_cast<uint32_t>(std::bit_floor(affordable)) : 1;
}

sqlite3_stmt* Statement::rows_insert_statement(uint32_t rows) {
  for (const RowsInsert& kept : rows_inserts_) {
    if (kept.rows == rows) return kept.statement;
  }
  const int parameters = sqlite3_bind_parameter_count(main_);
  const std::string sql = sql::rows_insert(translation_, parameters, static_cast<int>(rows));
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(connection_->db(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &statement, nullptr) != SQLITE_OK ||
      sqlite3_bind_parameter_count(statement) != parameters * static_cast<int>(rows)) {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
  rows_inserts_.push_back(RowsInsert{rows, statement});
  return statement;
}

bool Statement::insert_rows_at_once(uint32_t first, uint32_t iteration, uint32_t rows) {
  sqlite3_stmt* statement = rows_insert_statement(rows);
  if (statement == nullptr) return false;
  const int parameters = sqlite3_bind_parameter_count(main_);
  // SQLite undoes a failed statement's rows only when it keeps a statement journal.
  connection_->exec("SAVEPOINT ociemu_rows");
  auto finish = [&](bool keep) {
    sqlite3_reset(statement);
    if (!keep) connection_->exec("ROLLBACK TO ociemu_rows");
    connection_->exec("RELEASE ociemu_rows");
  };
  bool inserted = false;
  try {
    for (uint32_t k = 0; k < rows; ++k) bind_row(statement, static_cast<int>(k) * parameters, first + k, iteration + k);
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    inserted = rc == SQLITE_DONE && sqlite3_changes64(connection_->db()) == rows;
  } catch (const OracleException&) {
    // A value the binds cannot give: its row, run alone, fails with it.
  } catch (...) {
    finish(false);
    throw;
  }
  finish(inserted);
  if (inserted) {
    row_counts.insert(row_counts.end(), rows, 1);
    row_count += rows;
  }
  return inserted;
}

// RETURNING ... INTO closes the statement, so its targets are the last placeholders.
Bind* Statement::returning_bind(size_t item) const {
  const size_t targets = translation_.returning_into.size();
  if (item >= targets || targets > placeholders_.size()) return nullptr;
  return bind_at(placeholders_.size() - targets + item);
}

std::vector<StoredCell> Statement::returned_cells() const {
  std::vector<StoredCell> cells;
  const int count = sqlite3_column_count(main_);
  cells.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) cells.push_back(StoredCell::from(cell_at(main_, i)));
  return cells;
}

void Statement::place_returning(uint32_t row, const std::vector<std::vector<StoredCell>>& returned) {
  const size_t items = std::min(static_cast<size_t>(sqlite3_column_count(main_)), translation_.returning_into.size());
  for (size_t i = 0; i < items; ++i) {
    if (Bind* bound = returning_bind(i)) bound->rows_returned = static_cast<uint32_t>(returned.size());
  }
  for (size_t r = 0; r < returned.size(); ++r) {
    for (size_t i = 0; i < items; ++i) {
      Bind* bound = returning_bind(i);
      if (bound == nullptr) continue;
      Cell value = returned[r][i].view();
      sql::OracleType type = inferred_type(value);
      if (auto declared = sql::parse_declared_type(sqlite3_column_decltype(main_, static_cast<int>(i)))) type = *declared;
      const auto index = static_cast<uint32_t>(r);
      if (is_locator_type(bound->arrays.dty)) {
        place_locator_out(*bound, row, row, index, value, returned_column(i, type), returned_rowid(returned[r]));
      } else {
        place_out(*bound, value, type, row, row, index);
      }
    }
  }
}

OutSlot Statement::out_slot(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index) {
  const ElementArrays& a = bound.arrays;
  if (!bound.out_callback) {
    return OutSlot{a.values ? a.value_at(slot) : nullptr, a.value_size, a.indicator_at(slot), a.code_at(slot), nullptr,
                   false};
  }
  OutSlot out;
  out.from_callback = true;
  out.size = a.value_size;
  ub1 piece = OCI_ONE_PIECE;
  void* indicator = nullptr;
  if (bound.out_callback(bound.out_context, reinterpret_cast<OCIBind*>(&bound), iteration,
                         index.value_or(bound.rows_returned), &out.target, &out.callback_length, &piece, &indicator,
                         &out.code) != OCI_CONTINUE) {
    fail(24343);
  }
  out.indicator = static_cast<sb2*>(indicator);
  if (out.callback_length) out.size = static_cast<int32_t>(*out.callback_length);
  return out;
}

void Statement::place_out(Bind& bound, const Cell& value, const sql::OracleType& type, uint32_t slot, uint32_t iteration,
                          std::optional<uint32_t> index) {
  const uint16_t dty = bound.arrays.dty;
  if (is_locator_type(dty)) {
    ColumnInfo computed;
    computed.type = type;
    place_locator_out(bound, slot, iteration, index, value, computed, std::nullopt);
  } else if (dty == SQLT_REF && !bound.out_callback) {
    place_ref_out(bound, slot, value);
  } else if (dty == SQLT_NTY) {
    place_object_out(bound, slot, iteration, index, value);
  } else {
    OutSlot out = out_slot(bound, slot, iteration, index);
    // A callback hands over a descriptor itself, where an element holds a pointer to one.
    void* descriptor = out.target;
    void* target = out.from_callback && is_descriptor_type(dty) ? &descriptor : out.target;
    Placed placed = target ? place_value(value, type, dty, target, out.size, session_->context) : Placed{true, false, 0, 0};
    if (out.indicator) *out.indicator = placed.is_null ? -1 : placed.truncated ? static_cast<sb2>(placed.full_length) : 0;
    if (!out.from_callback) bound.arrays.set_length(slot, placed.written);
    if (out.callback_length) *out.callback_length = placed.written;
    set_code(out.code, placed.is_null ? 1405 : placed.truncated ? 1406 : 0);
  }
  if (!index) ++bound.rows_returned;
}

// Objects go into instances: the element's (made when it has none), or the one a callback hands over.
void Statement::place_object_out(Bind& bound, uint32_t slot, uint32_t iteration, std::optional<uint32_t> index,
                                 const Cell& value) {
  const ObjectOrigin computed{session_, {}, {}, std::nullopt};
  if (!bound.out_callback) return place_object(bound.objects, bound.env(), slot, value, computed);
  OutSlot out = out_slot(bound, slot, iteration, index);
  if (object_cache(bound.env())->find_instance(out.target) == nullptr) fail(21710);
  void* instance = out.target;
  ObjectArrays given{bound.objects.type, &instance, nullptr};
  place_object(given, bound.env(), 0, value, computed);
}

void Statement::execute_other(Session& session) {
  using K = sql::StatementKind;
  switch (translation_.kind) {
    case K::Create:
    case K::Drop:
    case K::Alter:
    case K::OtherDdl:
      session.commit();  // DDL ends the open transaction
      connection_->drop_recycled();
      run_ddl_statements();
      ++session.generation;
      return;
    case K::Commit: session.commit(); return;
    case K::Rollback: session.rollback(); return;
    case K::Savepoint: session.savepoint(translation_.savepoint); return;
    case K::RollbackToSavepoint: session.rollback_to(translation_.savepoint); return;
    case K::AlterSession:
      run_statements(translation_.sqlite_sql.size());
      ++session.generation;
      return;
    case K::Lock:
      if (!translation_.locked_table.empty()) session.lock_rows(translation_.locked_table, {}, translation_.nowait);
      return;
    default:
      run_statements(translation_.sqlite_sql.size());
      return;
  }
}

void Statement::close_cursor() {
  if (main_) sqlite3_reset(main_);
  cursor_ = Cursor::Closed;
  closed_by_block_ = false;
  pending_row_ = false;
  client_prefetched_ = 0;
  prefetched_held_ = false;
  materialized_ = false;
  rows_.clear();
}

Cell Statement::cell(uint32_t column) const {
  Cell value = materialized_ ? rows_[current_row_][column].view() : cell_at(main_, static_cast<int>(column));
  if (column < columns_.size() && columns_[column].deferred) return deferred_cell(column, value, false);
  return value;
}

void Statement::place_piecewise(Define& define, const Cell& value, const ColumnInfo& column, uint32_t slot) {
  std::string rendered;
  std::string_view bytes;
  if (value.kind == Cell::Blob || (value.kind == Cell::Text && column.type.type_code != 12)) {
    bytes = std::string_view(value.data, value.size);
  } else if (value.kind != Cell::Null) {
    rendered = render_text(value, column.type, session_->context);
    bytes = rendered;
  }
  size_t offset = 0;
  ub1 piece = OCI_FIRST_PIECE;
  do {
    void* buffer = nullptr;
    ub4* length = nullptr;
    void* indicator = nullptr;
    ub2* code = nullptr;
    if (define.callback(define.callback_context, reinterpret_cast<OCIDefine*>(&define), slot, &buffer, &length, &piece,
                        &indicator, &code) != OCI_CONTINUE) {
      fail(24343);
    }
    if (value.kind == Cell::Null) {
      if (indicator == nullptr) fail(1405);
      *static_cast<sb2*>(indicator) = -1;
      if (length) *length = 0;
      set_code(code, 1405);
      return;
    }
    size_t capacity = (length && buffer) ? *length : 0;
    size_t n = std::min(capacity, bytes.size() - offset);
    if (n == 0 && offset < bytes.size()) fail(24343);
    if (n) std::memcpy(buffer, bytes.data() + offset, n);
    offset += n;
    if (length) *length = static_cast<ub4>(n);
    if (indicator) *static_cast<sb2*>(indicator) = 0;
    set_code(code, 0);
    piece = OCI_NEXT_PIECE;
  } while (offset < bytes.size());
}

namespace {

DirectTarget direct_target(const ElementArrays& a, DirectSinks& sinks) {
  auto array_or_sink = [](void* array, size_t skip, void* sink, char*& base, size_t& stride) {
    base = static_cast<char*>(array ? array : sink);
    stride = array ? skip : 0;
  };
  DirectTarget t;
  t.values = static_cast<char*>(a.values);
  t.value_skip = a.value_skip;
  t.value_size = a.value_size > 0 ? static_cast<uint32_t>(a.value_size) : 0;
  array_or_sink(a.indicators, a.indicator_skip, &sinks.indicator, t.indicators, t.indicator_skip);
  array_or_sink(a.lengths, a.length_skip, &sinks.length, t.lengths, t.length_skip);
  array_or_sink(a.wide_lengths, sizeof(ub4), &sinks.wide_length, t.wide_lengths, t.wide_length_skip);
  array_or_sink(a.codes, a.code_skip, &sinks.code, t.codes, t.code_skip);
  t.wide_lengths_or_codes = a.wide_lengths != nullptr || a.codes != nullptr;
  return t;
}

}  // namespace

void Statement::plan_fetch() {
  fetch_plan_.clear();
  fetch_truncated_ = false;
  for (auto& defined : defines_) {
    if (!defined) continue;
    const uint32_t column = defined->position - 1;
    fetch_plan_.push_back(PlannedDefine{defined.get(), static_cast<int>(column), direct_placement(*defined, column),
                                        direct_target(defined->arrays, direct_sinks_)});
  }
}

DirectKind Statement::direct_placement(const Define& define, uint32_t column) const {
  if (materialized_ || column >= columns_.size() || define.arrays.values == nullptr) return DirectKind::None;
  const ColumnInfo& info = columns_[column];
  if (info.deferred || info.cursor || (define.mode & OCI_DYNAMIC_FETCH)) return DirectKind::None;
  const ElementArrays& a = define.arrays;
  const bool as_stored = shows_text_as_stored(info.type.type_code);
  const bool number = info.type.type_code == kTypeNumber;
  switch (a.dty) {
    case SQLT_INT:
      return integer_kind(a.value_size);
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_IBDOUBLE:
      return a.value_size == 8 ? DirectKind::Real : DirectKind::None;
    case SQLT_STR:
      return number ? DirectKind::NumberTerminatedText : as_stored ? DirectKind::TerminatedText : DirectKind::None;
    case SQLT_CHR:
      return number ? DirectKind::NumberText : as_stored ? DirectKind::Text : DirectKind::None;
    case SQLT_VNU:
      return number && a.value_size >= 22 ? DirectKind::VarNum : DirectKind::None;
    case SQLT_NUM:
      return number ? DirectKind::Number : DirectKind::None;
    case SQLT_DAT:
      return a.value_size >= 7 ? DirectKind::Date : DirectKind::None;
    case SQLT_ODT:
      return a.value_size >= static_cast<int32_t>(sizeof(OCIDate)) ? DirectKind::OciDate : DirectKind::None;
    default:
      return DirectKind::None;
  }
}

inline void Statement::place_row(size_t slot) {
  sqlite3_stmt* const row = main_;
  for (const PlannedDefine& planned : fetch_plan_) {
    if (place_directly(planned.direct, row, planned.column, planned.target, slot)) continue;
    if (place_column(*planned.define, static_cast<uint32_t>(planned.column), static_cast<uint32_t>(slot))) {
      fetch_truncated_ = true;
    }
  }
}

bool Statement::place_column(Define& define, uint32_t column, uint32_t slot) {
  if (column >= columns_.size()) fail(1007);
  const ColumnInfo& info = columns_[column];
  const bool marker_only = info.deferred && is_locator_type(define.arrays.dty) &&
                           !((define.mode & OCI_DYNAMIC_FETCH) && define.callback);
  Cell value = marker_only ? deferred_cell(column, materialized_ ? rows_[current_row_][column].view()
                                                                 : cell_at(main_, static_cast<int>(column)), true)
                           : cell(column);
  if ((define.mode & OCI_DYNAMIC_FETCH) && define.callback) {
    place_piecewise(define, value, info, slot);
    return false;
  }
  const ElementArrays& a = define.arrays;
  if (a.dty == SQLT_NTY) {
    ObjectOrigin origin{session_, info.origin_table, info.origin_column, std::nullopt};
    if (info.rowid_column >= 0) origin.rowid = cell(static_cast<uint32_t>(info.rowid_column)).integer;
    place_object(define.objects, define.env(), slot, value, origin);
    return false;
  }
  if (a.dty == SQLT_REF) {
    place_ref(define, slot, value);
    return false;
  }
  if (info.cursor || a.dty == SQLT_RSET) {
    place_cursor(a, slot, value, info);
    return false;
  }
  if (is_locator_type(a.dty)) {
    std::optional<int64_t> rowid;
    if (info.rowid_column >= 0) rowid = cell(static_cast<uint32_t>(info.rowid_column)).integer;
    place_locator(a, slot, value, info, rowid);
    return false;
  }
  Placed placed = place_value(value, info.type, a.dty, a.value_at(slot), a.value_size, session_->context);
  if (placed.is_null) {
    if (a.indicator_at(slot) == nullptr) fail(1405);
    a.set_indicator(slot, -1);
    a.set_length(slot, 0);
    a.set_code(slot, 1405);
    return false;
  }
  a.set_indicator(slot, placed.truncated ? (placed.full_length > 32767 ? -2 : static_cast<sb2>(placed.full_length)) : 0);
  a.set_length(slot, placed.written);
  a.set_code(slot, placed.truncated ? 1406 : 0);
  return placed.truncated;
}

sword Statement::fetch(ErrorHandle* errors, uint32_t rows, uint16_t orientation, int32_t offset) {
  Session* session = live<Session>(session_);
  if (session == nullptr) fail(1012);
  session->check_alive();
  if (cursor_ == Cursor::Closed && closed_by_block_) fail(1001);
  if (cursor_ == Cursor::Closed || !is_query(translation_.kind)) fail(24338);
  if (rows == 0) {
    close_cursor();
    return OCI_SUCCESS;
  }
  if (std::none_of(defines_.begin(), defines_.end(), [](auto& d) { return d != nullptr; })) fail(24374);
  if (scrollable_) return scroll_fetch(errors, rows, orientation, offset);
  if (orientation != OCI_FETCH_NEXT && orientation != 0) fail(24391);
  if (cursor_ == Cursor::Exhausted) fail(1002);
  if (cursor_ == Cursor::Drained) {
    cursor_ = Cursor::Exhausted;
    rows_fetched = 0;
    record_error(errors, 1403, message_text(1403));
    return OCI_NO_DATA;
  }
  uint32_t fetched = 0;
  plan_fetch();
  try {
    while (fetched < rows) {
      if (!advance()) {
        cursor_ = Cursor::Exhausted;
        break;
      }
      place_row(fetched);
      ++fetched;
      ++row_count;
    }
  } catch (...) {
    rows_fetched = fetched;
    throw;
  }
  rows_fetched = fetched;
  const uint32_t held_delivered = std::min(client_prefetched_, fetched);
  if (prefetched_held_) row_count -= held_delivered;  // counted when the block read past them
  client_prefetched_ -= held_delivered;
  if (fetched < rows) {
    record_error(errors, 1403, message_text(1403));
    return OCI_NO_DATA;
  }
  if (fetch_truncated_) {
    record_error(errors, 1406, message_text(1406));
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

sword Statement::scroll_fetch(ErrorHandle* errors, uint32_t rows, uint16_t orientation, int32_t offset) {
  auto total = static_cast<int64_t>(rows_.size());
  int64_t target = 0;
  switch (orientation) {
    case OCI_FETCH_CURRENT: target = current_position; break;
    case 0:
    case OCI_FETCH_NEXT: target = current_position + 1; break;
    case OCI_FETCH_PRIOR: target = current_position - 1; break;
    case OCI_FETCH_FIRST: target = 1; break;
    case OCI_FETCH_LAST: target = total; break;
    case OCI_FETCH_ABSOLUTE: target = offset; break;
    case OCI_FETCH_RELATIVE: target = current_position + offset; break;
    default: fail(24391);
  }
  if (target < 1 || target > total) {
    current_position = target < 1 ? 0 : total + 1;
    rows_fetched = 0;
    record_error(errors, 1403, message_text(1403));
    return OCI_NO_DATA;
  }
  uint32_t fetched = 0;
  plan_fetch();
  while (fetched < rows && target + fetched <= total) {
    current_row_ = static_cast<size_t>(target + fetched - 1);
    place_row(fetched);
    ++fetched;
  }
  current_position = target + fetched - 1;
  rows_fetched = fetched;
  row_count = std::max<uint64_t>(row_count, static_cast<uint64_t>(current_position));
  if (fetched < rows) {
    record_error(errors, 1403, message_text(1403));
    return OCI_NO_DATA;
  }
  if (fetch_truncated_) {
    record_error(errors, 1406, message_text(1406));
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

std::string Statement::current_value_bytes(uint32_t position) {
  if (cursor_ == Cursor::Closed || position == 0 || position > columns_.size()) fail(1007);
  Cell value = cell(position - 1);
  if (value.kind == Cell::Null) return {};
  if (value.kind == Cell::Blob || value.kind == Cell::Text) return std::string(value.data, value.size);
  return render_text(value, columns_[position - 1].type, session_->context);
}

Param* Statement::param(uint32_t position) {
  if (position == 0 || position > columns_.size()) fail(24334);
  if (params_.size() < columns_.size()) params_.resize(columns_.size());
  auto& slot = params_[position - 1];
  if (!slot) slot = std::make_unique<Param>(env(), columns_[position - 1], connection_->db());
  return slot.get();
}

}  // namespace ociemu
