// Order and arithmetic of NUMBER values that may be in the exact form: SQLite sorts
// BLOBs above every number and reads them approximately in its own arithmetic.
// Division keeps Oracle's precision, up to forty digits, beyond a Decimal's 38.
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/messages.h"

namespace ociemu::sql {

std::string number_order_key(const Decimal& value) {
  if (value.is_zero()) return "1";
  std::string digits;
  for (auto rest = value.coefficient; rest > 0; rest /= 10) digits.insert(digits.begin(), static_cast<char>('0' + rest % 10));
  // The leading digit's power, biased to three digits (NUMBER spans -130 to 125).
  const std::string power = std::to_string(value.magnitude() + 500);
  if (!value.negative) return "2" + power + digits;
  // Negative: powers and digits reversed, and a mark above every digit so that a longer
  // value (further from zero) sorts before its own prefix.
  std::string key = "0" + std::to_string(999 - (value.magnitude() + 500));
  for (char c : digits) key.push_back(static_cast<char>('9' - (c - '0')));
  return key + "~";
}

std::optional<Decimal> number_from_order_key(std::string_view key) {
  if (key == "1") return Decimal{};
  const bool negative = !key.empty() && key.front() == '0';
  if (key.size() < 5 || (key.front() != '2' && !negative) || (negative && key.back() != '~')) return std::nullopt;
  const int biased = std::stoi(std::string(key.substr(1, 3)));
  const int power = (negative ? 999 - biased : biased) - 500;
  std::string_view digits = key.substr(4, key.size() - 4 - (negative ? 1 : 0));
  std::string shown;
  for (char c : digits) shown.push_back(negative ? static_cast<char>('9' - (c - '0')) : c);
  return Decimal::parse(decimal_text(negative, shown, power - static_cast<int>(shown.size()) + 1));
}

namespace {

void fail_in(sqlite3_context* context, int code) {
  const std::string text = full_message(code, message_text(code));
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

void number_key(sqlite3_context* context, int, sqlite3_value** arguments) {
  sqlite3_value* value = arguments[0];
  if (sqlite3_value_type(value) == SQLITE_NULL) return sqlite3_result_null(context);
  auto exact = exact_argument(value);
  if (!exact) return sqlite3_result_value(context, value);
  const std::string key = number_order_key(*exact);
  sqlite3_result_text(context, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

bool stored_as_number(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return true;
    case SQLITE_BLOB: return is_exact_number(sqlite3_value_blob(value), static_cast<size_t>(sqlite3_value_bytes(value)));
    default: return false;
  }
}

void stored_number_key(sqlite3_context* context, int count, sqlite3_value** arguments) {
  if (!stored_as_number(arguments[0])) return sqlite3_result_value(context, arguments[0]);
  number_key(context, count, arguments);
}

void number_from_key(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) != SQLITE_TEXT) return sqlite3_result_value(context, arguments[0]);
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
  auto value = number_from_order_key(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(arguments[0]))));
  if (!value) return sqlite3_result_value(context, arguments[0]);
  set_number_result(context, *value);
}

}  // namespace

