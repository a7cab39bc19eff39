// Calls between PL/SQL programs on one session: the stored programs it has
// compiled, the depth of the calls running (a runaway recursion ends with
// ORA-06500 instead of exhausting the stack), the units running that SQL may
// call back into, and the SQL function OCIEMU_CALL through which statements
// call stored functions and a unit's expressions call its local ones.
//
// Thread-safe: no; a session's calls run one at a time (under its call lock).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <algorithm>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/plsql/ast.h"
#include "ociemu/plsql/value.h"

namespace ociemu::plsql {

class Host;
struct PackageInstance;  // interpreter.cpp

// "OWNER.PACKAGE.MEMBER" names a package's member; "OWNER.NAME" a stored program.
inline bool names_package_member(std::string_view key) { return std::count(key.begin(), key.end(), '.') == 2; }

// The SQL function statements call stored and local PL/SQL functions through:
// OCIEMU_CALL(key, mode, arguments...), key "OWNER.NAME" or "#n" for local
// subprogram n of the unit running; mode tells who calls: a PL/SQL expression,
// a query (which the function may not change data for) or DML (nor commit for).
inline constexpr std::string_view kCallFunction = "OCIEMU_CALL";
inline constexpr int kCallFromPlsql = 0;
inline constexpr int kCallFromQuery = 1;
inline constexpr int kCallFromDml = 2;
inline constexpr char kLocalCallPrefix = '#';

// A unit running on the session, as SQL it runs may call back into it.
class Activation {
 public:
  virtual ~Activation() = default;
  virtual Host& host() = 0;
  virtual Value call_local_function(int subprogram, const std::vector<Value>& arguments) = 0;
};

class CallState {
 public:
  // Nested calls beyond this end with ORA-06500, as does a stack running low.
  static constexpr int kMaxDepth = 2000;

  // The compiled unit of a stored program, compiled on first use and again after
  // the schema changed (`generation` moved, or another session committed);
  // raises ORA-06508 when there is no such program and its compile error when it does not compile.
  std::shared_ptr<Unit> unit(const std::string& key, sqlite3* db, sql::SessionContext& session, uint64_t generation);
  // The unit of package "OWNER.PACKAGE" (declaration and body). It is compiled
  // again only when their text changed, so that the session's instance of the
  // package keeps its state while it stays the same; ORA-06508 when there is no such package.
  std::shared_ptr<Unit> package_unit(const std::string& key, sqlite3* db, sql::SessionContext& session,
                                     uint64_t generation);
  // Drops the compiled units and the packages' state (before their connection closes).
  void forget() {
    units_.clear();
    packages_.clear();
    instances.clear();
  }
  // The session's instance of each package it used, by "OWNER.PACKAGE".
  std::map<std::string, std::shared_ptr<PackageInstance>> instances;

  // A call running: counts towards the depth limit.
  class Depth {
   public:
    explicit Depth(CallState& calls);
    ~Depth() { --calls_.depth_; }
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;

   private:
    CallState& calls_;
  };

  // The units running, innermost last.
  std::vector<Activation*> active;
  int query_calls = 0;  // functions running for a query: they may not change data (ORA-14551)
  int sql_calls = 0;    // functions running for any SQL statement: no COMMIT/ROLLBACK (ORA-14552)
  Host* sql_host = nullptr;  // serves calls made by plain SQL, when no unit is running

 private:
  // Drops the compiled units once the schema may have changed.
  void refresh(sqlite3* db, uint64_t generation);

  struct CompiledPackage {
    std::string source;  // declaration and body
    std::shared_ptr<Unit> unit;
    uint64_t checked = 0;  // the refresh count when source was last compared with the catalogue
  };
  std::map<std::string, std::shared_ptr<Unit>> units_;
  std::map<std::string, CompiledPackage> packages_;
  uint64_t refreshes_ = 1;
  uint64_t generation_ = 0;
  uint64_t data_version_ = 0;
  int depth_ = 0;
};

// What overloads of one name are told apart by: the family of a parameter's type.
enum class TypeFamily : uint8_t { Unknown, Character, Number, Datetime, Boolean, Binary, Cursor, Composite };
TypeFamily family_of(BaseType type);
TypeFamily family_of(const Value& value);

// Which of the signatures sharing a name a call resolves to (its position), from
// its arguments' families and names (empty for a positional one): the one taking
// them whose parameter types match the most, the first on a tie; -1 when none takes them.
// A null candidate is passed over.
int choose_overload(const std::vector<const Signature*>& candidates, const std::vector<TypeFamily>& arguments,
                    const std::vector<std::string>& names);

// Registers OCIEMU_CALL on the connection; calls reach the session through `calls`.
void register_sql_calls(sqlite3* db, CallState* calls);

// Runs stored function `key` with its arguments, by position or, where `names`
// gives one (upper case, empty for a positional argument), by name.
Value call_stored_function(Host& host, const std::string& key, const std::vector<Value>& arguments,
                           const std::vector<std::string>& names = {});

// Arguments SQL passes for a call of `signature`, in parameter order: the ones left
// out take their defaults; too many, too few, unknown or repeated names, a positional
// argument after a named one, or OUT parameters raise Oracle's error.
std::vector<std::optional<Value>> sql_arguments(const Signature& signature, const std::vector<Value>& arguments,
                                                const std::vector<std::string>& names = {});

}  // namespace ociemu::plsql
