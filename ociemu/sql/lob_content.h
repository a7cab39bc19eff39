// A LOB's value in memory: UTF-8 bytes for character LOBs, where positions
// count characters, raw bytes otherwise. Shared by the call interface's LOB
// entries and the PL/SQL engine's DBMS_LOB.
//
// Thread-safe: no (one session uses a value at a time).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ociemu::sql {

// One LOB value. For character LOBs the bytes are UTF-8 and positions count characters.
struct LobContent {
  std::string bytes;
  bool character = false;
  bool dirty = false;  // written since it was loaded (persistent values only)
  // Last character position resolved, so that sequential access stays linear.
  size_t hint_char = 0, hint_byte = 0;

  size_t length() const;  // characters for character LOBs, else bytes
  // Byte offset of the 0-based position (clamped to the end).
  size_t byte_offset(size_t position);
  // Bytes of `count` units from `position` (0-based), at most `max_bytes` bytes; `units` gets the units taken.
  std::string_view slice(size_t position, size_t count, size_t max_bytes, size_t& units);
  void write(size_t position, std::string_view data);  // pads a gap with blanks or zero bytes
  void trim(size_t new_length);
  size_t erase(size_t position, size_t count);  // fills with blanks or zeros; returns units erased
  void reset_hint() { hint_char = hint_byte = 0; }
};

// UTF-8 characters in text (continuation bytes do not count).
size_t utf8_length(std::string_view text);
// Bytes of the longest prefix of text made of at most `count` whole characters; `units` gets their number.
size_t whole_characters(std::string_view text, size_t count, size_t& units);

// Binary values inside stored object text are kept as upper-case hex digits.
std::string hex_of(std::string_view bytes);
std::string bytes_of_hex(std::string_view hex);  // a trailing odd digit is dropped

}  // namespace ociemu::sql
