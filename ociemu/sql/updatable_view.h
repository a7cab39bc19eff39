// Views that DML may write through: a plain projection of one table with an
// optional WHERE, read back from the view's stored query text. Anything else
// (joins, aggregates, DISTINCT, set operators, ROWNUM, a view over a view) is
// refused with ORA-01732 by whoever asks.
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ociemu/sql/catalogue.h"

struct sqlite3;

namespace ociemu::sql {

struct UpdatableView {
  SchemaObject base;       // the table the rows live in
  std::string base_alias;  // how the view's query names that table (its alias, else its name)
  // Per view column in order: its name and the base column it shows; empty for an expression.
  std::vector<std::pair<std::string, std::string>> columns;
  std::string text;        // the view's query as stored
  int from_offset = 0;     // character offset of its FROM in text
  int where_begin = -1;    // tokens of text: the WHERE keyword and the end of its condition; -1 without one
  int where_end = -1;
  bool check_option = false;  // WITH CHECK OPTION: changed rows must stay visible
  bool read_only = false;     // WITH READ ONLY

  // The base column a view column shows: nullopt when the view has no such column, empty for an expression.
  std::optional<std::string> base_column(const std::string& view_column) const;
};

// The restriction clause a view was created with ("WITH CHECK OPTION", "WITH READ ONLY"), kept
// as the second line of its stored text so that USER_VIEWS shows the query alone.
inline constexpr int kViewRestrictionLine = 2;

// How DML may write through view (a catalogue VIEW); nullopt when it may not.
std::optional<UpdatableView> updatable_view(sqlite3* db, const SessionContext& session, const SchemaObject& view);

}  // namespace ociemu::sql
