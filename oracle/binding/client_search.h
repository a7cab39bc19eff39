// The steps of the client library search behind InitOCI: command-line and
// registry reads, the home list, the choice of home and directory, the
// candidate libraries and their versions. Internal to the binding (and its
// tests). Thread-safe: no; everything here runs under OCICriticalSection.
#pragma once

#include <string>
#include <vector>

#include "oracle/binding/client_location.h"

namespace kvell {

// The current directory right after the second load attempt changed it;
// RestoreCurrentDir goes back only from there.
extern std::string LibraryCurrentDir;

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
