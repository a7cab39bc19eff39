// A stored number's ASCII digits read a block at a time: sixteen at once with SSE2 where the
// target has it, else eight to a 64-bit word. DigitBlocks is the reader a build uses; both are
// compiled wherever SSE2 is, so that the portable one stays tested.
//
// A block is read whole: callers keep kWidth readable bytes before and after the digits they
// pass, whatever those bytes hold.
//
// Thread-safe: yes (no state).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "ociemu/sql/exact_number.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ociemu::sql {

struct WordDigits {
  static constexpr int kWidth = 8;
  static constexpr uint64_t kScale = 100000000;  // 10^kWidth
  static constexpr int kBitsPerLane = 8;

  // The lanes of the block that are not ASCII digits, a bit each, kBitsPerLane apart.
  static uint64_t non_digits(const char* block) {
    uint64_t bytes;
    std::memcpy(&bytes, block, sizeof bytes);
    return non_digit_bytes(bytes);
  }

  // The digits of lanes first to last - 1 (last may lie beyond the block) as byte values, the
  // other lanes zero.
  static uint64_t lanes(const char* block, int first, int last) {
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    constexpr uint64_t kZeros = 0x3030303030303030u;
    const uint64_t below = (uint64_t{1} << (8 * first)) - 1;
    const uint64_t upto = last >= kWidth ? ~uint64_t{0} : (uint64_t{1} << (8 * last)) - 1;
    const uint64_t kept = upto & ~below;
    uint64_t bytes;
    std::memcpy(&bytes, block, sizeof bytes);
    return ((bytes & kept) | (kZeros & ~kept)) - kZeros;
  }

  // The base-100 digits of a block of kWidth digits as kWidth / 2 OCINumber mantissa bytes: each
  // base-100 digit plus one, or a negative's 101 minus it.
  static void write_mantissa(const char* block, bool negative, unsigned char* out) {
    uint64_t digits = lanes(block, 0, kWidth);
    // Byte 2k becomes ten times digit 2k plus digit 2k + 1; no byte exceeds 99, so none carries,
    // nor borrows below.
    digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFu;
    digits = (digits | (digits >> 8)) & 0x0000FFFF0000FFFFu;
    const auto four = static_cast<uint32_t>(digits | (digits >> 16));
    const uint32_t bytes = negative ? 0x65656565u - four : four + 0x01010101u;
    std::memcpy(out, &bytes, sizeof bytes);
  }

  // The value of the block's digits, those before lane `first` taken as zeros.
  static uint64_t value(const char* block, int first) {
    uint64_t digits = lanes(block, first, kWidth);
    digits = digits * 10 + (digits >> 8);
    return ((digits & 0x000000FF000000FFu) * (100 + (1000000ull << 32)) +
            ((digits >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32))) >> 32;
  }
};

#ifdef __SSE2__
struct Sse2Digits {
  static constexpr int kWidth = 16;
  static constexpr uint64_t kScale = 10000000000000000;  // 10^kWidth
  static constexpr int kBitsPerLane = 1;

  // pminub, pcmpeqb and pmovmskb: a lane's offset from '0' is a digit's when its minimum with 9 is itself.
  static uint64_t non_digits(const char* block) {
    const __m128i offsets = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), _mm_set1_epi8('0'));
    const __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets);
    return ~static_cast<unsigned>(_mm_movemask_epi8(digits)) & 0xFFFFu;
  }

  // As WordDigits::lanes, a byte lane each.
  static __m128i lanes(const char* block, int first, int last) {
    const __m128i lane = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i from = _mm_set1_epi8(static_cast<char>(first - 1));
    const __m128i to = _mm_set1_epi8(static_cast<char>(last < kWidth ? last : kWidth));
    const __m128i kept = _mm_and_si128(_mm_cmpgt_epi8(lane, from), _mm_cmplt_epi8(lane, to));
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    return _mm_and_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')), kept);
  }

  // Eight 16-bit lanes, each the base-100 digit of two neighbouring digit lanes.
  static __m128i pair_lanes(__m128i digits) {
    const __m128i tens = _mm_mullo_epi16(_mm_and_si128(digits, _mm_set1_epi16(0xFF)), _mm_set1_epi16(10));
    return _mm_add_epi16(tens, _mm_srli_epi16(digits, 8));
  }

  static void write_mantissa(const char* block, bool negative, unsigned char* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i eight = pair_lanes(_mm_sub_epi8(bytes, _mm_set1_epi8('0')));
    const __m128i pairs = _mm_packus_epi16(eight, eight);
    const __m128i mantissa =
        negative ? _mm_sub_epi8(_mm_set1_epi8(101), pairs) : _mm_add_epi8(pairs, _mm_set1_epi8(1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), mantissa);
  }

  static uint64_t value(const char* block, int first) {
    const __m128i pairs = pair_lanes(lanes(block, first, kWidth));
    const __m128i quads = _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));  // 0..9999 each
    const __m128i halves =
        _mm_madd_epi16(_mm_packs_epi32(quads, quads), _mm_setr_epi16(10000, 1, 10000, 1, 0, 0, 0, 0));
    const auto high = static_cast<uint32_t>(_mm_cvtsi128_si32(halves));
    const auto low = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 4)));
    return uint64_t{high} * 100000000u + low;
  }
};
using DigitBlocks = Sse2Digits;
#else
using DigitBlocks = WordDigits;
#endif

}  // namespace ociemu::sql
