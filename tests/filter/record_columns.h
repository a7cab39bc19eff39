// An in-memory record of typed, nullable values and the column nodes that read
// it, standing in for a dataset in the filter tests, benchmark and fuzzer.
// Thread-safe: no.
#pragma once

#include <string>
#include <vector>

#include "oracle/filter/expression.h"
#include "runtime/ansi_case.h"

namespace kvell::testing {

struct FieldValue {
  bool Null = true;
  double Number = 0;    // dates and floats
  int32_t Integer = 0;  // integers and Booleans
  std::string Text;     // strings
};

inline FieldValue Null() { return {}; }
inline FieldValue Number(double value) { return {false, value, 0, {}}; }
inline FieldValue Integer(int32_t value) { return {false, 0, value, {}}; }
inline FieldValue Boolean(bool value) { return {false, 0, value ? 1 : 0, {}}; }
inline FieldValue Text(std::string value) { return {false, 0, 0, std::move(value)}; }

using Record = std::vector<FieldValue>;

// Field names and types; the record being filtered is set from outside.
class RecordTable {
 public:
  struct Field {
    std::string Name;
    TExprType Type;
  };

  explicit RecordTable(std::vector<Field> fields) : fields_(std::move(fields)) {}

  int FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
      if (AnsiSameText(fields_[i].Name, name)) return static_cast<int>(i);
    return -1;
  }
  TExprType FieldType(int index) const { return fields_[static_cast<size_t>(index)].Type; }
  const FieldValue& Value(int index) const { return (*current_)[static_cast<size_t>(index)]; }
  void SetCurrent(const Record& record) { current_ = &record; }

  // Answers field names with column nodes and "NULL" with a null node.
  TGetColumnExpression Resolver() const;

 private:
  std::vector<Field> fields_;
  const Record* current_ = nullptr;
};

class RecordColumn : public TExpression {
 public:
  RecordColumn(const RecordTable& table, int index) : table_(table), index_(index) {}
  TDateTime AsDate() const override { return value().Number; }
  std::string AsString() const override {
    return ExprType() == etString ? value().Text : TExpression::AsString();
  }
  double AsFloat() const override { return ExprType() == etInteger ? value().Integer : value().Number; }
  int32_t AsInteger() const override { return value().Integer; }
  bool AsBoolean() const override { return value().Integer != 0; }
  bool IsNull() const override { return value().Null; }
  TExprType ExprType() const override { return table_.FieldType(index_); }

 private:
  const FieldValue& value() const { return table_.Value(index_); }
  const RecordTable& table_;
  int index_;
};

class NullColumn : public TExpression {
 public:
  bool IsNull() const override { return true; }
  TExprType ExprType() const override { return etString; }
};

inline TGetColumnExpression RecordTable::Resolver() const {
  return [this](const std::string& name, TParameterListPtr) -> TExpressionPtr {
    if (name == "NULL") return std::make_unique<NullColumn>();
    int index = FieldIndex(name);
    if (index < 0) return nullptr;
    return std::make_unique<RecordColumn>(*this, index);
  };
}

}  // namespace kvell::testing
