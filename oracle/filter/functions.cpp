#include "oracle/filter/functions.h"

#include <cmath>
#include <numbers>

#include "runtime/float_math.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

enum StringFunction { sfUpper, sfLower, sfCopy, sfPos, sfLength };
enum MathFunction {
  mfTrunc, mfRound, mfAbs, mfArcTan, mfCos, mfExp, mfFrac,
  mfInt, mfLn, mfPi, mfSin, mfSqr, mfSqrt, mfPower
};

bool is_numeric(TExprType type) { return type == etFloat || type == etInteger || type == etBoolean; }
bool is_ordinal(TExprType type) { return type == etInteger || type == etBoolean; }

std::string ascii_case(std::string text, char from, char to) {
  for (char& c : text)
    if (c >= from && c <= from + 25) c = static_cast<char>(c - from + to);
  return text;
}

std::string copy(const std::string& text, int32_t start, int32_t count) {
  int64_t first = start < 1 ? 1 : start;
  if (first > static_cast<int64_t>(text.size()) || count < 0) return {};
  return text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(count));
}

int32_t position(const std::string& sub, const std::string& text) {
  if (sub.empty()) return 0;
  size_t at = text.find(sub);
  return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

}  // namespace

// --- TStringExpression ---

void TStringExpression::check_arguments() const {
  int count = ParamCount();
  bool valid = false;
  switch (Func) {
    case sfCopy:
      valid = count == 3 && Param(0).ExprType() != etDate && is_ordinal(Param(1).ExprType()) &&
              is_ordinal(Param(2).ExprType());
      break;
    case sfPos: valid = count == 2 && Param(0).ExprType() != etDate && Param(1).ExprType() != etDate; break;
    default: valid = count == 1 && Param(0).ExprType() != etDate; break;
  }
  if (!valid) RaiseExpression("Invalid parameter to %s", StringFunctionNames[static_cast<size_t>(Func)]);
}

TExprType TStringExpression::ExprType() const {
  return Func == sfPos || Func == sfLength ? etInteger : etString;
}

std::string TStringExpression::AsString() const {
  check_arguments();
  switch (Func) {
    case sfUpper: return ascii_case(Param(0).AsString(), 'a', 'A');
    case sfLower: return ascii_case(Param(0).AsString(), 'A', 'a');
    case sfCopy: {
      std::string text = Param(0).AsString();
      int32_t start = Param(1).AsInteger();
      return copy(text, start, Param(2).AsInteger());
    }
    default: return IntToStr(AsInteger());
  }
}

int32_t TStringExpression::AsInteger() const {
  check_arguments();
  switch (Func) {
    case sfPos: {
      std::string sub = Param(0).AsString();
      return position(sub, Param(1).AsString());
    }
    case sfLength: return static_cast<int32_t>(Param(0).AsString().size());
    default: return TExpression::AsInteger();
  }
}

// --- TMathExpression ---

void TMathExpression::check_arguments() const {
  if (Func == mfPi) return;
  int expected = Func == mfPower ? 2 : 1;
  bool valid = ParamCount() == expected;
  for (int i = 0; valid && i < expected; ++i) valid = is_numeric(Param(i).ExprType());
  if (!valid) RaiseExpression("Invalid parameter to %s", MathFunctionNames[static_cast<size_t>(Func)]);
}

TExprType TMathExpression::ExprType() const {
  return Func == mfTrunc || Func == mfRound ? etInteger : etFloat;
}

double TMathExpression::argument(int index) const { return Param(index).AsFloat(); }

double TMathExpression::AsFloat() const {
  check_arguments();
  if (Func == mfTrunc || Func == mfRound) return AsInteger();
  return compute();
}

double TMathExpression::compute() const {
  switch (Func) {
    case mfAbs: return std::fabs(argument(0));
    case mfArcTan: return std::atan(argument(0));
    case mfCos: return CheckFloat(std::cos(argument(0)));
    case mfExp: return std::exp(argument(0));
    case mfFrac: {
      double x = argument(0);
      return CheckFloat(x - std::trunc(x));
    }
    case mfInt: return std::trunc(argument(0));
    case mfLn: return FloatLn(argument(0));
    case mfPi: return std::numbers::pi;
    case mfSin: return CheckFloat(std::sin(argument(0)));
    case mfSqr: {
      double x = argument(0);
      return x * x;
    }
    case mfSqrt: return FloatSqrt(argument(0));
    default: {
      double x = argument(0);
      double y = argument(1);
      return CheckFloat(std::exp(CheckFloat(y * FloatLn(x))));
    }
  }
}

int32_t TMathExpression::AsInteger() const {
  check_arguments();
  // 64-bit results keep their low 32 bits.
  switch (Func) {
    case mfTrunc: return static_cast<int32_t>(Trunc(argument(0)));
    case mfRound: return static_cast<int32_t>(Round(argument(0)));
    case mfAbs: {
      int32_t x = Param(0).AsInteger();
      return x < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(x)) : x;
    }
    default: RaiseCannotRead("Cannot read %s as integer");
  }
}

// --- TTypeCast and TConditional ---

const TExpression& TTypeCast::argument() const {
  if (ParamCount() < 1) RaiseExpression("Invalid parameter to %s", TypeCastNames[TargetType]);
  return Param(0);
}

const TExpression& TConditional::branch() const {
  if (ParamCount() != 3 || Param(0).ExprType() != etBoolean) throw EExpression("Invalid parameters to If");
  return Param(0).AsBoolean() ? Param(1) : Param(2);
}

}  // namespace kvell
