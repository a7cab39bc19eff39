// TOracleSession::LogOn and LogOff through both client interfaces, with
// pooled, MTS and shared connections.
#include <array>
#include <cstring>
#include <optional>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/binding/entry_tables.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_monitor.h"
#include "runtime/ansi_case.h"

namespace kvell {
namespace {

constexpr int kPasswordWillExpire = 28002;
constexpr int kPasswordInGracePeriod = 28011;
constexpr size_t kServerVersionSize = 501;
constexpr const char* kODBCClientLibrary = "ora73.dll";
constexpr const char* kServerVersionMarkers[] = {"ORACLE8", "ORACLE9", "RELEASE 1"};

// OCICriticalSection for a thread-safe session's logon or logoff.
class ThreadSafeLogonLock {
 public:
  explicit ThreadSafeLogonLock(bool thread_safe) : held_(thread_safe) {
    if (held_) OCICriticalSection().Enter();
  }
  ~ThreadSafeLogonLock() {
    if (held_) OCICriticalSection().Leave();
  }
  ThreadSafeLogonLock(const ThreadSafeLogonLock&) = delete;
  ThreadSafeLogonLock& operator=(const ThreadSafeLogonLock&) = delete;

 private:
  bool held_;
};

const OraText* as_oratext(const std::string& text) { return reinterpret_cast<const OraText*>(text.c_str()); }

}  // namespace

// The OCI8 steps of a logon, kept apart from the flow of LogOn itself.
class LogonSteps {
 public:
  explicit LogonSteps(TOracleSession& session) : s_(session) {}

  void PrepareHandles() {
    if (!s_.env_) create_environment();
    allocate(s_.svc_, OCI_HTYPE_SVCCTX);
    allocate(s_.server_, OCI_HTYPE_SERVER);
    allocate(s_.error_, OCI_HTYPE_ERROR);
    allocate(s_.error2_, OCI_HTYPE_ERROR);
    allocate(s_.user_session_, OCI_HTYPE_SESSION);
    if (s_.server_attached_) {
      s_.server_attached_ = false;
      OCIServerDetach(s_.server_, s_.error_, OCI_DEFAULT);
    }
    const std::string& database = s_.logon_database_;
    s_.Check(OCIServerAttach(s_.server_, s_.error_, as_oratext(database), static_cast<sb4>(database.size()), OCI_DEFAULT));
    s_.server_attached_ = true;
    s_.Check(OCIAttrSet(s_.svc_, OCI_HTYPE_SVCCTX, s_.server_, 0, OCI_ATTR_SERVER, s_.error_));
    s_.Check(OCIAttrSet(s_.svc_, OCI_HTYPE_SVCCTX, s_.user_session_, 0, OCI_ATTR_SESSION, s_.error_));
  }

  sword BeginSession(ub4 mode) {
    const std::string& user = s_.logon_username_;
    const std::string& password = s_.logon_password_;
    if (user.empty() && password.empty())
      return OCISessionBegin(s_.svc_, s_.error_, s_.user_session_, OCI_CRED_EXT, mode);
    set_text(OCI_ATTR_USERNAME, user);
    set_text(OCI_ATTR_PASSWORD, password);
    return OCISessionBegin(s_.svc_, s_.error_, s_.user_session_, OCI_CRED_RDBMS, mode);
  }

  // An Oracle 7 server is talked to through a logon data area made from the service context.
  void CheckServerVersion() {
    std::array<char, kServerVersionSize> banner{};
    s_.Check(OCIServerVersion(s_.server_, s_.error_, reinterpret_cast<OraText*>(banner.data()),
                              static_cast<ub4>(banner.size()), static_cast<ub1>(OCI_HTYPE_SERVER)));
    const std::string upper = AnsiUpperCase(banner.data());
    for (const char* marker : kServerVersionMarkers)
      if (upper.find(marker) != std::string::npos) return;
    s_.Check(OCISvcCtxToLda(s_.svc_, s_.error_, s_.lda_));
    s_.oci8_mode_ = false;
    s_.oracle7_server_ = true;
  }

