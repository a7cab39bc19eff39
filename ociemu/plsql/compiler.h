// Compiles the text of an anonymous PL/SQL block into a Unit: parses it with
// the dialect's lexer, resolves names to slots, and translates and prepares
// its embedded SQL against the session's database. Errors answer ORA-06550
// "line n, column m:" with a PLS- message, as Oracle's compiler does.
//
// Thread-safe: yes (one call owns its state); the connection is used by the calling thread.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/sql/dialect.h"

namespace ociemu::plsql {

std::unique_ptr<Unit> compile_block(std::string_view text, sqlite3* db, sql::SessionContext& session);
// A stored program's text from PROCEDURE or FUNCTION on (as the catalogue keeps it);
// a leading CREATE [OR REPLACE] is accepted too.
std::unique_ptr<Unit> compile_program(std::string_view text, sqlite3* db, sql::SessionContext& session);

// A package: its declaration's text (from PACKAGE on), followed by its body's
// when it has one. Variables, subprograms and the body's initialisation are the
// unit's block; Unit::package_members lists what the package head declares.
std::unique_ptr<Unit> compile_package(std::string_view text, sqlite3* db, sql::SessionContext& session);

// Names a trigger body's text uses for :NEW and :OLD (REFERENCING names included).
inline constexpr std::string_view kTriggerNewRecord = "NEW$";
inline constexpr std::string_view kTriggerOldRecord = "OLD$";

// What a trigger body is compiled against: its name, its table's columns, and
// whether it may assign :NEW (BEFORE row triggers of INSERT or UPDATE).
struct TriggerShape {
  std::string name;  // OWNER.NAME
  std::vector<std::pair<std::string, TypeSpec>> columns;
  bool new_assignable = false;
};
std::unique_ptr<Unit> compile_trigger(std::string_view text, sqlite3* db, sql::SessionContext& session,
                                      const TriggerShape& shape);

}  // namespace ociemu::plsql
