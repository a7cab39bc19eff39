// Logon and logoff through both interfaces on ociemu: credentials, events,
// warnings, transactions seen from a second session, and the detections.
#include <vector>

#include "oracle/binding/entry_tables.h"
#include "oracle/session/oracle_query.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Interfaces, SessionInterfaceTest,
                         ::testing::Values(Interface::OCI8, Interface::UseOCI7, Interface::ForceOCI7), InterfaceName);

TEST_P(SessionInterfaceTest, logs_on_and_off_through_the_chosen_interface) {
  auto session = MakeSession();
  session->LogOn();
  EXPECT_TRUE(session->Connected());
  EXPECT_EQ(GetParam() == Interface::OCI8, session->OCI8Mode());
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));
  EXPECT_TRUE(session->LogonWarning().empty());
  session->LogOff();
  EXPECT_FALSE(session->Connected());
  EXPECT_EQ(nullptr, session->ServiceContext());
}

TEST_P(SessionInterfaceTest, a_wrong_password_fails_with_the_servers_text_and_stays_disconnected) {
  auto session = MakeSession();
  session->SetLogonPassword("wrong");
  try {
    session->LogOn();
    FAIL() << "logon succeeded";
  } catch (const EOracleError& error) {
    EXPECT_EQ(1017, error.ErrorCode);
    EXPECT_EQ(0u, error.Message.find("ORA-01017: invalid username/password; logon denied")) << error.Message;
    EXPECT_EQ(session.get(), error.Session);
  }
  EXPECT_FALSE(session->Connected());
  session->SetLogonPassword(kDemoPassword);
  session->LogOn();
  EXPECT_TRUE(session->Connected());
}

TEST_P(SessionInterfaceTest, a_password_in_its_grace_period_logs_on_with_the_warning_kept) {
  auto admin = MakeSession();
  admin->LogOn();
  Run(*admin, "alter user SCOTT password grace 3");
  admin->LogOff();
  auto session = MakeSession();
  session->LogOn();
  EXPECT_TRUE(session->Connected());
  EXPECT_NE(std::string::npos, session->LogonWarning().find("ORA-28002")) << session->LogonWarning();
  if (session->OCI8Mode()) {  // the emulator's version 7 message table has no per-user days
    EXPECT_NE(std::string::npos, session->LogonWarning().find("3 days")) << session->LogonWarning();
  }
}

TEST_P(SessionInterfaceTest, events_come_in_order_and_logoff_fires_only_on_change) {
  auto session = MakeSession();
  std::vector<std::string> events;
  session->BeforeLogOn = [&](TOracleSession* sender) {
    EXPECT_FALSE(sender->Connected());
    events.push_back("BeforeLogOn");
  };
  session->AfterLogOn = [&](TOracleSession* sender) {
    EXPECT_TRUE(sender->Connected());
    events.push_back("AfterLogOn");
  };
  session->OnChange = [&](TOracleSession* sender) { events.push_back(sender->Connected() ? "OnChange+" : "OnChange-"); };
  session->SetConnected(true);
  session->SetConnected(false);
  session->LogOff();
  EXPECT_EQ((std::vector<std::string>{"BeforeLogOn", "AfterLogOn", "OnChange+", "OnChange-"}), events);
}

TEST_P(SessionInterfaceTest, commit_and_rollback_are_seen_from_a_second_session) {
  auto writer = MakeSession();
  auto reader = MakeSession();
  writer->LogOn();
  reader->LogOn();
  const std::string count = "select to_char(count(*)) from dept";
  Run(*writer, "insert into dept values (50, 'X', 'Y')");
  EXPECT_EQ("4", QueryValue(*reader, count));
  writer->Rollback();
  EXPECT_EQ("4", QueryValue(*writer, count));
  Run(*writer, "insert into dept values (60, 'X', 'Y')");
  writer->Commit();
  EXPECT_EQ("5", QueryValue(*reader, count));
}

TEST_P(SessionInterfaceTest, rollback_on_disconnect_drops_the_open_transaction) {
  auto writer = MakeSession();
  writer->RollbackOnDisconnect = true;
  writer->LogOn();
  Run(*writer, "insert into dept values (70, 'X', 'Y')");
  writer->LogOff();
  auto reader = MakeSession();
  reader->LogOn();
  EXPECT_EQ("4", QueryValue(*reader, "select to_char(count(*)) from dept"));
}

// The client entry that a session call reaches through the interface under test.
const char* EntryFor(const TOracleSession& session, const char* oci8, const char* oci7) {
  return session.OCI8Mode() ? oci8 : oci7;
}

