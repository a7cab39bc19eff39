// The client library's C surface as ociemu exports it: basic types, handle
// and descriptor types, the constants the emulator reads or returns, and the
// prototypes of every exported entry (version 7, version 8 and later).
// Usable from C and C++; applications and tests include it directly.
#ifndef OCIEMU_OCI_H
#define OCIEMU_OCI_H

#include <stddef.h>

#include "ociemu/api/test_hooks.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef unsigned long ub8;
typedef signed long sb8;
typedef ub8 oraub8;
typedef sb8 orasb8;
typedef signed int sword;
typedef unsigned int uword;
typedef unsigned char OraText;
typedef unsigned char oratext;
typedef int boolean;
typedef sb2 OCIInd;
typedef ub2 OCITypeCode;
typedef ub2 OCIDuration;
typedef int OCIPinOpt;
typedef int OCILockOpt;
typedef int OCITypeGetOpt;

typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCIDescribe OCIDescribe;
typedef struct OCIServer OCIServer;
typedef struct OCISession OCISession;
typedef struct OCISession OCIAuthInfo;
typedef struct OCITrans OCITrans;
typedef struct OCIComplexObject OCIComplexObject;
typedef struct OCISPool OCISPool;
typedef struct OCIDirPathCtx OCIDirPathCtx;
typedef struct OCIDirPathColArray OCIDirPathColArray;
typedef struct OCIDirPathStream OCIDirPathStream;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCIParam OCIParam;
typedef struct OCIRowid OCIRowid;
typedef struct OCIDateTime OCIDateTime;
typedef struct OCIInterval OCIInterval;
typedef struct OCISnapshot OCISnapshot;
typedef struct OCIResult OCIResult;
typedef struct OCIType OCIType;
typedef struct OCIString OCIString;
typedef struct OCIRaw OCIRaw;
typedef struct OCIRef OCIRef;
typedef struct OCIColl OCIColl;
typedef struct OCIColl OCITable;
typedef struct OCIExtProcContext OCIExtProcContext;
typedef struct OCINumber { ub1 OCINumberPart[22]; } OCINumber;
typedef struct OCITime { ub1 OCITimeHH, OCITimeMI, OCITimeSS; } OCITime;
typedef struct OCIDate { sb2 OCIDateYYYY; ub1 OCIDateMM; ub1 OCIDateDD; OCITime OCIDateTime; } OCIDate;

// Logon and cursor data area of the version 7 interface, as the client's
// headers lay it out for 64-bit builds (88 bytes; the documented 64 is the
// 32-bit size). Entries clear and write the whole area.
typedef struct cda_def {
  sb2 v2_rc;
  ub2 ft;     // SQL function code
  ub4 rpc;    // rows processed, cumulative
  ub2 peo;    // parse error offset
  ub1 fc;     // function code of the last call
  ub1 rcs1;
  ub2 rc;     // Oracle error number of the last call
  ub1 wrn;
  ub1 rcs2;
  sword rcs3;
  struct { struct { ub4 rcs4; ub2 rcs5; ub1 rcs6; } rd; ub4 rcs7; ub2 rcs8; } rid;
  sword ose;
  ub1 chk;
  void *rcsp;
  ub1 rcs9[32];
} Cda_Def;
typedef struct cda_def Lda_Def;

typedef sb4 (*OCICallbackInBind)(void *ictxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
                                 ub4 *alenp, ub1 *piecep, void **indp);
