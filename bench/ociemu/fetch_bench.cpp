// Rates of the emulator's array insert (1,000,000 rows in arrays of 1,000) and
// array fetch (arrays of 100 rows) of five columns and, on the same table, of
// plain SQLite prepared statements: the emulator's overhead over its engine.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {

using ociemu::bench::bench_database;
using ociemu::bench::Connection;
using ociemu::bench::filled_database_file;

// OCIEMU_BENCH_ROWS (a multiple of kInsertBatch) makes the table smaller, for runs under callgrind.
const int kRows = ociemu::bench::rows_from_environment("OCIEMU_BENCH_ROWS", 1000000);
constexpr int kInsertBatch = 1000;
constexpr int kFetchBatch = 100;

// Inserts kRows rows through array binds of kInsertBatch rows, committing once.
void insert_rows(Connection& c) {
  c.run("CREATE TABLE BENCH (ID NUMBER(10), NAME VARCHAR2(30), AMOUNT NUMBER(12,2), CODE NUMBER(10), NOTE VARCHAR2(30))");
  OCIStmt* stmt = c.prepare("INSERT INTO BENCH VALUES (:1, :2, :3, :4, :5)");
  std::vector<int> ids(kInsertBatch), codes(kInsertBatch);
  std::vector<double> amounts(kInsertBatch);
  std::vector<char> names(kInsertBatch * 30), notes(kInsertBatch * 30);
  std::vector<ub2> name_lengths(kInsertBatch), note_lengths(kInsertBatch);
  OCIBind* binds[5] = {};
  OCIBindByPos(stmt, &binds[0], c.err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[1], c.err, 2, names.data(), 30, SQLT_CHR, nullptr, name_lengths.data(), nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[2], c.err, 3, amounts.data(), sizeof(double), SQLT_FLT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[3], c.err, 4, codes.data(), sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0);
  OCIBindByPos(stmt, &binds[4], c.err, 5, notes.data(), 30, SQLT_CHR, nullptr, note_lengths.data(), nullptr, 0, nullptr, 0);
  c.insert_in_batches(stmt, kRows, kInsertBatch, [&](int first) {
    for (int i = 0; i < kInsertBatch; ++i) {
      int id = first + i;
      ids[size_t(i)] = id;
      codes[size_t(i)] = id % 977;
      amounts[size_t(i)] = id * 0.25;
      name_lengths[size_t(i)] = static_cast<ub2>(std::snprintf(&names[size_t(i) * 30], 30, "name %d", id));
      note_lengths[size_t(i)] = static_cast<ub2>(std::snprintf(&notes[size_t(i) * 30], 30, "note %d", id % 1000));
    }
  });
}

const std::string& filled_database() {
  static const std::string path = filled_database_file("ociemu_bench_fetch.db", insert_rows);
  return path;
}

void BM_ArrayInsert(benchmark::State& state) {
  for (auto _ : state) {
    Connection c(bench_database("ociemu_bench_insert.db"));
    insert_rows(c);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ArrayInsert)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same rows through SQLite's own prepared insert, one transaction, on a file in the same mode.
void BM_InsertStraightIntoSqlite(benchmark::State& state) {
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(bench_database("ociemu_bench_raw_insert.db").c_str(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE BENCH (ID NUMBER(10), NAME VARCHAR2(30), AMOUNT NUMBER(12,2), CODE NUMBER(10), "
                     "NOTE VARCHAR2(30))", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO BENCH VALUES (?1, ?2, ?3, ?4, ?5)", -1, &stmt, nullptr);
    char name[30], note[30];
    for (int id = 0; id < kRows; ++id) {
      sqlite3_bind_int(stmt, 1, id);
      sqlite3_bind_text(stmt, 2, name, std::snprintf(name, sizeof name, "name %d", id), SQLITE_STATIC);
      sqlite3_bind_double(stmt, 3, id * 0.25);
      sqlite3_bind_int(stmt, 4, id % 977);
      sqlite3_bind_text(stmt, 5, note, std::snprintf(note, sizeof note, "note %d", id % 1000), SQLITE_STATIC);
      if (sqlite3_step(stmt) != SQLITE_DONE) std::abort();
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertStraightIntoSqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

// One pass over every row, apart from the benchmark loop so that callgrind can count a pass
// alone (--toggle-collect='*fetch_pass_*'); returns the rows fetched.
[[gnu::noinline]] int64_t fetch_pass_through_emulator(Connection& c) {
  int ids[kFetchBatch], codes[kFetchBatch];
  double amounts[kFetchBatch];
  char names[kFetchBatch][31], notes[kFetchBatch][31];
  sb2 indicators[5][kFetchBatch];
  ub2 lengths[5][kFetchBatch];
  OCIStmt* stmt = c.prepare("SELECT ID, NAME, AMOUNT, CODE, NOTE FROM BENCH");
  OCIDefine* defines[5] = {};
  OCIDefineByPos(stmt, &defines[0], c.err, 1, ids, sizeof(int), SQLT_INT, indicators[0], lengths[0], nullptr, 0);
  OCIDefineByPos(stmt, &defines[1], c.err, 2, names, 31, SQLT_STR, indicators[1], lengths[1], nullptr, 0);
  OCIDefineByPos(stmt, &defines[2], c.err, 3, amounts, sizeof(double), SQLT_FLT, indicators[2], lengths[2], nullptr, 0);
  OCIDefineByPos(stmt, &defines[3], c.err, 4, codes, sizeof(int), SQLT_INT, indicators[3], lengths[3], nullptr, 0);
  OCIDefineByPos(stmt, &defines[4], c.err, 5, notes, 31, SQLT_STR, indicators[4], lengths[4], nullptr, 0);
  return c.fetch_to_end(stmt, kFetchBatch, [&] {
    benchmark::DoNotOptimize(ids[0] + codes[0] + amounts[0] + names[0][0] + notes[0][0]);
  });
}

[[gnu::noinline]] int64_t fetch_pass_straight_from_sqlite(sqlite3* db) {
  return ociemu::bench::step_to_end(db, "SELECT ID, NAME, AMOUNT, CODE, NOTE FROM \"SCOTT.BENCH\"", [](sqlite3_stmt* stmt) {
    int64_t sum = sqlite3_column_int64(stmt, 0);
    sum += sqlite3_column_bytes(stmt, 1) + sqlite3_column_text(stmt, 1)[0];
    sum += static_cast<int64_t>(sqlite3_column_double(stmt, 2));
    sum += sqlite3_column_int64(stmt, 3);
    return sum + sqlite3_column_bytes(stmt, 4) + sqlite3_column_text(stmt, 4)[0];
  });
}

void BM_FetchThroughEmulator(benchmark::State& state) {
  Connection c(filled_database());
  int64_t rows = 0;
  for (auto _ : state) rows += fetch_pass_through_emulator(c);
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_FetchThroughEmulator)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FetchStraightFromSqlite(benchmark::State& state) {
  ociemu::bench::measure_sqlite_passes(state, filled_database(), fetch_pass_straight_from_sqlite);
}
BENCHMARK(BM_FetchStraightFromSqlite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
