#include "ociemu/sql/stored_names.h"

#include <algorithm>

#include <sqlite3.h>

namespace ociemu::sql {

std::string oracle_name(std::string_view stored) {
  const size_t mark = stored.find('"');
  if (mark == std::string_view::npos || mark == 0 || mark + 1 == stored.size()) return std::string(stored);
  const bool digits = std::all_of(stored.begin() + static_cast<long>(mark) + 1, stored.end(),
                                  [](char c) { return c >= '0' && c <= '9'; });
  return std::string(digits ? stored.substr(0, mark) : stored);
}

namespace {
bool collides(const std::string& name, const std::vector<std::string>& existing) {
  return std::any_of(existing.begin(), existing.end(),
                     [&](const std::string& other) { return sqlite3_stricmp(other.c_str(), name.c_str()) == 0; });
}
}  // namespace

std::string distinct_stored_name(const std::string& name, const std::vector<std::string>& existing) {
  if (!collides(name, existing)) return name;
  for (int k = 2;; ++k) {
    std::string candidate = name + '"' + std::to_string(k);
    if (!collides(candidate, existing)) return candidate;
  }
}

std::string stored_column_name(const std::vector<std::string>& stored, const std::string& name) {
  for (const std::string& candidate : stored) {
    if (candidate == name) return candidate;
  }
  for (const std::string& candidate : stored) {
    if (candidate.size() > name.size() && candidate.compare(0, name.size(), name) == 0 &&
        oracle_name(candidate) == name)
      return candidate;
  }
  return name;
}

std::vector<std::string> distinct_stored_names(const std::vector<std::string>& names) {
  std::vector<std::string> stored;
  for (const std::string& name : names) stored.push_back(distinct_stored_name(name, stored));
  return stored;
}

}  // namespace ociemu::sql