typedef sb4 (*OCICallbackOutBind)(void *octxp, OCIBind *bindp, ub4 iter, ub4 index, void **bufpp,
                                  ub4 **alenp, ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4 (*OCICallbackDefine)(void *octxp, OCIDefine *defnp, ub4 iter, void **bufpp, ub4 **alenp,
                                 ub1 *piecep, void **indp, ub2 **rcodep);
typedef sb4 (*OCICallbackLobRead)(void *ctxp, const void *bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void *ctxp, void *bufp, ub4 *lenp, ub1 *piece);
typedef void *(*OCIMallocCallback)(void *ctxp, size_t size);
typedef void *(*OCIReallocCallback)(void *ctxp, void *memptr, size_t newsize);
typedef void (*OCIFreeCallback)(void *ctxp, void *memptr);

// Return codes
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_NEED_DATA 99
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

// Handle types
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_AUTHINFO 9
#define OCI_HTYPE_TRANS 10
#define OCI_HTYPE_COMPLEXOBJECT 11
#define OCI_HTYPE_DIRPATH_CTX 14
#define OCI_HTYPE_DIRPATH_COLUMN_ARRAY 15
#define OCI_HTYPE_DIRPATH_STREAM 16
#define OCI_HTYPE_CPOOL 26
#define OCI_HTYPE_SPOOL 27

// Descriptor types
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_RSET 52
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_COMPLEXOBJECTCOMP 55
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_DATE 65
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70

// Modes
#define OCI_DEFAULT 0x0
#define OCI_THREADED 0x1
#define OCI_OBJECT 0x2
#define OCI_NO_MUTEX 0x80
#define OCI_SYSDBA 0x2
#define OCI_SYSOPER 0x4
#define OCI_STMT_CACHE 0x40
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_AUTH 0x8
#define OCI_NTV_SYNTAX 1
#define OCI_BATCH_MODE 0x1
#define OCI_EXACT_FETCH 0x2
#define OCI_STMT_SCROLLABLE_READONLY 0x8
#define OCI_DESCRIBE_ONLY 0x10
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_BATCH_ERRORS 0x80
#define OCI_RETURN_ROW_COUNT_ARRAY 0x00100000
#define OCI_PARSE_ONLY 0x100
#define OCI_DATA_AT_EXEC 0x2
#define OCI_DYNAMIC_FETCH 0x2
#define OCI_FETCH_CURRENT 0x1
#define OCI_FETCH_NEXT 0x2
#define OCI_FETCH_FIRST 0x4
#define OCI_FETCH_LAST 0x8
#define OCI_FETCH_PRIOR 0x10
#define OCI_FETCH_ABSOLUTE 0x20
#define OCI_FETCH_RELATIVE 0x40
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3
#define OCI_PREP2_CACHE_SEARCHONLY 0x10
#define OCI_STRLS_CACHE_DELETE 0x10
#define OCI_TRANS_TWOPHASE 0x1000000
#define OCI_SERVER_NOT_CONNECTED 0
#define OCI_SERVER_NORMAL 1
#define OCI_ROWID_LEN 23
#define OCI_TEMP_BLOB 1
#define OCI_TEMP_CLOB 2
#define OCI_FILE_READONLY 1
#define OCI_LOB_READONLY 1
#define OCI_LOB_READWRITE 2
#define OCI_LOB_BUFFER_FREE 1
#define OCI_LOB_BUFFER_NOFREE 2
#define OCI_DURATION_SESSION 10
#define OCI_DURATION_CALL 12
#define OCI_TYPECODE_CLOB 112
#define OCI_TYPECODE_BLOB 113
#define OCI_TYPECODE_BFILE 114
#define OCI_TYPECODE_OBJECT 108
#define OCI_TYPECODE_REF 110
#define OCI_TYPECODE_NAMEDCOLLECTION 122
#define OCI_TYPECODE_VARCHAR2 9
#define OCI_TYPECODE_NUMBER 2
#define OCI_TYPECODE_RECORD 250
#define OCI_TYPECODE_ITABLE 251
#define OCI_TYPECODE_BOOLEAN 252
#define OCI_OTYPE_NAME 1
#define OCI_OTYPE_REF 2
#define OCI_OTYPE_PTR 3
#define OCI_PTYPE_TYPE 6
#define OCI_PTYPE_LIST 11
#define OCI_PTYPE_TYPE_ATTR 12
#define OCI_PTYPE_TYPE_COLL 13
#define OCI_TYPEGET_HEADER 0
#define OCI_TYPEGET_ALL 1
#define OCI_PIN_ANY 3
#define OCI_LOCK_NONE 1
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)
#define OCI_OBJECTCOPY_NOREF 0x01
#define OCI_NUMBER_UNSIGNED 0
#define OCI_NUMBER_SIGNED 2
#define OCI_UTF8ID 871
#define OCI_AL32UTF8ID 873
#define OCI_ERROR_MAXMSG_SIZE 1024

// National language support
#define OCI_NLS_CHARSET_MAXBYTESZ 91
#define OCI_NLS_CHARSET_FIXEDWIDTH 92
#define OCI_NLS_CHARSET_ID 93
#define OCI_NLS_NCHARSET_ID 94
#define OCI_NLS_MAXBUFSZ 100
#define OCI_NLS_CS_IANA_TO_ORA 0
#define OCI_NLS_CS_ORA_TO_IANA 1

// Session pools
#define OCI_SPC_REINITIALIZE 0x1
#define OCI_SPC_HOMOGENEOUS 0x2
#define OCI_SPC_STMTCACHE 0x4
#define OCI_SPD_FORCE 0x1
#define OCI_SESSGET_SPOOL 0x1
#define OCI_SESSGET_STMTCACHE 0x4
#define OCI_SESSGET_SPOOL_MATCHANY 0x20
#define OCI_SESSGET_SYSDBA 0x100
#define OCI_SESSRLS_DROPSESS 0x1
#define OCI_SESSRLS_RETAG 0x2
#define OCI_SPOOL_ATTRVAL_WAIT 0
#define OCI_SPOOL_ATTRVAL_NOWAIT 1
#define OCI_SPOOL_ATTRVAL_FORCEGET 2
#define OCI_SPOOL_ATTRVAL_TIMEDWAIT 3
#define OCI_ATTR_SPOOL_STMTCACHESIZE 208
#define OCI_ATTR_SPOOL_TIMEOUT 308
#define OCI_ATTR_SPOOL_GETMODE 309
#define OCI_ATTR_SPOOL_BUSY_COUNT 310
#define OCI_ATTR_SPOOL_OPEN_COUNT 311
#define OCI_ATTR_SPOOL_MIN 312
#define OCI_ATTR_SPOOL_MAX 313
#define OCI_ATTR_SPOOL_INCR 314
#define OCI_ATTR_SPOOL_AUTH 460
#define OCI_ATTR_SPOOL_MAX_LIFETIME_SESSION 490
#define OCI_ATTR_SPOOL_WAIT_TIMEOUT 506

