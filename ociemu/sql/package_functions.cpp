#include "ociemu/sql/package_functions.h"

#include <array>
#include <cctype>
#include <cstdint>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {
namespace {

constexpr int kInvalidRowid = 1410;
constexpr int kInvalidHex = 1465;
constexpr int kValueError = 6502;
constexpr int kSlotBits = 16;   // the rowid's row number, as encode_rowid lays it out
constexpr int kBlockBits = 22;  // its block number

struct RowidParts {
  int64_t object = 0;
  int64_t row = 0;  // the SQLite rowid
};

std::optional<RowidParts> rowid_argument(sqlite3_value* value) {
  if (is_null(value)) return std::nullopt;
  RowidParts parts;
  if (!decode_rowid(text_argument(value), parts.object, parts.row)) throw_oracle(kInvalidRowid);
  return parts;
}

// A RAW argument's bytes: blobs as they are, text as hex (Oracle's implicit HEXTORAW).
std::optional<std::string> raw_argument(sqlite3_value* value) {
  if (is_null(value)) return std::nullopt;
  if (sqlite3_value_type(value) == SQLITE_BLOB) {
    const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
    return std::string(data, static_cast<size_t>(sqlite3_value_bytes(value)));
  }
  std::string hex = text_argument(value);
  if (hex.size() % 2) hex.insert(0, "0");
  auto digit = [](char c) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw_oracle(kInvalidHex);
    return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
  };
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) bytes.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  return bytes;
}

// RAW results are blobs; Oracle has no empty RAW, so no bytes is NULL.
void set_raw(sqlite3_context* context, const std::string& bytes) {
  if (bytes.empty()) return sqlite3_result_null(context);
  sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::optional<std::string> builtin_package_function(std::string_view qualified) {
  constexpr std::string_view kSys = "SYS.";
  if (qualified.substr(0, kSys.size()) == kSys) qualified.remove_prefix(kSys.size());
  for (std::string_view package : {"UTL_RAW", "DBMS_ROWID"}) {
    if (qualified.size() > package.size() + 1 && qualified.substr(0, package.size()) == package &&
        qualified[package.size()] == '.') {
      std::string name = "OCIEMU_" + std::string(qualified);
      name[7 + package.size()] = '_';
      return name;
    }
  }
  return std::nullopt;
}

std::optional<std::string> restricted_rowid(std::string_view text) {
  constexpr std::array<size_t, 3> kWidths{8, 4, 4};
  std::string full;
  for (size_t part = 0; part < kWidths.size(); ++part) {
    std::string_view digits;
    if (part == 0 || !text.empty()) {
      const size_t dot = text.find('.');
      digits = text.substr(0, dot);
      text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
      if (digits.empty() || digits.size() > kWidths[part] || (dot != std::string_view::npos && text.empty())) {
        return std::nullopt;
      }
    }
    if (part > 0) full += '.';
    full.append(kWidths[part] - digits.size(), '0');
    for (char c : digits) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      full += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  if (!text.empty()) return std::nullopt;
  return full;
}

void chartorowid(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  if (auto restricted = restricted_rowid(text_argument(args[0]))) return set_result(context, *restricted);
  rowid_argument(args[0]);
  sqlite3_result_value(context, args[0]);
}

void rowidtochar(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  set_result(context, text_argument(args[0]));
}

void rowid_type(sqlite3_context* context, int, sqlite3_value** args) {
  if (!rowid_argument(args[0])) return sqlite3_result_null(context);
  sqlite3_result_int(context, 1);  // extended
}

void rowid_object(sqlite3_context* context, int, sqlite3_value** args) {
  auto parts = rowid_argument(args[0]);
  if (!parts) return sqlite3_result_null(context);
  sqlite3_result_int64(context, parts->object);
}

void rowid_file(sqlite3_context* context, int, sqlite3_value** args) {
  auto parts = rowid_argument(args[0]);
  if (!parts) return sqlite3_result_null(context);
  sqlite3_result_int64(context, ((parts->row >> (kSlotBits + kBlockBits)) & 0x3FF) + 1);
}

void rowid_block(sqlite3_context* context, int, sqlite3_value** args) {
  auto parts = rowid_argument(args[0]);
  if (!parts) return sqlite3_result_null(context);
  sqlite3_result_int64(context, (parts->row >> kSlotBits) & 0x3FFFFF);
}

void rowid_row_number(sqlite3_context* context, int, sqlite3_value** args) {
  auto parts = rowid_argument(args[0]);
  if (!parts) return sqlite3_result_null(context);
  sqlite3_result_int64(context, parts->row & 0xFFFF);
}

void raw_cast_to_raw(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  set_raw(context, text_argument(args[0]));
}

void raw_cast_to_varchar2(sqlite3_context* context, int, sqlite3_value** args) {
  auto bytes = raw_argument(args[0]);
  if (!bytes) return sqlite3_result_null(context);
  set_result(context, *bytes);
}

void raw_length(sqlite3_context* context, int, sqlite3_value** args) {
  auto bytes = raw_argument(args[0]);
  if (!bytes) return sqlite3_result_null(context);
  sqlite3_result_int64(context, static_cast<int64_t>(bytes->size()));
}

void raw_concat(sqlite3_context* context, int count, sqlite3_value** args) {
  std::string joined;
  for (int k = 0; k < count; ++k) {
    if (auto bytes = raw_argument(args[k])) joined += *bytes;
  }
  set_raw(context, joined);
}

// SUBSTR(r, pos [, len]): a negative pos counts from the end; a start or length outside the
// value is VALUE_ERROR, as in Oracle's package.
void raw_substr(sqlite3_context* context, int count, sqlite3_value** args) {
  auto bytes = raw_argument(args[0]);
  std::optional<Number> position = number_argument(args[1]);
  if (!bytes || !position) return sqlite3_result_null(context);
  const auto size = static_cast<int64_t>(bytes->size());
  int64_t start = static_cast<int64_t>(position->as_double());
  if (start < 0) start += size + 1;
  if (start < 1 || start > size) throw_oracle(kValueError, {""});
  int64_t length = size - start + 1;
  if (count > 2 && !is_null(args[2])) {
    length = static_cast<int64_t>(number_argument(args[2])->as_double());
    if (length < 1 || start - 1 + length > size) throw_oracle(kValueError, {""});
  }
  set_raw(context, bytes->substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

}  // namespace ociemu::sql
