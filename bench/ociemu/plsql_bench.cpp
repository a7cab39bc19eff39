// The PL/SQL block "begin :n := :n + 1; end;" against the query
// "select :n + 1 from dual", each executed 100,000 times on one session with
// the same integer bind: what running a block costs next to a query.
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

using ociemu::bench::bench_database;
using ociemu::bench::Connection;

constexpr int kExecutions = 100000;

void block_increment(benchmark::State& state) {
  Connection c(bench_database("ociemu_bench_plsql.db"));
  OCIStmt* stmt = c.prepare("begin :n := :n + 1; end;");
  long long n = 0;
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(":n"), 2, &n, sizeof n, SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  for (auto _ : state) {
    for (int i = 0; i < kExecutions; ++i) c.check(OCIStmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, 0), "block");
  }
  if (n != static_cast<long long>(state.iterations()) * kExecutions) state.SkipWithError("the block lost increments");
  state.SetItemsProcessed(state.iterations() * kExecutions);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

void select_increment(benchmark::State& state) {
  Connection c(bench_database("ociemu_bench_select.db"));
  OCIStmt* stmt = c.prepare("select :n + 1 from dual");
  long long n = 0, result = 0;
  OCIBind* bind = nullptr;
  OCIDefine* define = nullptr;
  OCIBindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(":n"), 2, &n, sizeof n, SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  OCIDefineByPos(stmt, &define, c.err, 1, &result, sizeof result, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
  for (auto _ : state) {
    for (int i = 0; i < kExecutions; ++i) {
      c.check(OCIStmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, 0), "select");
      n = result;
    }
  }
  if (n != static_cast<long long>(state.iterations()) * kExecutions) state.SkipWithError("the query lost increments");
  state.SetItemsProcessed(state.iterations() * kExecutions);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace

BENCHMARK(block_increment)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(select_increment)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
