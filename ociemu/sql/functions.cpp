#include "ociemu/sql/functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ociemu/sql/cursor_rows.h"
#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/interval_functions.h"
#include "ociemu/sql/number_format.h"
#include "ociemu/sql/package_functions.h"
#include "ociemu/sql/schema_text.h"
#include "ociemu/sql/sql_value.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/zone_functions.h"

namespace ociemu::sql {

// From its parent table, its place (counted from 1, so that it names no parent
// row) and a hash of its stored value.
std::string element_rowid_text(int64_t object_id, int64_t key, sqlite3_value* value) {
  uint32_t hash = 2166136261u;
  auto mix = [&hash](unsigned char byte) { hash = (hash ^ byte) * 16777619u; };
  mix(static_cast<unsigned char>(sqlite3_value_type(value)));
  const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(value));
  for (int i = 0; bytes && i < sqlite3_value_bytes(value); ++i) mix(bytes[i]);
  const auto place = static_cast<uint64_t>(key + 1) & 0xFFFF;
  return encode_rowid(object_id, static_cast<int64_t>(place << 32 | hash));
}

int64_t element_rowid_place(std::string_view rowid) {
  int64_t object = 0, row = 0;
  if (!decode_rowid(rowid, object, row)) return -1;
  return ((row >> 32) & 0xFFFF) - 1;
}

