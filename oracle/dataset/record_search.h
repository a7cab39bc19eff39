// The option bits of TOracleDataSet::SearchRecord, their validity rules, and
// TSearchKey: one searched value, prepared once, compared with field values.
// A value compares as an integer, a float, a date-time or a text by its
// field's type; null and empty values find null or empty fields.
// Thread-safe: yes (pure values).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/db_types.h"
#include "runtime/datetime.h"
#include "runtime/variant.h"

namespace kvell {

enum TSearchRecordOption : unsigned {
  srForward = 0x001,
  srBackward = 0x002,
  srFromCurrent = 0x004,
  srFromBeginning = 0x008,
  srFromEnd = 0x010,
  srIgnoreCase = 0x020,
  srIgnoreTime = 0x040,
  srWildcards = 0x080,
  srPartialMatch = 0x100,
  srDontMove = 0x200,
};
using TSearchRecordOptions = unsigned;

// False for more than one starting point, both directions, forward from the
// end, or backward from the beginning.
bool SearchOptionsValid(TSearchRecordOptions options);
// Whether the search steps backward: srBackward, or srFromEnd without srForward.
bool SearchesBackward(TSearchRecordOptions options);

enum class SearchClass { Integer, Float, Date, Text };

// How a value searched in a field of `type` compares.
SearchClass SearchClassOf(TFieldType type, TSearchRecordOptions options);

class TSearchKey {
 public:
  // `trim` right-trims texts (the session's TrimStringFields). Converting the
  // value to its class may raise the variant's or the date parser's error.
  TSearchKey(SearchClass search_class, const Variant& value, TSearchRecordOptions options, bool trim);

  SearchClass Class() const { return class_; }
  // The value is null, unassigned or an empty string.
  bool SeeksNull() const { return seeks_null_; }

  // A field that holds no value (text fields: also an empty text).
  bool MatchesNull() const { return seeks_null_; }
  bool MatchesInteger(int64_t value) const { return !seeks_null_ && value == integer_; }
  bool MatchesFloat(double value) const { return !seeks_null_ && value == float_; }
  // Date-times compare to the millisecond, as the dataset holds them.
  bool MatchesDate(TDateTime value) const;
  // A date-time in the framework's native milliseconds.
  bool MatchesNativeDate(double native) const;
  // A non-null field's text.
  bool MatchesText(std::string_view text) const;

 private:
  SearchClass class_;
  TSearchRecordOptions options_;
  bool trim_;
  bool seeks_null_ = false;
  int64_t integer_ = 0;
  double float_ = 0;
  double date_ = 0;  // the framework's native milliseconds
  std::string text_;  // trimmed and upper-cased as the options say

  double native_date(TDateTime value) const;
};

}  // namespace kvell
