#include "ociemu/api/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ociemu/api/errors.h"
#include "ociemu/api/process_state.h"
#include "ociemu/api/text_case.h"
#include "ociemu/sql/dialect.h"

namespace ociemu {
namespace {

std::string trim(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(begin, end - begin + 1));
}

std::string default_database_path() {
  namespace fs = std::filesystem;
  fs::path dir;
  if (const char* home = std::getenv("OCIEMU_HOME"); home && *home) {
    dir = home;
  } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    dir = fs::path(data) / "ociemu";
  } else if (const char* user_home = std::getenv("HOME"); user_home && *user_home) {
    dir = fs::path(user_home) / ".local" / "share" / "ociemu";
  } else {
    dir = fs::temp_directory_path() / "ociemu";
  }
  std::error_code ignored;
  fs::create_directories(dir, ignored);
  return (dir / "default.db").string();
}

std::string lookup_alias(const std::string& name) {
  const char* file = std::getenv("OCIEMU_ALIASES");
  if (file == nullptr || *file == 0) fail(12154);
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    if (upper(trim(line.substr(0, eq))) == upper(name)) return trim(line.substr(eq + 1));
  }
  fail(12154);
}

}  // namespace

std::string resolve_connect_string(std::string_view connect_string) {
  std::string text = trim(connect_string);
  if (text.empty()) return default_database_path();
  bool is_path = text.find('/') != std::string::npos ||
                 (text.size() > 3 && text.compare(text.size() - 3, 3, ".db") == 0);
  return is_path ? text : lookup_alias(text);
}

std::chrono::milliseconds lock_wait_limit() {
  if (const char* value = std::getenv("OCIEMU_LOCK_TIMEOUT_MS"); value && *value) {
    return std::chrono::milliseconds(std::atol(value));
  }
  return std::chrono::milliseconds(10000);
}

bool LockTable::conflicts(uint64_t owner, const std::string& table, const std::vector<int64_t>& rowids) const {
  auto found = tables_.find(table);
  if (found == tables_.end()) return false;
  const TableLocks& locks = found->second;
  auto held_by_other = [owner](const Holder& holder) { return holder.owner != 0 && holder.owner != owner; };
  if (held_by_other(locks.table)) return true;
  if (rowids.empty()) {
    return std::any_of(locks.rows.begin(), locks.rows.end(), [&](auto& row) { return held_by_other(row.second); });
  }
  return std::any_of(rowids.begin(), rowids.end(), [&](int64_t rowid) {
    auto row = locks.rows.find(rowid);
    return row != locks.rows.end() && held_by_other(row->second);
  });
}

void LockTable::take(Holder& holder, uint64_t owner) {
  if (holder.owner == owner) return;
  holder = {owner, next_sequence_++};
}

void LockTable::acquire(uint64_t owner, const std::string& table, const std::vector<int64_t>& rowids,
                        bool nowait) {
  std::unique_lock lock(mutex_);
  auto deadline = std::chrono::steady_clock::now() + lock_wait_limit();
  while (conflicts(owner, table, rowids)) {
    if (nowait || released_.wait_until(lock, deadline) == std::cv_status::timeout) {
      if (conflicts(owner, table, rowids)) fail(54);
    }
  }
  TableLocks& locks = tables_[table];
  if (rowids.empty()) take(locks.table, owner);
  for (int64_t rowid : rowids) take(locks.rows[rowid], owner);
}

bool LockTable::held_by_other(uint64_t owner, const std::string& table, int64_t rowid) const {
  std::lock_guard lock(mutex_);
  return conflicts(owner, table, {rowid});
}

void LockTable::mark_changed(uint64_t owner, const std::string& table, int64_t rowid) {
  std::lock_guard lock(mutex_);
  TableLocks& locks = tables_[table];
  if (locks.table.owner != 0 && locks.table.owner != owner) return;
  Holder& row = locks.rows[rowid];
  if (row.owner == 0) take(row, owner);
}

bool LockTable::held_by(uint64_t owner, const std::string& table, int64_t rowid) const {
  std::lock_guard lock(mutex_);
  auto found = tables_.find(table);
  if (found == tables_.end()) return false;
  if (found->second.table.owner == owner) return true;
  auto row = found->second.rows.find(rowid);
  return row != found->second.rows.end() && row->second.owner == owner;
}

bool LockTable::wait_until_free(uint64_t owner, const std::string& table, int64_t rowid) {
  std::unique_lock lock(mutex_);
  return released_.wait_for(lock, lock_wait_limit(), [&] { return !conflicts(owner, table, {rowid}); });
}

void LockTable::release_all(uint64_t owner) { release_since(owner, 0); }

uint64_t LockTable::checkpoint() const {
  std::lock_guard lock(mutex_);
  return next_sequence_;
}

void LockTable::release_since(uint64_t owner, uint64_t checkpoint) {
  auto released = [&](const Holder& holder) { return holder.owner == owner && holder.since >= checkpoint; };
  {
    std::lock_guard lock(mutex_);
    for (auto it = tables_.begin(); it != tables_.end();) {
      TableLocks& locks = it->second;
      if (released(locks.table)) locks.table = {};
      std::erase_if(locks.rows, [&](auto& row) { return released(row.second); });
      it = (locks.table.owner == 0 && locks.rows.empty()) ? tables_.erase(it) : std::next(it);
    }
  }
  released_.notify_all();
}

