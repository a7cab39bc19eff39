// A test database: an in-memory SQLite connection with the Oracle catalogue,
// the demo schema and a SCOTT session, running Oracle SQL through translate().
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/dialect.h"

namespace ociemu::sql::testing {

using Row = std::vector<std::string>;  // NULL reads as "<null>"

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs a statement; binds are text values for :1, :2 ... in order of first use.
  std::vector<Row> query(std::string_view oracle_sql, const std::vector<std::string>& binds = {});
  std::string value(std::string_view oracle_sql, const std::vector<std::string>& binds = {});
  void execute(std::string_view oracle_sql, const std::vector<std::string>& binds = {});
  // The Oracle error a statement fails with; code 0 when it succeeds.
  OracleError error(std::string_view oracle_sql, const std::vector<std::string>& binds = {});

  sqlite3* db = nullptr;
  SessionContext session;
};

}  // namespace ociemu::sql::testing
