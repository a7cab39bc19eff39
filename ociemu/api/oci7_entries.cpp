// Version 7 entries. The application owns the data areas; the emulator keeps
// its own state per area address and writes only the documented fields.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "ociemu/api/entry.h"
#include "ociemu/api/oci7.h"
#include "ociemu/api/process_state.h"

static_assert(sizeof(Cda_Def) == 88, "the data area is the 64-bit client's 88 bytes");
static_assert(offsetof(Cda_Def, rc) == 12 && offsetof(Cda_Def, rpc) == 4 && offsetof(Cda_Def, peo) == 8 &&
                  offsetof(Cda_Def, chk) == 40 && offsetof(Cda_Def, rcsp) == 48,
              "documented data area offsets");

using namespace ociemu;

namespace {

constexpr ub1 kLogonCheck = 202;
constexpr ub1 kCursorCheck = 172;

// Function codes written to the area's fc field.
enum FunctionCode : ub1 {
  kParse = 54, kExec = 4, kDefine = 8, kFetch = 12, kOpen = 14, kClose = 16, kExecFetch = 56, kFetchLong = 58,
  kDescribe = 60, kBind = 62,
};

struct Logon {
  Environment* env = nullptr;  // owned unless the area wraps an OCI8 service context
  ServiceContext* svc = nullptr;
  ErrorHandle* errors = nullptr;
  bool owns_env = true;
  // The last error on the logon or its cursors, so that oerhms gives its full text.
  int last_code = 0;
  std::string last_text;
};

struct Cursor {
  Lda_Def* lda = nullptr;
  Statement* statement = nullptr;
};

struct Areas {
  std::mutex mutex;
  std::map<const Lda_Def*, std::unique_ptr<Logon>> logons;
  std::map<const Cda_Def*, std::unique_ptr<Cursor>> cursors;
};

Areas& areas() { return process_state<Areas>(); }

Logon* find_logon(const Lda_Def* lda) {
  std::lock_guard lock(areas().mutex);
  auto found = areas().logons.find(lda);
  return found == areas().logons.end() ? nullptr : found->second.get();
}

Cursor* find_cursor(const Cda_Def* cda) {
  std::lock_guard lock(areas().mutex);
  auto found = areas().cursors.find(cda);
  return found == areas().cursors.end() ? nullptr : found->second.get();
}

void release_logon(Lda_Def* lda) {
  std::unique_ptr<Logon> logon;
  {
    std::lock_guard lock(areas().mutex);
    auto found = areas().logons.find(lda);
    if (found == areas().logons.end()) return;
    logon = std::move(found->second);
    areas().logons.erase(found);
    std::erase_if(areas().cursors, [lda](auto& entry) { return entry.second->lda == lda; });
  }
  if (logon->owns_env) delete logon->env;
}

std::string text_arg(const OraText* text, sword length) {
  if (text == nullptr) return {};
  return length < 0 ? std::string(reinterpret_cast<const char*>(text)) : std::string(reinterpret_cast<const char*>(text), size_t(length));
}

void remember_error(const Cda_Def* area, const OracleError& error) {
  const Cursor* cursor = find_cursor(area);
  Logon* logon = find_logon(cursor ? cursor->lda : area);
  if (logon == nullptr) return;
  logon->last_code = error.code;
  logon->last_text = full_message(error.code, error.message);
}

// Runs body for an area: the result is the Oracle error number, also left in rc.
// A failure injected for the entry fails the call before the body does any work.
template <class Body>
sword on_area(const char* entry_name, Cda_Def* area, ub1 function, Body&& body) noexcept {
  if (area == nullptr) return -1;
  area->fc = function;
  int code = 0;
  try {
    if (int injected = take_injected_failure(entry_name)) fail(injected);
    code = body();
  } catch (const OracleException& e) {
    code = e.error.code;
    area->peo = static_cast<ub2>(e.error.parse_offset);
    remember_error(area, e.error);
  } catch (...) {
    code = 600;
  }
  area->rc = static_cast<ub2>(code);
  area->v2_rc = static_cast<sb2>(-code);
  return code;
}

Session& session_of(Cursor& cursor) {
  Logon* logon = find_logon(cursor.lda);
  if (logon == nullptr) fail(1012);
  return logon->svc->live_session();
}

Cursor& cursor_of(Cda_Def* cda) {
  Cursor* cursor = find_cursor(cda);
  if (cursor == nullptr || live<Statement>(cursor->statement) == nullptr) fail(1001);
  return *cursor;
}

Statement* register_cursor(Cda_Def* area, Lda_Def* lda, Logon& logon) {
  auto state = std::make_unique<Cursor>();
  state->lda = lda;
  state->statement = logon.env->make<Statement>(logon.env);
  Statement* statement = state->statement;
  {
    std::lock_guard lock(areas().mutex);
    areas().cursors[area] = std::move(state);
  }
  area->chk = kCursorCheck;
  return statement;
}

}  // namespace

