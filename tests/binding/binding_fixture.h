// Shared ground for the binding's tests: a fixture that puts the binding's
// process-wide state back to its start values around every test, an
// in-memory Windows-like system with a stand-in library loader, and the
// paths of the stand-in client libraries built beside the tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "oracle/binding/client_search.h"
#include "oracle/binding/oracle_ci.h"

namespace kvell::testing {

// Path of a stand-in client library built by tests/binding/libs.
std::string FakeClientPath(const std::string& name);

// Entry names of the given groups, for FakeLibraries.
enum EntryGroup { kOci7, kOlog, kOpinit, kOci8, kOciEp, kOci81, kOci9, kOci92, kMts };
std::set<std::string> EntryNames(const std::vector<EntryGroup>& groups);
std::set<std::string> EveryClientEntry();

// A library loader over a table of path -> exported names. Paths compare
// without case. opinit and OCIInitialize record their calls; every other
// entry points at a function that must never be called.
class FakeLibraries final : public DynamicLibraries {
 public:
  void Add(const std::string& path, std::set<std::string> exports);
  LibraryHandle Load(const std::string& path) override;
  void* Symbol(LibraryHandle library, const char* name) override;
  void Free(LibraryHandle library) override;
  std::string LastError() const override { return {}; }

  std::vector<std::string> loads;  // every path Load was asked for
  int frees = 0;
  int open = 0;

 private:
  std::map<std::string, std::set<std::string>> libraries_;  // upper-case path -> exports
};

struct RecordedInitCalls {
  int opinit_calls = 0;
  unsigned opinit_mode = 99;
  int initialize_calls = 0;
  unsigned initialize_mode = 99;
};
RecordedInitCalls& InitCalls();

// Resets the binding before and after each test and restores the system
// platform afterwards.
class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  static void ResetBinding();
};

// The Windows profile over an in-memory registry, environment, file system,
// command line and loader.
class WindowsBindingTest : public BindingTest {
 protected:
  void SetUp() override;
  void Install();
  void SetParams(std::vector<std::string> parameters);

  // A home registered as SOFTWARE\ORACLE\HOME<number>, with a bin directory.
  void AddNumberedHome(int number, const std::string& name, const std::string& dir);
  void AddNamedHome(const std::string& name, const std::string& dir);
  // A client library file that the loader can open.
  void AddLibrary(const std::string& path, std::set<std::string> exports = EveryClientEntry());

  // InitOCI's message, or empty text when it succeeded.
  std::string InitMessage();

  MemoryRegistry registry;
  MemoryEnvironment environment;
  MemoryFileSystem files;
  std::unique_ptr<MemoryCommandLine> command_line = std::make_unique<MemoryCommandLine>(std::vector<std::string>{});
  FakeLibraries libraries;
};

}  // namespace kvell::testing
