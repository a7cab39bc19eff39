// Searching SQL text the way the generated statements need it: a copy of the
// text of the same length with comments and quoted literals blanked and ASCII
// letters upper-cased, so that a position found in the copy is the same
// position in the text as written, plus whole-word searches over such a copy.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>

namespace kvell {

// Comments (/* */ and --) and '...' literals become blanks; quoted names
// ("...") are kept; ASCII letters are upper-cased. Same length as `sql`.
std::string MaskSqlText(std::string_view sql);

// Characters that may make up an Oracle name as the scanners read it.
bool IsSqlNameCharacter(char c);

// Position of the first whole-word occurrence of `word` (upper case) in a
// masked text at or after `from`, or npos. With `top_level_only` the word must
// stand outside every parenthesis.
size_t FindSqlWord(std::string_view masked, std::string_view word, size_t from, bool top_level_only);

// Position just after the parenthesis that closes the one at `open`, or the
// text's size when it is never closed.
size_t SkipParenthesis(std::string_view masked, size_t open);

}  // namespace kvell