namespace {

using Args = sqlite3_value**;

SessionContext& session_of(sqlite3_context* context) {
  return *static_cast<SessionContext*>(sqlite3_user_data(context));
}

bool any_null(int count, Args args) {
  for (int i = 0; i < count; ++i) {
    if (is_null(args[i])) return true;
  }
  return false;
}

int int_argument(sqlite3_value* value) {
  double number = number_argument(value)->as_double();
  return static_cast<int>(std::clamp(std::trunc(number), -2e9, 2e9));
}

void set_date(sqlite3_context* context, const DateTimeValue& value, bool with_fraction = false) {
  set_result(context, to_storage(value, with_fraction));
}

// ---- UTF-8 aware character positions ------------------------------------------------------

// Bytes of the character at text[i]: a well-formed UTF-8 sequence, else that one
// byte, which AL32UTF8 counts as a character of its own (what CHR of a large code
// gives; clients probe their bytes per character that way).
size_t char_bytes_at(std::string_view text, size_t i) {
  auto lead = static_cast<unsigned char>(text[i]);
  size_t n = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
  if (n == 1 || i + n > text.size()) return 1;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

std::vector<size_t> char_starts(std::string_view text) {
  std::vector<size_t> starts;
  starts.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); i += char_bytes_at(text, i)) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

size_t char_count(std::string_view text) { return char_starts(text).size() - 1; }

// ---- arithmetic with dates ----------------------------------------------------------------

DateTimeValue date_plus_days(const DateTimeValue& date, double days) {
  DateTimeValue result = DateTimeValue::from_days(date.to_days() + days);
  // DATE arithmetic keeps whole seconds.
  if (result.nanoseconds >= 500000000) result = DateTimeValue::from_days(std::floor(date.to_days() * 86400 + days * 86400 + 0.5) / 86400);
  result.nanoseconds = 0;
  return result;
}

void oracle_add(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  if (auto date = date_argument(args[0])) {
    return set_date(context, date_plus_days(*date, number_argument(args[1])->as_double()));
  }
  if (auto date = date_argument(args[1])) {
    return set_date(context, date_plus_days(*date, number_argument(args[0])->as_double()));
  }
  exact_plus(context, 2, args);
}

void oracle_subtract(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  if (auto date = date_argument(args[0])) {
    if (auto other = date_argument(args[1])) {
      double difference = date->to_days() - other->to_days();
      if (!date->has_fraction && !other->has_fraction) difference = std::round(difference * 86400) / 86400;
      return set_result(context, Number::of(difference));
    }
    return set_date(context, date_plus_days(*date, -number_argument(args[1])->as_double()));
  }
  exact_minus(context, 2, args);
}

void oracle_concat(sqlite3_context* context, int count, Args args) {
  std::string text;
  for (int i = 0; i < count; ++i) text += text_argument(args[i]);
  set_result(context, text);
}

// ---- NULL handling and comparison ---------------------------------------------------------

void nvl(sqlite3_context* context, int, Args args) { sqlite3_result_value(context, is_null(args[0]) ? args[1] : args[0]); }

void nvl2(sqlite3_context* context, int, Args args) {
  sqlite3_result_value(context, is_null(args[0]) ? args[2] : args[1]);
}

// Oracle compares with the first operand's type: numbers numerically, else as text.
int compare_values(sqlite3_value* a, sqlite3_value* b) {
  int type = sqlite3_value_type(a);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    double x = number_argument(a)->as_double(), y = number_argument(b)->as_double();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  std::string x = text_argument(a), y = text_argument(b);
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

void decode(sqlite3_context* context, int count, Args args) {
  if (count < 3) throw_oracle(938);
  for (int i = 1; i + 1 < count; i += 2) {
    bool both_null = is_null(args[0]) && is_null(args[i]);
    bool match = both_null || (!is_null(args[0]) && !is_null(args[i]) && compare_values(args[0], args[i]) == 0);
    if (match) return sqlite3_result_value(context, args[i + 1]);
  }
  if (count % 2 == 0) return sqlite3_result_value(context, args[count - 1]);
  sqlite3_result_null(context);
}

template <int Sign>
void extreme(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  int best = 0;
  for (int i = 1; i < count; ++i) {
    if (compare_values(args[i], args[best]) * Sign > 0) best = i;
  }
  sqlite3_result_value(context, args[best]);
}

// ---- conversions --------------------------------------------------------------------------

void to_char(sqlite3_context* context, int count, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  SessionContext& session = session_of(context);
  int type = sqlite3_value_type(args[0]);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
    Number number = *number_argument(args[0]);
    if (count < 2 || is_null(args[1])) return set_result(context, text_argument(args[0]));
    return set_result(context, format_number_model(number, text_argument(args[1])));
  }
  if (auto date = date_argument(args[0])) {
    std::string model = count >= 2 && !is_null(args[1]) ? text_argument(args[1])
                        : date->has_fraction            ? session.nls_timestamp_format
                                                        : session.nls_date_format;
    // A fourth argument the translator adds: the fraction digits of the value's type.
    const int fraction_digits = count >= 4 && !is_null(args[3]) ? int_argument(args[3]) : 9;
    return set_result(context, format_datetime(text_argument(args[0]), model, fraction_digits));
  }
  if (count >= 2 && !is_null(args[1])) {
    // A number held as text, formatted with a numeric model.
    return set_result(context, format_number_model(*number_argument(args[0]), text_argument(args[1])));
  }
  set_result(context, text_argument(args[0]));
}

// TO_DATE and TO_TIMESTAMP: text read by the model given (a value already a date passes when
// the model does not read it), else a date passes and text is read by the session's model.
std::optional<DateTimeValue> datetime_from(int count, Args args, const std::string& session_model) {
  const bool has_model = count >= 2 && !is_null(args[1]);
  if (has_model) {
    try {
      return parse_storage(parse_datetime(text_argument(args[0]), text_argument(args[1])));
    } catch (const OracleException&) {
      if (auto date = date_argument(args[0])) return date;
      throw;
    }
  }
  if (auto date = date_argument(args[0])) return date;
  return parse_storage(parse_datetime(text_argument(args[0]), session_model));
}

void to_date(sqlite3_context* context, int count, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  auto value = datetime_from(count, args, session_of(context).nls_date_format);
  value->nanoseconds = 0;
  value->has_fraction = false;
  set_date(context, *value);
}

void to_timestamp(sqlite3_context* context, int count, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  set_date(context, *datetime_from(count, args, session_of(context).nls_timestamp_format), true);
}

std::string datetime_type_name(int64_t type_code) {
  switch (type_code) {
    case 181: return "TIMESTAMP WITH TIME ZONE";
    case 231: return "TIMESTAMP WITH LOCAL TIME ZONE";
    case 180: return "TIMESTAMP";
    default: return "DATE";
  }
}

// OCIEMU_DATETIME(value, type code[, fraction digits]): a value stored into a DATE or TIMESTAMP
// column. Oracle reads text there but converts no number (ORA-00932), where TO_DATE and TO_TIMESTAMP
// would read its digits; a TIMESTAMP(p) column keeps the fraction rounded to p digits.
void stored_datetime(sqlite3_context* context, int count, Args args) {
  const int kind = sqlite3_value_type(args[0]);
  const int64_t type_code = sqlite3_value_int64(args[1]);
  if (kind == SQLITE_INTEGER || kind == SQLITE_FLOAT) throw_oracle(932, {datetime_type_name(type_code), "NUMBER"});
  if (type_code == 12) return to_date(context, 1, args);
  if (is_null(args[0])) return sqlite3_result_null(context);
  DateTimeValue value = *datetime_from(1, args, session_of(context).nls_timestamp_format);
  if (count >= 3) value = round_fraction(value, int_argument(args[2]));
  set_date(context, value, true);
}

void to_number(sqlite3_context* context, int count, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  if (count >= 2 && !is_null(args[1]))
    return set_result(context, parse_number_model(text_argument(args[0]), text_argument(args[1])));
  // Text and exact values keep all their digits; a double would keep about sixteen.
  const int kind = sqlite3_value_type(args[0]);
  if (kind == SQLITE_TEXT || kind == SQLITE_BLOB) {
    if (auto exact = exact_argument(args[0])) return set_number_result(context, *exact);
  }
  set_result(context, *number_argument(args[0]));
}

void to_text(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  set_result(context, text_argument(args[0]));
}

// ---- character functions ------------------------------------------------------------------

void chr(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  int64_t code = number_argument(args[0])->is_integer ? number_argument(args[0])->integer
                                                     : static_cast<int64_t>(number_argument(args[0])->real);
  std::string text;
  // Multi-byte codes are byte sequences in the database character set.
  for (int shift = 24; shift > 0; shift -= 8) {
    if ((code >> shift) & 0xFF) text.push_back(static_cast<char>((code >> shift) & 0xFF));
  }
  text.push_back(static_cast<char>(code & 0xFF));
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ascii(sqlite3_context* context, int, Args args) {
  std::string text = text_argument(args[0]);
  if (text.empty()) return sqlite3_result_null(context);
  int64_t code = 0;
  size_t length = char_starts(text)[1];
  for (size_t i = 0; i < length; ++i) code = code * 256 + static_cast<unsigned char>(text[i]);
  sqlite3_result_int64(context, code);
}

void substr(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  std::vector<size_t> starts = char_starts(text);
  int64_t length = static_cast<int64_t>(starts.size()) - 1;
  int64_t position = int_argument(args[1]);
  if (position == 0) position = 1;
  if (position < 0) position = length + position + 1;
  if (position < 1 || position > length) return sqlite3_result_null(context);
  int64_t take = count >= 3 ? int_argument(args[2]) : length;
  if (take < 1) return sqlite3_result_null(context);
  int64_t end = std::min(length, position - 1 + take);
  size_t from = starts[static_cast<size_t>(position - 1)], to = starts[static_cast<size_t>(end)];
  set_result(context, std::string_view(text).substr(from, to - from));
}

void instr(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]), pattern = text_argument(args[1]);
  int64_t position = count >= 3 ? int_argument(args[2]) : 1;
  int64_t occurrence = count >= 4 ? int_argument(args[3]) : 1;
  if (position == 0 || occurrence <= 0) {
    if (occurrence <= 0) throw_oracle(1428, {std::to_string(occurrence)});
    return sqlite3_result_int(context, 0);
  }
  std::vector<size_t> starts = char_starts(text);
  int64_t length = static_cast<int64_t>(starts.size()) - 1;
  auto matches_at = [&](int64_t index) { return text.compare(starts[static_cast<size_t>(index)], pattern.size(), pattern) == 0; };
  int64_t found = 0;
  if (position > 0) {
    for (int64_t i = position - 1; i < length; ++i) {
      if (matches_at(i) && ++found == occurrence) return sqlite3_result_int64(context, i + 1);
    }
  } else {
    for (int64_t i = length + position; i >= 0; --i) {
      if (matches_at(i) && ++found == occurrence) return sqlite3_result_int64(context, i + 1);
    }
  }
  sqlite3_result_int(context, 0);
}

void length(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  if (sqlite3_value_type(args[0]) == SQLITE_BLOB) return sqlite3_result_int(context, sqlite3_value_bytes(args[0]));
  std::string text = text_argument(args[0]);
  if (text.empty()) return sqlite3_result_null(context);
  sqlite3_result_int64(context, static_cast<int64_t>(char_count(text)));
}

