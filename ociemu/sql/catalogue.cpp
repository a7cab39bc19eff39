#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/types.h"

#include <sqlite3.h>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/stored_names.h"

namespace ociemu::sql {
namespace {

// Object numbers start where a fresh Oracle database's user objects would.
constexpr int64_t kFirstObjectId = 73180;

constexpr const char* kCatalogueSql = R"sql(
CREATE TABLE IF NOT EXISTS "OCIEMU$USERS"(
  NAME TEXT PRIMARY KEY, PASSWORD TEXT NOT NULL,
  STATUS TEXT NOT NULL DEFAULT 'OPEN',        -- OPEN, GRACE, EXPIRED
  GRACE_DAYS INTEGER NOT NULL DEFAULT 7, CREATED TEXT);
CREATE TABLE IF NOT EXISTS "OCIEMU$OBJECTS"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TYPE TEXT NOT NULL,
  OBJECT_ID INTEGER NOT NULL UNIQUE, CREATED TEXT, STORAGE TEXT, PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$CONSTRAINTS"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TYPE TEXT NOT NULL, TABLE_NAME TEXT NOT NULL,
  COLUMNS TEXT NOT NULL, SEARCH_CONDITION TEXT, R_OWNER TEXT, R_CONSTRAINT_NAME TEXT,
  DELETE_RULE TEXT, GENERATED TEXT NOT NULL DEFAULT 'USER NAME', PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$INDEXES"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TABLE_NAME TEXT NOT NULL, COLUMNS TEXT NOT NULL,
  UNIQUENESS TEXT NOT NULL, PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$SEQUENCES"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, MIN_VALUE INTEGER NOT NULL, MAX_VALUE INTEGER NOT NULL,
  INCREMENT_BY INTEGER NOT NULL, CYCLE_FLAG TEXT NOT NULL, CACHE_SIZE INTEGER NOT NULL,
  NEXT_VALUE INTEGER NOT NULL, PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$SYNONYMS"(
  OWNER TEXT NOT NULL, NAME TEXT NOT NULL, TABLE_OWNER TEXT NOT NULL, TABLE_NAME TEXT NOT NULL,
  PRIMARY KEY(OWNER, NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$COLUMNS"(
  OWNER TEXT NOT NULL, TABLE_NAME TEXT NOT NULL, COLUMN_NAME TEXT NOT NULL, DATA_DEFAULT TEXT,
  PRIMARY KEY(OWNER, TABLE_NAME, COLUMN_NAME));
CREATE TABLE IF NOT EXISTS "OCIEMU$DIRECTORIES"(NAME TEXT PRIMARY KEY, PATH TEXT NOT NULL);
)sql";

constexpr const char* kSeedSql = R"sql(
INSERT OR IGNORE INTO "OCIEMU$USERS"(NAME, PASSWORD, CREATED) VALUES
  ('SYS', 'CHANGE_ON_INSTALL', datetime('now')), ('SYSTEM', 'MANAGER', datetime('now'));
CREATE TABLE IF NOT EXISTS "SYS.DUAL"(DUMMY VARCHAR2(1));
INSERT INTO "SYS.DUAL" SELECT 'X' WHERE NOT EXISTS (SELECT 1 FROM "SYS.DUAL");
)sql";

Constraint read_constraint(const Query& query) {
  Constraint constraint;
  constraint.owner = query.text(0);
  constraint.name = query.text(1);
  std::string type = query.text(2);
  constraint.type = type.empty() ? 'C' : type[0];
  constraint.table = query.text(3);
  std::string columns = query.text(4);
  for (size_t start = 0; start <= columns.size() && !columns.empty();) {
    size_t comma = columns.find(',', start);
    if (comma == std::string::npos) comma = columns.size();
    constraint.columns.push_back(columns.substr(start, comma - start));
    start = comma + 1;
  }
  constraint.search_condition = query.text(5);
  constraint.referenced_owner = query.text(6);
  constraint.referenced_name = query.text(7);
  constraint.delete_rule = query.text(8);
  return constraint;
}

constexpr const char* kConstraintColumns =
    "SELECT OWNER, NAME, TYPE, TABLE_NAME, COLUMNS, SEARCH_CONDITION, R_OWNER, R_CONSTRAINT_NAME, "
    "DELETE_RULE FROM \"OCIEMU$CONSTRAINTS\" ";

}  // namespace

