#include "ociemu/sql/schema_text.h"

#include <sqlite3.h>

#include <cctype>
#include <vector>

namespace ociemu::sql {
namespace {

struct Span {
  size_t begin;  // offsets into the text, end exclusive
  size_t end;
};

bool opens_quote(char c) { return c == '\'' || c == '"' || c == '`' || c == '['; }

// One past the ')' closing the '(' at text[at].
size_t skip_parenthesized(std::string_view text, size_t at) {
  int depth = 0;
  for (size_t k = at; k < text.size();) {
    if (opens_quote(text[k])) {
      k = skip_quoted(text, k);
      continue;
    }
    if (text[k] == '(') ++depth;
    if (text[k] == ')' && --depth == 0) return k + 1;
    ++k;
  }
  return text.size();
}

// The column definitions and table constraints between the outer parentheses.
std::vector<Span> table_elements(std::string_view sql) {
  std::vector<Span> elements;
  int depth = 0;
  size_t start = 0;
  for (size_t k = 0; k < sql.size();) {
    const char c = sql[k];
    if (opens_quote(c)) {
      k = skip_quoted(sql, k);
      continue;
    }
    if (c == '(' && ++depth == 1) start = k + 1;
    if (c == ')' && depth-- == 1) {
      elements.push_back({start, k});
      break;
    }
    if (c == ',' && depth == 1) {
      elements.push_back({start, k});
      start = k + 1;
    }
    ++k;
  }
  return elements;
}

bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

size_t skip_spaces(std::string_view text, size_t at) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

// Whether an element defines the column: its first word, quoted or not, is the name.
bool defines_column(std::string_view element, std::string_view column) {
  size_t at = skip_spaces(element, 0);
  if (at < element.size() && element[at] == '"') {
    std::string name;
    size_t end = skip_quoted(element, at);
    for (size_t k = at + 1; k + 1 < end; ++k) {
      name += element[k];
      if (element[k] == '"') ++k;
    }
    return name == column;
  }
  size_t end = at;
  while (end < element.size() && is_name_char(element[end])) ++end;
  std::string_view word = element.substr(at, end - at);
  if (word.size() != column.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(word[k])) != std::toupper(static_cast<unsigned char>(column[k])))
      return false;
  }
  return true;
}

bool is_default_word(std::string_view text, size_t at) {
  static constexpr std::string_view kWord = "DEFAULT";
  if (at + kWord.size() > text.size() || (at > 0 && is_name_char(text[at - 1]))) return false;
  if (at + kWord.size() < text.size() && is_name_char(text[at + kWord.size()])) return false;
  for (size_t k = 0; k < kWord.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(text[at + k])) != kWord[k]) return false;
  }
  return true;
}

// The span of "DEFAULT value" in a column definition, if it has one.
std::optional<Span> default_clause(std::string_view element) {
  for (size_t k = 0; k < element.size();) {
    if (opens_quote(element[k])) {
      k = skip_quoted(element, k);
    } else if (element[k] == '(') {
      k = skip_parenthesized(element, k);
    } else if (is_default_word(element, k)) {
      size_t value = skip_spaces(element, k + 7);
      size_t end = value;
      if (value < element.size() && element[value] == '(') {
        end = skip_parenthesized(element, value);
      } else if (value < element.size() && opens_quote(element[value])) {
        end = skip_quoted(element, value);
      } else {
        if (end < element.size() && (element[end] == '-' || element[end] == '+')) ++end;
        while (end < element.size() && (is_name_char(element[end]) || element[end] == '.')) ++end;
      }
      return Span{k, end};
    } else {
      ++k;
    }
  }
  return std::nullopt;
}

}  // namespace

size_t skip_quoted(std::string_view text, size_t at) {
  const char close = text[at] == '[' ? ']' : text[at];
  for (size_t k = at + 1; k < text.size(); ++k) {
    if (text[k] != close) continue;
    if (close != ']' && k + 1 < text.size() && text[k + 1] == close) {
      ++k;
      continue;
    }
    return k + 1;
  }
  return text.size();
}

std::optional<std::string> with_column_default(std::string_view create_table_sql, std::string_view column,
                                               std::string_view default_sql) {
  for (const Span& span : table_elements(create_table_sql)) {
    std::string element(create_table_sql.substr(span.begin, span.end - span.begin));
    if (!defines_column(element, column)) continue;
    if (auto clause = default_clause(element)) element.erase(clause->begin, clause->end - clause->begin);
    while (!element.empty() && std::isspace(static_cast<unsigned char>(element.back()))) element.pop_back();
    element += " DEFAULT ";
    element += default_sql;
    return std::string(create_table_sql.substr(0, span.begin)) + element +
           std::string(create_table_sql.substr(span.end));
  }
  return std::nullopt;
}

namespace {

void with_column_default_function(sqlite3_context* context, int, sqlite3_value** args) {
  auto text = [&](int k) {
    const auto* value = reinterpret_cast<const char*>(sqlite3_value_text(args[k]));
    return std::string_view(value ? value : "", static_cast<size_t>(sqlite3_value_bytes(args[k])));
  };
  std::optional<std::string> edited = with_column_default(text(0), text(1), text(2));
  if (!edited) return sqlite3_result_value(context, args[0]);
  sqlite3_result_text(context, edited->c_str(), static_cast<int>(edited->size()), SQLITE_TRANSIENT);
}

}  // namespace

void register_schema_text_functions(sqlite3* db) {
  sqlite3_create_function_v2(db, kWithColumnDefaultFunction, 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             with_column_default_function, nullptr, nullptr, nullptr);
}

}  // namespace ociemu::sql
