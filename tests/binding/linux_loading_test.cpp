// Finding and loading real shared libraries with the Linux names: temporary
// Oracle homes, the process environment, dlopen of the stand-in clients.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "binding_fixture.h"
#include "ociemu/api/test_hooks.h"
#include "runtime/exception.h"

namespace kvell::testing {
namespace {

namespace fs = std::filesystem;

// Whether the library at `path` is mapped into the process.
bool library_is_open(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) ::dlclose(handle);
  return handle != nullptr;
}

// Calls recorded by a loaded stand-in client.
struct FakeClientProbe {
  explicit FakeClientProbe(const std::string& path) : handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {}
  ~FakeClientProbe() {
    if (handle) ::dlclose(handle);
  }
  FakeClientProbe(const FakeClientProbe&) = delete;
  FakeClientProbe& operator=(const FakeClientProbe&) = delete;
  int Calls(const char* name) const {
    auto calls = reinterpret_cast<int (*)(const char*)>(::dlsym(handle, "fake_calls"));
    return calls ? calls(name) : -1;
  }
  unsigned Mode(const char* name) const {
    auto mode = reinterpret_cast<unsigned (*)(const char*)>(::dlsym(handle, "fake_last_mode"));
    return mode ? mode(name) : 99;
  }
  void* handle;
};

class LinuxLoadingTest : public BindingTest {
 protected:
  void SetUp() override {
    BindingTest::SetUp();
    root_ = fs::path(::testing::TempDir()) / ("kvell_binding_" + std::to_string(::getpid()) + "_" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    saved_dir_ = fs::current_path();
    for (const char* name : {"ORACLE_HOME", "LD_LIBRARY_PATH"}) {
      const char* value = ::getenv(name);
      saved_environment_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    Install();
  }

  void TearDown() override {
    BindingTest::TearDown();
    fs::current_path(saved_dir_);
    for (const auto& [name, value] : saved_environment_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    fs::remove_all(root_);
  }

  void Install() {
    ClientPlatform platform = SystemClientPlatform();
    platform.registry = &registry;
    platform.command_line = command_line.get();
    SetOCIPlatform(platform);
  }

  // A home directory with the named stand-in clients copied into its lib/.
  std::string MakeHome(const std::string& home, const std::vector<std::pair<std::string, std::string>>& libraries) {
    fs::path lib = root_ / home / "lib";
    fs::create_directories(lib);
    for (const auto& [fake, file_name] : libraries) fs::copy_file(FakeClientPath(fake), lib / file_name);
    return (root_ / home).string();
  }

  std::string InitMessage() {
    try {
      InitOCI();
      return {};
    } catch (const Exception& error) {
      return error.Message;
    }
  }

  std::string MTSMessage() {
    try {
      InitMTS();
      return {};
    } catch (const Exception& error) {
      return error.Message;
    }
  }

  fs::path root_;
  MemoryRegistry registry;
  std::unique_ptr<MemoryCommandLine> command_line = std::make_unique<MemoryCommandLine>(std::vector<std::string>{});

 private:
  fs::path saved_dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_environment_;
};

struct Levels {
  const char* library;
  bool force_oci7;
  bool oci7, olog, opinit, oci8, ociep, oci81, oci9, oci92, use_oci8;
  int opinit_calls;
  int initialize_calls;
};

TEST_F(LinuxLoadingTest, each_client_level_gives_its_flags_and_start_up_calls) {
  const Levels cases[] = {
      {"fake_v7", false, true, false, false, false, false, false, false, false, false, 0, 0},
      {"fake_v7_opinit", false, true, true, true, false, false, false, false, false, false, 1, 0},
      {"fake_v80", false, false, false, false, true, true, false, false, false, true, 0, 1},
      {"fake_v81_no_fetch2", false, false, false, false, true, true, true, false, false, true, 0, 0},
      {"fake_v9", false, false, false, false, true, true, true, true, false, true, 0, 0},
      {"fake_all", false, true, true, true, true, true, true, true, true, true, 0, 0},
      {"fake_all", true, true, true, true, true, true, true, true, true, false, 1, 0},
  };
  for (const Levels& level : cases) {
    SCOPED_TRACE(std::string(level.library) + (level.force_oci7 ? " with ForceOCI7" : ""));
    OCIDLL = FakeClientPath(level.library);
    ForceOCI7 = level.force_oci7;
    ASSERT_EQ(InitMessage(), "");
    EXPECT_EQ(OCI7Available, level.oci7);
    EXPECT_EQ(OLogAvailable, level.olog);
    EXPECT_EQ(OPInitAvailable, level.opinit);
    EXPECT_EQ(OCI8Available, level.oci8);
    EXPECT_EQ(OCIEPAvailable, level.ociep);
    EXPECT_EQ(OCI81Available, level.oci81);
    EXPECT_EQ(OCI9Available, level.oci9);
    EXPECT_EQ(OCI92Available, level.oci92);
    EXPECT_EQ(UseOCI8, level.use_oci8);
    FakeClientProbe probe(OCIDLL);
    EXPECT_EQ(probe.Calls("opinit"), level.opinit_calls);
    if (level.opinit_calls) {
      EXPECT_EQ(probe.Mode("opinit"), 0u);
    }
    EXPECT_EQ(probe.Calls("OCIInitialize"), level.initialize_calls);
    if (level.initialize_calls) {
      EXPECT_EQ(probe.Mode("OCIInitialize"), OCI_THREADED | OCI_OBJECT);
    }
    FreeOCI();
    ForceOCI7 = false;
  }
}

TEST_F(LinuxLoadingTest, entries_of_a_group_above_a_missing_level_stay_null_even_if_exported) {
  OCIDLL = FakeClientPath("fake_v81_no_fetch2");
  ASSERT_EQ(InitMessage(), "");
  EXPECT_NE(OCIEnvCreate, nullptr);
  EXPECT_NE(OCIStmtExecute, nullptr);
  EXPECT_EQ(OCIStmtFetch2, nullptr);
  EXPECT_EQ(OCISessionPoolCreate, nullptr);
  EXPECT_EQ(OCIStmtRelease, nullptr);
  EXPECT_EQ(orlon, nullptr);
  // The bound entries reach the library's own code.
  EXPECT_EQ(OCIStmtExecute(nullptr, nullptr, nullptr, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
  EXPECT_EQ(FakeClientProbe(OCIDLL).Calls("OCIStmtExecute"), 1);
}

TEST_F(LinuxLoadingTest, a_missing_entry_makes_its_group_unavailable_but_keeps_earlier_addresses) {
  void* library = ProcessLibraries().Load(FakeClientPath("fake_v7"));
  ASSERT_NE(library, nullptr);
  bool available = true;
  BindEntry(ProcessLibraries(), library, available, orlon, "orlon");
  BindEntry(ProcessLibraries(), library, available, OCIHandleAlloc, "OCIHandleAlloc");
  BindEntry(ProcessLibraries(), library, available, ologof, "ologof");
  EXPECT_FALSE(available);
  EXPECT_NE(orlon, nullptr);
  EXPECT_EQ(OCIHandleAlloc, nullptr);
  EXPECT_EQ(ologof, nullptr);  // not looked up once the group failed
  ProcessLibraries().Free(library);
  ResetClientEntries();
}

TEST_F(LinuxLoadingTest, forcing_version_7_on_a_version_8_only_client_cannot_initialize) {
  OCIDLL = FakeClientPath("fake_v80");
  ForceOCI7 = true;
  std::string message = InitMessage();
  EXPECT_EQ(message.substr(0, message.find("\r\n\r\n")),
            "Initialization error\r\nCould not initialize \"" + OCIDLL + "\"");
  EXPECT_FALSE(OCILoaded());
}

TEST_F(LinuxLoadingTest, a_client_exporting_nothing_is_unloaded_again) {
  std::string home = MakeHome("none", {{"fake_none", "libclntsh.so"}});
  ::setenv("ORACLE_HOME", home.c_str(), 1);
  std::string library = home + "/lib/libclntsh.so";
  EXPECT_EQ(InitMessage(),
            "Initialization error\r\nCould not initialize \"" + library + "\"\r\n\r\nOracleHomeKey: \r\n" +
                "OracleHomeDir: " + home + "\r\nFound: libclntsh.so\r\nUsing: " + library);
  EXPECT_FALSE(library_is_open(library));
  EXPECT_EQ(OCIDLL, "");
}

TEST_F(LinuxLoadingTest, oracle_home_in_the_environment_finds_and_loads_the_client) {
  std::string home = MakeHome("env", {{"fake_all", "libclntsh.so"}});
  ::setenv("ORACLE_HOME", home.c_str(), 1);
  ::setenv("LD_LIBRARY_PATH", ("/usr/lib:" + home + "/lib").c_str(), 1);
  ASSERT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeDir, home);
  EXPECT_TRUE(BinSubdir);
  EXPECT_EQ(OCIDLL, home + "/lib/libclntsh.so");
  EXPECT_TRUE(library_is_open(OCIDLL));
  EXPECT_EQ(std::string(::getenv("LD_LIBRARY_PATH")), home + "/lib:/usr/lib");
  FreeOCI();
  EXPECT_FALSE(library_is_open(home + "/lib/libclntsh.so"));
}

TEST_F(LinuxLoadingTest, an_ocidll_parameter_loads_that_file) {
  std::string library = MakeHome("param", {{"fake_v9", "libclntsh.so.12.1"}}) + "/lib/libclntsh.so.12.1";
  command_line = std::make_unique<MemoryCommandLine>(std::vector<std::string>{"--verbose", "OCIDLL=" + library});
  Install();
  ASSERT_EQ(InitMessage(), "");
  EXPECT_EQ(OCILog, "OCIDLL forced to " + library);
  EXPECT_TRUE(OCI9Available);
}

TEST_F(LinuxLoadingTest, a_registry_file_lists_homes_and_the_highest_version_is_loaded) {
  std::string old_home = MakeHome("old", {{"fake_v7", "libclntsh.so.9.2"}});
  std::string new_home = MakeHome("new", {{"fake_v80", "libclntsh.so.19.9"},
                                          {"fake_all", "libclntsh.so.19.10"},
                                          {"fake_v7", "libclntsh.so.notaversion"}});
  std::string reg_file = (root_ / "registry.reg").string();
  std::ofstream(reg_file) << "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\KEY_OraOld]\r\n"
                             "\"ORACLE_HOME\"=\"" << old_home << "\"\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\KEY_OraNew]\r\n"
                             "\"ORACLE_HOME\"=\"" << new_home << "\"\r\n";
  registry = LoadRegFile(reg_file);
  ASSERT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeName, "OraOld");  // the alphabetically last name
  EXPECT_EQ(OCIDLL, old_home + "/lib/libclntsh.so.9.2");
  FreeOCI();

  ::setenv("LD_LIBRARY_PATH", (new_home + "/lib").c_str(), 1);
  ASSERT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\KEY_OraNew");
  EXPECT_EQ(OCIDLL, new_home + "/lib/libclntsh.so.19.10");
  EXPECT_TRUE(OCI92Available);
}

TEST_F(LinuxLoadingTest, the_client_is_found_along_the_library_path) {
  std::string home = MakeHome("path", {{"fake_v7", "libclntsh.so"}});
  ::setenv("LD_LIBRARY_PATH", ("::/nonexistent:" + home + "/lib/").c_str(), 1);
  EXPECT_EQ(FindOracleHomeDir(), home);
  EXPECT_TRUE(BinSubdir);
}

TEST_F(LinuxLoadingTest, a_file_that_is_no_library_logs_the_loader_reason) {
  fs::create_directories(root_ / "bad");
  std::ofstream(root_ / "bad" / "libclntsh.so") << "not a library";
  OCIDLL = (root_ / "bad" / "libclntsh.so").string();
  std::string message = InitMessage();
  std::string expected_start = "Initialization error\r\nCould not load \"" + OCIDLL + "\"\r\n\r\nOCIDLL forced to " +
                               OCIDLL + "\r\nLoadLibrary(" + OCIDLL + ") returned 0\r\n";
  EXPECT_EQ(message.substr(0, expected_start.size()), expected_start);
  EXPECT_GT(message.size(), expected_start.size());  // dlerror's text follows
  EXPECT_EQ(fs::current_path(), root_ / "bad");      // the second attempt ran from there
  RestoreCurrentDir();
  EXPECT_NE(fs::current_path(), root_ / "bad");
}

TEST_F(LinuxLoadingTest, the_current_directory_is_restored_after_a_load_through_a_link_or_a_relative_path) {
  fs::create_directories(root_ / "bad");
  std::ofstream(root_ / "bad" / "libclntsh.so") << "not a library";
  fs::create_directory_symlink(root_ / "bad", root_ / "link");
  fs::path start = fs::canonical(root_);
  fs::current_path(start);
  for (const std::string& library : {(root_ / "link" / "libclntsh.so").string(), std::string("bad/libclntsh.so")}) {
    OCIDLL = library;
    EXPECT_NE(InitMessage(), "");
    EXPECT_EQ(fs::current_path(), start / "bad") << library;
    RestoreCurrentDir();
    EXPECT_EQ(fs::current_path(), start) << library;
  }
}

// The Linux loader never looks in the working directory, so the search does not either.
TEST_F(LinuxLoadingTest, a_client_library_in_the_working_directory_is_not_loaded) {
  std::string home = MakeHome("planted", {{"fake_all", "libclntsh.so"}});
  fs::current_path(home + "/lib");
  EXPECT_EQ(FindOracleHomeDir(), "");
  EXPECT_EQ(InitMessage().substr(0, 52), "Initialization error\r\nSQL*Net not properly installed");
  EXPECT_FALSE(OCILoaded());
}

TEST_F(LinuxLoadingTest, only_whole_entries_of_the_library_path_are_moved) {
  ::setenv("LD_LIBRARY_PATH", "/usr/opt/lib:/opt/lib:/x", 1);
  SetLibraryPath("/opt/lib");
  EXPECT_EQ(std::string(::getenv("LD_LIBRARY_PATH")), "/opt/lib:/usr/opt/lib:/x");
  ::setenv("LD_LIBRARY_PATH", "/usr/lib:/opt/lib", 1);
  InitialPath.clear();
  SetLibraryPath("/opt/lib");
  EXPECT_EQ(std::string(::getenv("LD_LIBRARY_PATH")), "/opt/lib:/usr/lib");
}

TEST_F(LinuxLoadingTest, the_transaction_server_library_is_looked_for_beside_the_client) {
  std::string home = MakeHome("mts", {{"fake_all", "libclntsh.so"}});
  ::setenv("ORACLE_HOME", home.c_str(), 1);
  std::string mts = home + "/lib/liboramts.so";
  EXPECT_EQ(MTSMessage(), "Initialization error\r\nCould not locate \"" + mts + "\"");
  EXPECT_TRUE(OCILoaded());

  std::ofstream(mts) << "not a library";
  MTSDLL.clear();
  EXPECT_EQ(MTSMessage(), "Initialization error\r\nCould not load \"" + mts + "\"");

  fs::remove(mts);
  fs::copy_file(FakeClientPath("fake_mts_incomplete"), mts);
  MTSDLL.clear();
  EXPECT_EQ(MTSMessage(), "Initialization error\r\nCould not initialize \"" + mts + "\"");
  EXPECT_EQ(MTSDLL, "");
  EXPECT_FALSE(library_is_open(mts));
  EXPECT_FALSE(MTSAvailable);

  fs::remove(mts);
  fs::copy_file(FakeClientPath("fake_mts"), mts);
  EXPECT_EQ(MTSMessage(), "");
  EXPECT_TRUE(MTSAvailable);
  EXPECT_EQ(OraMTSTransTest(), 0);
  EXPECT_EQ(MTSMessage(), "");  // already loaded
  FreeOCI();
  EXPECT_FALSE(library_is_open(mts));
  EXPECT_FALSE(MTSAvailable);
}

// Runs the probe program with `arguments` under `environment` (env(1)
// syntax); its output.
std::string run_probe(const std::string& environment, const std::string& arguments) {
  std::string command = "env -u ORACLE_HOME -u LD_LIBRARY_PATH " + environment + " " + KVELL_BINDING_PROBE + " " +
                        arguments + " 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, read);
    ::pclose(pipe);
  }
  return output;
}

TEST_F(LinuxLoadingTest, a_program_finds_the_client_from_its_parameters_environment_or_registry_file) {
  std::string library = FakeClientPath("fake_all");
  std::string env_home = MakeHome("env", {{"fake_v7", "libclntsh.so"}});
  std::string reg_home = MakeHome("reg", {{"fake_v80", "libclntsh.so.19.1"}});
  std::string reg_file = (root_ / "registry.reg").string();
  std::ofstream(reg_file) << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\HOME0]\n"
                          << "\"ORACLE_HOME\"=\"" << reg_home << "\"\n\"ORACLE_HOME_NAME\"=\"Ora19\"\n"
                          << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE\\ALL_HOMES]\n\"HOME_COUNTER\"=\"1\"\n";
  std::string no_registry = "KVELL_REGISTRY=/nonexistent/registry.reg";
  EXPECT_EQ(run_probe(no_registry, "OCIDLL=" + library), "loaded " + library + "\n");
  EXPECT_EQ(run_probe(no_registry + " ORACLE_HOME=" + env_home, ""), "loaded " + env_home + "/lib/libclntsh.so\n");
  EXPECT_EQ(run_probe("KVELL_REGISTRY=" + reg_file, ""), "loaded " + reg_home + "/lib/libclntsh.so.19.1\n");
  EXPECT_EQ(run_probe(no_registry, "").substr(0, 52), "Initialization error\r\nSQL*Net not properly installed");
}

// The layer never links ociemu; its fault tests reach the hooks on whatever
// client the binding loaded.
TEST_F(LinuxLoadingTest, the_emulator_hooks_are_reached_through_the_loaded_client) {
  constexpr ub4 kErrorHandle = 2, kServerHandle = 8;  // OCI_HTYPE_ERROR, OCI_HTYPE_SERVER
  command_line = std::make_unique<MemoryCommandLine>(std::vector<std::string>{std::string("OCIDLL=") + OCIEMU_LIBRARY});
  Install();
  ASSERT_EQ(InitMessage(), "");
  auto fail_next = reinterpret_cast<ociemu_fail_next_fn>(::dlsym(OCILibHandle, "ociemu_fail_next"));
  auto kill_session = reinterpret_cast<ociemu_kill_session_fn>(::dlsym(OCILibHandle, "ociemu_kill_session"));
  ASSERT_NE(fail_next, nullptr);
  ASSERT_NE(kill_session, nullptr);

  OCIEnv* env = nullptr;
  ASSERT_EQ(OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr), OCI_SUCCESS);
  void* error = nullptr;
  void* server = nullptr;
  ASSERT_EQ(OCIHandleAlloc(env, &error, kErrorHandle, 0, nullptr), OCI_SUCCESS);
  ASSERT_EQ(OCIHandleAlloc(env, &server, kServerHandle, 0, nullptr), OCI_SUCCESS);
  fail_next("OCIServerAttach", 12541);
  auto* errors = static_cast<OCIError*>(error);
  EXPECT_EQ(OCIServerAttach(static_cast<OCIServer*>(server), errors, nullptr, 0, OCI_DEFAULT), OCI_ERROR);
  sb4 code = 0;
  OraText text[512] = {};
  OCIErrorGet(error, 1, nullptr, &code, text, sizeof text, kErrorHandle);
  EXPECT_EQ(code, 12541);
  EXPECT_EQ(kill_session(error), -1) << "an error handle is no session";
  OCIHandleFree(server, kServerHandle);
  OCIHandleFree(error, kErrorHandle);
  OCIHandleFree(env, 1);
}

}  // namespace
}  // namespace kvell::testing