void lengthb(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  if (text.empty()) return sqlite3_result_null(context);
  sqlite3_result_int64(context, static_cast<int64_t>(text.size()));
}

int upper_char(int c) { return std::toupper(c); }
int lower_char(int c) { return std::tolower(c); }

template <int (*Convert)(int)>
void change_case(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(Convert(static_cast<unsigned char>(c)));
  }
  set_result(context, text);
}

void initcap(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  bool word_start = true;
  for (char& c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80 && std::isalnum(u)) {
      c = static_cast<char>(word_start ? std::toupper(u) : std::tolower(u));
      word_start = false;
    } else {
      word_start = u < 0x80;
    }
  }
  set_result(context, text);
}

enum TrimSide { kLeading = 1, kTrailing = 2, kBoth = 3 };

std::string trim_text(std::string_view text, std::string_view set, int side) {
  size_t begin = 0, end = text.size();
  if (side & kLeading) {
    while (begin < end && set.find(text[begin]) != std::string_view::npos) ++begin;
  }
  if (side & kTrailing) {
    while (end > begin && set.find(text[end - 1]) != std::string_view::npos) --end;
  }
  return std::string(text.substr(begin, end - begin));
}

template <int Side>
void trim(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  std::string set = count >= 2 ? text_argument(args[1]) : " ";
  set_result(context, trim_text(text_argument(args[0]), set, Side));
}

// ociemu_trim(side, character, text) for TRIM([LEADING|TRAILING|BOTH] [c] FROM text).
void trim_from(sqlite3_context* context, int, Args args) {
  if (any_null(3, args)) return sqlite3_result_null(context);
  std::string character = text_argument(args[1]);
  if (char_count(character) != 1) throw_oracle(30001);
  set_result(context, trim_text(text_argument(args[2]), character, int_argument(args[0])));
}

template <bool Left>
void pad(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  int64_t width = int_argument(args[1]);
  std::string filler = count >= 3 ? text_argument(args[2]) : " ";
  if (width <= 0 || filler.empty()) return sqlite3_result_null(context);
  std::vector<size_t> starts = char_starts(text);
  int64_t length = static_cast<int64_t>(starts.size()) - 1;
  if (length >= width) return set_result(context, std::string_view(text).substr(0, starts[static_cast<size_t>(width)]));
  std::vector<size_t> filler_starts = char_starts(filler);
  size_t filler_length = filler_starts.size() - 1;
  std::string padding;
  for (int64_t i = 0; i < width - length; ++i) {
    size_t index = static_cast<size_t>(i) % filler_length;
    padding.append(filler, filler_starts[index], filler_starts[index + 1] - filler_starts[index]);
  }
  set_result(context, Left ? padding + text : text + padding);
}

void replace(sqlite3_context* context, int count, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]);
  std::string from = text_argument(args[1]);
  std::string to = count >= 3 ? text_argument(args[2]) : "";
  if (from.empty()) return set_result(context, text);
  std::string result;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    result.append(text, pos, hit - pos);
    result += to;
  }
  result.append(text, pos, std::string::npos);
  set_result(context, result);
}

void translate(sqlite3_context* context, int, Args args) {
  if (any_null(3, args)) return sqlite3_result_null(context);
  std::string text = text_argument(args[0]), from = text_argument(args[1]), to = text_argument(args[2]);
  std::string result;
  for (char c : text) {
    size_t index = from.find(c);
    if (index == std::string::npos) {
      result.push_back(c);
    } else if (index < to.size()) {
      result.push_back(to[index]);
    }
  }
  set_result(context, result);
}

void soundex(sqlite3_context* context, int, Args args) {
  std::string text = text_argument(args[0]);
  static constexpr char kCodes[] = "01230120022455012623010202";  // A..Z
  std::string result;
  char last = 0;
  for (char raw : text) {
    unsigned char c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(raw)));
    if (c < 'A' || c > 'Z') continue;
    char code = kCodes[c - 'A'];
    if (result.empty()) {
      result.push_back(static_cast<char>(c));
      last = code;
      continue;
    }
    if (c == 'H' || c == 'W') continue;  // do not separate equal codes
    if (code != '0' && code != last) result.push_back(code);
    last = code;
    if (result.size() == 4) break;
  }
  if (result.empty()) return sqlite3_result_null(context);
  result.resize(4, '0');
  set_result(context, result);
}

// ---- numeric functions --------------------------------------------------------------------

DateTimeValue truncate_date(DateTimeValue date, std::string model, bool round) {
  for (char& c : model) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  DateTimeValue start = date;
  start.hour = start.minute = start.second = 0;
  start.nanoseconds = 0;
  start.has_fraction = false;
  auto rounded = [&](DateTimeValue lower, DateTimeValue upper) {
    if (!round) return lower;
    return date.to_days() - lower.to_days() >= upper.to_days() - date.to_days() ? upper : lower;
  };
  auto next_day = [](DateTimeValue v) { return DateTimeValue::from_days(static_cast<double>(v.day_number() + 1)); };
  if (model == "DD" || model == "DDD" || model == "J") return rounded(start, next_day(start));
  if (model == "YYYY" || model == "YEAR" || model == "YYY" || model == "YY" || model == "Y" || model == "SYYYY" ||
      model == "RRRR" || model == "RR" || model == "SYEAR") {
    start.month = start.day = 1;
    // Rounding a year goes up from 1 July.
    return rounded(start, add_months(start, 12));
  }
  if (model == "MM" || model == "MON" || model == "MONTH" || model == "RM") {
    start.day = 1;
    DateTimeValue upper = add_months(start, 1);
    if (round) return date.day >= 16 ? upper : start;
    return start;
  }
  if (model == "Q") {
    start.day = 1;
    start.month = (start.month - 1) / 3 * 3 + 1;
    return rounded(start, add_months(start, 3));
  }
  if (model == "D" || model == "DY" || model == "DAY" || model == "IW") {
    int back = model == "IW" ? (start.day_of_week() + 5) % 7 : start.day_of_week() - 1;
    DateTimeValue lower = DateTimeValue::from_days(static_cast<double>(start.day_number() - back));
    return rounded(lower, DateTimeValue::from_days(static_cast<double>(lower.day_number() + 7)));
  }
  if (model == "HH" || model == "HH12" || model == "HH24") {
    start.hour = date.hour;
    return rounded(start, DateTimeValue::from_days(start.to_days() + 1.0 / 24));
  }
  if (model == "MI") {
    start.hour = date.hour;
    start.minute = date.minute;
    return rounded(start, DateTimeValue::from_days(start.to_days() + 1.0 / 1440));
  }
  throw_oracle(1898);
}

