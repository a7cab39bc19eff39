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
// Bounds the recursion of parsing, evaluating and freeing a tree, so that a
// pathological text is an error rather than a stack overflow.
constexpr int MaxDepth = 1000;
// Every reading of IF evaluates its condition again, and its readers ask it
// for a type and then a value, so the work grows exponentially with IFs
// nested inside IFs; beyond this the text is rejected.
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
  // Counts nesting and operator chains while a level is active.
  class DepthGuard {
   public:
    explicit DepthGuard(int& depth) : depth_(depth) { enter(); }
    ~DepthGuard() { depth_ -= entered_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    void enter() {
      if (++depth_ > MaxDepth) {
        --depth_;
        throw EExpression("Expression too complex");
      }
      ++entered_;
    }

   private:
    int& depth_;
    int entered_ = 0;
  };

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
        result = std::make_unique<TRelationalOp>(op, std::move(result), simple_expression());
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
    DepthGuard guard(depth_);
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
      guard.enter();
      left = std::make_unique<TBinaryOp>(op, std::move(left), term());
    }
  }

  TExpressionPtr term() {
    DepthGuard guard(depth_);
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
      guard.enter();
      left = std::make_unique<TBinaryOp>(op, std::move(left), factor());
    }
  }

  TExpressionPtr factor() {
    DepthGuard guard(depth_);
    skip_blanks();
    char c = *p_;
    if (c == '\'') return std::make_unique<TStringLiteral>(quoted_text('\'', "Unterminated string", "String too long"));
    if (c == '(') return parenthesised();
    if (c == '+' || c == '-') {
      ++p_;
      return std::make_unique<TUnaryOp>(c == '+' ? opPlus : opMinus, factor());
    }
    if (is_digit(c)) return number();
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
        return std::make_unique<TUnaryOp>(opNot, factor());
      case wkBoolean: return std::make_unique<TBooleanLiteral>(word.text == "TRUE");
      default: return named_factor(word.text);
    }
  }

  TExpressionPtr named_factor(const std::string& name) {
    skip_blanks();
    if (name == "IF") return conditional();
    TParameterListPtr params;
    if (*p_ == '(') params = parameter_list(name);
    if (int type = index_of(TypeCastNames, name); type >= 0) {
      if (!params) RaiseExpression("Missing argument to %s", name);
      return std::make_unique<TTypeCast>(std::move(params), static_cast<TExprType>(type));
    }
    if (int func = index_of(MathFunctionNames, name); func >= 0)
      return std::make_unique<TMathExpression>(std::move(params), func);
    if (int func = index_of(StringFunctionNames, name); func >= 0)
      return std::make_unique<TStringExpression>(std::move(params), func);
    return resolve(name, std::move(params));
  }

  TExpressionPtr conditional() {
    if (conditional_nesting_ == MaxConditionalNesting) throw EExpression("Expression too complex");
    TParameterListPtr params;
    ++conditional_nesting_;  // an error ends the parse, so no unwinding is needed
    if (*p_ == '(') params = parameter_list("IF");
    --conditional_nesting_;
    return std::make_unique<TConditional>(std::move(params));
  }

  TParameterListPtr parameter_list(const std::string& name) {
    auto params = std::make_unique<TParameterList>();
    do {
      ++p_;
      TExpressionPtr argument = expression();
      if (!argument) RaiseExpression("Missing argument to %s", name);
      params->Add(std::move(argument));
    } while (*p_ == ',');
    if (*p_ != ')') throw EExpression("Incorrectly formed parameters");
    ++p_;
    return params;
  }

  TExpressionPtr resolve(const std::string& name, TParameterListPtr params) {
    TExpressionPtr node;
    if (get_column_) node = get_column_(name, std::move(params));
    if (!node) RaiseExpression("Unknown Identifier %s", name);
    return node;
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
  int depth_ = 0;
  int conditional_nesting_ = 0;  // IFs open around the current position
};

}  // namespace

TExpressionPtr ParseFilterExpression(const std::string& text, TFilterOptions options,
                                     const TGetColumnExpression& get_column) {
  CurrentExpressionOptions() = {options.Contains(foCaseInsensitive),
                                !options.Contains(foNoPartialCompare)};
  return Parser(text.c_str(), get_column).parse();
}

}  // namespace kvell
