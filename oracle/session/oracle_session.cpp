// TOracleSession: properties, events, streaming, transactions, the call
// lock, the error check, shared connections and the process-wide list.
#include "oracle/session/oracle_session.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/binding/entry_tables.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_query.h"
#include "runtime/ansi_case.h"
#include "runtime/registry.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

struct ProcessSessions {
  std::mutex mutex;
  std::vector<TOracleSession*> sessions;
};

ProcessSessions& process_sessions() {
  static ProcessSessions* sessions = new ProcessSessions;  // outlives every static session
  return *sessions;
}

constexpr const char* kOCA60Key = "SOFTWARE\\ORACLE";
constexpr const char* kOCA60Value = "OCA60";
constexpr const char* kODBCPrefix = "ODBC:";
constexpr const char* kCallFailedWithoutText = " failed with status ";

}  // namespace

std::vector<TOracleSession*> SessionList() {
  auto& list = process_sessions();
  std::lock_guard lock(list.mutex);
  return list.sessions;
}

TOracleSession::TOracleSession(TComponent* owner)
    : TComponent(owner), preferences_(std::make_unique<TSessionPreferences>(this)) {
  auto& list = process_sessions();
  std::lock_guard lock(list.mutex);
  list.sessions.push_back(this);
}

TOracleSession::~TOracleSession() {
  BeforeDestruction();
  table_info_cache_.reset();
  internal_query_.reset();
  free_handles();
  auto& list = process_sessions();
  std::lock_guard lock(list.mutex);
  std::erase(list.sessions, this);
}

void TOracleSession::Dismantle() {
  try {
    LogOff();
  } catch (...) {
    // Destruction goes on; the connection is dropped with the handles.
  }
  for (size_t kind = clients_.size(); kind > 0; --kind)
    clients_[kind - 1].ForEachBackwards([&](TSessionClient* client) {
      clients_[kind - 1].Remove(client);
      client->SessionDestroyed();
    });
}

bool TOracleSession::skipping_design_connection() const {
  return DesignConnection && HasState(csReading) && !HasState(csDesigning);
}

void TOracleSession::set_logon_part(std::string& field, const std::string& value) {
  if (field == value || skipping_design_connection()) return;
  field = value;
  detect_odbc_bridge();
}

void TOracleSession::SetLogonUsername(const std::string& value) { set_logon_part(logon_username_, value); }
void TOracleSession::SetLogonPassword(const std::string& value) { set_logon_part(logon_password_, value); }
void TOracleSession::SetLogonDatabase(const std::string& value) { set_logon_part(logon_database_, value); }

void TOracleSession::detect_odbc_bridge() {
  odbc_bridge_ = AnsiUpperCase(logon_database_).find(kODBCPrefix) != std::string::npos ||
                 AnsiUpperCase(logon_username_).find(kODBCPrefix) != std::string::npos;
  if (odbc_bridge_)
    oca60_present_ = ProcessRegistry().ReadValue(RegistryRoot::LocalMachine, kOCA60Key, kOCA60Value).has_value();
}

void TOracleSession::SetThreadSafe(bool value) {
  if (value == thread_safe_) return;
  if (Connected()) throw Exception(kThreadSafeWhileConnected);
  thread_safe_ = value;
}

void TOracleSession::SetPooling(TSessionPoolingOption value) {
  if (value == pooling_) return;
  if (Connected()) throw Exception(kPoolingWhileConnected);
  pooling_ = value;
  if (value != spInternal) SetPool(nullptr);
}

void TOracleSession::SetPool(TComponent* value) {
  if (value == pool_) return;
  if (Connected()) throw Exception(kPoolWhileConnected);
  if (pool_) pool_->RemoveFreeNotification(this);
  pool_ = value;
  if (pool_) {
    pool_->FreeNotification(this);
    pooling_ = spInternal;
  }
}

void TOracleSession::SetMTSOptions(TMTSOptions value) {
  if (value == mts_options_) return;
  if (Connected()) throw Exception(kMTSOptionsWhileConnected);
  mts_options_ = value;
}

void TOracleSession::SetStatementCache(bool value) {
  if (value == statement_cache_) return;
  if (Connected()) throw Exception(kStatementCacheWhileConnected);
  statement_cache_ = value;
}

