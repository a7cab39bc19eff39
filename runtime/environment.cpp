#include "runtime/environment.h"

#include <cstdlib>

#include "runtime/ansi_case.h"

namespace kvell {

std::string SystemEnvironment::Get(std::string_view name) const {
  const char* value = std::getenv(std::string(name).c_str());
  return value ? std::string(value) : std::string();
}

void SystemEnvironment::Set(std::string_view name, std::string_view value) {
  ::setenv(std::string(name).c_str(), std::string(value).c_str(), 1);
}

std::string MemoryEnvironment::Get(std::string_view name) const {
  for (const auto& [key, value] : variables_)
    if (AnsiSameText(key, name)) return value;
  return {};
}

void MemoryEnvironment::Set(std::string_view name, std::string_view value) {
  for (auto& [key, current] : variables_)
    if (AnsiSameText(key, name)) {
      current = value;
      return;
    }
  variables_.emplace_back(name, value);
}

Environment& ProcessEnvironment() {
  // Never destroyed: the layer's exit step (FreeOCI) still runs through it.
  static SystemEnvironment* environment = new SystemEnvironment;
  return *environment;
}

}  // namespace kvell
