// Runs a compiled PL/SQL unit: typed variable frames, control flow, embedded
// SQL through the prepared statements, cursors, and exceptions with their
// handlers. An error no handler takes leaves run() as sql::OracleException
// with Oracle's code and text followed by the "ORA-06512: at line n" lines.
//
// Thread-safe: no; one execution at a time per unit and host.
#pragma once

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/host.h"

namespace ociemu::plsql {

void run_unit(Unit& unit, Host& host);

}  // namespace ociemu::plsql
