// The rows of a CURSOR(select ...) column: an aggregate packs the sub-query's
// rows for each outer row into one BLOB value (SQLite correlates the sub-query
// with the outer row itself), and the call interface unpacks them into the
// statement handle the application defined for that row.
//
// Thread-safe: yes (no shared state).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ociemu::sql {

// OCIEMU_CURSOR_ROWS(column values...): one call per sub-query row, in order.
inline constexpr std::string_view kCursorRowsFunction = "OCIEMU_CURSOR_ROWS";

// One unpacked value; kind is a SQLite fundamental type code (SQLITE_INTEGER...).
struct PackedValue {
  int kind = SQLITE_NULL;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;  // SQLITE_TEXT and SQLITE_BLOB
};

// Rows of `width` values each; a packed text that does not hold whole rows of
// that width raises ORA-00600, as it can only come from another writer.
std::vector<std::vector<PackedValue>> unpack_cursor_rows(std::string_view packed, size_t width);

void register_cursor_rows(sqlite3* db);

}  // namespace ociemu::sql
