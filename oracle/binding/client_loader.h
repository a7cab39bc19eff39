// Loading and unloading the client library and the transaction-server
// library, and the process-wide lock that serialises it. Thread-safe: yes;
// every operation here runs under OCICriticalSection().
#pragma once

#include "oracle/binding/client_location.h"
#include "oracle/binding/critical_section.h"
#include "oracle/binding/entry_tables.h"
#include "runtime/dynamic_library.h"

namespace kvell {

extern LibraryHandle OCILibHandle;  // null: not loaded
extern LibraryHandle MTSLibHandle;  // null: not loaded

// The lock of loading, thread-safe logons and the shared environment. Held
// by the start-up module (oracle/kvell_init.h), which releases it at exit
// after the client library is unloaded.
TOracleCriticalSection& OCICriticalSection();

// Makes sure the client library is loaded and bound; cheap when it is.
// Raises kvell::Exception "Initialization error\r\n<reason>\r\n\r\n<log>".
void InitOCI();
bool OCILoaded();
// Makes sure the transaction-server library is loaded and bound (after
// InitOCI). Raises kvell::Exception "Initialization error\r\n<reason>".
void InitMTS();
// Unloads both libraries and forgets what the search chose; settings the
// application made stay.
void FreeOCI();
// Goes back to the directory that was current before a second load attempt
// changed it, if the process is still in the directory it changed to.
void RestoreCurrentDir();

}  // namespace kvell
