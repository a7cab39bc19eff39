#include "runtime/wildcard.h"

#include <cstddef>

namespace kvell {
namespace {

char upper_char(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_char(char left, char right, bool case_sensitive) {
  return case_sensitive ? left == right : upper_char(left) == upper_char(right);
}

}  // namespace

// Iterative with one backtrack point: linear in practice, no recursion depth.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool case_sensitive) {
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same_char(pattern[p], name[n], case_sensitive))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace kvell