bool LockTable::empty() const {
  std::lock_guard lock(mutex_);
  return tables_.empty();
}

namespace {

struct OpenDatabases {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<Database>> by_path;  // canonical path -> the shared state
};

}  // namespace

std::shared_ptr<Database> open_database(const std::string& path) {
  auto& databases = process_state<OpenDatabases>();
  auto* open = &databases.by_path;
  std::lock_guard lock(databases.mutex);
  std::error_code error;
  std::string key = std::filesystem::weakly_canonical(path, error).string();
  if (error) key = path;
  if (auto existing = (*open)[key].lock()) return existing;

  bool is_new = !std::filesystem::exists(path) || std::filesystem::file_size(path, error) == 0;
  if (is_new) {
    // Every new file starts with the demo account, so that a test or an
    // example can log on to a database it has just named.
    Connection setup(path);
    sql::SessionContext context;
    sql::install(setup.db(), &context);
    sql::create_demo_schema(setup.db());
  }
  auto database = std::make_shared<Database>();
  database->path = path;
  (*open)[key] = database;
  return database;
}

namespace {

// SQLite's allocation statistics take one process-wide mutex on every allocation,
// which serialises sessions fetching on separate connections; nothing here reads them.
// Effective only when ociemu is the first to initialise SQLite in the process.
void configure_sqlite_once() {
  static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)configured;
}

// Runs a prepared statement to its end and leaves it ready to run again.
int step_once(sqlite3_stmt* statement) {
  int stepped = sqlite3_step(statement);
  while (stepped == SQLITE_ROW) stepped = sqlite3_step(statement);
  const int rc = sqlite3_reset(statement);
  return stepped == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

Connection::Connection(const std::string& path) {
  configure_sqlite_once();
  int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close_v2(db_);
    db_ = nullptr;
    // Oracle's text names no cause; the reason SQLite gave helps whoever reads it.
    throw OracleException{{12545, message_text(12545) + " (" + reason + ")", 0}};
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, static_cast<int>(lock_wait_limit().count()));
  exec("PRAGMA journal_mode=WAL");
  exec("PRAGMA synchronous=NORMAL");
  exec("PRAGMA temp_store=MEMORY");
  exec("PRAGMA foreign_keys=ON");
  // Freed pages keep their old bytes, as Oracle's freed blocks do: zeroing and rewriting every
  // page of a replaced LOB would double the work of rewriting it.
  exec("PRAGMA secure_delete=FAST");
}

Connection::~Connection() {
  for (const KeptStatement& kept : kept_) sqlite3_finalize(kept.statement);
  drop_recycled();
  sqlite3_close_v2(db_);
}

sqlite3_stmt* Connection::find_kept(std::string_view sql) {
  for (KeptStatement& kept : kept_) {
    if (kept.text == sql) {
      kept.last_use = ++uses_;
      return kept.statement;
    }
  }
  return nullptr;
}

void Connection::keep(std::string_view sql, sqlite3_stmt* statement, bool fixed) {
  if (fixed) {
    ++fixed_count_;
  } else if (kept_.size() - fixed_count_ == kKeptLimit) {
    auto oldest = kept_.end();
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
      if (!it->fixed && (oldest == kept_.end() || it->last_use < oldest->last_use)) oldest = it;
    }
    sqlite3_finalize(oldest->statement);
    kept_.erase(oldest);
  }
  kept_.push_back(KeptStatement{std::string(sql), statement, fixed, ++uses_});
}

int Connection::run_kept(const std::string& sql) {
  sqlite3_stmt* statement = find_kept(sql);
  if (statement == nullptr) {
    const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
    if (rc != SQLITE_OK) return rc;
    keep(sql, statement, false);
  }
  return step_once(statement);
}

sqlite3_stmt* Connection::fixed_statement(const char* sql) {
  if (sqlite3_stmt* statement = find_kept(sql)) return statement;
  if (fixed_count_ == kFixedLimit) return nullptr;
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &statement, &tail) != SQLITE_OK || statement == nullptr || *tail != '\0') {
    sqlite3_finalize(statement);
    return nullptr;
  }
  keep(sql, statement, true);
  return statement;
}

void Connection::recycle_table(const std::string& quoted_name) {
  // Another connection of the file may have recycled under the same number: take the next.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string recycled = "\"OCIEMU$RECYCLED$" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "$" +
                                 std::to_string(++recycled_count_) + "\"";
    const std::string rename = "ALTER TABLE " + quoted_name + " RENAME TO " + recycled;
    const int rc = sqlite3_exec(db_, rename.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return recycled_.push_back(recycled);
    if (sqlite3_get_autocommit(db_) == 0 || std::string_view(sqlite3_errmsg(db_)).find("already") == std::string_view::npos)
      check(rc);
  }
  fail(54);
}

void Connection::drop_recycled() {
  std::erase_if(recycled_, [this](const std::string& name) {
    return sqlite3_exec(db_, ("DROP TABLE IF EXISTS " + name).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  });
}

void Connection::exec(const char* sql) {
  sqlite3_stmt* statement = fixed_statement(sql);
  check(statement ? step_once(statement) : sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

void Connection::exec_kept(const std::string& sql) { check(run_kept(sql)); }

void Connection::check(int rc) {
  if (rc == SQLITE_OK) return;
  if ((rc & 0xff) == SQLITE_BUSY) fail(54);
  throw OracleException{sql::map_sqlite_error(db_, rc)};
}

}  // namespace ociemu
