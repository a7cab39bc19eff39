#include "runtime/command_line.h"

#include <fstream>
#include <iterator>

namespace kvell {

std::string MemoryCommandLine::ParamStr(int index) const {
  if (index < 1 || index > ParamCount()) return {};
  return parameters_[static_cast<size_t>(index - 1)];
}

std::vector<std::string> SplitProcCmdline(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    words.emplace_back(text, start, end - start);
    start = end + 1;
  }
  if (!words.empty()) words.erase(words.begin());
  return words;
}

const CommandLine& ProcessCommandLine() {
  // Never destroyed: the layer's exit step (FreeOCI) still runs through it.
  static const MemoryCommandLine* command_line = new MemoryCommandLine([] {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return SplitProcCmdline(text);
  }());
  return *command_line;
}

}  // namespace kvell
