// The client's handle types, attributes and modes that the session layer
// passes, with the values of Oracle's published headers.
#pragma once

#include "oracle/binding/oci_types.h"

namespace kvell {

constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_DTYPE_PARAM = 53;

constexpr ub4 OCI_ATTR_ENV = 5;
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;
constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
constexpr ub4 OCI_ATTR_PARAM = 124;
constexpr ub4 OCI_ATTR_STMTCACHESIZE = 176;
constexpr ub4 OCI_ATTR_TYPECODE = 216;

constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_STMT_CACHE = 0x40;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub4 OCI_V7_SYNTAX = 2;
constexpr ub2 OCI_FETCH_NEXT = 0x2;
constexpr ub1 OCI_OTYPE_PTR = 3;
constexpr ub1 OCI_PTYPE_TYPE = 6;
constexpr ub2 OCI_STMT_SELECT = 1;
constexpr ub4 OCI_ENV_NO_MUTEX = 0x8;  // OCIEnvInit's mode of the version 8.0 headers

constexpr ub2 SQLT_STR = 5;

constexpr int kNoDataFound = 1403;       // ORA-01403, OCI7's end of fetch
constexpr int kVariableNotInList = 1007; // ORA-01007, odescr past the last column

}  // namespace kvell
