// Evaluation: readings and conversions per node type, result types,
// comparisons with nulls, wildcards and options, functions and arithmetic
// faults, all over an in-memory record.
#include <gtest/gtest.h>

#include <cmath>

#include "oracle/filter/oracle_filter.h"
#include "runtime/datetime.h"
#include "runtime/format_settings.h"
#include "tests/filter/record_columns.h"

namespace kvell {
namespace {

using testing::Boolean;
using testing::Integer;
using testing::Null;
using testing::Number;
using testing::Record;
using testing::RecordTable;
using testing::Text;

class FilterEvaluation : public ::testing::Test {
 protected:
  FilterEvaluation()
      : table_({{"NAME", etString}, {"SAL", etFloat}, {"DEPTNO", etInteger}, {"ACTIVE", etBoolean},
                {"HIRED", etDate}, {"X", etInteger}}) {}

  void SetUp() override {
    ResetFormatSettings();
    use({Text("SMITH"), Number(1500), Integer(10), Boolean(true), Number(EncodeDate(2026, 12, 8)), Null()});
  }
  void TearDown() override { ResetFormatSettings(); }

  void use(Record record) {
    record_ = std::move(record);
    table_.SetCurrent(record_);
  }

  TExpressionPtr parse(const std::string& text, TFilterOptions options = {}) {
    return ParseFilterExpression(text, options, table_.Resolver());
  }

  bool accepts(const std::string& filter, TFilterOptions options = {}) { return parse(filter, options)->AsBoolean(); }
  std::string text_of(const std::string& expression) { return parse(expression)->AsString(); }
  double float_of(const std::string& expression) { return parse(expression)->AsFloat(); }
  int32_t integer_of(const std::string& expression) { return parse(expression)->AsInteger(); }
  TExprType type_of(const std::string& expression) { return parse(expression)->ExprType(); }

  // The message of the error that reading expression with read raises.
  template <typename Read>
  std::string error_of(const std::string& expression, Read read) {
    try {
      read(*parse(expression));
    } catch (const Exception& e) {
      return e.Message;
    }
    return "no error";
  }
  std::string boolean_error(const std::string& filter) {
    return error_of(filter, [](const TExpression& e) { e.AsBoolean(); });
  }

