// INSERT, UPDATE and DELETE through a view that shows one table's rows: the statement
// is written against the base table, the view's WHERE keeps UPDATE and DELETE to the
// rows the view shows, and WITH CHECK OPTION refuses a change that would hide its row.
// Such a view's ROWID is its base table's, so that a row read through it can be found again.
#include <algorithm>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/stored_names.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr int kNotUpdatableView = 1732, kReadOnlyView = 42399, kVirtualColumn = 1733, kNoColumn = 904;
constexpr int kNotKeyPreserved = 1779, kMoreThanOneTable = 1776, kNoSingleDeleteTable = 1752;
constexpr const char* kCheckedFunction = "OCIEMU_VIEW_CHECKED";

// The view's tables under the view's own aliases, as its query sees them.
Scope view_query_scope(const UpdatableView& view) {
  Scope scope;
  TableRef base;
  base.alias = view.base_alias;
  base.object = view.base;
  base.resolved = true;
  base.view = view.inner;
  if (view.joined.empty()) scope.tables.push_back(std::move(base));
  for (const JoinedTable& joined : view.joined) {
    TableRef table;
    table.alias = joined.alias;
    table.object = joined.object;
    table.resolved = true;
    scope.tables.push_back(std::move(table));
  }
  return scope;
}

bool has_condition(const UpdatableView& view) { return view.where_begin >= 0 || !view.on_conditions.empty(); }

// The view's WHERE in SQLite's terms, over its tables under the view's own aliases; empty without
// one. Its join conditions stay in its FROM.
std::string view_condition(const UpdatableView& view, sqlite3* db, SessionContext& session) {
  if (view.where_begin < 0) return {};
  Translator reader(view.text, db, session);
  reader.load_tokens();
  return reader.rewrite(view.where_begin + 1, view.where_end, view_query_scope(view));
}

// The view's FROM in SQLite's terms, joined as the view joins its tables, the rows being written
// read from `written` (a table or a one-row query).
std::string view_tables(const UpdatableView& view, const std::string& written, sqlite3* db, SessionContext& session) {
  if (view.joined.empty()) return written + " AS " + quote_name(view.base_alias);
  Translator reader(view.text, db, session);
  reader.load_tokens();
  const Scope scope = view_query_scope(view);
  std::string tables;
  for (const JoinedTable& joined : view.joined) {
    if (!tables.empty()) tables += joined.join == "," ? ", " : " " + joined.join + " ";
    tables += (joined.alias == view.base_alias ? written : quote_name(joined.object.sqlite_name())) + " AS " +
              quote_name(joined.alias);
    if (joined.on < 0) continue;
    const auto& [begin, end] = view.on_conditions[static_cast<size_t>(joined.on)];
    tables += " ON (" + reader.rewrite(begin, end, scope) + ")";
  }
  return tables;
}

// The condition that the base table's row under `row` (a quoted alias) is one the view shows,
// through every view it reads; empty when it shows them all.
std::string shown_rows(const UpdatableView& view, const std::string& row, sqlite3* db, SessionContext& session) {
  const std::string own = view_condition(view, db, session);
  const std::string alias = quote_name(view.base_alias);
  const std::string inner = view.inner ? shown_rows(*view.inner, alias, db, session) : std::string();
  if (own.empty() && inner.empty() && view.joined.empty()) return {};
  const std::string both = own.empty() ? inner : inner.empty() ? own : "(" + own + ") AND " + inner;
  return row + ".rowid IN (SELECT " + alias + ".rowid FROM " +
         view_tables(view, quote_name(view.base.sqlite_name()), db, session) + (both.empty() ? "" : " WHERE " + both) +
         ")";
}

