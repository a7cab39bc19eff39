#include "ociemu/sql/dictionary.h"

#include <sqlite3.h>

#include <string>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {
namespace {

// Raised whenever a view or dictionary table changes, so older files are upgraded on open.
constexpr int kDictionaryVersion = 5;

constexpr const char* kTablesSql = R"sql(
CREATE TABLE IF NOT EXISTS "OCIEMU$SOURCE"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TYPE TEXT NOT NULL, LINE INTEGER NOT NULL, TEXT TEXT,
  PRIMARY KEY(OWNER, NAME, TYPE, LINE));
CREATE TABLE IF NOT EXISTS "OCIEMU$ERRORS"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TYPE TEXT NOT NULL, SEQUENCE INTEGER NOT NULL,
  LINE INTEGER, POSITION INTEGER, TEXT TEXT, PRIMARY KEY(OWNER, NAME, TYPE, SEQUENCE));
CREATE TABLE IF NOT EXISTS "OCIEMU$DISABLED"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, SEQ INTEGER NOT NULL, OBJECT_SQL TEXT NOT NULL,
  PRIMARY KEY(OWNER, NAME, SEQ));
CREATE TABLE IF NOT EXISTS "OCIEMU$TRIGGERS"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TABLE_OWNER TEXT NOT NULL, TABLE_NAME TEXT NOT NULL,
  TIMING TEXT NOT NULL, EVENTS TEXT NOT NULL, COLUMNS TEXT, ROW_LEVEL INTEGER NOT NULL, WHEN_CLAUSE TEXT,
  REFERENCING TEXT, STATUS TEXT NOT NULL, BODY TEXT, DESCRIPTION TEXT, ACTION TEXT NOT NULL, VERSION INTEGER NOT NULL,
  PRIMARY KEY(OWNER, NAME));
)sql";

// Shared select lists; the USER_ variants drop OWNER and keep the session's rows.
#define OCIEMU_TABLES_COLUMNS                                                                                         \
  "o.NAME AS TABLE_NAME, 'USERS' AS TABLESPACE_NAME, NULL AS CLUSTER_NAME, NULL AS IOT_NAME, 'VALID' AS STATUS, " \
  "NULL AS NUM_ROWS, 'N' AS TEMPORARY, 'NO' AS PARTITIONED, 'NO' AS NESTED, NULL AS IOT_TYPE "                   \
  "FROM \"OCIEMU$OBJECTS\" o WHERE o.TYPE = 'TABLE'"

// A stored column name as Oracle spells it (names that differ only by case are stored as name"k).
#define OCIEMU_ORACLE_COLUMN_NAME "CASE WHEN instr(c.name, '\"') > 1 THEN substr(c.name, 1, instr(c.name, '\"') - 1) ELSE c.name END"

#define OCIEMU_TAB_COLUMNS_COLUMNS                                                                                 \
  "o.NAME AS TABLE_NAME, " OCIEMU_ORACLE_COLUMN_NAME " AS COLUMN_NAME, OCIEMU_TYPE_INFO(c.type, 0) AS DATA_TYPE, " \
  "NULL AS DATA_TYPE_MOD, NULL AS DATA_TYPE_OWNER, OCIEMU_TYPE_INFO(c.type, 1) AS DATA_LENGTH, "                   \
  "OCIEMU_TYPE_INFO(c.type, 2) AS DATA_PRECISION, OCIEMU_TYPE_INFO(c.type, 3) AS DATA_SCALE, "                     \
  "CASE WHEN c.\"notnull\" THEN 'N' ELSE 'Y' END AS NULLABLE, c.cid + 1 AS COLUMN_ID, "                            \
  "length(d.DATA_DEFAULT) AS DEFAULT_LENGTH, d.DATA_DEFAULT AS DATA_DEFAULT, "                                     \
  "OCIEMU_TYPE_INFO(c.type, 4) AS CHAR_LENGTH, OCIEMU_TYPE_INFO(c.type, 5) AS CHAR_USED "                          \
  "FROM \"OCIEMU$OBJECTS\" o JOIN pragma_table_info(coalesce(o.STORAGE, o.OWNER || '.' || o.NAME)) c "            \
  "LEFT JOIN \"OCIEMU$COLUMNS\" d ON d.OWNER = o.OWNER AND d.TABLE_NAME = o.NAME AND d.COLUMN_NAME = " OCIEMU_ORACLE_COLUMN_NAME " " \
  "WHERE o.TYPE IN ('TABLE', 'VIEW')"

