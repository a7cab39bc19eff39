// Values and declared types of PL/SQL variables, and their exchange with
// SQLite statements (the path every expression and embedded statement takes).
//
// Thread-safe: yes (values are plain data).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/dialect.h"

namespace ociemu::plsql {

struct Value {
  // Date and Timestamp hold ociemu's storage text; Boolean holds 0 or 1 in integer;
  // Lob names a LOB by the host's handle in integer (see Host::lob_content).
  enum Kind : uint8_t { Null, Integer, Real, Text, Blob, Date, Timestamp, Boolean, Lob };
  Kind kind = Null;
  int64_t integer = 0;
  double real = 0;
  std::string bytes;

  bool is_null() const { return kind == Null; }
  static Value of_integer(int64_t v) { return Value{Integer, v, 0, {}}; }
  static Value of_real(double v) { return Value{Real, 0, v, {}}; }
  static Value of_text(std::string v) {
    return v.empty() ? Value{} : Value{Text, 0, 0, std::move(v)};  // '' is NULL
  }
  static Value of_boolean(bool v) { return Value{Boolean, v ? 1 : 0, 0, {}}; }
  static Value of_lob(int64_t handle) { return Value{Lob, handle, 0, {}}; }
  bool is_number() const { return kind == Integer || kind == Real; }
  double as_double() const { return kind == Real ? real : static_cast<double>(integer); }
};

enum class BaseType {
  Varchar2, Char, Number, Integer, PlsInteger, Boolean, Date, Timestamp, Clob, Blob, Raw, Rowid,
  RefCursor, Record, IndexTable, Unknown,
};

struct TypeField;

struct TypeSpec {
  BaseType base = BaseType::Unknown;
  int length = 0;       // characters for VARCHAR2/CHAR/RAW; 0 = unlimited
  int precision = 0;    // NUMBER(p,s); 0 = not given
  int scale = -127;     // -127 = not given
  std::string declared;  // Oracle spelling for describe-style type hints ("NUMBER(7,2)")
  // Records: field names (upper case) and types, in order.
  std::vector<TypeField> fields;
  std::shared_ptr<TypeSpec> element;  // index-by tables
  // Collections: how the type was declared (the engine keeps all three as index-by tables).
  enum class Collection : uint8_t { IndexBy, Nested, Varray };
  Collection collection = Collection::IndexBy;
  int64_t limit = 0;         // VARRAY(limit)
  std::string package_type;  // "OWNER.PACKAGE.NAME" of a record or collection type a package's head declares
  bool is_xml = false;  // XMLTYPE: a CLOB holding the document's text, with its methods
  std::string object;   // "OWNER.NAME" of an SQL object type held as its stored text (a JSON array)

  static TypeSpec of(BaseType base);
  bool is_scalar() const { return base != BaseType::Record && base != BaseType::IndexTable && base != BaseType::RefCursor; }
};

// A record field, read as the name/type pair it is; not a std::pair, which needs
// TypeSpec complete where TypeSpec itself is being declared.
struct TypeField {
  TypeField(std::string name, TypeSpec type) : first(std::move(name)), second(std::move(type)) {}
  std::string first;
  TypeSpec second;
};

inline TypeSpec TypeSpec::of(BaseType base) {
  TypeSpec type;
  type.base = base;
  return type;
}

// The type named by an Oracle column declaration ("NUMBER(7,2)", "VARCHAR2(20)", "DATE").
TypeSpec type_of_declaration(const std::string& declared);
// The external view a value of this type has (for writing it into a host buffer).
std::optional<sql::OracleType> oracle_type_of(const TypeSpec& type, const Value& value);

// Converts a value to a variable's type, raising ORA-06502 as PL/SQL does.
Value coerce(const Value& value, const TypeSpec& type, const sql::SessionContext& session);
// TRUE, FALSE or NULL of a condition's value; text and numbers raise ORA-06502.
std::optional<bool> truth(const Value& value);

void bind_value(sqlite3_stmt* stmt, int index, const Value& value);
// A value as SQLite holds it (of type SQLITE_INTEGER...); `declared` tags dates and timestamps.
Value stored_value(int sqlite_type, int64_t integer, double real, std::string_view bytes,
                   const std::optional<sql::OracleType>& declared);
// A result column; `declared` (sqlite3_column_decltype or a hint) tags dates and timestamps.
Value column_value(sqlite3_stmt* stmt, int column, const std::optional<sql::OracleType>& declared);

// A SQL function's argument, and its result.
Value sql_argument(sqlite3_value* value);
void set_sql_result(sqlite3_context* context, const Value& value);
std::string sql_text(sqlite3_value* value);

// Text of a value as TO_CHAR would give it (dates in the session's format).
std::string to_text(const Value& value, const sql::SessionContext& session);

}  // namespace ociemu::plsql
