// The column reference of a filter expression: a node that reads a named
// field of a dataset in whatever state the dataset is in (while filtering,
// the record under test), plus the resolver and the filter compiler that
// hand such nodes to the parser for a dataset.
// Thread-safe: no; a tree belongs to its dataset's thread.
#pragma once

#include <string>

#include "db/dataset.h"
#include "db/filter_predicate.h"
#include "oracle/filter/expression.h"

namespace kvell {

class TColumnExpression : public TExpression {
 public:
  TColumnExpression(TDataSet* dataset, std::string field_name)
      : DataSet(dataset), FieldName(std::move(field_name)) {}

  TDateTime AsDate() const override;
  std::string AsString() const override;
  double AsFloat() const override;
  int32_t AsInteger() const override;
  bool AsBoolean() const override;
  // "NULL" is always null, so that X = NULL tests a field for null.
  bool IsNull() const override;
  TExprType ExprType() const override;

  TDataSet* DataSet;      // not owned
  std::string FieldName;  // upper-cased, or a bracketed name as written

 protected:
  // The field read; looked up by name on every reading, since the dataset's
  // fields may change while a tree lives. A dataset that drops its trees
  // whenever its fields change may answer from a cache.
  virtual TField* field() const { return DataSet->FieldByName(FieldName); }
};

// Answers every name with a column node of dataset; argument lists are dropped.
TGetColumnExpression ColumnResolver(TDataSet& dataset);

// Compiles filter texts with the expression parser; the predicate is the
// root's AsBoolean, or true for a text without an expression.
TFilterCompiler ExpressionFilterCompiler();

}  // namespace kvell
