// The client library search with the original Windows names over an
// in-memory registry, environment and file system.
#include <thread>

#include "binding_fixture.h"

namespace kvell::testing {
namespace {

using SearchTest = WindowsBindingTest;

TEST_F(SearchTest, param_value_reads_from_the_parameter_start_without_case_and_at_most_255_characters) {
  std::string long_path = "C:\\" + std::string(300, 'x');
  SetParams({"/quiet", "ocidll=C:\\ORA\\OCI.DLL", "ORACLEHOME=second", "-oraclehome=third", "OCIDLL_X=" + long_path});
  EXPECT_EQ(ParamValue("OCIDLL"), "C:\\ORA\\OCI.DLL");
  EXPECT_EQ(ParamValue("OracleHome"), "second");
  EXPECT_EQ(ParamValue("MISSING"), "");
  SetParams({"-oraclehome=third"});
  EXPECT_EQ(ParamValue("ORACLEHOME"), "=third");  // position from the start, not from the match
  SetParams({"X=" + long_path});
  EXPECT_EQ(ParamValue("X").size(), 255u);
}

TEST_F(SearchTest, a_forced_ocidll_parameter_skips_the_search_and_logs_only_its_line) {
  AddNumberedHome(0, "OraHome", "C:\\ORA");
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "1");
  AddLibrary("C:\\ORA\\bin\\oci.dll");
  AddLibrary("D:\\CLIENT\\MYOCI.DLL");
  SetParams({"OCIDLL=D:\\CLIENT\\MYOCI.DLL"});
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "D:\\CLIENT\\MYOCI.DLL");
  EXPECT_EQ(OCILog, "OCIDLL forced to D:\\CLIENT\\MYOCI.DLL");
  EXPECT_TRUE(HomeList.empty());
  EXPECT_EQ(OracleHomeKey, "");
}

class TwoHomesTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "2");
    AddNumberedHome(0, "Beta", "C:\\BETA");
    AddNumberedHome(1, "alpha", "C:\\ALPHA");
    AddLibrary("C:\\BETA\\bin\\oci.dll");
    AddLibrary("C:\\ALPHA\\bin\\oci.dll");
  }
};

TEST_F(TwoHomesTest, homes_are_listed_by_name_without_case) {
  BuildHomeList();
  ASSERT_EQ(HomeList.size(), 2u);
  EXPECT_EQ(HomeList[0].Name, "alpha");
  EXPECT_EQ(HomeList[0].Key(), "SOFTWARE\\ORACLE\\HOME1");
  EXPECT_EQ(HomeList[1].Name, "Beta");
}

TEST_F(TwoHomesTest, the_home_earliest_in_path_wins) {
  environment.Set("PATH", "C:\\WINDOWS;c:\\beta\\BIN;C:\\ALPHA\\bin");
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE\\HOME0");
  EXPECT_EQ(OracleHomeName, "Beta");
  EXPECT_TRUE(HomeNameAutoChosen);
  EXPECT_EQ(OCIDLL, "C:\\BETA\\bin\\oci.dll");
  EXPECT_EQ(OCILog,
            "OracleHomeKey: SOFTWARE\\ORACLE\\HOME0\r\nOracleHomeDir: C:\\BETA\r\nFound: oci.dll\r\n"
            "Using: C:\\BETA\\bin\\oci.dll");
}

TEST_F(TwoHomesTest, without_path_or_preference_the_alphabetically_last_home_wins) {
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeName, "Beta");
  EXPECT_EQ(OCIDLL, "C:\\BETA\\bin\\oci.dll");
}

TEST_F(TwoHomesTest, a_preferred_home_name_matches_without_case_and_beats_the_path) {
  environment.Set("PATH", "C:\\BETA\\bin;C:\\ALPHA\\bin");
  OracleHomeName = "ALPHA";
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ALPHA\\bin\\oci.dll");
  EXPECT_FALSE(HomeNameAutoChosen);
  FreeOCI();
  EXPECT_EQ(OracleHomeName, "ALPHA");  // set by the application: stays

  OracleHomeName.clear();
  SetParams({"OracleHome=alpha"});
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ALPHA\\bin\\oci.dll");
  FreeOCI();
  EXPECT_EQ(OracleHomeName, "");  // filled by the search: forgotten
  EXPECT_EQ(OCIDLL, "");
}

