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

  bool read(UpdatableView& view, std::vector<ViewColumn>& items) {
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
    return select_items(from, view.base_alias, items);
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
  // The items in order.
  bool select_items(int from, const std::string& alias, std::vector<ViewColumn>& items) const {
    int start = 1;
    int depth = 0;
    for (int k = 1; k <= from; ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")")) --depth;
      if (k < from && (depth > 0 || !op(k, ","))) continue;
      items.push_back(item(start, k, alias));
      start = k + 1;
    }
    return true;
  }
  // col, alias.col, with or without a column alias; * and alias.* (base "*"). An expression's base
  // is empty, and so is its name unless it has an alias.
  ViewColumn item(int begin, int stop, const std::string& alias) const {
    int k = begin;
    if (k + 2 <= stop && op(k + 1, ".") && name_at(k) == alias) k += 2;
    if (op(k, "*") && k + 1 == stop) return {"*", "*"};
    const std::string column = name_at(k);
    // A trailing name is a column alias unless an operator joins it to the expression ("a + b").
    const bool aliased = stop - 1 > k && !name_at(stop - 1).empty() &&
                         (tokens_[idx(stop - 2)].kind != TokenKind::Operator || op(stop - 2, ")"));
    const int expression_end = stop - (aliased ? 1 : 0) - (aliased && word(stop - 2, "AS") ? 1 : 0);
    if (!column.empty() && expression_end == k + 1) return {aliased ? name_at(stop - 1) : column, column, begin, k + 1};
    return {aliased ? name_at(stop - 1) : std::string(), std::string(), begin, expression_end};
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

const ViewColumn* UpdatableView::column(const std::string& name) const {
  for (const ViewColumn& column : columns) {
    if (column.name == name) return &column;
  }
  return nullptr;
}

std::optional<std::string> UpdatableView::base_column(const std::string& view_column) const {
  const ViewColumn* found = column(view_column);
  if (!found) return std::nullopt;
  return found->base;
}

namespace {

// A view over the view view.base: its columns become the table's that the inner view shows
// (a column the inner view computes is computed here too), and the inner view's restrictions hold.
bool read_through(sqlite3* db, const SessionContext& session, UpdatableView& view) {
  // Views read in a circle would never end; Oracle refuses such a view before this.
  constexpr int kDeepest = 32;
  thread_local int depth = 0;
  if (depth == kDeepest) return false;
  ++depth;
  auto inner = updatable_view(db, session, view.base);
  --depth;
  if (!inner) return false;
  for (ViewColumn& column : view.columns) {
    if (column.base.empty()) continue;
    const ViewColumn* shown = inner->column(column.base);
    if (!shown) return false;
    column.base = shown->base;
  }
  view.base = inner->base;
  view.read_only = view.read_only || inner->read_only;
  view.inner = std::make_shared<const UpdatableView>(std::move(*inner));
  return true;
}

// The view of query text over one table, resolving unqualified names as `resolving` does; its
// columns are called `names` (the query's own item names when empty).
std::optional<UpdatableView> read_view(sqlite3* db, const SessionContext& resolving, UpdatableView view,
                                       std::vector<std::string> names) {
  std::vector<ViewColumn> items;
  if (!ViewReader(view.text).read(view, items)) return std::nullopt;
  auto base = resolve_object(db, resolving, view.base.owner, view.base.name);
  if (!base || (base->type != "TABLE" && base->type != "VIEW")) return std::nullopt;
  for (ViewColumn& item : items) {
    if (item.base != "*") {
      view.columns.push_back(std::move(item));
      continue;
    }
    for (const std::string& column : table_columns(db, base->sqlite_name())) view.columns.push_back({column, column});
  }
  view.base = *base;
  if (base->type == "VIEW" && !read_through(db, resolving, view)) return std::nullopt;
  if (names.empty()) return view;
  if (names.size() != view.columns.size()) return std::nullopt;
  for (size_t k = 0; k < names.size(); ++k) view.columns[k].name = names[k];
  return view;
}

}  // namespace

std::optional<UpdatableView> updatable_view(sqlite3* db, const SessionContext& session, const SchemaObject& view) {
  const std::vector<std::string> lines = stored_lines(db, view);
  if (lines.empty()) return std::nullopt;
  UpdatableView result;
  result.text = lines[0];
  if (lines.size() >= static_cast<size_t>(kViewRestrictionLine)) {
    result.read_only = lines[1].find("READ") != std::string::npos;
    result.check_option = lines[1].find("CHECK") != std::string::npos;
  }
  // Unqualified names in a view's query are the view owner's.
  SessionContext owner_session = session;
  owner_session.current_schema = view.owner;
  return read_view(db, owner_session, std::move(result), table_columns(db, view.sqlite_name()));
}

std::optional<UpdatableView> inline_view(sqlite3* db, const SessionContext& session, const std::string& query) {
  UpdatableView result;
  result.text = query;
  const std::vector<Token> tokens = tokenize(query);
  const size_t end = tokens.size() - 1;
  // A trailing WITH CHECK OPTION [CONSTRAINT name] or WITH READ ONLY.
  for (size_t k = 0; k + 2 < end; ++k) {
    if (!tokens[k].is_word("WITH")) continue;
    const bool check = tokens[k + 1].is_word("CHECK") && tokens[k + 2].is_word("OPTION") &&
                       (k + 3 == end || (k + 5 == end && tokens[k + 3].is_word("CONSTRAINT")));
    const bool read_only = tokens[k + 1].is_word("READ") && tokens[k + 2].is_word("ONLY") && k + 3 == end;
    if (!check && !read_only) continue;
    result.check_option = check;
    result.read_only = read_only;
    result.text = query.substr(0, static_cast<size_t>(tokens[k].offset));
    break;
  }
  return read_view(db, session, std::move(result), {});
}

}  // namespace ociemu::sql
