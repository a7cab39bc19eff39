// Finding the client library: the process-wide settings an application may
// set before the first InitOCI, the registered Oracle homes, the choice of a
// home and its directory, the candidate libraries and the diagnostic log.
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

// Characters length(Name) + 1 on of the first parameter containing Name + "=",
// names compared without case; at most 255 of them.
std::string ParamValue(const std::string& name);
// HKEY_LOCAL_MACHINE\Key's value, or empty text.
std::string RegReadString(const std::string& key, const std::string& value_name);
std::vector<std::string> RegSubKeys(const std::string& key);
std::string PathJoin(const std::string& dir, const std::string& name);
void AddLog(const std::string& line);
// Puts `dir` at the front of the library path variable (only when
// ModifyPath); an empty `dir` restores InitialPath.
void SetLibraryPath(const std::string& dir);

void BuildHomeList();
std::string ChooseOracleHomeKey();
// Sets BinSubdir and, when no registered home stands, empties OracleHomeKey.
std::string FindOracleHomeDir();

// A library's version from its file name; compared part by part.
struct LibraryVersion {
  bool Valid = false;
  std::vector<double> Parts;
  bool Positive() const;
  bool operator>(const LibraryVersion& other) const { return Valid && Parts > other.Parts; }
};
LibraryVersion LibraryVersionOf(const std::string& file_name);

// Full paths of the client libraries in OracleHomeDir, logging each.
std::vector<std::string> ListCandidates();
// Fills OCIDLL (unless set) and logs the search. One of kOCIChosen,
// kOCINoLibrary, kOCINoHome.
int ChooseOCIDLL();

// Path parts with the profile's delimiters.
std::string ExtractFileDir(const std::string& path);   // without trailing separator
std::string ExtractFilePath(const std::string& path);  // with it
std::string ExtractFileName(const std::string& path);

}  // namespace kvell
