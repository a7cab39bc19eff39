#include "binding_fixture.h"

#include "runtime/exception.h"
#include "runtime/ansi_case.h"

namespace kvell::testing {
namespace {

#define NAME_OF(name, result, parameters) #name,
const std::vector<std::vector<std::string>>& group_names() {
  static const std::vector<std::vector<std::string>> groups = {
      {KVELL_OCI7_ENTRIES(NAME_OF)},  {KVELL_OCI7_OLOG_ENTRIES(NAME_OF)}, {KVELL_OCI7_OPINIT_ENTRIES(NAME_OF)},
      {KVELL_OCI8_ENTRIES(NAME_OF)},  {KVELL_OCIEP_ENTRIES(NAME_OF)},     {KVELL_OCI81_ENTRIES(NAME_OF)},
      {KVELL_OCI9_ENTRIES(NAME_OF)},  {KVELL_OCI92_ENTRIES(NAME_OF)},     {KVELL_MTS_ENTRIES(NAME_OF)}};
  return groups;
}
#undef NAME_OF

sword recording_opinit(ub4 mode) {
  ++InitCalls().opinit_calls;
  InitCalls().opinit_mode = mode;
  return OCI_SUCCESS;
}

sword recording_initialize(ub4 mode, void*, OCIMallocHook, OCIReallocHook, OCIFreeHook) {
  ++InitCalls().initialize_calls;
  InitCalls().initialize_mode = mode;
  return OCI_SUCCESS;
}

void must_not_be_called() { ADD_FAILURE() << "the binding called an entry it only had to bind"; }

}  // namespace

std::string FakeClientPath(const std::string& name) {
  return std::string(KVELL_FAKE_CLIENT_DIR) + "/lib" + name + ".so";
}

std::set<std::string> EntryNames(const std::vector<EntryGroup>& groups) {
  std::set<std::string> names;
  for (EntryGroup group : groups)
    for (const std::string& name : group_names()[group]) names.insert(name);
  return names;
}

std::set<std::string> EveryClientEntry() {
  return EntryNames({kOci7, kOlog, kOpinit, kOci8, kOciEp, kOci81, kOci9, kOci92});
}

RecordedInitCalls& InitCalls() {
  static RecordedInitCalls calls;
  return calls;
}

void FakeLibraries::Add(const std::string& path, std::set<std::string> exports) {
  libraries_[AnsiUpperCase(path)] = std::move(exports);
}

LibraryHandle FakeLibraries::Load(const std::string& path) {
  loads.push_back(path);
  auto found = libraries_.find(AnsiUpperCase(path));
  if (found == libraries_.end()) return nullptr;
  ++open;
  return &found->second;
}

void* FakeLibraries::Symbol(LibraryHandle library, const char* name) {
  const auto& exports = *static_cast<std::set<std::string>*>(library);
  if (!exports.count(name)) return nullptr;
  if (std::string(name) == "opinit") return reinterpret_cast<void*>(&recording_opinit);
  if (std::string(name) == "OCIInitialize") return reinterpret_cast<void*>(&recording_initialize);
  return reinterpret_cast<void*>(&must_not_be_called);
}

void FakeLibraries::Free(LibraryHandle) {
  ++frees;
  --open;
}

void BindingTest::ResetBinding() {
  FreeOCI();
  OCIDLL.clear();
  OCIDLLSkipList.clear();
  OracleHomeName.clear();
  ModifyPath = true;
  ForceOCI7 = false;
  InitialPath.clear();
  SavedCurrentDir.clear();
  LibraryCurrentDir.clear();
  OCILog.clear();
  HomeList.clear();
  BinSubdir = true;
  InitCalls() = RecordedInitCalls{};
}

void BindingTest::SetUp() { ResetBinding(); }

void BindingTest::TearDown() {
  ResetBinding();
  SetOCIPlatform(SystemClientPlatform());
}

void WindowsBindingTest::SetUp() {
  BindingTest::SetUp();
  files.AddDirectory("C:\\WORK");
  files.SetCurrentDir("C:\\WORK");
  environment.Set("PATH", "C:\\WINDOWS;C:\\WINDOWS\\SYSTEM32");
  Install();
}

void WindowsBindingTest::Install() {
  SetOCIPlatform({&registry, &environment, &files, command_line.get(), &libraries, &ClientNaming::Windows()});
}

void WindowsBindingTest::SetParams(std::vector<std::string> parameters) {
  command_line = std::make_unique<MemoryCommandLine>(std::move(parameters));
  Install();
}

void WindowsBindingTest::AddNumberedHome(int number, const std::string& name, const std::string& dir) {
  std::string key = "SOFTWARE\\ORACLE\\HOME" + std::to_string(number);
  registry.SetValue(RegistryRoot::LocalMachine, key, "ORACLE_HOME", dir);
  registry.SetValue(RegistryRoot::LocalMachine, key, "ORACLE_HOME_NAME", name);
  files.AddDirectory(dir + "\\bin");
}

void WindowsBindingTest::AddNamedHome(const std::string& name, const std::string& dir) {
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\KEY_" + name, "ORACLE_HOME", dir);
  files.AddDirectory(dir + "\\bin");
}

void WindowsBindingTest::AddLibrary(const std::string& path, std::set<std::string> exports) {
  files.AddFile(path);
  libraries.Add(path, std::move(exports));
}

std::string WindowsBindingTest::InitMessage() {
  try {
    InitOCI();
    return {};
  } catch (const Exception& error) {
    return error.Message;
  }
}

}  // namespace kvell::testing
