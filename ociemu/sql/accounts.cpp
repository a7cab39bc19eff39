// Connection set-up, accounts, the demo schema and Oracle type declarations.
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/types.h"
#include "ociemu/sql/dictionary.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/object_refs.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {

void install(sqlite3* db, SessionContext* session) {
  // "NAME" must never fall back to a string literal: Oracle reports ORA-00904.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  register_functions(db, session);
  register_dictionary_functions(db);
  // ON DELETE CASCADE triggers of self-referencing keys must cascade further.
  execute(db, "PRAGMA recursive_triggers = ON");
  // Oracle's LIKE tells cases apart. The pragma, unlike a replaced like(), keeps
  // SQLite's use of an index for a pattern with a fixed prefix.
  execute(db, "PRAGMA case_sensitive_like = ON");
  Query exists(db, "SELECT 1 FROM sqlite_schema WHERE name = 'OCIEMU$OBJECTS'");
  if (!exists.step()) {
    execute(db, "BEGIN IMMEDIATE");
    try {
      install_catalogue(db);
      execute(db, "COMMIT");
    } catch (...) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } else {
    upgrade_catalogue(db);
  }
  install_object_identifiers(db);
  install_dictionary(db);
}

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

LogonResult authenticate(sqlite3* db, const std::string& user, const std::string& password) {
  Query query(db, "SELECT PASSWORD, STATUS FROM \"OCIEMU$USERS\" WHERE NAME = ?1");
  query.bind(1, upper(user));
  if (!query.step() || query.text(0) != password) return LogonResult::BadPassword;
  std::string status = query.text(1);
  if (status == "EXPIRED") return LogonResult::Expired;
  if (status == "GRACE") return LogonResult::GracePeriod;
  return LogonResult::Ok;
}

int grace_days(sqlite3* db, const std::string& user) {
  Query query(db, "SELECT GRACE_DAYS FROM \"OCIEMU$USERS\" WHERE NAME = ?1");
  query.bind(1, upper(user));
  return query.step() ? static_cast<int>(query.integer(0)) : 0;
}

void change_password(sqlite3* db, const std::string& user, const std::string& new_password) {
  Query query(db, "UPDATE \"OCIEMU$USERS\" SET PASSWORD = ?2, STATUS = 'OPEN' WHERE NAME = ?1");
  query.bind(1, upper(user)).bind(2, new_password);
  query.run();
}

namespace {

constexpr const char* kDemoSchema[] = {
    "CREATE USER SCOTT IDENTIFIED BY tiger",
    "CREATE TABLE DEPT (DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(14), LOC VARCHAR2(13))",
    "CREATE TABLE EMP (EMPNO NUMBER(4) CONSTRAINT PK_EMP PRIMARY KEY, ENAME VARCHAR2(10), JOB VARCHAR2(9), "
    "MGR NUMBER(4), HIREDATE DATE, SAL NUMBER(7,2), COMM NUMBER(7,2), "
    "DEPTNO NUMBER(2) CONSTRAINT FK_DEPTNO REFERENCES DEPT)",
    "CREATE TABLE BONUS (ENAME VARCHAR2(10), JOB VARCHAR2(9), SAL NUMBER, COMM NUMBER)",
    "CREATE TABLE SALGRADE (GRADE NUMBER, LOSAL NUMBER, HISAL NUMBER)",
    "INSERT INTO DEPT VALUES (10, 'ACCOUNTING', 'NEW YORK')",
    "INSERT INTO DEPT VALUES (20, 'RESEARCH', 'DALLAS')",
    "INSERT INTO DEPT VALUES (30, 'SALES', 'CHICAGO')",
    "INSERT INTO DEPT VALUES (40, 'OPERATIONS', 'BOSTON')",
    "INSERT INTO EMP VALUES (7369, 'SMITH', 'CLERK', 7902, DATE '1980-12-17', 800, NULL, 20)",
    "INSERT INTO EMP VALUES (7499, 'ALLEN', 'SALESMAN', 7698, DATE '1981-02-20', 1600, 300, 30)",
    "INSERT INTO EMP VALUES (7521, 'WARD', 'SALESMAN', 7698, DATE '1981-02-22', 1250, 500, 30)",
    "INSERT INTO EMP VALUES (7566, 'JONES', 'MANAGER', 7839, DATE '1981-04-02', 2975, NULL, 20)",
    "INSERT INTO EMP VALUES (7654, 'MARTIN', 'SALESMAN', 7698, DATE '1981-09-28', 1250, 1400, 30)",
    "INSERT INTO EMP VALUES (7698, 'BLAKE', 'MANAGER', 7839, DATE '1981-05-01', 2850, NULL, 30)",
    "INSERT INTO EMP VALUES (7782, 'CLARK', 'MANAGER', 7839, DATE '1981-06-09', 2450, NULL, 10)",
    "INSERT INTO EMP VALUES (7788, 'SCOTT', 'ANALYST', 7566, DATE '1987-04-19', 3000, NULL, 20)",
    "INSERT INTO EMP VALUES (7839, 'KING', 'PRESIDENT', NULL, DATE '1981-11-17', 5000, NULL, 10)",
    "INSERT INTO EMP VALUES (7844, 'TURNER', 'SALESMAN', 7698, DATE '1981-09-08', 1500, 0, 30)",
    "INSERT INTO EMP VALUES (7876, 'ADAMS', 'CLERK', 7788, DATE '1987-05-23', 1100, NULL, 20)",
    "INSERT INTO EMP VALUES (7900, 'JAMES', 'CLERK', 7698, DATE '1981-12-03', 950, NULL, 30)",
    "INSERT INTO EMP VALUES (7902, 'FORD', 'ANALYST', 7566, DATE '1981-12-03', 3000, NULL, 20)",
    "INSERT INTO EMP VALUES (7934, 'MILLER', 'CLERK', 7782, DATE '1982-01-23', 1300, NULL, 10)",
    "INSERT INTO SALGRADE VALUES (1, 700, 1200)",
    "INSERT INTO SALGRADE VALUES (2, 1201, 1400)",
    "INSERT INTO SALGRADE VALUES (3, 1401, 2000)",
    "INSERT INTO SALGRADE VALUES (4, 2001, 3000)",
    "INSERT INTO SALGRADE VALUES (5, 3001, 9999)",
};

}  // namespace

