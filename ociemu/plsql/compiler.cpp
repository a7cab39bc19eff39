#include "ociemu/plsql/compiler.h"

#include "ociemu/plsql/compiler_internal.h"
#include "ociemu/plsql/object_attributes.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/sql/types.h"

namespace ociemu::plsql {
namespace {

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

}  // namespace

const Symbol* Compiler::lookup(const std::string& name) const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    auto found = scope->find(name);
    if (found != scope->end()) return &found->second;
  }
  return nullptr;
}

void Compiler::declare(const std::string& name, Symbol symbol, int at) {
  auto& scope = scopes_.back();
  if (scope.count(name) && scopes_.size() > 1) error_at(at, format(kPlsDuplicate, name), kStatementIgnored);
  scope[name] = std::move(symbol);
}

int Compiler::new_slot(const std::string& name, const TypeSpec& type) {
  unit_->slot_types.push_back(type);
  unit_->slot_names.push_back(name);
  return static_cast<int>(unit_->slot_types.size()) - 1;
}

int Compiler::add_exception(const std::string& name, int code) {
  unit_->exceptions.push_back({name, code});
  return static_cast<int>(unit_->exceptions.size()) - 1;
}

int Compiler::field_index(const TypeSpec& record, const std::string& field) {
  for (size_t i = 0; i < record.fields.size(); ++i) {
    if (record.fields[i].first == field) return static_cast<int>(i);
  }
  return -1;
}

std::string Compiler::add_ref(std::vector<Ref>& refs, Ref ref) {
  refs.push_back(std::move(ref));
  return std::string(kRefPrefix) + std::to_string(refs.size() - 1);
}

void Compiler::begin_unit() {
  unit_ = std::make_unique<Unit>();
  push_scope();
  for (const Predefined& e : kPredefinedExceptions) {
    Symbol symbol{Symbol::Exception, -1, add_exception(e.name, e.code), -1, {}};
    scopes_.back()[e.name] = symbol;
  }
}

std::unique_ptr<Unit> Compiler::end_unit() {
  if (tok(pos_).is_op("/")) ++pos_;
  if (tok(pos_).kind != TokenKind::End) unexpected(pos_, "end-of-file");
  return std::move(unit_);
}

std::unique_ptr<Unit> Compiler::run_program() {
  begin_unit();
  Signature signature = parse_program_header();
  unit_->name = signature.name;
  unit_->function = signature.function;
  unit_->return_type = signature.return_type;
  unit_->parameters = signature.parameters;
  std::string key = signature.name;
  auto registered = compiling->emplace(std::move(key), std::make_shared<const Signature>(std::move(signature)));
  struct Unregister {
    Compiling& compiling;
    Compiling::iterator entry;
    bool owned;
    ~Unregister() {
      if (owned) compiling.erase(entry);
    }
  } unregister{*compiling, registered.first, registered.second};
  if (!accept_word("IS")) expect_word("AS");
  returns_value_.push_back(unit_->function);
  parse_declarations(unit_->block);
  parse_block_body(unit_->block);
  returns_value_.pop_back();
  return end_unit();
}

Signature Compiler::run_signature() {
  begin_unit();
  signature_only_ = true;
  return parse_program_header();
}

// Leaves the parameters' scope open for the body.
Signature Compiler::parse_program_header() {
  if (accept_word("CREATE") && accept_word("OR")) expect_word("REPLACE");
  Signature signature;
  signature.function = accept_word("FUNCTION");
  if (!signature.function) expect_word("PROCEDURE");
  std::string owner, name = take_name();
  if (accept_op(".")) {
    owner = std::move(name);
    name = take_name();
  }
  signature.name = (owner.empty() ? sql::session_schema(session_) : owner) + "." + name;
  push_scope();
  if (accept_op("(")) signature.parameters = parse_parameters();
  if (signature.function) {
    expect_word("RETURN");
    signature.return_type = parse_formal_type();
  }
  return signature;
}