TEST_P(SessionInterfaceTest, a_failing_commit_raises_and_leaves_the_whole_transaction_to_roll_back) {
  auto writer = MakeSession();
  writer->LogOn();
  Run(*writer, "insert into dept values (50, 'X', 'Y')");
  Run(*writer, "update dept set loc = 'MOVED' where deptno = 10");
  EmulatorHooks::FailNext(EntryFor(*writer, "OCITransCommit", "ocom"), 3113);
  const EOracleError error = OracleErrorOf([&] { writer->Commit(); });
  EXPECT_EQ(3113, error.ErrorCode);
  EXPECT_EQ(0u, error.Message.find("ORA-03113")) << error.Message;
  EXPECT_EQ(writer.get(), error.Session);
  EXPECT_TRUE(writer->Connected());
  auto reader = MakeSession();
  reader->LogOn();
  const std::string changed_rows = "select to_char(count(*)) from dept where deptno = 50 or loc = 'MOVED'";
  EXPECT_EQ("0", QueryValue(*reader, changed_rows)) << "nothing of the transaction is committed";
  EXPECT_EQ("2", QueryValue(*writer, changed_rows)) << "the transaction is still open";
  writer->Rollback();
  writer->Commit();
  EXPECT_EQ("0", QueryValue(*reader, changed_rows));
  Run(*writer, "insert into dept values (60, 'X', 'Y')");
  writer->Commit();
  EXPECT_EQ("1", QueryValue(*reader, "select to_char(count(*)) from dept where deptno = 60"));
}

TEST_P(SessionInterfaceTest, a_failing_logoff_raises_and_a_new_logon_works_without_the_old_transaction) {
  auto session = MakeSession();
  session->LogOn();
  Run(*session, "insert into dept values (50, 'X', 'Y')");
  EmulatorHooks::FailNext(EntryFor(*session, "OCISessionEnd", "ologof"), 3113);
  EXPECT_EQ(3113, OracleErrorCodeOf([&] { session->LogOff(); }));
  EXPECT_FALSE(session->Connected());
  session->LogOn();
  ASSERT_TRUE(session->Connected());
  EXPECT_EQ("4", QueryValue(*session, "select to_char(count(*)) from dept"));
  Run(*session, "insert into dept values (60, 'X', 'Y')");
  session->Commit();
  session->LogOff();
  auto reader = MakeSession();
  reader->LogOn();
  EXPECT_EQ("60", QueryValue(*reader, "select to_char(max(deptno)) from dept"));
}

TEST_P(SessionInterfaceTest, logging_off_a_killed_session_reports_the_lost_connection_and_a_new_logon_works) {
  auto session = MakeSession();
  session->LogOn();
  Run(*session, "insert into dept values (50, 'X', 'Y')");
  void* handle = session->OCI8Mode() ? static_cast<void*>(session->ServiceContext()) : session->LogonDataArea();
  ASSERT_EQ(0, EmulatorHooks::KillSession(handle));
  EXPECT_EQ(3113, OracleErrorCodeOf([&] { session->LogOff(); }));
  EXPECT_FALSE(session->Connected());
  session->LogOn();
  EXPECT_EQ("4", QueryValue(*session, "select to_char(count(*)) from dept"));
  session->LogOff();
}

TEST_P(SessionInterfaceTest, commit_and_rollback_do_nothing_when_disconnected) {
  auto session = MakeSession();
  EXPECT_NO_THROW(session->Commit());
  EXPECT_NO_THROW(session->Rollback());
}

TEST_P(SessionInterfaceTest, detections_answer_for_the_emulators_character_set_and_date_format) {
  auto session = MakeSession();
  session->SetBytesPerCharacter(bcAutoDetect);
  EXPECT_EQ(1, session->ResolvedBytesPerCharacter());  // not connected
  session->LogOn();
  EXPECT_EQ(4, session->ResolvedBytesPerCharacter());  // AL32UTF8
  EXPECT_EQ(session->OCI8Mode() ? 1000 : 500, session->MaxStringChars());
  EXPECT_EQ(9, session->DateFormatLength());  // DD-MON-RR
  session->SetBytesPerCharacter(bc2Bytes);
  EXPECT_EQ(2, session->ResolvedBytesPerCharacter());
}

TEST_P(SessionInterfaceTest, the_date_format_length_follows_the_session_format) {
  auto session = MakeSession();
  EXPECT_EQ(40, session->DateFormatLength());  // not connected: the default, not kept
  session->LogOn();
  Run(*session, "alter session set nls_date_format = 'dd.mm.yyyy hh24:mi:ss'");
  EXPECT_EQ(19, session->DateFormatLength());
}

TEST_P(SessionInterfaceTest, each_session_reads_its_own_audsid_until_logoff) {
  auto first = MakeSession();
  auto second = MakeSession();
  EXPECT_EQ("", first->SessionAudsid());
  first->LogOn();
  second->LogOn();
  const std::string audsid = first->SessionAudsid();
  EXPECT_FALSE(audsid.empty());
  EXPECT_NE(audsid, second->SessionAudsid());
  EXPECT_EQ(audsid, QueryValue(*first, "select to_char(userenv('SESSIONID')) from dual"));
}

