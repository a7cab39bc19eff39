// Turns one query-by-example value, as typed into a field, into a condition
// on its column: wildcards, quoting, ranges, IN lists, NOT, NULL, soundex,
// upper-cased comparison and whole-day dates, with the value converted for
// the field's type. Outside input: the text comes straight from the user.
// Thread-safe: yes (pure, but reads the process-wide FormatSettings for dates).
#pragma once

#include <string>

#include "db/db_types.h"

namespace kvell {

struct QBEValueOptions {
  bool AllowOperators = false;
  bool AllowFileWildCards = true;
  bool PartialMatch = false;
  bool MatchAnywhere = false;
  bool SoundsLike = false;
  bool CaseInsensitive = false;
  bool DateWithoutTime = false;
};

// `column` is the column's name in the SQL; the result is the whole
// condition: "(ENAME like 'SM%')", "not (DEPTNO in (10,20)) or DEPTNO is null".
// A date or time that does not parse raises EConvertError.
std::string QBECondition(const std::string& column, const std::string& text, TFieldType type,
                         const QBEValueOptions& options);

}  // namespace kvell
