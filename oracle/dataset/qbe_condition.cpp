// Query-by-example values: tokens of an operator text, one value compared
// with an operator, and each field type's form of a value.
#include "oracle/dataset/qbe_condition.h"

#include <cctype>
#include <vector>

#include "runtime/ansi_case.h"
#include "runtime/date_text.h"
#include "runtime/datetime.h"
#include "runtime/str_convert.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

enum class ValueClass { String, Date, Time, Integer, Float };

ValueClass class_of(TFieldType type) {
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
    case ftAutoInc: return ValueClass::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return ValueClass::Float;
    case ftDate:
    case ftDateTime: return ValueClass::Date;
    case ftTime: return ValueClass::Time;
    default: return ValueClass::String;
  }
}

std::string trimmed(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlankChar(text[start])) ++start;
  return std::string(TrimRight(text.substr(start)));
}

std::string quoted(const std::string& value) {
  std::string result = "'";
  for (char c : value) {
    result += c;
    if (c == '\'') result += '\'';
  }
  return result + "'";
}

// A value enclosed in single or double quotes loses them; doubled quotes
// inside collapse.
std::string unquoted(const std::string& value) {
  if (value.size() < 2) return value;
  const char quote = value.front();
  if ((quote != '\'' && quote != '"') || value.back() != quote) return value;
  std::string result;
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    result += value[i];
    if (value[i] == quote && value[i + 1] == quote && i + 2 < value.size()) ++i;
  }
  return result;
}

bool has_wildcard(const std::string& value) {
  std::string upper = AnsiUpperCase(value);
  for (size_t at = upper.find("TO_"); at != std::string::npos; at = upper.find("TO_", at)) upper.erase(at, 3);
  return upper.find_first_of("%_") != std::string::npos;
}

bool is_operator_char(char c) { return c == '!' || c == '<' || c == '=' || c == '>'; }

struct Token {
  std::string Text;    // as typed, quotes included
  bool Quoted = false;
  bool Separator = false;  // "," "(" ")"
};

