// Sessions on ociemu: the client loaded through the binding from the test
// Oracle home (or one of its variant builds), a fresh database file per
// test, the emulator's fault hooks reached through dlsym, and a session
// factory for the interface under test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace kvell::testing {

enum class Interface { OCI8, UseOCI7, ForceOCI7 };
std::string InterfaceName(const ::testing::TestParamInfo<Interface>& info);

// The message of the exception `action` throws, or "<no exception>".
std::string MessageOf(const std::function<void()>& action);
// The Oracle error code `action` raises, or 0 when it raises none.
int OracleErrorCodeOf(const std::function<void()>& action);
// The Oracle error `action` raises, or one with code 0 and "<no exception>".
EOracleError OracleErrorOf(const std::function<void()>& action);

constexpr const char* kDemoUser = "SCOTT";
constexpr const char* kDemoPassword = "tiger";

std::string DefaultClientPath();
// Unloads whatever client is loaded and loads `path` (ForceOCI7 as given).
void LoadClient(const std::string& path, bool force_oci7 = false);

// The emulator's test hooks in the loaded client.
struct EmulatorHooks {
  static int KillSession(void* svc_or_lda);
  static void FailNext(const char* entry, int oracle_error);
  static void ReportOracle7(bool on);
  // Any other hook of the loaded client by name, or null.
  static void* Find(const char* name);
  // In the transaction-server library, which must be loaded.
  static void FailNextMTS(const char* entry, unsigned mts_error);
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A session with the demo account on this test's database, set up for `mode`.
  std::unique_ptr<TOracleSession> MakeSession(Interface mode = Interface::OCI8);
  // Runs SQL on a session through its internal statement.
  static void Run(TOracleSession& session, const std::string& sql);
  // The first column of the first row, or "<none>".
  static std::string QueryValue(TOracleSession& session, const std::string& sql);

  std::string database_;
};

// The same tests through each interface.
class SessionInterfaceTest : public SessionTest, public ::testing::WithParamInterface<Interface> {
 protected:
  void SetUp() override;
  std::unique_ptr<TOracleSession> MakeSession() { return SessionTest::MakeSession(GetParam()); }
};

// A logged-on session and a query on it, over either fixture above.
template <class Base>
class ConnectedQueryTest : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    session = this->MakeSession();
    session->LogOn();
    query = std::make_unique<TOracleQuery>();
    query->SetSession(session.get());
  }
  void TearDown() override {
    query.reset();
    session.reset();
    Base::TearDown();
  }
  void Exec(const std::string& text) {
    query->SQL().SetText(text);
    query->Execute();
  }

  std::unique_ptr<TOracleSession> session;
  std::unique_ptr<TOracleQuery> query;
};

}  // namespace kvell::testing
