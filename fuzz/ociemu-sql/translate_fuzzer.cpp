// Arbitrary text through the translator, the date and number format models
// and SQLite's prepare of whatever the translator writes: none may crash.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "ociemu/sql/dialect.h"

namespace {

struct Database {
  Database() {
    sqlite3_open(":memory:", &db);
    session.user = "SCOTT";
    ociemu::sql::install(db, &session);
    ociemu::sql::create_demo_schema(db);
  }
  sqlite3* db = nullptr;
  ociemu::sql::SessionContext session;
};

Database& database() {
  static Database instance;
  return instance;
}

void translate_and_prepare(const std::string& text) {
  Database& d = database();
  ociemu::sql::SessionContext session = d.session;  // ALTER SESSION must not leak between inputs
  try {
    ociemu::sql::Translation translation = ociemu::sql::translate(text, d.db, session);
    for (const std::string& sql : translation.sqlite_sql) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ociemu::sql::map_sqlite_error(d.db, sqlite3_errcode(d.db), text);
      }
      sqlite3_finalize(statement);
    }
  } catch (const ociemu::sql::OracleException&) {
  }
}

void format_models(const std::string& text) {
  size_t split = text.find('\n');
  std::string value = text.substr(0, split);
  std::string model = split == std::string::npos ? "DD-MON-RR" : text.substr(split + 1);
  try {
    ociemu::sql::format_datetime(ociemu::sql::parse_datetime(value, model), model);
  } catch (const ociemu::sql::OracleException&) {
  }
  try {
    ociemu::sql::format_datetime("2024-02-29 13:45:07.123456789", model);
  } catch (const ociemu::sql::OracleException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 4 == 0) {
    format_models(text);
  } else {
    translate_and_prepare(text);
  }
  return 0;
}
