// The text an error of a generated statement is raised with: an application
// error's text cut before its ORA-06512 back-trace, and the constraint name
// that a violation's text carries, handed to the dataset's translation event.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>

namespace kvell {

// The message of error `code` cut before the line that holds "ORA-06512"
// (for application errors 20000 to 20999); else the text itself.
std::string TrimmedErrorText(int code, const std::string& text);

// For codes 1, 2290, 2291 and 2292: the name after the first "." of the first
// parenthesised part that holds one ("(SCOTT.PK_EMP)" gives "PK_EMP"); else empty.
std::string ConstraintNameOf(int code, const std::string& text);

}  // namespace kvell
