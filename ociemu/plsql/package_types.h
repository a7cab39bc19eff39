// Record and collection types that a package's head declares, seen as the
// object types clients describe, build and bind (OWNER, PACKAGE, NAME).
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>

#include "ociemu/plsql/value.h"
#include "ociemu/sql/types.h"

namespace ociemu::plsql {

// OWNER.PACKAGE.NAME as a type: nullopt when the package's head is missing or
// invalid, declares no such type, or declares one a client cannot hold (a REF
// CURSOR, a record with a cursor field).
std::optional<sql::TypeInfo> find_package_type(sqlite3* db, const std::string& owner, const std::string& package,
                                               const std::string& name);

// The type a record or collection variable of a package's type has in the catalogue's terms.
std::optional<sql::TypeInfo> package_type_info(const TypeSpec& type);

}  // namespace ociemu::plsql
