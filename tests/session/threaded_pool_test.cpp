// The session pool on ociemu: limits and waiting, entry reuse and expiry,
// homogeneous pools, lost connections, both pool types, the wait limit and
// sixteen threads sharing one pool.
#include <atomic>
#include <thread>
#include <vector>

#include "oracle/binding/entry_tables.h"
#include "oracle/kvell_init.h"
#include "oracle/session/session_pool.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class PoolTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    pool = std::make_unique<TOracleSessionPool>();
    pool->SetName("TestPool");
    pool->AfterConnect = [this](TOracleSessionPool*, TOracleSession*) { ++connects; };
    pool->AfterReserve = [this](TOracleSessionPool*, TOracleSession*) { ++reserves; };
  }
  void TearDown() override {
    sessions.clear();
    pool.reset();
    SessionTest::TearDown();
  }
  // A session of this test's pool, not yet logged on.
  TOracleSession& Pooled() {
    sessions.push_back(MakeSession());
    sessions.back()->SetPool(pool.get());
    return *sessions.back();
  }

  std::unique_ptr<TOracleSessionPool> pool;
  std::vector<std::unique_ptr<TOracleSession>> sessions;
  std::atomic<int> connects{0}, reserves{0};
};

TEST_F(PoolTest, a_pooled_session_runs_sql_on_a_lent_connection_and_reuses_it) {
  TOracleSession& session = Pooled();
  EXPECT_EQ(spInternal, session.Pooling());
  session.LogOn();
  EXPECT_TRUE(session.Shared());
  Run(session, "create table t (n number)");
  Run(session, "insert into t values (7)");
  session.Commit();
  const std::string audsid = session.SessionAudsid();
  session.LogOff();
  EXPECT_FALSE(session.Connected());
  EXPECT_EQ(1, pool->Count());
  session.LogOn();
  EXPECT_EQ("7", QueryValue(session, "select n from t"));
  EXPECT_EQ(audsid, session.SessionAudsid()) << "the idle connection is lent again";
  EXPECT_EQ(1, connects.load());
  EXPECT_EQ(2, reserves.load());
  const TSessionPoolCounters counters = pool->Counters();
  EXPECT_EQ(1, counters.Lent);
  EXPECT_EQ(0, counters.Idle);
  EXPECT_EQ(1, counters.TotalCreated);
}

TEST_F(PoolTest, max_zero_never_waits_and_max_two_makes_a_third_wait_for_a_logoff) {
  for (int i = 0; i < 3; ++i) Pooled().LogOn();
  EXPECT_EQ(3, pool->Count());
  EXPECT_EQ(0, pool->Counters().Waits);
  for (auto& session : sessions) session->LogOff();

  pool->Max = 2;
  EXPECT_EQ(2, pool->Available());
  TOracleSession& first = *sessions[0];
  TOracleSession& second = *sessions[1];
  TOracleSession& third = *sessions[2];
  first.LogOn();
  second.LogOn();
  EXPECT_EQ(0, pool->Available());
  std::atomic<bool> third_done{false};
  std::thread waiter([&] {
    third.LogOn();
    third_done = true;
  });
  while (pool->Counters().Waiting == 0) std::this_thread::yield();
  EXPECT_FALSE(third_done.load());
  EXPECT_FALSE(third.Connected());
  first.LogOff();
  waiter.join();
  EXPECT_TRUE(third.Connected());
  EXPECT_EQ("x", QueryValue(third, "select 'x' from dual"));
  const TSessionPoolCounters counters = pool->Counters();
  EXPECT_EQ(1, counters.Waits);
  EXPECT_EQ(0, counters.Waiting);
  EXPECT_GT(counters.LongestWaitMs, 0.0);
  EXPECT_EQ(3, counters.TotalCreated) << "the waiter took a free connection";
}

