// Names that Oracle keeps apart by case ("c" and "C") but SQLite does not: a
// quoted column or table name that collides, ignoring case, with one SQLite
// already holds is stored as name"k. Oracle names never contain '"', so the
// stored form reads back unambiguously.
//
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ociemu::sql {

// The Oracle name of a stored name (unchanged when it was stored as is).
std::string oracle_name(std::string_view stored);

// The stored name for a new `name` beside the stored names `existing`.
std::string distinct_stored_name(const std::string& name, const std::vector<std::string>& existing);

// The stored name among `stored` of the column Oracle calls `name`; `name` itself when none is
// (SQLite then matches it ignoring case, or reports it missing).
std::string stored_column_name(const std::vector<std::string>& stored, const std::string& name);

// Stored names for the columns of a new table, in order.
std::vector<std::string> distinct_stored_names(const std::vector<std::string>& names);

}  // namespace ociemu::sql
