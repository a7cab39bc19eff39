#include "ociemu/sql/triggers.h"

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dictionary.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {
namespace {

// The SQLite triggers of one table: name suffix, timing and event, and which rows they pass.
struct Hook {
  const char* suffix;
  const char* when;  // "AFTER INSERT"...
  char timing, event;
  bool new_row, old_row;
};

constexpr Hook kHooks[] = {
    {"#ROW#AI", "AFTER INSERT", 'A', 'I', true, false},
    {"#ROW#AU", "AFTER UPDATE", 'A', 'U', true, true},
    {"#ROW#BD", "BEFORE DELETE", 'B', 'D', false, true},
    {"#ROW#AD", "AFTER DELETE", 'A', 'D', false, true},
};

std::string row_values(const char* prefix, const std::vector<std::string>& columns, bool present) {
  std::string sql;
  for (const std::string& column : columns) sql += ", " + (present ? std::string(prefix) + quote_name(column) : "NULL");
  return sql;
}

std::vector<std::string> create_hooks_sql(const std::string& table, const std::vector<std::string>& columns) {
  std::vector<std::string> sql;
  for (const Hook& hook : kHooks) {
    sql.push_back("CREATE TRIGGER IF NOT EXISTS " + quote_name(table + hook.suffix) + " " + hook.when + " ON " +
                  quote_name(table) + " FOR EACH ROW BEGIN SELECT " + kTriggerFireFunction + "(" + quote_literal(table) +
                  ", '" + hook.timing + "', '" + hook.event + "'" + row_values("NEW.", columns, hook.new_row) +
                  row_values("OLD.", columns, hook.old_row) + "); END");
  }
  return sql;
}

}  // namespace

std::vector<std::string> drop_hooks_sql(const std::string& table) {
  std::vector<std::string> sql;
  for (const Hook& hook : kHooks) sql.push_back("DROP TRIGGER IF EXISTS " + quote_name(table + hook.suffix));
  return sql;
}

std::vector<std::string> rebuild_hooks_sql(const std::string& table, const std::vector<std::string>& columns) {
  std::vector<std::string> sql = drop_hooks_sql(table);
  for (std::string& hook : create_hooks_sql(table, columns)) sql.push_back(std::move(hook));
  return sql;
}

namespace {

std::vector<std::string> forget_object_sql(std::string_view owner, std::string_view name) {
  const std::string key = " WHERE OWNER = " + quote_literal(owner) + " AND NAME = " + quote_literal(name);
  std::vector<std::string> sql;
  for (const char* table : {"\"OCIEMU$TRIGGERS\"", "\"OCIEMU$OBJECTS\"", "\"OCIEMU$SOURCE\"", "\"OCIEMU$ERRORS\""})
    sql.push_back(std::string("DELETE FROM ") + table + key);
  return sql;
}

}  // namespace

std::vector<std::string> store_trigger_sql(sqlite3* db, const TriggerRecord& t) {
  std::vector<std::string> sql;
  sql.push_back("INSERT OR REPLACE INTO \"OCIEMU$TRIGGERS\" VALUES (" + quote_literal(t.owner) + ", " +
                quote_literal(t.name) + ", " + quote_literal(t.table_owner) + ", " + quote_literal(t.table_name) + ", " +
                quote_literal(t.timing) + ", " + quote_literal(t.events) + ", " + quote_literal(t.columns) + ", " +
                (t.row_level ? "1" : "0") + ", " + (t.when_clause.empty() ? "NULL" : quote_literal(t.when_clause)) +
                ", " + quote_literal(t.referencing) + ", 'ENABLED', " + quote_literal(t.body) + ", " +
                quote_literal(t.description) + ", " + quote_literal(t.action) +
                ", (SELECT coalesce(max(VERSION), 0) + 1 FROM \"OCIEMU$TRIGGERS\"))");
  const std::string table = table_sqlite_name(db, t.table_owner, t.table_name);
  for (std::string& hook : create_hooks_sql(table, table_columns(db, table))) sql.push_back(std::move(hook));
  return sql;
}

// The SQLite name of a trigger's table (of trigger row t).
#define OCIEMU_TRIGGER_TABLE                                                                                   \
  "coalesce((SELECT o.STORAGE FROM \"OCIEMU$OBJECTS\" o WHERE o.OWNER = t.TABLE_OWNER AND o.NAME = t.TABLE_NAME), " \
  "t.TABLE_OWNER || '.' || t.TABLE_NAME)"

std::string table_sqlite_name(sqlite3* db, const std::string& owner, const std::string& name) {
  const auto object = find_object(db, owner, name);
  return object ? object->sqlite_name() : owner + "." + name;
}

std::string trigger_table(sqlite3* db, std::string_view owner, std::string_view name) {
  Query query(db, "SELECT " OCIEMU_TRIGGER_TABLE " FROM \"OCIEMU$TRIGGERS\" t WHERE OWNER = ?1 AND NAME = ?2");
  query.bind(1, owner).bind(2, name);
  return query.step() ? query.text(0) : std::string();
}

std::vector<std::string> drop_trigger_sql(sqlite3* db, std::string_view owner, std::string_view name) {
  std::vector<std::string> sql = forget_object_sql(owner, name);
  const std::string table = trigger_table(db, owner, name);
  if (table.empty()) return sql;
  Query others(db, "SELECT 1 FROM \"OCIEMU$TRIGGERS\" t WHERE " OCIEMU_TRIGGER_TABLE " = ?1 AND NOT "
                   "(t.OWNER = ?2 AND t.NAME = ?3)");
  others.bind(1, table).bind(2, owner).bind(3, name);
  if (!others.step()) {
    for (std::string& hook : drop_hooks_sql(table)) sql.push_back(std::move(hook));
  }
  return sql;
}

std::vector<std::string> drop_table_triggers_sql(sqlite3* db, std::string_view table_owner, std::string_view table_name) {
  Query triggers(db, "SELECT OWNER, NAME FROM \"OCIEMU$TRIGGERS\" WHERE TABLE_OWNER = ?1 AND TABLE_NAME = ?2");
  triggers.bind(1, table_owner).bind(2, table_name);
  std::vector<std::string> sql;
  while (triggers.step()) {
    for (std::string& statement : forget_object_sql(triggers.text(0), triggers.text(1))) sql.push_back(std::move(statement));
  }
  return sql;
}

void store_trigger(sqlite3* db, const TriggerRecord& trigger) {
  for (const std::string& statement : store_trigger_sql(db, trigger)) execute(db, statement);
}

std::vector<FiringTrigger> row_triggers(sqlite3* db, std::string_view table, char timing, char event) {
  const char* word = event == 'I' ? "%INSERT%" : event == 'U' ? "%UPDATE%" : "%DELETE%";
  Query query(db,
              "SELECT t.OWNER || '.' || t.NAME, t.ACTION, t.VERSION, t.COLUMNS, EXISTS (SELECT 1 FROM "
              "\"OCIEMU$ERRORS\" e WHERE e.OWNER = t.OWNER AND e.NAME = t.NAME) FROM \"OCIEMU$TRIGGERS\" t "
              "WHERE " OCIEMU_TRIGGER_TABLE " = ?1 AND t.TIMING = ?2 AND t.ROW_LEVEL = 1 AND "
              "t.STATUS = 'ENABLED' AND t.EVENTS LIKE ?3 ORDER BY t.rowid");
  query.bind(1, table).bind(2, timing == 'B' ? "BEFORE" : "AFTER").bind(3, word);
  std::vector<FiringTrigger> found;
  while (query.step()) {
    found.push_back(FiringTrigger{query.text(0), query.text(1), query.integer(2),
                                  query.is_null(3) ? std::string() : query.text(3), query.integer(4) != 0});
  }
  return found;
}

TriggerTable trigger_table_columns(sqlite3* db, std::string_view trigger) {
  Query query(db, "SELECT TIMING, EVENTS, " OCIEMU_TRIGGER_TABLE " FROM \"OCIEMU$TRIGGERS\" t "
                  "WHERE OWNER || '.' || NAME = ?1");
  query.bind(1, trigger);
  TriggerTable found;
  if (!query.step()) return found;
  found.timing = query.text(0);
  found.events = query.text(1);
  found.columns = declared_columns(db, query.text(2));
  return found;
}

std::vector<std::pair<std::string, std::string>> declared_columns(sqlite3* db, std::string_view table) {
  Query query(db, "SELECT name, type FROM pragma_table_info(?1)");
  query.bind(1, table);
  std::vector<std::pair<std::string, std::string>> columns;
  while (query.step()) columns.emplace_back(query.text(0), query.text(1));
  return columns;
}

int64_t schema_version(sqlite3* db) {
  Query query(db, "PRAGMA schema_version");
  return query.step() ? query.integer(0) : 0;
}

bool table_has_triggers(sqlite3* db, std::string_view table_owner, std::string_view table_name) {
  Query query(db, "SELECT 1 FROM \"OCIEMU$TRIGGERS\" WHERE TABLE_OWNER = ?1 AND TABLE_NAME = ?2");
  query.bind(1, table_owner).bind(2, table_name);
  return query.step();
}

bool has_before_row_trigger(sqlite3* db, std::string_view table_owner, std::string_view table_name, char event) {
  const char* word = event == 'I' ? "%INSERT%" : event == 'U' ? "%UPDATE%" : "%DELETE%";
  Query query(db, "SELECT 1 FROM \"OCIEMU$TRIGGERS\" WHERE TABLE_OWNER = ?1 AND TABLE_NAME = ?2 AND TIMING = 'BEFORE' "
                  "AND ROW_LEVEL = 1 AND EVENTS LIKE ?3");
  query.bind(1, table_owner).bind(2, table_name).bind(3, word);
  return query.step();
}

}  // namespace ociemu::sql
