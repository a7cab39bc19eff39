// Reading SQL text on the client: finding :name bind references, removing
// comments, and the line-break rules for text crossing to and from the server.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvell {

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
