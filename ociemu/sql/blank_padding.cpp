// CHAR(n) and NCHAR(n) columns: values stored blank-padded to n, and compared
// with blank-padded semantics through a collation the column declares.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ociemu/sql/functions.h"

namespace ociemu::sql {
namespace {

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Blank-padded comparison: the shorter value compares as if padded with blanks.
int compare_padded(void*, int left_size, const void* left, int right_size, const void* right) {
  const auto* a = static_cast<const unsigned char*>(left);
  const auto* b = static_cast<const unsigned char*>(right);
  const int common = std::min(left_size, right_size);
  if (int order = common ? std::memcmp(a, b, static_cast<size_t>(common)) : 0) return order;
  const bool left_longer = left_size > right_size;
  const unsigned char* rest = left_longer ? a : b;
  for (int i = common; i < std::max(left_size, right_size); ++i) {
    if (rest[i] == ' ') continue;
    const bool rest_greater = rest[i] > ' ';
    return rest_greater == left_longer ? 1 : -1;
  }
  return 0;
}

// OCIEMU_BLANK_PAD(value, size, in_characters): text padded with blanks to size
// characters (or bytes); longer values stay as they are for the length check to refuse.
void blank_pad(sqlite3_context* context, int, sqlite3_value** args) {
  const int type = sqlite3_value_type(args[0]);
  if (type == SQLITE_NULL || type == SQLITE_BLOB) return sqlite3_result_value(context, args[0]);
  const auto* text = sqlite3_value_text(args[0]);
  const auto bytes = static_cast<size_t>(sqlite3_value_bytes(args[0]));
  if (text == nullptr) return sqlite3_result_error_nomem(context);
  if (bytes == 0) return sqlite3_result_null(context);  // '' is NULL
  const auto size = static_cast<size_t>(std::max<sqlite3_int64>(sqlite3_value_int64(args[1]), 0));
  size_t have = bytes;
  if (sqlite3_value_int(args[2])) have = static_cast<size_t>(std::count_if(text, text + bytes, [](unsigned char c) {
                                    return !continuation(c);
                                  }));
  if (have >= size && type == SQLITE_TEXT) return sqlite3_result_value(context, args[0]);
  std::string padded(reinterpret_cast<const char*>(text), bytes);
  if (have < size) padded.append(size - have, ' ');
  sqlite3_result_text(context, padded.data(), static_cast<int>(padded.size()), SQLITE_TRANSIENT);
}

}  // namespace

void register_blank_padding(sqlite3* db) {
  sqlite3_create_collation_v2(db, kBlankPaddedCollation, SQLITE_UTF8, nullptr, compare_padded, nullptr);
  sqlite3_create_function_v2(db, kBlankPadFunction, 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                             blank_pad, nullptr, nullptr, nullptr);
}

}  // namespace ociemu::sql
