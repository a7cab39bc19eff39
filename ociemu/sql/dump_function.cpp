// DUMP(expr[, fmt[, start[, length]]]): the type code, length and bytes of Oracle's internal
// form of a value. SQLite keeps other forms, so the bytes are rebuilt from the value and
// the type code the translator passes: OCIEMU_DUMP(value, type_code, fmt, start, length).
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {
namespace {

using Bytes = std::vector<unsigned char>;

constexpr int kVarchar2 = 1, kNumber = 2, kLong = 8, kDate = 12, kComputedDate = 13, kRaw = 23, kChar = 96,
              kClob = 112, kTimestamp = 180;

// Oracle's NUMBER: an exponent byte over base-100 digits (zero is the single byte 128).
Bytes number_bytes(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  std::string digits;
  int point = 0;  // digits before the decimal point
  bool seen_point = false;
  size_t i = negative ? 1 : 0;
  for (; i < text.size() && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      seen_point = true;
    } else {
      digits.push_back(text[i]);
      if (!seen_point) ++point;
    }
  }
  if (i < text.size()) point += std::stoi(text.substr(i + 1));
  while (!digits.empty() && digits.front() == '0') digits.erase(digits.begin()), --point;
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return {128};
  // Base-100 digits start at an even power of ten: an odd count before the point takes a leading 0.
  if (point % 2 != 0) digits.insert(digits.begin(), '0'), ++point;
  if (digits.size() % 2 != 0) digits.push_back('0');
  const int exponent = point / 2;  // value = 0.d1d2... x 100^exponent
  Bytes bytes{static_cast<unsigned char>(negative ? 63 - exponent : 192 + exponent)};
  for (size_t k = 0; k < digits.size(); k += 2) {
    const int pair = (digits[k] - '0') * 10 + (digits[k + 1] - '0');
    bytes.push_back(static_cast<unsigned char>(negative ? 101 - pair : pair + 1));
  }
  if (negative && bytes.size() < 21) bytes.push_back(102);
  return bytes;
}

Bytes stored_date_bytes(const DateTimeValue& v) {
  return {static_cast<unsigned char>(100 + v.year / 100), static_cast<unsigned char>(100 + v.year % 100),
          static_cast<unsigned char>(v.month),           static_cast<unsigned char>(v.day),
          static_cast<unsigned char>(v.hour + 1),        static_cast<unsigned char>(v.minute + 1),
          static_cast<unsigned char>(v.second + 1)};
}

// The form of a date computed in an expression (SYSDATE, TO_DATE): the year in two bytes, low first.
Bytes computed_date_bytes(const DateTimeValue& v) {
  const auto year = static_cast<uint16_t>(static_cast<int16_t>(v.year));
  return {static_cast<unsigned char>(year & 0xff), static_cast<unsigned char>(year >> 8),
          static_cast<unsigned char>(v.month),     static_cast<unsigned char>(v.day),
          static_cast<unsigned char>(v.hour),      static_cast<unsigned char>(v.minute),
          static_cast<unsigned char>(v.second),    0};
}

Bytes timestamp_bytes(const DateTimeValue& v) {
  Bytes bytes = stored_date_bytes(v);
  if (v.nanoseconds == 0) return bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<unsigned char>(v.nanoseconds >> shift));
  return bytes;
}

Bytes raw_bytes(sqlite3_value* value) {
  const bool blob = sqlite3_value_type(value) == SQLITE_BLOB;
  const auto* data = static_cast<const unsigned char*>(blob ? sqlite3_value_blob(value) : sqlite3_value_text(value));
  return Bytes(data, data + sqlite3_value_bytes(value));
}

// A value the translator could not type (a bind, say) is typed by how it is stored.
int type_of_storage(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return kNumber;
    case SQLITE_BLOB:
      return is_exact_number(sqlite3_value_blob(value), static_cast<size_t>(sqlite3_value_bytes(value))) ? kNumber : kRaw;
    default: return kVarchar2;
  }
}

Bytes internal_bytes(sqlite3_value* value, int& type) {
  if (type == 0) type = type_of_storage(value);
  if (type == kNumber) return number_bytes(text_argument(value));
  if (type == kDate || type == kComputedDate || type == kTimestamp) {
    if (auto date = date_argument(value)) {
      return type == kDate ? stored_date_bytes(*date) : type == kComputedDate ? computed_date_bytes(*date)
                                                                             : timestamp_bytes(*date);
    }
  }
  return raw_bytes(value);
}

std::string shown_byte(unsigned char byte, int format) {
  char buffer[8];
  if (format == 17 && byte >= 0x20 && byte < 0x7f) return std::string(1, static_cast<char>(byte));
  std::snprintf(buffer, sizeof buffer, format == 8 ? "%o" : format == 10 ? "%u" : "%x", static_cast<unsigned>(byte));
  return buffer;
}

bool is_character_type(int type) { return type == kVarchar2 || type == kChar || type == kLong || type == kClob; }

void dump(sqlite3_context* context, int count, sqlite3_value** args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL) return sqlite3_result_text(context, "NULL", 4, SQLITE_STATIC);
  int type = sqlite3_value_int(args[1]);
  const int requested = count > 2 && sqlite3_value_type(args[2]) != SQLITE_NULL ? sqlite3_value_int(args[2]) : 10;
  int format = requested % 1000;
  if (format != 8 && format != 16 && format != 17) format = 10;
  const Bytes bytes = internal_bytes(args[0], type);
  const auto size = static_cast<int64_t>(bytes.size());
  int64_t start = count > 3 && sqlite3_value_type(args[3]) != SQLITE_NULL ? sqlite3_value_int64(args[3]) : 1;
  if (start < 0) start = size + start + 1;
  if (start < 1) start = 1;
  int64_t length = count > 4 && sqlite3_value_type(args[4]) != SQLITE_NULL ? sqlite3_value_int64(args[4]) : size;
  std::string text = "Typ=" + std::to_string(type) + " Len=" + std::to_string(size);
  if (requested >= 1000 && is_character_type(type)) text += " CharacterSet=AL32UTF8";
  text += ": ";
  for (int64_t k = start - 1, shown = 0; k < size && shown < length; ++k, ++shown) {
    if (shown > 0) text += ",";
    text += shown_byte(bytes[static_cast<size_t>(k)], format);
  }
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

void register_dump_function(sqlite3* db) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (int arguments = 2; arguments <= 5; ++arguments)
    sqlite3_create_function_v2(db, kDumpFunction, arguments, kFlags, nullptr, dump, nullptr, nullptr, nullptr);
}

}  // namespace ociemu::sql
