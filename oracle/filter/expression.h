// The expression tree that a filter text is parsed into: value types,
// operators, the name tables, the node base class and the resolver that
// answers column names. Node classes outside this library (the dataset's
// column reference) derive from TExpression like the built-in ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime.h"
#include "runtime/exception.h"

namespace kvell {

// Ordered: where two operand types meet, the lower one decides.
enum TExprType { etDate, etString, etFloat, etInteger, etBoolean };

enum TOperator {
  opNot,
  opMult, opDivide, opDiv, opMod, opAnd, opShl, opShr,  // multiplicative
  opPlus, opMinus, opOr, opXor,                         // additive
  opEq, opNEQ, opLT, opGT, opLTE, opGTE                 // relational
};

inline constexpr std::array<std::string_view, 5> ExprTypeNames = {"Date", "String", "Float",
                                                                  "Integer", "Boolean"};
inline constexpr std::array<std::string_view, 18> OperatorNames = {
    "opNot", "opMult", "opDivide", "opDiv", "opMod", "opAnd", "opShl", "opShr", "opPlus",
    "opMinus", "opOr", "opXor", "opEq", "opNEQ", "opLT", "opGT", "opLTE", "opGTE"};
inline constexpr std::array<std::string_view, 18> OperatorSymbols = {
    "NOT", "*", "/", "DIV", "MOD", "AND", "SHL", "SHR", "+",
    "-", "OR", "XOR", "=", "<>", "<", ">", "<=", ">="};
// Indexed by the target TExprType.
inline constexpr std::array<std::string_view, 5> TypeCastNames = {"DATE", "STRING", "FLOAT",
                                                                  "INTEGER", "BOOLEAN"};
inline constexpr std::array<std::string_view, 14> MathFunctionNames = {
    "TRUNC", "ROUND", "ABS", "ARCTAN", "COS", "EXP", "FRAC",
    "INT",   "LN",    "PI",  "SIN",    "SQR", "SQRT", "POWER"};
inline constexpr std::array<std::string_view, 5> StringFunctionNames = {"UPPER", "LOWER", "COPY",
                                                                        "POS", "LENGTH"};
inline constexpr std::array<std::string_view, 2> BooleanTexts = {"FALSE", "TRUE"};

// Every parse and evaluation error of the filter expressions.
class EExpression : public Exception {
 public:
  using Exception::Exception;
};

// Raises EExpression with the first "%s" or "%d" of format replaced by value.
[[noreturn]] void RaiseExpression(std::string_view format, std::string_view value);
[[noreturn]] void RaiseExpression(std::string_view format, int value);

// A node of the tree. Readings are made on demand and never cached; a node
// owns its children. Thread-safe: no; a tree belongs to one thread.
class TExpression {
 public:
  // Copies the string-comparison options of the calling thread's last parse.
  TExpression();
  virtual ~TExpression();
  TExpression(const TExpression&) = delete;
  TExpression& operator=(const TExpression&) = delete;

  virtual TDateTime AsDate() const;
  virtual std::string AsString() const;
  virtual double AsFloat() const;
  virtual int32_t AsInteger() const;
  virtual bool AsBoolean() const;
  virtual bool IsNull() const;
  virtual TExprType ExprType() const = 0;

  bool CaseInsensitive;  // fold case before comparing strings
  bool PartialCompare;   // "*" and "?" in the right operand of = and <> are wildcards

 protected:
  // The base rules' error for a reading the node's type cannot give.
  [[noreturn]] void RaiseCannotRead(std::string_view format) const;
};

using TExpressionPtr = std::unique_ptr<TExpression>;

// The argument list of a function call; owns its nodes, never holds an empty
// slot. Thread-safe: no.
class TParameterList {
 public:
  TParameterList() = default;
  TParameterList(const TParameterList&) = delete;
  TParameterList& operator=(const TParameterList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TExpression& Items(int index) const { return *items_[static_cast<size_t>(index)]; }
  void Add(TExpressionPtr item) { items_.push_back(std::move(item)); }

 private:
  std::vector<TExpressionPtr> items_;
};

using TParameterListPtr = std::unique_ptr<TParameterList>;

// Answers a name that is not a keyword or function: given the upper-cased
// name (or a bracketed name as written) and the argument list, if any, it
// returns a node that takes the list over, or null (the list is then freed).
using TGetColumnExpression =
    std::function<TExpressionPtr(const std::string& name, TParameterListPtr params)>;

// The string-comparison options that new nodes copy; set by each parse on the
// calling thread and kept until the next one on that thread.
struct TExpressionOptions {
  bool CaseInsensitive = false;
  bool PartialCompare = true;
};
TExpressionOptions& CurrentExpressionOptions();

}  // namespace kvell
