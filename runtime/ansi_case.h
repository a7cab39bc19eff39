// Case folding of 8-bit strings holding UTF-8 text: ASCII plus the Latin,
// Greek and Cyrillic letters of the common European alphabets ("š" <-> "Š").
// Bytes that are not valid UTF-8 pass through unchanged. Thread-safe: yes.
#pragma once

#include <string>
#include <string_view>

namespace kvell {

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

// Compares the upper-cased texts byte by byte (unsigned); <0, 0 or >0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

}  // namespace kvell
