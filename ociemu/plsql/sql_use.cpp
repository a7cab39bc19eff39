#include "ociemu/plsql/sql_use.h"

#include <algorithm>
#include <charconv>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/stored_names.h"

namespace ociemu::plsql {
namespace {

constexpr int kResourceBusy = 54;
constexpr int kClobTypeCode = 112;
constexpr int kBlobTypeCode = 113;

bool runs_on_prepared_statement(sql::StatementKind kind) {
  using K = sql::StatementKind;
  return kind == K::Select || kind == K::Insert || kind == K::Update || kind == K::Delete || kind == K::Merge;
}

bool is_internal_lob(const std::optional<sql::OracleType>& type) {
  return type && (type->type_code == kClobTypeCode || type->type_code == kBlobTypeCode);
}

void find_lob_origins(SqlUse::Prepared& prepared, const sql::Translation& translation) {
  for (size_t i = 0; i < prepared.column_types.size(); ++i) {
    if (!is_internal_lob(prepared.column_types[i])) continue;
    const int column = static_cast<int>(i);
    const char* table = sqlite3_column_table_name(prepared.stmt, column);
    const char* name = sqlite3_column_origin_name(prepared.stmt, column);
    if (table == nullptr || name == nullptr) continue;
    for (const auto& hidden : translation.lob_rowids) {
      if (sqlite3_stricmp(hidden.table.c_str(), table) != 0) continue;
      prepared.lob_origins.push_back(
          {column, hidden.column - 1, prepared.column_types[i]->type_code == kClobTypeCode, table, name});
      break;
    }
  }
}

// DML RETURNING a LOB column names the changed row's LOB, which the block may then write.
void find_returning_lob_origins(SqlUse::Prepared& prepared, const sql::Translation& translation) {
  if (translation.returning_rowid_column <= 0 || translation.dml_table.empty()) return;
  const size_t items = std::min(translation.returning_columns.size(), prepared.column_types.size());
  for (size_t i = 0; i < items; ++i) {
    const std::string& name = translation.returning_columns[i];
    if (name.empty() || !is_internal_lob(prepared.column_types[i])) continue;
    prepared.lob_origins.push_back({static_cast<int>(i), translation.returning_rowid_column - 1,
                                    prepared.column_types[i]->type_code == kClobTypeCode, translation.dml_table, name});
  }
}

}  // namespace

SqlUse::Prepared::~Prepared() {
  if (stmt) sqlite3_finalize(stmt);
}

void fail_step(sqlite3* db, int rc, sql::StatementKind kind) {
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
    sql::throw_oracle(kResourceBusy);
  }
  throw sql::OracleException{sql::as_failure_of(kind, sql::map_sqlite_error(db, rc))};
}

