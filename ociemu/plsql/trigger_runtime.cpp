// Running trigger bodies for the rows SQLite hands over through the trigger functions.
#include <algorithm>

#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/triggers.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::plsql {
namespace {

constexpr int kInvalidTrigger = 4098, kTriggerFailed = 4088, kMutating = 4091, kNotInTrigger = 4092;
constexpr int kNotAllBound = 1008, kUnimplemented = 3001;
constexpr size_t kCompiledLimit = 64;  // compiled bodies kept per session

Value value_of(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER: return Value::of_integer(sqlite3_value_int64(value));
    case SQLITE_FLOAT: return Value::of_real(sqlite3_value_double(value));
    case SQLITE_BLOB: {
      const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
      return Value{Value::Blob, 0, 0, std::string(data, static_cast<size_t>(sqlite3_value_bytes(value)))};
    }
    case SQLITE_TEXT: {
      const auto* data = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return Value::of_text(std::string(data, static_cast<size_t>(sqlite3_value_bytes(value))));
    }
    default: return Value{};
  }
}

void result_of(sqlite3_context* context, const Value& value) {
  switch (value.kind) {
    case Value::Null: return sqlite3_result_null(context);
    case Value::Integer:
    case Value::Boolean: return sqlite3_result_int64(context, value.integer);
    case Value::Real: return sqlite3_result_double(context, value.real);
    case Value::Blob:
      return sqlite3_result_blob(context, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
    default:
      return sqlite3_result_text(context, value.bytes.data(), static_cast<int>(value.bytes.size()), SQLITE_TRANSIENT);
  }
}

std::string text_arg(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return text ? std::string(text) : std::string();
}

// Arguments from `first` on: the new row's values, then the old row's.
void read_rows(int argc, sqlite3_value** argv, int first, TriggerRow& row) {
  const int width = (argc - first) / 2;
  for (int i = 0; i < width; ++i) row.new_values.push_back(value_of(argv[first + i]));
  for (int i = 0; i < width; ++i) row.old_values.push_back(value_of(argv[first + width + i]));
}

std::vector<std::string> split_columns(const std::string& list) {
  std::vector<std::string> columns;
  size_t start = 0;
  while (start < list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    columns.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return columns;
}

void fail_function(sqlite3_context* context, const sql::OracleError& error) {
  std::string text = sql::full_message(error.code, error.message);
  sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

template <typename Body>
void guarded(sqlite3_context* context, Body body) {
  auto& runtime = *static_cast<TriggerRuntime*>(sqlite3_user_data(context));
  try {
    body(runtime);
    return;
  } catch (const sql::OracleException& e) {
    fail_function(context, e.error);
  } catch (const std::exception& e) {
    sqlite3_result_error(context, e.what(), -1);
  }
  runtime.statement_failed();
}

char event_of(sqlite3_value* value) {
  std::string event = text_arg(value);
  return event.empty() ? 'I' : event[0];
}

// OCIEMU_TRIGGER_BEFORE(table, event, set columns, new row..., old row...) -> key of the row left
void before_function(sqlite3_context* context, int argc, sqlite3_value** argv) {
  guarded(context, [&](TriggerRuntime& runtime) {
    TriggerRow row;
    row.event = event_of(argv[1]);
    read_rows(argc, argv, 3, row);
    sqlite3_result_int64(context, runtime.keep_before(text_arg(argv[0]), row, text_arg(argv[2])));
  });
}

// OCIEMU_TRIGGER_VALUE(key, column, reads)
void value_function(sqlite3_context* context, int, sqlite3_value** argv) {
  guarded(context, [&](TriggerRuntime& runtime) {
    const Value* value = runtime.kept_value(sqlite3_value_int64(argv[0]), static_cast<size_t>(sqlite3_value_int64(argv[1])),
                                            static_cast<size_t>(sqlite3_value_int64(argv[2])));
    if (value) return result_of(context, *value);
    sqlite3_result_null(context);
  });
}

// OCIEMU_TRIGGER_FIRE(table, timing, event, new row..., old row...)
void fire_function(sqlite3_context* context, int argc, sqlite3_value** argv) {
  guarded(context, [&](TriggerRuntime& runtime) {
    TriggerRow row;
    row.event = event_of(argv[2]);
    read_rows(argc, argv, 3, row);
    runtime.fire(text_arg(argv[0]), event_of(argv[1]), row);
    sqlite3_result_null(context);
  });
}

// Marks a body as running for as long as it runs, however it ends.
class Running {
 public:
  Running(bool& flag, int& depth) : flag_(flag), depth_(depth) {
    flag_ = true;
    ++depth_;
  }
  ~Running() {
    flag_ = false;
    --depth_;
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  bool& flag_;
  int& depth_;
};

}  // namespace

TriggerRuntime::TriggerRuntime(sqlite3* db, sql::SessionContext& context, std::vector<std::string>& output,
                               bool& enabled)
    : db_(db), context_(context), output_(output), output_enabled_(enabled) {
  sqlite3_create_function_v2(db_, sql::kTriggerBeforeFunction, -1, SQLITE_UTF8, this, before_function, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db_, sql::kTriggerValueFunction, 3, SQLITE_UTF8, this, value_function, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db_, sql::kTriggerFireFunction, -1, SQLITE_UTF8, this, fire_function, nullptr, nullptr,
                             nullptr);
}

TriggerRuntime::~TriggerRuntime() {
  // Compiled units hold statements on the connection: finalise them first.
  units_.clear();
  sqlite3_create_function_v2(db_, sql::kTriggerBeforeFunction, -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db_, sql::kTriggerValueFunction, 3, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db_, sql::kTriggerFireFunction, -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::vector<sql::FiringTrigger> TriggerRuntime::candidates(const std::string& table, char timing,
                                                          const TriggerRow& row) {
  std::vector<sql::FiringTrigger> found = sql::row_triggers(db_, table, timing, row.event);
  if (row.event != 'U') return found;
  // UPDATE OF: only when the statement sets one of those columns.
  auto sets_none = [&](const sql::FiringTrigger& trigger) {
    if (trigger.columns.empty()) return false;
    for (const std::string& column : split_columns(trigger.columns)) {
      if (row.updated_columns &&
          std::find(row.updated_columns->begin(), row.updated_columns->end(), column) != row.updated_columns->end())
        return false;
    }
    return true;
  };
  found.erase(std::remove_if(found.begin(), found.end(), sets_none), found.end());
  return found;
}

void TriggerRuntime::statement_failed() {
  // Outside any body the failing statement is the application's: none of its rows will be read.
  if (depth_ == 0) kept_.clear();
}

Unit& TriggerRuntime::unit_for(const sql::FiringTrigger& trigger, const std::string& table) {
  if (units_.size() >= kCompiledLimit && !units_.count(trigger.name)) {
    // Triggers dropped or long unused leave their units behind: start again with the idle ones gone.
    std::erase_if(units_, [](const auto& entry) { return !entry.second.running; });
  }
  Compiled& compiled = units_[trigger.name];
  int64_t schema = sql::schema_version(db_);
  if (!compiled.unit || compiled.version != trigger.version || compiled.schema != schema) {
    if (compiled.running) sql::throw_oracle(kMutating, {table});
    compiled.unit.reset();
    TriggerShape shape;
    shape.name = trigger.name;
    sql::TriggerTable target = sql::trigger_table_columns(db_, trigger.name);
    shape.new_assignable = target.timing == "BEFORE" && target.events != "DELETE";
    for (const auto& column : target.columns) shape.columns.emplace_back(column.first, type_of_declaration(column.second));
    try {
      compiled.unit = compile_trigger(trigger.action, db_, context_, shape);
    } catch (const sql::OracleException&) {
      sql::throw_oracle(kInvalidTrigger, {trigger.name});
    }
    compiled.version = trigger.version;
    compiled.schema = schema;
  }
  return *compiled.unit;
}

void TriggerRuntime::run(const sql::FiringTrigger& trigger, const std::string& table, TriggerRow& row) {
  if (trigger.invalid) sql::throw_oracle(kInvalidTrigger, {trigger.name});
  Unit& unit = unit_for(trigger, table);
  Compiled& compiled = units_[trigger.name];
  // A body that changes its own table would fire itself while its statements are busy.
  if (compiled.running) sql::throw_oracle(kMutating, {table});
  Running running(compiled.running, depth_);
  try {
    run_trigger(unit, *this, row);
  } catch (sql::OracleException& e) {
    e.error.message += "\n" + sql::full_message(kTriggerFailed, sql::message_text(kTriggerFailed, {trigger.name}));
    throw;
  }
}

void TriggerRuntime::fire(const std::string& table, char timing, TriggerRow& row) {
  if (row.event == 'U') row.updated_columns = &updated_[table];
  for (const sql::FiringTrigger& trigger : candidates(table, timing, row)) run(trigger, table, row);
}

int64_t TriggerRuntime::keep_before(const std::string& table, TriggerRow& row, const std::string& set_list) {
  if (row.event == 'U') updated_[table] = split_columns(set_list);
  fire(table, 'B', row);
  const int64_t key = ++next_key_;
  kept_[key] = Kept{std::move(row.new_values), 0};
  return key;
}

const Value* TriggerRuntime::kept_value(int64_t key, size_t index, size_t reads) {
  auto found = kept_.find(key);
  if (found == kept_.end() || index >= found->second.values.size()) return nullptr;
  // The value is returned before the row is forgotten: hand back a copy kept aside.
  last_value_ = found->second.values[index];
  if (++found->second.reads >= reads) kept_.erase(found);
  return &last_value_;
}

void TriggerRuntime::bind_to(const std::string&, sqlite3_stmt*, int, int) { sql::throw_oracle(kNotAllBound); }
void TriggerRuntime::write_bind(const std::string&, const Value&, const std::optional<sql::OracleType>&, int) {
  sql::throw_oracle(kNotAllBound);
}
void TriggerRuntime::open_bind_cursor(const std::string&, sqlite3_stmt*, const std::vector<std::string>&,
                                      const std::vector<std::optional<sql::OracleType>>&) {
  sql::throw_oracle(kNotAllBound);
}
sql::LobContent& TriggerRuntime::lob_content(const Value&, bool) { sql::throw_oracle(kUnimplemented); }
Value TriggerRuntime::create_temporary_lob(bool) { sql::throw_oracle(kUnimplemented); }
void TriggerRuntime::commit() { sql::throw_oracle(kNotInTrigger, {"COMMIT"}); }
void TriggerRuntime::rollback() { sql::throw_oracle(kNotInTrigger, {"ROLLBACK"}); }
void TriggerRuntime::savepoint(const std::string&) { sql::throw_oracle(kNotInTrigger, {"SET SAVEPOINT"}); }
void TriggerRuntime::rollback_to(const std::string&) { sql::throw_oracle(kNotInTrigger, {"ROLLBACK"}); }

}  // namespace ociemu::plsql
