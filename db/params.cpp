#include "db/params.h"

#include <strings.h>

namespace kvell {
namespace {

TFieldType type_of(const Variant& value) {
  switch (value.VarType()) {
    case varBoolean: return ftBoolean;
    case varInteger: return ftInteger;
    case varInt64: return ftLargeint;
    case varDouble: return ftFloat;
    case varDate: return ftDateTime;
    case varString: return ftString;
    case varArray | varByte: return ftBlob;
    default: return ftUnknown;
  }
}

}  // namespace

void TParam::SetValue(const Variant& value) {
  if (DataType == ftUnknown) DataType = type_of(value);
  value_ = value;
  Bound = true;
}

void TParam::set_typed(TFieldType type, const Variant& value) {
  DataType = type;
  value_ = value;
  Bound = true;
}

TParam& TParams::CreateParam(TFieldType type, const std::string& name, TParamType param_type) {
  items_.push_back(std::make_unique<TParam>(name, param_type));
  items_.back()->DataType = type;
  return *items_.back();
}

TParam* TParams::FindParam(const std::string& name) const {
  for (const auto& param : items_)
    if (strcasecmp(param->Name.c_str(), name.c_str()) == 0) return param.get();
  return nullptr;
}

TParam& TParams::ParamByName(const std::string& name) const {
  TParam* param = FindParam(name);
  if (!param) DatabaseErrorFmt(db_messages::ParameterNotFound, {name});
  return *param;
}

void TParams::Assign(const TParams& source) {
  items_.clear();
  for (const auto& param : source.items_) items_.push_back(std::make_unique<TParam>(*param));
}

}  // namespace kvell
