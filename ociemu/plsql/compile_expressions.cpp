// References and expressions of a PL/SQL unit, and its embedded SQL: names
// become slots or placeholders, expressions become SELECT ... FROM DUAL.
#include <utility>

#include "ociemu/plsql/calls.h"
#include "ociemu/plsql/compiler_internal.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::plsql {
namespace {

// Words an expression may hold that are SQL's, not names to resolve.
bool is_sql_word(const std::string& word) {
  static constexpr std::string_view kWords[] = {
      "ALL", "AND", "ANY", "AS", "BETWEEN", "BY", "CASE", "CURRENT_DATE", "CURRENT_TIMESTAMP", "DATE", "DAY",
      "DBTIMEZONE", "DISTINCT", "ELSE", "END", "ESCAPE", "EXISTS", "FROM", "HOUR", "IN", "INTERVAL", "IS",
      "LIKE", "LOCALTIMESTAMP", "MINUTE", "MONTH", "NOT", "NULL", "OR", "PRIOR", "SECOND", "SELECT",
      "SESSIONTIMEZONE", "SOME", "SYSDATE", "SYSTIMESTAMP", "THEN", "TIMESTAMP", "TO", "UID", "USER",
      "WHEN", "WHERE", "YEAR", "ZONE"};
  return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords);
}

// Names inside a PL/SQL expression are the unit's own, already placeholders;
// what the translator asks is only who calls the functions it meets.
class ExpressionNames final : public sql::NameResolver {
 public:
  explicit ExpressionNames(Compiler& compiler) : compiler_(compiler) {}
  std::optional<std::string> resolve(const std::vector<std::string>&) override { return std::nullopt; }
  bool in_plsql_expression() const override { return true; }
  std::optional<std::string> function_being_compiled(const std::vector<std::string>& parts) override {
    return compiler_.function_being_compiled(parts);
  }

 private:
  Compiler& compiler_;
};

}  // namespace

std::optional<Ref> Compiler::parse_ref(int i, int end, int& next) {
  const Token& t = tok(i);
  Ref ref;
  next = i + 1;
  if (t.kind == TokenKind::Placeholder) {
    if (op(i + 1, "%") && i + 2 < end) {  // :c%NOTFOUND of a cursor the client passed in
      ref.kind = Ref::CursorAttribute;
      ref.bind = t.text;
      ref.name = name_at(i + 2);
      next = i + 3;
      return ref;
    }
    ref.name = t.text;
    ref.kind = Ref::Bind;
    if (i + 1 < end && op(i + 1, "(")) {
      int close = find_top(i + 2, end, [&](int k) { return op(k, ")"); });
      ref.kind = Ref::BindElement;
      ref.index = compile_expr(i + 2, close);
      next = close + 1;
    }
    return ref;
  }
  if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) return std::nullopt;
  const std::string& w = t.text;
  if (t.kind == TokenKind::Word) {
    if (w == "SQL" && op(i + 1, "%") && i + 2 < end) {
      ref.kind = Ref::SqlAttribute;
      ref.name = name_at(i + 2);
      next = i + 3;
      return ref;
    }
    if (w == "SQLCODE") {
      ref.kind = Ref::SqlCode;
      return ref;
    }
    if (w == "SQLERRM") {
      ref.kind = Ref::SqlErrm;
      if (i + 1 < end && op(i + 1, "(")) {
        int close = find_top(i + 2, end, [&](int k) { return op(k, ")"); });
        ref.index = compile_expr(i + 2, close);
        next = close + 1;
      }
      return ref;
    }
    if (trigger_ && (w == "INSERTING" || w == "UPDATING" || w == "DELETING") && !lookup(w)) {
      ref.kind = Ref::TriggerFlag;
      ref.name = w;
      if (w == "UPDATING" && i + 1 < end && op(i + 1, "(")) {
        int close = find_top(i + 2, end, [&](int k) { return op(k, ")"); });
        ref.index = compile_expr(i + 2, close);
        next = close + 1;
      }
      return ref;
    }
    if (w == "TRUE" || w == "FALSE") {
      ref.kind = Ref::Constant;
      ref.value = Value::of_boolean(w == "TRUE");
      return ref;
    }
    if (int member = after_lob_package(i); member > 0 && member < end && !lookup(w)) return lob_ref(member, end, next);
  }
  const Symbol* symbol = lookup(w);
  if (symbol == nullptr && t.kind == TokenKind::Word && op(i + 1, ".")) {
    if (auto variable = package_variable_ref(i, end, next)) return variable;
    // pkg.cursor%ISOPEN and the other attributes of a package's cursor
    int after = i;
    auto cursor = package_cursor_at(i, after);
    if (!cursor || !op(after, "%") || after + 1 >= end) return std::nullopt;
    ref.kind = Ref::CursorAttribute;
    ref.package = cursor->package;
    ref.slot = cursor->slot;
    ref.name = name_at(after + 1);
    next = after + 2;
    return ref;
  }
  if (symbol == nullptr || symbol->kind == Symbol::Exception || symbol->kind == Symbol::Type ||
      symbol->kind == Symbol::Subprogram) {
    return std::nullopt;
  }
  ref.slot = symbol->slot;
  if (op(i + 1, "%") && i + 2 < end) {
    ref.kind = Ref::CursorAttribute;
    ref.name = name_at(i + 2);
    next = i + 3;
    return ref;
  }
  if (symbol->kind == Symbol::Cursor) return std::nullopt;
  const TypeSpec& type = symbol->type;
  // x.GETCLOBVAL() and x.GETSTRINGVAL() of an XMLType variable are its text.
  if (type.is_xml && i + 4 < end && op(i + 1, ".") && op(i + 3, "(") && op(i + 4, ")") &&
      (name_at(i + 2) == "GETCLOBVAL" || name_at(i + 2) == "GETSTRINGVAL")) {
    ref.kind = Ref::Slot;
    next = i + 5;
    return ref;
  }
  if (!type.object.empty() && op(i + 1, ".") && i + 2 < end) {
    ref.kind = Ref::Slot;
    return attribute_ref(std::move(ref), type, dotted_names(i + 1, end, next), i + 2);
  }
  if (type.base == BaseType::Record && op(i + 1, ".") && i + 2 < end) {
    ref.kind = Ref::Field;
    ref.field = field_index(type, name_at(i + 2));
    if (ref.field < 0) undeclared(i + 2, name_at(i + 2));
    next = i + 3;
    return ref;
  }
  if (type.base == BaseType::IndexTable && op(i + 1, "(") && i + 1 < end) {
    int close = find_top(i + 2, end, [&](int k) { return op(k, ")"); });
    ref.kind = Ref::Element;
    ref.index = compile_expr(i + 2, close);
    next = close + 1;
    return ref;
  }
  if (type.base == BaseType::IndexTable && op(i + 1, ".") && i + 2 < end) {
    ref.kind = Ref::TableMethod;
    ref.name = name_at(i + 2);
    next = i + 3;
    if (next < end && op(next, "(")) {
      int close = find_top(next + 1, end, [&](int k) { return op(k, ")"); });
      ref.index = compile_expr(next + 1, close);
      next = close + 1;
    }
    return ref;
  }
  ref.kind = Ref::Slot;
  return ref;
}

