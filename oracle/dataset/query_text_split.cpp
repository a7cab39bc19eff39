#include "oracle/dataset/query_text_split.h"

#include "oracle/dataset/sql_text_mask.h"

namespace kvell {

namespace {

constexpr size_t npos = std::string_view::npos;

bool is_blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string right_trimmed(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && is_blank(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string trimmed(std::string_view text) {
  size_t first = 0;
  while (first < text.size() && is_blank(text[first])) ++first;
  return right_trimmed(text.substr(first));
}

}  // namespace

QueryTextParts SplitQueryText(std::string_view sql) {
  const std::string masked = MaskSqlText(sql);
  QueryTextParts parts;
  const bool grouped = FindSqlWord(masked, "GROUP", 0, true) != npos;
  parts.Keyword = grouped ? "having" : "where";
  size_t tail = FindSqlWord(masked, "ORDER", 0, true);
  if (tail == npos) tail = FindSqlWord(masked, "FOR", 0, true);
  if (tail == npos) tail = sql.size();
  size_t keyword = FindSqlWord(masked, grouped ? "HAVING" : "WHERE", 0, true);
  if (keyword > tail) keyword = npos;
  const size_t select_end = keyword == npos ? tail : keyword;
  parts.Select = right_trimmed(sql.substr(0, select_end));
  if (keyword != npos) {
    const size_t condition = keyword + parts.Keyword.size();
    parts.Condition = trimmed(sql.substr(condition, tail - condition));
  }
  parts.Tail = trimmed(sql.substr(tail));
  return parts;
}

std::string CutAtEndRefresh(std::string_view sql) {
  static constexpr std::string_view kMarker = "/* END_REFRESH */";
  for (size_t i = 0; i + kMarker.size() <= sql.size(); ++i) {
    bool same = true;
    for (size_t j = 0; j < kMarker.size() && same; ++j) {
      const char c = sql[i + j];
      const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      same = upper == kMarker[j];
    }
    if (same) return right_trimmed(sql.substr(0, i));
  }
  return std::string(sql);
}

}  // namespace kvell