// A local PROCEDURE or FUNCTION, or its declaration ahead of its body.
void Compiler::parse_subprogram() {
  int at = pos_;
  Signature signature;
  signature.function = accept_word("FUNCTION");
  if (!signature.function) expect_word("PROCEDURE");
  signature.name = take_name();
  int first_slot = static_cast<int>(unit_->slot_types.size());
  push_scope();
  if (accept_op("(")) signature.parameters = parse_parameters();
  if (signature.function) {
    expect_word("RETURN");
    signature.return_type = parse_formal_type();
  }
  const int index = declare_subprogram(signature, at);
  auto& subprogram = unit_->subprograms[static_cast<size_t>(index)];
  subprogram.signature = std::move(signature);
  subprogram.line = position_of(at).first;
  if (accept_op(";")) {
    pop_scope();
    return;
  }
  if (!accept_word("IS")) expect_word("AS");
  auto block = std::make_unique<Block>();
  returns_value_.push_back(unit_->subprograms[static_cast<size_t>(index)].signature.function);
  parse_declarations(*block);
  parse_block_body(*block);  // closes the parameters' scope
  returns_value_.pop_back();
  auto& defined = unit_->subprograms[static_cast<size_t>(index)];
  defined.block = std::move(block);
  defined.first_slot = first_slot;
  defined.end_slot = static_cast<int>(unit_->slot_types.size());
}

namespace {

bool same_parameters(const Signature& a, const Signature& b) {
  auto same = [](const Parameter& x, const Parameter& y) { return x.mode == y.mode && x.type == y.type; };
  return a.function == b.function &&
         std::equal(a.parameters.begin(), a.parameters.end(), b.parameters.begin(), b.parameters.end(), same);
}

// The family of what a built-in SQL function returns, for the common ones.
TypeFamily function_family(const std::string& name) {
  static const std::map<std::string_view, TypeFamily> kFunctions = {
      {"TO_CHAR", TypeFamily::Character},  {"SUBSTR", TypeFamily::Character},  {"UPPER", TypeFamily::Character},
      {"LOWER", TypeFamily::Character},    {"TRIM", TypeFamily::Character},    {"LTRIM", TypeFamily::Character},
      {"RTRIM", TypeFamily::Character},    {"LPAD", TypeFamily::Character},    {"RPAD", TypeFamily::Character},
      {"REPLACE", TypeFamily::Character},  {"CONCAT", TypeFamily::Character},  {"INITCAP", TypeFamily::Character},
      {"CHR", TypeFamily::Character},      {"TO_NUMBER", TypeFamily::Number},  {"LENGTH", TypeFamily::Number},
      {"INSTR", TypeFamily::Number},       {"ABS", TypeFamily::Number},        {"MOD", TypeFamily::Number},
      {"ROUND", TypeFamily::Number},       {"FLOOR", TypeFamily::Number},      {"CEIL", TypeFamily::Number},
      {"TO_DATE", TypeFamily::Datetime},   {"ADD_MONTHS", TypeFamily::Datetime}, {"LAST_DAY", TypeFamily::Datetime},
      {"TO_TIMESTAMP", TypeFamily::Datetime}, {"HEXTORAW", TypeFamily::Binary},
  };
  auto found = kFunctions.find(name);
  return found == kFunctions.end() ? TypeFamily::Unknown : found->second;
}

}  // namespace

int Compiler::declare_subprogram(const Signature& signature, int at) {
  auto& outer = scopes_[scopes_.size() - 2];  // the parameters' scope is open
  auto declared = outer.find(signature.name);
  const int added = static_cast<int>(unit_->subprograms.size());
  if (declared == outer.end()) {
    unit_->subprograms.emplace_back();
    outer[signature.name] = Symbol{Symbol::Subprogram, -1, -1, -1, {}, added, {added}};
    return added;
  }
  if (declared->second.kind != Symbol::Subprogram) error_at(at, format(kPlsDuplicate, signature.name), kStatementIgnored);
  for (int index : declared->second.overloads) {
    const Subprogram& existing = unit_->subprograms[static_cast<size_t>(index)];
    if (!same_parameters(existing.signature, signature)) continue;
    if (existing.block) error_at(at, format(kPlsDuplicate, signature.name), kStatementIgnored);
    return index;
  }
  unit_->subprograms.emplace_back();
  declared->second.overloads.push_back(added);
  return added;
}