// Attributes
#define OCI_ATTR_DATA_SIZE 1
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_OBJECT 2
#define OCI_ATTR_DISP_SIZE 3
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PRECISION 5
#define OCI_ATTR_ENV 5
#define OCI_ATTR_SCALE 6
#define OCI_ATTR_SERVER 6
#define OCI_ATTR_IS_NULL 7
#define OCI_ATTR_SESSION 7
#define OCI_ATTR_TYPE_NAME 8
#define OCI_ATTR_TRANS 8
#define OCI_ATTR_SCHEMA_NAME 9
#define OCI_ATTR_PACKAGE_NAME 12
#define OCI_ATTR_ROW_COUNT 9
#define OCI_ATTR_IMPLICIT_RESULT_COUNT 463
#define OCI_RESULT_TYPE_SELECT 1
#define OCI_ATTR_SQLFNCODE 10
#define OCI_ATTR_PREFETCH_ROWS 11
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_PARAM_COUNT 18
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_USERNAME 22
#define OCI_ATTR_PASSWORD 23
#define OCI_ATTR_STMT_TYPE 24
#define OCI_ATTR_CHARSET_ID 31
#define OCI_ATTR_CHARSET_FORM 32
#define OCI_ATTR_ENV_CHARSET_ID 207
#define OCI_ATTR_ENV_NCHARSET_ID 208
#define OCI_ATTR_ENV_UTF16 209
#define OCI_ATTR_NCHARSET_ID 262
#define OCI_ATTR_MAXDATA_SIZE 33
#define OCI_ATTR_MAXCHAR_SIZE 163
#define OCI_ATTR_ROWS_RETURNED 42
#define OCI_ATTR_NUM_DML_ERRORS 73
#define OCI_ATTR_DML_ROW_OFFSET 74
#define OCI_ATTR_PARAM 124
#define OCI_ATTR_PARSE_ERROR_OFFSET 129
#define OCI_ATTR_SERVER_STATUS 143
#define OCI_ATTR_STATEMENT 144
#define OCI_ATTR_CURRENT_POSITION 164
#define OCI_ATTR_STMTCACHESIZE 176
#define OCI_ATTR_BIND_COUNT 190
#define OCI_ATTR_ROWS_FETCHED 197
#define OCI_ATTR_CHAR_USED 285
#define OCI_ATTR_CHAR_SIZE 286
#define OCI_ATTR_UB8_ROW_COUNT 457
#define OCI_ATTR_STMT_IS_RETURNING 218
#define OCI_ATTR_ERROR_IS_RECOVERABLE 472
#define OCI_ATTR_TRANSACTION_IN_PROGRESS 484
#define OCI_ATTR_SQL_ID 504
#define OCI_ATTR_CURRENT_SCHEMA 224
#define OCI_ATTR_CLIENT_IDENTIFIER 278
#define OCI_ATTR_MODULE 366
#define OCI_ATTR_ACTION 367
#define OCI_ATTR_CLIENT_INFO 368
#define OCI_ATTR_DBNAME 391
#define OCI_ATTR_INSTNAME 392
#define OCI_ATTR_SERVICENAME 393
#define OCI_ATTR_DBDOMAIN 399
#define OCI_ATTR_DML_ROW_COUNT_ARRAY 469
#define OCI_ATTR_MAX_OPEN_CURSORS 471
#define OCI_ATTR_CALL_TIMEOUT 531

// Statement types
#define OCI_STMT_UNKNOWN 0
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10
#define OCI_STMT_MERGE 16
#define OCI_STMT_ROLLBACK 17
#define OCI_STMT_COMMIT 21

// External data types
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILE 114
#define SQLT_CFILE 115
#define SQLT_REC 250
#define SQLT_TAB 251
#define SQLT_BOL 252
#define SQLT_RSET 116
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190

#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2

// Version 7 interface
sword orlon(Lda_Def *lda, ub1 *hda, OraText *uid, sword uidl, OraText *pswd, sword pswdl, sword audit);
sword olog(Lda_Def *lda, ub1 *hda, OraText *uid, sword uidl, OraText *pswd, sword pswdl, OraText *conn,
           sword connl, ub4 mode);