// A cursor variable's area needs no oopen: the block that opens it makes it a cursor of the
// block's own logon.
Statement* ociemu::cursor_variable_area(void* area, const Statement& opener) {
  if (Statement* existing = cursor_area_statement(area)) return existing;
  Lda_Def* lda = nullptr;
  {
    std::lock_guard lock(areas().mutex);
    for (const auto& [cda, cursor] : areas().cursors) {
      if (cursor->statement == &opener) lda = cursor->lda;
    }
  }
  Logon* logon = lda ? find_logon(lda) : nullptr;
  if (logon == nullptr) return nullptr;
  auto* cda = static_cast<Cda_Def*>(area);
  std::memset(cda, 0, sizeof(Cda_Def));
  return register_cursor(cda, lda, *logon);
}

Statement* ociemu::cursor_area_statement(const void* area) {
  Cursor* cursor = find_cursor(static_cast<const Cda_Def*>(area));
  return cursor ? live<Statement>(cursor->statement) : nullptr;
}

namespace {

ub2 function_code(const Statement& statement) {
  if (statement.sql_function_code) return statement.sql_function_code;
  switch (statement.statement_type) {
    case OCI_STMT_SELECT: return 4;
    case OCI_STMT_INSERT: return 3;
    case OCI_STMT_UPDATE: return 5;
    case OCI_STMT_DELETE: return 9;
    case OCI_STMT_BEGIN:
    case OCI_STMT_DECLARE: return 34;
    default: return 0;
  }
}

int status_code(sword status, Statement& statement) {
  (void)statement;
  return status == OCI_NO_DATA ? 1403 : 0;
}

sword logon(const char* entry_name, Lda_Def* lda, const std::string& user, const std::string& password, const std::string& database) {
  if (lda == nullptr) return -1;
  release_logon(lda);
  std::memset(lda, 0, sizeof(Lda_Def));
  auto state = std::make_unique<Logon>();
  state->env = new Environment(OCI_THREADED);
  state->errors = state->env->make<ErrorHandle>(state->env);
  Logon* raw = state.get();
  {
    std::lock_guard lock(areas().mutex);
    areas().logons[lda] = std::move(state);
  }
  sword result = on_area(entry_name, lda, 0, [&] {
    auto* server = raw->env->make<Server>(raw->env);
    auto* session = raw->env->make<Session>(raw->env);
    raw->svc = raw->env->make<ServiceContext>(raw->env);
    raw->svc->server = server;
    raw->svc->session = session;
    raw->svc->made_by_logon = true;
    server->attach(database);
    session->username = user;
    return session->begin(*server, user, password, 0);
  });
  if (result != 0 && result != 28002) {
    release_logon(lda);
    lda->rc = static_cast<ub2>(result);
    return result;
  }
  lda->chk = kLogonCheck;
  return 0;
}

struct Credentials {
  std::string user, password, database;
};

// "user/password@database" as the uid may carry it; a separate password wins.
Credentials credentials_of(const OraText* uid, sword uidl, const OraText* pswd, sword pswdl) {
  Credentials result;
  std::string text = text_arg(uid, uidl);
  size_t at = text.find('@');
  if (at != std::string::npos) {
    result.database = text.substr(at + 1);
    text.resize(at);
  }
  size_t slash = text.find('/');
  if (slash != std::string::npos) {
    result.password = text.substr(slash + 1);
    text.resize(slash);
  }
  result.user = text;
  if (pswd) result.password = text_arg(pswd, pswdl);
  return result;
}

}  // namespace

