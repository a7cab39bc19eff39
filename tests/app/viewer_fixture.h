// The status window under test: an offscreen QApplication for the whole
// suite, recording seams for messages and tool starts, and a program
// directory (with blanks) apart from the current directory holding the tools.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/unit1.h"
#include "tests/app/test_support.h"

namespace kestra::testing {

class RecordingMessageBox : public MessageBox {
 public:
  void Show(const std::string& text) override { Shown.push_back(text); }
  std::vector<std::string> Shown;
};

// Starts real processes and remembers what it started.
class RecordingLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<ChildProcess> Start(const LaunchRequest& request) override;

  std::vector<LaunchRequest> Requests;
  std::vector<pid_t> Pids;
  std::function<void()> AfterStart;  // runs before the wait begins

 private:
  PosixProcessLauncher real_;
};

class ViewerTest : public ::testing::Test {
 protected:
  ViewerTest();
  ~ViewerTest() override;

  // READACC.EXE and READZET.EXE in the current directory: the simulators.
  void InstallSimulators();
  // Sets a variable for the tools this test starts.
  void SetToolEnvironment(const std::string& name, const std::string& value);

  TForm1& Form();
  std::string ProgramFile(const std::string& name) const { return ProgramDir + name; }

  TempDir root_;
  std::string ProgramDir;  // ends in '/'
  std::unique_ptr<CurrentDirectoryScope> in_tools_dir_;
  Application application_;
  RecordingMessageBox messages_;
  RecordingLauncher launcher_;

 private:
  std::unique_ptr<TForm1> form_;
  std::vector<std::string> environment_names_;
};

}  // namespace kestra::testing