sword ologof(Lda_Def *lda);
sword opinit(ub4 mode);
sword oerhms(Lda_Def *lda, sb2 rcode, OraText *buf, sword bufsiz);
sword oopen(Cda_Def *cursor, Lda_Def *lda, OraText *dbn, sword dbnl, sword arsize, OraText *uid, sword uidl);
sword oparse(Cda_Def *cursor, OraText *sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
sword odefin(Cda_Def *cursor, sword pos, ub1 *buf, sword bufl, sword ftype, sword scale, sb2 *indp,
             OraText *fmt, sword fmtl, sword fmtt, ub2 *rlen, ub2 *rcode);
sword oexfet(Cda_Def *cursor, ub4 nrows, sword cancel, sword exact);
sword ofen(Cda_Def *cursor, sword nrows);
sword oflng(Cda_Def *cursor, sword pos, ub1 *buf, sb4 bufl, sword dtype, ub4 *retl, sb4 offset);
sword oclose(Cda_Def *cursor);
sword odescr(Cda_Def *cursor, sword pos, sb4 *dbsize, sb2 *dbtype, sb1 *cbuf, sb4 *cbufl, sb4 *dsize,
             sb2 *prec, sb2 *scale, sb2 *nullok);
sword oexec(Cda_Def *cursor);
sword oexn(Cda_Def *cursor, sword iters, sword rowoff);
sword ocom(Lda_Def *lda);
sword orol(Lda_Def *lda);
sword ocon(Lda_Def *lda);
sword ocof(Lda_Def *lda);
sword obreak(Lda_Def *lda);
sword obndra(Cda_Def *cursor, OraText *sqlvar, sword sqlvl, ub1 *progv, sword progvl, sword ftype, sword scale,
             sb2 *indp, ub2 *alen, ub2 *arcode, ub4 maxsiz, ub4 *cursiz, OraText *fmt, sword fmtl, sword fmtt);
sword odessp(Cda_Def *cursor, OraText *objnam, size_t onlen, ub1 *rsv1, size_t rsv1ln, ub1 *rsv2,
             size_t rsv2ln, ub2 *ovrld, ub2 *pos, ub2 *level, OraText **argnam, ub2 *arnlen, ub2 *dtype,
             ub1 *defsup, ub1 *mode, ub4 *dtsiz, sb2 *prec, sb2 *scale, ub1 *radix, ub4 *spare, ub4 *arrsiz);

// Version 8 interface
sword OCIInitialize(ub4 mode, void *ctxp, OCIMallocCallback malocfp, OCIReallocCallback ralocfp,
                    OCIFreeCallback mfreefp);
sword OCIEnvInit(OCIEnv **envp, ub4 mode, size_t xtramem_sz, void **usrmempp);
sword OCIEnvCreate(OCIEnv **envp, ub4 mode, void *ctxp, OCIMallocCallback malocfp, OCIReallocCallback ralocfp,
                   OCIFreeCallback mfreefp, size_t xtramem_sz, void **usrmempp);
sword OCIHandleAlloc(const void *parenth, void **hndlpp, ub4 type, size_t xtramem_sz, void **usrmempp);
sword OCIHandleFree(void *hndlp, ub4 type);
sword OCIDescriptorAlloc(const void *parenth, void **descpp, ub4 type, size_t xtramem_sz, void **usrmempp);
sword OCIDescriptorFree(void *descp, ub4 type);
sword OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len, ub4 mode);
sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4 mode);
sword OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 mode);
sword OCILogon(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, const OraText *username, ub4 uname_len,
               const OraText *password, ub4 passwd_len, const OraText *dbname, ub4 dbname_len);
sword OCILogoff(OCISvcCtx *svchp, OCIError *errhp);
sword OCIPasswordChange(OCISvcCtx *svchp, OCIError *errhp, const OraText *user_name, ub4 usernm_len,
                        const OraText *opasswd, ub4 opasswd_len, const OraText *npasswd, ub4 npasswd_len,
                        ub4 mode);
sword OCIStmtPrepare(OCIStmt *stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len, ub4 language, ub4 mode);
sword OCIBindByPos(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep, sb4 value_sz,
                   ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword OCIBindByName(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, const OraText *placeholder,
                    sb4 placeh_len, void *valuep, sb4 value_sz, ub2 dty, void *indp, ub2 *alenp, ub2 *rcodep,
                    ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword OCIBindObject(OCIBind *bindp, OCIError *errhp, const OCIType *type, void **pgvpp, ub4 *pvszsp,
                    void **indpp, ub4 *indszp);
sword OCIBindDynamic(OCIBind *bindp, OCIError *errhp, void *ictxp, OCICallbackInBind icbfp, void *octxp,
                     OCICallbackOutBind ocbfp);
sword OCIBindArrayOfStruct(OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip);
sword OCIStmtGetPieceInfo(OCIStmt *stmtp, OCIError *errhp, void **hndlpp, ub4 *typep, ub1 *in_outp,
                          ub4 *iterp, ub4 *idxp, ub1 *piecep);
sword OCIStmtSetPieceInfo(void *hndlp, ub4 type, OCIError *errhp, const void *bufp, ub4 *alenp, ub1 piece,
                          const void *indp, ub2 *rcodep);
sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode);
sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep,
                     sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode);
sword OCIDefineObject(OCIDefine *defnp, OCIError *errhp, const OCIType *type, void **pgvpp, ub4 *pvszsp,
                      void **indpp, ub4 *indszp);
sword OCIDefineDynamic(OCIDefine *defnp, OCIError *errhp, void *octxp, OCICallbackDefine ocbfp);
sword OCIDefineArrayOfStruct(OCIDefine *defnp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 rlskip,
                             ub4 rcskip);
sword OCIStmtFetch(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, ub4 mode);
sword OCIStmtFetch2(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode);
sword OCIStmtGetBindInfo(OCIStmt *stmtp, OCIError *errhp, ub4 size, ub4 startloc, sb4 *found, OraText *bvnp[],
                         ub1 bvnl[], OraText *invp[], ub1 inpl[], ub1 dupl[], OCIBind **hndl);
sword OCIDescribeAny(OCISvcCtx *svchp, OCIError *errhp, void *objptr, ub4 objnm_len, ub1 objptr_typ,
                     ub1 info_level, ub1 objtyp, OCIDescribe *dschp);
