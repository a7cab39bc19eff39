// Stored procedures and functions: CREATE [OR REPLACE] compiles the unit and
// keeps its text, and any compile error, in the catalogue; callers compile it
// from that text.
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {

struct StoredProgram {
  std::string type;  // PROCEDURE or FUNCTION
  std::string text;  // from PROCEDURE/FUNCTION on, as USER_SOURCE lists it
  bool invalid = false;  // compiled with errors
};

// Runs CREATE [OR REPLACE] PROCEDURE/FUNCTION: the object is stored even when it
// does not compile; false then, its errors in USER_ERRORS. Raises ORA-00955 when
// the name is taken and OR REPLACE is absent (or names another kind of object).
bool create_program(std::string_view text, sqlite3* db, sql::SessionContext& session);

// The compile error of ORA-06550 ("line n, column m:\nPLS-..."), as USER_ERRORS keeps it.
sql::ProgramError program_error(const sql::OracleError& error);

// A package body compiles after its declaration (declaration_lines long): an error of the body,
// counted from the body's own first line, as Oracle counts lines of a stored unit.
sql::OracleError counted_from_body(sql::OracleError error, int declaration_lines);
// Lines of a text: one more than its line breaks.
int line_count(std::string_view text);

std::optional<StoredProgram> find_stored_program(sqlite3* db, const std::string& owner, const std::string& name);

}  // namespace ociemu::plsql
