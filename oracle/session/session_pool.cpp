#include "oracle/session/session_pool.h"

#include "oracle/binding/client_loader.h"
#include "oracle/binding/entry_tables.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/kvell_init.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_error.h"
#include "runtime/ansi_case.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

constexpr ub4 OCI_HTYPE_SPOOL = 27;
constexpr ub4 OCI_SPC_HOMOGENEOUS = 2;
constexpr ub4 OCI_SPC_STMTCACHE = 4;
constexpr ub4 OCI_SPD_FORCE = 1;
constexpr ub4 OCI_SESSGET_SPOOL = 1;
constexpr ub4 OCI_SESSRLS_DROPSESS = 1;
constexpr ub4 kPoolMaxSessions = 2147483647;
constexpr double kSecondsPerDay = 86400.0;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

OraText* as_oratext(const std::string& text) {
  return reinterpret_cast<OraText*>(const_cast<char*>(text.c_str()));
}
ub4 length_of(const std::string& text) { return static_cast<ub4>(text.size()); }

// Holds the reservation lock for one reservation.
class ReserveGuard {
 public:
  explicit ReserveGuard(TOracleCriticalSection& section) : section_(section) { section_.Enter(); }
  ~ReserveGuard() { section_.Leave(); }
  ReserveGuard(const ReserveGuard&) = delete;
  ReserveGuard& operator=(const ReserveGuard&) = delete;

 private:
  TOracleCriticalSection& section_;
};

template <class Event, class... Args>
void fire_swallowing(const Event& event, Args... args) {
  if (!event) return;
  try {
    event(args...);
  } catch (...) {
    // A handler's failure does not undo what the pool or the session did.
  }
}

}  // namespace

// ---- entries ----

TOracleSessionPoolEntry::~TOracleSessionPoolEntry() {
  try {
    Release();
  } catch (...) {
    // The entry goes anyway.
  }
  if (PoolSession) {
    try {
      PoolSession->LogOff();
    } catch (...) {
      // The connection goes anyway.
    }
    PoolSession.reset();
  }
  drop_client_session();
}

bool TOracleSessionPoolEntry::Reserve(TOracleSession& session) {
  if (ReservedBy) throw Exception(kPoolEntryAlreadyReserved);
  bool made = false;
  if (PoolSession && PoolSession->VerifyConnection(false) == 1) drop_lost_connection();
  if (!PoolSession) {
    connect(session);
    made = true;
  }
  PoolSession->ShareConnection(session);
  TOracleSessionPool::ListLock lock(Pool);  // other threads read the two fields under it
  ReservedBy = &session;
  Claimed = false;
  return made;
}

void TOracleSessionPoolEntry::Release() {
  if (!ReservedBy) return;
  TOracleSession* session = ReservedBy;
  ReservedBy = nullptr;
  try {
    // A session that is logging off calls back here once its connection is handed back.
    if (session->Connected()) session->LogOff();
  } catch (...) {
    LastReleased = Pool.Clock();
    Pool.connection_released();
    throw;
  }
  LastReleased = Pool.Clock();
  Pool.connection_released();
}

void TOracleSessionPoolEntry::drop_lost_connection() {
  drop_client_session();
  PoolSession.reset();
}

void TOracleSessionPoolEntry::drop_client_session() {
  if (!client_svc_) return;
  OCISvcCtx* svc = client_svc_;
  client_svc_ = nullptr;
  if (Pool.error_) OCISessionRelease(svc, Pool.error_, nullptr, 0, OCI_SESSRLS_DROPSESS);
}