std::vector<Token> tokenize(const std::string& text) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsBlankChar(c)) {
      ++i;
    } else if (c == ',' || c == '(' || c == ')') {
      tokens.push_back({std::string(1, c), false, true});
      ++i;
    } else if (c == '\'' || c == '"') {
      size_t end = i + 1;
      while (end < text.size()) {
        if (text[end] == c) {
          if (end + 1 < text.size() && text[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      end = end < text.size() ? end + 1 : end;
      tokens.push_back({text.substr(i, end - i), true, false});
      i = end;
    } else {
      size_t end = i;
      while (end < text.size() && !IsBlankChar(text[end]) && text[end] != ',' && text[end] != '(' &&
             text[end] != ')' && text[end] != '\'' && text[end] != '"')
        ++end;
      tokens.push_back({text.substr(i, end - i), false, false});
      i = end;
    }
  }
  return tokens;
}

bool is_word(const Token& token, const char* word) { return !token.Quoted && AnsiSameText(token.Text, word); }

class Converter {
 public:
  Converter(const std::string& column, TFieldType type, const QBEValueOptions& options)
      : column_(column), class_(class_of(type)), options_(options) {}

  std::string ColumnExpression() const {
    if (class_ != ValueClass::String) return column_;
    if (options_.SoundsLike) return "soundex(" + column_ + ")";
    if (options_.CaseInsensitive) return "upper(" + column_ + ")";
    return column_;
  }

  // `op` is empty when none was given.
  std::string Compare(std::string op, const std::string& raw_value, bool force_like = false) const {
    std::string value = file_wildcards(unquoted(raw_value));
    if (AnsiSameText(trimmed(value), "NULL")) return "is null";
    const bool explicit_equal = op.empty() || op == "=";
    if (class_ == ValueClass::Date && !has_wildcard(value) && options_.DateWithoutTime && explicit_equal) {
      const std::optional<TDateTime> day = whole_day(value);
      if (day)
        return ">= " + date_literal(*day, false) + " and " + column_ + " < " + date_literal(*day + 1, false);
    }
    const std::string converted = Convert(value);
    if (explicit_equal) op = choose_operator(value, force_like);
    return op + " " + converted;
  }

  // A value's form for the column's type, without operator.
  std::string Convert(const std::string& typed) const {
    const std::string value = file_wildcards(unquoted(typed));
    switch (class_) {
      case ValueClass::String: return string_value(value);
      case ValueClass::Date: return has_wildcard(value) ? quoted(value) : date_value(value);
      case ValueClass::Time: return time_value(value);
      case ValueClass::Integer: return number_value(integer_text(value));
      case ValueClass::Float: return number_value(float_text(value));
    }
    return quoted(value);
  }

 private:
  std::string file_wildcards(std::string value) const {
    if (!options_.AllowFileWildCards) return value;
    for (char& c : value) {
      if (c == '*') c = '%';
      if (c == '?') c = '_';
    }
    return value;
  }

  std::string choose_operator(const std::string& value, bool force_like) const {
    if (force_like) return "like";
    if (options_.SoundsLike && class_ == ValueClass::String) return "=";
    return has_wildcard(string_pattern(value)) ? "like" : "=";
  }

  // A string value with partial-match and match-anywhere applied.
  std::string string_pattern(std::string value) const {
    if (class_ != ValueClass::String || options_.SoundsLike || has_wildcard(value)) return value;
    if (options_.PartialMatch || options_.MatchAnywhere)
      if (value.empty() || value.back() != '%') value += '%';
    if (options_.MatchAnywhere && value.front() != '%') value.insert(0, "%");
    return value;
  }

  std::string string_value(const std::string& value) const {
    if (options_.SoundsLike) return "soundex(" + quoted(value) + ")";
    std::string pattern = string_pattern(value);
    if (options_.CaseInsensitive) pattern = AnsiUpperCase(pattern);
    return quoted(pattern);
  }

  static std::optional<TDateTime> whole_day(const std::string& value) {
    const TDateTime parsed = StrToDateTime(trimmed(value));
    int hour, minute, second, millisecond;
    DecodeTime(parsed, hour, minute, second, millisecond);
    if (hour || minute || second || millisecond) return std::nullopt;
    return parsed;
  }

  static std::string date_literal(TDateTime value, bool with_time) {
    if (with_time)
      return "to_date('" + FormatDateTime("dd-mm-yyyy hh:nn:ss", value) + "', 'DD-MM-YYYY HH24:MI:SS')";
    return "to_date('" + FormatDateTime("dd-mm-yyyy", value) + "', 'DD-MM-YYYY')";
  }

  static std::string date_value(const std::string& value) {
    const TDateTime parsed = StrToDateTime(trimmed(value));
    int hour, minute, second, millisecond;
    DecodeTime(parsed, hour, minute, second, millisecond);
    return date_literal(parsed, hour || minute || second || millisecond);
  }

  static std::string time_value(const std::string& value) {
    const TDateTime parsed = StrToDateTime(trimmed(value));
    return "to_date('" + FormatDateTime("hh:nn:ss", parsed) + "', 'HH24:MI:SS')";
  }

  static std::string integer_text(const std::string& value) {
    if (const std::optional<int32_t> number = TryStrToInt(trimmed(value))) return IntToStr(*number);
    std::string kept;
    for (char c : value)
      if (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '%' || c == '_') kept += c;
    return kept.empty() ? value : kept;
  }

  static std::string float_text(const std::string& value) {
    std::string text = trimmed(value);
    const size_t last = text.find_last_of(",.");
    if (last == std::string::npos) return text;
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != ',' && text[i] != '.') result += text[i];
      else if (i == last) result += '.';
    }
    return result.empty() ? value : result;
  }

  // A number with a wildcard is compared as text; bare it would not parse.
  static std::string number_value(const std::string& number) {
    return has_wildcard(number) ? quoted(number) : number;
  }

  const std::string& column_;
  ValueClass class_;
  const QBEValueOptions& options_;
};

std::string joined_text(const std::vector<Token>& tokens, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < tokens.size(); ++i) {
    if (tokens[i].Separator) continue;
    if (!text.empty()) text += ' ';
    text += tokens[i].Text;
  }
  return text;
}

std::string in_list(const Converter& converter, const std::vector<Token>& tokens, size_t from) {
  std::string values;
  for (size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].Separator) continue;
    if (!values.empty()) values += ",";
    values += converter.Convert(tokens[i].Text);
  }
  return values.empty() ? "is null" : "in (" + values + ")";
}

