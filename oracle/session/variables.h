// Bind variables of a query: TVariableData holds one variable's type,
// value buffer and indicators in the layout the client library binds;
// TVariables is the ordered store with the declare/set/get operations, the
// PL/SQL tables and arrays for array DML, substitution variables, the
// stored "Data" form and assignment from and to TParams.
// Thread-safe: no; a variable store is used by its query's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oracle/session/complex_value.h"
#include "runtime/stream.h"
#include "runtime/variant.h"

namespace kvell {

class TParams;

// Oracle external type codes a variable may have.
namespace vartype {
constexpr int Substitution = 1;
constexpr int Integer = 3;
constexpr int Float = 4;
constexpr int String = 5;
constexpr int Long = 8;
constexpr int LongString = 10;
constexpr int Date = 12;
constexpr int LongRaw = 24;
constexpr int CharZ = 97;
constexpr int Object = 108;
constexpr int Reference = 110;
constexpr int CLOB = 112;
constexpr int BLOB = 113;
constexpr int BFile = 114;
constexpr int Cursor = 116;
constexpr int Timestamp = 187;
constexpr int TimestampTZ = 188;
constexpr int TimestampLTZ = 232;
}  // namespace vartype

bool IsSupportedVariableType(int type);
bool IsComplexVariableType(int type);
bool IsTimestampVariableType(int type);
// Zero-terminated text kept in the element (substitution, string, long string, CHARZ).
bool IsTextVariableType(int type);

// What a variable store needs from the query and session it serves. A store
// without a host behaves as without a session.
class TVariablesHost {
 public:
  virtual ~TVariablesHost() = default;
  virtual bool HasSession() const = 0;
  // Session preferences; asked only when HasSession().
  virtual bool ConvertCRLF() const = 0;
  virtual bool ZeroDateIsNull() const = 0;
  virtual bool NullValueIsNull() const = 0;  // NullValue is nvNull
  virtual int MaxStringChars() const = 0;
  // The variable list changed: the parsed text is to be forgotten (and the
  // statement released in ODBC bridge mode).
  virtual void VariablesChanged() = 0;
  // Whether the host is a TOracleQuery (assignment between stores needs it).
  virtual bool IsOracleQuery() const = 0;
};

class TVariableData {
 public:
  TVariableData(std::string name, int type);
  ~TVariableData();
  TVariableData(const TVariableData&) = delete;
  TVariableData& operator=(const TVariableData&) = delete;

  const std::string& Name() const { return name_; }  // upper-cased, with ':'
  int Type() const { return type_; }
  bool IsComplex() const { return complex_; }
  bool IsPLSQLTable() const { return plsql_table_; }
  int ElementCount() const { return element_count_; }
  int ElementSize() const { return element_size_; }
  int LowBound() const { return low_bound_; }
  uint32_t& UsedCount() { return used_count_; }  // client writes it for OUT tables
  uint32_t UsedCount() const { return used_count_; }
  int TableSize() const { return plsql_table_ ? element_count_ : 0; }
  int StringSize() const;  // element size - 1 for type 5 (and tables), else 0

  // The bound buffers: element count x element size bytes, and indicators.
  uint8_t* Buffer() { return buffer_.empty() ? nullptr : buffer_.data(); }
  const uint8_t* Buffer() const { return buffer_.empty() ? nullptr : buffer_.data(); }
  uint8_t* Element(int index) { return Buffer() + static_cast<size_t>(index) * ElementBytes(); }
  const uint8_t* Element(int index) const { return Buffer() + static_cast<size_t>(index) * ElementBytes(); }
  int16_t* Indicators() { return indicators_.data(); }
  int16_t Indicator(int index) const { return indicators_.at(static_cast<size_t>(index)); }
  void SetIndicator(int index, int16_t value) { indicators_.at(static_cast<size_t>(index)) = value; }
  bool IsNull(int index) const { return Indicator(index) != 0; }
  // Bytes of a LONG, LONG RAW or sized string value (element 0).
  uint32_t DataLength() const { return data_length_; }
  void SetDataLength(uint32_t length) { data_length_ = length; }

  TComplexValue* Object() const { return object_; }
  void AttachObject(TComplexValue* object);
  TDateTime DateTimeValue() const { return datetime_value_; }
  void SetDateTimeValue(TDateTime value) { datetime_value_ = value; }
  // A timestamp made by the query to bind DateTimeValue(); owned here.
  TComplexValue* BindTimestamp() const { return bind_timestamp_.get(); }
  void SetBindTimestamp(std::unique_ptr<TComplexValue> timestamp) { bind_timestamp_ = std::move(timestamp); }

