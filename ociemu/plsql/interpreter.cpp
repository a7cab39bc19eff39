#include "ociemu/plsql/interpreter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "ociemu/plsql/dbms_lob.h"
#include "ociemu/plsql/calls.h"
#include "ociemu/plsql/messages.h"
#include "ociemu/plsql/object_attributes.h"
#include "ociemu/plsql/sql_use.h"
#include "ociemu/sql/errors.h"

namespace ociemu::plsql {
namespace {

constexpr int kUnimplemented = 3001;
constexpr int kStateDiscardedCode = 4068;
constexpr int kStateInvalidatedCode = 4061;
constexpr int kAlteredCode = 4065;
constexpr int kCursorAlreadyOpenCode = 6511;
constexpr int kInvalidCursorCode = 1001;
constexpr int kCaseNotFoundCode = 6592;
constexpr int kNotAllBound = 1008;
constexpr int kHostArrayTooSmall = 6513;
constexpr int kApplicationErrorFirst = 20000, kApplicationErrorLast = 20999;
constexpr size_t kApplicationMessageLimit = 2048;

// An error on its way to a handler.
struct Raised {
  int code = 0;
  std::string message;
  int exception = -1;  // the declared exception raised, when raised by name
  bool user = false;   // a user exception without an Oracle code
  int line = 0;
  std::string backtrace;  // "ORA-06512: at line n" of the local calls it left, innermost first
};

struct CursorState {
  std::shared_ptr<const Unit> owner;        // the stored unit whose statement it steps, when passed out of it
  std::shared_ptr<BoundCursor> bound;       // a cursor the client passed in, read instead of `prepared`
  std::shared_ptr<SqlUse::Prepared> owned;  // a dynamic query's statement
  PreparedUse prepared;                     // the statement stepped (after `owned`: released first)
  bool open = false;
  std::optional<bool> found;
  int64_t rowcount = 0;
};

struct Slot {
  Value value;
  std::vector<Value> fields;
  std::map<int64_t, Value> table;
  CursorState cursor;
};

bool is_character_type(BaseType type) { return type == BaseType::Varchar2 || type == BaseType::Char; }

// Whether a client's bind of this kind can take what a parameter of this type gives back.
bool bind_takes(BindKind bind, BaseType parameter) {
  using B = BaseType;
  if (parameter == B::Unknown || is_character_type(parameter)) return bind != BindKind::Cursor;
  switch (bind) {
    case BindKind::Other: case BindKind::Character: return parameter != B::RefCursor;
    case BindKind::Number: return parameter == B::Number || parameter == B::Integer || parameter == B::PlsInteger ||
                                  parameter == B::Boolean;
    case BindKind::Datetime: return parameter == B::Date || parameter == B::Timestamp;
    case BindKind::Clob: return parameter == B::Clob;
    case BindKind::Blob: case BindKind::Raw: return parameter == B::Blob || parameter == B::Raw;
    case BindKind::Cursor: return parameter == B::RefCursor;
  }
  return true;
}

// What a call hands its callee besides values, moved into the parameter's slot and back out at its end.
struct Handed {
  CursorState cursor;               // a cursor variable
  std::map<int64_t, Value> table;   // an index-by table
};

}  // namespace

// The session's state of one package: its variables and cursors, kept between calls.
struct PackageInstance {
  std::shared_ptr<Unit> unit;
  std::vector<Slot> frame;
  Activation* running = nullptr;  // the runner holding `frame` while the package's code runs
};

namespace {

std::shared_ptr<PackageInstance> package_instance(Host& host, CallState& calls, const std::string& key);
int package_subprogram(const Unit& unit, const std::string& member, int overload);
std::vector<Value> run_package_member(Host& host, CallState& calls, const std::string& key, int overload,
                                      const std::vector<std::optional<Value>>& arguments, Value* result,
                                      std::vector<Handed>* cursors = nullptr);

enum class Flow { Normal, Exit, Continue, Return };

// Rewinds a statement when a scope ends, however it ends.
struct ResetOnExit {
  sqlite3_stmt* stmt;
  ~ResetOnExit() {
    if (stmt) sqlite3_reset(stmt);
  }
};

class Runner final : public Activation {
 public:
  Runner(Unit& unit, Host& host)
      : unit_(unit), host_(host), db_(host.db()), session_(host.context()), frame_(unit.slot_types.size()) {
    calls_ = host.calls();
    if (calls_ == nullptr) {
      own_calls_ = std::make_unique<CallState>();
      calls_ = own_calls_.get();
    }
  }

  Host& host() override { return host_; }

  // A package's code runs on its instance's frame, moved into the runner meanwhile.
  void adopt(PackageInstance& instance) {
    frame_.swap(instance.frame);
    instance.running = this;
  }
  void give_back(PackageInstance& instance) {
    frame_.swap(instance.frame);
    instance.running = nullptr;
  }
  std::vector<Slot>& frame() { return frame_; }

  // Runs subprogram `index` of the unit (a package's member) for a caller outside it.
  std::vector<Value> call_member(int index, const std::vector<std::optional<Value>>& arguments, Value* result,
                                 std::vector<Handed>* cursors) {
    Running running(*this);
    try {
      return call_local(index, arguments, result, cursors);
    } catch (const Raised& e) {
      throw sql::OracleException{leaving(e)};
    }
  }

  void run() {
    Running running(*this);
    try {
      exec_block(unit_.block);
    } catch (const Raised& e) {
      throw sql::OracleException{leaving(e)};
    }
  }

  // Runs a trigger body on a row: :NEW and :OLD are its record slots.
  void fire(TriggerRow& row) {
    trigger_ = &row;
    auto load = [&](int slot, const std::vector<Value>& values) {
      if (slot < 0) return;
      const TypeSpec& record = slot_type(slot);
      std::vector<Value>& fields = frame_[static_cast<size_t>(slot)].fields;
      fields.assign(record.fields.size(), Value{});
      for (size_t i = 0; i < fields.size() && i < values.size(); ++i)
        fields[i] = coerce(values[i], record.fields[i].second, session_);
    };
    load(unit_.trigger_new_slot, row.new_values);
    load(unit_.trigger_old_slot, row.old_values);
    run();
    if (unit_.trigger_new_slot >= 0) row.new_values = frame_[static_cast<size_t>(unit_.trigger_new_slot)].fields;
  }

  // Runs a stored program with its arguments (nullopt: the parameter's default);
  // returns the parameters' values at the end, for OUT and IN OUT ones, and a
  // function's value in `result`.
  std::vector<Value> call(const std::vector<std::optional<Value>>& arguments, Value* result,
                          std::vector<Handed>* cursors = nullptr) {
    CallState::Depth depth(*calls_);
    Running running(*this);
    try {
      bind_parameters(unit_.parameters, arguments);
      CursorExchange exchange{*this, unit_.parameters, cursors};
      Flow flow = exec_block(unit_.block);
      if (unit_.function) {
        Value value = function_result(flow, unit_.block, unit_.return_type);
        if (result) *result = std::move(value);
      }
    } catch (const Raised& e) {
      throw sql::OracleException{leaving(e)};
    }
    return parameter_values(unit_.parameters);
  }

  Value call_local_function(int subprogram, const std::vector<Value>& arguments) override {
    const Subprogram& callee = unit_.subprograms[static_cast<size_t>(subprogram)];
    Value result;
    try {
      call_local(subprogram, sql_arguments(callee.signature, arguments), &result);
    } catch (const Raised& e) {
      // SQLite carries only a text back; the statement's failure raises this again, intact.
      raised_in_sql_ = e;
      throw sql::OracleException{leaving(e)};
    }
    return result;
  }

 private:
  // Registers the runner as the innermost unit running, for the SQL it runs to call back into.
  struct Running {
    explicit Running(Runner& runner) : calls(*runner.calls_) { calls.active.push_back(&runner); }
    ~Running() { calls.active.pop_back(); }
    CallState& calls;
  };

  // ---- calls ----
  // Cursor variables and index-by tables passed as parameters: the caller's go into the
  // parameters' slots for the call, and whatever the parameters hold at its end comes back out.
  struct CursorExchange {
    CursorExchange(Runner& on, const std::vector<Parameter>& of, std::vector<Handed>* passed)
        : runner(on), parameters(of), cursors(passed) {
      if (cursors == nullptr) return;
      for (size_t i = 0; i < parameters.size(); ++i) {
        if (runner.is_cursor_slot(parameters[i].slot)) runner.frame_[slot_of(i)].cursor = std::move((*cursors)[i].cursor);
        if (runner.is_table_slot(parameters[i].slot)) runner.frame_[slot_of(i)].table = std::move((*cursors)[i].table);
      }
    }
    ~CursorExchange() {
      if (cursors == nullptr) return;
      for (size_t i = 0; i < parameters.size(); ++i) {
        if (runner.is_cursor_slot(parameters[i].slot)) (*cursors)[i].cursor = std::move(runner.frame_[slot_of(i)].cursor);
        if (runner.is_table_slot(parameters[i].slot)) (*cursors)[i].table = std::move(runner.frame_[slot_of(i)].table);
      }
    }
    CursorExchange(const CursorExchange&) = delete;
    CursorExchange& operator=(const CursorExchange&) = delete;
    size_t slot_of(size_t i) const { return static_cast<size_t>(parameters[i].slot); }