// "value AS column" for every column of the base table: the assigned value, else `otherwise(column)`.
template <typename Otherwise>
std::string row_items(const std::vector<std::string>& columns, const std::vector<std::string>& assigned,
                      const std::vector<std::string>& values, Otherwise otherwise) {
  std::string row;
  for (const std::string& column : columns) {
    const auto found = std::find(assigned.begin(), assigned.end(), column);
    const std::string value = found != assigned.end() ? values[static_cast<size_t>(found - assigned.begin())]
                                                      : otherwise(column);
    row += (row.empty() ? "" : ", ") + value + " AS " + quote_name(column);
  }
  return row;
}

// Whether the tokens read ROWID unqualified or as alias.ROWID.
bool reads_rowid(const Translator& t, const std::string& alias) {
  for (int k = 0; k < t.end_index(); ++k) {
    if (!t.word_at(k, "ROWID")) continue;
    if (k < 2 || !t.token(k - 1).is_op(".") || t.token(k - 2).text == alias) return true;
  }
  return false;
}

}  // namespace

std::string Translator::view_source_with_rowid(TableRef& table, const std::string& text) const {
  if (!table.resolved || table.object.type != "VIEW" || !reads_rowid(*this, table.alias)) return text;
  auto view = updatable_view(db_, session_, table.object);
  if (!view || (!view->joined.empty() && view->key_preserved().empty())) return text;
  const auto from = static_cast<size_t>(view->from_offset);
  const std::string with_rowid = view->text.substr(0, from) + ", " + quote_name(view->base_alias) + ".ROWID " +
                                 view->text.substr(from);
  Translator reader(with_rowid, db_, session_);
  reader.load_tokens();
  const Scope not_top_level;
  const std::string rows = reader.query(0, reader.end_index(), &not_top_level);
  // Named as the view names its columns, whatever the query's own headings are.
  std::string names;
  for (const std::string& column : table_columns(db_, table.object.sqlite_name())) names += quote_name(column) + ", ";
  table.rowid_base = view->base;
  return "(WITH \"OCIEMU$VIEW\"(" + names + quote_name(kViewRowidColumn) + ") AS (" + rows +
         ") SELECT * FROM \"OCIEMU$VIEW\")";
}

void Translator::write_through_view(TableRef& table, int name_index) const {
  if (table.object.type != "VIEW") return;
  auto view = updatable_view(db_, session_, table.object);
  if (!view) fail(kNotUpdatableView, name_index);
  if (view->read_only) fail(kReadOnlyView, name_index);
  if (!view->joined.empty()) *view = written_table(*view, name_index);
  table.object = view->base;
  table.view = std::make_shared<const UpdatableView>(std::move(*view));
}

int Translator::write_through_subquery(TableRef& table, int open) const {
  const int close = matching(open);
  const auto begin = static_cast<size_t>(token(open + 1).offset);
  // Its text is read again on its own, where binds would be numbered apart from the statement's.
  for (int k = open + 1; k < close; ++k) {
    if (token(k).kind == TokenKind::Placeholder) fail(kNotUpdatableView, k);
  }
  auto view = inline_view(db_, session_, std::string(sql_.substr(begin, static_cast<size_t>(token(close).offset) - begin)));
  if (!view) fail(kNotUpdatableView, open + 1);
  if (view->read_only) fail(kReadOnlyView, open + 1);
  if (!view->joined.empty()) *view = written_table(*view, close + 1);
  table.object = view->base;
  table.resolved = true;
  table.alias = view->base.name;
  table.view = std::make_shared<const UpdatableView>(std::move(*view));
  return close + 1;
}

