// TOracleSessionPool: lends database connections to sessions whose Pooling is
// spInternal. Each TOracleSessionPoolEntry owns an internal session that holds
// one connection, logged on in the ordinary way (ptDefault) or taken from a
// client-side session pool (ptOracle); the application session shares it.
// DefaultSessionPool is the process-wide pool of sessions without a Pool.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oracle/binding/oci_types.h"
#include "oracle/session/oracle_session.h"
#include "runtime/component.h"
#include "runtime/critical_section.h"
#include "runtime/datetime.h"
#include "runtime/thread_list.h"

namespace kvell {

class TOracleSessionPool;

enum TSessionPoolType { ptDefault, ptOracle };

using TSessionPoolEvent = std::function<void(TOracleSessionPool* Sender)>;
using TSessionPoolSessionEvent = std::function<void(TOracleSessionPool* Sender, TOracleSession* Session)>;

// What an application can read of a pool's use.
struct TSessionPoolCounters {
  int Lent = 0;                   // entries reserved now
  int Idle = 0;                   // entries free now
  int Waiting = 0;                // reservations waiting for a free connection now
  int64_t TotalCreated = 0;       // connections made since the pool was created
  int64_t Waits = 0;              // reservations that found every connection lent
  double LongestWaitMs = 0;       // the longest of those waits, milliseconds
};

// One lent or idle connection. Thread-safe: no; the pool calls it under its
// entry-list lock.
class TOracleSessionPoolEntry {
 public:
  explicit TOracleSessionPoolEntry(TOracleSessionPool& pool) : Pool(pool) {}
  // Releases, then logs the internal session off and frees it; errors ignored.
  ~TOracleSessionPoolEntry();
  TOracleSessionPoolEntry(const TOracleSessionPoolEntry&) = delete;
  TOracleSessionPoolEntry& operator=(const TOracleSessionPoolEntry&) = delete;

  // True when a new connection was made.
  bool Reserve(TOracleSession& session);
  void Release();

  TOracleSessionPool& Pool;
  std::unique_ptr<TOracleSession> PoolSession;  // holds the connection, or none
  TOracleSession* ReservedBy = nullptr;         // not owned
  TDateTime LastReleased = 0;                   // local time
  bool Claimed = false;  // picked by a reservation that is still connecting

 private:
  void drop_lost_connection();
  void connect(TOracleSession& session);
  void drop_client_session();

  OCISvcCtx* client_svc_ = nullptr;  // lent by the client-side pool (ptOracle); not owned
};

// Thread-safe: Reserve, Release, RemoveExpired, Count, Available and Counters
// from any thread. Reservations are serialised; releases take only the entry
// list's lock, so they go on while a reservation waits for a free connection.
// Properties are set while no other thread uses the pool.
class TOracleSessionPool : public TComponent, public TSessionPoolConnector {
 public:
  explicit TOracleSessionPool(TComponent* owner = nullptr);
  ~TOracleSessionPool() override;

  int Max = 0;          // most connections lent at once; below 1: no limit
  int Min = 0;          // idle entries are not dropped below this count
  int TimeOut = 0;      // seconds an entry may stay idle; 0 or less: never dropped by time
  int ReserveTimeOut = 0;  // milliseconds a reservation waits for a free connection; 0: no limit
  TSessionPoolType PoolType = ptDefault;
  std::string LogonUsername, LogonPassword, LogonDatabase;
  bool Homogeneous = false;
  bool StatementCache = false;

  TSessionPoolEvent OnOpen;
  TSessionPoolEvent OnClose;
  TSessionPoolSessionEvent AfterReserve;
  TSessionPoolSessionEvent AfterConnect;
  TSessionPoolSessionEvent BeforeRelease;

  // The local time the pool ages its entries by; tests replace it.
  std::function<TDateTime()> Clock = [] { return Now(); };