void TOracleSessionPoolEntry::connect(TOracleSession& session) {
  auto internal = std::make_unique<TOracleSession>();
  internal->LendingPool = &Pool;
  internal->SetLogonUsername(session.LogonUsername());
  internal->SetLogonPassword(session.LogonPassword());
  internal->SetLogonDatabase(session.LogonDatabase());
  internal->ConnectAs = session.ConnectAs;
  internal->Cursor = session.Cursor;
  internal->SetBytesPerCharacter(session.BytesPerCharacter());
  internal->SetIsolationLevel(session.IsolationLevel());
  internal->SetOptimizerGoal(session.OptimizerGoal());
  internal->SetPreferences(session.Preferences());
  internal->SetSQLTrace(session.SQLTrace());
  internal->SetThreadSafe(session.ThreadSafe());
  if (Pool.active_pool_type_ == ptOracle) {
    OCISession* auth = Pool.auth_;
    Pool.Check(OCIAttrSet(auth, OCI_HTYPE_SESSION, as_oratext(session.LogonUsername()),
                          length_of(session.LogonUsername()), OCI_ATTR_USERNAME, Pool.error_));
    Pool.Check(OCIAttrSet(auth, OCI_HTYPE_SESSION, as_oratext(session.LogonPassword()),
                          length_of(session.LogonPassword()), OCI_ATTR_PASSWORD, Pool.error_));
    OCISvcCtx* svc = nullptr;
    OraText* tag = nullptr;
    ub4 tag_length = 0;
    boolean found = 0;
    Pool.Check(OCISessionGet(Pool.env_, Pool.error_, &svc, auth, as_oratext(Pool.pool_name_),
                             length_of(Pool.pool_name_), nullptr, 0, &tag, &tag_length, &found, OCI_SESSGET_SPOOL));
    client_svc_ = svc;
    try {
      internal->SetExternalSVC(svc);
    } catch (...) {
      drop_client_session();
      throw;
    }
  } else {
    internal->LogOn();
  }
  PoolSession = std::move(internal);
  Pool.connection_made();
}

// ---- the pool ----

TOracleSessionPool::TOracleSessionPool(TComponent* owner) : TComponent(owner) {}

TOracleSessionPool::~TOracleSessionPool() {
  {
    ListLock lock(*this);
    Entries& entries = lock.entries();
    while (!entries.empty()) {
      std::unique_ptr<TOracleSessionPoolEntry> last = std::move(entries.back());
      entries.pop_back();
      last.reset();
    }
  }
  try {
    Close();
  } catch (...) {
    // Nothing to report to while the pool goes.
  }
}

void TOracleSessionPool::Check(sword status) {
  if (status == OCI_INVALID_HANDLE) throw Exception(kPoolInvalidHandle);
  if (status == OCI_ERROR) RaiseOracleError(nullptr, OracleErrorSource{error_, 0}, this);
}

void TOracleSessionPool::Open() {
  ListLock lock(*this);
  if (opened_) return;
  active_pool_type_ = PoolType;
  active_homogeneous_ = Homogeneous;
  active_statement_cache_ = StatementCache;
  if (active_pool_type_ == ptOracle) {
    InitOCI();
    if (OCI92Available)
      open_client_pool();
    else
      active_pool_type_ = ptDefault;
  }
  opened_ = true;
  fire_swallowing(OnOpen, this);
}

