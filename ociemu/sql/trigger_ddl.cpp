// DROP TRIGGER, ALTER TRIGGER and the translation of DML on tables that have triggers.
#include <algorithm>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::sql {
namespace {

constexpr int kNoSuchTrigger = 4080;
constexpr int kDropTriggerCode = 61, kAlterTriggerCode = 60;
constexpr const char* kKey = "\"OCIEMU$K\"";

std::string value_of(const std::string& key, size_t index, size_t reads) {
  return std::string(kTriggerValueFunction) + "(" + key + ", " + std::to_string(index) + ", " + std::to_string(reads) + ")";
}

}  // namespace

void Translator::drop_trigger(int i) {
  out_.sql_function_code = kDropTriggerCode;
  std::string owner, name;
  int name_index = i;
  i = read_object_name(i, owner, name);
  if (i != end_index()) fail_not_ended(i);
  if (owner.empty()) owner = default_schema(session_);
  if (trigger_table(db_, owner, name).empty()) fail(kNoSuchTrigger, {owner + "." + name}, name_index);
  for (std::string& sql : drop_trigger_sql(db_, owner, name)) out_.sqlite_sql.push_back(std::move(sql));
}

// ALTER TRIGGER name ENABLE | DISABLE | COMPILE
void Translator::alter_trigger() {
  out_.sql_function_code = kAlterTriggerCode;
  std::string owner, name;
  int i = read_object_name(2, owner, name);
  if (owner.empty()) owner = default_schema(session_);
  if (trigger_table(db_, owner, name).empty()) fail(kNoSuchTrigger, {owner + "." + name}, 2);
  const std::string key = " WHERE OWNER = " + quote_literal(owner) + " AND NAME = " + quote_literal(name);
  if (word_at(i, "ENABLE") || word_at(i, "DISABLE")) {
    out_.sqlite_sql.push_back(std::string("UPDATE \"OCIEMU$TRIGGERS\" SET STATUS = ") +
                              (word_at(i, "ENABLE") ? "'ENABLED'" : "'DISABLED'") + key);
  } else if (!word_at(i, "COMPILE")) {
    fail(922, i);
  }
  if (i + 1 != end_index()) fail_not_ended(i + 1);
}

// INSERT INTO t (all columns) SELECT VALUE(k, 0)... FROM (SELECT BEFORE(t, new row) AS k FROM (source)):
// the source's rows, with defaults for the columns it leaves out, pass the BEFORE
// row triggers one at a time (OFFSET keeps SQLite from evaluating the call per column).
std::string Translator::triggered_insert(const std::string& head, const TableRef& table,
                                         const std::vector<std::string>& targets, const std::string& source,
                                         int at) const {
  const std::string sqlite = table.object.sqlite_name();
  Query info(db_, "SELECT name, dflt_value FROM pragma_table_info(?1)");
  info.bind(1, sqlite);
  std::vector<std::string> columns, news;
  size_t used = 0;
  while (info.step()) {
    columns.push_back(info.text(0));
    auto found = std::find(targets.begin(), targets.end(), columns.back());
    if (found != targets.end()) {
      ++used;
      news.push_back(padded_for(table, columns.back(),
                                "\"OCIEMU$S\"." + quote_name(std::to_string(found - targets.begin() + 1))));
    } else {
      news.push_back(info.is_null(1) ? "NULL" : "(" + info.text(1) + ")");
    }
  }
  if (used != targets.size()) fail(904, {in_quotes(targets.empty() ? "" : targets.back())}, at);
  std::string list, values, row = quote_literal(sqlite) + ", 'I', NULL";
  for (size_t i = 0; i < columns.size(); ++i) {
    list += (i ? ", " : "") + quote_name(columns[i]);
    // A BEFORE trigger may have assigned :NEW: the value it leaves is stored as any other.
    values += (i ? ", " : "") + padded_for(table, columns[i], value_of(kKey, i, columns.size()));
    row += ", " + news[i];
  }
  for (size_t i = 0; i < columns.size(); ++i) row += ", NULL";
  return head + " (" + list + ") SELECT " + values + " FROM (SELECT " + kTriggerBeforeFunction + "(" + row + ") AS " +
         kKey + " FROM (" + source + ") AS \"OCIEMU$S\" LIMIT -1 OFFSET 0)";
}

// UPDATE t SET c = VALUE(x.k, n)... FROM (SELECT rowid, BEFORE(t, new row, old row) AS k FROM t WHERE ...) x:
// each row's new values pass the BEFORE row triggers, which may change any column (OFFSET keeps
// SQLite from flattening the subquery, which would run the triggers once per column read).
std::string Translator::triggered_update(const TableRef& table,
                                         const std::vector<std::pair<std::string, std::string>>& sets,
                                         const std::string& where) const {
  const std::string sqlite = table.object.sqlite_name(), alias = quote_name(table.alias);
  const bool any_column = has_before_row_trigger(db_, table.object.owner, table.object.name, 'U');
  std::vector<std::string> columns = table_columns(db_, sqlite);
  std::string set_list, news, olds, assignments;
  for (const auto& set : sets) set_list += (set_list.empty() ? "" : ",") + set.first;
  std::vector<size_t> assigned;
  for (size_t i = 0; i < columns.size(); ++i) {
    auto found = std::find_if(sets.begin(), sets.end(), [&](const auto& set) { return set.first == columns[i]; });
    news += ", " + (found != sets.end() ? found->second : alias + "." + quote_name(columns[i]));
    olds += ", " + alias + "." + quote_name(columns[i]);
    if (any_column || found != sets.end()) assigned.push_back(i);
  }
  for (size_t i : assigned) {
    assignments += (assignments.empty() ? "" : ", ") + quote_name(columns[i]) + " = " +
                   padded_for(table, columns[i], value_of("\"OCIEMU$X\"." + std::string(kKey), i, assigned.size()));
  }
  return "UPDATE " + quote_name(sqlite) + " AS \"OCIEMU$U\" SET " + assignments + " FROM (SELECT " + alias +
         ".rowid AS \"OCIEMU$R\", " + kTriggerBeforeFunction + "(" + quote_literal(sqlite) + ", 'U', " +
         quote_literal(set_list) + news + olds + ") AS " + kKey + " FROM " + quote_name(sqlite) + " AS " + alias +
         (where.empty() ? "" : " " + where) + " LIMIT -1 OFFSET 0) AS \"OCIEMU$X\" WHERE \"OCIEMU$U\".rowid = \"OCIEMU$X\".\"OCIEMU$R\"";
}

}  // namespace ociemu::sql