    Runner& runner;
    const std::vector<Parameter>& parameters;
    std::vector<Handed>* cursors;
  };

  bool is_cursor_slot(int slot) const { return slot >= 0 && slot_type(slot).base == BaseType::RefCursor; }
  bool is_table_slot(int slot) const { return slot >= 0 && slot_type(slot).base == BaseType::IndexTable; }

  // A cursor variable's state handed to an assignment target: a local cursor
  // variable takes it over; a bind cursor takes its remaining rows.
  void deliver_cursor(const Ref& target, CursorState state) {
    if (target.kind == Ref::Slot && is_cursor_slot(target.slot)) {
      frame_[static_cast<size_t>(target.slot)].cursor = std::move(state);
      return;
    }
    if (target.kind != Ref::Bind) throw raise_code(kValueErrorCode);
    if (!host_.has_bind(target.name)) throw raise_code(kNotAllBound);
    // Never opened, or closed again: the client's handle gets no rows, and only fetching from it fails.
    if (!state.open && !state.bound) return host_.clear_bind_cursor(target.name);
    if (!state.open || !(state.prepared || state.bound)) throw raise_code(kInvalidCursorCode);
    if (state.bound) {
      std::shared_ptr<BoundCursor> there = host_.bind_cursor(target.name);
      if (there && there->handle() == state.bound->handle()) {
        passed_cursors_[target.name] = std::move(state);  // back where it came from, rows read stay read
        return;
      }
      host_.pass_bind_cursor(target.name, *state.bound);
    } else {
      host_.open_bind_cursor(target.name, state.prepared->stmt, state.prepared->column_names,
                             state.prepared->column_types);
    }
    passed_cursors_.erase(target.name);  // the handle holds other rows now
  }

  // The cursor the client passed in bind `name`, as this block has read it so far.
  CursorState& passed_cursor(const std::string& name) {
    CursorState& state = passed_cursors_[name];
    if (state.bound) return state;
    if (!host_.has_bind(name)) throw raise_code(kNotAllBound);
    state.bound = host_.bind_cursor(name);
    if (!state.bound) throw raise_code(kInvalidCursorCode);
    state.open = state.bound->is_open();
    state.rowcount = state.bound->rows_fetched();
    state.found.reset();
    return state;
  }

  // c := :c, a local cursor variable taking over the cursor the client passed in.
  bool took_passed_cursor(int slot, const Expr& value) {
    if (!is_cursor_slot(slot) || value.ref.kind != Ref::Bind || value.ref.name.empty()) return false;
    frame_[static_cast<size_t>(slot)].cursor = std::move(passed_cursor(value.ref.name));
    passed_cursors_.erase(value.ref.name);
    return true;
  }

  void bind_parameters(const std::vector<Parameter>& parameters, const std::vector<std::optional<Value>>& arguments) {
    for (size_t i = 0; i < parameters.size(); ++i) {
      const Parameter& parameter = parameters[i];
      Value value;
      if (i < arguments.size() && arguments[i]) {
        value = *arguments[i];
      } else if (parameter.default_value) {
        value = eval(*parameter.default_value);
      }
      store_slot(parameter.slot, value);
    }
  }

  std::vector<Value> parameter_values(const std::vector<Parameter>& parameters) {
    std::vector<Value> values;
    values.reserve(parameters.size());
    for (const Parameter& parameter : parameters) values.push_back(slot_value(parameter.slot));
    return values;
  }

  // Records of a package's types cross calls and binds as the stored text of their type's
  // objects; other records stay in their slots' fields.
  static bool is_package_record(const TypeSpec& type) {
    return type.base == BaseType::Record && !type.package_type.empty();
  }
  static bool is_package_table(const TypeSpec& type) {
    return type.base == BaseType::IndexTable && !type.package_type.empty();
  }

  Value slot_value(int slot) {
    const TypeSpec& type = slot_type(slot);
    const Slot& held = frame_[static_cast<size_t>(slot)];
    if (is_package_table(type)) return pack_table(host_, held.table, type);
    return is_package_record(type) ? pack_record(host_, held.fields, type) : held.value;
  }

  void store_slot(int slot, const Value& value) {
    const TypeSpec& type = slot_type(slot);
    if (is_package_record(type)) {
      frame_[static_cast<size_t>(slot)].fields = unpack_record(host_, value, type);
    } else if (is_package_table(type)) {
      frame_[static_cast<size_t>(slot)].table = unpack_table(host_, value, type);
    } else {
      frame_[static_cast<size_t>(slot)].value = fit(value, type);
    }
  }

  // The value a function's RETURN left, converted to its type; ORA-06503 when its end was reached instead.
  Value function_result(Flow flow, const Block& body, const TypeSpec& type) {
    if (flow != Flow::Return || !returned_) {
      line_ = body.end_line;
      throw raise_code(kNoReturnCode);
    }
    Value value = std::move(*returned_);
    returned_.reset();
    line_ = return_line_;
    try {
      return coerce(value, type, session_);
    } catch (const sql::OracleException& e) {
      throw raised_by_sql(e);
    }
  }

  // Runs local subprogram `index` on this frame: its own slots are set aside
  // for the call and put back after it, so that it may call itself.
  std::vector<Value> call_local(int index, const std::vector<std::optional<Value>>& arguments, Value* result,
                                std::vector<Handed>* cursors = nullptr) {
    const Subprogram& callee = unit_.subprograms[static_cast<size_t>(index)];
    CallState::Depth depth(*calls_);
    auto first = frame_.begin() + callee.first_slot, last = frame_.begin() + callee.end_slot;
    struct SetAside {
      Runner& runner;
      std::vector<Slot> slots;
      std::optional<Value> returned;
      int first;
      ~SetAside() {
        std::move(slots.begin(), slots.end(), runner.frame_.begin() + first);
        runner.returned_ = std::move(returned);
      }
    } aside{*this, std::vector<Slot>(std::make_move_iterator(first), std::make_move_iterator(last)),
            std::move(returned_), callee.first_slot};
    for (auto slot = first; slot != last; ++slot) *slot = Slot{};
    returned_.reset();
    int call_line = line_;
    try {
      bind_parameters(callee.signature.parameters, arguments);
      CursorExchange exchange{*this, callee.signature.parameters, cursors};
      Flow flow = exec_block(*callee.block);
      if (callee.signature.function) {
        Value value = function_result(flow, *callee.block, callee.signature.return_type);
        if (result) *result = std::move(value);
      }
    } catch (Raised& e) {
      e.backtrace += "\n" + backtrace_line(e.line);
      e.line = call_line;
      throw;
    }
    line_ = call_line;
    return parameter_values(callee.signature.parameters);
  }

 private:
  // ---- errors ----
  sql::OracleError leaving(const Raised& e) const {
    sql::OracleError error;
    error.code = e.user ? kUnhandledUserCode : e.code;
    error.message = e.user ? sql::message_text(kUnhandledUserCode) : e.message;
    error.message += e.backtrace + "\n" + backtrace_line(e.line);
    return error;
  }

  std::string backtrace_line(int line) const {
    std::string unit = unit_.name.empty() ? std::string() : "\"" + unit_.name + "\", ";
    return sql::full_message(kBacktraceCode, sql::message_text(kBacktraceCode, {unit, std::to_string(line)}));
  }


  // The error a statement failed with: one a local function it called raised, as raised.
  Raised raised_by_sql(const sql::OracleException& e) {
    if (raised_in_sql_) {
      Raised again = std::move(*raised_in_sql_);
      raised_in_sql_.reset();
      return again;
    }
    return raise_code(e.error.code, e.error.message);
  }

  Raised raise_code(int code, std::string message) const { return Raised{code, std::move(message), -1, false, line_, {}}; }
  Raised raise_code(int code, sql::MessageArgs args = {}) const { return raise_code(code, sql::message_text(code, args)); }

  bool matches(const Handler& handler, const Raised& e) const {
    if (handler.exceptions.empty()) return true;
    for (int id : handler.exceptions) {
      const ExceptionInfo& info = unit_.exceptions[static_cast<size_t>(id)];
      if (info.code == 0 ? e.exception == id : (!e.user && e.code == info.code)) return true;
    }
    return false;
  }

  int64_t sqlcode() const {
    if (handling_.empty()) return 0;
    const Raised& e = handling_.back();
    if (e.user) return 1;
    return e.code == kNoDataFoundCode ? 100 : -e.code;
  }

