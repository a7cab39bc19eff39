// Raising Oracle errors anywhere in ociemu: one error type (OracleException),
// its texts always taken from the message table.
//
// Thread-safe: yes.
#pragma once

#include <string>
#include <string_view>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/messages.h"

struct sqlite3_context;

namespace ociemu::sql {

// The error for code with its message text filled from args.
OracleError oracle_error(int code, MessageArgs args = {}, int parse_offset = 0);
[[noreturn]] void throw_oracle(int code, MessageArgs args = {}, int parse_offset = 0);

// Fails a SQLite function call with the Oracle error, in the text map_sqlite_error reads back.
void result_oracle_error(sqlite3_context* context, int code);

// Splits "ORA-nnnnn: text" (the form SQLite function errors carry) back; false when the text has no such prefix.
bool parse_ora_text(std::string_view text, OracleError& error);

// The error as the statement of `kind` reports it: an UPDATE setting a mandatory column to NULL
// fails with ORA-01407, where SQLite's message is the same as an INSERT's.
OracleError as_failure_of(StatementKind kind, OracleError error);

// A name as Oracle quotes it inside messages: "EMP".
std::string in_quotes(std::string_view name);

}  // namespace ociemu::sql
