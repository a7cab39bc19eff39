// Attributes of SQL object values that PL/SQL variables hold as their stored
// text (a JSON array of the attributes, RAW bytes as hex, embedded objects as
// arrays): finding one by name, reading it and writing it.
//
// Thread-safe: yes; a connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/host.h"
#include "ociemu/sql/dialect.h"

namespace ociemu::plsql {

// The attribute `names` leads to inside object type `object` ("OWNER.NAME"); when one
// of them is no attribute, the error names it: `missing` holds its position.
std::optional<ObjectAttribute> find_object_attribute(sqlite3* db, const std::string& object,
                                                     const std::vector<std::string>& names, size_t& missing);

// The attribute's value in the object's stored text; NULL when the object or the attribute is.
Value read_attribute(Host& host, const Value& object, const ObjectAttribute& attribute);

// A record of a type a package declares as it crosses calls and binds: the stored text
// of an object of that type (a JSON array of its fields), and back (NULL gives null fields).
Value pack_record(Host& host, const std::vector<Value>& fields, const TypeSpec& type);
std::vector<Value> unpack_record(Host& host, const Value& packed, const TypeSpec& type);
// A collection of such a type: an index-by table as [key, value] pairs in key order, a nested
// table or VARRAY as its values in order (keys from 1).
Value pack_table(Host& host, const std::map<int64_t, Value>& table, const TypeSpec& type);
std::map<int64_t, Value> unpack_table(Host& host, const Value& packed, const TypeSpec& type);

// The object's stored text with the attribute replaced by `value` (already of the attribute's
// type); ORA-06530 when the object holding the attribute is null, as Oracle refuses it.
Value write_attribute(Host& host, const Value& object, const ObjectAttribute& attribute, const Value& value);

}  // namespace ociemu::plsql