  std::string sqlerrm(std::optional<int64_t> code) const {
    if (!code) {
      if (handling_.empty()) return std::string(kNormalCompletion);
      const Raised& e = handling_.back();
      if (e.user) return std::string(kUserDefinedException);
      return sql::full_message(e.code, e.message);
    }
    if (*code == 0) return std::string(kNormalCompletion);
    if (*code == 100) return sql::full_message(kNoDataFoundCode, sql::message_text(kNoDataFoundCode));
    if (*code > 0) return "-" + std::to_string(*code) + ": non-ORACLE exception ";
    return sql::full_message(static_cast<int>(-*code), sql::message_text(static_cast<int>(-*code)));
  }

  // ---- blocks and statements ----
  Flow exec_block(const Block& block) {
    for (const VarDecl& decl : block.variables) {
      Slot& slot = frame_[static_cast<size_t>(decl.slot)];
      slot = Slot{};
      slot.fields.resize(decl.type.fields.size());
      if (decl.initial) {
        line_ = decl.line;
        try {
          if (took_passed_cursor(decl.slot, *decl.initial)) continue;
          store_slot(decl.slot, eval(*decl.initial));
        } catch (const sql::OracleException& e) {
          throw raised_by_sql(e);
        }
      }
    }
    try {
      return exec_list(block.body);
    } catch (const Raised& e) {
      for (const Handler& handler : block.handlers) {
        if (!matches(handler, e)) continue;
        handling_.push_back(e);
        struct Pop {
          std::vector<Raised>& stack;
          ~Pop() { stack.pop_back(); }
        } pop{handling_};
        return exec_list(handler.body);
      }
      throw;
    }
  }

  Flow exec_list(const StmtList& list) {
    for (const StmtPtr& stmt : list) {
      Flow flow = exec(*stmt);
      if (flow != Flow::Normal) return flow;
    }
    return Flow::Normal;
  }

  Flow exec(const Stmt& stmt) {
    line_ = stmt.line;
    try {
      return dispatch(stmt);
    } catch (const sql::OracleException& e) {
      throw raised_by_sql(e);
    }
  }

  Flow dispatch(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Null: return Flow::Normal;
      case Stmt::Assign: return assign_statement(s);
      case Stmt::If: return exec_if(s);
      case Stmt::Case: return exec_case(s);
      case Stmt::Loop:
      case Stmt::While: return exec_loop(s);
      case Stmt::ForRange: return exec_for_range(s);
      case Stmt::ForQuery: return exec_for_query(s);
      case Stmt::Exit:
      case Stmt::Continue:
        if (s.condition && truth(eval(*s.condition)) != true) return Flow::Normal;
        pending_label_ = s.label;
        return s.kind == Stmt::Exit ? Flow::Exit : Flow::Continue;
      case Stmt::Return:
        if (!s.values.empty()) {
          returned_ = eval(*s.values[0]);
          return_line_ = s.line;
        }
        return Flow::Return;
      case Stmt::Nested: return exec_block(*s.block);
      case Stmt::SelectInto: select_into(*use(*s.sql->prepared), s.sql->refs, s.targets, s.bulk, nullptr); return Flow::Normal;
      case Stmt::Dml: run_dml(*use(*s.sql->prepared), &s.sql->refs, nullptr, s.targets); return Flow::Normal;
      case Stmt::Commit: end_transaction(true); return Flow::Normal;
      case Stmt::Rollback: end_transaction(false); return Flow::Normal;
      case Stmt::Savepoint: host_.savepoint(s.name); return Flow::Normal;
      case Stmt::RollbackTo: host_.rollback_to(s.name); return Flow::Normal;
      case Stmt::Raise: throw raised_by(s);
      case Stmt::RaiseApplicationError: throw application_error(s);
      case Stmt::Open: open_cursor(s); return Flow::Normal;
      case Stmt::OpenFor: open_for(s); return Flow::Normal;
      case Stmt::Fetch: fetch(s); return Flow::Normal;
      case Stmt::Close: close_cursor(cursor_of(s)); return Flow::Normal;
      case Stmt::ExecuteImmediate: execute_immediate(s); return Flow::Normal;
      case Stmt::PutLine: put_line(s); return Flow::Normal;
      case Stmt::OutputEnable:
        host_.output_enabled() = s.name == "ENABLE";
        if (s.name != "ENABLE") host_.output_lines().clear();
        return Flow::Normal;
      case Stmt::GetLine: get_line(s); return Flow::Normal;
      case Stmt::Call:
        if (s.callee) return call_program(s);
        if (s.name.rfind(kLobPackage, 0) == 0) return call_lob_procedure(s);
        if (s.name == kReturnResult) return return_result(s);
        throw raise_code(kUnimplemented);
    }
    return Flow::Normal;
  }

  // The program a call runs, as that program numbers its parameters' slots.
  struct Callee {
    const Unit* unit = nullptr;
    const std::vector<Parameter>* parameters = nullptr;
    std::shared_ptr<Unit> stored;                 // a stored procedure or function
    std::shared_ptr<PackageInstance> package;     // a package's member
    bool passes_cursor(size_t i) const {
      return unit->slot_types[static_cast<size_t>((*parameters)[i].slot)].base == BaseType::RefCursor;
    }
    const TypeSpec* passed_table(size_t i) const {
      const TypeSpec& type = unit->slot_types[static_cast<size_t>((*parameters)[i].slot)];
      return type.base == BaseType::IndexTable ? &type : nullptr;
    }
  };

  Callee callee_of(const Stmt& s) {
    Callee callee{&unit_, &s.callee->parameters, nullptr, nullptr};
    if (s.local >= 0) return callee;
    if (names_package_member(s.callee->name)) {
      const std::string& key = s.callee->name;
      callee.package = package_instance(host_, *calls_, key.substr(0, key.rfind('.')));
      callee.unit = callee.package->unit.get();
      const int index = package_subprogram(*callee.unit, key.substr(key.rfind('.') + 1), s.callee->overload);
      callee.parameters = &callee.unit->subprograms[static_cast<size_t>(index)].signature.parameters;
    } else {
      callee.stored = calls_->unit(s.callee->name, db_, session_, host_.schema_generation());
      callee.unit = callee.stored.get();
      callee.parameters = &callee.stored->parameters;
    }
    if (!same_parameters(*callee.parameters, s.callee->parameters)) throw raise_code(kProgramNotFound);
    return callee;
  }

