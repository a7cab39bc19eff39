// The coder's sliding window: a 4096-byte ring (plus a mirror of its first
// 59 bytes so comparisons run past the end) and one binary search tree of
// strings per first byte, which finds the longest, then nearest, earlier
// match for each inserted position. Thread-safe: no; one per coding run.
#pragma once

#include <array>
#include <cstdint>

namespace kvell::compress {

inline constexpr int kRingSize = 4096;          // N
inline constexpr int kLongestMatch = 60;        // F
inline constexpr int kLiteralThreshold = 2;     // matches this short are sent as literals
inline constexpr int kRingStart = kRingSize - kLongestMatch;  // first position filled from input
inline constexpr uint8_t kRingFill = 0x20;      // the window starts out as blanks

class MatchFinder {
 public:
  MatchFinder();
  MatchFinder(const MatchFinder&) = delete;
  MatchFinder& operator=(const MatchFinder&) = delete;

  // Stores byte at ring position, keeping the mirror in step.
  void Store(int position, uint8_t byte) {
    ring_[position] = byte;
    if (position < kLongestMatch - 1) ring_[position + kRingSize] = byte;
  }
  uint8_t At(int position) const { return ring_[position]; }

  // Adds the string at position and records its best match in
  // MatchLength()/MatchPosition() (distance back minus one).
  void Insert(int position);
  // Removes the string at position; strings never inserted are ignored.
  void Delete(int position);

  int MatchLength() const { return match_length_; }
  int MatchPosition() const { return match_position_; }

 private:
  static constexpr int kNil = kRingSize;

  // Replaces node old_node by new_node in the tree, children included.
  void Replace(int old_node, int new_node);
  // Points parent's link that led to old_child at new_child instead.
  void ReplaceChild(int parent, int old_child, int new_child);

  // Bytes past kRingSize + 58 are never compared. The mirror starts out zero,
  // not blank, as the 1988 coder's static buffer did: the match search
  // reads it near the end of short inputs, so it decides tie-breaks.
  std::array<uint8_t, kRingSize + kLongestMatch - 1> ring_{};
  std::array<uint16_t, kRingSize + 1> lson_;
  std::array<uint16_t, kRingSize + 257> rson_;  // entries kRingSize+1.. are the 256 roots
  std::array<uint16_t, kRingSize + 1> dad_;
  int match_length_ = 0;
  int match_position_ = 0;
};

}  // namespace kvell::compress
