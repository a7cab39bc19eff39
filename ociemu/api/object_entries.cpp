// The client object cache entries. A LOB type code gives a locator slot (the
// way LOB attributes of objects are made); other instances are not kept yet.
#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"

using namespace ociemu;

extern "C" {

sword OCIObjectNew(OCIEnv* envhp, OCIError* errhp, const OCISvcCtx*, OCITypeCode typecode, OCIType*, void*,
                   OCIDuration, boolean, void** instance) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  auto* env = live<Environment>(envhp);
  if (bad || env == nullptr || instance == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCIObjectNew", errors, [&]() -> sword {
    switch (typecode) {
      case OCI_TYPECODE_CLOB:
      case OCI_TYPECODE_BLOB: *instance = env->make<LobLocator>(OCI_DTYPE_LOB, env); return OCI_SUCCESS;
      case OCI_TYPECODE_BFILE: *instance = env->make<LobLocator>(OCI_DTYPE_FILE, env); return OCI_SUCCESS;
      default: fail(3001);
    }
  });
}

sword OCIObjectFree(OCIEnv*, OCIError* errhp, void* instance, ub2) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad) return OCI_INVALID_HANDLE;
  return guarded("OCIObjectFree", errors, [&]() -> sword {
    LobLocator* locator = live_locator(instance);
    if (locator == nullptr) fail(3001);
    locator->env()->destroy(locator);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
