#include "runtime/dynamic_library.h"

#include <dlfcn.h>

namespace kvell {
namespace {

thread_local std::string last_load_error;

}  // namespace

LibraryHandle SystemLibraries::Load(const std::string& path) {
  ::dlerror();
  LibraryHandle library = path.empty() ? nullptr : ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = ::dlerror();
    last_load_error = reason ? reason : "empty library path";
  }
  return library;
}

void* SystemLibraries::Symbol(LibraryHandle library, const char* name) {
  return library ? ::dlsym(library, name) : nullptr;
}

void SystemLibraries::Free(LibraryHandle library) {
  if (library) ::dlclose(library);
}

std::string SystemLibraries::LastError() const { return last_load_error; }

DynamicLibraries& ProcessLibraries() {
  // Never destroyed: the layer's exit step (FreeOCI) still runs through it.
  static SystemLibraries* libraries = new SystemLibraries;
  return *libraries;
}

}  // namespace kvell
