// Whether a debugger is attached to the process: on Linux, a non-zero
// TracerPid in /proc/self/status.
#pragma once

#include <string_view>

namespace kvell {

bool DebuggerPresent();

// The TracerPid test on the text of a /proc/<pid>/status file.
bool TracerPresentInStatus(std::string_view status_text);

}  // namespace kvell
