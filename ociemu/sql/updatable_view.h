// Views that DML may write through: a plain projection of one table, or of such a
// view, or of a join of tables (inner, or LEFT/RIGHT outer), with an optional WHERE, read
// back from the view's stored query text. Anything else (full outer joins, aggregates,
// DISTINCT, set operators, ROWNUM) is refused with ORA-01732 by whoever asks.
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ociemu/sql/catalogue.h"

struct sqlite3;

namespace ociemu::sql {

struct ViewColumn {
  std::string name;  // as the view names it; empty for an expression without an alias in a sub-query
  std::string base;  // the base table's column it shows; empty for an expression
  int begin = -1, end = -1;  // its select item's tokens in the view's text, without the alias
  std::string table = {};    // a join view's: the alias of the table it shows a column of
  bool foreign = false;      // shows a column of a joined table other than the one written
};

// One table of a join view's FROM list.
struct JoinedTable {
  SchemaObject object;
  std::string alias;            // as the view's query names it
  std::string join = ",";       // how it joins the tables before it: ",", "JOIN", "LEFT JOIN" or "RIGHT JOIN"
  int on = -1;                  // its ON condition, by index into UpdatableView::on_conditions
  bool null_supplying = false;  // an outer join may show a row of nulls for it, so it keeps no keys
  bool key_preserved = false;   // each of its rows shows at most once in the view
};

struct UpdatableView {
  SchemaObject base;       // the table the rows live in
  std::string base_alias;  // how the view's query names what it reads (its alias, else its name)
  // The view this one reads, when it is over a view rather than over the table itself.
  std::shared_ptr<const UpdatableView> inner;
  std::vector<ViewColumn> columns;  // in order
  std::string text;        // the view's query as stored
  int from_offset = 0;     // character offset of its FROM in text
  int where_begin = -1;    // tokens of text: the WHERE keyword and the end of its condition; -1 without one
  int where_end = -1;
  bool check_option = false;  // WITH CHECK OPTION: changed rows must stay visible
  bool read_only = false;     // WITH READ ONLY
  std::vector<JoinedTable> joined;  // a join view's tables in FROM order; empty for one table
  std::vector<std::pair<int, int>> on_conditions;  // tokens of text: each JOIN's ON condition

  // The key-preserved tables of a join view, by index into joined.
  std::vector<size_t> key_preserved() const;
  // A join view seen as the view of its table at `target`: the other tables' columns become foreign.
  UpdatableView written_onto(size_t target) const;
  // Whether a changed row must stay visible, to this view or to one it reads.
  bool checks_changes() const {
    return (check_option && (where_begin >= 0 || !on_conditions.empty())) || (inner && inner->checks_changes());
  }
  // The view column of that name; nullptr when there is none.
  const ViewColumn* column(const std::string& name) const;
  // The base column a view column shows: nullopt when the view has no such column, empty for an expression.
  std::optional<std::string> base_column(const std::string& view_column) const;
};

// The restriction clause a view was created with ("WITH CHECK OPTION", "WITH READ ONLY"), kept
// as the second line of its stored text so that USER_VIEWS shows the query alone.
inline constexpr int kViewRestrictionLine = 2;

// How DML may write through view (a catalogue VIEW); nullopt when it may not.
std::optional<UpdatableView> updatable_view(sqlite3* db, const SessionContext& session, const SchemaObject& view);
// How DML may write through the sub-query `query` named in its place ("DELETE FROM (SELECT ...)"),
// which may end in WITH CHECK OPTION or WITH READ ONLY; nullopt when it may not.
std::optional<UpdatableView> inline_view(sqlite3* db, const SessionContext& session, const std::string& query);

}  // namespace ociemu::sql
