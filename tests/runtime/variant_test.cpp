#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

// What may and may not become a Variant without an explicit conversion.
enum PlainEnum { peFirst, peSecond };
enum class ScopedEnum : int { First };
using ClientText = unsigned char;  // the client's text type

static_assert(!std::is_constructible_v<Variant, const ClientText*>, "a client text pointer is not a Boolean");
static_assert(!std::is_constructible_v<Variant, ClientText*>);
static_assert(!std::is_constructible_v<Variant, ClientText (&)[32]>, "nor is a client text buffer");
static_assert(!std::is_constructible_v<Variant, const void*>);
static_assert(!std::is_constructible_v<Variant, int*>);
static_assert(!std::is_constructible_v<Variant, const Variant*>);
static_assert(!std::is_constructible_v<Variant, std::nullptr_t>);
static_assert(!std::is_constructible_v<Variant, PlainEnum>, "an enum is not an Integer");
static_assert(!std::is_constructible_v<Variant, ScopedEnum>);
static_assert(!std::is_constructible_v<Variant, TVarType>);
static_assert(!std::is_constructible_v<Variant, char>, "a character is not an Integer");
static_assert(!std::is_constructible_v<Variant, char16_t>);
static_assert(!std::is_constructible_v<Variant, uint64_t>, "would lose the high half");
static_assert(!std::is_constructible_v<Variant, long double>);
static_assert(std::is_convertible_v<const char (&)[6], Variant>, "string literals stay strings");
static_assert(std::is_convertible_v<char*, Variant>);
static_assert(std::is_convertible_v<std::string, Variant>);
static_assert(std::is_convertible_v<bool, Variant>);
static_assert(std::is_convertible_v<int16_t, Variant>);
static_assert(std::is_convertible_v<int32_t, Variant>);
static_assert(std::is_convertible_v<uint32_t, Variant>);
static_assert(std::is_convertible_v<int64_t, Variant>);
static_assert(std::is_convertible_v<float, Variant>);

TEST(VariantConstructionTest, each_number_keeps_its_value_in_the_narrowest_kind_that_holds_it) {
  EXPECT_EQ(Variant(int16_t{-5}).VarType(), varInteger);
  EXPECT_EQ(Variant(uint8_t{200}).AsInteger(), 200);
  EXPECT_EQ(Variant(std::numeric_limits<int32_t>::min()).VarType(), varInteger);
  Variant big(uint32_t{4000000000u});
  EXPECT_EQ(big.VarType(), varInt64);
  EXPECT_EQ(big.AsInt64(), 4000000000);
  EXPECT_EQ(Variant(int64_t{1} << 40).VarType(), varInt64);
  EXPECT_EQ(Variant(1.5f).VarType(), varDouble);
  EXPECT_EQ(Variant(true).VarType(), varBoolean);
  EXPECT_EQ(Variant("text").VarType(), varString);
  char buffer[] = "buffer";
  EXPECT_EQ(Variant(buffer).AsString(), "buffer");
}

class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFormatSettings(); }
  void TearDown() override { ResetFormatSettings(); }
};

TEST_F(VariantTest, unassigned_reads_as_zero_and_empty_text_but_null_refuses_conversion) {
  Variant empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.AsInteger(), 0);
  EXPECT_EQ(empty.AsString(), "");
  Variant null = Null();
  EXPECT_EQ(null.VarType(), varNull);
  EXPECT_EQ(VarToStr(null), "");
  try {
    null.AsInteger();
    FAIL() << "null converted to an integer";
  } catch (const EVariantError& e) {
    EXPECT_EQ(e.Message, "Could not convert variant of type (Null) into type (Integer)");
  }
}

