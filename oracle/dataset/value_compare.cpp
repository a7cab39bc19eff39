#include "oracle/dataset/value_compare.h"

#include <cmath>
#include <string>
#include "runtime/text_trim.h"

namespace kvell {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kFloatTolerance = 1e-10;

bool is_text_field(TFieldType type) {
  return type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo || type == ftFmtMemo ||
         type == ftOraClob;
}

bool is_binary_field(TFieldType type) {
  return type == ftBlob || type == ftGraphic || type == ftOraBlob || type == ftTypedBinary;
}


bool floats_equal(double field, double server) {
  if (field == 0) return std::fabs(server) < kFloatTolerance;
  return std::fabs((server - field) / field) < kFloatTolerance;
}

bool times_equal(double a, double b, double units_per_day) { return std::fabs(a - b) * units_per_day < 1.0; }

// The server's text is cut to what the field can hold before the compare.
bool texts_equal(int data_size, std::string_view field, std::string_view server) {
  const size_t limit = data_size > 0 ? static_cast<size_t>(data_size - 1) : server.size();
  return TrimRight(server.substr(0, limit)) == TrimRight(field);
}

bool bytes_equal(const Variant& field_value, const Variant& server_value, const StoredBytesReader& stored_bytes) {
  std::vector<uint8_t> server = server_value.AsBytes();
  if (stored_bytes) server = stored_bytes(server);
  return server == field_value.AsBytes();
}

}  // namespace

namespace {

// Null as a field of `type` holds it; blank text counts as null in any field when `blank_is_null`.
bool is_null_value(TFieldType type, const Variant& value, bool blank_is_null) {
  if (value.IsNull() || value.IsEmpty()) return true;
  if (value.IsString()) {
    // One copy of the text for every test.
    const std::string text = value.AsString();
    return text.empty() || ((blank_is_null || is_text_field(type)) && IsBlank(text));
  }
  if (is_binary_field(type)) return value.AsBytes().empty();
  return false;
}

}  // namespace

bool FieldValueIsNull(TFieldType type, const Variant& value) { return is_null_value(type, value, false); }

bool ServerValueDiffers(const ComparedField& field, const Variant& field_value, const Variant& server_value,
                        const StoredBytesReader& stored_bytes) {
  const bool field_null = FieldValueIsNull(field.FieldType, field_value);
  const bool server_null = is_null_value(field.FieldType, server_value, true);
  if (field_null || server_null) return field_null != server_null;
  switch (field.OracleType) {
    case 4: return ServerFloatDiffers(field_value.AsDouble(), server_value.AsDouble());
    case 5: return !texts_equal(field.DataSize, field_value.AsString(), server_value.AsString());
    case 12: return !times_equal(field_value.AsDateTime(), server_value.AsDateTime(), kSecondsPerDay);
    case 187:
    case 188:
    case 232: return !times_equal(field_value.AsDateTime(), server_value.AsDateTime(), kSecondsPerDay * 1000);
    case 24:
    case 113: return !bytes_equal(field_value, server_value, stored_bytes);
    default: return !(field_value == server_value);
  }
}

bool ServerFloatDiffers(double field_value, double server_value) { return !floats_equal(field_value, server_value); }

bool ServerTextDiffers(int data_size, std::string_view field_value, std::string_view server_value) {
  const bool field_null = IsBlank(field_value);
  const bool server_null = IsBlank(server_value);
  if (field_null || server_null) return field_null != server_null;
  return !texts_equal(data_size, field_value, server_value);
}

bool FieldValueChanged(TFieldType type, const Variant& old_value, const Variant& new_value, bool trim_strings) {
  const bool old_null = FieldValueIsNull(type, old_value);
  const bool new_null = FieldValueIsNull(type, new_value);
  if (old_null || new_null) return old_null != new_null;
  if (is_text_field(type)) {
    const std::string old_text = old_value.AsString();
    const std::string new_text = new_value.AsString();
    return trim_strings ? TrimRight(old_text) != TrimRight(new_text) : old_text != new_text;
  }
  return !(old_value == new_value);
}

}  // namespace kvell