template <bool Truncate>
void round_or_truncate(sqlite3_context* context, int count, Args args) {
  if (any_null(count, args)) return sqlite3_result_null(context);
  if (auto date = date_argument(args[0])) {
    std::string model = count >= 2 ? text_argument(args[1]) : "DD";
    return set_date(context, truncate_date(*date, model, !Truncate));
  }
  int places = count >= 2 ? int_argument(args[1]) : 0;
  if (sqlite3_value_type(args[0]) == SQLITE_BLOB) {
    auto exact = exact_argument(args[0]);
    if (!exact) throw_oracle(1722);
    return set_number_result(context, Truncate ? exact->truncated(places) : exact->rounded(places));
  }
  Number number = *number_argument(args[0]);
  if (number.is_integer && places >= 0) return set_result(context, number);
  set_result(context, Number::of(round_decimal(number.as_double(), places, Truncate)));
}

void mod(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  Number a = *number_argument(args[0]), b = *number_argument(args[1]);
  if (b.as_double() == 0) return set_result(context, a);
  if (a.is_integer && b.is_integer) {
    if (b.integer == -1) return sqlite3_result_int(context, 0);
    return sqlite3_result_int64(context, a.integer % b.integer);
  }
  set_result(context, Number::of(std::fmod(a.as_double(), b.as_double())));
}

// A computed result, or ORA-01426 when it is beyond NUMBER's range (below 1E126 in magnitude).
double within_number_range(double value) {
  constexpr double kNumberLimit = 1e126;
  if (std::isinf(value) || std::fabs(value) >= kNumberLimit) throw_oracle(1426);
  return value;
}

template <double (*F)(double)>
void unary_math(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  set_result(context, Number::of(within_number_range(F(number_argument(args[0])->as_double()))));
}

void sign(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  double value = number_argument(args[0])->as_double();
  sqlite3_result_int(context, value > 0 ? 1 : value < 0 ? -1 : 0);
}

// base^exponent for a whole exponent from 0 to 1000 by exact products, as NUMBER arithmetic gives
// it (POWER(10, 125) is exactly 1E+125); nullopt when the exponent is not such or the base no number.
std::optional<Decimal> exact_power(sqlite3_value* base_value, const Number& exponent) {
  const double e = exponent.as_double();
  if (!(e >= 0 && e <= 1000) || e != std::floor(e)) return std::nullopt;
  auto base = exact_argument(base_value);
  if (!base) return std::nullopt;
  Decimal result = Decimal::of(1);
  for (auto remaining = static_cast<unsigned>(e); remaining != 0; remaining >>= 1) {
    if (remaining & 1u) {
      auto product = result.times(*base);
      if (!product) throw_oracle(1426);
      result = *product;
    }
    if (remaining > 1) {
      auto square = base->times(*base);
      if (!square) throw_oracle(1426);
      base = *square;
    }
  }
  if (result.magnitude() > 125) throw_oracle(1426);
  if (result.magnitude() < -130) return Decimal{};  // below NUMBER's smallest magnitude
  return result;
}

void power(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  const auto exponent = number_argument(args[1]);
  if (auto exact = exact_power(args[0], *exponent)) return set_number_result(context, *exact);
  const double base = number_argument(args[0])->as_double();
  set_result(context, Number::of(within_number_range(std::pow(base, exponent->as_double()))));
}

void square_root(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  double value = number_argument(args[0])->as_double();
  if (value < 0) throw_oracle(1428, {format_number(value)});
  set_result(context, Number::of(std::sqrt(value)));
}

void natural_log(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  double value = number_argument(args[0])->as_double();
  if (value <= 0) throw_oracle(1428, {format_number(value)});
  set_result(context, Number::of(std::log(value)));
}

void log_base(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  double base = number_argument(args[0])->as_double(), value = number_argument(args[1])->as_double();
  if (base <= 0 || base == 1 || value <= 0) throw_oracle(1428, {format_number(value)});
  set_result(context, Number::of(std::log(value) / std::log(base)));
}

void bitand_function(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  auto a = static_cast<int64_t>(number_argument(args[0])->as_double());
  auto b = static_cast<int64_t>(number_argument(args[1])->as_double());
  sqlite3_result_int64(context, a & b);
}

// ---- dates --------------------------------------------------------------------------------

void sysdate(sqlite3_context* context, int, Args) {
  DateTimeValue now = current_local_time();
  now.nanoseconds = 0;
  set_date(context, now);
}

DateTimeValue current_local_time_with_zone() {
  DateTimeValue now = current_local_time();
  now.has_time_zone = true;
  return now;
}

void systimestamp(sqlite3_context* context, int, Args) { set_date(context, current_local_time_with_zone(), true); }

// CURRENT_TIMESTAMP / LOCALTIMESTAMP: now in the session's zone.
void current_timestamp(sqlite3_context* context, int, Args) {
  DateTimeValue now = shift_to_zone(current_local_time_with_zone(), session_of(context).time_zone_minutes);
  set_date(context, now, true);
}

void local_timestamp(sqlite3_context* context, int, Args) {
  DateTimeValue now = shift_to_zone(current_local_time_with_zone(), session_of(context).time_zone_minutes);
  now.has_time_zone = false;
  set_date(context, now, true);
}

void session_time_zone(sqlite3_context* context, int, Args) {
  set_result(context, time_zone_text(session_of(context).time_zone_minutes));
}

void database_time_zone(sqlite3_context* context, int, Args) { set_result(context, time_zone_text(kDatabaseZoneMinutes)); }

DateTimeValue required_date(sqlite3_value* value, SessionContext& session) {
  if (auto date = date_argument(value)) return *date;
  return *parse_storage(parse_datetime(text_argument(value), session.nls_date_format));
}

void add_months_function(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  DateTimeValue date = required_date(args[0], session_of(context));
  set_date(context, add_months(date, int_argument(args[1])));
}

