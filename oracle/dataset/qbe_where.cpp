#include "oracle/dataset/qbe_where.h"

#include "oracle/dataset/query_text_split.h"
#include "runtime/text_trim.h"

namespace kvell {

std::string AddQBEConditions(const std::string& sql, const std::vector<std::string>& conditions) {
  if (conditions.empty()) return sql;
  std::string joined;
  for (const std::string& condition : conditions) joined += (joined.empty() ? "" : "\r\nand ") + condition;
  const QueryTextParts parts = SplitQueryText(sql);
  std::string text = parts.Select + "\r\n";
  if (!parts.Condition.empty())
    text += parts.Keyword + " (" + parts.Condition + ")\r\nand\r\n(" + joined + ")\r\n";
  else
    text += parts.Keyword + " " + joined + "\r\n";
  if (!IsBlank(parts.Tail)) text += std::string(TrimRight(parts.Tail)) + "\r\n";
  return text + kQBEMarkerLine;
}

bool IsModifiedForQBE(const std::string& sql) {
  const std::string_view text = TrimRight(sql);
  const size_t line_start = text.find_last_of("\r\n");
  const std::string_view last = line_start == std::string_view::npos ? text : text.substr(line_start + 1);
  return last == kQBEMarkerLine;
}

}  // namespace kvell
