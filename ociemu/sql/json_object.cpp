// JSON_OBJECT([KEY] name {VALUE | IS | :} value [FORMAT JSON], ... [{NULL | ABSENT} ON NULL]
// [RETURNING type] [STRICT] [WITH UNIQUE KEYS]) over SQLite's json_object. A member of a
// plain column alone is named after the column, as Oracle names it.
#include <string>
#include <vector>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

// Where the member list of JSON_OBJECT(...) ends: at its first trailing clause, or at `close`.
int members_end(const Translator& t, int open, int close) {
  for (int i = open + 1; i < close; ++i) {
    if (t.token(i).is_op("(")) {
      i = t.matching(i);
      continue;
    }
    const bool on_null = (t.word_at(i, "NULL") || t.word_at(i, "ABSENT")) && t.word_at(i + 1, "ON") &&
                         t.word_at(i + 2, "NULL");
    if (on_null || t.word_at(i, "RETURNING") || t.word_at(i, "STRICT") || t.word_at(i, "WITH")) return i;
  }
  return close;
}

// The first of the words (or a ':' operator) in [begin, end) outside parentheses, or `end`.
int name_value_separator(const Translator& t, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    if (t.token(i).is_op("(")) {
      i = t.matching(i);
      continue;
    }
    if (t.word_at(i, "VALUE") || t.word_at(i, "IS") || t.token(i).is_op(":")) return i;
  }
  return end;
}

// Whether a CHECK condition as written is "column IS JSON [...]" for this (stored, upper-case
// unless quoted) column name.
bool says_is_json(const std::string& condition, const std::string& column) {
  const std::vector<Token> tokens = tokenize(condition);
  if (tokens.size() < 4) return false;
  const Token& name = tokens[0];
  return (name.kind == TokenKind::Word || name.kind == TokenKind::QuotedName) && name.text == column &&
         tokens[1].is_word("IS") && tokens[2].is_word("JSON");
}

}  // namespace

// A plain column of a table with a CHECK (column IS JSON) constraint holds JSON, which
// JSON_OBJECT embeds as a value rather than as a string.
bool Translator::column_holds_json(int begin, int end, const Scope& scope) const {
  std::string qualifier, column;
  if (end - begin == 1) {
    column = identifier(begin);
  } else if (end - begin == 3 && token(begin + 1).is_op(".")) {
    qualifier = identifier(begin);
    column = identifier(begin + 2);
  } else {
    return false;
  }
  const TableRef* table = column_table(scope, qualifier, column);
  if (!table || table->view || table->object.owner.empty()) return false;
  for (const Constraint& c : table_constraints(db_, table->object.owner, table->object.name)) {
    if (c.type == 'C' && c.columns.size() == 1 && c.columns[0] == column && says_is_json(c.search_condition, column))
      return true;
  }
  return false;
}

std::string Translator::json_object_member(int begin, int end, const Scope& scope) {
  if (begin >= end) fail(936, begin);
  int name_start = word_at(begin, "KEY") && token(begin + 1).kind == TokenKind::String ? begin + 1 : begin;
  const int separator = name_value_separator(*this, name_start, end);
  if (separator == end) {
    // A column alone: its name is the member's.
    Expression column;
    if (!starts_operand(begin) || expression(begin, end, scope, column) != end || !column.plain_column) fail(907, end);
    const bool json = column_holds_json(begin, end, scope);
    return quote_literal(identifier(end - 1)) + ", " + (json ? "json(" + column.text + ")" : column.text);
  }
  int value_end = end;
  const bool format_json = end - separator > 2 && word_at(end - 2, "FORMAT") && word_at(end - 1, "JSON");
  if (format_json) value_end = end - 2;
  if (separator == name_start || separator + 1 >= value_end) fail(936, separator + 1);
  Expression name, value;
  if (!starts_operand(name_start) || expression(name_start, separator, scope, name) != separator) fail(907, separator);
  if (!starts_operand(separator + 1) || expression(separator + 1, value_end, scope, value) != value_end) {
    fail(907, value_end);
  }
  const std::string key = name.type == ValueType::Text ? name.text : "CAST(" + name.text + " AS TEXT)";
  const bool json = format_json || (value.plain_column && column_holds_json(separator + 1, value_end, scope));
  return key + ", " + (json ? "json(" + value.text + ")" : value.text);
}

std::string Translator::json_object_call(int open, const Scope& scope, Expression& result) {
  const int close = matching(open);
  const int members = members_end(*this, open, close);
  std::string sql = "json_object(";
  int start = open + 1;
  for (int j = open + 1; j <= members && start < members; ++j) {
    if (j < members && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < members && !token(j).is_op(",")) continue;
    sql += (start == open + 1 ? "" : ", ") + json_object_member(start, j, scope);
    start = j + 1;
  }
  if (start == members && members != open + 1) fail(936, members);  // a trailing comma
  sql += ")";
  bool absent_on_null = false;
  int i = members;
  if (i < close && (word_at(i, "NULL") || word_at(i, "ABSENT"))) {
    absent_on_null = word_at(i, "ABSENT");
    i += 3;
  }
  if (word_at(i, "RETURNING")) {
    i += 2;  // the type the text is returned as: it is text either way
    if (token(i).is_op("(")) i = matching(i) + 1;
  }
  if (word_at(i, "STRICT")) ++i;
  if (word_at(i, "WITH") && word_at(i + 1, "UNIQUE") && word_at(i + 2, "KEYS")) i += 3;
  if (i != close) fail(907, i);
  result.type = ValueType::Text;
  // A merge patch drops the members whose value is null.
  return absent_on_null ? "json_patch('{}', " + sql + ")" : sql;
}

}  // namespace ociemu::sql
