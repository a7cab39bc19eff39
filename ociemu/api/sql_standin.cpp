// Temporary stand-in for the SQL dialect library while it is being written:
// passes SQL through to SQLite with placeholders renumbered, keeps accounts
// in a plain table, and knows just enough types for the describe. Removed
// as soon as the real dialect library is built in its place.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>

#include "ociemu/sql/dialect.h"

namespace ociemu::sql {
namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

void exec(sqlite3* db, const char* text) {
  if (sqlite3_exec(db, text, nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw OracleException{map_sqlite_error(db, sqlite3_errcode(db))};
  }
}

std::string first_word(std::string_view text, size_t from = 0) {
  size_t i = from;
  while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
  size_t end = i;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
  return upper(text.substr(i, end - i));
}

}  // namespace

void install(sqlite3* db, SessionContext*) {
  exec(db, "CREATE TABLE IF NOT EXISTS standin_users(name TEXT PRIMARY KEY, password TEXT, status TEXT)");
}

void create_demo_schema(sqlite3* db) {
  exec(db,
       "BEGIN;"
       "INSERT OR IGNORE INTO standin_users VALUES('SCOTT','TIGER','OPEN');"
       "CREATE TABLE IF NOT EXISTS DEPT(DEPTNO NUMBER(2) NOT NULL PRIMARY KEY, DNAME VARCHAR2(14), LOC VARCHAR2(13));"
       "CREATE TABLE IF NOT EXISTS EMP(EMPNO NUMBER(4) NOT NULL PRIMARY KEY, ENAME VARCHAR2(10), JOB VARCHAR2(9),"
       " MGR NUMBER(4), HIREDATE DATE, SAL NUMBER(7,2), COMM NUMBER(7,2), DEPTNO NUMBER(2) REFERENCES DEPT);"
       "INSERT INTO DEPT VALUES(10,'ACCOUNTING','NEW YORK'),(20,'RESEARCH','DALLAS'),(30,'SALES','CHICAGO'),"
       "(40,'OPERATIONS','BOSTON');"
       "INSERT INTO EMP VALUES(7369,'SMITH','CLERK',7902,'1980-12-17 00:00:00',800,NULL,20),"
       "(7499,'ALLEN','SALESMAN',7698,'1981-02-20 00:00:00',1600,300,30),"
       "(7521,'WARD','SALESMAN',7698,'1981-02-22 00:00:00',1250,500,30),"
       "(7839,'KING','PRESIDENT',NULL,'1981-11-17 00:00:00',5000,NULL,10);"
       "COMMIT;");
}

Translation translate(std::string_view oracle_sql, sqlite3*, SessionContext&) {
  Translation t;
  std::string word = first_word(oracle_sql);
  std::string text(oracle_sql);
  static const std::map<std::string, std::tuple<StatementKind, int, int>> kinds = {
      {"SELECT", {StatementKind::Select, 4, 1}},   {"WITH", {StatementKind::Select, 4, 1}},
      {"INSERT", {StatementKind::Insert, 3, 4}},   {"UPDATE", {StatementKind::Update, 5, 2}},
      {"DELETE", {StatementKind::Delete, 9, 3}},   {"CREATE", {StatementKind::Create, 1, 5}},
      {"DROP", {StatementKind::Drop, 8, 6}},       {"ALTER", {StatementKind::Alter, 26, 7}},
      {"COMMIT", {StatementKind::Commit, 54, 21}}, {"ROLLBACK", {StatementKind::Rollback, 55, 17}},
      {"SAVEPOINT", {StatementKind::Savepoint, 56, 0}},
  };
  if (auto found = kinds.find(word); found != kinds.end()) {
    std::tie(t.kind, t.sql_function_code, t.statement_type) = found->second;
  }
  std::string upper_text = upper(text);
  if (t.kind == StatementKind::Rollback && upper_text.find(" TO ") != std::string::npos) {
    t.kind = StatementKind::RollbackToSavepoint;
    t.savepoint = first_word(text, upper_text.rfind(' '));
  }
  if (t.kind == StatementKind::Savepoint) t.savepoint = first_word(text, 9);
  if (t.kind == StatementKind::Select) {
    size_t for_update = upper_text.find(" FOR UPDATE");
    if (for_update != std::string::npos) {
      t.for_update = true;
      t.nowait = upper_text.find("NOWAIT", for_update) != std::string::npos;
      t.locked_table = first_word(text, upper_text.find(" FROM ") + 6);
      text.resize(for_update);
    }
  }
  // :name -> ?N, one number per distinct name
  std::string out;
  std::map<std::string, int> numbers;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'') {
      size_t end = text.find('\'', i + 1);
      if (end == std::string::npos) end = text.size() - 1;
      out += text.substr(i, end - i + 1);
      i = end;
    } else if (c == ':' && i + 1 < text.size() && (std::isalnum(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == '_')) {
      size_t end = i + 1;
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
      std::string name = upper(text.substr(i + 1, end - i - 1));
      auto [it, added] = numbers.emplace(name, static_cast<int>(numbers.size()) + 1);
      t.placeholders.push_back({name, it->second});
      out += "?" + std::to_string(it->second);
      i = end - 1;
    } else {
      out += c;
    }
  }
  if (t.kind != StatementKind::Commit && t.kind != StatementKind::Rollback && t.kind != StatementKind::Savepoint &&
      t.kind != StatementKind::RollbackToSavepoint) {
    t.sqlite_sql.push_back(out);
  }
  return t;
}

