#include "oracle/dataset/message_translation.h"

namespace kvell {

std::string TrimmedErrorText(int code, const std::string& text) {
  if (code < 20000 || code > 20999) return text;
  const size_t trace = text.find("ORA-06512");
  if (trace == std::string::npos) return text;
  size_t line_start = text.rfind('\n', trace);
  line_start = line_start == std::string::npos ? 0 : line_start + 1;
  size_t end = line_start;
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  return text.substr(0, end);
}

std::string ConstraintNameOf(int code, const std::string& text) {
  if (code != 1 && code != 2290 && code != 2291 && code != 2292) return "";
  size_t open = text.find('(');
  while (open != std::string::npos) {
    const size_t close = text.find(')', open);
    if (close == std::string::npos) return "";
    const std::string inside = text.substr(open + 1, close - open - 1);
    const size_t dot = inside.find('.');
    if (dot != std::string::npos) return inside.substr(dot + 1);
    open = text.find('(', close);
  }
  return "";
}

}  // namespace kvell
