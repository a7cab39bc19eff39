// Damaged compressed data: rejected lengths raise, short code ends the output
// early, and arbitrary bytes never write past the recorded length.
#include <gtest/gtest.h>

#include "compress_test_support.h"

namespace kvell::testing {
namespace {

Bytes with_length(int32_t length, const Bytes& code) {
  Bytes bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(length) >> (8 * i)));
  for (uint8_t byte : code) bytes.push_back(byte);
  return bytes;
}

TEST(BadInput, impossible_lengths_raise_before_anything_is_allocated) {
  EXPECT_THROW(decompress(with_length(-1, {0x12, 0x34})), ECompressionError);
  EXPECT_THROW(decompress(with_length(INT32_MIN, {})), ECompressionError);
  EXPECT_THROW(decompress(with_length(1, {})), ECompressionError);
  // Two code bytes hold at most 16 codes of at most 60 bytes each.
  EXPECT_THROW(decompress(with_length(16 * 60 + 1, {0, 0})), ECompressionError);
  EXPECT_NO_THROW(decompress(with_length(16 * 60, {0, 0})));
  EXPECT_THROW(decompress(with_length(INT32_MAX, random_bytes(100, 1))), ECompressionError);
}

TEST(BadInput, a_missing_length_is_a_read_error) {
  EXPECT_THROW(decompress({}), EStreamError);
  EXPECT_THROW(decompress({5, 0, 0}), EStreamError);
}

TEST(BadInput, one_stream_cannot_be_both_input_and_output) {
  TMemoryStream stream;
  fill(stream, compress(sample_text(100, 1)));
  EXPECT_THROW(CompressStream(stream, stream), EStreamError);
  EXPECT_THROW(DecompressStream(stream, stream), EStreamError);
}

TEST(BadInput, cut_code_ends_the_output_with_a_correct_prefix) {
  const Bytes input = sample_text(20000, 8);
  const Bytes compressed = compress(input);
  for (size_t keep : {size_t{60}, compressed.size() / 2, compressed.size() - 1}) {
    const Bytes output = decompress(Bytes(compressed.begin(), compressed.begin() + keep));
    EXPECT_LT(output.size(), input.size()) << keep;
    EXPECT_TRUE(std::equal(output.begin(), output.end(), input.begin())) << keep;
  }
}

TEST(BadInput, random_code_streams_decode_to_at_most_the_recorded_length) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    const Bytes code = random_bytes(1 + seed % 50, seed);
    const int32_t length = static_cast<int32_t>(seed * 37 % (code.size() * 8 * 60 + 1));
    const Bytes output = decompress(with_length(length, code));
    EXPECT_LE(output.size(), static_cast<size_t>(length)) << seed;
  }
}

}  // namespace
}  // namespace kvell::testing
