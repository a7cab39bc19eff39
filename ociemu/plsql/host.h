// What a PL/SQL block needs from whoever runs it: the session's database and
// context, its bind variables (scalars and index-by tables), its transaction
// control and the cursors it hands back. The call interface's statement
// implements it; the engine knows nothing of OCI.
//
// Thread-safe: an implementation serves one executing block at a time.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/plsql/value.h"
#include "ociemu/sql/lob_content.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"

namespace ociemu::plsql {

class CallState;

// A cursor the client passed in: a statement handle it executed as a query,
// bound as a cursor variable. The rows a block reads are gone for the client too.
class BoundCursor {
 public:
  virtual ~BoundCursor() = default;
  virtual bool is_open() = 0;
  // The next row's values; false once there are no more (the cursor stays open).
  virtual bool next(std::vector<Value>& row) = 0;
  virtual void close() = 0;
  virtual int64_t rows_fetched() = 0;  // by the client and the block together
  virtual const void* handle() const = 0;  // the client's statement, telling cursors apart
};

// The families of a bind's external type that tell which parameter types it can stand for.
enum class BindKind { Other, Character, Number, Datetime, Clob, Blob, Raw, Cursor };

class Host {
 public:
  virtual ~Host() = default;

  virtual sqlite3* db() = 0;
  virtual sql::SessionContext& context() = 0;

  // Bind variables by upper-case name without the colon.
  virtual bool has_bind(const std::string& name) = 0;
  // Binds the variable's current value (element `element` of an index-by
  // table bind, 0-based; -1 for a scalar) as parameter `index` of stmt.
  virtual void bind_to(const std::string& name, sqlite3_stmt* stmt, int index, int element) = 0;
  // Writes a value; `type` is how the value reads (NUMBER, DATE...), when known.
  virtual void write_bind(const std::string& name, const Value& value, const std::optional<sql::OracleType>& type,
                          int element) = 0;
  // Index-by table binds: elements in use, and room for them.
  virtual bool is_table_bind(const std::string& name) = 0;
  virtual int table_length(const std::string& name) = 0;
  virtual int table_capacity(const std::string& name) = 0;
  virtual void set_table_length(const std::string& name, int length) = 0;
  // What the client binds the variable as, for the type checks of calls.
  virtual BindKind bind_kind(const std::string& /*name*/) { return BindKind::Other; }

  // OPEN :name FOR query: the cursor bind takes the rows of stmt, stepped from its
  // first row (the host reads them all before returning).
  virtual void open_bind_cursor(const std::string& name, sqlite3_stmt* stmt, const std::vector<std::string>& column_names,
                                const std::vector<std::optional<sql::OracleType>>& column_types) = 0;

  // The cursor bind `name` as a cursor to fetch from; null when the bind is not a cursor variable.
  virtual std::shared_ptr<BoundCursor> bind_cursor(const std::string& /*name*/) { return nullptr; }
  // A cursor variable never opened (or closed), handed to cursor bind `name`: that handle holds no open cursor.
  virtual void clear_bind_cursor(const std::string& /*name*/) {}
  // A cursor the client passed in, handed on to cursor bind `name`: that handle takes its remaining rows.
  virtual void pass_bind_cursor(const std::string& /*name*/, BoundCursor& /*cursor*/) { sql::throw_oracle(3001); }

  // DBMS_SQL.RETURN_RESULT: the rows of stmt, from its next one, go to the client as an implicit result.
  virtual void return_result(sqlite3_stmt* /*stmt*/, const std::vector<std::string>& /*column_names*/,
                             const std::vector<std::optional<sql::OracleType>>& /*column_types*/) {
    sql::throw_oracle(3001);
  }

  // DBMS_SQL.RETURN_RESULT of a cursor the client passed in: its remaining rows go back as an implicit result.
  virtual void return_bound_result(BoundCursor& /*cursor*/) { sql::throw_oracle(3001); }

  // LOBs. A Value::Lob names one by a handle valid while this host runs the block.
  // The LOB a locator bind names (NULL for a null or empty locator); nullopt when the bind holds no locator.
  virtual std::optional<Value> bind_lob(const std::string& name, int element) = 0;
  virtual bool is_character_lob_bind(const std::string& name) = 0;  // a CLOB locator, not a BLOB one
  // A LOB's value, to read or to change; changing a persistent LOB needs its row
  // locked by the transaction (ORA-22920). A change reaches the row when `changed` is called.
  virtual sql::LobContent& lob_content(const Value& lob, bool write) = 0;
  virtual void lob_changed(const Value& lob) = 0;
  virtual Value create_temporary_lob(bool character) = 0;
  // A LOB read from a table's row, as a locator naming that row; nullopt where the
  // host hands out no locators (the value is then used as read).
  virtual std::optional<Value> row_lob(const std::string& /*table*/, const std::string& /*column*/, int64_t /*rowid*/,
                                       bool /*character*/, std::string_view /*bytes*/) {
    return std::nullopt;
  }
  virtual void free_temporary_lob(const Value& lob) = 0;
  virtual bool is_temporary_lob(const Value& lob) = 0;

  // SELECT ... FOR UPDATE: locks the rows (all of the table when rowids is empty) for the transaction.
  virtual void lock_rows(const std::string& /*table*/, const std::vector<int64_t>& /*rowids*/, bool /*nowait*/) {}

  // Transactions: DML begins one implicitly.
  virtual void start_write() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  virtual void savepoint(const std::string& name) = 0;
  virtual void rollback_to(const std::string& name) = 0;
  // Raised after DDL run by EXECUTE IMMEDIATE, so cached translations are redone.
  virtual void schema_changed() = 0;

  // The session's stored programs and the calls running (null: the unit keeps its own),
  // and the count that moves whenever the session's schema changes.
  virtual CallState* calls() { return nullptr; }
  // A statement of a fixed text, prepared once and kept for the connection's life; the caller
  // resets it after each use. nullptr: the caller prepares its own.
  virtual sqlite3_stmt* kept_statement(const char* /*sql*/) { return nullptr; }
  virtual uint64_t schema_generation() { return 0; }

  // Lines of DBMS_OUTPUT, kept by the session between calls.
  virtual std::vector<std::string>& output_lines() = 0;
  virtual bool& output_enabled() = 0;
};

}  // namespace ociemu::plsql
