// Reading SQL text on the client: cutting it into code, quoted literals and
// comments, finding :name bind references in the code, removing comments, and
// the line-break rules for text crossing to and from the server.
// Thread-safe: yes (pure functions).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kvell {

enum class SqlSpanKind { Code, Quoted, Comment };

// One stretch of SQL text. A '...' literal includes its quotes; a comment its
// opener and terminator ("*/", or CR LF for "--"). One left open runs to the end.
struct SqlSpan {
  SqlSpanKind Kind;
  size_t Begin;       // offset of the first byte
  size_t End;         // offset after the last byte
  bool Hint = false;  // a comment opened by "/*+" or "--+"
};

// The whole text as consecutive spans, in order. Double quotes mean nothing.
std::vector<SqlSpan> SplitSql(std::string_view sql);

struct ScannedVariable {
  std::string Name;  // upper-cased, without the ':'
  int Position;      // 1-based position of the ':' in the text
  int Length;        // bytes of the name as written in the text
};

// Every :name outside quotes and comments, in order of appearance. Without
// allow_duplicates a name is listed only at its first reference.
std::vector<ScannedVariable> ScanVariables(std::string_view sql, bool allow_duplicates);

// The text without /* */ and -- comments (quoted text kept), trimmed; with
// keep_hints a comment opened by "/*+" or "--+" stays.
std::string StripComments(std::string_view sql, bool keep_hints);

// Text going to the server: every carriage return removed.
std::string RemoveCarriageReturns(std::string_view text);
// Text coming from the server: every line break (LF, CR or CR LF) becomes CR LF.
std::string NormalizeLineBreaks(std::string_view text);

}  // namespace kvell
