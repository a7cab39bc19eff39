// The PL/SQL compiler's state and parts, shared by its sources: tokens and
// errors, scopes and declarations (compiler.cpp), statements
// (compile_statements.cpp), references and expressions (compile_expressions.cpp).
// Internal to the engine; callers use compiler.h.
//
// Thread-safe: no; one Compiler per compilation.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/calls.h"
#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/messages.h"
#include "ociemu/plsql/sql_use.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {

using sql::Token;
using sql::TokenKind;

// A message pattern with its %s (or %d) filled in order.
inline std::string format(std::string_view pattern, std::string_view first, std::string_view second = {}) {
  std::string out;
  int used = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
      out += used++ == 0 ? first : second;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

struct Symbol {
  enum Kind : uint8_t { Variable, Constant, Cursor, Exception, Type, Subprogram };
  Kind kind = Variable;
  int slot = -1;
  int exception = -1;
  int cursor = -1;
  TypeSpec type;
  int subprogram = -1;  // into Unit::subprograms
  std::vector<int> overloads = {};  // Subprogram: every subprogram of the name, in declaration order
};

class Compiler : public sql::NameResolver {
 public:
  Compiler(std::string_view text, sqlite3* db, sql::SessionContext& session)
      : text_(text), db_(db), session_(session), tokens_(sql::tokenize(text)) {
    for (size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == '\n') line_starts_.push_back(static_cast<int>(i) + 1);
    }
  }

  std::unique_ptr<Unit> run() {
    begin_unit();
    std::string label = parse_label();
    parse_block(unit_->block, label);
    return end_unit();
  }

  std::unique_ptr<Unit> run_program();
  std::unique_ptr<Unit> run_package();
  // A stored program's parameters and result, read from its header alone.
  Signature run_signature();

  // A trigger body: :NEW and :OLD (spelt NEW$ and OLD$ by then) are records of the table's columns.
  std::unique_ptr<Unit> run_trigger(const TriggerShape& shape);

  // Stored programs calling stored programs share the signatures of the units
  // being compiled, so that a program may call itself or one calling it back.
  using Compiling = std::map<std::string, std::shared_ptr<const Signature>>;
  Compiling* compiling = &own_compiling_;

  std::optional<std::string> function_being_compiled(const std::vector<std::string>& parts) override;

  std::optional<std::string> resolve(const std::vector<std::string>& parts) override {
    if (current_refs_ == nullptr || parts.empty()) return std::nullopt;
    const Symbol* symbol = lookup(parts[0]);
    if (symbol == nullptr) {
      std::optional<Ref> variable = package_variable(parts);
      return variable ? std::optional<std::string>(add_ref(*current_refs_, std::move(*variable))) : std::nullopt;
    }
    if (symbol->kind != Symbol::Variable && symbol->kind != Symbol::Constant) return std::nullopt;
    Ref ref;
    ref.slot = symbol->slot;
    if (parts.size() == 1 && symbol->type.is_scalar()) {
      ref.kind = Ref::Slot;
    } else if (parts.size() > 1 && !symbol->type.object.empty()) {
      ref.kind = Ref::Slot;
      ref = attribute_ref(std::move(ref), symbol->type, {parts.begin() + 1, parts.end()}, pos_);
    } else if (parts.size() == 2 && symbol->type.base == BaseType::Record) {
      ref.kind = Ref::Field;
      ref.field = field_index(symbol->type, parts[1]);
      if (ref.field < 0) return std::nullopt;
    } else {
      return std::nullopt;
    }
    return add_ref(*current_refs_, std::move(ref));
  }

 private:
  // ---- tokens and errors ----
  const Token& tok(int i) const {
    return tokens_[static_cast<size_t>(std::clamp(i, 0, static_cast<int>(tokens_.size()) - 1))];
  }
  bool word(int i, std::string_view w) const { return tok(i).is_word(w); }
  bool op(int i, std::string_view o) const { return tok(i).is_op(o); }
  bool accept_word(std::string_view w) {
    if (!word(pos_, w)) return false;
    ++pos_;
    return true;
  }
  bool accept_op(std::string_view o) {
    if (!op(pos_, o)) return false;
    ++pos_;
    return true;
  }
  void expect_word(std::string_view w) {
    if (!accept_word(w)) unexpected(pos_, w);
  }
  void expect_op(std::string_view o) {
    if (!accept_op(o)) unexpected(pos_, o);
  }
  std::string name_at(int i) const {
    const Token& t = tok(i);
    if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) unexpected(i, "an identifier");
    return t.text;
  }
  std::string take_name() { return name_at(pos_++); }

  std::pair<int, int> position(int offset) const {
    auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    int line = static_cast<int>(after - line_starts_.begin());
    return {line, offset - line_starts_[static_cast<size_t>(line - 1)] + 1};
  }
  std::pair<int, int> position_of(int i) const { return position(tok(i).offset); }

  [[noreturn]] void error_at(int i, const std::string& message, std::string_view ignored = {}) const {
    auto [line, column] = position_of(i);
    std::string l = std::to_string(line), c = std::to_string(column);
    std::string text = sql::message_text(kCompileError, {l, c, message});
    if (!ignored.empty()) text += "\n" + sql::full_message(kCompileError, sql::message_text(kCompileError, {l, c, ignored}));
    throw sql::OracleException{sql::OracleError{kCompileError, text, tok(i).offset}};
  }
  [[noreturn]] void unexpected(int i, std::string_view expecting) const {
    const Token& t = tok(i);
    std::string symbol = t.kind == TokenKind::End ? "end-of-file" : t.kind == TokenKind::String ? t.text : t.text;
    error_at(i, format(kPlsEncountered, symbol, expecting));
  }
  [[noreturn]] void undeclared(int i, const std::string& name) const {
    error_at(i, format(kPlsNotDeclared, name), kStatementIgnored);
  }

  // The text a token range spans in the original.
  std::string source(int begin, int end) const {
    if (begin >= end) return {};
    size_t from = static_cast<size_t>(tok(begin).offset);
    size_t to = static_cast<size_t>(tok(end - 1).offset + tok(end - 1).length);
    return std::string(text_.substr(from, to - from));
  }

  // First index in [from, end) at parenthesis depth 0, outside CASE...END, satisfying stop.
  template <typename Stop>
  int find_top(int from, int end, Stop stop) const {
    int depth = 0, cases = 0;
    for (int i = from; i < end; ++i) {
      const Token& t = tok(i);
      if (t.kind == TokenKind::End) return i;
      if (depth == 0 && cases == 0 && stop(i)) return i;
      if (t.is_op("(")) ++depth;
      if (t.is_op(")")) --depth;
      if (t.is_word("CASE")) ++cases;
      if (t.is_word("END") && cases > 0) {
        --cases;
        if (word(i + 1, "CASE")) ++i;
      }
    }
    return end;
  }
  int statement_end(int from) const {
    int end = find_top(from, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ";"); });
    if (tok(end).kind == TokenKind::End) unexpected(end, ";");
    return end;
  }
  int find_word(int from, int end, std::string_view w) const {
    return find_top(from, end, [&](int i) { return word(i, w); });
  }

  // ---- scopes ----
  void push_scope() { scopes_.emplace_back(); }
  void pop_scope() { scopes_.pop_back(); }
  const Symbol* lookup(const std::string& name) const;
  void declare(const std::string& name, Symbol symbol, int at);
  int new_slot(const std::string& name, const TypeSpec& type);
  int add_exception(const std::string& name, int code);
  static int field_index(const TypeSpec& record, const std::string& field);
  static std::string add_ref(std::vector<Ref>& refs, Ref ref);
  void begin_unit();
  std::unique_ptr<Unit> end_unit();
  std::vector<Parameter> parse_parameters();
  // [CREATE [OR REPLACE]] PROCEDURE|FUNCTION [owner.]name [(parameters)] [RETURN type]
  Signature parse_program_header();
  void parse_subprogram();
  // The subprogram a declaration names: the forward declaration of the same
  // parameters it completes, else a new one (another overload of a known name).
  int declare_subprogram(const Signature& signature, int at);
  // The family of an argument's type where its tokens tell it (a literal, a variable), else Unknown.
  TypeFamily argument_family(int begin, int end) const;
  // Of subprograms `indices` of `unit` (those of one name), the position of the one a call
  // with the arguments at token `open` resolves to, among functions or procedures only
  // when `function` says which; PLS-00306 when several are declared and none fits.
  size_t resolve_overload(const Unit& unit, const std::vector<int>& indices, int open,
                          std::optional<bool> function = std::nullopt) const;

  // ---- blocks and declarations ----
  std::string parse_label();
  void parse_block(Block& block, const std::string& label);
  // BEGIN ... [EXCEPTION ...] END [label]; closing the block's scope.
  void parse_block_body(Block& block);
  void parse_handlers(Block& block);
  void parse_declarations(Block& block);
  void parse_declaration(Block& block);  // one item of a declare section
  void require_bodies();  // every subprogram declared ahead in the scope has its body (PLS-00328)
  void parse_pragma();
  void parse_cursor();
  void parse_type_declaration();
  void parse_variable(Block& block);

  // ---- types ----
  TypeSpec parse_type();
  TypeSpec parse_formal_type();  // of a parameter or return value: unconstrained
  std::string parenthesized_text();
  TypeSpec builtin_type(const std::string& name, int at);
  // t.column%TYPE, owner.t.column%TYPE, variable%TYPE, record.field%TYPE
  TypeSpec anchored_type(const std::vector<std::string>& chain, int at);
  TypeSpec row_type(const std::vector<std::string>& chain, int at);
  static std::string join(const std::vector<std::string>& parts);
  TypeSpec table_row(const std::vector<std::string>& table, int at);
  static TypeSpec record_of(const SqlUse::Prepared& prepared);

  // ---- statements ----
  StmtList parse_statements(std::initializer_list<std::string_view> stops);

  StmtPtr make(Stmt::Kind kind, int at) {
    auto stmt = std::make_unique<Stmt>();
    stmt->kind = kind;
    std::tie(stmt->line, stmt->column) = position_of(at);
    return stmt;
  }

  StmtPtr parse_statement();
  StmtPtr parse_assignment(int at);
  Target parse_target(int begin, int end);
  std::vector<Target> parse_targets(int begin, int end);
  // "condition THEN statements" up to one of the stops.
  void parse_branch(Stmt& stmt, bool condition, std::initializer_list<std::string_view> stops);
  void parse_else(Stmt& stmt);
  StmtPtr parse_if(int at);
  StmtPtr parse_case(int at);
  StmtPtr parse_loop(int at, const std::string& label);
  // Arguments in parentheses at pos_ (none when absent), up to `end`.
  std::vector<ExprPtr> parse_arguments(int end);
  StmtPtr parse_exit(int at);
  StmtPtr parse_return(int at);
  StmtPtr parse_select_into(int at);
  void check_into_count(const Stmt& stmt, int at);
  StmtPtr parse_dml(int at);
  StmtPtr parse_transaction(int at);
  StmtPtr parse_raise(int at);
  StmtPtr parse_application_error(int at);
  int cursor_slot(int at, const std::string& name, int& cursor);
  void parse_cursor_name(Stmt& stmt);
  StmtPtr parse_open(int at);
  std::vector<ExprPtr> parse_using(int end);
  StmtPtr parse_fetch(int at);
  StmtPtr parse_close(int at);
  StmtPtr parse_execute_immediate(int at);
  StmtPtr parse_output(int at);
  StmtPtr parse_call(int at);
  // What a call of the stored program `name` is checked against.
  std::shared_ptr<const Signature> load_signature(int at, const std::string& name, int open);
  // The stored program's signature, or null when there is none by that name; a package's
  // member is resolved among its overloads by the arguments at token `open`.
  std::shared_ptr<const Signature> stored_signature(int at, const std::string& name, int open,
                                                    std::optional<bool> function = std::nullopt);
  // [owner.]package.member: the package's declaration, compiled once per compiler (null when there is none).
  const Unit* package_declaration(const std::string& owner, const std::string& package);
  // The signature of package member `name` ("[OWNER.]PACKAGE.MEMBER"), keyed "OWNER.PACKAGE.MEMBER"; null when none.
  std::shared_ptr<const Signature> package_signature(const std::string& name, int open, std::optional<bool> function);
  // A package's variable read or written from outside it (pkg.var); nullopt when the words name none.
  std::optional<Ref> package_variable_ref(int i, int end, int& next);
  std::optional<Ref> package_variable(const std::vector<std::string>& parts);
  // Declarations of a package part, up to its END (the declaration) or BEGIN/END (the body).
  void parse_package_part(bool body);
  // What [owner.]package.member names: the package's compiled declaration, "OWNER.PACKAGE",
  // the member's name and what the declaration declares by it (null: no subprogram, variable or cursor).
  struct NamedMember {
    const Unit* declared = nullptr;
    std::string package, name;
    const Unit::PackageMember* member = nullptr;
  };
  std::optional<NamedMember> named_member(const std::vector<std::string>& parts);
  // The member names the words from token i (up to `end`) could be, the longest first.
  std::vector<std::vector<std::string>> member_chains(int i, int end) const;
  // A package's cursor named from outside it: its package ("OWNER.PACKAGE"), index and slot there.
  struct PackageCursor {
    std::string package;
    int cursor = -1, slot = -1;
    const CursorDecl* declared = nullptr;  // in the package's compiled declaration
  };
  std::optional<PackageCursor> package_cursor(const std::vector<std::string>& parts);
  // [owner.]package.cursor at token i; `next` past it.
  std::optional<PackageCursor> package_cursor_at(int i, int& next);
  // A type ([owner.]package.type) or a variable's type (for %TYPE) that a package's head declares.
  std::optional<TypeSpec> package_type(const std::vector<std::string>& parts);
  // A variable of an SQL object or collection type ([owner.]type); nullopt when the catalogue has none.
  std::optional<TypeSpec> object_type(const std::vector<std::string>& parts) const;
  // holder.names... where the holder is of an object type; PLS-00302 at token `at` when a name is no attribute.
  Ref attribute_ref(Ref holder, const TypeSpec& type, const std::vector<std::string>& names, int at) const;
  // The names after the "." at token i, `next` past them.
  std::vector<std::string> dotted_names(int i, int end, int& next) const;
  std::map<std::string, std::shared_ptr<const Unit>> package_declarations_;
  // target := f(...) where f has OUT or IN OUT parameters: a call statement; null for any other value.
  StmtPtr function_call_with_outs(int at, Target& target, int begin, int end);
  // Whether [begin, open) names a function with OUT or IN OUT parameters; if so `call` calls it.
  bool resolve_function_with_outs(Stmt& call, int begin, int open);
  // Such a call at token i inside an expression: compiled to run ahead of it, into
  // a slot the expression reads instead (returned); `next` past its ")".
  std::optional<int> hoist_call_with_outs(int i, int end, int& next);
  std::vector<std::shared_ptr<const Stmt>>* hoisted_ = nullptr;  // of the expression being rewritten
  // Arguments by position or by name (p => value); OUT and IN OUT ones must be assignable.
  void parse_call_arguments(Stmt& stmt, int at, int end);
  // DBMS_LOB.procedure(...): the arguments as expressions, and those it writes as targets too.
  void parse_lob_arguments(Stmt& stmt, int at, int end);
  // The token after "DBMS_LOB." or "SYS.DBMS_LOB." at i, or -1.
  int after_lob_package(int i) const;
  // DBMS_LOB.ISTEMPORARY(lob) and the package's constants; its other functions are SQL's.
  std::optional<Ref> lob_ref(int member, int end, int& next);

  // ---- references and expressions ----
  std::optional<Ref> parse_ref(int i, int end, int& next);
  bool has_boolean_operator(int begin, int end) const;
  ExprPtr compile_expr(int begin, int end, bool condition = false);
  std::optional<Value> literal_at(int begin, int end) const;
  // An expression's tokens as Oracle SQL, the unit's names replaced by placeholders.
  std::string rewrite(int begin, int end, std::vector<Ref>& refs);
  SqlUse compile_sql(int begin, int end, std::string text = {});
  std::optional<std::string> function_call_at(int i, int end, int& next);
  std::shared_ptr<SqlUse::Prepared> prepare_checked(const std::string& text, int at, sql::NameResolver* resolver,
                                                    std::string_view ignored);
  std::string_view text_;
  sqlite3* db_;
  sql::SessionContext& session_;
  std::vector<Token> tokens_;
  std::vector<int> line_starts_{0};
  int pos_ = 0;
  std::unique_ptr<Unit> unit_;
  Compiling own_compiling_;
  // Whether the body being compiled is a function's, innermost last: RETURN needs a value there only.
  std::vector<bool> returns_value_;
  bool signature_only_ = false;  // reading a header: defaults are noted, not compiled
  std::vector<std::unordered_map<std::string, Symbol>> scopes_;
  std::vector<Ref>* current_refs_ = nullptr;
  int loop_depth_ = 0;
  int handler_depth_ = 0;
  bool trigger_ = false;  // INSERTING/UPDATING/DELETING mean the firing event
  std::string package_head_;  // "OWNER.PACKAGE" while a package's head is read: its types are named
};

}  // namespace ociemu::plsql
