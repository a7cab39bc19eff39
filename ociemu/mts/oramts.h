// The transaction-server stand-in's entries as the client side declares
// them, and its result codes. Its failure hook is in test_hooks.h.
#ifndef OCIEMU_ORAMTS_H
#define OCIEMU_ORAMTS_H

#include "ociemu/api/oci.h"
#include "ociemu/api/test_hooks.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef ub4 DWORD;
typedef int BOOL;

#define ORAMTS_CFLG_ALLDEFAULT 0x00
#define ORAMTS_CFLG_NOIMPLICIT 0x01
#define ORAMTS_CFLG_UNIQUESRVR 0x02
#define ORAMTS_CFLG_SYSDBALOGN 0x04
#define ORAMTS_CFLG_SYSOPRLOGN 0x10
#define ORAMTS_CFLG_PRELIMAUTH 0x20

#define ORAMTS_ENFLG_DEFAULT 0
#define ORAMTS_ENFLG_RESUMTX 1
#define ORAMTS_ENFLG_DETCHTX 2

#define ORAMTSERR_NOERROR 0
#define ORAMTSERR_INVALIDSRVCCTXT 1004
#define ORAMTSERR_FAILEDATTACH 3002
#define ORAMTSERR_FAILEDLOGON 4002
#define ORAMTSERR_INVALIDARG 6001
#define ORAMTSERR_ALREADYENLISTED 6007
#define ORAMTSERR_NOTENLISTED 6008
#define ORAMTSERR_OCIHNDLALLOC 6012

DWORD OraMTSSvcGet(OraText *lpUname, OraText *lpPsswd, OraText *lpDbnam, OCISvcCtx **pOCISvc, OCIEnv **pOCIEnv,
                   ub4 ConFlg);
DWORD OraMTSSvcRel(OCISvcCtx *OCISvc);
DWORD OraMTSSvcEnlist(OCISvcCtx *OCISvc, OCIError *OCIErr, void *lpTrans, unsigned dwFlags);
DWORD OraMTSSvcEnlistEx(OCISvcCtx *OCISvc, OCIError *OCIErr, void *lpTrans, unsigned dwFlags, char *lpDBName);
BOOL OraMTSTransTest(void);

#ifdef __cplusplus
}
#endif

#endif  // OCIEMU_ORAMTS_H
