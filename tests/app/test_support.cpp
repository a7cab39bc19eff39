#include "tests/app/test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace kestra::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("kestra test " + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::filesystem::path& directory)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(directory);
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

EnvironmentScope::EnvironmentScope(std::string name, const std::string& value) : name_(std::move(name)) {
  if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
  ::setenv(name_.c_str(), value.c_str(), 1);
}

EnvironmentScope::~EnvironmentScope() {
  if (previous_)
    ::setenv(name_.c_str(), previous_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteScript(const std::string& path, const std::string& body) {
  WriteFile(path, "#!/bin/sh\n" + body + "\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec);
}

}  // namespace kestra::testing
