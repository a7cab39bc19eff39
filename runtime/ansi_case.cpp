#include "runtime/ansi_case.h"

#include <algorithm>
#include <cstdint>

#include "runtime/utf8.h"

namespace kvell {
namespace {

// In Latin Extended-A, case pairs are (even upper, odd lower) except in
// 0139-0148 and 0179-017E, where the upper letter has the odd code.
bool extended_a_odd_upper(char32_t c) { return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E); }
bool extended_a_paired(char32_t c) {
  return (c >= 0x100 && c <= 0x137) || (c >= 0x139 && c <= 0x148) || (c >= 0x14A && c <= 0x177) ||
         (c >= 0x179 && c <= 0x17E);
}

char32_t to_upper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c == 0xB5) return 0x39C;
  if (c == 0x131) return 'I';
  if (c == 0x17F) return 'S';
  if (extended_a_paired(c)) {
    bool is_lower = ((c & 1) == 1) != extended_a_odd_upper(c);
    return is_lower ? c - 1 : c;
  }
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

char32_t to_lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c == 0x130) return 'i';
  if (extended_a_paired(c)) {
    bool is_upper = ((c & 1) == 1) == extended_a_odd_upper(c);
    return is_upper ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool is_ascii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

unsigned char ascii_upper(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 32) : byte;
}

// Names and keywords are mostly ASCII: fold them without decoding or copying.
int compare_ascii(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = ascii_upper(a[i]), y = ascii_upper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

template <typename Map>
std::string map_case(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    char32_t code;
    size_t length = DecodeUtf8(text, pos, code);
    if (length == 0) {
      out += text[pos++];
      continue;
    }
    AppendUtf8(out, map(code));
    pos += length;
  }
  return out;
}

}  // namespace

std::string AnsiUpperCase(std::string_view text) { return map_case(text, to_upper); }
std::string AnsiLowerCase(std::string_view text) { return map_case(text, to_lower); }

int AnsiCompareText(std::string_view a, std::string_view b) {
  if (is_ascii(a) && is_ascii(b)) return compare_ascii(a, b);
  return AnsiUpperCase(a).compare(AnsiUpperCase(b));
}

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

}  // namespace kvell
