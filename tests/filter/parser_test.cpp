// Parsing: tokens and literals, grammar levels and precedence, the error
// messages with their arguments, resolver ownership and the option flags.
#include <gtest/gtest.h>

#include <thread>

#include "oracle/filter/oracle_filter.h"
#include "runtime/float_text.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

// A name the resolver answered; keeps its argument list.
class NameNode : public TExpression {
 public:
  NameNode(std::string name, TParameterListPtr params) : Name(std::move(name)), Params(std::move(params)) {}
  TExprType ExprType() const override { return etInteger; }
  int32_t AsInteger() const override { return 0; }
  std::string Name;
  TParameterListPtr Params;
};

std::string describe(const TExpression& node);

std::string describe_list(const TParameterList* params) {
  std::string text = "(";
  for (int i = 0; params && i < params->Count(); ++i) text += (i ? "," : "") + describe(params->Items(i));
  return text + ")";
}

// Renders a tree in prefix form, e.g. (opPlus A (opMult B C)).
std::string describe(const TExpression& node) {
  if (auto* n = dynamic_cast<const TStringLiteral*>(&node)) return "'" + n->Value + "'";
  if (auto* n = dynamic_cast<const TIntegerLiteral*>(&node)) return std::to_string(n->Value);
  if (auto* n = dynamic_cast<const TFloatLiteral*>(&node)) return "F" + FloatToStr(n->Value);
  if (auto* n = dynamic_cast<const TBooleanLiteral*>(&node)) return n->Value ? "TRUE" : "FALSE";
  if (auto* n = dynamic_cast<const TUnaryOp*>(&node))
    return "(" + std::string(OperatorNames[n->Operator]) + " " + describe(*n->Operand) + ")";
  if (auto* n = dynamic_cast<const TBinaryOp*>(&node))
    return "(" + std::string(OperatorNames[n->Operator]) + " " + describe(*n->Left) + " " + describe(*n->Right) + ")";
  if (auto* n = dynamic_cast<const TRelationalOp*>(&node))
    return "(" + std::string(OperatorNames[n->Operator]) + " " + describe(*n->Left) + " " + describe(*n->Right) + ")";
  if (auto* n = dynamic_cast<const TStringExpression*>(&node))
    return std::string(StringFunctionNames[static_cast<size_t>(n->Func)]) + describe_list(n->Params.get());
  if (auto* n = dynamic_cast<const TMathExpression*>(&node))
    return std::string(MathFunctionNames[static_cast<size_t>(n->Func)]) + describe_list(n->Params.get());
  if (auto* n = dynamic_cast<const TTypeCast*>(&node))
    return "cast:" + std::string(TypeCastNames[n->TargetType]) + describe_list(n->Params.get());
  if (auto* n = dynamic_cast<const TConditional*>(&node)) return "IF" + describe_list(n->Params.get());
  if (auto* n = dynamic_cast<const NameNode*>(&node))
    return n->Params ? n->Name + describe_list(n->Params.get()) : n->Name;
  return "?";
}

// Resolves every name except UNKNOWN.
TExpressionPtr resolve_name(const std::string& name, TParameterListPtr params) {
  if (name == "UNKNOWN") return nullptr;
  return std::make_unique<NameNode>(name, std::move(params));
}

TExpressionPtr parse(const std::string& text, TFilterOptions options = {}) {
  return ParseFilterExpression(text, options, resolve_name);
}

std::string tree(const std::string& text) {
  TExpressionPtr root = parse(text);
  return root ? describe(*root) : "none";
}

std::string parse_error(const std::string& text) {
  try {
    parse(text);
  } catch (const Exception& e) {
    return e.Message;
  }
  return "no error";
}

class FilterParser : public ::testing::Test {
 protected:
  void SetUp() override { ResetFormatSettings(); }
  void TearDown() override { ResetFormatSettings(); }
};

TEST_F(FilterParser, blank_text_yields_no_tree) {
  EXPECT_EQ(tree(""), "none");
  EXPECT_EQ(tree(" \t\r\n "), "none");
}

