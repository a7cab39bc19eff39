#include "ociemu/api/session.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

#include "ociemu/api/statement.h"
#include "ociemu/api/text_case.h"
#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/dialect.h"

namespace ociemu {
namespace {

// As Oracle's client: ORA_SDTZ names the session zone ('+hh:mi', UTC, OS_TZ), else the machine's.
int client_time_zone() {
  const char* setting = std::getenv("ORA_SDTZ");
  if (setting != nullptr) {
    sql::ZoneParse zone = sql::parse_time_zone(setting);
    if (zone.error == 0) return zone.minutes;
  }
  return sql::current_local_time().zone_minutes;
}

constexpr std::string_view kAdministrator = "SYS";

std::atomic<bool>& oracle7_banner() {
  static std::atomic<bool> on{false};
  return on;
}

// Locks are keyed by the bare table name, the form both FOR UPDATE and the
// update hook can agree on.
std::string lock_key(std::string_view table) {
  size_t dot = table.rfind('.');
  if (dot != std::string_view::npos) table.remove_prefix(dot + 1);
  std::string key(table);
  std::erase(key, '"');
  return upper(key);
}

void on_row_change(void* context, int operation, const char*, const char* table, sqlite3_int64 rowid) {
  auto* session = static_cast<Session*>(context);
  // The row id after DML is the statement's row, not one a trigger body changed.
  if (!session->triggers || !session->triggers->firing()) {
    session->last_table = table;
    session->last_rowid = rowid;
  }
  session->lobs.note_changed(table, rowid);
  if (session->watch_locks && !session->lock_conflict &&
      session->database->locks.held_by_other(session->id, lock_key(table), rowid)) {
    session->lock_conflict = true;
    session->conflict_table = lock_key(table);
    session->conflict_rowid = rowid;
  }
  // Rows another session could see and lock are the updated and deleted ones; new rows stay invisible.
  if (operation != SQLITE_INSERT && !session->lock_conflict)
    session->database->locks.mark_changed(session->id, lock_key(table), rowid);
}

uint64_t next_session_id() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

}  // namespace

void Server::attach(std::string_view connect_string) {
  database = open_database(resolve_connect_string(connect_string));
}

Session::~Session() {
  try {
    end();
  } catch (...) {
    // A failed rollback while freeing cannot be reported; the connection closes anyway.
  }
}

int Session::begin(Server& server, const std::string& user, const std::string& password_text, uint32_t mode) {
  if (!server.database) fail(3114);
  if (begun) end();
  auto candidate = std::make_shared<Connection>(server.database->path);
  sql::install(candidate->db(), &context);
  int warning = 0;
  switch (sql::authenticate(candidate->db(), upper(user), password_text)) {
    case sql::LogonResult::Ok: break;
    case sql::LogonResult::GracePeriod:
      warning = 28002;
      grace_days = sql::grace_days(candidate->db(), upper(user));
      break;
    case sql::LogonResult::Expired: fail(28001);
    case sql::LogonResult::BadPassword: fail(1017);
  }
  // Only SYS holds the administrative privileges in ociemu's databases.
  const bool administrative = (mode & (OCI_SYSDBA | OCI_SYSOPER)) != 0;
  if (administrative && upper(user) != kAdministrator) fail(1031);
  id = next_session_id();
  context.session_id = static_cast<int64_t>(id);
  context.time_zone_minutes = client_time_zone();
  context.user = (mode & OCI_SYSDBA) ? "SYS" : (mode & OCI_SYSOPER) ? "PUBLIC" : upper(user);
  database = server.database;
  connection = std::move(candidate);
  triggers = std::make_unique<plsql::TriggerRuntime>(connection->db(), context, output_lines, output_enabled);
  sqlite3_update_hook(connection->db(), on_row_change, this);
  attach_plsql_calls(*this);
  cache_enabled = cache_enabled || (mode & OCI_STMT_CACHE) != 0;
  begun = true;
  kill_state = 0;
  return warning;
}

std::string Session::warning_text(int warning) const {
  if (warning == 28002) return message_text(warning, {std::to_string(grace_days)});
  return message_text(warning);
}

void Session::end() {
  if (!begun) return;
  begun = false;
  drop_cache();
  drop_parsed();
  lobs.end();
  if (kill_state == 0 && write_transaction) {
    // Ending a session rolls its open transaction back; committing is the application's call.
    connection->exec("ROLLBACK");
  }
  end_transaction();
  sqlite3_update_hook(connection->db(), nullptr, nullptr);
  triggers.reset();
  if (plsql_calls) plsql_calls->forget();
  connection.reset();
  database.reset();
}

void Session::end_reporting_loss() {
  if (begun && kill_state != 0) {
    try {
      check_alive();
    } catch (...) {
      end();
      throw;
    }
  }
  end();
}

void Session::change_password(const std::string& user, const std::string& old_password,
                              const std::string& new_password) {
  if (sql::authenticate(connection->db(), upper(user), old_password) == sql::LogonResult::BadPassword) fail(1017);
  sql::change_password(connection->db(), upper(user), new_password);
}

void Session::check_alive() {
  int killed = 1;
  if (kill_state.compare_exchange_strong(killed, 2)) {
    // The server side of a killed session is gone: its work is lost.
    if (write_transaction) connection->exec("ROLLBACK");
    end_transaction();
    lobs.end();
    fail(3113);
  }
  if (kill_state == 2) fail(3114);
  if (!begun) fail(1012);
}

void Session::apply_requested_schema() {
  if (!requested_schema) return;
  std::string schema = upper(*requested_schema);
  requested_schema.reset();
  if (!schema.empty() && !sql::user_exists(connection->db(), schema)) fail(1435);
  context.current_schema = std::move(schema);
  ++generation;  // names resolve in the new schema from this statement on
}

void Session::start_write() {
  if (!write_transaction) {
    connection->exec("BEGIN IMMEDIATE");
    write_transaction = true;
  }
  in_transaction = true;
}

void Session::commit() {
  if (write_transaction) {
    lobs.flush(*connection);
    connection->exec("COMMIT");
  }
  lobs.discard();
  lobs.end_transaction();
  end_transaction();
}

void Session::rollback() {
  lobs.close_reader();
  if (write_transaction) connection->exec("ROLLBACK");
  lobs.discard();
  lobs.end_transaction();
  end_transaction();
}

void Session::end_transaction() {
  write_transaction = in_transaction = false;
  savepoints_.clear();
  database->locks.release_all(id);
}

void Session::savepoint(const std::string& name) {
  start_write();
  lobs.flush(*connection);
  const std::string key = upper(name);
  connection->exec_kept("SAVEPOINT \"" + key + "\"");
  // A name set again moves the savepoint: the older one is gone.
  std::erase_if(savepoints_, [&](const Savepoint& older) { return older.name == key; });
  savepoints_.push_back({key, database->locks.checkpoint()});
}

void Session::rollback_to(const std::string& name) {
  lobs.discard();
  const std::string key = upper(name);
  std::string text = "ROLLBACK TO SAVEPOINT \"" + key + "\"";
  if (!write_transaction || connection->run_kept(text) != SQLITE_OK) {
    fail(1086, {key});
  }
  // The savepoint stays; later ones go, and so do the row and table locks taken after it.
  auto found = std::find_if(savepoints_.begin(), savepoints_.end(), [&](const Savepoint& s) { return s.name == key; });
  if (found == savepoints_.end()) return;
  database->locks.release_since(id, found->locks_checkpoint);
  savepoints_.erase(std::next(found), savepoints_.end());
}

void Session::lock_rows(const std::string& table, const std::vector<int64_t>& rowids, bool nowait) {
  database->locks.acquire(id, lock_key(table), rowids, nowait);
  in_transaction = true;
}

bool Session::wait_for_conflicting_lock(bool transaction_was_empty) {
  if (transaction_was_empty && write_transaction) {
    // Holding the file's write lock while waiting would keep the lock holder from its own DML.
    connection->exec("ROLLBACK");
    write_transaction = false;
  }
  return database->locks.wait_until_free(id, conflict_table, conflict_rowid);
}

bool Session::may_write_row(const std::string& table, int64_t rowid) const {
  return lobs.changed(table, rowid) || (database->locks.held_by(id, lock_key(table), rowid));
}

Statement* Session::take_cached(const std::string& key) {
  auto found = std::find_if(cache_.begin(), cache_.end(), [&](auto& entry) { return entry.key == key; });
  if (found == cache_.end()) return nullptr;
  Statement* statement = live<Statement>(found->statement);
  cache_.erase(found);
  return statement;
}

void Session::keep_cached(Statement* statement, std::string key, uint32_t capacity) {
  cache_.push_back({std::move(key), statement});
  while (cache_.size() > capacity) {
    Statement* oldest = live<Statement>(cache_.front().statement);
    cache_.erase(cache_.begin());
    if (oldest) oldest->env()->destroy(oldest);
  }
}

void Session::drop_cache() {
  auto entries = std::move(cache_);
  cache_.clear();
  for (auto& entry : entries) {
    if (Statement* statement = live<Statement>(entry.statement)) statement->env()->destroy(statement);
  }
}

namespace {

constexpr size_t kParsedKept = 16;  // distinct texts a session keeps parsed

}  // namespace

std::optional<ParsedStatement> Session::take_parsed(const std::string& text) {
  std::unique_lock lock(parsed_mutex_);
  auto found = std::find_if(parsed_.rbegin(), parsed_.rend(), [&](const ParsedStatement& p) { return p.text == text; });
  if (found == parsed_.rend()) return std::nullopt;
  ParsedStatement parsed = std::move(*found);
  parsed_.erase(std::next(found).base());
  lock.unlock();
  if (parsed.generation == generation && parsed.data_version == data_version()) return parsed;
  sqlite3_finalize(parsed.main);
  return std::nullopt;
}

void Session::keep_parsed(ParsedStatement parsed) {
  sqlite3_reset(parsed.main);
  sqlite3_clear_bindings(parsed.main);
  std::vector<ParsedStatement> evicted;
  {
    std::lock_guard lock(parsed_mutex_);
    if (!begun || kill_state != 0) {
      evicted.push_back(std::move(parsed));
    } else {
      parsed_.push_back(std::move(parsed));
      while (parsed_.size() > kParsedKept) {
        evicted.push_back(std::move(parsed_.front()));
        parsed_.erase(parsed_.begin());
      }
    }
  }
  for (ParsedStatement& gone : evicted) sqlite3_finalize(gone.main);
}

void Session::drop_parsed() {
  std::vector<ParsedStatement> gone;
  {
    std::lock_guard lock(parsed_mutex_);
    gone.swap(parsed_);
  }
  for (ParsedStatement& parsed : gone) sqlite3_finalize(parsed.main);
  sqlite3_finalize(data_version_query_);
  data_version_query_ = nullptr;
}

int64_t Session::data_version() {
  if (data_version_query_ == nullptr &&
      sqlite3_prepare_v2(connection->db(), "PRAGMA data_version", -1, &data_version_query_, nullptr) != SQLITE_OK) {
    return -1;
  }
  int64_t version = sqlite3_step(data_version_query_) == SQLITE_ROW ? sqlite3_column_int64(data_version_query_, 0) : -1;
  sqlite3_reset(data_version_query_);
  return version;
}

// Every DML reports the rowid it touched; looking the table's object up
// prepares a catalogue query, which cost DML a fifth of its time.
int64_t Session::rowid_object_id(const std::string& table) {
  const int64_t version = data_version();
  if (!rowid_object_ || rowid_object_->table != table || rowid_object_->generation != generation ||
      rowid_object_->data_version != version) {
    rowid_object_ = RowidObject{table, sql::table_object_id(connection->db(), table), generation, version};
  }
  return rowid_object_->object_id;
}

ServiceContext::~ServiceContext() {
  if (!made_by_logon) return;
  if (auto* own_session = live<Session>(session)) env()->destroy(own_session);
  if (auto* own_server = live<Server>(server)) env()->destroy(own_server);
}

Session& ServiceContext::live_session() {
  Session* current = live<Session>(session);
  if (current == nullptr) fail(1012);
  current->check_alive();
  return *current;
}

Server* ServiceContext::live_server() const { return live<Server>(server); }

SessionCallLock::SessionCallLock(Session* session) {
  if (session != nullptr) lock_ = std::unique_lock(session->call_mutex);
}

SessionCallLock::SessionCallLock(const void* service_context) {
  auto* svc = live<ServiceContext>(service_context);
  if (svc == nullptr) return;
  if (Session* session = live<Session>(svc->session)) lock_ = std::unique_lock(session->call_mutex);
}

std::string server_banner() {
  if (oracle7_banner()) return "Oracle7 Server Release 7.3.4.0.0 - Production";
  return "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\nVersion 19.3.0.0.0";
}

void set_oracle7_banner(bool on) { oracle7_banner() = on; }

}  // namespace ociemu
