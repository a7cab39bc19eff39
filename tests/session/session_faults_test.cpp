// Failures on purpose: each client call of a logon failing, lost and
// unreadable connections, the client library variants and an Oracle 7 server.
#include "oracle/binding/entry_tables.h"
#include "oracle/session/oci_constants.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

constexpr int kConnectionLost = 3113;

class SessionFaultTest : public SessionTest {
 protected:
  void TearDown() override {
    SessionTest::TearDown();
    LoadClient(DefaultClientPath());
  }
};

TEST_F(SessionFaultTest, each_failing_call_of_an_OCI8_logon_raises_and_leaves_the_session_disconnected) {
  for (const char* entry : {"OCIServerAttach", "OCIAttrSet", "OCISessionBegin", "OCIServerVersion"}) {
    SCOPED_TRACE(entry);
    auto session = MakeSession();
    EmulatorHooks::FailNext(entry, kConnectionLost);
    try {
      session->LogOn();
      ADD_FAILURE() << "logon succeeded";
    } catch (const EOracleError& error) {
      EXPECT_EQ(kConnectionLost, error.ErrorCode);
      EXPECT_EQ(0u, error.Message.find("ORA-03113")) << error.Message;
    }
    EXPECT_FALSE(session->Connected());
    EmulatorHooks::FailNext(nullptr, 0);
    session->LogOn();  // the handles of the failed attempt are freed first
    EXPECT_TRUE(session->Connected());
  }
}

// The environment and handle allocations fail before any error handle exists.
TEST_F(SessionFaultTest, a_failing_environment_or_handle_allocation_fails_the_logon_cleanly) {
  auto session = MakeSession();
  EmulatorHooks::FailNext("OCIEnvCreate", kConnectionLost);
  try {
    session->LogOn();
    ADD_FAILURE() << "logon succeeded without an environment";
  } catch (const EOracleError& error) {
    EXPECT_NE(std::string::npos, error.Message.find("OCIEnvCreate")) << error.Message;
  }
  EXPECT_FALSE(session->Connected());
  EXPECT_EQ(nullptr, session->EnvironmentHandle());

  EmulatorHooks::FailNext("OCIHandleAlloc", kConnectionLost);
  try {
    session->LogOn();
    ADD_FAILURE() << "logon succeeded without its handles";
  } catch (const EOracleError& error) {
    EXPECT_EQ(kConnectionLost, error.ErrorCode) << error.Message;
  }
  EXPECT_FALSE(session->Connected());
  session->LogOn();
  EXPECT_TRUE(session->Connected());
}

TEST_F(SessionFaultTest, a_failing_version_7_logon_raises_its_oracle_error) {
  LoadClient(KVELL_TEST_OCI7_ONLY_CLIENT);
  auto session = MakeSession();
  EmulatorHooks::FailNext("olog", 12541);
  try {
    session->LogOn();
    ADD_FAILURE() << "logon succeeded";
  } catch (const EOracleError& error) {
    EXPECT_EQ(12541, error.ErrorCode);
    EXPECT_EQ(0u, error.Message.find("ORA-12541")) << error.Message;
  }
  EXPECT_FALSE(session->Connected());
  session->LogOn();
  EXPECT_FALSE(session->OCI8Mode());
  EXPECT_TRUE(session->Connected());
}

TEST_F(SessionFaultTest, a_failed_logon_leaves_its_handles_to_logoff_and_destruction) {
  auto session = MakeSession();
  EmulatorHooks::FailNext("OCISessionBegin", kConnectionLost);
  EXPECT_THROW(session->LogOn(), EOracleError);
  EXPECT_NE(nullptr, session->ServiceContext());
  session->LogOff();
  EXPECT_EQ(nullptr, session->ServiceContext());
  EXPECT_EQ(nullptr, session->EnvironmentHandle());
}