TEST_F(FilterParser, numbers_become_integer_or_float_literals) {
  EXPECT_EQ(tree("12"), "12");
  EXPECT_EQ(tree("0012"), "12");
  EXPECT_EQ(tree("2147483647"), "2147483647");
  EXPECT_EQ(tree("2147483648"), "F2147483648");
  EXPECT_EQ(tree("1E3"), "F1000");
  EXPECT_EQ(tree("1e-3"), "F0.001");
  EXPECT_EQ(tree("1.5"), "F1.5");
  EXPECT_EQ(tree(std::string(28, '1')), "F1.11111111111111E27");
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(tree("1,5"), "F1,5");
}

TEST_F(FilterParser, malformed_numbers_are_rejected) {
  for (const char* text : {"1E+3", "1.2.3", "1E3E4", "1E", "1E-", "1E3.5", "1.5e2.0"})
    EXPECT_EQ(parse_error(text), "Bad numeric format") << text;
  EXPECT_EQ(parse_error(std::string(29, '1')), "Bad numeric format");
  EXPECT_EQ(parse_error(".5"), "Syntax error");
}

TEST_F(FilterParser, string_literals_unescape_doubled_quotes_and_hold_256_characters) {
  EXPECT_EQ(tree("'It''s'"), "'It's'");
  EXPECT_EQ(tree("''''"), "'''");
  EXPECT_EQ(tree("''"), "''");
  EXPECT_EQ(tree("'" + std::string(256, 'x') + "'"), "'" + std::string(256, 'x') + "'");
  EXPECT_EQ(parse_error("'" + std::string(257, 'x') + "'"), "String too long");
  EXPECT_EQ(parse_error("'abc"), "Unterminated string");
  EXPECT_EQ(parse_error("'abc''"), "Unterminated string");
}

TEST_F(FilterParser, bracketed_names_go_to_the_resolver_as_written) {
  EXPECT_EQ(tree("[order Date]"), "order Date");
  EXPECT_EQ(tree("[upper]"), "upper");
  EXPECT_EQ(tree("[" + std::string(256, 'n') + "]"), std::string(256, 'n'));
  EXPECT_EQ(parse_error("[" + std::string(257, 'n') + "]"), "Fieldname too long");
  EXPECT_EQ(parse_error("[abc"), "Unterminated fieldname");
}

TEST_F(FilterParser, keywords_and_functions_are_found_in_any_case) {
  EXPECT_EQ(tree("true AnD x"), "(opAnd TRUE X)");
  EXPECT_EQ(tree("upper(name)"), "UPPER(NAME)");
  EXPECT_EQ(tree("Copy(s, 1, 2)"), "COPY(S,1,2)");
  EXPECT_EQ(tree("pi"), "PI()");
  EXPECT_EQ(tree("If(a, b, c)"), "IF(A,B,C)");
  EXPECT_EQ(tree("string(a)"), "cast:STRING(A)");
  EXPECT_EQ(tree("my_func (1, 'a')"), "MY_FUNC(1,'a')");
}

TEST_F(FilterParser, operators_bind_by_level_and_associate_left) {
  EXPECT_EQ(tree("A + B * C"), "(opPlus A (opMult B C))");
  EXPECT_EQ(tree("A - B - C"), "(opMinus (opMinus A B) C)");
  EXPECT_EQ(tree("A * B DIV C MOD D / E"), "(opDivide (opMod (opDiv (opMult A B) C) D) E)");
  EXPECT_EQ(tree("A OR B AND C XOR D"), "(opXor (opOr A (opAnd B C)) D)");
  EXPECT_EQ(tree("A SHL 2 SHR 1"), "(opShr (opShl A 2) 1)");
  EXPECT_EQ(tree("-A * B"), "(opMult (opMinus A) B)");
  EXPECT_EQ(tree("- -1"), "(opMinus (opMinus 1))");
  EXPECT_EQ(tree("NOT NOT A"), "(opNot (opNot A))");
  EXPECT_EQ(tree("NOT A = B"), "(opEq (opNot A) B)");
  EXPECT_EQ(tree("NOT(A)"), tree("NOT A"));
  EXPECT_EQ(tree("(A = 1) AND (B <> 2)"), "(opAnd (opEq A 1) (opNEQ B 2))");
  EXPECT_EQ(tree("A<=B"), "(opLTE A B)");
  EXPECT_EQ(tree("A >= B + 1"), "(opGTE A (opPlus B 1))");
}