  void AdoptExternalServiceContext() {
    s_.oci8_mode_ = true;
    s_.svc_ = s_.external_svc_;
    OCIEnv* probe_env = nullptr;
    OCIError* probe_error = nullptr;
    s_.CheckWithoutErrorHandle(OCIEnvInit(&probe_env, OCI_DEFAULT, 0, nullptr), "OCIEnvInit");
    sword status = OCIHandleAlloc(probe_env, reinterpret_cast<void**>(&probe_error), OCI_HTYPE_ERROR, 0, nullptr);
    if (status == OCI_SUCCESS) status = OCIAttrGet(s_.svc_, OCI_HTYPE_SVCCTX, &s_.env_, nullptr, OCI_ATTR_ENV, probe_error);
    if (probe_error) OCIHandleFree(probe_error, OCI_HTYPE_ERROR);
    OCIHandleFree(probe_env, OCI_HTYPE_ENV);
    s_.CheckWithoutErrorHandle(status, "OCIAttrGet");
    allocate(s_.error_, OCI_HTYPE_ERROR);
    allocate(s_.error2_, OCI_HTYPE_ERROR);
    s_.Check(OCIAttrGet(s_.svc_, OCI_HTYPE_SVCCTX, &s_.server_, nullptr, OCI_ATTR_SERVER, s_.error_));
    s_.Check(OCIAttrGet(s_.svc_, OCI_HTYPE_SVCCTX, &s_.user_session_, nullptr, OCI_ATTR_SESSION, s_.error_));
  }

 private:
  void create_environment() {
    if (SharedEnvironment) {
      OracleLockGuard lock(OCICriticalSection());
      if (!SharedEnvHandle) {
        OCIEnv* env = nullptr;
        sword status = OCI81Available ? OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr)
                                      : OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr);
        s_.CheckWithoutErrorHandle(status, "OCIEnvCreate");
        SharedEnvHandle = env;
      }
      s_.env_ = SharedEnvHandle;
      return;
    }
    sword status = OCI81Available
                       ? OCIEnvCreate(&s_.env_, s_.thread_safe_ ? OCI_THREADED | OCI_OBJECT : OCI_OBJECT, nullptr,
                                      nullptr, nullptr, nullptr, 0, nullptr)
                       : OCIEnvInit(&s_.env_, s_.thread_safe_ ? OCI_DEFAULT : OCI_ENV_NO_MUTEX, 0, nullptr);
    s_.CheckWithoutErrorHandle(status, OCI81Available ? "OCIEnvCreate" : "OCIEnvInit");
  }

  template <class Handle>
  void allocate(Handle*& handle, ub4 type) {
    if (handle) return;
    void* made = nullptr;
    s_.CheckWithoutErrorHandle(OCIHandleAlloc(s_.env_, &made, type, 0, nullptr), "OCIHandleAlloc");
    handle = static_cast<Handle*>(made);
  }

  void set_text(ub4 attribute, const std::string& text) {
    s_.Check(OCIAttrSet(s_.user_session_, OCI_HTYPE_SESSION, const_cast<char*>(text.c_str()),
                        static_cast<ub4>(text.size()), attribute, s_.error_));
  }

  TOracleSession& s_;
};

void TOracleSession::LogOn() {
  detected_bytes_per_character_ = 0;
  if ((pooling_ == spInternal || pooling_ == spMTS) && !(!Connected() && Shared())) {
    logon_pooled();
    return;
  }
  if (BeforeLogOn) BeforeLogOn(this);
  ThreadSafeLogonLock lock(thread_safe_);
  logon_thread_ = std::this_thread::get_id();
  if (odbc_bridge_ && !oca60_present_ && OCIDLL.empty()) OCIDLL = kODBCClientLibrary;
  {
    WaitCursor busy(Cursor);
    InitOCI();
  }
  LogOff();
  oci8_mode_ = OCI8Available && !preferences_->UseOCI7() && !ForceOCI7 && !odbc_bridge_ && external_lda_ == nullptr;
  oracle7_server_ = false;
  if (!Shared()) logon_own_connection();
  if (external_svc_) LogonSteps(*this).AdoptExternalServiceContext();
  if (StatementCacheInUse()) {
    ub4 size = static_cast<ub4>(statement_cache_size_);
    Check(OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, error2_));
  }
  connected_.store(true, std::memory_order_release);
  if (!Shared()) apply_settings_after_logon();
  MonitorLogOn(*this);
  if (!HasState(csLoading)) {
    if (AfterLogOn) AfterLogOn(this);
    if (OnChange) OnChange(this);
  }
}