void months_between(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  DateTimeValue a = required_date(args[0], session_of(context)), b = required_date(args[1], session_of(context));
  double months = (a.year - b.year) * 12.0 + (a.month - b.month);
  bool both_last = a.day == days_in_month(a.year, a.month) && b.day == days_in_month(b.year, b.month);
  if (a.day != b.day && !both_last) {
    double seconds_a = a.hour * 3600.0 + a.minute * 60 + a.second, seconds_b = b.hour * 3600.0 + b.minute * 60 + b.second;
    months += (a.day - b.day + (seconds_a - seconds_b) / 86400.0) / 31.0;
  }
  set_result(context, Number::of(months));
}

void last_day(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  DateTimeValue date = required_date(args[0], session_of(context));
  date.day = days_in_month(date.year, date.month);
  set_date(context, date);
}

void next_day(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  DateTimeValue date = required_date(args[0], session_of(context));
  std::string name = text_argument(args[1]);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr const char* kNames[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  int target = 0;
  for (int i = 0; i < 7; ++i) {
    if (name.rfind(kNames[i], 0) == 0) target = i + 1;
  }
  if (target == 0) throw_oracle(1846);
  int ahead = (target - date.day_of_week() + 7) % 7;
  if (ahead == 0) ahead = 7;
  DateTimeValue result = DateTimeValue::from_days(static_cast<double>(date.day_number() + ahead));
  result.hour = date.hour;
  result.minute = date.minute;
  result.second = date.second;
  set_date(context, result);
}

// ociemu_extract(field, value) for EXTRACT(field FROM value).
void extract(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  auto date = date_argument(args[1]);
  if (!date) throw_oracle(30076);
  std::string field = text_argument(args[0]);
  if (field == "YEAR") return sqlite3_result_int(context, date->year);
  if (field == "MONTH") return sqlite3_result_int(context, date->month);
  if (field == "DAY") return sqlite3_result_int(context, date->day);
  if (field == "HOUR") return sqlite3_result_int(context, date->hour);
  if (field == "MINUTE") return sqlite3_result_int(context, date->minute);
  if (field == "SECOND") return set_result(context, Number::of(static_cast<double>(date->second) + static_cast<double>(date->nanoseconds) / 1e9));
  throw_oracle(30076);
}

// ---- session and environment --------------------------------------------------------------

void user(sqlite3_context* context, int, Args) { set_result(context, session_of(context).user); }

std::string userenv_value(SessionContext& session, std::string parameter) {
  for (char& c : parameter) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (parameter == "SESSIONID" || parameter == "SID") return std::to_string(session.session_id);
  if (parameter == "SESSION_USER" || parameter == "CURRENT_USER") return session.user;
  if (parameter == "CURRENT_SCHEMA") return session.current_schema.empty() ? session.user : session.current_schema;
  if (parameter == "LANGUAGE") return "AMERICAN_AMERICA.AL32UTF8";
  if (parameter == "LANG") return "US";
  if (parameter == "TERMINAL") return "unknown";
  if (parameter == "ISDBA") return "FALSE";
  if (parameter == "DB_NAME" || parameter == "INSTANCE_NAME") return "OCIEMU";
  if (parameter == "NLS_DATE_FORMAT") return session.nls_date_format;
  if (parameter == "MODULE") return session.module;
  if (parameter == "ACTION") return session.action;
  if (parameter == "CLIENT_INFO") return session.client_info;
  if (parameter == "CLIENT_IDENTIFIER") return session.client_identifier;
  if (parameter == "SERVICE_NAME" || parameter == "DB_UNIQUE_NAME" || parameter == "CON_NAME") return "OCIEMU";
  if (parameter == "INSTANCE") return "1";
  if (parameter == "AUTHENTICATION_METHOD") return "PASSWORD";
  if (parameter == "AUTHENTICATED_IDENTITY") return session.user;
  // No proxy, domain or cloud: Oracle answers NULL, which the empty text becomes.
  if (parameter == "PROXY_USER" || parameter == "DB_DOMAIN" || parameter == "CLOUD_SERVICE") return "";
  throw_oracle(2003);
}

void userenv(sqlite3_context* context, int, Args args) {
  std::string value = userenv_value(session_of(context), text_argument(args[0]));
  if (text_argument(args[0]) == "SESSIONID") return sqlite3_result_int64(context, session_of(context).session_id);
  set_result(context, value);
}

void sys_context(sqlite3_context* context, int, Args args) {
  std::string space = text_argument(args[0]);
  for (char& c : space) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (space != "USERENV") return sqlite3_result_null(context);
  set_result(context, userenv_value(session_of(context), text_argument(args[1])));
}

void sys_guid(sqlite3_context* context, int, Args) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t word = generator();
    std::memcpy(bytes + i, &word, 8);
  }
  sqlite3_result_blob(context, bytes, 16, SQLITE_TRANSIENT);
}

void empty_clob(sqlite3_context* context, int, Args) { sqlite3_result_text(context, "", 0, SQLITE_STATIC); }
void empty_blob(sqlite3_context* context, int, Args) { sqlite3_result_zeroblob(context, 0); }

// A BFILE value is stored as "DIRECTORY/file name"; the call interface reads it back into a locator.
void bfilename(sqlite3_context* context, int, Args args) {
  if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL) {
    return sqlite3_result_null(context);
  }
  set_result(context, text_argument(args[0]) + "/" + text_argument(args[1]));
}

void hextoraw(sqlite3_context* context, int, Args args) {
  std::string hex = text_argument(args[0]);
  if (hex.empty()) return sqlite3_result_null(context);
  if (hex.size() % 2) hex.insert(0, "0");
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    auto digit = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      throw_oracle(1465);
    };
    bytes.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  sqlite3_result_blob(context, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

// OCIEMU_RAW(value): a value stored into RAW or LONG RAW; text is hex, as Oracle reads it.
void stored_raw(sqlite3_context* context, int count, Args args) {
  if (sqlite3_value_type(args[0]) != SQLITE_TEXT) return sqlite3_result_value(context, args[0]);
  hextoraw(context, count, args);
}

void rawtohex(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  if (sqlite3_value_type(args[0]) == SQLITE_BLOB) return set_result(context, text_argument(args[0]));
  std::string text = text_argument(args[0]);
  std::string hex;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : text) {
    hex.push_back(kHex[c >> 4]);
    hex.push_back(kHex[c & 15]);
  }
  set_result(context, hex);
}

