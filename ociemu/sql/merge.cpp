// MERGE. Where it can, one SQLite statement: UPDATE ... FROM for WHEN MATCHED alone,
// INSERT ... SELECT ... WHERE NOT EXISTS for WHEN NOT MATCHED alone, and for both an
// INSERT ... ON CONFLICT over the unique key that the ON condition matches on. One
// statement keeps the binds and the row count of the call what Oracle gives.
//
// A DELETE WHERE, an ON condition that is no unique key, or a target with triggers take
// several statements instead: the update, the insert, then the delete. ON's columns cannot
// be updated, so the update leaves the insert's view of matching as it was; the delete
// passes over the rows just inserted and is not counted (its rows were counted as updated).
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

std::string joined(const std::vector<std::string>& items) {
  std::string list;
  for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
  return list;
}

std::string and_also(const std::string& condition) { return condition.empty() ? "" : " AND (" + condition + ")"; }

// Rows the statement just before inserted: the last changes() rowids up to last_insert_rowid().
constexpr const char* kBeforeInsertedRows =
    "(SELECT CASE WHEN changes() > 0 THEN last_insert_rowid() - changes() ELSE 9223372036854775807 END)";

}  // namespace

void Translator::translate_merge() {
  int i = 1;
  expect_word(i, "INTO");
  MergeParts merge;
  TableRef& target = merge.target.table;
  std::string owner, name;
  const int name_index = i;
  i = read_object_name(i, owner, name);
  target.object = resolve_table(name_index, owner, name);
  if (target.object.type != "TABLE") fail(942, name_index);
  merge.target.triggered = table_has_triggers(db_, target.object.owner, target.object.name);
  target.resolved = true;
  target.alias = name;
  i = read_alias(*this, i, "USING", target.alias);
  expect_word(i, "USING");

  TableRef source;
  if (token(i).is_op("(")) {
    const int close = matching(i);
    merge.source_sql = "(" + query(i + 1, close, nullptr) + ")";
    i = close + 1;
  } else {
    std::string source_owner, source_name;
    const int source_index = i;
    i = read_object_name(i, source_owner, source_name);
    source.object = resolve_table(source_index, source_owner, source_name);
    source.resolved = true;
    source.alias = source_name;
    merge.source_sql = quote_name(source.object.sqlite_name());
  }
  i = read_alias(*this, i, "ON", source.alias);
  if (source.alias.empty()) source.alias = "OCIEMU$SOURCE";
  merge.source_sql += " AS " + quote_name(source.alias);
  expect_word(i, "ON");
  if (!token(i).is_op("(")) fail(906, i);
  merge.on_open = i;
  i = matching(i) + 1;

  Scope both, source_only, target_only;
  both.tables = {target, source};
  source_only.tables = {source};
  target_only.tables = {target};
  merge.on = rewrite(merge.on_open + 1, matching(merge.on_open), both);

  while (word_at(i, "WHEN")) {
    const int end = clause_end(*this, i + 1);
    if (word_at(i + 1, "MATCHED") && !merge.matched) {
      i += 2;
      merge_matched_clause(i, end, both, merge);
    } else if (word_at(i + 1, "NOT") && word_at(i + 2, "MATCHED") && !merge.not_matched) {
      i += 3;
      merge_not_matched_clause(i, end, target_only, source_only, merge);
    } else {
      fail(905, i);
    }
    i = end;
  }
  if (!merge.matched && !merge.not_matched) fail(905, i);
  if (i != end_index()) fail_not_ended(i);

  const bool one_statement = !merge.target.triggered && merge.delete_where.empty() &&
                             (!merge.matched || !merge.not_matched ||
                              merge_key(merge.on_open + 1, matching(merge.on_open), target));
  if (!one_statement) return merge_in_steps(merge);
  out_.sqlite_sql.push_back(merge_statement(merge));
}

// THEN UPDATE SET ... [WHERE ...] [DELETE WHERE ...], from i (after MATCHED) to end.
void Translator::merge_matched_clause(int& i, int end, const Scope& both, MergeParts& merge) {
  merge.matched = true;
  const TableRef& target = merge.target.table;
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
    merge.sets.emplace_back(stored_column(target, column), stored_as(target, column, value));
    start = j + 1;
  }
  int delete_at = where;
  if (word_at(where, "WHERE")) {
    delete_at = find_top_level(*this, where + 1, end, {"DELETE"});
    merge.update_where = rewrite(where + 1, delete_at, both);
  }
  if (delete_at < end) {
    if (!word_at(delete_at + 1, "WHERE")) fail(905, delete_at + 1);
    merge.delete_where = rewrite(delete_at + 2, end, both);
  }
}

// THEN INSERT [(columns)] VALUES (...) [WHERE ...], from i (after NOT MATCHED) to end.
void Translator::merge_not_matched_clause(int& i, int end, const Scope& target_only, const Scope& source_only,
                                          MergeParts& merge) {
  merge.not_matched = true;
  const TableRef& target = merge.target.table;
  expect_word(i, "THEN");
  expect_word(i, "INSERT");
  std::vector<std::string> targets;
  if (token(i).is_op("(")) {
    const int close = matching(i);
    for (int j = i + 1; j < close; ++j) {
      if (token(j).is_op(",") || token(j + 1).is_op(".") || token(j).is_op(".")) continue;
      targets.push_back(identifier(j));
    }
    i = close + 1;
  } else {
    targets = table_columns(db_, target.object.sqlite_name());
  }
  expect_word(i, "VALUES");
  if (!token(i).is_op("(")) fail(906, i);
  const int close = matching(i);
  merge.insert_values = insert_values(i + 1, close, target_only, targets, &source_only);
  for (const std::string& column : targets) merge.target.columns.push_back(stored_column(target, column));
  if (close + 1 != end) {
    if (!word_at(close + 1, "WHERE")) fail_not_ended(close + 1);
    merge.insert_where = rewrite(close + 2, end, source_only);
  }
}

