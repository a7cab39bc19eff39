// Run: build/bench/session/pool_bench. Two pairs on ociemu: a reservation
// and release through a warm session pool against a plain logon and logoff,
// and four threaded queries on four pooled sessions at once against the same
// four queries run one after another. Each pair's rate ratio is the gain.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/session_pool.h"

namespace kvell {
namespace {

constexpr int kQueries = 4;
constexpr int kRows = 200000;

const std::string& database() {
  static const std::string path = (std::filesystem::temp_directory_path() / "kvell_pool_bench.db").string();
  return path;
}

void load_client() {
  if (OCILoaded()) return;
  OCIDLL = KVELL_BENCH_CLIENT;
  InitOCI();
}

std::unique_ptr<TOracleSession> make_session() {
  auto session = std::make_unique<TOracleSession>();
  session->SetLogonUsername("SCOTT");
  session->SetLogonPassword("tiger");
  session->SetLogonDatabase(database());
  session->Cursor = crDefault;
  return session;
}

void BM_PlainLogonLogoff(benchmark::State& state) {
  load_client();
  auto session = make_session();
  for (auto _ : state) {
    session->LogOn();
    session->LogOff();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainLogonLogoff)->UseRealTime();

void BM_PoolReserveRelease(benchmark::State& state) {
  load_client();
  TOracleSessionPool pool;
  auto session = make_session();
  session->SetPool(&pool);
  session->LogOn();  // warms the pool
  session->LogOff();
  for (auto _ : state) {
    session->LogOn();
    session->LogOff();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PoolReserveRelease)->UseRealTime();

// Four pooled sessions, each with a query on its own quarter of one table.
struct FourQueries {
  TOracleSessionPool pool;
  std::vector<std::unique_ptr<TOracleSession>> sessions;
  std::vector<std::unique_ptr<TOracleQuery>> queries;
  std::mutex mutex;
  std::condition_variable done_signal;
  int done = 0;  // guarded by mutex

  explicit FourQueries(bool threaded) {
    fill_table();
    for (int i = 0; i < kQueries; ++i) {
      sessions.push_back(make_session());
      sessions.back()->SetPool(&pool);
      sessions.back()->LogOn();
      auto query = std::make_unique<TOracleQuery>();
      query->SetSession(sessions.back().get());
      query->SetReadBuffer(500);
      query->SQL().SetText("select n, n * 2, 'row ' || n from numbers where mod(n, 4) = " + std::to_string(i));
      query->Threaded = threaded;
      query->ThreadSynchronized = false;
      query->OnThreadFinished = [this](TOracleQuery*) {
        std::lock_guard lock(mutex);
        ++done;
        done_signal.notify_all();
      };
      queries.push_back(std::move(query));
    }
  }
  ~FourQueries() {
    queries.clear();
    sessions.clear();
  }
  static void fill_table() {
    static bool filled = false;
    if (filled) return;
    filled = true;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(database() + suffix);
    auto session = make_session();
    session->LogOn();
    TOracleQuery fill;
    fill.SetSession(session.get());
    fill.SQL().SetText("create table numbers (n number(9))");
    fill.Execute();
    fill.DeclareVariable("n", 3);
    std::vector<Variant> numbers(kRows);
    for (int i = 0; i < kRows; ++i) numbers[static_cast<size_t>(i)] = Variant(i + 1);
    fill.SetVariable("n", Variant::FromArray(std::move(numbers)));
    fill.SQL().SetText("insert into numbers values (:n)");
    fill.Execute();
    session->Commit();
  }
  void run_threaded() {
    {
      std::lock_guard lock(mutex);
      done = 0;
    }
    for (auto& query : queries) query->Execute();
    std::unique_lock lock(mutex);
    done_signal.wait(lock, [this] { return done == kQueries; });
  }
  void run_sequential() {
    for (auto& query : queries) {
      query->Execute();
      while (!query->Eof()) query->Next();
    }
  }
};

void BM_FourQueriesOneAfterAnother(benchmark::State& state) {
  load_client();
  FourQueries four(false);
  for (auto _ : state) four.run_sequential();
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FourQueriesOneAfterAnother)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FourThreadedQueriesAtOnce(benchmark::State& state) {
  load_client();
  FourQueries four(true);
  for (auto _ : state) four.run_threaded();
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FourThreadedQueriesAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kvell

BENCHMARK_MAIN();