bool is_range_separator(const Token& token) {
  return !token.Quoted && (token.Text == ".." || token.Text == "..." || token.Text == "-");
}

// The condition of an operator text after NOT; "" when it is a plain value list.
std::string keyword_condition(const Converter& converter, const std::vector<Token>& tokens) {
  if (tokens.empty()) return "";
  if ((tokens.size() == 1 && is_word(tokens[0], "NULL")) ||
      (tokens.size() == 2 && is_word(tokens[0], "IS") && is_word(tokens[1], "NULL")))
    return "is null";
  if (is_word(tokens[0], "IN")) return in_list(converter, tokens, 1);
  if (is_word(tokens[0], "BETWEEN")) {
    for (size_t i = 1; i < tokens.size(); ++i)
      if (is_word(tokens[i], "AND"))
        return "between " + converter.Convert(joined_text(tokens, 1, i)) + " and " +
               converter.Convert(joined_text(tokens, i + 1, tokens.size()));
  }
  if (tokens.size() == 3 && is_range_separator(tokens[1]))
    return "between " + converter.Convert(tokens[0].Text) + " and " + converter.Convert(tokens[2].Text);
  if (tokens.size() == 1 && !tokens[0].Quoted) {
    const std::string& text = tokens[0].Text;
    const size_t dots = text.find("..");
    if (dots != std::string::npos && dots > 0) {
      size_t after = dots + 2;
      if (after < text.size() && text[after] == '.') ++after;
      if (after < text.size())
        return "between " + converter.Convert(text.substr(0, dots)) + " and " + converter.Convert(text.substr(after));
    }
  }
  return "";
}

// Values separated by OR, each compared on its own; LIKE and SOUNDS force their comparison.
std::string or_conditions(const Converter& converter, const std::string& column, const std::vector<Token>& tokens) {
  std::string result;
  size_t start = 0;
  while (start <= tokens.size()) {
    size_t end = start;
    while (end < tokens.size() && !is_word(tokens[end], "OR")) ++end;
    size_t from = start;
    bool like = false;
    if (from < end && is_word(tokens[from], "LIKE")) {
      like = true;
      ++from;
    } else if (from < end && is_word(tokens[from], "SOUNDS")) {
      ++from;
    }
    const std::string value = joined_text(tokens, from, end);
    if (!value.empty()) {
      if (!result.empty()) result += " or " + column + " ";
      result += converter.Compare("", value, like);
    }
    start = end + 1;
  }
  return result;
}

struct Parsed {
  std::string Condition;
  bool Negated = false;
};

Parsed parse_operators(const Converter& converter, const std::string& column, const std::string& text) {
  const std::string value = trimmed(text);
  if (AnsiSameText(value, "is not null")) return {"is not null", false};
  if (!value.empty() && is_operator_char(value[0])) {
    const size_t length = value.size() > 1 && is_operator_char(value[1]) ? 2 : 1;
    return {converter.Compare(value.substr(0, length), trimmed(value.substr(length))), false};
  }
  std::vector<Token> tokens = tokenize(value);
  Parsed parsed;
  if (!tokens.empty() && is_word(tokens[0], "NOT")) {
    parsed.Negated = true;
    tokens.erase(tokens.begin());
  }
  parsed.Condition = keyword_condition(converter, tokens);
  if (parsed.Condition.empty()) parsed.Condition = or_conditions(converter, column, tokens);
  return parsed;
}

}  // namespace

std::string QBECondition(const std::string& column, const std::string& text, TFieldType type,
                         const QBEValueOptions& options) {
  const Converter converter(column, type, options);
  const std::string expression = converter.ColumnExpression();
  Parsed parsed;
  if (options.AllowOperators) {
    parsed = parse_operators(converter, expression, text);
  } else {
    parsed.Condition = converter.Compare("", text);
  }
  if (parsed.Condition.empty()) return "";
  if (!parsed.Negated) return "(" + expression + " " + parsed.Condition + ")";
  std::string result = "not (" + expression + " " + parsed.Condition + ")";
  if (parsed.Condition != "is null") result += " or " + expression + " is null";
  return result;
}

}  // namespace kvell
