// Entries for session pools and for sessions got and released outside OCILogon.
#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/pool.h"

using namespace ociemu;

namespace {

std::string text_of(const OraText* text, ub4 length) {
  return text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}

Credentials credentials_of(const Session* auth) {
  if (auth == nullptr) return {};
  return Credentials{auth->username, auth->password};
}

uint32_t logon_mode_of(ub4 get_mode) { return (get_mode & OCI_SESSGET_SYSDBA) ? OCI_SYSDBA : 0; }

// A session of its own, outside any pool: released like a logoff.
ServiceContext* standalone_session(Environment& env, const std::string& connect_string, const Credentials& who,
                                   ub4 mode, int& warning) {
  auto* server = env.make<Server>(&env);
  auto* session = env.make<Session>(&env);
  auto* svc = env.make<ServiceContext>(&env);
  svc->server = server;
  svc->session = session;
  svc->made_by_logon = true;
  try {
    server->attach(connect_string);
    session->cache_enabled = (mode & OCI_SESSGET_STMTCACHE) != 0;
    warning = session->begin(*server, who.user, who.password, logon_mode_of(mode));
    session->username = who.user;
    return svc;
  } catch (...) {
    env.destroy(svc);
    throw;
  }
}

}  // namespace

extern "C" {

sword OCISessionPoolCreate(OCIEnv* envhp, OCIError* errhp, OCISPool* spoolhp, OraText** poolName, ub4* poolNameLen,
                           const OraText* connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax, ub4 sessIncr,
                           OraText* userid, ub4 useridLen, OraText* password, ub4 passwordLen, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* pool = live<SessionPool>(spoolhp);
  if (!live<Environment>(envhp) || !pool) return OCI_INVALID_HANDLE;
  return guarded("OCISessionPoolCreate", errors, [&] {
    if (mode & OCI_SPC_REINITIALIZE) {
      // Only the sizes count; the pool keeps its name, account and connect string.
      pool->reinitialize(sessMin, sessMax, sessIncr);
      if (poolName) *poolName = reinterpret_cast<OraText*>(const_cast<char*>(pool->name().c_str()));
      if (poolNameLen) *poolNameLen = static_cast<ub4>(pool->name().size());
      return OCI_SUCCESS;
    }
    PoolSettings settings;
    settings.connect_string = text_of(connStr, connStrLen);
    settings.owner = Credentials{text_of(userid, useridLen), text_of(password, passwordLen)};
    settings.min = sessMin;
    settings.max = sessMax;
    settings.increment = sessIncr;
    settings.homogeneous = (mode & OCI_SPC_HOMOGENEOUS) != 0;
    settings.statement_cache = (mode & OCI_SPC_STMTCACHE) != 0;
    pool->create(std::move(settings));
    if (poolName) *poolName = reinterpret_cast<OraText*>(const_cast<char*>(pool->name().c_str()));
    if (poolNameLen) *poolNameLen = static_cast<ub4>(pool->name().size());
    return OCI_SUCCESS;
  });
}

sword OCISessionPoolDestroy(OCISPool* spoolhp, OCIError* errhp, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* pool = live<SessionPool>(spoolhp);
  if (!pool) return OCI_INVALID_HANDLE;
  return guarded("OCISessionPoolDestroy", errors, [&] {
    pool->destroy((mode & OCI_SPD_FORCE) != 0);
    return OCI_SUCCESS;
  });
}

sword OCISessionGet(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, OCIAuthInfo* authhp, OraText* poolName,
                    ub4 poolName_len, const OraText* tagInfo, ub4 tagInfo_len, OraText** retTagInfo,
                    ub4* retTagInfo_len, boolean* found, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* env = live<Environment>(envhp);
  auto* auth = authhp ? live<Session>(authhp) : nullptr;
  if (!env || !svchp || (authhp && !auth)) return OCI_INVALID_HANDLE;
  return guarded("OCISessionGet", errors, [&]() -> sword {
    *svchp = nullptr;
    if (found) *found = 0;
    if (retTagInfo) *retTagInfo = nullptr;
    if (retTagInfo_len) *retTagInfo_len = 0;
    Credentials who = credentials_of(auth);
    if ((mode & OCI_SESSGET_SPOOL) == 0) {
      int warning = 0;
      ServiceContext* svc = standalone_session(*env, text_of(poolName, poolName_len), who, mode, warning);
      *svchp = reinterpret_cast<OCISvcCtx*>(svc);
      if (warning == 0) return OCI_SUCCESS;
      record_error(errors, warning, live<Session>(svc->session)->warning_text(warning));
      return OCI_SUCCESS_WITH_INFO;
    }
    SessionPool* pool = find_pool(text_of(poolName, poolName_len));
    if (pool == nullptr) fail(24416);
    GetRequest request{text_of(tagInfo, tagInfo_len), (mode & OCI_SESSGET_SPOOL_MATCHANY) != 0, logon_mode_of(mode)};
    Lent lent = pool->get(auth ? &who : nullptr, request);
    *svchp = reinterpret_cast<OCISvcCtx*>(lent.svc);
    if (found) *found = lent.found ? 1 : 0;
    if (retTagInfo && !lent.tag->empty()) *retTagInfo = reinterpret_cast<OraText*>(const_cast<char*>(lent.tag->c_str()));
    if (retTagInfo_len) *retTagInfo_len = static_cast<ub4>(lent.tag->size());
    return OCI_SUCCESS;
  });
}

sword OCISessionRelease(OCISvcCtx* svchp, OCIError* errhp, OraText* tag, ub4 tag_len, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCISessionRelease", errors, [&] {
    if (SessionPool* pool = lending_pool(svc)) {
      std::string new_tag = text_of(tag, tag_len);
      pool->release(svc, (mode & OCI_SESSRLS_RETAG) ? &new_tag : nullptr, (mode & OCI_SESSRLS_DROPSESS) != 0);
      return OCI_SUCCESS;
    }
    if (!svc->made_by_logon) fail(24421);
    if (auto* session = live<Session>(svc->session)) {
      SessionCallLock call(session);
      session->end();
    }
    svc->env()->destroy(svc);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
