// Finding bind references and removing comments in SQL text.
#include <gtest/gtest.h>

#include "oracle/session/sql_scan.h"

namespace kvell {
namespace {

std::string names_of(const std::vector<ScannedVariable>& found) {
  std::string text;
  for (const auto& v : found) text += v.Name + "@" + std::to_string(v.Position) + " ";
  return text;
}

TEST(ScanVariables, quotes_and_comments_hide_names_and_duplicates_are_optional) {
  const char* sql = "select :a, ':b', :A from t -- :c";
  EXPECT_EQ(names_of(ScanVariables(sql, false)), "A@8 ");
  EXPECT_EQ(names_of(ScanVariables(sql, true)), "A@8 A@18 ");
}

TEST(ScanVariables, a_name_ends_at_the_first_other_character_which_is_not_examined) {
  EXPECT_EQ(names_of(ScanVariables(":a:b", false)), "A@1 ");
  EXPECT_EQ(names_of(ScanVariables("begin x := 1; end;", false)), "");
  EXPECT_EQ(names_of(ScanVariables("x=:n_1#$ + :Zz", false)), "N_1#$@3 ZZ@12 ");
  EXPECT_EQ(ScanVariables("x=:n_1#$", false)[0].Length, 5);
}

TEST(ScanVariables, block_comments_end_at_star_slash_and_line_comments_at_crlf) {
  EXPECT_EQ(names_of(ScanVariables("/* :x */ :y /*/ :z */ :w", false)), "Y@10 W@23 ");
  EXPECT_EQ(names_of(ScanVariables("-- :x\r\n:y -- :z\n:w", false)), "Y@8 ");
  EXPECT_EQ(names_of(ScanVariables("a - :b / :c", false)), "B@5 C@10 ");
  EXPECT_EQ(names_of(ScanVariables("\"a:b\" :c", false)), "B@3 C@7 ");  // double quotes mean nothing
}

// "*/*" closes one comment and multiplies; it must not open another.
TEST(ScanVariables, the_text_after_a_block_comment_is_read_from_the_character_after_its_terminator) {
  EXPECT_EQ(names_of(ScanVariables("select /*+ rule */* from :tab", false)), "TAB@26 ");
  EXPECT_EQ(names_of(ScanVariables("/* x */* :c", false)), "C@10 ");
  EXPECT_EQ(names_of(ScanVariables("/**/:a", false)), "A@5 ");
  EXPECT_EQ(names_of(ScanVariables("-- x\r\n-- y\r\n:a", false)), "A@13 ");
}

// A quote or comment right after a name still opens; only a ':' there is passed over.
TEST(ScanVariables, a_quote_or_comment_that_ends_a_name_is_still_opened) {
  EXPECT_EQ(names_of(ScanVariables("where a = :a-- it's\r\nand b = :b", true)), "A@11 B@30 ");
  EXPECT_EQ(names_of(ScanVariables("where a = :a/* :x */and b = :b", true)), "A@11 B@29 ");
  EXPECT_EQ(names_of(ScanVariables("values (:a':x')", true)), "A@9 ");
}

TEST(ScanVariables, bytes_above_127_belong_to_names) {
  const auto found = ScanVariables("select :šifra from t", false);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Name, "ŠIFRA");
  EXPECT_EQ(found[0].Length, 6);
}

TEST(StripComments, comments_go_quoted_text_stays_and_hints_may_stay) {
  EXPECT_EQ(StripComments("  select /* c */ a -- tail\r\nfrom t  ", false), "select  a from t");
  EXPECT_EQ(StripComments("select '/* not */ -- kept' from t", false), "select '/* not */ -- kept' from t");
  EXPECT_EQ(StripComments("select /*+ index(t) */ a from t", true), "select /*+ index(t) */ a from t");
  EXPECT_EQ(StripComments("select /*+ index(t) */ a from t", false), "select  a from t");
  EXPECT_EQ(StripComments("select a /* open", false), "select a");
  EXPECT_EQ(StripComments("/*/ x */y", false), "y");
  EXPECT_EQ(StripComments("select /* c */* from t", false), "select * from t");
  EXPECT_EQ(StripComments("select /*+ rule */* from t", true), "select /*+ rule */* from t");
  EXPECT_EQ(StripComments("a -- x\r\n-- y\r\nb", false), "a b");
}

TEST(SplitSql, cuts_the_text_into_code_literals_and_comments_without_gaps) {
  const std::string sql = "a 'b' /*+ c */* -- d\r\ne '";
  std::string kinds;
  for (const SqlSpan& span : SplitSql(sql)) {
    kinds += span.Kind == SqlSpanKind::Code ? "C" : span.Kind == SqlSpanKind::Quoted ? "Q" : span.Hint ? "H" : "R";
    kinds += "[" + sql.substr(span.Begin, span.End - span.Begin) + "]";
  }
  EXPECT_EQ(kinds, "C[a ]Q['b']C[ ]H[/*+ c */]C[* ]R[-- d\r\n]C[e ]Q[']");
  EXPECT_TRUE(SplitSql("").empty());
}

TEST(LineBreaks, text_out_gets_crlf_and_text_in_loses_its_crs) {
  EXPECT_EQ(NormalizeLineBreaks("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(NormalizeLineBreaks("plain"), "plain");
  EXPECT_EQ(RemoveCarriageReturns("a\r\nb\r"), "a\nb");
}

}  // namespace
}  // namespace kvell
