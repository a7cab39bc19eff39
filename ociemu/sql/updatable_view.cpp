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

struct QualifiedColumn {
  std::string qualifier;  // the alias it was named with; empty when unqualified
  std::string column;
};

// Walks the stored query's tokens; every method answers false for a shape DML cannot write through.
class ViewReader {
 public:
  explicit ViewReader(const std::string& text) : tokens_(tokenize(text)) {}

  bool read(UpdatableView& view, std::vector<ViewColumn>& items) const {
    if (!word(0, "SELECT") || word(1, "DISTINCT") || word(1, "UNIQUE")) return false;
    const int from = top_level(1, "FROM");
    if (from >= end() || !no_aggregates()) return false;
    view.from_offset = tokens_[idx(from)].offset;
    int i = from + 1;
    if (!from_list(i, view)) return false;
    if (word(i, "WHERE")) {
      view.where_begin = i;
      i = top_level(i + 1, "ORDER");
      view.where_end = i;
      for (int k = view.where_begin; k < view.where_end; ++k) {
        if (depth_at(k) == 0 && is_one_of(tokens_[idx(k)], kNotUpdatableClauses)) return false;
        if (op(k, "(") && op(k + 1, "+")) return false;  // an outer join
      }
    }
    if (i < end() && !word(i, "ORDER")) return false;
    std::vector<std::string> aliases;
    for (const JoinedTable& table : view.joined) aliases.push_back(table.alias);
    if (view.joined.size() == 1) {
      view.base = view.joined[0].object;
      view.base_alias = view.joined[0].alias;
      view.joined.clear();
    }
    return select_items(from, aliases, items);
  }

  // Equalities "a.x = b.y" among the top-level AND terms of the condition at tokens begin..stop;
  // none when an OR at its top level makes them optional.
  std::vector<std::pair<QualifiedColumn, QualifiedColumn>> equated_columns(int begin, int stop) const {
    std::vector<std::pair<QualifiedColumn, QualifiedColumn>> equated;
    int depth = 0, term = begin;
    for (int k = begin; k <= stop; ++k) {
      if (k < stop && op(k, "(")) ++depth;
      if (k < stop && op(k, ")")) --depth;
      if (k < stop && depth == 0 && word(k, "OR")) return {};
      if (k < stop && (depth > 0 || !word(k, "AND"))) continue;
      QualifiedColumn left, right;
      int at = term;
      if (column_at(at, left) && op(at, "=") && column_at(++at, right) && at == k) equated.emplace_back(left, right);
      term = k + 1;
    }
    return equated;
  }

