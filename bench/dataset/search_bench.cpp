// Searching and master/detail against the layers beneath them, side by side
// in one run on one ociemu session:
//  - Locate of the value in the last of 1,000,000 held records against the
//    filter evaluator testing the same values in memory for equality;
//  - scrolling a master of 1,000 rows, each move re-querying its detail,
//    against the same detail queries run by hand through TOracleQuery.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/filter/parser.h"
#include "tests/filter/record_columns.h"

#include "../session/bench_session.h"

namespace {

using namespace kvell;

constexpr int kRows = 1000000;
constexpr int kMasters = 1000;
constexpr int kDetailsPerMaster = 5;
constexpr int kBatch = 1000;
constexpr const char* kDetailSelect = "select rowid, id, master_id, name from detail where master_id = :master_id";

std::string name_of(int id) { return "name " + std::to_string(id); }

class SearchFixture {
 public:
  SearchFixture() : session_(bench::LogOnFresh("kvell_search_bench.db")) {
    run("create table bench (id number(9), name varchar2(30))");
    fill("insert into bench values (:id, :name)", kRows, [](int id) { return id; });
    run("create table master (id number(9), name varchar2(30))");
    fill("insert into master values (:id, :name)", kMasters, [](int id) { return id; });
    run("create table detail (id number(9), master_id number(9), name varchar2(30))");
    fill("insert into detail values (:id, :master_id, :name)", kMasters * kDetailsPerMaster,
         [](int id) { return id / kDetailsPerMaster; });
    run("create index detail_master on detail (master_id)");
    session_->Commit();
  }
  TOracleSession& session() { return *session_; }

 private:
  // Rows id = 0 .. rows - 1; a statement with :master_id gets key(id) there.
  template <class Key>
  void fill(const std::string& sql, int rows, Key key) {
    TOracleQuery insert;
    insert.SetSession(session_.get());
    insert.SQL().SetText(sql);
    const bool keyed = sql.find(":master_id") != std::string::npos;
    insert.DeclareVariable("id", 3);
    insert.DeclareVariable("name", 5);
    if (keyed) insert.DeclareVariable("master_id", 3);
    for (int first = 0; first < rows; first += kBatch) {
      const int count = std::min(kBatch, rows - first);
      std::vector<Variant> ids, names, keys;
      for (int id = first; id < first + count; ++id) {
        ids.emplace_back(id);
        names.emplace_back(name_of(id));
        keys.emplace_back(key(id));
      }
      insert.SetVariable("id", Variant::FromArray(std::move(ids)));
      insert.SetVariable("name", Variant::FromArray(std::move(names)));
      if (keyed) insert.SetVariable("master_id", Variant::FromArray(std::move(keys)));
      insert.ExecuteArray(0, count);
    }
  }
  void run(const std::string& sql) {
    TOracleQuery query;
    query.SetSession(session_.get());
    query.SQL().SetText(sql);
    query.Execute();
  }

  std::unique_ptr<TOracleSession> session_;
};

SearchFixture* fixture = nullptr;

std::unique_ptr<TOracleDataSet> make_dataset(const std::string& sql) {
  auto dataset = std::make_unique<TOracleDataSet>();
  dataset->SetSession(&fixture->session());
  dataset->SetSQLText(sql);
  dataset->SetReadBuffer(100);
  return dataset;
}

// ---- Locate against the filter evaluator ----

void BM_LocateLastOfHeldRecords(benchmark::State& state) {
  auto dataset = make_dataset("select id, name from bench");
  dataset->Open();
  const std::string last = name_of(kRows - 1);
  for (auto _ : state) {
    dataset->First();
    if (!dataset->Locate("NAME", last, 0)) state.SkipWithError("not found");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_LocateLastOfHeldRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FilterEvaluatorEquality(benchmark::State& state) {
  testing::RecordTable table({{"ID", etInteger}, {"NAME", etString}});
  std::vector<testing::Record> records;
  records.reserve(kRows);
  for (int id = 0; id < kRows; ++id) records.push_back({testing::Integer(id), testing::Text(name_of(id))});
  TExpressionPtr filter = ParseFilterExpression("NAME = '" + name_of(kRows - 1) + "'", {}, table.Resolver());
  for (auto _ : state) {
    const testing::Record* found = nullptr;
    for (const testing::Record& record : records) {
      table.SetCurrent(record);
      if (filter->AsBoolean()) {
        found = &record;
        break;
      }
    }
    if (!found) state.SkipWithError("not found");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_FilterEvaluatorEquality)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- master/detail against queries by hand ----

void BM_MasterScrollRequeriesDetails(benchmark::State& state) {
  auto master = make_dataset("select id, name from master order by id");
  auto detail = make_dataset(kDetailSelect);
  detail->DeclareVariable("master_id", 3);
  detail->MasterFields = "ID";
  detail->DetailFields = "MASTER_ID";
  detail->SetMaster(master.get());
  master->Open();
  detail->Open();
  int64_t held = 0;
  for (auto _ : state) {
    for (master->First(); !master->Eof(); master->Next()) held += detail->RecordCount();
  }
  if (held != static_cast<int64_t>(state.iterations()) * kMasters * kDetailsPerMaster)
    state.SkipWithError("detail rows");
  state.SetItemsProcessed(state.iterations() * kMasters);
}
BENCHMARK(BM_MasterScrollRequeriesDetails)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DetailQueriesByHand(benchmark::State& state) {
  TOracleQuery query;
  query.SetSession(&fixture->session());
  query.SetReadBuffer(100);
  query.SQL().SetText(kDetailSelect);
  query.DeclareVariable("master_id", 3);
  int64_t held = 0;
  for (auto _ : state) {
    for (int id = 0; id < kMasters; ++id) {
      query.SetVariable("master_id", id);
      std::vector<std::array<Variant, 4>> rows;
      for (query.Execute(); !query.Eof(); query.Next()) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < 4; ++i) row[static_cast<size_t>(i)] = query.FieldValue(i);
      }
      held += static_cast<int64_t>(rows.size());
    }
  }
  if (held != static_cast<int64_t>(state.iterations()) * kMasters * kDetailsPerMaster)
    state.SkipWithError("detail rows");
  state.SetItemsProcessed(state.iterations() * kMasters);
}
BENCHMARK(BM_DetailQueriesByHand)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, fixture); }
