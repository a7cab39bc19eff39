// NUMBER values kept exactly to 38 significant digits over SQLite. A value is
// stored as an INTEGER when it fits 64 bits, as a REAL when the double shows back
// the same value, and otherwise as a BLOB holding its Oracle text and a trailing
// mark byte, so each value has one stored form and equality stays exact in plain
// SQLite; SQLite's own arithmetic reads the text as an approximate number.
//
// Thread-safe: yes (no shared state).
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_stmt;
struct sqlite3_value;

namespace ociemu::sql {

// ±coefficient × 10^exponent with at most 38 significant digits (rounded half away from zero).
struct Decimal {
  bool negative = false;
  unsigned __int128 coefficient = 0;
  int exponent = 0;

  // Oracle number text (" -1.5e3 ", ".25"); nullopt when it is not one or overflows NUMBER.
  static std::optional<Decimal> parse(std::string_view text);
  static Decimal of(int64_t value);
  // The text Oracle shows for the value ("-1.5", ".25", "1.2E+45").
  std::string text() const;
  // Rounded to `places` digits after the point (negative: before it).
  Decimal rounded(int places) const;
  // Cut to `places` digits after the point (negative: before it), toward zero.
  Decimal truncated(int places) const;
  Decimal plus(const Decimal& other) const;
  // The product rounded to 38 digits; nullopt when it overflows NUMBER.
  std::optional<Decimal> times(const Decimal& other) const;
  Decimal negated() const;
  int compare(const Decimal& other) const;  // <0, 0, >0
  // The power of ten of the leading digit (2 for 345, -1 for .5).
  int magnitude() const;
  std::optional<int64_t> to_int64() const;
  double to_double() const;
  bool is_zero() const { return coefficient == 0; }
};

inline constexpr char kExactNumberMark = '\0';
inline constexpr int kUnscaled = -127;  // OracleType::scale of NUMBER without a scale

// Oracle's text of ±digits × 10^exponent, digits without leading zeros ("0" when empty).
std::string decimal_text(bool negative, const std::string& digits, int exponent);

// Whether a BLOB is an exact NUMBER, and its text.
bool is_exact_number(const void* blob, size_t size);
std::string_view exact_number_text(const void* blob, size_t size);

// The high bit of each byte of `chunk` (eight characters, the first lowest) that is not an ASCII digit.
inline uint64_t non_digit_bytes(uint64_t chunk) {
  static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
  constexpr uint64_t kZeros = 0x3030303030303030u, kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  constexpr uint64_t kAboveNine = 0x7676767676767676u, kHigh = 0x8080808080808080u;
  const uint64_t offset = chunk ^ kZeros;  // a digit becomes 0..9
  // A byte whose offset is 10 or more; the low seven bits cannot carry over.
  return (((offset & kLow7) + kAboveNine) | offset) & kHigh;
}

std::string exact_number_blob(const Decimal& value);

// The value in its stored form: as a function's result, and as a statement parameter.
void set_number_result(sqlite3_context* context, const Decimal& value);
void bind_number(sqlite3_stmt* stmt, int index, const Decimal& value);
// A value as an exact number: INTEGER, REAL (as it shows), exact BLOB or number text; nullopt otherwise.
std::optional<Decimal> exact_argument(sqlite3_value* value);

// The SQLite text of an Oracle number literal: itself, or a BLOB literal of its
// exact form when SQLite would read it as a REAL that loses digits.
std::string number_literal(std::string_view literal);

// OCIEMU_SUM: SUM that stays exact past 64 bits (also as a window function).
void register_exact_numbers(sqlite3* db);

// Functions that keep exact values in order and in arithmetic: OCIEMU_NUMBER_KEY(x), a text
// whose byte order is the numeric order (for ORDER BY and ordering comparisons; other values pass
// through); OCIEMU_MIN / OCIEMU_MAX; OCIEMU_PLUS, OCIEMU_MINUS and OCIEMU_TIMES.
void register_exact_order(sqlite3* db);
// SQLite's order of storage classes (NULL aside), with numbers (exact ones included) compared by value.
int compare_values(sqlite3_value* a, sqlite3_value* b);
inline constexpr const char* kNumberKeyFunction = "OCIEMU_NUMBER_KEY";
inline constexpr const char* kExactMinFunction = "OCIEMU_MIN";
inline constexpr const char* kExactMaxFunction = "OCIEMU_MAX";
inline constexpr const char* kExactPlusFunction = "OCIEMU_PLUS";
inline constexpr const char* kExactMinusFunction = "OCIEMU_MINUS";
inline constexpr const char* kExactTimesFunction = "OCIEMU_TIMES";
// A number as that ordering key.
std::string number_order_key(const Decimal& value);
// a + b and a - b of numbers (number text included), exact past 64 bits; ORA-01722 for non-numbers.
void exact_plus(sqlite3_context* context, int count, sqlite3_value** arguments);
void exact_minus(sqlite3_context* context, int count, sqlite3_value** arguments);
// a / b kept to Oracle's precision of twenty base-100 digits (up to forty decimal digits,
// more than a Decimal holds); ORA-01476 for a zero divisor.
void exact_divide(sqlite3_context* context, int count, sqlite3_value** arguments);
// OCIEMU_STORED_NUMBER_KEY(x): the order key of a value stored as a number (INTEGER, REAL or
// exact), other values unchanged, for columns whose type the translator cannot see.
inline constexpr const char* kStoredNumberKeyFunction = "OCIEMU_STORED_NUMBER_KEY";
// OCIEMU_NUMBER_FROM_KEY(key): the number an order key stands for, so that SQLite's own MIN and
// MAX over keys (which it computes incrementally over window frames) give exact extremes.
inline constexpr const char* kNumberFromKeyFunction = "OCIEMU_NUMBER_FROM_KEY";
std::optional<Decimal> number_from_order_key(std::string_view key);
inline constexpr const char* kExactSumFunction = "OCIEMU_SUM";
// Column checks of NUMBER: OCIEMU_IS_EXACT(value), and OCIEMU_EXACT_FITS(value, digits
// before the point) for NUMBER(p,s).
inline constexpr const char* kIsExactNumberFunction = "OCIEMU_IS_EXACT";
inline constexpr const char* kExactFitsFunction = "OCIEMU_EXACT_FITS";

}  // namespace ociemu::sql
