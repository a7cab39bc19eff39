// Reading the ORDER BY list of a select, for the default order and index
// definitions a dataset reports to data providers: each item's column (a
// name or a select-list position), whether it sorts descending, and whether
// it is ordered by UPPER(column), that is without case.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvell {

struct OrderByItem {
  // The column as written without a table prefix: upper-cased, or as quoted;
  // digits for a select-list position.
  std::string Column;
  bool Descending = false;
  bool CaseInsensitive = false;
};

// The items of the statement's top-level ORDER BY, up to the first that is
// not a plain column (an expression ends the list); empty without one.
std::vector<OrderByItem> ScanOrderBy(std::string_view sql);

}  // namespace kvell
