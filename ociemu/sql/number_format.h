// Numeric format models of TO_CHAR and TO_NUMBER (9, 0, '.', D, ',', G, $, S,
// MI, FM, X).
//
// Thread-safe: yes.
#pragma once

#include <string>
#include <string_view>

#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {

// Raises ORA-01481 for a model it does not understand; a value too wide gives '#'s.
std::string format_number_model(const Number& number, std::string_view model);
// Reads text written in a model (separators and currency ignored); raises ORA-01722.
Number parse_number_model(std::string_view text, std::string_view model);

}  // namespace ociemu::sql
