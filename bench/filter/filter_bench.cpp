// Records per second that a parsed filter accepts or rejects over in-memory
// records, next to SQLite scanning the same rows with the same predicate.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <random>
#include <stdexcept>

#include "oracle/filter/oracle_filter.h"
#include "tests/filter/record_columns.h"

namespace {

using namespace kvell;
using namespace kvell::testing;

constexpr int RecordCount = 1'000'000;
constexpr const char* Filter = "(SAL > 1000) AND (NAME = 'SM*') OR (DEPTNO = 10)";
constexpr const char* Sql =
    "SELECT count(*) FROM emp WHERE (sal > 1000 AND name GLOB 'SM*') OR deptno = 10";

struct Row {
  std::string name;
  double sal;
  int deptno;
};

const std::vector<Row>& rows() {
  static const std::vector<Row> rows = [] {
    static const char* names[] = {"SMITH", "ALLEN", "WARD", "JONES", "MARTIN", "BLAKE", "CLARK",
                                  "SCOTT", "KING", "TURNER", "ADAMS", "JAMES", "FORD", "SMYTHE"};
    std::mt19937 random(42);
    std::vector<Row> result;
    result.reserve(RecordCount);
    for (int i = 0; i < RecordCount; ++i)
      result.push_back({names[random() % 14], static_cast<double>(random() % 5000), static_cast<int>(random() % 5) * 10});
    return result;
  }();
  return rows;
}

void filter_tree(benchmark::State& state) {
  RecordTable table({{"NAME", etString}, {"SAL", etFloat}, {"DEPTNO", etInteger}});
  std::vector<Record> records;
  records.reserve(RecordCount);
  for (const Row& row : rows()) records.push_back({Text(row.name), Number(row.sal), Integer(row.deptno)});
  TExpressionPtr root = ParseFilterExpression(Filter, {}, table.Resolver());
  int64_t accepted = 0;
  for (auto _ : state) {
    accepted = 0;
    for (const Record& record : records) {
      table.SetCurrent(record);
      accepted += root->AsBoolean();
    }
    benchmark::DoNotOptimize(accepted);
  }
  state.counters["accepted"] = static_cast<double>(accepted);
  state.SetItemsProcessed(state.iterations() * RecordCount);
}

void check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
}

void sqlite_scan(benchmark::State& state) {
  sqlite3* db = nullptr;
  check(sqlite3_open(":memory:", &db), db);
  check(sqlite3_exec(db, "CREATE TABLE emp(name TEXT, sal REAL, deptno INTEGER); BEGIN", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, "INSERT INTO emp VALUES (?, ?, ?)", -1, &insert, nullptr), db);
  for (const Row& row : rows()) {
    sqlite3_bind_text(insert, 1, row.name.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 2, row.sal);
    sqlite3_bind_int(insert, 3, row.deptno);
    check(sqlite3_step(insert), db);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
  sqlite3_stmt* query = nullptr;
  check(sqlite3_prepare_v2(db, Sql, -1, &query, nullptr), db);
  int64_t accepted = 0;
  for (auto _ : state) {
    check(sqlite3_step(query), db);
    accepted = sqlite3_column_int64(query, 0);
    sqlite3_reset(query);
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  state.counters["accepted"] = static_cast<double>(accepted);
  state.SetItemsProcessed(state.iterations() * RecordCount);
}

BENCHMARK(filter_tree)->Unit(benchmark::kMillisecond);
BENCHMARK(sqlite_scan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
