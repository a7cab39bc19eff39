#include "ociemu/sql/lob_content.h"

#include <algorithm>

namespace ociemu::sql {
namespace {

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

size_t utf8_length(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !continuation(c); }));
}

size_t whole_characters(std::string_view text, size_t count, size_t& units) {
  size_t end = 0;
  units = 0;
  while (end < text.size() && units < count) {
    size_t next = end + 1;
    while (next < text.size() && continuation(text[next])) ++next;
    // A character cut off by the end of text is not whole.
    if (next == text.size()) {
      auto lead = static_cast<unsigned char>(text[end]);
      size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (next - end < needed) break;
    }
    end = next;
    ++units;
  }
  return end;
}

size_t LobContent::length() const { return character ? utf8_length(bytes) : bytes.size(); }

size_t LobContent::byte_offset(size_t position) {
  if (!character) return std::min(position, bytes.size());
  size_t chars = 0, at = 0;
  if (position >= hint_char && hint_byte <= bytes.size()) {
    chars = hint_char;
    at = hint_byte;
  }
  while (at < bytes.size() && chars < position) {
    ++at;
    while (at < bytes.size() && continuation(bytes[at])) ++at;
    ++chars;
  }
  hint_char = chars;
  hint_byte = at;
  return at;
}

std::string_view LobContent::slice(size_t position, size_t count, size_t max_bytes, size_t& units) {
  size_t begin = byte_offset(position);
  size_t limit = std::min(bytes.size(), begin + std::min(max_bytes, bytes.size() - begin));
  if (!character) {
    size_t end = std::min(limit, begin + std::min(count, bytes.size() - begin));
    units = end - begin;
    return std::string_view(bytes).substr(begin, units);
  }
  // Whole characters only, as many as both the amount and the buffer allow.
  size_t end = begin + whole_characters(std::string_view(bytes).substr(begin, limit - begin), count, units);
  hint_char = position + units;
  hint_byte = end;
  return std::string_view(bytes).substr(begin, end - begin);
}

void LobContent::write(size_t position, std::string_view data) {
  // Appending pieces: the hint already sits at the end, so no rescan.
  size_t current = character && hint_byte == bytes.size() ? hint_char : length();
  if (position > current) {
    bytes.append(position - current, character ? ' ' : '\0');
  }
  size_t begin = byte_offset(position);
  if (character) {
    // Overwrite as many characters as the new text holds.
    size_t replaced_end = begin, chars = utf8_length(data);
    for (size_t n = 0; n < chars && replaced_end < bytes.size(); ++n) {
      ++replaced_end;
      while (replaced_end < bytes.size() && continuation(bytes[replaced_end])) ++replaced_end;
    }
    bytes.replace(begin, replaced_end - begin, data);
  } else if (begin + data.size() <= bytes.size()) {
    bytes.replace(begin, data.size(), data);
  } else {
    bytes.resize(begin);
    bytes.append(data);
  }
  hint_char = position + (character ? utf8_length(data) : data.size());
  hint_byte = begin + data.size();
}

void LobContent::trim(size_t new_length) {
  bytes.resize(byte_offset(new_length));
  reset_hint();
}

size_t LobContent::erase(size_t position, size_t count) {
  size_t current = length();
  if (position >= current) return 0;
  size_t units = std::min(count, current - position);
  size_t begin = byte_offset(position);
  size_t end = byte_offset(position + units);
  bytes.replace(begin, end - begin, units, character ? ' ' : '\0');
  reset_hint();
  return units;
}

std::string hex_of(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    out += kHex[static_cast<unsigned char>(c) >> 4];
    out += kHex[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

std::string bytes_of_hex(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
  return out;
}

}  // namespace ociemu::sql
