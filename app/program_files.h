// Where the program lives and how the viewer looks for its reader tools.
// Paths use '/' as the directory separator.
#pragma once

#include <string>
#include <string_view>

namespace kestra {

// The full path of the running executable ("" when the system will not say).
std::string ExecutablePath();

// Everything up to and including the last '/', with a trailing '/' ensured
// when non-empty. "/opt/kestra/kestra" gives "/opt/kestra/".
std::string ProgramDirOf(const std::string& executable_path);

// Where an installation puts the simulated reader tools, relative to the
// program's folder ("../lib/kestra/reader-sim").
extern const char* const kInstalledToolsDir;

// The folder the reader tools write the data files into (ending in '/'): the
// program's own, unless the program lies in its installed layout (the reader
// tools installed beside it), whose program folder users cannot write; then
// `user_cache_dir` + "kestra/", created when missing. The program's folder
// also when that cannot be created, so that the tool's failure is reported.
std::string DataFileDirOf(const std::string& program_dir, const std::string& user_cache_dir);

// $XDG_CACHE_HOME, else $HOME/.cache, ending in '/'; "" when neither is set.
std::string UserCacheDir();

// True for an existing file that is not a directory, links followed. A bare
// name is looked up in the current directory.
bool FileExists(const std::string& name);

// True when nothing but blanks and control characters is left after trimming.
bool IsBlankText(std::string_view text);

}  // namespace kestra
