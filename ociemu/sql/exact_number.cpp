#include "ociemu/sql/exact_number.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/digit_blocks.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/messages.h"

namespace ociemu::sql {
namespace {

using u128 = unsigned __int128;
constexpr int kMaxDigits = 38;
constexpr int kMaxMagnitude = 125;   // NUMBER holds below 1E+126
constexpr int kMinMagnitude = -130;  // and rounds to zero below 1E-130

u128 power_of_ten(int n) {
  u128 value = 1;
  for (int i = 0; i < n; ++i) value *= 10;
  return value;
}

int digit_count(u128 value) {
  int count = 1;
  while (value >= 10) value /= 10, ++count;
  return count;
}

// value / 10^n rounded half away from zero.
u128 divide_rounded(u128 value, int n) {
  if (n <= 0) return value;
  if (n > kMaxDigits + 1) return 0;
  const u128 divisor = power_of_ten(n);
  const u128 quotient = value / divisor;
  return value % divisor >= divisor / 2 ? quotient + 1 : quotient;
}

// Keeps at most 38 digits, drops trailing zeros and gives zero one form.
Decimal normalized(Decimal value) {
  if (value.coefficient == 0) return Decimal{};
  const int excess = digit_count(value.coefficient) - kMaxDigits;
  if (excess > 0) {
    value.coefficient = divide_rounded(value.coefficient, excess);
    value.exponent += excess;
  }
  while (value.coefficient % 10 == 0) value.coefficient /= 10, ++value.exponent;
  return value;
}

int leading_power(const Decimal& value) { return value.exponent + digit_count(value.coefficient) - 1; }

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view text) {
  size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  Decimal value;
  if (i < end && (text[i] == '-' || text[i] == '+')) value.negative = text[i++] == '-';
  bool any_digit = false, seen_point = false;
  int dropped = 0;            // integer digits beyond the 38 kept
  std::optional<char> first_dropped;  // rounds the kept digits; a 39th digit kept could overflow 128 bits
  for (; i < end; ++i) {
    const char c = text[i];
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any_digit = true;
    if (value.coefficient == 0 && c == '0') {
      if (seen_point) --value.exponent;
      continue;
    }
    if (value.coefficient == 0 || digit_count(value.coefficient) < kMaxDigits) {
      value.coefficient = value.coefficient * 10 + static_cast<unsigned>(c - '0');
      if (seen_point) --value.exponent;
      continue;
    }
    if (!first_dropped) first_dropped = c;
    if (!seen_point) ++dropped;
  }
  if (!any_digit) return std::nullopt;
  if (first_dropped && *first_dropped >= '5') value.coefficient += 1;  // half away from zero
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    char* stop = nullptr;
    const std::string exponent(text.substr(i + 1, end - i - 1));
    const long shift = std::strtol(exponent.c_str(), &stop, 10);
    if (exponent.empty() || *stop != 0 || shift > 1000 || shift < -1000) return std::nullopt;
    value.exponent += static_cast<int>(shift);
    i = end;
  }
  if (i != end) return std::nullopt;
  value.exponent += dropped;
  value = normalized(value);
  if (value.is_zero()) return Decimal{};
  if (leading_power(value) > kMaxMagnitude) return std::nullopt;
  if (leading_power(value) < kMinMagnitude) return Decimal{};
  return value;
}

Decimal Decimal::of(int64_t number) {
  Decimal value;
  value.negative = number < 0;
  value.coefficient = number < 0 ? u128(-(number + 1)) + 1 : u128(number);
  return normalized(value);
}

std::string decimal_text(bool negative, const std::string& digits, int exponent) {
  if (digits.empty()) return "0";
  const int count = static_cast<int>(digits.size());
  const int point = count + exponent;  // digits before the decimal point
  std::string result;
  if (point > 40 || -point + count > 40) {
    result = digits.substr(0, 1) + (count > 1 ? "." + digits.substr(1) : "");
    const int shown = point - 1;
    result += (shown < 0 ? "E-" : "E+") + std::to_string(std::abs(shown));
  } else if (point >= count) {
    result = digits + std::string(static_cast<size_t>(point - count), '0');
  } else if (point > 0) {
    result = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
  } else {
    result = "." + std::string(static_cast<size_t>(-point), '0') + digits;
  }
  return negative ? "-" + result : result;
}

