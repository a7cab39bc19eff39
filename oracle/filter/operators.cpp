#include "oracle/filter/operators.h"

#include <algorithm>

#include "runtime/ansi_case.h"
#include "runtime/date_text.h"
#include "runtime/float_math.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

constexpr int Invalid = -1;

// Result type by operator (rows, up to opXor) and operand type (columns).
constexpr int ResultTypes[opXor + 1][etBoolean + 1] = {
    /* opNot    */ {Invalid, Invalid, Invalid, etInteger, etBoolean},
    /* opMult   */ {Invalid, Invalid, etFloat, etInteger, Invalid},
    /* opDivide */ {Invalid, Invalid, etFloat, etFloat, Invalid},
    /* opDiv    */ {Invalid, Invalid, Invalid, etInteger, Invalid},
    /* opMod    */ {Invalid, Invalid, Invalid, etInteger, Invalid},
    /* opAnd    */ {Invalid, Invalid, Invalid, etInteger, etBoolean},
    /* opShl    */ {Invalid, Invalid, Invalid, etInteger, Invalid},
    /* opShr    */ {Invalid, Invalid, Invalid, etInteger, Invalid},
    /* opPlus   */ {etDate, etString, etFloat, etInteger, Invalid},
    /* opMinus  */ {etDate, Invalid, etFloat, etInteger, Invalid},
    /* opOr     */ {Invalid, Invalid, Invalid, etInteger, etBoolean},
    /* opXor    */ {Invalid, Invalid, Invalid, etInteger, etBoolean},
};

[[noreturn]] void raise_internal_error(int code) {
  RaiseExpression("Internal parser error. Code %d", code);
}

// Integers wrap around on overflow rather than being undefined.
int32_t wrap(uint32_t value) { return static_cast<int32_t>(value); }
uint32_t bits(int32_t value) { return static_cast<uint32_t>(value); }

int32_t integer_operation(TOperator op, int32_t left, int32_t right) {
  switch (op) {
    case opMult: return wrap(bits(left) * bits(right));
    case opDiv: return IntDiv(left, right);
    case opMod: return IntMod(left, right);
    case opAnd: return left & right;
    case opOr: return left | right;
    case opXor: return left ^ right;
    case opShl: return wrap(bits(left) << (right & 31));
    case opShr: return wrap(bits(left) >> (right & 31));
    case opPlus: return wrap(bits(left) + bits(right));
    case opMinus: return wrap(bits(left) - bits(right));
    default: raise_internal_error(12);
  }
}

double float_operation(TOperator op, double left, double right) {
  switch (op) {
    case opMult: return CheckFloat(left * right);
    case opDivide: return FloatDivide(left, right);
    case opPlus: return CheckFloat(left + right);
    case opMinus: return CheckFloat(left - right);
    default: raise_internal_error(11);
  }
}

template <typename T>
bool ordered(TOperator op, const T& left, const T& right) {
  switch (op) {
    case opEq: return left == right;
    case opNEQ: return left != right;
    case opLT: return left < right;
    case opGT: return left > right;
    case opLTE: return left <= right;
    default: return left >= right;
  }
}

bool operator_in(TOperator op, TOperator first, TOperator last) { return op >= first && op <= last; }

// Matching with the semantics of the plain backtracking algorithm, in
// O(pattern x text) steps: with several stars that algorithm is exponential.
class WildcardMatcher {
 public:
  WildcardMatcher(std::string_view pattern, std::string_view text) : p_(pattern), t_(text) {}

  bool match(size_t i, size_t j) {
    for (; i < p_.size(); ++i, ++j) {
      if (p_[i] == '*') return star(i + 1, j);
      if (j >= t_.size() || (p_[i] != '?' && p_[i] != t_[j])) return false;
    }
    return j >= t_.size();
  }

  // A star at i - 1 has matched up to j; the rest must match from some k >= j
  // that is still inside the text.
  bool star(size_t i, size_t j) {
    if (i >= p_.size()) return true;
    if (memo_.empty()) memo_.assign((p_.size() + 1) * (t_.size() + 1), Unknown);
    for (size_t k = j; k < t_.size(); ++k) {
      char& known = memo_[i * (t_.size() + 1) + k];
      if (known == Unknown) known = match(i, k) ? Yes : No;
      if (known == Yes) return true;
    }
    return false;
  }

 private:
  enum : char { Unknown, Yes, No };
  std::string_view p_, t_;
  std::vector<char> memo_;  // match(i, k) for i right after a star
};

}  // namespace

TExprType ResultType(TOperator op, TExprType operand_type) {
  int result = op <= opXor ? ResultTypes[op][operand_type] : Invalid;
  if (result == Invalid) {
    std::string message = "Operator " + std::string(OperatorNames[op]) + " incompatible with " +
                          std::string(ExprTypeNames[operand_type]);
    throw EExpression(message);
  }
  return static_cast<TExprType>(result);
}

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  return WildcardMatcher(pattern, text).match(0, 0);
}

// --- TUnaryOp ---

TUnaryOp::TUnaryOp(TOperator op, TExpressionPtr operand) : Operand(std::move(operand)), Operator(op) {
  if (op != opNot && op != opPlus && op != opMinus)
    RaiseExpression("%s is not simple unary operator", OperatorNames[op]);
  OperandType = Operand->ExprType();
}

// A sign on a date keeps it a date, and a plus keeps a string a string.
TDateTime TUnaryOp::AsDate() const {
  if (ExprType() != etDate) return TExpression::AsDate();
  TDateTime value = Operand->AsDate();
  return Operator == opMinus ? -value : value;
}

