// TOracleSession: one connection to an Oracle server through either client
// interface (OCI8 handles, or an OCI7 logon data area), with logon and
// logoff, transactions, session settings, detections of the server's
// character width and date format, shared connections, and the lists of
// everything bound to it. Queries and the objects of the layer call its
// error check and its call lock.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "oracle/binding/critical_section.h"
#include "oracle/binding/oci_types.h"
#include "oracle/session/logon_string.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/session_client.h"
#include "oracle/session/session_preferences.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/component.h"

namespace kvell {

class TOracleQuery;
class TOracleSession;

enum TSessionPoolingOption { spNone, spInternal, spMTS };
enum TMTSOption : unsigned { moImplicit = 1u << 0, moUniqueServer = 1u << 1 };
using TMTSOptions = unsigned;
enum TNullValueOption { nvUnAssigned, nvNull };
enum TSQLTraceOption { stUnchanged, stTrue, stFalse };
enum TOptimizerGoalOption { ogUnchanged, ogChoose, ogFirstRows, ogAllRows, ogRule };
enum TIsolationLevelOption { ilUnchanged, ilReadCommitted, ilSerializable };
enum TBytesPerCharacterOption { bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes };

using TOracleSessionEvent = std::function<void(TOracleSession* Sender)>;

// What a session needs of a session pool (spInternal); the pool component
// implements it. Reserve returns whether a new connection was made.
class TSessionPoolConnector {
 public:
  virtual ~TSessionPoolConnector() = default;
  virtual bool ReserveConnection(TOracleSession& session) = 0;
  virtual void ReleaseConnection(TOracleSession& session) = 0;
  virtual bool PoolStatementCacheInUse() const = 0;
  virtual void FireAfterReserve(TOracleSession& session) = 0;
  virtual void FireAfterConnect(TOracleSession& session) = 0;
  virtual void FireBeforeRelease(TOracleSession& session) = 0;
};
// The process-wide default pool (made on first use); null once the process is shutting down.
TSessionPoolConnector* DefaultSessionPoolConnector();

// What the dataset layer keeps per session (its table-info cache); the
// session owns it and frees it before its handles.
class TSessionCache {
 public:
  virtual ~TSessionCache() = default;
};

// Result of TOracleSession::MapNumberColumn.
struct NumberColumnMapping {
  int ExternalType;  // 3 integer, 4 floating point, 5 string
  int BufferSize;    // bytes
};

// Thread-safe: only with ThreadSafe set, and then for calls between
// EnterCall/LeaveCall (SessionCall) and for LogOn/LogOff; properties are set
// from one thread while no other uses the session. The attached-object lists
// are thread-safe always.
class TOracleSession : public TComponent {
 public:
  explicit TOracleSession(TComponent* owner = nullptr);
  ~TOracleSession() override;

  // Events, each with the session as sender.
  TOracleSessionEvent OnChange;     // after a logon and after a logoff
  TOracleSessionEvent BeforeLogOn;
  TOracleSessionEvent AfterLogOn;

  TCursor Cursor = crHourGlass;  // shown during logon, logoff and internal statements
  bool DesignConnection = false;
  TConnectAsOption ConnectAs = caNormal;
  bool RollbackOnDisconnect = false;
  TNullValueOption NullValue = nvUnAssigned;
  std::string MessageTable;

  const std::string& LogonUsername() const { return logon_username_; }
  void SetLogonUsername(const std::string& value);
  const std::string& LogonPassword() const { return logon_password_; }
  void SetLogonPassword(const std::string& value);
  const std::string& LogonDatabase() const { return logon_database_; }
  void SetLogonDatabase(const std::string& value);

  bool ThreadSafe() const { return thread_safe_; }
  void SetThreadSafe(bool value);
  TSessionPreferences& Preferences() { return *preferences_; }
  const TSessionPreferences& Preferences() const { return *preferences_; }
  void SetPreferences(const TSessionPreferences& value) { preferences_->Assign(value); }
  TSessionPoolingOption Pooling() const { return pooling_; }
  void SetPooling(TSessionPoolingOption value);
  TComponent* Pool() const { return pool_; }
  // The component must implement TSessionPoolConnector.
  void SetPool(TComponent* value);
  TMTSOptions MTSOptions() const { return mts_options_; }
  void SetMTSOptions(TMTSOptions value);

