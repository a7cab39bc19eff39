#include "ociemu/plsql/calls.h"

#include <pthread.h>

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/host.h"
#include "ociemu/plsql/interpreter.h"
#include "ociemu/plsql/messages.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {
namespace {

// What a call leaves of the stack for the next one, with room for unwinding an error.
constexpr uintptr_t kStackReserve = 512 * 1024;

bool stack_running_low() {
  thread_local uintptr_t lowest = 0;  // of this thread's stack; 1 when it cannot be told
  if (lowest == 0) {
    lowest = 1;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
      void* address = nullptr;
      size_t size = 0;
      if (pthread_attr_getstack(&attributes, &address, &size) == 0) lowest = reinterpret_cast<uintptr_t>(address);
      pthread_attr_destroy(&attributes);
    }
  }
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  return lowest > 1 && here > lowest && here - lowest < kStackReserve;
}

uint64_t data_version(sqlite3* db) {
  unsigned int version = 0;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_DATA_VERSION, &version);
  return version;
}

// Counts a call SQL made for as long as it runs.
struct Counted {
  explicit Counted(int& count, bool counts) : counter(counts ? &count : nullptr) {
    if (this->counter) ++*this->counter;
  }
  ~Counted() {
    if (counter) --*counter;
  }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  int* counter;
};

void call_from_sql(sqlite3_context* context, int count, sqlite3_value** args) {
  auto* calls = static_cast<CallState*>(sqlite3_user_data(context));
  try {
    if (count < 2) sql::throw_oracle(kProgramNotFound);
    std::string key = sql_text(args[0]);
    int mode = sqlite3_value_int(args[1]);
    const bool with_names = (mode & sql::kCallWithNames) != 0;
    mode &= ~sql::kCallWithNames;
    std::vector<Value> arguments;
    std::vector<std::string> names;
    arguments.reserve(static_cast<size_t>(count - 2));
    for (int i = 2; i < count; ++i) {
      if (with_names && (i - 2) % 2 == 0) {
        names.push_back(sqlite3_value_type(args[i]) == SQLITE_NULL ? std::string() : sql_text(args[i]));
        continue;
      }
      arguments.push_back(sql_argument(args[i]));
    }
    Value result;
    if (!key.empty() && key[0] == kLocalCallPrefix) {
      int index = -1;
      std::from_chars(key.data() + 1, key.data() + key.size(), index);
      if (calls->active.empty() || index < 0) sql::throw_oracle(kProgramNotFound);
      result = calls->active.back()->call_local_function(index, arguments);
    } else {
      Host* host = calls->active.empty() ? calls->sql_host : &calls->active.back()->host();
      if (host == nullptr) sql::throw_oracle(kProgramNotFound);
      Counted query(calls->query_calls, mode == kCallFromQuery);
      Counted statement(calls->sql_calls, mode != kCallFromPlsql);
      result = call_stored_function(*host, key, arguments, names);
    }
    set_sql_result(context, result);
  } catch (const sql::OracleException& failure) {
    std::string text = sql::full_message(failure.error.code, failure.error.message);
    sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  }
}

std::string wrong_arguments(const std::string& name) {
  std::string text(kPlsWrongArgumentsShort);
  return text.replace(text.find("%s"), 2, name.substr(name.rfind('.') + 1));
}

}  // namespace

CallState::Depth::Depth(CallState& calls) : calls_(calls) {
  if (calls.depth_ >= kMaxDepth || stack_running_low()) sql::throw_oracle(kStorageErrorCode);
  ++calls.depth_;
}

void CallState::refresh(sqlite3* db, uint64_t generation) {
  uint64_t version = data_version(db);
  if (generation != generation_ || version != data_version_) {
    units_.clear();
    ++refreshes_;
    generation_ = generation;
    data_version_ = version;
  }
}

std::shared_ptr<Unit> CallState::package_unit(const std::string& key, sqlite3* db, sql::SessionContext& session,
                                              uint64_t generation) {
  refresh(db, generation);
  CompiledPackage& compiled = packages_[key];
  if (compiled.unit && compiled.checked == refreshes_) return compiled.unit;
  const size_t dot = key.find('.');
  std::optional<std::string> declaration = sql::program_source(db, key.substr(0, dot), key.substr(dot + 1), "PACKAGE");
  if (!declaration) {
    packages_.erase(key);
    sql::throw_oracle(kProgramNotFound);
  }
  std::string source = *declaration;
  if (auto body = sql::program_source(db, key.substr(0, dot), key.substr(dot + 1), "PACKAGE BODY")) source += "\n" + *body;
  if (!compiled.unit || compiled.source != source) {
    try {
      compiled.unit = compile_package(source, db, session);
    } catch (const sql::OracleException& e) {
      throw sql::OracleException{counted_from_body(e.error, line_count(*declaration))};
    }
    compiled.source = std::move(source);
  }
  compiled.checked = refreshes_;
  return compiled.unit;
}

std::shared_ptr<Unit> CallState::unit(const std::string& key, sqlite3* db, sql::SessionContext& session,
                                      uint64_t generation) {
  refresh(db, generation);
  auto found = units_.find(key);
  if (found != units_.end()) return found->second;
  size_t dot = key.find('.');
  if (dot == std::string::npos) sql::throw_oracle(kProgramNotFound);
  std::optional<StoredProgram> stored = find_stored_program(db, key.substr(0, dot), key.substr(dot + 1));
  if (!stored) sql::throw_oracle(kProgramNotFound);
  std::shared_ptr<Unit> compiled = compile_program(stored->text, db, session);
  units_[key] = compiled;
  return compiled;
}

