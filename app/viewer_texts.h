// The viewer's fixed texts: messages, captions and the reader tools' names.
// They stand here once so that tests compare against the same source.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/card_files.h"

namespace kestra {

inline constexpr const char* kCardTool = "READACC.EXE";
inline constexpr const char* kTokenTool = "READZET.EXE";
inline constexpr const char* kCardFileName = "KARTICE.DAT";
inline constexpr const char* kTokenFileName = "ZETONI.DAT";

// RunAndWait's result when termination was requested while the tool still ran.
inline constexpr int32_t kStillActive = 259;

// "Ni datoteke " + tool.
std::string MissingToolMessage(const std::string& tool);

// "Napaka pri startanju: " + tool.
std::string StartFailureMessage(const std::string& tool);

// The two-line message ("READACC", CR, code and meaning) for exit codes 1 to 4
// of the card tool; nothing for any other code.
std::optional<std::string> CardToolExitMessage(int32_t code);

// The window caption once the card has been read.
std::string StatusCaption(const CardState& state);

}  // namespace kestra
