// Entries for servers, sessions, logon, passwords, versions and transactions.
#include <cstring>

#include "ociemu/api/entry.h"

using namespace ociemu;

namespace {

std::string text_of(const OraText* text, size_t length) {
  return text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}

sword finish_logon(ErrorHandle* errors, const Session& session, int warning) {
  if (warning == 0) return OCI_SUCCESS;
  record_error(errors, warning, session.warning_text(warning));
  return OCI_SUCCESS_WITH_INFO;
}

}  // namespace

extern "C" {

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* server = live<Server>(srvhp);
  if (!server) return OCI_INVALID_HANDLE;
  return guarded("OCIServerAttach", errors, [&] {
    size_t length = dblink == nullptr ? 0 : dblink_len < 0 ? std::strlen(reinterpret_cast<const char*>(dblink)) : size_t(dblink_len);
    server->attach(text_of(dblink, length));
    return OCI_SUCCESS;
  });
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* server = live<Server>(srvhp);
  if (!server) return OCI_INVALID_HANDLE;
  return guarded("OCIServerDetach", errors, [&] {
    server->detach();
    return OCI_SUCCESS;
  });
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  auto* session = live<Session>(usrhp);
  if (!svc || !session) return OCI_INVALID_HANDLE;
  return guarded("OCISessionBegin", errors, [&] {
    Server* server = svc->live_server();
    if (server == nullptr || !server->database) fail(3114);
    session->cache_capacity = svc->stmt_cache_size;
    int warning = session->begin(*server, session->username, session->password, mode);
    svc->session = session;
    return finish_logon(errors, *session, warning);
  });
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  Session* session = usrhp ? live<Session>(usrhp) : live<Session>(svc->session);
  if (!session) return OCI_INVALID_HANDLE;
  return guarded("OCISessionEnd", errors, [&] {
    SessionCallLock call(session);
    session->end_reporting_loss();
    return OCI_SUCCESS;
  });
}

sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
               const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len) {
  OCIEMU_ERRORS(errhp);
  auto* env = live<Environment>(envhp);
  if (!env || !svchp) return OCI_INVALID_HANDLE;
  return guarded("OCILogon", errors, [&] {
    auto* server = env->make<Server>(env);
    auto* session = env->make<Session>(env);
    auto* svc = env->make<ServiceContext>(env);
    svc->server = server;
    svc->session = session;
    svc->made_by_logon = true;
    try {
      server->attach(text_of(dbname, dbname_len));
      int warning = session->begin(*server, text_of(username, uname_len), text_of(password, passwd_len), 0);
      session->username = text_of(username, uname_len);
      *svchp = reinterpret_cast<OCISvcCtx*>(svc);
      return finish_logon(errors, *session, warning);
    } catch (...) {
      env->destroy(svc);
      *svchp = nullptr;
      throw;
    }
  });
}

sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCILogoff", errors, [&] {
    if (auto* session = live<Session>(svc->session)) {
      SessionCallLock call(session);
      session->end();
    }
    if (svc->made_by_logon) svc->env()->destroy(svc);
    return OCI_SUCCESS;
  });
}

sword OCIPasswordChange(OCISvcCtx* svchp, OCIError* errhp, const OraText* user_name, ub4 usernm_len,
                        const OraText* opasswd, ub4 opasswd_len, const OraText* npasswd, ub4 npasswd_len, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCIPasswordChange", errors, [&] {
    SessionCallLock call(svchp);
    std::string user = text_of(user_name, usernm_len);
    std::string old_password = text_of(opasswd, opasswd_len);
    std::string new_password = text_of(npasswd, npasswd_len);
    if ((mode & OCI_AUTH) == 0) {
      Session& session = svc->live_session();
      session.change_password(user, old_password, new_password);
      return OCI_SUCCESS;
    }
    // Logs on while changing: the way in for an expired password.
    Server* server = svc->live_server();
    auto* session = live<Session>(svc->session);
    if (!server || !server->database || !session) fail(1012);
    Connection check(server->database->path);
    if (sql::authenticate(check.db(), user, old_password) == sql::LogonResult::BadPassword) fail(1017);
    sql::change_password(check.db(), user, new_password);
    int warning = session->begin(*server, user, new_password, 0);
    return finish_logon(errors, *session, warning);
  });
}

sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype) {
  OCIEMU_ERRORS(errhp);
  if (!find_live(hndlp, hndltype) || (hndltype != OCI_HTYPE_SVCCTX && hndltype != OCI_HTYPE_SERVER)) {
    return OCI_INVALID_HANDLE;
  }
  return guarded("OCIServerVersion", errors, [&] {
    if (hndltype == OCI_HTYPE_SVCCTX) static_cast<ServiceContext*>(find_live(hndlp, hndltype))->live_session();
    std::string banner = server_banner();
    if (bufp && bufsz > 0) {
      size_t n = std::min<size_t>(banner.size(), bufsz - 1);
      std::memcpy(bufp, banner.data(), n);
      bufp[n] = 0;
    }
    return OCI_SUCCESS;
  });
}

sword OCIBreak(void* hndlp, OCIError* errhp) {
  OCIEMU_ERRORS(errhp);
  if (!live<ServiceContext>(hndlp) && !live<Server>(hndlp)) return OCI_INVALID_HANDLE;
  // Calls run to completion inside the caller's thread; there is nothing in flight to interrupt.
  return guarded("OCIBreak", errors, [] { return OCI_SUCCESS; });
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCITransCommit", errors, [&] {
    SessionCallLock call(svchp);
    svc->live_session().commit();
    return OCI_SUCCESS;
  });
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCITransRollback", errors, [&] {
    SessionCallLock call(svchp);
    svc->live_session().rollback();
    return OCI_SUCCESS;
  });
}

sword OCITransStart(OCISvcCtx* svchp, OCIError* errhp, uword, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  // Local transactions begin implicitly; starting one explicitly only checks the session.
  return guarded("OCITransStart", errors, [&] {
    SessionCallLock call(svchp);
    svc->live_session();
    return OCI_SUCCESS;
  });
}

sword OCITransDetach(OCISvcCtx* svchp, OCIError* errhp, ub4) { return unimplemented("OCITransDetach", errhp); (void)svchp; }
sword OCITransPrepare(OCISvcCtx* svchp, OCIError* errhp, ub4) { return unimplemented("OCITransPrepare", errhp); (void)svchp; }
sword OCITransForget(OCISvcCtx* svchp, OCIError* errhp, ub4) { return unimplemented("OCITransForget", errhp); (void)svchp; }

}  // extern "C"