  Flow call_program(const Stmt& s) {
    const std::vector<Parameter>& parameters = s.callee->parameters;
    Callee callee = callee_of(s);
    std::vector<std::optional<Value>> arguments(parameters.size());
    check_bound_results(s, callee);
    std::vector<Handed> cursors(parameters.size());
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (callee.passes_cursor(i)) {
        if (parameters[i].mode != Parameter::Out) cursors[i].cursor = std::move(cursor_argument(s.values[i]));
      } else if (const TypeSpec* table = callee.passed_table(i); table && s.values[i]) {
        if (parameters[i].mode != Parameter::Out) cursors[i].table = table_argument(*s.values[i], *table);
      } else if (s.values[i]) {
        arguments[i] = eval(*s.values[i]);
      } else if (parameters[i].mode == Parameter::Out) {
        arguments[i] = Value{};
      }
    }
    Value result;
    Value* wanted = s.result ? &result : nullptr;
    std::vector<Value> results =
        callee.package  ? run_package_member(host_, *calls_, s.callee->name, s.callee->overload, arguments, wanted, &cursors)
        : callee.stored ? Runner(*callee.stored, host_).call(arguments, wanted, &cursors)
                        : call_local(s.local, arguments, wanted, &cursors);
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (callee.passes_cursor(i)) {
        if (callee.stored) cursors[i].cursor.owner = callee.stored;
        if (callee.package) cursors[i].cursor.owner = callee.package->unit;
        if (parameters[i].mode == Parameter::In) {
          cursor_argument(s.values[i]) = std::move(cursors[i].cursor);
        } else {
          deliver_cursor(s.targets[i].ref, std::move(cursors[i].cursor));
        }
      } else if (callee.passed_table(i)) {
        if (parameters[i].mode != Parameter::In) deliver_table(s.targets[i].ref, cursors[i].table, *callee.passed_table(i));
      } else if (parameters[i].mode != Parameter::In) {
        assign(s.targets[i].ref, results[i]);
      }
    }
    if (s.result) assign(s.result->ref, result);
    return Flow::Normal;
  }

  // A package variable in the session's instance of its package.
  Slot& package_slot(const Ref& ref) {
    std::shared_ptr<PackageInstance> instance = package_instance(host_, *calls_, ref.name);
    std::vector<Slot>& frame = instance->running ? static_cast<Runner*>(instance->running)->frame() : instance->frame;
    if (ref.slot < 0 || static_cast<size_t>(ref.slot) >= frame.size()) throw raise_code(kProgramNotFound);
    return frame[static_cast<size_t>(ref.slot)];  // the session's instances keep it
  }

  // The cursor's remaining rows go to the client; the variable is closed.
  Flow return_result(const Stmt& s) {
    CursorState& cursor = cursor_argument(s.values.at(0));
    if (!cursor.open || !(cursor.prepared || cursor.bound)) throw raise_code(kInvalidCursorCode);
    try {
      if (cursor.bound) {
        host_.return_bound_result(*cursor.bound);
      } else {
        const SqlUse::Prepared& prepared = *cursor.prepared;
        host_.return_result(prepared.stmt, prepared.column_names, prepared.column_types);
      }
    } catch (const sql::OracleException& e) {
      throw raised_by_sql(e);
    }
    cursor = CursorState{};
    return Flow::Normal;
  }

  // OUT and IN OUT parameters given the client's binds: each bind must take the parameter's type (PLS-00306).
  void check_bound_results(const Stmt& s, const Callee& callee) {
    const std::vector<Parameter>& parameters = *callee.parameters;
    for (size_t i = 0; i < parameters.size() && i < s.targets.size(); ++i) {
      if (parameters[i].mode == Parameter::In || s.targets[i].ref.kind != Ref::Bind) continue;
      const std::string& name = s.targets[i].ref.name;
      if (name.empty() || !host_.has_bind(name)) continue;
      const BaseType type = callee.unit->slot_types[static_cast<size_t>(parameters[i].slot)].base;
      if (type == BaseType::IndexTable || type == BaseType::RefCursor) continue;  // checked as they pass
      if (bind_takes(host_.bind_kind(name), type)) continue;
      const std::string& called = s.callee->name;
      std::string message(kPlsWrongArguments);
      message.replace(message.find("%s"), 2, called.substr(called.rfind('.') + 1));
      throw raise_code(kCompileError,
                       sql::message_text(kCompileError, {std::to_string(s.line), std::to_string(s.column), message}));
    }
  }

  // The elements of an index-by table argument: a table variable's, or a host array's.
  std::map<int64_t, Value> table_argument(const Expr& value, const TypeSpec& type) {
    if (value.form == Expr::Reference && value.ref.kind == Ref::Slot && is_table_slot(value.ref.slot)) {
      return frame_[static_cast<size_t>(value.ref.slot)].table;
    }
    const std::string& name = value.ref.name;
    // A client's object of the package's type rather than a host array.
    if (is_package_table(type) && !(value.ref.kind == Ref::Bind && host_.is_table_bind(name))) {
      return unpack_table(host_, eval(value), type);
    }
    if (value.ref.kind != Ref::Bind || name.empty() || !host_.is_table_bind(name)) throw raise_code(kValueErrorCode);
    if ((host_.bind_kind(name) == BindKind::Character) != is_character_type(type.element->base)) {
      throw raise_code(kCompileError, sql::message_text(kCompileError, {std::to_string(value.line), std::to_string(value.column),
                                                                        std::string(kPlsArrayBindType)}));
    }
    std::map<int64_t, Value> table;
    const int length = host_.table_length(name);
    for (int element = 0; element < length; ++element) table[element + 1] = fit(host_element(name, element), *type.element);
    return table;
  }

  // Element `element` (0-based) of a host array, read as SQL reads a bind.
  Value host_element(const std::string& name, int element) {
    sqlite3_stmt* reader = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT ?1", -1, &reader, nullptr) != SQLITE_OK) throw raise_code(kUnimplemented);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> held(reader, sqlite3_finalize);
    host_.bind_to(name, reader, 1, element);
    if (sqlite3_step(reader) != SQLITE_ROW) return Value{};
    return column_value(reader, 0, std::nullopt);
  }

  // An OUT or IN OUT index-by table back to its argument: a table variable, or a host array from its first element.
  void deliver_table(const Ref& target, const std::map<int64_t, Value>& table, const TypeSpec& type) {
    if (target.kind == Ref::Slot && is_table_slot(target.slot)) {
      frame_[static_cast<size_t>(target.slot)].table = table;
      return;
    }
    if (target.kind != Ref::Bind) throw raise_code(kValueErrorCode);
    if (is_package_table(type) && !host_.is_table_bind(target.name)) return assign(target, pack_table(host_, table, type));
    clear_table(target);
    int64_t key = 1;
    for (const auto& element : table) assign_element(target, key++, element.second);
  }

  // The cursor variable an argument names; a scratch one for anything else.
  CursorState& cursor_argument(const ExprPtr& value) {
    if (value && value->form == Expr::Reference && value->ref.kind == Ref::Slot && is_cursor_slot(value->ref.slot)) {
      return frame_[static_cast<size_t>(value->ref.slot)].cursor;
    }
    if (value && value->ref.kind == Ref::Bind && !value->ref.name.empty()) return passed_cursor(value->ref.name);
    scratch_cursor_ = CursorState{};
    return scratch_cursor_;
  }

  Flow call_lob_procedure(const Stmt& s) {
    const LobProcedure* procedure = find_lob_procedure(std::string_view(s.name).substr(kLobPackage.size()));
    if (procedure == nullptr) throw raise_code(kUnimplemented);
    std::vector<Value> arguments;
    for (const ExprPtr& value : s.values) arguments.push_back(eval(*value));
    run_lob_procedure(*procedure, arguments, lob_holds_characters(s, *procedure), host_, session_);
    for (size_t i = 0; i < arguments.size(); ++i) {
      if (procedure->written & (1u << i)) assign(s.targets[i].ref, arguments[i]);
    }
    return Flow::Normal;
  }

  // Whether a call's LOB (its first argument) is a CLOB rather than a BLOB. An
  // argument the procedure only reads has no target, so its expression says.
  bool lob_holds_characters(const Stmt& s, const LobProcedure& procedure) {
    if (s.targets.empty()) return true;
    if (procedure.written & 1u) return holds_characters(s.targets[0].ref);
    const Expr* lob = s.values[0].get();
    return lob == nullptr || lob->form != Expr::Reference || holds_characters(lob->ref);
  }

  bool holds_characters(const Ref& ref) {
    if (ref.kind == Ref::Bind) return host_.is_character_lob_bind(ref.name);
    if (ref.kind == Ref::Slot && ref.slot >= 0) return slot_type(ref.slot).base != BaseType::Blob;
    return true;
  }

  // The program a call was compiled against may have been replaced since.
  static bool same_parameters(const std::vector<Parameter>& now, const std::vector<Parameter>& compiled) {
    auto same = [](const Parameter& a, const Parameter& b) { return a.mode == b.mode && a.has_default == b.has_default; };
    return std::equal(now.begin(), now.end(), compiled.begin(), compiled.end(), same);
  }

  Flow assign_statement(const Stmt& s) {
    const Ref& target = s.targets[0].ref;
    const Expr& value = *s.values[0];
    if (value.form == Expr::Reference && value.ref.kind == Ref::Slot && is_cursor_slot(value.ref.slot)) {
      deliver_cursor(target, std::move(frame_[static_cast<size_t>(value.ref.slot)].cursor));
      frame_[static_cast<size_t>(value.ref.slot)].cursor = CursorState{};
      return Flow::Normal;
    }
    if (target.kind == Ref::Slot && took_passed_cursor(target.slot, value)) return Flow::Normal;
    if (target.kind == Ref::Slot && unit_.slot_types[static_cast<size_t>(target.slot)].base == BaseType::Record) {
      if (value.form != Expr::Reference || value.ref.kind != Ref::Slot) {
        if (!is_package_record(slot_type(target.slot))) throw raise_code(kValueErrorCode);
        store_slot(target.slot, eval(value));  // a function's result, or a bind's object
        return Flow::Normal;
      }
      const Slot& source = frame_[static_cast<size_t>(value.ref.slot)];
      assign_row(s.targets, source.fields);
      return Flow::Normal;
    }
    assign(target, eval(value));
    return Flow::Normal;
  }

  Flow exec_if(const Stmt& s) {
    for (const Branch& branch : s.branches) {
      if (branch.condition == nullptr || truth(eval(*branch.condition)) == true) return exec_list(branch.body);
    }
    return Flow::Normal;
  }

  static bool same_value(const Value& a, const Value& b) {
    if (a.is_null() || b.is_null()) return false;
    if (a.is_number() && b.is_number()) return a.as_double() == b.as_double();
    if (a.kind == Value::Boolean || b.kind == Value::Boolean) return a.kind == b.kind && a.integer == b.integer;
    return a.bytes == b.bytes;
  }

  Flow exec_case(const Stmt& s) {
    Value selector = s.condition ? eval(*s.condition) : Value{};
    for (const Branch& branch : s.branches) {
      if (branch.condition == nullptr) return exec_list(branch.body);
      Value when = eval(*branch.condition);
      bool taken = s.condition ? same_value(selector, when) : truth(when) == true;
      if (taken) return exec_list(branch.body);
    }
    throw raise_code(kCaseNotFoundCode);
  }

  enum class Next { Go, Stop, Leave };
  // What a loop does after its body ended with `flow`.
  Next after_body(Flow& flow, const std::string& label) {
    if (flow == Flow::Normal) return Next::Go;
    if (flow == Flow::Return) return Next::Leave;
    if (!pending_label_.empty() && pending_label_ != label) return Next::Leave;
    pending_label_.clear();
    Next next = flow == Flow::Exit ? Next::Stop : Next::Go;
    flow = Flow::Normal;
    return next;
  }

  // Runs a loop body once; false when the loop ends, `out` then holding the flow that leaves it.
  bool iterate(const Stmt& s, Flow& out) {
    Flow flow = exec_list(s.body);
    Next next = after_body(flow, s.label);
    if (next == Next::Leave) out = flow;
    return next == Next::Go;
  }

  Flow exec_loop(const Stmt& s) {
    Flow out = Flow::Normal;
    while ((s.kind != Stmt::While || truth(eval(*s.condition)) == true) && iterate(s, out)) {
    }
    return out;
  }

  int64_t integer_of(const Expr& expr) {
    Value value = eval(expr);
    if (value.is_null()) throw raise_code(kValueErrorCode);
    TypeSpec integer_type = type_of_declaration("NUMBER(38)");
    Value number = coerce(value, integer_type, session_);
    return number.kind == Value::Real ? static_cast<int64_t>(std::llround(number.real)) : number.integer;
  }

  Flow exec_for_range(const Stmt& s) {
    int64_t low = integer_of(*s.low), high = integer_of(*s.high);
    Flow out = Flow::Normal;
    for (int64_t i = s.reverse ? high : low; s.reverse ? i >= low : i <= high; s.reverse ? --i : ++i) {
      frame_[static_cast<size_t>(s.slot)].value = Value::of_integer(i);
      if (!iterate(s, out)) break;
    }
    return out;
  }

  Flow exec_for_query(const Stmt& s) {
    CursorState* state = nullptr;
    SqlUse::Prepared* prepared = nullptr;
    PreparedUse inline_query;
    if (s.cursor >= 0 && !s.package.empty()) {
      state = &open_package_cursor(s.package, s.cursor, s.values);
      prepared = state->prepared.get();
    } else if (s.cursor >= 0) {
      const CursorDecl& cursor = unit_.cursors[static_cast<size_t>(s.cursor)];
      open_explicit(cursor, s.values);
      state = &frame_[static_cast<size_t>(cursor.slot)].cursor;
      prepared = state->prepared.get();
    } else {
      inline_query = use(*s.sql->prepared);
      prepared = inline_query.get();
      rewind(*prepared, db_);
      bind(*prepared, s.sql->refs);
    }
    struct CloseOnExit {
      CursorState* state;
      ~CloseOnExit() {
        if (state) {
          state->open = false;
          state->prepared.release();
        }
      }
    } close{state};
    Slot& record = frame_[static_cast<size_t>(s.slot)];
    Flow out = Flow::Normal;
    while (step_row(*prepared)) {
      if (state) {
        state->found = true;
        ++state->rowcount;
      }
      read_row(*prepared, record.fields);
      if (!iterate(s, out)) break;
    }
    return out;
  }

  // ---- SQL ----
  PreparedUse use(SqlUse::Prepared& prepared) { return PreparedUse(prepared, db_); }

  bool step_row(SqlUse::Prepared& prepared) {
    int rc = sqlite3_step(prepared.stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(prepared.stmt);
    fail_step(db_, rc, prepared.kind);
  }

  void read_row(const SqlUse::Prepared& prepared, std::vector<Value>& row) {
    size_t columns = prepared.column_names.size();
    row.resize(columns);
    for (size_t i = 0; i < columns; ++i) row[i] = column_value(prepared.stmt, static_cast<int>(i), prepared.column_types[i]);
    for (const auto& origin : prepared.lob_origins) locate_row_lob(prepared.stmt, origin, row);
  }

  static void note_locked_row(const SqlUse::Prepared& prepared, std::vector<int64_t>& rowids) {
    if (prepared.locked_table.empty() || prepared.lock_rowid_column <= 0) return;
    rowids.push_back(sqlite3_column_int64(prepared.stmt, prepared.lock_rowid_column - 1));
  }
  // Without a rowid column (a view, a join FOR UPDATE) the whole table is locked.
  void lock_selected(const SqlUse::Prepared& prepared, const std::vector<int64_t>& rowids) {
    if (prepared.locked_table.empty()) return;
    host_.lock_rows(prepared.locked_table, rowids, prepared.nowait);
  }

  // An empty LOB is a locator too (its stored '' would read as NULL).
  void locate_row_lob(sqlite3_stmt* stmt, const SqlUse::Prepared::LobOrigin& origin, std::vector<Value>& row) {
    if (static_cast<size_t>(origin.column) >= row.size()) return;
    if (sqlite3_column_type(stmt, origin.column) == SQLITE_NULL) return;
    if (sqlite3_column_type(stmt, origin.rowid_column) != SQLITE_INTEGER) return;
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, origin.column));
    std::string_view bytes(data ? data : "", static_cast<size_t>(sqlite3_column_bytes(stmt, origin.column)));
    auto lob = host_.row_lob(origin.table, origin.name, sqlite3_column_int64(stmt, origin.rowid_column),
                             origin.character, bytes);
    if (lob) row[static_cast<size_t>(origin.column)] = std::move(*lob);
  }

  void bind(SqlUse::Prepared& prepared, const std::vector<Ref>& refs) {
    for (const auto& param : prepared.params) {
      if (param.ref < 0) {
        if (!host_.has_bind(param.host)) throw raise_code(kNotAllBound);
        host_.bind_to(param.host, prepared.stmt, param.index, -1);
        continue;
      }
      const Ref& ref = refs[static_cast<size_t>(param.ref)];
      if (ref.kind == Ref::BindElement) {
        host_.bind_to(ref.name, prepared.stmt, param.index, static_cast<int>(key_of(*ref.index) - 1));
      } else {
        bind_value(prepared.stmt, param.index, plain(eval_ref(ref)));
      }
    }
  }

  // Dynamic SQL: USING values by position.
  void bind_positional(SqlUse::Prepared& prepared, const std::vector<ExprPtr>& values) {
    for (size_t i = 0; i < prepared.params.size(); ++i) {
      if (i >= values.size()) throw raise_code(kNotAllBound);
      bind_value(prepared.stmt, prepared.params[i].index, plain(eval(*values[i])));
    }
  }

  void select_into(SqlUse::Prepared& prepared, const std::vector<Ref>& refs, const std::vector<Target>& targets,
                   bool bulk, const std::vector<ExprPtr>* using_values) {
    rewind(prepared, db_);
    ResetOnExit reset{prepared.stmt};
    if (using_values) {
      bind_positional(prepared, *using_values);
    } else {
      bind(prepared, refs);
    }
    std::vector<Value> row;
    if (bulk) {
      for (const Target& target : targets) clear_table(target.ref);
      int64_t count = 0;
      std::vector<int64_t> locked;
      while (step_row(prepared)) {
        read_row(prepared, row);
        note_locked_row(prepared, locked);
        ++count;
        for (size_t i = 0; i < targets.size() && i < row.size(); ++i) assign_element(targets[i].ref, count, row[i]);
      }
      if (count > 0) lock_selected(prepared, locked);
      sql_rowcount_ = count;
      sql_found_ = count > 0;
      return;
    }
    if (!step_row(prepared)) {
      sql_rowcount_ = 0;
      sql_found_ = false;
      throw raise_code(kNoDataFoundCode);
    }
    read_row(prepared, row);
    std::vector<int64_t> locked;
    note_locked_row(prepared, locked);
    if (step_row(prepared)) {
      sql_rowcount_ = 2;
      sql_found_ = true;
      throw raise_code(kTooManyRowsCode);
    }
    lock_selected(prepared, locked);
    sql_rowcount_ = 1;
    sql_found_ = true;
    assign_row(targets, row);
  }

  void run_dml(SqlUse::Prepared& prepared, const std::vector<Ref>* refs, const std::vector<ExprPtr>* using_values,
               const std::vector<Target>& targets) {
    if (prepared.stmt == nullptr) {
      for (const std::string& statement : prepared.all) {
        int rc = sqlite3_exec(db_, statement.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) fail_step(db_, rc);
      }
      return;
    }
    if (calls_->query_calls > 0) throw raise_code(kDmlInQueryCode);
    host_.start_write();
    rewind(prepared, db_);
    ResetOnExit reset{prepared.stmt};
    if (refs) bind(prepared, *refs);
    if (using_values) bind_positional(prepared, *using_values);
    int64_t returned = 0;
    std::vector<Value> row;
    while (step_row(prepared)) {
      if (++returned > 1 || targets.empty()) continue;
      read_row(prepared, row);
    }
    if (returned > 1 && !targets.empty()) throw raise_code(kTooManyRowsCode);
    if (returned == 1 && !targets.empty()) assign_row(targets, row);
    sql_rowcount_ = sqlite3_changes(db_);
    sql_found_ = sql_rowcount_ > 0;
  }

  // A function SQL called may not end the transaction the statement runs in.
  void end_transaction(bool commit) {
    if (calls_->sql_calls > 0) throw raise_code(kCommitInSqlCode);
    commit ? host_.commit() : host_.rollback();
  }

  void execute_immediate(const Stmt& s) {
    std::string text = to_text(plain(eval(*s.dynamic)), session_);
    while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';')) text.pop_back();
    auto prepared = prepare_sql(text, db_, session_, nullptr);
    using K = sql::StatementKind;
    switch (prepared->kind) {
      case K::Select:
        select_into(*prepared, {}, s.targets, s.bulk, &s.values);
        return;
      case K::Insert:
      case K::Update:
      case K::Delete:
      case K::Merge:
        run_dml(*prepared, nullptr, &s.values, {});
        return;
      case K::Commit: end_transaction(true); return;
      case K::Rollback: end_transaction(false); return;
      case K::Savepoint: host_.savepoint(prepared->savepoint); return;
      case K::RollbackToSavepoint: host_.rollback_to(prepared->savepoint); return;
      case K::PlsqlBlock: throw raise_code(kUnimplemented);
      case K::Create:
      case K::Drop:
      case K::Alter:
      case K::OtherDdl:
        end_transaction(true);
        [[fallthrough]];
      default:
        run_dml(*prepared, nullptr, nullptr, {});
        host_.schema_changed();
        return;
    }
  }

  // ---- cursors ----
  CursorState& cursor_of(const Stmt& s) {
    if (!s.package.empty()) return package_cursor(s.package, s.slot);
    return s.slot < 0 ? passed_cursor(s.name) : frame_[static_cast<size_t>(s.slot)].cursor;
  }

  // A package's cursor, kept with the session's instance of the package.
  CursorState& package_cursor(const std::string& package, int slot) {
    Ref ref;
    ref.kind = Ref::PackageVariable;
    ref.name = package;
    ref.slot = slot;
    return package_slot(ref).cursor;
  }

  // OPEN of a package's cursor from outside: the caller's arguments, the query run in the package's instance.
  CursorState& open_package_cursor(const std::string& package, int cursor, const std::vector<ExprPtr>& arguments);

  void open_explicit(const CursorDecl& cursor, const std::vector<ExprPtr>& arguments) {
    std::vector<Value> values;
    for (const ExprPtr& argument : arguments) values.push_back(eval(*argument));
    open_with(cursor, values);
  }

  // Opens an explicit cursor of this unit with its parameters' values (the rest take their defaults).
  void open_with(const CursorDecl& cursor, const std::vector<Value>& arguments) {
    CursorState& state = frame_[static_cast<size_t>(cursor.slot)].cursor;
    if (state.open) throw raise_code(kCursorAlreadyOpenCode);
    for (size_t i = 0; i < cursor.parameters.size(); ++i) {
      int slot = cursor.parameters[i];
      Value value = i < arguments.size()                  ? arguments[i]
                    : cursor.parameter_defaults[i] != nullptr ? eval(*cursor.parameter_defaults[i])
                                                              : Value{};
      frame_[static_cast<size_t>(slot)].value = fit(value, unit_.slot_types[static_cast<size_t>(slot)]);
    }
    state.owned.reset();
    state.prepared = use(*cursor.query.prepared);
    rewind(*state.prepared, db_);
    bind(*state.prepared, cursor.query.refs);
    state.open = true;
    state.found.reset();
    state.rowcount = 0;
  }

  void open_cursor(const Stmt& s) {
    if (!s.package.empty()) {
      open_package_cursor(s.package, s.cursor, s.values);
      return;
    }
    open_explicit(unit_.cursors[static_cast<size_t>(s.cursor)], s.values);
  }

  void open_for(const Stmt& s) {
    if (s.slot < 0) return open_bind_cursor(s);
    CursorState& state = cursor_of(s);
    state.prepared.release();
    state.bound.reset();
    opened_query(s, state);
    state.open = true;
    state.found.reset();
    state.rowcount = 0;
  }

  // The query of OPEN ... FOR, rewound and bound, into `state`.
  void opened_query(const Stmt& s, CursorState& state) {
    if (s.sql) {
      state.owned.reset();
      state.prepared = use(*s.sql->prepared);
      rewind(*state.prepared, db_);
      bind(*state.prepared, s.sql->refs);
      return;
    }
    auto prepared = prepare_sql(to_text(eval(*s.dynamic), session_), db_, session_, nullptr);
    if (prepared->stmt == nullptr || prepared->kind != sql::StatementKind::Select) {
      throw raise_code(kInvalidCursorCode);
    }
    state.owned = std::move(prepared);
    state.prepared = use(*state.owned);
    rewind(*state.prepared, db_);
    bind_positional(*state.prepared, s.values);
  }

  // OPEN :c FOR: the caller's cursor variable takes the query's rows.
  void open_bind_cursor(const Stmt& s) {
    if (!host_.has_bind(s.name)) throw raise_code(kNotAllBound);
    CursorState query;
    opened_query(s, query);
    host_.open_bind_cursor(s.name, query.prepared->stmt, query.prepared->column_names, query.prepared->column_types);
    passed_cursors_.erase(s.name);
  }

  // The cursor's next row into `row`; false at its end.
  bool next_row(CursorState& state, std::vector<Value>& row) {
    if (state.bound) return state.bound->next(row);
    if (!step_row(*state.prepared)) return false;
    read_row(*state.prepared, row);
    return true;
  }

  void fetch(const Stmt& s) {
    CursorState& state = cursor_of(s);
    if (!state.open) throw raise_code(kInvalidCursorCode);
    std::vector<Value> row;
    if (s.bulk) {
      int64_t limit = s.values.empty() ? INT64_MAX : integer_of(*s.values[0]);
      for (const Target& target : s.targets) clear_table(target.ref);
      int64_t count = 0;
      while (count < limit && next_row(state, row)) {
        ++count;
        ++state.rowcount;
        for (size_t i = 0; i < s.targets.size() && i < row.size(); ++i) assign_element(s.targets[i].ref, count, row[i]);
      }
      state.found = count > 0;
      return;
    }
    if (!next_row(state, row)) {
      state.found = false;
      return;
    }
    state.found = true;
    ++state.rowcount;
    assign_row(s.targets, row);
  }

  void close_cursor(CursorState& state) {
    if (!state.open) throw raise_code(kInvalidCursorCode);
    if (state.bound) state.bound->close();
    state.prepared.release();
    state.open = false;
  }

  // ---- DBMS_OUTPUT ----
  void put_line(const Stmt& s) {
    std::string text = s.values.empty() ? std::string() : to_text(plain(eval(*s.values[0])), session_);
    if (!host_.output_enabled()) return;
    partial_line_ += text;
    if (s.name == "PUT") return;
    host_.output_lines().push_back(std::move(partial_line_));
    partial_line_.clear();
  }

  void get_line(const Stmt& s) {
    auto& lines = host_.output_lines();
    if (s.name == "GET_LINE") {
      if (lines.empty()) {
        assign(s.targets[0].ref, Value{});
        assign(s.targets[1].ref, Value::of_integer(1));
        return;
      }
      assign(s.targets[0].ref, Value::of_text(lines.front()));
      assign(s.targets[1].ref, Value::of_integer(0));
      lines.erase(lines.begin());
      return;
    }
    int64_t wanted = static_cast<int64_t>(lines.size());
    const Ref& count = s.targets[1].ref;
    if (count.kind == Ref::Slot && !frame_[static_cast<size_t>(count.slot)].value.is_null()) {
      wanted = std::min(wanted, integer_of_value(frame_[static_cast<size_t>(count.slot)].value));
    }
    clear_table(s.targets[0].ref);
    int64_t taken = 0;
    for (; taken < wanted; ++taken) assign_element(s.targets[0].ref, taken + 1, Value::of_text(lines[static_cast<size_t>(taken)]));
    lines.erase(lines.begin(), lines.begin() + taken);
    assign(count, Value::of_integer(taken));
  }

  int64_t integer_of_value(const Value& value) {
    Value number = coerce(value, type_of_declaration("NUMBER(38)"), session_);
    return number.kind == Value::Real ? static_cast<int64_t>(number.real) : number.integer;
  }

  // ---- exceptions raised by statements ----
  Raised raised_by(const Stmt& s) const {
    if (s.exception == 0) {
      Raised again = handling_.back();
      again.line = line_;
      return again;
    }
    int id = s.exception - 1;
    const ExceptionInfo& info = unit_.exceptions[static_cast<size_t>(id)];
    if (info.code == 0) return Raised{kUserExceptionCode, std::string(kUserDefinedException), id, true, line_, {}};
    return Raised{info.code, sql::message_text(info.code), id, false, line_, {}};
  }

  Raised application_error(const Stmt& s) {
    Value number = eval(*s.values[0]);
    int64_t code = number.is_null() ? 0 : -integer_of_value(number);
    if (code < kApplicationErrorFirst || code > kApplicationErrorLast) {
      return raise_code(kApplicationErrorRangeCode, {std::to_string(-code)});
    }
    std::string message = to_text(plain(eval(*s.values[1])), session_);
    if (message.size() > kApplicationMessageLimit) message.resize(kApplicationMessageLimit);
    return raise_code(static_cast<int>(code), message);
  }

  // ---- values ----
  Value eval(const Expr& expr) {
    switch (expr.form) {
      case Expr::Literal: return expr.literal;
      case Expr::Reference: return eval_ref(expr.ref);
      case Expr::Sql: break;
    }
    // A LOB locator bind on its own is the LOB itself, not a copy of its value.
    if (expr.ref.kind == Ref::Bind && !expr.ref.name.empty()) {
      if (auto lob = host_.bind_lob(expr.ref.name, -1)) return *lob;
    }
    for (const auto& call : expr.calls) call_program(*call);
    PreparedUse statement = use(*expr.sql.prepared);
    SqlUse::Prepared& prepared = *statement;
    bind(prepared, expr.sql.refs);
    if (!step_row(prepared)) return Value{};
    Value value = column_value(prepared.stmt, 0, prepared.column_types[0]);
    if (expr.condition && value.kind == Value::Integer) value = Value::of_boolean(value.integer != 0);
    return value;
  }

  int64_t key_of(const Expr& index) {
    Value key = eval(index);
    if (key.is_null()) throw raise_code(kValueErrorCode, {kNullIndexKey});
    return integer_of_value(key);
  }

  Value eval_ref(const Ref& ref) {
    switch (ref.kind) {
      case Ref::Slot: return slot_value(ref.slot);
      case Ref::Field: return frame_[static_cast<size_t>(ref.slot)].fields[static_cast<size_t>(ref.field)];
      case Ref::Element: {
        auto& table = frame_[static_cast<size_t>(ref.slot)].table;
        auto found = table.find(key_of(*ref.index));
        if (found == table.end()) throw raise_code(kNoDataFoundCode);
        return found->second;
      }
      case Ref::TableMethod: return table_method(ref);
      case Ref::SqlAttribute: return sql_attribute(ref.name);
      case Ref::CursorAttribute:
        return cursor_attribute(ref.slot < 0            ? passed_cursor(ref.bind)
                                : !ref.package.empty() ? package_cursor(ref.package, ref.slot)
                                                       : frame_[static_cast<size_t>(ref.slot)].cursor,
                                ref.name);
      case Ref::SqlCode: return Value::of_integer(sqlcode());
      case Ref::SqlErrm:
        return Value::of_text(sqlerrm(ref.index ? std::optional<int64_t>(integer_of(*ref.index)) : std::nullopt));
      case Ref::Constant: return ref.value;
      case Ref::TriggerFlag: return Value::of_boolean(trigger_flag(ref));
      case Ref::LobIsTemporary: return lob_is_temporary(eval(*ref.index), host_);
      case Ref::PackageVariable: return package_slot(ref).value;
      case Ref::Attribute: return read_attribute(host_, eval_ref(*ref.holder), *ref.attribute);
      case Ref::Bind:
      case Ref::BindElement: break;
    }
    throw raise_code(kUnimplemented);
  }

  // INSERTING, UPDATING, UPDATING('COLUMN'), DELETING.
  bool trigger_flag(const Ref& ref) {
    if (trigger_ == nullptr) return false;
    if (ref.name == "INSERTING") return trigger_->event == 'I';
    if (ref.name == "DELETING") return trigger_->event == 'D';
    if (trigger_->event != 'U') return false;
    if (!ref.index) return true;
    std::string column = to_text(eval(*ref.index), session_);
    for (char& c : column) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto* columns = trigger_->updated_columns;
    return columns && std::find(columns->begin(), columns->end(), column) != columns->end();
  }

  Value table_method(const Ref& ref) {
    auto& table = frame_[static_cast<size_t>(ref.slot)].table;
    if (ref.name == "COUNT") return Value::of_integer(static_cast<int64_t>(table.size()));
    if (ref.name == "FIRST") return table.empty() ? Value{} : Value::of_integer(table.begin()->first);
    if (ref.name == "LAST") return table.empty() ? Value{} : Value::of_integer(table.rbegin()->first);
    if (ref.index == nullptr) throw raise_code(kValueErrorCode);
    int64_t key = key_of(*ref.index);
    if (ref.name == "EXISTS") return Value::of_boolean(table.count(key) != 0);
    if (ref.name == "NEXT") {
      auto next = table.upper_bound(key);
      return next == table.end() ? Value{} : Value::of_integer(next->first);
    }
    if (ref.name == "PRIOR") {
      auto next = table.lower_bound(key);
      return next == table.begin() ? Value{} : Value::of_integer(std::prev(next)->first);
    }
    throw raise_code(kValueErrorCode);
  }

  Value sql_attribute(const std::string& name) const {
    if (name == "ROWCOUNT") return sql_found_ ? Value::of_integer(sql_rowcount_) : Value{};
    if (name == "ISOPEN") return Value::of_boolean(false);
    if (!sql_found_) return Value{};
    return Value::of_boolean(name == "FOUND" ? *sql_found_ : !*sql_found_);
  }

  Value cursor_attribute(const CursorState& state, const std::string& name) const {
    if (name == "ISOPEN") return Value::of_boolean(state.open);
    if (!state.open) throw raise_code(kInvalidCursorCode);
    if (name == "ROWCOUNT") return Value::of_integer(state.rowcount);
    if (!state.found) return Value{};
    return Value::of_boolean(name == "FOUND" ? *state.found : !*state.found);
  }

  // ---- assignment ----
  const TypeSpec& slot_type(int slot) const { return unit_.slot_types[static_cast<size_t>(slot)]; }

  // The value a LOB names, for everything but LOB variables and DBMS_LOB.
  Value plain(const Value& value) {
    if (value.kind != Value::Lob) return value;
    const sql::LobContent& content = host_.lob_content(value, false);
    if (content.character) return Value::of_text(content.bytes);
    return Value{Value::Blob, 0, 0, content.bytes};
  }

  Value fit(const Value& value, const TypeSpec& type) {
    bool keeps_lob = type.base == BaseType::Clob || type.base == BaseType::Blob;
    return coerce(keeps_lob ? value : plain(value), type, session_);
  }

  void assign(const Ref& target, const Value& value) {
    switch (target.kind) {
      case Ref::Slot:
        store_slot(target.slot, value);
        return;
      case Ref::Field: {
        const TypeSpec& type = slot_type(target.slot).fields[static_cast<size_t>(target.field)].second;
        frame_[static_cast<size_t>(target.slot)].fields[static_cast<size_t>(target.field)] = fit(value, type);
        return;
      }
      case Ref::Element:
      case Ref::BindElement:
        assign_element(target, key_of(*target.index), value);
        return;
      case Ref::Bind:
        host_.write_bind(target.name, value, oracle_type_of(TypeSpec{}, value), -1);
        return;
      case Ref::PackageVariable: {
        std::shared_ptr<PackageInstance> instance = package_instance(host_, *calls_, target.name);
        package_slot(target).value = fit(value, instance->unit->slot_types[static_cast<size_t>(target.slot)]);
        return;
      }
      case Ref::Attribute: {
        Value attribute = fit(value, target.attribute->type);
        assign(*target.holder, write_attribute(host_, eval_ref(*target.holder), *target.attribute, attribute));
        return;
      }
      default:
        throw raise_code(kValueErrorCode);
    }
  }

  void assign_element(const Ref& target, int64_t key, const Value& value) {
    if (target.kind == Ref::Bind || target.kind == Ref::BindElement) {
      if (key < 1 || key > host_.table_capacity(target.name)) {
        throw raise_code(kHostArrayTooSmall);
      }
      host_.write_bind(target.name, value, oracle_type_of(TypeSpec{}, value), static_cast<int>(key - 1));
      if (key > host_.table_length(target.name)) host_.set_table_length(target.name, static_cast<int>(key));
      return;
    }
    const TypeSpec& type = slot_type(target.slot);
    if (type.base != BaseType::IndexTable) throw raise_code(kValueErrorCode);
    frame_[static_cast<size_t>(target.slot)].table[key] = fit(value, *type.element);
  }

  void clear_table(const Ref& target) {
    if (target.kind == Ref::Bind) {
      host_.set_table_length(target.name, 0);
    } else if (target.kind == Ref::Slot) {
      frame_[static_cast<size_t>(target.slot)].table.clear();
    }
  }

  void assign_row(const std::vector<Target>& targets, const std::vector<Value>& row) {
    if (targets.size() == 1 && targets[0].ref.kind == Ref::Slot && slot_type(targets[0].ref.slot).base == BaseType::Record) {
      int slot = targets[0].ref.slot;
      const TypeSpec& type = slot_type(slot);
      auto& fields = frame_[static_cast<size_t>(slot)].fields;
      fields.resize(type.fields.size());
      for (size_t i = 0; i < fields.size() && i < row.size(); ++i) fields[i] = fit(row[i], type.fields[i].second);
      return;
    }
    for (size_t i = 0; i < targets.size() && i < row.size(); ++i) assign(targets[i].ref, row[i]);
  }

  Unit& unit_;
  Host& host_;
  sqlite3* db_;
  sql::SessionContext& session_;
  std::vector<Slot> frame_;
  std::vector<Raised> handling_;  // errors whose handlers are running, innermost last
  std::string pending_label_;     // EXIT/CONTINUE label looking for its loop
  std::string partial_line_;      // DBMS_OUTPUT.PUT text awaiting its line end
  int64_t sql_rowcount_ = 0;
  std::optional<bool> sql_found_;  // unset before the first SQL statement
  int line_ = 0;                   // line of the statement running
  TriggerRow* trigger_ = nullptr;  // the row a trigger body runs for
  std::optional<Value> returned_;  // a function's RETURN value on its way out
  int return_line_ = 0;
  CallState* calls_ = nullptr;
  std::unique_ptr<CallState> own_calls_;  // for a host that keeps no call state
  std::optional<Raised> raised_in_sql_;  // by a local function a statement called
  CursorState scratch_cursor_;           // for a cursor parameter given no cursor variable
  std::map<std::string, CursorState> passed_cursors_;  // by bind name: cursors the client passed in
};

