// What the client library search works against: the system seams (registry,
// environment, files, command line, library loader) and the naming profile
// of the platform's client installation. Production uses the process's own
// seams with the Linux profile; tests install in-memory seams, and the
// Windows profile to check the original names.
#pragma once

#include <string>

#include "runtime/command_line.h"
#include "runtime/dynamic_library.h"
#include "runtime/environment.h"
#include "runtime/file_system.h"
#include "runtime/registry.h"

namespace kvell {

enum class VersionScheme {
  DecimalFraction,  // "ORA805.DLL" reads as 0.805
  NumericSuffix,    // "libclntsh.so.19.1" reads as 19, 1
};

struct ClientNaming {
  std::string MainLibrary;        // the unversioned client library
  std::string VersionedPattern;   // wildcard of the versioned client libraries
  VersionScheme Versions;
  std::string LibrarySubdir;      // where a home keeps the client library
  char DirSeparator;
  std::string DirDelimiters;      // characters that end a directory part
  char PathListSeparator;
  std::string SearchVariable;     // list of directories searched for MainLibrary
  std::string ModifiedVariable;   // the list ModifyPath edits
  std::string MTSLibrary;
  bool CaseSensitiveNames;        // file names and paths
  // The system loader looks in the current directory before the search
  // variable (Windows). The Linux loader never does, so neither does the
  // search: a library planted in the working directory must not load.
  bool SearchesCurrentDir;

  static const ClientNaming& Windows();
  static const ClientNaming& Linux();
};

struct ClientPlatform {
  const Registry* registry;
  Environment* environment;
  FileSystem* files;
  const CommandLine* command_line;
  DynamicLibraries* libraries;
  const ClientNaming* naming;
};

// The seams in use. Not thread-safe to change: tests swap them while no
// client library is loaded.
const ClientPlatform& OCIPlatform();
void SetOCIPlatform(const ClientPlatform& platform);
// The process's own seams with the Linux profile.
ClientPlatform SystemClientPlatform();

}  // namespace kvell
