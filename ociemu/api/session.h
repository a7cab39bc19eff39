// Servers, sessions and service contexts: attaching to a database file,
// logging on through the accounts of that file, the session's transaction
// (implicit begin, commit, rollback, savepoints, locks) and its statement cache.
//
// Concurrency between sessions on one file: each session has its own SQLite
// connection in WAL mode, so readers never wait and see only committed data.
// A transaction takes the file's single write lock at its first DML; another
// session's DML then waits until that transaction ends, for at most
// lock_wait_limit(), and fails with ORA-00054 after that.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ociemu/api/database.h"
#include "ociemu/api/handles.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/plsql/triggers.h"
#include "ociemu/plsql/calls.h"
#include "ociemu/plsql/host.h"
#include "ociemu/sql/dialect.h"

struct sqlite3_stmt;

namespace ociemu {

class Statement;

// A query's or DML statement's translation and SQLite statement, kept once its handle let go of
// them, so that the next prepare of the same text on the session skips both (Oracle's soft parse).
struct ParsedStatement {
  std::string text;
  uint64_t generation = 0;       // the session's generation when translated
  int64_t data_version = 0;      // the connection's data version when translated
  sql::Translation translation;
  sqlite3_stmt* main = nullptr;  // reset, without bindings; owned while kept
};

struct Server : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_SERVER;
  explicit Server(Environment* env) : Handle(kType, env) {}
  void attach(std::string_view connect_string);
  void detach() { database.reset(); }

  std::shared_ptr<Database> database;  // null while detached
};