std::optional<Expression> Translator::view_computed_column(const TableRef& table, const std::string& name) const {
  const UpdatableView& view = *table.view;
  const ViewColumn* column = view.column(name);
  if (!column || (!column->base.empty() && !column->foreign)) return std::nullopt;
  Expression value;
  if (column->begin < 0) {
    value.text = quote_name(column->table) + "." + quote_name(column->base);  // from a joined table's *
  } else {
    Translator reader(view.text, db_, session_);
    reader.load_tokens();
    const Scope scope = view_query_scope(view);
    if (reader.expression(column->begin, column->end, scope, value) != column->end) {
      value = Expression{reader.rewrite(column->begin, column->end, scope)};
    }
  }
  // Read from the target's own row: the view's query names the table by its alias, not the statement's.
  // A join view's other tables join in through its conditions; the target being key-preserved, at most one row does.
  const std::string inner = quote_name(view.base_alias);
  const std::string joined = view.joined.empty() ? std::string() : view_condition(view, db_, session_);
  if (in_returning_) {
    // RETURNING sees the row as changed (or as it was, for DELETE) only through its bare column names.
    std::string row;
    for (const std::string& base : table_columns(db_, table.object.sqlite_name())) {
      row += (row.empty() ? "" : ", ") + quote_name(base) + " AS " + quote_name(base);
    }
    value.text = "(SELECT " + value.text + " FROM " + view_tables(view, "(SELECT " + row + ")", db_, session_) +
                 (joined.empty() ? "" : " WHERE " + joined) + ")";
  } else {
    value.text = "(SELECT " + value.text + " FROM " +
                 view_tables(view, quote_name(table.object.sqlite_name()), db_, session_) +
                 " WHERE " + inner + ".rowid = " + quote_name(table.alias) + ".rowid" +
                 (joined.empty() ? "" : " AND " + joined) + ")";
  }
  value.plain_column = false;
  value.not_null = false;
  return value;
}

// A join view is written through the one key-preserved table whose columns the statement writes;
// DELETE needs the view to have exactly one.
UpdatableView Translator::written_table(const UpdatableView& view, int after_name) const {
  const std::vector<size_t> preserved = view.key_preserved();
  const auto written = written_view_columns(view, after_name);
  if (!written) {
    if (preserved.size() != 1) fail(kNoSingleDeleteTable, after_name);
    return view.written_onto(preserved.front());
  }
  std::optional<size_t> target;
  for (const std::string& name : *written) {
    const ViewColumn* column = view.column(name);
    if (!column || column->base.empty()) continue;  // ORA-00904 or ORA-01733 comes with the column itself
    size_t table = 0;
    while (view.joined[table].alias != column->table) ++table;
    if (std::find(preserved.begin(), preserved.end(), table) == preserved.end()) fail(kNotKeyPreserved, after_name);
    if (target && *target != table) fail(kMoreThanOneTable, after_name);
    target = table;
  }
  if (!target && preserved.empty()) fail(kNotKeyPreserved, after_name);
  return view.written_onto(target.value_or(preserved.front()));
}

// The view columns an UPDATE's SET or an INSERT's column list names after the view's name (all the
// view's columns for an INSERT without a list); nullopt for DELETE.
std::optional<std::vector<std::string>> Translator::written_view_columns(const UpdatableView& view, int after) const {
  if (word_at(0, "DELETE")) return std::nullopt;
  std::vector<std::string> names;
  if (word_at(0, "UPDATE")) {
    const int set = find_top_level(*this, after, end_index(), {"SET"});
    const int set_end = find_top_level(*this, set, end_index(), {"WHERE", "RETURNING", "RETURN"});
    bool assigned_side = true;  // "a = ...", "(a, b) = (SELECT ...)"
    for (int k = set + 1; k < set_end; ++k) {
      if (!assigned_side) {
        if (token(k).is_op("(")) k = matching(k);
        assigned_side = token(k).is_op(",");
      } else if (token(k).is_op("=")) {
        assigned_side = false;
      } else if ((token(k).kind == TokenKind::Word || token(k).kind == TokenKind::QuotedName) && !token(k + 1).is_op(".")) {
        names.push_back(identifier(k));
      }
    }
    return names;
  }
  int k = after;
  while (k < end_index() && !token(k).is_op("(") && !word_at(k, "VALUES") && !word_at(k, "SELECT")) ++k;
  if (!token(k).is_op("(") || word_at(k + 1, "SELECT") || word_at(k + 1, "WITH")) {
    for (const ViewColumn& column : view.columns) names.push_back(column.name);
    return names;
  }
  for (int j = k + 1; j < matching(k); ++j) {
    if (!token(j).is_op(",") && !token(j).is_op(".") && !token(j + 1).is_op(".")) names.push_back(identifier(j));
  }
  return names;
}