TEST_P(SessionInterfaceTest, error_message_text_reads_the_clients_text_for_a_number) {
  auto session = MakeSession();
  session->LogOn();
  EXPECT_EQ(0u, session->ErrorMessageText(942).find("ORA-00942")) << session->ErrorMessageText(942);
}

TEST_P(SessionInterfaceTest, a_failed_statement_raises_with_the_server_text_and_number) {
  auto session = MakeSession();
  session->LogOn();
  try {
    session->ExecuteInternal("select * from no_such_table", false);
    FAIL();
  } catch (const EOracleError& error) {
    EXPECT_EQ(942, error.ErrorCode);
    EXPECT_EQ(0u, error.Message.find("ORA-00942")) << error.Message;
  }
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));  // the session is still usable
}

TEST_P(SessionInterfaceTest, the_internal_query_is_a_query_named_Query_that_logoff_closes) {
  auto session = MakeSession();
  session->LogOn();
  session->ExecuteInternal("select ename from emp where empno = 7839", false);
  TOracleQuery& query = session->InternalQuery();
  EXPECT_EQ("Query", query.Name());
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ("KING", query.FieldText(0));
  EXPECT_EQ(session->SessionAudsid(), QueryValue(*session, "select to_char(userenv('SESSIONID')) from dual"));
  EXPECT_FALSE(query.CursorOpen()) << "the session id query closes the internal query";
  session->ExecuteInternal("select 1 from dual", false);
  session->LogOff();
  EXPECT_FALSE(query.CursorOpen());
  session->LogOn();
  session->ExecuteInternal("select 2 from dual", false);  // the same query serves the next logon
  EXPECT_EQ("2", session->InternalQuery().FieldText(0));
}

TEST_P(SessionInterfaceTest, listed_warning_codes_raise_EOracleWarning) {
  auto session = MakeSession();
  session->LogOn();
  WarningCodes() = {942};
  EXPECT_THROW(session->ExecuteInternal("select * from no_such_table", false), EOracleWarning);
  WarningCodes() = {904};
  try {
    session->ExecuteInternal("select * from no_such_table", false);
  } catch (const EOracleWarning&) {
    FAIL() << "942 is not listed";
  } catch (const EOracleError& error) {
    EXPECT_EQ(942, error.ErrorCode);
  }
}

TEST_P(SessionInterfaceTest, verify_connection_reports_a_killed_session_and_reconnects) {
  auto session = MakeSession();
  session->LogOn();
  EXPECT_EQ(0, session->VerifyConnection(false));
  void* handle = session->OCI8Mode() ? static_cast<void*>(session->ServiceContext()) : session->LogonDataArea();
  ASSERT_EQ(0, EmulatorHooks::KillSession(handle));
  EXPECT_EQ(1, session->VerifyConnection(false));
  EXPECT_FALSE(session->Connected());
  EXPECT_EQ(2, session->VerifyConnection(true));
  EXPECT_TRUE(session->Connected());
  handle = session->OCI8Mode() ? static_cast<void*>(session->ServiceContext()) : session->LogonDataArea();
  ASSERT_EQ(0, EmulatorHooks::KillSession(handle));
  EXPECT_EQ(2, session->VerifyConnection(true));
  EXPECT_EQ("x", QueryValue(*session, "select 'x' from dual"));
}

TEST_P(SessionInterfaceTest, settings_before_logon_are_issued_at_logon) {
  auto session = MakeSession();
  session->SetOptimizerGoal(ogFirstRows);
  session->SetSQLTrace(stTrue);
  session->SetIsolationLevel(ilSerializable);
  session->LogOn();
  EXPECT_EQ(ogFirstRows, session->OptimizerGoal());
  EXPECT_EQ(stTrue, session->SQLTrace());
  EXPECT_EQ(ilSerializable, session->IsolationLevel());
  session->SetIsolationLevel(ilReadCommitted);
  EXPECT_EQ(ilReadCommitted, session->IsolationLevel());
}

TEST_P(SessionInterfaceTest, auto_commit_mode_commits_each_statement_and_off_leaves_it_pending) {
  auto session = MakeSession();
  session->SetAutoCommitMode(true);
  session->LogOn();
  Run(*session, "insert into dept values (80, 'X', 'Y')");
  auto reader = MakeSession();
  reader->LogOn();
  // Version 7 sessions switch the server's mode; OCI8 queries commit through their execute mode.
  EXPECT_EQ("5", QueryValue(*reader, "select to_char(count(*)) from dept"));
  session->SetAutoCommitMode(false);
  Run(*session, "insert into dept values (81, 'X', 'Y')");
  EXPECT_EQ("5", QueryValue(*reader, "select to_char(count(*)) from dept"));
  session->Commit();
  EXPECT_EQ("6", QueryValue(*reader, "select to_char(count(*)) from dept"));
}