#define OCIEMU_CONSTRAINTS_COLUMNS                                                                                   \
  "c.NAME AS CONSTRAINT_NAME, c.TYPE AS CONSTRAINT_TYPE, c.TABLE_NAME AS TABLE_NAME, "                               \
  "c.SEARCH_CONDITION AS SEARCH_CONDITION, c.R_OWNER AS R_OWNER, c.R_CONSTRAINT_NAME AS R_CONSTRAINT_NAME, "         \
  "CASE WHEN c.TYPE = 'R' THEN coalesce(c.DELETE_RULE, 'NO ACTION') END AS DELETE_RULE, "                            \
  "CASE WHEN EXISTS (SELECT 1 FROM \"OCIEMU$DISABLED\" x WHERE x.OWNER = c.OWNER AND x.NAME = c.NAME) "             \
  "THEN 'DISABLED' ELSE 'ENABLED' END AS STATUS, 'NOT DEFERRABLE' AS \"DEFERRABLE\", 'IMMEDIATE' AS \"DEFERRED\", "          \
  "CASE WHEN EXISTS (SELECT 1 FROM \"OCIEMU$DISABLED\" x WHERE x.OWNER = c.OWNER AND x.NAME = c.NAME) "             \
  "THEN 'NOT VALIDATED' ELSE 'VALIDATED' END AS VALIDATED, c.GENERATED AS GENERATED, "                               \
  "CASE WHEN c.TYPE IN ('P', 'U') THEN c.OWNER END AS INDEX_OWNER, "                                                 \
  "CASE WHEN c.TYPE IN ('P', 'U') THEN c.NAME END AS INDEX_NAME FROM \"OCIEMU$CONSTRAINTS\" c"

// Splits the comma-joined column list of each row of source (OWNER, NAME, TYPE, TABLE_NAME, COLUMNS)
// into positioned rows.
#define OCIEMU_COLUMN_LIST_SPLIT(source)                                                                            \
  "WITH RECURSIVE split(OWNER, NAME, TYPE, TABLE_NAME, COLUMN_NAME, REST, POSITION) AS ("                         \
  "SELECT OWNER, NAME, TYPE, TABLE_NAME, NULL, COLUMNS || ',', 0 FROM " source " UNION ALL "                      \
  "SELECT OWNER, NAME, TYPE, TABLE_NAME, substr(REST, 1, instr(REST, ',') - 1), substr(REST, instr(REST, ',') + 1), " \
  "POSITION + 1 FROM split WHERE REST IS NOT NULL AND REST <> '') "
#define OCIEMU_CONS_COLUMNS_SPLIT OCIEMU_COLUMN_LIST_SPLIT("\"OCIEMU$CONSTRAINTS\"")

#define OCIEMU_CONS_COLUMNS_COLUMNS                                                                   \
  "NAME AS CONSTRAINT_NAME, TABLE_NAME AS TABLE_NAME, COLUMN_NAME AS COLUMN_NAME, "                   \
  "CASE WHEN TYPE = 'C' THEN NULL ELSE POSITION END AS POSITION FROM split WHERE POSITION > 0"

// CREATE INDEX's indexes and the ones Oracle builds for primary and unique keys, under the key's
// name; an index is in its table's schema. COLUMNS is empty for an index on expressions.
#define OCIEMU_INDEX_ROWS                                                                                        \
  "(SELECT OWNER, NAME, UNIQUENESS AS TYPE, TABLE_NAME, COLUMNS, 'N' AS GENERATED FROM \"OCIEMU$INDEXES\" "    \
  "UNION ALL SELECT c.OWNER, c.NAME, 'UNIQUE', c.TABLE_NAME, c.COLUMNS, "                                        \
  "CASE WHEN c.GENERATED = 'GENERATED NAME' THEN 'Y' ELSE 'N' END FROM \"OCIEMU$CONSTRAINTS\" c "             \
  "WHERE c.TYPE IN ('P', 'U') AND NOT EXISTS "                                                                   \
  "(SELECT 1 FROM \"OCIEMU$INDEXES\" i WHERE i.OWNER = c.OWNER AND i.NAME = c.NAME))"

