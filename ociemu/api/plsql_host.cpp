// PL/SQL blocks on a statement: the statement's binds, session and
// transaction serve the engine through its host interface.
#include <sqlite3.h>

#include <algorithm>

#include "ociemu/api/errors.h"
#include "ociemu/api/statement.h"
#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/host.h"
#include "ociemu/plsql/interpreter.h"
#include "ociemu/plsql/stored.h"

namespace ociemu {
namespace {

constexpr int kNoDataFound = 1403;
constexpr int kNotAllBound = 1008;
constexpr int kCompiledWithErrors = 24344;

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

class StatementHost final : public plsql::Host {
 public:
  StatementHost(Statement& statement, Session& session, sqlite3* db) : statement_(statement), session_(session), db_(db) {}

  uint32_t row = 0;  // the iteration being run

  sqlite3* db() override { return db_; }
  sql::SessionContext& context() override { return session_.context; }

  bool has_bind(const std::string& name) override { return statement_.bind_for_name(name) != nullptr; }

  void bind_to(const std::string& name, sqlite3_stmt* stmt, int index, int element) override {
    Bind& bound = bind(name);
    if (element >= 0 && bound.max_elements > 0 && static_cast<uint32_t>(element) >= length_of(bound)) fail(kNoDataFound);
    statement_.bind_element(bound, stmt, index, element < 0 ? row : static_cast<uint32_t>(element), row);
  }

  void write_bind(const std::string& name, const plsql::Value& value, const std::optional<sql::OracleType>& type,
                  int element) override {
    sql::OracleType column = type.value_or(sql::OracleType{});
    statement_.place_out(bind(name), cell_of(value), column, element < 0 ? row : static_cast<uint32_t>(element), row);
  }

  bool is_table_bind(const std::string& name) override { return bind(name).max_elements > 0; }
  int table_length(const std::string& name) override { return static_cast<int>(length_of(bind(name))); }
  int table_capacity(const std::string& name) override { return static_cast<int>(bind(name).max_elements); }
  void set_table_length(const std::string& name, int length) override {
    Bind& bound = bind(name);
    if (bound.current_elements) *bound.current_elements = static_cast<ub4>(length);
  }

  void open_bind_cursor(const std::string& name, sqlite3_stmt* stmt, const std::vector<std::string>& column_names,
                        const std::vector<std::optional<sql::OracleType>>& column_types) override {
    statement_.open_cursor_bind(bind(name), row, stmt, column_names, column_types);
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
  void savepoint(const std::string& name) override { session_.savepoint(name); }
  void rollback_to(const std::string& name) override { session_.rollback_to(name); }
  void schema_changed() override { ++session_.generation; }

  std::vector<std::string>& output_lines() override { return session_.output_lines; }
  bool& output_enabled() override { return session_.output_enabled; }

 private:
  Bind& bind(const std::string& name) {
    Bind* bound = statement_.bind_for_name(name);
    if (bound == nullptr) fail(kNotAllBound);
    return *bound;
  }
  static uint32_t length_of(const Bind& bound) {
    return bound.current_elements ? std::min<uint32_t>(*bound.current_elements, bound.max_elements) : bound.max_elements;
  }

  static constexpr const char* kBlockSavepoint = "SAVEPOINT ociemu_block";
  static constexpr const char* kUndoBlock = "ROLLBACK TO ociemu_block";
  static constexpr const char* kReleaseBlock = "RELEASE ociemu_block";

  Statement& statement_;
  Session& session_;
  sqlite3* db_;
  bool armed_ = false;  // the block savepoint exists
};

}  // namespace

Bind* Statement::bind_for_name(const std::string& name) {
  for (auto& bound : binds_) {
    if (!bound->name.empty() && bound->name == name) return bound.get();
  }
  // By position: a block's placeholders count once per distinct name.
  std::vector<std::string> distinct;
  for (const std::string& placeholder : placeholders_) {
    if (std::find(distinct.begin(), distinct.end(), placeholder) == distinct.end()) distinct.push_back(placeholder);
  }
  auto found = std::find(distinct.begin(), distinct.end(), name);
  if (found == distinct.end()) return nullptr;
  auto position = static_cast<uint32_t>(found - distinct.begin()) + 1;
  for (auto& bound : binds_) {
    if (bound->name.empty() && bound->position == position) return bound.get();
  }
  return nullptr;
}

sword Statement::execute_plsql(Session& session, uint32_t iters, uint32_t row_offset) {
  sqlite3* db = connection_->db();
  if (!plsql_unit_ || plsql_generation_ != session.generation) {
    plsql_unit_.reset();
    try {
      plsql_unit_ = plsql::compile_block(text, db, session.context);
    } catch (const sql::OracleException& e) {
      parse_error_offset = static_cast<uint16_t>(e.error.parse_offset);
      throw;
    }
    plsql_generation_ = session.generation;
  }
  StatementHost host(*this, session, db);
  for (auto& bound : binds_) bound->rows_returned = 0;
  for (uint32_t i = 0; i < std::max<uint32_t>(iters, 1); ++i) {
    host.row = row_offset + i;
    try {
      plsql::run_unit(*plsql_unit_, host);
    } catch (...) {
      host.finish(true);
      throw;
    }
    host.finish(false);
  }
  row_count = 1;
  return OCI_SUCCESS;
}

// CREATE PROCEDURE/FUNCTION is DDL: it ends the transaction, and a unit that does
// not compile is still stored, reported as success with compilation error.
sword Statement::execute_create_program(Session& session, ErrorHandle* errors) {
  session.commit();
  bool compiled = plsql::create_program(text, connection_->db(), session.context);
  ++session.generation;
  if (compiled) return OCI_SUCCESS;
  record_error(errors, kCompiledWithErrors, message_text(kCompiledWithErrors));
  return OCI_SUCCESS_WITH_INFO;
}

}  // namespace ociemu