  TSQLTraceOption SQLTrace() const { return sql_trace_; }
  void SetSQLTrace(TSQLTraceOption value);
  TOptimizerGoalOption OptimizerGoal() const { return optimizer_goal_; }
  void SetOptimizerGoal(TOptimizerGoalOption value);
  TIsolationLevelOption IsolationLevel() const { return isolation_level_; }
  void SetIsolationLevel(TIsolationLevelOption value);
  bool AutoCommitMode() const { return auto_commit_; }
  void SetAutoCommitMode(bool value);
  TBytesPerCharacterOption BytesPerCharacter() const { return bytes_per_character_option_; }
  void SetBytesPerCharacter(TBytesPerCharacterOption value);

  bool StatementCache() const { return statement_cache_; }
  void SetStatementCache(bool value);
  int StatementCacheSize() const { return statement_cache_size_; }
  void SetStatementCacheSize(int value);

  bool Connected() const { return connected_.load(std::memory_order_acquire); }
  void SetConnected(bool value);
  bool Shared() const { return external_lda_ != nullptr || external_svc_ != nullptr; }
  const std::string& LogonWarning() const { return logon_warning_; }

  // Shared connections: the other session's handles, never begun, ended or freed here.
  Lda_Def* ExternalLDA() const;
  void SetExternalLDA(Lda_Def* value);
  OCISvcCtx* ExternalSVC() const;
  void SetExternalSVC(OCISvcCtx* value);

  void LogOn();
  void LogOff();
  void Commit();
  void Rollback();
  // 0: the connection works; 1: it is lost; 2: it was lost and is made again.
  int VerifyConnection(bool reconnect);
  void ExecuteInternal(const std::string& sql, bool busy_cursor);
  // The query ExecuteInternal runs; made on first use, named "Query".
  TOracleQuery& InternalQuery();

  int ResolvedBytesPerCharacter();
  int MaxStringChars();
  int DateFormatLength();
  std::string SessionAudsid();
  std::string ErrorMessageText(int error_code);
  NumberColumnMapping MapNumberColumn(int precision, int scale, bool as_string) const;
  void ShareConnection(TOracleSession& target);
  OCITypeCode DescribeTypeCode(OCIType* type);

  // Logon strings (user/password@database as ROLE).
  std::string ComposeLogonString();

  // The call lock: taken only for a thread-safe session in OCI7 mode.
  void EnterCall();
  void LeaveCall();

  // Stores a client call's status and raises the Oracle error it reports.
  void Check(sword status, TComponent* sender = nullptr);
  // For calls that have no error handle to read (environment and handle
  // allocation): raises with the status alone when it is an error.
  void CheckWithoutErrorHandle(sword status, const char* entry_name);
  sword LastStatus() const { return last_status_.load(std::memory_order_relaxed); }
  // The Oracle error number of the last call, 0 for none.
  int LastErrorCode() { return ErrorCodeOf(LastStatus()); }
  // The Oracle error number a call with this status left.
  int ErrorCodeOf(sword status);

  bool OCI8Mode() const { return oci8_mode_; }
  bool Oracle7Server() const { return oracle7_server_; }
  bool ODBCBridge() const { return odbc_bridge_; }
  OCIEnv* EnvironmentHandle() const { return env_; }
  // The primary error handle; other threads of a thread-safe OCI8 session
  // get one of their own, since an error handle holds one call's records.
  OCIError* ErrorHandle();
  OCIError* SecondErrorHandle() const { return error2_; }
  OCISvcCtx* ServiceContext() const { return svc_; }
  OCIServer* ServerHandle() const { return server_; }
  OCISession* UserSession() const { return user_session_; }
  Lda_Def* LogonDataArea() const { return lda_; }
  bool StatementCacheInUse() const;
  bool InMTSTransaction() const { return in_mts_transaction_; }

  // The attached-object list of one kind.
  TSessionClientList& Clients(TSessionClientKind kind) { return clients_[kind]; }
  void AttachClient(TSessionClientKind kind, TSessionClient* client) { clients_[kind].Add(client); }
  void DetachClient(TSessionClientKind kind, TSessionClient* client) { clients_[kind].Remove(client); }
  // The pool that lent this session its connection (set by the pool); not owned.
  TSessionPoolConnector* LendingPool = nullptr;

  // The dataset layer's per-session cache; empty until it makes one.
  std::unique_ptr<TSessionCache>& TableInfoCacheSlot() { return table_info_cache_; }

  // At design time and not while streaming: every dataset re-opened, errors reported.
  void ReopenDataSetsForPreferences();

 protected:
  void Loaded() override;
  void Dismantle() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class LogonSteps;

  bool skipping_design_connection() const;
  void set_logon_part(std::string& field, const std::string& value);
  void detect_odbc_bridge();
  void apply_settings_after_logon();
  void logon_own_connection();
  void check_logon_status(sword status);
  TSessionPoolConnector* pool_connector() const;
  void logon_pooled();
  void logon_mts();
  void logoff_connected();
  void logoff_attached();
  void release_shared_connection();
  void end_own_session();
  void free_handles();

