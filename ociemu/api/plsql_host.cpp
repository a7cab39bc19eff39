// PL/SQL blocks on a statement: the statement's binds, session and
// transaction serve the engine through its host interface.
#include <sqlite3.h>

#include <algorithm>

#include "ociemu/api/errors.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/api/statement.h"
#include "ociemu/plsql/calls.h"
#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/host.h"
#include "ociemu/plsql/interpreter.h"
#include "ociemu/plsql/messages.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/plsql/triggers.h"

namespace ociemu {
namespace {

constexpr int kNoDataFound = 1403;
constexpr int kNotAllBound = 1008;
constexpr int kUnimplementedFeature = 3001;
constexpr int kCompiledWithErrors = 24344;
constexpr int kInvalidLocator = 22275;
constexpr int kInvalidCursor = 1001;
constexpr int kInconsistentTypes = 932;

// A bind whose elements are locators of internal LOBs (BFILEs pass as their names).
bool binds_lob(const Bind& bound) { return bound.arrays.dty == SQLT_CLOB || bound.arrays.dty == SQLT_BLOB; }

size_t characters_in(const std::string& utf8) {
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// A block's text does not fit a character OUT bind: Oracle fails the assignment (ORA-06502)
// where a fetch would truncate with ORA-01406.
bool overflows_character_bind(const Bind& bound, const std::string& text) {
  const auto size = static_cast<size_t>(std::max(bound.arrays.value_size, 0));
  size_t capacity = 0;
  switch (bound.arrays.dty) {
    case SQLT_CHR: case SQLT_AFC: case SQLT_AVC: capacity = size; break;
    case SQLT_STR: capacity = size > 0 ? size - 1 : 0; break;
    case SQLT_VCS: capacity = size > 2 ? size - 2 : 0; break;
    case SQLT_LVC: capacity = size > 4 ? size - 4 : 0; break;
    default: return false;
  }
  return text.size() > capacity || (bound.max_chars > 0 && characters_in(text) > bound.max_chars);
}
constexpr int kCreateTriggerCode = 59;

Cell cell_of(const plsql::Value& value) {
  Cell cell;
  switch (value.kind) {
    case plsql::Value::Null: break;
    case plsql::Value::Integer:
    case plsql::Value::Boolean:
      cell.kind = Cell::Integer;
      cell.integer = value.integer;
      break;
    case plsql::Value::Real:
      cell.kind = Cell::Real;
      cell.real = value.real;
      break;
    case plsql::Value::Blob:
      cell.kind = Cell::Blob;
      cell.data = value.bytes.data();
      cell.size = value.bytes.size();
      break;
    default:
      cell.kind = Cell::Text;
      cell.data = value.bytes.data();
      cell.size = value.bytes.size();
      break;
  }
  return cell;
}

plsql::Value value_of_cell(const Cell& cell, const sql::OracleType& type) {
  static constexpr int kSqliteTypes[] = {SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB};
  return plsql::stored_value(kSqliteTypes[cell.kind], cell.integer, cell.real,
                             std::string_view(cell.data ? cell.data : "", cell.data ? cell.size : 0), type);
}

// A statement handle the client executed as a query and bound as a cursor
// variable. It is found afresh on each use: the client may free it meanwhile.
class PassedCursor final : public plsql::BoundCursor {
 public:
  explicit PassedCursor(Statement* statement) : statement_(statement) {}

  bool is_open() override { return live<Statement>(statement_) && statement_->query_open(); }
  bool next(std::vector<plsql::Value>& row) override {
    Statement& statement = held();
    if (!statement.next_cells(cells_)) return false;
    row.resize(cells_.size());
    for (size_t i = 0; i < cells_.size(); ++i) row[i] = value_of_cell(cells_[i], statement.columns()[i].type);
    return true;
  }
  void close() override { held().close_for_block(); }
  int64_t rows_fetched() override { return is_open() ? static_cast<int64_t>(statement_->row_count) : 0; }
  const void* handle() const override { return statement_; }
  Statement& held() {
    if (!is_open()) fail(kInvalidCursor);
    return *statement_;
  }

 private:
  Statement* statement_;
  std::vector<Cell> cells_;
};

// What the engine needs of a session outside any statement's binds: functions
// that plain SQL calls run on it. It has no bind variables.
class SessionHost : public plsql::Host {
 public:
  explicit SessionHost(Session& session) : session_(session) {}

  sqlite3* db() override { return session_.connection->db(); }
  sql::SessionContext& context() override { return session_.context; }
  plsql::CallState* calls() override { return session_.plsql_calls.get(); }
  uint64_t schema_generation() override { return session_.generation; }
  sqlite3_stmt* kept_statement(const char* sql) override {
    Connection& connection = *session_.connection;
    return connection.db() == db() ? connection.kept_statement(sql) : nullptr;
  }

  bool has_bind(const std::string&) override { return false; }
  void bind_to(const std::string&, sqlite3_stmt*, int, int) override { fail(kNotAllBound); }
  void write_bind(const std::string&, const plsql::Value&, const std::optional<sql::OracleType>&, int) override {
    fail(kNotAllBound);
  }
  bool is_table_bind(const std::string&) override { return false; }
  int table_length(const std::string&) override { return 0; }
  int table_capacity(const std::string&) override { return 0; }
  void set_table_length(const std::string&, int) override { fail(kNotAllBound); }
  void open_bind_cursor(const std::string&, sqlite3_stmt*, const std::vector<std::string>&,
                        const std::vector<std::optional<sql::OracleType>>&) override {
    fail(kNotAllBound);
  }
  // LOB handles live with a statement's binds; plain SQL's calls have none to give.
  std::optional<plsql::Value> bind_lob(const std::string&, int) override { return std::nullopt; }
  bool is_character_lob_bind(const std::string&) override { return false; }
  sql::LobContent& lob_content(const plsql::Value&, bool) override { fail(kUnimplementedFeature); }
  void lob_changed(const plsql::Value&) override {}
  plsql::Value create_temporary_lob(bool) override { fail(kUnimplementedFeature); }
  void free_temporary_lob(const plsql::Value&) override { fail(kUnimplementedFeature); }
  bool is_temporary_lob(const plsql::Value&) override { return false; }

  void lock_rows(const std::string& table, const std::vector<int64_t>& rowids, bool nowait) override {
    session_.lock_rows(table, rowids, nowait);
  }

  void start_write() override { session_.start_write(); }
  void commit() override { session_.commit(); }
  void rollback() override { session_.rollback(); }
  void savepoint(const std::string& name) override { session_.savepoint(name); }
  void rollback_to(const std::string& name) override { session_.rollback_to(name); }
  void schema_changed() override { ++session_.generation; }

  std::vector<std::string>& output_lines() override { return session_.output_lines; }
  bool& output_enabled() override { return session_.output_enabled; }

 protected:
  Session& session_;
};

class StatementHost final : public SessionHost {
 public:
  StatementHost(Statement& statement, Session& session, sqlite3* db) : SessionHost(session), statement_(statement), db_(db) {}

  uint32_t row = 0;  // the iteration being run

  sqlite3* db() override { return db_; }

  bool has_bind(const std::string& name) override { return statement_.bind_for_name(name) != nullptr; }

  void bind_to(const std::string& name, sqlite3_stmt* stmt, int index, int element) override {
    Bind& bound = bind(name);
    if (element >= 0 && bound.max_elements > 0 && static_cast<uint32_t>(element) >= length_of(bound)) fail(kNoDataFound);
    statement_.bind_element(bound, stmt, index, element < 0 ? row : static_cast<uint32_t>(element), row);
  }

  void write_bind(const std::string& name, const plsql::Value& value, const std::optional<sql::OracleType>& type,
                  int element) override {
    Bind& bound = bind(name);
    uint32_t slot = element < 0 ? row : static_cast<uint32_t>(element);
    if (binds_lob(bound)) return place_lob(bound, value, slot);
    sql::OracleType column = type.value_or(sql::OracleType{});
    if (value.kind == plsql::Value::Lob) {
      const sql::LobContent& content = lob_content(value, false);
      plsql::Value plain{content.character ? plsql::Value::Text : plsql::Value::Blob, 0, 0, content.bytes};
      if (plain.bytes.empty()) plain.kind = plsql::Value::Null;
      return place_plain(bound, plain, column, slot);
    }
    place_plain(bound, value, column, slot);
  }

  std::optional<plsql::Value> bind_lob(const std::string& name, int element) override {
    Bind& bound = bind(name);
    if (!binds_lob(bound)) return std::nullopt;
    uint32_t slot = element < 0 ? row : static_cast<uint32_t>(element);
    const sb2* indicator = bound.arrays.indicator_at(slot);
    LobLocator& locator = bound_locator(bound, slot);
    if ((indicator && *indicator == -1) || !locator.initialized()) return plsql::Value{};
    return keep(locator);
  }

  bool is_character_lob_bind(const std::string& name) override { return bind(name).arrays.dty == SQLT_CLOB; }

  sql::LobContent& lob_content(const plsql::Value& lob, bool write) override {
    LobLocator& locator = held(lob);
    std::shared_ptr<LobContent> content =
        write ? writable_content(session_, locator) : session_.lobs.content(*session_.connection, locator);
    return *content;  // the session's cache or temporaries keep it
  }

  // Persistent values go into their rows at once, so that the block's own SQL sees them.
  void lob_changed(const plsql::Value& lob) override {
    if (held(lob).kind == LobLocator::Kind::Persistent) session_.lobs.flush(*session_.connection);
  }

  plsql::Value create_temporary_lob(bool character) override {
    auto locator = std::make_unique<LobLocator>(OCI_DTYPE_LOB, statement_.env());
    locator->kind = LobLocator::Kind::Temporary;
    locator->lob_type = character ? kClobType : kBlobType;
    locator->charset_form = character ? 1 : 0;
    locator->session_id = session_.id;
    locator->temporary = session_.lobs.create_temporary(character);
    lobs_.push_back(std::move(locator));
    return plsql::Value::of_lob(static_cast<int64_t>(lobs_.size() - 1));
  }

  std::optional<plsql::Value> row_lob(const std::string& table, const std::string& column, int64_t rowid,
                                      bool character, std::string_view bytes) override {
    auto locator = std::make_unique<LobLocator>(OCI_DTYPE_LOB, statement_.env());
    locator->kind = LobLocator::Kind::Persistent;
    locator->lob_type = character ? kClobType : kBlobType;
    locator->charset_form = character ? 1 : 0;
    locator->session_id = session_.id;
    locator->table = table;
    locator->column = column;
    locator->rowid = rowid;
    session_.lobs.seed(*locator, bytes);
    lobs_.push_back(std::move(locator));
    return plsql::Value::of_lob(static_cast<int64_t>(lobs_.size() - 1));
  }

  void free_temporary_lob(const plsql::Value& lob) override {
    LobLocator& locator = held(lob);
    if (locator.kind == LobLocator::Kind::Temporary) session_.lobs.free_temporary(locator);
  }

  bool is_temporary_lob(const plsql::Value& lob) override { return held(lob).kind == LobLocator::Kind::Temporary; }

  bool is_table_bind(const std::string& name) override { return bind(name).max_elements > 0; }
  int table_length(const std::string& name) override { return static_cast<int>(length_of(bind(name))); }
  int table_capacity(const std::string& name) override { return static_cast<int>(bind(name).max_elements); }
  plsql::BindKind bind_kind(const std::string& name) override {
    using K = plsql::BindKind;
    switch (bind(name).arrays.dty) {
      case SQLT_CHR: case SQLT_STR: case SQLT_AFC: case SQLT_AVC: case SQLT_VCS: case SQLT_LVC: case SQLT_LNG:
        return K::Character;
      case SQLT_INT: case SQLT_UIN: case SQLT_FLT: case SQLT_NUM: case SQLT_VNU: case SQLT_BFLOAT: case SQLT_BDOUBLE:
      case SQLT_IBFLOAT: case SQLT_IBDOUBLE: case SQLT_BOL:
        return K::Number;
      case SQLT_DAT: case SQLT_ODT: case SQLT_DATE: case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ:
        return K::Datetime;
      case SQLT_CLOB: return K::Clob;
      case SQLT_BLOB: return K::Blob;
      case SQLT_BIN: case SQLT_LBI: case SQLT_VBI: case SQLT_LVB: return K::Raw;
      case SQLT_RSET: case SQLT_CUR: return K::Cursor;
      default: return K::Other;
    }
  }
  void set_table_length(const std::string& name, int length) override {
    Bind& bound = bind(name);
    if (bound.current_elements) *bound.current_elements = static_cast<ub4>(length);
  }

  void open_bind_cursor(const std::string& name, sqlite3_stmt* stmt, const std::vector<std::string>& column_names,
                        const std::vector<std::optional<sql::OracleType>>& column_types) override {
    statement_.open_cursor_bind(bind(name), row, stmt, column_names, column_types);
  }

  std::shared_ptr<plsql::BoundCursor> bind_cursor(const std::string& name) override {
    return std::make_shared<PassedCursor>(cursor_handle(bind(name)));
  }

  void clear_bind_cursor(const std::string& name) override {
    if (Statement* target = cursor_handle(bind(name))) target->hand_over_unopened();
  }

  void pass_bind_cursor(const std::string& name, plsql::BoundCursor& cursor) override {
    Statement* target = cursor_handle(bind(name));
    if (target == nullptr) fail(kInvalidCursor);
    static_cast<PassedCursor&>(cursor).held().hand_rows_to(*target);
    if (sb2* indicator = bind(name).arrays.indicator_at(row)) *indicator = 0;
  }

  void return_bound_result(plsql::BoundCursor& cursor) override {
    statement_.add_implicit_result_from(static_cast<PassedCursor&>(cursor).held());
  }

  void return_result(sqlite3_stmt* stmt, const std::vector<std::string>& column_names,
                     const std::vector<std::optional<sql::OracleType>>& column_types) override {
    statement_.add_implicit_result(session_, stmt, column_names, column_types);
  }

  // The block's first write marks where an unhandled error rolls back to.
  void start_write() override {
    session_.start_write();
    if (!armed_) session_.connection->exec(kBlockSavepoint);
    armed_ = true;
  }
  void commit() override {
    session_.commit();
    armed_ = false;
  }
  void rollback() override {
    session_.rollback();
    armed_ = false;
  }
  // Ends the block: its work stays, or, after an unhandled error, is undone up to its first write.
  void finish(bool failed) {
    if (!armed_ || !session_.write_transaction) return;
    armed_ = false;
    if (failed) sqlite3_exec(db_, kUndoBlock, nullptr, nullptr, nullptr);
    sqlite3_exec(db_, kReleaseBlock, nullptr, nullptr, nullptr);
  }

 private:
  void place_plain(Bind& bound, const plsql::Value& value, const sql::OracleType& column, uint32_t slot) {
    if (value.kind == plsql::Value::Text && overflows_character_bind(bound, value.bytes)) {
      fail(plsql::kValueErrorCode, {std::string(plsql::kBufferTooSmall)});
    }
    statement_.place_out(bound, cell_of(value), column, slot, row);
  }

  Bind& bind(const std::string& name) {
    Bind* bound = statement_.bind_for_name(name);
    if (bound == nullptr) fail(kNotAllBound);
    return *bound;
  }
  // The statement handle a cursor bind (SQLT_RSET, or an OCI7 area as SQLT_CUR) holds for this run; null when it holds none.
  Statement* cursor_handle(const Bind& bound) const {
    if (bound.arrays.values == nullptr) return nullptr;
    if (bound.arrays.dty == SQLT_CUR) return cursor_area_statement(bound.arrays.value_at(row));
    if (bound.arrays.dty != SQLT_RSET) fail(kInconsistentTypes, {"CURSER", "CHAR"});
    return live<Statement>(*static_cast<void**>(bound.arrays.value_at(row)));
  }
  static LobLocator& bound_locator(const Bind& bound, uint32_t slot) {
    void* element = bound.arrays.values ? bound.arrays.value_at(slot) : nullptr;
    LobLocator* locator = element ? live_locator(*static_cast<void**>(element)) : nullptr;
    if (locator == nullptr) fail(kInvalidLocator);
    return *locator;
  }

  // The block's own copy of a locator, named by the handle returned.
  plsql::Value keep(const LobLocator& locator) {
    lobs_.push_back(std::make_unique<LobLocator>(OCI_DTYPE_LOB, statement_.env()));
    lobs_.back()->copy_from(locator);
    return plsql::Value::of_lob(static_cast<int64_t>(lobs_.size() - 1));
  }

  LobLocator& held(const plsql::Value& lob) {
    if (lob.kind != plsql::Value::Lob || lob.integer < 0 || static_cast<size_t>(lob.integer) >= lobs_.size()) {
      fail(kInvalidLocator);
    }
    LobLocator& locator = *lobs_[static_cast<size_t>(lob.integer)];
    if (!locator.initialized()) fail(kInvalidLocator);
    return locator;
  }

  // OUT value of a locator bind: the caller's locator names the LOB (a string becomes a temporary LOB).
  void place_lob(Bind& bound, const plsql::Value& value, uint32_t slot) {
    LobLocator& target = bound_locator(bound, slot);
    sb2* indicator = bound.arrays.indicator_at(slot);
    if (value.is_null()) {
      target.kind = LobLocator::Kind::None;
      if (indicator) *indicator = -1;
      return;
    }
    plsql::Value lob = value;
    if (value.kind != plsql::Value::Lob) {
      lob = create_temporary_lob(bound.arrays.dty == SQLT_CLOB);
      lob_content(lob, true).bytes = value.kind == plsql::Value::Blob || value.kind == plsql::Value::Text
                                         ? value.bytes
                                         : plsql::to_text(value, session_.context);
    }
    target.copy_from(held(lob));
    if (indicator) *indicator = 0;
  }

  static uint32_t length_of(const Bind& bound) {
    return bound.current_elements ? std::min<uint32_t>(*bound.current_elements, bound.max_elements) : bound.max_elements;
  }

  static constexpr const char* kBlockSavepoint = "SAVEPOINT ociemu_block";
  static constexpr const char* kUndoBlock = "ROLLBACK TO ociemu_block";
  static constexpr const char* kReleaseBlock = "RELEASE ociemu_block";

  Statement& statement_;
  sqlite3* db_;
  bool armed_ = false;  // the block savepoint exists
  std::vector<std::unique_ptr<LobLocator>> lobs_;  // the LOBs the block's values name, by handle
};

}  // namespace

void attach_plsql_calls(Session& session) {
  if (!session.plsql_calls) session.plsql_calls = std::make_unique<plsql::CallState>();
  session.plsql_calls->forget();
  if (!session.sql_calls_host) session.sql_calls_host = std::make_unique<SessionHost>(session);
  session.plsql_calls->sql_host = session.sql_calls_host.get();
  plsql::register_sql_calls(session.connection->db(), session.plsql_calls.get());
  if (session.triggers) session.triggers->call_state = session.plsql_calls.get();
}

Bind* Statement::bind_for_name(const std::string& name) {
  auto first = std::find(placeholders_.begin(), placeholders_.end(), name);
  return first == placeholders_.end() ? nullptr : bind_at(static_cast<size_t>(first - placeholders_.begin()));
}

void Statement::compile_block(Session& session) {
  if (plsql_unit_ && plsql_generation_ == session.generation) return;
  plsql_unit_.reset();
  try {
    plsql_unit_ = plsql::compile_block(text, connection_->db(), session.context);
  } catch (const sql::OracleException& e) {
    parse_error_offset = static_cast<uint16_t>(e.error.parse_offset);
    throw;
  }
  plsql_generation_ = session.generation;
}

sword Statement::execute_plsql(Session& session, uint32_t iters, uint32_t row_offset) {
  sqlite3* db = connection_->db();
  compile_block(session);
  free_implicit_results();
  StatementHost host(*this, session, db);
  for (auto& bound : binds_) bound->rows_returned = 0;
  const uint32_t runs = std::max<uint32_t>(iters, 1);
  for (uint32_t i = 0; i < runs; ++i) {
    host.row = row_offset + i;
    try {
      plsql::run_unit(*plsql_unit_, host);
    } catch (...) {
      host.finish(true);
      // As for array DML: the runs that passed, and the element that failed.
      row_count = i;
      dml_row_offset = host.row;
      throw;
    }
    host.finish(false);
  }
  row_count = runs;
  return OCI_SUCCESS;
}

// CREATE PROCEDURE/FUNCTION is DDL: it ends the transaction, and a unit that does
// not compile is still stored, reported as success with compilation error.
sword Statement::execute_create_program(Session& session, ErrorHandle* errors) {
  session.commit();
  const bool trigger = translation_.sql_function_code == kCreateTriggerCode;
  bool compiled = trigger ? plsql::create_trigger(text, connection_->db(), session.context)
                          : plsql::create_program(text, connection_->db(), session.context);
  ++session.generation;
  if (compiled) return OCI_SUCCESS;
  record_error(errors, kCompiledWithErrors, message_text(kCompiledWithErrors));
  return OCI_SUCCESS_WITH_INFO;
}

}  // namespace ociemu
