// Embedded SQL of a PL/SQL unit: translation through the dialect (with the
// unit's names as binds) and the prepared SQLite statement that then runs it.
//
// Thread-safe: no; a prepared statement is used by one execution at a time.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/sql/dialect.h"

namespace ociemu::plsql {

// Placeholder names standing for a unit's own references (OCIEMU$P<n>) and for RETURNING targets.
inline constexpr std::string_view kRefPrefix = "OCIEMU$P";
inline constexpr std::string_view kReturningPrefix = "OCIEMU$R";

struct SqlUse::Prepared {
  struct Param {
    int index = 0;     // SQLite parameter index
    int ref = -1;      // into SqlUse::refs, or -1 for a host bind
    std::string host;  // host bind name
  };

  Prepared() = default;
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  ~Prepared();

  sql::StatementKind kind = sql::StatementKind::Other;
  std::vector<std::string> before;  // SQLite statements run ahead of the main one
  std::vector<std::string> all;     // DDL and the rest: every statement, run in order
  sqlite3_stmt* stmt = nullptr;     // queries and DML
  std::vector<Param> params;
  std::vector<std::string> column_names;
  std::vector<std::optional<sql::OracleType>> column_types;
  size_t returning = 0;  // RETURNING ... INTO columns
  // Select-list CLOB/BLOB columns read straight from a table: a LOB read from
  // them names its row (a locator), not a copy of its value.
  struct LobOrigin {
    int column = 0;        // 0-based select-list column
    int rowid_column = 0;  // 0-based hidden column with the table's SQLite rowid
    bool character = false;
    std::string table, name;  // SQLite table and column names
  };
  std::vector<LobOrigin> lob_origins;
  // SELECT ... FOR UPDATE: the table it locks and the hidden column with each row's SQLite rowid (1-based, 0 = none).
  std::string locked_table;
  int lock_rowid_column = 0;
  bool nowait = false;
  std::string savepoint;
  bool busy = false;  // an activation is stepping stmt
  std::vector<std::unique_ptr<Prepared>> copies;  // for activations entered while stmt is busy

  // The same statement prepared afresh (for a use while this one is busy).
  std::unique_ptr<Prepared> copy(sqlite3* db) const;
};

// One activation's use of a prepared statement: the statement itself when idle,
// else an idle copy, so that a unit calling itself, or a function called from a
// statement's own rows, never resets a statement another activation is stepping.
// Ends with the statement reset and free for the next use. Move-only.
class PreparedUse {
 public:
  PreparedUse() = default;
  PreparedUse(SqlUse::Prepared& prepared, sqlite3* db);
  PreparedUse(PreparedUse&& other) noexcept : prepared_(std::exchange(other.prepared_, nullptr)) {}
  PreparedUse& operator=(PreparedUse&& other) noexcept;
  PreparedUse(const PreparedUse&) = delete;
  PreparedUse& operator=(const PreparedUse&) = delete;
  ~PreparedUse() { release(); }

  SqlUse::Prepared* get() const { return prepared_; }
  SqlUse::Prepared* operator->() const { return prepared_; }
  SqlUse::Prepared& operator*() const { return *prepared_; }
  explicit operator bool() const { return prepared_ != nullptr; }
  void release();

 private:
  SqlUse::Prepared* prepared_ = nullptr;
};

// Translates and prepares Oracle SQL; raises sql::OracleException as translation or SQLite does.
std::shared_ptr<SqlUse::Prepared> prepare_sql(const std::string& text, sqlite3* db, sql::SessionContext& session,
                                              sql::NameResolver* resolver);

// Runs the statements ahead of the main one and rewinds it.
void rewind(SqlUse::Prepared& prepared, sqlite3* db);
// Oracle's error for a failed step, raised as sql::OracleException.
[[noreturn]] void fail_step(sqlite3* db, int rc, sql::StatementKind kind = sql::StatementKind::Other);

}  // namespace ociemu::plsql
