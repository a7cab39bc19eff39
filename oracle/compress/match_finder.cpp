#include "oracle/compress/match_finder.h"

#include <algorithm>

namespace kvell::compress {

MatchFinder::MatchFinder() {
  std::fill(ring_.begin(), ring_.begin() + kRingStart, kRingFill);
  lson_.fill(kNil);
  rson_.fill(kNil);
  dad_.fill(kNil);
}

void MatchFinder::Insert(int r) {
  const uint8_t* key = &ring_[r];
  int cmp = 1;
  int p = kRingSize + 1 + key[0];
  rson_[r] = lson_[r] = kNil;
  match_length_ = 0;
  for (;;) {
    uint16_t& child = cmp >= 0 ? rson_[p] : lson_[p];
    if (child == kNil) {
      child = static_cast<uint16_t>(r);
      dad_[r] = static_cast<uint16_t>(p);
      return;
    }
    p = child;
    const uint8_t* candidate = &ring_[p];
    int i = 1;
    cmp = 0;
    for (; i < kLongestMatch; ++i) {
      cmp = key[i] - candidate[i];
      if (cmp != 0) break;
    }
    if (i > kLiteralThreshold) {
      const int distance = ((r - p) & (kRingSize - 1)) - 1;
      if (i > match_length_) {
        match_position_ = distance;
        match_length_ = i;
        if (i >= kLongestMatch) break;
      } else if (i == match_length_ && distance < match_position_) {
        match_position_ = distance;
      }
    }
  }
  Replace(p, r);
}

void MatchFinder::Replace(int old_node, int new_node) {
  dad_[new_node] = dad_[old_node];
  lson_[new_node] = lson_[old_node];
  rson_[new_node] = rson_[old_node];
  dad_[lson_[old_node]] = static_cast<uint16_t>(new_node);
  dad_[rson_[old_node]] = static_cast<uint16_t>(new_node);
  ReplaceChild(dad_[old_node], old_node, new_node);
  dad_[old_node] = kNil;
}

void MatchFinder::ReplaceChild(int parent, int old_child, int new_child) {
  if (rson_[parent] == old_child)
    rson_[parent] = static_cast<uint16_t>(new_child);
  else
    lson_[parent] = static_cast<uint16_t>(new_child);
}

void MatchFinder::Delete(int p) {
  if (dad_[p] == kNil) return;
  int q;
  if (rson_[p] == kNil) {
    q = lson_[p];
  } else if (lson_[p] == kNil) {
    q = rson_[p];
  } else {
    q = lson_[p];
    if (rson_[q] != kNil) {
      do q = rson_[q]; while (rson_[q] != kNil);
      rson_[dad_[q]] = lson_[q];
      dad_[lson_[q]] = dad_[q];
      lson_[q] = lson_[p];
      dad_[lson_[p]] = static_cast<uint16_t>(q);
    }
    rson_[q] = rson_[p];
    dad_[rson_[p]] = static_cast<uint16_t>(q);
  }
  dad_[q] = dad_[p];
  ReplaceChild(dad_[p], p, q);
  dad_[p] = kNil;
}

}  // namespace kvell::compress