void create_demo_schema(sqlite3* db) {
  if (user_exists(db, "SCOTT")) return;
  SessionContext scott;
  scott.user = "SCOTT";
  execute(db, "BEGIN IMMEDIATE");
  try {
    for (const char* statement : kDemoSchema) {
      Translation translation = translate(statement, db, scott);
      for (const auto& sql : translation.sqlite_sql) execute(db, sql);
    }
    execute(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

// ---- declared types -----------------------------------------------------------------------

namespace {

struct TypeText {
  std::string name;       // words before '('
  int first = -1;         // first number in parentheses, -1 if none
  int second = -1;        // second number, -1 if none
  bool star = false;      // NUMBER(*,s)
  bool char_semantics = false;
  std::string rest;       // words after ')'
};

TypeText split_type(std::string_view declared) {
  TypeText text;
  size_t open = declared.find('(');
  std::string_view head = declared.substr(0, open);
  while (!head.empty() && head.back() == ' ') head.remove_suffix(1);
  text.name = upper(std::string(head));
  // "VARCHAR2 CHAR(n)" is how a column of n characters is declared to SQLite.
  constexpr std::string_view kInCharacters = " CHAR";
  if (text.name.size() > kInCharacters.size() &&
      std::string_view(text.name).substr(text.name.size() - kInCharacters.size()) == kInCharacters) {
    text.name.resize(text.name.size() - kInCharacters.size());
    text.char_semantics = true;
  }
  if (open == std::string_view::npos) return text;
  size_t close = declared.find(')', open);
  std::string inside(declared.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
  inside = upper(inside);
  text.star = inside.find('*') != std::string::npos;
  text.char_semantics = text.char_semantics || inside.find("CHAR") != std::string::npos;
  const char* p = inside.c_str();
  char* end = nullptr;
  long value = std::strtol(p, &end, 10);
  if (end != p) text.first = static_cast<int>(value);
  size_t comma = inside.find(',');
  if (comma != std::string::npos) {
    const char* q = inside.c_str() + comma + 1;
    value = std::strtol(q, &end, 10);
    if (end != q) text.second = static_cast<int>(value);
  }
  if (close != std::string_view::npos) {
    std::string_view rest = declared.substr(close + 1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    text.rest = upper(std::string(rest));
  }
  return text;
}

}  // namespace

std::optional<OracleType> parse_declared_type(const char* declared_type) {
  if (!declared_type) return std::nullopt;
  if (auto named = parse_object_column_declaration(declared_type)) {
    OracleType object;
    object.type_code = named->is_ref ? kRefColumnType : kObjectColumnType;
    object.data_size = named->is_ref ? 36 : 2000;
    object.scale = 0;
    object.type_name = named->owner + "." + named->name;
    return object;
  }
  TypeText t = split_type(declared_type);
  OracleType type;
  type.type_name = t.name;
  const std::string& n = t.name;
  auto characters = [&](int code, int form, int default_size) {
    type.type_code = code;
    type.charset_form = form;
    type.char_size = t.first >= 0 ? t.first : default_size;
    // AL32UTF8 takes up to 4 bytes a character, AL16UTF16 two.
    type.data_size = form == 2 ? type.char_size * 2 : t.char_semantics ? type.char_size * 4 : type.char_size;
    type.scale = 0;
    return type;
  };
  if (n == "VARCHAR2" || n == "VARCHAR") return type.type_name = "VARCHAR2", characters(1, 1, 4000);
  if (n == "NVARCHAR2") return characters(1, 2, 2000);
  if (n == "CHAR") return characters(96, 1, 1);
  if (n == "NCHAR") return characters(96, 2, 1);
  type.scale = 0;
  if (n == "NUMBER") {
    type.type_code = 2;
    type.data_size = 22;
    if (t.first < 0 && !t.star) {
      type.scale = -127;
    } else {
      type.precision = t.star ? 38 : t.first;
      type.scale = t.second >= 0 ? t.second : 0;
    }
    return type;
  }
  if (n == "FLOAT") {
    type.type_code = 2;
    type.data_size = 22;
    type.precision = t.first >= 0 ? t.first : 126;
    type.scale = -127;
    return type;
  }
  auto fixed = [&](int code, int size) {
    type.type_code = code;
    type.data_size = size;
    return type;
  };
  if (n == "BINARY_FLOAT") return fixed(100, 4);
  if (n == "BINARY_DOUBLE") return fixed(101, 8);
  if (n == "DATE") return fixed(12, 7);
  if (n == "RAW") return fixed(23, t.first >= 0 ? t.first : 2000);
  if (n == "LONG RAW") return fixed(24, 0);
  if (n == "LONG VARCHAR" || n == "LONG") return type.type_name = "LONG", fixed(8, 0);
  if (n == "CLOB") return fixed(112, 4000);
  if (n == "NCLOB") return type.charset_form = 2, fixed(112, 4000);
  if (n == "BLOB") return fixed(113, 4000);
  if (n == "BFILE") return fixed(114, 530);
  if (n == "ROWID") return fixed(69, 10);
  if (n == "UROWID") return fixed(208, t.first >= 0 ? t.first : 4000);
  if (n == "TIMESTAMP") {
    type.scale = t.first >= 0 ? t.first : 6;
    if (t.rest == "WITH TIME ZONE") return type.type_name = "TIMESTAMP WITH TIME ZONE", fixed(181, 13);
    if (t.rest == "WITH LOCAL TIME ZONE") return type.type_name = "TIMESTAMP WITH LOCAL TIME ZONE", fixed(231, 11);
    return fixed(180, 11);
  }
  // Declarations as ociemu stores them, the numbers last.
  if (n == "TIMESTAMP WITH TIME ZONE" || n == "TIMESTAMP WITH LOCAL TIME ZONE") {
    type.scale = t.first >= 0 ? t.first : 6;
    return n == "TIMESTAMP WITH TIME ZONE" ? fixed(181, 13) : fixed(231, 11);
  }
  if (n == "INTERVAL_DAY_TO_SECOND") {
    type.precision = t.first >= 0 ? t.first : 2;
    type.scale = t.second >= 0 ? t.second : 6;
    type.type_name = "INTERVAL DAY TO SECOND";
    return fixed(183, 11);
  }
  if (n == "INTERVAL_YEAR_TO_MONTH" || n == "INTERVAL YEAR") {
    type.precision = t.first >= 0 ? t.first : 2;
    type.type_name = "INTERVAL YEAR TO MONTH";
    return fixed(182, 5);
  }
  if (n == "INTERVAL DAY") {
    type.precision = t.first >= 0 ? t.first : 2;
    TypeText seconds = split_type(t.rest);
    type.scale = seconds.first >= 0 ? seconds.first : 6;
    type.type_name = "INTERVAL DAY TO SECOND";
    return fixed(183, 11);
  }
  return std::nullopt;
}

}  // namespace ociemu::sql
