// Statements of a PL/SQL unit: control flow, embedded SQL, cursors, calls.
#include <algorithm>
#include <cctype>

#include "ociemu/plsql/compiler_internal.h"
#include "ociemu/plsql/dbms_lob.h"
#include "ociemu/plsql/stored.h"

namespace ociemu::plsql {
namespace {

constexpr int kTooManyValues = 913;
constexpr int kNotEnoughValues = 947;

}  // namespace

StmtList Compiler::parse_statements(std::initializer_list<std::string_view> stops) {
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

StmtPtr Compiler::parse_statement() {
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
  // obj.attr.attr := ... of an object variable
  if (const Symbol* symbol = lookup(w); symbol && !symbol->type.object.empty() && op(pos_ + 1, ".")) {
    return parse_assignment(at);
  }
  return parse_call(at);
}

StmtPtr Compiler::parse_assignment(int at) {
  auto stmt = make(Stmt::Assign, at);
  int assign = find_top(pos_, static_cast<int>(tokens_.size()), [&](int i) { return op(i, ":=") || op(i, ";"); });
  if (!op(assign, ":=")) {
    if (tok(pos_).kind == TokenKind::Placeholder) unexpected(assign, ":=");
    pos_ = at;
    return parse_call(at);
  }
  stmt->targets.push_back(parse_target(pos_, assign));
  int end = statement_end(assign + 1);
  if (StmtPtr call = function_call_with_outs(at, stmt->targets[0], assign + 1, end)) return call;
  bool boolean = false;
  if (stmt->targets[0].ref.kind == Ref::Slot) {
    boolean = unit_->slot_types[static_cast<size_t>(stmt->targets[0].ref.slot)].base == BaseType::Boolean;
  }
  stmt->values.push_back(compile_expr(assign + 1, end, boolean));
  pos_ = end + 1;
  return stmt;
}

Target Compiler::parse_target(int begin, int end) {
  int next = begin;
  auto ref = parse_ref(begin, end, next);
  if (!ref || next != end) {
    if (tok(begin).kind == TokenKind::Word && !lookup(tok(begin).text)) undeclared(begin, tok(begin).text);
    error_at(begin, format(kPlsNotAssignable, source(begin, end)), kStatementIgnored);
  }
  bool assignable = ref->kind == Ref::Slot || ref->kind == Ref::Field || ref->kind == Ref::Element ||
                    ref->kind == Ref::Bind || ref->kind == Ref::BindElement || ref->kind == Ref::PackageVariable ||
                    ref->kind == Ref::Attribute;
  if (ref->kind == Ref::Slot || ref->kind == Ref::Field || ref->kind == Ref::Element || ref->kind == Ref::Attribute) {
    const Symbol* symbol = lookup(tok(begin).text);
    if (symbol && symbol->kind == Symbol::Constant) assignable = false;
  }
  if (!assignable) error_at(begin, format(kPlsNotAssignable, source(begin, end)), kStatementIgnored);
  return Target{std::move(*ref), source(begin, end)};
}

std::vector<Target> Compiler::parse_targets(int begin, int end) {
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
void Compiler::parse_branch(Stmt& stmt, bool condition, std::initializer_list<std::string_view> stops) {
  int then = find_word(pos_, static_cast<int>(tokens_.size()), "THEN");
  if (!word(then, "THEN")) unexpected(then, "THEN");
  Branch branch;
  branch.condition = compile_expr(pos_, then, condition);
  pos_ = then + 1;
  branch.body = parse_statements(stops);
  stmt.branches.push_back(std::move(branch));
}

void Compiler::parse_else(Stmt& stmt) {
  if (!accept_word("ELSE")) return;
  Branch branch;
  branch.body = parse_statements({"END"});
  stmt.branches.push_back(std::move(branch));
  stmt.has_else = true;
}

StmtPtr Compiler::parse_if(int at) {
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

StmtPtr Compiler::parse_case(int at) {
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

StmtPtr Compiler::parse_loop(int at, const std::string& label) {
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
        int next = pos_;
        if (auto outside = package_cursor_at(pos_, next)) {
          stmt->package = outside->package;
          stmt->cursor = outside->cursor;
          pos_ = next;
          stmt->values = parse_arguments(loop);
          record = record_of(*outside->declared->query.prepared);
        } else {
          std::string cursor = take_name();
          const Symbol* symbol = lookup(cursor);
          if (symbol == nullptr || symbol->kind != Symbol::Cursor) undeclared(cursor_at, cursor);
          stmt->cursor = symbol->cursor;
          stmt->values = parse_arguments(loop);
          record = record_of(*unit_->cursors[static_cast<size_t>(stmt->cursor)].query.prepared);
        }
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
std::vector<ExprPtr> Compiler::parse_arguments(int end) {
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

StmtPtr Compiler::parse_exit(int at) {
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

StmtPtr Compiler::parse_return(int at) {
  auto stmt = make(Stmt::Return, at);
  ++pos_;
  int end = statement_end(pos_);
  bool function = !returns_value_.empty() && returns_value_.back();
  if (end > pos_ && !function) error_at(at, std::string(kPlsReturnInProcedure), kStatementIgnored);
  if (end == pos_ && function) error_at(at, std::string(kPlsReturnNeedsValue), kStatementIgnored);
  if (end > pos_) stmt->values.push_back(compile_expr(pos_, end));
  pos_ = end + 1;
  return stmt;
}

StmtPtr Compiler::parse_select_into(int at) {
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

void Compiler::check_into_count(const Stmt& stmt, int at) {
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

StmtPtr Compiler::parse_dml(int at) {
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

StmtPtr Compiler::parse_transaction(int at) {
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

StmtPtr Compiler::parse_raise(int at) {
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

StmtPtr Compiler::parse_application_error(int at) {
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

int Compiler::cursor_slot(int at, const std::string& name, int& cursor) {
  const Symbol* symbol = lookup(name);
  if (symbol && symbol->kind == Symbol::Cursor) {
    cursor = symbol->cursor;
    return symbol->slot;
  }
  if (symbol && symbol->type.base == BaseType::RefCursor) return symbol->slot;
  undeclared(at, name);
}

// The cursor FETCH or CLOSE names: one of the unit's, or a bind the client passed a cursor in.
void Compiler::parse_cursor_name(Stmt& stmt) {
  if (tok(pos_).kind == TokenKind::Placeholder) {
    stmt.name = tok(pos_++).text;
    return;
  }
  if (int next = pos_; auto cursor = package_cursor_at(pos_, next)) {
    stmt.package = cursor->package;
    stmt.cursor = cursor->cursor;
    stmt.slot = cursor->slot;
    pos_ = next;
    return;
  }
  int name_at = pos_;
  stmt.slot = cursor_slot(name_at, take_name(), stmt.cursor);
}

StmtPtr Compiler::parse_open(int at) {
  ++pos_;
  int end = statement_end(pos_);
  auto stmt = make(Stmt::Open, at);
  if (tok(pos_).kind == TokenKind::Placeholder) {
    // A cursor variable of the caller: only OPEN ... FOR reaches it.
    stmt->name = tok(pos_).text;
    ++pos_;
    if (!word(pos_, "FOR")) unexpected(pos_, "FOR");
  } else {
    parse_cursor_name(*stmt);
  }
  if (!stmt->package.empty() && word(pos_, "FOR")) unexpected(pos_, ";");
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

std::vector<ExprPtr> Compiler::parse_using(int end) {
  std::vector<ExprPtr> values;
  while (pos_ < end) {
    accept_word("IN");
    int comma = find_top(pos_, end, [&](int i) { return op(i, ","); });
    values.push_back(compile_expr(pos_, comma));
    pos_ = comma < end ? comma + 1 : end;
  }
  return values;
}

StmtPtr Compiler::parse_fetch(int at) {
  auto stmt = make(Stmt::Fetch, at);
  ++pos_;
  int end = statement_end(pos_);
  parse_cursor_name(*stmt);
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

StmtPtr Compiler::parse_close(int at) {
  auto stmt = make(Stmt::Close, at);
  ++pos_;
  parse_cursor_name(*stmt);
  expect_op(";");
  return stmt;
}

StmtPtr Compiler::parse_execute_immediate(int at) {
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

StmtPtr Compiler::parse_output(int at) {
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

StmtPtr Compiler::parse_call(int at) {
  auto stmt = make(Stmt::Call, at);
  int end = statement_end(pos_);
  int first = pos_;
  std::string name = take_name();
  while (accept_op(".")) name += "." + take_name();
  if (int member = after_lob_package(first); member > 0) name = std::string(kLobPackage) + name_at(member);
  stmt->name = name;
  const Symbol* local = lookup(name);
  if (local && local->kind == Symbol::Subprogram) {
    stmt->local = local->overloads[resolve_overload(*unit_, local->overloads, pos_, false)];
    stmt->callee = std::make_shared<const Signature>(unit_->subprograms[static_cast<size_t>(stmt->local)].signature);
    if (stmt->callee->function) error_at(at, format(kPlsNotProcedure, name), kStatementIgnored);
    parse_call_arguments(*stmt, at, end);
  } else if (name == kReturnResult || name == "SYS." + std::string(kReturnResult)) {
    // (cursor [, to_client]): the cursor variable is handed to the client.
    stmt->name = kReturnResult;
    expect_op("(");
    int close = find_top(pos_, end, [&](int i) { return op(i, ")"); });
    int comma = find_top(pos_, close, [&](int i) { return op(i, ","); });
    stmt->values.push_back(compile_expr(pos_, comma));
    pos_ = close + 1;
  } else if (name.rfind(kLobPackage, 0) != 0) {
    stmt->callee = load_signature(at, name, pos_);
    parse_call_arguments(*stmt, at, end);
  } else {
    parse_lob_arguments(*stmt, at, end);
  }
  pos_ = end + 1;
  return stmt;
}

// A call that is the whole value hands its result straight to the target.
StmtPtr Compiler::function_call_with_outs(int at, Target& target, int begin, int end) {
  int open = begin + 1;
  while (op(open, ".") && tok(open + 1).kind == TokenKind::Word) open += 2;
  if (!op(open, "(") || find_top(open + 1, end, [&](int i) { return op(i, ")"); }) != end - 1) return nullptr;
  auto stmt = make(Stmt::Call, at);
  if (!resolve_function_with_outs(*stmt, begin, open)) return nullptr;
  pos_ = open;
  parse_call_arguments(*stmt, at, end);
  stmt->result = std::move(target);
  pos_ = end + 1;
  return stmt;
}

bool Compiler::resolve_function_with_outs(Stmt& call, int begin, int open) {
  if (tok(begin).kind != TokenKind::Word) return false;
  std::string name = source(begin, open);
  name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  call.name = name;
  if (const Symbol* local = lookup(name); local && local->kind == Symbol::Subprogram) {
    call.local = local->overloads[resolve_overload(*unit_, local->overloads, open, true)];
    call.callee = std::make_shared<const Signature>(unit_->subprograms[static_cast<size_t>(call.local)].signature);
  } else if (local == nullptr && name.find('.') == name.rfind('.')) {
    call.callee = stored_signature(begin, name, open, true);
  }
  // SQL, which evaluates other function calls, can neither write arguments back nor pass an index-by table.
  const auto needs_a_call = [](const Parameter& p) { return p.mode != Parameter::In || p.type == BaseType::IndexTable; };
  return call.callee && call.callee->function &&
         std::any_of(call.callee->parameters.begin(), call.callee->parameters.end(), needs_a_call);
}

std::optional<int> Compiler::hoist_call_with_outs(int i, int end, int& next) {
  if (hoisted_ == nullptr || signature_only_ || tok(i).kind != TokenKind::Word || (i > 0 && op(i - 1, "."))) {
    return std::nullopt;
  }
  int open = i + 1;
  while (op(open, ".") && tok(open + 1).kind == TokenKind::Word) open += 2;
  if (open >= end || !op(open, "(")) return std::nullopt;
  const int close = find_top(open + 1, end, [&](int k) { return op(k, ")"); });
  if (close >= end) return std::nullopt;
  auto call = make(Stmt::Call, i);
  if (!resolve_function_with_outs(*call, i, open)) return std::nullopt;
  const int resume = pos_;
  pos_ = open;
  parse_call_arguments(*call, i, close + 1);
  pos_ = resume;
  Target result;
  result.ref.slot = new_slot(std::string(), call->callee->return_type);
  result.text = source(i, close + 1);
  call->result = std::move(result);
  hoisted_->push_back(std::shared_ptr<const Stmt>(std::move(call)));
  next = close + 1;
  return hoisted_->back()->result->ref.slot;
}

// The program's own signature while it (or one calling it back) compiles; else
// its stored header. One stored with errors is compiled again, as it may compile
// now that the programs it calls exist.
std::shared_ptr<const Signature> Compiler::load_signature(int at, const std::string& name, int open) {
  std::shared_ptr<const Signature> signature = stored_signature(at, name, open, false);
  if (!signature) undeclared(at, name);
  if (signature->function) {
    size_t dot = name.find('.');
    error_at(at, format(kPlsNotProcedure, dot == std::string::npos ? name : name.substr(dot + 1)), kStatementIgnored);
  }
  return signature;
}

std::shared_ptr<const Signature> Compiler::stored_signature(int at, const std::string& name, int open,
                                                            std::optional<bool> function) {
  size_t dot = name.find('.');
  std::string owner = dot == std::string::npos ? sql::session_schema(session_) : name.substr(0, dot);
  std::string object = dot == std::string::npos ? name : name.substr(dot + 1);
  std::string key = owner + "." + object;
  std::shared_ptr<const Signature> signature;
  if (auto found = compiling->find(key); found != compiling->end()) {
    signature = found->second;
  } else {
    std::optional<StoredProgram> stored = find_stored_program(db_, owner, object);
    if (!stored) return package_signature(name, open, function);
    Compiler inner(stored->text, db_, session_);
    inner.compiling = compiling;
    try {
      if (stored->invalid) {
        std::unique_ptr<Unit> unit = inner.run_program();
        signature = std::make_shared<const Signature>(
            Signature{unit->name, unit->parameters, unit->function, unit->return_type});
      } else {
        signature = std::make_shared<const Signature>(inner.run_signature());
      }
    } catch (const sql::OracleException&) {
      error_at(at, format(kPlsInvalidObject, key), kStatementIgnored);
    }
  }
  return signature;
}

// Arguments by position or by name (p => value); OUT and IN OUT ones must be assignable.
void Compiler::parse_call_arguments(Stmt& stmt, int at, int end) {
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
    if (!given[i] && (parameters[i].mode != Parameter::In || !parameters[i].has_default)) {
      error_at(at, format(kPlsWrongArguments, stmt.name), kStatementIgnored);
    }
  }
}

}  // namespace ociemu::plsql
