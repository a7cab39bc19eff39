#include "oracle/dataset/record_search.h"

#include <bit>
#include <cmath>

#include "db/field.h"
#include "oracle/filter/operators.h"
#include "runtime/ansi_case.h"
#include "runtime/date_text.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

constexpr TSearchRecordOptions kStartingPoints = srFromCurrent | srFromBeginning | srFromEnd;

}  // namespace

bool SearchOptionsValid(TSearchRecordOptions options) {
  if (std::popcount(options & kStartingPoints) > 1) return false;
  if ((options & srForward) && (options & srBackward)) return false;
  if ((options & srForward) && (options & srFromEnd)) return false;
  return !((options & srBackward) && (options & srFromBeginning));
}

bool SearchesBackward(TSearchRecordOptions options) {
  return (options & srBackward) || ((options & srFromEnd) && !(options & srForward));
}

SearchClass SearchClassOf(TFieldType type, TSearchRecordOptions options) {
  if (options & (srWildcards | srPartialMatch)) return SearchClass::Text;
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return SearchClass::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return SearchClass::Float;
    case ftDate:
    case ftTime:
    case ftDateTime: return SearchClass::Date;
    default: return SearchClass::Text;
  }
}

TSearchKey::TSearchKey(SearchClass search_class, const Variant& value, TSearchRecordOptions options, bool trim)
    : class_(search_class), options_(options), trim_(trim) {
  seeks_null_ = VarIsClear(value) || (value.IsString() && value.AsString().empty());
  if (seeks_null_) return;
  switch (class_) {
    case SearchClass::Integer: integer_ = value.AsInt64(); break;
    case SearchClass::Float: float_ = value.AsDouble(); break;
    case SearchClass::Date:
      date_ = native_date(value.IsString() ? StrToDateTime(value.AsString()) : value.AsDateTime());
      break;
    case SearchClass::Text: {
      std::string text = value.AsString();
      if (trim_) text.resize(TrimRight(text).size());
      text_ = (options_ & srIgnoreCase) ? AnsiUpperCase(text) : std::move(text);
      if ((options_ & srWildcards) && (options_ & srPartialMatch)) text_ += '*';
      break;
    }
  }
}

double TSearchKey::native_date(TDateTime value) const {
  return DateTimeToNative(ftDateTime, (options_ & srIgnoreTime) ? std::trunc(value) : value);
}

bool TSearchKey::MatchesDate(TDateTime value) const { return !seeks_null_ && native_date(value) == date_; }

bool TSearchKey::MatchesNativeDate(double native) const {
  if (options_ & srIgnoreTime) return MatchesDate(NativeToDateTime(ftDateTime, native));
  return !seeks_null_ && native == date_;
}

bool TSearchKey::MatchesText(std::string_view text) const {
  if (trim_) text = TrimRight(text);
  if (seeks_null_) return text.empty();
  std::string upper;
  if (options_ & srIgnoreCase) {
    upper = AnsiUpperCase(text);
    text = upper;
  }
  if (options_ & srWildcards) return WildcardMatch(text_, text);
  if (options_ & srPartialMatch) return text.substr(0, text_.size()) == text_;
  return text == text_;
}

}  // namespace kvell
