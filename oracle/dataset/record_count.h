// The text of a dataset's server row count: the query's select part and
// condition wrapped in "select count(*) from (...)", its order or for-update
// tail dropped.
// Thread-safe: yes (pure function).
#pragma once

#include <string>
#include <string_view>

namespace kvell {

// "select count(*) from (", the select part, then the keyword, a blank, the
// condition and ")" - or ")" alone without a condition - as CR LF lines.
std::string RecordCountQueryText(std::string_view sql);

}  // namespace kvell