std::vector<std::string> Compiler::dotted_names(int i, int end, int& next) const {
  std::vector<std::string> names;
  for (; i + 1 < end && op(i, ".") && tok(i + 1).kind != TokenKind::Placeholder; i += 2) names.push_back(name_at(i + 1));
  next = i;
  return names;
}

bool Compiler::has_boolean_operator(int begin, int end) const {
  static constexpr std::string_view kOperators[] = {"=", "<>", "!=", "^=", "~=", "<", ">", "<=", ">="};
  static constexpr std::string_view kWords[] = {"AND", "OR", "NOT", "IS", "LIKE", "IN", "BETWEEN", "EXISTS"};
  int found = find_top(begin, end, [&](int i) {
    const Token& t = tok(i);
    if (t.kind == TokenKind::Operator) return std::find(std::begin(kOperators), std::end(kOperators), t.text) != std::end(kOperators);
    return t.kind == TokenKind::Word && std::find(std::begin(kWords), std::end(kWords), t.text) != std::end(kWords);
  });
  return found < end;
}

ExprPtr Compiler::compile_expr(int begin, int end, bool condition) {
  auto expr = std::make_shared<Expr>();
  std::tie(expr->line, expr->column) = position_of(begin);
  if (begin >= end) unexpected(begin, "an expression");
  if (auto literal = literal_at(begin, end)) {
    expr->form = Expr::Literal;
    expr->literal = *literal;
    return expr;
  }
  int next = begin;
  auto ref = parse_ref(begin, end, next);
  if (ref && next == end && ref->kind != Ref::Bind && ref->kind != Ref::BindElement) {
    expr->form = Expr::Reference;
    expr->ref = std::move(*ref);
    return expr;
  }
  // A lone bind reads through SQL but keeps its name: a LOB locator bind reads as the LOB.
  if (ref && next == end && ref->kind == Ref::Bind) expr->ref = std::move(*ref);
  expr->form = Expr::Sql;
  struct Restore {
    std::vector<std::shared_ptr<const Stmt>>*& hoisted;
    std::vector<std::shared_ptr<const Stmt>>* outer;
    ~Restore() { hoisted = outer; }
  } restore{hoisted_, std::exchange(hoisted_, &expr->calls)};
  std::string text = rewrite(begin, end, expr->sql.refs);
  expr->condition = condition || has_boolean_operator(begin, end);
  if (expr->condition) text = "CASE WHEN " + text + " THEN 1 WHEN NOT (" + text + ") THEN 0 END";
  expr->sql.text = "SELECT " + text + " FROM DUAL";
  std::tie(expr->sql.line, expr->sql.column) = position_of(begin);
  ExpressionNames names(*this);
  expr->sql.prepared = prepare_checked(expr->sql.text, begin, &names, kStatementIgnored);
  return expr;
}

