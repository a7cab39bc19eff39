#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include "app/child_process.h"
#include "app/program_files.h"
#include "app/viewer_texts.h"
#include "tests/app/test_support.h"

namespace kestra {
namespace {

class LauncherTest : public ::testing::Test {
 protected:
  // Runs the tool to its end and returns its exit code.
  int32_t run(const LaunchRequest& request) {
    auto child = launcher_.Start(request);
    EXPECT_NE(child, nullptr);
    if (!child) return -1;
    pollfd ended{child->ExitDescriptor(), POLLIN, 0};
    for (;;) {
      if (auto code = child->TryExitCode()) return *code;
      ::poll(&ended, ended.fd >= 0 ? 1 : 0, 10);
    }
  }

  testing::TempDir dir_;
  testing::CurrentDirectoryScope in_dir_{dir_.Path()};
  PosixProcessLauncher launcher_;
};

TEST_F(LauncherTest, passes_the_parameter_text_as_one_unquoted_argument_with_stdin_from_dev_null) {
  testing::WriteScript("tool", "printf '%s|%s|' \"$#\" \"$1\" > out; read line; echo \"read:$?\" >> out");
  ASSERT_EQ(run({"tool", "/a dir/with blanks/KARTICE.DAT", std::nullopt}), 0);
  EXPECT_EQ(testing::ReadFile("out"), "1|/a dir/with blanks/KARTICE.DAT|read:1\n");

  ASSERT_EQ(run({"tool", std::nullopt, std::nullopt}), 0);
  EXPECT_EQ(testing::ReadFile("out"), "0||read:1\n");
}

TEST_F(LauncherTest, starts_a_bare_name_from_the_current_directory_in_the_given_working_directory) {
  std::filesystem::create_directory("work");
  testing::WriteScript("tool", "pwd > \"$1\"");
  ASSERT_EQ(run({"tool", dir_ / "out", dir_ / "work"}), 0);
  EXPECT_EQ(testing::ReadFile(dir_ / "out"), dir_ / "work\n");
}

TEST_F(LauncherTest, reports_the_exit_code_and_a_killing_signal_as_128_plus_its_number) {
  testing::WriteScript("exits", "exit 7");
  testing::WriteScript("killed", "kill -TERM $$");
  EXPECT_EQ(run({"exits", {}, {}}), 7);
  EXPECT_EQ(run({"killed", {}, {}}), 128 + SIGTERM);
}

TEST_F(LauncherTest, a_running_child_has_no_exit_code_and_is_left_alone_when_released) {
  testing::WriteScript("slow", "exec sleep 30");
  auto child = launcher_.Start({"slow", {}, {}});
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->TryExitCode(), std::nullopt);
  pid_t pid = child->Pid();
  child.reset();
  EXPECT_EQ(::kill(pid, 0), 0) << "releasing the handle must not end the tool";
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

TEST_F(LauncherTest, files_that_cannot_be_started_give_no_child) {
  testing::WriteFile("not-executable", "#!/bin/sh\nexit 0\n");
  testing::WriteScript("no-interpreter", "exit 0");
  testing::WriteFile("no-interpreter", "exit 0\n");  // executable, but not a program
  std::filesystem::create_directory("a-directory");
  EXPECT_EQ(launcher_.Start({"not-executable", {}, {}}), nullptr);
  EXPECT_EQ(launcher_.Start({"no-interpreter", {}, {}}), nullptr);
  EXPECT_EQ(launcher_.Start({"a-directory", {}, {}}), nullptr);
  EXPECT_EQ(launcher_.Start({"missing", {}, {}}), nullptr);
}

TEST(ProgramFiles, program_dir_is_the_executable_path_up_to_its_last_separator) {
  EXPECT_EQ(ProgramDirOf("/opt/kestra/kestra"), "/opt/kestra/");
  EXPECT_EQ(ProgramDirOf("/a dir/b c/kestra"), "/a dir/b c/");
  EXPECT_EQ(ProgramDirOf("/kestra"), "/");
  EXPECT_EQ(ProgramDirOf("kestra"), "");
  EXPECT_EQ(ProgramDirOf(ExecutablePath()).back(), '/');
}

// An installed program's folder is not the users' to write: the data files
// go to their cache folder there, and beside the program everywhere else.
TEST(ProgramFiles, data_files_go_to_the_user_cache_only_in_the_installed_layout) {
  testing::TempDir dir;
  const std::string program_dir = (dir / "bin") + "/";
  const std::string cache_dir = (dir / "cache") + "/";
  std::filesystem::create_directories(program_dir);
  EXPECT_EQ(DataFileDirOf(program_dir, cache_dir), program_dir);
  EXPECT_FALSE(std::filesystem::exists(cache_dir));

  std::filesystem::create_directories(std::filesystem::path(program_dir) / kInstalledToolsDir);
  EXPECT_EQ(DataFileDirOf(program_dir, cache_dir), cache_dir + "kestra/");
  EXPECT_TRUE(std::filesystem::is_directory(cache_dir + "kestra"));
  EXPECT_EQ(DataFileDirOf(program_dir, ""), program_dir);
  // A cache that cannot be made leaves the tool to report the unwritable folder.
  testing::WriteFile(dir / "not-a-folder", "");
  EXPECT_EQ(DataFileDirOf(program_dir, (dir / "not-a-folder") + "/"), program_dir);
}

TEST(ProgramFiles, user_cache_dir_follows_xdg_cache_home_then_home) {
  testing::EnvironmentScope cache("XDG_CACHE_HOME", "/x/cache");
  testing::EnvironmentScope home("HOME", "/home/u");
  EXPECT_EQ(UserCacheDir(), "/x/cache/");
  setenv("XDG_CACHE_HOME", "relative", 1);
  EXPECT_EQ(UserCacheDir(), "/home/u/.cache/");
  unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(UserCacheDir(), "/home/u/.cache/");
  unsetenv("HOME");
  EXPECT_EQ(UserCacheDir(), "");
}

TEST(ProgramFiles, file_exists_only_for_files_and_blank_text_is_blanks_and_control_characters) {
  testing::TempDir dir;
  testing::WriteFile(dir / "file", "");
  std::filesystem::create_symlink(dir / "file", dir / "link");
  EXPECT_TRUE(FileExists(dir / "file"));
  EXPECT_TRUE(FileExists(dir / "link"));
  EXPECT_FALSE(FileExists(dir.Path().string()));
  EXPECT_FALSE(FileExists(dir / "missing"));

  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText(" \t\r\n"));
  EXPECT_FALSE(IsBlankText(" x "));
}

TEST(ViewerTexts, card_tool_messages_exist_for_exit_codes_one_to_four_only) {
  EXPECT_EQ(CardToolExitMessage(1), "READACC\r1 - kartice ni v citalcu");
  EXPECT_EQ(CardToolExitMessage(2), "READACC\r2 - ni komunikacije");
  EXPECT_EQ(CardToolExitMessage(3), "READACC\r3 - ne morem odpreti datoteke");
  EXPECT_EQ(CardToolExitMessage(4), "READACC\r4 - napacno stevilo parametrov");
  for (int32_t code : {0, 5, 7, kStillActive, -1}) EXPECT_EQ(CardToolExitMessage(code), std::nullopt) << code;
}

}  // namespace
}  // namespace kestra
