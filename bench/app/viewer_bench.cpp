// Measures the built viewer as a user meets it, offscreen on the simulated
// reader tools: the time from start until the filled window (the viewer is
// told to end once the card is shown, so this includes its exit), and the
// CPU the viewer uses while it waits 3 s for a slow reader tool.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kSlowToolMs = 3000;

struct ViewerRun {
  double wall_seconds;
  double cpu_seconds;  // user + system time of the viewer
};

// A directory holding the simulators as the viewer's current directory.
const std::filesystem::path& demo_directory() {
  static const std::filesystem::path directory = [] {
    auto path = std::filesystem::temp_directory_path() / ("kestra-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    std::filesystem::create_symlink(READACC_SIMULATOR, path / "READACC.EXE");
    std::filesystem::create_symlink(READZET_SIMULATOR, path / "READZET.EXE");
    return path;
  }();
  return directory;
}

ViewerRun run_viewer(std::vector<std::string> settings) {
  settings.push_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> environment;
  for (char** variable = environ; *variable; ++variable) environment.push_back(*variable);
  for (std::string& setting : settings) environment.push_back(setting.data());
  environment.push_back(nullptr);
  std::string program = KESTRA_VIEWER, option = "--exit-when-shown";
  char* argv[] = {program.data(), option.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, demo_directory().c_str());
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed) throw std::runtime_error("cannot start " + program);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the viewer failed");
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return {wall.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void BM_StartToFilledWindow(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(run_viewer({}).wall_seconds);
}
BENCHMARK(BM_StartToFilledWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The viewer's CPU time with a 3 s tool, less that of a run with an instant
// tool, over the 3 s: the share of one core the wait costs.
void BM_CpuWhileWaitingForSlowTool(benchmark::State& state) {
  double wait_cpu = 0;
  for (auto _ : state) {
    ViewerRun quick = run_viewer({});
    ViewerRun slow = run_viewer({"KESTRA_SIM_READACC_DELAY_MS=" + std::to_string(kSlowToolMs)});
    wait_cpu = slow.cpu_seconds - quick.cpu_seconds;
    state.SetIterationTime(slow.wall_seconds);
  }
  state.counters["wait_cpu_ms"] = wait_cpu * 1e3;
  state.counters["core_percent"] = 100.0 * wait_cpu / (kSlowToolMs / 1e3);
}
BENCHMARK(BM_CpuWhileWaitingForSlowTool)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(demo_directory());
  return 0;
}
