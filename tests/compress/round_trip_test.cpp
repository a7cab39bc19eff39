// Compress-then-decompress over the sizes and shapes that stress the window
// edges, the longest match, tree rebuilds and incompressible data.
#include <gtest/gtest.h>

#include <thread>

#include "compress_test_support.h"

namespace kvell::testing {
namespace {

void expect_round_trip(const Bytes& input) {
  const Bytes compressed = compress(input);
  ASSERT_GE(compressed.size(), 4u);
  EXPECT_EQ(decompress(compressed), input);
}

class RoundTripSizes : public ::testing::TestWithParam<size_t> {};

TEST_P(RoundTripSizes, text_random_and_single_value_runs_come_back_exactly) {
  const size_t size = GetParam();
  expect_round_trip(sample_text(size, 7));
  expect_round_trip(random_bytes(size, 11));
  expect_round_trip(Bytes(size, 0x00));
  expect_round_trip(Bytes(size, 0x20));
  expect_round_trip(Bytes(size, 0xFF));
}

// Window and look-ahead edges, and one size far enough to rebuild the tree many times.
INSTANTIATE_TEST_SUITE_P(EdgeSizes, RoundTripSizes,
                         ::testing::Values(1, 2, 3, 59, 60, 61, 119, 120, 121, 4035, 4036, 4095,
                                           4096, 4097, 8192 + 60, 300000));

TEST(RoundTrip, leading_blanks_are_coded_as_matches_against_the_ring) {
  Bytes input(300, ' ');
  const Bytes tail = bytes_of("then some text");
  input.insert(input.end(), tail.begin(), tail.end());
  const Bytes compressed = compress(input);
  // Five longest matches cost far less than the 300 blanks as literals.
  EXPECT_LT(compressed.size(), 4 + tail.size() + 20);
  EXPECT_EQ(decompress(compressed), input);
}

TEST(RoundTrip, incompressible_input_grows_past_its_reserved_space) {
  const Bytes input = random_bytes(100000, 3);
  const Bytes compressed = compress(input);
  EXPECT_GT(compressed.size(), input.size() + 4);
  EXPECT_EQ(decompress(compressed), input);
}

TEST(RoundTrip, repetitive_text_shrinks) {
  const Bytes input = sample_text(200000, 5);
  const Bytes compressed = compress(input);
  EXPECT_LT(compressed.size(), input.size() / 3);
  EXPECT_EQ(decompress(compressed), input);
}

// Skewed statistics drive a few leaves deep; the stream must still decode.
TEST(RoundTrip, strongly_skewed_symbol_statistics) {
  std::mt19937 engine(1);
  Bytes input;
  for (int i = 0; i < 200000; ++i) {
    const uint32_t roll = engine() % 10000;
    input.push_back(roll < 9000 ? 'a' : roll < 9900 ? static_cast<uint8_t>(engine()) : 'b');
  }
  expect_round_trip(input);
}

TEST(RoundTrip, concurrent_callers_get_the_same_results_as_one_caller) {
  const Bytes text = sample_text(50000, 9);
  const Bytes noise = random_bytes(50000, 9);
  const Bytes text_expected = compress(text);
  const Bytes noise_expected = compress(noise);
  auto worker = [](const Bytes& input, const Bytes& expected, bool& ok) {
    ok = true;
    for (int i = 0; i < 4; ++i) {
      const Bytes compressed = compress(input);
      ok = ok && compressed == expected && decompress(compressed) == input;
    }
  };
  bool text_ok = false, noise_ok = false;
  std::thread first(worker, std::cref(text), std::cref(text_expected), std::ref(text_ok));
  std::thread second(worker, std::cref(noise), std::cref(noise_expected), std::ref(noise_ok));
  first.join();
  second.join();
  EXPECT_TRUE(text_ok);
  EXPECT_TRUE(noise_ok);
}

}  // namespace
}  // namespace kvell::testing