TypeFamily Compiler::argument_family(int begin, int end) const {
  if (auto literal = literal_at(begin, end)) return family_of(*literal);
  if (find_top(begin, end, [&](int i) { return op(i, "||"); }) < end) return TypeFamily::Character;
  const int operation = find_top(begin + 1, end, [&](int i) { return op(i, "+") || op(i, "-") || op(i, "*") || op(i, "/"); });
  if (operation < end) {
    // Arithmetic on a number is a number; on a date it may be either.
    return argument_family(begin, operation) == TypeFamily::Number ? TypeFamily::Number : TypeFamily::Unknown;
  }
  if (tok(begin).kind != TokenKind::Word) return TypeFamily::Unknown;
  const std::string& word = tok(begin).text;
  if (op(begin + 1, "(") && find_top(begin + 2, end, [&](int i) { return op(i, ")"); }) == end - 1 && !lookup(word)) {
    return function_family(word);
  }
  if (end - begin == 1 && (word == "TRUE" || word == "FALSE")) return TypeFamily::Boolean;
  if (end - begin == 1 && (word == "SYSDATE" || word == "SYSTIMESTAMP")) return TypeFamily::Datetime;
  const Symbol* symbol = lookup(word);
  if (symbol == nullptr) return TypeFamily::Unknown;
  if (end - begin == 1 && symbol->kind == Symbol::Cursor) return TypeFamily::Cursor;
  if (symbol->kind != Symbol::Variable && symbol->kind != Symbol::Constant) return TypeFamily::Unknown;
  if (end - begin == 1) return family_of(symbol->type.base);
  if (end - begin == 3 && op(begin + 1, ".") && symbol->type.base == BaseType::Record) {
    const int field = field_index(symbol->type, tok(begin + 2).text);
    if (field >= 0) return family_of(symbol->type.fields[static_cast<size_t>(field)].second.base);
  }
  return TypeFamily::Unknown;
}

size_t Compiler::resolve_overload(const Unit& unit, const std::vector<int>& indices, int open,
                                  std::optional<bool> function) const {
  if (indices.size() < 2) return 0;
  std::vector<TypeFamily> families;
  std::vector<std::string> names;
  if (op(open, "(")) {
    const int close = find_top(open + 1, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); });
    for (int i = open + 1; i < close;) {
      const int comma = find_top(i, close, [&](int k) { return op(k, ","); });
      const bool named = op(i + 1, "=>");
      names.push_back(named ? tok(i).text : std::string());
      families.push_back(argument_family(named ? i + 2 : i, comma));
      i = comma + 1;
    }
  }
  std::vector<const Signature*> candidates;
  for (int index : indices) {
    const Signature& signature = unit.subprograms[static_cast<size_t>(index)].signature;
    candidates.push_back(function && signature.function != *function ? nullptr : &signature);
  }
  const int chosen = choose_overload(candidates, families, names);
  if (chosen < 0) error_at(open - 1, format(kPlsWrongArguments, tok(open - 1).text), kStatementIgnored);
  return static_cast<size_t>(chosen);
}

// Parameters and return values take their length from the value passed: a bare
// CHAR there is not CHAR(1).
TypeSpec Compiler::parse_formal_type() {
  TypeSpec type = parse_type();
  if (type.base == BaseType::Char) type.length = 0;
  return type;
}

std::vector<Parameter> Compiler::parse_parameters() {
  std::vector<Parameter> parameters;
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
    TypeSpec type = parse_formal_type();
    int next = find_top(pos_, close, [&](int i) { return op(i, ","); });
    if (accept_op(":=") || accept_word("DEFAULT")) {
      parameter.has_default = true;
      if (!signature_only_) parameter.default_value = compile_expr(pos_, next);
    }
    parameter.slot = new_slot(parameter.name, type);
    parameter.type = type.base;
    Symbol symbol{parameter.mode == Parameter::In ? Symbol::Constant : Symbol::Variable, parameter.slot, -1, -1, type};
    declare(parameter.name, std::move(symbol), at);
    parameters.push_back(std::move(parameter));
    pos_ = next < close ? next + 1 : close;
  }
  pos_ = close + 1;
  return parameters;
}

std::string Compiler::parse_label() {
  if (!(op(pos_, "<") && op(pos_ + 1, "<"))) return {};
  pos_ += 2;
  std::string label = take_name();
  expect_op(">");
  expect_op(">");
  return label;
}

void Compiler::parse_block(Block& block, const std::string& label) {
  block.label = label;
  push_scope();
  if (accept_word("DECLARE")) parse_declarations(block);
  parse_block_body(block);
}

// BEGIN ... [EXCEPTION ...] END [label]; closing the block's scope.
void Compiler::parse_block_body(Block& block) {
  expect_word("BEGIN");
  block.body = parse_statements({"EXCEPTION", "END"});
  if (accept_word("EXCEPTION")) parse_handlers(block);
  expect_word("END");
  block.end_line = position_of(pos_ - 1).first;
  if (tok(pos_).kind == TokenKind::Word && !op(pos_, ";")) ++pos_;  // END label
  expect_op(";");
  pop_scope();
}