TEST_F(SessionFaultTest, verify_connection_counts_an_unreadable_dual_as_healthy) {
  auto session = MakeSession();
  session->LogOn();
  EmulatorHooks::FailNext("OCIStmtExecute", 942);
  EXPECT_EQ(0, session->VerifyConnection(true));
  EXPECT_TRUE(session->Connected());
  EXPECT_EQ(1, MakeSession()->VerifyConnection(false));
  auto closed = MakeSession();
  EXPECT_EQ(2, closed->VerifyConnection(true));
  EXPECT_TRUE(closed->Connected());
}

TEST_F(SessionFaultTest, a_failing_setting_raises_and_keeps_the_old_value) {
  auto session = MakeSession();
  session->LogOn();
  EmulatorHooks::FailNext("OCIStmtExecute", 2248);
  EXPECT_THROW(session->SetSQLTrace(stTrue), EOracleError);
  EXPECT_EQ(stUnchanged, session->SQLTrace());
  session->SetIsolationLevel(ilSerializable);
  EXPECT_EQ(ilSerializable, session->IsolationLevel());
}

TEST_F(SessionFaultTest, a_refused_optimizer_statement_falls_back_on_optimizer_mode) {
  auto modern = MakeSession();
  modern->LogOn();
  EmulatorHooks::FailNext("OCIStmtExecute", 2248);
  modern->SetOptimizerGoal(ogAllRows);
  EXPECT_EQ(ogAllRows, modern->OptimizerGoal());
}

TEST_F(SessionFaultTest, a_setting_applied_at_logon_that_fails_fails_the_logon_but_keeps_the_value) {
  auto session = MakeSession();
  session->SetSQLTrace(stTrue);
  session->LogOn();
  session->LogOff();
  EmulatorHooks::FailNext("OCIStmtExecute", 2248);
  EXPECT_THROW(session->LogOn(), EOracleError);
  EXPECT_EQ(stUnchanged, session->SQLTrace());
}

TEST_F(SessionFaultTest, an_oracle7_server_is_used_through_a_converted_logon_data_area) {
  EmulatorHooks::ReportOracle7(true);
  auto session = MakeSession();
  session->LogOn();
  EXPECT_FALSE(session->OCI8Mode());
  EXPECT_TRUE(session->Oracle7Server());
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));
  Run(*session, "insert into dept values (50, 'X', 'Y')");
  session->Commit();
  session->LogOff();
  EXPECT_FALSE(session->Oracle7Server());
  EmulatorHooks::ReportOracle7(false);
  auto reader = MakeSession();
  reader->LogOn();
  EXPECT_EQ("5", QueryValue(*reader, "select to_char(count(*)) from dept"));
}

TEST_F(SessionFaultTest, a_version_7_only_client_gives_version_7_sessions) {
  LoadClient(KVELL_TEST_OCI7_ONLY_CLIENT);
  EXPECT_FALSE(OCI8Available);
  auto session = MakeSession();
  session->LogOn();
  EXPECT_FALSE(session->OCI8Mode());
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));
  try {
    RequireOCI8Session(session.get(), "LOBs");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ("LOBs requires Net8, which is not detected on this PC", error.Message);
  }
  try {
    session->SetExternalSVC(nullptr);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(kExternalSVCNeedsOCI8, error.Message);
  }
}

TEST_F(SessionFaultTest, a_client_without_fetch2_logs_on_but_refuses_version_9_features) {
  LoadClient(KVELL_TEST_NO_FETCH2_CLIENT);
  EXPECT_TRUE(OCI81Available);
  EXPECT_FALSE(OCI9Available);
  auto session = MakeSession();
  session->SetStatementCache(true);  // needs the version 9.2 entries: not used
  session->LogOn();
  EXPECT_TRUE(session->OCI8Mode());
  EXPECT_FALSE(session->StatementCacheInUse());
  try {
    RequireNet9Session(session.get(), "Scrollable queries");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ("Scrollable queries requires Oracle Net 9, which is not detected on this PC", error.Message);
  }
}

TEST_F(SessionFaultTest, the_statement_cache_size_is_set_on_a_connected_session) {
  auto session = MakeSession();
  session->SetStatementCache(true);
  session->LogOn();
  EXPECT_TRUE(session->StatementCacheInUse());
  EXPECT_NO_THROW(session->SetStatementCacheSize(5));
  EXPECT_EQ(5, session->StatementCacheSize());
}