void upgrade_catalogue(sqlite3* db) {
  auto has_storage = [db] {
    return Query(db, "SELECT 1 FROM pragma_table_info('OCIEMU$OBJECTS') WHERE name = 'STORAGE'").step();
  };
  if (!has_storage()) {
    try {
      execute(db, "ALTER TABLE \"OCIEMU$OBJECTS\" ADD COLUMN STORAGE TEXT");
    } catch (const OracleException&) {
      if (!has_storage()) throw;  // else another connection added it first
    }
  }
}

void install_catalogue(sqlite3* db) {
  execute(db, kCatalogueSql);
  install_type_catalogue(db);
  if (!find_object(db, "SYS", "DUAL")) {
    execute(db, kSeedSql);
    execute(db, register_object_sql("SYS", "DUAL", "TABLE") +
                    "; INSERT OR IGNORE INTO \"OCIEMU$SYNONYMS\" VALUES ('PUBLIC', 'DUAL', 'SYS', 'DUAL');" +
                    register_object_sql("PUBLIC", "DUAL", "SYNONYM"));
  }
}

std::string register_object_sql(std::string_view owner, std::string_view name, std::string_view type,
                                std::string_view storage) {
  const std::string plain = std::string(owner) + "." + std::string(name);
  return "INSERT INTO \"OCIEMU$OBJECTS\"(OWNER, NAME, TYPE, OBJECT_ID, CREATED, STORAGE) SELECT " +
         quote_literal(owner) + ", " + quote_literal(name) + ", " + quote_literal(type) + ", max(" +
         std::to_string(kFirstObjectId) + ", coalesce(max(OBJECT_ID), 0) + 1), datetime('now'), " +
         (storage.empty() || storage == plain ? std::string("NULL") : quote_literal(storage)) +
         " FROM \"OCIEMU$OBJECTS\"";
}

std::string new_sqlite_name(sqlite3* db, const std::string& owner, const std::string& name) {
  std::vector<std::string> taken;
  Query query(db, "SELECT name FROM sqlite_schema");
  while (query.step()) taken.push_back(query.text(0));
  return distinct_stored_name(owner + "." + name, taken);
}

std::string join_columns(const std::vector<std::string>& columns) {
  std::string joined;
  for (const auto& column : columns) {
    if (!joined.empty()) joined += ',';
    joined += column;
  }
  return joined;
}

std::string register_constraint_sql(const Constraint& c) {
  auto nullable = [](const std::string& text) { return text.empty() ? std::string("NULL") : quote_literal(text); };
  return "INSERT INTO \"OCIEMU$CONSTRAINTS\"(OWNER, NAME, TYPE, TABLE_NAME, COLUMNS, SEARCH_CONDITION, R_OWNER, "
         "R_CONSTRAINT_NAME, DELETE_RULE, GENERATED) VALUES (" +
         quote_literal(c.owner) + ", " + quote_literal(c.name) + ", " + quote_literal(std::string(1, c.type)) + ", " +
         quote_literal(c.table) + ", " + quote_literal(join_columns(c.columns)) + ", " +
         nullable(c.search_condition) + ", " + nullable(c.referenced_owner) + ", " + nullable(c.referenced_name) +
         ", " + nullable(c.delete_rule) + ", " +
         (c.name.rfind("SYS_C", 0) == 0 ? "'GENERATED NAME'" : "'USER NAME'") + ")";
}

std::optional<SchemaObject> find_object(sqlite3* db, std::string_view owner, std::string_view name) {
  Query query(db, "SELECT TYPE, OBJECT_ID, STORAGE FROM \"OCIEMU$OBJECTS\" WHERE OWNER = ?1 AND NAME = ?2");
  query.bind(1, owner).bind(2, name);
  if (!query.step()) return std::nullopt;
  return SchemaObject{std::string(owner), std::string(name), query.text(0), query.integer(1), query.text(2)};
}

namespace {
std::optional<SchemaObject> follow_synonyms(sqlite3* db, std::optional<SchemaObject> object) {
  // A chain longer than this is a loop (Oracle: ORA-01775).
  for (int hops = 0; object && object->type == "SYNONYM"; ++hops) {
    if (hops > 16) throw_oracle(1775);
    Query query(db, "SELECT TABLE_OWNER, TABLE_NAME FROM \"OCIEMU$SYNONYMS\" WHERE OWNER = ?1 AND NAME = ?2");
    query.bind(1, object->owner).bind(2, object->name);
    if (!query.step()) return std::nullopt;
    object = find_object(db, query.text(0), query.text(1));
  }
  return object;
}
}  // namespace

std::string default_schema(const SessionContext& session) {
  return session.current_schema.empty() ? session.user : session.current_schema;
}