sword OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos);
sword OCIParamSet(void *hdlp, ub4 htyp, OCIError *errhp, const void *dscp, ub4 dtyp, ub4 pos);
sword OCITransStart(OCISvcCtx *svchp, OCIError *errhp, uword timeout, ub4 flags);
sword OCITransDetach(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCITransPrepare(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCITransForget(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCIErrorGet(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp, ub4 bufsiz,
                  ub4 type);
sword OCILobAppend(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp);
sword OCILobAssign(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *src_locp, OCILobLocator **dst_locpp);
sword OCILobCharSetForm(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub1 *csfrm);
sword OCILobCharSetId(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, ub2 *csid);
sword OCILobCopy(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp, ub4 amount,
                 ub4 dst_offset, ub4 src_offset);
sword OCILobDisableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword OCILobEnableBuffering(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword OCILobErase(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amount, ub4 offset);
sword OCILobFileClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep);
sword OCILobFileCloseAll(OCISvcCtx *svchp, OCIError *errhp);
sword OCILobFileExists(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, boolean *flag);
sword OCILobFileGetName(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *filep, OraText *dir_alias,
                        ub2 *d_length, OraText *filename, ub2 *f_length);
sword OCILobFileIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, boolean *flag);
sword OCILobFileOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *filep, ub1 mode);
sword OCILobFileSetName(OCIEnv *envhp, OCIError *errhp, OCILobLocator **filepp, const OraText *dir_alias,
                        ub2 d_length, const OraText *filename, ub2 f_length);
sword OCILobFlushBuffer(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 flag);
sword OCILobGetLength(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *lenp);
sword OCILobIsEqual(OCIEnv *envhp, const OCILobLocator *x, const OCILobLocator *y, boolean *is_equal);
sword OCILobLoadFromFile(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_filep,
                         ub4 amount, ub4 dst_offset, ub4 src_offset);
sword OCILobLocatorIsInit(OCIEnv *envhp, OCIError *errhp, const OCILobLocator *locp, boolean *is_initialized);
sword OCILobRead(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp,
                 ub4 bufl, void *ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
sword OCILobTrim(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 newlen);
sword OCILobWrite(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *amtp, ub4 offset, void *bufp,
                  ub4 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
sword OCIBreak(void *hndlp, OCIError *errhp);
sword OCIServerVersion(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz, ub1 hndltype);
sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                 OCIError *errhp);
sword OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp);
sword OCISvcCtxToLda(OCISvcCtx *svchp, OCIError *errhp, Lda_Def *ldap);
sword OCILdaToSvcCtx(OCISvcCtx **svchpp, OCIError *errhp, Lda_Def *ldap);
sword OCIResultSetToStmt(OCIResult *rsetdp, OCIError *errhp);
sword OCIObjectUnpin(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectLock(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectMarkUpdate(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectUnmark(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectMarkDelete(OCIEnv *env, OCIError *err, void *instance);
sword OCIObjectFlush(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectCopy(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, void *source, void *null_source,
                    void *target, void *null_target, OCIType *tdo, OCIDuration duration, ub1 option);
sword OCIObjectGetTypeRef(OCIEnv *env, OCIError *err, void *instance, OCIRef *type_ref);
sword OCIObjectGetObjectRef(OCIEnv *env, OCIError *err, void *object, OCIRef *object_ref);
sword OCIObjectGetInd(OCIEnv *env, OCIError *err, void *instance, void **null_struct);
sword OCIObjectExists(OCIEnv *env, OCIError *err, void *ins, boolean *exist);
sword OCIObjectIsLocked(OCIEnv *env, OCIError *err, void *ins, boolean *lock);
sword OCIObjectIsDirty(OCIEnv *env, OCIError *err, void *ins, boolean *dirty);
sword OCIObjectRefresh(OCIEnv *env, OCIError *err, void *object);
sword OCIObjectPinTable(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const oratext *schema_name,
                        ub4 s_n_length, const oratext *object_name, ub4 o_n_length, const OCIRef *scope_obj_ref,
                        OCIDuration pin_duration, void **object);
sword OCIObjectNew(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, OCITypeCode typecode, OCIType *tdo,
                   void *table, OCIDuration duration, boolean value, void **instance);
sword OCIObjectPin(OCIEnv *env, OCIError *err, OCIRef *object_ref, OCIComplexObject *corhdl,
                   OCIPinOpt pin_option, OCIDuration pin_duration, OCILockOpt lock_option, void **object);
sword OCIObjectFree(OCIEnv *env, OCIError *err, void *instance, ub2 flags);
sword OCITypeByName(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const oratext *schema_name, ub4 s_length,
                    const oratext *type_name, ub4 t_length, const oratext *version_name, ub4 v_length,
                    OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType **tdo);
sword OCITypeByFullName(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const oratext *full_type_name,
                        ub4 full_type_name_length, const oratext *version_name, ub4 version_name_length,
                        OCIDuration pin_duration, OCITypeGetOpt get_option, OCIType **tdo);
sword OCITableFirst(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index);
sword OCITableLast(OCIEnv *env, OCIError *err, const OCITable *tbl, sb4 *index);
sword OCITableNext(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *next_index, boolean *exist_next);
sword OCITablePrev(OCIEnv *env, OCIError *err, sb4 index, const OCITable *tbl, sb4 *prev_index, boolean *exist_prev);
sword OCIObjectGetAttr(OCIEnv *env, OCIError *err, void *instance, void *null_struct, struct OCIType *tdo,
                       const oratext **names, const ub4 *lengths, ub4 name_count, const ub4 *indexes,
                       ub4 index_count, OCIInd *attr_null_status, void **attr_null_struct, void **attr_value,
                       struct OCIType **attr_tdo);
sword OCIObjectSetAttr(OCIEnv *env, OCIError *err, void *instance, void *null_struct, struct OCIType *tdo,
                       const oratext **names, const ub4 *lengths, ub4 name_count, const ub4 *indexes,
                       ub4 index_count, OCIInd null_status, const void *attr_null_struct, const void *attr_value);
oratext *OCIStringPtr(OCIEnv *env, const OCIString *vs);
sword OCIStringAssignText(OCIEnv *env, OCIError *err, const oratext *rhs, ub4 rhs_len, OCIString **lhs);
sword OCINumberFromInt(OCIError *err, const void *inum, uword inum_length, uword inum_s_flag, OCINumber *number);
sword OCINumberToInt(OCIError *err, const OCINumber *number, uword rsl_length, uword rsl_flag, void *rsl);
sword OCINumberFromReal(OCIError *err, const void *rnum, uword rnum_length, OCINumber *number);
sword OCINumberToReal(OCIError *err, const OCINumber *number, uword rsl_length, void *rsl);
sword OCINumberToText(OCIError *err, const OCINumber *number, const oratext *fmt, ub4 fmt_length,
                      const oratext *nls_params, ub4 nls_p_length, ub4 *buf_size, oratext *buf);
sword OCINumberFromText(OCIError *err, const oratext *str, ub4 str_length, const oratext *fmt, ub4 fmt_length,
                        const oratext *nls_params, ub4 nls_p_length, OCINumber *number);
ub1 *OCIRawPtr(OCIEnv *env, const OCIRaw *raw);
ub4 OCIRawSize(OCIEnv *env, const OCIRaw *raw);
sword OCIRawAssignBytes(OCIEnv *env, OCIError *err, const ub1 *rhs, ub4 rhs_len, OCIRaw **lhs);
sword OCIRefAssign(OCIEnv *env, OCIError *err, const OCIRef *source, OCIRef **target);
void OCIRefClear(OCIEnv *env, OCIRef *ref);
boolean OCIRefIsNull(OCIEnv *env, const OCIRef *ref);
sword OCIRefFromHex(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, const oratext *hex, ub4 length,
                    OCIRef **ref);
ub4 OCIRefHexSize(OCIEnv *env, const OCIRef *ref);
sword OCIRefToHex(OCIEnv *env, OCIError *err, const OCIRef *ref, oratext *hex, ub4 *hex_length);
sword OCICollSize(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 *size);
sword OCICollTrim(OCIEnv *env, OCIError *err, sb4 trim_num, OCIColl *coll);
sb4 OCICollMax(OCIEnv *env, const OCIColl *coll);
sword OCICollGetElem(OCIEnv *env, OCIError *err, const OCIColl *coll, sb4 index, boolean *exists, void **elem,
                     void **elemind);
sword OCICollAssignElem(OCIEnv *env, OCIError *err, sb4 index, const void *elem, const void *elemind,
                        OCIColl *coll);
sword OCICollAppend(OCIEnv *env, OCIError *err, const void *elem, const void *elemind, OCIColl *coll);
sword OCITableDelete(OCIEnv *env, OCIError *err, sb4 index, OCITable *tbl);
sword OCICacheFlush(OCIEnv *env, OCIError *err, const OCISvcCtx *svc, void *context,
                    OCIRef *(*get)(void *context, ub1 *last), OCIRef **ref);

// External-procedure entries
sword ociepgoe(OCIExtProcContext *with_context, OCIEnv **envh, OCISvcCtx **svch, OCIError **errh);
size_t ociepmsg(OCIExtProcContext *with_context, int error_number, oratext *error_message, size_t len);

// Version 8.1 additions
sword OCIDirPathAbort(OCIDirPathCtx *dpctx, OCIError *errhp);
sword OCIDirPathFinish(OCIDirPathCtx *dpctx, OCIError *errhp);
sword OCIDirPathPrepare(OCIDirPathCtx *dpctx, OCISvcCtx *svchp, OCIError *errhp);
sword OCIDirPathColArrayEntrySet(OCIDirPathColArray *dpca, OCIError *errhp, ub4 rownum, ub2 colIdx, ub1 *cvalp,
                                 ub4 clen, ub1 cflg);
sword OCIDirPathColArrayToStream(OCIDirPathColArray *dpca, OCIDirPathCtx *dpctx, OCIDirPathStream *dpstr,
                                 OCIError *errhp, ub4 rowcnt, ub4 rowoff);
sword OCIDirPathLoadStream(OCIDirPathCtx *dpctx, OCIDirPathStream *dpstr, OCIError *errhp);
sword OCIDirPathStreamReset(OCIDirPathStream *dpstr, OCIError *errhp);
sword OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid, ub1 csfrm,
                            ub1 lobtype, boolean cache, OCIDuration duration);
sword OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword OCILobIsTemporary(OCIEnv *envp, OCIError *errhp, OCILobLocator *locp, boolean *is_temporary);

// 8-byte LOB calls (10g and later)
typedef sb4 (*OCICallbackLobRead2)(void *ctxp, const void *bufp, oraub8 len, ub1 piece, void **changed_bufpp,
                                   oraub8 *changed_lenp);
typedef sb4 (*OCICallbackLobWrite2)(void *ctxp, void *bufp, oraub8 *lenp, ub1 *piece, void **changed_bufpp,
                                    oraub8 *changed_lenp);
sword OCILobRead2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, oraub8 *byte_amtp, oraub8 *char_amtp,
                  oraub8 offset, void *bufp, oraub8 bufl, ub1 piece, void *ctxp, OCICallbackLobRead2 cbfp, ub2 csid,
                  ub1 csfrm);
sword OCILobWrite2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, oraub8 *byte_amtp, oraub8 *char_amtp,
                   oraub8 offset, void *bufp, oraub8 buflen, ub1 piece, void *ctxp, OCICallbackLobWrite2 cbfp,
                   ub2 csid, ub1 csfrm);
sword OCILobWriteAppend2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *lobp, oraub8 *byte_amtp,
                         oraub8 *char_amtp, void *bufp, oraub8 bufl, ub1 piece, void *ctxp, OCICallbackLobWrite2 cbfp,
                         ub2 csid, ub1 csfrm);
sword OCILobGetLength2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, oraub8 *lenp);
sword OCILobTrim2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, oraub8 newlen);
sword OCILobErase2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, oraub8 *amount, oraub8 offset);
sword OCILobCopy2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_locp,
                  oraub8 amount, oraub8 dst_offset, oraub8 src_offset);
