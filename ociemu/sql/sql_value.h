// Oracle's implicit conversions over SQLite values, shared by the Oracle
// functions: numbers from text (ORA-01722), text from numbers and dates from
// their storage text.
//
// Thread-safe: yes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ociemu/sql/datetime_value.h"

namespace ociemu::sql {

// A NUMBER: integral values stay exact in int64.
struct Number {
  bool is_integer = true;
  int64_t integer = 0;
  double real = 0;

  double as_double() const { return is_integer ? static_cast<double>(integer) : real; }
  static Number of(double value);  // integral and in range -> integer
};

// Parses Oracle's number text (" 12 ", "1e3", "-.5"); nullopt when it is not one.
std::optional<Number> parse_number(std::string_view text);
// A value as a number; NULL gives nullopt; text that is not a number raises ORA-01722.
std::optional<Number> number_argument(sqlite3_value* value);
// A value as text the way Oracle converts it ("" for NULL).
std::string text_argument(sqlite3_value* value);
bool is_null(sqlite3_value* value);
// A value holding DATE/TIMESTAMP storage text, else nullopt.
std::optional<DateTimeValue> date_argument(sqlite3_value* value);

void set_result(sqlite3_context* context, const Number& number);
// Sets text, or NULL for the empty string.
void set_result(sqlite3_context* context, std::string_view text);

// Rounds or truncates in decimal, as NUMBER would (2.675 rounds to 2.68).
double round_decimal(double value, int places, bool truncate);

// A restricted rowid text (block.row.file in hex, later parts optional) in its full 8.4.4 form; nullopt for other text.
std::optional<std::string> restricted_rowid(std::string_view text);

}  // namespace ociemu::sql
