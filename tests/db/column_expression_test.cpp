#include <gtest/gtest.h>

#include "oracle/filter/column_expression.h"
#include "oracle/filter/parser.h"
#include "runtime/format_settings.h"
#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::ids_forward;

// ID, NAME, SAL (nullable), HIRED (date), ACTIVE (Boolean), filtered by text.
class ColumnExpressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFormatSettings();
    ds.FieldDefs().Add("ID", ftInteger);
    ds.FieldDefs().Add("NAME", ftString, 10);
    ds.FieldDefs().Add("SAL", ftFloat);
    ds.FieldDefs().Add("HIRED", ftDate);
    ds.FieldDefs().Add("ACTIVE", ftBoolean);
    ds.FilterCompiler = ExpressionFilterCompiler();
    ds.Open();
    add(1, "SMITH", 800, EncodeDate(2020, 1, 15), true);
    add(2, "SM", Null(), EncodeDate(2021, 6, 1), false);
    add(3, "smith", 1500, EncodeDate(2019, 3, 3), true);
    add(4, "SM*", 3000, EncodeDate(2022, 12, 31), false);
    add(5, "ABC", 5, EncodeDate(2020, 1, 14), true);
  }
  void add(int id, const char* name, const Variant& sal, TDateTime hired, bool active) {
    ds.AppendRecord({id, name, sal, Variant::FromDateTime(hired), active});
  }
  std::vector<int> filter(const std::string& text, TFilterOptions options = {}) {
    ds.SetFiltered(false);
    ds.SetFilterText(text);
    ds.SetFilterOptions(options);
    ds.SetFiltered(true);
    return ids_forward(ds);
  }
  void TearDown() override { ResetFormatSettings(); }

  TMemoryDataSet ds{nullptr};
};

TEST_F(ColumnExpressionTest, wildcards_and_case_follow_the_filter_options) {
  EXPECT_EQ(filter("NAME = 'SM*'"), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(filter("NAME = 'SM*'", {foCaseInsensitive}), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(filter("NAME = 'SM*'", {foNoPartialCompare}), (std::vector<int>{4}));
  EXPECT_EQ(filter("NAME <> 'S*'"), (std::vector<int>{3, 5}));
  EXPECT_EQ(filter("name > 'SM*'"), (std::vector<int>{1, 3})) << "ordering ignores wildcards; names fold to upper";
}

TEST_F(ColumnExpressionTest, a_null_column_meets_NULL_and_numbers_as_the_rules_say) {
  EXPECT_EQ(filter("SAL = NULL"), (std::vector<int>{2}));
  EXPECT_EQ(filter("SAL <> NULL"), (std::vector<int>{1, 3, 4, 5}));
  EXPECT_EQ(filter("SAL <> 5"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(filter("(SAL < 1000) OR (SAL > 1000)"), (std::vector<int>{1, 3, 4, 5}));
}

TEST_F(ColumnExpressionTest, column_types_decide_how_values_compare) {
  EXPECT_EQ(filter("ACTIVE"), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(filter("HIRED > '14.1.2020'"), (std::vector<int>{1, 2, 4})) << "a date column compares as dates";
  EXPECT_EQ(filter("ID DIV 2 = 1"), (std::vector<int>{2, 3}));
  EXPECT_EQ(filter("IF(SAL > 1000, 'high', 'low') = 'high'"), (std::vector<int>{3, 4}));
  TColumnExpression hired(&ds, "HIRED"), name(&ds, "NAME"), null(&ds, "NULL"), id(&ds, "ID");
  EXPECT_EQ(hired.ExprType(), etDate);
  EXPECT_EQ(name.ExprType(), etString);
  EXPECT_EQ(id.ExprType(), etInteger);
  EXPECT_EQ(null.ExprType(), etString);
  EXPECT_TRUE(null.IsNull());
  ds.SetFiltered(false);
  ds.First();
  EXPECT_DOUBLE_EQ(hired.AsFloat(), EncodeDate(2020, 1, 15)) << "a date column reads as its date value";
}

TEST_F(ColumnExpressionTest, evaluation_errors_reach_the_caller) {
  try {
    filter("NOPE = 1");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Field 'NOPE' not found");
  }
  EXPECT_THROW(filter("SAL + 1"), EExpression);
  EXPECT_THROW(ds.SetFilterText("ID = ("), EExpression) << "a parse error comes from the setter";
}

TEST_F(ColumnExpressionTest, an_empty_text_accepts_everything) {
  EXPECT_EQ(filter(""), (std::vector<int>{1, 2, 3, 4, 5}));
  TGetColumnExpression resolve = ColumnResolver(ds);
  TExpressionPtr node = resolve("ID", std::make_unique<TParameterList>());
  ASSERT_NE(dynamic_cast<TColumnExpression*>(node.get()), nullptr) << "every name is a column; arguments are dropped";
}

}  // namespace
}  // namespace kvell
