#include "ociemu/plsql/object_attributes.h"

#include <memory>

#include "ociemu/plsql/messages.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lob_content.h"
#include "ociemu/sql/types.h"

namespace ociemu::plsql {
namespace {

bool is_binary(const sql::TypeAttribute& attribute) {
  if (attribute.is_named()) return false;
  const BaseType base = type_of_declaration(attribute.declared).base;
  return base == BaseType::Raw || base == BaseType::Blob;
}

ObjectAttribute::Encoding encoding_of(const sql::TypeAttribute& attribute) {
  if (is_binary(attribute)) return ObjectAttribute::Hex;
  const bool xml = attribute.type_owner == sql::kXmlTypeOwner && attribute.type_name == sql::kXmlTypeName;
  return attribute.is_named() && !attribute.is_ref && !xml ? ObjectAttribute::Json : ObjectAttribute::Plain;
}

TypeSpec type_of(const sql::TypeAttribute& attribute, const std::optional<sql::TypeInfo>& named) {
  if (!attribute.is_named()) return type_of_declaration(attribute.declared);
  TypeSpec type = type_of_declaration(attribute.is_ref ? "VARCHAR2(4000)" : "VARCHAR2");
  if (named && named->kind == sql::TypeKind::Object && !attribute.is_ref) type.object = named->qualified();
  type.is_xml = named && named->kind == sql::TypeKind::Opaque;
  return type;
}

constexpr const char* kReadSql = "SELECT json_extract(?1, ?2)";
constexpr const char* kQuoteSql = "SELECT json_quote(?1)";
constexpr const char* kFieldsSql = "SELECT key, value, type FROM json_each(?1)";
constexpr const char* kElementsSql = "SELECT key + 1, value, type FROM json_each(?1)";
constexpr const char* kPairsSql =
    "SELECT json_extract(value, '$[0]'), json_extract(value, '$[1]'), json_type(value, '$[1]') FROM json_each(?1)";
constexpr const char* kWriteSql = "SELECT json_type(?1, ?4), json_set(?1, ?2, ?3)";
constexpr const char* kWriteObjectSql = "SELECT json_type(?1, ?4), json_set(?1, ?2, json(?3))";

// One JSON function call over a variable's text; text that is no object's is a value error.
// Reads in loops call it often, so the connection keeps its statements where it can.
class JsonCall {
 public:
  JsonCall(Host& host, const char* sql) : kept_(host.kept_statement(sql)) {
    if (kept_ != nullptr) return;
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(host.db(), sql, -1, &prepared, nullptr) != SQLITE_OK) {
      sqlite3_finalize(prepared);
      sql::throw_oracle(kValueErrorCode);
    }
    owned_.reset(prepared);
  }
  ~JsonCall() {
    if (kept_ == nullptr) return;
    sqlite3_reset(kept_);
    sqlite3_clear_bindings(kept_);  // no copy of a variable's text stays with the connection
  }
  JsonCall(const JsonCall&) = delete;
  JsonCall& operator=(const JsonCall&) = delete;
  sqlite3_stmt* handle() const { return kept_ != nullptr ? kept_ : owned_.get(); }
  void bind(int index, const std::string& text) {
    sqlite3_bind_text(handle(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void run() {
    if (!next()) sql::throw_oracle(kValueErrorCode);
  }
  // Steps to the next row; false at the end, a value error when the text is no JSON.
  bool next() {
    const int rc = sqlite3_step(handle());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) sql::throw_oracle(kValueErrorCode);
    return rc == SQLITE_ROW;
  }
  bool is_null(int column) const { return sqlite3_column_type(handle(), column) == SQLITE_NULL; }
  std::string text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle(), column));
    return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(handle(), column))) : std::string();
  }

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
  };
  sqlite3_stmt* kept_;  // the connection's, reset after the call; else owned_
  std::unique_ptr<sqlite3_stmt, Finalize> owned_;
};

}  // namespace

std::optional<ObjectAttribute> find_object_attribute(sqlite3* db, const std::string& object,
                                                     const std::vector<std::string>& names, size_t& missing) {
  const size_t dot = object.find('.');
  std::optional<sql::TypeInfo> type = sql::find_type(db, object.substr(0, dot), object.substr(dot + 1));
  ObjectAttribute found;
  found.path = "$";
  for (missing = 0; missing < names.size(); ++missing) {
    if (!type || type->kind != sql::TypeKind::Object) return std::nullopt;
    size_t index = 0;
    while (index < type->attributes.size() && type->attributes[index].name != names[missing]) ++index;
    if (index == type->attributes.size()) return std::nullopt;
    const sql::TypeAttribute attribute = type->attributes[index];  // a copy: `type` moves on to its type below
    found.parent = found.path;
    found.path += "[" + std::to_string(index) + "]";
    type = attribute.is_named() ? sql::find_type(db, attribute.type_owner, attribute.type_name) : std::nullopt;
    found.type = type_of(attribute, type);
    found.encoding = encoding_of(attribute);
  }
  return found;
}

