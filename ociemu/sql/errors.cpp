#include "ociemu/sql/errors.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "ociemu/sql/catalogue.h"

namespace ociemu::sql {

OracleError oracle_error(int code, MessageArgs args, int parse_offset) {
  return OracleError{code, message_text(code, args), parse_offset};
}

void throw_oracle(int code, MessageArgs args, int parse_offset) {
  throw OracleException{oracle_error(code, args, parse_offset)};
}

void result_oracle_error(sqlite3_context* context, int code) {
  const std::string text = full_message(code, message_text(code));
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

bool parse_ora_text(std::string_view text, OracleError& error) {
  size_t start = text.find("ORA-");
  if (start == std::string_view::npos || text.size() < start + 11 || text.substr(start + 9, 2) != ": ") return false;
  int code = 0;
  for (size_t i = start + 4; i < start + 9; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    code = code * 10 + (text[i] - '0');
  }
  error.code = code;
  error.message = std::string(text.substr(start + 11));
  return true;
}

OracleError as_failure_of(StatementKind kind, OracleError error) {
  if (kind != StatementKind::Update || error.code != 1400) return error;
  const std::string_view prefix = "cannot insert NULL into (";
  std::string_view column = error.message;
  if (column.substr(0, prefix.size()) == prefix) column = column.substr(prefix.size(), column.size() - prefix.size() - 1);
  return oracle_error(1407, {column});
}

std::string in_quotes(std::string_view name) { return "\"" + std::string(name) + "\""; }

namespace {

// "SCOTT.EMP.ENAME" -> owner, table, column (table names hold one dot).
struct QualifiedColumn {
  std::string owner, table, column;
};

std::vector<QualifiedColumn> failed_columns(std::string_view list) {
  std::vector<QualifiedColumn> columns;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(", ", start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    size_t last_dot = item.rfind('.');
    size_t first_dot = item.find('.');
    QualifiedColumn column;
    if (last_dot != std::string_view::npos) {
      column.column = std::string(item.substr(last_dot + 1));
      std::string_view table = item.substr(0, last_dot);
      if (first_dot < last_dot) {
        column.owner = std::string(table.substr(0, first_dot));
        column.table = std::string(table.substr(first_dot + 1));
      } else {
        column.table = std::string(table);
      }
    }
    columns.push_back(std::move(column));
    start = end + 2;
  }
  return columns;
}

OracleError unique_violation(sqlite3* db, std::string_view list) {
  std::vector<QualifiedColumn> columns = failed_columns(list);
  std::string name = "SYS_C000000", owner = columns.empty() ? "" : columns[0].owner;
  if (!columns.empty()) {
    std::vector<std::string> names;
    for (const auto& column : columns) names.push_back(column.column);
    std::string key_owner;
    try {
      if (auto found = unique_key_name(db, columns[0].owner, columns[0].table, names, key_owner)) {
        name = *found;
        owner = key_owner;
      }
    } catch (const OracleException&) {
      // Keep the generic name: the lookup itself must not hide the real error.
    }
  }
  return oracle_error(1, {owner, name});
}

OracleError not_null_violation(std::string_view list) {
  std::vector<QualifiedColumn> columns = failed_columns(list);
  if (columns.empty()) return oracle_error(1400);
  const auto& c = columns[0];
  return oracle_error(1400, {in_quotes(c.owner) + "." + in_quotes(c.table) + "." + in_quotes(c.column)});
}

OracleError check_violation(std::string_view name) {
  // Type checks CREATE TABLE adds are named "#nnnnn" after the error they stand for.
  if (name == "#01722") return oracle_error(1722);
  if (name == "#01438") return oracle_error(1438);
  // SQLite names the constraint as we declared it: "OWNER.NAME".
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) return oracle_error(2290, {"", name});
  return oracle_error(2290, {name.substr(0, dot), name.substr(dot + 1)});
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Failures SQLite raises while a well-formed statement runs; without these they would surface as
// internal errors.
std::optional<OracleError> run_time_failure(std::string_view message) {
  if (message == "integer overflow") return oracle_error(1426);
  if (starts_with(message, "ESCAPE expression must be")) return oracle_error(1425);
  if (starts_with(message, "too many columns")) return oracle_error(1792);
  if (message == "malformed JSON" || starts_with(message, "JSON cannot hold")) return oracle_error(40441);
  if (starts_with(message, "JSON path error") || starts_with(message, "bad JSON path")) return oracle_error(40442);
  // Window arguments: ntile's count, nth_value's position, a frame's offset. SQLite does not say
  // which value it refused.
  if (message.find("must be a positive integer") != std::string_view::npos ||
      message.find("must be a non-negative") != std::string_view::npos)
    return oracle_error(1428, {""});
  if (message == "datatype mismatch") return oracle_error(1722);
  if (starts_with(message, "too many levels of trigger recursion")) return oracle_error(36, {"50"});
  if (starts_with(message, "FOREIGN KEY constraint failed")) return oracle_error(2291, {"", ""});
  return std::nullopt;
}

OracleError map_message(sqlite3* db, int extended, std::string_view message) {
  OracleError error;
  if (parse_ora_text(message, error)) return error;
  constexpr std::string_view kUnique = "UNIQUE constraint failed: ";
  constexpr std::string_view kPrimary = "PRIMARY KEY constraint failed: ";
  constexpr std::string_view kNotNull = "NOT NULL constraint failed: ";
  constexpr std::string_view kCheck = "CHECK constraint failed: ";
  constexpr std::string_view kNoTable = "no such table: ";
  constexpr std::string_view kNoColumn = "no such column: ";
  if (starts_with(message, kUnique)) return unique_violation(db, message.substr(kUnique.size()));
  if (starts_with(message, kPrimary)) return unique_violation(db, message.substr(kPrimary.size()));
  if (starts_with(message, kNotNull)) return not_null_violation(message.substr(kNotNull.size()));
  if (starts_with(message, kCheck)) return check_violation(message.substr(kCheck.size()));
  if (starts_with(message, kNoTable)) return oracle_error(942);
  if (starts_with(message, kNoColumn)) {
    std::string_view name = message.substr(kNoColumn.size());
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(dot + 1);
    return oracle_error(904, {in_quotes(name)});
  }
  if (message.find("syntax error") != std::string_view::npos || message.find("incomplete input") != std::string_view::npos)
    return oracle_error(933);
  if (starts_with(message, "unrecognized token")) return oracle_error(911);
  if (starts_with(message, "wrong number of arguments to function")) return oracle_error(909);
  if (starts_with(message, "misuse of aggregate") || starts_with(message, "aggregate functions are not allowed"))
    return oracle_error(934);
  if (starts_with(message, "sub-select returns")) return oracle_error(913);
  if (message.find("do not have the same number of result columns") != std::string_view::npos)
    return oracle_error(1789);
  if (starts_with(message, "ambiguous column name")) return oracle_error(918);
  // Views are SQLite's own, which take no DML: an honest refusal, never an internal error.
  if (starts_with(message, "cannot modify ") && message.find(" because it is a view") != std::string_view::npos)
    return oracle_error(1732);
  if (starts_with(message, "no such function")) return oracle_error(904, {in_quotes(message.substr(18))});
  if (auto run_time = run_time_failure(message)) return *run_time;
  switch (extended & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return oracle_error(54);
    case SQLITE_NOMEM:
      return oracle_error(4030);
    case SQLITE_TOOBIG:
      return oracle_error(1489);
    case SQLITE_INTERRUPT:
      return oracle_error(1013);
    case SQLITE_FULL:
      return oracle_error(1653);
    case SQLITE_READONLY:
      return oracle_error(16000);
    default:
      break;
  }
  return oracle_error(600, {"ociemu", message});
}

}  // namespace

OracleError map_sqlite_error(sqlite3* db, int sqlite_result_code) {
  const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(sqlite_result_code);
  int extended = db ? sqlite3_extended_errcode(db) : sqlite_result_code;
  return map_message(db, extended, message ? message : "");
}

namespace {

// Offset of a whole word in the text, compared without regard to case; -1 when absent.
int find_word(std::string_view text, std::string_view word) {
  auto is_name = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#'; };
  for (size_t start = 0; start + word.size() <= text.size(); ++start) {
    bool same = true;
    for (size_t i = 0; i < word.size() && same; ++i)
      same = std::toupper(static_cast<unsigned char>(text[start + i])) == std::toupper(static_cast<unsigned char>(word[i]));
    if (!same) continue;
    bool bounded = (start == 0 || !is_name(text[start - 1])) &&
                   (start + word.size() == text.size() || !is_name(text[start + word.size()]));
    if (bounded) return static_cast<int>(start);
  }
  return -1;
}

}  // namespace

OracleError map_sqlite_error(sqlite3* db, int sqlite_result_code, std::string_view oracle_sql) {
  OracleError error = map_sqlite_error(db, sqlite_result_code);
  // Statement text SQLite cannot compile is the client's mistake, never an internal error, which
  // clients take for a dead connection.
  if (error.code == 600 && (sqlite_result_code & 0xFF) == SQLITE_ERROR) return oracle_error(900);
  std::string name;
  if (error.code == 904) {
    size_t close = error.message.find('"', 1);
    name = error.message.substr(1, close == std::string::npos ? 0 : close - 1);
  } else if (error.code == 933 && db) {
    std::string_view message = sqlite3_errmsg(db);
    size_t open = message.find("near \"");
    if (open != std::string_view::npos) {
      size_t close = message.find('"', open + 6);
      name = std::string(message.substr(open + 6, close == std::string_view::npos ? 0 : close - open - 6));
    }
  }
  if (!name.empty()) error.parse_offset = std::max(0, find_word(oracle_sql, name));
  return error;
}

}  // namespace ociemu::sql
