// Run: build/bench/session/object_bench. Fetching 100,000 rows with an object
// column (T_POINT: X, Y numbers) in arrays of 100 rows through TOracleQuery
// against a raw SQLT_NTY define and fetch loop on the same ociemu table; both
// read X of every row's instance and free the previous array's instances.
// The ratio of the pair is the object layer's cost.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_session.h"
#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace {

using namespace kvell;

constexpr int kRows = 100000;
constexpr int kBatch = 1000;
constexpr ub4 kFetchRows = 100;
constexpr const char* kSelect = "select id, p from pts";
constexpr ub4 kAttrRowsFetched = 197;  // rows of the last fetch call

void run(TOracleSession& session, const std::string& sql) {
  TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(sql);
  query.Execute();
}

struct Fixture {
  Fixture() {
    session = bench::LogOnFresh("kvell_object_bench.db");
    run(*session, "create type t_point as object (x number, y number)");
    run(*session, "create table pts (id number(9), p t_point)");
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText("insert into pts values (:id, t_point(:x, :y))");
    insert.DeclareVariable("id", 3);
    insert.DeclareVariable("x", 4);
    insert.DeclareVariable("y", 4);
    for (int first = 0; first < kRows; first += kBatch) {
      std::vector<Variant> ids(kBatch), xs(kBatch), ys(kBatch);
      for (int i = 0; i < kBatch; ++i) {
        const auto k = static_cast<size_t>(i);
        ids[k] = Variant(first + i);
        xs[k] = Variant((first + i) * 0.5);
        ys[k] = Variant(-(first + i) * 0.25);
      }
      insert.SetVariable("id", Variant::FromArray(std::move(ids)));
      insert.SetVariable("x", Variant::FromArray(std::move(xs)));
      insert.SetVariable("y", Variant::FromArray(std::move(ys)));
      insert.ExecuteArray(0, kBatch);
    }
    session->Commit();
  }
  std::unique_ptr<TOracleSession> session;
};

Fixture* current = nullptr;  // lives through main's benchmark run

void query_fetch(benchmark::State& state) {
  TOracleSession& session = *current->session;
  double sum = 0;
  for (auto _ : state) {
    TOracleQuery query;
    query.SetSession(&session);
    query.SetReadBuffer(static_cast<int>(kFetchRows));
    query.SQL().SetText(kSelect);
    query.Execute();
    auto& point = dynamic_cast<TOracleObject&>(*query.FieldObject(1));
    TObjectAttribute& x = point.Attribute(0);
    for (; !query.Eof(); query.Next()) sum += x.Value().AsDouble();
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRows);
}

void raw_fetch(benchmark::State& state) {
  TOracleSession& session = *current->session;
  OCIEnv* env = session.EnvironmentHandle();
  OCIError* error = nullptr;
  OCIHandleAlloc(env, reinterpret_cast<void**>(&error), OCI_HTYPE_ERROR, 0, nullptr);
  OCIType* tdo = nullptr;
  bench::CheckOrAbort(OCITypeByName(env, error, session.ServiceContext(), nullptr, 0,
                                    reinterpret_cast<const oratext*>("T_POINT"), 7, nullptr, 0, 10, 0, &tdo),
                      error);
  double sum = 0;
  for (auto _ : state) {
    OCIStmt* statement = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&statement), OCI_HTYPE_STMT, 0, nullptr);
    bench::CheckOrAbort(OCIStmtPrepare(statement, error, reinterpret_cast<const OraText*>(kSelect),
                                       static_cast<ub4>(std::strlen(kSelect)), OCI_NTV_SYNTAX, OCI_DEFAULT),
                        error);
    std::vector<int32_t> ids(kFetchRows);
    std::vector<void*> instances(kFetchRows, nullptr), nulls(kFetchRows, nullptr);
    std::vector<sb2> indicators(kFetchRows);
    OCIDefine* id_define = nullptr;
    OCIDefine* point_define = nullptr;
    bench::CheckOrAbort(OCIDefineByPos(statement, &id_define, error, 1, ids.data(), 4, 3, indicators.data(), nullptr,
                                       nullptr, OCI_DEFAULT),
                        error);
    bench::CheckOrAbort(OCIDefineByPos(statement, &point_define, error, 2, instances.data(), sizeof(void*), 108,
                                       nullptr, nullptr, nullptr, OCI_DEFAULT),
                        error);
    bench::CheckOrAbort(OCIDefineObject(point_define, error, tdo, instances.data(), nullptr, nulls.data(), nullptr),
                        error);
    bench::CheckOrAbort(OCIStmtExecute(session.ServiceContext(), statement, error, 0, 0, nullptr, nullptr, OCI_DEFAULT),
                        error);
    for (;;) {
      for (void*& instance : instances) {
        if (instance) OCIObjectFree(env, error, instance, 0);
        instance = nullptr;
      }
      const sword status = OCIStmtFetch2(statement, error, kFetchRows, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      bench::CheckOrAbort(status, error);
      ub4 rows = 0;
      OCIAttrGet(statement, OCI_HTYPE_STMT, &rows, nullptr, kAttrRowsFetched, error);
      for (ub4 i = 0; i < rows; ++i) {
        double x = 0;
        bench::CheckOrAbort(OCINumberToReal(error, static_cast<const OCINumber*>(instances[i]), sizeof x, &x), error);
        sum += x;
      }
      if (status == OCI_NO_DATA || rows < kFetchRows) break;
    }
    for (void* instance : instances) {
      if (instance) OCIObjectFree(env, error, instance, 0);
    }
    OCIHandleFree(statement, OCI_HTYPE_STMT);
  }
  OCIObjectUnpin(env, error, tdo);
  OCIHandleFree(error, OCI_HTYPE_ERROR);
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(raw_fetch)->Unit(benchmark::kMillisecond);
BENCHMARK(query_fetch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, current); }
