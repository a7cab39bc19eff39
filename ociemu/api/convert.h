// Conversions between stored values (as the SQLite connection returns them)
// and the application's buffers in Oracle's external types, in both
// directions, plus the DATE and NUMBER byte formats.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/api/oci.h"
#include "ociemu/sql/dialect.h"

namespace ociemu {

struct DateTimeDescriptor;

// One stored value, viewed without copying.
struct Cell {
  enum Kind : uint8_t { Null, Integer, Real, Text, Blob };
  Kind kind = Null;
  int64_t integer = 0;
  double real = 0;
  const char* data = nullptr;  // Text and Blob
  size_t size = 0;
  bool empty = false;  // a zero-length TEXT or BLOB: NULL to Oracle, except as a LOB (EMPTY_CLOB())
};

// The current row's value of a column. Inline and read through one sqlite3_value: this runs for
// every column of every fetched row, and each sqlite3_column_* call looks the column up again.
// The value is read with no other thread on the connection (Connection is single-threaded).
inline Cell cell_at(sqlite3_stmt* stmt, int column) {
  Cell cell;
  sqlite3_value* value = sqlite3_column_value(stmt, column);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      cell.kind = Cell::Integer;
      cell.integer = sqlite3_value_int64(value);
      break;
    case SQLITE_FLOAT:
      cell.kind = Cell::Real;
      cell.real = sqlite3_value_double(value);
      break;
    case SQLITE_TEXT:
      cell.kind = Cell::Text;
      cell.data = reinterpret_cast<const char*>(sqlite3_value_text(value));
      cell.size = static_cast<size_t>(sqlite3_value_bytes(value));
      if (cell.size == 0) cell.kind = Cell::Null, cell.empty = true;  // '' is NULL
      break;
    case SQLITE_BLOB:
      cell.kind = Cell::Blob;
      cell.data = static_cast<const char*>(sqlite3_value_blob(value));
      cell.size = static_cast<size_t>(sqlite3_value_bytes(value));
      if (cell.size == 0) cell.kind = Cell::Null, cell.empty = true;
      break;
    default:
      break;
  }
  return cell;
}

// A value kept beyond the statement step (scrollable and locking cursors).
struct StoredCell {
  Cell::Kind kind = Cell::Null;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;
  bool empty = false;
  static StoredCell from(const Cell& cell);
  Cell view() const;
};

// Result of placing one value into an application buffer.
struct Placed {
  bool is_null = false;
  bool truncated = false;
  uint32_t written = 0;      // bytes placed (the returned length)
  uint32_t full_length = 0;  // length before truncation
};

// Writes cell (of column type `column`) into buf of `size` bytes as external type dty.
// Throws OracleException for impossible conversions (ORA-00932, ORA-01722).
Placed place_value(const Cell& cell, const sql::OracleType& column, uint16_t dty, void* buf, int32_t size,
                   const sql::SessionContext& session);

// Whether a text value of a column of this type reaches the client as stored (dates and
// timestamps are stored as text but shown in the session's formats).
bool shows_text_as_stored(int type_code);

// Binds element `buf` (external type dty, `length` bytes) as parameter `index`.
void bind_value(sqlite3_stmt* stmt, int index, uint16_t dty, const void* buf, uint32_t length);

// The length of an input element when the application gave no length array.
uint32_t implied_length(uint16_t dty, const void* buf, int32_t size);

// The text Oracle shows for a value of this column type (dates in the session's format, numbers as Oracle writes them).
std::string render_text(const Cell& cell, const sql::OracleType& column, const sql::SessionContext& session);

// DATE storage text ('YYYY-MM-DD HH:MM:SS') <-> 7-byte SQLT_DAT.
bool storage_to_oracle_date(std::string_view storage, ub1 out[7]);
std::string oracle_date_to_storage(const ub1 in[7]);
void storage_to_datetime(std::string_view storage, DateTimeDescriptor& out);
std::string datetime_to_storage(const DateTimeDescriptor& in);

// NUMBER bytes (exponent byte + base-100 mantissa, without a length byte) <-> decimal text.
std::vector<ub1> encode_number(std::string_view decimal);
std::string decode_number(const ub1* bytes, size_t length);

// NUMBER bytes built without a heap string, the same bytes encode_number gives for the value's text.
struct NumberBytes {
  ub1 bytes[21];       // an OCINumber holds at most 21 bytes after its length byte
  uint8_t length = 0;  // bytes used
};
NumberBytes integer_number_bytes(int64_t value);
// A number's text as the exact storage writes it (at most 40 significant digits, no rounding
// needed); false for anything else, which encode_number must take.
bool stored_number_bytes(std::string_view text, NumberBytes& out);
// The same text as the nearest double (half to even, as strtod rounds); false for other text.
bool stored_number_double(std::string_view text, double& out);

}  // namespace ociemu
