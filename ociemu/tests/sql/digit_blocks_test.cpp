// The block readers of a stored number's digits, the portable one included (with SSE2 no fetch
// uses it): every digit in every lane of either sign, every first lane, other bytes of the block not digits,
// and a foreign byte in every lane.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "ociemu/sql/digit_blocks.h"

namespace ociemu::sql {
namespace {

using namespace std::string_literals;

// A block's worth of foreign bytes on either side of `digits`, as a stored text has its sign,
// point, exponent or padding there.
std::string surrounded(const std::string& digits, int width) {
  const std::string junk = "-.E+\0x9-.E+\0x9-."s.substr(0, static_cast<size_t>(width));
  return junk + digits + junk;
}

// Every digit in every lane, as tens and as units, of either sign; bytes either side of the
// block untouched.
template <typename Reader>
void expect_mantissa_of_every_digit_in_every_lane() {
  for (const std::string& digits : {"9081726354453627"s, "0000000000000000"s, "9999999999999999"s, "1032547698103254"s}) {
    const std::string block = digits.substr(0, static_cast<size_t>(Reader::kWidth));
    for (const bool negative : {false, true}) {
      std::vector<unsigned char> bytes(Reader::kWidth / 2 + 2, 0xEE);
      Reader::write_mantissa(surrounded(block, Reader::kWidth).data() + Reader::kWidth, negative, bytes.data() + 1);
      EXPECT_EQ(0xEE, bytes.front());
      EXPECT_EQ(0xEE, bytes.back());
      for (int k = 0; k < Reader::kWidth / 2; ++k) {
        const auto tens = static_cast<size_t>(2 * k);
        const int pair = (block[tens] - '0') * 10 + (block[tens + 1] - '0');
        EXPECT_EQ(negative ? 101 - pair : pair + 1, bytes[static_cast<size_t>(k + 1)])
            << block << (negative ? ", negative" : "") << ", pair " << k;
      }
    }
  }
}

template <typename Reader>
void expect_values_from_every_lane() {
  const std::string digits = "9876543210123456";
  for (int first = 0; first < Reader::kWidth; ++first) {
    // Lanes before `first` hold foreign bytes, as before a run's first digit.
    std::string text = surrounded(digits.substr(0, static_cast<size_t>(Reader::kWidth)), Reader::kWidth);
    for (int lane = 0; lane < first; ++lane) text[static_cast<size_t>(Reader::kWidth + lane)] = "-.E"[lane % 3];
    const std::string kept = digits.substr(static_cast<size_t>(first), static_cast<size_t>(Reader::kWidth - first));
    EXPECT_EQ(std::stoull(kept), Reader::value(text.data() + Reader::kWidth, first)) << "from lane " << first;
  }
  EXPECT_EQ(0u, Reader::value(std::string(Reader::kWidth, '0').data(), 0));
  EXPECT_EQ(Reader::kScale - 1, Reader::value(std::string(Reader::kWidth, '9').data(), 0));
}

// Bytes just outside '0'..'9' as well as far from them, in each lane, two at once too.
template <typename Reader>
void expect_non_digits_in_every_lane() {
  const std::string digits(static_cast<size_t>(Reader::kWidth), '5');
  EXPECT_EQ(0u, Reader::non_digits(digits.data()));
  for (int lane = 0; lane < Reader::kWidth; ++lane) {
    for (const char foreign : {'/', ':', '.', '-', 'E', '\0', '\x80', '\xFF'}) {
      std::string text = digits;
      text[static_cast<size_t>(lane)] = foreign;
      const uint64_t one = Reader::non_digits(text.data());
      EXPECT_EQ(1, std::popcount(one)) << "lane " << lane << " byte " << int{foreign};
      EXPECT_EQ(lane, std::countr_zero(one) / Reader::kBitsPerLane) << "byte " << int{foreign};
      text[static_cast<size_t>(Reader::kWidth - 1)] = foreign;
      EXPECT_EQ(lane == Reader::kWidth - 1 ? 1 : 2, std::popcount(Reader::non_digits(text.data()))) << "lane " << lane;
    }
  }
}

TEST(DigitBlocks, words_read_mantissas_values_and_non_digits_of_every_length) {
  expect_mantissa_of_every_digit_in_every_lane<WordDigits>();
  expect_values_from_every_lane<WordDigits>();
  expect_non_digits_in_every_lane<WordDigits>();
}

#ifdef __SSE2__
TEST(DigitBlocks, sse2_reads_mantissas_values_and_non_digits_of_every_length) {
  expect_mantissa_of_every_digit_in_every_lane<Sse2Digits>();
  expect_values_from_every_lane<Sse2Digits>();
  expect_non_digits_in_every_lane<Sse2Digits>();
}
#endif

}  // namespace
}  // namespace ociemu::sql