TEST_F(PoolTest, the_wait_limit_fails_a_reservation_with_the_pool_and_limit_and_leaves_no_entry) {
  pool->Max = 1;
  pool->ReserveTimeOut = 20;
  TOracleSession& first = Pooled();
  TOracleSession& second = Pooled();
  first.LogOn();
  try {
    second.LogOn();
    FAIL() << "the reservation did not time out";
  } catch (const Exception& error) {
    EXPECT_EQ(std::string(kPoolReserveTimedOut) + "TestPool within 20 ms (Max 1)", error.Message);
  }
  EXPECT_FALSE(second.Connected());
  EXPECT_EQ(1, pool->Count());
  EXPECT_EQ(1, pool->Counters().Waits);
  first.LogOff();
  second.LogOn();
  EXPECT_TRUE(second.Connected());
}

TEST_F(PoolTest, homogeneous_pool_overwrites_the_logon_properties_of_the_session) {
  pool->Homogeneous = true;
  pool->LogonUsername = kDemoUser;
  pool->LogonPassword = kDemoPassword;
  pool->LogonDatabase = database_;
  TOracleSession& session = Pooled();
  session.SetLogonUsername("nobody");
  session.SetLogonPassword("wrong");
  session.SetLogonDatabase(database_ + ".other");
  session.LogOn();
  EXPECT_EQ(kDemoUser, session.LogonUsername());
  EXPECT_EQ(kDemoPassword, session.LogonPassword());
  EXPECT_EQ(database_, session.LogonDatabase());
  EXPECT_TRUE(pool->ActiveHomogeneous());
}

TEST_F(PoolTest, a_default_pool_reuses_an_entry_only_for_the_same_user_and_database) {
  TOracleSession& first = Pooled();
  first.LogOn();
  first.LogOff();
  TOracleSession& same = Pooled();
  same.SetLogonUsername("scott");
  same.SetLogonDatabase(database_);
  same.LogOn();
  EXPECT_EQ(1, pool->Count()) << "user names compare case-insensitively";
  EXPECT_EQ(1, connects.load());
  same.LogOff();
  TOracleSession& other = Pooled();
  other.SetLogonDatabase(database_ + ".other");
  other.LogOn();
  EXPECT_EQ(2, pool->Count());
  EXPECT_EQ(2, connects.load());
  Run(other, "create table only_here (n number)");
  EXPECT_EQ("<none>", QueryValue(other, "select n from only_here"));
  first.LogOn();
  EXPECT_THROW(Run(first, "select n from only_here"), EOracleError) << "first is on its own database";
}

TEST_F(PoolTest, without_time_out_a_release_drops_entries_above_min) {
  pool->Min = 1;
  TOracleSession& first = Pooled();
  TOracleSession& second = Pooled();
  first.LogOn();
  second.LogOn();
  EXPECT_EQ(2, pool->Count());
  first.LogOff();
  EXPECT_EQ(1, pool->Count());
  second.LogOff();
  EXPECT_EQ(1, pool->Count());
  EXPECT_EQ(1, pool->Counters().Idle);
}

TEST_F(PoolTest, with_time_out_an_idle_entry_goes_once_it_is_older_and_a_later_call_looks) {
  TDateTime now = 45000.5;
  pool->Clock = [&now] { return now; };
  pool->TimeOut = 60;
  TOracleSession& first = Pooled();
  TOracleSession& second = Pooled();
  first.LogOn();
  second.LogOn();
  first.LogOff();
  second.LogOff();
  EXPECT_EQ(2, pool->Count());
  now += 59.0 / 86400;
  pool->RemoveExpired();
  EXPECT_EQ(2, pool->Count());
  now += 2.0 / 86400;
  EXPECT_EQ(2, pool->Count()) << "nothing looked yet";
  first.LogOn();  // takes one idle entry; the reservation's look drops the other
  EXPECT_EQ(1, pool->Count());
  EXPECT_EQ(2, connects.load()) << "the reused entry made no new connection";
}

TEST_F(PoolTest, min_keeps_idle_entries_through_expiry) {
  TDateTime now = 45000.5;
  pool->Clock = [&now] { return now; };
  pool->TimeOut = 1;
  pool->Min = 1;
  Pooled().LogOn();
  Pooled().LogOn();
  for (auto& session : sessions) session->LogOff();
  now += 1.0;
  pool->RemoveExpired();
  EXPECT_EQ(1, pool->Count());
}

