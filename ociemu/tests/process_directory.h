// A folder of test databases for one test process. It goes, with every file
// in it, when the process ends: a full run writes hundreds of databases, and
// a runner that runs the suites again and again would otherwise fill the disk.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace ociemu::testing {

class ProcessDirectory {
 public:
  // The folder is `prefix` followed by the process id, in the temporary directory.
  explicit ProcessDirectory(std::string_view prefix)
      : owner_(::getpid()),
        path_(std::filesystem::temp_directory_path() / (std::string(prefix) + std::to_string(owner_))) {
    std::filesystem::create_directories(path_);
  }
  ~ProcessDirectory() {
    if (::getpid() != owner_) return;  // a forked child leaves its parent's files alone
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ProcessDirectory(const ProcessDirectory&) = delete;
  ProcessDirectory& operator=(const ProcessDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  pid_t owner_;
  std::filesystem::path path_;
};

}  // namespace ociemu::testing
