// 10,000 cached edits applied by a TOracleDataSet (one savepoint, one
// update per row by rowid, one commit) against the same update statement run
// by hand through TOracleQuery between the same savepoint and commit, side by
// side on one ociemu session. The dataset's rate counts its edits in the
// records as well as the apply; "apply_per_s" is the apply alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"

#include "../session/bench_session.h"
#include "edit_rows.h"

namespace {

using namespace kvell;

constexpr int kRows = 10000;
constexpr const char* kSelect = "select rowid, id, amount from changes order by id";

class ChangesFixture {
 public:
  ChangesFixture() : session_(bench::LogOnFresh("kvell_cached_updates_bench.db")) {
    bench::CreateNumberedRows(*session_, "changes", kRows, false);
  }
  TOracleSession& session() { return *session_; }

 private:
  std::unique_ptr<TOracleSession> session_;
};

ChangesFixture* fixture = nullptr;

void BM_CachedEditsApplied(benchmark::State& state) {
  TOracleDataSet dataset;
  dataset.SetSession(&fixture->session());
  dataset.SetSQLText(kSelect);
  dataset.SetCachedUpdates(true);
  dataset.LockingMode = lmNone;
  dataset.Open();
  int64_t rows = 0;
  double apply_seconds = 0;
  for (auto _ : state) {
    rows += bench::BumpEveryAmount(dataset, 1);
    const auto start = std::chrono::steady_clock::now();
    dataset.ApplyUpdates();
    apply_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.counters["apply_per_s"] = static_cast<double>(rows) / apply_seconds;
}
BENCHMARK(BM_CachedEditsApplied)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_HandWrittenUpdates(benchmark::State& state) {
  TOracleSession& session = fixture->session();
  std::vector<std::pair<std::string, double>> held;
  {
    TOracleQuery rows;
    rows.SetSession(&session);
    rows.SQL().SetText(kSelect);
    for (rows.Execute(); !rows.Eof(); rows.Next()) held.emplace_back(rows.FieldText(0), rows.FieldFloat(2));
  }
  TOracleQuery savepoint, update;
  savepoint.SetSession(&session);
  savepoint.SQL().SetText("savepoint KVELL__LOCKPOINT");
  update.SetSession(&session);
  update.SQL().SetText("update CHANGES\r\nset AMOUNT = :v2\r\nwhere rowid = :kvell__rowid\r\nreturning rowid into :kvell__rowid");
  update.DeclareVariable("v2", 4);
  update.DeclareVariable("kvell__rowid", 5);
  int64_t rows = 0;
  for (auto _ : state) {
    savepoint.Execute();
    for (auto& [rowid, value] : held) {
      value += 1;
      update.SetVariable("v2", value);
      update.SetVariable("kvell__rowid", rowid);
      update.Execute();
      ++rows;
    }
    session.Commit();
  }
  state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HandWrittenUpdates)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, fixture); }
