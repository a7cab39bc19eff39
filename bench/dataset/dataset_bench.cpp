// TOracleDataSet against the layers beneath it, side by side in one run on
// one ociemu session:
//  - opening over 1,000,000 rows of five columns (QueryAllRecords) against a
//    TOracleQuery loop that reads every field with FieldValue into rows kept
//    in memory; counters give the bytes of record pages per held row against
//    the record size, and the rowid allocations of a select with rowid;
//  - a unidirectional walk over 5,000,000 rows: the growth of resident memory
//    from the start of the walk against two pages of records;
//  - Filtered switched on over 1,000,000 held records with a three-term
//    filter against the filter evaluator over the same values in memory.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/filter/parser.h"
#include "tests/filter/record_columns.h"

#include "../session/bench_session.h"
#include "../session/bench_table.h"

namespace {

using namespace kvell;

constexpr int kRows = 1000000;
constexpr int kWalkRows = 5000000;
constexpr int kReadBuffer = 100;
constexpr const char* kSelect = "select id, amount, name, day, note from bench";
constexpr const char* kFilter = "(ID > 1000) AND (AMOUNT < 200000) AND (NAME <> 'name 7*')";

class DataSetFixture {
 public:
  DataSetFixture() : session_(bench::LogOnFresh("kvell_dataset_bench.db")) { fill("bench", kRows); }
  TOracleSession& session() { return *session_; }
  // The walk's table is filled on first use, so that other runs skip it.
  void ensure_walk_table() {
    if (walk_filled_) return;
    fill("walk", kWalkRows);
    walk_filled_ = true;
  }

 private:
  void fill(const std::string& table, int rows) { bench::CreateAndFillTable(*session_, table, rows); }

  std::unique_ptr<TOracleSession> session_;
  bool walk_filled_ = false;
};

DataSetFixture* fixture = nullptr;

// Exposes the record store for the memory counters.
class MeasuredDataSet : public TOracleDataSet {
 public:
  using TOracleDataSet::TOracleDataSet;
  ~MeasuredDataSet() override { BeforeDestruction(); }
  using TOracleDataSet::RecordStore;
  int RecordBytes() const { return RecordStore()->RecordSize(); }
};

std::unique_ptr<MeasuredDataSet> make_dataset(const std::string& sql) {
  auto dataset = std::make_unique<MeasuredDataSet>();
  dataset->SetSession(&fixture->session());
  dataset->SetSQLText(sql);
  dataset->SetReadBuffer(kReadBuffer);
  return dataset;
}

void BM_QueryLoopIntoRows(benchmark::State& state) {
  for (auto _ : state) {
    TOracleQuery query;
    query.SetSession(&fixture->session());
    query.SetReadBuffer(kReadBuffer);
    query.SQL().SetText(kSelect);
    std::vector<std::array<Variant, 5>> rows;
    for (query.Execute(); !query.Eof(); query.Next()) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < 5; ++i) row[static_cast<size_t>(i)] = query.FieldValue(i);
    }
    benchmark::DoNotOptimize(rows.data());
    if (rows.size() != kRows) state.SkipWithError("row count");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryLoopIntoRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DataSetOpen(benchmark::State& state) {
  int64_t page_bytes = 0;
  int record_size = 0;
  for (auto _ : state) {
    auto dataset = make_dataset(kSelect);
    dataset->Open();
    page_bytes = dataset->RecordStore()->PageBytes();
    record_size = dataset->RecordBytes();
    if (dataset->RecordStore()->Count() != kRows) state.SkipWithError("row count");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["record_bytes"] = record_size;
  state.counters["page_bytes_per_row"] = static_cast<double>(page_bytes) / kRows;
}
BENCHMARK(BM_DataSetOpen)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DataSetOpenWithRowId(benchmark::State& state) {
  int64_t page_bytes = 0;
  int rowids = 0;
  for (auto _ : state) {
    const int before = RowIdAllocations().load();
    auto dataset = make_dataset("select rowid, id, amount, name, day, note from bench");
    dataset->Open();
    page_bytes = dataset->RecordStore()->PageBytes();
    rowids = RowIdAllocations().load() - before;
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["page_bytes_per_row"] = static_cast<double>(page_bytes) / kRows;
  state.counters["rowid_allocations"] = rowids;
}
BENCHMARK(BM_DataSetOpenWithRowId)->Unit(benchmark::kMillisecond)->Iterations(1);

int64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

void BM_UnidirectionalWalk(benchmark::State& state) {
  fixture->ensure_walk_table();
  int64_t growth = 0;
  int64_t start = 0;
  int record_size = 0;
  for (auto _ : state) {
    auto dataset = make_dataset("select id, amount, name, day, note from walk");
    dataset->SetUnidirectional(true);
    dataset->Open();
    start = resident_bytes();
    int rows = 0;
    for (dataset->First(); !dataset->Eof(); dataset->Next()) {
      if (++rows % 10000 == 0) growth = std::max(growth, resident_bytes() - start);
    }
    record_size = dataset->RecordBytes();
    if (rows != kWalkRows) state.SkipWithError("row count");
  }
  state.SetItemsProcessed(state.iterations() * kWalkRows);
  state.counters["rss_start_bytes"] = static_cast<double>(start);
  state.counters["rss_growth_bytes"] = static_cast<double>(growth);
  state.counters["two_pages_bytes"] = 2.0 * (kReadBuffer + 1) * record_size;
}
BENCHMARK(BM_UnidirectionalWalk)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DataSetFiltered(benchmark::State& state) {
  auto dataset = make_dataset(kSelect);
  dataset->SetFilterText(kFilter);
  dataset->Open();
  int visible = 0;
  for (auto _ : state) {
    dataset->SetFiltered(true);
    state.PauseTiming();
    visible = dataset->RecordStore()->FilteredCount();
    dataset->SetFiltered(false);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["visible"] = visible;
}
BENCHMARK(BM_DataSetFiltered)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FilterEvaluatorAlone(benchmark::State& state) {
  using testing::FieldValue;
  testing::RecordTable table({{"ID", etInteger}, {"AMOUNT", etFloat}, {"NAME", etString}, {"DAY", etDate},
                              {"NOTE", etString}});
  std::vector<testing::Record> records;
  records.reserve(kRows);
  for (int id = 0; id < kRows; ++id)
    records.push_back({testing::Integer(id), testing::Number(id * 0.25), testing::Text("name " + std::to_string(id)),
                       testing::Number(45000.0 + id % 3650),
                       testing::Text("a somewhat longer note for row " + std::to_string(id % 1000))});
  TExpressionPtr filter = ParseFilterExpression(kFilter, {}, table.Resolver());
  int visible = 0;
  for (auto _ : state) {
    std::vector<const testing::Record*> passing;
    for (const testing::Record& record : records) {
      table.SetCurrent(record);
      if (filter->AsBoolean()) passing.push_back(&record);
    }
    visible = static_cast<int>(passing.size());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["visible"] = visible;
}
BENCHMARK(BM_FilterEvaluatorAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, fixture); }
