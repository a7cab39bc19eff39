// User triggers in the catalogue: their rows in "OCIEMU$TRIGGERS" (USER_TRIGGERS
// reads them), and the SQLite triggers that hand each changed row of a table
// with user triggers to the PL/SQL engine's SQL functions.
//
// Rows reach the engine three ways: INSERT and UPDATE statements on such a
// table are translated so that every new row passes OCIEMU_TRIGGER_BEFORE
// (BEFORE row triggers may change it) and OCIEMU_TRIGGER_VALUE; AFTER row
// triggers and BEFORE DELETE run from SQLite triggers calling OCIEMU_TRIGGER_FIRE.
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ociemu::sql {

inline constexpr const char* kTriggerBeforeFunction = "OCIEMU_TRIGGER_BEFORE";
inline constexpr const char* kTriggerValueFunction = "OCIEMU_TRIGGER_VALUE";
inline constexpr const char* kTriggerFireFunction = "OCIEMU_TRIGGER_FIRE";

// Event letters the functions take: 'I'nsert, 'U'pdate, 'D'elete; timings 'B'efore, 'A'fter.
struct TriggerRecord {
  std::string owner, name, table_owner, table_name;
  std::string timing;     // BEFORE or AFTER
  std::string events;     // "INSERT OR UPDATE OR DELETE", as USER_TRIGGERS shows it
  std::string columns;    // UPDATE OF list, comma-joined; empty = any column
  bool row_level = true;
  std::string when_clause, referencing, description, body;
  std::string action;     // the block the engine compiles
};

// Statements that store (or replace) the trigger row and make sure its table has the row hooks.
std::vector<std::string> store_trigger_sql(sqlite3* db, const TriggerRecord& trigger);
// Statements that forget a trigger: its row, object, source and errors, and the hooks
// of its table once no trigger is left on it.
std::vector<std::string> drop_trigger_sql(sqlite3* db, std::string_view owner, std::string_view name);
// Statements that forget every trigger on a table that is being dropped (its hooks go with it).
std::vector<std::string> drop_table_triggers_sql(sqlite3* db, std::string_view table_owner, std::string_view table_name);
// The row hooks of a table, dropped, and created again for the columns it will have.
std::vector<std::string> drop_hooks_sql(const std::string& table);
std::vector<std::string> rebuild_hooks_sql(const std::string& table, const std::vector<std::string>& columns);
// The table a trigger is on, as "OWNER.TABLE"; empty when there is no such trigger.
std::string trigger_table(sqlite3* db, std::string_view owner, std::string_view name);

// Stores the trigger row and the table's hooks now (store_trigger_sql, run).
void store_trigger(sqlite3* db, const TriggerRecord& trigger);

// An enabled row trigger about to fire, as the engine compiles it.
struct FiringTrigger {
  std::string name;     // OWNER.NAME
  std::string action;
  int64_t version = 0;  // moves on with every CREATE OR REPLACE
  std::string columns;  // UPDATE OF list
  bool invalid = false; // stored with compile errors
};
// The enabled row triggers of table ("OWNER.TABLE") for timing 'B'/'A' and event 'I'/'U'/'D', in creation order.
std::vector<FiringTrigger> row_triggers(sqlite3* db, std::string_view table, char timing, char event);
// The trigger's timing and events and its table's columns with their declared types.
struct TriggerTable {
  std::string timing, events;
  std::vector<std::pair<std::string, std::string>> columns;
};
TriggerTable trigger_table_columns(sqlite3* db, std::string_view trigger);
// Column names and declared types of a table ("OWNER.TABLE").
std::vector<std::pair<std::string, std::string>> declared_columns(sqlite3* db, std::string_view table);
// The SQLite name of the table OWNER.NAME.
std::string table_sqlite_name(sqlite3* db, const std::string& owner, const std::string& name);
// Moves on with every schema change on the file.
int64_t schema_version(sqlite3* db);

bool table_has_triggers(sqlite3* db, std::string_view table_owner, std::string_view table_name);
// True when an enabled BEFORE row trigger on the table fires for the event letter.
bool has_before_row_trigger(sqlite3* db, std::string_view table_owner, std::string_view table_name, char event);

}  // namespace ociemu::sql
