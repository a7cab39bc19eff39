// Oracle error raising for the SQL side of ociemu: the texts of the errors the
// dialect produces stand here once, so translation, functions and tests agree.
//
// Thread-safe: yes.
#pragma once

#include <string>
#include <string_view>

#include "ociemu/sql/dialect.h"

namespace ociemu::sql {

[[noreturn]] void throw_oracle(int code, std::string message, int parse_offset = 0);

// Formats "ORA-nnnnn: text", the form SQLite function errors carry so that
// map_sqlite_error can recover the number.
std::string ora_text(int code, std::string_view message);

// Splits "ORA-nnnnn: text" back; false when the text has no such prefix.
bool parse_ora_text(std::string_view text, OracleError& error);

// Messages used from more than one place.
inline constexpr std::string_view kInvalidNumber = "invalid number";
inline constexpr std::string_view kTableDoesNotExist = "table or view does not exist";
inline constexpr std::string_view kInvalidSqlStatement = "invalid SQL statement";
inline constexpr std::string_view kNotProperlyEnded = "SQL command not properly ended";
inline constexpr std::string_view kMissingExpression = "missing expression";
inline constexpr std::string_view kInvalidRowid = "invalid ROWID";
inline constexpr std::string_view kNameAlreadyUsed = "name is already used by an existing object";
inline constexpr std::string_view kSequenceDoesNotExist = "sequence does not exist";
inline constexpr std::string_view kDivisorIsZero = "divisor is equal to zero";

std::string invalid_identifier(std::string_view name);  // "\"NAME\": invalid identifier" (ORA-00904)

}  // namespace ociemu::sql
