#include "oracle/dataset/sql_text_mask.h"

namespace kvell {

namespace {

char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Blanks text[from, to) except line breaks, which keep words apart.
void blank(std::string& text, size_t from, size_t to) {
  for (size_t i = from; i < to && i < text.size(); ++i)
    if (text[i] != '\n' && text[i] != '\r') text[i] = ' ';
}

size_t end_of(std::string_view text, size_t from, std::string_view terminator) {
  const size_t found = text.find(terminator, from);
  return found == std::string_view::npos ? text.size() : found + terminator.size();
}

}  // namespace

std::string MaskSqlText(std::string_view sql) {
  std::string masked(sql);
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    size_t end = i + 1;
    if (c == '/' && next == '*') {
      end = end_of(sql, i + 2, "*/");
      blank(masked, i, end);
    } else if (c == '-' && next == '-') {
      end = end_of(sql, i + 2, "\n");
      blank(masked, i, end);
    } else if (c == '\'') {
      // '' inside a literal is a quote character, which find() over the
      // remaining text handles by starting a new literal at once.
      end = end_of(sql, i + 1, "'");
      blank(masked, i, end);
    } else if (c == '"') {
      end = end_of(sql, i + 1, "\"");
      for (size_t j = i; j < end; ++j) masked[j] = upper_ascii(sql[j]);
    } else {
      masked[i] = upper_ascii(c);
    }
    i = end;
  }
  return masked;
}

bool IsSqlNameCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c == '#' || c == '.' || c == '"' || c == '@' || u >= 128;
}

size_t FindSqlWord(std::string_view masked, std::string_view word, size_t from, bool top_level_only) {
  int depth = 0;
  for (size_t i = 0; i < masked.size(); ++i) {
    const char c = masked[i];
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (i < from || (top_level_only && depth != 0)) continue;
    if (masked.compare(i, word.size(), word) != 0) continue;
    const bool starts = i == 0 || !IsSqlNameCharacter(masked[i - 1]);
    const size_t after = i + word.size();
    const bool ends = after >= masked.size() || !IsSqlNameCharacter(masked[after]);
    if (starts && ends) return i;
  }
  return std::string_view::npos;
}

size_t SkipParenthesis(std::string_view masked, size_t open) {
  int depth = 0;
  for (size_t i = open; i < masked.size(); ++i) {
    if (masked[i] == '(') ++depth;
    if (masked[i] == ')' && --depth == 0) return i + 1;
  }
  return masked.size();
}

}  // namespace kvell
