// Constant nodes: the string, number and Boolean literals of a filter text.
// Thread-safe: no (see TExpression).
#pragma once

#include <string>

#include "oracle/filter/expression.h"

namespace kvell {

class TStringLiteral : public TExpression {
 public:
  explicit TStringLiteral(std::string value) : Value(std::move(value)) {}
  TDateTime AsDate() const override;
  std::string AsString() const override { return Value; }
  TExprType ExprType() const override { return etString; }

  std::string Value;
};

class TFloatLiteral : public TExpression {
 public:
  explicit TFloatLiteral(double value) : Value(value) {}
  TDateTime AsDate() const override { return Value; }
  std::string AsString() const override;
  double AsFloat() const override { return Value; }
  TExprType ExprType() const override { return etFloat; }

  double Value;
};

class TIntegerLiteral : public TExpression {
 public:
  explicit TIntegerLiteral(int32_t value) : Value(value) {}
  TDateTime AsDate() const override { return Value; }
  std::string AsString() const override;
  double AsFloat() const override { return Value; }
  int32_t AsInteger() const override { return Value; }
  TExprType ExprType() const override { return etInteger; }

  int32_t Value;
};

class TBooleanLiteral : public TExpression {
 public:
  explicit TBooleanLiteral(bool value) : Value(value) {}
  TDateTime AsDate() const override { return Value ? 1 : 0; }
  std::string AsString() const override;
  double AsFloat() const override { return Value ? 1 : 0; }
  int32_t AsInteger() const override { return Value ? 1 : 0; }
  bool AsBoolean() const override { return Value; }
  TExprType ExprType() const override { return etBoolean; }

  bool Value;
};

}  // namespace kvell