void TOracleSession::SetStatementCacheSize(int value) {
  statement_cache_size_ = value;
  if (!Connected() || !StatementCacheInUse()) return;
  ub4 size = static_cast<ub4>(value);
  Check(OCIAttrSet(svc_, OCI_HTYPE_SVCCTX, &size, 0, OCI_ATTR_STMTCACHESIZE, error2_));
}

bool TOracleSession::StatementCacheInUse() const {
  if (!oci8_mode_ || !OCI92Available) return false;
  if (auto* pool = dynamic_cast<TSessionPoolConnector*>(pool_)) return pool->PoolStatementCacheInUse();
  if (LendingPool) return LendingPool->PoolStatementCacheInUse();
  return !Shared() && statement_cache_;
}

void TOracleSession::SetBytesPerCharacter(TBytesPerCharacterOption value) {
  bytes_per_character_option_ = value;
  detected_bytes_per_character_ = 0;
}

void TOracleSession::SetConnected(bool value) {
  if (skipping_design_connection()) return;
  if (HasState(csReading)) {
    pending_logon_ = value;
    return;
  }
  if (value)
    LogOn();
  else
    LogOff();
}

void TOracleSession::Loaded() {
  if (pending_logon_) {
    pending_logon_ = false;
    try {
      LogOn();
    } catch (...) {
      if (!HasState(csDesigning)) {
        TComponent::Loaded();
        throw;
      }
      HandleApplicationException(this);
    }
  }
  TComponent::Loaded();
  if (Connected()) {
    if (AfterLogOn) AfterLogOn(this);
    if (OnChange) OnChange(this);
  }
}

void TOracleSession::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == pool_) pool_ = nullptr;
}

void TOracleSession::ReopenDataSetsForPreferences() {
  if (!HasState(csDesigning) || HasState(csReading)) return;
  clients_[skDataSet].ForEachBackwards([&](TSessionClient* dataset) {
    try {
      dataset->ReopenForPreferences();
    } catch (const std::exception& error) {
      try {
        throw Exception(kErrorReactivatingDataset + dataset->ClientName() + ":\r\n" + error.what());
      } catch (...) {
        HandleApplicationException(this);
      }
    }
  });
}

void TOracleSession::EnterCall() {
  if (thread_safe_ && !oci8_mode_) call_lock_.Enter();
}

void TOracleSession::LeaveCall() {
  if (thread_safe_ && !oci8_mode_) call_lock_.Leave();
}

OCIError* TOracleSession::ErrorHandle() {
  if (!thread_safe_ || !oci8_mode_ || !env_ || std::this_thread::get_id() == logon_thread_) return error_;
  std::lock_guard lock(thread_errors_mutex_);
  OCIError*& handle = thread_errors_[std::this_thread::get_id()];
  if (handle == nullptr) {
    void* made = nullptr;
    CheckWithoutErrorHandle(OCIHandleAlloc(env_, &made, OCI_HTYPE_ERROR, 0, nullptr), "OCIHandleAlloc");
    handle = static_cast<OCIError*>(made);
  }
  return handle;
}

int TOracleSession::ErrorCodeOf(sword status) {
  if (!oci8_mode_) return lda_ ? lda_->rc : 0;
  if (status != OCI_ERROR && status != OCI_SUCCESS_WITH_INFO) return status;
  sb4 code = 0;
  std::array<OraText, 512> scratch{};
  if (OCIError* error = ErrorHandle())
    OCIErrorGet(error, 1, nullptr, &code, scratch.data(), static_cast<ub4>(scratch.size()), OCI_HTYPE_ERROR);
  return code;
}

void TOracleSession::Check(sword status, TComponent* sender) {
  last_status_.store(status, std::memory_order_relaxed);
  int code = ErrorCodeOf(status);
  if (code == 0) return;
  OracleErrorSource source;
  source.Handle = ErrorHandle();
  source.Code = code;
  OracleErrorReport report = ReadOracleError(this, source);
  if (report.Message.empty()) report.Message = "ORA-" + IntToStr(code);
  if (report.ErrorCode == 0) report.ErrorCode = code;
  if (report.Warning) throw EOracleWarning(report.Message, report.ErrorCode, sender ? sender : this, this);
  throw EOracleError(report.Message, report.ErrorCode, sender ? sender : this, this);
}

