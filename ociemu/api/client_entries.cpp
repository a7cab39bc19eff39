// Entries that general-purpose clients call around the classic ones: the
// client version, thread keys, pings, user memory and context values, the
// server release number, rowid text, descriptor arrays, and the *2 binds and
// defines with 4-byte lengths.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <string>

#include "ociemu/api/entry.h"
#include "ociemu/api/process_state.h"

using namespace ociemu;

namespace {

constexpr sword kClientMajor = 19, kClientMinor = 3;

// A thread key: one value per thread, with the destructor the client gave.
struct ThreadKey {
  pthread_key_t key;
};

// OCIContextSetValue values, per handle and key; cleared with the handle's environment only at exit.
struct ContextValues {
  std::mutex mutex;
  std::map<std::pair<const void*, std::string>, void*> values;
};

ContextValues& context_values() { return process_state<ContextValues>(); }

struct DescriptorArrays {
  std::mutex mutex;
  std::map<const void*, size_t> counts;  // first descriptor -> descriptors in its array
};

DescriptorArrays& descriptor_arrays() { return process_state<DescriptorArrays>(); }

sb4 narrow_size(sb8 size) {
  return size > std::numeric_limits<sb4>::max() ? std::numeric_limits<sb4>::max() : static_cast<sb4>(size);
}

}  // namespace

extern "C" {

void OCIClientVersion(sword* major, sword* minor, sword* update, sword* patch, sword* port_update) {
  if (major) *major = kClientMajor;
  if (minor) *minor = kClientMinor;
  if (update) *update = 0;
  if (patch) *patch = 0;
  if (port_update) *port_update = 0;
}

void OCIThreadProcessInit(void) {}

sword OCIThreadKeyInit(void*, OCIError*, OCIThreadKey** key, OCIThreadKeyDestFunc destFn) {
  if (key == nullptr) return OCI_ERROR;
  auto* made = new (std::nothrow) ThreadKey;
  if (made == nullptr) return OCI_ERROR;
  if (pthread_key_create(&made->key, destFn) != 0) {
    delete made;
    return OCI_ERROR;
  }
  *key = reinterpret_cast<OCIThreadKey*>(made);
  return OCI_SUCCESS;
}

sword OCIThreadKeyGet(void*, OCIError*, OCIThreadKey* key, void** pValue) {
  if (key == nullptr || pValue == nullptr) return OCI_ERROR;
  *pValue = pthread_getspecific(reinterpret_cast<ThreadKey*>(key)->key);
  return OCI_SUCCESS;
}

sword OCIThreadKeySet(void*, OCIError*, OCIThreadKey* key, void* value) {
  if (key == nullptr) return OCI_ERROR;
  return pthread_setspecific(reinterpret_cast<ThreadKey*>(key)->key, value) == 0 ? OCI_SUCCESS : OCI_ERROR;
}

sword OCIThreadKeyDestroy(void*, OCIError*, OCIThreadKey** key) {
  if (key == nullptr || *key == nullptr) return OCI_ERROR;
  auto* doomed = reinterpret_cast<ThreadKey*>(*key);
  pthread_key_delete(doomed->key);
  delete doomed;
  *key = nullptr;
  return OCI_SUCCESS;
}

sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* svc = live<ServiceContext>(svchp);
  if (!svc) return OCI_INVALID_HANDLE;
  return guarded("OCIPing", errors, [&] {
    svc->live_session();
    return OCI_SUCCESS;
  });
}

sword OCIMemoryAlloc(void* hdl, OCIError* errhp, void** mem, OCIDuration, ub4 size, ub4 flags) {
  OCIEMU_ERRORS(errhp);
  if (!is_live(hdl) || mem == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIMemoryAlloc", errors, [&] {
    *mem = (flags & OCI_MEMORY_CLEARED) ? std::calloc(1, size ? size : 1) : std::malloc(size ? size : 1);
    if (*mem == nullptr) fail(4030);
    return OCI_SUCCESS;
  });
}

sword OCIMemoryFree(void* hdl, OCIError* errhp, void* mem) {
  OCIEMU_ERRORS(errhp);
  if (!is_live(hdl)) return OCI_INVALID_HANDLE;
  (void)errors;
  std::free(mem);
  return OCI_SUCCESS;
}

sword OCIContextGetValue(void* hdl, OCIError* errhp, ub1* key, ub1 keylen, void** ctx_value) {
  OCIEMU_ERRORS(errhp);
  if (!is_live(hdl) || ctx_value == nullptr) return OCI_INVALID_HANDLE;
  (void)errors;
  auto& values = context_values();
  std::lock_guard lock(values.mutex);
  auto found = values.values.find({hdl, std::string(reinterpret_cast<char*>(key), keylen)});
  *ctx_value = found == values.values.end() ? nullptr : found->second;
  return OCI_SUCCESS;
}

sword OCIContextSetValue(void* hdl, OCIError* errhp, OCIDuration, ub1* key, ub1 keylen, void* ctx_value) {
  OCIEMU_ERRORS(errhp);
  if (!is_live(hdl)) return OCI_INVALID_HANDLE;
  (void)errors;
  auto& values = context_values();
  std::lock_guard lock(values.mutex);
  values.values[{hdl, std::string(reinterpret_cast<char*>(key), keylen)}] = ctx_value;
  return OCI_SUCCESS;
}

