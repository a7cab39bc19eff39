// Runs a compiled PL/SQL unit: typed variable frames, control flow, embedded
// SQL through the prepared statements, cursors, and exceptions with their
// handlers. An error no handler takes leaves run() as sql::OracleException
// with Oracle's code and text followed by the "ORA-06512: at line n" lines.
//
// Thread-safe: no; one execution at a time per unit and host.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/host.h"

namespace ociemu::plsql {

void run_unit(Unit& unit, Host& host);
// Runs a stored function (nullopt arguments take their defaults) and returns its value.
Value run_function(Unit& unit, Host& host, const std::vector<std::optional<Value>>& arguments);

class CallState;
// Runs function "OWNER.PACKAGE.MEMBER" of the session's instance of the package, as SQL calls it.
Value run_package_function(Host& host, CallState& calls, const std::string& key, const std::vector<Value>& arguments,
                           const std::vector<std::string>& names);

// One row a trigger fires for: the event, the columns an UPDATE sets, and the
// new and old values by column (new ones written back as the trigger leaves them).
struct TriggerRow {
  char event = 'I';  // 'I'nsert, 'U'pdate, 'D'elete
  const std::vector<std::string>* updated_columns = nullptr;
  std::vector<Value> new_values, old_values;
};
void run_trigger(Unit& unit, Host& host, TriggerRow& row);

}  // namespace ociemu::plsql