std::string Decimal::text() const {
  if (is_zero()) return "0";
  std::string digits;
  for (u128 rest = coefficient; rest > 0; rest /= 10) digits.insert(digits.begin(), static_cast<char>('0' + rest % 10));
  return decimal_text(negative, digits, exponent);
}

Decimal Decimal::rounded(int places) const {
  if (is_zero() || -exponent <= places) return *this;
  Decimal value = *this;
  const int drop = -exponent - places;
  value.coefficient = divide_rounded(coefficient, drop);
  value.exponent += drop;
  return normalized(value);
}

Decimal Decimal::truncated(int places) const {
  if (is_zero() || -exponent <= places) return *this;
  const int drop = -exponent - places;
  if (drop > kMaxDigits) return Decimal{};
  Decimal value = *this;
  value.coefficient = coefficient / power_of_ten(drop);
  value.exponent += drop;
  return normalized(value);
}

Decimal Decimal::negated() const {
  Decimal value = *this;
  value.negative = !negative && !is_zero();
  return value;
}

int Decimal::magnitude() const { return leading_power(*this); }

std::optional<Decimal> Decimal::times(const Decimal& other) const {
  if (is_zero() || other.is_zero()) return Decimal{};
  // The full 256-bit product in 64-bit limbs (low first), then divided down to 38 digits.
  using u64 = unsigned long long;
  const u64 a[2] = {static_cast<u64>(coefficient), static_cast<u64>(coefficient >> 64)};
  const u64 b[2] = {static_cast<u64>(other.coefficient), static_cast<u64>(other.coefficient >> 64)};
  u64 limbs[4] = {0, 0, 0, 0};
  for (int i = 0; i < 2; ++i) {
    u128 carry = 0;
    for (int j = 0; j < 2; ++j) {
      const u128 cell = u128(a[i]) * b[j] + limbs[i + j] + carry;
      limbs[i + j] = static_cast<u64>(cell);
      carry = cell >> 64;
    }
    limbs[i + 2] = static_cast<u64>(carry);
  }
  const u128 limit = power_of_ten(kMaxDigits);
  int dropped = 0;
  unsigned last_digit = 0;
  while (limbs[3] != 0 || limbs[2] != 0 || ((u128(limbs[1]) << 64) | limbs[0]) >= limit) {
    u128 remainder = 0;
    for (int k = 3; k >= 0; --k) {
      const u128 current = (remainder << 64) | limbs[k];
      limbs[k] = static_cast<u64>(current / 10);
      remainder = current % 10;
    }
    last_digit = static_cast<unsigned>(remainder);
    ++dropped;
  }
  Decimal product;
  product.negative = negative != other.negative;
  product.coefficient = ((u128(limbs[1]) << 64) | limbs[0]) + (last_digit >= 5 ? 1 : 0);
  product.exponent = exponent + other.exponent + dropped;
  product = normalized(product);
  if (leading_power(product) > kMaxMagnitude) return std::nullopt;
  if (leading_power(product) < kMinMagnitude) return Decimal{};
  return product;
}

Decimal Decimal::plus(const Decimal& other) const {
  if (is_zero()) return other;
  if (other.is_zero()) return *this;
  // Align both to one exponent, giving up digits below the 38 the sum can keep.
  const int top = std::max(exponent + digit_count(coefficient), other.exponent + digit_count(other.coefficient));
  const int target = std::max(std::min(exponent, other.exponent), top - kMaxDigits - 1);
  auto aligned = [target](const Decimal& value) {
    return value.exponent >= target ? value.coefficient * power_of_ten(value.exponent - target)
                                    : divide_rounded(value.coefficient, target - value.exponent);
  };
  const u128 a = aligned(*this), b = aligned(other);
  Decimal sum;
  sum.exponent = target;
  if (negative == other.negative) {
    sum.negative = negative;
    sum.coefficient = a + b;
  } else {
    sum.negative = a >= b ? negative : other.negative;
    sum.coefficient = a >= b ? a - b : b - a;
  }
  return normalized(sum);
}

int Decimal::compare(const Decimal& other) const {
  if (is_zero() || other.is_zero() || negative != other.negative) {
    const int left = is_zero() ? 0 : negative ? -1 : 1;
    const int right = other.is_zero() ? 0 : other.negative ? -1 : 1;
    return left - right;
  }
  int order = 0;
  if (leading_power(*this) != leading_power(other)) {
    order = leading_power(*this) < leading_power(other) ? -1 : 1;
  } else {
    const int target = std::min(exponent, other.exponent);
    const u128 a = coefficient * power_of_ten(exponent - target);
    const u128 b = other.coefficient * power_of_ten(other.exponent - target);
    order = a < b ? -1 : a > b ? 1 : 0;
  }
  return negative ? -order : order;
}

