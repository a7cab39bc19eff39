// The catalogue of user-defined types kept in each database file: object types
// with their attributes, VARRAY and nested TABLE collection types, and the one
// predefined opaque type SYS.XMLTYPE. CREATE TYPE and DROP TYPE write it (ddl
// through the translator); the call interface reads it to describe types and
// lay out client instances.
//
// Thread-safe: the functions are; a connection is used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/dialect.h"

struct sqlite3;

namespace ociemu::sql {

inline constexpr std::string_view kXmlTypeOwner = "SYS";
inline constexpr std::string_view kXmlTypeName = "XMLTYPE";

// Internal type codes of object (and collection) columns and of REF columns.
inline constexpr int kObjectColumnType = 108;
inline constexpr int kRefColumnType = 111;

// IndexTable: a PL/SQL index-by table (associative array), declared only in packages.
enum class TypeKind { Object, Varray, Table, Opaque, IndexTable };

// One attribute of an object type, or the element of a collection type (no name).
struct TypeAttribute {
  std::string name;
  std::string declared;  // built-in declaration ("NUMBER(5)"), else empty
  std::optional<OracleType> builtin;
  std::string type_owner, type_name;  // a named type (object, collection, XMLTYPE)
  bool is_ref = false;                // REF type_owner.type_name

  bool is_named() const { return !type_name.empty(); }
};

struct TypeInfo {
  std::string owner, name;
  std::string package;  // a PL/SQL record or collection type declared in this package's head, else empty
  TypeKind kind = TypeKind::Object;
  bool is_final = true;
  int64_t upper_bound = 0;  // VARRAY limit
  int64_t object_id = 0;
  std::vector<TypeAttribute> attributes;  // collections: the element alone

  bool is_collection() const {
    return kind == TypeKind::Varray || kind == TypeKind::Table || kind == TypeKind::IndexTable;
  }
  std::string qualified() const { return owner + "." + (package.empty() ? name : package + "." + name); }
};

// A table of objects (CREATE TABLE t OF type).
struct ObjectTableInfo {
  std::string owner, name, type_owner, type_name;
};
std::optional<ObjectTableInfo> find_object_table(sqlite3* db, std::string_view owner, std::string_view name);

// Creates the type catalogue tables when missing.
void install_type_catalogue(sqlite3* db);

// The type OWNER.NAME (SYS.XMLTYPE included); nullopt when there is none.
std::optional<TypeInfo> find_type(sqlite3* db, std::string_view owner, std::string_view name);

// A type named in SQL or by a client: "NAME" in the session's schema, then
// SYS (XMLTYPE), or "OWNER.NAME"; nullopt when nothing matches.
std::optional<TypeInfo> resolve_type(sqlite3* db, const SessionContext& session, std::string_view owner,
                                     std::string_view name);

// Whether an object or collection type keeps a CLOB, NCLOB, BLOB or BFILE anywhere inside it.
bool type_holds_lob(sqlite3* db, std::string_view owner, std::string_view name);

// The declared-type text of a column of a named type, and back. Columns keep it
// as their SQLite declared type, so that describe can tell the column's type.
std::string object_column_declaration(std::string_view owner, std::string_view name, bool is_ref);
struct NamedColumnType {
  std::string owner, name;
  bool is_ref = false;
};
std::optional<NamedColumnType> parse_object_column_declaration(std::string_view declared);

}  // namespace ociemu::sql
