// Threaded queries on ociemu: the event sequence of a failing statement, a
// large fetch with and without marshalling to the main thread, refusals
// while the thread runs, destruction during a run, and four pooled sessions
// each running a threaded query.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "oracle/session/oracle_query.h"
#include "oracle/session/session_pool.h"
#include "runtime/thread.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

constexpr int kManyRows = 100000;

class QueryThreadTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void SetUp() override {
    ConnectedQueryTest::SetUp();
    query->Threaded = true;
    query->OnThreadFinished = [this](TOracleQuery*) {
      events.push_back("finished");
      finished = true;
    };
  }
  void FillNumbers(int count) {
    TOracleQuery fill;
    fill.SetSession(session.get());
    fill.SQL().SetText("create table numbers (n number(9))");
    fill.Execute();
    fill.DeclareVariable("n", 3);
    std::vector<Variant> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) numbers[static_cast<size_t>(i)] = Variant(i + 1);
    fill.SetVariable("n", Variant::FromArray(std::move(numbers)));
    fill.SQL().SetText("insert into numbers values (:n)");
    fill.Execute();
    session->Commit();
  }
  // The main thread's loop while the query runs in the background.
  void PumpUntilFinished() {
    while (!finished.load()) {
      if (!CheckSynchronize()) std::this_thread::yield();
    }
  }
  std::vector<std::string> events;  // written by one thread at a time, read after the run
  std::atomic<bool> finished{false};
};

TEST_F(QueryThreadTest, a_failing_statement_reports_its_error_then_finishes_on_the_main_thread) {
  query->SQL().SetText("select * from no_such_table");
  bool on_main = true;
  query->OnThreadExecuted = [this](TOracleQuery*) { events.push_back("executed"); };
  query->OnThreadError = [&](TOracleQuery* sender, int code, const std::string& message) {
    EXPECT_EQ(query.get(), sender);
    on_main = on_main && IsMainThread();
    events.push_back("error " + std::to_string(code) + ": " + message.substr(0, 9));
  };
  query->Execute();
  PumpUntilFinished();
  EXPECT_TRUE(on_main);
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("error 942: ORA-00942", events[0]);
  EXPECT_EQ("finished", events[1]);
}

TEST_F(QueryThreadTest, a_failure_outside_the_client_reports_code_zero) {
  query->SetSession(nullptr);
  int code = -1;
  std::string message;
  query->OnThreadError = [&](TOracleQuery*, int error_code, const std::string& text) {
    code = error_code;
    message = text;
  };
  query->Execute();
  PumpUntilFinished();
  EXPECT_EQ(0, code);
  EXPECT_EQ(kSessionUndefined, message);
}

class QueryThreadFetchTest : public QueryThreadTest, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(Synchronized, QueryThreadFetchTest, ::testing::Bool());

TEST_P(QueryThreadFetchTest, every_row_of_a_large_result_reaches_the_record_event) {
  FillNumbers(kManyRows);
  query->ThreadSynchronized = GetParam();
  query->SetReadBuffer(500);
  query->SQL().SetText("select n from numbers order by n");
  std::atomic<int> rows{0};
  int64_t sum = 0;
  bool right_thread = true;
  query->OnThreadRecord = [&](TOracleQuery* sender) {
    sum += sender->FieldInteger(0);
    ++rows;
    right_thread = right_thread && IsMainThread() == GetParam();
  };
  query->Execute();
  PumpUntilFinished();
  EXPECT_TRUE(right_thread);
  EXPECT_EQ(kManyRows, rows.load());
  EXPECT_EQ(static_cast<int64_t>(kManyRows) * (kManyRows + 1) / 2, sum);
  EXPECT_TRUE(query->Eof());
  // A second run on the same thread sees the rows again.
  finished = false;
  rows = 0;
  sum = 0;
  query->Execute();
  PumpUntilFinished();
  EXPECT_EQ(kManyRows, rows.load());
}

TEST_F(QueryThreadTest, execute_and_describe_are_refused_while_the_thread_runs) {
  query->SQL().SetText("select 'x' from dual");
  std::atomic<bool> executed{false};
  query->OnThreadExecuted = [&](TOracleQuery*) { executed = true; };
  query->Execute();
  // The thread waits in Synchronize for this thread, so it is still running here.
  try {
    query->Execute();
    FAIL() << "a second Execute was accepted";
  } catch (const Exception& error) {
    EXPECT_EQ(kThreadInProgress, error.Message);
  }
  EXPECT_THROW(query->Describe(), Exception);
  PumpUntilFinished();
  EXPECT_TRUE(executed.load());
  finished = false;
  query->Execute();  // accepted again once finished
  PumpUntilFinished();
}

