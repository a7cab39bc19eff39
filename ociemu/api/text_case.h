// Upper-casing of names the way the client keys them: ASCII letters only, so that
// the bytes of UTF-8 text beyond ASCII pass unchanged.
//
// Thread-safe: yes (pure function).
#pragma once

#include <string>
#include <string_view>

namespace ociemu {

inline std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace ociemu