  RecordTable table_;
  Record record_;
};

// Each literal read every way: the value, or the base rules' error.
TEST_F(FilterEvaluation, literals_follow_the_base_reading_rules) {
  auto all_readings = [&](const std::string& literal) {
    TExpressionPtr node = parse(literal);
    std::string result;
    auto add = [&](auto read) {
      try {
        result += read();
      } catch (const Exception& e) {
        result += "<" + e.Message + ">";
      }
      result += "|";
    };
    add([&] { return std::to_string(node->AsDate()); });
    add([&] { return node->AsString(); });
    add([&] { return std::to_string(node->AsFloat()); });
    add([&] { return std::to_string(node->AsInteger()); });
    add([&] { return std::to_string(node->AsBoolean()); });
    return result;
  };
  EXPECT_EQ(all_readings("'2.1.1900'"),
            "3.000000|2.1.1900|<Cannot read String as Float>|<Cannot read String as integer>|"
            "<Cannot read String as boolean>|");
  EXPECT_EQ(all_readings("2.5"),
            "2.500000|2.5|2.500000|<Cannot read Float as integer>|<Cannot read Float as boolean>|");
  EXPECT_EQ(all_readings("7"), "7.000000|7|7.000000|7|<Cannot read Integer as boolean>|");
  EXPECT_EQ(all_readings("TRUE"), "1.000000|TRUE|1.000000|1|1|");
  EXPECT_EQ(all_readings("DATE(1.5)"),
            "1.500000|1.5|1.500000|<Cannot read Float as integer>|<Cannot read Float as boolean>|");
  EXPECT_EQ(all_readings("DATE(1.5) + 0"),
            "1.500000|31.12.1899 12:00:00|1.500000|0|<Internal parser error. Code 13>|");
  EXPECT_EQ(error_of("'no date'", [](const TExpression& e) { e.AsDate(); }),
            "'no date' is not a valid date and time");
}

TEST_F(FilterEvaluation, operators_yield_the_types_of_the_result_table) {
  EXPECT_EQ(text_of("'No ' + 5"), "No 5");
  EXPECT_EQ(type_of("7 / 2"), etFloat);
  EXPECT_EQ(float_of("7 / 2"), 3.5);
  EXPECT_EQ(integer_of("7 DIV 2"), 3);
  EXPECT_EQ(integer_of("-7 MOD 2"), -1);
  EXPECT_EQ(integer_of("1 SHL 33"), 2);
  EXPECT_EQ(integer_of("-1 SHR 28"), 15);
  EXPECT_EQ(integer_of("6 AND 3"), 2);
  EXPECT_EQ(integer_of("6 OR 3 XOR 1"), 6);
  EXPECT_EQ(integer_of("NOT 5"), -6);
  EXPECT_EQ(integer_of("TRUE AND 3"), 1);  // an integer AND, bitwise
  EXPECT_EQ(integer_of("NOT FALSE"), 1);
  EXPECT_EQ(type_of("HIRED + 1"), etDate);
  EXPECT_EQ(text_of("HIRED + 1"), "9.12.2026");
  EXPECT_EQ(type_of("HIRED - HIRED"), etDate);
  EXPECT_EQ(float_of("HIRED - (HIRED - 0.25)"), 0.25);
  EXPECT_EQ(text_of("1.5 * 2 + 0.25"), "3.25");
  EXPECT_EQ(text_of("0.1 + 0.2"), "0.3");
  EXPECT_EQ(text_of("(1 = 1) XOR FALSE"), "TRUE");
  EXPECT_EQ(integer_of("2147483647 + 1"), INT32_MIN);  // wraps around
  EXPECT_EQ(integer_of("(-2147483647 - 1) DIV -1"), INT32_MIN);
  EXPECT_EQ(integer_of("(-2147483647 - 1) MOD -1"), 0);
}

TEST_F(FilterEvaluation, incompatible_operands_are_reported_with_operator_and_type) {
  EXPECT_EQ(error_of("'a' - 'b'", [](const TExpression& e) { e.ExprType(); }),
            "Operator opMinus incompatible with String");
  EXPECT_EQ(error_of("TRUE + TRUE", [](const TExpression& e) { e.ExprType(); }),
            "Operator opPlus incompatible with Boolean");
  EXPECT_EQ(error_of("HIRED * 2", [](const TExpression& e) { e.ExprType(); }),
            "Operator opMult incompatible with Date");
  EXPECT_EQ(error_of("1.5 DIV 2", [](const TExpression& e) { e.AsInteger(); }),
            "Operator opDiv incompatible with Float");
}

TEST_F(FilterEvaluation, unary_signs_keep_dates_and_strings_readable) {
  EXPECT_EQ(text_of("+'abc'"), "abc");
  EXPECT_EQ(parse("-DATE(2)")->AsDate(), -2);
  EXPECT_EQ(text_of("+HIRED"), "8.12.2026");
  EXPECT_EQ(float_of("-SAL"), -1500);
  EXPECT_EQ(integer_of("-(-2147483647 - 1)"), INT32_MIN);
}

TEST_F(FilterEvaluation, operator_readings_outside_their_operator_raise_internal_errors) {
  EXPECT_EQ(boolean_error("SAL + 1"), "Internal parser error. Code 13");
  EXPECT_EQ(text_of("NOT ACTIVE"), "FALSE");
  EXPECT_EQ(integer_of("NOT ACTIVE"), 0);
  TUnaryOp not_date(opNot, std::make_unique<TTypeCast>(nullptr, etDate));
  EXPECT_EQ(error_of("1", [&](const TExpression&) { not_date.AsInteger(); }), "Internal parser error. Code 6");
}

TEST_F(FilterEvaluation, filters_accept_true_records_and_reject_non_boolean_roots) {
  EXPECT_TRUE(accepts("ACTIVE"));
  use({Text("JONES"), Number(900), Integer(20), Boolean(false), Number(0), Null()});
  EXPECT_FALSE(accepts("ACTIVE"));
  EXPECT_EQ(boolean_error("1"), "Cannot read Integer as boolean");
  EXPECT_EQ(boolean_error("'x'"), "Cannot read String as boolean");
}

TEST_F(FilterEvaluation, and_or_skip_the_right_operand_once_decided) {
  use({Text("SMITH"), Number(-5), Integer(10), Boolean(true), Number(0), Null()});
  EXPECT_FALSE(accepts("(SAL > 0) AND (1 / 0 > 0)"));
  EXPECT_TRUE(accepts("(SAL < 0) OR (1 / 0 > 0)"));
  EXPECT_EQ(boolean_error("(SAL < 0) AND (1 / 0 > 0)"), "Floating point division by zero");
  EXPECT_EQ(boolean_error("(SAL < 0) XOR (1 / 0 > 0)"), "Floating point division by zero");
}

TEST_F(FilterEvaluation, wildcards_apply_to_equality_with_partial_compare) {
  const TFilterOptions insensitive{foCaseInsensitive};
  const TFilterOptions exact{foNoPartialCompare};
  for (const char* name : {"SMITH", "SM"}) {
    use({Text(name), Null(), Null(), Null(), Null(), Null()});
    EXPECT_TRUE(accepts("NAME = 'SM*'")) << name;
    EXPECT_FALSE(accepts("NAME = 'SM*'", exact)) << name;
  }
  use({Text("smith"), Null(), Null(), Null(), Null(), Null()});
  EXPECT_FALSE(accepts("NAME = 'SM*'"));
  EXPECT_TRUE(accepts("NAME = 'SM*'", insensitive));
  EXPECT_TRUE(accepts("NAME <> 'SM*'"));
  use({Text("SM*"), Null(), Null(), Null(), Null(), Null()});
  EXPECT_TRUE(accepts("NAME = 'SM*'", exact));
  EXPECT_TRUE(accepts("NAME > 'SM'"));     // ordering ignores wildcards
  EXPECT_FALSE(accepts("NAME > 'SM*'"));
  EXPECT_TRUE(accepts("NAME >= 'SM*'"));
  use({Text("ABC"), Null(), Null(), Null(), Null(), Null()});
  EXPECT_TRUE(accepts("NAME = 'A?C'"));
  EXPECT_FALSE(accepts("NAME <> 'A*'"));
  use({Text("AC"), Null(), Null(), Null(), Null(), Null()});
  EXPECT_FALSE(accepts("NAME = 'A?C'"));
}

TEST_F(FilterEvaluation, case_folding_covers_non_ascii_letters) {
  use({Text("ŠKODA"), Null(), Null(), Null(), Null(), Null()});
  EXPECT_TRUE(accepts("NAME = 'škoda'", {foCaseInsensitive}));
  EXPECT_FALSE(accepts("NAME = 'škoda'"));
  EXPECT_FALSE(accepts("NAME = 'šK*'", {foCaseInsensitive, foNoPartialCompare}));
  EXPECT_TRUE(accepts("NAME = 'šK*'", {foCaseInsensitive}));
}

TEST_F(FilterEvaluation, string_ordering_is_bytewise_with_significant_blanks) {
  EXPECT_TRUE(accepts("'ab' < 'abc'"));
  EXPECT_TRUE(accepts("'ab ' > 'ab'"));
  EXPECT_TRUE(accepts("'Z' < 'a'"));
  EXPECT_TRUE(accepts("'z' < 'ž'"));  // high bytes order after ASCII
  EXPECT_FALSE(accepts("'ab ' = 'ab'"));
}

TEST(WildcardMatch, stars_and_question_marks) {
  EXPECT_TRUE(WildcardMatch("A**", "AB"));
  EXPECT_FALSE(WildcardMatch("A**", "A"));
  EXPECT_TRUE(WildcardMatch("*", ""));
  EXPECT_TRUE(WildcardMatch("", ""));
  EXPECT_FALSE(WildcardMatch("", "A"));
  EXPECT_TRUE(WildcardMatch("A*B", "AB"));
  EXPECT_FALSE(WildcardMatch("A*B", "A"));
  EXPECT_TRUE(WildcardMatch("A*B", "AXB"));
  EXPECT_TRUE(WildcardMatch("*B*D", "ABCD"));
  EXPECT_FALSE(WildcardMatch("*B*D", "ABCDE"));
  EXPECT_TRUE(WildcardMatch("?*?", "ab"));
  EXPECT_FALSE(WildcardMatch("??", "a"));
}

TEST(WildcardMatch, many_stars_against_a_long_text_finish_quickly) {
  std::string pattern;
  for (int i = 0; i < 40; ++i) pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(WildcardMatch(pattern, std::string(2000, 'a')));
  EXPECT_TRUE(WildcardMatch(pattern, std::string(2000, 'a') + "bb"));
}

TEST_F(FilterEvaluation, null_operands_decide_comparisons_without_reading_values) {
  EXPECT_TRUE(accepts("X = NULL"));
  EXPECT_FALSE(accepts("X <> NULL"));
  EXPECT_TRUE(accepts("X <> 5"));
  EXPECT_FALSE(accepts("X = 5"));
  EXPECT_FALSE(accepts("X < 5"));
  EXPECT_FALSE(accepts("X > 5"));
  EXPECT_FALSE(accepts("X >= NULL"));
  EXPECT_FALSE(accepts("DEPTNO = NULL"));
  EXPECT_TRUE(accepts("DEPTNO <> NULL"));
  EXPECT_TRUE(accepts("NULL = X"));
}

TEST_F(FilterEvaluation, comparisons_use_the_lower_operand_type) {
  EXPECT_TRUE(accepts("SAL > 1000"));
  EXPECT_TRUE(accepts("DEPTNO = 10.0"));
  EXPECT_TRUE(accepts("DEPTNO = '10'"));  // compared as text
  EXPECT_TRUE(accepts("HIRED = '8.12.2026'"));
  EXPECT_TRUE(accepts("HIRED > '30.11.2026'"));  // as dates, not as text
  EXPECT_TRUE(accepts("HIRED < 50000"));
  EXPECT_TRUE(accepts("TRUE = (1 = 1)"));
  EXPECT_TRUE(accepts("TRUE <> FALSE"));
  EXPECT_EQ(boolean_error("TRUE < FALSE"), "cannot apply opLT to boolean operands");
  EXPECT_EQ(boolean_error("HIRED = 'soon'"), "'soon' is not a valid date and time");
}

TEST_F(FilterEvaluation, string_functions) {
  EXPECT_EQ(text_of("UPPER('abč')"), "ABč");  // ASCII only
  EXPECT_EQ(text_of("LOWER('ABČ')"), "abČ");
  EXPECT_EQ(text_of("UPPER(12)"), "12");
  EXPECT_EQ(text_of("COPY('abcdef', 0, 3)"), "abc");
  EXPECT_EQ(text_of("COPY('abcdef', 5, 10)"), "ef");
  EXPECT_EQ(text_of("COPY('abcdef', 7, 1)"), "");
  EXPECT_EQ(text_of("COPY('abcdef', 2, -1)"), "");
  EXPECT_EQ(text_of("COPY('abcdef', TRUE, 2)"), "ab");
  EXPECT_EQ(integer_of("POS('cd', 'abcdef')"), 3);
  EXPECT_EQ(integer_of("POS('x', 'abcdef')"), 0);
  EXPECT_EQ(integer_of("POS('', 'abcdef')"), 0);
  EXPECT_EQ(integer_of("LENGTH(NAME)"), 5);
  EXPECT_EQ(text_of("LENGTH('abc')"), "3");
  EXPECT_TRUE(accepts("UPPER(NAME) = 'SMITH'"));
  auto as_string = [](const TExpression& e) { e.AsString(); };
  EXPECT_EQ(error_of("UPPER('abc', 'd')", as_string), "Invalid parameter to UPPER");
  EXPECT_EQ(error_of("UPPER", as_string), "Invalid parameter to UPPER");
  EXPECT_EQ(error_of("LOWER(HIRED)", as_string), "Invalid parameter to LOWER");
  EXPECT_EQ(error_of("COPY('abc', 1.5, 1)", as_string), "Invalid parameter to COPY");
  EXPECT_EQ(error_of("POS('a')", as_string), "Invalid parameter to POS");
  EXPECT_EQ(error_of("UPPER('a')", [](const TExpression& e) { e.AsInteger(); }), "Cannot read String as integer");
}

TEST_F(FilterEvaluation, math_functions) {
  EXPECT_EQ(integer_of("TRUNC(-2.7)"), -2);
  EXPECT_EQ(integer_of("ROUND(2.5)"), 2);
  EXPECT_EQ(integer_of("ROUND(3.5)"), 4);
  EXPECT_EQ(integer_of("ROUND(-2.5)"), -2);
  EXPECT_EQ(integer_of("TRUNC(1E10)"), 1410065408);  // low 32 bits of 10^10
  EXPECT_EQ(float_of("TRUNC(7.9)"), 7);
  EXPECT_EQ(type_of("ROUND(1)"), etInteger);
  EXPECT_EQ(float_of("ABS(-2.5)"), 2.5);
  EXPECT_EQ(integer_of("ABS(-3)"), 3);
  EXPECT_EQ(float_of("FRAC(-2.75)"), -0.75);
  EXPECT_EQ(float_of("INT(-2.75)"), -2);
  EXPECT_EQ(float_of("SQR(3)"), 9);
  EXPECT_EQ(float_of("SQRT(16)"), 4);
  EXPECT_EQ(float_of("PI"), 3.141592653589793);
  EXPECT_EQ(float_of("PI(1, 'x')"), 3.141592653589793);
  EXPECT_NEAR(float_of("POWER(2, 10)"), 1024, 1e-9);
  EXPECT_NEAR(float_of("EXP(LN(5))"), 5, 1e-12);
  EXPECT_NEAR(float_of("ARCTAN(1) * 4"), 3.141592653589793, 1e-15);
  EXPECT_NEAR(float_of("COS(0) + SIN(0)"), 1, 0);
  EXPECT_EQ(error_of("SQRT(4)", [](const TExpression& e) { e.AsInteger(); }), "Cannot read Float as integer");
  auto as_float = [](const TExpression& e) { e.AsFloat(); };
  EXPECT_EQ(error_of("TRUNC('1')", as_float), "Invalid parameter to TRUNC");
  EXPECT_EQ(error_of("POWER(2)", as_float), "Invalid parameter to POWER");
  EXPECT_EQ(error_of("SIN(1, 2)", as_float), "Invalid parameter to SIN");
  EXPECT_EQ(error_of("SQRT(HIRED)", as_float), "Invalid parameter to SQRT");
}

TEST_F(FilterEvaluation, arithmetic_faults_raise_the_runtime_errors) {
  auto as_float = [](const TExpression& e) { e.AsFloat(); };
  auto as_integer = [](const TExpression& e) { e.AsInteger(); };
  EXPECT_EQ(error_of("1 DIV 0", as_integer), "Division by zero");
  EXPECT_EQ(error_of("1 MOD 0", as_integer), "Division by zero");
  EXPECT_EQ(error_of("1 / 0", as_float), "Floating point division by zero");
  EXPECT_EQ(error_of("0 / 0", as_float), "Invalid floating point operation");
  EXPECT_EQ(error_of("LN(-1)", as_float), "Invalid floating point operation");
  EXPECT_EQ(error_of("LN(0)", as_float), "Floating point division by zero");
  EXPECT_EQ(error_of("SQRT(-1)", as_float), "Invalid floating point operation");
  EXPECT_EQ(error_of("POWER(-2, 2)", as_float), "Invalid floating point operation");
  EXPECT_EQ(error_of("TRUNC(1E300)", as_integer), "Invalid floating point operation");
  EXPECT_EQ(error_of("EXP(1000) - EXP(1000)", as_float), "Invalid floating point operation");
  EXPECT_EQ(error_of("COS(EXP(1000))", as_float), "Invalid floating point operation");
}

TEST_F(FilterEvaluation, type_casts_change_the_type_but_convert_nothing) {
  EXPECT_TRUE(accepts("STRING(123) = '123'"));
  EXPECT_EQ(type_of("FLOAT(3)"), etFloat);
  EXPECT_EQ(float_of("FLOAT(3)"), 3);
  EXPECT_EQ(error_of("INTEGER('12')", [](const TExpression& e) { e.AsInteger(); }),
            "Cannot read String as integer");
  EXPECT_TRUE(accepts("BOOLEAN(ACTIVE)"));
  EXPECT_EQ(error_of("STRING(1)", [](const TExpression&) {
              TTypeCast(nullptr, etString).AsString();
            }),
            "Invalid parameter to STRING");
}

TEST_F(FilterEvaluation, conditional_selects_its_branch_per_record) {
  TExpressionPtr sign = parse("IF(SAL > 0, 'pos', 'neg')");
  EXPECT_EQ(sign->AsString(), "pos");
  use({Text("SMITH"), Number(-1), Integer(10), Boolean(true), Number(0), Null()});
  EXPECT_EQ(sign->AsString(), "neg");
  TExpressionPtr typed = parse("IF(ACTIVE, 1, 'one')");
  EXPECT_EQ(typed->ExprType(), etInteger);
  use({Text("SMITH"), Number(-1), Integer(10), Boolean(false), Number(0), Null()});
  EXPECT_EQ(typed->ExprType(), etString);
  auto as_string = [](const TExpression& e) { e.AsString(); };
  EXPECT_EQ(error_of("IF(1, 2, 3)", as_string), "Invalid parameters to If");
  EXPECT_EQ(error_of("IF(TRUE, 2)", as_string), "Invalid parameters to If");
  EXPECT_EQ(error_of("IF", as_string), "Invalid parameters to If");
}

// Texts that applications build in loops: long else-if chains and long OR
// lists cost linear work and must not be refused as too complex.
TEST_F(FilterEvaluation, an_else_if_chain_of_100_and_an_or_chain_of_10000_terms_evaluate) {
  std::string chain = "'none'";
  for (int i = 100; i >= 1; --i)
    chain = "IF(DEPTNO = " + std::to_string(i) + ", 'v" + std::to_string(i) + "', " + chain + ")";
  EXPECT_EQ(text_of(chain), "v10");
  use({Text("SMITH"), Number(1500), Integer(99), Boolean(true), Number(0), Null()});
  EXPECT_EQ(text_of(chain), "v99");
  use({Text("SMITH"), Number(1500), Integer(101), Boolean(true), Number(0), Null()});
  EXPECT_EQ(text_of(chain), "none");

  std::string any = "(DEPTNO = 1)";  // OR binds tighter than "="
  for (int i = 2; i <= 10000; ++i) any += " OR (DEPTNO = " + std::to_string(i) + ")";
  TExpressionPtr filter = parse(any);
  for (int32_t deptno : {1, 5000, 10000}) {
    use({Text("SMITH"), Number(1500), Integer(deptno), Boolean(true), Number(0), Null()});
    EXPECT_TRUE(filter->AsBoolean()) << deptno;
  }
  use({Text("SMITH"), Number(1500), Integer(10001), Boolean(true), Number(0), Null()});
  EXPECT_FALSE(filter->AsBoolean());
}

}  // namespace
}  // namespace kvell
