#include "runtime/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "runtime/ansi_case.h"
#include "runtime/wildcard.h"

namespace kvell {
namespace {

bool stat_is(const std::string& path, mode_t kind) {
  struct stat info{};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

}  // namespace

bool SystemFileSystem::FileExists(const std::string& path) const { return stat_is(path, S_IFREG); }

bool SystemFileSystem::DirectoryExists(const std::string& path) const { return stat_is(path, S_IFDIR); }

std::vector<std::string> SystemFileSystem::ListDirectory(const std::string& directory,
                                                         const std::string& pattern) const {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.empty() ? "." : directory.c_str()), ::closedir);
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name != "." && name != ".." && WildcardMatch(pattern, name, true)) names.push_back(name);
  }
  return names;
}

std::string SystemFileSystem::GetCurrentDir() const {
  std::unique_ptr<char, void (*)(void*)> path(::getcwd(nullptr, 0), ::free);
  return path ? std::string(path.get()) : std::string();
}

bool SystemFileSystem::SetCurrentDir(const std::string& directory) {
  return !directory.empty() && ::chdir(directory.c_str()) == 0;
}

MemoryFileSystem::MemoryFileSystem(char separator, bool case_sensitive)
    : separator_(separator), case_sensitive_(case_sensitive), current_dir_(1, separator) {}

std::string MemoryFileSystem::normalise(const std::string& path) const {
  bool absolute = !path.empty() && (path[0] == separator_ || (path.size() > 1 && path[1] == ':'));
  std::string full = absolute ? path : current_dir_ + separator_ + path;
  std::string result;
  for (char c : full) {
    if (c == separator_ && !result.empty() && result.back() == separator_) continue;
    result += c;
  }
  if (result.size() > 1 && result.back() == separator_) result.pop_back();
  return result;
}

std::string MemoryFileSystem::parent_of(const std::string& path) const {
  size_t at = path.rfind(separator_);
  if (at == std::string::npos || at + 1 == path.size()) return {};
  return at == 0 ? std::string(1, separator_) : path.substr(0, at);
}

const MemoryFileSystem::Entry* MemoryFileSystem::find(const std::string& path) const {
  for (const Entry& entry : entries_)
    if (case_sensitive_ ? entry.path == path : AnsiSameText(entry.path, path)) return &entry;
  return nullptr;
}

void MemoryFileSystem::add(const std::string& path, bool is_directory) {
  std::string parent = parent_of(path);
  if (!parent.empty() && parent != std::string(1, separator_)) add(parent, true);
  if (!find(path)) entries_.push_back({path, is_directory});
}

void MemoryFileSystem::AddFile(const std::string& path) { add(normalise(path), false); }

void MemoryFileSystem::AddDirectory(const std::string& path) { add(normalise(path), true); }

bool MemoryFileSystem::FileExists(const std::string& path) const {
  const Entry* entry = path.empty() ? nullptr : find(normalise(path));
  return entry && !entry->is_directory;
}

bool MemoryFileSystem::DirectoryExists(const std::string& path) const {
  const Entry* entry = path.empty() ? nullptr : find(normalise(path));
  return entry && entry->is_directory;
}

std::vector<std::string> MemoryFileSystem::ListDirectory(const std::string& directory,
                                                         const std::string& pattern) const {
  std::string parent = normalise(directory);
  std::vector<std::string> names;
  for (const Entry& entry : entries_) {
    std::string entry_parent = parent_of(entry.path);
    bool inside = case_sensitive_ ? entry_parent == parent : AnsiSameText(entry_parent, parent);
    std::string name = entry.path.substr(entry.path.rfind(separator_) + 1);
    if (inside && WildcardMatch(pattern, name, case_sensitive_)) names.push_back(name);
  }
  return names;
}

bool MemoryFileSystem::SetCurrentDir(const std::string& directory) {
  if (!DirectoryExists(directory)) return false;
  current_dir_ = find(normalise(directory))->path;
  return true;
}

}  // namespace kvell
