#include "oracle/binding/entry_tables.h"

namespace kvell {

#define KVELL_DEFINE_ENTRY(name, result, parameters) name##_t name = nullptr;
KVELL_CLIENT_ENTRIES(KVELL_DEFINE_ENTRY)
KVELL_MTS_ENTRIES(KVELL_DEFINE_ENTRY)
#undef KVELL_DEFINE_ENTRY

bool OCI7Available = false;
bool OLogAvailable = false;
bool OPInitAvailable = false;
bool OCI8Available = false;
bool OCIEPAvailable = false;
bool OCI81Available = false;
bool OCI9Available = false;
bool OCI92Available = false;
bool MTSAvailable = false;
bool ForceOCI7 = false;
bool UseOCI8 = false;
bool SharedEnvironment = false;
OCIEnv* SharedEnvHandle = nullptr;

#define KVELL_BIND(name, result, parameters) BindEntry(libraries, library, available, name, #name);

namespace {

// Binds one group under `available`, which enters as the parent's verdict.
#define KVELL_GROUP_BINDER(function, list)                                        \
  void function(DynamicLibraries& libraries, LibraryHandle library, bool& available) { \
    list(KVELL_BIND)                                                              \
  }
KVELL_GROUP_BINDER(bind_oci7, KVELL_OCI7_ENTRIES)
KVELL_GROUP_BINDER(bind_olog, KVELL_OCI7_OLOG_ENTRIES)
KVELL_GROUP_BINDER(bind_opinit, KVELL_OCI7_OPINIT_ENTRIES)
KVELL_GROUP_BINDER(bind_oci8, KVELL_OCI8_ENTRIES)
KVELL_GROUP_BINDER(bind_ociep, KVELL_OCIEP_ENTRIES)
KVELL_GROUP_BINDER(bind_oci81, KVELL_OCI81_ENTRIES)
KVELL_GROUP_BINDER(bind_oci9, KVELL_OCI9_ENTRIES)
KVELL_GROUP_BINDER(bind_oci92, KVELL_OCI92_ENTRIES)
KVELL_GROUP_BINDER(bind_mts, KVELL_MTS_ENTRIES)
#undef KVELL_GROUP_BINDER

}  // namespace

#undef KVELL_BIND

bool BindClientEntries(DynamicLibraries& libraries, LibraryHandle library) {
  OCI7Available = true;
  bind_oci7(libraries, library, OCI7Available);
  OLogAvailable = OCI7Available;
  bind_olog(libraries, library, OLogAvailable);
  OPInitAvailable = OLogAvailable;
  bind_opinit(libraries, library, OPInitAvailable);
  UseOCI8 = !ForceOCI7;
  OCI8Available = true;
  bind_oci8(libraries, library, OCI8Available);
  if (!OCI8Available) UseOCI8 = false;
  OCIEPAvailable = OCI8Available;
  bind_ociep(libraries, library, OCIEPAvailable);
  OCI81Available = OCI8Available;
  bind_oci81(libraries, library, OCI81Available);
  OCI9Available = OCI81Available;
  bind_oci9(libraries, library, OCI9Available);
  OCI92Available = OCI9Available;
  bind_oci92(libraries, library, OCI92Available);
  return OCI7Available || UseOCI8;
}

void BindMTSEntries(DynamicLibraries& libraries, LibraryHandle library) {
  MTSAvailable = true;
  bind_mts(libraries, library, MTSAvailable);
}

void InitializeClientLibrary() {
  if (OPInitAvailable && !UseOCI8) opinit(OCI_EV_DEF);
  // An 8.1 or later client gets its environment per session from OCIEnvCreate.
  if (UseOCI8 && !OCI81Available) OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
}

void ResetClientEntries() {
  OCI7Available = OLogAvailable = OPInitAvailable = false;
  OCI8Available = OCIEPAvailable = OCI81Available = OCI9Available = OCI92Available = false;
  UseOCI8 = false;
#define KVELL_CLEAR(name, result, parameters) name = nullptr;
  KVELL_CLIENT_ENTRIES(KVELL_CLEAR)
}

void ResetMTSEntries() {
  MTSAvailable = false;
  KVELL_MTS_ENTRIES(KVELL_CLEAR)
#undef KVELL_CLEAR
}

}  // namespace kvell
