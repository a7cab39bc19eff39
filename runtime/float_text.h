// Floating-point numbers as text in the process locale (FormatSettings):
// the general format with up to 15 significant digits, and the reverse.
// Thread-safe: as FormatSettings (read only here).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kvell {

// Shortest general text of value at 15 significant digits: fixed notation for
// decimal exponents -5 < e < 15 ("0.0001", "123.5"), else "1.5E20", "1E-5";
// no trailing zeros; "NAN", "INF", "-INF" for the non-finite values.
std::string FloatToStr(double value);
// Room for any text FloatToStr gives.
inline constexpr size_t kFloatTextSize = 32;
// FloatToStr's text written to out (kFloatTextSize characters); its length.
size_t FloatToChars(double value, char* out);

// Blanks around, one sign, digits with at most one locale decimal separator
// and an optional exponent ("E", optional sign, digits). Nothing on failure or
// overflow; an underflow reads as zero.
std::optional<double> TryStrToFloat(std::string_view text);

// As TryStrToFloat; raises EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);

}  // namespace kvell
