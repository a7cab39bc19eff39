// The Oracle functions and the helpers translated SQL calls (date-aware
// arithmetic, rowid text, sequences, constraint checks), registered on each
// connection.
//
// Thread-safe: registration is; the functions run on the connection's thread.
#pragma once

#include "ociemu/sql/dialect.h"

struct sqlite3;

namespace ociemu::sql {

void register_functions(sqlite3* db, SessionContext* session);

}  // namespace ociemu::sql
