#include "oracle/compress/adaptive_huffman.h"

#include <algorithm>

namespace kvell::compress {

void AdaptiveHuffmanTree::Start() {
  for (int i = 0; i < kSymbolCount; ++i) {
    freq_[i] = 1;
    son_[i] = static_cast<uint16_t>(i + kTreeSize);
    prnt_[i + kTreeSize] = static_cast<uint16_t>(i);
  }
  for (int i = 0, j = kSymbolCount; j <= kRoot; i += 2, ++j) {
    freq_[j] = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
    son_[j] = static_cast<uint16_t>(i);
    prnt_[i] = prnt_[i + 1] = static_cast<uint16_t>(j);
  }
  freq_[kTreeSize] = 0xFFFF;
  prnt_[kRoot] = 0;
}

SymbolCode AdaptiveHuffmanTree::CodeOf(int symbol) const {
  uint32_t bits = 0;
  int length = 0;
  unsigned node = prnt_[symbol + kTreeSize];
  do {
    // Right children sit at the odd index after their left sibling.
    bits = (bits >> 1) | ((node & 1u) << 31);
    ++length;
  } while ((node = prnt_[node]) != kRoot);
  return {bits, length};
}

void AdaptiveHuffmanTree::SwapSubtrees(int node, int other) {
  const unsigned moved_down = son_[node];
  prnt_[moved_down] = static_cast<uint16_t>(other);
  if (moved_down < kTreeSize) prnt_[moved_down + 1] = static_cast<uint16_t>(other);
  const unsigned moved_up = son_[other];
  son_[other] = static_cast<uint16_t>(moved_down);
  prnt_[moved_up] = static_cast<uint16_t>(node);
  if (moved_up < kTreeSize) prnt_[moved_up + 1] = static_cast<uint16_t>(node);
  son_[node] = static_cast<uint16_t>(moved_up);
}

void AdaptiveHuffmanTree::Update(int symbol) {
  if (freq_[kRoot] == kMaxRootFrequency) Rebuild();
  unsigned node = prnt_[symbol + kTreeSize];
  do {
    const unsigned count = ++freq_[node];
    if (count > freq_[node + 1]) {
      // The sentinel stops the scan; the run ahead is sorted, so this finds
      // the last node still counted lower.
      unsigned last = node + 1;
      while (count > freq_[last + 1]) ++last;
      freq_[node] = freq_[last];
      freq_[last] = static_cast<uint16_t>(count);
      SwapSubtrees(static_cast<int>(node), static_cast<int>(last));
      node = last;
    }
  } while ((node = prnt_[node]) != 0);
}

void AdaptiveHuffmanTree::Rebuild() {
  int leaves = 0;
  for (int i = 0; i < kTreeSize; ++i) {
    if (son_[i] >= kTreeSize) {
      freq_[leaves] = static_cast<uint16_t>((freq_[i] + 1) / 2);
      son_[leaves] = son_[i];
      ++leaves;
    }
  }
  for (int i = 0, j = kSymbolCount; j < kTreeSize; i += 2, ++j) {
    const unsigned f = freq_[i] + freq_[i + 1];
    freq_[j] = static_cast<uint16_t>(f);
    int k = j - 1;
    while (f < freq_[k]) --k;
    ++k;
    std::copy_backward(freq_.begin() + k, freq_.begin() + j, freq_.begin() + j + 1);
    freq_[k] = static_cast<uint16_t>(f);
    std::copy_backward(son_.begin() + k, son_.begin() + j, son_.begin() + j + 1);
    son_[k] = static_cast<uint16_t>(i);
  }
  for (int k = 0; k < kTreeSize; ++k) {
    const unsigned child = son_[k];
    prnt_[child] = static_cast<uint16_t>(k);
    if (child < kTreeSize) prnt_[child + 1] = static_cast<uint16_t>(k);
  }
}

}  // namespace kvell::compress
