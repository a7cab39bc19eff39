// Entries the emulator does not implement (objects,
// direct path, external procedures...): each answers OCI_ERROR with
// ORA-03001 through the error handle it was given, and never crashes.
#include "ociemu/api/entry.h"

using namespace ociemu;

namespace ociemu {

sword unimplemented(const char* entry_name, void* errhp) {
  ErrorHandle* errors = live<ErrorHandle>(errhp);
  if (errhp != nullptr && errors == nullptr) return OCI_INVALID_HANDLE;
  return guarded(entry_name, errors, []() -> sword { fail(3001); });
}

}  // namespace ociemu

#define UNIMPLEMENTED(name) return unimplemented(#name, errhp)

extern "C" {

sword OCIStmtGetPieceInfo(OCIStmt*, OCIError* errhp, void**, ub4*, ub1*, ub4*, ub4*, ub1*) { UNIMPLEMENTED(OCIStmtGetPieceInfo); }
sword OCIStmtSetPieceInfo(void*, ub4, OCIError* errhp, const void*, ub4*, ub1, const void*, ub2*) { UNIMPLEMENTED(OCIStmtSetPieceInfo); }
sword OCIParamSet(void*, ub4, OCIError* errhp, const void*, ub4, ub4) { UNIMPLEMENTED(OCIParamSet); }
sword OCIResultSetToStmt(OCIResult*, OCIError* errhp) { UNIMPLEMENTED(OCIResultSetToStmt); }


sword OCIObjectLock(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectLock); }
sword OCIObjectMarkDelete(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectMarkDelete); }
sword OCIObjectExists(OCIEnv*, OCIError* errhp, void*, boolean*) { UNIMPLEMENTED(OCIObjectExists); }
sword OCIObjectIsLocked(OCIEnv*, OCIError* errhp, void*, boolean*) { UNIMPLEMENTED(OCIObjectIsLocked); }
sword OCIObjectRefresh(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectRefresh); }
sword OCICacheFlush(OCIEnv*, OCIError* errhp, const OCISvcCtx*, void*, OCIRef* (*)(void*, ub1*), OCIRef**) { UNIMPLEMENTED(OCICacheFlush); }

sword ociepgoe(OCIExtProcContext*, OCIEnv**, OCISvcCtx**, OCIError**) { return OCI_ERROR; }
size_t ociepmsg(OCIExtProcContext*, int, oratext*, size_t) { return 1; }  // OCIEXTPROC_ERROR

sword OCIDirPathAbort(OCIDirPathCtx*, OCIError* errhp) { UNIMPLEMENTED(OCIDirPathAbort); }
sword OCIDirPathFinish(OCIDirPathCtx*, OCIError* errhp) { UNIMPLEMENTED(OCIDirPathFinish); }
sword OCIDirPathPrepare(OCIDirPathCtx*, OCISvcCtx*, OCIError* errhp) { UNIMPLEMENTED(OCIDirPathPrepare); }
sword OCIDirPathColArrayEntrySet(OCIDirPathColArray*, OCIError* errhp, ub4, ub2, ub1*, ub4, ub1) { UNIMPLEMENTED(OCIDirPathColArrayEntrySet); }
sword OCIDirPathColArrayToStream(OCIDirPathColArray*, OCIDirPathCtx*, OCIDirPathStream*, OCIError* errhp, ub4, ub4) { UNIMPLEMENTED(OCIDirPathColArrayToStream); }
sword OCIDirPathLoadStream(OCIDirPathCtx*, OCIDirPathStream*, OCIError* errhp) { UNIMPLEMENTED(OCIDirPathLoadStream); }
sword OCIDirPathStreamReset(OCIDirPathStream*, OCIError* errhp) { UNIMPLEMENTED(OCIDirPathStreamReset); }


}  // extern "C"