std::shared_ptr<SqlUse::Prepared> prepare_sql(const std::string& text, sqlite3* db, sql::SessionContext& session,
                                              sql::NameResolver* resolver) {
  sql::Translation translation = sql::translate(text, db, session, resolver);
  auto prepared = std::make_shared<SqlUse::Prepared>();
  prepared->kind = translation.kind;
  prepared->savepoint = translation.savepoint;
  if (!runs_on_prepared_statement(translation.kind) || translation.sqlite_sql.empty()) {
    prepared->all = std::move(translation.sqlite_sql);
    return prepared;
  }
  // The block's values reach the main statement only: INSERT ALL with them would store NULLs.
  if (translation.sqlite_sql.size() > 1 && !translation.placeholders.empty()) sql::throw_oracle(3001);
  const std::string& main_sql = translation.sqlite_sql.back();
  int rc = sqlite3_prepare_v2(db, main_sql.c_str(), static_cast<int>(main_sql.size()), &prepared->stmt, nullptr);
  if (rc != SQLITE_OK) throw sql::OracleException{sql::map_sqlite_error(db, rc, text)};
  prepared->before.assign(translation.sqlite_sql.begin(), translation.sqlite_sql.end() - 1);
  for (const sql::Placeholder& placeholder : translation.placeholders) {
    if (placeholder.sqlite_index <= 0) continue;
    auto same = [&](const SqlUse::Prepared::Param& p) { return p.index == placeholder.sqlite_index; };
    if (std::any_of(prepared->params.begin(), prepared->params.end(), same)) continue;
    SqlUse::Prepared::Param param;
    param.index = placeholder.sqlite_index;
    std::string_view name = placeholder.name;
    if (name.substr(0, kRefPrefix.size()) == kRefPrefix) {
      std::from_chars(name.data() + kRefPrefix.size(), name.data() + name.size(), param.ref);
    } else {
      param.host = placeholder.name;
    }
    prepared->params.push_back(std::move(param));
  }
  int columns = sqlite3_column_count(prepared->stmt);
  // The rowids a lock and LOB locators need follow the select list; the unit never sees them.
  if (translation.kind == sql::StatementKind::Select) {
    columns -= static_cast<int>(translation.lob_rowids.size()) + (translation.lock_rowid_column > 0 ? 1 : 0);
  }
  for (int i = 0; i < columns; ++i) {
    prepared->column_names.emplace_back(sql::oracle_name(sqlite3_column_name(prepared->stmt, i)));
    std::optional<sql::OracleType> type;
    if (static_cast<size_t>(i) < translation.select_types.size()) type = translation.select_types[static_cast<size_t>(i)];
    if (!type) type = sql::parse_declared_type(sqlite3_column_decltype(prepared->stmt, i));
    prepared->column_types.push_back(type);
  }
  prepared->returning = translation.returning_into.size();
  if (translation.kind == sql::StatementKind::Select) find_lob_origins(*prepared, translation);
  if (prepared->returning > 0) find_returning_lob_origins(*prepared, translation);
  prepared->locked_table = translation.locked_table;
  prepared->lock_rowid_column = translation.lock_rowid_column;
  prepared->nowait = translation.nowait;
  return prepared;
}

std::unique_ptr<SqlUse::Prepared> SqlUse::Prepared::copy(sqlite3* db) const {
  auto twin = std::make_unique<Prepared>();
  twin->kind = kind;
  twin->before = before;
  twin->all = all;
  twin->params = params;
  twin->column_names = column_names;
  twin->column_types = column_types;
  twin->returning = returning;
  twin->savepoint = savepoint;
  twin->lob_origins = lob_origins;
  twin->locked_table = locked_table;
  twin->lock_rowid_column = lock_rowid_column;
  twin->nowait = nowait;
  if (stmt) {
    int rc = sqlite3_prepare_v2(db, sqlite3_sql(stmt), -1, &twin->stmt, nullptr);
    if (rc != SQLITE_OK) throw sql::OracleException{sql::map_sqlite_error(db, rc)};
  }
  return twin;
}

PreparedUse::PreparedUse(SqlUse::Prepared& prepared, sqlite3* db) {
  SqlUse::Prepared* chosen = &prepared;
  if (prepared.busy) {
    chosen = nullptr;
    for (auto& twin : prepared.copies) {
      if (!twin->busy) {
        chosen = twin.get();
        break;
      }
    }
    if (chosen == nullptr) {
      prepared.copies.push_back(prepared.copy(db));
      chosen = prepared.copies.back().get();
    }
  }
  if (chosen->stmt) chosen->busy = true;
  prepared_ = chosen;
}

PreparedUse& PreparedUse::operator=(PreparedUse&& other) noexcept {
  if (this != &other) {
    release();
    prepared_ = std::exchange(other.prepared_, nullptr);
  }
  return *this;
}

void PreparedUse::release() {
  if (prepared_ == nullptr) return;
  if (prepared_->stmt) sqlite3_reset(prepared_->stmt);
  prepared_->busy = false;
  prepared_ = nullptr;
}

void rewind(SqlUse::Prepared& prepared, sqlite3* db) {
  for (const std::string& statement : prepared.before) {
    int rc = sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail_step(db, rc);
  }
  sqlite3_reset(prepared.stmt);
}

}  // namespace ociemu::plsql
