// Wildcard matching of file names, as directory listings use it: "*" stands
// for any run of characters and "?" for exactly one.
#pragma once

#include <string_view>

namespace kvell {

// Without case, letters compare as ASCII: file name patterns name ASCII files.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool case_sensitive);

}  // namespace kvell