void register_sql_calls(sqlite3* db, CallState* calls) {
  sqlite3_create_function_v2(db, kCallFunction.data(), -1, SQLITE_UTF8, calls, call_from_sql, nullptr, nullptr, nullptr);
}

std::vector<std::optional<Value>> sql_arguments(const Signature& signature, const std::vector<Value>& arguments,
                                                const std::vector<std::string>& names) {
  const std::vector<Parameter>& parameters = signature.parameters;
  auto wrong = [&] { sql::throw_oracle(kSqlCallError, {wrong_arguments(signature.name)}); };
  std::vector<std::optional<Value>> given(parameters.size());
  std::vector<bool> passed(parameters.size());
  bool named_seen = false;
  for (size_t k = 0; k < arguments.size(); ++k) {
    size_t index = k;
    if (k < names.size() && !names[k].empty()) {
      named_seen = true;
      auto same = [&](const Parameter& p) { return p.name == names[k]; };
      index = static_cast<size_t>(std::find_if(parameters.begin(), parameters.end(), same) - parameters.begin());
    } else if (named_seen) {
      sql::throw_oracle(kSqlCallError, {std::string(kPlsPositionalAfterNamedShort)});
    }
    if (index >= parameters.size() || passed[index]) wrong();
    given[index] = arguments[k];
    passed[index] = true;
  }
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (parameters[i].mode != Parameter::In) sql::throw_oracle(kOutArgumentsInSql, {signature.name});
    if (!passed[i] && !parameters[i].has_default) wrong();
  }
  return given;
}

TypeFamily family_of(BaseType type) {
  switch (type) {
    case BaseType::Varchar2:
    case BaseType::Char:
    case BaseType::Clob:
    case BaseType::Rowid: return TypeFamily::Character;
    case BaseType::Number:
    case BaseType::Integer:
    case BaseType::PlsInteger: return TypeFamily::Number;
    case BaseType::Date:
    case BaseType::Timestamp: return TypeFamily::Datetime;
    case BaseType::Boolean: return TypeFamily::Boolean;
    case BaseType::Raw:
    case BaseType::Blob: return TypeFamily::Binary;
    case BaseType::RefCursor: return TypeFamily::Cursor;
    case BaseType::Record:
    case BaseType::IndexTable: return TypeFamily::Composite;
    case BaseType::Unknown: break;
  }
  return TypeFamily::Unknown;
}

TypeFamily family_of(const Value& value) {
  switch (value.kind) {
    case Value::Integer:
    case Value::Real: return TypeFamily::Number;
    case Value::Text: return TypeFamily::Character;
    case Value::Blob: return TypeFamily::Binary;
    case Value::Date:
    case Value::Timestamp: return TypeFamily::Datetime;
    case Value::Boolean: return TypeFamily::Boolean;
    case Value::Null:
    case Value::Lob: break;
  }
  return TypeFamily::Unknown;
}

namespace {

// How well a call's arguments fit a signature: matching types counted, -1 when it cannot take them.
int overload_fit(const Signature& signature, const std::vector<TypeFamily>& arguments,
                 const std::vector<std::string>& names) {
  const std::vector<Parameter>& parameters = signature.parameters;
  std::vector<bool> given(parameters.size());
  int fit = 0;
  for (size_t k = 0; k < arguments.size(); ++k) {
    size_t index = k;
    if (k < names.size() && !names[k].empty()) {
      auto same = [&](const Parameter& p) { return p.name == names[k]; };
      index = static_cast<size_t>(std::find_if(parameters.begin(), parameters.end(), same) - parameters.begin());
    }
    if (index >= parameters.size() || given[index]) return -1;
    given[index] = true;
    const TypeFamily wanted = family_of(parameters[index].type);
    if (arguments[k] == TypeFamily::Unknown || wanted == TypeFamily::Unknown) continue;
    if (arguments[k] == wanted) {
      ++fit;
      continue;
    }
    // Scalars convert implicitly; a BOOLEAN, a cursor or a record does not.
    auto convertible = [](TypeFamily f) {
      return f != TypeFamily::Boolean && f != TypeFamily::Cursor && f != TypeFamily::Composite;
    };
    if (!convertible(arguments[k]) || !convertible(wanted)) return -1;
  }
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (!given[i] && (parameters[i].mode != Parameter::In || !parameters[i].has_default)) return -1;
  }
  return fit;
}

}  // namespace

int choose_overload(const std::vector<const Signature*>& candidates, const std::vector<TypeFamily>& arguments,
                    const std::vector<std::string>& names) {
  int chosen = -1, best = -1;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const int fit = candidates[i] ? overload_fit(*candidates[i], arguments, names) : -1;
    if (fit > best) {
      best = fit;
      chosen = static_cast<int>(i);
    }
  }
  return chosen;
}

Value call_stored_function(Host& host, const std::string& key, const std::vector<Value>& arguments,
                           const std::vector<std::string>& names) {
  CallState* calls = host.calls();
  if (calls == nullptr) sql::throw_oracle(kProgramNotFound);
  if (names_package_member(key)) return run_package_function(host, *calls, key, arguments, names);
  std::shared_ptr<Unit> unit = calls->unit(key, host.db(), host.context(), host.schema_generation());
  if (!unit->function) sql::throw_oracle(kProgramNotFound);
  Signature signature{key, unit->parameters, true, unit->return_type};
  return run_function(*unit, host, sql_arguments(signature, arguments, names));
}

}  // namespace ociemu::plsql