std::optional<SchemaObject> resolve_object(sqlite3* db, const SessionContext& session, std::string_view owner,
                                           std::string_view name) {
  if (!owner.empty()) return follow_synonyms(db, find_object(db, owner, name));
  if (auto own = find_object(db, default_schema(session), name)) return follow_synonyms(db, own);
  return follow_synonyms(db, find_object(db, kPublic, name));
}

std::optional<Constraint> find_constraint(sqlite3* db, std::string_view owner, std::string_view name) {
  Query query(db, std::string(kConstraintColumns) + "WHERE OWNER = ?1 AND NAME = ?2");
  query.bind(1, owner).bind(2, name);
  if (!query.step()) return std::nullopt;
  return read_constraint(query);
}

std::vector<Constraint> table_constraints(sqlite3* db, std::string_view owner, std::string_view table) {
  Query query(db, std::string(kConstraintColumns) + "WHERE OWNER = ?1 AND TABLE_NAME = ?2 ORDER BY rowid");
  query.bind(1, owner).bind(2, table);
  std::vector<Constraint> result;
  while (query.step()) result.push_back(read_constraint(query));
  return result;
}

std::vector<Constraint> referencing_constraints(sqlite3* db, std::string_view owner, std::string_view table) {
  Query query(db, std::string(kConstraintColumns) +
                      "WHERE TYPE = 'R' AND (R_OWNER, R_CONSTRAINT_NAME) IN (SELECT OWNER, NAME FROM "
                      "\"OCIEMU$CONSTRAINTS\" WHERE OWNER = ?1 AND TABLE_NAME = ?2 AND TYPE IN ('P', 'U'))");
  query.bind(1, owner).bind(2, table);
  std::vector<Constraint> result;
  while (query.step()) result.push_back(read_constraint(query));
  return result;
}

std::optional<std::string> unique_key_name(sqlite3* db, std::string_view owner, std::string_view table,
                                           const std::vector<std::string>& columns, std::string& key_owner) {
  Query query(db,
              "SELECT OWNER, NAME FROM \"OCIEMU$CONSTRAINTS\" WHERE OWNER = ?1 AND TABLE_NAME = ?2 AND "
              "TYPE IN ('P', 'U') AND COLUMNS = ?3 UNION ALL SELECT OWNER, NAME FROM \"OCIEMU$INDEXES\" WHERE "
              "OWNER = ?1 AND TABLE_NAME = ?2 AND UNIQUENESS = 'UNIQUE' AND COLUMNS = ?3");
  query.bind(1, owner).bind(2, table).bind(3, join_columns(columns));
  if (!query.step()) return std::nullopt;
  key_owner = query.text(0);
  return query.text(1);
}

std::vector<std::vector<std::string>> unique_keys(sqlite3* db, std::string_view owner, std::string_view table) {
  Query query(db,
              "SELECT COLUMNS FROM \"OCIEMU$CONSTRAINTS\" WHERE OWNER = ?1 AND TABLE_NAME = ?2 AND TYPE IN ('P', 'U') "
              "UNION ALL SELECT COLUMNS FROM \"OCIEMU$INDEXES\" WHERE OWNER = ?1 AND TABLE_NAME = ?2 AND "
              "UNIQUENESS = 'UNIQUE'");
  query.bind(1, owner).bind(2, table);
  std::vector<std::vector<std::string>> keys;
  while (query.step()) {
    std::vector<std::string>& key = keys.emplace_back();
    const std::string columns = query.text(0);
    std::string_view joined = columns;
    for (size_t comma; (comma = joined.find(',')) != std::string_view::npos; joined.remove_prefix(comma + 1)) {
      key.emplace_back(joined.substr(0, comma));
    }
    key.emplace_back(joined);
  }
  return keys;
}

bool user_exists(sqlite3* db, std::string_view name) {
  Query query(db, "SELECT 1 FROM \"OCIEMU$USERS\" WHERE NAME = ?1");
  query.bind(1, name);
  return query.step();
}

std::vector<std::string> table_columns(sqlite3* db, std::string_view sqlite_name) {
  Query query(db, "SELECT name FROM pragma_table_info(?1)");
  query.bind(1, sqlite_name);
  std::vector<std::string> columns;
  while (query.step()) columns.push_back(query.text(0));
  return columns;
}

std::vector<ColumnDefault> column_defaults(sqlite3* db, std::string_view sqlite_name) {
  Query query(db, "SELECT name, coalesce(dflt_value, '') FROM pragma_table_info(?1)");
  query.bind(1, sqlite_name);
  std::vector<ColumnDefault> columns;
  while (query.step()) columns.push_back({query.text(0), query.text(1)});
  return columns;
}

}  // namespace ociemu::sql
