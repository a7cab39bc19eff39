#include "app/program_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace kestra {

std::string ExecutablePath() {
  std::array<char, 4096> buffer{};
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

std::string ProgramDirOf(const std::string& executable_path) {
  size_t separator = executable_path.rfind('/');
  std::string directory =
      separator == std::string::npos ? std::string() : executable_path.substr(0, separator + 1);
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

bool FileExists(const std::string& name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace kestra
