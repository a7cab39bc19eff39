#include "oracle/filter/column_expression.h"

#include "oracle/filter/parser.h"

namespace kvell {
namespace {

bool is_date_type(TFieldType type) { return type == ftDate || type == ftTime || type == ftDateTime; }

class ExpressionPredicate : public TFilterPredicate {
 public:
  explicit ExpressionPredicate(TExpressionPtr root) : root_(std::move(root)) {}
  bool Accepts() override { return !root_ || root_->AsBoolean(); }

 private:
  TExpressionPtr root_;
};

}  // namespace

TDateTime TColumnExpression::AsDate() const { return field()->AsDateTime(); }

std::string TColumnExpression::AsString() const { return field()->AsString(); }

double TColumnExpression::AsFloat() const {
  TField* f = field();
  return is_date_type(f->DataType()) ? f->AsDateTime() : f->AsFloat();
}

int32_t TColumnExpression::AsInteger() const { return field()->AsInteger(); }

bool TColumnExpression::AsBoolean() const { return field()->AsBoolean(); }

bool TColumnExpression::IsNull() const { return FieldName == "NULL" || field()->IsNull(); }

TExprType TColumnExpression::ExprType() const {
  if (FieldName == "NULL") return etString;
  switch (field()->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint: return etInteger;
    case ftBoolean: return etBoolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return etFloat;
    case ftDate:
    case ftTime:
    case ftDateTime: return etDate;
    default: return etString;
  }
}

TGetColumnExpression ColumnResolver(TDataSet& dataset) {
  return [&dataset](const std::string& name, TParameterListPtr) -> TExpressionPtr {
    return std::make_unique<TColumnExpression>(&dataset, name);
  };
}

TFilterCompiler ExpressionFilterCompiler() {
  return [](TDataSet& dataset, const std::string& text, TFilterOptions options) {
    return std::make_unique<ExpressionPredicate>(ParseFilterExpression(text, options, ColumnResolver(dataset)));
  };
}

}  // namespace kvell