TEST_F(QueryThreadTest, the_finished_handler_may_execute_the_query_again) {
  query->SQL().SetText("select 'x' from dual");
  int runs = 0;
  query->OnThreadFinished = [&](TOracleQuery* sender) {
    if (++runs < 3)
      sender->Execute();
    else
      finished = true;
  };
  query->Execute();
  PumpUntilFinished();
  EXPECT_EQ(3, runs);
}

TEST_F(QueryThreadTest, a_threaded_array_insert_reports_its_failing_row_on_the_thread_and_goes_on) {
  TOracleQuery setup;
  setup.SetSession(session.get());
  setup.SQL().SetText("create table uniq (id number(5) primary key)");
  setup.Execute();
  query->DeclareVariable("id", 3);
  query->SetVariable("id", VarArrayOf({1, 2, 3, 1, 5, 6, 7, 8, 9, 10}));
  query->SQL().SetText("insert into uniq values (:id)");
  std::vector<int> failed;  // written on the query's thread, read after it finished
  bool on_thread = true;
  query->OnArrayError = [&](TOracleQuery*, int index, int code, const std::string&, bool&) {
    failed.push_back(index * 10000 + code);
    on_thread = on_thread && !IsMainThread();
  };
  query->OnThreadError = [this](TOracleQuery*, int, const std::string&) { events.push_back("error"); };
  query->Execute();
  PumpUntilFinished();
  EXPECT_EQ(std::vector<int>{30001}, failed) << "the 4th element, ORA-00001";
  EXPECT_TRUE(on_thread);
  EXPECT_EQ(std::vector<std::string>{"finished"}, events) << "a handled row error is no thread error";
  setup.SQL().SetText("select count(*) from uniq");
  setup.Execute();
  EXPECT_EQ(9, setup.FieldInteger(0));
}

TEST_P(QueryThreadFetchTest, destroying_the_query_stops_a_running_thread) {
  FillNumbers(kManyRows);
  query->ThreadSynchronized = GetParam();
  query->SQL().SetText("select n from numbers");
  std::atomic<int> rows{0};
  query->OnThreadRecord = [&](TOracleQuery*) { ++rows; };
  query->OnThreadFinished = [&](TOracleQuery*) { finished = true; };
  query->Execute();
  while (rows.load() < 10) {
    if (!CheckSynchronize()) std::this_thread::yield();
  }
  query.reset();
  EXPECT_LT(rows.load(), kManyRows);
  EXPECT_FALSE(finished.load()) << "a terminated thread does not report finishing";
}

TEST_F(QueryThreadTest, four_threaded_queries_run_at_once_on_four_pooled_sessions) {
  FillNumbers(1000);
  TOracleSessionPool pool;
  std::vector<std::unique_ptr<TOracleSession>> pooled;
  std::vector<std::unique_ptr<TOracleQuery>> queries;
  std::atomic<int> done{0};
  std::atomic<int64_t> total{0};
  for (int i = 0; i < 4; ++i) {
    pooled.push_back(MakeSession());
    pooled.back()->SetPool(&pool);
    pooled.back()->LogOn();
    queries.push_back(std::make_unique<TOracleQuery>());
    TOracleQuery& q = *queries.back();
    q.SetSession(pooled.back().get());
    q.Threaded = true;
    q.ThreadSynchronized = false;
    q.SQL().SetText("select n from numbers where mod(n, 4) = " + std::to_string(i));
    q.OnThreadRecord = [&total](TOracleQuery* sender) { total += sender->FieldInteger(0); };
    q.OnThreadFinished = [&done](TOracleQuery*) { ++done; };
  }
  EXPECT_EQ(4, pool.Count());
  for (auto& q : queries) q->Execute();
  while (done.load() < 4) std::this_thread::yield();
  EXPECT_EQ(1000 * 1001 / 2, total.load());
  queries.clear();
  pooled.clear();
}

}  // namespace
}  // namespace kvell::testing
