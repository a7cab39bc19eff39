#include "runtime/text_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "runtime/exception.h"

namespace kvell {
namespace {

class TextFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary) << bytes;
    return path_.string();
  }
  std::vector<std::string> read_all(const std::string& bytes) {
    TextFileReader reader(write(bytes));
    EXPECT_TRUE(reader.IsOpen());
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    reader.Close();
    return lines;
  }
  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_ =
      std::filesystem::temp_directory_path() / ("kvell_text_" + std::to_string(::getpid()) + ".txt");
};

using Lines = std::vector<std::string>;

TEST_F(TextFileTest, splits_at_lf_and_crlf_and_keeps_an_unterminated_last_line) {
  EXPECT_EQ(read_all("a\nb\r\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(read_all("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(read_all(""), Lines{});
}

TEST_F(TextFileTest, keeps_bytes_unchanged_including_non_ascii_and_blanks) {
  EXPECT_EQ(read_all(" x \xC5\xA0\x8A\xFF \n"), (Lines{" x \xC5\xA0\x8A\xFF "}));
}

TEST_F(TextFileTest, a_missing_file_is_not_open_and_reads_nothing) {
  TextFileReader reader("/nonexistent/dir/file.dat");
  EXPECT_FALSE(reader.IsOpen());
  std::string line;
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_NO_THROW(reader.Close());
}

TEST_F(TextFileTest, a_read_failure_after_opening_raises_an_input_output_error) {
  // A directory opens for reading on Linux but every read fails with EISDIR.
  TextFileReader reader(std::filesystem::temp_directory_path().string());
  ASSERT_TRUE(reader.IsOpen());
  std::string line;
  EXPECT_THROW(reader.ReadLine(line), EInOutError);
}

}  // namespace
}  // namespace kvell