#define OCIEMU_INDEXES_COLUMNS                                                                                  \
  "i.NAME AS INDEX_NAME, CASE WHEN i.COLUMNS = '' THEN 'FUNCTION-BASED NORMAL' ELSE 'NORMAL' END AS INDEX_TYPE, " \
  "i.OWNER AS TABLE_OWNER, i.TABLE_NAME AS TABLE_NAME, 'TABLE' AS TABLE_TYPE, i.TYPE AS UNIQUENESS, "            \
  "'DISABLED' AS COMPRESSION, 'USERS' AS TABLESPACE_NAME, 'VALID' AS STATUS, 'NO' AS PARTITIONED, "              \
  "'N' AS TEMPORARY, i.GENERATED AS GENERATED, 'VISIBLE' AS VISIBILITY FROM " OCIEMU_INDEX_ROWS " i"

#define OCIEMU_IND_COLUMNS_COLUMNS                                                                   \
  "NAME AS INDEX_NAME, OWNER AS TABLE_OWNER, TABLE_NAME AS TABLE_NAME, COLUMN_NAME AS COLUMN_NAME, " \
  "POSITION AS COLUMN_POSITION, 'ASC' AS DESCEND FROM split WHERE POSITION > 0 AND COLUMN_NAME <> ''"

// A package's body is an object of its own, under its package's number; it is
// invalid when its declaration is.
#define OCIEMU_OBJECTS_COLUMNS                                                                                     \
  "o.NAME AS OBJECT_NAME, NULL AS SUBOBJECT_NAME, o.OBJECT_ID AS OBJECT_ID, "                                       \
  "CASE WHEN o.TYPE = 'TABLE' THEN o.OBJECT_ID END AS DATA_OBJECT_ID, o.TYPE AS OBJECT_TYPE, o.CREATED AS CREATED, " \
  "o.CREATED AS LAST_DDL_TIME, o.CREATED AS TIMESTAMP, "                                                            \
  "CASE WHEN EXISTS (SELECT 1 FROM \"OCIEMU$ERRORS\" e WHERE e.OWNER = o.OWNER AND e.NAME = o.NAME "                \
  "AND (e.TYPE = o.TYPE OR (o.TYPE = 'PACKAGE BODY' AND e.TYPE = 'PACKAGE'))) "                                     \
  "THEN 'INVALID' ELSE 'VALID' END AS STATUS, 'N' AS TEMPORARY, 'N' AS GENERATED, 'N' AS SECONDARY "                \
  "FROM (SELECT OWNER, NAME, TYPE, OBJECT_ID, CREATED FROM \"OCIEMU$OBJECTS\" UNION ALL "                           \
  "SELECT p.OWNER, p.NAME, 'PACKAGE BODY', p.OBJECT_ID, p.CREATED FROM \"OCIEMU$OBJECTS\" p WHERE p.TYPE = 'PACKAGE' " \
  "AND EXISTS (SELECT 1 FROM \"OCIEMU$SOURCE\" s WHERE s.OWNER = p.OWNER AND s.NAME = p.NAME "                       \
  "AND s.TYPE = 'PACKAGE BODY')) o"

#define OCIEMU_SEQUENCES_COLUMNS                                                                               \
  "NAME AS SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, 'N' AS ORDER_FLAG, CACHE_SIZE, " \
  "NEXT_VALUE AS LAST_NUMBER FROM \"OCIEMU$SEQUENCES\""

