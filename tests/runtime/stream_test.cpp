#include "runtime/stream.h"

#include <gtest/gtest.h>

namespace kvell {
namespace {

TEST(MemoryStream, writes_reads_and_seeks_from_each_origin) {
  TMemoryStream stream;
  stream.WriteBuffer("hello world", 11);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(stream.Position(), 11);
  EXPECT_EQ(stream.Seek(-5, soEnd), 6);
  char buffer[5];
  stream.ReadBuffer(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(stream.Seek(-11, soCurrent), 0);
  char all[16];
  EXPECT_EQ(stream.Read(all, sizeof all), 11);
  EXPECT_EQ(std::string(all, 11), "hello world");
}

TEST(MemoryStream, short_reads_report_what_moved_and_read_buffer_raises) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  char buffer[8];
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(0);
  EXPECT_THROW(stream.ReadBuffer(buffer, 4), EStreamError);
}

TEST(MemoryStream, writing_past_the_end_fills_the_gap_with_zeros) {
  TMemoryStream stream;
  stream.SetPosition(3);
  stream.WriteBuffer("x", 1);
  EXPECT_EQ(stream.AsString(), std::string("\0\0\0x", 4));
}

TEST(MemoryStream, set_size_truncates_and_pulls_the_position_back) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_EQ(stream.AsString(), "ab");
  EXPECT_THROW(stream.SetSize(-1), EStreamError);
}

TEST(MemoryStream, copy_from_with_zero_count_copies_the_whole_source) {
  TMemoryStream source, target;
  source.WriteBuffer("0123456789", 10);
  target.WriteBuffer(">", 1);
  EXPECT_EQ(target.CopyFrom(source, 0), 10);
  EXPECT_EQ(target.AsString(), ">0123456789");
  source.SetPosition(4);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(source, 3), 3);
  EXPECT_EQ(part.AsString(), "456");
  EXPECT_THROW(part.CopyFrom(source, 10), EStreamError);
}

}  // namespace
}  // namespace kvell
