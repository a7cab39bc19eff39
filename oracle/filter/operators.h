// Operator nodes: unary (NOT, +, -), arithmetic and logical binary operators,
// and the comparisons with their null, case and wildcard rules.
// Thread-safe: no (see TExpression).
#pragma once

#include <string_view>

#include "oracle/filter/expression.h"

namespace kvell {

// The type an operator yields for an operand type; raises
// "Operator %s incompatible with %s" where the pair has no meaning.
TExprType ResultType(TOperator op, TExprType operand_type);

// "*" matches any run, "?" one character, anything else itself; no escapes.
// A "*" followed by more pattern needs at least one character of text left.
bool WildcardMatch(std::string_view pattern, std::string_view text);

class TUnaryOp : public TExpression {
 public:
  TUnaryOp(TOperator op, TExpressionPtr operand);
  TDateTime AsDate() const override;
  std::string AsString() const override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  TExprType ExprType() const override { return ResultType(Operator, OperandType); }

  TExpressionPtr Operand;
  TExprType OperandType;
  TOperator Operator;
};

class TBinaryOp : public TExpression {
 public:
  TBinaryOp(TOperator op, TExpressionPtr left, TExpressionPtr right);
  TDateTime AsDate() const override;
  std::string AsString() const override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  TExprType ExprType() const override { return ResultType(Operator, OperandType); }

  TExpressionPtr Left;
  TExpressionPtr Right;
  TOperator Operator;
  TExprType OperandType;  // the lower of the operands' types when built
};

class TRelationalOp : public TExpression {
 public:
  TRelationalOp(TOperator op, TExpressionPtr left, TExpressionPtr right);
  std::string AsString() const override;
  double AsFloat() const override { return AsBoolean() ? 1 : 0; }
  int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
  bool AsBoolean() const override;
  TExprType ExprType() const override { return etBoolean; }

  TExpressionPtr Left;
  TExpressionPtr Right;
  TOperator Operator;

 private:
  bool compare_strings() const;
  bool compare_booleans() const;
};

}  // namespace kvell
