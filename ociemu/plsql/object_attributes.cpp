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
    if (sqlite3_step(handle()) != SQLITE_ROW) sql::throw_oracle(kValueErrorCode);
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
