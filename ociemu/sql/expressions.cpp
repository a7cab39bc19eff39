// Expressions: Oracle operators, pseudo-columns, literals and special
// function forms rewritten for SQLite, with the Oracle type of the result
// where the translator can tell it.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/package_functions.h"
#include "ociemu/sql/interval_value.h"
#include "ociemu/sql/programs.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/stored_names.h"
#include "ociemu/sql/translator.h"
#include "ociemu/sql/types.h"

namespace ociemu::sql {

bool is_clause_keyword(std::string_view word) {
  static constexpr std::string_view kKeywords[] = {
      "CROSS", "END", "ESCAPE", "EXCEPT", "FETCH", "FIRST", "FOLLOWING", "FULL", "INNER", "JOIN", "KEEP", "LAST",
      "LEFT", "LOCKED", "NATURAL", "NULLS", "OFFSET", "ONLY", "OUTER", "OVER", "PARTITION", "PRECEDING", "RANGE",
      "RETURN", "RETURNING", "RIGHT", "SIBLINGS", "SKIP", "UNBOUNDED", "USING", "WAIT", "WHEN", "WITHIN"};
  static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords)));
  return is_reserved_word(word) || std::binary_search(std::begin(kKeywords), std::end(kKeywords), word);
}

std::optional<OracleType> hint_for(ValueType type) {
  switch (type) {
    case ValueType::Number:
      return OracleType{2, 22, 0, -127, 0, 1, "NUMBER"};
    case ValueType::Text:
      return OracleType{1, 4000, 0, 0, 4000, 1, "VARCHAR2"};
    case ValueType::Date:
      return OracleType{12, 7, 0, 0, 0, 1, "DATE"};
    case ValueType::Timestamp:
      return OracleType{180, 11, 0, 6, 0, 1, "TIMESTAMP"};
    case ValueType::TimestampTz:
      return OracleType{181, 13, 0, 6, 0, 1, "TIMESTAMP WITH TIME ZONE"};
    case ValueType::Rowid:
      return OracleType{104, 18, 0, 0, 0, 1, "ROWID"};
    case ValueType::Bfile:
      return OracleType{114, 530, 0, 0, 0, 1, "BFILE"};
    case ValueType::Clob:
      return OracleType{112, 4000, 0, 0, 0, 1, "CLOB"};
    case ValueType::Blob:
      return OracleType{113, 4000, 0, 0, 0, 1, "BLOB"};
    case ValueType::IntervalYM:
      return OracleType{182, 5, 2, -127, 0, 1, "INTERVAL YEAR TO MONTH"};
    case ValueType::IntervalDS:
      return OracleType{183, 11, 2, 6, 0, 1, "INTERVAL DAY TO SECOND"};
    case ValueType::Unknown:
      break;
  }
  return std::nullopt;
}

// The longest CHAR Oracle makes of literals; a longer concatenation is VARCHAR2.
constexpr int kMaxCharBytes = 2000;
// A column marked with (+) where no outer join can be.
constexpr int kOuterJoinNotHere = 30563;

std::optional<OracleType> hint_for(const Expression& value) {
  if (value.char_bytes > 0 && value.char_bytes <= kMaxCharBytes) {
    return OracleType{96, value.char_bytes, 0, 0, value.char_bytes, 1, "CHAR"};
  }
  return hint_for(value.type);
}

namespace {

ValueType type_of_declaration(const std::string& declared) {
  auto type = parse_declared_type(declared.c_str());
  if (!type) return ValueType::Unknown;
  switch (type->type_code) {
    case 2:
      return ValueType::Number;
    case 12:
      return ValueType::Date;
    case 180:
      return ValueType::Timestamp;
    case 181:
    case 231:
      return ValueType::TimestampTz;
    case 182:
      return ValueType::IntervalYM;
    case 183:
      return ValueType::IntervalDS;
    case 1:
    case 96:
    case 8:
    case 112:
      return ValueType::Text;
    default:
      return ValueType::Unknown;
  }
}

// A number literal short enough that a REAL or INTEGER holds it exactly.
bool is_short_number_literal(const std::string& text) {
  int digits = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c != '.' && c != '-' && c != '(' && c != ')' && c != ' ') {
      return false;
    }
  }
  return digits > 0 && digits <= 15;
}

}  // namespace

bool may_hold_exact(const Expression& value) {
  if (value.type != ValueType::Number) return false;
  if (!value.plain_column) return !is_short_number_literal(value.text);
  auto type = parse_declared_type(value.column_declaration.c_str());
  if (!type || type->type_code != 2) return true;
  // NUMBER(p<=15,s) fits a REAL and NUMBER(p<=18) an INTEGER, so neither stores the exact form.
  return !(type->precision > 0 && (type->precision <= 15 || (type->scale == 0 && type->precision <= 18)));
}

