// Opening 100 datasets on one table with the dictionary switches on
// (EnforceConstraints, DefaultValues, DisplayFormats) against the same 100
// with them off, side by side on one ociemu session. The table's dictionary
// entry is read once per session, so the switches should cost little; the
// dictionary statements sent are reported as a counter.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/table_info.h"

#include "../session/bench_session.h"

namespace {

using namespace kvell;

constexpr int kDataSets = 100;
constexpr const char* kSelect = "select rowid, id, status, amount, placed from orders";

class DictionaryFixture {
 public:
  DictionaryFixture() : session_(bench::LogOnFresh("kvell_dictionary_bench.db")) {
    run("create table orders (id number(9) constraint orders_pk primary key, "
        "status varchar2(8) default 'NEW' constraint orders_status check (status in ('NEW', 'DONE')), "
        "amount number(10,2) default 0, placed date default sysdate)");
    for (int id = 0; id < 20; ++id) run("insert into orders (id) values (" + std::to_string(id) + ")");
    session_->Commit();
  }
  TOracleSession& session() { return *session_; }

 private:
  void run(const std::string& sql) {
    TOracleQuery query;
    query.SetSession(session_.get());
    query.SQL().SetText(sql);
    query.Execute();
  }
  std::unique_ptr<TOracleSession> session_;
};

DictionaryFixture* fixture = nullptr;

void open_datasets(benchmark::State& state, bool dictionary) {
  for (auto _ : state) {
    std::vector<std::unique_ptr<TOracleDataSet>> datasets;
    for (int i = 0; i < kDataSets; ++i) {
      auto dataset = std::make_unique<TOracleDataSet>();
      dataset->SetSession(&fixture->session());
      dataset->SetSQLText(kSelect);
      dataset->OracleDictionary.EnforceConstraints = dictionary;
      dataset->OracleDictionary.DefaultValues = dictionary;
      dataset->OracleDictionary.SetDisplayFormats(dictionary);
      dataset->Open();
      datasets.push_back(std::move(dataset));
    }
  }
  state.SetItemsProcessed(state.iterations() * kDataSets);
  // Everything the session's dictionary entries sent so far, for all runs.
  state.counters["dictionary_statements_in_session"] =
      static_cast<double>(TableInfoCache(fixture->session()).StatementsSent());
}

void BM_OpenWithDictionary(benchmark::State& state) { open_datasets(state, true); }
BENCHMARK(BM_OpenWithDictionary)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_OpenWithoutDictionary(benchmark::State& state) { open_datasets(state, false); }
BENCHMARK(BM_OpenWithoutDictionary)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, fixture); }
