// The adaptive code and the bit writer on their own: every code the tree
// hands out decodes back, also past 16 bits, and the writer emits what the
// 16-bit buffer arithmetic of the 1988 coder emits.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "oracle/compress/adaptive_huffman.h"
#include "oracle/compress/bit_io.h"

namespace kvell::compress {
namespace {

// Writes every symbol's code and reads it back through the tree's walk.
void expect_every_code_decodes(const AdaptiveHuffmanTree& tree) {
  std::vector<uint8_t> bytes;
  BitWriter writer(bytes, 0);
  double kraft_sum = 0;
  for (int symbol = 0; symbol < kSymbolCount; ++symbol) {
    const SymbolCode code = tree.CodeOf(symbol);
    writer.Put(code.length, code.bits);
    kraft_sum += 1.0 / static_cast<double>(uint64_t{1} << code.length);
  }
  writer.Flush();
  EXPECT_DOUBLE_EQ(kraft_sum, 1.0);  // a complete prefix code
  BitReader reader(bytes.data(), writer.Position());
  auto& walker = const_cast<AdaptiveHuffmanTree&>(tree);
  for (int symbol = 0; symbol < kSymbolCount; ++symbol)
    EXPECT_EQ(walker.DecodeSymbol([&] { return reader.GetBit(); }), symbol);
  EXPECT_FALSE(reader.Exhausted());
}

int longest_code(const AdaptiveHuffmanTree& tree) {
  int longest = 0;
  for (int symbol = 0; symbol < kSymbolCount; ++symbol)
    longest = std::max(longest, tree.CodeOf(symbol).length);
  return longest;
}

TEST(AdaptiveCode, codes_stay_a_complete_prefix_code_through_updates_and_rebuilds) {
  AdaptiveHuffmanTree tree;
  expect_every_code_decodes(tree);
  std::mt19937 engine(4);
  int rebuilds = 0;
  for (int i = 0; i < 200000; ++i) {
    const uint16_t before = tree.RootFrequency();
    // Mostly a few symbols, sometimes any: the tree reshapes often.
    tree.Update(engine() % 4 == 0 ? static_cast<int>(engine() % kSymbolCount) : static_cast<int>(engine() % 8));
    if (tree.RootFrequency() < before) ++rebuilds;
    if (i % 20000 == 0) expect_every_code_decodes(tree);
  }
  EXPECT_GT(rebuilds, 3);
  expect_every_code_decodes(tree);
}

TEST(AdaptiveCode, fibonacci_counts_give_codes_longer_than_16_bits_that_still_decode) {
  AdaptiveHuffmanTree tree;
  // Counts in Fibonacci proportion, scaled to the weight of the never-seen
  // symbols, stack a chain of subtrees above them that pushes them deep.
  int previous = 1, current = 1;
  for (int symbol = 0; symbol < 9; ++symbol) {
    for (int k = 0; k < 200 * current; ++k) tree.Update(symbol);
    const int next = previous + current;
    previous = current;
    current = next;
  }
  EXPECT_GT(longest_code(tree), 16);
  expect_every_code_decodes(tree);
}

// The 16-bit buffer arithmetic the widened writer must reproduce.
struct SixteenBitWriter {
  std::vector<uint8_t> bytes;
  uint16_t buffer = 0;
  int count = 0;

  void Put(int length, uint16_t code) {
    buffer = static_cast<uint16_t>(buffer | (code >> count));
    count += length;
    if (count < 8) return;
    bytes.push_back(static_cast<uint8_t>(buffer >> 8));
    count -= 8;
    if (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(buffer));
      count -= 8;
      buffer = static_cast<uint16_t>(code << (length - count));
    } else {
      buffer = static_cast<uint16_t>(buffer << 8);
    }
  }
  void Flush() {
    if (count) bytes.push_back(static_cast<uint8_t>(buffer >> 8));
  }
};

TEST(BitWriter, writes_codes_of_up_to_16_bits_as_the_16_bit_buffer_does) {
  std::mt19937 engine(2);
  std::vector<uint8_t> bytes(3, 0x77);  // output starts after existing bytes
  BitWriter writer(bytes, 3);
  SixteenBitWriter reference;
  for (int i = 0; i < 100000; ++i) {
    const int length = 1 + static_cast<int>(engine() % 16);
    const auto code = static_cast<uint16_t>((engine() & 0xFFFF) & (0xFFFF << (16 - length)));
    writer.Put(length, uint32_t{code} << 16);
    reference.Put(length, code);
  }
  writer.Flush();
  reference.Flush();
  ASSERT_EQ(writer.Position(), 3 + reference.bytes.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3), std::vector<uint8_t>(3, 0x77));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 3, bytes.begin() + writer.Position()), reference.bytes);
}

}  // namespace
}  // namespace kvell::compress