// A query of a caching session keeps its error and rowid handles when its
// cursor goes back to the cache, and gives them up when the session logs off.
TEST_F(SessionFaultTest, a_cached_statement_reopens_without_new_handles_until_log_off) {
  TOracleQuery query;
  query.SQL().SetText("select dname from dept where deptno = 10");
  auto session = MakeSession();
  session->SetStatementCache(true);
  session->LogOn();
  query.SetSession(session.get());
  query.Execute();
  query.Next();
  ASSERT_TRUE(query.Eof());  // released to the cache
  EmulatorHooks::FailNext("OCIHandleAlloc", 1019);
  query.Execute();
  EXPECT_EQ("ACCOUNTING", query.FieldText(0));
  EmulatorHooks::FailNext(nullptr, 0);
  session->LogOff();
  session->LogOn();
  query.Execute();
  EXPECT_EQ("ACCOUNTING", query.FieldText(0));
  query.CloseCursor();
  session->LogOff();
}

TEST_F(SessionFaultTest, a_shared_environment_serves_every_session) {
  SharedEnvironment = true;
  auto first = MakeSession();
  auto second = MakeSession();
  first->LogOn();
  second->LogOn();
  EXPECT_EQ(first->EnvironmentHandle(), second->EnvironmentHandle());
  EXPECT_EQ(SharedEnvHandle, first->EnvironmentHandle());
  first->LogOff();
  EXPECT_EQ("x", QueryValue(*second, "select 'x' from dual"));
  first.reset();
  second.reset();
  SharedEnvironment = false;
  OCIHandleFree(SharedEnvHandle, OCI_HTYPE_ENV);
  SharedEnvHandle = nullptr;
}

}  // namespace
}  // namespace kvell::testing

namespace kvell::testing {
namespace {

TEST_F(SessionFaultTest, sysdba_is_refused_for_an_ordinary_account) {
  auto session = MakeSession();
  session->ConnectAs = caSYSDBA;
  try {
    session->LogOn();
    FAIL() << "SYSDBA accepted";
  } catch (const EOracleError& error) {
    EXPECT_EQ(1031, error.ErrorCode);
  }
  EXPECT_FALSE(session->Connected());
}

TEST_F(SessionFaultTest, an_MTS_session_borrows_a_service_context_and_refuses_its_own_transactions) {
  auto session = MakeSession();
  session->SetPooling(spMTS);
  session->LogOn();
  EXPECT_TRUE(session->Connected());
  EXPECT_TRUE(session->Shared());
  EXPECT_TRUE(session->OCI8Mode());
  EXPECT_TRUE(session->InMTSTransaction());
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));
  try {
    session->Commit();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(kCannotCommitMTS, error.Message);
  }
  EXPECT_THROW(session->Rollback(), Exception);
  session->LogOff();
  EXPECT_FALSE(session->InMTSTransaction());
  EXPECT_FALSE(session->Shared());

  session->SetMTSOptions(moUniqueServer);  // explicit transactions: commit is the session's
  session->LogOn();
  EXPECT_FALSE(session->InMTSTransaction());
  EXPECT_NO_THROW(session->Commit());
  session->LogOff();
}

TEST_F(SessionFaultTest, a_failing_MTS_service_raises_EOracleMTSError_with_its_text) {
  auto session = MakeSession();
  session->SetPooling(spMTS);
  session->LogOn();  // loads the service library
  session->LogOff();
  EmulatorHooks::FailNextMTS("OraMTSSvcGet", 3002);
  try {
    session->LogOn();
    FAIL();
  } catch (const EOracleMTSError& error) {
    EXPECT_EQ(3002, error.ErrorCode);
    EXPECT_EQ("MTS error 3002: failed attach to Oracle\r\nin function OraMTSSvcGet", error.Message);
  }
  EXPECT_FALSE(session->Connected());
}

}  // namespace
}  // namespace kvell::testing
