// Automatic master/detail configuration at design time writes the detail's
// SQL: a where clause over the foreign key's columns, or a query over one
// collection column of the master's current row.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <vector>

namespace kvell {

// `sql` whose top-level where clause (up to ORDER, or to the end) is
// replaced by, or without one gets before ORDER (or at the end),
// "where a = :a and b = :b" + "\r\n"; the names are lower-cased.
std::string WithKeyCondition(const std::string& sql, const std::vector<std::string>& columns);

// The rows of `column` of the master row whose key columns equal the
// variables named after them; unless `read_only`, with each element row's
// rowid for writing back.
std::string CollectionDetailQuery(const std::string& master_table, const std::string& column,
                                  const std::vector<std::string>& key_columns, bool read_only);

}  // namespace kvell
