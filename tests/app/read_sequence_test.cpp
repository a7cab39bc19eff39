#include <QLineEdit>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>

#include "app/viewer_texts.h"
#include "runtime/exception.h"
#include "tests/app/viewer_fixture.h"

namespace kestra {
namespace {

class ReadSequenceTest : public testing::ViewerTest {
 protected:
  void expect_design_time_labels() {
    EXPECT_EQ(Form().lblSteviloZetonov->text(), "0");
    EXPECT_EQ(Form().lblDatumOd->text(), "1.1.2001");
    EXPECT_EQ(Form().lblDatumDo->text(), "31.12.2002");
    EXPECT_EQ(Form().lblIme->text(), "Ime in priimek");
  }
  void expect_sequence_ended_with_card(int32_t card_number) {
    EXPECT_TRUE(Form().pnlZacetni->isHidden());
    EXPECT_EQ(Form().windowTitle().toStdString(), "STANJE NA KARTICI " + std::to_string(card_number) + "   ");
    EXPECT_FALSE(Form().State().FirstActivation);
  }
  std::vector<std::string> started_tools() const {
    std::vector<std::string> tools;
    for (const LaunchRequest& request : launcher_.Requests) tools.push_back(request.FileName);
    return tools;
  }
};

using Tools = std::vector<std::string>;
using Messages = std::vector<std::string>;

TEST_F(ReadSequenceTest, a_successful_read_fills_the_window_from_files_in_the_program_directory) {
  InstallSimulators();
  SetToolEnvironment("KESTRA_SIM_CARD", "4321");
  SetToolEnvironment("KESTRA_SIM_TOKENS", "42");
  Form().AppActivate(nullptr);

  EXPECT_EQ(messages_.Shown, Messages{});
  EXPECT_FALSE(application_.Terminated());
  expect_sequence_ended_with_card(4321);
  EXPECT_EQ(Form().lblSteviloZetonov->text(), "42");
  EXPECT_EQ(Form().lblDatumOd->text(), "01.01.2026");
  EXPECT_EQ(Form().lblDatumDo->text(), "31.12.2026");
  EXPECT_EQ(Form().lblIme->text(), "");

  // The tools come from the current directory; the data paths, blanks and
  // all, point into the program's directory and reach the tool as one argument.
  ASSERT_EQ(launcher_.Requests.size(), 2u);
  EXPECT_EQ(launcher_.Requests[0].Parameters, ProgramFile("KARTICE.DAT"));
  EXPECT_EQ(launcher_.Requests[1].Parameters, ProgramFile("ZETONI.DAT"));
  EXPECT_EQ(launcher_.Requests[0].Directory, std::nullopt);
  EXPECT_TRUE(std::filesystem::exists(ProgramFile("ZETONI.DAT")));

  QTest::keyClick(&Form(), Qt::Key_F5);
  EXPECT_EQ(Form().eImeInPriimek->text(), "") << "the editor opens with the emptied name";
}

TEST_F(ReadSequenceTest, card_tool_codes_one_to_four_show_their_message_and_end_the_program) {
  InstallSimulators();
  for (int code = 1; code <= 4; ++code) {
    Application application;
    testing::RecordingMessageBox messages;
    application.SetExeName(ProgramFile("kestra"));
    application.SetMessageBox(&messages);
    application.SetLauncher(&launcher_);
    launcher_.Requests.clear();
    SetToolEnvironment("KESTRA_SIM_READACC_EXIT", std::to_string(code));
    TForm1 form(application);
    form.AppActivate(nullptr);

    EXPECT_EQ(messages.Shown, Messages{*CardToolExitMessage(code)});
    EXPECT_TRUE(application.Terminated());
    EXPECT_EQ(started_tools(), Tools{"READACC.EXE"});
    EXPECT_TRUE(form.pnlZacetni->isHidden());
    EXPECT_EQ(form.windowTitle(), "STANJE NA KARTICI 0   ");
  }
  EXPECT_EQ(*CardToolExitMessage(3), "READACC\r3 - ne morem odpreti datoteke");
}

TEST_F(ReadSequenceTest, another_card_tool_code_ends_the_program_without_a_message) {
  InstallSimulators();
  SetToolEnvironment("KESTRA_SIM_READACC_EXIT", "7");
  Form().AppActivate(nullptr);
  EXPECT_EQ(messages_.Shown, Messages{});
  EXPECT_TRUE(application_.Terminated());
  EXPECT_EQ(started_tools(), Tools{"READACC.EXE"});
  expect_design_time_labels();
}

TEST_F(ReadSequenceTest, a_missing_card_tool_is_reported_and_the_window_keeps_its_design_captions) {
  std::filesystem::create_symlink(READACC_SIMULATOR, ProgramFile("READACC.EXE"));  // not where it is looked for
  Form().AppActivate(nullptr);
  EXPECT_EQ(messages_.Shown, Messages{"Ni datoteke READACC.EXE"});
  EXPECT_FALSE(application_.Terminated());
  EXPECT_EQ(started_tools(), Tools{});
  expect_sequence_ended_with_card(0);
  expect_design_time_labels();
}

TEST_F(ReadSequenceTest, a_missing_or_failing_token_tool_leaves_the_labels_but_shows_the_card_number) {
  std::filesystem::create_symlink(READACC_SIMULATOR, "READACC.EXE");
  Form().AppActivate(nullptr);
  EXPECT_EQ(messages_.Shown, Messages{"Ni datoteke READZET.EXE"});
  expect_sequence_ended_with_card(1234);
  expect_design_time_labels();
}

TEST_F(ReadSequenceTest, a_token_tool_failing_after_the_card_tool_succeeded_is_silent) {
  InstallSimulators();
  SetToolEnvironment("KESTRA_SIM_READZET_EXIT", "1");
  Form().AppActivate(nullptr);
  EXPECT_EQ(messages_.Shown, Messages{});
  EXPECT_FALSE(application_.Terminated());
  EXPECT_EQ(started_tools(), (Tools{"READACC.EXE", "READZET.EXE"}));
  expect_sequence_ended_with_card(1234);
  expect_design_time_labels();
}

TEST_F(ReadSequenceTest, a_tool_that_cannot_be_started_is_reported_and_treated_as_a_success) {
  testing::WriteFile("READACC.EXE", "not a program\n");  // exists, but is no executable
  std::filesystem::create_symlink(READZET_SIMULATOR, "READZET.EXE");
  testing::WriteFile(ProgramFile("KARTICE.DAT"), "CC:00077\n");  // left by an earlier run
  Form().AppActivate(nullptr);
  EXPECT_EQ(messages_.Shown, Messages{"Napaka pri startanju: READACC.EXE"});
  EXPECT_FALSE(application_.Terminated());
  expect_sequence_ended_with_card(77);
  EXPECT_EQ(Form().lblSteviloZetonov->text(), "150");
  EXPECT_EQ(Form().lblDatumOd->text(), "") << "no LD: line was read";
}

TEST_F(ReadSequenceTest, esc_during_a_slow_tool_ends_the_wait_and_the_program_leaving_the_tool_running) {
  testing::WriteScript("READACC.EXE", "exec sleep 30");
  launcher_.AfterStart = [this] {
    QCoreApplication::postEvent(&Form(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  };
  Form().AppActivate(nullptr);
  ASSERT_EQ(launcher_.Pids.size(), 1u);
  pid_t tool = launcher_.Pids[0];

  EXPECT_TRUE(application_.Terminated());
  EXPECT_EQ(messages_.Shown, Messages{}) << "259 is no code with a message";
  EXPECT_EQ(::waitpid(tool, nullptr, WNOHANG), 0) << "the tool must still run";
  ::kill(tool, SIGKILL);
  ::waitpid(tool, nullptr, 0);
}

TEST_F(ReadSequenceTest, the_wait_returns_259_once_termination_is_requested) {
  testing::WriteScript("slow", "exec sleep 30");
  launcher_.AfterStart = [this] { application_.Terminate(); };
  EXPECT_EQ(RunAndWait(application_, "", "slow", ""), kStillActive);
  ::kill(launcher_.Pids.at(0), SIGKILL);
  ::waitpid(launcher_.Pids.at(0), nullptr, 0);
}

TEST_F(ReadSequenceTest, blank_parameters_and_directory_are_not_passed) {
  testing::WriteScript("tool", "exit $#");
  EXPECT_EQ(RunAndWait(application_, " \t", "tool", " \r\n"), 0);
  EXPECT_EQ(launcher_.Requests.at(0).Parameters, std::nullopt);
  EXPECT_EQ(launcher_.Requests.at(0).Directory, std::nullopt);
  EXPECT_EQ(RunAndWait(application_, "", "tool", " x "), 1);
}

TEST_F(ReadSequenceTest, an_activation_during_the_read_neither_restarts_it_nor_do_later_ones) {
  InstallSimulators();
  launcher_.AfterStart = [this] {
    QMetaObject::invokeMethod(&Form(), [this] { Form().AppActivate(nullptr); }, Qt::QueuedConnection);
  };
  Form().AppActivate(nullptr);
  EXPECT_EQ(started_tools(), (Tools{"READACC.EXE", "READZET.EXE"}));
  Form().AppActivate(nullptr);
  EXPECT_EQ(launcher_.Requests.size(), 2u);
}

TEST_F(ReadSequenceTest, an_input_output_error_keeps_the_start_panel_and_the_next_activation_reads_again) {
  testing::WriteScript("READACC.EXE", "exit 0");  // leaves the card file alone
  std::filesystem::create_symlink(READZET_SIMULATOR, "READZET.EXE");
  // Reading one's own /proc/self/mem at offset 0 opens fine and then fails.
  std::filesystem::create_symlink("/proc/self/mem", ProgramFile("KARTICE.DAT"));

  EXPECT_THROW(Form().AppActivate(nullptr), kvell::EInOutError);
  EXPECT_FALSE(Form().pnlZacetni->isHidden());
  EXPECT_TRUE(Form().State().FirstActivation);
  EXPECT_EQ(Form().windowTitle(), "KESTRA - STANJE NA KARTICI");

  // Through the application's activation the error reaches the message box.
  Form().show();
  Form().activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !messages_.Shown.empty(); }));
  EXPECT_EQ(messages_.Shown[0].rfind("I/O error", 0), 0u) << messages_.Shown[0];

  std::filesystem::remove(ProgramFile("KARTICE.DAT"));
  Form().AppActivate(nullptr);
  expect_sequence_ended_with_card(0);
  EXPECT_EQ(Form().lblSteviloZetonov->text(), "150");
}

}  // namespace
}  // namespace kestra
