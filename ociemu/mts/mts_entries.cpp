// liboramts.so: the transaction-server entries over ociemu. Connections come
// from one heterogeneous session pool per database in a shared threaded
// environment; a unique-server request gets a session of its own. There is no
// distributed transaction coordinator on this platform, so enlisting only
// records the state that the real service would check.
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "ociemu/api/process_state.h"
#include "ociemu/mts/oramts.h"

namespace {

constexpr ub4 kPoolMax = 1024;

struct Lent {
  bool enlisted = false;
};

// Thread-safe: the maps under one mutex; the gets themselves run outside it.
struct Dispenser {
  std::mutex mutex;
  OCIEnv* env = nullptr;                        // created at the first get, kept for the process
  std::map<std::string, std::string> pools;     // database -> pool name
  std::unordered_map<OCISvcCtx*, Lent> lent;
  std::map<std::string, DWORD> failures;        // entry -> result to give once
  // At unload: the environment takes its pools and their sessions with it.
  ~Dispenser() {
    if (env != nullptr) OCIHandleFree(env, OCI_HTYPE_ENV);
  }
};

// Released when the library is unloaded, after the callers' static destructors.
Dispenser& dispenser() { return ociemu::process_state<Dispenser>(); }

DWORD take_failure(const char* entry) {
  Dispenser& d = dispenser();
  std::lock_guard lock(d.mutex);
  auto found = d.failures.find(entry);
  if (found == d.failures.end()) return ORAMTSERR_NOERROR;
  DWORD code = found->second;
  d.failures.erase(found);
  return code;
}

std::string text(const OraText* p) { return p ? reinterpret_cast<const char*>(p) : ""; }
ub4 length(const std::string& s) { return static_cast<ub4>(s.size()); }
OraText* chars(std::string& s) { return reinterpret_cast<OraText*>(s.data()); }

// What went wrong at logon, in the service's terms.
DWORD logon_failure(OCIError* err) {
  sb4 code = 0;
  OraText buffer[OCI_ERROR_MAXMSG_SIZE];
  OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR);
  switch (code) {
    case 12154:
    case 12545: return ORAMTSERR_FAILEDATTACH;
    case 24496: return 1003;  // exceeded max sessions
    default: return ORAMTSERR_FAILEDLOGON;
  }
}

// The pool name for a database, creating the pool at first use. Caller holds the lock.
bool pool_for(Dispenser& d, OCIError* err, std::string database, std::string& name) {
  auto found = d.pools.find(database);
  if (found != d.pools.end()) {
    name = found->second;
    return true;
  }
  OCISPool* pool = nullptr;
  if (OCIHandleAlloc(d.env, reinterpret_cast<void**>(&pool), OCI_HTYPE_SPOOL, 0, nullptr) != OCI_SUCCESS) return false;
  OraText* pool_name = nullptr;
  ub4 pool_name_len = 0;
  if (OCISessionPoolCreate(d.env, err, pool, &pool_name, &pool_name_len, chars(database), length(database), 0, kPoolMax,
                           1, nullptr, 0, nullptr, 0, OCI_DEFAULT) != OCI_SUCCESS) {
    OCIHandleFree(pool, OCI_HTYPE_SPOOL);
    return false;
  }
  ub1 nowait = OCI_SPOOL_ATTRVAL_NOWAIT;
  OCIAttrSet(pool, OCI_HTYPE_SPOOL, &nowait, sizeof nowait, OCI_ATTR_SPOOL_GETMODE, err);
  name.assign(reinterpret_cast<char*>(pool_name), pool_name_len);
  d.pools.emplace(std::move(database), name);
  return true;
}

struct ErrorHandle {
  explicit ErrorHandle(OCIEnv* env) { OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr); }
  ~ErrorHandle() {
    if (err) OCIHandleFree(err, OCI_HTYPE_ERROR);
  }
  ErrorHandle(const ErrorHandle&) = delete;
  ErrorHandle& operator=(const ErrorHandle&) = delete;
  OCIError* err = nullptr;
};

struct AuthInfo {
  AuthInfo(OCIEnv* env, OCIError* err, std::string user, std::string password) {
    OCIHandleAlloc(env, reinterpret_cast<void**>(&auth), OCI_HTYPE_AUTHINFO, 0, nullptr);
    OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, user.data(), length(user), OCI_ATTR_USERNAME, err);
    OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, password.data(), length(password), OCI_ATTR_PASSWORD, err);
  }
  ~AuthInfo() {
    if (auth) OCIHandleFree(auth, OCI_HTYPE_AUTHINFO);
  }
  AuthInfo(const AuthInfo&) = delete;
  AuthInfo& operator=(const AuthInfo&) = delete;
  OCIAuthInfo* auth = nullptr;
};

