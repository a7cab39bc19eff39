// Text-to-number conversion with the host runtime's rules: leading blanks,
// one sign, hexadecimal after "$", "x" or "0x", 32-bit signed range, nothing
// trailing. Failure is reported, never guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvell {

// The converted value, or nothing when the text is not a valid integer.
std::optional<int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; raises EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

int32_t StrToIntDef(std::string_view text, int32_t default_value);

std::string IntToStr(int64_t value);

}  // namespace kvell
