// Scratch directories, tool scripts and a current-directory scope for the
// viewer's tests, which run real child processes in real directories.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kestra::testing {

// A fresh directory (with a blank in its name) removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Path() / name as text, creating nothing.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Changes the current directory for the life of the scope.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::filesystem::path& directory);
  ~CurrentDirectoryScope();
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  std::filesystem::path previous_;
};

// Sets an environment variable for the life of the scope, then restores it.
class EnvironmentScope {
 public:
  EnvironmentScope(std::string name, const std::string& value);
  ~EnvironmentScope();
  EnvironmentScope(const EnvironmentScope&) = delete;
  EnvironmentScope& operator=(const EnvironmentScope&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Writes a /bin/sh script and makes it executable.
void WriteScript(const std::string& path, const std::string& body);

}  // namespace kestra::testing
