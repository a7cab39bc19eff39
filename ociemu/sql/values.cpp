// Rowid text and NUMBER text, the value conversions shared with the call interface.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/stored_names.h"

namespace ociemu::sql {
namespace {

constexpr std::string_view kRowidDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Writes value as `width` digits into text from `at`.
void put_base64(std::string& text, size_t at, uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    text[at + static_cast<size_t>(i)] = kRowidDigits[value % 64];
    value /= 64;
  }
}

// Each byte's digit value, or -1: rowids are decoded in every statement that names one.
constexpr std::array<int8_t, 256> kDigitValues = [] {
  std::array<int8_t, 256> values{};
  values.fill(-1);
  for (size_t i = 0; i < kRowidDigits.size(); ++i) values[static_cast<unsigned char>(kRowidDigits[i])] = static_cast<int8_t>(i);
  return values;
}();

bool read_base64(std::string_view group, uint64_t& value) {
  value = 0;
  for (char c : group) {
    const int digit = kDigitValues[static_cast<unsigned char>(c)];
    if (digit < 0) return false;
    value = value * 64 + static_cast<uint64_t>(digit);
  }
  return true;
}

// The SQLite rowid is spread over the file (10 bits), block (22) and slot (16)
// groups; file numbers start at 1 as Oracle's relative file numbers do.
constexpr int kSlotBits = 16;
constexpr int kBlockBits = 22;

}  // namespace

std::string encode_rowid(int64_t table_object_id, int64_t sqlite_rowid) {
  const uint64_t row = static_cast<uint64_t>(sqlite_rowid);
  const uint64_t slot = row & 0xFFFF;
  const uint64_t block = (row >> kSlotBits) & 0x3FFFFF;
  const uint64_t file = ((row >> (kSlotBits + kBlockBits)) & 0x3FF) + 1;
  std::string text(18, 'A');
  put_base64(text, 0, static_cast<uint64_t>(table_object_id) & 0xFFFFFFFF, 6);
  put_base64(text, 6, file, 3);
  put_base64(text, 9, block, 6);
  put_base64(text, 15, slot, 3);
  return text;
}

bool decode_rowid(std::string_view text, int64_t& table_object_id, int64_t& sqlite_rowid) {
  if (text.size() != 18) return false;
  uint64_t object = 0, file = 0, block = 0, slot = 0;
  if (!read_base64(text.substr(0, 6), object) || !read_base64(text.substr(6, 3), file) ||
      !read_base64(text.substr(9, 6), block) || !read_base64(text.substr(15, 3), slot))
    return false;
  if (file < 1 || file > 0x400 || block > 0x3FFFFF || slot > 0xFFFF || object > 0xFFFFFFFF) return false;
  table_object_id = static_cast<int64_t>(object);
  sqlite_rowid = static_cast<int64_t>(((file - 1) << (kSlotBits + kBlockBits)) | (block << kSlotBits) | slot);
  return true;
}

bool rowid_parts(std::string_view text, RowidParts& parts) {
  int64_t object = 0, row = 0;
  if (!decode_rowid(text, object, row)) return false;
  const auto bits = static_cast<uint64_t>(row);
  parts.object = static_cast<uint32_t>(object);
  parts.file = static_cast<uint16_t>((bits >> (kSlotBits + kBlockBits)) + 1);
  parts.block = static_cast<uint32_t>((bits >> kSlotBits) & 0x3FFFFF);
  parts.row = static_cast<uint16_t>(bits & 0xFFFF);
  return true;
}

int64_t table_object_id(sqlite3* db, std::string_view sqlite_table) {
  size_t dot = sqlite_table.find('.');
  if (dot == std::string_view::npos) return 0;
  auto object = find_object(db, sqlite_table.substr(0, dot), oracle_name(sqlite_table.substr(dot + 1)));
  return object ? object->object_id : 0;
}

std::string format_number(int64_t value) { return std::to_string(value); }

std::string format_number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "~" : "-~";
  if (value == 0) return "0";
  // NUMBER keeps decimal digits; 15 significant digits undo binary noise (0.1 + 0.2).
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.15e", value);
  // buffer: [-]d.ddddddddddddddde[+-]xx
  std::string text(buffer);
  bool negative = text[0] == '-';
  if (negative) text.erase(0, 1);
  size_t e = text.find('e');
  int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  // digits: mantissa d1 d2 ... with the point after d1, times 10^exponent.
  const int digit_count = static_cast<int>(digits.size());
  std::string result;
  if (exponent >= 0) {
    if (exponent + 1 > 40) {  // beyond NUMBER's fixed notation: scientific
      result = digits.substr(0, 1) + (digit_count > 1 ? "." + digits.substr(1) : "") + "E+" + std::to_string(exponent);
    } else if (digit_count <= exponent + 1) {
      result = digits + std::string(static_cast<size_t>(exponent + 1 - digit_count), '0');
    } else {
      result = digits.substr(0, static_cast<size_t>(exponent + 1)) + "." + digits.substr(static_cast<size_t>(exponent + 1));
    }
  } else {
    int leading_zeros = -exponent - 1;
    if (leading_zeros + digit_count > 40) {
      result = digits.substr(0, 1) + (digit_count > 1 ? "." + digits.substr(1) : "") + "E-" + std::to_string(-exponent);
    } else {
      result = "." + std::string(static_cast<size_t>(leading_zeros), '0') + digits;
    }
  }
  return negative ? "-" + result : result;
}

}  // namespace ociemu::sql
