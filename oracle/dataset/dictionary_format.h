// Numeric field settings from a column's precision and scale: the value
// range a NUMBER(p,s) can hold, and its display and edit formats
// (NUMBER(10,2) gives "##,###,##0.00" and "#######0.00").
// Thread-safe: yes (pure functions over one field).
#pragma once

#include <string>

namespace kvell {

class TField;

// For an integer or float field whose minimum and maximum are both 0.
void ApplyRange(TField& field, int precision, int scale);
// For a numeric field without display and edit format.
void ApplyDisplayFormat(TField& field, int precision, int scale);

// The display and edit formats of NUMBER(precision, scale), both positive.
std::string NumberDisplayFormat(int precision, int scale);
std::string NumberEditFormat(int precision, int scale);

}  // namespace kvell
