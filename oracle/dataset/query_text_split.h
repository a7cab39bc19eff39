// A select statement cut where a row condition can be added: the part before
// the top-level WHERE (HAVING when the statement groups), the condition, and
// the tail from ORDER BY or FOR UPDATE. The re-read of one row and the server
// count of a dataset's rows are built from these parts.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>

namespace kvell {

struct QueryTextParts {
  std::string Select;     // up to the keyword, right-trimmed
  std::string Keyword;    // "where", or "having" when the text contains GROUP
  std::string Condition;  // after the keyword, trimmed; empty without one
  std::string Tail;       // from ORDER or FOR, or empty
};

// Words are found without case, as whole words, outside literals, comments
// and parentheses, so that a sub-query's own where-clause stays in its place.
QueryTextParts SplitQueryText(std::string_view sql);

// The text before a "/* END_REFRESH */" marker (any case), right-trimmed;
// the whole text without one.
std::string CutAtEndRefresh(std::string_view sql);

}  // namespace kvell