TEST_F(PoolTest, a_connection_lost_while_idle_is_replaced_at_reservation) {
  TOracleSession& session = Pooled();
  session.LogOn();
  ASSERT_EQ(0, EmulatorHooks::KillSession(session.ServiceContext()));
  session.LogOff();
  session.LogOn();
  EXPECT_EQ(2, connects.load());
  EXPECT_EQ("x", QueryValue(session, "select 'x' from dual"));
  EXPECT_EQ(1, pool->Count());
}

TEST_F(PoolTest, a_failed_connection_leaves_no_entry_and_reaches_the_caller) {
  TOracleSession& session = Pooled();
  EmulatorHooks::FailNext("OCISessionBegin", 1017);
  try {
    session.LogOn();
    FAIL() << "the logon succeeded";
  } catch (const EOracleError& error) {
    EXPECT_EQ(1017, error.ErrorCode);
  }
  EXPECT_EQ(0, pool->Count());
  EXPECT_EQ(0, reserves.load());
  session.LogOn();
  EXPECT_EQ(1, pool->Count());
}

TEST_F(PoolTest, event_handlers_that_raise_are_swallowed) {
  int opened = 0, before_release = 0;
  pool->OnOpen = [&](TOracleSessionPool*) {
    ++opened;
    throw Exception("open handler");
  };
  pool->AfterConnect = [](TOracleSessionPool*, TOracleSession*) { throw Exception("connect handler"); };
  pool->BeforeRelease = [&](TOracleSessionPool* sender, TOracleSession* session) {
    EXPECT_EQ(pool.get(), sender);
    EXPECT_TRUE(session->Connected());
    ++before_release;
    throw Exception("release handler");
  };
  pool->OnClose = [](TOracleSessionPool*) { throw Exception("close handler"); };
  TOracleSession& session = Pooled();
  session.LogOn();
  EXPECT_TRUE(session.Connected());
  EXPECT_TRUE(pool->Opened());
  session.LogOff();
  EXPECT_FALSE(session.Connected());
  EXPECT_EQ(1, opened);
  EXPECT_EQ(1, before_release);
  pool->Close();
  EXPECT_FALSE(pool->Opened());
}

TEST_F(PoolTest, an_entry_refuses_a_second_reservation) {
  TOracleSession& first = Pooled();
  TOracleSession& second = Pooled();
  TOracleSessionPoolEntry entry(*pool);
  EXPECT_TRUE(entry.Reserve(first));
  EXPECT_EQ(&first, entry.ReservedBy);
  try {
    entry.Reserve(second);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(kPoolEntryAlreadyReserved, error.Message);
  }
  entry.Release();
  EXPECT_FALSE(first.Connected());
  EXPECT_EQ(nullptr, entry.ReservedBy);
  EXPECT_FALSE(entry.Reserve(second)) << "the entry's connection is lent again";
  EXPECT_TRUE(second.Connected());
}

TEST_F(PoolTest, release_answers_whether_the_session_held_a_connection) {
  TOracleSession& session = Pooled();
  EXPECT_FALSE(pool->Release(nullptr));
  EXPECT_FALSE(pool->Release(&session));
  session.LogOn();
  EXPECT_TRUE(pool->Release(&session));
  EXPECT_FALSE(session.Connected());
}

TEST_F(PoolTest, destroying_the_pool_logs_off_the_sessions_it_lent) {
  TOracleSession& session = Pooled();
  session.LogOn();
  pool.reset();
  EXPECT_FALSE(session.Connected());
  EXPECT_EQ(nullptr, session.Pool());
}

