// The small system seams: environment, command line, files and directories,
// wildcards, shared libraries and the debugger flag.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/command_line.h"
#include "runtime/debugger.h"
#include "runtime/dynamic_library.h"
#include "runtime/environment.h"
#include "runtime/file_system.h"
#include "runtime/wildcard.h"

namespace kvell {
namespace {

TEST(Wildcard, stars_and_question_marks) {
  EXPECT_TRUE(WildcardMatch("ora*.dll", "ORA805.DLL", false));
  EXPECT_FALSE(WildcardMatch("ora*.dll", "ORA805.DLL", true));
  EXPECT_TRUE(WildcardMatch("ora*.dll", "ora.dll", true));
  EXPECT_FALSE(WildcardMatch("ora*.dll", "oci.dll", false));
  EXPECT_FALSE(WildcardMatch("ora*.dll", "ora805.dllx", false));
  EXPECT_TRUE(WildcardMatch("libclntsh.so.*", "libclntsh.so.19.1", true));
  EXPECT_FALSE(WildcardMatch("libclntsh.so.*", "libclntsh.so", true));
  EXPECT_TRUE(WildcardMatch("a?c*", "abcdef", true));
  EXPECT_TRUE(WildcardMatch("*a*a*a*b", "aaaaaaaaaaaaaaab", true));
  EXPECT_FALSE(WildcardMatch("*a*a*a*b", "aaaaaaaaaaaaaaaa", true));
}

TEST(MemoryEnvironment, names_compare_without_case_and_missing_reads_empty) {
  MemoryEnvironment environment;
  environment.Set("Path", "C:\\A");
  environment.Set("PATH", "C:\\B");
  EXPECT_EQ(environment.Get("path"), "C:\\B");
  EXPECT_EQ(environment.Get("ORACLE_HOME"), "");
}

TEST(SystemEnvironment, long_values_are_read_whole) {
  SystemEnvironment environment;
  std::string value(20000, 'x');
  environment.Set("KVELL_TEST_LONG_VALUE", value);
  EXPECT_EQ(environment.Get("KVELL_TEST_LONG_VALUE"), value);
  ::unsetenv("KVELL_TEST_LONG_VALUE");
  EXPECT_EQ(environment.Get("KVELL_TEST_LONG_VALUE"), "");
}

TEST(CommandLine, proc_cmdline_drops_the_program_and_keeps_empty_parameters) {
  EXPECT_EQ(SplitProcCmdline(std::string("prog\0OCIDLL=/x\0\0last\0", 21)),
            (std::vector<std::string>{"OCIDLL=/x", "", "last"}));
  MemoryCommandLine command_line({"a", "b"});
  EXPECT_EQ(command_line.ParamStr(2), "b");
  EXPECT_EQ(command_line.ParamStr(0), "");
  EXPECT_EQ(command_line.ParamStr(3), "");
  EXPECT_GE(ProcessCommandLine().ParamCount(), 1);  // gtest passes --gtest_brief=1
}

TEST(MemoryFileSystem, windows_like_paths_listing_and_current_directory) {
  MemoryFileSystem files;
  files.AddFile("C:\\ORA\\BIN\\ORA73.DLL");
  files.AddFile("C:\\ORA\\BIN\\oci.dll");
  files.AddFile("C:\\ORA\\BIN\\ORA805.DLL");
  EXPECT_TRUE(files.DirectoryExists("c:\\ora\\bin\\"));
  EXPECT_TRUE(files.DirectoryExists("C:\\ORA"));
  EXPECT_TRUE(files.FileExists("C:\\ORA\\\\BIN\\OCI.DLL"));
  EXPECT_FALSE(files.FileExists("C:\\ORA\\BIN"));
  EXPECT_FALSE(files.DirectoryExists("C:\\ORA\\BIN\\oci.dll"));
  EXPECT_EQ(files.ListDirectory("C:\\ORA\\BIN\\", "ora*.dll"),
            (std::vector<std::string>{"ORA73.DLL", "ORA805.DLL"}));
  EXPECT_FALSE(files.SetCurrentDir("C:\\MISSING"));
  EXPECT_TRUE(files.SetCurrentDir("c:\\ora\\bin"));
  EXPECT_EQ(files.GetCurrentDir(), "C:\\ORA\\BIN");
  EXPECT_TRUE(files.FileExists("oci.dll"));
}

TEST(SystemFileSystem, lists_matching_entries_and_changes_directory) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(::testing::TempDir()) / ("kvell_fs_" + std::to_string(::getpid()));
  fs::create_directories(dir / "libclntsh.so.1");
  std::ofstream(dir / "libclntsh.so.19.1") << "x";
  std::ofstream(dir / "libclntsh.so") << "x";
  SystemFileSystem files;
  auto names = files.ListDirectory(dir.string(), "libclntsh.so.*");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"libclntsh.so.1", "libclntsh.so.19.1"}));
  EXPECT_TRUE(files.FileExists((dir / "libclntsh.so").string()));
  EXPECT_FALSE(files.FileExists((dir / "libclntsh.so.1").string()));
  EXPECT_TRUE(files.DirectoryExists((dir / "libclntsh.so.1").string()));
  EXPECT_FALSE(files.FileExists(""));
  std::string before = files.GetCurrentDir();
  EXPECT_TRUE(files.SetCurrentDir(dir.string()));
  EXPECT_EQ(fs::path(files.GetCurrentDir()), fs::canonical(dir));
  EXPECT_FALSE(files.SetCurrentDir(""));
  EXPECT_TRUE(files.SetCurrentDir(before));
  fs::remove_all(dir);
}

TEST(SystemLibraries, a_failed_load_reports_the_loader_reason) {
  SystemLibraries libraries;
  EXPECT_EQ(libraries.Load("/nonexistent/libnothing.so"), nullptr);
  EXPECT_NE(libraries.LastError().find("libnothing.so"), std::string::npos);
  LibraryHandle libc = libraries.Load("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(libraries.Symbol(libc, "strlen"), nullptr);
  EXPECT_EQ(libraries.Symbol(libc, "no_such_entry_anywhere"), nullptr);
  libraries.Free(libc);
}

TEST(Debugger, tracer_pid_decides) {
  EXPECT_FALSE(TracerPresentInStatus("Name:\tx\nTracerPid:\t0\nUid:\t0\n"));
  EXPECT_TRUE(TracerPresentInStatus("Name:\tx\nTracerPid:\t4242\n"));
  EXPECT_FALSE(TracerPresentInStatus("Name:\tx\n"));
  EXPECT_FALSE(TracerPresentInStatus("XTracerPid:\t12\n"));
}

}  // namespace
}  // namespace kvell
