#include "oracle/session/sql_scan.h"

#include <algorithm>

#include "runtime/ansi_case.h"

namespace kvell {

namespace {

enum class ScanState { Plain, Quote, Comment, Name };

bool is_name_character(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == '#' || c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z') || u > 127;
}

bool listed(const std::vector<ScannedVariable>& found, const std::string& name) {
  return std::any_of(found.begin(), found.end(),
                     [&](const ScannedVariable& v) { return v.Name == name; });
}

bool is_blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string trimmed(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && is_blank(text[first])) ++first;
  while (last > first && is_blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

std::vector<ScannedVariable> ScanVariables(std::string_view sql, bool allow_duplicates) {
  // The appended line break closes a trailing -- comment and a trailing name.
  std::string text(sql);
  text += "\r\n";
  std::vector<ScannedVariable> found;
  ScanState state = ScanState::Plain;
  std::string name;
  int name_position = 0;
  char end_first = 0, end_second = 0;  // terminator of the open comment
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (state) {
      case ScanState::Plain:
        if (c == ':') {
          state = ScanState::Name;
          name.clear();
          name_position = static_cast<int>(i) + 1;
        } else if (c == '\'') {
          state = ScanState::Quote;
        } else if ((c == '/' && next == '*') || (c == '-' && next == '-')) {
          state = ScanState::Comment;
          end_first = c == '/' ? '*' : '\r';
          end_second = c == '/' ? '/' : '\n';
          ++i;  // the opener's second character cannot close the comment
        }
        break;
      case ScanState::Quote:
        if (c == '\'') state = ScanState::Plain;
        break;
      case ScanState::Comment:
        if (c == end_first && next == end_second) state = ScanState::Plain;
        break;
      case ScanState::Name:
        if (is_name_character(c)) {
          name += c;
          break;
        }
        if (!name.empty()) {
          std::string upper = AnsiUpperCase(name);
          if (allow_duplicates || !listed(found, upper)) {
            found.push_back({std::move(upper), name_position, static_cast<int>(name.size())});
          }
        }
        state = ScanState::Plain;
        break;
    }
  }
  return found;
}

std::string StripComments(std::string_view sql, bool keep_hints) {
  enum class StripState { Normal, Quote, Block, Line };
  std::string result;
  result.reserve(sql.size());
  StripState state = StripState::Normal;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    switch (state) {
      case StripState::Normal:
        if ((c == '/' && next == '*') || (c == '-' && next == '-')) {
          const bool hint = keep_hints && i + 2 < sql.size() && sql[i + 2] == '+';
          if (!hint) {
            state = c == '/' ? StripState::Block : StripState::Line;
            ++i;
            break;
          }
        }
        if (c == '\'') state = StripState::Quote;
        result += c;
        break;
      case StripState::Quote:
        if (c == '\'') state = StripState::Normal;
        result += c;
        break;
      case StripState::Block:
        if (c == '*' && next == '/') {
          state = StripState::Normal;
          ++i;
        }
        break;
      case StripState::Line:
        if (c == '\r' && next == '\n') {
          state = StripState::Normal;
          ++i;
        }
        break;
    }
  }
  return trimmed(result);
}

std::string RemoveCarriageReturns(std::string_view text) {
  std::string result(text);
  result.erase(std::remove(result.begin(), result.end(), '\r'), result.end());
  return result;
}

std::string NormalizeLineBreaks(std::string_view text) {
  if (text.find_first_of("\r\n") == std::string_view::npos) return std::string(text);
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      result += "\r\n";
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace kvell