  // The client's bind handle and the value address it was made for.
  void* BindHandle = nullptr;
  const void* BoundAddress = nullptr;
  uint16_t BindLength = 0;  // actual length passed with LONG and LONG RAW binds

 private:
  friend class TVariables;
  size_t ElementBytes() const { return static_cast<size_t>(element_size_); }

  std::string name_;
  int type_;
  bool complex_;
  int element_size_ = 0;     // bytes per element
  int element_count_ = 1;
  int low_bound_ = 0;        // of the variant array last assigned
  bool plsql_table_ = false;
  uint32_t used_count_ = 0;  // elements of a PL/SQL table in use
  uint32_t data_length_ = 0;
  std::vector<uint8_t> buffer_;  // empty for complex variables and unsized ones
  std::vector<int16_t> indicators_;  // 0 = value, -1 = null
  TComplexValue* object_ = nullptr;  // attached, never owned
  TDateTime datetime_value_ = 0;
  std::unique_ptr<TComplexValue> bind_timestamp_;
};

class TVariables {
 public:
  explicit TVariables(TVariablesHost* host = nullptr) : host_(host) {}
  TVariables(const TVariables&) = delete;
  TVariables& operator=(const TVariables&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TVariableData& operator[](int index) { return *items_.at(static_cast<size_t>(index)); }
  const TVariableData& operator[](int index) const { return *items_.at(static_cast<size_t>(index)); }
  TVariablesHost* Host() const { return host_; }

  void DeclareVariable(const std::string& name, int type);
  void DeclarePLSQLTable(const std::string& name, int table_size, int string_size);
  void DeleteVariable(const std::string& name);
  void DeleteVariables();

  void SetVariable(const std::string& name, const Variant& value);
  void SetVariable(int index, const Variant& value);
  Variant GetVariable(const std::string& name) const;
  Variant GetVariable(int index) const;
  // The same as SetVariable(index, text) without building a Variant.
  void SetVariableText(int index, std::string_view text);
  // A character variable's value read in place, valid until the variable
  // changes; false when it is null, an array, of another type, or its text
  // reads with line breaks converted.
  bool VariablePlainText(int index, std::string_view& text) const;
  // One element's value (the null value when null).
  Variant GetElement(int index, int element) const;
  void SetComplexVariable(const std::string& name, TComplexValue* object);

  int VariableCount() const { return Count(); }
  std::string VariableName(int index) const;
  int VariableType(int index) const;
  int VariableIndex(const std::string& name) const;
  std::string VariableDisplayText(int index) const;

  // The text with every :name of a substitution variable replaced by its value.
  std::string SubstituteVariables(const std::string& sql) const;
  bool HasSubstitutions() const;

  // The stored "Data" form.
  void ReadData(TStream& stream);
  void WriteData(TStream& stream) const;
  // Whether "Data" is to be written, given the ancestor's store (or none).
  bool ShouldWriteData(const TVariables* ancestor) const;

  void AssignFromParams(const TParams& params);
  void AssignToParams(TParams& params) const;
  void Assign(const TVariables& source);

  // The null value a null element reads as.
  Variant NullValue() const;

 private:
  bool converts_crlf() const;
  static bool is_character(const TVariableData& v);
  bool zero_date_is_null() const;
  void changed() const;
  TVariableData& find_declared(const std::string& name);
  TVariableData& at_index(int index);
  const TVariableData& at_index(int index) const;
  void set_array(TVariableData& v, const Variant& value);
  void set_element(TVariableData& v, int element, const Variant& value);
  void set_element_value(TVariableData& v, int element, const Variant& value);
  void read_value(TStream& stream, TVariableData& v);
  void set_timestamp(TVariableData& v, const Variant& value);
  void resize(TVariableData& v, int count, int string_size) const;
  Variant read_element(const TVariableData& v, int element) const;
  std::string text_in(std::string text) const;
  std::string text_out(std::string text) const;
  bool same_data(const TVariables& other) const;

  TVariablesHost* host_;  // not owned; the query
  std::vector<std::unique_ptr<TVariableData>> items_;
};

// Upper-cased with ':' prepended when missing: the form variable names compare in.
std::string NormalizeVariableName(const std::string& name);

// A complex object carried in a variant, as GetVariable and SetVariable exchange it.
Variant ObjectToVariant(TComplexValue* object);
TComplexValue* VariantToObject(const Variant& value);

}  // namespace kvell