// ---- rowids and sequences -----------------------------------------------------------------

// ociemu_rowid(object_id, rowid): the 18-character rowid text.
void rowid_text(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  std::string text = encode_rowid(sqlite3_value_int64(args[0]), sqlite3_value_int64(args[1]));
  sqlite3_result_text(context, text.data(), 18, SQLITE_TRANSIENT);
}

// ociemu_rowid_row(text, object_id): the SQLite rowid a rowid text names in
// this table, NULL when it belongs to another table; ORA-01410 when malformed.
void rowid_row(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  int64_t object = 0, row = 0;
  if (!decode_rowid(text_argument(args[0]), object, row)) throw_oracle(1410);
  if (object != sqlite3_value_int64(args[1])) return sqlite3_result_null(context);
  sqlite3_result_int64(context, row);
}

// ociemu_element_rowid(object_id, key, value): a nested table element's rowid text.
void element_rowid(sqlite3_context* context, int, Args args) {
  if (any_null(2, args)) return sqlite3_result_null(context);
  const std::string text = element_rowid_text(sqlite3_value_int64(args[0]), sqlite3_value_int64(args[1]), args[2]);
  sqlite3_result_text(context, text.data(), 18, SQLITE_TRANSIENT);
}

struct SequenceState {
  int64_t next = 0, increment = 1, minimum = 1, maximum = 0;
  bool cycle = false;
};

void nextval(sqlite3_context* context, int, Args args) {
  std::string name = text_argument(args[0]);
  size_t dot = name.find('.');
  sqlite3* db = sqlite3_context_db_handle(context);
  Query read(db,
             "SELECT NEXT_VALUE, INCREMENT_BY, MIN_VALUE, MAX_VALUE, CYCLE_FLAG FROM \"OCIEMU$SEQUENCES\" WHERE OWNER = ?1 "
             "AND NAME = ?2");
  read.bind(1, std::string_view(name).substr(0, dot)).bind(2, std::string_view(name).substr(dot + 1));
  if (!read.step()) throw_oracle(2289);
  SequenceState state{read.integer(0), read.integer(1), read.integer(2), read.integer(3), read.text(4) == "Y"};
  int64_t value = state.next;
  bool past_end = state.increment > 0 ? value > state.maximum : value < state.minimum;
  if (past_end) {
    if (!state.cycle) {
      throw_oracle(8004, {name, state.increment > 0 ? "exceeds MAXVALUE" : "goes below MINVALUE"});
    }
    value = state.increment > 0 ? state.minimum : state.maximum;
  }
  int64_t following = 0;
  if (__builtin_add_overflow(value, state.increment, &following)) following = state.increment > 0 ? INT64_MAX : INT64_MIN;
  Query write(db, "UPDATE \"OCIEMU$SEQUENCES\" SET NEXT_VALUE = ?3 WHERE OWNER = ?1 AND NAME = ?2");
  write.bind(1, std::string_view(name).substr(0, dot)).bind(2, std::string_view(name).substr(dot + 1)).bind(3, following);
  write.run();
  session_of(context).sequence_values[name] = value;
  sqlite3_result_int64(context, value);
}

void currval(sqlite3_context* context, int, Args args) {
  std::string name = text_argument(args[0]);
  auto& values = session_of(context).sequence_values;
  auto found = values.find(name);
  if (found == values.end())
    throw_oracle(8002, {std::string_view(name).substr(name.find('.') + 1)});
  sqlite3_result_int64(context, found->second);
}

// OCIEMU_NUMBER(value, scale): a value stored into NUMBER(p,s), rounded to the scale
// (-127: NUMBER without one); text and exact values keep all their digits.
void stored_number(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  const int scale = sqlite3_value_int(args[1]);
  const int kind = sqlite3_value_type(args[0]);
  if (kind == SQLITE_INTEGER && scale >= 0) return sqlite3_result_int64(context, sqlite3_value_int64(args[0]));
  if (kind == SQLITE_FLOAT || kind == SQLITE_INTEGER) {
    if (scale == kUnscaled) return sqlite3_result_value(context, args[0]);
    return set_result(context, Number::of(round_decimal(sqlite3_value_double(args[0]), scale, false)));
  }
  auto exact = exact_argument(args[0]);
  if (!exact) throw_oracle(1722);
  set_number_result(context, scale == kUnscaled ? *exact : exact->rounded(scale));
}

// ---- column checks that CREATE TABLE attaches -----------------------------------------------

// ociemu_check_length(value, maximum, in_characters, 'OWNER', 'TABLE', 'COLUMN'): ORA-12899.
// MERGE's guard on a matched row: the count of source rows that meet it.
void merge_once(sqlite3_context* context, int, Args args) {
  if (sqlite3_value_int64(args[0]) > 1) throw_oracle(30926);
  sqlite3_result_int(context, 1);
}

// A value written through a WITH CHECK OPTION view, passed on only while its row stays in the view.
void view_checked(sqlite3_context* context, int, Args args) {
  if (sqlite3_value_int64(args[1]) == 0) throw_oracle(1402);
  sqlite3_result_value(context, args[0]);
}

// OCIEMU_CAST_NUMBER(value, precision, scale): CAST(value AS NUMBER(p,s)), rounded to the scale;
// ORA-01438 when its integer part needs more than p - s digits.
void cast_number(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  auto exact = exact_argument(args[0]);
  if (!exact) throw_oracle(1722);
  const int precision = sqlite3_value_int(args[1]), scale = sqlite3_value_int(args[2]);
  const Decimal rounded = exact->rounded(scale);
  if (!rounded.is_zero() && rounded.magnitude() >= precision - scale) throw_oracle(1438);
  set_number_result(context, rounded);
}

