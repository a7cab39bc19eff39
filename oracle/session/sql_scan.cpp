#include "oracle/session/sql_scan.h"

#include <algorithm>

#include "runtime/ansi_case.h"

namespace kvell {

namespace {

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

// Offset after the terminator that closes what opens at `at`; the opener's
// own characters never take part in closing it ("/*/" stays open).
size_t end_of_comment(std::string_view sql, size_t at) {
  const std::string_view terminator = sql[at] == '/' ? "*/" : "\r\n";
  const size_t found = sql.find(terminator, at + 2);
  return found == std::string_view::npos ? sql.size() : found + terminator.size();
}

size_t end_of_quote(std::string_view sql, size_t at) {
  const size_t found = sql.find('\'', at + 1);
  return found == std::string_view::npos ? sql.size() : found + 1;
}

bool opens_comment(std::string_view sql, size_t at) {
  return at + 1 < sql.size() && ((sql[at] == '/' && sql[at + 1] == '*') || (sql[at] == '-' && sql[at + 1] == '-'));
}

// Names in one stretch of code. A name ends at the first other character;
// a ':' there is passed over, so ":a:b" names only A.
void scan_code(std::string_view sql, size_t begin, size_t end, bool allow_duplicates,
               std::vector<ScannedVariable>& found) {
  for (size_t i = begin; i < end; ++i) {
    if (sql[i] != ':') continue;
    const size_t colon = i;
    size_t after = colon + 1;
    while (after < end && is_name_character(sql[after])) ++after;
    if (after > colon + 1) {
      std::string upper = AnsiUpperCase(std::string(sql.substr(colon + 1, after - colon - 1)));
      if (allow_duplicates || !listed(found, upper)) {
        found.push_back({std::move(upper), static_cast<int>(colon) + 1, static_cast<int>(after - colon - 1)});
      }
    }
    i = after < end && sql[after] == ':' ? after : after - 1;
  }
}

}  // namespace

std::vector<SqlSpan> SplitSql(std::string_view sql) {
  std::vector<SqlSpan> spans;
  size_t code_begin = 0;
  auto close_code = [&](size_t at) {
    if (at > code_begin) spans.push_back({SqlSpanKind::Code, code_begin, at});
  };
  for (size_t i = 0; i < sql.size();) {
    if (sql[i] == '\'') {
      close_code(i);
      const size_t end = end_of_quote(sql, i);
      spans.push_back({SqlSpanKind::Quoted, i, end});
      i = code_begin = end;
    } else if (opens_comment(sql, i)) {
      close_code(i);
      const size_t end = end_of_comment(sql, i);
      const bool hint = i + 2 < sql.size() && sql[i + 2] == '+';
      spans.push_back({SqlSpanKind::Comment, i, end, hint});
      i = code_begin = end;
    } else {
      ++i;
    }
  }
  close_code(sql.size());
  return spans;
}

std::vector<ScannedVariable> ScanVariables(std::string_view sql, bool allow_duplicates) {
  std::vector<ScannedVariable> found;
  for (const SqlSpan& span : SplitSql(sql)) {
    if (span.Kind == SqlSpanKind::Code) scan_code(sql, span.Begin, span.End, allow_duplicates, found);
  }
  return found;
}

std::string StripComments(std::string_view sql, bool keep_hints) {
  std::string result;
  result.reserve(sql.size());
  for (const SqlSpan& span : SplitSql(sql)) {
    if (span.Kind != SqlSpanKind::Comment || (keep_hints && span.Hint))
      result.append(sql.substr(span.Begin, span.End - span.Begin));
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