int compare_values(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
    const int64_t x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (ta == SQLITE_FLOAT && tb == SQLITE_FLOAT) {
    const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const bool na = stored_as_number(a), nb = stored_as_number(b);
  if (na && nb) return exact_argument(a)->compare(*exact_argument(b));
  auto rank = [](bool number, int type) { return number ? 0 : type == SQLITE_TEXT ? 1 : 2; };
  if (rank(na, ta) != rank(nb, tb)) return rank(na, ta) - rank(nb, tb);
  const auto la = static_cast<size_t>(sqlite3_value_bytes(a)), lb = static_cast<size_t>(sqlite3_value_bytes(b));
  const void* pa = ta == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
  const void* pb = tb == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
  const size_t common = std::min(la, lb);
  if (int order = common ? std::memcmp(pa, pb, common) : 0) return order;
  return la < lb ? -1 : la > lb ? 1 : 0;
}

namespace {

// The extreme value so far, owned (sqlite3_value_dup) until the final call.
struct ExtremeState {
  sqlite3_value* best;
};

template <int Sign>
void extreme_step(sqlite3_context* context, int, sqlite3_value** arguments) {
  sqlite3_value* value = arguments[0];
  if (sqlite3_value_type(value) == SQLITE_NULL) return;
  auto* state = static_cast<ExtremeState*>(sqlite3_aggregate_context(context, sizeof(ExtremeState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  if (state->best != nullptr && compare_values(value, state->best) * Sign <= 0) return;
  sqlite3_value* copy = sqlite3_value_dup(value);
  if (copy == nullptr) return sqlite3_result_error_nomem(context);
  sqlite3_value_free(state->best);
  state->best = copy;
}

void extreme_final(sqlite3_context* context) {
  auto* state = static_cast<ExtremeState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || state->best == nullptr) return sqlite3_result_null(context);
  sqlite3_result_value(context, state->best);
  sqlite3_value_free(state->best);
  state->best = nullptr;
}

using u128 = unsigned __int128;

// ---- division, to Oracle's precision: a quotient may need forty digits, more than a Decimal's 38 ----

// The next decimal digit of remainder / divisor (remainder < divisor), leaving the new remainder.
// A remainder near 2^128 cannot be multiplied by ten, so it is then added ten times modulo the divisor.
unsigned next_digit(u128& remainder, u128 divisor) {
  if (remainder < (u128(1) << 124)) {
    const u128 scaled = remainder * 10;
    remainder = scaled % divisor;
    return static_cast<unsigned>(scaled / divisor);
  }
  unsigned digit = 0;
  u128 sum = 0;
  for (int k = 0; k < 10; ++k) {
    if (sum >= divisor - remainder) {
      sum -= divisor - remainder;
      ++digit;
    } else {
      sum += remainder;
    }
  }
  remainder = sum;
  return digit;
}

std::string digits_of(u128 value) {
  std::string digits;
  for (; value > 0; value /= 10) digits.insert(digits.begin(), static_cast<char>('0' + value % 10));
  return digits;
}

// Adds one to the last digit; returns true when the carry adds a leading digit.
bool round_up(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return false;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
  return true;
}

struct Quotient {
  std::string digits;  // significant digits, no leading or trailing zeros
  int leading_power;   // the power of ten of the first digit
};

// |a| / |b| (b not zero) rounded half away from zero to twenty base-100 digits: the leading
// base-100 digit holds one or two decimal digits, as the leading power is even or odd.
Quotient divide(const Decimal& a, const Decimal& b) {
  const u128 whole = a.coefficient / b.coefficient;
  u128 remainder = a.coefficient % b.coefficient;
  std::string digits = whole > 0 ? digits_of(whole) : std::string();
  int power = a.exponent - b.exponent + static_cast<int>(digits.size()) - 1;
  auto wanted = [&] { return (power % 2 != 0 ? 40 : 39) + 1; };  // one more, to round by
  while (remainder != 0 && (digits.empty() || static_cast<int>(digits.size()) < wanted())) {
    const unsigned digit = next_digit(remainder, b.coefficient);
    if (digits.empty() && digit == 0) {
      --power;
      continue;
    }
    digits.push_back(static_cast<char>('0' + digit));
  }
  if (digits.empty()) return {{}, 0};  // a is zero
  const auto kept = static_cast<size_t>(wanted() - 1);
  if (digits.size() > kept) {
    const bool up = digits[kept] >= '5';
    digits.resize(kept);
    if (up && round_up(digits)) ++power;
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  return {digits, power};
}

enum class Operation { Plus, Minus, Times };

// SQLite's own integer arithmetic while it is exact; decimals otherwise.
template <Operation Op>
void arithmetic(sqlite3_context* context, int, sqlite3_value** arguments) {
  sqlite3_value* a = arguments[0];
  sqlite3_value* b = arguments[1];
  if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL) return sqlite3_result_null(context);
  if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
    const int64_t x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
    int64_t result = 0;
    const bool overflow = Op == Operation::Plus    ? __builtin_add_overflow(x, y, &result)
                          : Op == Operation::Minus ? __builtin_sub_overflow(x, y, &result)
                                                   : __builtin_mul_overflow(x, y, &result);
    if (!overflow) return sqlite3_result_int64(context, result);
  } else if (sqlite3_value_type(a) == SQLITE_FLOAT && sqlite3_value_type(b) == SQLITE_FLOAT) {
    const double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
    return sqlite3_result_double(context, Op == Operation::Plus ? x + y : Op == Operation::Minus ? x - y : x * y);
  }
  auto x = exact_argument(a);
  auto y = exact_argument(b);
  if (!x || !y) return fail_in(context, 1722);
  if (Op == Operation::Times) {
    auto product = x->times(*y);
    if (!product) return fail_in(context, 1426);
    return set_number_result(context, *product);
  }
  Decimal sum = x->plus(Op == Operation::Plus ? *y : y->negated());
  if (sum.magnitude() > 125) return fail_in(context, 1426);
  set_number_result(context, sum);
}

}  // namespace

void exact_plus(sqlite3_context* context, int count, sqlite3_value** arguments) {
  arithmetic<Operation::Plus>(context, count, arguments);
}

void exact_minus(sqlite3_context* context, int count, sqlite3_value** arguments) {
  arithmetic<Operation::Minus>(context, count, arguments);
}

void exact_divide(sqlite3_context* context, int, sqlite3_value** arguments) {
  if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL)
    return sqlite3_result_null(context);
  auto a = exact_argument(arguments[0]);
  auto b = exact_argument(arguments[1]);
  if (!a || !b) return fail_in(context, 1722);
  if (b->is_zero()) return fail_in(context, 1476);
  const Quotient q = divide(*a, *b);
  if (q.digits.empty() || q.leading_power < -130) return sqlite3_result_int(context, 0);
  if (q.leading_power > 125) return fail_in(context, 1426);
  const std::string text = decimal_text(a->negative != b->negative, q.digits, q.leading_power - static_cast<int>(q.digits.size()) + 1);
  // Up to 38 digits a Decimal keeps it, in its one stored form; longer only the exact form can.
  if (q.digits.size() <= 38) return set_number_result(context, *Decimal::parse(text));
  std::string blob = text;
  blob.push_back(kExactNumberMark);
  sqlite3_result_blob(context, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
}

void register_exact_order(sqlite3* db) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  sqlite3_create_function_v2(db, kNumberKeyFunction, 1, kFlags, nullptr, number_key, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, kExactMinFunction, 1, kFlags, nullptr, nullptr, extreme_step<-1>, extreme_final,
                             nullptr);
  sqlite3_create_function_v2(db, kExactMaxFunction, 1, kFlags, nullptr, nullptr, extreme_step<1>, extreme_final,
                             nullptr);
  sqlite3_create_function_v2(db, kExactPlusFunction, 2, kFlags, nullptr, exact_plus, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, kExactMinusFunction, 2, kFlags, nullptr, exact_minus, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, kStoredNumberKeyFunction, 1, kFlags, nullptr, stored_number_key, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, kNumberFromKeyFunction, 1, kFlags, nullptr, number_from_key, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, kExactTimesFunction, 2, kFlags, nullptr, arithmetic<Operation::Times>, nullptr,
                             nullptr, nullptr);
}

}  // namespace ociemu::sql