void TOracleSessionPool::open_client_pool() {
  try {
    if (SharedEnvHandle) {
      env_ = SharedEnvHandle;
    } else {
      own_env_ = true;
      sword status = OCIEnvCreate(&env_, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
      if (status != OCI_SUCCESS) throw Exception(kPoolInvalidHandle);
    }
    auto allocate = [this](auto*& handle, ub4 type) {
      void* made = nullptr;
      if (OCIHandleAlloc(env_, &made, type, 0, nullptr) != OCI_SUCCESS) throw Exception(kPoolInvalidHandle);
      handle = static_cast<std::remove_reference_t<decltype(*handle)>*>(made);
    };
    allocate(error_, OCI_HTYPE_ERROR);
    allocate(spool_, OCI_HTYPE_SPOOL);
    allocate(auth_, OCI_HTYPE_SESSION);
    const ub4 mode = (active_homogeneous_ ? OCI_SPC_HOMOGENEOUS : 0) | (active_statement_cache_ ? OCI_SPC_STMTCACHE : 0);
    OraText* name = nullptr;
    ub4 name_length = 0;
    Check(OCISessionPoolCreate(env_, error_, spool_, &name, &name_length, as_oratext(LogonDatabase),
                               length_of(LogonDatabase), 0, kPoolMaxSessions, 1, as_oratext(LogonUsername),
                               length_of(LogonUsername), as_oratext(LogonPassword), length_of(LogonPassword), mode));
    pool_name_.assign(reinterpret_cast<const char*>(name), name_length);
  } catch (...) {
    free_client_handles();
    throw;
  }
}

void TOracleSessionPool::Close() {
  ListLock lock(*this);
  if (!opened_) return;
  fire_swallowing(OnClose, this);
  if (active_pool_type_ == ptOracle) {
    // Destroying the client pool ends its sessions, so the entries holding them go first.
    Entries& entries = lock.entries();
    while (!entries.empty()) {
      std::unique_ptr<TOracleSessionPoolEntry> last = std::move(entries.back());
      entries.pop_back();
      last.reset();
    }
    sword status = OCISessionPoolDestroy(spool_, error_, OCI_SPD_FORCE);
    try {
      Check(status);
    } catch (...) {
      free_client_handles();
      pool_name_.clear();
      opened_ = false;
      throw;
    }
    free_client_handles();
  }
  pool_name_.clear();
  opened_ = false;
}

void TOracleSessionPool::free_client_handles() {
  if (spool_) OCIHandleFree(spool_, OCI_HTYPE_SPOOL);
  if (auth_) OCIHandleFree(auth_, OCI_HTYPE_SESSION);
  if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  if (own_env_ && env_) OCIHandleFree(env_, OCI_HTYPE_ENV);
  spool_ = nullptr;
  auth_ = nullptr;
  error_ = nullptr;
  env_ = nullptr;
  own_env_ = false;
}

bool TOracleSessionPool::Reserve(TOracleSession& session) {
  bool made = false;
  {
    ReserveGuard guard(reserve_lock_);
    if (PoolType == ptOracle && !Homogeneous && !opened_ && LogonDatabase.empty())
      LogonDatabase = session.LogonDatabase();
    Open();
    wait_for_free_connection();
    if (active_homogeneous_) {
      session.SetLogonUsername(LogonUsername);
      session.SetLogonPassword(LogonPassword);
      session.SetLogonDatabase(LogonDatabase);
    }
    made = reserve_entry(session);
  }
  RemoveExpired();
  return made;
}

void TOracleSessionPool::wait_for_free_connection() {
  if (Max < 1 || Available() > 0) return;
  const auto start = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(released_mutex_);
    ++waiting_;
  }
  struct WaitingMark {
    TOracleSessionPool& pool;
    ~WaitingMark() {
      std::lock_guard lock(pool.released_mutex_);
      --pool.waiting_;
    }
  } mark{*this};
  auto waited_ms = [&] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  };
  // The release counter is read before the test, so a release between the
  // two ends the wait at once; released_mutex_ is never held with the list lock.
  for (;;) {
    uint64_t seen = 0;
    {
      std::lock_guard lock(released_mutex_);
      seen = release_count_;
    }
    if (Max < 1 || Available() > 0) break;
    const double waited = waited_ms();
    if (ReserveTimeOut > 0 && waited >= ReserveTimeOut) {
      note_wait(waited);
      throw Exception(kPoolReserveTimedOut + (Name().empty() ? std::string("(unnamed)") : Name()) + " within " +
                      std::to_string(ReserveTimeOut) + " ms (Max " + std::to_string(Max) + ")");
    }
    std::unique_lock lock(released_mutex_);
    released_.wait_for(lock, kPollInterval, [&] { return release_count_ != seen; });
  }
  note_wait(waited_ms());
}

void TOracleSessionPool::note_wait(double waited_ms) {
  std::lock_guard lock(released_mutex_);
  ++waits_;
  if (waited_ms > longest_wait_ms_) longest_wait_ms_ = waited_ms;
}

bool TOracleSessionPool::reserve_entry(TOracleSession& session) {
  TOracleSessionPoolEntry* entry = nullptr;
  {
    ListLock lock(*this);
    Entries& entries = lock.entries();
    entry = find_free_entry(entries, session);
    if (!entry) {
      entries.push_back(std::make_unique<TOracleSessionPoolEntry>(*this));
      entry = entries.back().get();
    }
    entry->Claimed = true;
  }
  // The connection is made outside the list lock: a thread-safe session's
  // release runs under the client's logon lock and then takes the list lock.
  try {
    return entry->Reserve(session);
  } catch (...) {
    std::unique_ptr<TOracleSessionPoolEntry> failed;
    {
      ListLock lock(*this);
      failed = take_entry(lock.entries(), entry);
    }
    throw;
  }
}