namespace {

bool is_dateish(ValueType type) {
  return type == ValueType::Date || type == ValueType::Timestamp || type == ValueType::TimestampTz;
}

// TO_CHAR's FF writes as many digits as the timestamp's type keeps; a column's declaration tells
// them, and TO_CHAR takes them as a fourth argument after the (possibly NULL) model and settings.
std::string fraction_digits_argument(const std::vector<Expression>& arguments) {
  if (arguments.empty() || arguments.size() > 3 || !arguments[0].plain_column) return {};
  auto type = parse_declared_type(arguments[0].column_declaration.c_str());
  if (!type || (type->type_code != 180 && type->type_code != 181 && type->type_code != 231)) return {};
  std::string text;
  for (size_t k = arguments.size(); k < 3; ++k) text += ", NULL";
  return text + ", " + std::to_string(type->scale);
}

std::string number_literal(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

Expression combine(const std::string& op, const Expression& left, const Expression& right) {
  Expression result;
  const bool numbers = left.type == ValueType::Number && right.type == ValueType::Number;
  const bool exact = (op == "*" || numbers) && (may_hold_exact(left) || may_hold_exact(right));
  if (op == "||") {
    result.text = "OCIEMU_CONCAT(" + left.text + ", " + right.text + ")";
    result.type = ValueType::Text;
    // CHAR || CHAR stays CHAR; anything else (VARCHAR2, a number, NULL) makes VARCHAR2.
    if (left.char_bytes > 0 && right.char_bytes > 0) result.char_bytes = left.char_bytes + right.char_bytes;
  } else if (exact && (op == "*" || op == "+" || op == "-")) {
    const char* function = op == "*" ? kExactTimesFunction : op == "+" ? kExactPlusFunction : kExactMinusFunction;
    result.text = std::string(function) + "(" + left.text + ", " + right.text + ")";
    result.type = ValueType::Number;
  } else if (op == "*" && (numbers || is_dateish(left.type) || is_dateish(right.type))) {
    result.text = "(" + left.text + " * " + right.text + ")";
    result.type = ValueType::Number;
  } else if (op == "*") {
    // SQLite reads text that is no number as 0; Oracle's conversion fails with ORA-01722.
    result.text = std::string(kExactTimesFunction) + "(" + left.text + ", " + right.text + ")";
    result.type = ValueType::Number;
  } else if (op == "/") {
    result.text = "OCIEMU_DIV(" + left.text + ", " + right.text + ")";
    result.type = ValueType::Number;
  } else if (numbers) {
    // Both sides are known numbers: SQLite's own operator is exact and faster.
    result.text = "(" + left.text + " " + op + " " + right.text + ")";
    result.type = ValueType::Number;
  } else if ((op == "+" || op == "-") && (left.type == ValueType::IntervalYM || right.type == ValueType::IntervalYM) &&
             (is_dateish(left.type) || is_dateish(right.type))) {
    // Months, not days: a datetime plus a YEAR TO MONTH interval keeps its day and time.
    const Expression& date = is_dateish(left.type) ? left : right;
    const Expression& months = is_dateish(left.type) ? right : left;
    result.text = "OCIEMU_ADD_YM(" + date.text + ", " + (op == "-" ? "-" : "") + "(" + months.text + "))";
    result.type = date.type;
  } else if (op == "+") {
    result.text = "OCIEMU_ADD(" + left.text + ", " + right.text + ")";
    result.type = is_dateish(left.type) || is_dateish(right.type) ? ValueType::Date : ValueType::Unknown;
  } else {
    result.text = "OCIEMU_SUB(" + left.text + ", " + right.text + ")";
    if (is_dateish(left.type)) {
      result.type = is_dateish(right.type) ? ValueType::Number
                    : right.type == ValueType::Number ? ValueType::Date
                                                      : ValueType::Unknown;
    }
  }
  return result;
}

int precedence(const Token& t) {
  if (t.kind != TokenKind::Operator) return 0;
  if (t.text == "*" || t.text == "/") return 2;
  if (t.text == "+" || t.text == "-" || t.text == "||") return 1;
  return 0;
}

bool is_comparison(const Token& t) {
  return t.kind == TokenKind::Operator && (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "^=" ||
                                           t.text == "~=" || t.text == "<" || t.text == ">" || t.text == "<=" ||
                                           t.text == ">=");
}

bool in_list(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// PL/SQL's integer types, which SQL sees as NUMBER.
bool is_plsql_integer(const std::string& type) {
  return in_list(type, {"PLS_INTEGER", "BINARY_INTEGER", "NATURAL", "NATURALN", "POSITIVE", "POSITIVEN",
                        "SIMPLE_INTEGER", "SIGNTYPE"});
}

}  // namespace

bool Translator::starts_operand(int index) const {
  const Token& t = token(index);
  switch (t.kind) {
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::NationalString:
    case TokenKind::Placeholder:
    case TokenKind::QuotedName:
      return true;
    case TokenKind::Operator:
      return t.text == "(" || t.text == "-" || t.text == "+";
    case TokenKind::Word:
      if (t.text == "NULL" || t.text == "CASE" || t.text == "LEVEL") return true;
      if (t.text == "PRIOR") return !prior_alias_.empty();
      if (t.text == "DATE" || t.text == "TIMESTAMP" || t.text == "INTERVAL")
        return token(index + 1).kind == TokenKind::String;
      return !is_clause_keyword(t.text);
    default:
      return false;
  }
}

std::string Translator::original_text(int begin, int end) const {
  std::string text;
  for (int i = begin; i < end; ++i) {
    const Token& t = token(i);
    std::string_view raw = sql_.substr(static_cast<size_t>(t.offset), static_cast<size_t>(t.length));
    text += t.kind == TokenKind::Word || t.kind == TokenKind::Placeholder ? (t.kind == TokenKind::Word ? t.text : ":" + t.text)
                                                                           : std::string(raw);
  }
  return text;
}

// Oracle names a computed column by its text without blanks, string literals upper-cased too:
// 'Nested Row 1' heads a column 'NESTEDROW1'.
std::string Translator::heading_text(int begin, int end) const {
  std::string text;
  for (int i = begin; i < end; ++i) {
    if (token(i).kind != TokenKind::String) {
      text += original_text(i, i + 1);
      continue;
    }
    for (char c : original_text(i, i + 1)) {
      const auto byte = static_cast<unsigned char>(c);
      if (!std::isspace(byte)) text += static_cast<char>(std::toupper(byte));
    }
  }
  return text;
}

std::string Translator::rewrite(int begin, int end, const Scope& scope) {
  std::string sql;
  auto append = [&](const std::string& piece) {
    if (!sql.empty()) sql += ' ';
    sql += piece;
  };
  int i = begin;
  while (i < end) {
    std::string rowid_sql;
    if (rowid_comparison(i, end, scope, rowid_sql)) {
      append(rowid_sql);
      continue;
    }
    if (starts_operand(i)) {
      Expression value;
      i = expression(i, end, scope, value);
      i = comparison(i, end, scope, value);
      append(value.text);
      continue;
    }
    const Token& t = token(i);
    if (t.kind == TokenKind::End) break;
    if (is_comparison(t) && (i + 1 >= end || !(starts_operand(i + 1) || word_at(i + 1, "ANY") ||
                                               word_at(i + 1, "ALL") || word_at(i + 1, "SOME") ||
                                               word_at(i + 1, "PRIOR"))))
      fail(936, i + 1);
    if (t.is_op("^=") || t.is_op("~=")) {
      append("!=");
    } else if (t.is_op("@") || t.is_op(":=") || t.is_op("=>") || t.is_op("..") || t.is_op("**") || t.is_op("%")) {
      fail(911, i);
    } else if (t.is_op(")")) {
      fail_not_ended(i);
    } else if (t.is_word("MINUS")) {
      append("EXCEPT");
    } else {
      append(t.text);
    }
    ++i;
  }
  return sql;
}

namespace {

// A value compared with a DATE converts to a DATE, as Oracle's implicit conversion does.
void convert_for_date(const Expression& date, Expression& other) {
  if (!is_dateish(date.type) || other.type == ValueType::Number || other.text == "NULL") return;
  if (is_dateish(other.type)) {
    // DATE against TIMESTAMP: both as timestamps, so that equal instants compare equal as text.
    if (other.type == ValueType::Date && date.type != ValueType::Date) other.text = "TO_TIMESTAMP(" + other.text + ")";
    return;
  }
  other.text = (date.type == ValueType::Date ? "TO_DATE(" : "TO_TIMESTAMP(") + other.text + ")";
}

bool is_parameter(const std::string& sql) {
  return sql.size() > 1 && sql[0] == '?' &&
         std::all_of(sql.begin() + 1, sql.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// A NUMBER compared with text compares with the number the text holds, every digit kept, and
// text that holds none fails with ORA-01722 as Oracle's conversion does (SQLite would compare the
// text as text and find no match). A parameter of unknown type is converted too: SQLite's numeric
// affinity would read a long number's text as a double and miss its exact value.
void convert_for_number(const Expression& number, Expression& other) {
  if (number.type != ValueType::Number) return;
  if (other.type == ValueType::Unknown && is_parameter(other.text)) {
    other.text = "TO_NUMBER(" + other.text + ")";
    return;
  }
  if (other.type != ValueType::Text) return;
  if (other.text.size() < 2 || other.text.front() != '\'' || other.text.back() != '\'') {
    other.text = "TO_NUMBER(" + other.text + ")";
    other.type = ValueType::Number;
    return;
  }
  const std::string_view inner = std::string_view(other.text).substr(1, other.text.size() - 2);
  if (inner.find('\'') == std::string_view::npos && Decimal::parse(inner)) {
    other.text = sql::number_literal(inner);
  } else {
    other.text = "TO_NUMBER(" + other.text + ")";  // raises ORA-01722 as Oracle's conversion does
  }
  other.type = ValueType::Number;
}

// Ordering comparisons of values that may be exact compare their order keys.
bool compares_exactly(const Expression& left, const Expression& right) {
  return (left.type == ValueType::Number || right.type == ValueType::Number) &&
         (may_hold_exact(left) || may_hold_exact(right));
}

}  // namespace

std::string order_key(const std::string& sql) { return std::string(kNumberKeyFunction) + "(" + sql + ")"; }

namespace {

std::string comparison_symbol(const Token& op) { return op.is_op("^=") || op.is_op("~=") ? "!=" : op.text; }

// "left symbol right" in SQLite, with the conversions Oracle applies between the two sides.
std::string compared_text(Expression left, const std::string& symbol, Expression right) {
  convert_for_date(left, right);
  convert_for_date(right, left);
  convert_for_number(left, right);
  convert_for_number(right, left);
  const bool ordering = symbol == "<" || symbol == ">" || symbol == "<=" || symbol == ">=";
  if (ordering && compares_exactly(left, right)) return order_key(left.text) + " " + symbol + " " + order_key(right.text);
  return left.text + " " + symbol + " " + right.text;
}

void make_condition(Expression& value, std::string text) {
  value.text = std::move(text);
  value.type = ValueType::Unknown;
  value.plain_column = false;
  value.char_bytes = 0;
}

// The rows of a quantified comparison's sub-query, and the name of their one column.
constexpr const char* kQuantifiedRows = "\"OCIEMU$QUANTIFIED\"";
constexpr const char* kQuantifiedValue = "\"OCIEMU$V\"";

}  // namespace

int Translator::comparison(int index, int end, const Scope& scope, Expression& left) {
  if (index >= end) return index;
  const Token& op = token(index);
  // SOME is no reserved word: "= some(...)" is the quantifier, not a call.
  if (is_comparison(op) && (word_at(index + 1, "ANY") || word_at(index + 1, "SOME") || word_at(index + 1, "ALL")) &&
      token(index + 2).is_op("(")) {
    return quantified_comparison(index, end, scope, left);
  }
  if (is_comparison(op) && index + 1 < end && starts_operand(index + 1)) {
    Expression right;
    int next = expression(index + 1, end, scope, right);
    make_condition(left, compared_text(left, comparison_symbol(op), right));
    return next;
  }
  if (int next = dangling_test(index, left); next != index) return next;
  if (int next = json_test(index, left); next != index) return next;
  int at = index;
  bool negated = word_at(at, "NOT");
  if (negated) ++at;
  const bool exact = may_hold_exact(left);
  if (!word_at(at, "BETWEEN") || !(is_dateish(left.type) || exact) || !starts_operand(at + 1)) return index;
  Expression low, high;
  int and_index = expression(at + 1, end, scope, low);
  if (!word_at(and_index, "AND") || !starts_operand(and_index + 1)) return index;
  int next = expression(and_index + 1, end, scope, high);
  convert_for_date(left, low);
  convert_for_date(left, high);
  if (exact) {
    convert_for_number(left, low);
    convert_for_number(left, high);
    left.text = order_key(left.text);
    low.text = order_key(low.text);
    high.text = order_key(high.text);
  }
  left.text += std::string(negated ? " NOT" : "") + " BETWEEN " + low.text + " AND " + high.text;
  left.type = ValueType::Unknown;
  left.plain_column = false;
  left.char_bytes = 0;
  return next;
}

// "x op ANY|SOME|ALL (list or sub-query)". Equality with ANY and inequality with ALL are IN and
// NOT IN, which keep SQLite's index use; the other forms follow Oracle's three-valued rules: ANY
// is true when one comparison is, ALL false when one is, and either is unknown when no comparison
// decides and some are unknown. ALL over no rows is true, ANY false.
int Translator::quantified_comparison(int index, int end, const Scope& scope, Expression& left) {
  const std::string symbol = comparison_symbol(token(index));
  const bool all = word_at(index + 1, "ALL");
  const int open = index + 2;
  const int close = matching(open);
  if (close > end) fail_not_ended(end);
  const bool membership = all ? symbol == "!=" || symbol == "<>" : symbol == "=";
  if (word_at(open + 1, "SELECT") || word_at(open + 1, "WITH")) {
    const std::string rows = query(open + 1, close, &scope);
    if (membership) {
      make_condition(left, left.text + (all ? " NOT IN (" : " IN (") + rows + ")");
      return close + 1;
    }
    const std::string decided = all ? "MIN(c) = 0 THEN 0" : "MAX(c) = 1 THEN 1";
    const std::string test = compared_text(left, symbol, Expression{kQuantifiedValue, ValueType::Unknown});
    make_condition(left, std::string("(WITH ") + kQuantifiedRows + "(" + kQuantifiedValue + ") AS (" + rows +
                             ") SELECT CASE WHEN " + decided + " WHEN COUNT(c) < COUNT(*) THEN NULL ELSE " +
                             (all ? "1" : "0") + " END FROM (SELECT (" + test + ") AS c FROM " + kQuantifiedRows +
                             "))");
    return close + 1;
  }
  std::vector<Expression> items;
  for (int i = open + 1; i < close;) {
    items.emplace_back();
    i = expression(i, close, scope, items.back());
    if (i < close && !token(i).is_op(",")) fail(907, i);
    if (i < close) ++i;
  }
  if (items.empty()) fail(936, open + 1);
  std::string text;
  for (const Expression& item : items) {
    if (membership) {
      text += (text.empty() ? "" : ", ") + item.text;
    } else {
      text += (text.empty() ? "(" : all ? " AND " : " OR ") + compared_text(left, symbol, item);
    }
  }
  make_condition(left, membership ? left.text + (all ? " NOT IN (" : " IN (") + text + ")" : text + ")");
  return close + 1;
}

namespace {

// The name a scalar sub-query's rows go under while their number is checked.
constexpr const char* kScalarRows = "\"OCIEMU$SCALAR\"";

bool is_aggregate_name(const Token& t) {
  return t.kind == TokenKind::Word && in_list(t.text, {"COUNT", "SUM", "MIN", "MAX", "AVG"});
}

}  // namespace

// The index of the first top-level SELECT of a query (after its WITH clauses); -1 when the
// query begins with a parenthesised part.
int Translator::first_select(int begin, int end) const {
  for (int i = begin; i < end; ++i) {
    if (token(i).is_op("(")) {
      if (i == begin) return -1;
      i = matching(i);
    } else if (word_at(i, "SELECT")) {
      return i;
    }
  }
  return -1;
}

// Whether a sub-query's select list is one column, and whether it is one aggregate over the
// whole query, which yields exactly one row. A star or an unreadable shape counts as neither.
Translator::SelectShape Translator::select_shape(int begin, int end) const {
  const int select = first_select(begin, end);
  if (select < 0) return {};
  int item = select + 1;
  if (word_at(item, "DISTINCT") || word_at(item, "UNIQUE") || word_at(item, "ALL")) ++item;
  SelectShape shape{true, false};
  int from = -1;
  for (int i = item; i < end && from < 0; ++i) {
    const Token& t = token(i);
    if (t.is_op("(")) {
      i = matching(i);
    } else if (t.is_op(",") || (t.is_op("*") && (i == item || token(i - 1).is_op(".")))) {
      return {};
    } else if (word_at(i, "FROM")) {
      from = i;
    }
  }
  if (from < 0) return {};
  bool grouped = false;
  for (int i = from; i < end; ++i) {
    if (token(i).is_op("(")) {
      i = matching(i);
    } else if (word_at(i, "GROUP") || word_at(i, "UNION") || word_at(i, "INTERSECT") || word_at(i, "MINUS") ||
               word_at(i, "EXCEPT") || word_at(i, "CONNECT")) {
      grouped = true;
    }
  }
  shape.one_row = !grouped && is_aggregate_name(token(item)) && token(item + 1).is_op("(") &&
                  matching(item + 1) + 1 == from;
  return shape;
}

// A sub-query in parentheses (open..close). Where it stands for one value, more than one row
// fails with ORA-01427 as in Oracle, where SQLite would take the first row.
std::string Translator::scalar_subquery(int open, int close, const Scope& scope) {
  const std::string inner = query(open + 1, close, &scope);
  const bool set_operand = open > 0 && (word_at(open - 1, "IN") || word_at(open - 1, "EXISTS") ||
                                        word_at(open - 1, "ANY") || word_at(open - 1, "ALL") ||
                                        word_at(open - 1, "SOME"));
  if (set_operand) return "(" + inner + ")";
  const SelectShape shape = select_shape(open + 1, close);
  if (!shape.one_column || shape.one_row) return "(" + inner + ")";
  return std::string("(WITH ") + kScalarRows + "(v) AS (" + inner + ") SELECT " + kSingleRowFunction +
         "(COUNT(*), MIN(v)) FROM (SELECT v FROM " + kScalarRows + " LIMIT 2))";
}

int Translator::expression(int index, int end, const Scope& scope, Expression& result, int min_precedence) {
  if (index >= end) fail(936, index);
  Expression left;
  int i;
  const Token& first = token(index);
  if (first.is_op("-") || first.is_op("+")) {
    if (index + 1 >= end || !starts_operand(index + 1)) fail(936, index + 1);
    Expression operand;
    i = expression(index + 1, end, scope, operand, 3);
    if (first.is_op("+")) {
      left.text = operand.text;
    } else if (i == index + 2 && token(index + 1).kind == TokenKind::Number) {
      left.text = "(" + sql::number_literal("-" + token(index + 1).text) + ")";  // a long literal stays exact
    } else if (may_hold_exact(operand) || operand.type == ValueType::Text) {
      // Text through the exact operation: SQLite would negate text that is no number to 0.
      left.text = std::string(kExactMinusFunction) + "(0, " + operand.text + ")";
    } else {
      left.text = "(- " + operand.text + ")";
    }
    left.type = operand.type == ValueType::Unknown ? ValueType::Unknown : ValueType::Number;
  } else {
    i = at_time_zone(primary(index, end, scope, left), end, scope, left);
  }
  while (i < end) {
    int level = precedence(token(i));
    if (level == 0 || level < min_precedence) break;
    if (i + 1 >= end || !starts_operand(i + 1)) fail(936, i + 1);
    Expression right;
    std::string op = token(i).text;
    i = expression(i + 1, end, scope, right, level + 1);
    left = combine(op, left, right);
  }
  result = std::move(left);
  return i;
}

int Translator::primary(int index, int end, const Scope& scope, Expression& result) {
  const Token& t = token(index);
  switch (t.kind) {
    case TokenKind::Number:
      result = {number_literal(t.text), ValueType::Number};
      return index + 1;
    case TokenKind::String:
    case TokenKind::NationalString:
      // Oracle's empty string is NULL; any other literal is a CHAR of its bytes.
      result = {t.text.empty() ? "NULL" : quote_literal(t.text), ValueType::Text};
      if (t.kind == TokenKind::String) result.char_bytes = static_cast<int>(t.text.size());
      return index + 1;
    case TokenKind::Placeholder:
      result = {placeholder(t), ValueType::Unknown};
      return index + 1;
    case TokenKind::Operator: {
      if (!t.is_op("(")) break;
      int close = matching(index);
      if (close > end) fail_not_ended(end);
      if (word_at(index + 1, "SELECT") || word_at(index + 1, "WITH")) {
        result = {scalar_subquery(index, close, scope), ValueType::Unknown};
        return close + 1;
      }
      Expression inner;
      if (starts_operand(index + 1) && expression(index + 1, close, scope, inner) == close) {
        result = {"(" + inner.text + ")", inner.type};
        result.char_bytes = inner.char_bytes;
      } else {
        result = {"(" + rewrite(index + 1, close, scope) + ")", ValueType::Unknown};
      }
      return close + 1;
    }
    case TokenKind::Word:
    case TokenKind::QuotedName: {
      bool handled = false;
      int next = special_form(index, end, scope, result, handled);
      if (handled) return next;
      return identifier_chain(index, end, scope, result);
    }
    default:
      break;
  }
  fail(936, index);
}

int Translator::special_form(int index, int end, const Scope& scope, Expression& result, bool& handled) {
  handled = true;
  const Token& t = token(index);
  if (t.kind != TokenKind::Word) {
    handled = false;
    return index;
  }
  const std::string& word = t.text;
  const bool call = token(index + 1).is_op("(");
  if (word == "NULL") {
    result = {"NULL", ValueType::Unknown};
    return index + 1;
  }
  if (word == "CASE") {
    const int close = case_end(index, end);
    if (close >= end) fail(905, end);
    result = {"CASE " + rewrite(index + 1, close, scope) + " END", ValueType::Unknown};
    return close + 1;
  }
  if (word == "DATE" && token(index + 1).kind == TokenKind::String) {
    // A signed year reads as one; a fifth digit makes it out of range rather than a month.
    const std::string& literal = token(index + 1).text;
    const size_t year_start = literal.find_first_not_of(" +-");
    const size_t year_end = literal.find_first_not_of("0123456789", year_start);
    if (year_start != std::string::npos && (year_end == std::string::npos ? literal.size() : year_end) - year_start > 4)
      fail(1841, index + 1);
    std::string stored = parse_datetime(literal, "SYYYY-MM-DD");
    result = {quote_literal(stored), ValueType::Date};
    return index + 2;
  }
  if (word == "TIMESTAMP" && token(index + 1).kind == TokenKind::String) {
    // 'date time[.fraction] [zone]': a zone makes it a TIMESTAMP WITH TIME ZONE.
    std::string text = token(index + 1).text;
    const size_t time_start = text.find_first_not_of(' ', text.find(' ', text.find_first_not_of(' ')));
    const size_t zone_start = time_start == std::string::npos ? std::string::npos : text.find(' ', time_start);
    std::string zone = zone_start == std::string::npos ? "" : text.substr(zone_start + 1);
    zone.erase(0, std::min(zone.size(), zone.find_first_not_of(' ')));
    if (zone_start != std::string::npos) text.resize(zone_start);
    std::string stored = parse_datetime(text, text.find('.') != std::string::npos ? "YYYY-MM-DD HH24:MI:SS.FF"
                                                                                  : "YYYY-MM-DD HH24:MI:SS");
    auto value = parse_storage(stored);
    result = {quote_literal(to_storage(*value, true)), ValueType::Timestamp};
    if (!zone.empty()) result = {"FROM_TZ(" + result.text + ", " + quote_literal(zone) + ")", ValueType::TimestampTz};
    return index + 2;
  }
  if (word == "INTERVAL" && token(index + 1).kind == TokenKind::String) return interval_literal(index, result);
  if (!call && (word == "SYSDATE" || word == "CURRENT_DATE")) {
    result = {"SYSDATE()", ValueType::Date};
    return index + 1;
  }
  if (!call && word == "SYSTIMESTAMP") {
    result = {"SYSTIMESTAMP()", ValueType::TimestampTz};
    return index + 1;
  }
  if (!call && word == "CURRENT_TIMESTAMP") {
    result = {"OCIEMU_CURRENT_TIMESTAMP()", ValueType::TimestampTz};
    return index + 1;
  }
  if (!call && word == "LOCALTIMESTAMP") {
    result = {"OCIEMU_LOCALTIMESTAMP()", ValueType::Timestamp};
    return index + 1;
  }
  if (!call && (word == "SESSIONTIMEZONE" || word == "DBTIMEZONE")) {
    result = {word == "DBTIMEZONE" ? "OCIEMU_DBTIMEZONE()" : "OCIEMU_SESSIONTIMEZONE()", ValueType::Text};
    return index + 1;
  }
  if (!call && word == "USER") {
    result = {"OCIEMU_USER()", ValueType::Text};
    return index + 1;
  }
  if (!call && (word == "UID")) {
    result = {"USERENV('SESSIONID')", ValueType::Number};
    return index + 1;
  }
  if (!call && word == "ROWNUM") {
    // In the select list: the row's number in the result.
    result = {"ROW_NUMBER() OVER ()", ValueType::Number};
    return index + 1;
  }
  if (!call && word == "LEVEL") {
    if (level_sql_.empty()) fail(1788, index);
    result = {level_sql_, ValueType::Number};
    return index + 1;
  }
  if (word == "PRIOR" && !prior_alias_.empty()) {
    // PRIOR [alias.]column: the column of the parent row.
    int last = index + 1;
    while (token(last + 1).is_op(".") && last + 2 < end) last += 2;
    result = {prior_alias_ + "." + quote_name(identifier(last)), ValueType::Unknown};
    return last + 1;
  }
  if (call && word == "EXTRACT") {
    int close = matching(index + 1);
    if (token(index + 2).kind != TokenKind::Word || !word_at(index + 3, "FROM")) fail(907, index + 2);
    result = {"OCIEMU_EXTRACT('" + token(index + 2).text + "', " + rewrite(index + 4, close, scope) + ")",
              ValueType::Number};
    return close + 1;
  }
  if (call && word == "TRIM") {
    int close = matching(index + 1);
    int from = index + 2;
    while (from < close && !word_at(from, "FROM")) from = token(from).is_op("(") ? matching(from) + 1 : from + 1;
    if (from >= close) {
      result = {"TRIM(" + rewrite(index + 2, close, scope) + ")", ValueType::Text};
      return close + 1;
    }
    int i = index + 2, side = 3;
    if (word_at(i, "LEADING")) side = 1, ++i;
    else if (word_at(i, "TRAILING")) side = 2, ++i;
    else if (word_at(i, "BOTH")) ++i;
    std::string character = i < from ? rewrite(i, from, scope) : "' '";
    result = {"OCIEMU_TRIM(" + std::to_string(side) + ", " + character + ", " + rewrite(from + 1, close, scope) + ")",
              ValueType::Text};
    return close + 1;
  }
  if (call && word == "CAST") {
    int close = matching(index + 1);
    int as = index + 2;
    while (as < close && !word_at(as, "AS")) as = token(as).is_op("(") ? matching(as) + 1 : as + 1;
    if (as >= close) fail(905, close);
    std::string value = rewrite(index + 2, as, scope);
    std::string type = token(as + 1).text;
    if (type == "DATE") {
      result = {"TO_DATE(" + value + ")", ValueType::Date};
    } else if (type == "TIMESTAMP") {
      result = {"TO_TIMESTAMP(" + value + ")", ValueType::Timestamp};
    } else if (in_list(type, {"NUMBER", "INTEGER", "INT", "SMALLINT", "DECIMAL", "NUMERIC", "FLOAT", "REAL",
                              "BINARY_FLOAT", "BINARY_DOUBLE"})) {
      result = {cast_to_number(type, as + 2, close, "TO_NUMBER(" + value + ")"), ValueType::Number};
    } else if (in_list(type, {"VARCHAR2", "VARCHAR", "CHAR", "NCHAR", "NVARCHAR2", "CLOB", "NCLOB"})) {
      result = {cast_to_text(type, as + 2, close, "TO_CHAR(" + value + ")"), ValueType::Text};
    } else {
      result = {"CAST(" + value + " AS BLOB)", ValueType::Unknown};
    }
    return close + 1;
  }
  handled = false;
  return index;
}

// CAST to NUMBER(p[,s]) or an integer type: rounded to the scale, ORA-01438 past the precision.
// `open` is where the type's "(p, s)" would begin.
std::string Translator::cast_to_number(const std::string& type, int open, int close, const std::string& number) const {
  constexpr int kMaxPrecision = 38;
  int precision = kMaxPrecision, scale = 0;
  if (type == "NUMBER" || type == "DECIMAL" || type == "NUMERIC") {
    if (!token(open).is_op("(") || open >= close) return number;
    if (token(open + 1).kind == TokenKind::Number) precision = std::stoi(token(open + 1).text);
    if (token(open + 2).is_op(",")) {
      const bool negative = token(open + 3).is_op("-");
      scale = std::stoi(token(open + 3 + (negative ? 1 : 0)).text) * (negative ? -1 : 1);
    }
  } else if (type != "INTEGER" && type != "INT" && type != "SMALLINT") {
    return number;
  }
  return "OCIEMU_CAST_NUMBER(" + number + ", " + std::to_string(precision) + ", " + std::to_string(scale) + ")";
}

// CAST to VARCHAR2(n [BYTE|CHAR]) and the like: ORA-25137 for a longer text; CHAR(n) and NCHAR(n)
// are blank-padded to n as their columns are.
std::string Translator::cast_to_text(const std::string& type, int open, int close, const std::string& text) const {
  if (!token(open).is_op("(") || open >= close || token(open + 1).kind != TokenKind::Number) return text;
  const std::string& size = token(open + 1).text;
  const char* in_characters = word_at(open + 2, "CHAR") || type == "NCHAR" ? "1" : "0";
  std::string checked = "OCIEMU_CAST_TEXT(" + text + ", " + size + ", " + in_characters + ")";
  if (type != "CHAR" && type != "NCHAR") return checked;
  return std::string(kBlankPadFunction) + "(" + checked + ", " + size + ", " + in_characters + ")";
}

// INTERVAL 'text' leading [(precision)] [TO trailing [(precision)]]: months or days, as intervals are kept.
int Translator::interval_literal(int index, Expression& result) {
  std::string leading = token(index + 2).kind == TokenKind::Word ? token(index + 2).text : "";
  int next = index + 3;
  if (token(next).is_op("(")) next = matching(next) + 1;
  std::string trailing;
  if (word_at(next, "TO")) {
    trailing = token(next + 1).text;
    next += 2;
    if (token(next).is_op("(")) next = matching(next) + 1;
  }
  IntervalLiteral literal;
  try {
    literal = parse_interval_literal(token(index + 1).text, leading, trailing);
  } catch (const OracleException& e) {
    fail(e.error.code, index + 1);
  }
  if (literal.year_month) {
    result = {std::to_string(literal.value), ValueType::IntervalYM};
  } else {
    result = {number_literal(static_cast<double>(literal.value) / (kSecondsPerDay * kNanosPerSecond)), ValueType::IntervalDS};
  }
  return next;
}

int Translator::at_time_zone(int index, int end, const Scope& scope, Expression& value) {
  if (!word_at(index, "AT")) return index;
  if (word_at(index + 1, "LOCAL")) {
    value = {"OCIEMU_AT_LOCAL(" + value.text + ")", ValueType::TimestampTz};
    return index + 2;
  }
  if (!word_at(index + 1, "TIME") || !word_at(index + 2, "ZONE") || index + 3 >= end) fail(905, index);
  Expression zone;
  int next = primary(index + 3, end, scope, zone);
  value = {"OCIEMU_AT_ZONE(" + value.text + ", " + zone.text + ")", ValueType::TimestampTz};
  return next;
}

// A window function's OVER (...) belongs to its call: in "a || f(x) OVER (...)" the operator may
// become a function around the call, which the window must not follow.
int Translator::window_clause(int at, const Scope& scope, Expression& call) {
  if (!word_at(at, "OVER") || !token(at + 1).is_op("(")) return at;
  const int close = matching(at + 1);
  call.text += " OVER (" + rewrite(at + 2, close, scope) + ")";
  return close + 1;
}

int Translator::identifier_chain(int index, int end, const Scope& scope, Expression& result) {
  std::vector<std::string> parts;
  std::vector<bool> quoted;
  int i = index;
  auto take = [&](int at) {
    const Token& t = token(at);
    if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) fail(936, at);
    parts.push_back(t.text);
    quoted.push_back(t.kind == TokenKind::QuotedName);
  };
  take(i++);
  while (i + 1 < end && token(i).is_op(".")) {
    if (token(i + 1).is_op("*")) {
      // alias.* or owner.table.*
      std::string qualifier = parts.back();
      const TableRef* table = scope.find_alias(qualifier);
      result = {(table ? quote_name(table->alias) : quote_name(qualifier)) + ".*", ValueType::Unknown};
      return i + 2;
    }
    take(i + 1);
    i += 2;
  }
  if (i + 2 < end && marks_outer_join(i)) {
    if (!outer_join_marks_allowed_) fail(kOuterJoinNotHere, i);
    result = column_reference(parts, quoted, index, scope);
    return i + 3;
  }
  if (i < end && token(i).is_op("(")) {
    if (object_call(parts, i, scope, result)) return matching(i) + 1;
    std::string name;
    for (size_t k = 0; k < parts.size(); ++k) name += (k ? "." : "") + parts[k];
    if (std::string_view lob = lob_function(name); !lob.empty()) name = lob;
    if (auto builtin = builtin_package_function(name)) name = *builtin;
    std::optional<std::string> key = resolver_ ? resolver_->function_being_compiled(parts) : std::nullopt;
    if (!key) key = stored_function(db_, session_, parts);
    if (key) {
      result.text = stored_function_call(*key, i, scope, result);
    } else if (name == "DUMP") {
      result.text = dump_call(i, scope, result);
    } else if (name == "LISTAGG") {
      result.text = listagg_call(i, scope, result);
    } else if (name == "JSON_OBJECT") {
      result.text = json_object_call(i, scope, result);
    } else {
      result.text = function_call(name, i, scope, result);
    }
    result.plain_column = false;
    const int after_call = std::exchange(analytic_end_, 0);
    return window_clause(after_call ? after_call : matching(i) + 1, scope, result);
  }
  if (auto attribute = parts.size() >= 3 ? attribute_reference(parts, scope) : std::nullopt) {
    result = *attribute;
    return i;
  }
  result = column_reference(parts, quoted, index, scope);
  return i;
}

namespace {
// The internal type DUMP shows: a column's own, else that of the expression's kind; 0 leaves
// it to the value's storage.
int dump_type_code(const Expression& value, bool string_literal) {
  if (value.plain_column) {
    auto type = parse_declared_type(value.column_declaration.c_str());
    const int code = type ? type->type_code : 0;
    return code == 1 || code == 2 || code == 8 || code == 12 || code == 23 || code == 96 || code == 180 ? code : 0;
  }
  switch (value.type) {
    case ValueType::Number: return 2;
    case ValueType::Text: return string_literal ? 96 : 1;
    case ValueType::Date: return 13;
    case ValueType::Timestamp: return 180;
    default: return 0;
  }
}
}  // namespace

std::string Translator::dump_call(int open, const Scope& scope, Expression& result) {
  const int close = matching(open);
  std::string text = std::string(kDumpFunction) + "(";
  int start = open + 1;
  for (int argument = 0; start < close; ++argument) {
    if (argument == 4) fail(939, start);
    Expression value;
    const int next = expression(start, close, scope, value);
    if (next < close && !token(next).is_op(",")) fail_not_ended(next);
    text += argument == 0 ? value.text + ", " +
                                std::to_string(dump_type_code(value, next == start + 1 && token(start).kind == TokenKind::String))
                          : ", " + value.text;
    start = next + 1;
  }
  if (start == open + 1 || start > close + 1) fail(938, close);
  result.type = ValueType::Text;
  return text + ")";
}

// JSON text in character columns, read through SQLite's JSON functions. A malformed document
// gives NULL and FALSE as Oracle's default NULL ON ERROR does, rather than failing the statement.
int Translator::json_test(int index, Expression& value) const {
  const bool negated = word_at(index + 1, "NOT");
  const int json = index + (negated ? 2 : 1);
  if (!word_at(index, "IS") || !word_at(json, "JSON")) return index;
  value.text = "(" + value.text + " IS NOT NULL AND json_valid(" + value.text + ") = " + (negated ? "0" : "1") + ")";
  value.type = ValueType::Unknown;
  value.plain_column = false;
  value.char_bytes = 0;
  return json + (word_at(json + 1, "STRICT") || word_at(json + 1, "LAX") ? 2 : 1);
}

namespace {

std::optional<std::string> json_function(const std::string& name, const std::vector<Expression>& arguments) {
  if (arguments.size() != 2 || (name != "JSON_VALUE" && name != "JSON_EXISTS")) return std::nullopt;
  const std::string& document = arguments[0].text;
  const std::string& path = arguments[1].text;
  const std::string type = "json_type(" + document + ", " + path + ")";
  const std::string readable = "json_valid(" + document + ")";
  if (name == "JSON_EXISTS") return "(CASE WHEN " + readable + " THEN " + type + " IS NOT NULL ELSE 0 END)";
  // A scalar as text; JSON's true and false keep their words, objects and arrays give NULL.
  return "(CASE WHEN NOT " + readable + " THEN NULL WHEN " + type + " IN ('true', 'false') THEN " + type +
         " WHEN " + type + " IN ('object', 'array') THEN NULL ELSE CAST(json_extract(" + document + ", " + path +
         ") AS TEXT) END)";
}

}  // namespace

std::string Translator::function_call(const std::string& name, int open, const Scope& scope, Expression& result,
                                      const ArgumentWrap& wrap) {
  int close = matching(open);
  std::vector<Expression> arguments;
  // SUM stays exact where SQLite's would overflow 64 bits.
  std::string text = (name == "SUM" ? std::string(kExactSumFunction) : name) + "(";
  int start = open + 1;
  bool simple = true;
  for (int j = open + 1; j <= close && start < close; ++j) {
    if (j < close && token(j).is_op("(")) {
      j = matching(j);
      continue;
    }
    if (j < close && !token(j).is_op(",")) continue;
    Expression argument;
    if (!(starts_operand(start) && expression(start, j, scope, argument) == j)) {
      simple = false;
      break;
    }
    arguments.push_back(argument);
    start = j + 1;
  }
  const bool analytic = word_at(close + 1, "OVER");
  if (simple && arguments.size() == 1 && (name == "MIN" || name == "MAX") && may_hold_exact(arguments[0])) {
    // SQLite's MIN and MAX would put exact values above every other number. Over a window its own
    // run over the keys, as it moves frames faster than an aggregate of ours could.
    if (analytic && token(close + 2).is_op("(")) {
      const int over_close = matching(close + 2);
      const std::string window = rewrite(close + 3, over_close, scope);
      analytic_end_ = over_close + 1;  // set after the window's own calls are read
      result.type = ValueType::Number;
      return std::string(kNumberFromKeyFunction) + "(" + name + "(" + order_key(arguments[0].text) + ") OVER (" +
             window + "))";
    }
    if (!analytic) text = std::string(name == "MIN" ? kExactMinFunction : kExactMaxFunction) + "(";
  }
  if (simple) {
    for (size_t k = 0; k < arguments.size(); ++k) {
      text += (k ? ", " : "") + (wrap ? wrap(k, arguments[k].text) : arguments[k].text);
    }
    if (name == "TO_CHAR" || name == "TO_NCHAR") text += fraction_digits_argument(arguments);
  } else {
    // COUNT(*), COUNT(DISTINCT x), aggregates with ORDER BY...: keep the words.
    arguments.clear();
    text += rewrite(open + 1, close, scope);
  }
  result.type = function_type(name, arguments);
  if (auto json = simple ? json_function(name, arguments) : std::nullopt) {
    result.type = name == "JSON_VALUE" ? ValueType::Text : ValueType::Unknown;
    return *json;
  }
  return text + ")";
}

// A stored function's call runs the PL/SQL engine through OCIEMU_CALL(key, caller, arguments...);
// with named arguments (p => value) each argument comes after its name, NULL for a positional one.
std::string Translator::stored_function_call(const std::string& key, int open, const Scope& scope, Expression& result) {
  constexpr std::string_view kCall = "OCIEMU_CALL";
  // Who calls: PL/SQL (0), a query (1, which the function may not change data for) or DML (2).
  int caller = resolver_ && resolver_->in_plsql_expression() ? 0 : out_.kind == StatementKind::Select ? 1 : 2;
  int close = open < 0 ? open : matching(open);
  std::vector<std::pair<int, int>> arguments;  // token ranges
  for (int start = open + 1, j = open + 1; j <= close && start < close; ++j) {
    if (j < close && token(j).is_op("(")) {
      j = matching(j);
    } else if (j == close || token(j).is_op(",")) {
      arguments.emplace_back(start, j);
      start = j + 1;
    }
  }
  auto named = [&](const std::pair<int, int>& range) { return token(range.first + 1).is_op("=>"); };
  bool with_names = std::any_of(arguments.begin(), arguments.end(), named);
  std::string text;
  if (with_names) {
    text = std::string(kCall) + "(" + quote_literal(key) + ", " + std::to_string(caller | kCallWithNames);
    for (const auto& [begin, end] : arguments) {
      int value = named({begin, end}) ? begin + 2 : begin;
      if (value >= end) fail(936, value);
      text += ", " + (value == begin ? std::string("NULL") : quote_literal(identifier(begin))) + ", " +
              rewrite(value, end, scope);
    }
    text += ")";
  } else if (open < 0) {
    text = std::string(kCall) + "(" + quote_literal(key) + ", " + std::to_string(caller) + ")";
  } else {
    text = function_call(std::string(kCall), open, scope, result);
    bool no_arguments = text.size() == kCall.size() + 2;
    text.insert(kCall.size() + 1, quote_literal(key) + ", " + std::to_string(caller) + (no_arguments ? "" : ", "));
  }
  // The declared result type describes the column: a DATE function fetches as a date.
  std::optional<std::string> returns = function_return_type(db_, key);
  result.type = returns ? type_of_declaration(*returns) : ValueType::Unknown;
  if (returns && result.type == ValueType::Unknown && is_plsql_integer(*returns)) result.type = ValueType::Number;
  return text;
}

ValueType Translator::function_type(const std::string& name, const std::vector<Expression>& arguments) const {
  auto argument_type = [&](size_t k) { return k < arguments.size() ? arguments[k].type : ValueType::Unknown; };
  if (in_list(name, {"TO_DATE", "ADD_MONTHS", "LAST_DAY", "NEXT_DAY", "SYSDATE", "NEW_TIME"})) return ValueType::Date;
  if (in_list(name, {"TO_TIMESTAMP"})) return ValueType::Timestamp;
  if (in_list(name, {"SYSTIMESTAMP", "TO_TIMESTAMP_TZ", "FROM_TZ"})) return ValueType::TimestampTz;
  if (name == "SYS_EXTRACT_UTC") return ValueType::Timestamp;
  if (name == "BFILENAME") return ValueType::Bfile;
  if (in_list(name, {"TO_CLOB", "TO_NCLOB"})) return ValueType::Clob;
  if (in_list(name, {"TO_YMINTERVAL", "NUMTOYMINTERVAL"})) return ValueType::IntervalYM;
  if (in_list(name, {"TO_DSINTERVAL", "NUMTODSINTERVAL"})) return ValueType::IntervalDS;
  if (name == "CHARTOROWID") return ValueType::Rowid;
  if (in_list(name, {"TRUNC", "ROUND"})) {
    ValueType type = argument_type(0);
    return is_dateish(type) ? ValueType::Date : type == ValueType::Number ? ValueType::Number : ValueType::Unknown;
  }
  if (in_list(name, {"TO_CHAR", "TO_NCHAR", "SUBSTR", "UPPER", "LOWER", "INITCAP", "TRIM", "LTRIM", "RTRIM", "LPAD",
                     "RPAD", "REPLACE", "TRANSLATE", "CHR", "CONCAT", "SOUNDEX", "RAWTOHEX", "SYS_CONTEXT",
                     "ROWIDTOCHAR"}))
    return ValueType::Text;
  if (in_list(name, {"TO_NUMBER", "LENGTH", "LENGTHB", "INSTR", "OCIEMU_LOB_GETLENGTH", "OCIEMU_LOB_INSTR", "OCIEMU_LOB_COMPARE", "MOD", "ABS", "CEIL", "FLOOR", "POWER", "SQRT",
                     "SIGN", "COUNT", "SUM", "AVG", "MONTHS_BETWEEN", "ASCII", "BITAND", "LN", "LOG", "EXP",
                     "STDDEV", "VARIANCE", "ROW_NUMBER", "RANK", "DENSE_RANK"}))
    return ValueType::Number;
  if (in_list(name, {"NVL", "COALESCE", "GREATEST", "LEAST", "MIN", "MAX", "NULLIF"})) {
    return argument_type(0) != ValueType::Unknown ? argument_type(0) : argument_type(1);
  }
  if (name == "NVL2") return argument_type(1);
  if (name == "DECODE") return argument_type(2);
  return ValueType::Unknown;
}

const TableRef* Translator::rowid_table(const Scope& scope, const std::string& qualifier, int index) const {
  if (!qualifier.empty()) {
    const TableRef* table = scope.find_alias(qualifier);
    if (!table) fail(904, {in_quotes(qualifier + ".ROWID")}, index);
    return table;
  }
  for (const Scope* level = &scope; level; level = level->parent) {
    if (level->tables.empty()) continue;
    if (level->tables.size() > 1) fail(918, index);
    return &level->tables.front();
  }
  fail(904, {in_quotes("ROWID")}, index);
}

Expression Translator::column_reference(const std::vector<std::string>& parts, const std::vector<bool>& quoted,
                                        int index, const Scope& scope) {
  const size_t n = parts.size();
  const std::string& last = parts.back();
  if (!quoted.back() && n >= 2 && (last == "NEXTVAL" || last == "CURRVAL")) {
    std::string owner = n >= 3 ? parts[n - 3] : "";
    auto sequence = resolve_object(db_, session_, owner, parts[n - 2]);
    if (!sequence || sequence->type != "SEQUENCE") fail(2289, index);
    std::string function = last == "NEXTVAL" ? "OCIEMU_NEXTVAL" : "OCIEMU_CURRVAL";
    return {function + "(" + quote_literal(sequence->sqlite_name()) + ")", ValueType::Number};
  }
  if (!quoted.back() && last == "ROWID") {
    const TableRef* table = rowid_table(scope, n >= 2 ? parts[n - 2] : "", index);
    if (auto element = collection_rowid(*table)) return *element;
    if (table->rowid_base) return {quote_name(table->alias) + "." + quote_name(kViewRowidColumn), ValueType::Rowid};
    if (!table->resolved || table->object.type != "TABLE")
      fail(1445, index);
    std::string row = in_returning_ ? "rowid" : quote_name(table->alias) + ".rowid";
    return {"OCIEMU_ROWID(" + std::to_string(table->object.object_id) + ", " + row + ")", ValueType::Rowid};
  }
  if (auto element = n <= 2 ? collection_column(parts, scope) : std::nullopt) return *element;
  std::string qualifier = n >= 2 ? parts[n - 2] : "";
  if (resolver_ && !names_column(scope, qualifier, last)) {
    if (auto name = resolver_->resolve(parts)) {
      return {placeholder(Token{TokenKind::Placeholder, *name, token(index).offset, 0}), ValueType::Unknown};
    }
  }
  if (n <= 3 && column_prefix_.empty() && !names_column(scope, qualifier, last) && only_known_tables(scope)) {
    // A stored function called without parentheses ([owner.]function, [owner.]package.function).
    if (auto key = stored_function(db_, session_, parts)) {
      Expression call;
      call.text = stored_function_call(*key, -1, scope, call);
      return call;
    }
  }
  // OWNER.TABLE.COLUMN: the table is known under its alias.
  if (n == 3) {
    const TableRef* table = scope.find_alias(parts[1]);
    if (!table || table->object.owner != parts[0]) fail(904, {in_quotes(parts[0] + "." + parts[1] + "." + last)}, index);
  }
  if (n > 3) fail(904, {in_quotes(last)}, index);
  Expression result;
  result.text = !column_prefix_.empty()             ? column_prefix_
                : in_returning_ || qualifier.empty() ? ""
                                                     : quote_name(qualifier) + ".";
  const TableRef* table = column_table(scope, qualifier, last);
  if (!table && column_prefix_.empty()) table = view_target(scope, qualifier);
  if (table && table->view) {
    if (auto computed = view_computed_column(*table, last)) return *computed;
  }
  result.text += quote_name(table              ? stored_column(*table, last)
                            : prefix_columns_ ? stored_column_name(*prefix_columns_, last)
                                              : last);
  result.column_declaration = table ? declared_type(*table, last).value_or("") : "";
  result.not_null = table && column_not_null(*table, last);
  result.type = result.column_declaration.empty() ? ValueType::Unknown : type_of_declaration(result.column_declaration);
  result.plain_column = true;
  result.declared = named_declaration(scope, qualifier, last);
  return result;
}

bool Translator::has_lob_column(const TableRef& table) const {
  for (const std::string& column : table_columns(db_, table.object.sqlite_name())) {
    auto declared = declared_type(table, column);
    auto type = declared ? parse_declared_type(declared->c_str()) : std::nullopt;
    if (type && type->type_code >= 112 && type->type_code <= 114) return true;
    auto named = declared ? parse_object_column_declaration(*declared) : std::nullopt;
    if (named && !named->is_ref && type_holds_lob(db_, named->owner, named->name)) return true;
  }
  return false;
}

std::optional<OracleType> Translator::plain_lob_column(int begin, int end, const Scope& scope, std::string& table,
                                                       std::string& stored) const {
  const bool qualified = end - begin == 3 && token(begin + 1).is_op(".");
  if (end - begin != 1 && !qualified) return std::nullopt;
  const std::string column = identifier(end - 1);
  const TableRef* found = nullptr;
  for (const TableRef& candidate : scope.tables) {
    if (qualified ? candidate.alias != identifier(begin) : !declared_type(candidate, column)) continue;
    if (found) return std::nullopt;  // ambiguous: leave it to SQLite
    found = &candidate;
  }
  if (!found || !found->resolved || found->object.type != "TABLE") return std::nullopt;
  auto declared = declared_type(*found, column);
  auto type = declared ? parse_declared_type(declared->c_str()) : std::nullopt;
  if (!type || (type->type_code != 112 && type->type_code != 113)) return std::nullopt;
  table = found->object.sqlite_name();
  stored = stored_column(*found, column);
  return type;
}

std::optional<std::string> Translator::declared_type(const TableRef& table, const std::string& column) const {
  if (!table.resolved) return std::nullopt;
  if (table.view) {
    auto base = table.view->base_column(column);
    if (!base || base->empty()) return std::nullopt;
  }
  if (!table.column_types) table.column_types.emplace();
  auto found = table.column_types->find(column);
  if (found != table.column_types->end()) return found->second;
  // A schema lookup, no statement to prepare: this runs for every column the statement names.
  const char* declared = nullptr;
  if (sqlite3_table_column_metadata(db_, "main", table.object.sqlite_name().c_str(), stored_column(table, column).c_str(),
                                    &declared, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  std::string type = declared ? declared : "";
  (*table.column_types)[column] = type;
  return type;
}

std::string Translator::stored_column(const TableRef& table, const std::string& column) const {
  if (!table.resolved) return column;
  if (!table.stored_columns) table.stored_columns = table_columns(db_, table.object.sqlite_name());
  return stored_column_name(*table.stored_columns, table.view ? view_base_column(table, column) : column);
}

// The view a DML statement writes through, when a column reference may be meant for it:
// the base table's other columns must not show through.
const TableRef* Translator::view_target(const Scope& scope, const std::string& qualifier) const {
  if (!qualifier.empty()) {
    const TableRef* table = scope.find_alias(qualifier);
    return table && table->view ? table : nullptr;
  }
  if (!only_known_tables(scope)) return nullptr;
  for (const Scope* level = &scope; level; level = level->parent) {
    for (const TableRef& table : level->tables) {
      if (table.view) return &table;
    }
  }
  return nullptr;
}

// No table of the scope is a sub-query, whose columns the translator cannot list.
bool Translator::only_known_tables(const Scope& scope) const {
  for (const Scope* level = &scope; level; level = level->parent) {
    for (const TableRef& table : level->tables) {
      if (!table.resolved) return false;
    }
  }
  return true;
}

// Columns win over PL/SQL names, as in Oracle; a sub-query's columns are unknown here.
bool Translator::names_column(const Scope& scope, const std::string& qualifier, const std::string& column) const {
  if (!qualifier.empty()) return scope.find_alias(qualifier) != nullptr;
  for (const Scope* level = &scope; level; level = level->parent) {
    for (const TableRef& table : level->tables) {
      if (declared_type(table, column)) return true;
    }
  }
  return false;
}

const TableRef* Translator::column_table(const Scope& scope, const std::string& qualifier,
                                         const std::string& column) const {
  if (!qualifier.empty()) {
    const TableRef* table = scope.find_alias(qualifier);
    return table && declared_type(*table, column) ? table : nullptr;
  }
  for (const Scope* level = &scope; level; level = level->parent) {
    for (const TableRef& table : level->tables) {
      if (declared_type(table, column)) return &table;
    }
  }
  return nullptr;
}

std::optional<std::string> Translator::column_declaration(const Scope& scope, const std::string& qualifier,
                                                          const std::string& column) const {
  const TableRef* table = column_table(scope, qualifier, column);
  return table ? declared_type(*table, column) : std::nullopt;
}

bool Translator::column_not_null(const TableRef& table, const std::string& column) const {
  int not_null = 0, primary_key = 0;
  return sqlite3_table_column_metadata(db_, "main", table.object.sqlite_name().c_str(), column.c_str(), nullptr,
                                       nullptr, &not_null, &primary_key, nullptr) == SQLITE_OK &&
         (not_null || primary_key);
}

bool Translator::rowid_comparison(int& index, int end, const Scope& scope, std::string& sql) {
  // [alias.]ROWID = value: compare SQLite rowids so that the lookup uses the table's key.
  if (in_returning_) return false;
  int i = index;
  std::string qualifier;
  const Token& t = token(i);
  if ((t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName) && token(i + 1).is_op(".") && word_at(i + 2, "ROWID")) {
    qualifier = t.text;
    i += 2;
  }
  if (!word_at(i, "ROWID") || !token(i + 1).is_op("=") || i + 2 >= end || !starts_operand(i + 2)) return false;
  if (index > 0 && token(index - 1).is_op(".")) return false;
  const TableRef* table = rowid_table(scope, qualifier, i);
  if (!table->resolved || table->object.type != "TABLE") return false;
  Expression value;
  index = expression(i + 2, end, scope, value);
  sql = quote_name(table->alias) + ".rowid = OCIEMU_ROWID_ROW(" + value.text + ", " +
        std::to_string(table->object.object_id) + ")";
  return true;
}

}  // namespace ociemu::sql
