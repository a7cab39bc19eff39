#include "ociemu/sql/sqlite_query.h"

#include "ociemu/sql/dialect.h"

namespace ociemu::sql {

Query::Query(sqlite3* db, std::string_view sql) : db_(db) {
  int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
  if (rc != SQLITE_OK) throw OracleException{map_sqlite_error(db, rc)};
}

Query::~Query() { sqlite3_finalize(statement_); }

Query& Query::bind(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Query& Query::bind(int index, int64_t value) {
  sqlite3_bind_int64(statement_, index, value);
  return *this;
}

Query& Query::bind_null(int index) {
  sqlite3_bind_null(statement_, index);
  return *this;
}

bool Query::step() {
  int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw OracleException{map_sqlite_error(db_, rc)};
}

void Query::run() {
  while (step()) {
  }
}

std::string Query::text(int column) const {
  const unsigned char* value = sqlite3_column_text(statement_, column);
  return value ? std::string(reinterpret_cast<const char*>(value),
                             static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
               : std::string();
}

int64_t Query::integer(int column) const { return sqlite3_column_int64(statement_, column); }

bool Query::is_null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

void execute(sqlite3* db, const std::string& sql) {
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw OracleException{map_sqlite_error(db, rc)};
}

namespace {
std::string quote_with(std::string_view text, char quote) {
  std::string result;
  result.reserve(text.size() + 2);
  result.push_back(quote);
  for (char c : text) {
    result.push_back(c);
    if (c == quote) result.push_back(quote);
  }
  result.push_back(quote);
  return result;
}
}  // namespace

std::string quote_literal(std::string_view text) { return quote_with(text, '\''); }
std::string quote_name(std::string_view name) { return quote_with(name, '"'); }

}  // namespace ociemu::sql