std::string Translator::merge_statement(const MergeParts& merge) {
  const TableRef& target = merge.target.table;
  const std::string& source_sql = merge.source_sql;
  const std::string& on = merge.on;
  const std::string table = quote_name(target.object.sqlite_name());
  const std::string alias = quote_name(target.alias);
  std::vector<std::string> assignments, columns;
  for (const auto& [column, value] : merge.sets) {
    assignments.push_back(quote_name(column) + " = " +
                          (merge.not_matched ? "(SELECT " + value + " FROM " + source_sql + " WHERE " + on + ")" : value));
  }
  for (const std::string& column : merge.target.columns) columns.push_back(quote_name(column));
  const std::string column_list = " (" + joined(columns) + ")";
  const std::string values = joined(merge.insert_values);
  // A target row that several source rows meet would be updated by whichever came last.
  const std::string updated_once = "OCIEMU_MERGE_ONCE((SELECT count(*) FROM " + source_sql + " WHERE " + on + "))";
  if (!merge.not_matched) {
    return "UPDATE " + table + " AS " + alias + " SET " + joined(assignments) + " FROM " + source_sql + " WHERE (" + on +
           ")" + and_also(merge.update_where) + " AND " + updated_once;
  }
  if (!merge.matched) {
    return "INSERT INTO " + table + column_list + " SELECT " + values + " FROM " + source_sql +
           " WHERE NOT EXISTS (SELECT 1 FROM " + table + " AS " + alias + " WHERE " + on + ")" +
           and_also(merge.insert_where);
  }
  // The source rows feed the update too: the insert's condition holds back only those that match nothing.
  const std::string kept = merge.insert_where.empty() ? "true"
                                                      : "(" + merge.insert_where + ") IS TRUE OR EXISTS (SELECT 1 FROM " +
                                                            table + " AS " + alias + " WHERE " + on + ")";
  return "INSERT INTO " + table + " AS " + alias + column_list + " SELECT " + values + " FROM " + source_sql + " WHERE " +
         kept + " ON CONFLICT (" + *merge_key(merge.on_open + 1, matching(merge.on_open), target) +
         ") DO UPDATE SET " + joined(assignments) + " WHERE " +
         (merge.update_where.empty()
              ? ""
              : "EXISTS (SELECT 1 FROM " + source_sql + " WHERE (" + on + ") AND (" + merge.update_where + ")) AND ") +
         updated_once;
}

void Translator::merge_in_steps(const MergeParts& merge) {
  const TableRef& target = merge.target.table;
  const std::string table = quote_name(target.object.sqlite_name());
  const std::string alias = quote_name(target.alias);
  const std::string matched_rows = " WHERE (" + merge.on + ")" + and_also(merge.update_where);
  if (merge.matched) {
    const std::string updated_once =
        " AND OCIEMU_MERGE_ONCE((SELECT count(*) FROM " + merge.source_sql + " WHERE " + merge.on + "))";
    if (merge.target.triggered) {
      out_.sqlite_sql.push_back(
          triggered_update(target, merge.sets, ", " + merge.source_sql + matched_rows + updated_once));
    } else {
      std::vector<std::string> assignments;
      for (const auto& [column, value] : merge.sets) assignments.push_back(quote_name(column) + " = " + value);
      out_.sqlite_sql.push_back("UPDATE " + table + " AS " + alias + " SET " + joined(assignments) + " FROM " +
                                merge.source_sql + matched_rows + updated_once);
    }
  }
  if (merge.not_matched) {
    InsertTarget insert = merge.target;
    insert.head = "INSERT INTO " + table;
    if (!insert.triggered) {
      std::vector<std::string> columns;
      for (const std::string& column : insert.columns) columns.push_back(quote_name(column));
      insert.head += " (" + joined(columns) + ")";
    }
    const std::string rows = "SELECT " + joined(merge.insert_values) + " FROM " + merge.source_sql +
                             " WHERE NOT EXISTS (SELECT 1 FROM " + table + " AS " + alias + " WHERE " + merge.on + ")" +
                             and_also(merge.insert_where);
    out_.sqlite_sql.push_back(insert_rows(insert, rows, merge.on_open));
  }
  if (!merge.delete_where.empty()) {
    const std::string not_inserted = merge.not_matched ? alias + ".rowid <= " + kBeforeInsertedRows + " AND " : "";
    out_.sqlite_sql.push_back("DELETE FROM " + table + " AS " + alias + " WHERE " + not_inserted +
                              "EXISTS (SELECT 1 FROM " + merge.source_sql + matched_rows + " AND (" +
                              merge.delete_where + "))");
    out_.last_statement_uncounted = true;
  }
}

// The target's columns that ON (begin..end) compares for equality, as an ON CONFLICT target:
// they must make up a unique key of the target, which is how SQLite finds the matched row.
std::optional<std::string> Translator::merge_key(int begin, int end, const TableRef& target) {
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
  return std::nullopt;
}

}  // namespace ociemu::sql