void Compiler::parse_handlers(Block& block) {
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

void Compiler::parse_declarations(Block& block) {
  while (!word(pos_, "BEGIN")) parse_declaration(block);
  require_bodies();
}

void Compiler::parse_declaration(Block& block) {
  if (tok(pos_).kind == TokenKind::End) unexpected(pos_, "begin");
  if (accept_word("PRAGMA")) {
    parse_pragma();
  } else if (accept_word("CURSOR")) {
    parse_cursor();
  } else if (accept_word("TYPE") || accept_word("SUBTYPE")) {
    parse_type_declaration();
  } else if (word(pos_, "PROCEDURE") || word(pos_, "FUNCTION")) {
    parse_subprogram();
  } else {
    parse_variable(block);
  }
}

void Compiler::require_bodies() {
  for (const auto& [name, symbol] : scopes_.back()) {
    if (symbol.kind != Symbol::Subprogram) continue;
    for (int index : symbol.overloads) {
      if (!unit_->subprograms[static_cast<size_t>(index)].block) error_at(pos_, format(kPlsNoBody, name));
    }
  }
}

void Compiler::parse_pragma() {
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

void Compiler::parse_cursor() {
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

void Compiler::parse_type_declaration() {
  int at = pos_;
  std::string name = take_name();
  expect_word("IS");
  TypeSpec type;
  if (word(pos_, "TABLE") || word(pos_, "VARRAY")) {
    type.collection = accept_word("TABLE") ? TypeSpec::Collection::Nested : TypeSpec::Collection::Varray;
    if (type.collection == TypeSpec::Collection::Varray) ++pos_;
    if (accept_op("(")) {
      if (tok(pos_).kind == TokenKind::Number) type.limit = std::stoll(tok(pos_).text);
      pos_ = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); }) + 1;
    }
    expect_word("OF");
    type.base = BaseType::IndexTable;
    type.element = std::make_shared<TypeSpec>(parse_type());
    if (accept_word("NOT")) expect_word("NULL");
    if (accept_word("INDEX")) {
      expect_word("BY");
      parse_type();
      type.collection = TypeSpec::Collection::IndexBy;
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
  if (!package_head_.empty() && (type.base == BaseType::Record || type.base == BaseType::IndexTable)) {
    type.package_type = package_head_ + "." + name;
  }
  declare(name, Symbol{Symbol::Type, -1, -1, -1, type}, at);
}

void Compiler::parse_variable(Block& block) {
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

TypeSpec Compiler::parse_type() {
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
  if (chain.size() > 1) {
    if (auto type = package_type(chain)) return *type;
    if (auto type = object_type(chain)) return *type;
    undeclared(at, chain.back());
  }
  if (const Symbol* symbol = lookup(chain[0]); symbol && symbol->kind == Symbol::Type) return symbol->type;
  return builtin_type(chain[0], at);
}

std::string Compiler::parenthesized_text() {
  if (!op(pos_, "(")) return {};
  int close = find_top(pos_ + 1, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ")"); });
  std::string inside;
  for (int i = pos_ + 1; i < close; ++i) {
    if (tok(i).kind == TokenKind::Number || op(i, ",")) inside += tok(i).text;
  }
  pos_ = close + 1;
  return "(" + inside + ")";
}

TypeSpec Compiler::builtin_type(const std::string& name, int at) {
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
  if (name == "XMLTYPE") {
    TypeSpec type = type_of_declaration("CLOB");
    type.is_xml = true;
    return type;
  }
  if (name == "RAW") return declared("RAW");
  if (name == "ROWID" || name == "UROWID") {
    parenthesized_text();
    return type_of_declaration("ROWID");
  }
  if (name == "SYS_REFCURSOR") return TypeSpec::of(BaseType::RefCursor);
  if (name == "REF") {
    // A REF holds its stored text ("OWNER.TABLE:OID"); the type it points to only documents it.
    take_name();
    while (op(pos_, ".") && (tok(pos_ + 1).kind == TokenKind::Word || tok(pos_ + 1).kind == TokenKind::QuotedName)) pos_ += 2;
    return type_of_declaration("VARCHAR2(4000)");
  }
  if (auto type = object_type({name})) return *type;
  undeclared(at, name);
}

// Such a variable holds the value's stored text, which binds of that type read and write, so that
// values pass through a block whole; an object's attributes are read and written inside that text.
std::optional<TypeSpec> Compiler::object_type(const std::vector<std::string>& parts) const {
  if (parts.empty() || parts.size() > 2) return std::nullopt;
  const std::string owner = parts.size() == 2 ? parts[0] : std::string();
  auto found = sql::resolve_type(db_, session_, owner, parts.back());
  if (!found || found->kind == sql::TypeKind::Opaque) return std::nullopt;
  TypeSpec type = TypeSpec::of(BaseType::Varchar2);
  if (found->kind == sql::TypeKind::Object) type.object = found->qualified();
  return type;
}

Ref Compiler::attribute_ref(Ref holder, const TypeSpec& type, const std::vector<std::string>& names, int at) const {
  size_t missing = 0;
  std::optional<ObjectAttribute> found = find_object_attribute(db_, type.object, names, missing);
  if (!found) error_at(at, format(kPlsNoComponent, names[std::min(missing, names.size() - 1)]), kStatementIgnored);
  Ref ref;
  ref.kind = Ref::Attribute;
  ref.holder = std::make_shared<const Ref>(std::move(holder));
  ref.attribute = std::make_shared<const ObjectAttribute>(std::move(*found));
  return ref;
}

// t.column%TYPE, owner.t.column%TYPE, variable%TYPE, record.field%TYPE
TypeSpec Compiler::anchored_type(const std::vector<std::string>& chain, int at) {
  if (const Symbol* symbol = lookup(chain[0])) {
    if (chain.size() == 1 && symbol->kind != Symbol::Exception) return symbol->type;
    if (chain.size() == 2 && symbol->type.base == BaseType::Record) {
      int field = field_index(symbol->type, chain[1]);
      if (field >= 0) return symbol->type.fields[static_cast<size_t>(field)].second;
    }
  }
  if (chain.size() < 2) undeclared(at, chain[0]);
  if (!lookup(chain[0])) {
    if (auto type = package_type(chain)) return *type;
  }
  std::vector<std::string> table(chain.begin(), chain.end() - 1);
  TypeSpec row = table_row(table, at);
  int field = field_index(row, chain.back());
  if (field < 0) undeclared(at, join(chain));
  return row.fields[static_cast<size_t>(field)].second;
}

TypeSpec Compiler::row_type(const std::vector<std::string>& chain, int at) {
  if (const Symbol* symbol = lookup(chain[0]); symbol && chain.size() == 1 && symbol->kind == Symbol::Cursor) {
    return record_of(*unit_->cursors[static_cast<size_t>(symbol->cursor)].query.prepared);
  }
  if (chain.size() > 1 && !lookup(chain[0])) {
    if (auto cursor = package_cursor(chain)) return record_of(*cursor->declared->query.prepared);
  }
  return table_row(chain, at);
}

std::string Compiler::join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ".") + part;
  return out;
}

