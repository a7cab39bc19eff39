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

// Whether element `slot` took the value; false leaves every slot untouched.
inline bool place_direct(DirectPlacement how, sqlite3_value* value, const ElementArrays& a, uint32_t slot) {
  void* out = a.value_at(slot);
  uint32_t written = 0;
  switch (how) {
    case DirectPlacement::Integer: {
      if (sqlite3_value_type(value) != SQLITE_INTEGER) return false;
      const int64_t v = sqlite3_value_int64(value);
      // A value the buffer cannot hold goes the general way, which fails its row (ORA-01455).
      switch (a.value_size) {
        case 1: { auto n = static_cast<int8_t>(v); if (n != v) return false; std::memcpy(out, &n, 1); break; }
        case 2: { auto n = static_cast<int16_t>(v); if (n != v) return false; std::memcpy(out, &n, 2); break; }
        case 4: { auto n = static_cast<int32_t>(v); if (n != v) return false; std::memcpy(out, &n, 4); break; }
        default: std::memcpy(out, &v, 8); break;
      }
      written = static_cast<uint32_t>(a.value_size);
      break;
    }
    case DirectPlacement::Real: {
      const int type = sqlite3_value_type(value);
      if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) return false;
      const double v = sqlite3_value_double(value);
      std::memcpy(out, &v, 8);
      written = 8;
      break;
    }
    case DirectPlacement::TerminatedText:
    case DirectPlacement::Text: {
      if (sqlite3_value_type(value) != SQLITE_TEXT) return false;
      const auto* text = sqlite3_value_text(value);
      const auto length = static_cast<uint32_t>(sqlite3_value_bytes(value));
      const bool terminated = how == DirectPlacement::TerminatedText;
      if (length == 0 || length + (terminated ? 1u : 0u) > static_cast<uint32_t>(a.value_size)) return false;
      std::memcpy(out, text, length);
      if (terminated) static_cast<char*>(out)[length] = 0;
      written = length;
      break;
    }
    case DirectPlacement::None: return false;
  }
  if (sb2* indicator = a.indicator_at(slot)) *indicator = 0;
  a.set_length(slot, written);
  if (ub2* code = a.code_at(slot)) *code = 0;
  return true;
}

}  // namespace ociemu
