// Scrolls the in-memory dataset forward over a million records, reading an
// integer, a string and a float field of each; reports records per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "db/memory_dataset.h"

namespace {

constexpr int RecordTotal = 1000000;

std::unique_ptr<kvell::TMemoryDataSet> make_dataset() {
  auto ds = std::make_unique<kvell::TMemoryDataSet>(nullptr);
  ds->FieldDefs().Add("ID", kvell::ftInteger);
  ds->FieldDefs().Add("NAME", kvell::ftString, 30);
  ds->FieldDefs().Add("SAL", kvell::ftFloat);
  ds->Open();
  ds->DisableControls();
  for (int i = 0; i < RecordTotal; ++i) ds->AppendRecord({i, "name " + std::to_string(i), i * 1.5});
  ds->EnableControls();
  return ds;
}

void BM_ScrollForwardReadingThreeFields(benchmark::State& state) {
  auto ds = make_dataset();
  kvell::TField* id = ds->FieldByName("ID");
  kvell::TField* name = ds->FieldByName("NAME");
  kvell::TField* sal = ds->FieldByName("SAL");
  int64_t records = 0;
  for (auto _ : state) {
    int64_t checksum = 0;
    for (ds->First(); !ds->Eof(); ds->Next()) {
      checksum += id->AsInteger() + static_cast<int64_t>(name->AsString().size()) +
                  static_cast<int64_t>(sal->AsFloat());
      ++records;
    }
    benchmark::DoNotOptimize(checksum);
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScrollForwardReadingThreeFields)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