std::string Translator::view_base_column(const TableRef& table, const std::string& column) const {
  auto base = table.view->base_column(column);
  if (!base) throw_oracle(kNoColumn, {in_quotes(column)});
  if (base->empty()) throw_oracle(table.view->column(column)->foreign ? kNotKeyPreserved : kVirtualColumn);
  return *base;
}

std::string Translator::view_rows_condition(const TableRef& table) const {
  return table.view ? shown_rows(*table.view, quote_name(table.alias), db_, session_) : std::string();
}

// A view over a view answers for its own WITH CHECK OPTION, and the view it reads for its own.
std::string Translator::checked_by_view(const UpdatableView* view, const std::string& value,
                                        const std::string& new_row) const {
  if (!view) return value;
  const std::string checked = checked_by_view(view->inner.get(), value, new_row);
  if (!view->check_option || !has_condition(*view)) return checked;
  const std::string condition = view_condition(*view, db_, session_);
  return std::string(kCheckedFunction) + "(" + checked + ", EXISTS (SELECT 1 FROM " +
         view_tables(*view, "(SELECT " + new_row + ")", db_, session_) +
         (condition.empty() ? "" : " WHERE " + condition) + "))";
}

std::optional<std::pair<std::string, std::string>> Translator::view_checked_assignment(
    const TableRef& table, const std::vector<std::pair<std::string, std::string>>& sets) const {
  if (!table.view || !table.view->checks_changes() || sets.empty()) return std::nullopt;
  std::vector<std::string> assigned, values;
  for (const auto& [column, value] : sets) assigned.push_back(column), values.push_back(value);
  const std::string alias = quote_name(table.alias) + ".";
  const std::string row = row_items(table_columns(db_, table.object.sqlite_name()), assigned, values,
                                    [&](const std::string& column) { return alias + quote_name(column); });
  return std::make_pair(sets.back().first, checked_by_view(table.view.get(), sets.back().second, row));
}

// The row is made once, in a materialized query, so that a value such as NEXTVAL is not taken again
// for the check; the columns the INSERT leaves out are checked at their defaults.
std::string Translator::view_checked_rows(const InsertTarget& target, const std::string& source) const {
  if (!target.view || !target.view->checks_changes() || target.columns.empty()) return source;
  std::string names;
  std::vector<std::string> values;
  for (size_t k = 0; k < target.columns.size(); ++k) {
    names += (k ? ", " : "") + quote_name(std::to_string(k + 1));
    values.push_back("\"OCIEMU$C\"." + quote_name(std::to_string(k + 1)));
  }
  const std::vector<ColumnDefault> defaults = column_defaults(db_, target.table.object.sqlite_name());
  std::vector<std::string> columns;
  for (const ColumnDefault& column : defaults) columns.push_back(column.name);
  const std::string row = row_items(columns, target.columns, values, [&](const std::string& column) {
    const auto found = std::find_if(defaults.begin(), defaults.end(), [&](const ColumnDefault& d) { return d.name == column; });
    return found->sql.empty() ? std::string("NULL") : found->sql;
  });
  values.back() = checked_by_view(target.view.get(), values.back(), row);
  std::string items;
  for (const std::string& value : values) items += (items.empty() ? "" : ", ") + value;
  return "WITH \"OCIEMU$C\"(" + names + ") AS MATERIALIZED (" + source + ") SELECT " + items + " FROM \"OCIEMU$C\"";
}

}  // namespace ociemu::sql
