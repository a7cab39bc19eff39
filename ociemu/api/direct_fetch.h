// Fetched cells placed straight into a define's element for the cases that need no
// conversion (an integer into a signed SQLT_INT, a number into SQLT_FLT, stored text into
// SQLT_STR or SQLT_CHR) or only a fixed-layout read (a stored date into SQLT_DAT or
// SQLT_ODT), and a NUMBER column's integers and exact values as text and OCINumber.
// Anything else (NULL, another storage class, truncation) is left to the general
// conversions, which own those rules.
#pragma once

#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "ociemu/api/convert.h"
#include "ociemu/api/statement.h"
#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/exact_number.h"

namespace ociemu {

// A placer returns whether element `slot` took the value; false leaves every slot untouched.
// They are inlined into one switch, whose kind repeats down a column, so a cell costs no call.
// Slots are size_t, like the offsets they scale, so that the row loop keeps one counter.

// Stores go through memcpy: a client's strides need not keep its elements aligned.
template <typename T>
void store_at(char* base, size_t skip, size_t slot, T value) {
  std::memcpy(base + slot * skip, &value, sizeof value);
}

[[gnu::always_inline]] inline void mark_placed(const DirectTarget& t, size_t slot, uint32_t written) {
  store_at<sb2>(t.indicators, t.indicator_skip, slot, 0);
  store_at<ub2>(t.lengths, t.length_skip, slot, static_cast<ub2>(written < 65535 ? written : 65535));
  if (!t.wide_lengths_or_codes) return;
  store_at<ub4>(t.wide_lengths, t.wide_length_skip, slot, written);
  store_at<ub2>(t.codes, t.code_skip, slot, 0);
}

// Copies `length` bytes, 1 to 2 * sizeof(Word), as two words that overlap in the middle.
template <typename Word>
[[gnu::always_inline]] inline void copy_as_two_words(char* out, const char* in, uint32_t length) {
  Word head = 0, tail = 0;
  std::memcpy(&head, in, sizeof head);
  std::memcpy(&tail, in + length - sizeof tail, sizeof tail);
  std::memcpy(out, &head, sizeof head);
  std::memcpy(out + length - sizeof tail, &tail, sizeof tail);
}

// Most cells are a few bytes long: copied inline, without a call to memcpy, they cost a few
// instructions. Nothing outside [in, in + length) is read.
[[gnu::always_inline]] inline void copy_cell_bytes(char* out, const char* in, uint32_t length) {
  if (length > 16) {
    std::memcpy(out, in, length);
  } else if (length >= 8) {
    copy_as_two_words<uint64_t>(out, in, length);
  } else if (length >= 4) {
    copy_as_two_words<uint32_t>(out, in, length);
  } else if (length > 0) {
    out[0] = in[0];
    out[length / 2] = in[length / 2];
    out[length - 1] = in[length - 1];
  }
}

inline char* element_at(const DirectTarget& t, size_t slot) { return t.values + slot * t.value_skip; }

// A value the buffer cannot hold goes the general way, which fails its row (ORA-01455).
template <typename Integer>
[[gnu::always_inline]] inline bool place_integer(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  if (sqlite3_value_type(value) != SQLITE_INTEGER) return false;
  const int64_t wide = sqlite3_value_int64(value);
  const auto narrow = static_cast<Integer>(wide);
  if (narrow != wide) return false;
  std::memcpy(element_at(t, slot), &narrow, sizeof narrow);
  mark_placed(t, slot, sizeof narrow);
  return true;
}

// The text of a BLOB marked as an exact NUMBER, its characters unchecked: for readers that accept
// only a number's form, a subset of what is_exact_number accepts. Empty for any other value.
inline std::string_view marked_exact_text(sqlite3_value* value) {
  const auto* blob = static_cast<const char*>(sqlite3_value_blob(value));
  const auto size = static_cast<size_t>(sqlite3_value_bytes(value));
  return size >= 2 && blob[size - 1] == sql::kExactNumberMark ? std::string_view(blob, size - 1) : std::string_view();
}

[[gnu::always_inline]] inline void store_real(double number, const DirectTarget& t, size_t slot) {
  std::memcpy(element_at(t, slot), &number, sizeof number);
  mark_placed(t, slot, sizeof number);
}

[[gnu::noinline]] inline bool place_exact_real(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  double number = 0;
  if (!stored_number_double(marked_exact_text(value), number)) return false;
  store_real(number, t, slot);
  return true;
}

[[gnu::always_inline]] inline bool place_real(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  const int type = sqlite3_value_type(value);
  if (type == SQLITE_BLOB) return place_exact_real(value, t, slot);
  if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) return false;
  store_real(sqlite3_value_double(value), t, slot);
  return true;
}

// Text that fits whole; empty text is NULL and truncation has its own rules, both the general way's.
// Inlined into the row loop, like place_text, even though the number placers share them.
template <bool kTerminated>
[[gnu::always_inline]] inline bool place_text_bytes(const void* text, uint32_t length, const DirectTarget& t, size_t slot) {
  if (length == 0 || length + (kTerminated ? 1u : 0u) > t.value_size) return false;
  char* out = element_at(t, slot);
  copy_cell_bytes(out, static_cast<const char*>(text), length);
  if (kTerminated) out[length] = 0;
  mark_placed(t, slot, length);
  return true;
}

template <bool kTerminated>
[[gnu::always_inline]] inline bool place_text(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return false;
  // Text, then its length: SQLite's documented order, and the length, read after the last
  // call, stays in a register instead of on the stack.
  const unsigned char* text = sqlite3_value_text(value);
  return place_text_bytes<kTerminated>(text, static_cast<uint32_t>(sqlite3_value_bytes(value)), t, slot);
}