TypeSpec Compiler::table_row(const std::vector<std::string>& table, int at) {
  try {
    auto prepared = prepare_sql("SELECT * FROM " + join(table), db_, session_, nullptr);
    return record_of(*prepared);
  } catch (const sql::OracleException&) {
    undeclared(at, join(table));
  }
}

TypeSpec Compiler::record_of(const SqlUse::Prepared& prepared) {
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

std::unique_ptr<Unit> Compiler::run_trigger(const TriggerShape& shape) {
  begin_unit();
  unit_->name = shape.name;
  trigger_ = true;
  TypeSpec record = TypeSpec::of(BaseType::Record);
  for (const auto& column : shape.columns) record.fields.emplace_back(column.first, column.second);
  unit_->trigger_new_slot = new_slot(std::string(kTriggerNewRecord), record);
  unit_->trigger_old_slot = new_slot(std::string(kTriggerOldRecord), record);
  scopes_.back()[std::string(kTriggerNewRecord)] =
      Symbol{shape.new_assignable ? Symbol::Variable : Symbol::Constant, unit_->trigger_new_slot, -1, -1, record};
  scopes_.back()[std::string(kTriggerOldRecord)] = Symbol{Symbol::Constant, unit_->trigger_old_slot, -1, -1, record};
  std::string label = parse_label();
  parse_block(unit_->block, label);
  return end_unit();
}

std::unique_ptr<Unit> compile_block(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  return Compiler(text, db, session).run();
}

std::unique_ptr<Unit> compile_program(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  return Compiler(text, db, session).run_program();
}

std::unique_ptr<Unit> compile_trigger(std::string_view text, sqlite3* db, sql::SessionContext& session,
                                      const TriggerShape& shape) {
  return Compiler(text, db, session).run_trigger(shape);
}

}  // namespace ociemu::plsql
