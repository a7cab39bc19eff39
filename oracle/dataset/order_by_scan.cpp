#include "oracle/dataset/order_by_scan.h"

#include <optional>

#include "oracle/dataset/sql_text_mask.h"
#include "runtime/ansi_case.h"

namespace kvell {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads the ORDER BY list from a masked text, with the text as written for
// the names' case.
class OrderByReader {
 public:
  OrderByReader(std::string_view sql, std::string_view masked) : sql_(sql), masked_(masked) {}

  std::vector<OrderByItem> Read(size_t start) {
    std::vector<OrderByItem> items;
    pos_ = start;
    for (;;) {
      std::optional<OrderByItem> item = read_item();
      if (!item) break;
      items.push_back(*item);
      skip_blanks();
      if (pos_ >= masked_.size() || masked_[pos_] != ',') break;
      ++pos_;
    }
    return items;
  }

 private:
  std::optional<OrderByItem> read_item() {
    OrderByItem item;
    skip_blanks();
    const size_t start = pos_;
    if (read_word() == "UPPER") {
      skip_blanks();
      if (pos_ >= masked_.size() || masked_[pos_] != '(') return std::nullopt;
      ++pos_;
      item.CaseInsensitive = true;
    } else {
      pos_ = start;
    }
    skip_blanks();
    const size_t name_start = pos_;
    read_word();
    if (pos_ == name_start) return std::nullopt;
    item.Column = column_name(sql_.substr(name_start, pos_ - name_start));
    if (item.Column.empty()) return std::nullopt;
    skip_blanks();
    if (item.CaseInsensitive) {
      if (pos_ >= masked_.size() || masked_[pos_] != ')') return std::nullopt;
      ++pos_;
    }
    if (!read_modifiers(item)) return std::nullopt;
    return item;
  }

  // ASC or DESC, then NULLS FIRST or NULLS LAST; false when something else follows.
  bool read_modifiers(OrderByItem& item) {
    skip_blanks();
    size_t mark = pos_;
    const std::string word = read_word();
    if (word == "DESC" || word == "ASC") {
      item.Descending = word == "DESC";
      skip_blanks();
      mark = pos_;
    } else {
      pos_ = mark;
    }
    if (read_word() == "NULLS") {
      skip_blanks();
      const std::string which = read_word();
      if (which != "FIRST" && which != "LAST") return false;
      skip_blanks();
    } else {
      pos_ = mark;
    }
    return pos_ >= masked_.size() || masked_[pos_] == ',' || masked_[pos_] == ')' || next_word_is("FOR");
  }

  bool next_word_is(std::string_view word) const {
    return masked_.substr(pos_, word.size()) == word &&
           (pos_ + word.size() >= masked_.size() || !IsSqlNameCharacter(masked_[pos_ + word.size()]));
  }

  std::string read_word() {
    const size_t start = pos_;
    while (pos_ < masked_.size() && IsSqlNameCharacter(masked_[pos_])) ++pos_;
    return std::string(masked_.substr(start, pos_ - start));
  }

  void skip_blanks() {
    while (pos_ < masked_.size() && is_blank(masked_[pos_])) ++pos_;
  }

  // The last part of a dotted name: as quoted, or upper-cased.
  static std::string column_name(std::string_view written) {
    const size_t dot = written.rfind('.');
    if (dot != std::string_view::npos) written = written.substr(dot + 1);
    if (written.size() >= 2 && written.front() == '"' && written.back() == '"')
      return std::string(written.substr(1, written.size() - 2));
    if (written.find('"') != std::string_view::npos) return "";
    return AnsiUpperCase(std::string(written));
  }

  std::string_view sql_;
  std::string_view masked_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<OrderByItem> ScanOrderBy(std::string_view sql) {
  const std::string masked = MaskSqlText(sql);
  size_t found = std::string::npos;
  for (size_t at = FindSqlWord(masked, "ORDER", 0, true); at != std::string::npos;
       at = FindSqlWord(masked, "ORDER", at + 5, true))
    found = at;
  if (found == std::string::npos) return {};
  size_t pos = found + 5;
  while (pos < masked.size() && is_blank(masked[pos])) ++pos;
  if (masked.compare(pos, 2, "BY") != 0 || (pos + 2 < masked.size() && IsSqlNameCharacter(masked[pos + 2])))
    return {};
  return OrderByReader(sql, masked).Read(pos + 2);
}

}  // namespace kvell
