// The client's handle types, attributes and modes that the session layer
// passes, with the values of Oracle's published headers.
#pragma once

#include "oracle/binding/oci_types.h"

namespace kvell {

constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_BIND = 5;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_DTYPE_PARAM = 53;
constexpr ub4 OCI_DTYPE_ROWID = 54;

constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_PRECISION = 5;
constexpr ub4 OCI_ATTR_SCALE = 6;
constexpr ub4 OCI_ATTR_IS_NULL = 7;
constexpr ub4 OCI_ATTR_TYPE_NAME = 8;
constexpr ub4 OCI_ATTR_SCHEMA_NAME = 9;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_SQLFNCODE = 10;
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
constexpr ub4 OCI_ATTR_PREFETCH_MEMORY = 13;
constexpr ub4 OCI_ATTR_ROWID = 19;
constexpr ub4 OCI_ATTR_CHARSET_FORM = 32;
constexpr ub4 OCI_ATTR_DML_ROW_OFFSET = 74;
constexpr ub4 OCI_ATTR_PARSE_ERROR_OFFSET = 129;
constexpr ub4 kParseErrorOffsetBefore81 = 128;  // the parse-offset attribute of 8.0 clients
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;
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
constexpr ub4 OCI_ATTR_REF_TDO = 110;
constexpr ub4 OCI_ATTR_COLLECTION_TYPECODE = 217;
constexpr ub4 OCI_ATTR_COLLECTION_ELEMENT = 227;
constexpr ub4 OCI_ATTR_NUM_TYPE_ATTRS = 228;
constexpr ub4 OCI_ATTR_LIST_TYPE_ATTRS = 229;
constexpr ub4 OCI_ATTR_IS_FINAL_TYPE = 279;

constexpr ub4 OCI_SYSDBA = 0x2;
constexpr ub4 OCI_SYSOPER = 0x4;
constexpr ub4 OCI_STMT_CACHE = 0x40;
constexpr ub4 OCI_DYNAMIC_FETCH = 0x2;
constexpr ub4 OCI_STMT_SCROLLABLE_READONLY = 0x8;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub4 OCI_V7_SYNTAX = 2;
constexpr ub2 OCI_FETCH_NEXT = 0x2;
constexpr ub1 OCI_OTYPE_NAME = 1;
constexpr ub1 OCI_OTYPE_PTR = 3;
constexpr OCIDuration OCI_DURATION_SESSION = 10;
constexpr OCIPinOpt OCI_PIN_ANY = 3;
constexpr OCILockOpt OCI_LOCK_NONE = 1;
constexpr uword OCI_NUMBER_SIGNED = 2;
constexpr ub1 OCI_PTYPE_TYPE = 6;
constexpr ub2 OCI_STMT_SELECT = 1;
constexpr ub4 OCI_ENV_NO_MUTEX = 0x8;  // OCIEnvInit's mode of the version 8.0 headers

constexpr ub2 SQLT_STR = 5;

constexpr int kNoDataFound = 1403;       // ORA-01403, OCI7's end of fetch
constexpr int kVariableNotInList = 1007; // ORA-01007, odescr past the last column
constexpr int kColumnTruncated = 1406;   // ORA-01406, a fetched value cut to its buffer
constexpr sword kOci7LanguageNative = 2; // oparse's language flag for the server's own syntax

}  // namespace kvell