TEST_F(SearchTest, home_counter_zero_still_probes_one_home_and_homes_need_a_bin_directory) {
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "0");
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\HOME0", "ORACLE_HOME", "C:\\NOBIN");
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\HOME0", "ORACLE_HOME_NAME", "NoBin");
  files.AddDirectory("C:\\NOBIN");
  AddNumberedHome(1, "First", "C:\\FIRST");
  AddNumberedHome(2, "Second", "C:\\SECOND");
  AddNamedHome("Named", "C:\\NAMED");
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\KEY_Gone", "ORACLE_HOME", "C:\\GONE");
  BuildHomeList();
  ASSERT_EQ(HomeList.size(), 2u);
  EXPECT_EQ(HomeList[0].Name, "First");
  EXPECT_EQ(HomeList[0].Number, 1);
  EXPECT_EQ(HomeList[1].Name, "Named");
  EXPECT_EQ(HomeList[1].Key(), "SOFTWARE\\ORACLE\\KEY_Named");

  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "many");
  BuildHomeList();
  ASSERT_EQ(HomeList.size(), 1u);  // a counter that is no number probes nothing
  EXPECT_EQ(HomeList[0].Name, "Named");
}

TEST_F(SearchTest, versions_read_as_decimal_fractions) {
  EXPECT_EQ(LibraryVersionOf("ORA73.DLL").Parts, std::vector<double>{0.73});
  EXPECT_EQ(LibraryVersionOf("ora805.dll").Parts, std::vector<double>{0.805});
  EXPECT_EQ(LibraryVersionOf("ORANT8.DLL").Parts, std::vector<double>{0.8});
  EXPECT_FALSE(LibraryVersionOf("ORA805.DLL") > LibraryVersionOf("ORA81.DLL"));
  EXPECT_TRUE(LibraryVersionOf("ORA81.DLL") > LibraryVersionOf("ORA805.DLL"));
  EXPECT_FALSE(LibraryVersionOf("ORAMTS.DLL").Valid);
  EXPECT_FALSE(LibraryVersionOf("ORA.DLL").Positive());
}

class LibraryChoiceTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    AddNamedHome("Ora", "C:\\ORA");
    AddLibrary("C:\\ORA\\bin\\ORA73.DLL");
    AddLibrary("C:\\ORA\\bin\\ORA805.DLL");
    AddLibrary("C:\\ORA\\bin\\ORAMTS.DLL");
  }
};

TEST_F(LibraryChoiceTest, the_highest_versioned_library_wins_when_there_is_no_oci_dll) {
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ORA\\bin\\ORA805.DLL");
  EXPECT_EQ(OCILog,
            "OracleHomeKey: SOFTWARE\\ORACLE\\KEY_Ora\r\nOracleHomeDir: C:\\ORA\r\nFound: ORA73.DLL\r\n"
            "Found: ORA805.DLL\r\nUsing: C:\\ORA\\bin\\ORA805.DLL");
}

TEST_F(LibraryChoiceTest, oci_dll_wins_over_versioned_libraries_unless_skip_listed) {
  AddLibrary("C:\\ORA\\bin\\oci.dll");
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ORA\\bin\\oci.dll");
  FreeOCI();
  OCIDLLSkipList = "\"oci.dll\"";
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ORA\\bin\\ORA805.DLL");
}

TEST_F(LibraryChoiceTest, a_skip_list_naming_every_candidate_still_yields_a_library) {
  OCIDLLSkipList = "\"ora73.dll\",\"ORA805.DLL\"";
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "C:\\ORA\\bin\\ORA805.DLL");
}

TEST_F(SearchTest, without_any_oracle_home_the_client_is_not_properly_installed) {
  EXPECT_EQ(InitMessage(),
            "Initialization error\r\nSQL*Net not properly installed\r\n\r\nOracleHomeKey: \r\nOracleHomeDir: ");
  EXPECT_FALSE(OCILoaded());
}

