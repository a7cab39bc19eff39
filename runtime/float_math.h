// Floating-point and integer arithmetic that raises the host runtime's
// arithmetic exceptions (EZeroDivide, EInvalidOp, EDivByZero) where C++ would
// silently yield NaN or infinity or have undefined behaviour. Thread-safe: yes.
#pragma once

#include <cstdint>

namespace kvell {

// value itself; EInvalidOp when it is NaN (an invalid operation produced it).
double CheckFloat(double value);

// EZeroDivide for x / 0, EInvalidOp for 0 / 0.
double FloatDivide(double dividend, double divisor);
// EInvalidOp below 0, EZeroDivide at 0.
double FloatLn(double value);
// EInvalidOp below 0.
double FloatSqrt(double value);

// Toward zero / to nearest with ties to even; EInvalidOp outside the 64-bit range or for NaN.
int64_t Trunc(double value);
int64_t Round(double value);

// Truncating division and remainder with wrap-around (INT32_MIN div -1 is
// INT32_MIN); EDivByZero for a zero divisor.
int32_t IntDiv(int32_t dividend, int32_t divisor);
int32_t IntMod(int32_t dividend, int32_t divisor);

}  // namespace kvell
