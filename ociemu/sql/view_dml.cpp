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
constexpr const char* kCheckedFunction = "OCIEMU_VIEW_CHECKED";

// The view's base table under the view's own alias, as its query sees it.
Scope view_query_scope(const UpdatableView& view) {
  Scope scope;
  TableRef base;
  base.alias = view.base_alias;
  base.object = view.base;
  base.resolved = true;
  base.view = view.inner;
  scope.tables.push_back(std::move(base));
  return scope;
}

// The view's WHERE condition in SQLite's terms, over the base table under the view's own alias.
std::string view_condition(const UpdatableView& view, sqlite3* db, SessionContext& session) {
  Translator reader(view.text, db, session);
  reader.load_tokens();
  return reader.rewrite(view.where_begin + 1, view.where_end, view_query_scope(view));
}

// The condition that the base table's row under `row` (a quoted alias) is one the view shows,
// through every view it reads; empty when it shows them all.
std::string shown_rows(const UpdatableView& view, const std::string& row, sqlite3* db, SessionContext& session) {
  const std::string own = view.where_begin < 0 ? std::string() : view_condition(view, db, session);
  const std::string alias = quote_name(view.base_alias);
  const std::string inner = view.inner ? shown_rows(*view.inner, alias, db, session) : std::string();
  if (own.empty() && inner.empty()) return {};
  const std::string both = own.empty() ? inner : inner.empty() ? own : "(" + own + ") AND " + inner;
  return row + ".rowid IN (SELECT " + alias + ".rowid FROM " + quote_name(view.base.sqlite_name()) + " AS " + alias +
         " WHERE " + both + ")";
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
  if (!view) return text;
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
  table.object = view->base;
  table.resolved = true;
  table.alias = view->base.name;
  table.view = std::make_shared<const UpdatableView>(std::move(*view));
  return close + 1;
}

std::optional<Expression> Translator::view_computed_column(const TableRef& table, const std::string& name) const {
  const ViewColumn* column = table.view->column(name);
  if (!column || !column->base.empty()) return std::nullopt;
  Translator reader(table.view->text, db_, session_);
  reader.load_tokens();
  const Scope scope = view_query_scope(*table.view);
  Expression value;
  if (reader.expression(column->begin, column->end, scope, value) != column->end) {
    value = Expression{reader.rewrite(column->begin, column->end, scope)};
  }
  // Read from the target's own row: the view's query names the table by its alias, not the statement's.
  const std::string inner = quote_name(table.view->base_alias);
  if (in_returning_) {
    // RETURNING sees the row as changed (or as it was, for DELETE) only through its bare column names.
    std::string row;
    for (const std::string& base : table_columns(db_, table.object.sqlite_name())) {
      row += (row.empty() ? "" : ", ") + quote_name(base) + " AS " + quote_name(base);
    }
    value.text = "(SELECT " + value.text + " FROM (SELECT " + row + ") AS " + inner + ")";
  } else {
    value.text = "(SELECT " + value.text + " FROM " + quote_name(table.object.sqlite_name()) + " AS " + inner +
                 " WHERE " + inner + ".rowid = " + quote_name(table.alias) + ".rowid)";
  }
  value.plain_column = false;
  value.not_null = false;
  return value;
}

std::string Translator::view_base_column(const TableRef& table, const std::string& column) const {
  auto base = table.view->base_column(column);
  if (!base) throw_oracle(kNoColumn, {in_quotes(column)});
  if (base->empty()) throw_oracle(kVirtualColumn);
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
  if (!view->check_option || view->where_begin < 0) return checked;
  return std::string(kCheckedFunction) + "(" + checked + ", EXISTS (SELECT 1 FROM (SELECT " + new_row + ") AS " +
         quote_name(view->base_alias) + " WHERE " + view_condition(*view, db_, session_) + "))";
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
