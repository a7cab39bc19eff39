#include "runtime/debugger.h"

#include <fstream>
#include <iterator>
#include <string>

namespace kvell {

bool TracerPresentInStatus(std::string_view status_text) {
  constexpr std::string_view kField = "TracerPid:";
  size_t at = status_text.find(kField);
  if (at == std::string_view::npos || (at > 0 && status_text[at - 1] != '\n')) return false;
  size_t i = at + kField.size();
  while (i < status_text.size() && (status_text[i] == ' ' || status_text[i] == '\t')) ++i;
  bool any_digit = false, non_zero = false;
  for (; i < status_text.size() && status_text[i] >= '0' && status_text[i] <= '9'; ++i) {
    any_digit = true;
    non_zero = non_zero || status_text[i] != '0';
  }
  return any_digit && non_zero;
}

bool DebuggerPresent() {
  std::ifstream file("/proc/self/status");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return TracerPresentInStatus(text);
}

}  // namespace kvell
