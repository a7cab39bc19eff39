#include "ociemu/plsql/value.h"

#include <cctype>
#include <cmath>
#include <string_view>

#include "ociemu/plsql/messages.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::plsql {
namespace {

// 'YYYY-MM-DD HH:MM:SS' and longer timestamp texts: ociemu's storage form.
bool is_storage_datetime(std::string_view text) {
  static constexpr std::string_view kPattern = "dddd-dd-dd dd:dd:dd";
  if (text.size() < kPattern.size()) return false;
  for (size_t i = 0; i < kPattern.size(); ++i) {
    bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return false;
  }
  return true;
}

size_t character_count(std::string_view utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

[[noreturn]] void value_error(std::string_view detail = {}) { sql::throw_oracle(kValueErrorCode, {detail}); }

Value to_number(const Value& value, const TypeSpec& type) {
  Value number = value;
  if (value.kind == Value::Text) {
    auto parsed = sql::parse_number(value.bytes);
    if (!parsed) value_error(kCharacterToNumber);
    number = parsed->is_integer ? Value::of_integer(parsed->integer) : Value::of_real(parsed->real);
  } else if (!value.is_number()) {
    value_error();
  }
  int scale = type.base == BaseType::Number ? type.scale : 0;
  if (number.kind == Value::Real && scale != -127) {
    double rounded = sql::round_decimal(number.real, scale, false);
    auto exact = sql::Number::of(rounded);
    number = exact.is_integer ? Value::of_integer(exact.integer) : Value::of_real(exact.real);
  }
  if (type.precision > 0 && number.is_number()) {
    double limit = std::pow(10.0, type.precision - std::max(scale, 0));
    if (std::fabs(number.as_double()) >= limit) value_error(kPrecisionTooLarge);
  }
  if (type.base == BaseType::PlsInteger && number.is_number() &&
      std::fabs(number.as_double()) > 2147483647.0) {
    value_error();
  }
  return number;
}

Value to_characters(const Value& value, const TypeSpec& type, const sql::SessionContext& session) {
  Value text = Value::of_text(to_text(value, session));
  if (type.base == BaseType::Char && type.length > 0) {
    size_t have = character_count(text.bytes);
    if (have < static_cast<size_t>(type.length)) text.bytes.append(static_cast<size_t>(type.length) - have, ' ');
  }
  if (type.length > 0 && character_count(text.bytes) > static_cast<size_t>(type.length)) value_error(kBufferTooSmall);
  return text;
}

Value to_datetime(const Value& value, const TypeSpec& type, const sql::SessionContext& session) {
  if (value.kind == Value::Date || value.kind == Value::Timestamp) {
    Value out = value;
    out.kind = type.base == BaseType::Date ? Value::Date : Value::Timestamp;
    if (out.kind == Value::Date && out.bytes.size() > 19) out.bytes.resize(19);
    return out;
  }
  if (value.kind != Value::Text) value_error();
  std::string storage = is_storage_datetime(value.bytes)
                            ? value.bytes
                            : sql::parse_datetime(value.bytes, type.base == BaseType::Date ? session.nls_date_format
                                                                                          : session.nls_timestamp_format);
  Value out{type.base == BaseType::Date ? Value::Date : Value::Timestamp, 0, 0, storage};
  if (out.kind == Value::Date && out.bytes.size() > 19) out.bytes.resize(19);
  return out;
}

}  // namespace

TypeSpec type_of_declaration(const std::string& declared) {
  TypeSpec type;
  type.declared = declared;
  auto oracle = sql::parse_declared_type(declared.c_str());
  if (!oracle) return type;
  switch (oracle->type_code) {
    case 2:
      type.base = BaseType::Number;
      type.precision = oracle->precision;
      type.scale = oracle->scale;
      break;
    case 96: type.base = BaseType::Char; type.length = oracle->char_size; break;
    case 1: case 8: type.base = BaseType::Varchar2; type.length = oracle->char_size; break;
    case 12: type.base = BaseType::Date; break;
    case 180: case 181: case 231: type.base = BaseType::Timestamp; break;
    case 112: type.base = BaseType::Clob; break;
    case 113: type.base = BaseType::Blob; break;
    case 23: case 24: type.base = BaseType::Raw; type.length = oracle->data_size; break;
    case 69: case 104: case 208: case 11: type.base = BaseType::Rowid; break;
    default: break;
  }
  return type;
}

std::optional<sql::OracleType> oracle_type_of(const TypeSpec& type, const Value& value) {
  if (!type.declared.empty()) {
    if (auto declared = sql::parse_declared_type(type.declared.c_str())) return declared;
  }
  switch (value.kind) {
    case Value::Integer:
    case Value::Real:
    case Value::Boolean:
      return sql::parse_declared_type("NUMBER");
    case Value::Date:
      return sql::parse_declared_type("DATE");
    case Value::Timestamp:
      return sql::parse_declared_type("TIMESTAMP");
    case Value::Blob:
      return sql::parse_declared_type("RAW(2000)");
    default:
      return sql::parse_declared_type("VARCHAR2(4000)");
  }
}

Value coerce(const Value& value, const TypeSpec& type, const sql::SessionContext& session) {
  if (value.is_null()) return Value{};
  if (value.kind == Value::Lob) {
    // Only a LOB variable holds a LOB itself; others take its value, which the runner reads first.
    if (type.base == BaseType::Clob || type.base == BaseType::Blob || type.base == BaseType::Unknown) return value;
    value_error();
  }
  switch (type.base) {
    case BaseType::Number:
    case BaseType::Integer:
    case BaseType::PlsInteger:
      return to_number(value, type);
    case BaseType::Varchar2:
    case BaseType::Char:
    case BaseType::Clob:
      return to_characters(value, type, session);
    case BaseType::Rowid: {
      Value text = to_characters(value, type, session);
      if (auto full = sql::restricted_rowid(text.bytes)) text.bytes = std::move(*full);
      return text;
    }
    case BaseType::Date:
    case BaseType::Timestamp:
      return to_datetime(value, type, session);
    case BaseType::Boolean:
      if (value.kind == Value::Boolean) return value;
      if (value.kind == Value::Integer && (value.integer == 0 || value.integer == 1)) return Value::of_boolean(value.integer);
      value_error();
    case BaseType::Blob:
    case BaseType::Raw:
      if (value.kind == Value::Blob) return value;
      return Value{Value::Blob, 0, 0, value.bytes};
    default:
      return value;
  }
}

std::optional<bool> truth(const Value& value) {
  if (value.is_null()) return std::nullopt;
  if (value.kind == Value::Boolean || value.kind == Value::Integer) return value.integer != 0;
  if (value.kind == Value::Real) return value.real != 0;
  value_error();
}

void bind_value(sqlite3_stmt* stmt, int index, const Value& value) {
  switch (value.kind) {
    case Value::Null:
      sqlite3_bind_null(stmt, index);
      break;
    case Value::Integer:
    case Value::Boolean:
      sqlite3_bind_int64(stmt, index, value.integer);
      break;
    case Value::Real:
      sqlite3_bind_double(stmt, index, value.real);
      break;
    case Value::Blob:
      sqlite3_bind_blob(stmt, index, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_bind_text(stmt, index, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
      break;
  }
}

Value stored_value(int sqlite_type, int64_t integer, double real, std::string_view bytes,
                   const std::optional<sql::OracleType>& declared) {
  switch (sqlite_type) {
    case SQLITE_INTEGER: return Value::of_integer(integer);
    case SQLITE_FLOAT: return Value::of_real(real);
    case SQLITE_BLOB: return Value{Value::Blob, 0, 0, std::string(bytes)};
    case SQLITE_TEXT: {
      Value text = Value::of_text(std::string(bytes));
      if (declared && is_storage_datetime(text.bytes)) {
        if (declared->type_code == 12) text.kind = Value::Date;
        if (declared->type_code == 180 || declared->type_code == 181 || declared->type_code == 231) text.kind = Value::Timestamp;
      }
      return text;
    }
    default:
      return Value{};
  }
}

Value column_value(sqlite3_stmt* stmt, int column, const std::optional<sql::OracleType>& declared) {
  const int type = sqlite3_column_type(stmt, column);
  switch (type) {
    case SQLITE_INTEGER: return Value::of_integer(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return Value::of_real(sqlite3_column_double(stmt, column));
    case SQLITE_BLOB:
    case SQLITE_TEXT: {
      const void* data = type == SQLITE_BLOB ? sqlite3_column_blob(stmt, column) : sqlite3_column_text(stmt, column);
      auto size = static_cast<size_t>(sqlite3_column_bytes(stmt, column));
      return stored_value(type, 0, 0, std::string_view(static_cast<const char*>(data), data ? size : 0), declared);
    }
    default:
      return Value{};
  }
}

Value sql_argument(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return Value::of_integer(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return Value::of_real(sqlite3_value_double(value));
    case SQLITE_BLOB: {
      const void* data = sqlite3_value_blob(value);
      auto size = static_cast<size_t>(sqlite3_value_bytes(value));
      return Value{Value::Blob, 0, 0, size ? std::string(static_cast<const char*>(data), size) : std::string()};
    }
    case SQLITE_TEXT: return Value::of_text(sql_text(value));
    default: return Value{};
  }
}

std::string sql_text(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return text ? std::string(text, static_cast<size_t>(sqlite3_value_bytes(value))) : std::string();
}

void set_sql_result(sqlite3_context* context, const Value& value) {
  switch (value.kind) {
    case Value::Null: sqlite3_result_null(context); break;
    case Value::Integer:
    case Value::Boolean: sqlite3_result_int64(context, value.integer); break;
    case Value::Real: sqlite3_result_double(context, value.real); break;
    case Value::Blob:
      sqlite3_result_blob(context, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_result_text(context, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
      break;
  }
}

std::string to_text(const Value& value, const sql::SessionContext& session) {
  switch (value.kind) {
    case Value::Null: return {};
    case Value::Integer: return sql::format_number(value.integer);
    case Value::Real: return sql::format_number(value.real);
    case Value::Boolean: value_error();
    case Value::Date: return sql::format_datetime(value.bytes, session.nls_date_format);
    case Value::Timestamp: return sql::format_datetime(value.bytes, session.nls_timestamp_format);
    default: return value.bytes;
  }
}

}  // namespace ociemu::plsql
