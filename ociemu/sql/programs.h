// The catalogue of stored PL/SQL programs as the PL/SQL engine sees it: the
// session's schema, a program's stored text, and storing a (re)compiled one
// with its text and compile error so that USER_SOURCE, USER_OBJECTS.STATUS
// and USER_ERRORS follow.
//
// Thread-safe: yes (no shared state); a connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/sql/dialect.h"

namespace ociemu::sql {

struct ProgramKey {
  std::string owner, name, type;  // type: PROCEDURE, FUNCTION, TRIGGER
};

// Where a compile error points, and its PLS- text.
struct ProgramError {
  int line = 0, column = 0;
  std::string text;
};

struct StoredProgramText {
  std::string type;
  std::string text;      // from PROCEDURE/FUNCTION on, as USER_SOURCE lists it
  bool invalid = false;  // stored with a compile error
};

std::string session_schema(const SessionContext& session);
// The type of the schema object OWNER.NAME, if there is one.
std::optional<std::string> object_type(sqlite3* db, std::string_view owner, std::string_view name);
// "OWNER.NAME" of the stored function a call names ([owner.]name), unless a built-in function has the name.
std::optional<std::string> stored_function(sqlite3* db, const SessionContext& session,
                                           const std::vector<std::string>& parts);
// The declared RETURN type of stored function "OWNER.NAME" as written ("DATE",
// "VARCHAR2", "NUMBER(7,2)"), or nullopt when there is none or it cannot be read.
std::optional<std::string> function_return_type(sqlite3* db, std::string_view key);

// OCIEMU_CALL's mode flag for a call with named arguments: they come as
// (name, value) pairs after the mode, the name NULL for a positional one.
inline constexpr int kCallWithNames = 4;

std::optional<StoredProgramText> stored_program(sqlite3* db, std::string_view owner, std::string_view name);
// The stored text of OWNER.NAME's part `type` (PACKAGE, PACKAGE BODY...), if there is one.
std::optional<std::string> program_source(sqlite3* db, std::string_view owner, std::string_view name,
                                          std::string_view type);
// Registers (when new) or replaces the program's text and error, all or nothing.
void store_program(sqlite3* db, const ProgramKey& key, std::string_view source, const std::optional<ProgramError>& error);

}  // namespace ociemu::sql
