// Single-row edits posted through TOracleDataSet (lmCheckImmediate,
// CommitOnPost) against the same statements issued by hand through
// TOracleQuery, side by side in one run on one ociemu session. Each run edits every one of 10,000
// rows once; the counters give the rate of posts and the statements a post sent.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/oracle_dataset.h"

#include "../session/bench_session.h"
#include "edit_rows.h"

namespace {

using namespace kvell;

constexpr int kRows = 10000;

class EditFixture {
 public:
  EditFixture() : session_(bench::LogOnFresh("kvell_dataset_edit_bench.db")) {
    bench::CreateNumberedRows(*session_, "edits", kRows, true);
  }
  TOracleSession& session() { return *session_; }
  // A second session on the same database that prepares through the client's statement cache.
  TOracleSession& cached_session() {
    if (!cached_session_) {
      cached_session_ = std::make_unique<TOracleSession>();
      cached_session_->SetLogonUsername("SCOTT");
      cached_session_->SetLogonPassword("tiger");
      cached_session_->SetLogonDatabase(session_->LogonDatabase());
      cached_session_->SetStatementCache(true);
      cached_session_->LogOn();
    }
    return *cached_session_;
  }

 private:
  std::unique_ptr<TOracleSession> session_;
  std::unique_ptr<TOracleSession> cached_session_;
};

EditFixture* fixture = nullptr;

// Exposes the statement count of the dataset's writer.
class CountingDataSet : public TOracleDataSet {
 public:
  using TOracleDataSet::TOracleDataSet;
  ~CountingDataSet() override { BeforeDestruction(); }
};

void BM_DataSetEdits(benchmark::State& state) {
  CountingDataSet dataset;
  dataset.SetSession(state.range(0) ? &fixture->cached_session() : &fixture->session());
  dataset.SetSQLText("select rowid, id, amount, name from edits order by id");
  dataset.LockingMode = lmCheckImmediate;
  dataset.CommitOnPost = true;
  dataset.Open();
  int64_t posts = 0;
  double bump = 1;
  for (auto _ : state) {
    posts += bench::BumpEveryAmount(dataset, bump);
    bump += 1;
  }
  state.counters["posts_per_s"] = benchmark::Counter(static_cast<double>(posts), benchmark::Counter::kIsRate);
  state.counters["statements_per_post"] =
      static_cast<double>(dataset.StatementsSent()) / static_cast<double>(posts);
}
// Argument 1: the session prepares through the client's statement cache.
BENCHMARK(BM_DataSetEdits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same rows changed by hand with the dataset's own statement texts,
// each prepared once. Argument 0: the three statements a hand-written
// program needs (lock and compare, update, commit). Argument 1: the five the
// dataset sends, adding the compare when editing starts and the savepoint
// before the lock, so that the layer's own cost shows apart from the
// statements it is asked to send. The rows are read before the timing starts,
// as the dataset holds its records: a cursor left open across the commits
// would keep ociemu's SQLite from checkpointing and spare this side the
// syncs the dataset pays.
struct HeldRow {
  std::string RowId;
  double Amount;
  std::string Name;
};

std::vector<HeldRow> held_rows(TOracleSession& session) {
  TOracleQuery rows;
  rows.SetSession(&session);
  rows.SQL().SetText("select rowid, id, amount, name from edits order by id");
  std::vector<HeldRow> held;
  for (rows.Execute(); !rows.Eof(); rows.Next()) held.push_back({rows.FieldText(0), rows.FieldFloat(2), rows.FieldText(3)});
  return held;
}

// Reads the row through `query` and stops the run when it is not as held.
void compare(TOracleQuery& query, const HeldRow& row) {
  query.SetVariable("kvell__rowid", row.RowId);
  query.Execute();
  if (query.Eof() || query.FieldFloat(1) != row.Amount || query.FieldText(2) != row.Name) std::abort();
}

struct HandQueries {
  TOracleQuery& check;
  TOracleQuery& savepoint;
  TOracleQuery& lock;
  TOracleQuery& update;
};

// One post by hand. Kept out of line, like BumpEveryAmount, so that a profile
// can collect the timed posts alone (callgrind --toggle-collect='*post_by_hand*'
// against '*BumpEveryAmount*'), without the rows each side reads first.
[[gnu::noinline]] void post_by_hand(const HandQueries& queries, HeldRow& row, double bump, bool as_dataset) {
  if (as_dataset) {
    compare(queries.check, row);
    queries.savepoint.Execute();
  }
  compare(queries.lock, row);
  queries.update.SetVariable("v2", row.Amount + bump);
  queries.update.SetVariable("kvell__rowid", row.RowId);
  queries.update.Execute();
  queries.update.Session()->Commit();
  row.Amount += bump;
}

void BM_HandWrittenEdits(benchmark::State& state) {
  const bool as_dataset = state.range(0) != 0;
  TOracleSession& session = fixture->session();
  TOracleQuery check, savepoint, lock, update;
  for (TOracleQuery* query : {&check, &savepoint, &lock, &update}) query->SetSession(&session);
  check.SQL().SetText("select * from EDITS where rowid = :kvell__rowid");
  check.DeclareVariable("kvell__rowid", 5);
  savepoint.SQL().SetText("savepoint KVELL__LOCKPOINT");
  lock.SQL().SetText("select * from EDITS where rowid = :kvell__rowid\r\nfor update nowait");
  lock.DeclareVariable("kvell__rowid", 5);
  update.SQL().SetText("update EDITS\r\nset AMOUNT = :v2\r\nwhere rowid = :kvell__rowid\r\nreturning rowid into :kvell__rowid");
  update.DeclareVariable("v2", 4);
  update.DeclareVariable("kvell__rowid", 5);
  std::vector<HeldRow> rows = held_rows(session);
  const HandQueries queries{check, savepoint, lock, update};
  int64_t posts = 0;
  double bump = 1;
  for (auto _ : state) {
    for (HeldRow& row : rows) {
      post_by_hand(queries, row, bump, as_dataset);
      ++posts;
    }
    bump += 1;
  }
  state.counters["posts_per_s"] = benchmark::Counter(static_cast<double>(posts), benchmark::Counter::kIsRate);
  state.counters["statements_per_post"] = as_dataset ? 5 : 3;
}
BENCHMARK(BM_HandWrittenEdits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, fixture); }
