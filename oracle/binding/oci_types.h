// The client library's C types as its published headers define them for
// 64-bit Linux: scalar aliases, the opaque handle and descriptor structs,
// the version 7 data areas and the callback signatures. Nothing here is
// defined by this layer; the client owns every layout.
#pragma once

#include <cstddef>

namespace kvell {

using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = unsigned short;
using sb2 = signed short;
using ub4 = unsigned int;
using sb4 = signed int;
using ub8 = unsigned long;
using sb8 = signed long;
using sword = signed int;
using uword = unsigned int;
using eword = int;
using OraText = unsigned char;
using oratext = OraText;
using boolean = int;
using OCIInd = sb2;
using OCITypeCode = ub2;
using OCIDuration = ub2;
using OCIObjectPropId = ub1;
using OCIPinOpt = int;      // an enum in the client headers
using OCILockOpt = int;     // an enum in the client headers
using OCITypeGetOpt = int;  // an enum in the client headers
using DWORD = ub4;          // transaction-server results (32-bit on every platform)
using BOOL = int;

struct OCINumber {
  ub1 OCINumberPart[22];
};

// Handles.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
using OCIAuthInfo = OCISession;
struct OCITrans;
struct OCIComplexObject;
struct OCISPool;
struct OCIDirPathCtx;
struct OCIDirPathColArray;
struct OCIDirPathStream;
struct OCIExtProcContext;

// Descriptors.
struct OCILobLocator;
struct OCIParam;
struct OCIRowid;
struct OCIDateTime;
struct OCISnapshot;
struct OCIResult;

// Object-datatype values.
struct OCIString;
struct OCIRaw;
struct OCIRef;
struct OCIColl;
using OCITable = OCIColl;
struct OCIType;

// Version 7 logon and cursor data areas. The client writes up to 88 bytes
// on 64-bit builds, so the area is that large; the fields this layer reads
// are placed as the client's 64-bit layout places them.
struct cda_def {
  sb2 v2_rc;
  ub2 ft;      // SQL function code of the parsed statement
  ub4 rpc;     // rows processed, cumulative over fetches
  ub2 peo;     // parse error offset
  ub1 fc;      // function code of the last call
  ub1 rcs1;
  ub2 rc;      // Oracle error number of the last call
  ub1 wrn;     // warning flags
  ub1 rcs2;
  sword rcs3;
  struct {
    struct {
      ub4 rcs4;
      ub2 rcs5;
      ub1 rcs6;
    } rd;
    ub4 rcs7;
    ub2 rcs8;
  } rid;       // rowid of the last row touched
  sword ose;   // operating-system error code
  ub1 chk;
  void* rcsp;
  ub1 rcs9[32];
};
using Lda_Def = cda_def;
using Cda_Def = cda_def;
static_assert(sizeof(cda_def) == 88, "the client's 64-bit data area is 88 bytes");

constexpr size_t kHostDataAreaSize = 512;  // HDA for orlon/olog on 64-bit clients

// Callbacks.
using OCICallbackInBind = sb4 (*)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4* alenp,
                                  ub1* piecep, void** indp);
using OCICallbackOutBind = sb4 (*)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4** alenp,
                                   ub1* piecep, void** indp, ub2** rcodep);
using OCICallbackDefine = sb4 (*)(void* octxp, OCIDefine* defnp, ub4 iter, void** bufpp, ub4** alenp, ub1* piecep,
                                  void** indp, ub2** rcodep);
using OCICallbackLobRead = sb4 (*)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
using OCICallbackLobWrite = sb4 (*)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);
using OCIMallocHook = void* (*)(void* ctxp, size_t size);
using OCIReallocHook = void* (*)(void* ctxp, void* memptr, size_t newsize);
using OCIFreeHook = void (*)(void* ctxp, void* memptr);
using OCICacheFlushGet = OCIRef* (*)(void* context, ub1* last);

// Return codes and the modes this layer's own calls use.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_STILL_EXECUTING = -3123;
constexpr sword OCI_CONTINUE = -24200;
constexpr ub4 OCI_DEFAULT = 0x0;
constexpr ub4 OCI_THREADED = 0x1;
constexpr ub4 OCI_OBJECT = 0x2;
constexpr ub4 OCI_EV_DEF = 0;
constexpr ub4 OCI_EV_TSF = 1;

}  // namespace kvell
