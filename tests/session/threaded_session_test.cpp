// Threads on thread-safe sessions: eight logging on and off their own
// sessions at once, and eight sharing one session, through both interfaces.
#include <atomic>
#include <thread>
#include <vector>

#include "oracle/session/oracle_query.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 4;

class ThreadedSessionTest : public SessionInterfaceTest {};

INSTANTIATE_TEST_SUITE_P(Interfaces, ThreadedSessionTest, ::testing::Values(Interface::OCI8, Interface::UseOCI7),
                         InterfaceName);

void run_threads(const std::function<void(int)>& body) {
  std::vector<std::thread> threads;
  for (int index = 0; index < kThreads; ++index) threads.emplace_back(body, index);
  for (auto& thread : threads) thread.join();
}

TEST_P(ThreadedSessionTest, eight_threads_log_on_and_off_their_own_sessions) {
  auto first = MakeSession();
  first->LogOn();  // creates the database before the threads race for it
  first->LogOff();
  std::atomic<int> logons{0};
  std::atomic<int> failures{0};
  run_threads([&](int) {
    for (int round = 0; round < kRounds; ++round) {
      try {
        auto session = MakeSession();
        session->SetThreadSafe(true);
        session->LogOn();
        if (!session->SessionAudsid().empty()) ++logons;
        session->LogOff();
      } catch (const std::exception&) {
        ++failures;
      }
    }
  });
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(kThreads * kRounds, logons.load());
}

TEST_P(ThreadedSessionTest, eight_threads_share_one_thread_safe_session) {
  auto session = MakeSession();
  session->SetThreadSafe(true);
  session->LogOn();
  const std::string audsid = session->SessionAudsid();
  std::atomic<int> matches{0};
  std::atomic<int> failures{0};
  run_threads([&](int index) {
    for (int round = 0; round < kRounds; ++round) {
      try {
        TOracleQuery query;
        query.SetName("Thread" + std::to_string(index));
        query.SetSession(session.get());
        query.SQL().SetText("select to_char(userenv('SESSIONID')) from dual");
        query.Execute();
        if (!query.Eof() && query.FieldText(0) == audsid) ++matches;
        if (round == 0) {
          try {
            query.SQL().SetText("select * from no_such_table");
            query.Execute();
          } catch (const EOracleError& error) {
            if (error.ErrorCode != 942) ++failures;  // each thread reads its own error
          }
        }
      } catch (const std::exception&) {
        ++failures;
      }
    }
  });
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(kThreads * kRounds, matches.load());
  session->LogOff();
}

TEST_P(ThreadedSessionTest, the_call_lock_is_held_only_by_a_thread_safe_version_7_session) {
  auto session = MakeSession();
  session->SetThreadSafe(true);
  session->LogOn();
  std::atomic<bool> entered{false};
  session->EnterCall();
  std::thread other([&] {
    SessionCall call(*session);
    entered = true;
  });
  // Version 7: the other thread waits until this one leaves; version 8 relies on the environment.
  const bool waited = !entered.load();
  session->LeaveCall();
  other.join();
  EXPECT_TRUE(entered.load());
  if (!session->OCI8Mode()) {
    EXPECT_TRUE(waited);
  }
}

}  // namespace
}  // namespace kvell::testing