TEST_F(PoolTest, an_oracle_pool_lends_client_pool_sessions) {
  pool->PoolType = ptOracle;
  pool->StatementCache = true;
  TOracleSession& session = Pooled();
  session.LogOn();
  EXPECT_EQ(ptOracle, pool->ActivePoolType());
  EXPECT_FALSE(pool->PoolName().empty());
  EXPECT_EQ(database_, pool->LogonDatabase) << "taken from the first session";
  EXPECT_TRUE(session.StatementCacheInUse());
  Run(session, "create table t (n number)");
  Run(session, "insert into t values (3)");
  session.Commit();
  session.LogOff();
  TOracleSession& other = Pooled();
  other.LogOn();
  EXPECT_EQ("3", QueryValue(other, "select n from t"));
  EXPECT_EQ(1, connects.load());
  pool->Close();
  EXPECT_FALSE(other.Connected()) << "closing the client pool ends its sessions";
  EXPECT_TRUE(pool->PoolName().empty());
  EXPECT_EQ(0, pool->Count());
}

TEST_F(PoolTest, an_oracle_pool_finds_and_replaces_a_killed_session) {
  pool->PoolType = ptOracle;
  TOracleSession& session = Pooled();
  session.LogOn();
  ASSERT_EQ(0, EmulatorHooks::KillSession(session.ServiceContext()));
  session.LogOff();
  session.LogOn();
  EXPECT_EQ(2, connects.load());
  EXPECT_EQ("x", QueryValue(session, "select 'x' from dual"));
}

TEST_F(PoolTest, an_oracle_pool_on_a_client_without_its_entries_works_as_a_default_pool) {
  LoadClient(KVELL_TEST_OCI7_ONLY_CLIENT);
  ASSERT_FALSE(OCI92Available);
  pool->PoolType = ptOracle;
  TOracleSession& session = Pooled();
  session.LogOn();
  EXPECT_EQ(ptDefault, pool->ActivePoolType());
  EXPECT_TRUE(pool->PoolName().empty());
  EXPECT_FALSE(session.OCI8Mode());
  EXPECT_EQ("x", QueryValue(session, "select 'x' from dual"));
  session.LogOff();
  sessions.clear();
  pool.reset();
  LoadClient(DefaultClientPath());
}

TEST_F(PoolTest, a_session_without_a_pool_uses_the_process_wide_pool) {
  auto session = MakeSession();
  session->SetPooling(spInternal);
  session->LogOn();
  EXPECT_TRUE(session->Shared());
  EXPECT_EQ(1, DefaultSessionPool().Count());
  EXPECT_EQ(1, DefaultSessionPool().Counters().Lent);
  session->LogOff();
  EXPECT_EQ(1, DefaultSessionPool().Counters().Idle);
  session.reset();
  // Its idle connection belongs to this test's client load.
  KvellSlot(ProcessObject::DefaultSessionPool).Release();
}

constexpr int kPoolThreads = 16;
constexpr int kPoolRounds = 1000;

TEST_F(PoolTest, sixteen_threads_reserve_query_and_release_through_one_pool) {
  pool->Max = 4;
  std::atomic<int> matches{0}, failures{0};
  std::vector<std::unique_ptr<TOracleSession>> own;
  for (int index = 0; index < kPoolThreads; ++index) {
    own.push_back(MakeSession());
    own.back()->SetPool(pool.get());
  }
  own[0]->LogOn();  // creates the database before the threads race for it
  own[0]->LogOff();
  std::vector<std::thread> threads;
  for (int index = 0; index < kPoolThreads; ++index) {
    threads.emplace_back([&, index] {
      TOracleSession& session = *own[static_cast<size_t>(index)];
      for (int round = 0; round < kPoolRounds; ++round) {
        try {
          session.LogOn();
          if (QueryValue(session, "select " + std::to_string(round) + " from dual") == std::to_string(round))
            ++matches;
          session.LogOff();
        } catch (const std::exception&) {
          ++failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(kPoolThreads * kPoolRounds, matches.load());
  const TSessionPoolCounters counters = pool->Counters();
  EXPECT_EQ(0, counters.Lent);
  EXPECT_LE(counters.TotalCreated, 4);
  EXPECT_LE(pool->Count(), 4);
  own.clear();
}

}  // namespace
}  // namespace kvell::testing
