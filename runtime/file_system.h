// Files, directories, wildcard listing and the current directory behind a
// small interface. The system form works on the real file system; the
// in-memory form models a Windows-like tree (or a POSIX one) for tests.
#pragma once

#include <string>
#include <vector>

namespace kvell {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Relative paths are taken from the current directory.
  virtual bool FileExists(const std::string& path) const = 0;
  virtual bool DirectoryExists(const std::string& path) const = 0;
  // Names of the entries of `directory` (files and directories) that match
  // the wildcard `pattern`, in the order the file system gives them.
  virtual std::vector<std::string> ListDirectory(const std::string& directory,
                                                 const std::string& pattern) const = 0;
  virtual std::string GetCurrentDir() const = 0;
  // False when the directory cannot be made current.
  virtual bool SetCurrentDir(const std::string& directory) = 0;
};

// The real file system; names match the pattern with case. Thread-safe: yes,
// but the current directory is one per process.
class SystemFileSystem final : public FileSystem {
 public:
  bool FileExists(const std::string& path) const override;
  bool DirectoryExists(const std::string& path) const override;
  std::vector<std::string> ListDirectory(const std::string& directory,
                                         const std::string& pattern) const override;
  std::string GetCurrentDir() const override;
  bool SetCurrentDir(const std::string& directory) override;
};

// A tree of names only. Paths are absolute from the root ("C:\ORACLE" or
// "/opt") or relative to the current directory; entries list in the order
// they were added. Thread-safe: no.
class MemoryFileSystem final : public FileSystem {
 public:
  // Windows-like by default: "\" separates, names compare without case.
  explicit MemoryFileSystem(char separator = '\\', bool case_sensitive = false);

  // Adds the file and every directory above it.
  void AddFile(const std::string& path);
  void AddDirectory(const std::string& path);

  bool FileExists(const std::string& path) const override;
  bool DirectoryExists(const std::string& path) const override;
  std::vector<std::string> ListDirectory(const std::string& directory,
                                         const std::string& pattern) const override;
  std::string GetCurrentDir() const override { return current_dir_; }
  bool SetCurrentDir(const std::string& directory) override;

 private:
  struct Entry {
    std::string path;  // normalised: no trailing separator, no empty parts
    bool is_directory;
  };
  std::string normalise(const std::string& path) const;
  std::string parent_of(const std::string& path) const;
  const Entry* find(const std::string& path) const;
  void add(const std::string& path, bool is_directory);

  char separator_;
  bool case_sensitive_;
  std::vector<Entry> entries_;
  std::string current_dir_;
};

}  // namespace kvell
