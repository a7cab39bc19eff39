// Parameters of a command as the framework's provider protocol passes them:
// a name, a direction, a field type and a variant value.
// Thread-safe: no.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/db_types.h"
#include "runtime/variant.h"

namespace kvell {

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam {
 public:
  TParam(std::string name, TParamType param_type) : Name(std::move(name)), ParamType(param_type) {}

  std::string Name;
  TParamType ParamType;
  TFieldType DataType = ftUnknown;
  int Size = 0;
  bool Bound = false;  // a value was assigned

  const Variant& Value() const { return value_; }
  // Sets the value; an unknown DataType is taken from the value's type.
  void SetValue(const Variant& value);
  bool IsNull() const { return VarIsClear(value_); }
  void Clear() { value_ = Null(); }

  std::string AsString() const { return VarToStr(value_); }
  int32_t AsInteger() const { return IsNull() ? 0 : value_.AsInteger(); }
  double AsFloat() const { return IsNull() ? 0 : value_.AsDouble(); }
  TDateTime AsDateTime() const { return IsNull() ? 0 : value_.AsDateTime(); }
  bool AsBoolean() const { return !IsNull() && value_.AsBoolean(); }
  void SetAsString(const std::string& value) { set_typed(ftString, value); }
  void SetAsInteger(int32_t value) { set_typed(ftInteger, value); }
  void SetAsFloat(double value) { set_typed(ftFloat, value); }
  void SetAsDateTime(TDateTime value) { set_typed(ftDateTime, Variant::FromDateTime(value)); }
  void SetAsBoolean(bool value) { set_typed(ftBoolean, value); }

 private:
  void set_typed(TFieldType type, const Variant& value);

  Variant value_;
};

class TParams {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TParam& operator[](int index) { return *items_.at(index); }
  const TParam& operator[](int index) const { return *items_.at(index); }
  TParam& CreateParam(TFieldType type, const std::string& name, TParamType param_type);
  // Parameter by name without case, or nullptr.
  TParam* FindParam(const std::string& name) const;
  // EDatabaseError "Parameter '%s' not found" when absent.
  TParam& ParamByName(const std::string& name) const;
  void Clear() { items_.clear(); }
  // Copies every parameter (name, type, value) of source.
  void Assign(const TParams& source);

 private:
  std::vector<std::unique_ptr<TParam>> items_;
};

}  // namespace kvell
