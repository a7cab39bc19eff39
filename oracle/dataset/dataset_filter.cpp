// TOracleDataSet: client-side filtering with OnFilterRecord and filter texts
// parsed into expression trees whose column nodes read this dataset.
#include <cstring>

#include "oracle/dataset/filter_scope.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/filter/column_expression.h"
#include "oracle/filter/parser.h"

namespace kvell {

// The filter's column node. It looks its field up by name once (the tree is
// dropped at close and whenever the text changes, so the fields outlive it)
// and, while a stored record is being filtered, reads non-null native values
// straight from the record's slot; everything else goes through the field.
class TOracleDataSet::ColumnNode : public TColumnExpression {
 public:
  ColumnNode(TOracleDataSet* dataset, std::string name)
      : TColumnExpression(dataset, std::move(name)), owner_(*dataset), null_name_(FieldName == "NULL") {}

  bool IsNull() const override {
    const uint8_t* value = slot();
    return value ? value[0] != 0 : TColumnExpression::IsNull();
  }
  int32_t AsInteger() const override {
    const uint8_t* value = present(ftInteger, ftSmallint);
    return value ? integer(value) : TColumnExpression::AsInteger();
  }
  double AsFloat() const override {
    if (const uint8_t* value = present(ftFloat, ftFloat)) return read<double>(value);
    if (const uint8_t* value = present(ftInteger, ftSmallint)) return integer(value);
    if (const uint8_t* value = present(ftDateTime, ftDateTime)) return NativeToDateTime(ftDateTime, read<double>(value));
    return TColumnExpression::AsFloat();
  }
  TDateTime AsDate() const override {
    const uint8_t* value = present(ftDateTime, ftDateTime);
    return value ? NativeToDateTime(ftDateTime, read<double>(value)) : TColumnExpression::AsDate();
  }
  std::string AsString() const override {
    const uint8_t* value = present(ftString, ftFixedChar);
    return value ? std::string(reinterpret_cast<const char*>(value)) : TColumnExpression::AsString();
  }

 protected:
  TField* field() const override {
    if (!field_) field_ = TColumnExpression::field();
    return field_;
  }

 private:
  template <class T>
  static T read(const uint8_t* value) {
    T result;
    std::memcpy(&result, value, sizeof result);
    return result;
  }
  int32_t integer(const uint8_t* value) const {
    return field()->DataType() == ftSmallint ? read<int16_t>(value) : read<int32_t>(value);
  }
  // The slot (null byte first) of the field in the record being filtered,
  // or nullptr when the value is not read from a stored record's data area.
  const uint8_t* slot() const {
    if (null_name_ || owner_.State() != dsFilter || !owner_.filter_record_) return nullptr;
    TField* target = field();
    if (target->FieldNo() <= 0 || target->IsBlob()) return nullptr;
    return DataArea(owner_.filter_record_) + owner_.field_infos_[target->FieldNo()].DataOffset;
  }
  // The value bytes of a non-null field of type `a` or `b`, else nullptr.
  const uint8_t* present(TFieldType a, TFieldType b) const {
    const uint8_t* value = slot();
    if (!value || value[0] != 0) return nullptr;
    const TFieldType type = field()->DataType();
    return type == a || type == b ? value + 1 : nullptr;
  }

  TOracleDataSet& owner_;
  bool null_name_;
  mutable TField* field_ = nullptr;
};

void TOracleDataSet::parse_filter() {
  filter_expression_.reset();
  if (Filter().empty()) return;
  filter_expression_ = ParseFilterExpression(Filter(), FilterOptions(),
                                             [this](const std::string& name, TParameterListPtr) -> TExpressionPtr {
                                               return std::make_unique<ColumnNode>(this, name);
                                             });
}

bool TOracleDataSet::RecordPassesFilter(uint8_t* record) {
  FilterScope scope(*this, record);
  return EvaluateFilter();
}

bool TOracleDataSet::EvaluateFilter() {
  bool accept = true;
  if (OnFilterRecord) OnFilterRecord(this, accept);
  if (!accept) return false;
  return !filter_expression_ || filter_expression_->AsBoolean();
}

void TOracleDataSet::RebuildFilteredList() {
  if (!store_) return;
  refilter_records();
  First();
}

void TOracleDataSet::refilter_records() {
  store_->ClearFiltered();
  if (!Filtered()) return;
  for (int number = store_->Offset(); number < store_->RecordLimit(); ++number) {
    uint8_t* record = store_->Record(number);
    if (RecordPassesFilter(record)) store_->AddFiltered(record);
  }
}

void TOracleDataSet::SetFilterText(const std::string& text) {
  TDataSet::SetFilterText(text);
  filter_expression_.reset();
  if (!Active()) return;
  parse_filter();
  if (Filtered()) RebuildFilteredList();
}

void TOracleDataSet::SetFilterOptions(TFilterOptions options) {
  TDataSet::SetFilterOptions(options);
  SetFilterText(Filter());
}

void TOracleDataSet::SetFiltered(bool value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(value);
  if (Active()) RebuildFilteredList();
}

}  // namespace kvell
