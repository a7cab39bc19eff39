// Fetch rates of single columns whose stored form needs work on the way out, on one table:
// NUMBER columns holding 38-digit values (kept exactly) beside the same column kind holding
// plain integers, and a DATE column in each form a client defines it, beside SQLite
// reading the same dates directly.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using ociemu::bench::Connection;
using ociemu::bench::filled_database_file;

const int kRows = ociemu::bench::rows_from_environment("OCIEMU_BENCH_VALUE_ROWS", 200000);
constexpr int kBatch = 1000;
constexpr int kFetchBatch = 100;
constexpr int kTextSize = 48;

void fill_batch(int first, std::vector<int>& small, std::vector<char>& big, std::vector<ub2>& big_lengths,
                std::vector<OCIDate>& dates) {
  for (int i = 0; i < kBatch; ++i) {
    const int id = first + i;
    const auto at = static_cast<size_t>(i);
    small[at] = id;
    // 38 significant digits that no double holds, and a decimal point in some.
    const int length = id % 2 ? std::snprintf(&big[at * kTextSize], kTextSize, "12345678901234567890123456789%09d", id)
                              : std::snprintf(&big[at * kTextSize], kTextSize, "9876543210987654321.0987654321%08d", id);
    big_lengths[at] = static_cast<ub2>(length);
    OCIDate& date = dates[at];
    date = OCIDate{};
    date.OCIDateYYYY = static_cast<sb2>(1990 + id % 40);
    date.OCIDateMM = static_cast<ub1>(1 + id % 12);
    date.OCIDateDD = static_cast<ub1>(1 + id % 28);
    date.OCIDateTime = OCITime{static_cast<ub1>(id % 24), static_cast<ub1>(id % 60), static_cast<ub1>(id / 60 % 60)};
  }
}

void fill_table(Connection& c) {
  c.run("CREATE TABLE VALS (SMALL NUMBER, BIG NUMBER, WHEN_DONE DATE)");
  OCIStmt* stmt = c.prepare("INSERT INTO VALS VALUES (:1, :2, :3)");
  std::vector<int> small(kBatch);
  std::vector<char> big(size_t{kBatch} * kTextSize);
  std::vector<ub2> big_lengths(kBatch);
  std::vector<OCIDate> dates(kBatch);
  OCIBind* binds[3] = {};
  OCIBindByPos(stmt, &binds[0], c.err, 1, small.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[1], c.err, 2, big.data(), kTextSize, SQLT_CHR, nullptr, big_lengths.data(), nullptr, 0,
               nullptr, 0);
  OCIBindByPos(stmt, &binds[2], c.err, 3, dates.data(), sizeof(OCIDate), SQLT_ODT, nullptr, nullptr, nullptr, 0,
               nullptr, 0);
  c.insert_in_batches(stmt, kRows, kBatch, [&](int first) { fill_batch(first, small, big, big_lengths, dates); });
}

const std::string& filled_database() {
  static const std::string path = filled_database_file("ociemu_bench_values.db", fill_table);
  return path;
}

// Fetches one column of every row into elements of `size` bytes of external type `dty`.
[[gnu::noinline]] int64_t fetch_column_pass(Connection& c, const char* column, ub2 dty, sb4 size) {
  std::vector<char> values(static_cast<size_t>(size) * kFetchBatch);
  sb2 indicators[kFetchBatch];
  ub2 lengths[kFetchBatch];
  OCIStmt* stmt = c.prepare(std::string("SELECT ") + column + " FROM VALS");
  OCIDefine* define = nullptr;
  OCIDefineByPos(stmt, &define, c.err, 1, values.data(), size, dty, indicators, lengths, nullptr, OCI_DEFAULT);
  return c.fetch_to_end(stmt, kFetchBatch, [&] { benchmark::DoNotOptimize(values[0] + values[values.size() - 1]); });
}

void fetch_column(benchmark::State& state, const char* column, ub2 dty, sb4 size) {
  Connection c(filled_database());
  int64_t rows = 0;
  for (auto _ : state) rows += fetch_column_pass(c, column, dty, size);
  state.SetItemsProcessed(rows);
}

// The NUMBER pairs: the same column kind and external type, integers against 38-digit values.
BENCHMARK_CAPTURE(fetch_column, small_number_as_text, "SMALL", SQLT_STR, 48)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, exact_number_as_text, "BIG", SQLT_STR, 48)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, small_number_as_varnum, "SMALL", SQLT_VNU, 22)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, exact_number_as_varnum, "BIG", SQLT_VNU, 22)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, small_number_as_double, "SMALL", SQLT_FLT, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, exact_number_as_double, "BIG", SQLT_FLT, 8)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(fetch_column, date_as_dat, "WHEN_DONE", SQLT_DAT, 7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, date_as_ocidate, "WHEN_DONE", SQLT_ODT, sizeof(OCIDate))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(fetch_column, date_as_text, "WHEN_DONE", SQLT_STR, 32)->Unit(benchmark::kMillisecond);

[[gnu::noinline]] int64_t date_pass_straight_from_sqlite(sqlite3* db) {
  return ociemu::bench::step_to_end(db, "SELECT WHEN_DONE FROM \"SCOTT.VALS\"", [](sqlite3_stmt* stmt) {
    return sqlite3_column_bytes(stmt, 0) + sqlite3_column_text(stmt, 0)[0];
  });
}

void BM_DatesStraightFromSqlite(benchmark::State& state) {
  ociemu::bench::measure_sqlite_passes(state, filled_database(), date_pass_straight_from_sqlite);
}
BENCHMARK(BM_DatesStraightFromSqlite)->Unit(benchmark::kMillisecond);

}  // namespace