  std::string logon_username_, logon_password_, logon_database_;
  bool thread_safe_ = false;
  std::unique_ptr<TSessionPreferences> preferences_;
  TSessionPoolingOption pooling_ = spNone;
  TComponent* pool_ = nullptr;  // linked both ways by free notification
  TMTSOptions mts_options_ = moImplicit | moUniqueServer;
  TSQLTraceOption sql_trace_ = stUnchanged;
  TOptimizerGoalOption optimizer_goal_ = ogUnchanged;
  TIsolationLevelOption isolation_level_ = ilUnchanged;
  bool auto_commit_ = false;
  bool auto_commit_pending_ = false;  // switched on while disconnected, applied at logon
  TBytesPerCharacterOption bytes_per_character_option_ = bc1Byte;
  bool statement_cache_ = false;
  int statement_cache_size_ = 20;
  std::atomic<bool> connected_{false};
  bool pending_logon_ = false;        // Connected set while streaming in
  std::string logon_warning_;

  bool oci8_mode_ = false;
  bool oracle7_server_ = false;
  bool odbc_bridge_ = false;
  bool oca60_present_ = false;
  OCIEnv* env_ = nullptr;
  OCIError* error_ = nullptr;
  OCIError* error2_ = nullptr;
  OCIServer* server_ = nullptr;
  OCISvcCtx* svc_ = nullptr;
  OCISession* user_session_ = nullptr;
  bool server_attached_ = false;
  Lda_Def own_lda_{};
  std::array<ub1, kHostDataAreaSize> hda_{};
  Lda_Def* lda_ = &own_lda_;
  Lda_Def* external_lda_ = nullptr;
  OCISvcCtx* external_svc_ = nullptr;
  bool in_mts_transaction_ = false;

  // Threads sharing a thread-safe OCI8 session store here concurrently; each
  // call is checked by its own status, never by this field.
  std::atomic<sword> last_status_{0};
  int detected_bytes_per_character_ = 0;  // 0 = unknown
  int date_format_length_ = -1;           // -1 = unknown
  std::string session_audsid_;            // empty = unknown

  TOracleCriticalSection call_lock_;
  std::thread::id logon_thread_;                       // uses error_
  std::mutex thread_errors_mutex_;                     // guards thread_errors_
  std::map<std::thread::id, OCIError*> thread_errors_; // owned; freed with the handles
  std::array<TSessionClientList, kSessionClientKinds> clients_;
  std::unique_ptr<TOracleQuery> internal_query_;
  std::unique_ptr<TSessionCache> table_info_cache_;
};

// Holds a session's call lock for one client call; released as an error
// leaves the call.
class SessionCall {
 public:
  explicit SessionCall(TOracleSession& session) : session_(session) { session_.EnterCall(); }
  ~SessionCall() { session_.LeaveCall(); }
  SessionCall(const SessionCall&) = delete;
  SessionCall& operator=(const SessionCall&) = delete;

 private:
  TOracleSession& session_;
};

// Feature checks for code that needs OCI8 or Oracle Net 9.
void RequireOCI8Session(const TOracleSession* session, const std::string& feature);
void RequireNet9Session(const TOracleSession* session, const std::string& feature);

// Every session in the process, for tools that enumerate them. Thread-safe: yes.
std::vector<TOracleSession*> SessionList();

// Refusal and error texts.
constexpr const char* kThreadSafeWhileConnected = "Cannot change ThreadSafe property when connected";
constexpr const char* kPoolingWhileConnected = "Cannot change Pooling property when connected";
constexpr const char* kPoolWhileConnected = "Cannot change Pool property when connected";
constexpr const char* kMTSOptionsWhileConnected = "Cannot change MTSOptions property when connected";
constexpr const char* kStatementCacheWhileConnected = "Cannot change StatementCache property when connected";
constexpr const char* kExternalLDAOutsideOCI7 = "ExternalLDA only valid when connected through OCI7";
constexpr const char* kExternalSVCNeedsOCI8 = "ExternalSVC only valid with OCI8";
constexpr const char* kExternalSVCOutsideOCI8 = "ExternalSVC only valid when connected through OCI8";
constexpr const char* kCannotCommitMTS = "Cannot commit an MTS Controlled Transaction";
constexpr const char* kCannotRollbackMTS = "Cannot rollback an MTS Controlled Transaction";
constexpr const char* kErrorReactivatingDataset = "Error reactivating dataset ";
constexpr const char* kNoSessionPool = "No session pool to reserve a connection from";

}  // namespace kvell
