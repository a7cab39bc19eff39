#include "oracle/session/variables.h"

#include <algorithm>
#include <cstring>

#include "db/params.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/sql_scan.h"
#include "runtime/ansi_case.h"
#include "runtime/date_text.h"
#include "runtime/exception.h"
#include "runtime/str_convert.h"

namespace kvell {

namespace {

constexpr const char* kEmptyName = "You cannot declare a variable with an empty name";
constexpr const char* kUnsupportedType = "Unsupported variable type";
constexpr const char* kTableTypes = "Only PL/SQL Tables of strings, integers, floats and dates supported";
constexpr const char* kTableNeedsStringSize = "You must specify a string size for a PL/SQL Table of strings";
constexpr const char* kTableStringSizeOnly = "You can only specify a string size for a PL/SQL Table of strings";
constexpr const char* kTableNeedsSize = "You must specify the size of the PL/SQL Table";
constexpr const char* kAssignOwner = "Can only Assign TVariables owned by a TOracleQuery";
constexpr int kMaxStringCharsWithoutSession = 2000;

std::string not_declared(const std::string& name) { return "Variable " + name + " not declared"; }
std::string unknown(const std::string& name) { return "Unknown variable: " + name; }

// Bytes per element at declaration; 0 means none (sized to each value, or complex).
int declared_size(int type) {
  switch (type) {
    case vartype::Integer: return 4;
    case vartype::Float: return 8;
    case vartype::String:
    case vartype::CharZ: return 4001;
    case vartype::LongString: return 32513;
    case vartype::Date: return 7;
    default: return 0;
  }
}

ComplexKind kind_for_type(int type) {
  switch (type) {
    case vartype::Object: return ComplexKind::Object;
    case vartype::Reference: return ComplexKind::Reference;
    case vartype::Cursor: return ComplexKind::Query;
    case vartype::CLOB:
    case vartype::BLOB:
    case vartype::BFile: return ComplexKind::LOBLocator;
    default: return ComplexKind::Timestamp;
  }
}

// Length of the zero-terminated text in an element of size bytes.
size_t text_length(const uint8_t* element, size_t size) {
  if (element == nullptr) return 0;
  const void* end = std::memchr(element, 0, size);
  return end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - element) : size;
}

std::vector<uint8_t> bytes_of(const std::string& name, const Variant& value) {
  if (value.IsBytes()) return value.AsBytes();
  if (value.IsString()) {
    const std::string text = value.AsString();
    return std::vector<uint8_t>(text.begin(), text.end());
  }
  if (value.IsArray()) {
    std::vector<uint8_t> bytes;
    for (int i = value.ArrayLowBound(); i <= value.ArrayHighBound(); ++i) {
      if (value[i].IsArray()) break;
      bytes.push_back(static_cast<uint8_t>(value[i].AsInteger()));
    }
    if (bytes.size() == static_cast<size_t>(value.ArrayHighBound() - value.ArrayLowBound() + 1)) return bytes;
  }
  throw Exception("Only one-dimensional array of bytes allowed for " + name);
}

}  // namespace

bool IsSupportedVariableType(int type) {
  switch (type) {
    case 1: case 3: case 4: case 5: case 8: case 10: case 12: case 24: case 97:
      return true;
    default:
      return IsComplexVariableType(type);
  }
}

bool IsComplexVariableType(int type) {
  switch (type) {
    case 108: case 110: case 112: case 113: case 114: case 116: case 187: case 188: case 232:
      return true;
    default:
      return false;
  }
}

bool IsTimestampVariableType(int type) { return type == 187 || type == 188 || type == 232; }

bool IsTextVariableType(int type) { return type == 1 || type == 5 || type == 10 || type == 97; }

std::string NormalizeVariableName(const std::string& name) {
  std::string upper = AnsiUpperCase(name);
  if (upper.empty() || upper[0] != ':') upper.insert(upper.begin(), ':');
  return upper;
}

Variant ObjectToVariant(TComplexValue* object) {
  return Variant(static_cast<int64_t>(reinterpret_cast<intptr_t>(object)));
}

TComplexValue* VariantToObject(const Variant& value) {
  if (value.VarType() == varInt64) return reinterpret_cast<TComplexValue*>(static_cast<intptr_t>(value.AsInt64()));
  return nullptr;
}

// ---- TVariableData

TVariableData::TVariableData(std::string name, int type)
    : name_(std::move(name)), type_(type), complex_(IsComplexVariableType(type)) {
  element_size_ = declared_size(type);
  buffer_.assign(static_cast<size_t>(element_size_), 0);
  indicators_.assign(1, -1);
}

