// The options a dataset passes along with its filter text: how string
// comparisons fold case and whether "*" and "?" act as wildcards.
// Plain value type; thread-safe as any value.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kvell {

enum TFilterOption { foCaseInsensitive, foNoPartialCompare };

// A set of TFilterOption, as a small bit set.
class TFilterOptions {
 public:
  constexpr TFilterOptions() = default;
  constexpr TFilterOptions(std::initializer_list<TFilterOption> options) {
    for (TFilterOption option : options) Include(option);
  }
  constexpr bool Contains(TFilterOption option) const { return (bits_ & mask(option)) != 0; }
  constexpr void Include(TFilterOption option) { bits_ |= mask(option); }
  constexpr void Exclude(TFilterOption option) { bits_ &= static_cast<uint8_t>(~mask(option)); }
  constexpr bool operator==(const TFilterOptions&) const = default;

 private:
  static constexpr uint8_t mask(TFilterOption option) { return static_cast<uint8_t>(1u << option); }
  uint8_t bits_ = 0;
};

}  // namespace kvell
