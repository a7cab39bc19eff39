// A small RAII wrapper over a prepared SQLite statement for the catalogue's
// own queries; failures become Oracle errors through map_sqlite_error.
//
// Thread-safe: no; one instance per call, on the connection's thread.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ociemu::sql {

class Query {
 public:
  Query(sqlite3* db, std::string_view sql);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& bind(int index, std::string_view text);
  Query& bind(int index, int64_t value);
  Query& bind_null(int index);

  // Advances to the next row; false at the end.
  bool step();
  // Runs a statement that returns no rows.
  void run();

  std::string text(int column) const;
  int64_t integer(int column) const;
  bool is_null(int column) const;
  sqlite3_stmt* handle() const { return statement_; }  // for describing; stays owned here

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// Runs one or more statements without results (catalogue set-up).
void execute(sqlite3* db, const std::string& sql);

// 'text' with embedded quotes doubled, for SQL the translator emits.
std::string quote_literal(std::string_view text);
// "name" with embedded double quotes doubled.
std::string quote_name(std::string_view name);

}  // namespace ociemu::sql