void TOracleSession::logon_own_connection() {
  const std::string logon = ComposeLogonString();
  hda_.fill(0);
  std::memset(lda_, 0, sizeof(Lda_Def));
  WaitCursor busy(Cursor);
  sword status;
  if (oci8_mode_) {
    ub4 mode = ConnectAs == caSYSDBA ? OCI_SYSDBA : ConnectAs == caSYSOPER ? OCI_SYSOPER : OCI_DEFAULT;
    if (StatementCacheInUse()) mode |= OCI_STMT_CACHE;
    LogonSteps steps(*this);
    steps.PrepareHandles();
    status = steps.BeginSession(mode);
    check_logon_status(status);
    steps.CheckServerVersion();
  } else {
    auto* text = reinterpret_cast<OraText*>(const_cast<char*>(logon.c_str()));
    status = OLogAvailable ? olog(lda_, hda_.data(), text, -1, nullptr, -1, nullptr, -1, 0)
                           : orlon(lda_, hda_.data(), text, -1, nullptr, -1, 0);
    check_logon_status(status);
  }
}

// The expiry warnings leave their text in LogonWarning; any other error fails the logon.
void TOracleSession::check_logon_status(sword status) {
  last_status_.store(status, std::memory_order_relaxed);
  const int code = ErrorCodeOf(status);
  if (code == kPasswordWillExpire || code == kPasswordInGracePeriod) {
    OracleErrorSource source{error_, code};
    logon_warning_ = ReadOracleError(this, source).Message;
    last_status_.store(OCI_SUCCESS, std::memory_order_relaxed);
    if (!oci8_mode_) lda_->rc = 0;
    return;
  }
  logon_warning_.clear();
  Check(status);
}

void TOracleSession::apply_settings_after_logon() {
  if (auto_commit_ && !oci8_mode_) {
    SessionCall call(*this);
    Check(ocon(lda_));
  }
  if (sql_trace_ != stUnchanged) {
    TSQLTraceOption value = sql_trace_;
    sql_trace_ = stUnchanged;
    SetSQLTrace(value);
  }
  if (optimizer_goal_ != ogUnchanged) {
    TOptimizerGoalOption value = optimizer_goal_;
    optimizer_goal_ = ogUnchanged;
    SetOptimizerGoal(value);
  }
  if (isolation_level_ != ilUnchanged) {
    TIsolationLevelOption value = isolation_level_;
    isolation_level_ = ilUnchanged;
    SetIsolationLevel(value);
  }
}

TSessionPoolConnector* TOracleSession::pool_connector() const {
  if (auto* pool = dynamic_cast<TSessionPoolConnector*>(pool_)) return pool;
  return DefaultSessionPoolConnector();
}

void TOracleSession::logon_pooled() {
  if (pooling_ == spMTS) {
    logon_mts();
    return;
  }
  LogOff();
  TSessionPoolConnector* pool = pool_connector();
  if (pool == nullptr) throw Exception(kNoSessionPool);
  const bool made = pool->ReserveConnection(*this);
  try {
    pool->FireAfterReserve(*this);
    if (made) pool->FireAfterConnect(*this);
  } catch (...) {
    // The pool's handlers cannot fail a logon that already succeeded.
  }
}

void TOracleSession::logon_mts() {
  try {
    InitMTS();
  } catch (const Exception& error) {
    throw EOracleMTSError(error.Message, 0);
  }
  ub4 flags = (mts_options_ & moImplicit) ? 0 : 1;
  if (mts_options_ & moUniqueServer) flags += 2;
  OCISvcCtx* svc = nullptr;
  OCIEnv* env = nullptr;
  DWORD result = OraMTSSvcGet(const_cast<OraText*>(as_oratext(logon_username_)), const_cast<OraText*>(as_oratext(logon_password_)),
                              const_cast<OraText*>(as_oratext(logon_database_)), &svc, &env, flags);
  if (result != 0) throw EOracleMTSError(static_cast<int>(result), "OraMTSSvcGet");
  in_mts_transaction_ = (mts_options_ & moImplicit) != 0;
  SetExternalSVC(svc);
}

