// INSERT ALL and INSERT FIRST. SQLite inserts into one table a statement, so each INTO clause
// becomes its own INSERT over the source query, filtered by the WHEN conditions that select it:
// under ALL every true condition's clauses, under FIRST only the first true one's, and ELSE
// where none holds. The statements share the binds' numbering, so one set of binds serves all.
#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr const char* kSourceAlias = "OCIEMU$SRC";

std::string none_of(const std::vector<std::string>& conditions) {
  std::string sql;
  for (const std::string& condition : conditions) sql += (sql.empty() ? "" : " AND ") + ("(" + condition + ") IS NOT TRUE");
  return sql;
}

}  // namespace

void Translator::translate_multitable_insert() {
  out_.multitable_insert = true;
  const bool first_only = word_at(1, "FIRST");
  // The source query follows the last INTO clause: the first SELECT or WITH outside parentheses.
  int source = -1;
  for (int j = 2; j < end_index() && source < 0; ++j) {
    if (token(j).is_op("(")) {
      j = matching(j);
    } else if (word_at(j, "SELECT") || word_at(j, "WITH")) {
      source = j;
    }
  }
  if (source < 0) fail(928, end_index());
  if (find_top_level(*this, source, end_index(), {"RETURNING", "RETURN"}) != end_index()) fail(933, source);
  const std::string rows = query(source, end_index(), nullptr);
  Scope source_scope;
  TableRef source_table;
  source_table.alias = kSourceAlias;
  source_scope.tables.push_back(source_table);

  std::vector<std::string> conditions;  // of the WHEN clauses read so far
  std::string filter;                   // what lets rows into the current INTO clauses
  const bool conditional = word_at(2, "WHEN");
  if (first_only && !conditional) fail(905, 2);
  int i = 2;
  while (i < source) {
    if (conditional && word_at(i, "WHEN")) {
      const int then = find_top_level(*this, i + 1, source, {"THEN"});
      if (then == source) fail(905, source);
      const std::string condition = rewrite(i + 1, then, source_scope);
      filter = "(" + condition + ") IS TRUE";
      if (first_only && !conditions.empty()) filter += " AND " + none_of(conditions);
      conditions.push_back(condition);
      i = then + 1;
    } else if (conditional && word_at(i, "ELSE")) {
      if (conditions.empty()) fail(905, i);
      filter = none_of(conditions);
      ++i;
    } else if (conditional && filter.empty()) {
      fail(905, i);
    }
    expect_word(i, "INTO");
    const InsertTarget target = insert_target(i);
    std::string values = "*";
    if (word_at(i, "VALUES")) {
      if (!token(i + 1).is_op("(")) fail(906, i + 1);
      const int close = matching(i + 1);
      Scope target_scope;
      target_scope.tables.push_back(target.table);
      values = insert_row_values(target, insert_values(i + 2, close, target_scope, target.columns, &source_scope));
      i = close + 1;
    }
    std::string selected = "SELECT " + values + " FROM (" + rows + ") AS " + quote_name(kSourceAlias);
    if (!filter.empty()) selected += " WHERE " + filter;
    out_.sqlite_sql.push_back(insert_rows(target, selected, i));
  }
  if (out_.sqlite_sql.empty()) fail(926, i);
}

}  // namespace ociemu::sql