std::string TUnaryOp::AsString() const {
  if (ExprType() == etString) return Operand->AsString();
  return TExpression::AsString();
}

double TUnaryOp::AsFloat() const {
  if (Operator == opPlus) return Operand->AsFloat();
  if (Operator == opMinus) return -Operand->AsFloat();
  return TExpression::AsFloat();
}

int32_t TUnaryOp::AsInteger() const {
  if (Operator == opPlus) return Operand->AsInteger();
  if (Operator == opMinus) return wrap(0u - bits(Operand->AsInteger()));
  if (OperandType == etInteger) return ~Operand->AsInteger();
  if (OperandType == etBoolean) return AsBoolean() ? 1 : 0;
  raise_internal_error(6);
}

bool TUnaryOp::AsBoolean() const {
  if (Operator == opNot) return !Operand->AsBoolean();
  return TExpression::AsBoolean();
}

// --- TBinaryOp ---

TBinaryOp::TBinaryOp(TOperator op, TExpressionPtr left, TExpressionPtr right)
    : Left(std::move(left)), Right(std::move(right)), Operator(op) {
  if (!operator_in(op, opMult, opXor))
    RaiseExpression("%s is not a simple binary operator", OperatorNames[op]);
  TExprType left_type = Left->ExprType();
  OperandType = std::min(left_type, Right->ExprType());
}

TDateTime TBinaryOp::AsDate() const {
  switch (ExprType()) {
    case etDate: {
      if (Operator != opPlus && Operator != opMinus) raise_internal_error(14);
      TDateTime left = Left->AsDate();
      TDateTime right = Right->AsDate();
      return CheckFloat(Operator == opPlus ? left + right : left - right);
    }
    case etString: return StrToDateTime(AsString());
    case etFloat: return AsFloat();
    case etInteger: return AsInteger();
    default: return AsBoolean() ? 1 : 0;
  }
}

std::string TBinaryOp::AsString() const {
  switch (ExprType()) {
    case etDate: return DateTimeToStr(AsDate());
    case etString: {
      if (Operator != opPlus) raise_internal_error(10);
      std::string left = Left->AsString();
      return left + Right->AsString();
    }
    case etFloat: return FloatToStr(AsFloat());
    case etInteger: return IntToStr(AsInteger());
    default: return std::string(BooleanTexts[AsBoolean()]);
  }
}

double TBinaryOp::AsFloat() const {
  switch (ExprType()) {
    case etDate: return AsDate();
    case etFloat: {
      double left = Left->AsFloat();
      return float_operation(Operator, left, Right->AsFloat());
    }
    case etInteger: return AsInteger();
    case etBoolean: return AsBoolean() ? 1 : 0;
    default: return 0;
  }
}

int32_t TBinaryOp::AsInteger() const {
  switch (ExprType()) {
    case etInteger: {
      int32_t left = Left->AsInteger();
      return integer_operation(Operator, left, Right->AsInteger());
    }
    case etBoolean: return AsBoolean() ? 1 : 0;
    default: return 0;
  }
}

bool TBinaryOp::AsBoolean() const {
  switch (Operator) {
    case opAnd: return Left->AsBoolean() && Right->AsBoolean();
    case opOr: return Left->AsBoolean() || Right->AsBoolean();
    case opXor: {
      bool left = Left->AsBoolean();
      return left != Right->AsBoolean();
    }
    default: raise_internal_error(13);
  }
}

// --- TRelationalOp ---

TRelationalOp::TRelationalOp(TOperator op, TExpressionPtr left, TExpressionPtr right)
    : Left(std::move(left)), Right(std::move(right)), Operator(op) {
  if (!operator_in(op, opEq, opGTE)) RaiseExpression("%s is not relational operator", OperatorNames[op]);
}

std::string TRelationalOp::AsString() const { return std::string(BooleanTexts[AsBoolean()]); }

bool TRelationalOp::AsBoolean() const {
  bool left_null = Left->IsNull();
  bool right_null = Right->IsNull();
  if (left_null || right_null) {
    if (Operator == opEq) return left_null && right_null;
    if (Operator == opNEQ) return !(left_null && right_null);
    return false;
  }
  TExprType left_type = Left->ExprType();
  switch (std::min(left_type, Right->ExprType())) {
    case etDate: {
      TDateTime left = Left->AsDate();
      return ordered(Operator, left, Right->AsDate());
    }
    case etString: return compare_strings();
    case etFloat: {
      double left = Left->AsFloat();
      return ordered(Operator, left, Right->AsFloat());
    }
    case etInteger: {
      int32_t left = Left->AsInteger();
      return ordered(Operator, left, Right->AsInteger());
    }
    default: return compare_booleans();
  }
}

bool TRelationalOp::compare_strings() const {
  std::string left = Left->AsString();
  std::string right = Right->AsString();
  if (CaseInsensitive) {
    left = AnsiUpperCase(left);
    right = AnsiUpperCase(right);
  }
  if (PartialCompare && (Operator == opEq || Operator == opNEQ))
    return WildcardMatch(right, left) == (Operator == opEq);
  // std::string orders bytes as unsigned values, a proper prefix first.
  return ordered(Operator, left, right);
}

bool TRelationalOp::compare_booleans() const {
  if (Operator != opEq && Operator != opNEQ)
    RaiseExpression("cannot apply %s to boolean operands", OperatorNames[Operator]);
  bool left = Left->AsBoolean();
  return ordered(Operator, left, Right->AsBoolean());
}

}  // namespace kvell
