// Which table a dataset's generated statements write to, read from its SQL
// text: the updating table (the innermost from-clause, or a TABLE(...)/THE(...)
// collection expression) and the name or alias under which that table stands
// in the select, used to qualify rowid in re-reads and locks.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>

namespace kvell {

// The table after the first FROM whose text is not an inline view, upper-cased
// without double quotes; "TABLE(...)" or "THE(...)" with the expression as
// written; empty when the text has no FROM.
std::string ScanUpdatingTableName(std::string_view sql);

// The alias that follows `updating_table` in the from-clause (or an inline
// view), else `updating_table` itself.
std::string ScanSelectTableName(std::string_view sql, const std::string& updating_table);

// UpdatingTable as set by the application: upper-cased, every '"' removed.
std::string NormalizeTableName(std::string_view name);

}  // namespace kvell
