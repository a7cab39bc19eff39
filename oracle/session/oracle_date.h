// Oracle's 7-byte DATE layout (century + 100, year of century + 100, month,
// day, hour + 1, minute + 1, second + 1) to and from the date-time scale.
// Thread-safe: yes.
#pragma once

#include <cstdint>

#include "runtime/datetime.h"

namespace kvell {

// Writes value into seven bytes; the milliseconds are dropped. A value
// outside the years 1..9999 raises EVariantError.
void DateTimeToOracleDate(TDateTime value, uint8_t* date7);

// Reads seven bytes. A year of 0 or less or an invalid day gives the date
// part of 1 January of year 1; an invalid time of day gives midnight.
TDateTime OracleDateToDateTime(const uint8_t* date7);
// The same date as whole days and milliseconds, without floating point.
TDayAndTime OracleDateToDayAndTime(const uint8_t* date7);

}  // namespace kvell