// The stored text of an exact NUMBER held in a BLOB; empty for any other value.
inline std::string_view stored_exact_text(sqlite3_value* value) {
  const void* blob = sqlite3_value_blob(value);
  const auto size = static_cast<size_t>(sqlite3_value_bytes(value));
  return sql::is_exact_number(blob, size) ? sql::exact_number_text(blob, size) : std::string_view();
}

// A NUMBER column's text: stored text, an integer written out, or an exact value's own text.
template <bool kTerminated>
[[gnu::noinline]] bool place_number_text(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_TEXT: return place_text<kTerminated>(value, t, slot);
    case SQLITE_INTEGER: {
      char digits[24];
      const auto end = std::to_chars(digits, digits + sizeof digits, sqlite3_value_int64(value)).ptr;
      return place_text_bytes<kTerminated>(digits, static_cast<uint32_t>(end - digits), t, slot);
    }
    case SQLITE_BLOB: {
      const std::string_view text = stored_exact_text(value);
      return place_text_bytes<kTerminated>(text.data(), static_cast<uint32_t>(text.size()), t, slot);
    }
    default: return false;
  }
}

// A NUMBER column's integer or exact value as OCINumber bytes: SQLT_VNU with its length byte
// first (the element holds 22 bytes), or SQLT_NUM when they fit the element.
template <uint16_t kDty>
[[gnu::noinline]] bool place_number_bytes(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  NumberBytes number;
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: number = integer_number_bytes(sqlite3_value_int64(value)); break;
    case SQLITE_BLOB:
      if (!stored_number_bytes(marked_exact_text(value), number)) return false;
      break;
    default: return false;
  }
  char* out = element_at(t, slot);
  if constexpr (kDty == SQLT_VNU) {
    out[0] = static_cast<char>(number.length);
    std::memcpy(out + 1, number.bytes, number.length);
    mark_placed(t, slot, number.length + 1u);
  } else {
    if (number.length > t.value_size) return false;
    std::memcpy(out, number.bytes, number.length);
    mark_placed(t, slot, number.length);
  }
  return true;
}

// A date in its stored form, read at its fixed places; any other text goes the general way.
// Kept out of line, so that the switch below stays small enough to inline into the row loop.
template <uint16_t kDty>
[[gnu::noinline]] bool place_date(sqlite3_value* value, const DirectTarget& t, size_t slot) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return false;
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  sql::DateTimeValue date;
  if (!sql::parse_stored_date(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))), date)) {
    return false;
  }
  if constexpr (kDty == SQLT_DAT) {
    const ub1 bytes[7] = {static_cast<ub1>(date.year / 100 + 100), static_cast<ub1>(date.year % 100 + 100),
                          static_cast<ub1>(date.month),            static_cast<ub1>(date.day),
                          static_cast<ub1>(date.hour + 1),         static_cast<ub1>(date.minute + 1),
                          static_cast<ub1>(date.second + 1)};
    std::memcpy(element_at(t, slot), bytes, sizeof bytes);
    mark_placed(t, slot, sizeof bytes);
  } else {
    OCIDate out{};
    out.OCIDateYYYY = static_cast<sb2>(date.year);
    out.OCIDateMM = static_cast<ub1>(date.month);
    out.OCIDateDD = static_cast<ub1>(date.day);
    out.OCIDateTime = OCITime{static_cast<ub1>(date.hour), static_cast<ub1>(date.minute), static_cast<ub1>(date.second)};
    std::memcpy(element_at(t, slot), &out, sizeof out);
    mark_placed(t, slot, sizeof out);
  }
  return true;
}

inline DirectKind integer_kind(int32_t value_size) {
  switch (value_size) {
    case 1: return DirectKind::Int8;
    case 2: return DirectKind::Int16;
    case 4: return DirectKind::Int32;
    case 8: return DirectKind::Int64;
    default: return DirectKind::None;
  }
}

// Dispatches on the kind before asking SQLite for the cell, so that a column the general way
// places costs no call here, and the kind is tested once: None is a case of the jump table.
[[gnu::always_inline]] inline bool place_directly(DirectKind kind, sqlite3_stmt* row, int column, const DirectTarget& t,
                                                  size_t slot) {
  const auto cell = [row, column] { return sqlite3_column_value(row, column); };
  switch (kind) {
    case DirectKind::None: return false;
    case DirectKind::Int8: return place_integer<int8_t>(cell(), t, slot);
    case DirectKind::Int16: return place_integer<int16_t>(cell(), t, slot);
    case DirectKind::Int32: return place_integer<int32_t>(cell(), t, slot);
    case DirectKind::Int64: return place_integer<int64_t>(cell(), t, slot);
    case DirectKind::Real: return place_real(cell(), t, slot);
    case DirectKind::TerminatedText: return place_text<true>(cell(), t, slot);
    case DirectKind::Text: return place_text<false>(cell(), t, slot);
    case DirectKind::Date: return place_date<SQLT_DAT>(cell(), t, slot);
    case DirectKind::OciDate: return place_date<SQLT_ODT>(cell(), t, slot);
    case DirectKind::NumberTerminatedText: return place_number_text<true>(cell(), t, slot);
    case DirectKind::NumberText: return place_number_text<false>(cell(), t, slot);
    case DirectKind::VarNum: return place_number_bytes<SQLT_VNU>(cell(), t, slot);
    case DirectKind::Number: return place_number_bytes<SQLT_NUM>(cell(), t, slot);
  }
  // Kinds come from direct_placement alone; telling the compiler spares the table's range check.
#if defined(__GNUC__)
  __builtin_unreachable();
#else
  return false;
#endif
}

}  // namespace ociemu