// The package's frame in a runner for as long as its code runs.
struct Entered {
  Entered(PackageInstance& entered, Host& host) : runner(*entered.unit, host), instance(entered) { runner.adopt(instance); }
  ~Entered() { runner.give_back(instance); }
  Entered(const Entered&) = delete;
  Entered& operator=(const Entered&) = delete;
  Runner runner;
  PackageInstance& instance;
};

// Whether a package keeps state between calls: variables or cursors of its own.
bool keeps_state(const Unit& package) {
  if (std::any_of(package.block.variables.begin(), package.block.variables.end(),
                  [](const VarDecl& declared) { return !declared.constant; })) {
    return true;
  }
  return std::any_of(package.cursors.begin(), package.cursors.end(), [&](const CursorDecl& cursor) {
    return std::none_of(package.subprograms.begin(), package.subprograms.end(), [&](const Subprogram& subprogram) {
      return cursor.slot >= subprogram.first_slot && cursor.slot < subprogram.end_slot;
    });
  });
}

// ORA-04068 and the lines Oracle gives with it, for package "OWNER.PACKAGE" replaced under a session that used it.
[[noreturn]] void discard_state(const std::string& key, bool declaration_replaced) {
  const std::string part = std::string(declaration_replaced ? "package" : "package body") + " \"" + key + "\"";
  std::string message = sql::message_text(kStateDiscardedCode);
  message += "\n" + sql::full_message(kStateInvalidatedCode, sql::message_text(kStateInvalidatedCode, {part}));
  message += "\n" + sql::full_message(kAlteredCode, sql::message_text(kAlteredCode, {part}));
  message += "\n" + sql::full_message(kProgramNotFound, sql::message_text(kProgramNotFound) + ": \"" + key + "\"");
  throw sql::OracleException{sql::OracleError{kStateDiscardedCode, message}};
}

