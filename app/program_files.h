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

// True for an existing file that is not a directory, links followed. A bare
// name is looked up in the current directory.
bool FileExists(const std::string& name);

// True when nothing but blanks and control characters is left after trimming.
bool IsBlankText(std::string_view text);

}  // namespace kestra