#define OCIEMU_SOURCE_COLUMNS "NAME, TYPE, LINE, TEXT FROM \"OCIEMU$SOURCE\" WHERE TYPE <> 'VIEW'"
#define OCIEMU_ERRORS_COLUMNS \
  "NAME, TYPE, SEQUENCE, LINE, POSITION, TEXT, 'ERROR' AS ATTRIBUTE, 0 AS MESSAGE_NUMBER FROM \"OCIEMU$ERRORS\""
#define OCIEMU_TRIGGERS_COLUMNS                                                                               \
  "NAME AS TRIGGER_NAME, TIMING || CASE WHEN ROW_LEVEL = 1 THEN ' EACH ROW' ELSE ' STATEMENT' END AS TRIGGER_TYPE, " \
  "EVENTS AS TRIGGERING_EVENT, TABLE_OWNER, 'TABLE' AS BASE_OBJECT_TYPE, TABLE_NAME, NULL AS COLUMN_NAME, "        \
  "REFERENCING AS REFERENCING_NAMES, WHEN_CLAUSE, STATUS, DESCRIPTION, 'PL/SQL' AS ACTION_TYPE, "                  \
  "BODY AS TRIGGER_BODY FROM \"OCIEMU$TRIGGERS\""
#define OCIEMU_VIEWS_COLUMNS                                                                                  \
  "o.NAME AS VIEW_NAME, length(s.TEXT) AS TEXT_LENGTH, s.TEXT AS TEXT FROM \"OCIEMU$OBJECTS\" o "           \
  "LEFT JOIN \"OCIEMU$SOURCE\" s ON s.OWNER = o.OWNER AND s.NAME = o.NAME AND s.TYPE = 'VIEW' AND s.LINE = 1 " \
  "WHERE o.TYPE = 'VIEW'"
#define OCIEMU_SYNONYMS_COLUMNS \
  "NAME AS SYNONYM_NAME, TABLE_OWNER, TABLE_NAME, NULL AS DB_LINK FROM \"OCIEMU$SYNONYMS\""

#define OCIEMU_TYPES_COLUMNS                                                                                     \
  "t.NAME AS TYPE_NAME, NULL AS TYPE_OID, CASE t.KIND WHEN 'OBJECT' THEN 'OBJECT' ELSE 'COLLECTION' END AS TYPECODE, " \
  "(SELECT count(*) FROM \"OCIEMU$TYPE_ATTRS\" a WHERE a.OWNER = t.OWNER AND a.TYPE_NAME = t.NAME "               \
  "AND t.KIND = 'OBJECT') AS ATTRIBUTES, 0 AS METHODS, 'NO' AS PREDEFINED, 'NO' AS INCOMPLETE, "                    \
  "CASE WHEN t.FINAL THEN 'YES' ELSE 'NO' END AS FINAL, 'YES' AS INSTANTIABLE, t.SUPERTYPE_OWNER AS SUPERTYPE_OWNER, " \
  "t.SUPERTYPE_NAME AS SUPERTYPE_NAME FROM \"OCIEMU$TYPES\" t"

// Named attribute types show their own name and owner, built-in ones their declaration's parts.
#define OCIEMU_TYPE_ATTRS_COLUMNS                                                                                     \
  "a.TYPE_NAME AS TYPE_NAME, a.ATTR_NAME AS ATTR_NAME, "                                                              \
  "CASE WHEN a.DECLARED LIKE 'REF$%' THEN 'REF' END AS ATTR_TYPE_MOD, "                                               \
  "CASE WHEN a.DECLARED LIKE 'NTY$%' OR a.DECLARED LIKE 'REF$%' "                                                     \
  "THEN substr(a.DECLARED, 5, instr(substr(a.DECLARED, 5), '$') - 1) END AS ATTR_TYPE_OWNER, "                        \
  "CASE WHEN a.DECLARED LIKE 'NTY$%' OR a.DECLARED LIKE 'REF$%' "                                                     \
  "THEN substr(substr(a.DECLARED, 5), instr(substr(a.DECLARED, 5), '$') + 1) "                                        \
  "ELSE OCIEMU_TYPE_INFO(a.DECLARED, 0) END AS ATTR_TYPE_NAME, OCIEMU_TYPE_INFO(a.DECLARED, 1) AS LENGTH, "           \
  "OCIEMU_TYPE_INFO(a.DECLARED, 2) AS PRECISION, OCIEMU_TYPE_INFO(a.DECLARED, 3) AS SCALE, a.ATTR_NO AS ATTR_NO "     \
  "FROM \"OCIEMU$TYPE_ATTRS\" a JOIN \"OCIEMU$TYPES\" t ON t.OWNER = a.OWNER AND t.NAME = a.TYPE_NAME "              \
  "WHERE t.KIND = 'OBJECT'"

