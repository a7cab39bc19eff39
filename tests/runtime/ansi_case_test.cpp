#include <gtest/gtest.h>

#include "runtime/ansi_case.h"

namespace kvell {
namespace {

TEST(AnsiCase, folds_latin_greek_and_cyrillic_letters) {
  EXPECT_EQ(AnsiUpperCase("čšž đć abc"), "ČŠŽ ĐĆ ABC");
  EXPECT_EQ(AnsiLowerCase("ČŠŽ ĐĆ ABC"), "čšž đć abc");
  EXPECT_EQ(AnsiUpperCase("ĺľňźżłőé àÿ"), "ĹĽŇŹŻŁŐÉ ÀŸ");
  EXPECT_EQ(AnsiLowerCase("ĹĽŇŹŻŁŐÉ ÀŸ"), "ĺľňźżłőé àÿ");
  EXPECT_EQ(AnsiUpperCase("straße ı"), "STRAßE I");
  EXPECT_EQ(AnsiUpperCase("αβγς ώ"), "ΑΒΓΣ Ώ");
  EXPECT_EQ(AnsiLowerCase("ΑΒΓΣ Ώ"), "αβγσ ώ");
  EXPECT_EQ(AnsiUpperCase("жёлтый"), "ЖЁЛТЫЙ");
  EXPECT_EQ(AnsiLowerCase("ЖЁЛТЫЙ"), "жёлтый");
  EXPECT_EQ(AnsiUpperCase("× ÷ 1 €"), "× ÷ 1 €");
}

TEST(AnsiCase, passes_bytes_that_are_not_utf8_through) {
  const std::string latin1 = "a\xe8\xff";
  EXPECT_EQ(AnsiUpperCase(latin1), "A\xe8\xff");
  EXPECT_EQ(AnsiUpperCase("\xc5"), "\xc5");          // truncated sequence
  EXPECT_EQ(AnsiUpperCase("\xc0\xa1x"), "\xc0\xa1X");  // overlong form
  EXPECT_EQ(AnsiUpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(AnsiCase, compares_without_case) {
  EXPECT_TRUE(AnsiSameText("Šola", "ŠOLA"));
  EXPECT_FALSE(AnsiSameText("Šola", "SOLA"));
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
}

TEST(AnsiCase, orders_plain_ascii_as_the_folded_texts_do) {
  const char* texts[] = {"", "a", "A", "ab", "AB", "a_b", "A_B", "aZ", "Az", "a b", "b", "_", "[", "`", "{", "a\x01"};
  for (const char* a : texts) {
    for (const char* b : texts) {
      const int expected = AnsiUpperCase(a).compare(AnsiUpperCase(b));
      const int got = AnsiCompareText(a, b);
      EXPECT_EQ(got < 0, expected < 0) << a << " against " << b;
      EXPECT_EQ(got == 0, expected == 0) << a << " against " << b;
    }
  }
  EXPECT_LT(AnsiCompareText("z", "Ž"), 0) << "one side beyond ASCII folds both";
  EXPECT_TRUE(AnsiSameText("ı", "I"));
}

}  // namespace
}  // namespace kvell
