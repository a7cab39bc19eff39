#include "ociemu/sql/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "ociemu/sql/errors.h"

namespace ociemu::sql {
namespace {

bool is_name_start(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool is_name_char(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80; }

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

class Lexer {
 public:
  explicit Lexer(std::string_view sql) : sql_(sql) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    while (true) {
      skip_blanks_and_comments();
      if (pos_ >= sql_.size()) break;
      tokens.push_back(next());
    }
    tokens.push_back(Token{TokenKind::End, "", static_cast<int>(sql_.size()), 0});
    return tokens;
  }

 private:
  char peek(size_t ahead = 0) const { return pos_ + ahead < sql_.size() ? sql_[pos_ + ahead] : '\0'; }

  void skip_blanks_and_comments() {
    while (pos_ < sql_.size()) {
      if (std::isspace(static_cast<unsigned char>(sql_[pos_]))) {
        ++pos_;
      } else if (peek() == '-' && peek(1) == '-') {
        while (pos_ < sql_.size() && sql_[pos_] != '\n') ++pos_;
      } else if (peek() == '/' && peek(1) == '*') {
        size_t end = sql_.find("*/", pos_ + 2);
        pos_ = end == std::string_view::npos ? sql_.size() : end + 2;
      } else {
        return;
      }
    }
  }

  Token make(TokenKind kind, std::string text, size_t start) const {
    return Token{kind, std::move(text), static_cast<int>(start), static_cast<int>(pos_ - start)};
  }

  Token next() {
    const size_t start = pos_;
    const unsigned char c = static_cast<unsigned char>(peek());
    if ((c == 'q' || c == 'Q') && peek(1) == '\'') return alternative_quote(start, 1, TokenKind::String);
    if ((c == 'n' || c == 'N') && (peek(1) == 'q' || peek(1) == 'Q') && peek(2) == '\'')
      return alternative_quote(start, 2, TokenKind::NationalString);
    if ((c == 'n' || c == 'N') && peek(1) == '\'') {
      ++pos_;
      return quoted_string(start, TokenKind::NationalString);
    }
    if (is_name_start(c)) return word(start);
    if (std::isdigit(c) || (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1))))) return number(start);
    if (c == '\'') return quoted_string(start, TokenKind::String);
    if (c == '"') return quoted_name(start);
    if (c == ':') return placeholder(start);
    return op(start);
  }

  Token word(size_t start) {
    while (pos_ < sql_.size() && is_name_char(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
    return make(TokenKind::Word, upper(sql_.substr(start, pos_ - start)), start);
  }

  Token number(size_t start) {
    auto digits = [&] { while (std::isdigit(static_cast<unsigned char>(peek()))) ++pos_; };
    digits();
    // "1..2" is not a number followed by ".2"; only one fraction point.
    if (peek() == '.' && peek(1) != '.') {
      ++pos_;
      digits();
    }
    if ((peek() == 'e' || peek() == 'E') &&
        (std::isdigit(static_cast<unsigned char>(peek(1))) ||
         ((peek(1) == '+' || peek(1) == '-') && std::isdigit(static_cast<unsigned char>(peek(2)))))) {
      pos_ += 2;
      digits();
    }
    // Oracle's binary literal suffixes 1.5f / 2d.
    if ((peek() == 'f' || peek() == 'F' || peek() == 'd' || peek() == 'D') &&
        !is_name_char(static_cast<unsigned char>(peek(1)))) {
      std::string text(sql_.substr(start, pos_ - start));
      ++pos_;
      return make(TokenKind::Number, std::move(text), start);
    }
    return make(TokenKind::Number, std::string(sql_.substr(start, pos_ - start)), start);
  }

  Token quoted_string(size_t start, TokenKind kind) {
    ++pos_;  // opening quote
    std::string value;
    while (true) {
      if (pos_ >= sql_.size()) throw_oracle(1756, {}, static_cast<int>(start));
      char ch = sql_[pos_++];
      if (ch == '\'') {
        if (peek() != '\'') break;
        ++pos_;
      }
      value.push_back(ch);
    }
    return make(kind, std::move(value), start);
  }

  // q'[...]', q'{...}', q'<...>', q'(...)' or q'X...X' for any other X.
  Token alternative_quote(size_t start, size_t prefix, TokenKind kind) {
    pos_ += prefix + 1;
    if (pos_ >= sql_.size()) throw_oracle(1756, {}, static_cast<int>(start));
    char open = sql_[pos_++];
    char close = open == '[' ? ']' : open == '{' ? '}' : open == '<' ? '>' : open == '(' ? ')' : open;
    for (size_t end = pos_; end + 1 < sql_.size(); ++end) {
      if (sql_[end] == close && sql_[end + 1] == '\'') {
        std::string value(sql_.substr(pos_, end - pos_));
        pos_ = end + 2;
        return make(kind, std::move(value), start);
      }
    }
    throw_oracle(1756, {}, static_cast<int>(start));
  }

  Token quoted_name(size_t start) {
    size_t end = sql_.find('"', pos_ + 1);
    if (end == std::string_view::npos) throw_oracle(1740, {}, static_cast<int>(start));
    if (end == pos_ + 1) throw_oracle(1741, {}, static_cast<int>(start));
    std::string name(sql_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    return make(TokenKind::QuotedName, std::move(name), start);
  }

  Token placeholder(size_t start) {
    ++pos_;
    if (peek() == '=') {  // PL/SQL assignment
      ++pos_;
      return make(TokenKind::Operator, ":=", start);
    }
    size_t name_start = pos_;
    if (peek() == '"') {
      Token quoted = quoted_name(pos_);
      return make(TokenKind::Placeholder, quoted.text, start);
    }
    while (pos_ < sql_.size() && is_name_char(static_cast<unsigned char>(sql_[pos_]))) ++pos_;
    if (pos_ == name_start) return make(TokenKind::Operator, ":", start);
    return make(TokenKind::Placeholder, upper_bind_name(sql_.substr(name_start, pos_ - name_start)), start);
  }

  Token op(size_t start) {
    static constexpr std::array<std::string_view, 10> two_char = {"||", "<>", "!=", "^=", "<=", ">=", "=>", "..", "**", "~="};
    std::string_view rest = sql_.substr(pos_);
    for (std::string_view candidate : two_char) {
      if (rest.substr(0, 2) == candidate) {
        pos_ += 2;
        return make(TokenKind::Operator, std::string(candidate), start);
      }
    }
    static constexpr std::string_view single = "+-*/=<>(),.;@%";
    char ch = sql_[pos_];
    if (single.find(ch) == std::string_view::npos) throw_oracle(911, {}, static_cast<int>(start));
    ++pos_;
    return make(TokenKind::Operator, std::string(1, ch), start);
  }

  std::string_view sql_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view sql) { return Lexer(sql).run(); }

std::string upper_bind_name(std::string_view name) {
  std::string result = upper(name);
  // UTF-8 of U+00E0..U+00FE (but U+00F7, the division sign) is C3 A0..C3 BE; upper case is 0x20 lower.
  for (size_t i = 0; i + 1 < result.size(); ++i) {
    auto lead = static_cast<unsigned char>(result[i]), next = static_cast<unsigned char>(result[i + 1]);
    if (lead == 0xC3 && next >= 0xA0 && next <= 0xBE && next != 0xB7) result[i + 1] = static_cast<char>(next - 0x20);
    if (lead >= 0x80) ++i;
  }
  return result;
}

bool is_reserved_word(std::string_view word) {
  // Sorted: binary search keeps this cheap on every identifier.
  static constexpr std::string_view reserved[] = {
      "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "BETWEEN", "BY", "CHAR",
      "CHECK", "CLUSTER", "COLUMN", "COMMENT", "COMPRESS", "CONNECT", "CREATE", "CURRENT", "DATE",
      "DECIMAL", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "EXCLUSIVE", "EXISTS",
      "FILE", "FLOAT", "FOR", "FROM", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IMMEDIATE", "IN",
      "INCREMENT", "INDEX", "INITIAL", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS", "LEVEL",
      "LIKE", "LOCK", "LONG", "MINUS", "MODE", "NOT", "NOWAIT", "NULL", "NUMBER", "OF", "ON",
      "OPTION", "OR", "ORDER", "PRIOR", "PUBLIC", "RAW", "RENAME", "RESOURCE", "REVOKE", "ROW",
      "ROWS", "SELECT", "SET", "SHARE", "SIZE", "START", "TABLE", "THEN", "TO", "UNION", "UNIQUE",
      "UPDATE", "VALUES", "WHERE"};
  static_assert(std::is_sorted(std::begin(reserved), std::end(reserved)));
  return std::binary_search(std::begin(reserved), std::end(reserved), word);
}

bool is_reserved_bind_name(std::string_view name) {
  // Reserved too, though the translator lets them stand as names (pseudo-columns, functions).
  static constexpr std::string_view also_reserved[] = {
      "MAXEXTENTS", "MLSLABEL", "MODIFY",     "NOAUDIT",  "NOCOMPRESS", "OFFLINE",  "ONLINE",  "PCTFREE",
      "PRIVILEGES", "ROWID",    "ROWNUM",     "SESSION",  "SMALLINT",   "SUCCESSFUL", "SYNONYM", "SYSDATE",
      "TRIGGER",    "UID",      "USER",       "VALIDATE", "VARCHAR",    "VARCHAR2", "VIEW",    "WHENEVER", "WITH"};
  static_assert(std::is_sorted(std::begin(also_reserved), std::end(also_reserved)));
  return is_reserved_word(name) || std::binary_search(std::begin(also_reserved), std::end(also_reserved), name);
}

}  // namespace ociemu::sql