void TOracleSession::CheckWithoutErrorHandle(sword status, const char* entry_name) {
  last_status_.store(status, std::memory_order_relaxed);
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return;
  sb4 code = 0;
  std::array<char, kOracleErrorBufferSize> buffer{};
  if (env_)
    OCIErrorGet(env_, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer.data()), static_cast<ub4>(buffer.size()),
                OCI_HTYPE_ENV);
  std::string message = CutOracleMessage(buffer.data());
  if (message.empty()) message = entry_name + std::string(kCallFailedWithoutText) + IntToStr(status);
  throw EOracleError(message, code != 0 ? code : status, this, this);
}

void TOracleSession::Commit() {
  if (!Connected()) return;
  if (in_mts_transaction_) throw Exception(kCannotCommitMTS);
  SessionCall call(*this);
  Check(oci8_mode_ ? OCITransCommit(svc_, ErrorHandle(), 0) : ocom(lda_));
}

void TOracleSession::Rollback() {
  if (!Connected()) return;
  if (in_mts_transaction_) throw Exception(kCannotRollbackMTS);
  SessionCall call(*this);
  Check(oci8_mode_ ? OCITransRollback(svc_, ErrorHandle(), 0) : orol(lda_));
}

Lda_Def* TOracleSession::ExternalLDA() const {
  if (!Connected() || oci8_mode_) throw Exception(kExternalLDAOutsideOCI7);
  return lda_;
}

void TOracleSession::SetExternalLDA(Lda_Def* value) {
  LogOff();
  external_lda_ = value;
  external_svc_ = nullptr;
  lda_ = value ? value : &own_lda_;
  if (value) LogOn();
}

OCISvcCtx* TOracleSession::ExternalSVC() const {
  if (!Connected() || !oci8_mode_) throw Exception(kExternalSVCOutsideOCI8);
  return svc_;
}

void TOracleSession::SetExternalSVC(OCISvcCtx* value) {
  InitOCI();
  if (!OCI8Available || preferences_->UseOCI7() || ForceOCI7) throw Exception(kExternalSVCNeedsOCI8);
  LogOff();
  external_svc_ = value;
  external_lda_ = nullptr;
  lda_ = &own_lda_;
  if (value) LogOn();
}

void TOracleSession::ShareConnection(TOracleSession& target) {
  target.SetLogonUsername(logon_username_);
  target.SetLogonPassword(logon_password_);
  target.SetLogonDatabase(logon_database_);
  if (oci8_mode_)
    target.SetExternalSVC(ExternalSVC());
  else
    target.SetExternalLDA(ExternalLDA());
}

std::string TOracleSession::ComposeLogonString() {
  LogonParts parts;
  if (SplitLogonString(logon_username_, parts)) {
    std::string whole = logon_username_;
    logon_username_ = parts.Username;
    logon_password_ = parts.Password;
    logon_database_ = parts.Database;
    ConnectAs = ConnectAsFromRole(parts.Role);
    detect_odbc_bridge();
    return whole;
  }
  return kvell::ComposeLogonString(logon_username_, logon_password_, logon_database_, ConnectAs);
}

namespace {

void require_session(const TOracleSession* session, const std::string& feature, bool client_level_available,
                     const char* missing_client) {
  if (session == nullptr) throw Exception(feature + " requires a session");
  if (!session->Connected()) throw Exception(feature + " requires a connected session");
  if (session->OCI8Mode() && client_level_available) return;
  if (client_level_available) throw Exception(feature + " requires OCI8 mode, but OCI7 mode is used.");
  throw Exception(feature + missing_client);
}

}  // namespace

void RequireOCI8Session(const TOracleSession* session, const std::string& feature) {
  require_session(session, feature, OCI8Available, " requires Net8, which is not detected on this PC");
}

void RequireNet9Session(const TOracleSession* session, const std::string& feature) {
  // An OCI8 session on a client without the version 9 entries is refused
  // too: the feature would call entries that are not bound.
  require_session(session, feature, OCI9Available, " requires Oracle Net 9, which is not detected on this PC");
}

}  // namespace kvell
