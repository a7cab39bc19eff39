// DBMS_LOB's procedures over the host's LOBs: which arguments each takes and
// writes back, and running one on evaluated arguments. The package's functions
// that only read a value (GETLENGTH, SUBSTR, INSTR) are SQL functions of the
// dialect; ISTEMPORARY needs the LOB itself and is a reference of the unit.
//
// Thread-safe: yes (the table is constant; a call works on its host's LOBs).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "ociemu/plsql/host.h"
#include "ociemu/plsql/value.h"

namespace ociemu::plsql {

inline constexpr std::string_view kLobPackage = "DBMS_LOB.";

struct LobProcedure {
  std::string_view name;
  size_t min_arguments = 0, max_arguments = 0;
  unsigned written = 0;  // bit i: argument i is OUT or IN OUT and must be assignable
};

// The procedure of that name (without the package), or nullptr.
const LobProcedure* find_lob_procedure(std::string_view name);
// The package's named constants (SESSION, CALL, LOB_READONLY...).
std::optional<Value> lob_constant(std::string_view name);

// Runs a procedure; the arguments it writes take their new values in place.
// `character` tells what a LOB created for argument 0 holds (CLOB or BLOB).
void run_lob_procedure(const LobProcedure& procedure, std::vector<Value>& arguments, bool character, Host& host,
                       const sql::SessionContext& session);

// DBMS_LOB.ISTEMPORARY of a value: 1 or 0, NULL for NULL.
Value lob_is_temporary(const Value& lob, Host& host);

}  // namespace ociemu::plsql
