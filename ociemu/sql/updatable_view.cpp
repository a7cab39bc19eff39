#include "ociemu/sql/updatable_view.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "ociemu/sql/lexer.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {
namespace {

// Words that make a query's rows something other than rows of its one table.
constexpr std::array<std::string_view, 8> kNotUpdatableClauses = {"GROUP", "HAVING", "CONNECT", "START",
                                                                  "UNION", "INTERSECT", "MINUS", "EXCEPT"};
constexpr std::array<std::string_view, 12> kAggregates = {"COUNT",  "SUM",        "AVG",      "MIN",     "MAX",
                                                          "STDDEV", "VARIANCE",   "LISTAGG",  "MEDIAN",  "COLLECT",
                                                          "ROWNUM", "ROW_NUMBER"};

template <size_t N>
bool is_one_of(const Token& token, const std::array<std::string_view, N>& words) {
  return token.kind == TokenKind::Word && std::find(words.begin(), words.end(), token.text) != words.end();
}

// Walks the stored query's tokens; every method answers false for a shape DML cannot write through.
class ViewReader {
 public:
  explicit ViewReader(const std::string& text) : tokens_(tokenize(text)) {}

  bool read(UpdatableView& view, std::vector<std::string>& items_base) {
    if (!word(0, "SELECT") || word(1, "DISTINCT") || word(1, "UNIQUE")) return false;
    const int from = top_level(1, "FROM");
    if (from >= end() || !no_aggregates()) return false;
    view.from_offset = tokens_[idx(from)].offset;
    int i = from + 1;
    view.base.owner.clear();
    view.base.name = name_at(i++);
    if (op(i, ".")) {
      view.base.owner = view.base.name;
      view.base.name = name_at(i + 1);
      i += 2;
    }
    if (view.base.name.empty()) return false;
    view.base_alias = view.base.name;
    if (!name_at(i).empty() && !word(i, "WHERE") && !word(i, "ORDER") && !is_one_of(tokens_[idx(i)], kNotUpdatableClauses)) {
      view.base_alias = name_at(i++);
    }
    if (word(i, "WHERE")) {
      view.where_begin = i;
      i = top_level(i + 1, "ORDER");
      view.where_end = i;
      for (int k = view.where_begin; k < view.where_end; ++k) {
        if (depth_at(k) == 0 && is_one_of(tokens_[idx(k)], kNotUpdatableClauses)) return false;
      }
    }
    if (i < end() && !word(i, "ORDER")) return false;
    return select_items(from, view.base_alias, items_base);
  }

 private:
  static size_t idx(int i) { return static_cast<size_t>(i); }
  int end() const { return static_cast<int>(tokens_.size()) - 1; }
  bool word(int i, std::string_view w) const { return i <= end() && tokens_[idx(i)].is_word(w); }
  bool op(int i, std::string_view o) const { return i <= end() && tokens_[idx(i)].is_op(o); }
  std::string name_at(int i) const {
    if (i >= end()) return {};
    const Token& t = tokens_[idx(i)];
    if (t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !is_reserved_word(t.text))) return t.text;
    return {};
  }
  int depth_at(int i) const {
    int depth = 0;
    for (int k = 0; k < i; ++k) depth += op(k, "(") ? 1 : op(k, ")") ? -1 : 0;
    return depth;
  }
  int top_level(int begin, std::string_view w) const {
    int depth = 0;
    for (int k = begin; k < end(); ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")")) --depth;
      if (depth == 0 && word(k, w)) return k;
    }
    return end();
  }
  bool no_aggregates() const {
    for (int k = 0; k < end(); ++k) {
      if (!is_one_of(tokens_[idx(k)], kAggregates)) continue;
      if (word(k, "ROWNUM") || op(k + 1, "(")) return false;
    }
    return true;
  }
  // Each item's base column ("" for an expression, "*" for all of them) in order.
  bool select_items(int from, const std::string& alias, std::vector<std::string>& items_base) const {
    int start = 1;
    int depth = 0;
    for (int k = 1; k <= from; ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")")) --depth;
      if (k < from && (depth > 0 || !op(k, ","))) continue;
      items_base.push_back(item_base(start, k, alias));
      start = k + 1;
    }
    return true;
  }
  // col, alias.col, with or without a column alias; * and alias.*.
  std::string item_base(int begin, int stop, const std::string& alias) const {
    int k = begin;
    if (k + 2 <= stop && op(k + 1, ".") && name_at(k) == alias) k += 2;
    if (op(k, "*") && k + 1 == stop) return "*";
    const std::string column = name_at(k);
    if (column.empty()) return {};
    ++k;
    if (word(k, "AS")) ++k;
    if (k == stop || (k + 1 == stop && !name_at(k).empty())) return column;
    return {};
  }

  std::vector<Token> tokens_;
};

std::vector<std::string> stored_lines(sqlite3* db, const SchemaObject& view) {
  Query source(db, "SELECT TEXT FROM \"OCIEMU$SOURCE\" WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = 'VIEW' ORDER BY LINE");
  source.bind(1, view.owner).bind(2, view.name);
  std::vector<std::string> lines;
  while (source.step()) lines.push_back(source.text(0));
  return lines;
}

}  // namespace

std::optional<std::string> UpdatableView::base_column(const std::string& view_column) const {
  for (const auto& [name, base_name] : columns) {
    if (name == view_column) return base_name;
  }
  return std::nullopt;
}

std::optional<UpdatableView> updatable_view(sqlite3* db, const SessionContext& session, const SchemaObject& view) {
  const std::vector<std::string> lines = stored_lines(db, view);
  if (lines.empty()) return std::nullopt;
  UpdatableView result;
  result.text = lines[0];
  if (lines.size() >= static_cast<size_t>(kViewRestrictionLine)) {
    result.read_only = lines[1].find("READ") != std::string::npos;
    result.check_option = lines[1].find("CHECK") != std::string::npos;
  }
  std::vector<std::string> items;
  if (!ViewReader(result.text).read(result, items)) return std::nullopt;
  // Unqualified names in a view's query are the view owner's.
  SessionContext owner_session = session;
  owner_session.current_schema = view.owner;
  auto base = resolve_object(db, owner_session, result.base.owner, result.base.name);
  if (!base || base->type != "TABLE") return std::nullopt;
  result.base = *base;
  std::vector<std::string> shown;
  for (const std::string& item : items) {
    if (item != "*") {
      shown.push_back(item);
      continue;
    }
    for (const std::string& column : table_columns(db, base->sqlite_name())) shown.push_back(column);
  }
  const std::vector<std::string> names = table_columns(db, view.sqlite_name());
  if (names.size() != shown.size()) return std::nullopt;
  for (size_t k = 0; k < names.size(); ++k) result.columns.emplace_back(names[k], shown[k]);
  return result;
}

}  // namespace ociemu::sql