TEST_F(SearchTest, a_home_without_a_client_library_cannot_be_located) {
  AddNamedHome("Empty", "C:\\EMPTY");
  EXPECT_EQ(InitMessage(),
            "Initialization error\r\nCould not locate OCI dll\r\n\r\n"
            "OracleHomeKey: SOFTWARE\\ORACLE\\KEY_Empty\r\nOracleHomeDir: C:\\EMPTY");
}

TEST_F(SearchTest, a_single_unregistered_home_under_the_oracle_key_is_used) {
  registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\ORACLE", "ORACLE_HOME", "C:\\ORAWIN");
  files.AddDirectory("C:\\ORAWIN\\bin");
  AddLibrary("C:\\ORAWIN\\bin\\ORA73.DLL");
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(OracleHomeKey, "SOFTWARE\\ORACLE");
  EXPECT_EQ(OCIDLL, "C:\\ORAWIN\\bin\\ORA73.DLL");
}

TEST_F(SearchTest, the_oracle_home_variable_is_used_when_no_home_is_registered) {
  environment.Set("ORACLE_HOME", "C:\\ENVHOME");
  AddLibrary("C:\\ENVHOME\\oci.dll");  // no bin directory: the library lies in the home itself
  EXPECT_EQ(InitMessage(), "");
  EXPECT_FALSE(BinSubdir);
  EXPECT_EQ(OCIDLL, "C:\\ENVHOME\\oci.dll");
}

TEST_F(SearchTest, oci_dll_is_found_along_path_and_a_bin_directory_gives_the_home) {
  AddLibrary("C:\\ORA9\\BIN\\oci.dll");
  environment.Set("PATH", "C:\\WINDOWS;;C:\\ORA9\\BIN\\");
  EXPECT_EQ(FindOracleHomeDir(), "C:\\ORA9");
  EXPECT_TRUE(BinSubdir);

  AddLibrary("C:\\WORK\\oci.dll");  // the current directory comes before PATH
  EXPECT_EQ(FindOracleHomeDir(), "C:\\WORK");
  EXPECT_FALSE(BinSubdir);
}

TEST_F(SearchTest, a_library_exporting_neither_interface_cannot_be_initialized_and_is_unloaded) {
  AddNamedHome("Ora", "C:\\ORA");
  AddLibrary("C:\\ORA\\bin\\oci.dll", {});
  std::string message = InitMessage();
  EXPECT_EQ(message.substr(0, message.find("\r\n\r\n")),
            "Initialization error\r\nCould not initialize \"C:\\ORA\\bin\\oci.dll\"");
  EXPECT_EQ(libraries.open, 0);
  EXPECT_FALSE(OCILoaded());
  EXPECT_EQ(OCIDLL, "");
  EXPECT_EQ(OracleHomeKey, "");
}

TEST_F(SearchTest, a_library_that_will_not_load_is_tried_twice_and_logged) {
  OCIDLL = "C:\\ORA\\bin\\oci.dll";
  files.AddFile(OCIDLL);
  EXPECT_EQ(InitMessage(),
            "Initialization error\r\nCould not load \"C:\\ORA\\bin\\oci.dll\"\r\n\r\n"
            "OCIDLL forced to C:\\ORA\\bin\\oci.dll\r\nLoadLibrary(C:\\ORA\\bin\\oci.dll) returned 0");
  EXPECT_EQ(libraries.loads.size(), 2u);
  EXPECT_EQ(files.GetCurrentDir(), "C:\\ORA\\bin");
  EXPECT_EQ(SavedCurrentDir, "C:\\WORK");
  EXPECT_EQ(OCIDLL, "C:\\ORA\\bin\\oci.dll");  // set by the application: stays

  RestoreCurrentDir();
  EXPECT_EQ(files.GetCurrentDir(), "C:\\WORK");
  EXPECT_EQ(SavedCurrentDir, "");
}