std::optional<Value> Compiler::literal_at(int begin, int end) const {
  bool negative = op(begin, "-") && end - begin == 2;
  int at = negative ? begin + 1 : begin;
  if (end - at != 1) return std::nullopt;
  const Token& t = tok(at);
  if (t.kind == TokenKind::Number) {
    auto number = sql::parse_number((negative ? "-" : "") + t.text);
    if (!number) return std::nullopt;
    return number->is_integer ? Value::of_integer(number->integer) : Value::of_real(number->real);
  }
  if (negative) return std::nullopt;
  if (t.kind == TokenKind::String) return Value::of_text(t.text);
  if (t.is_word("NULL")) return Value{};
  return std::nullopt;
}

// An expression's tokens as Oracle SQL, the unit's names replaced by placeholders.
std::string Compiler::rewrite(int begin, int end, std::vector<Ref>& refs) {
  std::string out;
  auto append = [&](const std::string& piece) {
    if (!out.empty()) out += ' ';
    out += piece;
  };
  for (int i = begin; i < end;) {
    const Token& t = tok(i);
    int next = i + 1;
    // A named argument's name (f(p => 1)) is the callee's, not one of the block's.
    bool argument_name = t.kind != TokenKind::Placeholder && op(i + 1, "=>");
    if (!argument_name &&
        (t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName || t.kind == TokenKind::Placeholder)) {
      if (auto ref = parse_ref(i, end, next)) {
        append(ref->kind == Ref::Bind ? ":" + ref->name : ":" + add_ref(refs, std::move(*ref)));
        i = next;
        continue;
      }
      if (auto slot = hoist_call_with_outs(i, end, next)) {
        Ref value;
        value.slot = *slot;
        append(":" + add_ref(refs, std::move(value)));
        i = next;
        continue;
      }
      if (auto call = function_call_at(i, end, next)) {
        append(*call);
        i = next;
        continue;
      }
      bool qualified = op(i + 1, ".") || (i > begin && op(i - 1, "."));
      if (t.kind == TokenKind::Word && !qualified && !op(i + 1, "(") && !is_sql_word(t.text) &&
          !(op(i - 1, "(") && word(i - 2, "EXTRACT"))) {
        undeclared(i, t.text);
      }
    }
    append(source(i, i + 1));
    i = next;
  }
  return out;
}

// A local function, or a stored one named without arguments, called at token i:
// the opening of its OCIEMU_CALL, `next` past the name (and past its "(" when
// arguments follow, the ")" then closing the call too).
std::optional<std::string> Compiler::function_call_at(int i, int end, int& next) {
  const Token& t = tok(i);
  if (t.kind == TokenKind::Placeholder || op(i + 1, ".") || (i > 0 && op(i - 1, "."))) return std::nullopt;
  std::string key;
  const Symbol* symbol = lookup(t.text);
  if (symbol && symbol->kind == Symbol::Subprogram) {
    const int index = symbol->overloads[resolve_overload(*unit_, symbol->overloads, i + 1, true)];
    const Subprogram& callee = unit_->subprograms[static_cast<size_t>(index)];
    if (!callee.signature.function) error_at(i, format(kPlsNotFunction, t.text), kStatementIgnored);
    key = std::string(1, kLocalCallPrefix) + std::to_string(index);
  } else if (symbol == nullptr && t.kind == TokenKind::Word && !op(i + 1, "(") && !is_sql_word(t.text) &&
             sql::object_type(db_, sql::session_schema(session_), t.text) == std::optional<std::string>("FUNCTION")) {
    key = sql::session_schema(session_) + "." + t.text;
  } else {
    return std::nullopt;
  }
  std::string call = std::string(kCallFunction) + "('" + key + "', " + std::to_string(kCallFromPlsql);
  next = i + 1;
  if (next < end && op(next, "(")) {
    ++next;
    if (op(next, ")")) return call;  // its ")" closes the call
    return call + ",";
  }
  return call + ")";
}

std::optional<std::string> Compiler::function_being_compiled(const std::vector<std::string>& parts) {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  std::string key = (parts.size() == 2 ? parts[0] : sql::session_schema(session_)) + "." + parts.back();
  auto found = compiling->find(key);
  if (found == compiling->end() || !found->second->function) return std::nullopt;
  return key;
}

SqlUse Compiler::compile_sql(int begin, int end, std::string text) {
  SqlUse use;
  use.text = text.empty() ? source(begin, end) : std::move(text);
  std::tie(use.line, use.column) = position_of(begin);
  current_refs_ = &use.refs;
  use.prepared = prepare_checked(use.text, begin, this, kSqlStatementIgnored);
  current_refs_ = nullptr;
  return use;
}

std::shared_ptr<SqlUse::Prepared> Compiler::prepare_checked(const std::string& text, int at, sql::NameResolver* resolver,
                                                  std::string_view ignored) {
  try {
    return prepare_sql(text, db_, session_, resolver);
  } catch (const sql::OracleException& e) {
    current_refs_ = nullptr;
    error_at(at, "PL/SQL: " + sql::full_message(e.error.code, e.error.message), ignored);
  }
}

}  // namespace ociemu::plsql
