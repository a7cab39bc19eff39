// DBMS_LOB's reading functions in SQL: GETLENGTH, SUBSTR, INSTR and COMPARE over a LOB's
// value (text counts characters, a BLOB bytes). They answer NULL for
// arguments out of range rather than raising, as the package does.
#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "ociemu/sql/functions.h"
#include "ociemu/sql/lob_content.h"

namespace ociemu::sql {
namespace {

constexpr int64_t kMaxAmount = 32767;

struct LobArgument {
  LobContent value;
  bool null = false;
};

LobArgument lob_argument(sqlite3_value* value) {
  LobArgument argument;
  int type = sqlite3_value_type(value);
  argument.null = type == SQLITE_NULL;
  argument.value.character = type != SQLITE_BLOB;
  const void* data = argument.value.character ? static_cast<const void*>(sqlite3_value_text(value)) : sqlite3_value_blob(value);
  if (data) argument.value.bytes.assign(static_cast<const char*>(data), static_cast<size_t>(sqlite3_value_bytes(value)));
  return argument;
}

bool whole_argument(sqlite3_value* value, int64_t& out) {
  if (sqlite3_value_type(value) == SQLITE_NULL) return false;
  out = sqlite3_value_int64(value);
  return true;
}

void getlength(sqlite3_context* context, int, sqlite3_value** args) {
  LobArgument lob = lob_argument(args[0]);
  if (lob.null) return sqlite3_result_null(context);
  sqlite3_result_int64(context, static_cast<int64_t>(lob.value.length()));
}

// SUBSTR(lob, amount = 32767, offset = 1)
void substr(sqlite3_context* context, int count, sqlite3_value** args) {
  LobArgument lob = lob_argument(args[0]);
  int64_t amount = kMaxAmount, offset = 1;
  if (lob.null || (count > 1 && !whole_argument(args[1], amount)) || (count > 2 && !whole_argument(args[2], offset))) {
    return sqlite3_result_null(context);
  }
  if (amount < 1 || amount > kMaxAmount || offset < 1 || static_cast<uint64_t>(offset) > lob.value.length()) {
    return sqlite3_result_null(context);
  }
  size_t units = 0;
  std::string_view part = lob.value.slice(static_cast<size_t>(offset - 1), static_cast<size_t>(amount), SIZE_MAX, units);
  if (lob.value.character) {
    sqlite3_result_text(context, part.data(), static_cast<int>(part.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_result_blob(context, part.data(), static_cast<int>(part.size()), SQLITE_TRANSIENT);
  }
}

// INSTR(lob, pattern, offset = 1, nth = 1): the position of the nth match from offset, 0 when none.
void instr(sqlite3_context* context, int count, sqlite3_value** args) {
  LobArgument lob = lob_argument(args[0]);
  LobArgument pattern = lob_argument(args[1]);
  int64_t offset = 1, nth = 1;
  if (lob.null || pattern.null || (count > 2 && !whole_argument(args[2], offset)) ||
      (count > 3 && !whole_argument(args[3], nth))) {
    return sqlite3_result_null(context);
  }
  if (offset < 1 || nth < 1 || pattern.value.bytes.empty()) return sqlite3_result_null(context);
  const std::string& bytes = lob.value.bytes;
  size_t at = lob.value.byte_offset(static_cast<size_t>(offset - 1));
  for (int64_t found = 0;; ++at) {
    at = bytes.find(pattern.value.bytes, at);
    if (at == std::string::npos) return sqlite3_result_int(context, 0);
    if (++found == nth) break;
  }
  int64_t position = lob.value.character ? static_cast<int64_t>(utf8_length(std::string_view(bytes).substr(0, at)))
                                         : static_cast<int64_t>(at);
  sqlite3_result_int64(context, position + 1);
}

// COMPARE(lob_1, lob_2, amount = all, offset_1 = 1, offset_2 = 1): 0 when the ranges match, else -1 or 1.
void compare(sqlite3_context* context, int count, sqlite3_value** args) {
  LobArgument first = lob_argument(args[0]), second = lob_argument(args[1]);
  int64_t amount = INT64_MAX, offset_1 = 1, offset_2 = 1;
  if (first.null || second.null || (count > 2 && !whole_argument(args[2], amount)) ||
      (count > 3 && !whole_argument(args[3], offset_1)) || (count > 4 && !whole_argument(args[4], offset_2))) {
    return sqlite3_result_null(context);
  }
  if (amount < 1 || offset_1 < 1 || offset_2 < 1) return sqlite3_result_null(context);
  size_t units = 0;
  std::string_view left = first.value.slice(static_cast<size_t>(offset_1 - 1), static_cast<size_t>(amount), SIZE_MAX, units);
  std::string_view right = second.value.slice(static_cast<size_t>(offset_2 - 1), static_cast<size_t>(amount), SIZE_MAX, units);
  int order = left.compare(right);
  sqlite3_result_int(context, order < 0 ? -1 : order > 0 ? 1 : 0);
}

struct LobFunction {
  std::string_view package_name;  // after "DBMS_LOB."
  const char* sqlite_name;
  int min_args, max_args;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
};

constexpr std::array<LobFunction, 4> kLobFunctions{{
    {"GETLENGTH", "OCIEMU_LOB_GETLENGTH", 1, 1, getlength},
    {"SUBSTR", "OCIEMU_LOB_SUBSTR", 1, 3, substr},
    {"INSTR", "OCIEMU_LOB_INSTR", 2, 4, instr},
    {"COMPARE", "OCIEMU_LOB_COMPARE", 2, 5, compare},
}};

}  // namespace

std::string_view lob_function(std::string_view qualified) {
  constexpr std::string_view kSys = "SYS.", kPackage = "DBMS_LOB.";
  if (qualified.substr(0, kSys.size()) == kSys) qualified.remove_prefix(kSys.size());
  if (qualified.substr(0, kPackage.size()) != kPackage) return {};
  qualified.remove_prefix(kPackage.size());
  for (const LobFunction& function : kLobFunctions) {
    if (function.package_name == qualified) return function.sqlite_name;
  }
  return {};
}

void register_lob_functions(sqlite3* db) {
  for (const LobFunction& function : kLobFunctions) {
    for (int count = function.min_args; count <= function.max_args; ++count) {
      sqlite3_create_function_v2(db, function.sqlite_name, count, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                 function.function, nullptr, nullptr, nullptr);
    }
  }
}

}  // namespace ociemu::sql
