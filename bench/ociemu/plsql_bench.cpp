// The PL/SQL block "begin :n := :n + 1; end;" against the query
// "select :n + 1 from dual", each executed 100,000 times on one session with
// the same integer bind: what running a block costs next to a query. Then a
// block's loop over an object attribute against the same loop over a NUMBER.
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

// One block whose loop adds to a value 20,000 times, held in an attribute of an object
// variable (each turn reads and writes it; argument 1) or in a NUMBER variable (argument 0).
constexpr int kLoopTurns = 20000;

void attribute_loop(benchmark::State& state) {
  Connection c(bench_database("ociemu_bench_attribute.db"));
  OCIStmt* type = c.prepare("create or replace type bench_point as object (x number, y number)");
  c.check(OCIStmtExecute(c.svc, type, c.err, 1, 0, nullptr, nullptr, 0), "type");
  OCIHandleFree(type, OCI_HTYPE_STMT);
  const std::string body = state.range(0) ? "p.x := p.x + 1; end loop; :n := p.x; end;"
                                          : "v := v + 1; end loop; :n := v; end;";
  OCIStmt* stmt = c.prepare("declare p bench_point := bench_point(0, 0); v number := 0; begin for i in 1 .. " +
                            std::to_string(kLoopTurns) + " loop " + body);
  long long n = 0;
  OCIBind* bind = nullptr;
  OCIBindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(":n"), 2, &n, sizeof n, SQLT_INT, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
  for (auto _ : state) {
    c.check(OCIStmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, 0), "loop");
    if (n != kLoopTurns) state.SkipWithError("the loop lost turns");
  }
  state.SetItemsProcessed(state.iterations() * kLoopTurns);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace

BENCHMARK(block_increment)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(select_increment)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(attribute_loop)->ArgName("attribute")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
