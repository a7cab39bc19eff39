// Process environment variables behind a small interface, so that code which
// reads and edits them (the client library search) can run against an
// in-memory environment in tests. A missing variable reads as empty text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvell {

class Environment {
 public:
  virtual ~Environment() = default;
  // The whole value; empty when the variable is not set.
  virtual std::string Get(std::string_view name) const = 0;
  virtual void Set(std::string_view name, std::string_view value) = 0;
};

// The real process environment. Thread-safe: reads yes; Set must not run
// while another thread reads the environment (a POSIX limitation).
class SystemEnvironment final : public Environment {
 public:
  std::string Get(std::string_view name) const override;
  void Set(std::string_view name, std::string_view value) override;
};

// Names compare without case, as on Windows. Thread-safe: no.
class MemoryEnvironment final : public Environment {
 public:
  std::string Get(std::string_view name) const override;
  void Set(std::string_view name, std::string_view value) override;

 private:
  std::vector<std::pair<std::string, std::string>> variables_;
};

// The one SystemEnvironment of the process.
Environment& ProcessEnvironment();

}  // namespace kvell
