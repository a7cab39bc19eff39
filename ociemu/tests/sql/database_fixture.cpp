#include "ociemu/tests/sql/database_fixture.h"

#include <stdexcept>

namespace ociemu::sql::testing {

Database::Database() {
  sqlite3_open(":memory:", &db);
  session.user = "SCOTT";
  session.session_id = 4711;
  install(db, &session);
  create_demo_schema(db);
}

Database::~Database() { sqlite3_close(db); }

std::vector<Row> Database::query(std::string_view oracle_sql, const std::vector<std::string>& binds) {
  Translation translation = translate(oracle_sql, db, session);
  std::vector<Row> rows;
  for (const std::string& sql : translation.sqlite_sql) {
    rows.clear();
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    if (rc != SQLITE_OK) throw OracleException{map_sqlite_error(db, rc, oracle_sql)};
    for (const Placeholder& placeholder : translation.placeholders) {
      if (placeholder.sqlite_index == 0) continue;
      size_t bind = static_cast<size_t>(placeholder.sqlite_index - 1);
      if (bind < binds.size() && binds[bind] != "<null>")
        sqlite3_bind_text(statement, placeholder.sqlite_index, binds[bind].c_str(), -1, SQLITE_TRANSIENT);
    }
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      Row row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        const unsigned char* text = sqlite3_column_text(statement, c);
        row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
      }
      rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
      OracleError error = map_sqlite_error(db, rc);
      sqlite3_finalize(statement);
      throw OracleException{error};
    }
    sqlite3_finalize(statement);
  }
  return rows;
}

std::string Database::value(std::string_view oracle_sql, const std::vector<std::string>& binds) {
  std::vector<Row> rows = query(oracle_sql, binds);
  if (rows.size() != 1 || rows[0].empty()) throw std::runtime_error("expected one value from " + std::string(oracle_sql));
  return rows[0][0];
}

void Database::execute(std::string_view oracle_sql, const std::vector<std::string>& binds) { query(oracle_sql, binds); }

OracleError Database::error(std::string_view oracle_sql, const std::vector<std::string>& binds) {
  try {
    query(oracle_sql, binds);
  } catch (const OracleException& failure) {
    return failure.error;
  }
  return {};
}

}  // namespace ociemu::sql::testing
