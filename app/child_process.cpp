#include "app/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

extern char** environ;

namespace kestra {
namespace {

// Exit code reported when the child was reaped elsewhere and its status is lost.
constexpr int32_t kUnknownExitCode = -1;

int open_exit_descriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

int32_t exit_code_of(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kUnknownExitCode;
}

// RAII for the spawn attribute objects.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The tool sees no terminal input and none of the viewer's blocked signals.
  void prepare(const std::optional<std::string>& directory) {
    posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (directory) posix_spawn_file_actions_addchdir_np(&actions_, directory->c_str());
    sigset_t empty;
    sigemptyset(&empty);
    posix_spawnattr_setsigmask(&attributes_, &empty);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK);
  }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

ChildProcess::ChildProcess(pid_t pid) : pid_(pid), exit_descriptor_(open_exit_descriptor(pid)) {}

ChildProcess::~ChildProcess() {
  if (exit_descriptor_ >= 0) ::close(exit_descriptor_);
}

std::optional<int32_t> ChildProcess::TryExitCode() {
  if (exit_code_) return exit_code_;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid_, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == pid_) exit_code_ = exit_code_of(status);
  else if (result < 0) exit_code_ = kUnknownExitCode;
  return exit_code_;
}

std::unique_ptr<ChildProcess> PosixProcessLauncher::Start(const LaunchRequest& request) {
  SpawnSetup setup;
  setup.prepare(request.Directory);
  // Resolved before the change of directory, so a bare name means the current one.
  std::string file = request.Directory ? std::filesystem::absolute(request.FileName).string() : request.FileName;
  std::string parameters = request.Parameters.value_or("");
  std::vector<char*> argv{file.data()};
  if (request.Parameters) argv.push_back(parameters.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, file.c_str(), setup.actions(), setup.attributes(), argv.data(), environ) != 0)
    return nullptr;
  return std::make_unique<ChildProcess>(pid);
}

}  // namespace kestra