struct ErrorCase {
  const char* text;
  const char* message;
};

TEST_F(FilterParser, errors_name_what_went_wrong) {
  const ErrorCase cases[] = {
      {"A = 1 AND B = 2", "Syntax error"},
      {"A = B = C", "Syntax error"},
      {"A == B", "== not a valid operator"},
      {"A => B", "=> not a valid operator"},
      {"A << B", "<< not a valid operator"},
      {"A AND", "Unexpected end of factor"},
      {"A +", "Unexpected end of factor"},
      {"(A", " ) expected"},
      {"(A, B)", " ) expected"},
      {"A)", ") not appropriate"},
      {"A, B", ", not appropriate"},
      {"()", "invalid sub-expression"},
      {"X TRUE", "Boolean literal not allowed here"},
      {"X + 1 false", "Boolean literal not allowed here"},
      {"X y", "Identifier Y not allowed here"},
      {"X + 1 Y", "Identifier Y not allowed here"},
      {"X # 1", "char # in input stream"},
      {"AND", "opAnd not allowed here"},
      {"A * OR", "opOr not allowed here"},
      {"F(1", "Incorrectly formed parameters"},
      {"F(1 2)", "char 2 in input stream"},
      {"unknown + 1", "Unknown Identifier UNKNOWN"},
      {"[UNKNOWN]", "Unknown Identifier UNKNOWN"},
      {"* A", "Syntax error"},
      // Rejected rather than silently dropping an operand or argument.
      {"A NOT B", "opNot not allowed here"},
      {"(A = 1) NOT B", "opNot not allowed here"},
      {"F()", "Missing argument to F"},
      {"UPPER(A,,B)", "Missing argument to UPPER"},
      {"F(A,)", "Missing argument to F"},
      {"STRING", "Missing argument to STRING"},
      {"PI()", "Missing argument to PI"},
  };
  for (const ErrorCase& c : cases) EXPECT_EQ(parse_error(c.text), c.message) << c.text;
}

TEST_F(FilterParser, operand_type_errors_surface_while_the_tree_is_built) {
  EXPECT_EQ(parse_error("('a' - 1) + 1"), "Operator opMinus incompatible with String");
  EXPECT_EQ(parse_error("NOT 1.5 + 1"), "Operator opNot incompatible with Float");
  EXPECT_EQ(tree("'a' - 1"), "(opMinus 'a' 1)");  // its own type is asked only when read
}

TEST_F(FilterParser, constructors_accept_only_their_operators) {
  auto one = [] { return std::make_unique<TIntegerLiteral>(1); };
  auto message = [](auto build) {
    try {
      build();
    } catch (const EExpression& e) {
      return e.Message;
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { TUnaryOp(opAnd, one()); }), "opAnd is not simple unary operator");
  EXPECT_EQ(message([&] { TBinaryOp(opNot, one(), one()); }), "opNot is not a simple binary operator");
  EXPECT_EQ(message([&] { TBinaryOp(opEq, one(), one()); }), "opEq is not a simple binary operator");
  EXPECT_EQ(message([&] { TRelationalOp(opXor, one(), one()); }), "opXor is not relational operator");
}