TVariableData::~TVariableData() = default;

int TVariableData::StringSize() const { return type_ == vartype::String ? element_size_ - 1 : 0; }

void TVariableData::AttachObject(TComplexValue* object) {
  object_ = object;
  BoundAddress = nullptr;
}

// ---- TVariables: helpers

bool TVariables::converts_crlf() const { return !host_ || !host_->HasSession() || host_->ConvertCRLF(); }

bool TVariables::zero_date_is_null() const { return !host_ || !host_->HasSession() || host_->ZeroDateIsNull(); }

Variant TVariables::NullValue() const {
  return host_ && host_->HasSession() && host_->NullValueIsNull() ? Null() : Unassigned();
}

void TVariables::changed() const {
  if (host_) host_->VariablesChanged();
}

std::string TVariables::text_in(std::string text) const {
  if (converts_crlf() && text.find('\r') != std::string::npos) return RemoveCarriageReturns(text);
  return text;
}

std::string TVariables::text_out(std::string text) const {
  return converts_crlf() ? NormalizeLineBreaks(text) : text;
}

TVariableData& TVariables::find_declared(const std::string& name) {
  const int index = VariableIndex(name);
  if (index < 0) throw Exception(not_declared(name));
  return *items_[static_cast<size_t>(index)];
}

TVariableData& TVariables::at_index(int index) {
  if (index < 0 || index >= Count()) throw Exception("Variable " + IntToStr(index) + " does not exist");
  return *items_[static_cast<size_t>(index)];
}

const TVariableData& TVariables::at_index(int index) const {
  return const_cast<TVariables*>(this)->at_index(index);
}

// ---- declaring

void TVariables::DeclareVariable(const std::string& name, int type) {
  if (name.empty()) throw Exception(kEmptyName);
  if (!IsSupportedVariableType(type)) throw Exception(kUnsupportedType);
  std::string normalized = NormalizeVariableName(name);
  auto variable = std::make_unique<TVariableData>(normalized, type);
  const int index = VariableIndex(normalized);
  if (index >= 0) {
    items_[static_cast<size_t>(index)] = std::move(variable);
  } else {
    items_.push_back(std::move(variable));
  }
  changed();
}

void TVariables::DeclarePLSQLTable(const std::string& name, int table_size, int string_size) {
  TVariableData& v = find_declared(name);
  const int type = v.Type();
  if (type != vartype::Integer && type != vartype::Float && type != vartype::String && type != vartype::Date) {
    throw Exception(kTableTypes);
  }
  if (type == vartype::String && string_size < 1) throw Exception(kTableNeedsStringSize);
  if (type != vartype::String && string_size != 0) throw Exception(kTableStringSizeOnly);
  if (table_size < 1) throw Exception(kTableNeedsSize);
  v.plsql_table_ = true;
  v.used_count_ = 0;
  resize(v, table_size, type == vartype::String ? string_size : -1);
  changed();
}

void TVariables::DeleteVariable(const std::string& name) {
  const int index = VariableIndex(name);
  if (index < 0) throw Exception(not_declared(name));
  items_.erase(items_.begin() + index);
  changed();
}

void TVariables::DeleteVariables() {
  items_.clear();
  changed();
}

// string_size < 0 means none given.
void TVariables::resize(TVariableData& v, int count, int string_size) const {
  // A given string size asks for elements of string_size + 1 bytes.
  if (count == v.element_count_ && (string_size < 0 || string_size + 1 == v.element_size_)) return;
  v.indicators_.assign(static_cast<size_t>(count), -1);
  if (!v.complex_) {
    if (v.type_ == vartype::String || v.type_ == vartype::CharZ) {
      const int cap = (host_ && host_->HasSession() ? host_->MaxStringChars() : kMaxStringCharsWithoutSession) + 1;
      v.element_size_ = std::min(v.element_size_, cap);
      if (string_size >= 0) v.element_size_ = string_size + 1;
    }
    v.buffer_.assign(static_cast<size_t>(count) * v.ElementBytes(), 0);
  }
  v.element_count_ = count;
  v.BoundAddress = nullptr;
}

// ---- setting values

void TVariables::SetVariable(const std::string& name, const Variant& value) {
  const int index = VariableIndex(name);
  if (index < 0) throw Exception(not_declared(name));
  SetVariable(index, value);
}

void TVariables::SetVariable(int index, const Variant& value) {
  TVariableData& v = at_index(index);
  if (value.IsArray() && v.type_ != vartype::LongRaw) {
    set_array(v, value);
    return;
  }
  if (v.plsql_table_) {
    if (!VarIsClear(value)) throw Exception(v.name_ + " is a PL/SQL Table, assign a variant array to it");
    v.used_count_ = 0;
    return;
  }
  resize(v, 1, -1);
  v.low_bound_ = 0;
  set_element(v, 0, value);
}

