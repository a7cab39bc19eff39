// Entries for statements: prepare (and the statement cache), binds, defines,
// execute, fetch, bind information and select-list parameters.
#include <algorithm>
#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/object_describe.h"

using namespace ociemu;

namespace {

std::string text_of(const OraText* text, size_t length) {
  return text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}

ElementArrays element_arrays(void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* lengths, ub2* codes) {
  ElementArrays arrays;
  arrays.values = valuep;
  arrays.value_size = value_sz;
  arrays.dty = dty;
  arrays.indicators = indp;
  arrays.lengths = lengths;
  arrays.codes = codes;
  arrays.value_skip = value_sz > 0 ? static_cast<uint32_t>(value_sz) : 0;
  return arrays;
}

// OCIParamGet on an error handle: the error of the pos-th failed row (0-based) of the last
// batch-errors execute, copied into the error handle the client passes in *target
// (or into one made here when it passes none).
sword get_row_error(const ErrorHandle& source, void** target, ub4 pos) {
  const std::optional<RowError> failed = source.row_error(pos);
  if (!failed) fail(24334);
  auto* into = live<ErrorHandle>(*target);
  if (into == nullptr) into = source.env()->make<ErrorHandle>(source.env());
  into->records.assign(failed->record);
  into->dml_row_offset = failed->row;
  *target = into;
  return OCI_SUCCESS;
}

std::string cache_key_for(const OraText* stmt, ub4 stmt_len, const OraText* key, ub4 key_len) {
  return key && key_len ? "K:" + text_of(key, key_len) : "S:" + text_of(stmt, stmt_len);
}

}  // namespace

extern "C" {

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtPrepare", errors, [&] {
    if (stmt == nullptr || stmt_len == 0) fail(24373);
    statement->prepare(text_of(stmt, stmt_len));
    return OCI_SUCCESS;
  });
}

sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                      const OraText* key, ub4 key_len, ub4, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc || !stmtp) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtPrepare2", errors, [&] {
    SessionCallLock call(svchp);
    Session& session = svc->live_session();
    std::string key_text = cache_key_for(stmt, stmt_len, key, key_len);
    Statement* statement = session.cache_enabled ? session.take_cached(key_text) : nullptr;
    if (statement == nullptr) {
      if (mode & OCI_PREP2_CACHE_SEARCHONLY) fail(24431);
      if (stmt == nullptr || stmt_len == 0) fail(24431);
      statement = svc->env()->make<Statement>(svc->env());
      statement->prepare(text_of(stmt, stmt_len));
    }
    statement->cache_key = std::move(key_text);
    statement->from_prepare2 = true;
    *stmtp = reinterpret_cast<OCIStmt*>(statement);
    return OCI_SUCCESS;
  });
}

sword OCIStmtRelease(OCIStmt* stmtp, OCIError* errhp, const OraText* key, ub4 key_len, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtRelease", errors, [&] {
    SessionCallLock call(statement->session());
    Session* session = statement->session();
    bool keep = session && session->begun && session->cache_enabled && !(mode & OCI_STRLS_CACHE_DELETE);
    if (!keep) {
      statement->env()->destroy(statement);
      return OCI_SUCCESS;
    }
    std::string key_text = key && key_len ? "K:" + text_of(key, key_len) : std::move(statement->cache_key);
    statement->close_cursor();
    statement->cache_key.clear();
    // The capacity is the service context's; a statement only knows its session, so use the default
    // unless the application changed it on the session's service context.
    session->keep_cached(statement, std::move(key_text), session->cache_capacity);
    return OCI_SUCCESS;
  });
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement || !bindp) return OCI_INVALID_HANDLE;
  return guarded("OCIBindByPos", errors, [&] {
    Bind* bound = statement->bind(position, {}, element_arrays(valuep, value_sz, dty, indp, alenp, rcodep), mode);
    bound->max_elements = maxarr_len;
    bound->current_elements = curelep;
    *bindp = reinterpret_cast<OCIBind*>(bound);
    return OCI_SUCCESS;
  });
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement || !bindp || !placeholder) return OCI_INVALID_HANDLE;
  return guarded("OCIBindByName", errors, [&] {
    size_t length = placeh_len < 0 ? std::strlen(reinterpret_cast<const char*>(placeholder)) : size_t(placeh_len);
    std::string name = text_of(placeholder, length);
    if (name.empty()) fail(1036);
    Bind* bound = statement->bind(0, name, element_arrays(valuep, value_sz, dty, indp, alenp, rcodep), mode);
    bound->max_elements = maxarr_len;
    bound->current_elements = curelep;
    *bindp = reinterpret_cast<OCIBind*>(bound);
    return OCI_SUCCESS;
  });
}

sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip) {
  OCIEMU_ERRORS(errhp);
  auto* bound = live<Bind>(bindp);
  if (!bound) return OCI_INVALID_HANDLE;
  return guarded("OCIBindArrayOfStruct", errors, [&] {
    bound->arrays.value_skip = pvskip;
    bound->arrays.indicator_skip = indskip;
    bound->arrays.length_skip = alskip;
    bound->arrays.code_skip = rcskip;
    return OCI_SUCCESS;
  });
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp) {
  OCIEMU_ERRORS(errhp);
  auto* bound = live<Bind>(bindp);
  if (!bound) return OCI_INVALID_HANDLE;
  return guarded("OCIBindDynamic", errors, [&] {
    bound->in_context = ictxp;
    bound->in_callback = icbfp;
    bound->out_context = octxp;
    bound->out_callback = ocbfp;
    return OCI_SUCCESS;
  });
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement || !defnp) return OCI_INVALID_HANDLE;
  return guarded("OCIDefineByPos", errors, [&] {
    Define* defined = statement->define(position, element_arrays(valuep, value_sz, dty, indp, rlenp, rcodep), mode);
    *defnp = reinterpret_cast<OCIDefine*>(defined);
    return OCI_SUCCESS;
  });
}

sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 rlskip, ub4 rcskip) {
  OCIEMU_ERRORS(errhp);
  auto* defined = live<Define>(defnp);
  if (!defined) return OCI_INVALID_HANDLE;
  return guarded("OCIDefineArrayOfStruct", errors, [&] {
    defined->arrays.value_skip = pvskip;
    defined->arrays.indicator_skip = indskip;
    defined->arrays.length_skip = rlskip;
    defined->arrays.code_skip = rcskip;
    return OCI_SUCCESS;
  });
}

sword OCIDefineDynamic(OCIDefine* defnp, OCIError* errhp, void* octxp, OCICallbackDefine ocbfp) {
  OCIEMU_ERRORS(errhp);
  auto* defined = live<Define>(defnp);
  if (!defined) return OCI_INVALID_HANDLE;
  return guarded("OCIDefineDynamic", errors, [&] {
    defined->callback_context = octxp;
    defined->callback = ocbfp;
    return OCI_SUCCESS;
  });
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff, const OCISnapshot*,
                     OCISnapshot*, ub4 mode) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  auto* statement = live<Statement>(stmtp);
  if (!svc || !statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtExecute", errors, [&] {
    SessionCallLock call(svchp);
    try {
      return statement->execute(svc->live_session(), errors, iters, rowoff, mode);
    } catch (...) {
      if (errors) errors->dml_row_offset = statement->dml_row_offset;
      throw;
    }
  });
}

sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtFetch2", errors, [&] {
    SessionCallLock call(statement->session());
    return statement->fetch(errors, nrows, orientation, scrollOffset);
  });
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtFetch", errors, [&] {
    SessionCallLock call(statement->session());
    if (orientation != OCI_FETCH_NEXT && orientation != 0) fail(24391);
    return statement->fetch(errors, nrows, OCI_FETCH_NEXT, 0);
  });
}

sword OCIStmtGetBindInfo(OCIStmt* stmtp, OCIError* errhp, ub4 size, ub4 startloc, sb4* found, OraText* bvnp[],
                         ub1 bvnl[], OraText* invp[], ub1 inpl[], ub1 dupl[], OCIBind** hndl) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmtp);
  if (!statement) return OCI_INVALID_HANDLE;
  return guarded("OCIStmtGetBindInfo", errors, [&] {
    const auto& names = statement->placeholder_names();
    if (names.empty()) {
      if (found) *found = 0;
      return OCI_NO_DATA;
    }
    // Negative while names remain past this call's page: clients page on until it turns positive.
    const size_t from_start = startloc > 0 ? names.size() - std::min<size_t>(names.size(), startloc - 1) : names.size();
    if (found) *found = from_start > size ? -static_cast<sb4>(names.size()) : static_cast<sb4>(names.size());
    for (ub4 i = 0; i < size && startloc + i <= names.size(); ++i) {
      size_t index = startloc - 1 + i;
      const std::string& name = names[index];
      bool duplicate = std::find(names.begin(), names.begin() + static_cast<long>(index), name) != names.begin() + static_cast<long>(index);
      if (bvnp) bvnp[i] = reinterpret_cast<OraText*>(const_cast<char*>(name.c_str()));
      if (bvnl) bvnl[i] = static_cast<ub1>(name.size());
      if (invp) invp[i] = nullptr;
      if (inpl) inpl[i] = 0;
      if (dupl) dupl[i] = duplicate ? 1 : 0;
      if (hndl) hndl[i] = reinterpret_cast<OCIBind*>(statement->bind_at(index));
    }
    return OCI_SUCCESS;
  });
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos) {
  OCIEMU_ERRORS(errhp);
  if (htype == OCI_DTYPE_PARAM) {
    TypeParam* list = live_type_param(hndlp);
    if (list == nullptr || parmdpp == nullptr) return OCI_INVALID_HANDLE;
    return guarded("OCIParamGet", errors, [&] { return get_type_param(*list, parmdpp, pos); });
  }
  if (htype == OCI_HTYPE_ERROR) {
    auto* source = live<ErrorHandle>(hndlp);
    if (!source || !parmdpp) return OCI_INVALID_HANDLE;
    return guarded("OCIParamGet", errors, [&] { return get_row_error(*source, parmdpp, pos); });
  }
  if (htype != OCI_HTYPE_STMT) return unimplemented("OCIParamGet", errhp);
  auto* statement = live<Statement>(hndlp);
  if (!statement || !parmdpp) return OCI_INVALID_HANDLE;
  return guarded("OCIParamGet", errors, [&] {
    *parmdpp = statement->param(pos);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
