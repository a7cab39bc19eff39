// Damaged compressed data: rejected lengths and short code raise, and
// arbitrary bytes never decode to anything but the recorded length.
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
  try {
    decompress(with_length(16 * 60, {0, 0}));
  } catch (const ECompressionError& error) {
    EXPECT_EQ(error.Message.find("Invalid compressed data: the code stream ends"), 0u) << "past the length check";
  }
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

// A prefix of the value would read as a shorter, wrong value.
TEST(BadInput, cut_code_raises_with_both_sizes_and_writes_nothing) {
  const Bytes input = sample_text(20000, 8);
  const Bytes compressed = compress(input);
  for (size_t keep : {size_t{60}, compressed.size() / 2, compressed.size() - 1}) {
    TMemoryStream in, out;
    fill(in, Bytes(compressed.begin(), compressed.begin() + static_cast<std::ptrdiff_t>(keep)));
    try {
      DecompressStream(in, out);
      ADD_FAILURE() << "no error for " << keep << " of " << compressed.size() << " bytes";
    } catch (const ECompressionError& error) {
      const std::string message = error.Message;
      EXPECT_NE(message.find(" of 20000 bytes"), std::string::npos) << message;
      EXPECT_EQ(message.find("Invalid compressed data: the code stream ends after "), 0u) << message;
    }
    EXPECT_EQ(out.Size(), 0) << keep;
    EXPECT_EQ(out.Position(), 0) << keep;
  }
}

TEST(BadInput, random_code_streams_decode_to_the_recorded_length_or_raise) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    const Bytes code = random_bytes(1 + seed % 50, seed);
    const int32_t length = static_cast<int32_t>(seed * 37 % (code.size() * 8 * 60 + 1));
    try {
      const Bytes output = decompress(with_length(length, code));
      EXPECT_EQ(output.size(), static_cast<size_t>(length)) << seed;
    } catch (const ECompressionError&) {
    }
  }
}

}  // namespace
}  // namespace kvell::testing
