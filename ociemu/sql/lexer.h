// Splits Oracle SQL text into tokens with their character offsets, the first
// step of translation. Comments vanish; literals and quoted names keep their
// original spelling so the translator can copy them through unchanged.
//
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ociemu::sql {

enum class TokenKind {
  Word,            // unquoted identifier or keyword; text is upper-cased
  QuotedName,      // "Name": text without the quotes, case kept
  String,          // 'text' or q'[text]': text is the value, quotes undone
  NationalString,  // N'text'
  Number,          // 12, 1.5, .5, 1e10
  Placeholder,     // :name or :1; text is the upper-cased name without the colon
  Operator,        // + - * / || = <> != ^= < > <= >= ( ) , . ; and others
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  int offset = 0;  // character offset in the original statement
  int length = 0;  // characters the token spans in the original statement

  bool is_word(std::string_view word) const { return kind == TokenKind::Word && text == word; }
  bool is_op(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

// Tokenizes the whole text; the last token is always End. Raises
// OracleException for an unterminated literal (ORA-01756) or name (ORA-01740)
// and for characters Oracle rejects (ORA-00911).
std::vector<Token> tokenize(std::string_view sql);

// A bind variable's name as Oracle keys it: upper case, letters of Latin-1 included ("méil" is "MÉIL").
std::string upper_bind_name(std::string_view name);

// Whether a word is reserved in Oracle SQL (cannot be an alias or a plain name).
bool is_reserved_word(std::string_view upper_word);

// Whether an unquoted bind name is refused in SQL (ORA-01745): the reserved words and the
// pseudo-columns and other words Oracle reserves beyond them (ROWID, USER, SYSDATE...).
bool is_reserved_bind_name(std::string_view upper_name);

}  // namespace ociemu::sql
