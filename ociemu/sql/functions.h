// The Oracle functions and the helpers translated SQL calls (date-aware
// arithmetic, rowid text, sequences, constraint checks), registered on each
// connection.
//
// Thread-safe: registration is; the functions run on the connection's thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ociemu/sql/dialect.h"

struct sqlite3;
struct sqlite3_value;

namespace ociemu::sql {

void register_functions(sqlite3* db, SessionContext* session);

// CHAR(n) columns declare this collation (blank-padded comparison); values stored
// into them pass the function, which pads them: OCIEMU_BLANK_PAD(value, n, in_characters).
// Registered by register_functions.
// OCIEMU_SINGLE_ROW(row_count, value): value, or ORA-01427 when a scalar sub-query gave more than one row.
inline constexpr const char* kSingleRowFunction = "OCIEMU_SINGLE_ROW";
inline constexpr const char* kBlankPaddedCollation = "OCIEMU_CHAR";
inline constexpr const char* kBlankPadFunction = "OCIEMU_BLANK_PAD";
void register_blank_padding(sqlite3* db);

// DBMS_LOB's functions in SQL: the SQLite name for "DBMS_LOB.GETLENGTH" (or
// "SYS.DBMS_LOB..."), empty for any other name; registered by register_functions.
std::string_view lob_function(std::string_view qualified);
void register_lob_functions(sqlite3* db);

// DUMP as OCIEMU_DUMP(value, Oracle type code or 0 for untyped, fmt, start, length) (dump_function.cpp).
inline constexpr const char* kDumpFunction = "OCIEMU_DUMP";
void register_dump_function(sqlite3* db);

// OCIEMU_NOT_ANCESTOR(path, rowid, nocycle): 1 when the row is not on the '/'-joined path of its
// ancestors; else 0 under NOCYCLE, ORA-01436 otherwise (connect_by.cpp).
void register_hierarchy_functions(sqlite3* db);
// The helpers DML through TABLE(sub-query) runs on (collection_dml.cpp).
void register_collection_dml_functions(sqlite3* db);
// OCIEMU_LISTAGG, the aggregate (and window function) behind LISTAGG (listagg.cpp).
void register_listagg(sqlite3* db);

// A nested table element's rowid text (OCIEMU_ELEMENT_ROWID), and the place
// (json_each's key) one names; -1 for a malformed rowid.
std::string element_rowid_text(int64_t object_id, int64_t key, sqlite3_value* value);
int64_t element_rowid_place(std::string_view rowid);

}  // namespace ociemu::sql
