#include "app/card_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/exception.h"
#include "tests/app/test_support.h"

namespace kestra {
namespace {

class CardFilesTest : public ::testing::Test {
 protected:
  CardState parse_card(const std::string& bytes, CardState state = {}) {
    testing::WriteFile(path_, bytes);
    ParseCardFile(path_, state);
    return state;
  }
  CardState parse_tokens(const std::string& bytes, CardState state = {}) {
    testing::WriteFile(path_, bytes);
    ParseTokenFile(path_, state);
    return state;
  }
  int32_t card_number_of(const std::string& bytes) { return parse_card(bytes).CardNumber; }
  int32_t token_count_of(const std::string& bytes) { return parse_tokens(bytes).TokenCount; }

  testing::TempDir dir_;
  std::string path_ = dir_ / "KARTICE.DAT";
};

CardState preset() {
  CardState state;
  state.CardNumber = 99;
  state.TokenCount = 7;
  state.ValidFrom = "from";
  state.ValidTo = "to";
  return state;
}

TEST_F(CardFilesTest, card_number_takes_five_characters_from_column_four_and_converts_them) {
  EXPECT_EQ(card_number_of("CC:12345\n"), 12345);
  EXPECT_EQ(card_number_of("CC:123\n"), 123);
  EXPECT_EQ(card_number_of("CC:  123\n"), 123);
  EXPECT_EQ(card_number_of("CC:123456789\n"), 12345);
  EXPECT_EQ(card_number_of("CC:$1F\n"), 31);
  EXPECT_EQ(card_number_of("CC:-0042\n"), -42);
  EXPECT_EQ(card_number_of("CC:12 34\n"), 0);
  EXPECT_EQ(card_number_of("CC:123 \n"), 0) << "trailing blanks do not convert";
}

TEST_F(CardFilesTest, an_unconvertible_card_number_falls_back_to_the_last_good_one_of_the_same_file) {
  EXPECT_EQ(card_number_of("CC:00042\nCC:ABCDE\n"), 42);
  EXPECT_EQ(parse_card("CC:ABCDE\n", preset()).CardNumber, 0) << "nothing earlier in this file converted";
  EXPECT_EQ(card_number_of("CC:00042\nCC:00043\n"), 43);
}

TEST_F(CardFilesTest, validity_dates_come_from_columns_four_and_fifteen_of_the_last_ld_line) {
  CardState state = parse_card("LD:01.01.2023-31.12.2023\nLD:01.01.2024-31.12.2024\n");
  EXPECT_EQ(state.ValidFrom, "01.01.2024");
  EXPECT_EQ(state.ValidTo, "31.12.2024");

  state = parse_card("LD:1.1.2024\n", preset());
  EXPECT_EQ(state.ValidFrom, "1.1.2024");
  EXPECT_EQ(state.ValidTo, "");

  state = parse_card("LD: 1.1.2024 | 2.2.2025 trailing\n");
  EXPECT_EQ(state.ValidFrom, " 1.1.2024 ");
  EXPECT_EQ(state.ValidTo, " 2.2.2025 ");
}

TEST_F(CardFilesTest, only_exact_upper_case_prefixes_are_recognised) {
  CardState state = parse_card("cc:12345\nld:01.01.2024-31.12.2024\n CC:00001\nXCC:00002\n", preset());
  EXPECT_EQ(state.CardNumber, 99);
  EXPECT_EQ(state.ValidFrom, "from");
  EXPECT_EQ(token_count_of("zet: 00150\nZET\n"), 0);
}

TEST_F(CardFilesTest, crlf_endings_and_non_ascii_bytes_are_handled_as_text) {
  CardState state = parse_card("CC:42\r\nLD:1.1.2024\r\n");
  EXPECT_EQ(state.CardNumber, 42);
  EXPECT_EQ(state.ValidFrom, "1.1.2024");
  EXPECT_EQ(token_count_of("ZET: 7\r\n"), 7);

  state = parse_card("LD:\x8A\xC5\xBD.1.2024-\xFF" "1.12.2024\n");
  EXPECT_EQ(state.ValidFrom, "\x8A\xC5\xBD.1.2024");
  EXPECT_EQ(state.ValidTo, "\xFF" "1.12.2024");
}

TEST_F(CardFilesTest, token_count_skips_column_five_and_an_unconvertible_value_sets_zero) {
  EXPECT_EQ(token_count_of("ZET: 00150\n"), 150);
  EXPECT_EQ(token_count_of("ZET:00150\n"), 150);
  EXPECT_EQ(parse_tokens("ZET:x\n", preset()).TokenCount, 0);
  EXPECT_EQ(token_count_of("ZET: 00005\nZET: 00006"), 6);
  EXPECT_EQ(token_count_of("ZET: 00005\nZET: 1 2\n"), 0);
}

TEST_F(CardFilesTest, missing_empty_or_unrecognised_files_change_nothing) {
  CardState state = preset();
  ParseCardFile(dir_ / "missing.dat", state);
  ParseTokenFile(dir_ / "missing.dat", state);
  ParseCardFile(dir_.Path().string(), state);
  EXPECT_EQ(state.CardNumber, 99);
  EXPECT_EQ(state.TokenCount, 7);

  state = parse_card("", preset());
  EXPECT_EQ(state.CardNumber, 99);
  EXPECT_EQ(state.ValidTo, "to");
  EXPECT_EQ(parse_tokens("nothing here\n", preset()).TokenCount, 7);
}

TEST_F(CardFilesTest, a_read_failure_after_opening_propagates_as_an_input_output_error) {
  // Reading one's own /proc/self/mem at offset 0 opens fine and then fails.
  std::filesystem::create_symlink("/proc/self/mem", dir_ / "broken.dat");
  CardState state;
  EXPECT_THROW(ParseCardFile(dir_ / "broken.dat", state), kvell::EInOutError);
  EXPECT_THROW(ParseTokenFile(dir_ / "broken.dat", state), kvell::EInOutError);
}

}  // namespace
}  // namespace kestra
