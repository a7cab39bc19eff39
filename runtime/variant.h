// Variant values as the host runtime has them: unassigned, null, Boolean,
// 32- and 64-bit integers, doubles, dates (a double tagged as a date),
// strings, arrays of variants with a low bound, and byte arrays.
// Conversions follow the host runtime; a failed one raises EVariantError.
// Thread-safe: no; a Variant is a value, copy it across threads.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "runtime/datetime.h"

namespace kvell {

// Type codes as the host runtime numbers them.
enum TVarType : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varInteger = 0x0003,
  varDouble = 0x0005,
  varDate = 0x0007,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varByte = 0x0011,
  varInt64 = 0x0014,
  varString = 0x0100,
  varArray = 0x2000,
};

namespace variant_detail {
template <typename T>
concept Character = std::same_as<T, char> || std::same_as<T, wchar_t> || std::same_as<T, char8_t> ||
                    std::same_as<T, char16_t> || std::same_as<T, char32_t>;
template <typename T>
concept WholeNumber = std::integral<T> && !std::same_as<T, bool> && !Character<T>;
// Held as Integer: everything a 32-bit signed integer holds exactly.
template <typename T>
concept SmallWholeNumber = WholeNumber<T> && (sizeof(T) < 4 || (sizeof(T) == 4 && std::is_signed_v<T>));
// Held as Int64: unsigned 32-bit and signed 64-bit numbers; unsigned 64-bit
// numbers do not fit and are refused.
template <typename T>
concept WideWholeNumber = WholeNumber<T> && !SmallWholeNumber<T> && (sizeof(T) == 4 || std::is_signed_v<T>);
}  // namespace variant_detail

// One value of any kind the layer passes around: see the file comment for the kinds.
class Variant {
 public:
  Variant() = default;  // unassigned
  // Each kind takes exactly its own types: a pointer (a client text buffer
  // included), an enum, a character or a number that would lose digits does
  // not become a Boolean or a number by accident.
  template <std::same_as<bool> T>
  Variant(T value) : value_(value) {}
  template <variant_detail::SmallWholeNumber T>
  Variant(T value) : value_(static_cast<int32_t>(value)) {}
  template <variant_detail::WideWholeNumber T>
  Variant(T value) : value_(static_cast<int64_t>(value)) {}
  template <std::floating_point T>
    requires(sizeof(T) <= sizeof(double))
  Variant(T value) : value_(static_cast<double>(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}  // C strings and literals
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::nullptr_t) = delete;
  template <typename T>
    requires(!std::same_as<std::remove_cv_t<T>, char>)
  Variant(T*) = delete;

  static Variant Null();
  static Variant FromDateTime(TDateTime value);
  static Variant FromBytes(std::vector<uint8_t> bytes);
  static Variant FromArray(std::vector<Variant> items, int low_bound = 0);
  // A String holding a copy of `text`, built in place: a fetch makes one per text field.
  static Variant FromText(std::string_view text) {
    Variant v;
    v.value_.emplace<std::string>(text);
    return v;
  }

  uint16_t VarType() const;
  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool IsNull() const { return std::holds_alternative<NullTag>(value_); }
  bool IsArray() const { return std::holds_alternative<ArrayValue>(value_); }
  bool IsBytes() const { return std::holds_alternative<std::vector<uint8_t>>(value_); }
  bool IsNumeric() const;
  bool IsString() const { return std::holds_alternative<std::string>(value_); }

  bool AsBoolean() const;
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  TDateTime AsDateTime() const;
  std::string AsString() const;
  std::vector<uint8_t> AsBytes() const;

  // Array access; EVariantError on a non-array or an index out of bounds.
  int ArrayLowBound() const;
  int ArrayHighBound() const;
  const Variant& operator[](int index) const;
  Variant& operator[](int index);

  // Loose equality: null equals null only; numbers compare by value; a
  // string and a number compare as numbers when the string reads as one.
  friend bool operator==(const Variant& left, const Variant& right);

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct DateValue {
    TDateTime value;
  };
  struct ArrayValue {
    std::vector<Variant> items;
    int low_bound;
  };
  [[noreturn]] void fail_conversion(const char* target) const;
  const ArrayValue& array() const;

  std::variant<std::monostate, NullTag, bool, int32_t, int64_t, double, DateValue, std::string,
               ArrayValue, std::vector<uint8_t>>
      value_;
};

inline Variant Unassigned() { return Variant(); }
inline Variant Null() { return Variant::Null(); }
inline bool VarIsNull(const Variant& v) { return v.IsNull(); }
inline bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
inline bool VarIsArray(const Variant& v) { return v.IsArray(); }
// Null or unassigned: the value a missing field or result gives.
inline bool VarIsClear(const Variant& v) { return v.IsNull() || v.IsEmpty(); }
inline Variant VarArrayOf(std::vector<Variant> items) { return Variant::FromArray(std::move(items)); }
// The text of a value; null and unassigned give the empty string.
std::string VarToStr(const Variant& v);
// Name of the type as conversion errors show it ("Null", "String", ...).
std::string VarTypeName(uint16_t var_type);

}  // namespace kvell