namespace ociemu {

Session* oci7_session(Lda_Def* lda) {
  Logon* logon = find_logon(lda);
  return logon ? live<Session>(logon->svc->session) : nullptr;
}

}  // namespace ociemu

extern "C" {

sword opinit(ub4) { return take_injected_failure("opinit"); }

sword olog(Lda_Def* lda, ub1*, OraText* uid, sword uidl, OraText* pswd, sword pswdl, OraText* conn, sword connl, ub4) {
  Credentials given = credentials_of(uid, uidl, pswd, pswdl);
  if (conn) given.database = text_arg(conn, connl);
  return logon("olog", lda, given.user, given.password, given.database);
}

sword orlon(Lda_Def* lda, ub1*, OraText* uid, sword uidl, OraText* pswd, sword pswdl, sword) {
  const Credentials given = credentials_of(uid, uidl, pswd, pswdl);
  return logon("orlon", lda, given.user, given.password, given.database);
}

// A killed session is gone on the server: the logoff reports the lost
// connection and still frees the area. An injected failure keeps the logon.
sword ologof(Lda_Def* lda) {
  if (find_logon(lda) == nullptr) return -1;
  bool ran = false;
  sword result = on_area("ologof", lda, 0, [&] {
    ran = true;
    Logon* logon = find_logon(lda);
    if (auto* session = live<Session>(logon->svc->session)) session->end_reporting_loss();
    return 0;
  });
  if (ran) release_logon(lda);
  return result;
}

// A failure injected here leaves the buffer empty: there is no other way to report one.
sword oerhms(Lda_Def* lda, sb2 rcode, OraText* buf, sword bufsiz) {
  if (buf == nullptr || bufsiz <= 0) return 0;
  if (take_injected_failure("oerhms")) {
    buf[0] = 0;
    return 0;
  }
  const Logon* logon = find_logon(lda);
  std::string text = logon && logon->last_code == rcode ? logon->last_text : full_message(rcode, message_text(rcode));
  size_t n = std::min<size_t>(text.size(), size_t(bufsiz) - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = 0;
  return static_cast<sword>(n);
}

sword oopen(Cda_Def* cursor, Lda_Def* lda, OraText*, sword, sword, OraText*, sword) {
  if (cursor == nullptr) return -1;
  std::memset(cursor, 0, sizeof(Cda_Def));
  return on_area("oopen", cursor, kOpen, [&] {
    Logon* logon = find_logon(lda);
    if (logon == nullptr) fail(1012);
    logon->svc->live_session();
    register_cursor(cursor, lda, *logon);
    return 0;
  });
}

sword oclose(Cda_Def* cursor) {
  return on_area("oclose", cursor, kClose, [&] {
    std::unique_ptr<Cursor> state;
    {
      std::lock_guard lock(areas().mutex);
      auto found = areas().cursors.find(cursor);
      if (found == areas().cursors.end()) fail(1001);
      state = std::move(found->second);
      areas().cursors.erase(found);
    }
    if (auto* statement = live<Statement>(state->statement)) statement->env()->destroy(statement);
    return 0;
  });
}

sword oparse(Cda_Def* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4) {
  return on_area("oparse", cursor, kParse, [&] {
    Cursor& state = cursor_of(cursor);
    cursor->peo = 0;
    state.statement->prepare(text_arg(sqlstm, sqllen));
    cursor->ft = function_code(*state.statement);
    if (defflg == 0) {
      Session& session = session_of(state);
      try {
        state.statement->execute(session, nullptr, 0, 0, OCI_DESCRIBE_ONLY);
      } catch (...) {
        cursor->peo = state.statement->parse_error_offset;
        throw;
      }
      cursor->ft = function_code(*state.statement);
    }
    return 0;
  });
}

sword obndra(Cda_Def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype, sword, sb2* indp,
             ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz, OraText*, sword, sword) {
  return on_area("obndra", cursor, kBind, [&] {
    Cursor& state = cursor_of(cursor);
    ElementArrays arrays;
    arrays.values = progv;
    arrays.value_size = progvl;
    arrays.dty = static_cast<uint16_t>(ftype);
    arrays.indicators = indp;
    arrays.lengths = alen;
    arrays.codes = arcode;
    arrays.value_skip = progvl > 0 ? static_cast<uint32_t>(progvl) : 0;
    Bind* bound = state.statement->bind(0, text_arg(sqlvar, sqlvl), arrays, 0);
    bound->max_elements = maxsiz;
    bound->current_elements = cursiz;
    return 0;
  });
}

sword odefin(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword, sb2* indp, OraText*, sword, sword,
             ub2* rlen, ub2* rcode) {
  return on_area("odefin", cursor, kDefine, [&] {
    Cursor& state = cursor_of(cursor);
    ElementArrays arrays;
    arrays.values = buf;
    arrays.value_size = bufl;
    arrays.dty = static_cast<uint16_t>(ftype);
    arrays.indicators = indp;
    arrays.lengths = rlen;
    arrays.codes = rcode;
    arrays.value_skip = bufl > 0 ? static_cast<uint32_t>(bufl) : 0;
    if (pos <= 0) fail(1007);
    state.statement->define(static_cast<uint32_t>(pos), arrays, 0);
    return 0;
  });
}

// The row id of the last row DML touched: object, file, block and row in the area's rid fields.
static void set_row_id(Cda_Def& cursor, const std::string& rowid_text) {
  sql::RowidParts parts;
  if (!sql::rowid_parts(rowid_text, parts)) return;
  cursor.rid.rd.rcs4 = parts.object;
  cursor.rid.rd.rcs5 = parts.file;
  cursor.rid.rd.rcs6 = 0;
  cursor.rid.rcs7 = parts.block;
  cursor.rid.rcs8 = parts.row;
}

static sword execute_cursor(const char* entry_name, Cda_Def* cursor, ub1 function, ub4 iters, ub4 rowoff,
                            bool fetch_too, bool cancel) {
  return on_area(entry_name, cursor, function, [&] {
    Cursor& state = cursor_of(cursor);
    Session& session = session_of(state);
    Statement& statement = *state.statement;
    bool query = statement.statement_type == OCI_STMT_SELECT;
    ub4 count = query ? (fetch_too ? iters : 0) : iters;
    sword status;
    try {
      status = statement.execute(session, nullptr, count, rowoff, 0);
    } catch (...) {
      cursor->rpc = static_cast<ub4>(statement.row_count);
      cursor->peo = statement.parse_error_offset;
      throw;
    }
    cursor->ft = function_code(statement);
    cursor->rpc = static_cast<ub4>(statement.row_count);
    if (!query) set_row_id(*cursor, statement.rowid_text);
    if (cancel) statement.close_cursor();
    return status_code(status, statement);
  });
}

sword oexec(Cda_Def* cursor) { return execute_cursor("oexec", cursor, kExec, 1, 0, false, false); }

sword oexn(Cda_Def* cursor, sword iters, sword rowoff) {
  if (iters <= 0 || rowoff < 0) return -1;
  return execute_cursor("oexn", cursor, kExec, static_cast<ub4>(iters), static_cast<ub4>(rowoff), false, false);
}

sword oexfet(Cda_Def* cursor, ub4 nrows, sword cancel, sword) {
  return execute_cursor("oexfet", cursor, kExecFetch, nrows, 0, true, cancel != 0);
}

sword ofen(Cda_Def* cursor, sword nrows) {
  return on_area("ofen", cursor, kFetch, [&] {
    Cursor& state = cursor_of(cursor);
    session_of(state);
    if (nrows <= 0) fail(1002);
    sword status;
    try {
      status = state.statement->fetch(nullptr, static_cast<ub4>(nrows), OCI_FETCH_NEXT, 0);
    } catch (...) {
      cursor->rpc = static_cast<ub4>(state.statement->row_count);
      throw;
    }
    cursor->rpc = static_cast<ub4>(state.statement->row_count);
    return status_code(status, *state.statement);
  });
}

sword oflng(Cda_Def* cursor, sword pos, ub1* buf, sb4 bufl, sword, ub4* retl, sb4 offset) {
  return on_area("oflng", cursor, kFetchLong, [&] {
    Cursor& state = cursor_of(cursor);
    std::string bytes = state.statement->current_value_bytes(static_cast<uint32_t>(pos));
    size_t start = offset < 0 ? 0 : std::min(bytes.size(), size_t(offset));
    size_t n = std::min(bytes.size() - start, bufl > 0 ? size_t(bufl) : 0);
    if (n) std::memcpy(buf, bytes.data() + start, n);
    if (retl) *retl = static_cast<ub4>(n);
    return 0;
  });
}

sword odescr(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize, sb2* prec,
             sb2* scale, sb2* nullok) {
  return on_area("odescr", cursor, kDescribe, [&] {
    Cursor& state = cursor_of(cursor);
    Statement& statement = *state.statement;
    if (statement.column_count() == 0 && statement.statement_type == OCI_STMT_SELECT) {
      statement.execute(session_of(state), nullptr, 0, 0, OCI_DESCRIBE_ONLY);
    }
    if (pos <= 0 || static_cast<uint32_t>(pos) > statement.column_count()) return 1007;
    const ColumnInfo& column = statement.columns()[static_cast<size_t>(pos) - 1];
    if (dbsize) *dbsize = column.type.data_size;
    if (dbtype) *dbtype = static_cast<sb2>(column.type.type_code);
    if (cbufl) {
      size_t n = std::min<size_t>(column.name.size(), *cbufl > 0 ? size_t(*cbufl) : 0);
      if (cbuf) std::memcpy(cbuf, column.name.data(), n);
      *cbufl = static_cast<sb4>(n);
    }
    if (dsize) *dsize = column.type.type_code == 2 ? 40 : column.type.data_size;
    if (prec) *prec = static_cast<sb2>(column.type.precision);
    if (scale) *scale = static_cast<sb2>(column.type.scale);
    if (nullok) *nullok = column.nullable ? 1 : 0;
    return 0;
  });
}

sword odessp(Cda_Def* cursor, OraText*, size_t, ub1*, size_t, ub1*, size_t, ub2*, ub2*, ub2*, OraText**, ub2*, ub2*,
             ub1*, ub1*, ub4*, sb2*, sb2*, ub1*, ub4*, ub4* arrsiz) {
  if (arrsiz) *arrsiz = 0;
  return on_area("odessp", cursor, 0, [] { return 3001; });
}

static sword on_logon(const char* entry_name, Lda_Def* lda, void (*action)(Session&)) {
  if (find_logon(lda) == nullptr) return lda ? (lda->rc = 1012, 1012) : -1;
  return on_area(entry_name, lda, 0, [&] {
    action(find_logon(lda)->svc->live_session());
    return 0;
  });
}

sword ocom(Lda_Def* lda) { return on_logon("ocom", lda, [](Session& s) { s.commit(); }); }
sword orol(Lda_Def* lda) { return on_logon("orol", lda, [](Session& s) { s.rollback(); }); }
sword ocon(Lda_Def* lda) { return on_logon("ocon", lda, [](Session& s) { s.autocommit = true; }); }
sword ocof(Lda_Def* lda) { return on_logon("ocof", lda, [](Session& s) { s.autocommit = false; }); }

// Nothing runs asynchronously here, so there is never anything to interrupt.
sword obreak(Lda_Def* lda) {
  if (find_logon(lda) == nullptr) return -1;
  return on_area("obreak", lda, 0, [] { return 0; });
}

sword OCISvcCtxToLda(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  auto* svc = live<ServiceContext>(svchp);
  if (bad || !svc || !ldap) return OCI_INVALID_HANDLE;
  return guarded("OCISvcCtxToLda", errors, [&] {
    svc->live_session();
    release_logon(ldap);
    std::memset(ldap, 0, sizeof(Lda_Def));
    auto state = std::make_unique<Logon>();
    state->env = svc->env();
    state->svc = svc;
    state->owns_env = false;
    std::lock_guard lock(areas().mutex);
    areas().logons[ldap] = std::move(state);
    ldap->chk = kLogonCheck;
    return OCI_SUCCESS;
  });
}

sword OCILdaToSvcCtx(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad || !svchpp) return OCI_INVALID_HANDLE;
  return guarded("OCILdaToSvcCtx", errors, [&] {
    Logon* logon = find_logon(ldap);
    if (logon == nullptr) fail(1012);
    *svchpp = reinterpret_cast<OCISvcCtx*>(logon->svc);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
