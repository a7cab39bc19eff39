// The Oracle catalogue kept inside each database file: accounts, schema
// objects (tables, views, sequences, synonyms), named constraints, indexes,
// column defaults and directories, with name resolution as Oracle does it.
//
// Thread-safe: the functions are; a connection is used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/dialect.h"

struct sqlite3;

namespace ociemu::sql {

inline constexpr std::string_view kPublic = "PUBLIC";

struct SchemaObject {
  std::string owner;
  std::string name;
  std::string type;  // TABLE, VIEW, SEQUENCE, SYNONYM
  int64_t object_id = 0;
  // SQLite's name where "OWNER.NAME" would be taken by a name that differs only in case.
  std::string storage = {};

  // The SQLite table or view holding it: "OWNER.NAME" unless stored under another name.
  std::string sqlite_name() const { return storage.empty() ? owner + "." + name : storage; }
};

struct Constraint {
  std::string owner;
  std::string name;
  char type = 'C';                   // P, U, C, R (Oracle's CONSTRAINT_TYPE)
  std::string table;                 // table name within owner
  std::vector<std::string> columns;  // in declaration order
  std::string search_condition;      // CHECK text as written
  std::string referenced_owner;      // R: the referenced constraint
  std::string referenced_name;
  std::string delete_rule;           // R: NO ACTION, CASCADE, SET NULL
};

// Creates the catalogue tables, SYS.DUAL and the SYS/SYSTEM accounts when missing.
void install_catalogue(sqlite3* db);
// Brings the catalogue of a file made by an earlier version up to date.
void upgrade_catalogue(sqlite3* db);

std::optional<SchemaObject> find_object(sqlite3* db, std::string_view owner, std::string_view name);

// Resolves a possibly unqualified name for a session, following private then
// public synonyms to the final table, view or sequence; nullopt when nothing matches.
std::optional<SchemaObject> resolve_object(sqlite3* db, const SessionContext& session,
                                           std::string_view owner, std::string_view name);

std::optional<Constraint> find_constraint(sqlite3* db, std::string_view owner, std::string_view name);
std::vector<Constraint> table_constraints(sqlite3* db, std::string_view owner, std::string_view table);
// Foreign keys of any table that reference a key of this table.
std::vector<Constraint> referencing_constraints(sqlite3* db, std::string_view owner, std::string_view table);
// The unique index (constraint or CREATE UNIQUE INDEX) of a table over exactly these columns.
std::optional<std::string> unique_key_name(sqlite3* db, std::string_view owner, std::string_view table,
                                           const std::vector<std::string>& columns, std::string& key_owner);

// The column lists of a table's primary and unique keys, unique indexes included.
std::vector<std::vector<std::string>> unique_keys(sqlite3* db, std::string_view owner, std::string_view table);

// Columns of a table or view in order (SQLite's view of them).
std::vector<std::string> table_columns(sqlite3* db, std::string_view sqlite_name);

struct ColumnDefault {
  std::string name;
  std::string sql;  // the column's DEFAULT as SQLite evaluates it; empty for none
};
// Columns of a table in order with their defaults.
std::vector<ColumnDefault> column_defaults(sqlite3* db, std::string_view sqlite_name);

// Default schema of a session: CURRENT_SCHEMA if set, else the user.
std::string default_schema(const SessionContext& session);

// SQL that registers a new object with the next free object number; storage as new_sqlite_name gave it.
std::string register_object_sql(std::string_view owner, std::string_view name, std::string_view type,
                                 std::string_view storage = {});
// The SQLite name for a new table or view OWNER.NAME: that text, unless SQLite (blind to case) holds it already.
std::string new_sqlite_name(sqlite3* db, const std::string& owner, const std::string& name);
std::string register_constraint_sql(const Constraint& constraint);
std::string join_columns(const std::vector<std::string>& columns);

}  // namespace ociemu::sql
