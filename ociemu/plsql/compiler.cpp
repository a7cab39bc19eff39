#include "ociemu/plsql/compiler.h"

#include <algorithm>
#include <unordered_map>

#include "ociemu/plsql/messages.h"
#include "ociemu/plsql/sql_use.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/sql/programs.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::plsql {
namespace {

using sql::Token;
using sql::TokenKind;

constexpr int kTooManyValues = 913;
constexpr int kNotEnoughValues = 947;

struct Predefined {
  const char* name;
  int code;
};

constexpr Predefined kPredefinedExceptions[] = {
    {"NO_DATA_FOUND", 1403},      {"TOO_MANY_ROWS", 1422},       {"DUP_VAL_ON_INDEX", 1},
    {"ZERO_DIVIDE", 1476},        {"VALUE_ERROR", 6502},         {"INVALID_NUMBER", 1722},
    {"CURSOR_ALREADY_OPEN", 6511}, {"INVALID_CURSOR", 1001},     {"LOGIN_DENIED", 1017},
    {"NOT_LOGGED_ON", 1012},      {"PROGRAM_ERROR", 6501},       {"STORAGE_ERROR", 6500},
    {"TIMEOUT_ON_RESOURCE", 51},  {"ROWTYPE_MISMATCH", 6504},    {"CASE_NOT_FOUND", 6592},
    {"COLLECTION_IS_NULL", 6531}, {"SUBSCRIPT_BEYOND_COUNT", 6533}, {"SUBSCRIPT_OUTSIDE_LIMIT", 6532},
    {"SYS_INVALID_ROWID", 1410},  {"ACCESS_INTO_NULL", 6530},
};

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

std::string format(std::string_view pattern, std::string_view first, std::string_view second = {}) {
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
  enum Kind : uint8_t { Variable, Constant, Cursor, Exception, Type };
  Kind kind = Variable;
  int slot = -1;
  int exception = -1;
  int cursor = -1;
  TypeSpec type;
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

  std::unique_ptr<Unit> run_program() {
    begin_unit();
    if (accept_word("CREATE") && accept_word("OR")) expect_word("REPLACE");
    unit_->function = accept_word("FUNCTION");
    if (!unit_->function) expect_word("PROCEDURE");
    std::string owner, name = take_name();
    if (accept_op(".")) {
      owner = std::move(name);
      name = take_name();
    }
    unit_->name = (owner.empty() ? sql::session_schema(session_) : owner) + "." + name;
    if (accept_op("(")) parse_parameters();
    if (unit_->function) {
      expect_word("RETURN");
      parse_type();
    }
    if (!accept_word("IS")) expect_word("AS");
    push_scope();
    parse_declarations(unit_->block);
    parse_block_body(unit_->block);
    return end_unit();
  }

  // Stored programs calling stored programs share the list of units being compiled.
  std::vector<std::string>* compiling = &own_compiling_;

  std::optional<std::string> resolve(const std::vector<std::string>& parts) override {
    if (current_refs_ == nullptr || parts.empty()) return std::nullopt;
    const Symbol* symbol = lookup(parts[0]);
    if (symbol == nullptr || (symbol->kind != Symbol::Variable && symbol->kind != Symbol::Constant)) return std::nullopt;
    Ref ref;
    ref.slot = symbol->slot;
    if (parts.size() == 1 && symbol->type.is_scalar()) {
      ref.kind = Ref::Slot;
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
  const Symbol* lookup(const std::string& name) const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      auto found = scope->find(name);
      if (found != scope->end()) return &found->second;
    }
    return nullptr;
  }
  void declare(const std::string& name, Symbol symbol, int at) {
    auto& scope = scopes_.back();
    if (scope.count(name) && scopes_.size() > 1) error_at(at, format(kPlsDuplicate, name), kStatementIgnored);
    scope[name] = std::move(symbol);
  }
  int new_slot(const std::string& name, const TypeSpec& type) {
    unit_->slot_types.push_back(type);
    unit_->slot_names.push_back(name);
    return static_cast<int>(unit_->slot_types.size()) - 1;
  }
  int add_exception(const std::string& name, int code) {
    unit_->exceptions.push_back({name, code});
    return static_cast<int>(unit_->exceptions.size()) - 1;
  }
  static int field_index(const TypeSpec& record, const std::string& field) {
    for (size_t i = 0; i < record.fields.size(); ++i) {
      if (record.fields[i].first == field) return static_cast<int>(i);
    }
    return -1;
  }
  static std::string add_ref(std::vector<Ref>& refs, Ref ref) {
    refs.push_back(std::move(ref));
    return std::string(kRefPrefix) + std::to_string(refs.size() - 1);
  }

  void begin_unit() {
    unit_ = std::make_unique<Unit>();
    push_scope();
    for (const Predefined& e : kPredefinedExceptions) {
      Symbol symbol{Symbol::Exception, -1, add_exception(e.name, e.code), -1, {}};
      scopes_.back()[e.name] = symbol;
    }
  }

  std::unique_ptr<Unit> end_unit() {
    if (tok(pos_).is_op("/")) ++pos_;
    if (tok(pos_).kind != TokenKind::End) unexpected(pos_, "end-of-file");
    return std::move(unit_);
  }

  void parse_parameters() {
    int close = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); });
    while (pos_ < close) {
      int at = pos_;
      Parameter parameter;
      parameter.name = take_name();
      if (accept_word("IN")) {
        parameter.mode = accept_word("OUT") ? Parameter::InOut : Parameter::In;
      } else if (accept_word("OUT")) {
        parameter.mode = Parameter::Out;
      }
      accept_word("NOCOPY");
      TypeSpec type = parse_type();
      int next = find_top(pos_, close, [&](int i) { return op(i, ","); });
      if (accept_op(":=") || accept_word("DEFAULT")) parameter.default_value = compile_expr(pos_, next);
      parameter.slot = new_slot(parameter.name, type);
      Symbol symbol{parameter.mode == Parameter::In ? Symbol::Constant : Symbol::Variable, parameter.slot, -1, -1, type};
      declare(parameter.name, std::move(symbol), at);
      unit_->parameters.push_back(std::move(parameter));
      pos_ = next < close ? next + 1 : close;
    }
    pos_ = close + 1;
  }

  // ---- blocks and declarations ----
  std::string parse_label() {
    if (!(op(pos_, "<") && op(pos_ + 1, "<"))) return {};
    pos_ += 2;
    std::string label = take_name();
    expect_op(">");
    expect_op(">");
    return label;
  }

  void parse_block(Block& block, const std::string& label) {
    block.label = label;
    push_scope();
    if (accept_word("DECLARE")) parse_declarations(block);
    parse_block_body(block);
  }

  // BEGIN ... [EXCEPTION ...] END [label]; closing the block's scope.
  void parse_block_body(Block& block) {
    expect_word("BEGIN");
    block.body = parse_statements({"EXCEPTION", "END"});
    if (accept_word("EXCEPTION")) parse_handlers(block);
    expect_word("END");
    block.end_line = position_of(pos_ - 1).first;
    if (tok(pos_).kind == TokenKind::Word && !op(pos_, ";")) ++pos_;  // END label
    expect_op(";");
    pop_scope();
  }

  void parse_handlers(Block& block) {
    while (accept_word("WHEN")) {
      Handler handler;
      do {
        if (accept_word("OTHERS")) {
          handler.exceptions.clear();
          continue;
        }
        int at = pos_;
        std::string name = take_name();
        const Symbol* symbol = lookup(name);
        if (symbol == nullptr || symbol->kind != Symbol::Exception) undeclared(at, name);
        handler.exceptions.push_back(symbol->exception);
      } while (accept_word("OR"));
      expect_word("THEN");
      ++handler_depth_;
      handler.body = parse_statements({"WHEN", "END"});
      --handler_depth_;
      block.handlers.push_back(std::move(handler));
    }
    if (block.handlers.empty()) unexpected(pos_, "WHEN");
  }

  void parse_declarations(Block& block) {
    while (!word(pos_, "BEGIN")) {
      if (tok(pos_).kind == TokenKind::End) unexpected(pos_, "begin");
      if (accept_word("PRAGMA")) {
        parse_pragma();
      } else if (accept_word("CURSOR")) {
        parse_cursor();
      } else if (accept_word("TYPE") || accept_word("SUBTYPE")) {
        parse_type_declaration();
      } else if (word(pos_, "PROCEDURE") || word(pos_, "FUNCTION")) {
        error_at(pos_, format(kPlsUnsupported, "local subprograms"));
      } else {
        parse_variable(block);
      }
    }
  }

  void parse_pragma() {
    int at = pos_;
    if (!accept_word("EXCEPTION_INIT")) {
      // Other pragmas (SERIALLY_REUSABLE, AUTONOMOUS_TRANSACTION...) change nothing here.
      pos_ = statement_end(pos_) + 1;
      return;
    }
    expect_op("(");
    std::string name = take_name();
    expect_op(",");
    bool negative = accept_op("-");
    if (tok(pos_).kind != TokenKind::Number) unexpected(pos_, "a number");
    int code = std::stoi(tok(pos_++).text);
    expect_op(")");
    expect_op(";");
    const Symbol* symbol = lookup(name);
    if (symbol == nullptr || symbol->kind != Symbol::Exception) undeclared(at, name);
    unit_->exceptions[static_cast<size_t>(symbol->exception)].code = negative ? code : -code;
  }

  void parse_cursor() {
    int at = pos_;
    std::string name = take_name();
    CursorDecl cursor;
    push_scope();
    if (accept_op("(")) {
      do {
        std::string parameter = take_name();
        accept_word("IN");
        TypeSpec type = parse_type();
        int slot = new_slot(parameter, type);
        ExprPtr initial;
        if (accept_op(":=") || accept_word("DEFAULT")) {
          int end = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ",") || op(i, ")"); });
          initial = compile_expr(pos_, end);
          pos_ = end;
        }
        declare(parameter, Symbol{Symbol::Variable, slot, -1, -1, type}, at);
        cursor.parameters.push_back(slot);
        cursor.parameter_defaults.push_back(initial);
      } while (accept_op(","));
      expect_op(")");
    }
    if (accept_word("RETURN")) parse_type();
    expect_word("IS");
    int end = statement_end(pos_);
    cursor.query = compile_sql(pos_, end);
    pop_scope();
    pos_ = end + 1;
    cursor.slot = new_slot(name, TypeSpec::of(BaseType::RefCursor));
    unit_->cursors.push_back(std::move(cursor));
    declare(name, Symbol{Symbol::Cursor, unit_->cursors.back().slot, -1, static_cast<int>(unit_->cursors.size()) - 1, {}},
            at);
  }

  void parse_type_declaration() {
    int at = pos_;
    std::string name = take_name();
    expect_word("IS");
    TypeSpec type;
    if (accept_word("TABLE") || accept_word("VARRAY")) {
      if (accept_op("(")) {
        pos_ = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); }) + 1;
      }
      expect_word("OF");
      type.base = BaseType::IndexTable;
      type.element = std::make_shared<TypeSpec>(parse_type());
      if (accept_word("NOT")) expect_word("NULL");
      if (accept_word("INDEX")) {
        expect_word("BY");
        parse_type();
      }
    } else if (accept_word("REF")) {
      expect_word("CURSOR");
      if (accept_word("RETURN")) parse_type();
      type.base = BaseType::RefCursor;
    } else if (accept_word("RECORD")) {
      type.base = BaseType::Record;
      expect_op("(");
      do {
        std::string field = take_name();
        type.fields.emplace_back(field, parse_type());
        if (accept_word("NOT")) expect_word("NULL");
        if (accept_op(":=") || accept_word("DEFAULT")) {
          pos_ = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ",") || op(i, ")"); });
        }
      } while (accept_op(","));
      expect_op(")");
    } else {
      type = parse_type();  // SUBTYPE name IS type
      if (accept_word("NOT")) expect_word("NULL");
    }
    expect_op(";");
    declare(name, Symbol{Symbol::Type, -1, -1, -1, type}, at);
  }

  void parse_variable(Block& block) {
    int at = pos_;
    std::string name = take_name();
    if (accept_word("EXCEPTION")) {
      expect_op(";");
      declare(name, Symbol{Symbol::Exception, -1, add_exception(name, 0), -1, {}}, at);
      return;
    }
    VarDecl decl;
    decl.constant = accept_word("CONSTANT");
    decl.type = parse_type();
    if (accept_word("NOT")) {
      expect_word("NULL");
      decl.not_null = true;
    }
    if (accept_op(":=") || accept_word("DEFAULT")) {
      int end = statement_end(pos_);
      decl.initial = compile_expr(pos_, end, decl.type.base == BaseType::Boolean);
      pos_ = end;
    } else if (decl.constant || decl.not_null) {
      error_at(pos_, std::string(kPlsNeedsInit));
    }
    expect_op(";");
    std::tie(decl.line, decl.column) = position_of(at);
    decl.slot = new_slot(name, decl.type);
    declare(name, Symbol{decl.constant ? Symbol::Constant : Symbol::Variable, decl.slot, -1, -1, decl.type}, at);
    block.variables.push_back(std::move(decl));
  }

  // ---- types ----
  TypeSpec parse_type() {
    int at = pos_;
    std::string first = take_name();
    std::vector<std::string> chain{first};
    while (op(pos_, ".") && (tok(pos_ + 1).kind == TokenKind::Word || tok(pos_ + 1).kind == TokenKind::QuotedName)) {
      chain.push_back(name_at(pos_ + 1));
      pos_ += 2;
    }
    if (accept_op("%")) {
      std::string attribute = take_name();
      if (attribute == "TYPE") return anchored_type(chain, at);
      if (attribute == "ROWTYPE") return row_type(chain, at);
      unexpected(pos_ - 1, "TYPE or ROWTYPE");
    }
    if (chain.size() == 2 && chain[0] == "SYS") chain.erase(chain.begin());
    if (chain.size() > 1) undeclared(at, chain.back());
    if (const Symbol* symbol = lookup(chain[0]); symbol && symbol->kind == Symbol::Type) return symbol->type;
    return builtin_type(chain[0], at);
  }

  std::string parenthesized_text() {
    if (!op(pos_, "(")) return {};
    int close = find_top(pos_ + 1, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); });
    std::string inside;
    for (int i = pos_ + 1; i < close; ++i) {
      if (tok(i).kind == TokenKind::Number || op(i, ",")) inside += tok(i).text;
    }
    pos_ = close + 1;
    return "(" + inside + ")";
  }

  TypeSpec builtin_type(const std::string& name, int at) {
    auto declared = [&](const std::string& base) { return type_of_declaration(base + parenthesized_text()); };
    if (name == "VARCHAR2" || name == "VARCHAR" || name == "NVARCHAR2" || name == "STRING") return declared("VARCHAR2");
    if (name == "CHAR" || name == "NCHAR" || name == "CHARACTER") {
      TypeSpec type = declared("CHAR");
      if (type.length == 0) type.length = 1;
      return type;
    }
    if (name == "NUMBER" || name == "NUMERIC" || name == "DECIMAL" || name == "DEC") return declared("NUMBER");
    if (name == "FLOAT" || name == "REAL" || name == "BINARY_DOUBLE" || name == "BINARY_FLOAT") {
      parenthesized_text();
      return type_of_declaration("NUMBER");
    }
    if (name == "DOUBLE") {
      expect_word("PRECISION");
      return type_of_declaration("NUMBER");
    }
    if (name == "INTEGER" || name == "INT" || name == "SMALLINT") return type_of_declaration("NUMBER(38)");
    if (name == "PLS_INTEGER" || name == "BINARY_INTEGER" || name == "NATURAL" || name == "POSITIVE" ||
        name == "NATURALN" || name == "POSITIVEN" || name == "SIMPLE_INTEGER" || name == "SIGNTYPE") {
      TypeSpec type = type_of_declaration("NUMBER(38)");
      type.base = BaseType::PlsInteger;
      return type;
    }
    if (name == "BOOLEAN") return TypeSpec::of(BaseType::Boolean);
    if (name == "DATE") return type_of_declaration("DATE");
    if (name == "TIMESTAMP") {
      std::string text = "TIMESTAMP" + parenthesized_text();
      if (accept_word("WITH")) {
        text += accept_word("LOCAL") ? " WITH LOCAL TIME ZONE" : " WITH TIME ZONE";
        expect_word("TIME");
        expect_word("ZONE");
      }
      return type_of_declaration(text);
    }
    if (name == "CLOB" || name == "NCLOB" || name == "LONG") {
      if (name == "LONG" && accept_word("RAW")) return type_of_declaration("LONG RAW");
      return type_of_declaration(name == "LONG" ? "LONG" : "CLOB");
    }
    if (name == "BLOB") return type_of_declaration("BLOB");
    if (name == "RAW") return declared("RAW");
    if (name == "ROWID" || name == "UROWID") {
      parenthesized_text();
      return type_of_declaration("ROWID");
    }
    if (name == "SYS_REFCURSOR") return TypeSpec::of(BaseType::RefCursor);
    undeclared(at, name);
  }

  // t.column%TYPE, owner.t.column%TYPE, variable%TYPE, record.field%TYPE
  TypeSpec anchored_type(const std::vector<std::string>& chain, int at) {
    if (const Symbol* symbol = lookup(chain[0])) {
      if (chain.size() == 1 && symbol->kind != Symbol::Exception) return symbol->type;
      if (chain.size() == 2 && symbol->type.base == BaseType::Record) {
        int field = field_index(symbol->type, chain[1]);
        if (field >= 0) return symbol->type.fields[static_cast<size_t>(field)].second;
      }
    }
    if (chain.size() < 2) undeclared(at, chain[0]);
    std::vector<std::string> table(chain.begin(), chain.end() - 1);
    TypeSpec row = table_row(table, at);
    int field = field_index(row, chain.back());
    if (field < 0) undeclared(at, join(chain));
    return row.fields[static_cast<size_t>(field)].second;
  }

  TypeSpec row_type(const std::vector<std::string>& chain, int at) {
    if (const Symbol* symbol = lookup(chain[0]); symbol && chain.size() == 1 && symbol->kind == Symbol::Cursor) {
      return record_of(*unit_->cursors[static_cast<size_t>(symbol->cursor)].query.prepared);
    }
    return table_row(chain, at);
  }

  static std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : ".") + part;
    return out;
  }

  TypeSpec table_row(const std::vector<std::string>& table, int at) {
    try {
      auto prepared = prepare_sql("SELECT * FROM " + join(table), db_, session_, nullptr);
      return record_of(*prepared);
    } catch (const sql::OracleException&) {
      undeclared(at, join(table));
    }
  }

  static TypeSpec record_of(const SqlUse::Prepared& prepared) {
    TypeSpec record = TypeSpec::of(BaseType::Record);
    for (size_t i = 0; i < prepared.column_names.size(); ++i) {
      const auto& type = prepared.column_types[i];
      std::string declared = type ? type->type_name : "";
      if (type && type->type_code == 2 && type->precision > 0) {
        declared += "(" + std::to_string(type->precision) + (type->scale > 0 ? "," + std::to_string(type->scale) : "") + ")";
      } else if (type && (type->type_code == 1 || type->type_code == 96) && type->char_size > 0) {
        declared += "(" + std::to_string(type->char_size) + ")";
      }
      std::string name = prepared.column_names[i];
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
      record.fields.emplace_back(name, type ? type_of_declaration(declared) : TypeSpec{});
    }
    return record;
  }

  // ---- statements ----
  StmtList parse_statements(std::initializer_list<std::string_view> stops) {
    StmtList list;
    while (true) {
      const Token& t = tok(pos_);
      if (t.kind == TokenKind::End) unexpected(pos_, *stops.begin());
      if (std::any_of(stops.begin(), stops.end(), [&](std::string_view s) { return t.is_word(s); })) break;
      list.push_back(parse_statement());
    }
    if (list.empty()) unexpected(pos_, "begin case declare exit for goto if loop mod null pragma raise return select update while with");
    return list;
  }

  StmtPtr make(Stmt::Kind kind, int at) {
    auto stmt = std::make_unique<Stmt>();
    stmt->kind = kind;
    std::tie(stmt->line, stmt->column) = position_of(at);
    return stmt;
  }

  StmtPtr parse_statement() {
    int at = pos_;
    std::string label = parse_label();
    const Token& t = tok(pos_);
    if (t.kind == TokenKind::Placeholder) return parse_assignment(at);
    if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) unexpected(pos_, "a statement");
    const std::string& w = t.text;
    if (w == "DECLARE" || w == "BEGIN") {
      auto stmt = make(Stmt::Nested, at);
      stmt->block = std::make_unique<Block>();
      parse_block(*stmt->block, label);
      return stmt;
    }
    if (w == "LOOP" || w == "WHILE" || w == "FOR") return parse_loop(at, label);
    if (w == "NULL") {
      ++pos_;
      expect_op(";");
      return make(Stmt::Null, at);
    }
    if (w == "IF") return parse_if(at);
    if (w == "CASE") return parse_case(at);
    if (w == "EXIT" || w == "CONTINUE") return parse_exit(at);
    if (w == "RETURN") return parse_return(at);
    if (w == "SELECT" || w == "WITH") return parse_select_into(at);
    if (w == "INSERT" || w == "UPDATE" || w == "DELETE" || w == "MERGE" || w == "LOCK") return parse_dml(at);
    if (w == "COMMIT" || w == "ROLLBACK" || w == "SAVEPOINT") return parse_transaction(at);
    if (w == "SET" && word(pos_ + 1, "TRANSACTION")) return parse_dml(at);
    if (w == "RAISE") return parse_raise(at);
    if (w == "RAISE_APPLICATION_ERROR") return parse_application_error(at);
    if (w == "OPEN") return parse_open(at);
    if (w == "FETCH") return parse_fetch(at);
    if (w == "CLOSE") return parse_close(at);
    if (w == "EXECUTE" && word(pos_ + 1, "IMMEDIATE")) return parse_execute_immediate(at);
    if (w == "DBMS_OUTPUT" && op(pos_ + 1, ".")) return parse_output(at);
    if (op(pos_ + 1, ":=") || (op(pos_ + 1, ".") && op(pos_ + 3, ":=")) || op(pos_ + 1, "(")) {
      if (const Symbol* symbol = lookup(w); symbol && symbol->kind != Symbol::Exception) return parse_assignment(at);
    }
    if (op(pos_ + 1, ".") && op(pos_ + 3, ":=")) return parse_assignment(at);
    return parse_call(at);
  }

  StmtPtr parse_assignment(int at) {
    auto stmt = make(Stmt::Assign, at);
    int assign = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ":=") || op(i, ";"); });
    if (!op(assign, ":=")) {
      if (tok(pos_).kind == TokenKind::Placeholder) unexpected(assign, ":=");
      pos_ = at;
      return parse_call(at);
    }
    stmt->targets.push_back(parse_target(pos_, assign));
    int end = statement_end(assign + 1);
    bool boolean = false;
    if (stmt->targets[0].ref.kind == Ref::Slot) {
      boolean = unit_->slot_types[static_cast<size_t>(stmt->targets[0].ref.slot)].base == BaseType::Boolean;
    }
    stmt->values.push_back(compile_expr(assign + 1, end, boolean));
    pos_ = end + 1;
    return stmt;
  }

  Target parse_target(int begin, int end) {
    int next = begin;
    auto ref = parse_ref(begin, end, next);
    if (!ref || next != end) {
      if (tok(begin).kind == TokenKind::Word && !lookup(tok(begin).text)) undeclared(begin, tok(begin).text);
      error_at(begin, format(kPlsNotAssignable, source(begin, end)), kStatementIgnored);
    }
    bool assignable = ref->kind == Ref::Slot || ref->kind == Ref::Field || ref->kind == Ref::Element ||
                      ref->kind == Ref::Bind || ref->kind == Ref::BindElement;
    if (ref->kind == Ref::Slot || ref->kind == Ref::Field || ref->kind == Ref::Element) {
      const Symbol* symbol = lookup(tok(begin).text);
      if (symbol && symbol->kind == Symbol::Constant) assignable = false;
    }
    if (!assignable) error_at(begin, format(kPlsNotAssignable, source(begin, end)), kStatementIgnored);
    return Target{std::move(*ref), source(begin, end)};
  }

  std::vector<Target> parse_targets(int begin, int end) {
    std::vector<Target> targets;
    int i = begin;
    while (i < end) {
      int comma = find_top(i, end, [&](int k) { return op(k, ","); });
      targets.push_back(parse_target(i, comma));
      i = comma + 1;
    }
    if (targets.empty()) unexpected(begin, "an identifier");
    return targets;
  }

  // "condition THEN statements" up to one of the stops.
  void parse_branch(Stmt& stmt, bool condition, std::initializer_list<std::string_view> stops) {
    int then = find_word(pos_, static_cast<int>(tokens_.size()), "THEN");
    if (!word(then, "THEN")) unexpected(then, "THEN");
    Branch branch;
    branch.condition = compile_expr(pos_, then, condition);
    pos_ = then + 1;
    branch.body = parse_statements(stops);
    stmt.branches.push_back(std::move(branch));
  }

  void parse_else(Stmt& stmt) {
    if (!accept_word("ELSE")) return;
    Branch branch;
    branch.body = parse_statements({"END"});
    stmt.branches.push_back(std::move(branch));
    stmt.has_else = true;
  }

  StmtPtr parse_if(int at) {
    auto stmt = make(Stmt::If, at);
    do {
      ++pos_;  // IF or ELSIF
      parse_branch(*stmt, true, {"ELSIF", "ELSE", "END"});
    } while (word(pos_, "ELSIF"));
    parse_else(*stmt);
    expect_word("END");
    expect_word("IF");
    expect_op(";");
    return stmt;
  }

  StmtPtr parse_case(int at) {
    auto stmt = make(Stmt::Case, at);
    ++pos_;
    if (!word(pos_, "WHEN")) {
      int when = find_word(pos_, static_cast<int>(tokens_.size()), "WHEN");
      stmt->condition = compile_expr(pos_, when);
      pos_ = when;
    }
    while (accept_word("WHEN")) parse_branch(*stmt, stmt->condition == nullptr, {"WHEN", "ELSE", "END"});
    if (stmt->branches.empty()) unexpected(pos_, "WHEN");
    parse_else(*stmt);
    expect_word("END");
    expect_word("CASE");
    if (tok(pos_).kind == TokenKind::Word) ++pos_;
    expect_op(";");
    return stmt;
  }

  StmtPtr parse_loop(int at, const std::string& label) {
    StmtPtr stmt;
    bool scoped = false;
    if (accept_word("WHILE")) {
      stmt = make(Stmt::While, at);
      int loop = find_word(pos_, static_cast<int>(tokens_.size()), "LOOP");
      stmt->condition = compile_expr(pos_, loop, true);
      pos_ = loop;
    } else if (accept_word("FOR")) {
      int name_at = pos_;
      std::string name = take_name();
      expect_word("IN");
      push_scope();
      scoped = true;
      int loop = find_word(pos_, static_cast<int>(tokens_.size()), "LOOP");
      int range = find_top(pos_, loop, [&](int i) { return op(i, ".."); });
      if (range < loop) {
        stmt = make(Stmt::ForRange, at);
        stmt->reverse = accept_word("REVERSE");
        stmt->low = compile_expr(pos_, range);
        stmt->high = compile_expr(range + 1, loop);
        TypeSpec type = type_of_declaration("NUMBER(38)");
        type.base = BaseType::PlsInteger;
        stmt->slot = new_slot(name, type);
        declare(name, Symbol{Symbol::Constant, stmt->slot, -1, -1, type}, name_at);
      } else {
        stmt = make(Stmt::ForQuery, at);
        TypeSpec record;
        if (op(pos_, "(")) {
          int close = find_top(pos_ + 1, loop, [&](int i) { return op(i, ")"); });
          stmt->sql = compile_sql(pos_ + 1, close);
          record = record_of(*stmt->sql->prepared);
        } else {
          int cursor_at = pos_;
          std::string cursor = take_name();
          const Symbol* symbol = lookup(cursor);
          if (symbol == nullptr || symbol->kind != Symbol::Cursor) undeclared(cursor_at, cursor);
          stmt->cursor = symbol->cursor;
          stmt->values = parse_arguments(loop);
          record = record_of(*unit_->cursors[static_cast<size_t>(stmt->cursor)].query.prepared);
        }
        stmt->slot = new_slot(name, record);
        declare(name, Symbol{Symbol::Variable, stmt->slot, -1, -1, record}, name_at);
      }
      pos_ = loop;
    } else {
      stmt = make(Stmt::Loop, at);
    }
    stmt->label = label;
    expect_word("LOOP");
    ++loop_depth_;
    stmt->body = parse_statements({"END"});
    --loop_depth_;
    expect_word("END");
    expect_word("LOOP");
    if (tok(pos_).kind == TokenKind::Word) ++pos_;
    expect_op(";");
    if (scoped) pop_scope();
    return stmt;
  }

  // Arguments in parentheses at pos_ (none when absent), up to `end`.
  std::vector<ExprPtr> parse_arguments(int end) {
    std::vector<ExprPtr> arguments;
    if (!accept_op("(")) return arguments;
    int close = find_top(pos_, end, [&](int i) { return op(i, ")"); });
    while (pos_ < close) {
      int comma = find_top(pos_, close, [&](int i) { return op(i, ","); });
      arguments.push_back(compile_expr(pos_, comma));
      pos_ = comma < close ? comma + 1 : close;
    }
    pos_ = close + 1;
    return arguments;
  }

  StmtPtr parse_exit(int at) {
    auto stmt = make(word(pos_, "EXIT") ? Stmt::Exit : Stmt::Continue, at);
    ++pos_;
    if (loop_depth_ == 0) error_at(at, std::string(kPlsExitOutsideLoop));
    if (tok(pos_).kind == TokenKind::Word && !word(pos_, "WHEN")) stmt->label = take_name();
    if (accept_word("WHEN")) {
      int end = statement_end(pos_);
      stmt->condition = compile_expr(pos_, end, true);
      pos_ = end;
    }
    expect_op(";");
    return stmt;
  }

  StmtPtr parse_return(int at) {
    auto stmt = make(Stmt::Return, at);
    ++pos_;
    int end = statement_end(pos_);
    if (end > pos_) stmt->values.push_back(compile_expr(pos_, end));
    pos_ = end + 1;
    return stmt;
  }

  StmtPtr parse_select_into(int at) {
    auto stmt = make(Stmt::SelectInto, at);
    int end = statement_end(pos_);
    int into = find_word(pos_, end, "INTO");
    if (into >= end) error_at(at, std::string(kPlsIntoExpected));
    int from = find_word(into, end, "FROM");
    int keep_until = into;
    if (word(into - 2, "BULK") && word(into - 1, "COLLECT")) {
      stmt->bulk = true;
      keep_until = into - 2;
    }
    stmt->targets = parse_targets(into + 1, from);
    stmt->sql = compile_sql(pos_, end, source(pos_, keep_until) + " " + source(from, end));
    check_into_count(*stmt, at);
    pos_ = end + 1;
    return stmt;
  }

  void check_into_count(const Stmt& stmt, int at) {
    size_t columns = stmt.sql->prepared->column_names.size() - stmt.sql->prepared->returning;
    if (stmt.sql->prepared->returning) columns = stmt.sql->prepared->returning;
    size_t wanted = stmt.targets.size();
    if (wanted == 1 && stmt.targets[0].ref.kind == Ref::Slot) {
      const TypeSpec& type = unit_->slot_types[static_cast<size_t>(stmt.targets[0].ref.slot)];
      if (type.base == BaseType::Record) wanted = type.fields.size();
    }
    if (wanted == columns) return;
    int code = wanted < columns ? kTooManyValues : kNotEnoughValues;
    error_at(at, "PL/SQL: " + sql::full_message(code, sql::message_text(code)), kSqlStatementIgnored);
  }

  StmtPtr parse_dml(int at) {
    auto stmt = make(Stmt::Dml, at);
    int end = statement_end(pos_);
    int returning = find_top(pos_, end, [&](int i) { return word(i, "RETURNING") || word(i, "RETURN"); });
    if (returning < end) {
      int into = find_word(returning, end, "INTO");
      if (into >= end) unexpected(end, "INTO");
      stmt->targets = parse_targets(into + 1, end);
      std::string text = source(pos_, into) + " INTO ";
      for (size_t i = 0; i < stmt->targets.size(); ++i) {
        text += (i ? ", :" : ":") + std::string(kReturningPrefix) + std::to_string(i);
      }
      stmt->sql = compile_sql(pos_, end, text);
      check_into_count(*stmt, at);
    } else {
      stmt->sql = compile_sql(pos_, end);
    }
    pos_ = end + 1;
    return stmt;
  }

  StmtPtr parse_transaction(int at) {
    StmtPtr stmt;
    if (accept_word("COMMIT")) {
      stmt = make(Stmt::Commit, at);
      accept_word("WORK");
    } else if (accept_word("SAVEPOINT")) {
      stmt = make(Stmt::Savepoint, at);
      stmt->name = take_name();
    } else {
      ++pos_;
      accept_word("WORK");
      stmt = make(Stmt::Rollback, at);
      if (accept_word("TO")) {
        accept_word("SAVEPOINT");
        stmt->kind = Stmt::RollbackTo;
        stmt->name = take_name();
      }
    }
    pos_ = statement_end(pos_) + 1;  // COMMIT COMMENT '...' / WRITE options
    return stmt;
  }

  StmtPtr parse_raise(int at) {
    auto stmt = make(Stmt::Raise, at);
    ++pos_;
    if (!op(pos_, ";")) {
      int name_at = pos_;
      std::string name = take_name();
      while (accept_op(".")) name = take_name();
      const Symbol* symbol = lookup(name);
      if (symbol == nullptr || symbol->kind != Symbol::Exception) undeclared(name_at, name);
      stmt->exception = symbol->exception + 1;
    } else if (handler_depth_ == 0) {
      error_at(at, std::string(kPlsBareRaise));
    }
    expect_op(";");
    return stmt;
  }

  StmtPtr parse_application_error(int at) {
    auto stmt = make(Stmt::RaiseApplicationError, at);
    ++pos_;
    int end = statement_end(pos_);
    stmt->values = parse_arguments(end);
    if (stmt->values.size() < 2 || stmt->values.size() > 3) {
      error_at(at, format(kPlsWrongArguments, "RAISE_APPLICATION_ERROR"), kStatementIgnored);
    }
    pos_ = end + 1;
    return stmt;
  }

  int cursor_slot(int at, const std::string& name, int& cursor) {
    const Symbol* symbol = lookup(name);
    if (symbol && symbol->kind == Symbol::Cursor) {
      cursor = symbol->cursor;
      return symbol->slot;
    }
    if (symbol && symbol->type.base == BaseType::RefCursor) return symbol->slot;
    undeclared(at, name);
  }

  StmtPtr parse_open(int at) {
    ++pos_;
    int end = statement_end(pos_);
    auto stmt = make(Stmt::Open, at);
    if (tok(pos_).kind == TokenKind::Placeholder) {
      // A cursor variable of the caller: only OPEN ... FOR reaches it.
      stmt->name = tok(pos_).text;
      ++pos_;
      if (!word(pos_, "FOR")) unexpected(pos_, "FOR");
    } else {
      int name_at = pos_;
      std::string name = take_name();
      stmt->slot = cursor_slot(name_at, name, stmt->cursor);
    }
    if (accept_word("FOR")) {
      stmt->kind = Stmt::OpenFor;
      if (word(pos_, "SELECT") || word(pos_, "WITH") || op(pos_, "(")) {
        stmt->sql = compile_sql(pos_, end);
      } else {
        int using_at = find_word(pos_, end, "USING");
        stmt->dynamic = compile_expr(pos_, using_at);
        pos_ = using_at;
        if (accept_word("USING")) stmt->values = parse_using(end);
      }
    } else {
      // Only an explicit cursor opens without FOR; a cursor variable needs its query.
      if (stmt->cursor < 0) error_at(pos_, std::string(kPlsWrongType), kStatementIgnored);
      stmt->values = parse_arguments(end);
    }
    pos_ = end + 1;
    return stmt;
  }

  std::vector<ExprPtr> parse_using(int end) {
    std::vector<ExprPtr> values;
    while (pos_ < end) {
      accept_word("IN");
      int comma = find_top(pos_, end, [&](int i) { return op(i, ","); });
      values.push_back(compile_expr(pos_, comma));
      pos_ = comma < end ? comma + 1 : end;
    }
    return values;
  }

  StmtPtr parse_fetch(int at) {
    auto stmt = make(Stmt::Fetch, at);
    ++pos_;
    int end = statement_end(pos_);
    int name_at = pos_;
    stmt->slot = cursor_slot(name_at, take_name(), stmt->cursor);
    if (accept_word("BULK")) {
      expect_word("COLLECT");
      stmt->bulk = true;
    }
    expect_word("INTO");
    int limit = find_word(pos_, end, "LIMIT");
    stmt->targets = parse_targets(pos_, limit);
    if (limit < end) stmt->values.push_back(compile_expr(limit + 1, end));
    pos_ = end + 1;
    return stmt;
  }

  StmtPtr parse_close(int at) {
    auto stmt = make(Stmt::Close, at);
    ++pos_;
    int name_at = pos_;
    stmt->slot = cursor_slot(name_at, take_name(), stmt->cursor);
    expect_op(";");
    return stmt;
  }

  StmtPtr parse_execute_immediate(int at) {
    auto stmt = make(Stmt::ExecuteImmediate, at);
    pos_ += 2;
    int end = statement_end(pos_);
    int clause = find_top(pos_, end, [&](int i) { return word(i, "INTO") || word(i, "USING") || word(i, "BULK"); });
    stmt->dynamic = compile_expr(pos_, clause);
    pos_ = clause;
    if (accept_word("BULK")) {
      expect_word("COLLECT");
      stmt->bulk = true;
    }
    if (accept_word("INTO")) {
      int using_at = find_word(pos_, end, "USING");
      stmt->targets = parse_targets(pos_, using_at);
      pos_ = using_at;
    }
    if (accept_word("USING")) stmt->values = parse_using(end);
    pos_ = end + 1;
    return stmt;
  }

  StmtPtr parse_output(int at) {
    pos_ += 2;
    std::string procedure = take_name();
    int end = statement_end(pos_);
    StmtPtr stmt;
    if (procedure == "PUT_LINE" || procedure == "PUT" || procedure == "NEW_LINE") {
      stmt = make(Stmt::PutLine, at);
      stmt->name = procedure;
      stmt->values = parse_arguments(end);
    } else if (procedure == "ENABLE" || procedure == "DISABLE") {
      stmt = make(Stmt::OutputEnable, at);
      stmt->name = procedure;
      parse_arguments(end);
    } else if (procedure == "GET_LINE" || procedure == "GET_LINES") {
      stmt = make(Stmt::GetLine, at);
      stmt->name = procedure;
      expect_op("(");
      int close = find_top(pos_, end, [&](int i) { return op(i, ")"); });
      stmt->targets = parse_targets(pos_, close);
      if (stmt->targets.size() != 2) error_at(at, format(kPlsWrongArguments, procedure), kStatementIgnored);
      pos_ = close + 1;
    } else {
      undeclared(at, "DBMS_OUTPUT." + procedure);
    }
    pos_ = end + 1;
    return stmt;
  }

  StmtPtr parse_call(int at) {
    auto stmt = make(Stmt::Call, at);
    int end = statement_end(pos_);
    std::string name = take_name();
    while (accept_op(".")) name += "." + take_name();
    stmt->name = name;
    if (name.rfind("DBMS_LOB.", 0) != 0) {
      stmt->callee = load_callee(at, name);
      parse_call_arguments(*stmt, at, end);
    } else {
      stmt->values = parse_arguments(end);
    }
    pos_ = end + 1;
    return stmt;
  }

  // A stored procedure, compiled from the catalogue's text for this call.
  std::shared_ptr<Unit> load_callee(int at, const std::string& name) {
    size_t dot = name.find('.');
    std::string owner = dot == std::string::npos ? sql::session_schema(session_) : name.substr(0, dot);
    std::string object = dot == std::string::npos ? name : name.substr(dot + 1);
    std::string key = owner + "." + object;
    if (std::find(compiling->begin(), compiling->end(), key) != compiling->end()) {
      error_at(at, format(kPlsUnsupported, "recursive calls"), kStatementIgnored);
    }
    std::optional<StoredProgram> stored = find_stored_program(db_, owner, object);
    if (!stored) undeclared(at, name);
    if (stored->invalid) error_at(at, format(kPlsInvalidObject, key), kStatementIgnored);
    compiling->push_back(key);
    struct Pop {
      std::vector<std::string>* stack;
      ~Pop() { stack->pop_back(); }
    } pop{compiling};
    Compiler inner(stored->text, db_, session_);
    inner.compiling = compiling;
    std::shared_ptr<Unit> unit = inner.run_program();
    if (unit->function) error_at(at, format(kPlsNotProcedure, object), kStatementIgnored);
    return unit;
  }

  // Arguments by position or by name (p => value); OUT and IN OUT ones must be assignable.
  void parse_call_arguments(Stmt& stmt, int at, int end) {
    const std::vector<Parameter>& parameters = stmt.callee->parameters;
    stmt.values.resize(parameters.size());
    stmt.targets.resize(parameters.size());
    std::vector<bool> given(parameters.size());
    if (accept_op("(")) {
      int close = find_top(pos_, end, [&](int i) { return op(i, ")"); });
      size_t position = 0;
      while (pos_ < close) {
        int comma = find_top(pos_, close, [&](int i) { return op(i, ","); });
        size_t index = position++;
        if (op(pos_ + 1, "=>")) {
          std::string named = take_name();
          ++pos_;
          auto same = [&](const Parameter& p) { return p.name == named; };
          index = static_cast<size_t>(std::find_if(parameters.begin(), parameters.end(), same) - parameters.begin());
        }
        if (index >= parameters.size() || given[index]) error_at(at, format(kPlsWrongArguments, stmt.name));
        // IN OUT: read as an expression, written back as a target.
        if (parameters[index].mode != Parameter::Out) stmt.values[index] = compile_expr(pos_, comma);
        if (parameters[index].mode != Parameter::In) stmt.targets[index] = parse_target(pos_, comma);
        given[index] = true;
        pos_ = comma < close ? comma + 1 : close;
      }
      pos_ = close + 1;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (!given[i] && (parameters[i].mode != Parameter::In || !parameters[i].default_value)) {
        error_at(at, format(kPlsWrongArguments, stmt.name), kStatementIgnored);
      }
    }
  }

  // ---- references and expressions ----
  std::optional<Ref> parse_ref(int i, int end, int& next) {
    const Token& t = tok(i);
    Ref ref;
    next = i + 1;
    if (t.kind == TokenKind::Placeholder) {
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
      if (w == "TRUE" || w == "FALSE") {
        ref.kind = Ref::Constant;
        ref.value = Value::of_boolean(w == "TRUE");
        return ref;
      }
    }
    const Symbol* symbol = lookup(w);
    if (symbol == nullptr || symbol->kind == Symbol::Exception || symbol->kind == Symbol::Type) return std::nullopt;
    ref.slot = symbol->slot;
    if (op(i + 1, "%") && i + 2 < end) {
      ref.kind = Ref::CursorAttribute;
      ref.name = name_at(i + 2);
      next = i + 3;
      return ref;
    }
    if (symbol->kind == Symbol::Cursor) return std::nullopt;
    const TypeSpec& type = symbol->type;
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

  bool has_boolean_operator(int begin, int end) const {
    static constexpr std::string_view kOperators[] = {"=", "<>", "!=", "^=", "~=", "<", ">", "<=", ">="};
    static constexpr std::string_view kWords[] = {"AND", "OR", "NOT", "IS", "LIKE", "IN", "BETWEEN", "EXISTS"};
    int found = find_top(begin, end, [&](int i) {
      const Token& t = tok(i);
      if (t.kind == TokenKind::Operator) return std::find(std::begin(kOperators), std::end(kOperators), t.text) != std::end(kOperators);
      return t.kind == TokenKind::Word && std::find(std::begin(kWords), std::end(kWords), t.text) != std::end(kWords);
    });
    return found < end;
  }

  ExprPtr compile_expr(int begin, int end, bool condition = false) {
    auto expr = std::make_shared<Expr>();
    std::tie(expr->line, expr->column) = position_of(begin);
    if (begin >= end) unexpected(begin, "an expression");
    if (auto literal = literal_at(begin, end)) {
      expr->form = Expr::Literal;
      expr->literal = *literal;
      return expr;
    }
    int next = begin;
    if (auto ref = parse_ref(begin, end, next); ref && next == end && ref->kind != Ref::Bind && ref->kind != Ref::BindElement) {
      expr->form = Expr::Reference;
      expr->ref = std::move(*ref);
      return expr;
    }
    expr->form = Expr::Sql;
    std::string text = rewrite(begin, end, expr->sql.refs);
    expr->condition = condition || has_boolean_operator(begin, end);
    if (expr->condition) text = "CASE WHEN " + text + " THEN 1 WHEN NOT (" + text + ") THEN 0 END";
    expr->sql.text = "SELECT " + text + " FROM DUAL";
    std::tie(expr->sql.line, expr->sql.column) = position_of(begin);
    expr->sql.prepared = prepare_checked(expr->sql.text, begin, nullptr, kStatementIgnored);
    return expr;
  }

  std::optional<Value> literal_at(int begin, int end) const {
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
  std::string rewrite(int begin, int end, std::vector<Ref>& refs) {
    std::string out;
    auto append = [&](const std::string& piece) {
      if (!out.empty()) out += ' ';
      out += piece;
    };
    for (int i = begin; i < end;) {
      const Token& t = tok(i);
      int next = i + 1;
      if (t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName || t.kind == TokenKind::Placeholder) {
        if (auto ref = parse_ref(i, end, next)) {
          append(ref->kind == Ref::Bind ? ":" + ref->name : ":" + add_ref(refs, std::move(*ref)));
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

  SqlUse compile_sql(int begin, int end, std::string text = {}) {
    SqlUse use;
    use.text = text.empty() ? source(begin, end) : std::move(text);
    std::tie(use.line, use.column) = position_of(begin);
    current_refs_ = &use.refs;
    use.prepared = prepare_checked(use.text, begin, this, kSqlStatementIgnored);
    current_refs_ = nullptr;
    return use;
  }

  std::shared_ptr<SqlUse::Prepared> prepare_checked(const std::string& text, int at, sql::NameResolver* resolver,
                                                    std::string_view ignored) {
    try {
      return prepare_sql(text, db_, session_, resolver);
    } catch (const sql::OracleException& e) {
      current_refs_ = nullptr;
      error_at(at, "PL/SQL: " + sql::full_message(e.error.code, e.error.message), ignored);
    }
  }

  std::string_view text_;
  sqlite3* db_;
  sql::SessionContext& session_;
  std::vector<Token> tokens_;
  std::vector<int> line_starts_{0};
  int pos_ = 0;
  std::unique_ptr<Unit> unit_;
  std::vector<std::string> own_compiling_;
  std::vector<std::unordered_map<std::string, Symbol>> scopes_;
  std::vector<Ref>* current_refs_ = nullptr;
  int loop_depth_ = 0;
  int handler_depth_ = 0;
};

}  // namespace

std::unique_ptr<Unit> compile_block(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  return Compiler(text, db, session).run();
}

std::unique_ptr<Unit> compile_program(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  return Compiler(text, db, session).run_program();
}

}  // namespace ociemu::plsql
