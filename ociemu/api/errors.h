// Oracle errors inside ociemu: the failure every internal layer throws, the
// message texts by number, and the guard that turns any failure into an
// OCI return code and an error record without letting an exception reach C.
#pragma once

#include <string>
#include <vector>

#include "ociemu/sql/dialect.h"

namespace ociemu {

// Thrown inside ociemu for an Oracle error; caught by the entry guards.
struct OracleFailure {
  int code = 0;
  std::string message;  // text without the "ORA-nnnnn: " prefix
  int parse_offset = 0;
};

// Oracle's message text for a number ("fetched column value was truncated"), or a generic text.
std::string message_text(int code);

[[noreturn]] void fail(int code);
[[noreturn]] void fail(int code, std::string message);
// "ORA-01017: invalid username/password; logon denied"
std::string full_message(int code, const std::string& message);

OracleFailure from_dialect(const sql::OracleException& e);

// A diagnostic record as OCIErrorGet reports it.
struct ErrorRecord {
  int code = 0;
  std::string text;  // full "ORA-nnnnn: ..." text
};

}  // namespace ociemu
