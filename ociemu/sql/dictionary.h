// The data dictionary views (USER_TABLES, ALL_CONSTRAINTS, ALL_TAB_COLUMNS,
// USER_SOURCE...) as SQLite views over ociemu's catalogue tables, owned by SYS
// and reached through public synonyms, so they are current after every DDL.
//
// Stored program units: whoever compiles CREATE PROCEDURE/FUNCTION/TRIGGER
// registers the object in "OCIEMU$OBJECTS" (register_object_sql, type
// PROCEDURE, FUNCTION, TRIGGER...), its text line by line in "OCIEMU$SOURCE"
// (store_source_sql) and its compile errors in "OCIEMU$ERRORS"; an object with
// errors reports STATUS 'INVALID'.
//
// Thread-safe: the functions are; a connection is used by one thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace ociemu::sql {

// Creates or upgrades the views and their tables on a database file when its
// dictionary predates this build. Call with the catalogue installed.
void install_dictionary(sqlite3* db);

// Registers the SQL function the views use to describe declared column types.
void register_dictionary_functions(sqlite3* db);

// Statements replacing the stored text of a program unit (one row a line, from 1).
std::vector<std::string> store_source_sql(std::string_view owner, std::string_view name, std::string_view type,
                                          std::string_view text);

}  // namespace ociemu::sql
