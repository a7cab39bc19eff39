// Hierarchical queries: START WITH, CONNECT BY [NOCYCLE] with PRIOR, LEVEL and
// ORDER SIBLINGS BY, as a recursive common table expression whose queue is
// ordered deepest first, so that rows come out depth-first as Oracle gives them.
#include <sqlite3.h>

#include <string>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/messages.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr const char* kTree = "\"OCIEMU$TREE\"";
constexpr const char* kParent = "\"OCIEMU$P\"";
constexpr const char* kLevel = "\"OCIEMU$LEVEL\"";
constexpr const char* kPath = "\"OCIEMU$PATH\"";

bool names_prior(const Translator& t, int begin, int end) {
  for (int i = begin; i < end; ++i) {
    if (t.word_at(i, "PRIOR")) return true;
  }
  return false;
}

}  // namespace

std::optional<Translator::Hierarchy> Translator::hierarchy_clauses(int at, int end) const {
  if (!word_at(at, "START") && !word_at(at, "CONNECT")) return std::nullopt;
  Hierarchy h;
  int i = at;
  while (i < end && (word_at(i, "START") || word_at(i, "CONNECT"))) {
    if (word_at(i, "START")) {
      int k = i + 1;
      expect_word(k, "WITH");
      h.start_begin = k;
      i = h.start_end = find_top_level(*this, k, end, {"CONNECT", "ORDER", "GROUP", "HAVING", "OFFSET", "FETCH"});
      if (h.start_begin >= h.start_end) fail(936, h.start_end);
    } else {
      int k = i + 1;
      expect_word(k, "BY");
      if (word_at(k, "NOCYCLE")) {
        h.nocycle = true;
        ++k;
      }
      h.connect_begin = k;
      i = h.connect_end = find_top_level(*this, k, end, {"START", "ORDER", "GROUP", "HAVING", "OFFSET", "FETCH"});
      if (h.connect_begin >= h.connect_end) fail(936, h.connect_end);
    }
  }
  if (h.connect_begin < 0) fail(1788, at);
  if (word_at(i, "ORDER") && word_at(i + 1, "SIBLINGS")) {
    int k = i + 2;
    expect_word(k, "BY");
    h.siblings_begin = k;
    i = h.siblings_end = find_top_level(*this, k, end, {"OFFSET", "FETCH"});
  }
  h.end = i;
  return h;
}

std::string Translator::hierarchy_star(const Scope& scope) const {
  const TableRef& table = scope.tables.front();
  std::string sql;
  for (const std::string& column : table_columns(db_, table.object.sqlite_name())) {
    sql += (sql.empty() ? "" : ", ") + quote_name(table.alias) + "." + quote_name(column);
  }
  return sql;
}

std::string Translator::hierarchical_source(const Hierarchy& h, const std::string& from_sql, const Scope& scope) {
  const TableRef& table = scope.tables.front();
  const std::string alias = quote_name(table.alias);
  const bool has_rowid = table.resolved && table.object.type == "TABLE";
  const std::string row = has_rowid ? alias + ".rowid" : "NULL";
  const std::string saved_level = std::exchange(level_sql_, "1");
  std::string anchor = "SELECT " + alias + ".*, 1 AS " + kLevel + ", '/' || " + row + " || '/' AS " + kPath +
                       " FROM " + from_sql;
  if (h.start_begin >= 0) anchor += " WHERE " + rewrite(h.start_begin, h.start_end, scope);
  level_sql_ = std::string("(") + kParent + "." + kLevel + " + 1)";
  prior_alias_ = kParent;
  column_prefix_ = alias + ".";  // the child row's columns, which the parent's share names with
  std::string condition = rewrite(h.connect_begin, h.connect_end, scope);
  column_prefix_.clear();
  prior_alias_.clear();
  level_sql_ = saved_level;
  // A child that is its own ancestor: Oracle's ORA-01436, or with NOCYCLE the end of that branch.
  // Without PRIOR nothing ties a child to its parent, and nothing is a loop.
  if (has_rowid && names_prior(*this, h.connect_begin, h.connect_end)) {
    condition = "CASE WHEN (" + condition + ") THEN OCIEMU_NOT_ANCESTOR(" + kParent + "." + kPath + ", " + row + ", " +
                (h.nocycle ? "1" : "0") + ") ELSE 0 END";
  }
  std::string child = "SELECT " + alias + ".*, " + kParent + "." + kLevel + " + 1, " + kParent + "." + kPath +
                      " || " + row + " || '/' FROM " + from_sql + " JOIN " + kTree + " AS " + kParent + " ON " +
                      condition;
  std::string order = std::string(" ORDER BY ") + kLevel + " DESC";
  for (int i = h.siblings_begin; i >= 0 && i < h.siblings_end;) {
    // Sibling order names the table's columns, as the tree's rows carry them.
    int k = i;
    if (token(k + 1).is_op(".")) k += 2;
    order += ", " + quote_name(identifier(k));
    ++k;
    if (word_at(k, "ASC") || word_at(k, "DESC")) order += " " + token(k++).text;
    if (k < h.siblings_end && !token(k).is_op(",")) fail(3001, k);
    i = k + 1;
  }
  return std::string("(WITH RECURSIVE ") + kTree + " AS (" + anchor + " UNION ALL " + child + order +
         ") SELECT * FROM " + kTree + ") AS " + alias;
}

namespace {

void not_ancestor(sqlite3_context* context, int, sqlite3_value** args) {
  const auto* path = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
  const std::string row = "/" + std::to_string(sqlite3_value_int64(args[1])) + "/";
  if (path == nullptr || std::string_view(path).find(row) == std::string_view::npos) return sqlite3_result_int(context, 1);
  if (sqlite3_value_int(args[2]) != 0) return sqlite3_result_int(context, 0);
  const std::string text = full_message(1436, message_text(1436));
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace

void register_hierarchy_functions(sqlite3* db) {
  sqlite3_create_function_v2(db, "OCIEMU_NOT_ANCESTOR", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                             nullptr, not_ancestor, nullptr, nullptr, nullptr);
}

}  // namespace ociemu::sql
