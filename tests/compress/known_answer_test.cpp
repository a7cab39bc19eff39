// Code streams worked out by hand from the starting tree, the update rule
// and the match search, so that the format is checked against the 1988
// coder's arithmetic and not only against this decoder.
#include <gtest/gtest.h>

#include "compress_test_support.h"
#include "oracle/compress/position_code.h"

namespace kvell::testing {
namespace {

TEST(KnownAnswer, position_code_is_the_published_table) {
  const uint8_t lengths[64] = {3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6,
                               6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                               7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
  const uint8_t codes[64] = {
      0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
      0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
      0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
      0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
  const auto& table = compress::kPositionCode;
  for (int upper = 0; upper < 64; ++upper) {
    EXPECT_EQ(table.code_length[upper], lengths[upper]) << upper;
    EXPECT_EQ(table.code[upper], codes[upper]) << upper;
    // Every byte starting with this code decodes back to it.
    const int free_bits = 8 - lengths[upper];
    for (int tail = 0; tail < (1 << free_bits); ++tail) {
      EXPECT_EQ(table.upper_of_byte[codes[upper] | tail], upper);
      EXPECT_EQ(table.length_of_byte[codes[upper] | tail], lengths[upper]);
    }
  }
}

struct KnownStream {
  const char* name;
  std::string input;
  Bytes compressed;
};

class KnownStreams : public ::testing::TestWithParam<KnownStream> {};

TEST_P(KnownStreams, compress_to_the_worked_out_bytes_and_back) {
  const KnownStream& known = GetParam();
  EXPECT_EQ(compress(bytes_of(known.input)), known.compressed);
  EXPECT_EQ(decompress(known.compressed), bytes_of(known.input));
}

INSTANTIATE_TEST_SUITE_P(
    HandDerived, KnownStreams,
    ::testing::Values(
        // Nothing to code: the length alone.
        KnownStream{"empty", "", {0, 0, 0, 0}},
        // 'A' is leaf 65 of the starting tree, 9 bits deep: 111001101.
        KnownStream{"one_literal", "A", {1, 0, 0, 0, 0xE6, 0x80}},
        // The first 'A' moves leaf 65 to node 313, whose code is 11000101.
        KnownStream{"literal_after_update", "AA", {2, 0, 0, 0, 0xE6, 0xE2, 0x80}},
        // Match of 4 against the blank ring at distance 1: symbol 257 is
        // 10001101, then position 0 as 000 000000.
        KnownStream{"short_blank_run", "    ", {4, 0, 0, 0, 0x8D, 0x00, 0x00}},
        // Sixty blanks: one longest match of the ring's last blank strings,
        // which collapsed into the node at 3976, so position 59 (000 111011).
        KnownStream{"blank_run_of_sixty", std::string(60, ' '), {60, 0, 0, 0, 0xC5, 0x1D, 0x80}},
        // 'X' (111100100), then 4 blanks matched at the nearest of the equal
        // candidates, position 4 (000 000100).
        KnownStream{"nearest_of_equal_matches", "X    ", {5, 0, 0, 0, 0xF2, 0x46, 0x81, 0x00}},
        // After the 'A', symbol 313 (match of 60) sits where leaf 65 was.
        KnownStream{"longest_match_after_swap", std::string(61, 'A'),
                    {61, 0, 0, 0, 0xE6, 0xF3, 0x40, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kvell::testing
