// Scans arbitrary text for bind references and strips its comments. Every
// reference must point at a ':' followed by its name, the stripped text must
// not grow, and the spans must cover the text without gaps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oracle/session/sql_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvell;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (bool duplicates : {false, true}) {
    for (const ScannedVariable& v : ScanVariables(text, duplicates)) {
      const size_t at = static_cast<size_t>(v.Position - 1);
      if (v.Position < 1 || at + static_cast<size_t>(v.Length) >= text.size() + 1 || text[at] != ':' ||
          v.Name.empty()) {
        std::abort();
      }
    }
  }
  for (bool hints : {false, true}) {
    if (StripComments(text, hints).size() > text.size()) std::abort();
  }
  size_t next = 0;
  for (const SqlSpan& span : SplitSql(text)) {
    if (span.Begin != next || span.End <= span.Begin) std::abort();
    next = span.End;
  }
  if (next != text.size()) std::abort();
  NormalizeLineBreaks(text);
  return 0;
}