// Thread-safe: calls on it are serialised through SessionCallLock, as Oracle's client
// serialises calls on one service context of a threaded environment.
struct Session : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_SESSION;
  explicit Session(Environment* env) : Handle(kType, env) {}
  ~Session() override;

  // Logs on; returns 0 or the warning to report (28002 in the grace period).
  int begin(Server& server, const std::string& user, const std::string& password, uint32_t mode);
  // The text of the warning begin() returned (the grace period names its days).
  std::string warning_text(int warning) const;
  void end();
  // end(), but a killed session, whose server side is already gone, reports
  // the lost connection (ORA-03113, then ORA-03114) after ending.
  void end_reporting_loss();
  void change_password(const std::string& user, const std::string& old_password, const std::string& new_password);

  // Throws ORA-03113 once after a kill, then ORA-03114; ORA-01012 when not logged on.
  void check_alive();
  // A schema the client set goes to the server with its next call, which refuses one that does not
  // exist (ORA-01435) and keeps the schema in force before it.
  void apply_requested_schema();
  void start_write();  // implicit transaction begin at the first DML
  void commit();
  void rollback();
  void savepoint(const std::string& name);
  void rollback_to(const std::string& name);
  void lock_rows(const std::string& table, const std::vector<int64_t>& rowids, bool nowait);
  // After DML ran into another session's row lock: waits for that lock, giving
  // up the write transaction meanwhile when it holds nothing else. False on timeout.
  bool wait_for_conflicting_lock(bool transaction_was_empty);
  // A persistent LOB may be written only in a row this transaction locked, inserted or changed.
  bool may_write_row(const std::string& table, int64_t rowid) const;

  // Statement cache: the idle statement for a key, or nullptr; keep() returns one to it.
  Statement* take_cached(const std::string& key);
  void keep_cached(Statement* statement, std::string key, uint32_t capacity);
  void drop_cache();

  // The kept parse of a text, when the session's settings are those it was made under and no other
  // connection has committed since. Other sessions' DDL may change only dictionary rows (synonyms,
  // stored programs), which the schema cookie misses, so any commit elsewhere forces a fresh parse.
  std::optional<ParsedStatement> take_parsed(const std::string& text);
  // Keeps a parse for the next prepare of its text (the statement is finalized when that cannot be).
  void keep_parsed(ParsedStatement parsed);
  // Changes whenever another connection commits to the file; the session's own DDL moves `generation`.
  int64_t data_version();
  // The object id that rowids of the SQLite table `table` ("OWNER.NAME") carry.
  int64_t rowid_object_id(const std::string& table);

  std::string username;  // OCI_ATTR_USERNAME / PASSWORD as set by the application
  std::string password;

  std::atomic<bool> begun{false};  // read by the kill hook from other threads
  uint64_t id = 0;  // USERENV('SESSIONID'), owner of its row locks
  std::shared_ptr<Database> database;
  std::shared_ptr<Connection> connection;
  sql::SessionContext context;
  bool in_transaction = false;     // DML done or rows locked since the last commit/rollback
  bool write_transaction = false;  // the SQLite write transaction is open
  bool autocommit = false;         // version 7 ocon
  int grace_days = 0;              // days left in the password grace period at logon
  // 0 alive, 1 killed (next call: 03113), 2 gone (03114); the kill hook may set it from any thread.
  std::atomic<int> kill_state{0};
  uint64_t generation = 0;         // bumped when DDL or ALTER SESSION may change translations
  std::optional<std::string> requested_schema;  // OCI_ATTR_CURRENT_SCHEMA set since the last call
  std::vector<std::string> output_lines;  // DBMS_OUTPUT lines not yet read back
  bool output_enabled = false;            // DBMS_OUTPUT.ENABLE
  bool cache_enabled = false;
  uint32_t cache_capacity = 20;  // the service context's OCI_ATTR_STMTCACHESIZE

  // Row touched last by DML (for the rowid after DML), filled by the update hook.
  std::string last_table;
  int64_t last_rowid = 0;
  bool lock_conflict = false;  // DML touched a row another session locked
  std::string conflict_table;  // lock key and rowid of that row
  int64_t conflict_rowid = 0;
  bool watch_locks = false;
  LobState lobs;  // cached and changed LOB values, temporary LOBs
  std::unique_ptr<plsql::TriggerRuntime> triggers;  // runs user triggers on the connection while logged on
  // Stored programs compiled on the connection and the PL/SQL calls running;
  // `sql_calls_host` serves functions that plain SQL calls. Made at logon.
  std::unique_ptr<plsql::CallState> plsql_calls;
  std::unique_ptr<plsql::Host> sql_calls_host;
  // Held for the whole of each client call on the session; recursive because a call
  // re-enters through the PL/SQL host and LOB binds.
  std::recursive_mutex call_mutex;

 private:
  struct Savepoint {
    std::string name;
    uint64_t locks_checkpoint;  // the lock table's checkpoint when it was set
  };
  void end_transaction();  // forgets savepoints and releases every lock
  void drop_parsed();

  std::mutex parsed_mutex_;              // statement handles may be freed from any thread
  std::vector<ParsedStatement> parsed_;  // least recently kept first
  sqlite3_stmt* data_version_query_ = nullptr;
  // The last table rowid_object_id looked up, kept while no DDL here and no
  // commit elsewhere may have dropped and created it again.
  struct RowidObject {
    std::string table;
    int64_t object_id = 0;
    uint64_t generation = 0;
    int64_t data_version = -1;
  };
  std::optional<RowidObject> rowid_object_;

  std::vector<Savepoint> savepoints_;  // oldest first
  struct CachedStatement {
    std::string key;
    Statement* statement;
  };
  std::vector<CachedStatement> cache_;  // least recently used first
};

struct ServiceContext : Handle {
  static constexpr uint32_t kType = OCI_HTYPE_SVCCTX;
  explicit ServiceContext(Environment* env) : Handle(kType, env) {}
  ~ServiceContext() override;

  // The logged-on session; throws ORA-03114 / ORA-01012 otherwise.
  Session& live_session();
  Server* live_server() const;

  Server* server = nullptr;    // as set through OCI_ATTR_SERVER (validated on use)
  Session* session = nullptr;  // OCI_ATTR_SESSION
  void* trans = nullptr;
  uint32_t stmt_cache_size = 20;
  uint32_t call_timeout_ms = 0;  // kept for the application to read back; calls here never run long
  bool made_by_logon = false;  // OCILogon created the server and session: OCILogoff frees them
};

// One client call's hold on a session's call lock; holds nothing for a null session
// or a handle that is not a live service context.
class SessionCallLock {
 public:
  explicit SessionCallLock(Session* session);
  explicit SessionCallLock(const void* service_context);

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

// Lets the session's SQL call stored PL/SQL functions (at logon, on the new connection).
void attach_plsql_calls(Session& session);

std::string server_banner();
void set_oracle7_banner(bool on);

}  // namespace ociemu
