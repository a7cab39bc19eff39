#include "app/program_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestra {

const char* const kInstalledToolsDir = KESTRA_INSTALLED_TOOLS_DIR;

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

std::string DataFileDirOf(const std::string& program_dir, const std::string& user_cache_dir) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (program_dir.empty() || user_cache_dir.empty() ||
      !fs::is_directory(fs::path(program_dir) / kInstalledToolsDir, error))
    return program_dir;
  const std::string data_dir = user_cache_dir + "kestra/";
  fs::create_directories(data_dir, error);
  return fs::is_directory(data_dir, error) ? data_dir : program_dir;
}

std::string UserCacheDir() {
  // A relative XDG_CACHE_HOME is invalid and ignored, as the XDG rules say.
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/";
  return std::string();
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