// The session's instance of package "OWNER.PACKAGE": made, and its declarations and
// initialisation run, on first use, and again when the package was replaced. A
// replaced package whose state the session held fails the call once (ORA-04068).
std::shared_ptr<PackageInstance> package_instance(Host& host, CallState& calls, const std::string& key) {
  std::shared_ptr<Unit> unit = calls.package_unit(key, host.db(), host.context(), host.schema_generation());
  std::shared_ptr<PackageInstance>& entry = calls.instances[key];
  if (entry && (entry->unit == unit || entry->running)) return entry;
  if (entry && keeps_state(*entry->unit)) {
    const bool declaration_replaced = entry->unit->package_declaration != unit->package_declaration;
    calls.instances.erase(key);
    discard_state(key, declaration_replaced);
  }
  auto fresh = std::make_shared<PackageInstance>();
  fresh->unit = unit;
  fresh->frame.resize(unit->slot_types.size());
  entry = fresh;  // the initialisation may name the package's own members
  try {
    Entered entered(*fresh, host);
    entered.runner.run();
  } catch (...) {
    calls.instances.erase(key);
    throw;
  }
  return fresh;
}

CursorState& Runner::open_package_cursor(const std::string& package, int cursor, const std::vector<ExprPtr>& arguments) {
  std::vector<Value> values;
  for (const ExprPtr& argument : arguments) values.push_back(eval(*argument));
  std::shared_ptr<PackageInstance> instance = package_instance(host_, *calls_, package);
  const std::vector<CursorDecl>& cursors = instance->unit->cursors;
  if (cursor < 0 || static_cast<size_t>(cursor) >= cursors.size()) throw raise_code(kProgramNotFound);
  const CursorDecl& declared = cursors[static_cast<size_t>(cursor)];
  if (instance->running) {
    static_cast<Runner*>(instance->running)->open_with(declared, values);
  } else {
    Entered entered(*instance, host_);
    entered.runner.open_with(declared, values);
  }
  CursorState& state = package_cursor(package, declared.slot);
  state.owner = instance->unit;  // keeps the statement it steps
  return state;
}