TOracleSessionPoolEntry* TOracleSessionPool::find_free_entry(Entries& entries, const TOracleSession& session) const {
  for (auto& entry : entries) {
    if (entry->ReservedBy || entry->Claimed) continue;
    if (active_pool_type_ == ptOracle) return entry.get();
    const TOracleSession* internal = entry->PoolSession.get();
    if (internal && AnsiSameText(internal->LogonUsername(), session.LogonUsername()) &&
        AnsiSameText(internal->LogonDatabase(), session.LogonDatabase()))
      return entry.get();
  }
  return nullptr;
}

std::unique_ptr<TOracleSessionPoolEntry> TOracleSessionPool::take_entry(Entries& entries,
                                                                     TOracleSessionPoolEntry* entry) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->get() != entry) continue;
    std::unique_ptr<TOracleSessionPoolEntry> taken = std::move(*it);
    entries.erase(it);
    return taken;
  }
  return nullptr;
}

bool TOracleSessionPool::Release(TOracleSession* session) {
  if (!session) return false;
  bool held = false;
  // Dropped entries are freed once the list is unlocked: freeing logs their
  // connections off, which may wait for the client's logon lock, and a
  // thread holding that lock may be waiting for the list.
  std::vector<std::unique_ptr<TOracleSessionPoolEntry>> dropped;
  {
    ListLock lock(*this);
    Entries& entries = lock.entries();
    for (size_t index = entries.size(); index-- > 0;) {
      if (index >= entries.size() || entries[index]->ReservedBy != session) continue;
      held = true;
      TOracleSessionPoolEntry* entry = entries[index].get();
      entry->Release();
      if (TimeOut < 1 && Min > 0 && Count() > Min) dropped.push_back(take_entry(entries, entry));
    }
  }
  dropped.clear();
  RemoveExpired();
  return held;
}

int TOracleSessionPool::Count() const { return entries_.Count(); }

int TOracleSessionPool::Available() const {
  ListLock lock(*this);
  int reserved = 0;
  for (auto& entry : lock.entries())
    if (entry->ReservedBy || entry->Claimed) ++reserved;
  return Max - reserved;
}

void TOracleSessionPool::RemoveExpired() {
  if (TimeOut <= 0) return;
  std::vector<std::unique_ptr<TOracleSessionPoolEntry>> expired;  // freed unlocked, as in Release
  {
    ListLock lock(*this);
    Entries& entries = lock.entries();
    const TDateTime limit = Clock() - TimeOut / kSecondsPerDay;
    for (size_t index = entries.size(); index-- > 0;) {
      if (static_cast<int>(entries.size()) <= Min) break;
      TOracleSessionPoolEntry* entry = entries[index].get();
      if (!entry->ReservedBy && !entry->Claimed && entry->LastReleased < limit)
        expired.push_back(take_entry(entries, entry));
    }
  }
}

TSessionPoolCounters TOracleSessionPool::Counters() const {
  TSessionPoolCounters counters;
  {
    ListLock lock(*this);
    for (auto& entry : lock.entries()) {
      if (entry->ReservedBy || entry->Claimed)
        ++counters.Lent;
      else
        ++counters.Idle;
    }
  }
  std::lock_guard lock(released_mutex_);
  counters.TotalCreated = total_created_;
  counters.Waits = waits_;
  counters.Waiting = waiting_;
  counters.LongestWaitMs = longest_wait_ms_;
  return counters;
}

void TOracleSessionPool::connection_made() {
  std::lock_guard lock(released_mutex_);
  ++total_created_;
}

void TOracleSessionPool::connection_released() {
  {
    std::lock_guard lock(released_mutex_);
    ++release_count_;
  }
  released_.notify_all();
}

void TOracleSessionPool::FireAfterReserve(TOracleSession& session) { fire_swallowing(AfterReserve, this, &session); }
void TOracleSessionPool::FireAfterConnect(TOracleSession& session) { fire_swallowing(AfterConnect, this, &session); }
void TOracleSessionPool::FireBeforeRelease(TOracleSession& session) { fire_swallowing(BeforeRelease, this, &session); }

// ---- the process-wide pool ----

TOracleSessionPool& DefaultSessionPool() {
  return KvellSlot(ProcessObject::DefaultSessionPool).Get<TOracleSessionPool>();
}

TSessionPoolConnector* DefaultSessionPoolConnector() {
  // At exit the slot is released; a session logging off then has no pool to hand back to.
  if (KvellShutDownDone()) return nullptr;
  return &DefaultSessionPool();
}

}  // namespace kvell