void TOracleSession::LogOff() {
  if (Connected()) logoff_connected();
  std::optional<EOracleError> detach_error;
  if (server_attached_) {
    server_attached_ = false;
    sword status = OCIServerDetach(server_, error_, OCI_DEFAULT);
    try {
      Check(status);
    } catch (const EOracleError& error) {
      detach_error = error;  // raised once the handles are freed, so that none is lost
    }
  }
  free_handles();
  clients_[skDataSet].ForEachBackwards([](TSessionClient* dataset) { dataset->SessionLoggedOff(); });
  if (detach_error) throw *detach_error;
}

void TOracleSession::logoff_connected() {
  if (Shared() && pooling_ == spInternal) {
    try {
      if (auto* pool = pool_connector()) pool->FireBeforeRelease(*this);
    } catch (...) {
      // A handler's failure does not keep the connection.
    }
  }
  if (RollbackOnDisconnect && !Shared()) {
    try {
      Rollback();
    } catch (...) {
      // Logging off ends the transaction anyway.
    }
  }
  logoff_attached();
  connected_.store(false, std::memory_order_release);
  session_audsid_.clear();
  date_format_length_ = -1;
  detected_bytes_per_character_ = 0;
  {
    WaitCursor busy(Cursor);
    ThreadSafeLogonLock lock(thread_safe_);
    MonitorLogOff(*this);
    if (Shared())
      release_shared_connection();
    else
      end_own_session();
  }
  if (!HasState(csDestroying) && OnChange) OnChange(this);
}

void TOracleSession::logoff_attached() {
  for (TSessionClientKind kind : {skQuery, skDataSet, skDirectPathLoader, skQueryHolder}) {
    clients_[kind].ForEachBackwards([](TSessionClient* client) {
      try {
        client->SessionLoggingOff();
      } catch (...) {
        // One object's failure must not keep the others open.
      }
    });
  }
}

void TOracleSession::release_shared_connection() {
  OCISvcCtx* lent = external_svc_;
  external_lda_ = nullptr;
  external_svc_ = nullptr;
  lda_ = &own_lda_;
  if (oci8_mode_) {
    for (OCIError** handle : {&error_, &error2_}) {
      if (*handle) OCIHandleFree(*handle, OCI_HTYPE_ERROR);
      *handle = nullptr;
    }
  }
  env_ = nullptr;
  svc_ = nullptr;
  server_ = nullptr;
  user_session_ = nullptr;
  if (pooling_ == spInternal) {
    if (auto* pool = pool_connector()) pool->ReleaseConnection(*this);
  } else if (pooling_ == spMTS) {
    in_mts_transaction_ = false;
    DWORD result = OraMTSSvcRel(lent);
    if (result != 0) throw EOracleMTSError(static_cast<int>(result), "OraMTSSvcRel");
  }
}

void TOracleSession::end_own_session() {
  if (oracle7_server_) {
    oracle7_server_ = false;
    oci8_mode_ = true;
    Check(OCILdaToSvcCtx(&svc_, error_, lda_));
  }
  Check(oci8_mode_ ? OCISessionEnd(svc_, error_, user_session_, OCI_DEFAULT) : ologof(lda_));
}

void TOracleSession::free_handles() {
  if (!OCI8Available) {
    // The library is gone (or never had these); its handles went with it.
    thread_errors_.clear();
    env_ = nullptr;
    svc_ = nullptr;
    server_ = nullptr;
    error_ = error2_ = nullptr;
    user_session_ = nullptr;
    return;
  }
  auto free_handle = [](auto*& handle, ub4 type) {
    if (handle) OCIHandleFree(handle, type);
    handle = nullptr;
  };
  if (Shared()) {
    // The lending session's handles.
    env_ = nullptr;
    svc_ = nullptr;
    server_ = nullptr;
    user_session_ = nullptr;
  } else {
    free_handle(server_, OCI_HTYPE_SERVER);
    free_handle(svc_, OCI_HTYPE_SVCCTX);
    free_handle(user_session_, OCI_HTYPE_SESSION);
    if (env_ != SharedEnvHandle) free_handle(env_, OCI_HTYPE_ENV);
    env_ = nullptr;
  }
  free_handle(error_, OCI_HTYPE_ERROR);
  free_handle(error2_, OCI_HTYPE_ERROR);
  std::lock_guard lock(thread_errors_mutex_);
  for (auto& [thread, handle] : thread_errors_) free_handle(handle, OCI_HTYPE_ERROR);
  thread_errors_.clear();
}

}  // namespace kvell
