#include "oracle/dataset/table_name_scan.h"

#include <array>
#include <cctype>

#include "oracle/dataset/sql_text_mask.h"
#include "runtime/ansi_case.h"

namespace kvell {

namespace {

constexpr size_t npos = std::string_view::npos;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

size_t skip_spaces(std::string_view text, size_t i) {
  while (i < text.size() && is_space(text[i])) ++i;
  return i;
}

// The updating scan reads names without '@' (a database link stays behind).
bool is_table_character(char c) { return c != '@' && IsSqlNameCharacter(c); }

size_t name_end(std::string_view text, size_t i, bool (*accepts)(char)) {
  while (i < text.size() && accepts(text[i])) ++i;
  return i;
}

bool is_collection_word(std::string_view word) { return word == "TABLE" || word == "THE"; }

// Position of the '(' that opens a TABLE/THE expression starting at `i`, or npos.
size_t collection_parenthesis(std::string_view masked, size_t i) {
  const size_t end = name_end(masked, i, is_table_character);
  if (!is_collection_word(masked.substr(i, end - i))) return npos;
  const size_t open = skip_spaces(masked, end);
  return open < masked.size() && masked[open] == '(' ? open : npos;
}

std::string without_quotes(std::string_view text) {
  std::string result;
  for (char c : text)
    if (c != '"') result += c;
  return result;
}

bool ends_alias_search(const std::string& word) {
  static constexpr std::array<const char*, 15> kClauseWords = {
      "WHERE", "ORDER", "GROUP", "FOR", "START", "CONNECT", "HAVING", "UNION",
      "MINUS", "INTERSECT", "JOIN", "INNER", "LEFT", "RIGHT", "CROSS"};
  for (const char* clause : kClauseWords)
    if (word == clause) return true;
  return false;
}

// Where the from-clause entry of the updating table ends, or npos.
size_t end_of_table_entry(std::string_view masked, size_t from_at,
                          const std::string& updating_table) {
  const size_t i = skip_spaces(masked, from_at + 4);
  if (i < masked.size() && masked[i] == '(') return SkipParenthesis(masked, i);
  const size_t collection = collection_parenthesis(masked, i);
  if (collection != npos) return SkipParenthesis(masked, collection);
  const std::string wanted = AnsiUpperCase(updating_table);
  size_t found = FindSqlWord(masked, wanted, i, false);
  if (found == npos) found = masked.find(wanted);
  return found == npos ? npos : found + wanted.size();
}

}  // namespace

std::string ScanUpdatingTableName(std::string_view sql) {
  std::string masked = MaskSqlText(sql);
  for (char& c : masked)
    if (!is_table_character(c) && c != '(' && c != ')') c = ' ';
  size_t from = 0;
  for (;;) {
    const size_t at = FindSqlWord(masked, "FROM", from, false);
    if (at == npos) return "";
    const size_t i = skip_spaces(masked, at + 4);
    if (i < masked.size() && masked[i] == '(') {
      from = i + 1;  // an inline view: its own from-clause decides
      continue;
    }
    const size_t end = name_end(masked, i, is_table_character);
    const std::string word = masked.substr(i, end - i);
    const size_t open = collection_parenthesis(masked, i);
    if (open != npos) return word + std::string(sql.substr(open, SkipParenthesis(masked, open) - open));
    return AnsiUpperCase(without_quotes(sql.substr(i, end - i)));
  }
}

std::string ScanSelectTableName(std::string_view sql, const std::string& updating_table) {
  const std::string masked = MaskSqlText(sql);
  const size_t from_at = FindSqlWord(masked, "FROM", 0, false);
  if (from_at == npos || updating_table.empty()) return updating_table;
  size_t i = end_of_table_entry(masked, from_at, updating_table);
  if (i == npos) return updating_table;
  while (i < masked.size() && !is_space(masked[i]) && masked[i] != ',') ++i;
  i = skip_spaces(masked, i);
  const size_t end = name_end(masked, i, IsSqlNameCharacter);
  if (end == i || ends_alias_search(masked.substr(i, end - i))) return updating_table;
  return std::string(sql.substr(i, end - i));
}

std::string NormalizeTableName(std::string_view name) { return AnsiUpperCase(without_quotes(name)); }

}  // namespace kvell