// OCIEMU_CAST_TEXT(text, maximum, in_characters): CAST(text AS VARCHAR2(n)); ORA-25137 when it is longer.
void cast_text(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  const std::string value = text_argument(args[0]);
  const size_t length = sqlite3_value_int(args[2]) ? char_count(value) : value.size();
  if (length > static_cast<size_t>(sqlite3_value_int64(args[1]))) throw_oracle(25137);
  sqlite3_result_text(context, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

void check_length(sqlite3_context* context, int, Args args) {
  if (is_null(args[0])) return sqlite3_result_int(context, 1);
  int64_t maximum = sqlite3_value_int64(args[1]);
  if (sqlite3_value_type(args[0]) == SQLITE_BLOB) {
    if (sqlite3_value_bytes(args[0]) <= maximum) return sqlite3_result_int(context, 1);
  } else if (sqlite3_value_type(args[0]) == SQLITE_TEXT && sqlite3_value_bytes(args[0]) <= maximum) {
    // No more bytes than allowed is no more characters either: nothing to copy or count.
    return sqlite3_result_int(context, 1);
  }
  int64_t actual = sqlite3_value_type(args[0]) == SQLITE_BLOB ? sqlite3_value_bytes(args[0])
                   : sqlite3_value_int(args[2])                ? static_cast<int64_t>(char_count(text_argument(args[0])))
                                                               : static_cast<int64_t>(text_argument(args[0]).size());
  if (actual > maximum) {
    std::string column = in_quotes(text_argument(args[3])) + "." + in_quotes(text_argument(args[4])) + "." +
                         in_quotes(text_argument(args[5]));
    throw_oracle(12899, {column, std::to_string(actual), std::to_string(maximum)});
  }
  sqlite3_result_int(context, 1);
}

void single_row(sqlite3_context* context, int, Args args) {
  if (sqlite3_value_int64(args[0]) > 1) throw_oracle(1427);
  sqlite3_result_value(context, args[1]);
}

// ---- registration -------------------------------------------------------------------------

using Function = void (*)(sqlite3_context*, int, Args);

template <Function F>
void guarded(sqlite3_context* context, int count, Args args) {
  try {
    F(context, count, args);
  } catch (const OracleException& failure) {
    std::string text = full_message(failure.error.code, failure.error.message);
    sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

struct Registration {
  const char* name;
  int min_args;
  int max_args;  // -1: any number
  Function function;
  bool deterministic;
};

constexpr int kAny = -1;

#define OCIEMU_FN(name, min, max, function, deterministic) \
  Registration { name, min, max, &guarded<function>, deterministic }

const Registration kFunctions[] = {
    OCIEMU_FN("OCIEMU_ADD", 2, 2, oracle_add, true),
    OCIEMU_FN("OCIEMU_SUB", 2, 2, oracle_subtract, true),
    OCIEMU_FN("OCIEMU_DIV", 2, 2, exact_divide, true),
    OCIEMU_FN("OCIEMU_CONCAT", 1, kAny, oracle_concat, true),
    OCIEMU_FN("CONCAT", 2, 2, oracle_concat, true),
    OCIEMU_FN("OCIEMU_ROWID", 2, 2, rowid_text, true),
    OCIEMU_FN("OCIEMU_ROWID_ROW", 2, 2, rowid_row, true),
    OCIEMU_FN("OCIEMU_ELEMENT_ROWID", 3, 3, element_rowid, true),
    OCIEMU_FN("OCIEMU_NEXTVAL", 1, 1, nextval, false),
    OCIEMU_FN("OCIEMU_CURRVAL", 1, 1, currval, false),
    OCIEMU_FN("OCIEMU_TRIM", 3, 3, trim_from, true),
    OCIEMU_FN("OCIEMU_EXTRACT", 2, 2, extract, true),
    OCIEMU_FN("OCIEMU_NUMBER", 2, 2, stored_number, true),
    OCIEMU_FN("OCIEMU_RAW", 1, 1, stored_raw, true),
    OCIEMU_FN("OCIEMU_DATETIME", 2, 3, stored_datetime, true),
    OCIEMU_FN("OCIEMU_CHECK_LENGTH", 6, 6, check_length, true),
    OCIEMU_FN("OCIEMU_MERGE_ONCE", 1, 1, merge_once, true),
    OCIEMU_FN("OCIEMU_VIEW_CHECKED", 2, 2, view_checked, true),
    OCIEMU_FN(kSingleRowFunction, 2, 2, single_row, true),
    OCIEMU_FN("OCIEMU_CAST_NUMBER", 3, 3, cast_number, true),
    OCIEMU_FN("OCIEMU_CAST_TEXT", 3, 3, cast_text, true),
    OCIEMU_FN("SYSDATE", 0, 0, sysdate, false),
    OCIEMU_FN("SYSTIMESTAMP", 0, 0, systimestamp, false),
    OCIEMU_FN("OCIEMU_CURRENT_TIMESTAMP", 0, 0, current_timestamp, false),
    OCIEMU_FN("OCIEMU_LOCALTIMESTAMP", 0, 0, local_timestamp, false),
    OCIEMU_FN("OCIEMU_SESSIONTIMEZONE", 0, 0, session_time_zone, false),
    OCIEMU_FN("OCIEMU_DBTIMEZONE", 0, 0, database_time_zone, false),
    OCIEMU_FN("OCIEMU_USER", 0, 0, user, true),
    OCIEMU_FN("USERENV", 1, 1, userenv, true),
    OCIEMU_FN("SYS_CONTEXT", 2, 3, sys_context, true),
    OCIEMU_FN("SYS_GUID", 0, 0, sys_guid, false),
    OCIEMU_FN("NVL", 2, 2, nvl, true),
    OCIEMU_FN("NVL2", 3, 3, nvl2, true),
    OCIEMU_FN("DECODE", 3, kAny, decode, true),
    OCIEMU_FN("GREATEST", 1, kAny, extreme<1>, true),
    OCIEMU_FN("LEAST", 1, kAny, extreme<-1>, true),
    OCIEMU_FN("TO_CHAR", 1, 4, to_char, true),
    OCIEMU_FN("TO_NCHAR", 1, 4, to_char, true),
    OCIEMU_FN("TO_DATE", 1, 3, to_date, true),
    OCIEMU_FN("TO_TIMESTAMP", 1, 3, to_timestamp, true),
    OCIEMU_FN("TO_TIMESTAMP_TZ", 1, 3, to_timestamp_tz, false),
    OCIEMU_FN("FROM_TZ", 2, 2, from_tz, true),
    OCIEMU_FN("SYS_EXTRACT_UTC", 1, 1, sys_extract_utc, false),
    OCIEMU_FN("OCIEMU_AT_ZONE", 2, 2, at_time_zone, false),
    OCIEMU_FN("OCIEMU_AT_LOCAL", 1, 1, at_time_zone, false),
    OCIEMU_FN("OCIEMU_ADD_YM", 2, 2, add_year_month, true),
    OCIEMU_FN("TO_YMINTERVAL", 1, 1, to_yminterval, true),
    OCIEMU_FN("TO_DSINTERVAL", 1, 2, to_dsinterval, true),
    OCIEMU_FN("NUMTOYMINTERVAL", 2, 2, numtoyminterval, true),
    OCIEMU_FN("NUMTODSINTERVAL", 2, 2, numtodsinterval, true),
    OCIEMU_FN("TO_NUMBER", 1, 3, to_number, true),
    OCIEMU_FN("TO_CLOB", 1, 1, to_text, true),
    OCIEMU_FN("TO_NCLOB", 1, 1, to_text, true),
    OCIEMU_FN("CHR", 1, 1, chr, true),
    OCIEMU_FN("ASCII", 1, 1, ascii, true),
    OCIEMU_FN("SUBSTR", 2, 3, substr, true),
    OCIEMU_FN("INSTR", 2, 4, instr, true),
    OCIEMU_FN("LENGTH", 1, 1, length, true),
    OCIEMU_FN("LENGTHB", 1, 1, lengthb, true),
    OCIEMU_FN("UPPER", 1, 1, change_case<upper_char>, true),
    OCIEMU_FN("LOWER", 1, 1, change_case<lower_char>, true),
    OCIEMU_FN("INITCAP", 1, 1, initcap, true),
    OCIEMU_FN("TRIM", 1, 1, trim<kBoth>, true),
    OCIEMU_FN("LTRIM", 1, 2, trim<kLeading>, true),
    OCIEMU_FN("RTRIM", 1, 2, trim<kTrailing>, true),
    OCIEMU_FN("LPAD", 2, 3, pad<true>, true),
    OCIEMU_FN("RPAD", 2, 3, pad<false>, true),
    OCIEMU_FN("REPLACE", 2, 3, replace, true),
    OCIEMU_FN("TRANSLATE", 3, 3, translate, true),
    OCIEMU_FN("SOUNDEX", 1, 1, soundex, true),
    OCIEMU_FN("TRUNC", 1, 2, round_or_truncate<true>, true),
    OCIEMU_FN("ROUND", 1, 2, round_or_truncate<false>, true),
    OCIEMU_FN("MOD", 2, 2, mod, true),
    OCIEMU_FN("CEIL", 1, 1, unary_math<std::ceil>, true),
    OCIEMU_FN("FLOOR", 1, 1, unary_math<std::floor>, true),
    OCIEMU_FN("EXP", 1, 1, unary_math<std::exp>, true),
    OCIEMU_FN("SIGN", 1, 1, sign, true),
    OCIEMU_FN("POWER", 2, 2, power, true),
    OCIEMU_FN("SQRT", 1, 1, square_root, true),
    OCIEMU_FN("LN", 1, 1, natural_log, true),
    OCIEMU_FN("LOG", 2, 2, log_base, true),
    OCIEMU_FN("BITAND", 2, 2, bitand_function, true),
    OCIEMU_FN("ADD_MONTHS", 2, 2, add_months_function, true),
    OCIEMU_FN("MONTHS_BETWEEN", 2, 2, months_between, true),
    OCIEMU_FN("LAST_DAY", 1, 1, last_day, true),
    OCIEMU_FN("NEXT_DAY", 2, 2, next_day, true),
    OCIEMU_FN("EMPTY_CLOB", 0, 0, empty_clob, true),
    OCIEMU_FN("EMPTY_BLOB", 0, 0, empty_blob, true),
    OCIEMU_FN("HEXTORAW", 1, 1, hextoraw, true),
    OCIEMU_FN("BFILENAME", 2, 2, bfilename, true),
    OCIEMU_FN("RAWTOHEX", 1, 1, rawtohex, true),
    OCIEMU_FN("CHARTOROWID", 1, 1, chartorowid, true),
    OCIEMU_FN("ROWIDTOCHAR", 1, 1, rowidtochar, true),
    OCIEMU_FN("OCIEMU_DBMS_ROWID_ROWID_TYPE", 1, 1, rowid_type, true),
    OCIEMU_FN("OCIEMU_DBMS_ROWID_ROWID_OBJECT", 1, 1, rowid_object, true),
    OCIEMU_FN("OCIEMU_DBMS_ROWID_ROWID_RELATIVE_FNO", 1, 1, rowid_file, true),
    OCIEMU_FN("OCIEMU_DBMS_ROWID_ROWID_BLOCK_NUMBER", 1, 1, rowid_block, true),
    OCIEMU_FN("OCIEMU_DBMS_ROWID_ROWID_ROW_NUMBER", 1, 1, rowid_row_number, true),
    OCIEMU_FN("OCIEMU_UTL_RAW_CAST_TO_RAW", 1, 1, raw_cast_to_raw, true),
    OCIEMU_FN("OCIEMU_UTL_RAW_CAST_TO_VARCHAR2", 1, 1, raw_cast_to_varchar2, true),
    OCIEMU_FN("OCIEMU_UTL_RAW_LENGTH", 1, 1, raw_length, true),
    OCIEMU_FN("OCIEMU_UTL_RAW_CONCAT", 1, 12, raw_concat, true),
    OCIEMU_FN("OCIEMU_UTL_RAW_SUBSTR", 2, 3, raw_substr, true),
};

#undef OCIEMU_FN

}  // namespace

void register_functions(sqlite3* db, SessionContext* session) {
  register_exact_numbers(db);
  register_exact_order(db);
  register_lob_functions(db);
  register_dump_function(db);
  register_blank_padding(db);
  register_cursor_rows(db);
  register_schema_text_functions(db);
  register_hierarchy_functions(db);
  register_collection_dml_functions(db);
  register_listagg(db);
  for (const Registration& registration : kFunctions) {
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (registration.deterministic ? SQLITE_DETERMINISTIC : 0);
    if (registration.max_args == kAny) {
      sqlite3_create_function_v2(db, registration.name, -1, flags, session, registration.function, nullptr, nullptr,
                                 nullptr);
      continue;
    }
    for (int count = registration.min_args; count <= registration.max_args; ++count) {
      sqlite3_create_function_v2(db, registration.name, count, flags, session, registration.function, nullptr, nullptr,
                                 nullptr);
    }
  }
}

}  // namespace ociemu::sql
