// Starting a reader tool as a child process and reading its exit code without
// blocking. ProcessLauncher is the seam through which tests watch or replace
// the start; PosixProcessLauncher is the one the program uses.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestra {

// A started child. Destroying it neither waits for nor kills the child, so a
// tool still running when the viewer gives up on it keeps running.
// Thread safety: none.
class ChildProcess {
 public:
  explicit ChildProcess(pid_t pid);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // A descriptor that turns readable when the child ends, or -1 where the
  // kernel offers none (callers then poll TryExitCode on a timer).
  int ExitDescriptor() const { return exit_descriptor_; }

  // The exit code once the child has ended (128 + signal number when a
  // signal ended it); nothing while it runs.
  std::optional<int32_t> TryExitCode();

 private:
  pid_t pid_;
  int exit_descriptor_ = -1;  // pidfd, owned
  std::optional<int32_t> exit_code_;
};

struct LaunchRequest {
  std::string FileName;                   // run as given, relative to the current directory
  std::optional<std::string> Parameters;  // the one argument, unquoted; none when absent
  std::optional<std::string> Directory;   // working directory; inherited when absent
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // The started child, or nullptr when the file cannot be started.
  virtual std::unique_ptr<ChildProcess> Start(const LaunchRequest& request) = 0;
};

// posix_spawn with standard input from /dev/null and no PATH search.
// Thread safety: Start may be called from any thread.
class PosixProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<ChildProcess> Start(const LaunchRequest& request) override;
};

}  // namespace kestra