bool TVariables::is_character(const TVariableData& v) {
  return !v.complex_ && !v.plsql_table_ &&
         (v.type_ == vartype::String || v.type_ == vartype::LongString || v.type_ == vartype::CharZ);
}

// Generated statements bind rowids and keys this way, every post.
void TVariables::SetVariableText(int index, std::string_view text) {
  TVariableData& v = at_index(index);
  if (!is_character(v) || (converts_crlf() && text.find('\r') != std::string_view::npos)) {
    SetVariable(index, Variant(std::string(text)));
    return;
  }
  resize(v, 1, -1);
  v.low_bound_ = 0;
  uint8_t* target = v.Element(0);
  const size_t length = std::min(text.size(), v.ElementBytes() - 1);
  std::memcpy(target, text.data(), length);
  target[length] = 0;
  v.data_length_ = static_cast<uint32_t>(length);
  v.SetIndicator(0, 0);
}

void TVariables::set_array(TVariableData& v, const Variant& value) {
  if (v.complex_) throw Exception(v.name_ + " is a complex variable and cannot be an array");
  if (v.type_ == vartype::Substitution) throw Exception(v.name_ + " is a substitution variable and cannot be an array");
  // A LONG element replaces the whole buffer, so an array of them cannot be laid out.
  if (v.type_ == vartype::Long) throw Exception(v.name_ + " is a Long variable and cannot be an array");
  const int low = value.ArrayLowBound();
  const int length = value.ArrayHighBound() - low + 1;
  if (v.plsql_table_) {
    if (length > v.element_count_) {
      throw Exception("Array is larger than PL/SQL Table (" + IntToStr(length) + " > " +
                      IntToStr(v.element_count_) + ")");
    }
    v.used_count_ = static_cast<uint32_t>(length);
  } else {
    resize(v, std::max(length, 1), -1);
  }
  v.low_bound_ = low;
  for (int k = low; k < low + length; ++k) set_element(v, k - low, value[k]);
}

void TVariables::set_element(TVariableData& v, int element, const Variant& value) {
  try {
    set_element_value(v, element, value);
  } catch (const EVariantError&) {
    throw Exception("Variant conversion error for variable " + v.name_);
  } catch (const EConvertError&) {
    throw Exception("Variant conversion error for variable " + v.name_);
  }
}

void TVariables::set_element_value(TVariableData& v, int element, const Variant& value) {
  if (VarIsClear(value)) {
    v.SetIndicator(element, -1);
    if (v.complex_) v.AttachObject(nullptr);
    return;
  }
  if (IsTimestampVariableType(v.type_)) {
    set_timestamp(v, value);
    return;
  }
  if (v.complex_) {
    TComplexValue* object = VariantToObject(value);
    if (!object && value.VarType() != varInt64 && !(value.VarType() == varInteger && value.AsInteger() == 0)) {
      throw Exception("Pass LongInt(Object) to complex variable " + v.name_);
    }
    if (object && object->Kind() != kind_for_type(v.type_)) {
      throw Exception("Assign " + object->ClassName() + " instance to variable " + v.name_);
    }
    v.AttachObject(object);
    v.SetIndicator(0, object ? 0 : -1);
    return;
  }
  uint8_t* target = v.Element(element);
  switch (v.type_) {
    case vartype::Substitution:
    case vartype::Long: {
      const std::string text = text_in(value.AsString());
      v.buffer_.assign(text.begin(), text.end());
      v.buffer_.push_back(0);
      v.element_size_ = static_cast<int>(v.buffer_.size());
      v.data_length_ = static_cast<uint32_t>(text.size());
      v.BoundAddress = nullptr;  // the buffer may have moved
      break;
    }
    case vartype::Integer: {
      const int32_t number = value.AsInteger();
      std::memcpy(target, &number, sizeof number);
      break;
    }
    case vartype::Float: {
      const double number = value.AsDouble();
      std::memcpy(target, &number, sizeof number);
      break;
    }
    case vartype::String:
    case vartype::LongString:
    case vartype::CharZ: {
      const std::string text = text_in(value.AsString());
      const size_t length = std::min(text.size(), v.ElementBytes() - 1);
      std::memcpy(target, text.data(), length);
      target[length] = 0;
      if (element == 0) v.data_length_ = static_cast<uint32_t>(length);
      break;
    }
    case vartype::Date: {
      const TDateTime date = value.IsString() ? StrToDateTime(value.AsString()) : value.AsDateTime();
      if (date == 0 && zero_date_is_null()) {
        v.SetIndicator(element, -1);
        return;
      }
      DateTimeToOracleDate(date, target);
      break;
    }
    case vartype::LongRaw: {
      v.buffer_ = bytes_of(v.name_, value);
      v.element_size_ = static_cast<int>(v.buffer_.size());
      v.data_length_ = static_cast<uint32_t>(v.buffer_.size());
      v.BoundAddress = nullptr;
      break;
    }
  }
  v.SetIndicator(element, 0);
}

