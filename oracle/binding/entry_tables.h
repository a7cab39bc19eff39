// Binding of the client library's entries in groups by interface level, and
// the availability flags that tell the other layers which levels they may
// call. Written only while loading (under OCICriticalSection) and by
// FreeOCI; everyone else reads them without locking once InitOCI returned.
#pragma once

#include "oracle/binding/oci_entries.h"
#include "runtime/dynamic_library.h"

namespace kvell {

// Each flag is true only when every entry of its group, and its parent
// group, was found.
extern bool OCI7Available;
extern bool OLogAvailable;
extern bool OPInitAvailable;
extern bool OCI8Available;
extern bool OCIEPAvailable;
extern bool OCI81Available;
extern bool OCI9Available;
extern bool OCI92Available;
extern bool MTSAvailable;

extern bool ForceOCI7;  // application option: never use the version 8 interface
extern bool UseOCI8;    // OCI8Available and not ForceOCI7, as of the last binding

// Held here for the session layer, which alone reads and writes them.
extern bool SharedEnvironment;
extern OCIEnv* SharedEnvHandle;

// Looks `name` up only while `group_available` holds; a missing entry makes
// the group unavailable but leaves the entries found before it bound.
template <class Entry>
void BindEntry(DynamicLibraries& libraries, LibraryHandle library, bool& group_available, Entry& entry,
               const char* name) {
  entry = nullptr;
  if (!group_available) return;
  entry = reinterpret_cast<Entry>(libraries.Symbol(library, name));
  if (!entry) group_available = false;
}

// Binds every client group in order and sets the flags and UseOCI8.
// Returns whether the library offers an interface this layer can use.
bool BindClientEntries(DynamicLibraries& libraries, LibraryHandle library);

void BindMTSEntries(DynamicLibraries& libraries, LibraryHandle library);

// The library's own start-up calls, made once after a successful load.
void InitializeClientLibrary();

// Every availability flag and UseOCI8 false; every entry null, so that no
// address into an unloaded library survives.
void ResetClientEntries();
void ResetMTSEntries();

}  // namespace kvell
