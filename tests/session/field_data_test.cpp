// The scan of a text define's row, against the plain byte-by-byte reading:
// every terminator position, every line-break position on either side of
// it, and rows with no terminator, at sizes on and off the word boundary.
#include "oracle/session/field_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace kvell::testing {
namespace {

TRowText plain_scan(const std::vector<uint8_t>& row) {
  const auto* text = reinterpret_cast<const char*>(row.data());
  const void* end = row.empty() ? nullptr : std::memchr(text, 0, row.size());  // memchr wants a real pointer
  const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - text) : row.size();
  const std::string_view value(text, length);
  return {value, value.find_first_of("\r\n") != std::string_view::npos};
}

void expect_same_scan(const std::vector<uint8_t>& row, const char* what) {
  const TRowText expected = plain_scan(row);
  const TRowText scanned = ScanRowText(row.data(), row.size());
  ASSERT_EQ(scanned.Text.data(), expected.Text.data()) << what;
  ASSERT_EQ(scanned.Text.size(), expected.Text.size()) << what << " size " << row.size();
  ASSERT_EQ(scanned.LineBreak, expected.LineBreak) << what << " size " << row.size();
}

TEST(ScanRowText, finds_the_terminator_and_only_the_line_breaks_before_it) {
  for (size_t size : {0u, 1u, 7u, 8u, 9u, 16u, 23u, 31u}) {
    for (size_t terminator = 0; terminator <= size; ++terminator) {  // == size: none
      for (size_t mark = 0; mark <= size; ++mark) {  // == size: no line break
        for (uint8_t line_break : {uint8_t{'\n'}, uint8_t{'\r'}}) {
          std::vector<uint8_t> row(size, 'a');
          if (mark < size) row[mark] = line_break;
          if (terminator < size) row[terminator] = 0;
          expect_same_scan(row, "one mark");
        }
      }
    }
  }
}

TEST(ScanRowText, bytes_next_to_the_marks_do_not_count_as_them) {
  // 0x0B/0x0C/0x0E and 0x8A/0x8D differ from LF and CR by one bit; 0x01 and
  // 0x80 sit next to the terminator; after the NUL lies the previous row's rest.
  std::vector<uint8_t> row = {'x', 0x0B, 0x0C, 0x0E, 0x8A, 0x8D, 0x01, 0x80, 0x09, 0xFF, 0};
  expect_same_scan(row, "neighbours");
  row.insert(row.end(), {'\n', 'y', '\r', 0, 'z', 'z'});
  expect_same_scan(row, "marks after the terminator");
  row[3] = '\r';
  expect_same_scan(row, "a mark in the first word");
}

}  // namespace
}  // namespace kvell::testing
