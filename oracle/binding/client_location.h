// Finding the client library: the process-wide settings an application may
// set before the first InitOCI, the registered Oracle homes, the search's
// choices and its diagnostic log. The search steps are client_search.h.
// Thread-safe: no; everything here runs under OCICriticalSection.
#pragma once

#include <string>
#include <vector>

namespace kvell {

// Set by the application before the first initialisation, or by the search.
extern std::string OCIDLL;          // client library to load; non-empty: no search
extern std::string OCIDLLSkipList;  // file names in double quotes, passed over in the first pass
extern std::string OracleHomeName;  // home to prefer
extern bool ModifyPath;             // put the library's directory first in the library path
extern std::string MTSDLL;          // transaction-server library; empty: beside OCIDLL

// The search's own state.
extern std::string OracleHomeKey;   // registry key of the chosen home, cached until FreeOCI
extern std::string OracleHomeDir;
extern bool BinSubdir;              // the library lies in the home's library subdirectory
extern bool OCIDLLAutoChosen;       // OCIDLL was filled by the search
extern bool HomeNameAutoChosen;     // OracleHomeName was filled by the search
extern std::string OCILog;          // lines joined by CR LF; emptied at every load attempt
extern std::string SavedCurrentDir; // current directory before the second load attempt
extern std::string InitialPath;     // library path as first read; every edit starts from it

struct OracleHome {
  std::string Name;
  int Number;  // 0 to 999 for HOMEn, -1 for a KEY_<name> home
  std::string Key() const;
};
// Registered homes in name order without regard to case, no name twice.
extern std::vector<OracleHome> HomeList;

// Results of ChooseOCIDLL (and of loading).
enum {
  kOCIChosen = 0,
  kOCINoLibrary = 1,
  kOCINotInitialized = 2,
  kOCINoHome = 3,
};

}  // namespace kvell