 private:
  // Words that end a FROM item where an alias could stand.
  static bool ends_from_item(const Token& token) {
    constexpr std::array<std::string_view, 10> kJoinWords = {"JOIN",  "INNER", "LEFT",    "RIGHT", "FULL",
                                                             "CROSS", "OUTER", "NATURAL", "USING", "ORDER"};
    return is_one_of(token, kJoinWords) || is_one_of(token, kNotUpdatableClauses);
  }
  // owner.table or table, with an optional alias, at i.
  bool from_item(int& i, UpdatableView& view) const {
    JoinedTable table;
    table.object.name = name_at(i++);
    if (op(i, ".")) {
      table.object.owner = table.object.name;
      table.object.name = name_at(i + 1);
      i += 2;
    }
    if (table.object.name.empty()) return false;
    table.alias = table.object.name;
    if (!name_at(i).empty() && !ends_from_item(tokens_[idx(i)])) table.alias = name_at(i++);
    view.joined.push_back(std::move(table));
    return true;
  }
  // Tables joined by commas, by [INNER] JOIN ... ON or by LEFT/RIGHT [OUTER] JOIN ... ON; any
  // other join is not written through.
  bool from_list(int& i, UpdatableView& view) const {
    if (!from_item(i, view)) return false;
    for (std::string join; !(join = join_at(i)).empty();) {
      if (!from_item(i, view)) return false;
      if (join == ",") continue;
      if (!word(i, "ON")) return false;
      const int stop = join_condition_end(i + 1);
      JoinedTable& joined = view.joined.back();
      joined.join = join;
      joined.on = static_cast<int>(view.on_conditions.size());
      view.on_conditions.emplace_back(i + 1, stop);
      i = stop;
      if (join == "LEFT JOIN") joined.null_supplying = true;
      if (join == "RIGHT JOIN") {
        for (size_t k = 0; k + 1 < view.joined.size(); ++k) view.joined[k].null_supplying = true;
      }
    }
    return true;
  }
  // The join that starts at i, which is left after it: "," "JOIN" "LEFT JOIN" "RIGHT JOIN"; empty for none.
  std::string join_at(int& i) const {
    std::string join;
    int words = 0;
    if (op(i, ",")) {
      join = ",", words = 1;
    } else if (word(i, "JOIN")) {
      join = "JOIN", words = 1;
    } else if (word(i, "INNER") && word(i + 1, "JOIN")) {
      join = "JOIN", words = 2;
    } else if (word(i, "LEFT") || word(i, "RIGHT")) {
      words = word(i + 1, "OUTER") ? 3 : 2;
      if (word(i + words - 1, "JOIN")) join = tokens_[idx(i)].text + " JOIN";
    }
    if (!join.empty()) i += words;
    return join;
  }
  int join_condition_end(int begin) const {
    int depth = 0;
    for (int k = begin; k < end(); ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")")) --depth;
      if (depth == 0 && (op(k, ",") || word(k, "WHERE") || ends_from_item(tokens_[idx(k)]))) return k;
    }
    return end();
  }
  // [alias.]column at `at`, which is left after it.
  bool column_at(int& at, QualifiedColumn& column) const {
    column.column = name_at(at);
    if (column.column.empty()) return false;
    if (op(at + 1, ".")) {
      column.qualifier = column.column;
      column.column = name_at(at + 2);
      at += 2;
    }
    ++at;
    return !column.column.empty();
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
  bool select_items(int from, const std::vector<std::string>& aliases, std::vector<ViewColumn>& items) const {
    int start = 1;
    int depth = 0;
    for (int k = 1; k <= from; ++k) {
      if (op(k, "(")) ++depth;
      if (op(k, ")")) --depth;
      if (k < from && (depth > 0 || !op(k, ","))) continue;
      items.push_back(item(start, k, aliases));
      start = k + 1;
    }
    return true;
  }
  // col, alias.col, with or without a column alias; * and alias.* (base "*"). An expression's base
  // is empty, and so is its name unless it has an alias. A join view's column keeps the alias it
  // was qualified with as its table.
  ViewColumn item(int begin, int stop, const std::vector<std::string>& aliases) const {
    int k = begin;
    std::string table;
    if (k + 2 <= stop && op(k + 1, ".") && std::find(aliases.begin(), aliases.end(), name_at(k)) != aliases.end()) {
      table = aliases.size() > 1 ? name_at(k) : std::string();
      k += 2;
    }
    if (op(k, "*") && k + 1 == stop) return {"*", "*", -1, -1, table};
    const std::string column = name_at(k);
    // A trailing name is a column alias unless an operator joins it to the expression ("a + b").
    const bool aliased = stop - 1 > k && !name_at(stop - 1).empty() &&
                         (tokens_[idx(stop - 2)].kind != TokenKind::Operator || op(stop - 2, ")"));
    const int expression_end = stop - (aliased ? 1 : 0) - (aliased && word(stop - 2, "AS") ? 1 : 0);
    if (!column.empty() && expression_end == k + 1) {
      return {aliased ? name_at(stop - 1) : column, column, begin, k + 1, table};
    }
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
  return found->foreign ? std::string() : found->base;
}

std::vector<size_t> UpdatableView::key_preserved() const {
  std::vector<size_t> preserved;
  for (size_t k = 0; k < joined.size(); ++k) {
    if (joined[k].key_preserved) preserved.push_back(k);
  }
  return preserved;
}

UpdatableView UpdatableView::written_onto(size_t target) const {
  UpdatableView onto = *this;
  onto.base = joined[target].object;
  onto.base_alias = joined[target].alias;
  for (ViewColumn& column : onto.columns) column.foreign = !column.base.empty() && column.table != onto.base_alias;
  return onto;
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

// A join view's column named without its table's alias: the one table that has such a column.
std::string table_of_column(const std::vector<JoinedTable>& tables, const std::vector<std::vector<std::string>>& columns,
                            const std::string& column) {
  std::string found;
  for (size_t k = 0; k < tables.size(); ++k) {
    if (std::find(columns[k].begin(), columns[k].end(), column) == columns[k].end()) continue;
    if (!found.empty()) return {};
    found = tables[k].alias;
  }
  return found;
}

// A table is key-preserved when, starting from it, every other table joins in through all the
// columns of one of its primary or unique keys, each equated to a column of a table joined before.
bool is_key_preserved(size_t start, const std::vector<JoinedTable>& tables,
                      const std::vector<std::vector<std::vector<std::string>>>& keys,
                      const std::vector<std::pair<QualifiedColumn, QualifiedColumn>>& equated) {
  std::vector<bool> reached(tables.size(), false);
  reached[start] = true;
  const auto reached_alias = [&](const std::string& alias) {
    for (size_t k = 0; k < tables.size(); ++k) {
      if (tables[k].alias == alias) return static_cast<bool>(reached[k]);
    }
    return false;
  };
  // Whether column of the table at `table` is equated to a column of a table already reached.
  const auto joined_in = [&](size_t table, const std::string& column) {
    for (const auto& [left, right] : equated) {
      if (left.qualifier == tables[table].alias && left.column == column && reached_alias(right.qualifier)) return true;
      if (right.qualifier == tables[table].alias && right.column == column && reached_alias(left.qualifier)) return true;
    }
    return false;
  };
  for (bool grew = true; grew;) {
    grew = false;
    for (size_t k = 0; k < tables.size(); ++k) {
      if (reached[k]) continue;
      for (const std::vector<std::string>& key : keys[k]) {
        if (!std::all_of(key.begin(), key.end(), [&](const std::string& column) { return joined_in(k, column); })) continue;
        reached[k] = grew = true;
        break;
      }
    }
  }
  return std::all_of(reached.begin(), reached.end(), [](bool r) { return r; });
}

// The join view of view.joined: each table resolved, every column given its table, and the
// key-preserved tables marked. Its base is the first key-preserved table, whose ROWID the view's is.
bool read_join(sqlite3* db, const SessionContext& resolving, const ViewReader& reader, UpdatableView& view,
               std::vector<ViewColumn> items) {
  std::vector<std::vector<std::string>> columns;
  std::vector<std::vector<std::vector<std::string>>> keys;
  for (JoinedTable& table : view.joined) {
    auto object = resolve_object(db, resolving, table.object.owner, table.object.name);
    if (!object || object->type != "TABLE") return false;
    table.object = *object;
    columns.push_back(table_columns(db, object->sqlite_name()));
    keys.push_back(unique_keys(db, object->owner, object->name));
  }
  for (ViewColumn& item : items) {
    if (item.base != "*") {
      if (!item.base.empty() && item.table.empty()) item.table = table_of_column(view.joined, columns, item.base);
      if (item.table.empty()) item.base.clear();  // a name no one table has is no column to write
      view.columns.push_back(std::move(item));
      continue;
    }
    for (size_t k = 0; k < view.joined.size(); ++k) {
      if (!item.table.empty() && item.table != view.joined[k].alias) continue;
      for (const std::string& column : columns[k]) view.columns.push_back({column, column, -1, -1, view.joined[k].alias});
    }
  }
  std::vector<std::pair<int, int>> conditions = view.on_conditions;
  if (view.where_begin >= 0) conditions.emplace_back(view.where_begin + 1, view.where_end);
  std::vector<std::pair<QualifiedColumn, QualifiedColumn>> equated;
  for (const auto& [begin, stop] : conditions) {
    for (auto& pair : reader.equated_columns(begin, stop)) equated.push_back(std::move(pair));
  }
  for (auto& [left, right] : equated) {
    for (QualifiedColumn* side : {&left, &right}) {
      if (side->qualifier.empty()) side->qualifier = table_of_column(view.joined, columns, side->column);
    }
  }
  for (size_t k = 0; k < view.joined.size(); ++k) {
    view.joined[k].key_preserved = !view.joined[k].null_supplying && is_key_preserved(k, view.joined, keys, equated);
  }
  const std::vector<size_t> preserved = view.key_preserved();
  const size_t rowid_table = preserved.empty() ? 0 : preserved.front();
  view.base = view.joined[rowid_table].object;
  view.base_alias = view.joined[rowid_table].alias;
  return true;
}

// The columns are called `names` (the query's own item names when empty).
std::optional<UpdatableView> named(UpdatableView view, const std::vector<std::string>& names) {
  if (names.empty()) return view;
  if (names.size() != view.columns.size()) return std::nullopt;
  for (size_t k = 0; k < names.size(); ++k) view.columns[k].name = names[k];
  return view;
}

// The view of query text over one table or a join, resolving unqualified names as `resolving` does;
// its columns are called `names` (the query's own item names when empty).
std::optional<UpdatableView> read_view(sqlite3* db, const SessionContext& resolving, UpdatableView view,
                                       const std::vector<std::string>& names) {
  std::vector<ViewColumn> items;
  const ViewReader reader(view.text);
  if (!reader.read(view, items)) return std::nullopt;
  if (!view.joined.empty()) {
    if (!read_join(db, resolving, reader, view, std::move(items))) return std::nullopt;
    return named(std::move(view), names);
  }
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
  return named(std::move(view), names);
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