// One family of views: ALL_<suffix> over everything and USER_<suffix> over the session's own rows.
struct ViewFamily {
  const char* suffix;
  const char* owner_column;  // ALL_ only ("o.OWNER AS OWNER")
  const char* body;          // the select list after the owner column, with FROM and any WHERE
  const char* owner;         // the owner expression USER_ filters on
  bool has_where = false;    // body already ends in a WHERE clause
  bool user_keeps_owner = false;
  const char* prefix = "";   // a WITH clause ahead of the SELECT
};

const ViewFamily kViews[] = {
    {"TABLES", "o.OWNER AS OWNER", OCIEMU_TABLES_COLUMNS, "o.OWNER", true},
    {"TAB_COLUMNS", "o.OWNER AS OWNER", OCIEMU_TAB_COLUMNS_COLUMNS, "o.OWNER", true},
    {"CONSTRAINTS", "c.OWNER AS OWNER", OCIEMU_CONSTRAINTS_COLUMNS, "c.OWNER", false, true},
    {"CONS_COLUMNS", "OWNER", OCIEMU_CONS_COLUMNS_COLUMNS, "OWNER", true, true, OCIEMU_CONS_COLUMNS_SPLIT},
    {"OBJECTS", "o.OWNER AS OWNER", OCIEMU_OBJECTS_COLUMNS, "o.OWNER"},
    {"SEQUENCES", "OWNER AS SEQUENCE_OWNER", OCIEMU_SEQUENCES_COLUMNS, "OWNER"},
    {"SOURCE", "OWNER", OCIEMU_SOURCE_COLUMNS, "OWNER", true},
    {"ERRORS", "OWNER", OCIEMU_ERRORS_COLUMNS, "OWNER"},
    {"VIEWS", "o.OWNER AS OWNER", OCIEMU_VIEWS_COLUMNS, "o.OWNER", true},
    {"SYNONYMS", "OWNER", OCIEMU_SYNONYMS_COLUMNS, "OWNER"},
    {"TRIGGERS", "OWNER", OCIEMU_TRIGGERS_COLUMNS, "OWNER"},
    {"INDEXES", "i.OWNER AS OWNER", OCIEMU_INDEXES_COLUMNS, "i.OWNER"},
    {"IND_COLUMNS", "OWNER AS INDEX_OWNER", OCIEMU_IND_COLUMNS_COLUMNS, "OWNER", true, false,
     OCIEMU_COLUMN_LIST_SPLIT(OCIEMU_INDEX_ROWS)},
    {"TYPES", "t.OWNER AS OWNER", OCIEMU_TYPES_COLUMNS, "t.OWNER"},
    {"TYPE_ATTRS", "a.OWNER AS OWNER", OCIEMU_TYPE_ATTRS_COLUMNS, "a.OWNER", true},
};

constexpr const char* kAllUsers = "SELECT NAME AS USERNAME, rowid AS USER_ID, CREATED FROM \"OCIEMU$USERS\"";

int dictionary_version(sqlite3* db) {
  Query query(db, "PRAGMA user_version");
  return query.step() ? static_cast<int>(query.integer(0)) : 0;
}

void create_view(sqlite3* db, const std::string& name, const std::string& select) {
  const std::string sqlite = quote_name("SYS." + name);
  execute(db, "DROP VIEW IF EXISTS " + sqlite);
  execute(db, "CREATE VIEW " + sqlite + " AS " + select);
  if (!find_object(db, "SYS", name)) execute(db, register_object_sql("SYS", name, "VIEW"));
  if (!find_object(db, kPublic, name)) {
    execute(db, "INSERT INTO \"OCIEMU$SYNONYMS\" VALUES ('PUBLIC', " + quote_literal(name) + ", 'SYS', " +
                    quote_literal(name) + ")");
    execute(db, register_object_sql(kPublic, name, "SYNONYM"));
  }
}

