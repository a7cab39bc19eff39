// Case folding for names that the host compares without regard to case
// (registry keys, Windows-style environment names and paths). ASCII only:
// these names never carry other letters.
#pragma once

#include <string>
#include <string_view>

namespace kvell {

std::string AsciiUpper(std::string_view text);

bool SameTextAscii(std::string_view left, std::string_view right);

// Whether `name` matches `pattern`, where "*" stands for any run of
// characters and "?" for exactly one.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool case_sensitive);

}  // namespace kvell