// The release number of Oracle's 18c-on layout: major 8 bits, minor 8, update 4, port release 8, port update 4.
sword OCIServerRelease2(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype, ub4* version, ub4) {
  sword rc = OCIServerVersion(hndlp, errhp, bufp, bufsz, hndltype);
  if (rc == OCI_SUCCESS && version) *version = (ub4{kClientMajor} << 24) | (ub4{kClientMinor} << 16);
  return rc;
}

sword OCIRowidToChar(OCIRowid* rowidDesc, OraText* outbfp, ub2* outbflp, OCIError* errhp) {
  OCIEMU_ERRORS(errhp);
  auto* rowid = live<RowidDescriptor>(rowidDesc);
  if (!rowid || outbflp == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIRowidToChar", errors, [&] {
    if (rowid->text().empty()) fail(1410);
    size_t needed = rowid->text().size();
    if (outbfp == nullptr || *outbflp < needed) {
      *outbflp = static_cast<ub2>(needed);
      fail(1406);  // buffer too small for the rowid text
    }
    std::memcpy(outbfp, rowid->text().data(), needed);
    *outbflp = static_cast<ub2>(needed);
    return OCI_SUCCESS;
  });
}

// The client passes its own array of pointers and frees by the first element,
// so the count of each allocation is kept here under that first descriptor.
sword OCIArrayDescriptorAlloc(const void* parenth, void** descpp, const ub4 type, ub4 array_size,
                              const size_t xtramem_sz, void** usrmempp) {
  if (descpp == nullptr || array_size == 0) return OCI_INVALID_HANDLE;
  for (ub4 i = 0; i < array_size; ++i) {
    sword rc = OCIDescriptorAlloc(parenth, &descpp[i], type, xtramem_sz, usrmempp);
    if (rc != OCI_SUCCESS) {
      while (i > 0) OCIDescriptorFree(descpp[--i], type);
      return rc;
    }
  }
  auto& arrays = descriptor_arrays();
  std::lock_guard lock(arrays.mutex);
  arrays.counts[descpp[0]] = array_size;
  return OCI_SUCCESS;
}

sword OCIArrayDescriptorFree(void** descp, const ub4 type) {
  if (descp == nullptr) return OCI_INVALID_HANDLE;
  size_t count = 0;
  {
    auto& arrays = descriptor_arrays();
    std::lock_guard lock(arrays.mutex);
    auto found = arrays.counts.find(descp[0]);
    if (found == arrays.counts.end()) return OCI_INVALID_HANDLE;
    count = found->second;
    arrays.counts.erase(found);
  }
  for (size_t i = 0; i < count; ++i) OCIDescriptorFree(descp[i], type);
  return OCI_SUCCESS;
}

sword OCIBindByPos2(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep, sb8 value_sz,
                    ub2 dty, void* indp, ub4* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode) {
  sword rc = OCIBindByPos(stmtp, bindp, errhp, position, valuep, narrow_size(value_sz), dty, indp, nullptr, rcodep,
                          maxarr_len, curelep, mode);
  if (rc == OCI_SUCCESS) live<Bind>(*bindp)->arrays.wide_lengths = alenp;
  return rc;
}

sword OCIBindByName2(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                     void* valuep, sb8 value_sz, ub2 dty, void* indp, ub4* alenp, ub2* rcodep, ub4 maxarr_len,
                     ub4* curelep, ub4 mode) {
  sword rc = OCIBindByName(stmtp, bindp, errhp, placeholder, placeh_len, valuep, narrow_size(value_sz), dty, indp,
                           nullptr, rcodep, maxarr_len, curelep, mode);
  if (rc == OCI_SUCCESS) live<Bind>(*bindp)->arrays.wide_lengths = alenp;
  return rc;
}

sword OCIDefineByPos2(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep, sb8 value_sz,
                      ub2 dty, void* indp, ub4* rlenp, ub2* rcodep, ub4 mode) {
  sword rc = OCIDefineByPos(stmtp, defnp, errhp, position, valuep, narrow_size(value_sz), dty, indp, nullptr, rcodep,
                            mode);
  if (rc == OCI_SUCCESS) live<Define>(*defnp)->arrays.wide_lengths = rlenp;
  return rc;
}

// The implicit results of the block the statement ran, in the order it returned them.
sword OCIStmtGetNextResult(OCIStmt* stmthp, OCIError* errhp, void** result, ub4* rtype, ub4) {
  OCIEMU_ERRORS(errhp);
  auto* statement = live<Statement>(stmthp);
  if (!statement) return OCI_INVALID_HANDLE;
  (void)errors;
  Statement* next = statement->next_implicit_result();
  if (result) *result = next;
  if (rtype) *rtype = next ? OCI_RESULT_TYPE_SELECT : 0;
  return next ? OCI_SUCCESS : OCI_NO_DATA;
}

}  // extern "C"