int package_subprogram(const Unit& unit, const std::string& member, int overload) {
  auto found = unit.package_members.find(member);
  if (found == unit.package_members.end() || overload < 0 ||
      static_cast<size_t>(overload) >= found->second.subprograms.size()) {
    sql::throw_oracle(kProgramNotFound);
  }
  const int index = found->second.subprograms[static_cast<size_t>(overload)];
  if (!unit.subprograms[static_cast<size_t>(index)].block) sql::throw_oracle(kProgramNotFound);  // no body
  return index;
}

std::vector<Value> run_package_member(Host& host, CallState& calls, const std::string& key, int overload,
                                      const std::vector<std::optional<Value>>& arguments, Value* result,
                                      std::vector<Handed>* cursors) {
  const size_t dot = key.rfind('.');
  std::shared_ptr<PackageInstance> instance = package_instance(host, calls, key.substr(0, dot));
  const int index = package_subprogram(*instance->unit, key.substr(dot + 1), overload);
  if (instance->running) return static_cast<Runner*>(instance->running)->call_member(index, arguments, result, cursors);
  Entered entered(*instance, host);
  return entered.runner.call_member(index, arguments, result, cursors);
}

// Which of a package's functions of one name SQL calls: told apart by its arguments' values.
int sql_overload(const Unit& unit, const std::string& member, const std::vector<Value>& arguments,
                 const std::vector<std::string>& names) {
  auto found = unit.package_members.find(member);
  if (found == unit.package_members.end()) sql::throw_oracle(kProgramNotFound);
  const std::vector<int>& overloads = found->second.subprograms;
  if (overloads.size() < 2) return 0;
  std::vector<const Signature*> functions;
  for (int index : overloads) {
    const Signature& signature = unit.subprograms[static_cast<size_t>(index)].signature;
    functions.push_back(signature.function ? &signature : nullptr);
  }
  std::vector<TypeFamily> families;
  for (const Value& argument : arguments) families.push_back(family_of(argument));
  const int chosen = choose_overload(functions, families, names);
  return chosen < 0 ? 0 : chosen;
}

}  // namespace

Value run_package_function(Host& host, CallState& calls, const std::string& key, const std::vector<Value>& arguments,
                           const std::vector<std::string>& names) {
  const size_t dot = key.rfind('.');
  std::shared_ptr<PackageInstance> instance = package_instance(host, calls, key.substr(0, dot));
  const Unit& unit = *instance->unit;
  const std::string member = key.substr(dot + 1);
  const int overload = sql_overload(unit, member, arguments, names);
  Signature signature = unit.subprograms[static_cast<size_t>(package_subprogram(unit, member, overload))].signature;
  if (!signature.function) sql::throw_oracle(kProgramNotFound);
  signature.name = key;
  Value result;
  run_package_member(host, calls, key, overload, sql_arguments(signature, arguments, names), &result);
  return result;
}

void run_unit(Unit& unit, Host& host) { Runner(unit, host).run(); }

void run_trigger(Unit& unit, Host& host, TriggerRow& row) { Runner(unit, host).fire(row); }

Value run_function(Unit& unit, Host& host, const std::vector<std::optional<Value>>& arguments) {
  Value result;
  Runner(unit, host).call(arguments, &result);
  return result;
}

}  // namespace ociemu::plsql