std::optional<int64_t> Decimal::to_int64() const {
  if (exponent < 0 || leading_power(*this) > 18) return std::nullopt;
  const u128 value = coefficient * power_of_ten(exponent);
  const u128 limit = u128(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  if (value > limit) return std::nullopt;
  if (negative) return value == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

double Decimal::to_double() const { return std::strtod(text().c_str(), nullptr); }

namespace {

bool is_number_char(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E' || c == '+'; }

// Whether each of `size` bytes, at least a block, is a number's: a block at a time, the last
// one overlapping the ones before (checking a byte twice changes nothing).
template <typename Blocks>
bool all_number_chars(const char* text, size_t size) {
  constexpr auto kWidth = static_cast<size_t>(Blocks::kWidth);
  for (size_t at = 0;; at += kWidth) {
    at = std::min(at, size - kWidth);
    for (uint64_t others = Blocks::non_digits(text + at); others != 0; others &= others - 1) {
      if (!is_number_char(text[at + static_cast<size_t>(std::countr_zero(others) / Blocks::kBitsPerLane)])) {
        return false;
      }
    }
    if (at + kWidth == size) return true;
  }
}

}  // namespace

bool is_exact_number(const void* blob, size_t size) {
  if (blob == nullptr || size < 2) return false;
  const auto* bytes = static_cast<const char*>(blob);
  const char* end = bytes + size - 1;
  if (*end != kExactNumberMark) return false;
#ifdef __SSE2__
  if (size - 1 >= Sse2Digits::kWidth) return all_number_chars<Sse2Digits>(bytes, size - 1);
#endif
  if (size - 1 >= WordDigits::kWidth) return all_number_chars<WordDigits>(bytes, size - 1);
  return std::all_of(bytes, end, is_number_char);  // shorter than a block
}

std::string_view exact_number_text(const void* blob, size_t size) {
  return std::string_view(static_cast<const char*>(blob), size - 1);
}

std::string exact_number_blob(const Decimal& value) {
  std::string blob = value.text();
  blob.push_back(kExactNumberMark);
  return blob;
}

namespace {

enum class Form { Integer, Real, Exact };

// The one stored form of a value (see the header).
Form form_of(const Decimal& value, int64_t& integer, double& real) {
  if (auto whole = value.to_int64()) {
    integer = *whole;
    return Form::Integer;
  }
  real = value.to_double();
  auto shown = Decimal::parse(format_number(real));
  return shown && shown->compare(value) == 0 && shown->negative == value.negative ? Form::Real : Form::Exact;
}

}  // namespace

void set_number_result(sqlite3_context* context, const Decimal& value) {
  int64_t integer = 0;
  double real = 0;
  switch (form_of(value, integer, real)) {
    case Form::Integer: return sqlite3_result_int64(context, integer);
    case Form::Real: return sqlite3_result_double(context, real);
    case Form::Exact: {
      const std::string blob = exact_number_blob(value);
      return sqlite3_result_blob(context, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    }
  }
}

void bind_number(sqlite3_stmt* stmt, int index, const Decimal& value) {
  int64_t integer = 0;
  double real = 0;
  switch (form_of(value, integer, real)) {
    case Form::Integer: sqlite3_bind_int64(stmt, index, integer); return;
    case Form::Real: sqlite3_bind_double(stmt, index, real); return;
    case Form::Exact: {
      const std::string blob = exact_number_blob(value);
      sqlite3_bind_blob(stmt, index, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
      return;
    }
  }
}

std::optional<Decimal> exact_argument(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return Decimal::of(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return Decimal::parse(format_number(sqlite3_value_double(value)));
    case SQLITE_BLOB: {
      const void* bytes = sqlite3_value_blob(value);
      const auto size = static_cast<size_t>(sqlite3_value_bytes(value));
      if (!is_exact_number(bytes, size)) return std::nullopt;
      return Decimal::parse(exact_number_text(bytes, size));
    }
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return Decimal::parse(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(value))));
    }
    default: return std::nullopt;
  }
}

std::string number_literal(std::string_view literal) {
  auto value = Decimal::parse(literal);
  int64_t integer = 0;
  double real = 0;
  if (!value || form_of(*value, integer, real) != Form::Exact) return std::string(literal);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string sql = "X'";
  for (unsigned char c : exact_number_blob(*value)) sql += kHex[c >> 4], sql += kHex[c & 15];
  return sql + "'";
}

namespace {

// The running state of OCIEMU_SUM, in SQLite's zero-filled aggregate memory:
// a 64-bit sum until it would overflow or an exact value arrives, then exact;
// a REAL anywhere makes the result REAL, as SQLite's SUM does. That memory is
// only 8-byte aligned, so the exact value is kept as bytes.
struct SumState {
  int64_t values;  // non-null values summed
  int64_t integer;
  bool exact_mode;
  unsigned char exact[sizeof(Decimal)];
  bool has_real;
  double real;
};

Decimal exact_of(const SumState& state) {
  Decimal value;
  std::memcpy(&value, state.exact, sizeof value);
  return value;
}

void set_exact(SumState& state, const Decimal& value) { std::memcpy(state.exact, &value, sizeof value); }

void fail_in(sqlite3_context* context, int code) {
  const std::string text = full_message(code, message_text(code));
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

void add_exact(SumState& state, const Decimal& value) {
  if (!state.exact_mode) {
    set_exact(state, Decimal::of(state.integer));
    state.exact_mode = true;
  }
  set_exact(state, exact_of(state).plus(value));
}

void accumulate(sqlite3_context* context, sqlite3_value* argument, bool remove) {
  if (sqlite3_value_type(argument) == SQLITE_NULL) return;
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  state->values += remove ? -1 : 1;
  switch (sqlite3_value_type(argument)) {
    case SQLITE_INTEGER: {
      const int64_t value = sqlite3_value_int64(argument);
      int64_t sum = 0;
      const bool overflow = remove ? __builtin_sub_overflow(state->integer, value, &sum)
                                   : __builtin_add_overflow(state->integer, value, &sum);
      if (!state->exact_mode && !overflow) {
        state->integer = sum;
      } else {
        Decimal term = Decimal::of(value);
        if (remove) term.negative = !term.negative && !term.is_zero();
        add_exact(*state, term);
      }
      return;
    }
    case SQLITE_FLOAT:
      state->has_real = true;
      state->real += remove ? -sqlite3_value_double(argument) : sqlite3_value_double(argument);
      return;
    default: {
      auto term = exact_argument(argument);
      if (!term) return fail_in(context, 1722);
      if (remove) term->negative = !term->negative && !term->is_zero();
      add_exact(*state, *term);
    }
  }
}

void sum_step(sqlite3_context* context, int, sqlite3_value** arguments) { accumulate(context, arguments[0], false); }
void sum_inverse(sqlite3_context* context, int, sqlite3_value** arguments) { accumulate(context, arguments[0], true); }

void sum_value(sqlite3_context* context) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || state->values == 0) return sqlite3_result_null(context);
  if (state->has_real) {
    const double whole = state->exact_mode ? exact_of(*state).to_double() : static_cast<double>(state->integer);
    return sqlite3_result_double(context, whole + state->real);
  }
  if (state->exact_mode) return set_number_result(context, exact_of(*state));
  sqlite3_result_int64(context, state->integer);
}

void is_exact(sqlite3_context* context, int, sqlite3_value** arguments) {
  const void* bytes = sqlite3_value_blob(arguments[0]);
  const auto size = static_cast<size_t>(sqlite3_value_bytes(arguments[0]));
  sqlite3_result_int(context, sqlite3_value_type(arguments[0]) == SQLITE_BLOB && is_exact_number(bytes, size) ? 1 : 0);
}

void exact_fits(sqlite3_context* context, int, sqlite3_value** arguments) {
  auto value = exact_argument(arguments[0]);
  const int digits = sqlite3_value_int(arguments[1]);
  sqlite3_result_int(context, value && (value->is_zero() || leading_power(*value) < digits) ? 1 : 0);
}

}  // namespace

void register_exact_numbers(sqlite3* db) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_window_function(db, kExactSumFunction, 1, kFlags, nullptr, sum_step, sum_value, sum_value, sum_inverse,
                                 nullptr);
  sqlite3_create_function_v2(db, kIsExactNumberFunction, 1, kFlags, nullptr, is_exact, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, kExactFitsFunction, 2, kFlags, nullptr, exact_fits, nullptr, nullptr, nullptr);
}

}  // namespace ociemu::sql