  const std::string& PoolName() const { return pool_name_; }
  bool Opened() const { return opened_; }
  TSessionPoolType ActivePoolType() const { return active_pool_type_; }
  bool ActiveHomogeneous() const { return active_homogeneous_; }
  bool ActiveStatementCache() const { return active_statement_cache_; }

  void Open();
  void Close();
  bool Reserve(TOracleSession& session);
  bool Release(TOracleSession* session);
  int Count() const;
  int Available() const;
  void RemoveExpired();
  TSessionPoolCounters Counters() const;

  // Client handles of an open ptOracle pool.
  OCIEnv* EnvironmentHandle() const { return env_; }
  OCIError* ErrorHandle() const { return error_; }
  OCISession* AuthenticationHandle() const { return auth_; }
  // Raises for a failed client call of the pool.
  void Check(sword status);

  // TSessionPoolConnector.
  bool ReserveConnection(TOracleSession& session) override { return Reserve(session); }
  void ReleaseConnection(TOracleSession& session) override { Release(&session); }
  bool PoolStatementCacheInUse() const override { return opened_ && active_statement_cache_; }
  void FireAfterReserve(TOracleSession& session) override;
  void FireAfterConnect(TOracleSession& session) override;
  void FireBeforeRelease(TOracleSession& session) override;

 private:
  friend class TOracleSessionPoolEntry;
  using Entries = std::vector<std::unique_ptr<TOracleSessionPoolEntry>>;
  // Holds the entry list; nests within one thread.
  class ListLock {
   public:
    explicit ListLock(const TOracleSessionPool& pool) : pool_(pool), entries_(pool.entries_.LockList()) {}
    ~ListLock() { pool_.entries_.UnlockList(); }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    Entries& entries() { return entries_; }

   private:
    const TOracleSessionPool& pool_;
    Entries& entries_;
  };

  void open_client_pool();
  void free_client_handles();
  void wait_for_free_connection();
  void note_wait(double waited_ms);
  bool reserve_entry(TOracleSession& session);
  TOracleSessionPoolEntry* find_free_entry(Entries& entries, const TOracleSession& session) const;
  // Removes the entry from the list; the caller frees it.
  static std::unique_ptr<TOracleSessionPoolEntry> take_entry(Entries& entries, TOracleSessionPoolEntry* entry);
  void connection_made();
  void connection_released();

  mutable TThreadList<std::unique_ptr<TOracleSessionPoolEntry>> entries_;
  TOracleCriticalSection reserve_lock_;  // serialises reservations
  bool opened_ = false;
  TSessionPoolType active_pool_type_ = ptDefault;
  bool active_homogeneous_ = false;
  bool active_statement_cache_ = false;
  std::string pool_name_;
  OCIEnv* env_ = nullptr;        // the shared environment or owned
  bool own_env_ = false;
  OCIError* error_ = nullptr;
  OCISPool* spool_ = nullptr;
  OCISession* auth_ = nullptr;

  // Wakes a waiting reservation when a connection comes back, and the counters.
  mutable std::mutex released_mutex_;
  std::condition_variable released_;
  uint64_t release_count_ = 0;   // guarded by released_mutex_
  int waiting_ = 0;              // guarded by released_mutex_
  int64_t total_created_ = 0;    // guarded by released_mutex_
  int64_t waits_ = 0;            // guarded by released_mutex_
  double longest_wait_ms_ = 0;   // guarded by released_mutex_
};

// The process-wide pool of sessions whose Pool is empty; created on first use
// and freed by the start-up module at exit.
TOracleSessionPool& DefaultSessionPool();

constexpr const char* kPoolEntryAlreadyReserved = "Pool entry already reserved";
constexpr const char* kPoolInvalidHandle = "TOracleSessionPool: Invalid handle";
// Followed by the pool's name, the limit and the Max in effect.
constexpr const char* kPoolReserveTimedOut = "No free connection in session pool ";

}  // namespace kvell
