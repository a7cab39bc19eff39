// Where the coder reads and writes: from the streams' positions on, with the
// output cut right after the code and the input left after what was read.
#include <gtest/gtest.h>

#include "compress_test_support.h"

namespace kvell::testing {
namespace {

TEST(StreamPositions, compress_reads_from_the_input_position_and_records_that_length) {
  const Bytes input = sample_text(1000, 1);
  TMemoryStream in, out;
  fill(in, input);
  in.SetPosition(400);
  CompressStream(in, out);
  EXPECT_EQ(in.Position(), 1000);
  const Bytes compressed = contents(out);
  ASSERT_GE(compressed.size(), 4u);
  EXPECT_EQ(compressed[0] | compressed[1] << 8 | compressed[2] << 16 | compressed[3] << 24, 600);
  EXPECT_EQ(decompress(compressed), Bytes(input.begin() + 400, input.end()));
  EXPECT_EQ(compressed, compress(Bytes(input.begin() + 400, input.end())));
}

TEST(StreamPositions, an_input_positioned_past_its_end_compresses_as_empty) {
  TMemoryStream in, out;
  fill(in, bytes_of("abc"));
  in.SetPosition(10);
  CompressStream(in, out);
  EXPECT_EQ(contents(out), (Bytes{0, 0, 0, 0}));
}

TEST(StreamPositions, compress_keeps_what_lies_before_and_cuts_what_lies_after) {
  const Bytes input = sample_text(5000, 2);
  const Bytes alone = compress(input);
  TMemoryStream in, out;
  fill(in, input);
  fill(out, Bytes(20000, 0xEE));  // longer than the result: the rest must go
  out.SetPosition(7);
  CompressStream(in, out);
  Bytes expected(7, 0xEE);
  expected.insert(expected.end(), alone.begin(), alone.end());
  EXPECT_EQ(contents(out), expected);
  EXPECT_EQ(out.Position(), out.Size());
}

TEST(StreamPositions, decompress_writes_at_the_output_position_and_keeps_the_prefix) {
  const Bytes input = sample_text(3000, 3);
  TMemoryStream in, out;
  fill(in, compress(input));
  fill(out, bytes_of("prefix"));
  out.Seek(0, soEnd);
  DecompressStream(in, out);
  Bytes expected = bytes_of("prefix");
  expected.insert(expected.end(), input.begin(), input.end());
  EXPECT_EQ(contents(out), expected);
  EXPECT_EQ(out.Position(), out.Size());
}

TEST(StreamPositions, decompress_stops_after_the_recorded_length_ignoring_trailing_bytes) {
  const Bytes input = sample_text(777, 4);
  const Bytes compressed = compress(input);
  Bytes padded = bytes_of("lead");
  padded.insert(padded.end(), compressed.begin(), compressed.end());
  const Bytes trailer(100, 0xA5);
  padded.insert(padded.end(), trailer.begin(), trailer.end());
  TMemoryStream in, out;
  fill(in, padded);
  in.SetPosition(4);
  DecompressStream(in, out);
  EXPECT_EQ(contents(out), input);
  // The bit reader looks ahead by at most two bytes past the code.
  const int64_t code_end = 4 + static_cast<int64_t>(compressed.size());
  EXPECT_GE(in.Position(), code_end);
  EXPECT_LE(in.Position(), code_end + 2);
}

}  // namespace
}  // namespace kvell::testing