void TVariables::set_timestamp(TVariableData& v, const Variant& value) {
  if (value.VarType() == varInt64) {
    TComplexValue* object = VariantToObject(value);
    if (object && object->Kind() != ComplexKind::Timestamp) {
      throw Exception("Assign " + object->ClassName() + " instance to variable " + v.name_);
    }
    v.AttachObject(object);
    v.SetIndicator(0, object ? 0 : -1);
    return;
  }
  const TDateTime date = value.IsString() ? StrToDateTime(value.AsString()) : value.AsDateTime();
  v.AttachObject(nullptr);
  v.datetime_value_ = date;
  v.SetIndicator(0, date == 0 && zero_date_is_null() ? -1 : 0);
}

void TVariables::SetComplexVariable(const std::string& name, TComplexValue* object) {
  const int index = VariableIndex(name);
  if (index < 0) throw Exception(unknown(name));
  TVariableData& v = *items_[static_cast<size_t>(index)];
  if (!v.complex_) throw Exception(v.name_ + " is not a complex variable");
  if (object && object->Kind() != kind_for_type(v.type_)) {
    throw Exception("Assign " + object->ClassName() + " instance to variable " + v.name_);
  }
  resize(v, 1, -1);
  v.AttachObject(object);
  v.SetIndicator(0, object ? 0 : -1);
}

// ---- reading values

Variant TVariables::GetVariable(const std::string& name) const {
  const int index = VariableIndex(name);
  if (index < 0) throw Exception(unknown(name));
  return GetVariable(index);
}

Variant TVariables::GetVariable(int index) const {
  const TVariableData& v = at_index(index);
  if (v.element_count_ > 1 || v.plsql_table_) {
    const int count = v.plsql_table_ ? static_cast<int>(std::min<uint32_t>(v.used_count_, static_cast<uint32_t>(v.element_count_)))
                                     : v.element_count_;
    if (count == 0) return NullValue();
    std::vector<Variant> items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) items.push_back(read_element(v, i));
    return Variant::FromArray(std::move(items), v.low_bound_);
  }
  return read_element(v, 0);
}

bool TVariables::VariablePlainText(int index, std::string_view& text) const {
  const TVariableData& v = at_index(index);
  if (!is_character(v) || v.element_count_ > 1 || v.IsNull(0)) return false;
  const uint8_t* source = v.Element(0);
  const std::string_view stored(reinterpret_cast<const char*>(source), text_length(source, v.ElementBytes()));
  const auto line_break = [](char c) { return c == '\r' || c == '\n'; };
  if (converts_crlf() && std::any_of(stored.begin(), stored.end(), line_break)) return false;
  text = stored;
  return true;
}

Variant TVariables::GetElement(int index, int element) const {
  const TVariableData& v = at_index(index);
  if (element < 0 || element >= v.element_count_) return NullValue();
  return read_element(v, element);
}

Variant TVariables::read_element(const TVariableData& v, int element) const {
  if (v.IsNull(element)) return NullValue();
  if (v.complex_) {
    if (IsTimestampVariableType(v.type_) && !v.object_) return Variant::FromDateTime(v.datetime_value_);
    return ObjectToVariant(v.object_);
  }
  const uint8_t* source = v.Element(element);
  const size_t stored = v.buffer_.size();
  switch (v.type_) {
    case vartype::Integer: {
      int32_t number;
      std::memcpy(&number, source, sizeof number);
      return Variant(number);
    }
    case vartype::Float: {
      double number;
      std::memcpy(&number, source, sizeof number);
      return Variant(number);
    }
    case vartype::Date:
      return Variant::FromDateTime(OracleDateToDateTime(source));
    case vartype::Long: {
      const size_t length = std::min<size_t>(v.data_length_, stored);
      return Variant(text_out(std::string(reinterpret_cast<const char*>(source), length)));
    }
    case vartype::LongRaw: {
      const size_t length = std::min<size_t>(v.data_length_, stored);
      return Variant::FromBytes(std::vector<uint8_t>(source, source + length));
    }
    default: {
      const size_t length = text_length(source, v.ElementBytes());
      return Variant(text_out(std::string(reinterpret_cast<const char*>(source), length)));
    }
  }
}

