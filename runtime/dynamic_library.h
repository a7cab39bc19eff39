// Loading shared libraries at run time and looking up their entries, behind
// a small interface so that tests can stand in for the loader.
#pragma once

#include <string>

namespace kvell {

using LibraryHandle = void*;  // null: not loaded

class DynamicLibraries {
 public:
  virtual ~DynamicLibraries() = default;
  // Null when the library cannot be loaded; LastError() then says why.
  virtual LibraryHandle Load(const std::string& path) = 0;
  // Null when the library does not export `name`.
  virtual void* Symbol(LibraryHandle library, const char* name) = 0;
  virtual void Free(LibraryHandle library) = 0;
  // The reason of the calling thread's last failed Load.
  virtual std::string LastError() const = 0;
};

// dlopen/dlsym/dlclose; libraries are loaded with RTLD_NOW | RTLD_LOCAL so
// that their names never satisfy another library's. Thread-safe: yes.
class SystemLibraries final : public DynamicLibraries {
 public:
  LibraryHandle Load(const std::string& path) override;
  void* Symbol(LibraryHandle library, const char* name) override;
  void Free(LibraryHandle library) override;
  std::string LastError() const override;
};

DynamicLibraries& ProcessLibraries();

}  // namespace kvell