OracleError map_sqlite_error(sqlite3* db, int rc) {
  std::string message = sqlite3_errmsg(db);
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: return {1, "unique constraint (SCOTT.SYS_C0) violated", 0};
    case SQLITE_CONSTRAINT_NOTNULL: return {1400, "cannot insert NULL into (" + message + ")", 0};
    case SQLITE_CONSTRAINT_CHECK: return {2290, "check constraint (SCOTT.SYS_C0) violated", 0};
    case SQLITE_CONSTRAINT_FOREIGNKEY: return {2291, "integrity constraint (SCOTT.SYS_C0) violated - parent key not found", 0};
    default: break;
  }
  if (message.find("no such table") != std::string::npos) return {942, "table or view does not exist", 0};
  if (message.find("no such column") != std::string::npos) return {904, "invalid identifier", 0};
  if (message.find("syntax error") != std::string::npos || message.find("incomplete input") != std::string::npos) {
    return {900, "invalid SQL statement", std::max(0, sqlite3_error_offset(db))};
  }
  return {600, "internal error code, arguments: [" + message + "]", 0};
}

std::optional<OracleType> parse_declared_type(const char* declared) {
  if (declared == nullptr || *declared == 0) return std::nullopt;
  std::string text = upper(declared);
  OracleType type;
  int a = 0, b = -127;
  size_t paren = text.find('(');
  std::string name = text.substr(0, paren);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (paren != std::string::npos) std::sscanf(text.c_str() + paren, "(%d,%d", &a, &b);
  type.type_name = name;
  if (name == "VARCHAR2" || name == "VARCHAR" || name == "NVARCHAR2") {
    type.type_code = 1;
    type.data_size = type.char_size = a;
  } else if (name == "CHAR" || name == "NCHAR") {
    type.type_code = 96;
    type.data_size = type.char_size = a ? a : 1;
  } else if (name == "NUMBER" || name == "INTEGER" || name == "FLOAT") {
    type.type_code = 2;
    type.data_size = 22;
    type.precision = a;
    type.scale = paren == std::string::npos ? -127 : (b == -127 ? 0 : b);
    if (name == "INTEGER") type.precision = 38, type.scale = 0;
  } else if (name == "DATE") {
    type.type_code = 12;
    type.data_size = 7;
  } else if (name.rfind("TIMESTAMP", 0) == 0) {
    type.type_code = 187;
    type.data_size = 11;
  } else if (name == "RAW") {
    type.type_code = 23;
    type.data_size = a;
  } else if (name == "LONG RAW") {
    type.type_code = 24;
  } else if (name == "LONG") {
    type.type_code = 8;
  } else if (name == "CLOB" || name == "NCLOB") {
    type.type_code = 112;
    type.data_size = 4000;
  } else if (name == "BLOB") {
    type.type_code = 113;
    type.data_size = 4000;
  } else {
    return std::nullopt;
  }
  return type;
}

LogonResult authenticate(sqlite3* db, const std::string& user, const std::string& password) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT password, status FROM standin_users WHERE name = ?", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, user.c_str(), -1, SQLITE_TRANSIENT);
  LogonResult result = LogonResult::BadPassword;
  if (sqlite3_step(stmt) == SQLITE_ROW && password == reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) {
    std::string status = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
    result = status == "GRACE" ? LogonResult::GracePeriod : status == "EXPIRED" ? LogonResult::Expired : LogonResult::Ok;
  }
  sqlite3_finalize(stmt);
  return result;
}

void change_password(sqlite3* db, const std::string& user, const std::string& new_password) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "UPDATE standin_users SET password = ?, status = 'OPEN' WHERE name = ?", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, new_password.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 2, user.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(stmt);
  sqlite3_finalize(stmt);
}

std::string encode_rowid(int64_t table_object_id, int64_t sqlite_rowid) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  auto group = [](uint64_t value, int width) {
    std::string out(static_cast<size_t>(width), 'A');
    for (int i = width - 1; i >= 0; --i, value /= 64) out[static_cast<size_t>(i)] = digits[value % 64];
    return out;
  };
  uint64_t rowid = static_cast<uint64_t>(sqlite_rowid);
  return group(static_cast<uint64_t>(table_object_id), 6) + group(1, 3) + group(rowid >> 16, 6) + group(rowid & 0xffff, 3);
}

bool decode_rowid(std::string_view, int64_t&, int64_t&) { return false; }

int64_t table_object_id(sqlite3* db, std::string_view table) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT rowid FROM sqlite_schema WHERE type = 'table' AND name = ?", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  int64_t id = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
  sqlite3_finalize(stmt);
  return id;
}

std::string format_datetime(std::string_view storage_text, std::string_view) { return std::string(storage_text); }
std::string parse_datetime(std::string_view text, std::string_view) { return std::string(text); }

std::string format_number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string format_number(int64_t value) { return std::to_string(value); }

}  // namespace ociemu::sql