Value read_attribute(Host& host, const Value& object, const ObjectAttribute& attribute) {
  if (object.is_null()) return Value{};
  JsonCall query(host, kReadSql);
  bind_value(query.handle(), 1, object);
  query.bind(2, attribute.path);
  query.run();
  if (query.is_null(0)) return Value{};
  if (attribute.encoding == ObjectAttribute::Hex) return Value{Value::Blob, 0, 0, sql::bytes_of_hex(query.text(0))};
  Value value = column_value(query.handle(), 0, std::nullopt);
  return coerce(value, attribute.type, host.context());
}

namespace {

std::string json_of(Host& host, const Value& value) {
  if (value.is_null() || value.kind == Value::Lob) return "null";
  if (value.kind == Value::Boolean) return value.integer ? "true" : "false";
  JsonCall quote(host, kQuoteSql);
  if (value.kind == Value::Blob) {
    quote.bind(1, sql::hex_of(value.bytes));
  } else {
    bind_value(quote.handle(), 1, value);
  }
  quote.run();
  return quote.text(0);
}

// A field as the stored text gives it: JSON's true and false, dates in storage form.
Value field_value(const JsonCall& row, const TypeSpec& type, const sql::SessionContext& session) {
  const std::string json_type = row.text(2);
  if (json_type == "null") return Value{};
  if (json_type == "true" || json_type == "false") return Value::of_boolean(json_type == "true");
  Value value = column_value(row.handle(), 1, std::nullopt);
  if (type.base == BaseType::Boolean && value.kind == Value::Integer) return Value::of_boolean(value.integer != 0);
  if ((type.base == BaseType::Date || type.base == BaseType::Timestamp) && value.kind == Value::Text) {
    value.kind = type.base == BaseType::Date ? Value::Date : Value::Timestamp;
  }
  if ((type.base == BaseType::Raw || type.base == BaseType::Blob) && value.kind == Value::Text) {
    return Value{Value::Blob, 0, 0, sql::bytes_of_hex(value.bytes)};
  }
  return coerce(value, type, session);
}

}  // namespace

Value pack_record(Host& host, const std::vector<Value>& fields, const TypeSpec& type) {
  std::string out = "[";
  for (size_t i = 0; i < type.fields.size(); ++i) {
    if (i) out += ',';
    out += i < fields.size() ? json_of(host, fields[i]) : "null";
  }
  return Value::of_text(out + "]");
}

Value pack_table(Host& host, const std::map<int64_t, Value>& table, const TypeSpec& type) {
  const bool keyed = type.collection == TypeSpec::Collection::IndexBy;
  std::string out = "[";
  for (const auto& [key, value] : table) {
    if (out.size() > 1) out += ',';
    out += keyed ? "[" + std::to_string(key) + "," + json_of(host, value) + "]" : json_of(host, value);
  }
  return Value::of_text(out + "]");
}

std::map<int64_t, Value> unpack_table(Host& host, const Value& packed, const TypeSpec& type) {
  std::map<int64_t, Value> table;
  if (packed.is_null() || !type.element) return table;
  JsonCall rows(host, type.collection == TypeSpec::Collection::IndexBy ? kPairsSql : kElementsSql);
  bind_value(rows.handle(), 1, packed);
  while (rows.next()) {
    if (sqlite3_column_type(rows.handle(), 0) != SQLITE_INTEGER) sql::throw_oracle(kValueErrorCode);
    table[sqlite3_column_int64(rows.handle(), 0)] = field_value(rows, *type.element, host.context());
  }
  return table;
}

std::vector<Value> unpack_record(Host& host, const Value& packed, const TypeSpec& type) {
  std::vector<Value> fields(type.fields.size());
  if (packed.is_null()) return fields;
  JsonCall rows(host, kFieldsSql);
  bind_value(rows.handle(), 1, packed);
  while (rows.next()) {
    const int64_t index = sqlite3_column_int64(rows.handle(), 0);
    if (index < 0 || static_cast<size_t>(index) >= fields.size()) continue;
    fields[static_cast<size_t>(index)] = field_value(rows, type.fields[static_cast<size_t>(index)].second, host.context());
  }
  return fields;
}

Value write_attribute(Host& host, const Value& object, const ObjectAttribute& attribute, const Value& value) {
  if (object.is_null()) sql::throw_oracle(kUninitializedComposite, {});
  JsonCall query(host, attribute.encoding == ObjectAttribute::Json ? kWriteObjectSql : kWriteSql);
  bind_value(query.handle(), 1, object);
  query.bind(2, attribute.path);
  if (attribute.encoding == ObjectAttribute::Hex && !value.is_null()) {
    query.bind(3, sql::hex_of(value.bytes));
  } else {
    bind_value(query.handle(), 3, value);
  }
  query.bind(4, attribute.parent);
  query.run();
  const std::string holder = query.is_null(0) ? "null" : query.text(0);
  if (holder != "array") sql::throw_oracle(kUninitializedComposite, {});
  return Value::of_text(query.text(1));
}

}  // namespace ociemu::plsql
