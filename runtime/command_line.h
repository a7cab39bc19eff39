// The process's command-line parameters behind a small interface, numbered
// from 1 as the host runtime does (parameter 0, the program, is not listed).
// The in-memory form lets tests pass parameters without starting a process.
#pragma once

#include <string>
#include <vector>

namespace kvell {

class CommandLine {
 public:
  virtual ~CommandLine() = default;
  virtual int ParamCount() const = 0;
  // Parameter `index` (1 to ParamCount()); empty text outside that range.
  virtual std::string ParamStr(int index) const = 0;
};

// A fixed list of parameters. Thread-safe: yes (immutable).
class MemoryCommandLine final : public CommandLine {
 public:
  explicit MemoryCommandLine(std::vector<std::string> parameters) : parameters_(std::move(parameters)) {}
  int ParamCount() const override { return static_cast<int>(parameters_.size()); }
  std::string ParamStr(int index) const override;

 private:
  std::vector<std::string> parameters_;
};

// Splits the NUL-separated text of /proc/<pid>/cmdline, dropping the program.
std::vector<std::string> SplitProcCmdline(const std::string& text);

// The running process's parameters, read once from /proc/self/cmdline.
const CommandLine& ProcessCommandLine();

}  // namespace kvell
