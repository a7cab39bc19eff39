// A stand-in client library for the binding's tests. Each build exports the
// entry groups selected by FAKE_* definitions, with bodies that do nothing
// but count their calls; opinit and OCIInitialize also keep their mode.
// Tests read the counts through fake_calls() and fake_last_mode().
#include <map>
#include <mutex>
#include <string>

#include "oracle/binding/oci_entries.h"

using namespace kvell;

namespace {

struct CallLog {
  std::mutex mutex;
  std::map<std::string, int> calls;
  std::map<std::string, unsigned> modes;
};

CallLog& call_log() {
  static CallLog log;
  return log;
}

[[maybe_unused]] void note_call(const char* name) {
  std::lock_guard lock(call_log().mutex);
  ++call_log().calls[name];
}

[[maybe_unused]] void note_mode(const char* name, unsigned mode) {
  std::lock_guard lock(call_log().mutex);
  call_log().modes[name] = mode;
}

template <class Result>
Result nothing() {
  return Result();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int fake_calls(const char* name) {
  std::lock_guard lock(call_log().mutex);
  auto found = call_log().calls.find(name);
  return found == call_log().calls.end() ? 0 : found->second;
}

extern "C" __attribute__((visibility("default"))) unsigned fake_last_mode(const char* name) {
  std::lock_guard lock(call_log().mutex);
  return call_log().modes[name];
}

// The two recording entries get their own bodies below; the generic stubs
// for them are renamed out of the way.
#define opinit generic_opinit_unused
#define OCIInitialize generic_OCIInitialize_unused

#define FAKE_STUB(name, result, parameters)                                               \
  extern "C" __attribute__((visibility("default"))) result name parameters {             \
    note_call(#name);                                                                     \
    return nothing<result>();                                                             \
  }

#ifdef FAKE_OCI7
KVELL_OCI7_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OLOG
KVELL_OCI7_OLOG_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OCI8
KVELL_OCI8_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OCIEP
KVELL_OCIEP_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OCI81
KVELL_OCI81_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OCI9
KVELL_OCI9_ENTRIES(FAKE_STUB)
#endif
#ifdef FAKE_OCI92
KVELL_OCI92_ENTRIES(FAKE_STUB)
#endif

#undef opinit
#undef OCIInitialize

#ifdef FAKE_OPINIT
extern "C" __attribute__((visibility("default"))) sword opinit(ub4 mode) {
  note_call("opinit");
  note_mode("opinit", mode);
  return 0;
}
#endif

#ifdef FAKE_OCI8
extern "C" __attribute__((visibility("default"))) sword OCIInitialize(ub4 mode, void*, OCIMallocHook, OCIReallocHook,
                                                                      OCIFreeHook) {
  note_call("OCIInitialize");
  note_mode("OCIInitialize", mode);
  return 0;
}
#endif

#ifdef FAKE_MTS
// FAKE_MTS_INCOMPLETE leaves out the last of the five entries.
FAKE_STUB(OraMTSSvcGet, DWORD,
          (OraText * lpUname, OraText * lpPsswd, OraText * lpDbnam, OCISvcCtx * *pOCISvc, OCIEnv * *pOCIEnv,
           ub4 ConFlg))
FAKE_STUB(OraMTSSvcRel, DWORD, (OCISvcCtx * OCISvc))
FAKE_STUB(OraMTSSvcEnlist, DWORD, (OCISvcCtx * OCISvc, OCIError * OCIErr, void* lpTrans, unsigned dwFlags))
FAKE_STUB(OraMTSSvcEnlistEx, DWORD,
          (OCISvcCtx * OCISvc, OCIError * OCIErr, void* lpTrans, unsigned dwFlags, char* lpDBName))
#ifndef FAKE_MTS_INCOMPLETE
FAKE_STUB(OraMTSTransTest, BOOL, ())
#endif
#endif
