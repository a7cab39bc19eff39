#include "oracle/dataset/collection_insert.h"

#include <cctype>

#include "oracle/dataset/dml_statements.h"
#include "oracle/dataset/query_text_split.h"

namespace kvell {

namespace {

bool identifier_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return std::isalnum(byte) || c == '_' || c == '$' || c == '#' || c == '"' || byte >= 0x80;
}

bool word_at(std::string_view text, size_t at, std::string_view word) {
  if (at + word.size() > text.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  const bool starts = at == 0 || !identifier_char(text[at - 1]);
  const bool ends = at + word.size() == text.size() || !identifier_char(text[at + word.size()]);
  return starts && ends;
}

// Positions of `word` or of the separator ',' outside parentheses and literals.
template <class Found>
void scan_top_level(std::string_view text, Found found) {
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      const size_t close = text.find(c, i + 1);
      if (close == std::string_view::npos) return;
      i = close;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && !found(i)) {
      return;
    }
  }
}

std::string trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> select_list(std::string_view list) {
  std::vector<std::string> columns;
  size_t start = 0;
  scan_top_level(list, [&](size_t i) {
    if (list[i] == ',') {
      columns.push_back(trimmed(list.substr(start, i - start)));
      start = i + 1;
    }
    return true;
  });
  columns.push_back(trimmed(list.substr(start)));
  return columns;
}

}  // namespace

CollectionTarget SplitCollectionExpression(std::string_view expression) {
  CollectionTarget target;
  const std::string text = trimmed(expression);
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return target;
  const std::string word = trimmed(std::string_view(text).substr(0, open));
  if (!word_at(word, 0, "TABLE") && !word_at(word, 0, "THE")) return target;
  const QueryTextParts parts = SplitQueryText(std::string_view(text).substr(open + 1, close - open - 1));
  const std::string_view select = parts.Select;
  size_t list_start = std::string_view::npos, from = std::string_view::npos;
  scan_top_level(select, [&](size_t i) {
    if (list_start == std::string_view::npos && word_at(select, i, "SELECT")) list_start = i + 6;
    if (list_start != std::string_view::npos && word_at(select, i, "FROM")) {
      from = i;
      return false;
    }
    return true;
  });
  if (list_start == std::string_view::npos || from == std::string_view::npos) return target;
  target.Columns = select_list(select.substr(list_start, from - list_start));
  target.Table = trimmed(select.substr(from + 4));
  target.Condition = parts.Condition;
  return target;
}

std::string CollectionInsertBlock(const CollectionTarget& target, const std::vector<std::string>& values) {
  const std::string line_break = dml_text::LineBreak;
  std::string block = "begin" + line_break;
  for (size_t i = 0; i < target.Columns.size() && i < values.size(); ++i) {
    const std::string& column = target.Columns[i];
    block += "  update " + target.Table + line_break;
    block += "  set " + column + " = " + values[i] + line_break;
    block += "  where " + column + " is null";
    block += target.Condition.empty() ? ";" + line_break : line_break + "  and (" + target.Condition + ");" + line_break;
  }
  return block + "end;";
}

}  // namespace kvell
