#include "ociemu/plsql/package_types.h"

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/compiler.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {
namespace {

// OCI's BOOLEAN: a `boolean` (an int) in client memory.
sql::OracleType boolean_type() {
  sql::OracleType type;
  type.type_code = 252;
  type.data_size = sizeof(int);
  type.type_name = "BOOLEAN";
  return type;
}

// "OWNER.PACKAGE.NAME" as the owner and the "PACKAGE.NAME" a named attribute keeps.
void name_package_type(const std::string& qualified, sql::TypeAttribute& attribute) {
  const size_t dot = qualified.find('.');
  attribute.type_owner = qualified.substr(0, dot);
  attribute.type_name = qualified.substr(dot + 1);
}

std::optional<sql::TypeAttribute> attribute_of(const std::string& name, const TypeSpec& type) {
  sql::TypeAttribute attribute;
  attribute.name = name;
  if (!type.package_type.empty()) {
    name_package_type(type.package_type, attribute);
  } else if (!type.object.empty()) {
    const size_t dot = type.object.find('.');
    attribute.type_owner = type.object.substr(0, dot);
    attribute.type_name = type.object.substr(dot + 1);
  } else if (type.base == BaseType::Boolean) {
    attribute.declared = "BOOLEAN";
    attribute.builtin = boolean_type();
  } else if (type.is_scalar() && !type.declared.empty()) {
    attribute.declared = type.declared;
    attribute.builtin = sql::parse_declared_type(type.declared.c_str());
    if (!attribute.builtin) return std::nullopt;
  } else {
    return std::nullopt;
  }
  return attribute;
}

sql::TypeKind collection_kind(TypeSpec::Collection collection) {
  switch (collection) {
    case TypeSpec::Collection::Nested: return sql::TypeKind::Table;
    case TypeSpec::Collection::Varray: return sql::TypeKind::Varray;
    default: return sql::TypeKind::IndexTable;
  }
}

}  // namespace

std::optional<sql::TypeInfo> package_type_info(const TypeSpec& type) {
  const size_t first = type.package_type.find('.'), last = type.package_type.rfind('.');
  if (first == std::string::npos || first == last) return std::nullopt;
  sql::TypeInfo info;
  info.owner = type.package_type.substr(0, first);
  info.package = type.package_type.substr(first + 1, last - first - 1);
  info.name = type.package_type.substr(last + 1);
  if (type.base == BaseType::Record) {
    for (const TypeField& field : type.fields) {
      std::optional<sql::TypeAttribute> attribute = attribute_of(field.first, field.second);
      if (!attribute) return std::nullopt;
      info.attributes.push_back(std::move(*attribute));
    }
    return info;
  }
  if (type.base != BaseType::IndexTable || !type.element) return std::nullopt;
  info.kind = collection_kind(type.collection);
  info.upper_bound = type.limit;
  std::optional<sql::TypeAttribute> element = attribute_of("", *type.element);
  if (!element) return std::nullopt;
  info.attributes.push_back(std::move(*element));
  return info;
}

std::optional<sql::TypeInfo> find_package_type(sqlite3* db, const std::string& owner, const std::string& package,
                                               const std::string& name) {
  std::optional<std::string> text = sql::program_source(db, owner, package, "PACKAGE");
  if (!text) return std::nullopt;
  // The head's names resolve in its owner's schema, whoever asks.
  sql::SessionContext session;
  session.user = owner;
  std::unique_ptr<Unit> unit;
  try {
    unit = compile_package(*text, db, session);
  } catch (const sql::OracleException&) {
    return std::nullopt;
  }
  auto found = unit->package_types.find(name);
  if (found == unit->package_types.end()) return std::nullopt;
  return package_type_info(found->second);
}

}  // namespace ociemu::plsql
