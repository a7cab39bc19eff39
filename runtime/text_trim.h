// Blank trimming as the host runtime does it: every byte up to and including
// the space counts as blank.
// Thread-safe: yes (pure functions).
#pragma once

#include <string_view>

namespace kvell {

inline bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

// Empty, or blanks only.
inline bool IsBlank(std::string_view text) { return TrimRight(text).empty(); }

}  // namespace kvell