DWORD get_connection(const std::string& user, const std::string& password, std::string database, ub4 flags,
                     OCISvcCtx** svc, OCIEnv** env) {
  Dispenser& d = dispenser();
  std::string pool_name;
  OCIEnv* shared = nullptr;
  {
    std::lock_guard lock(d.mutex);
    if (d.env == nullptr && OCIEnvCreate(&d.env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0,
                                         nullptr) != OCI_SUCCESS) {
      d.env = nullptr;
      return ORAMTSERR_OCIHNDLALLOC;
    }
    shared = d.env;
  }
  ErrorHandle errors(shared);
  if (errors.err == nullptr) return ORAMTSERR_OCIHNDLALLOC;
  ub4 mode = (flags & ORAMTS_CFLG_SYSDBALOGN) ? OCI_SESSGET_SYSDBA : OCI_DEFAULT;
  if ((flags & ORAMTS_CFLG_UNIQUESRVR) == 0) {
    std::lock_guard lock(d.mutex);
    if (!pool_for(d, errors.err, database, pool_name)) return ORAMTSERR_FAILEDATTACH;
    mode |= OCI_SESSGET_SPOOL;
  }
  std::string name = (mode & OCI_SESSGET_SPOOL) ? pool_name : database;
  AuthInfo credentials(shared, errors.err, user, password);
  boolean found = 0;
  sword rc = OCISessionGet(shared, errors.err, svc, credentials.auth, chars(name), length(name), nullptr, 0, nullptr,
                           nullptr, &found, mode);
  if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) return logon_failure(errors.err);
  std::lock_guard lock(d.mutex);
  d.lent[*svc] = Lent{};
  *env = shared;
  return ORAMTSERR_NOERROR;
}

}  // namespace

extern "C" {

DWORD OraMTSSvcGet(OraText* lpUname, OraText* lpPsswd, OraText* lpDbnam, OCISvcCtx** pOCISvc, OCIEnv** pOCIEnv,
                   ub4 ConFlg) {
  if (DWORD failure = take_failure("OraMTSSvcGet")) return failure;
  if (pOCISvc == nullptr || pOCIEnv == nullptr || lpUname == nullptr) return ORAMTSERR_INVALIDARG;
  *pOCISvc = nullptr;
  *pOCIEnv = nullptr;
  try {
    return get_connection(text(lpUname), text(lpPsswd), text(lpDbnam), ConFlg, pOCISvc, pOCIEnv);
  } catch (...) {
    return 6004;  // memory allocation error
  }
}

DWORD OraMTSSvcRel(OCISvcCtx* OCISvc) {
  if (DWORD failure = take_failure("OraMTSSvcRel")) return failure;
  Dispenser& d = dispenser();
  OCIEnv* env = nullptr;
  {
    std::lock_guard lock(d.mutex);
    if (d.lent.erase(OCISvc) == 0) return ORAMTSERR_INVALIDSRVCCTXT;
    env = d.env;
  }
  ErrorHandle errors(env);
  return OCISessionRelease(OCISvc, errors.err, nullptr, 0, OCI_DEFAULT) == OCI_SUCCESS ? ORAMTSERR_NOERROR : 4003;
}

DWORD OraMTSSvcEnlist(OCISvcCtx* OCISvc, OCIError*, void* lpTrans, unsigned) {
  if (DWORD failure = take_failure("OraMTSSvcEnlist")) return failure;
  Dispenser& d = dispenser();
  std::lock_guard lock(d.mutex);
  auto found = d.lent.find(OCISvc);
  if (found == d.lent.end()) return ORAMTSERR_INVALIDSRVCCTXT;
  bool enlist = lpTrans != nullptr;
  if (enlist == found->second.enlisted) return enlist ? ORAMTSERR_ALREADYENLISTED : ORAMTSERR_NOTENLISTED;
  found->second.enlisted = enlist;
  return ORAMTSERR_NOERROR;
}

DWORD OraMTSSvcEnlistEx(OCISvcCtx* OCISvc, OCIError* OCIErr, void* lpTrans, unsigned dwFlags, char*) {
  if (DWORD failure = take_failure("OraMTSSvcEnlistEx")) return failure;
  return OraMTSSvcEnlist(OCISvc, OCIErr, lpTrans, dwFlags);
}

// No transaction coordinator runs here, so no caller is ever inside one of its transactions.
BOOL OraMTSTransTest(void) { return 0; }

void ociemu_mts_fail_next(const char* entry_name, DWORD mts_error) {
  Dispenser& d = dispenser();
  std::lock_guard lock(d.mutex);
  if (entry_name == nullptr || *entry_name == 0 || mts_error == 0) {
    d.failures.clear();
    return;
  }
  d.failures[entry_name] = mts_error;
}

}  // extern "C"
