// The fixed prefix code for the upper 6 bits of a match position: code
// lengths 3..8 assigned canonically, plus the byte-indexed inverse the
// decoder uses. Built at compile time; thread-safe: yes (constants).
#pragma once

#include <array>
#include <cstdint>

namespace kvell::compress {

inline constexpr int kPositionUpperValues = 64;

struct PositionCodeTables {
  std::array<uint8_t, kPositionUpperValues> code_length{};  // 3..8 bits
  std::array<uint8_t, kPositionUpperValues> code{};         // left-aligned in a byte
  std::array<uint8_t, 256> upper_of_byte{};  // upper part whose code prefixes the byte
  std::array<uint8_t, 256> length_of_byte{}; // that code's length
};

constexpr PositionCodeTables make_position_code_tables() {
  // How many of the 64 upper values get each code length, shortest first.
  constexpr std::array<std::pair<int, int>, 6> length_counts{
      {{3, 1}, {4, 3}, {5, 8}, {6, 12}, {7, 24}, {8, 16}}};
  PositionCodeTables tables;
  int value = 0;
  int code = 0;  // right-aligned canonical code of the current length
  int previous_length = 3;
  for (auto [length, count] : length_counts) {
    code <<= (length - previous_length);
    previous_length = length;
    for (int k = 0; k < count; ++k, ++value, ++code) {
      const int left_aligned = code << (8 - length);
      tables.code_length[value] = static_cast<uint8_t>(length);
      tables.code[value] = static_cast<uint8_t>(left_aligned);
      for (int b = left_aligned; b < left_aligned + (1 << (8 - length)); ++b) {
        tables.upper_of_byte[b] = static_cast<uint8_t>(value);
        tables.length_of_byte[b] = static_cast<uint8_t>(length);
      }
    }
  }
  return tables;
}

inline constexpr PositionCodeTables kPositionCode = make_position_code_tables();

}  // namespace kvell::compress
