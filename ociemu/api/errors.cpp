#include "ociemu/api/errors.h"

#include <cstdio>
#include <unordered_map>

namespace ociemu {
namespace {

const std::unordered_map<int, const char*>& message_table() {
  static const std::unordered_map<int, const char*> table = {
      {1, "unique constraint (%s.%s) violated"},
      {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
      {60, "deadlock detected while waiting for resource"},
      {900, "invalid SQL statement"},
      {904, "invalid identifier"},
      {933, "SQL command not properly ended"},
      {942, "table or view does not exist"},
      {932, "inconsistent datatypes"},
      {1001, "invalid cursor"},
      {1002, "fetch out of sequence"},
      {1007, "variable not in select list"},
      {1008, "not all variables bound"},
      {1012, "not logged on"},
      {1013, "user requested cancel of current operation"},
      {1017, "invalid username/password; logon denied"},
      {1036, "illegal variable name/number"},
      {1086, "savepoint '%s' never established in this session or is invalid"},
      {1403, "no data found"},
      {1405, "fetched column value is NULL"},
      {1406, "fetched column value was truncated"},
      {1410, "invalid ROWID"},
      {1422, "exact fetch returns more than requested number of rows"},
      {1458, "invalid length inside variable character string"},
      {1722, "invalid number"},
      {1841, "(full) year must be between -4713 and +9999, and not be 0"},
      {1858, "a non-numeric character was found where a numeric was expected"},
      {2289, "sequence does not exist"},
      {3001, "unimplemented feature"},
      {3113, "end-of-file on communication channel"},
      {3114, "not connected to ORACLE"},
      {12154, "TNS:could not resolve the connect identifier specified"},
      {12545, "Connect failed because target host or object does not exist"},
      {24338, "statement handle not executed"},
      {24343, "user defined callback error"},
      {24345, "A Truncation or null fetch error occurred"},
      {24374, "define not done before fetch or execute and fetch"},
      {24431, "Statement does not exist in the cache"},
      {28000, "the account is locked"},
      {28001, "the password has expired"},
      {28002, "the password will expire within 7 days"},
  };
  return table;
}

}  // namespace

std::string message_text(int code) {
  const auto& table = message_table();
  auto found = table.find(code);
  if (found != table.end()) return found->second;
  return "Message " + std::to_string(code) + " not found";
}

void fail(int code) { throw OracleFailure{code, message_text(code), 0}; }

void fail(int code, std::string message) { throw OracleFailure{code, std::move(message), 0}; }

std::string full_message(int code, const std::string& message) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
  return prefix + message;
}

OracleFailure from_dialect(const sql::OracleException& e) {
  return OracleFailure{e.error.code, e.error.message, e.error.parse_offset};
}

}  // namespace ociemu