TEST_F(FilterParser, resolver_gets_upper_cased_names_and_argument_lists) {
  std::vector<std::string> asked;
  TGetColumnExpression declining = [&](const std::string& name, TParameterListPtr params) -> TExpressionPtr {
    asked.push_back(name + ":" + std::to_string(params ? params->Count() : -1));
    return nullptr;  // the list it was given is freed here
  };
  EXPECT_THROW(ParseFilterExpression("Col(1, 'a' + 'b')", {}, declining), EExpression);
  EXPECT_THROW(ParseFilterExpression("[a Col]", {}, declining), EExpression);
  EXPECT_EQ(asked, (std::vector<std::string>{"COL:2", "a Col:-1"}));
}

TEST_F(FilterParser, without_a_resolver_every_name_is_unknown) {
  EXPECT_EQ(tree("1 + 2"), "(opPlus 1 2)");
  try {
    ParseFilterExpression("[a b] = 1", {}, nullptr);
    FAIL();
  } catch (const EExpression& e) {
    EXPECT_EQ(e.Message, "Unknown Identifier a b");
  }
}

TEST_F(FilterParser, nodes_keep_the_options_of_their_parse) {
  TExpressionPtr insensitive = parse("A", {foCaseInsensitive, foNoPartialCompare});
  EXPECT_TRUE(insensitive->CaseInsensitive);
  EXPECT_FALSE(insensitive->PartialCompare);
  TExpressionPtr plain = parse("A");
  EXPECT_FALSE(plain->CaseInsensitive);
  EXPECT_TRUE(plain->PartialCompare);
  EXPECT_TRUE(insensitive->CaseInsensitive);
  // Built outside a parse: the last parse's options on this thread.
  parse("A", {foCaseInsensitive});
  EXPECT_TRUE(TIntegerLiteral(1).CaseInsensitive);
}

TEST_F(FilterParser, a_parse_on_another_thread_leaves_this_threads_options_alone) {
  parse("A", {foNoPartialCompare});
  std::thread other([] { parse("A", {foCaseInsensitive}); });
  other.join();
  TIntegerLiteral node(1);
  EXPECT_FALSE(node.CaseInsensitive);
  EXPECT_FALSE(node.PartialCompare);
}

TEST_F(FilterParser, pathological_nesting_is_an_error_not_a_stack_overflow) {
  EXPECT_EQ(tree(std::string(400, '(') + "1" + std::string(400, ')')), "1");
  EXPECT_EQ(parse_error(std::string(5000, '(') + "1" + std::string(5000, ')')), "Expression too complex");
  EXPECT_EQ(parse_error(std::string(5000, '-') + "1"), "Expression too complex");
  std::string chain = "1";
  for (int i = 0; i < 3000; ++i) chain += "+1";
  EXPECT_NO_THROW(parse(chain)) << "a chain is parsed in a loop";
  for (int i = 0; i < 20000; ++i) chain += "+1";
  EXPECT_EQ(parse_error(chain), "Expression too complex") << "its tree would be too deep to evaluate";
}

TEST_F(FilterParser, conditionals_nest_ten_deep_at_most) {
  auto nested = [](int depth) {
    std::string text = "TRUE";
    for (int i = 0; i < depth; ++i) text = "IF(" + text + " = TRUE, TRUE, FALSE)";
    return text;
  };
  EXPECT_NO_THROW(parse(nested(10)));
  EXPECT_EQ(parse_error(nested(11)), "Expression too complex");
  EXPECT_EQ(parse_error("IF(" + nested(10) + ", 1, 2)"), "Expression too complex") << "counted inside a condition";
  EXPECT_NO_THROW(parse("IF(A = 1, 1, 2) + IF(B = 1, 1, 2) + IF(C = 1, IF(D = 1, 1, 2), 3)"));
}

// A failed parse must free its partial tree; the leak checker of the
// sanitizer build proves it for these texts.
TEST_F(FilterParser, failed_parses_at_every_level_return_nothing) {
  for (const char* text : {"(A + B) * (C + ", "UPPER(A, B + 'x', (C", "NOT NOT (A = 1) AND (B = #)",
                           "IF(A, B, C) + D E", "A + B * C = D ==", "F(G(H(1, 2), [x"})
    EXPECT_THROW(parse(text), EExpression) << text;
}

}  // namespace
}  // namespace kvell
