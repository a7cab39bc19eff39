// Object identifiers of object-table rows and the REF values that name them.
// Every row of a table created OF a type gets a random 16-byte identifier,
// kept in one side table by SQLite triggers on the object table: it stays
// with the row through updates and goes when the row is deleted, so a REF to
// a deleted row dangles even when SQLite later reuses the rowid. A REF is
// stored (in REF columns and inside stored objects) as "OWNER.TABLE:OID".
//
// Thread-safe: the functions are; a connection is used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/types.h"

struct sqlite3;

namespace ociemu::sql {

// A REF to a row of an object table.
struct StoredRef {
  std::string owner, table;  // the object table
  std::string oid;           // 32 upper-case hex digits

  std::string sqlite_table() const { return owner + "." + table; }
};

std::string stored_ref_text(const StoredRef& ref);
// nullopt for text that is no stored REF.
std::optional<StoredRef> parse_stored_ref(std::string_view text);

// The statements that give the rows of object table OWNER.NAME identifiers, existing rows included.
std::vector<std::string> object_identifier_sql(const std::string& owner, const std::string& name);
// The statements that forget a dropped table's identifiers.
std::vector<std::string> drop_object_identifier_sql(const std::string& owner, const std::string& name);
// Creates the identifier table; object tables made before identifiers existed get theirs here.
void install_object_identifiers(sqlite3* db);

// json_array(...) of the row of an object table of `type` under `alias`: the row as a stored object.
std::string object_row_json(const TypeInfo& type, const std::string& alias);

// The row a REF names, as stored-object text with its SQLite rowid; nullopt when the row is gone.
struct DereferencedRow {
  std::string object;  // stored-object text
  int64_t rowid = 0;
};
std::optional<DereferencedRow> dereference(sqlite3* db, const StoredRef& ref);

}  // namespace ociemu::sql
