// Fetched cells placed straight into a define's element for the cases that need no
// conversion (an integer into a signed SQLT_INT, a number into SQLT_FLT, stored text into
// SQLT_STR or SQLT_CHR). Anything else (NULL, another storage class, truncation)
// is left to the general conversions, which own those rules.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

#include "ociemu/api/statement.h"

namespace ociemu {

// Each placer is its own small function, chosen once per fetch call, so that a cell costs no
// dispatch on its kind. A placer returns whether element `slot` took the value; false leaves
// every slot untouched.

inline void mark_placed(const ElementArrays& a, uint32_t slot, uint32_t written) {
  if (sb2* indicator = a.indicator_at(slot)) *indicator = 0;
  a.set_length(slot, written);
  if (ub2* code = a.code_at(slot)) *code = 0;
}

// A value the buffer cannot hold goes the general way, which fails its row (ORA-01455).
template <typename Integer>
bool place_integer(sqlite3_value* value, const ElementArrays& a, uint32_t slot) {
  if (sqlite3_value_type(value) != SQLITE_INTEGER) return false;
  const int64_t wide = sqlite3_value_int64(value);
  const auto narrow = static_cast<Integer>(wide);
  if (narrow != wide) return false;
  std::memcpy(a.value_at(slot), &narrow, sizeof narrow);
  mark_placed(a, slot, sizeof narrow);
  return true;
}

inline bool place_real(sqlite3_value* value, const ElementArrays& a, uint32_t slot) {
  const int type = sqlite3_value_type(value);
  if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) return false;
  const double number = sqlite3_value_double(value);
  std::memcpy(a.value_at(slot), &number, sizeof number);
  mark_placed(a, slot, sizeof number);
  return true;
}

template <bool kTerminated>
bool place_text(sqlite3_value* value, const ElementArrays& a, uint32_t slot) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return false;
  const auto* text = sqlite3_value_text(value);
  const auto length = static_cast<uint32_t>(sqlite3_value_bytes(value));
  if (length == 0 || length + (kTerminated ? 1u : 0u) > static_cast<uint32_t>(a.value_size)) return false;
  char* out = static_cast<char*>(a.value_at(slot));
  std::memcpy(out, text, length);
  if (kTerminated) out[length] = 0;
  mark_placed(a, slot, length);
  return true;
}

inline DirectPlacer integer_placer(int32_t value_size) {
  switch (value_size) {
    case 1: return &place_integer<int8_t>;
    case 2: return &place_integer<int16_t>;
    case 4: return &place_integer<int32_t>;
    case 8: return &place_integer<int64_t>;
    default: return nullptr;
  }
}

}  // namespace ociemu