TEST_P(SessionInterfaceTest, a_shared_connection_works_on_the_lenders_session_and_leaves_it_open) {
  auto lender = MakeSession();
  lender->LogOn();
  TOracleSession borrower;
  lender->ShareConnection(borrower);
  EXPECT_TRUE(borrower.Connected());
  EXPECT_TRUE(borrower.Shared());
  EXPECT_EQ(lender->OCI8Mode(), borrower.OCI8Mode());
  EXPECT_EQ(kDemoUser, borrower.LogonUsername());
  EXPECT_EQ(lender->SessionAudsid(), borrower.SessionAudsid());
  Run(borrower, "insert into dept values (90, 'X', 'Y')");
  EXPECT_EQ("5", QueryValue(*lender, "select to_char(count(*)) from dept"));
  borrower.LogOff();
  EXPECT_FALSE(borrower.Shared());
  EXPECT_TRUE(lender->Connected());
  EXPECT_EQ("5", QueryValue(*lender, "select to_char(count(*)) from dept"));
}

TEST_P(SessionInterfaceTest, external_handles_are_read_only_through_their_interface) {
  auto session = MakeSession();
  EXPECT_THROW(session->ExternalSVC(), Exception);
  EXPECT_THROW(session->ExternalLDA(), Exception);
  session->LogOn();
  if (session->OCI8Mode()) {
    EXPECT_EQ(session->ServiceContext(), session->ExternalSVC());
    try {
      session->ExternalLDA();
      FAIL();
    } catch (const Exception& error) {
      EXPECT_EQ(kExternalLDAOutsideOCI7, error.Message);
    }
  } else {
    EXPECT_EQ(session->LogonDataArea(), session->ExternalLDA());
    try {
      session->ExternalSVC();
      FAIL();
    } catch (const Exception& error) {
      EXPECT_EQ(kExternalSVCOutsideOCI8, error.Message);
    }
  }
}

TEST_P(SessionInterfaceTest, a_whole_logon_string_in_the_username_is_split_at_logon) {
  auto session = MakeSession();
  session->SetLogonPassword("");
  session->SetLogonDatabase("");
  session->SetLogonUsername(std::string(kDemoUser) + "/" + kDemoPassword + "@" + database_);
  session->LogOn();
  EXPECT_EQ(kDemoUser, session->LogonUsername());
  EXPECT_EQ(kDemoPassword, session->LogonPassword());
  EXPECT_EQ(database_, session->LogonDatabase());
}

TEST_P(SessionInterfaceTest, properties_that_need_a_logoff_are_refused_while_connected) {
  auto session = MakeSession();
  session->LogOn();
  auto refused = [](auto&& change, const char* text) {
    try {
      change();
      ADD_FAILURE() << "not refused: " << text;
    } catch (const Exception& error) {
      EXPECT_EQ(text, error.Message);
    }
  };
  refused([&] { session->SetThreadSafe(true); }, kThreadSafeWhileConnected);
  refused([&] { session->SetPooling(spMTS); }, kPoolingWhileConnected);
  refused([&] { session->SetMTSOptions(0); }, kMTSOptionsWhileConnected);
  refused([&] { session->SetStatementCache(true); }, kStatementCacheWhileConnected);
  refused([&] { session->Preferences().SetUseOCI7(!session->Preferences().UseOCI7()); }, kUseOCI7WhileConnected);
  EXPECT_FALSE(session->ThreadSafe());
  session->LogOff();
  session->SetThreadSafe(true);
  EXPECT_TRUE(session->ThreadSafe());
}

TEST_P(SessionInterfaceTest, destroying_a_connected_session_ends_its_session_and_leaves_the_list) {
  auto session = MakeSession();
  session->LogOn();
  Run(*session, "insert into dept values (95, 'X', 'Y')");
  TOracleSession* raw = session.get();
  EXPECT_NE(std::string::npos, [&] {
    auto all = SessionList();
    return static_cast<size_t>(std::find(all.begin(), all.end(), raw) - all.begin()) < all.size() ? 0u
                                                                                                    : std::string::npos;
  }());
  session.reset();
  auto all = SessionList();
  EXPECT_EQ(all.end(), std::find(all.begin(), all.end(), raw));
  auto reader = MakeSession();
  reader->LogOn();
  EXPECT_EQ("4", QueryValue(*reader, "select to_char(count(*)) from dept"));  // uncommitted work is gone
}

}  // namespace
}  // namespace kvell::testing
