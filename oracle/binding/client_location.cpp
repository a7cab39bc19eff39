#include "oracle/binding/client_location.h"
#include "oracle/binding/client_search.h"

#include <algorithm>
#include <charconv>

#include "oracle/binding/client_platform.h"
#include "runtime/ansi_case.h"
#include "runtime/str_convert.h"

// g++ proves these settings constant-initialised (no start-up order trap); clang 14,
// which builds the fuzz targets, cannot constant-evaluate libstdc++'s std::string.
#if defined(__clang__) && __clang_major__ < 15
#define KVELL_CONSTINIT
#else
#define KVELL_CONSTINIT constinit
#endif

namespace kvell {

KVELL_CONSTINIT std::string OCIDLL;
KVELL_CONSTINIT std::string OCIDLLSkipList;
KVELL_CONSTINIT std::string OracleHomeName;
bool ModifyPath = true;
KVELL_CONSTINIT std::string MTSDLL;
KVELL_CONSTINIT std::string OracleHomeKey;
KVELL_CONSTINIT std::string OracleHomeDir;
bool BinSubdir = true;
bool OCIDLLAutoChosen = false;
bool HomeNameAutoChosen = false;
KVELL_CONSTINIT std::string OCILog;
KVELL_CONSTINIT std::string SavedCurrentDir;
KVELL_CONSTINIT std::string LibraryCurrentDir;
KVELL_CONSTINIT std::string InitialPath;
KVELL_CONSTINIT std::vector<OracleHome> HomeList;

namespace {

constexpr const char* kOracleKey = "SOFTWARE\\ORACLE";
constexpr const char* kAllHomesKey = "SOFTWARE\\ORACLE\\ALL_HOMES";
constexpr size_t kRegistryBufferSize = 1024;  // bytes, the terminating zero included
constexpr size_t kParamValueMax = 255;
constexpr int kMaxNumberedHomes = 1000;

const ClientNaming& naming() { return *OCIPlatform().naming; }

// File names and paths compare as the platform's file system does.
std::string fold_name(const std::string& text) {
  return naming().CaseSensitiveNames ? text : AnsiUpperCase(text);
}

// The home's library directory, as the registry checks name it.
std::string library_subdir_of(const std::string& home) {
  return home + naming().DirSeparator + naming().LibrarySubdir;
}

bool home_has_library_subdir(const std::string& home) {
  return OCIPlatform().files->DirectoryExists(library_subdir_of(home));
}

size_t last_delimiter(const std::string& path) { return path.find_last_of(naming().DirDelimiters); }

void add_home(const std::string& name, int number) {
  auto position = std::find_if(HomeList.begin(), HomeList.end(), [&](const OracleHome& home) {
    return AnsiCompareText(home.Name, name) >= 0;
  });
  if (position != HomeList.end() && AnsiSameText(position->Name, name)) return;
  HomeList.insert(position, OracleHome{name, number});
}

void add_numbered_homes() {
  auto counter = TryStrToInt(RegReadString(kAllHomesKey, "HOME_COUNTER"));
  if (!counter) return;
  int still_to_find = std::max(*counter, 1);
  for (int n = 0; still_to_find > 0 && n < kMaxNumberedHomes; ++n) {
    std::string key = std::string(kOracleKey) + "\\HOME" + std::to_string(n);
    std::string home = RegReadString(key, "ORACLE_HOME");
    std::string name = RegReadString(key, "ORACLE_HOME_NAME");
    if (home.empty() || name.empty() || !home_has_library_subdir(home)) continue;
    add_home(name, n);
    --still_to_find;
  }
}

void add_named_homes() {
  for (const std::string& subkey : RegSubKeys(kOracleKey)) {
    if (AnsiUpperCase(subkey.substr(0, 4)) != "KEY_") continue;
    std::string home = RegReadString(std::string(kOracleKey) + "\\" + subkey, "ORACLE_HOME");
    if (!home.empty() && home_has_library_subdir(home)) add_home(subkey.substr(4), -1);
  }
}

// The home whose library directory comes first in the search variable, or
// the one named `wanted`; null when neither applies.
const OracleHome* preferred_home(const std::string& wanted) {
  std::string search_path = fold_name(OCIPlatform().environment->Get(naming().SearchVariable));
  size_t best_position = search_path.size();
  const OracleHome* candidate = nullptr;
  for (const OracleHome& entry : HomeList) {
    if (!wanted.empty() && AnsiSameText(entry.Name, wanted)) return &entry;
    std::string home = RegReadString(entry.Key(), "ORACLE_HOME");
    if (home.empty()) continue;
    size_t found = search_path.find(fold_name(PathJoin(home, naming().LibrarySubdir)));
    if (found == std::string::npos) continue;
    size_t position = found + 1;  // counted from 1, so a match at the start still counts
    if (position < best_position) {
      candidate = &entry;
      best_position = position;
    }
  }
  return candidate;
}

// Directory of the first MainLibrary in the current directory (where the
// platform's loader looks there) or along the search variable; empty when
// there is none.
std::string directory_holding_main_library() {
  const ClientPlatform& platform = OCIPlatform();
  if (naming().SearchesCurrentDir && platform.files->FileExists(naming().MainLibrary))
    return platform.files->GetCurrentDir();
  std::string list = platform.environment->Get(naming().SearchVariable);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(naming().PathListSeparator, start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    bool delimited = entry.back() == ':' || entry.back() == naming().DirSeparator;
    std::string path = entry + (delimited ? "" : std::string(1, naming().DirSeparator)) + naming().MainLibrary;
    if (platform.files->FileExists(path)) return ExtractFileDir(path);
  }
  return {};
}

bool skip_listed(const std::string& candidate, const std::string& skip_list) {
  return skip_list.find("\"" + AnsiUpperCase(ExtractFileName(candidate)) + "\"") != std::string::npos;
}

// One pass of the choice; true when it took the unversioned library.
bool choose_from(const std::vector<std::string>& candidates, const std::string* skip_list, LibraryVersion& best) {
  for (const std::string& candidate : candidates) {
    if (skip_list && skip_listed(candidate, *skip_list)) continue;
    std::string file_name = ExtractFileName(candidate);
    if (AnsiUpperCase(file_name) == AnsiUpperCase(naming().MainLibrary)) {
      OCIDLL = candidate;
      OCIDLLAutoChosen = true;
      return true;
    }
    LibraryVersion version = LibraryVersionOf(file_name);
    if (version > best) {
      best = version;
      OCIDLL = candidate;
      OCIDLLAutoChosen = true;
    }
  }
  return false;
}

LibraryVersion decimal_fraction_version(const std::string& file_name) {
  size_t start = 3;  // after "ora"
  if (file_name.size() >= 5 && AnsiUpperCase(file_name.substr(3, 2)) == "NT") start = 5;
  size_t dot = file_name.find('.');
  std::string digits = (dot != std::string::npos && dot > start) ? file_name.substr(start, dot - start) : "";
  std::string text = "0." + digits;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  LibraryVersion version;
  version.Valid = error == std::errc() && end == text.data() + text.size();
  if (version.Valid) version.Parts = {value};
  return version;
}

LibraryVersion numeric_suffix_version(const std::string& file_name) {
  LibraryVersion version;
  std::string prefix = naming().MainLibrary + ".";
  if (file_name.size() <= prefix.size() || file_name.compare(0, prefix.size(), prefix) != 0) return version;
  std::string suffix = file_name.substr(prefix.size());
  size_t start = 0;
  while (start <= suffix.size()) {
    size_t end = suffix.find('.', start);
    if (end == std::string::npos) end = suffix.size();
    unsigned long part = 0;
    auto [stop, error] = std::from_chars(suffix.data() + start, suffix.data() + end, part);
    if (end == start || error != std::errc() || stop != suffix.data() + end) return LibraryVersion{};
    version.Parts.push_back(static_cast<double>(part));
    start = end + 1;
  }
  version.Valid = true;
  return version;
}

}  // namespace

std::string OracleHome::Key() const {
  return Number >= 0 ? std::string(kOracleKey) + "\\HOME" + std::to_string(Number)
                     : std::string(kOracleKey) + "\\KEY_" + Name;
}

std::string ParamValue(const std::string& name) {
  const CommandLine& command_line = *OCIPlatform().command_line;
  std::string wanted = AnsiUpperCase(name) + "=";
  for (int i = 1; i <= command_line.ParamCount(); ++i) {
    std::string parameter = command_line.ParamStr(i);
    if (AnsiUpperCase(parameter).find(wanted) == std::string::npos) continue;
    size_t start = std::min(name.size() + 1, parameter.size());
    return parameter.substr(start, kParamValueMax);
  }
  return {};
}

std::string RegReadString(const std::string& key, const std::string& value_name) {
  auto value = OCIPlatform().registry->ReadValue(RegistryRoot::LocalMachine, key, value_name);
  if (!value || value->size() + 1 > kRegistryBufferSize) return {};
  return *value;
}

std::vector<std::string> RegSubKeys(const std::string& key) {
  std::vector<std::string> names;
  for (std::string& name : OCIPlatform().registry->SubKeys(RegistryRoot::LocalMachine, key)) {
    if (name.size() >= kRegistryBufferSize) break;  // the enumeration fails on such a name
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::string PathJoin(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == naming().DirSeparator) return dir + name;
  return dir + naming().DirSeparator + name;
}

void AddLog(const std::string& line) {
  if (!OCILog.empty()) OCILog += "\r\n";
  OCILog += line;
}

// Only whole entries are taken out, with one separator: a directory that
// merely ends another entry ("/opt/lib" in "/usr/opt/lib") must not cut that
// entry apart, and a trailing empty entry would add the current directory
// to the library search.
void SetLibraryPath(const std::string& dir) {
  if (!ModifyPath) return;
  Environment& environment = *OCIPlatform().environment;
  const char separator = naming().PathListSeparator;
  if (InitialPath.empty()) InitialPath = environment.Get(naming().ModifiedVariable);
  std::string path = InitialPath;
  if (!dir.empty()) {
    std::string haystack = separator + fold_name(path) + separator;
    size_t found = haystack.find(separator + fold_name(dir) + separator);
    if (found != std::string::npos) {
      bool last_entry = found + dir.size() >= path.size();
      path.erase(last_entry && found > 0 ? found - 1 : found, dir.size() + 1);
    }
    path = path.empty() ? dir : dir + separator + path;
  }
  environment.Set(naming().ModifiedVariable, path);
}

void BuildHomeList() {
  HomeList.clear();
  add_numbered_homes();
  add_named_homes();
}

std::string ChooseOracleHomeKey() {
  if (!OracleHomeKey.empty()) return OracleHomeKey;
  BuildHomeList();
  std::string candidate_key = kOracleKey;
  if (!HomeList.empty()) {
    std::string wanted = AnsiUpperCase(ParamValue("ORACLEHOME"));
    if (wanted.empty()) wanted = OracleHomeName;
    HomeNameAutoChosen = false;
    const OracleHome* candidate = preferred_home(wanted);
    if (!candidate) candidate = &HomeList.back();
    if (OracleHomeName.empty()) {
      OracleHomeName = candidate->Name;
      HomeNameAutoChosen = true;
    }
    candidate_key = candidate->Key();
  }
  std::string home = RegReadString(candidate_key, "ORACLE_HOME");
  OracleHomeKey = (!home.empty() && home_has_library_subdir(home)) ? candidate_key : std::string();
  return OracleHomeKey;
}

std::string FindOracleHomeDir() {
  BinSubdir = true;
  std::string key = ChooseOracleHomeKey();
  std::string home = key.empty() ? std::string() : RegReadString(key, "ORACLE_HOME");
  if (!home.empty()) return home;
  OracleHomeKey.clear();
  home = OCIPlatform().environment->Get("ORACLE_HOME");
  if (!home.empty()) {
    BinSubdir = home_has_library_subdir(home);
    return home;
  }
  std::string dir = directory_holding_main_library();
  std::string suffix = fold_name(std::string(1, naming().DirSeparator) + naming().LibrarySubdir);
  BinSubdir = dir.size() > suffix.size() && fold_name(dir.substr(dir.size() - suffix.size())) == suffix;
  if (BinSubdir) dir.erase(dir.size() - suffix.size());
  return dir;
}

bool LibraryVersion::Positive() const {
  return Valid && std::any_of(Parts.begin(), Parts.end(), [](double part) { return part > 0; });
}

LibraryVersion LibraryVersionOf(const std::string& file_name) {
  return naming().Versions == VersionScheme::DecimalFraction ? decimal_fraction_version(file_name)
                                                             : numeric_suffix_version(file_name);
}

std::vector<std::string> ListCandidates() {
  std::vector<std::string> candidates;
  if (OracleHomeDir.empty()) return candidates;
  std::string dir = BinSubdir ? PathJoin(OracleHomeDir, naming().LibrarySubdir + naming().DirSeparator)
                              : PathJoin(OracleHomeDir, "");
  const FileSystem& files = *OCIPlatform().files;
  if (files.FileExists(dir + naming().MainLibrary)) {
    AddLog("Found: " + naming().MainLibrary);
    candidates.push_back(dir + naming().MainLibrary);
  }
  for (const std::string& name : files.ListDirectory(dir, naming().VersionedPattern)) {
    if (!LibraryVersionOf(name).Positive()) continue;
    AddLog("Found: " + name);
    candidates.push_back(dir + name);
  }
  return candidates;
}

int ChooseOCIDLL() {
  OCIDLLAutoChosen = false;
  OCIDLLSkipList = AnsiUpperCase(OCIDLLSkipList);
  std::string forced = ParamValue("OCIDLL");
  if (!forced.empty()) OCIDLL = forced;
  if (!OCIDLL.empty()) {
    AddLog("OCIDLL forced to " + OCIDLL);
    return kOCIChosen;
  }
  OracleHomeDir = FindOracleHomeDir();
  AddLog("OracleHomeKey: " + OracleHomeKey);
  AddLog("OracleHomeDir: " + OracleHomeDir);
  std::vector<std::string> candidates = ListCandidates();
  if (OracleHomeDir.empty()) return kOCINoHome;
  LibraryVersion best;
  best.Valid = true;
  best.Parts = {0};
  if (!choose_from(candidates, &OCIDLLSkipList, best) && OCIDLL.empty()) choose_from(candidates, nullptr, best);
  if (OCIDLL.empty()) return kOCINoLibrary;
  AddLog("Using: " + OCIDLL);
  return kOCIChosen;
}

std::string ExtractFileDir(const std::string& path) {
  size_t at = last_delimiter(path);
  if (at == std::string::npos) return {};
  bool keep_delimiter = at == 0 || naming().DirDelimiters.find(path[at - 1]) != std::string::npos ||
                        path[at] != naming().DirSeparator;
  return path.substr(0, keep_delimiter ? at + 1 : at);
}

std::string ExtractFilePath(const std::string& path) {
  size_t at = last_delimiter(path);
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string ExtractFileName(const std::string& path) {
  size_t at = last_delimiter(path);
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace kvell
