// Built-in packages whose functions SQL may call (UTL_RAW, DBMS_ROWID) and the
// plain functions beside them (CHARTOROWID, ROWIDTOCHAR). A package function
// runs as the SQLite function OCIEMU_<PACKAGE>_<NAME>, registered with the others.
//
// Thread-safe: yes (they run on the connection's thread).
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

namespace ociemu::sql {

// The SQLite name for "UTL_RAW.LENGTH" or "SYS.DBMS_ROWID.ROWID_OBJECT"; nullopt for other names.
std::optional<std::string> builtin_package_function(std::string_view qualified);

void chartorowid(sqlite3_context* context, int count, sqlite3_value** args);
void rowidtochar(sqlite3_context* context, int count, sqlite3_value** args);
// DBMS_ROWID.ROWID_TYPE, ROWID_OBJECT, ROWID_RELATIVE_FNO, ROWID_BLOCK_NUMBER and ROWID_ROW_NUMBER.
void rowid_type(sqlite3_context* context, int count, sqlite3_value** args);
void rowid_object(sqlite3_context* context, int count, sqlite3_value** args);
void rowid_file(sqlite3_context* context, int count, sqlite3_value** args);
void rowid_block(sqlite3_context* context, int count, sqlite3_value** args);
void rowid_row_number(sqlite3_context* context, int count, sqlite3_value** args);

// UTL_RAW: CAST_TO_RAW, CAST_TO_VARCHAR2, LENGTH, CONCAT, SUBSTR.
void raw_cast_to_raw(sqlite3_context* context, int count, sqlite3_value** args);
void raw_cast_to_varchar2(sqlite3_context* context, int count, sqlite3_value** args);
void raw_length(sqlite3_context* context, int count, sqlite3_value** args);
void raw_concat(sqlite3_context* context, int count, sqlite3_value** args);
void raw_substr(sqlite3_context* context, int count, sqlite3_value** args);

}  // namespace ociemu::sql
