#include "oracle/filter/parser.h"

#include <algorithm>

#include "oracle/filter/functions.h"
#include "oracle/filter/literals.h"
#include "oracle/filter/operators.h"
#include "runtime/float_text.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

constexpr size_t MaxNumberLength = 28;
constexpr size_t MaxNameLength = 256;  // string literals and bracketed names
// Bounds the parser's recursion: each level of parentheses, sign, NOT or
// argument list costs a few frames, so 1,000 levels stay well inside a
// thread's stack even in sanitizer builds.
constexpr int MaxNesting = 1000;
// Bounds the recursion of evaluating and freeing a tree. A chain of
// operators is parsed in a loop but builds a left-deep tree, one level per
// operator; evaluation frames are small, so long chains are allowed.
constexpr int MaxTreeDepth = 20000;
// Every reading of IF evaluates its condition again, and its readers ask it
// for a type and then a value, so the work doubles with each IF nested in an
// IF's condition; beyond this the text is rejected. IFs in the branches (an
// else-if chain) cost linear work and are not counted.
constexpr int MaxConditionalNesting = 10;

bool is_blank(char c) { return c >= 1 && c <= 32; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_identifier_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_identifier_char(char c) { return is_identifier_start(c) || is_digit(c); }
bool is_relational_char(char c) { return c == '<' || c == '=' || c == '>'; }
char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

template <size_t N>
int index_of(const std::array<std::string_view, N>& table, std::string_view name) {
  auto found = std::find(table.begin(), table.end(), name);
  return found == table.end() ? -1 : static_cast<int>(found - table.begin());
}

enum WordKind { wkOperator, wkBoolean, wkIdentifier };

struct Word {
  std::string text;  // upper-cased
  WordKind kind;
  TOperator op;      // for wkOperator
};

class Parser {
 public:
  Parser(const char* text, const TGetColumnExpression& get_column) : p_(text), get_column_(get_column) {}

  TExpressionPtr parse() {
    TExpressionPtr result = expression();
    if (*p_ != '\0') RaiseExpression("%s not appropriate", std::string_view(p_, 1));
    return result;
  }

 private:
  // Counts the parser's recursion while a level is active.
  class NestingGuard {
   public:
    explicit NestingGuard(int& nesting) : nesting_(nesting) {
      if (nesting_ == MaxNesting) throw EExpression(TooComplex);
      ++nesting_;
    }
    ~NestingGuard() { --nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

   private:
    int& nesting_;
  };

  static constexpr const char* TooComplex = "Expression too complex";

  // Every parse function leaves the depth of the tree it returns in
  // tree_depth_; a node over children is one deeper than the deepest.
  TExpressionPtr leaf(TExpressionPtr node) {
    tree_depth_ = 1;
    return node;
  }
  TExpressionPtr over(int children_depth, TExpressionPtr node) {
    if (children_depth >= MaxTreeDepth) throw EExpression(TooComplex);
    tree_depth_ = children_depth + 1;
    return node;
  }

  void skip_blanks() {
    while (is_blank(*p_)) ++p_;
  }
  bool at_end_of_sub_expression() const { return *p_ == '\0' || *p_ == ')' || *p_ == ','; }

  Word read_word() {
    Word word{std::string(1, upper_ascii(*p_++)), wkIdentifier, opNot};
    while (is_identifier_char(*p_)) word.text += upper_ascii(*p_++);
    int op = index_of(OperatorSymbols, word.text);
    if (op >= 0) {
      word.kind = wkOperator;
      word.op = static_cast<TOperator>(op);
    } else if (word.text == "TRUE" || word.text == "FALSE") {
      word.kind = wkBoolean;
    }
    return word;
  }

  // The error for a word where an operator was expected.
  [[noreturn]] static void reject_operand_word(const Word& word) {
    if (word.kind == wkBoolean) throw EExpression("Boolean literal not allowed here");
    RaiseExpression("Identifier %s not allowed here", word.text);
  }

  TExpressionPtr expression() {
    TExpressionPtr result;
    for (;;) {
      skip_blanks();
      if (at_end_of_sub_expression()) return result;
      // Only a keyword that continues nothing (NOT after an operand) gets
      // here; starting a new operand would silently drop the one before.
      if (result && is_identifier_start(*p_)) reject_misplaced_keyword();
      result = simple_expression();
      if (is_relational_char(*p_)) {
        TOperator op = relational_operator();
        int left_depth = tree_depth_;
        TExpressionPtr right = simple_expression();
        int depth = std::max(left_depth, tree_depth_);
        result = over(depth, std::make_unique<TRelationalOp>(op, std::move(result), std::move(right)));
      }
    }
  }

  [[noreturn]] void reject_misplaced_keyword() {
    Word word = read_word();
    if (word.kind == wkOperator) RaiseExpression("%s not allowed here", OperatorNames[word.op]);
    reject_operand_word(word);
  }

  TOperator relational_operator() {
    std::string text(1, *p_++);
    if (is_relational_char(*p_)) text += *p_++;
    int op = index_of(OperatorSymbols, text);
    if (op < opEq) RaiseExpression("%s not a valid operator", text);
    return static_cast<TOperator>(op);
  }

  TExpressionPtr simple_expression() {
    TExpressionPtr left = term();
    for (;;) {
      skip_blanks();
      char c = *p_;
      if (at_end_of_sub_expression() || c == '*' || c == '/' || is_relational_char(c)) return left;
      TOperator op;
      if (c == '+' || c == '-') {
        ++p_;
        op = c == '+' ? opPlus : opMinus;
      } else {
        const char* start = p_;
        Word word = read_word();
        if (word.kind != wkOperator) reject_operand_word(word);
        if (word.op != opOr && word.op != opXor) {
          p_ = start;
          return left;
        }
        op = word.op;
      }
      left = chained(op, std::move(left), &Parser::term);
    }
  }

  // The next link of a left-associative chain: parsed in the caller's loop,
  // one tree level deeper.
  TExpressionPtr chained(TOperator op, TExpressionPtr left, TExpressionPtr (Parser::*operand)()) {
    int left_depth = tree_depth_;
    TExpressionPtr right = (this->*operand)();
    int depth = std::max(left_depth, tree_depth_);
    return over(depth, std::make_unique<TBinaryOp>(op, std::move(left), std::move(right)));
  }

  TExpressionPtr term() {
    TExpressionPtr left = factor();
    for (;;) {
      skip_blanks();
      char c = *p_;
      if (at_end_of_sub_expression() || c == '+' || c == '-' || is_relational_char(c)) return left;
      TOperator op;
      if (c == '*' || c == '/') {
        ++p_;
        op = c == '*' ? opMult : opDivide;
      } else if (is_identifier_start(c)) {
        const char* start = p_;
        Word word = read_word();
        if (word.kind != wkOperator) reject_operand_word(word);
        if (word.op < opDiv || word.op > opShr) {
          p_ = start;
          return left;
        }
        op = word.op;
      } else {
        RaiseExpression("char %s in input stream", std::string_view(p_, 1));
      }
      left = chained(op, std::move(left), &Parser::factor);
    }
  }

  TExpressionPtr factor() {
    NestingGuard guard(nesting_);
    skip_blanks();
    char c = *p_;
    if (c == '\'') return leaf(std::make_unique<TStringLiteral>(quoted_text('\'', "Unterminated string", "String too long")));
    if (c == '(') return parenthesised();
    if (c == '+' || c == '-') {
      ++p_;
      return unary(c == '+' ? opPlus : opMinus);
    }
    if (is_digit(c)) return leaf(number());
    if (c == '[') return bracketed_name();
    if (is_identifier_start(c)) return word_factor();
    if (at_end_of_sub_expression()) throw EExpression("Unexpected end of factor");
    throw EExpression("Syntax error");
  }

  TExpressionPtr parenthesised() {
    ++p_;
    TExpressionPtr inner = expression();
    if (!inner) throw EExpression("invalid sub-expression");
    if (*p_ != ')') throw EExpression(" ) expected");
    ++p_;
    return inner;
  }

  TExpressionPtr word_factor() {
    Word word = read_word();
    switch (word.kind) {
      case wkOperator:
        if (word.op != opNot) RaiseExpression("%s not allowed here", OperatorNames[word.op]);
        return unary(opNot);
      case wkBoolean: return leaf(std::make_unique<TBooleanLiteral>(word.text == "TRUE"));
      default: return named_factor(word.text);
    }
  }

  TExpressionPtr unary(TOperator op) {
    TExpressionPtr operand = factor();
    return over(tree_depth_, std::make_unique<TUnaryOp>(op, std::move(operand)));
  }

  TExpressionPtr named_factor(const std::string& name) {
    skip_blanks();
    if (name == "IF") return conditional();
    TParameterListPtr params;
    if (*p_ == '(') params = parameter_list(name);
    int arguments_depth = params ? tree_depth_ : 0;
    if (int type = index_of(TypeCastNames, name); type >= 0) {
      if (!params) RaiseExpression("Missing argument to %s", name);
      return over(arguments_depth, std::make_unique<TTypeCast>(std::move(params), static_cast<TExprType>(type)));
    }
    if (int func = index_of(MathFunctionNames, name); func >= 0)
      return over(arguments_depth, std::make_unique<TMathExpression>(std::move(params), func));
    if (int func = index_of(StringFunctionNames, name); func >= 0)
      return over(arguments_depth, std::make_unique<TStringExpression>(std::move(params), func));
    return resolve(name, std::move(params), arguments_depth);
  }

  TExpressionPtr conditional() {
    TParameterListPtr params;
    if (*p_ == '(') params = parameter_list("IF", true);
    return over(params ? tree_depth_ : 0, std::make_unique<TConditional>(std::move(params)));
  }

  // Leaves the depth of the deepest argument in tree_depth_. For IF the first
  // argument is its condition, where nesting costs exponential work.
  TParameterListPtr parameter_list(const std::string& name, bool first_is_condition = false) {
    auto params = std::make_unique<TParameterList>();
    int deepest = 0;
    do {
      ++p_;
      bool condition = first_is_condition && params->Count() == 0;
      if (condition && conditional_nesting_ == MaxConditionalNesting) throw EExpression(TooComplex);
      conditional_nesting_ += condition;  // an error ends the parse, so no unwinding is needed
      TExpressionPtr argument = expression();
      conditional_nesting_ -= condition;
      if (!argument) RaiseExpression("Missing argument to %s", name);
      deepest = std::max(deepest, tree_depth_);
      params->Add(std::move(argument));
    } while (*p_ == ',');
    if (*p_ != ')') throw EExpression("Incorrectly formed parameters");
    ++p_;
    tree_depth_ = deepest;
    return params;
  }

  TExpressionPtr resolve(const std::string& name, TParameterListPtr params, int arguments_depth = 0) {
    TExpressionPtr node;
    if (get_column_) node = get_column_(name, std::move(params));
    if (!node) RaiseExpression("Unknown Identifier %s", name);
    return over(arguments_depth, std::move(node));
  }

  TExpressionPtr bracketed_name() {
    std::string name = quoted_text(']', "Unterminated fieldname", "Fieldname too long");
    return resolve(name, nullptr);
  }

  // The text after the opening character up to close; for strings a doubled
  // quote stands for one.
  std::string quoted_text(char close, const char* unterminated, const char* too_long) {
    const bool doubled_escapes = close == '\'';
    std::string text;
    for (++p_;; ++p_) {
      if (*p_ == '\0') throw EExpression(unterminated);
      if (*p_ == close) {
        if (!doubled_escapes || p_[1] != close) break;
        ++p_;
      }
      if (text.size() >= MaxNameLength) throw EExpression(too_long);
      text += *p_;
    }
    ++p_;
    return text;
  }

  TExpressionPtr number() {
    enum { Integer, Fraction, Exponent } state = Integer;
    const char separator = FormatSettings().DecimalSeparator;
    std::string buffer;
    for (;;) {
      char c = *p_;
      if (is_digit(c)) {
        buffer += c;
        ++p_;
      } else if (c == separator) {
        if (state != Integer) throw EExpression("Bad numeric format");
        buffer += c;
        ++p_;
        state = Fraction;
      } else if (c == 'e' || c == 'E') {
        if (state == Exponent) throw EExpression("Bad numeric format");
        buffer += 'E';
        if (*++p_ == '-') buffer += *p_++;
        if (!is_digit(*p_)) throw EExpression("Bad numeric format");
        state = Exponent;
      } else {
        break;
      }
      if (buffer.size() > MaxNumberLength) throw EExpression("Bad numeric format");
    }
    if (state == Integer) {
      size_t first = std::min(buffer.find_first_not_of('0'), buffer.size());
      if (buffer.size() - first <= 10) {
        int64_t value = first == buffer.size() ? 0 : std::stoll(buffer.substr(first));
        if (value <= INT32_MAX) return std::make_unique<TIntegerLiteral>(static_cast<int32_t>(value));
      }
    }
    return std::make_unique<TFloatLiteral>(StrToFloat(buffer));
  }

  const char* p_;
  const TGetColumnExpression& get_column_;
  int nesting_ = 0;              // parse levels open around the current position
  int tree_depth_ = 0;           // of the tree the last parse function returned
  int conditional_nesting_ = 0;  // IF conditions open around the current position
};

}  // namespace

TExpressionPtr ParseFilterExpression(const std::string& text, TFilterOptions options,
                                     const TGetColumnExpression& get_column) {
  CurrentExpressionOptions() = {options.Contains(foCaseInsensitive),
                                !options.Contains(foNoPartialCompare)};
  return Parser(text.c_str(), get_column).parse();
}

}  // namespace kvell
