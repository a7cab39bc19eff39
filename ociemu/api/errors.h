// Oracle errors at the call interface: raising them (the one error type and
// message table of ociemu/sql) and the diagnostic records OCIErrorGet reads.
//
// Thread-safe: yes.
#pragma once

#include <string>
#include <vector>

#include "ociemu/sql/errors.h"

namespace ociemu {

using sql::full_message;
using sql::MessageArgs;
using sql::message_text;
using sql::OracleError;
using sql::OracleException;

// Throws OracleException with the table's text for code, filled from args.
[[noreturn]] void fail(int code, MessageArgs args = {});

// A diagnostic record as OCIErrorGet reports it.
struct ErrorRecord {
  int code = 0;
  std::string text;  // full "ORA-nnnnn: ..." text
};

}  // namespace ociemu
