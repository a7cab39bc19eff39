// Bound elements passed straight to SQLite for the cases that need no conversion (an integer
// from SQLT_INT, a double from SQLT_FLT, text from SQLT_CHR or SQLT_STR), so that array DML
// decides once per execute what each bind is, not once per element. Anything else goes the
// general way, which owns those rules.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

#include "ociemu/api/statement.h"

namespace ociemu {

template <typename T>
T load_at(const char* base, size_t skip, uint32_t row) {
  T value;
  std::memcpy(&value, base + size_t{row} * skip, sizeof value);
  return value;
}

// The element's length: its length slot, or for SQLT_STR without one, up to its terminator.
inline int bound_text_length(const PlannedBind& p, const char* text, uint32_t row) {
  if (p.lengths) return load_at<ub2>(p.lengths, p.length_skip, row);
  if (p.kind == DirectBindKind::TerminatedText) return static_cast<int>(strnlen(text, p.value_size));
  return static_cast<int>(p.value_size);
}

inline void bind_directly(const PlannedBind& p, sqlite3_stmt* stmt, int index, uint32_t row) {
  if (load_at<sb2>(p.indicators, p.indicator_skip, row) == -1) {
    sqlite3_bind_null(stmt, index);
    return;
  }
  const char* element = p.values + size_t{row} * p.value_skip;
  switch (p.kind) {
    case DirectBindKind::Int8: sqlite3_bind_int64(stmt, index, load_at<int8_t>(element, 0, 0)); return;
    case DirectBindKind::Int16: sqlite3_bind_int64(stmt, index, load_at<int16_t>(element, 0, 0)); return;
    case DirectBindKind::Int32: sqlite3_bind_int64(stmt, index, load_at<int32_t>(element, 0, 0)); return;
    case DirectBindKind::Int64: sqlite3_bind_int64(stmt, index, load_at<int64_t>(element, 0, 0)); return;
    case DirectBindKind::Real: sqlite3_bind_double(stmt, index, load_at<double>(element, 0, 0)); return;
    case DirectBindKind::Text:
    case DirectBindKind::TerminatedText: {
      const int length = bound_text_length(p, element, row);
      if (length == 0) {
        sqlite3_bind_null(stmt, index);  // '' is NULL
      } else {
        sqlite3_bind_text(stmt, index, element, length, SQLITE_STATIC);
      }
      return;
    }
    case DirectBindKind::None: return;
  }
}

}  // namespace ociemu