sword OCILobLoadFromFile2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *dst_locp, OCILobLocator *src_filep,
                          oraub8 amount, oraub8 dst_offset, oraub8 src_offset);
sword OCILobGetChunkSize(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub4 *chunk_size);
sword OCILobLocatorAssign(OCISvcCtx *svchp, OCIError *errhp, const OCILobLocator *src_locp,
                          OCILobLocator **dst_locpp);
sword OCILobOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub1 mode);
sword OCILobClose(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
sword OCILobIsOpen(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, boolean *flag);
sword OCIDateTimeToText(void *hndl, OCIError *err, const OCIDateTime *date, const OraText *fmt, ub1 fmt_length,
                        ub1 fsprec, const OraText *lang_name, size_t lang_length, ub4 *buf_size, OraText *buf);
sword OCIDateTimeFromText(void *hndl, OCIError *err, const OraText *date_str, size_t dstr_length,
                          const OraText *fmt, ub1 fmt_length, const OraText *lang_name, size_t lang_length,
                          OCIDateTime *date);
sword OCIDateTimeGetDate(void *hndl, OCIError *err, const OCIDateTime *date, sb2 *yr, ub1 *mnth, ub1 *dy);
sword OCIDateTimeGetTime(void *hndl, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec);
sword OCIDateTimeConstruct(void *hndl, OCIError *err, OCIDateTime *datetime, sb2 yr, ub1 mnth, ub1 dy, ub1 hr,
                           ub1 mm, ub1 ss, ub4 fsec, OraText *timezone, size_t timezone_length);
sword OCIDateTimeAssign(void *hndl, OCIError *err, const OCIDateTime *from, OCIDateTime *to);
sword OCIDateTimeGetTimeZoneOffset(void *hndl, OCIError *err, const OCIDateTime *datetime, sb1 *hr, sb1 *mm);
sword OCIDateTimeGetTimeZoneName(void *hndl, OCIError *err, const OCIDateTime *datetime, ub1 *buf, ub4 *buflen);
sword OCIDateTimeSysTimeStamp(void *hndl, OCIError *err, OCIDateTime *sys_date);
sword OCIDateTimeCompare(void *hndl, OCIError *err, const OCIDateTime *date1, const OCIDateTime *date2,
                         sword *result);
sword OCIDateTimeConvert(void *hndl, OCIError *err, OCIDateTime *indate, OCIDateTime *outdate);
sword OCIIntervalGetYearMonth(void *hndl, OCIError *err, sb4 *yr, sb4 *mnth, const OCIInterval *interval);
sword OCIIntervalSetYearMonth(void *hndl, OCIError *err, sb4 yr, sb4 mnth, OCIInterval *result);
sword OCIIntervalGetDaySecond(void *hndl, OCIError *err, sb4 *dy, sb4 *hr, sb4 *mm, sb4 *ss, sb4 *fsec,
                              const OCIInterval *interval);
sword OCIIntervalSetDaySecond(void *hndl, OCIError *err, sb4 dy, sb4 hr, sb4 mm, sb4 ss, sb4 fsec,
                              OCIInterval *result);
sword OCIIntervalToText(void *hndl, OCIError *err, const OCIInterval *interval, ub1 lfprec, ub1 fsprec,
                        OraText *buffer, size_t buflen, size_t *resultlen);
sword OCIIntervalFromText(void *hndl, OCIError *err, const OraText *inpstring, size_t str_len, OCIInterval *result);
sword OCIIntervalAssign(void *hndl, OCIError *err, const OCIInterval *ininter, OCIInterval *outinter);
sword OCIIntervalCompare(void *hndl, OCIError *err, OCIInterval *inter1, OCIInterval *inter2, sword *result);

// Version 9 and 9.2 additions
sword OCISessionPoolCreate(OCIEnv *envhp, OCIError *errhp, OCISPool *spoolhp, OraText **poolName,
                           ub4 *poolNameLen, const OraText *connStr, ub4 connStrLen, ub4 sessMin, ub4 sessMax,
                           ub4 sessIncr, OraText *userid, ub4 useridLen, OraText *password, ub4 passwordLen,
                           ub4 mode);
sword OCISessionPoolDestroy(OCISPool *spoolhp, OCIError *errhp, ub4 mode);
sword OCISessionGet(OCIEnv *envhp, OCIError *errhp, OCISvcCtx **svchp, OCIAuthInfo *authhp, OraText *poolName,
                    ub4 poolName_len, const OraText *tagInfo, ub4 tagInfo_len, OraText **retTagInfo,
                    ub4 *retTagInfo_len, boolean *found, ub4 mode);
sword OCISessionRelease(OCISvcCtx *svchp, OCIError *errhp, OraText *tag, ub4 tag_len, ub4 mode);
sword OCIStmtPrepare2(OCISvcCtx *svchp, OCIStmt **stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len,
                      const OraText *key, ub4 key_len, ub4 language, ub4 mode);
sword OCINlsNumericInfoGet(void *envhp, OCIError *errhp, sb4 *val, ub2 item);
ub2 OCINlsCharSetNameToId(void *envhp, const OraText *name);
sword OCINlsCharSetIdToName(void *envhp, OraText *buf, size_t buflen, ub2 id);
sword OCINlsNameMap(void *envhp, OraText *buf, size_t buflen, const OraText *srcbuf, ub4 flag);
sword OCINlsEnvironmentVariableGet(void *valp, size_t size, ub2 item, ub2 charset, size_t *rsize);
sword OCIEnvNlsCreate(OCIEnv **envp, ub4 mode, void *ctxp, OCIMallocCallback malocfp, OCIReallocCallback ralocfp,
                      OCIFreeCallback mfreefp, size_t xtramem_sz, void **usrmempp, ub2 charset, ub2 ncharset);
typedef struct OCIThreadKey OCIThreadKey;
typedef void (*OCIThreadKeyDestFunc)(void *);
#define OCI_MEMORY_CLEARED 1
void OCIClientVersion(sword *major_version, sword *minor_version, sword *update_num, sword *patch_num,
                      sword *port_update_num);
void OCIThreadProcessInit(void);
sword OCIThreadKeyInit(void *hndl, OCIError *err, OCIThreadKey **key, OCIThreadKeyDestFunc destFn);
sword OCIThreadKeyGet(void *hndl, OCIError *err, OCIThreadKey *key, void **pValue);
sword OCIThreadKeySet(void *hndl, OCIError *err, OCIThreadKey *key, void *value);
sword OCIThreadKeyDestroy(void *hndl, OCIError *err, OCIThreadKey **key);
sword OCIPing(OCISvcCtx *svchp, OCIError *errhp, ub4 mode);
sword OCIMemoryAlloc(void *hdl, OCIError *err, void **mem, OCIDuration dur, ub4 size, ub4 flags);
sword OCIMemoryFree(void *hdl, OCIError *err, void *mem);
sword OCIContextGetValue(void *hdl, OCIError *err, ub1 *key, ub1 keylen, void **ctx_value);
sword OCIContextSetValue(void *hdl, OCIError *err, OCIDuration duration, ub1 *key, ub1 keylen, void *ctx_value);
sword OCIServerRelease2(void *hndlp, OCIError *errhp, OraText *bufp, ub4 bufsz, ub1 hndltype, ub4 *version,
                        ub4 mode);
sword OCIRowidToChar(OCIRowid *rowidDesc, OraText *outbfp, ub2 *outbflp, OCIError *errhp);
sword OCIArrayDescriptorAlloc(const void *parenth, void **descpp, const ub4 type, ub4 array_size,
                              const size_t xtramem_sz, void **usrmempp);
sword OCIArrayDescriptorFree(void **descp, const ub4 type);
sword OCIBindByPos2(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep, sb8 value_sz,
                    ub2 dty, void *indp, ub4 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword OCIBindByName2(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, const OraText *placeholder, sb4 placeh_len,
                     void *valuep, sb8 value_sz, ub2 dty, void *indp, ub4 *alenp, ub2 *rcodep, ub4 maxarr_len,
                     ub4 *curelep, ub4 mode);
sword OCIDefineByPos2(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep, sb8 value_sz,
                      ub2 dty, void *indp, ub4 *rlenp, ub2 *rcodep, ub4 mode);
sword OCIStmtGetNextResult(OCIStmt *stmthp, OCIError *errhp, void **result, ub4 *rtype, ub4 mode);
sword OCIStmtRelease(OCIStmt *stmtp, OCIError *errhp, const OraText *key, ub4 key_len, ub4 mode);

#ifdef __cplusplus
}
#endif

#endif  // OCIEMU_OCI_H
