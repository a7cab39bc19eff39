// UTF-8 sequences, the host code page's encoding on Linux: decoding one
// sequence with validation and appending a code point. Thread-safe: yes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvell {

// Decodes the sequence at text[pos]; returns its length, or 0 when the bytes
// there are no valid, shortest-form sequence (code is then unspecified).
size_t DecodeUtf8(std::string_view text, size_t pos, char32_t& code);

// Appends code point `code` (at most U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace kvell
