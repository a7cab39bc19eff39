#include "runtime/float_math.h"

#include <cmath>

#include "runtime/exception.h"

namespace kvell {
namespace {

// 2^63: the first double beyond the int64 range.
constexpr double Int64Limit = 9223372036854775808.0;

int64_t to_int64(double whole) {
  if (!(whole >= -Int64Limit && whole < Int64Limit)) throw EInvalidOp();
  return static_cast<int64_t>(whole);
}

}  // namespace

double CheckFloat(double value) {
  if (std::isnan(value)) throw EInvalidOp();
  return value;
}

double FloatDivide(double dividend, double divisor) {
  if (divisor == 0) {
    if (dividend == 0 || std::isnan(dividend)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return CheckFloat(dividend / divisor);
}

double FloatLn(double value) {
  if (value == 0) throw EZeroDivide();
  if (value < 0) throw EInvalidOp();
  return CheckFloat(std::log(value));
}

double FloatSqrt(double value) {
  if (value < 0) throw EInvalidOp();
  return CheckFloat(std::sqrt(value));
}

int64_t Trunc(double value) { return to_int64(std::trunc(value)); }

int64_t Round(double value) { return to_int64(std::nearbyint(value)); }

int32_t IntDiv(int32_t dividend, int32_t divisor) {
  if (divisor == 0) throw EDivByZero();
  if (divisor == -1) return static_cast<int32_t>(0u - static_cast<uint32_t>(dividend));
  return dividend / divisor;
}

int32_t IntMod(int32_t dividend, int32_t divisor) {
  if (divisor == 0) throw EDivByZero();
  if (divisor == -1) return 0;
  return dividend % divisor;
}

}  // namespace kvell
