// Function nodes: the string and math functions, the type casts and IF.
// Each checks its own arguments when read, so a call with the wrong
// arguments parses and fails on evaluation. Thread-safe: no (see TExpression).
#pragma once

#include "oracle/filter/expression.h"

namespace kvell {

class TFunction : public TExpression {
 public:
  explicit TFunction(TParameterListPtr params) : Params(std::move(params)) {}
  int ParamCount() const { return Params ? Params->Count() : 0; }
  TExpression& Param(int index) const { return Params->Items(index); }

  TParameterListPtr Params;  // null when written without parentheses
};

class TStringExpression : public TFunction {
 public:
  TStringExpression(TParameterListPtr params, int func) : TFunction(std::move(params)), Func(func) {}
  std::string AsString() const override;
  int32_t AsInteger() const override;
  TExprType ExprType() const override;

  int Func;  // index into StringFunctionNames

 private:
  void check_arguments() const;
};

class TMathExpression : public TFunction {
 public:
  TMathExpression(TParameterListPtr params, int func) : TFunction(std::move(params)), Func(func) {}
  double AsFloat() const override;
  int32_t AsInteger() const override;
  TExprType ExprType() const override;

  int Func;  // index into MathFunctionNames

 private:
  void check_arguments() const;
  double argument(int index) const;
  double compute() const;
};

// Reads its argument as it is; only the type it reports changes.
class TTypeCast : public TFunction {
 public:
  TTypeCast(TParameterListPtr params, TExprType target_type)
      : TFunction(std::move(params)), TargetType(target_type) {}
  TDateTime AsDate() const override { return argument().AsDate(); }
  std::string AsString() const override { return argument().AsString(); }
  double AsFloat() const override { return argument().AsFloat(); }
  int32_t AsInteger() const override { return argument().AsInteger(); }
  bool AsBoolean() const override { return argument().AsBoolean(); }
  TExprType ExprType() const override { return TargetType; }

  TExprType TargetType;

 private:
  const TExpression& argument() const;
};

// IF(condition, then, else); the branch is chosen anew at every reading.
class TConditional : public TFunction {
 public:
  using TFunction::TFunction;
  TDateTime AsDate() const override { return branch().AsDate(); }
  std::string AsString() const override { return branch().AsString(); }
  double AsFloat() const override { return branch().AsFloat(); }
  int32_t AsInteger() const override { return branch().AsInteger(); }
  bool AsBoolean() const override { return branch().AsBoolean(); }
  TExprType ExprType() const override { return branch().ExprType(); }

 private:
  const TExpression& branch() const;
};

}  // namespace kvell