// ---- names and display

std::string TVariables::VariableName(int index) const { return at_index(index).Name(); }

int TVariables::VariableType(int index) const { return at_index(index).Type(); }

int TVariables::VariableIndex(const std::string& name) const {
  const std::string normalized = NormalizeVariableName(name);
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->name_ == normalized) return static_cast<int>(i);
  }
  return -1;
}

std::string TVariables::VariableDisplayText(int index) const {
  const TVariableData& v = at_index(index);
  if (v.plsql_table_) return "(PL/SQL Table)";
  if (v.element_count_ > 1) return "(Array)";
  switch (v.type_) {
    case vartype::Long: return "(Long)";
    case vartype::LongRaw: return "(Long Raw)";
    case vartype::Object: return "(Object)";
    case vartype::Reference: return "(Reference)";
    case vartype::CLOB: return "(CLOB)";
    case vartype::BLOB: return "(BLOB)";
    case vartype::BFile: return "(BFile)";
    case vartype::Cursor: return "(Cursor)";
    default: break;
  }
  if (v.IsNull(0)) return "Null";
  return VarToStr(read_element(v, 0));
}

bool TVariables::HasSubstitutions() const {
  return std::any_of(items_.begin(), items_.end(), [](const auto& v) { return v->type_ == vartype::Substitution; });
}

std::string TVariables::SubstituteVariables(const std::string& sql) const {
  if (!HasSubstitutions()) return sql;
  std::string result = sql;
  const std::vector<ScannedVariable> found = ScanVariables(sql, true);
  for (auto it = found.rbegin(); it != found.rend(); ++it) {
    const int index = VariableIndex(it->Name);
    if (index < 0 || items_[static_cast<size_t>(index)]->type_ != vartype::Substitution) continue;
    const std::string value = VarToStr(GetVariable(index));
    result.replace(static_cast<size_t>(it->Position - 1), static_cast<size_t>(it->Length) + 1, value);
  }
  return result;
}

// ---- TParams

namespace {

int type_for_param(const TParam& param) {
  switch (param.Value().VarType()) {
    case 2: case varInteger: case varBoolean: case varByte: return vartype::Integer;
    case 4: case varDouble: case 6: return vartype::Float;
    case varDate: return vartype::Date;
    case 8: case varString: case 0x102: return vartype::String;
    default: break;
  }
  // A null value has no variant type to go by; the declared field type says what it is.
  if (param.IsNull()) {
    switch (param.DataType) {
      case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftAutoInc: return vartype::Integer;
      case ftFloat: case ftCurrency: case ftBCD: return vartype::Float;
      case ftDate: case ftTime: case ftDateTime: return vartype::Date;
      case ftString: case ftFixedChar: case ftWideString: return vartype::String;
      default: break;
    }
  }
  throw Exception(kUnsupportedType);
}

}  // namespace

void TVariables::AssignFromParams(const TParams& params) {
  std::vector<int> types;
  for (int i = 0; i < params.Count(); ++i) types.push_back(type_for_param(params[i]));
  TVariables scratch(nullptr);  // values go in by the rules without a session
  for (int i = 0; i < params.Count(); ++i) {
    scratch.DeclareVariable(":" + params[i].Name, types[static_cast<size_t>(i)]);
    scratch.SetVariable(i, params[i].Value());
  }
  items_ = std::move(scratch.items_);
  changed();
}

void TVariables::AssignToParams(TParams& params) const {
  params.Clear();
  for (int i = 0; i < Count(); ++i) {
    TParam& param = params.CreateParam(ftUnknown, items_[static_cast<size_t>(i)]->name_.substr(1), ptUnknown);
    const Variant value = GetElement(i, 0);
    if (!VarIsClear(value)) param.SetValue(value);
  }
}

void TVariables::Assign(const TVariables& source) {
  if (!host_ || !host_->IsOracleQuery() || !source.host_ || !source.host_->IsOracleQuery()) {
    throw Exception(kAssignOwner);
  }
  if (&source == this) return;
  DeleteVariables();
  for (int i = 0; i < source.Count(); ++i) {
    const TVariableData& v = source[i];
    DeclareVariable(v.name_, v.type_);
    if (v.plsql_table_) {
      DeclarePLSQLTable(v.name_, v.element_count_, v.StringSize());
    } else {
      SetVariable(i, source.GetVariable(i));
    }
  }
}

}  // namespace kvell
