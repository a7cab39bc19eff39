// MERGE as one SQLite statement: UPDATE ... FROM for WHEN MATCHED alone, INSERT ... SELECT
// ... WHERE NOT EXISTS for WHEN NOT MATCHED alone, and for both an INSERT ... ON CONFLICT
// over the unique key that the ON condition matches on. One statement keeps the binds and
// the row count of the call what Oracle gives.
#include <algorithm>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::sql {
namespace {

// Reads an optional alias at i (a name that is not `stop`).
int read_alias(const Translator& t, int i, std::string_view stop, std::string& alias) {
  const Token& word = t.token(i);
  if (word.kind == TokenKind::QuotedName || (word.kind == TokenKind::Word && !word.is_word(stop))) {
    alias = word.text;
    return i + 1;
  }
  return i;
}

// The end of a WHEN clause: the next top-level WHEN, or the end of the statement.
int clause_end(const Translator& t, int i) { return find_top_level(t, i, t.end_index(), {"WHEN"}); }

}  // namespace

void Translator::translate_merge() {
  int i = 1;
  expect_word(i, "INTO");
  TableRef target;
  std::string owner, name;
  const int name_index = i;
  i = read_object_name(i, owner, name);
  target.object = resolve_table(name_index, owner, name);
  if (target.object.type != "TABLE") fail(942, name_index);
  if (table_has_triggers(db_, target.object.owner, target.object.name)) fail(3001, 0);
  target.resolved = true;
  target.alias = name;
  i = read_alias(*this, i, "USING", target.alias);
  expect_word(i, "USING");

  TableRef source;
  std::string source_sql;
  if (token(i).is_op("(")) {
    const int close = matching(i);
    source_sql = "(" + query(i + 1, close, nullptr) + ")";
    i = close + 1;
  } else {
    std::string source_owner, source_name;
    const int source_index = i;
    i = read_object_name(i, source_owner, source_name);
    source.object = resolve_table(source_index, source_owner, source_name);
    source.resolved = true;
    source.alias = source_name;
    source_sql = quote_name(source.object.sqlite_name());
  }
  i = read_alias(*this, i, "ON", source.alias);
  if (source.alias.empty()) source.alias = "OCIEMU$SOURCE";
  source_sql += " AS " + quote_name(source.alias);
  expect_word(i, "ON");
  if (!token(i).is_op("(")) fail(906, i);
  const int on_open = i;
  i = matching(i) + 1;

  Scope both;
  both.tables = {target, source};
  Scope source_only, target_only;
  source_only.tables = {source};
  target_only.tables = {target};
  const std::string on = rewrite(on_open + 1, matching(on_open), both);

  std::vector<std::pair<std::string, std::string>> sets;  // stored column, value
  std::string update_where, insert_where, insert_columns, insert_values_sql;
  bool matched = false, not_matched = false;
  while (word_at(i, "WHEN")) {
    const int end = clause_end(*this, i + 1);
    if (word_at(i + 1, "MATCHED") && !matched) {
      matched = true;
      i += 2;
      expect_word(i, "THEN");
      expect_word(i, "UPDATE");
      expect_word(i, "SET");
      const int where = find_top_level(*this, i, end, {"WHERE", "DELETE"});
      for (int start = i, j = i; j <= where; ++j) {
        if (j < where && token(j).is_op("(")) {
          j = matching(j);
          continue;
        }
        if (j < where && !token(j).is_op(",")) continue;
        int equals = start;
        while (equals < j && !token(equals).is_op("=")) ++equals;
        if (equals >= j) fail(927, j);
        if (word_at(equals - 1, "ROWID")) fail(1747, equals - 1);
        const std::string column = identifier(equals - 1);
        Expression value;
        if (!starts_operand(equals + 1) || expression(equals + 1, j, both, value) != j) {
          value.text = rewrite(equals + 1, j, both);
          value.type = ValueType::Unknown;
        }
        sets.emplace_back(stored_column(target, column), stored_as(target, column, value));
        start = j + 1;
      }
      if (word_at(where, "DELETE")) fail(3001, where);
      if (word_at(where, "WHERE")) {
        if (find_top_level(*this, where + 1, end, {"DELETE"}) != end) fail(3001, where);
        update_where = rewrite(where + 1, end, both);
      }
    } else if (word_at(i + 1, "NOT") && word_at(i + 2, "MATCHED") && !not_matched) {
      not_matched = true;
      i += 3;
      expect_word(i, "THEN");
      expect_word(i, "INSERT");
      std::vector<std::string> targets;
      if (token(i).is_op("(")) {
        const int close = matching(i);
        for (int j = i + 1; j < close; ++j) {
          if (token(j).is_op(",") || token(j + 1).is_op(".") || token(j).is_op(".")) continue;
          targets.push_back(identifier(j));
          insert_columns += (insert_columns.empty() ? "" : ", ") + quote_name(stored_column(target, targets.back()));
        }
        i = close + 1;
      } else {
        targets = table_columns(db_, target.object.sqlite_name());
      }
      expect_word(i, "VALUES");
      if (!token(i).is_op("(")) fail(906, i);
      const int close = matching(i);
      for (const std::string& value : insert_values(i + 1, close, target_only, targets, &source_only))
        insert_values_sql += (insert_values_sql.empty() ? "" : ", ") + value;
      if (close + 1 != end) {
        if (!word_at(close + 1, "WHERE")) fail_not_ended(close + 1);
        insert_where = rewrite(close + 2, end, source_only);
      }
    } else {
      fail(905, i);
    }
    i = end;
  }
  if (!matched && !not_matched) fail(905, i);
  if (i != end_index()) fail_not_ended(i);

  const std::string table = quote_name(target.object.sqlite_name());
  const std::string alias = quote_name(target.alias);
  std::string assignments;
  for (const auto& [column, value] : sets) {
    assignments += (assignments.empty() ? "" : ", ") + quote_name(column) + " = " +
                   (not_matched ? "(SELECT " + value + " FROM " + source_sql + " WHERE " + on + ")" : value);
  }
  const std::string columns = insert_columns.empty() ? "" : " (" + insert_columns + ")";
  // A target row that several source rows meet would be updated by whichever came last.
  const std::string updated_once = "OCIEMU_MERGE_ONCE((SELECT count(*) FROM " + source_sql + " WHERE " + on + "))";
  std::string sql;
  if (!not_matched) {
    sql = "UPDATE " + table + " AS " + alias + " SET " + assignments + " FROM " + source_sql + " WHERE (" + on + ")" +
          (update_where.empty() ? "" : " AND (" + update_where + ")") + " AND " + updated_once;
  } else if (!matched) {
    sql = "INSERT INTO " + table + columns + " SELECT " + insert_values_sql + " FROM " + source_sql +
          " WHERE NOT EXISTS (SELECT 1 FROM " + table + " AS " + alias + " WHERE " + on + ")" +
          (insert_where.empty() ? "" : " AND (" + insert_where + ")");
  } else {
    // The source rows feed the update too: the insert's condition holds back only those that match nothing.
    const std::string kept = insert_where.empty() ? "true"
                                                  : "(" + insert_where + ") IS TRUE OR EXISTS (SELECT 1 FROM " + table +
                                                        " AS " + alias + " WHERE " + on + ")";
    sql = "INSERT INTO " + table + " AS " + alias + columns + " SELECT " + insert_values_sql + " FROM " + source_sql +
          " WHERE " + kept + " ON CONFLICT (" + merge_key(on_open + 1, matching(on_open), target) + ") DO UPDATE SET " +
          assignments + " WHERE " +
          (update_where.empty() ? ""
                                : "EXISTS (SELECT 1 FROM " + source_sql + " WHERE (" + on + ") AND (" + update_where +
                                      ")) AND ") +
          updated_once;
  }
  out_.sqlite_sql.push_back(std::move(sql));
}

// The target's columns that ON (begin..end) compares for equality, as an ON CONFLICT target:
// they must make up a unique key of the target, which is how SQLite finds the matched row.
std::string Translator::merge_key(int begin, int end, const TableRef& target) {
  std::vector<std::string> columns;
  for (int k = begin; k < end; ++k) {
    const bool qualified = token(k).is_op(".") && identifier(k - 1) == target.alias;
    if (qualified && (token(k + 2).is_op("=") || token(k - 2).is_op("=")))
      columns.push_back(identifier(k + 1));
  }
  std::vector<std::string> sorted = columns;
  std::sort(sorted.begin(), sorted.end());
  for (const Constraint& key : table_constraints(db_, target.object.owner, target.object.name)) {
    std::vector<std::string> key_columns = key.columns;
    std::sort(key_columns.begin(), key_columns.end());
    if ((key.type == 'P' || key.type == 'U') && key_columns == sorted) {
      std::string list;
      for (const std::string& column : key.columns)
        list += (list.empty() ? "" : ", ") + quote_name(stored_column(target, column));
      return list;
    }
  }
  fail(3001, begin);  // matching on anything but a unique key
}

}  // namespace ociemu::sql
