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

sword OCIBindObject(OCIBind*, OCIError* errhp, const OCIType*, void**, ub4*, void**, ub4*) { UNIMPLEMENTED(OCIBindObject); }
sword OCIDefineObject(OCIDefine*, OCIError* errhp, const OCIType*, void**, ub4*, void**, ub4*) { UNIMPLEMENTED(OCIDefineObject); }
sword OCIStmtGetPieceInfo(OCIStmt*, OCIError* errhp, void**, ub4*, ub1*, ub4*, ub4*, ub1*) { UNIMPLEMENTED(OCIStmtGetPieceInfo); }
sword OCIStmtSetPieceInfo(void*, ub4, OCIError* errhp, const void*, ub4*, ub1, const void*, ub2*) { UNIMPLEMENTED(OCIStmtSetPieceInfo); }
sword OCIDescribeAny(OCISvcCtx*, OCIError* errhp, void*, ub4, ub1, ub1, ub1, OCIDescribe*) { UNIMPLEMENTED(OCIDescribeAny); }
sword OCIParamSet(void*, ub4, OCIError* errhp, const void*, ub4, ub4) { UNIMPLEMENTED(OCIParamSet); }
sword OCIResultSetToStmt(OCIResult*, OCIError* errhp) { UNIMPLEMENTED(OCIResultSetToStmt); }


sword OCIObjectUnpin(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectUnpin); }
sword OCIObjectLock(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectLock); }
sword OCIObjectMarkUpdate(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectMarkUpdate); }
sword OCIObjectUnmark(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectUnmark); }
sword OCIObjectMarkDelete(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectMarkDelete); }
sword OCIObjectFlush(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectFlush); }
sword OCIObjectCopy(OCIEnv*, OCIError* errhp, const OCISvcCtx*, void*, void*, void*, void*, OCIType*, OCIDuration, ub1) { UNIMPLEMENTED(OCIObjectCopy); }
sword OCIObjectGetTypeRef(OCIEnv*, OCIError* errhp, void*, OCIRef*) { UNIMPLEMENTED(OCIObjectGetTypeRef); }
sword OCIObjectGetObjectRef(OCIEnv*, OCIError* errhp, void*, OCIRef*) { UNIMPLEMENTED(OCIObjectGetObjectRef); }
sword OCIObjectGetInd(OCIEnv*, OCIError* errhp, void*, void**) { UNIMPLEMENTED(OCIObjectGetInd); }
sword OCIObjectExists(OCIEnv*, OCIError* errhp, void*, boolean*) { UNIMPLEMENTED(OCIObjectExists); }
sword OCIObjectIsLocked(OCIEnv*, OCIError* errhp, void*, boolean*) { UNIMPLEMENTED(OCIObjectIsLocked); }
sword OCIObjectIsDirty(OCIEnv*, OCIError* errhp, void*, boolean*) { UNIMPLEMENTED(OCIObjectIsDirty); }
sword OCIObjectRefresh(OCIEnv*, OCIError* errhp, void*) { UNIMPLEMENTED(OCIObjectRefresh); }
sword OCIObjectPinTable(OCIEnv*, OCIError* errhp, const OCISvcCtx*, const oratext*, ub4, const oratext*, ub4, const OCIRef*, OCIDuration, void**) { UNIMPLEMENTED(OCIObjectPinTable); }
sword OCIObjectPin(OCIEnv*, OCIError* errhp, OCIRef*, OCIComplexObject*, OCIPinOpt, OCIDuration, OCILockOpt, void**) { UNIMPLEMENTED(OCIObjectPin); }
sword OCITypeByName(OCIEnv*, OCIError* errhp, const OCISvcCtx*, const oratext*, ub4, const oratext*, ub4, const oratext*, ub4, OCIDuration, OCITypeGetOpt, OCIType**) { UNIMPLEMENTED(OCITypeByName); }
sword OCIObjectGetAttr(OCIEnv*, OCIError* errhp, void*, void*, struct OCIType*, const oratext**, const ub4*, ub4, const ub4*, ub4, OCIInd*, void**, void**, struct OCIType**) { UNIMPLEMENTED(OCIObjectGetAttr); }
sword OCIObjectSetAttr(OCIEnv*, OCIError* errhp, void*, void*, struct OCIType*, const oratext**, const ub4*, ub4, const ub4*, ub4, OCIInd, const void*, const void*) { UNIMPLEMENTED(OCIObjectSetAttr); }
oratext* OCIStringPtr(OCIEnv*, const OCIString*) { return nullptr; }
sword OCIStringAssignText(OCIEnv*, OCIError* errhp, const oratext*, ub4, OCIString**) { UNIMPLEMENTED(OCIStringAssignText); }
ub1* OCIRawPtr(OCIEnv*, const OCIRaw*) { return nullptr; }
ub4 OCIRawSize(OCIEnv*, const OCIRaw*) { return 0; }
sword OCIRawAssignBytes(OCIEnv*, OCIError* errhp, const ub1*, ub4, OCIRaw**) { UNIMPLEMENTED(OCIRawAssignBytes); }
sword OCIRefAssign(OCIEnv*, OCIError* errhp, const OCIRef*, OCIRef**) { UNIMPLEMENTED(OCIRefAssign); }
void OCIRefClear(OCIEnv*, OCIRef*) {}
boolean OCIRefIsNull(OCIEnv*, const OCIRef*) { return 1; }
sword OCIRefFromHex(OCIEnv*, OCIError* errhp, const OCISvcCtx*, const oratext*, ub4, OCIRef**) { UNIMPLEMENTED(OCIRefFromHex); }
ub4 OCIRefHexSize(OCIEnv*, const OCIRef*) { return 0; }
sword OCIRefToHex(OCIEnv*, OCIError* errhp, const OCIRef*, oratext*, ub4*) { UNIMPLEMENTED(OCIRefToHex); }
sword OCICollSize(OCIEnv*, OCIError* errhp, const OCIColl*, sb4*) { UNIMPLEMENTED(OCICollSize); }
sword OCICollTrim(OCIEnv*, OCIError* errhp, sb4, OCIColl*) { UNIMPLEMENTED(OCICollTrim); }
sb4 OCICollMax(OCIEnv*, const OCIColl*) { return 0; }
sword OCICollGetElem(OCIEnv*, OCIError* errhp, const OCIColl*, sb4, boolean*, void**, void**) { UNIMPLEMENTED(OCICollGetElem); }
sword OCICollAssignElem(OCIEnv*, OCIError* errhp, sb4, const void*, const void*, OCIColl*) { UNIMPLEMENTED(OCICollAssignElem); }
sword OCICollAppend(OCIEnv*, OCIError* errhp, const void*, const void*, OCIColl*) { UNIMPLEMENTED(OCICollAppend); }
sword OCITableDelete(OCIEnv*, OCIError* errhp, sb4, OCITable*) { UNIMPLEMENTED(OCITableDelete); }
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