TEST_F(SearchTest, after_a_failed_load_of_an_auto_chosen_library_the_current_directory_is_restored) {
  AddNamedHome("Ora", "C:\\ORA");
  files.AddFile("C:\\ORA\\bin\\oci.dll");  // there, but it will not load
  EXPECT_NE(InitMessage(), "");
  EXPECT_EQ(OCIDLL, "");  // the search's choice is forgotten with the failure
  EXPECT_EQ(files.GetCurrentDir(), "C:\\ORA\\bin");
  RestoreCurrentDir();
  EXPECT_EQ(files.GetCurrentDir(), "C:\\WORK");
}

TEST_F(SearchTest, restoring_the_current_directory_leaves_a_directory_changed_since) {
  SavedCurrentDir = "C:\\WORK";
  OCIDLL = "C:\\ORA\\bin\\oci.dll";
  files.AddDirectory("C:\\ELSEWHERE");
  files.SetCurrentDir("C:\\ELSEWHERE");
  RestoreCurrentDir();
  EXPECT_EQ(files.GetCurrentDir(), "C:\\ELSEWHERE");
  EXPECT_EQ(SavedCurrentDir, "");
}

TEST_F(SearchTest, the_library_directory_goes_first_in_path_once) {
  environment.Set("Path", "C:\\WINDOWS;c:\\ora\\BIN;C:\\TOOLS");
  SetLibraryPath("C:\\ORA\\BIN");
  EXPECT_EQ(environment.Get("PATH"), "C:\\ORA\\BIN;C:\\WINDOWS;C:\\TOOLS");
  SetLibraryPath("C:\\OTHER");
  EXPECT_EQ(environment.Get("PATH"), "C:\\OTHER;C:\\WINDOWS;c:\\ora\\BIN;C:\\TOOLS");
  SetLibraryPath("");
  EXPECT_EQ(environment.Get("PATH"), "C:\\WINDOWS;c:\\ora\\BIN;C:\\TOOLS");

  ModifyPath = false;
  SetLibraryPath("C:\\OTHER");
  EXPECT_EQ(environment.Get("PATH"), "C:\\WINDOWS;c:\\ora\\BIN;C:\\TOOLS");
}

TEST_F(SearchTest, a_second_init_does_nothing_and_a_version_8_0_client_is_initialised_once) {
  AddNamedHome("Ora", "C:\\ORA");
  AddLibrary("C:\\ORA\\bin\\oci.dll", EntryNames({kOci8, kOciEp}));
  EXPECT_EQ(InitMessage(), "");
  std::string log = OCILog;
  EXPECT_EQ(InitMessage(), "");
  EXPECT_EQ(libraries.loads.size(), 1u);
  EXPECT_EQ(OCILog, log);
  EXPECT_EQ(InitCalls().initialize_calls, 1);
  EXPECT_EQ(InitCalls().initialize_mode, OCI_THREADED | OCI_OBJECT);
  EXPECT_EQ(InitCalls().opinit_calls, 0);
}

TEST_F(SearchTest, concurrent_inits_load_the_library_once) {
  AddNamedHome("Ora", "C:\\ORA");
  AddLibrary("C:\\ORA\\bin\\oci.dll");
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([] { InitOCI(); });
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(OCILoaded());
  EXPECT_EQ(libraries.loads.size(), 1u);
  EXPECT_EQ(OCICriticalSection().EntryCount(), 0);
}

TEST_F(SearchTest, free_oci_forgets_the_choice_but_keeps_application_settings) {
  AddNamedHome("Ora", "C:\\ORA");
  AddLibrary("C:\\ORA\\bin\\oci.dll");
  EXPECT_EQ(InitMessage(), "");
  EXPECT_TRUE(OCI8Available);
  FreeOCI();
  EXPECT_EQ(libraries.open, 0);
  EXPECT_FALSE(OCILoaded());
  EXPECT_FALSE(OCI7Available || OCI8Available || OCI92Available || UseOCI8);
  EXPECT_EQ(OCIStmtExecute, nullptr);
  EXPECT_EQ(OCIDLL, "");
  EXPECT_EQ(OracleHomeKey, "");
  EXPECT_EQ(OracleHomeDir, "");
  EXPECT_FALSE(BinSubdir);
}

}  // namespace
}  // namespace kvell::testing
