// The where clause a query-by-example search adds to a dataset's SQL, and
// how the SQL is recognised and put back afterwards: the new conditions go
// after any condition of the text's own, before its ORDER BY, and the text
// ends with a marker line.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <vector>

namespace kvell {

inline constexpr const char* kQBEMarkerLine = "/* Modified for QBE */";

// `sql` with `conditions` (each already "(COLUMN ...)") joined by "and";
// `sql` itself when there are none.
std::string AddQBEConditions(const std::string& sql, const std::vector<std::string>& conditions);

// Whether the text's last line is the marker.
bool IsModifiedForQBE(const std::string& sql);

}  // namespace kvell