TEST_F(VariantTest, numbers_convert_with_the_host_rules) {
  EXPECT_EQ(Variant(true).AsInteger(), -1);
  EXPECT_EQ(Variant(2.5).AsInteger(), 2) << "ties round to even";
  EXPECT_EQ(Variant(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant("42").AsInteger(), 42);
  EXPECT_DOUBLE_EQ(Variant("1.25").AsDouble(), 1.25);
  EXPECT_THROW(Variant("abc").AsDouble(), EVariantError);
  EXPECT_THROW(Variant(int64_t{1} << 40).AsInteger(), EVariantError);
  EXPECT_TRUE(Variant("TRUE").AsBoolean());
  EXPECT_FALSE(Variant("0").AsBoolean());
}

TEST_F(VariantTest, text_follows_the_locale) {
  EXPECT_EQ(Variant(1.5).AsString(), "1.5");
  EXPECT_EQ(Variant(100.0).AsString(), "100");
  EXPECT_EQ(Variant(1e20).AsString(), "1E20");
  EXPECT_EQ(Variant(1.0 / 3).AsString(), "0.333333333333333");
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(Variant(1.5).AsString(), "1,5");
  EXPECT_DOUBLE_EQ(Variant("2,25").AsDouble(), 2.25);
  EXPECT_EQ(Variant(true).AsString(), "True");
}

TEST_F(VariantTest, dates_read_and_write_in_the_short_date_format) {
  TDateTime day = EncodeDate(2024, 3, 7);
  EXPECT_EQ(Variant::FromDateTime(day).AsString(), "7.3.2024");
  EXPECT_EQ(Variant::FromDateTime(day + EncodeTime(8, 5, 9, 0)).AsString(), "7.3.2024 08:05:09");
  EXPECT_DOUBLE_EQ(Variant("7.3.2024").AsDateTime(), day);
  EXPECT_DOUBLE_EQ(Variant("7.3.2024 08:05").AsDateTime(), day + EncodeTime(8, 5, 0, 0));
  EXPECT_THROW(Variant("31.2.2024").AsDateTime(), EVariantError);
}

TEST_F(VariantTest, equality_is_loose_about_types_but_strict_about_null) {
  EXPECT_TRUE(Null() == Null());
  EXPECT_FALSE(Null() == Variant(0));
  EXPECT_TRUE(Variant(5) == Variant(5.0));
  EXPECT_TRUE(Variant("5") == Variant(5));
  EXPECT_FALSE(Variant("a") == Variant("A"));
  EXPECT_TRUE(VarArrayOf({1, "x"}) == VarArrayOf({1, "x"}));
}

TEST_F(VariantTest, arrays_index_from_their_low_bound) {
  Variant array = Variant::FromArray({10, 20, 30}, 1);
  EXPECT_EQ(array.ArrayLowBound(), 1);
  EXPECT_EQ(array.ArrayHighBound(), 3);
  EXPECT_EQ(array[3].AsInteger(), 30);
  array[1] = "changed";
  EXPECT_EQ(array[1].AsString(), "changed");
  EXPECT_THROW(array[0], EVariantError);
  EXPECT_THROW(Variant(1).ArrayHighBound(), EVariantError);
  Variant bytes = Variant::FromBytes({1, 2, 3});
  EXPECT_EQ(bytes.VarType(), varArray | varByte);
  EXPECT_EQ(bytes.AsBytes().size(), 3u);
}

TEST_F(VariantTest, a_text_value_owns_its_copy_of_the_text_whatever_its_length) {
  std::string source = "short";
  const std::string long_text(100, 'x');
  Variant short_value = Variant::FromText(source);
  Variant long_value = Variant::FromText(long_text);
  source[0] = 'S';
  EXPECT_EQ(short_value.AsString(), "short") << "the text is copied, not referred to";
  EXPECT_TRUE(Variant::FromText("").IsString()) << "empty text is a String, not unassigned";
  EXPECT_EQ(Variant::FromText(std::string_view("a\0b", 3)).AsString().size(), 3u);

  Variant copy = short_value;
  copy = Variant::FromText("changed");
  EXPECT_EQ(short_value.AsString(), "short");
  Variant moved_short = std::move(short_value);
  Variant moved_long = std::move(long_value);
  EXPECT_EQ(moved_short.AsString(), "short");
  EXPECT_EQ(moved_long.AsString(), long_text);
  moved_short = moved_long;
  moved_long = Variant(1);
  EXPECT_EQ(moved_short.AsString(), long_text);
  EXPECT_EQ(moved_short.VarType(), varString);
}

}  // namespace
}  // namespace kvell
