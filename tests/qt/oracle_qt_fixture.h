// What the Qt tests on ociemu share: the process's QApplication, the Qt hooks
// with errors collected rather than shown, and a session logged on as SCOTT
// to a fresh database.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qt/qt_user_interface.h"
#include "tests/qt/qt_test_support.h"
#include "tests/session/session_fixture.h"

namespace kvell::qt_test {

class OracleQtTest : public testing::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    EnsureApplication();
    hooks = InstallQtUserInterface([this](const std::exception& error) { reported.emplace_back(error.what()); });
    session = MakeSession();
    session->LogOn();
  }
  // Derived fixtures close their datasets first.
  void TearDown() override {
    session.reset();
    hooks.reset();
    SessionTest::TearDown();
  }

  std::unique_ptr<ScopedUserInterface> hooks;
  std::vector<std::string> reported;  // errors the hooks were handed
  std::unique_ptr<TOracleSession> session;
};

}  // namespace kvell::qt_test
