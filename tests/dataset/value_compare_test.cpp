// When a field counts as changed against the server's row and against its
// old value.
#include <gtest/gtest.h>

#include "oracle/dataset/value_compare.h"

namespace kvell {
namespace {

constexpr double kSecond = 1.0 / 86400;

TEST(ServerValueDiffers, treats_null_empty_and_blank_alike) {
  const ComparedField text{ftString, 5, 11};
  EXPECT_FALSE(ServerValueDiffers(text, Null(), Variant("   ")));
  EXPECT_FALSE(ServerValueDiffers(text, Variant(""), Null()));
  EXPECT_TRUE(ServerValueDiffers(text, Null(), Variant("x")));
  const ComparedField number{ftFloat, 4, 8};
  EXPECT_FALSE(ServerValueDiffers(number, Null(), Variant("  ")));
  EXPECT_TRUE(ServerValueDiffers(number, Variant(0.0), Null()));
  const ComparedField blob{ftOraBlob, 113, 0};
  EXPECT_FALSE(ServerValueDiffers(blob, Variant::FromBytes({}), Null()));
}

TEST(ServerValueDiffers, compares_floats_relatively) {
  const ComparedField number{ftFloat, 4, 8};
  EXPECT_FALSE(ServerValueDiffers(number, Variant(1.0), Variant(1.00000000001)));
  EXPECT_TRUE(ServerValueDiffers(number, Variant(1.0), Variant(1.000000001)));
  EXPECT_FALSE(ServerValueDiffers(number, Variant(0.0), Variant(1e-11)));
  EXPECT_TRUE(ServerValueDiffers(number, Variant(0.0), Variant(1e-9)));
  EXPECT_FALSE(ServerValueDiffers(number, Variant(-5e20), Variant(-5.00000000001e20)));
}

TEST(ServerValueDiffers, compares_dates_to_the_second_and_timestamps_to_the_millisecond) {
  const double day = 46000.5;
  const ComparedField date{ftDateTime, 12, 8};
  EXPECT_FALSE(ServerValueDiffers(date, Variant::FromDateTime(day), Variant::FromDateTime(day + kSecond / 2)));
  EXPECT_TRUE(ServerValueDiffers(date, Variant::FromDateTime(day), Variant::FromDateTime(day + 2 * kSecond)));
  for (int type : {187, 188, 232}) {
    const ComparedField stamp{ftDateTime, type, 8};
    EXPECT_TRUE(ServerValueDiffers(stamp, Variant::FromDateTime(day), Variant::FromDateTime(day + kSecond / 500)));
    EXPECT_FALSE(
        ServerValueDiffers(stamp, Variant::FromDateTime(day), Variant::FromDateTime(day + kSecond / 4000)));
  }
}

TEST(ServerValueDiffers, cuts_server_text_to_the_field_and_trims) {
  const ComparedField text{ftString, 5, 4};  // three characters
  EXPECT_FALSE(ServerValueDiffers(text, Variant("abc"), Variant("abcdef")));
  EXPECT_FALSE(ServerValueDiffers(text, Variant("ab"), Variant("ab  ")));
  EXPECT_TRUE(ServerValueDiffers(text, Variant("abd"), Variant("abc")));
  EXPECT_TRUE(ServerValueDiffers(text, Variant("Abc"), Variant("abc")));
}

TEST(ServerValueDiffers, reads_stored_binary_values_through_the_reader) {
  const ComparedField raw{ftBlob, 24, 0};
  const Variant field = Variant::FromBytes({1, 2, 3});
  const StoredBytesReader unpack = [](const std::vector<uint8_t>& stored) {
    return stored.size() == 1 && stored[0] == 9 ? std::vector<uint8_t>{1, 2, 3} : stored;
  };
  EXPECT_FALSE(ServerValueDiffers(raw, field, Variant::FromBytes({9}), unpack));
  EXPECT_TRUE(ServerValueDiffers(raw, field, Variant::FromBytes({9})));
  EXPECT_FALSE(ServerValueDiffers(raw, field, Variant::FromBytes({1, 2, 3})));
}

TEST(ServerValueDiffers, compares_other_types_as_variants) {
  const ComparedField integer{ftInteger, 3, 4};
  EXPECT_FALSE(ServerValueDiffers(integer, Variant(7), Variant(7.0)));
  EXPECT_TRUE(ServerValueDiffers(integer, Variant(7), Variant(8)));
}

// The check reads plain columns in place; it must reach the verdict the
// compare of values reaches on the same pair.
TEST(ServerValueDiffers, values_read_in_place_get_the_verdict_of_the_values) {
  const ComparedField text{ftString, 5, 6};
  const char* texts[][2] = {{"abc", "abc"}, {"abc", "abc  "}, {"abc ", "abc"}, {"abc", "abd"},
                            {"", "   "},     {"x", " "},       {"abcde", "abcdefgh"}, {"abcde", "abcdX"}};
  for (const auto& pair : texts)
    EXPECT_EQ(ServerTextDiffers(text.DataSize, pair[0], pair[1]),
              ServerValueDiffers(text, Variant(pair[0]), Variant(pair[1])))
        << "'" << pair[0] << "' against '" << pair[1] << "'";
  const ComparedField number{ftFloat, 4, 8};
  const double floats[][2] = {{1.0, 1.00000000001}, {1.0, 1.000000001}, {0.0, 1e-11}, {0.0, 1e-9}, {-3.5, -3.5}};
  for (const auto& pair : floats)
    EXPECT_EQ(ServerFloatDiffers(pair[0], pair[1]), ServerValueDiffers(number, Variant(pair[0]), Variant(pair[1])))
        << pair[0] << " against " << pair[1];
}

TEST(FieldValueChanged, counts_blank_text_as_null_and_trims_when_asked) {
  EXPECT_FALSE(FieldValueChanged(ftString, Null(), Variant("  "), true));
  EXPECT_TRUE(FieldValueChanged(ftString, Null(), Variant("x"), true));
  EXPECT_FALSE(FieldValueChanged(ftString, Variant("ab"), Variant("ab  "), true));
  EXPECT_TRUE(FieldValueChanged(ftString, Variant("ab"), Variant("ab  "), false));
  EXPECT_TRUE(FieldValueChanged(ftMemo, Variant("ab"), Variant("ac"), true));
  EXPECT_TRUE(FieldValueChanged(ftInteger, Variant(1), Null(), true));
  EXPECT_FALSE(FieldValueChanged(ftFloat, Variant(2.5), Variant(2.5), true));
  EXPECT_TRUE(FieldValueChanged(ftFloat, Variant(2.5), Variant(2.5000001), true));
}

}  // namespace
}  // namespace kvell