void create_views(sqlite3* db) {
  execute(db, kTablesSql);
  for (const ViewFamily& family : kViews) {
    const std::string prefix = family.prefix, body = family.body, owner_column = family.owner_column;
    create_view(db, std::string("ALL_") + family.suffix, prefix + "SELECT " + owner_column + ", " + body);
    create_view(db, std::string("USER_") + family.suffix,
                prefix + "SELECT " + (family.user_keeps_owner ? owner_column + ", " : std::string()) + body +
                    (family.has_where ? " AND " : " WHERE ") + family.owner + " = OCIEMU_USER()");
  }
  create_view(db, "ALL_USERS", kAllUsers);
  execute(db, "PRAGMA user_version = " + std::to_string(kDictionaryVersion));
}

// OCIEMU_TYPE_INFO(declared type, field): DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, CHAR_USED.
enum TypeField { kDataType, kDataLength, kDataPrecision, kDataScale, kCharLength, kCharUsed };

bool is_character(const OracleType& type) { return type.type_code == 1 || type.type_code == 96; }

void type_info(sqlite3_context* context, int, sqlite3_value** args) {
  const auto* declared = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
  std::optional<OracleType> type = parse_declared_type(declared);
  if (!type) return sqlite3_result_null(context);
  const bool number = type->type_code == 2;
  switch (sqlite3_value_int(args[1])) {
    case kDataType: {
      std::string name = type->type_name;
      if (type->type_code == 180 || type->type_code == 181 || type->type_code == 231) {
        const size_t space = name.find(' ');
        name.insert(space == std::string::npos ? name.size() : space, "(" + std::to_string(type->scale) + ")");
      }
      return sqlite3_result_text(context, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    }
    case kDataLength:
      return sqlite3_result_int(context, type->data_size);
    case kDataPrecision:
      if (!number || type->precision == 0) return sqlite3_result_null(context);
      return sqlite3_result_int(context, type->precision);
    case kDataScale:
      if (!number || type->scale == -127) return sqlite3_result_null(context);
      return sqlite3_result_int(context, type->scale);
    case kCharLength:
      return sqlite3_result_int(context, is_character(*type) ? type->char_size : 0);
    case kCharUsed:
      if (!is_character(*type)) return sqlite3_result_null(context);
      return sqlite3_result_text(context, type->data_size > type->char_size ? "C" : "B", 1, SQLITE_STATIC);
    default:
      return sqlite3_result_null(context);
  }
}

}  // namespace

void register_dictionary_functions(sqlite3* db) {
  sqlite3_create_function_v2(db, "OCIEMU_TYPE_INFO", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                             type_info, nullptr, nullptr, nullptr);
}

void install_dictionary(sqlite3* db) {
  if (dictionary_version(db) >= kDictionaryVersion) return;
  execute(db, "BEGIN IMMEDIATE");
  try {
    // Another connection may have upgraded the file while this one waited.
    if (dictionary_version(db) < kDictionaryVersion) create_views(db);
    execute(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<std::string> store_source_sql(std::string_view owner, std::string_view name, std::string_view type,
                                          std::string_view text) {
  const std::string key = " WHERE OWNER = " + quote_literal(owner) + " AND NAME = " + quote_literal(name) +
                          " AND TYPE = " + quote_literal(type);
  std::vector<std::string> sql{"DELETE FROM \"OCIEMU$SOURCE\"" + key};
  int line = 1;
  for (size_t start = 0; start < text.size(); ++line) {
    size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    sql.push_back("INSERT INTO \"OCIEMU$SOURCE\" VALUES (" + quote_literal(owner) + ", " + quote_literal(name) + ", " +
                  quote_literal(type) + ", " + std::to_string(line) + ", " +
                  quote_literal(text.substr(start, end - start)) + ")");
    start = end;
  }
  return sql;
}

}  // namespace ociemu::sql
