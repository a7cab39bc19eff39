#include "tests/app/viewer_fixture.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>

namespace kestra::testing {
namespace {

// One QApplication for the whole suite, offscreen whatever the caller's display.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "kestra_ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::unique_ptr<ChildProcess> RecordingLauncher::Start(const LaunchRequest& request) {
  Requests.push_back(request);
  auto child = real_.Start(request);
  if (child) Pids.push_back(child->Pid());
  if (AfterStart) AfterStart();
  return child;
}

ViewerTest::ViewerTest() {
  std::filesystem::create_directories(root_.Path() / "program dir");
  std::filesystem::create_directories(root_.Path() / "tools");
  ProgramDir = root_ / "program dir/";
  in_tools_dir_ = std::make_unique<CurrentDirectoryScope>(root_.Path() / "tools");
  application_.SetExeName(ProgramDir + "kestra");
  application_.SetMessageBox(&messages_);
  application_.SetLauncher(&launcher_);
}

ViewerTest::~ViewerTest() {
  form_.reset();
  for (const std::string& name : environment_names_) ::unsetenv(name.c_str());
}

void ViewerTest::InstallSimulators() {
  std::filesystem::create_symlink(READACC_SIMULATOR, "READACC.EXE");
  std::filesystem::create_symlink(READZET_SIMULATOR, "READZET.EXE");
}

void ViewerTest::SetToolEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
  environment_names_.push_back(name);
}

TForm1& ViewerTest::Form() {
  if (!form_) form_ = std::make_unique<TForm1>(application_);
  return *form_;
}

}  // namespace kestra::testing
