// Database files and what sessions on one file share: the path a connect
// string names, the per-process lock table of SELECT ... FOR UPDATE, and the
// SQLite connection each session opens on the file (WAL mode).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ociemu {

// The file a connect string names: empty = the default database, a text with
// '/' or ending in ".db" = a path, anything else = an alias. Throws ORA-12154.
std::string resolve_connect_string(std::string_view connect_string);

// How long a session waits for another session's lock (row lock or the
// database's single writer) before giving up with ORA-00054.
std::chrono::milliseconds lock_wait_limit();

// Row and table locks of FOR UPDATE and of rows changed by DML, held until the owner's transaction ends.
// Thread-safe: yes.
class LockTable {
 public:
  // Locks the rows (or the whole table when rowids is empty) for owner.
  // Conflicts fail at once with ORA-00054 under nowait, else after lock_wait_limit().
  void acquire(uint64_t owner, const std::string& table, const std::vector<int64_t>& rowids, bool nowait);
  // True when another owner holds the row or its table.
  bool held_by_other(uint64_t owner, const std::string& table, int64_t rowid) const;
  // Records a row owner's DML changed, so others' FOR UPDATE waits (or NOWAIT fails) until it ends.
  // A row another owner holds is left to the conflict check.
  void mark_changed(uint64_t owner, const std::string& table, int64_t rowid);
  // True when owner itself holds the row or its table.
  bool held_by(uint64_t owner, const std::string& table, int64_t rowid) const;
  // Waits until no other owner holds the row; false after lock_wait_limit().
  bool wait_until_free(uint64_t owner, const std::string& table, int64_t rowid);
  void release_all(uint64_t owner);
  // A mark to pass to release_since(): locks taken from now on are newer than it.
  uint64_t checkpoint() const;
  // Releases owner's locks taken at or after the checkpoint (ROLLBACK TO SAVEPOINT).
  void release_since(uint64_t owner, uint64_t checkpoint);
  bool empty() const;

 private:
  struct Holder {
    uint64_t owner = 0;  // 0: nobody
    uint64_t since = 0;  // when owner took it, in checkpoint() numbers
  };
  struct TableLocks {
    Holder table;
    std::unordered_map<int64_t, Holder> rows;  // by rowid
  };
  // Gives owner the lock unless it holds it already, keeping the time it first took it.
  void take(Holder& holder, uint64_t owner);
  bool conflicts(uint64_t owner, const std::string& table, const std::vector<int64_t>& rowids) const;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, TableLocks> tables_;
  uint64_t next_sequence_ = 1;  // numbers the locks in the order they are taken
};

// One database file, shared by every session attached to it in this process.
struct Database {
  std::string path;
  LockTable locks;
};

// The Database for a file, created (with the demo schema) when the file is new.
std::shared_ptr<Database> open_database(const std::string& path);

// A SQLite connection owned by one session. Statements keep it alive while
// they hold prepared statements on it. Thread-safe: no.
class Connection {
 public:
  explicit Connection(const std::string& path);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* db() const { return db_; }
  // Runs SQL without results; throws the mapped Oracle error. Meant for the fixed
  // texts that frame every statement (BEGIN, COMMIT, internal savepoints): a single
  // statement is prepared once and kept.
  void exec(const char* sql);
  // The same for a text run again and again (savepoints by name): its
  // statement is prepared once. Returns SQLite's result code instead of throwing.
  int run_kept(const std::string& sql);
  void exec_kept(const std::string& sql);
  // The statement of a fixed text, prepared at first use and finalized with the connection;
  // nullptr when it is no single statement or too many texts are kept. Callers reset it.
  sqlite3_stmt* kept_statement(const char* sql) { return fixed_statement(sql); }

  // SQLite cannot drop a table while any statement of the connection is reading, where Oracle
  // lets an open cursor on another table go on: such a table is renamed out of the way instead,
  // and dropped by drop_recycled once no statement reads (the next DDL, or the close).
  void recycle_table(const std::string& quoted_name);
  void drop_recycled();

 private:
  // A statement prepared once for a text run again and again.
  struct KeptStatement {
    std::string text;
    sqlite3_stmt* statement = nullptr;
    bool fixed = false;     // a text of exec: kept for the connection's life
    uint64_t last_use = 0;  // of the others, the least recently used goes first
  };
  // Throws the Oracle error of a SQLite result code other than SQLITE_OK.
  void check(int rc);
  // The kept statement of a text, marked used; null when none is kept.
  sqlite3_stmt* find_kept(std::string_view sql);
  // The kept statement of a fixed text, prepared at first use; null when the text is
  // not a single statement or too many texts are kept already.
  sqlite3_stmt* fixed_statement(const char* sql);
  void keep(std::string_view sql, sqlite3_stmt* statement, bool fixed);
  static constexpr size_t kKeptLimit = 8;    // savepoints by name
  static constexpr size_t kFixedLimit = 24;  // fixed texts
  sqlite3* db_ = nullptr;
  std::vector<KeptStatement> kept_;
  size_t fixed_count_ = 0;
  uint64_t uses_ = 0;
  std::vector<std::string> recycled_;  // quoted names of renamed tables still to drop
  int recycled_count_ = 0;
};

}  // namespace ociemu
