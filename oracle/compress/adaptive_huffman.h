// The adaptive Huffman code shared by the coder and the decoder: 314 symbols
// (256 literal bytes, then match lengths 3..60), a tree kept in sibling order
// by frequency, updated after every symbol and rebuilt when the root count
// reaches 0x8000. Thread-safe: no; one instance per coding run.
#pragma once

#include <array>
#include <cstdint>

namespace kvell::compress {

inline constexpr int kSymbolCount = 314;                // N_CHAR
inline constexpr int kTreeSize = 2 * kSymbolCount - 1;  // T
inline constexpr int kRoot = kTreeSize - 1;             // R
inline constexpr unsigned kMaxRootFrequency = 0x8000;

// A symbol's code, its first bit in bit 31. Leaf depth is bounded by the
// frequency cap (a Fibonacci argument gives at most 22), so 32 bits always hold it.
struct SymbolCode {
  uint32_t bits;
  int length;
};

class AdaptiveHuffmanTree {
 public:
  AdaptiveHuffmanTree() { Start(); }
  AdaptiveHuffmanTree(const AdaptiveHuffmanTree&) = delete;
  AdaptiveHuffmanTree& operator=(const AdaptiveHuffmanTree&) = delete;

  // The balanced starting tree, every symbol counted once.
  void Start();
  // The current code of symbol; does not update.
  SymbolCode CodeOf(int symbol) const;
  // Counts symbol once more and restores the sibling order.
  void Update(int symbol);

  // Walks down one bit at a time; next_bit() returns 0 or 1.
  template <typename NextBit>
  int DecodeSymbol(NextBit&& next_bit) {
    unsigned node = son_[kRoot];
    while (node < kTreeSize) node = son_[node + next_bit()];
    return static_cast<int>(node - kTreeSize);
  }

  uint16_t RootFrequency() const { return freq_[kRoot]; }

 private:
  void Rebuild();
  void SwapSubtrees(int node, int other);

  std::array<uint16_t, kTreeSize + 1> freq_;  // last entry is a 0xFFFF sentinel
  // Inner node: index of its left child (the right one follows it).
  // Leaf: kTreeSize + symbol.
  std::array<uint16_t, kTreeSize> son_;
  // Parent of each node; at kTreeSize + symbol, the node of that symbol's leaf.
  std::array<uint16_t, kTreeSize + kSymbolCount> prnt_;
};

}  // namespace kvell::compress
