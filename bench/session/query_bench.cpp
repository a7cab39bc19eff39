// TOracleQuery against raw client loops through the same binding on the
// same ociemu table: fetching 1,000,000 rows of five columns (integer,
// float, string, date, string) in arrays of 100 rows with every field read,
// and inserting 1,000,000 rows through array binds. The ratio of each pair
// is the layer's cost; the memory counter gives bytes held per fetched row
// against the define sizes alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oci_constants.h"

#include "bench_session.h"

namespace {

using namespace kvell;
using bench::CheckOrAbort;
using bench::FreshDatabase;
using bench::LogOn;

constexpr int kRows = 1000000;
constexpr int kBatch = 1000;
constexpr int kFetchRows = 100;
constexpr const char* kCreate =
    "create table bench (id number(9), amount number, name varchar2(30), day date, note varchar2(30))";
constexpr const char* kInsert = "insert into bench values (:id, :amount, :name, :day, :note)";
constexpr const char* kSelect = "select id, amount, name, day, note from bench";

void run(TOracleSession& session, const std::string& sql) {
  TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(sql);
  query.Execute();
}

// Fills rows first .. first + kBatch - 1 of the query's five bound arrays.
void set_batch(TOracleQuery& query, int first) {
  std::vector<Variant> ids(kBatch), amounts(kBatch), names(kBatch), days(kBatch), notes(kBatch);
  for (int i = 0; i < kBatch; ++i) {
    const int id = first + i;
    const auto k = static_cast<size_t>(i);
    ids[k] = Variant(id);
    amounts[k] = Variant(id * 0.25);
    names[k] = Variant("name " + std::to_string(id));
    days[k] = Variant::FromDateTime(45000.0 + id % 3650);
    notes[k] = Variant("note " + std::to_string(id % 1000));
  }
  query.SetVariable("id", Variant::FromArray(std::move(ids)));
  query.SetVariable("amount", Variant::FromArray(std::move(amounts)));
  query.SetVariable("name", Variant::FromArray(std::move(names)));
  query.SetVariable("day", Variant::FromArray(std::move(days)));
  query.SetVariable("note", Variant::FromArray(std::move(notes)));
}

void insert_through_query(TOracleSession& session) {
  run(session, kCreate);
  TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(kInsert);
  query.DeclareVariable("id", 3);
  query.DeclareVariable("amount", 4);
  query.DeclareVariable("name", 5);
  query.DeclareVariable("day", 12);
  query.DeclareVariable("note", 5);
  for (int first = 0; first < kRows; first += kBatch) {
    set_batch(query, first);
    query.ExecuteArray(0, kBatch);
  }
  session.Commit();
}

struct RawStatement {
  TOracleSession& session;
  OCIError* error = nullptr;
  OCIStmt* statement = nullptr;
  RawStatement(TOracleSession& s, const std::string& sql) : session(s) {
    OCIHandleAlloc(s.EnvironmentHandle(), reinterpret_cast<void**>(&error), OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleAlloc(s.EnvironmentHandle(), reinterpret_cast<void**>(&statement), OCI_HTYPE_STMT, 0, nullptr);
    CheckOrAbort(OCIStmtPrepare(statement, error, reinterpret_cast<const OraText*>(sql.c_str()), static_cast<ub4>(sql.size()),
                         OCI_NTV_SYNTAX, OCI_DEFAULT),
          error);
  }
  ~RawStatement() {
    OCIHandleFree(statement, OCI_HTYPE_STMT);
    OCIHandleFree(error, OCI_HTYPE_ERROR);
  }
  void bind(const char* name, void* value, sb4 size, ub2 type, sb2* indicators) {
    OCIBind* bind = nullptr;
    CheckOrAbort(OCIBindByName(statement, &bind, error, reinterpret_cast<const OraText*>(name),
                        static_cast<sb4>(std::strlen(name)), value, size, type, indicators, nullptr, nullptr, 0,
                        nullptr, OCI_DEFAULT),
          error);
  }
  void define(ub4 position, void* buffer, sb4 size, ub2 type, sb2* indicators, ub2* lengths) {
    OCIDefine* define = nullptr;
    CheckOrAbort(OCIDefineByPos(statement, &define, error, position, buffer, size, type, indicators, lengths, nullptr,
                         OCI_DEFAULT),
          error);
  }
};

void insert_raw(TOracleSession& session) {
  run(session, kCreate);
  RawStatement insert(session, kInsert);
  std::vector<int32_t> ids(kBatch);
  std::vector<double> amounts(kBatch);
  std::vector<char> names(kBatch * 31), notes(kBatch * 31);
  std::vector<uint8_t> days(kBatch * 7);
  std::vector<sb2> indicators(kBatch, 0);
  insert.bind(":ID", ids.data(), 4, 3, indicators.data());
  insert.bind(":AMOUNT", amounts.data(), 8, 4, indicators.data());
  insert.bind(":NAME", names.data(), 31, 5, indicators.data());
  insert.bind(":DAY", days.data(), 7, 12, indicators.data());
  insert.bind(":NOTE", notes.data(), 31, 5, indicators.data());
  for (int first = 0; first < kRows; first += kBatch) {
    for (int i = 0; i < kBatch; ++i) {
      const int id = first + i;
      const auto k = static_cast<size_t>(i);
      ids[k] = id;
      amounts[k] = id * 0.25;
      std::snprintf(&names[k * 31], 31, "name %d", id);
      std::snprintf(&notes[k * 31], 31, "note %d", id % 1000);
      const int day = 45000 + id % 3650;  // 2023-03-15 onwards, as 7 Oracle date bytes
      uint8_t* d = &days[k * 7];
      const TDateTime value = day;
      int year, month, dom;
      DecodeDate(value, year, month, dom);
      d[0] = static_cast<uint8_t>(year / 100 + 100);
      d[1] = static_cast<uint8_t>(year % 100 + 100);
      d[2] = static_cast<uint8_t>(month);
      d[3] = static_cast<uint8_t>(dom);
      d[4] = d[5] = d[6] = 1;
    }
    CheckOrAbort(OCIStmtExecute(session.ServiceContext(), insert.statement, insert.error, kBatch, 0, nullptr, nullptr,
                         OCI_DEFAULT),
          insert.error);
  }
  session.Commit();
}

const std::string& filled_database() {
  static const std::string path = [] {
    std::string database = FreshDatabase("kvell_query_bench_fetch.db");
    auto session = LogOn(database);
    insert_raw(*session);
    return database;
  }();
  return path;
}

void BM_QueryArrayInsert(benchmark::State& state) {
  for (auto _ : state) {
    auto session = LogOn(FreshDatabase("kvell_query_bench_insert.db"));
    insert_through_query(*session);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_QueryArrayInsert)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_RawArrayInsert(benchmark::State& state) {
  for (auto _ : state) {
    auto session = LogOn(FreshDatabase("kvell_query_bench_insert_raw.db"));
    insert_raw(*session);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawArrayInsert)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_QueryFetch(benchmark::State& state) {
  auto session = LogOn(filled_database());
  TOracleQuery query;
  query.SetSession(session.get());
  query.SetReadBuffer(kFetchRows);
  query.SQL().SetText(kSelect);
  int64_t rows = 0;
  double bytes_per_row = 0;
  for (auto _ : state) {
    query.Execute();
    while (!query.Eof()) {
      for (int i = 0; i < 5; ++i) benchmark::DoNotOptimize(query.FieldValue(i));
      ++rows;
      query.Next();
    }
    size_t held = 0;
    for (int i = 0; i < query.ColumnCount(); ++i) {
      const TFieldData& column = query.Column(i);
      held += column.Buffer.capacity() + (column.Indicators.capacity() + column.ReturnLengths.capacity() +
                                          column.ReturnCodes.capacity()) * sizeof(ub2);
    }
    bytes_per_row = static_cast<double>(held) / kFetchRows;
  }
  double define_bytes = 0;
  for (int i = 0; i < query.ColumnCount(); ++i) define_bytes += query.Column(i).DefineSize;
  state.SetItemsProcessed(rows);
  state.counters["bytes_per_row"] = bytes_per_row;
  state.counters["define_bytes_per_row"] = define_bytes;
}
BENCHMARK(BM_QueryFetch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RawFetch(benchmark::State& state) {
  auto session = LogOn(filled_database());
  int32_t ids[kFetchRows];
  double amounts[kFetchRows];
  char names[kFetchRows][31], notes[kFetchRows][31];
  uint8_t days[kFetchRows][7];
  sb2 indicators[5][kFetchRows];
  ub2 lengths[5][kFetchRows];
  int64_t rows = 0;
  for (auto _ : state) {
    RawStatement select(*session, kSelect);
    select.define(1, ids, 4, 3, indicators[0], lengths[0]);
    select.define(2, amounts, 8, 4, indicators[1], lengths[1]);
    select.define(3, names, 31, 5, indicators[2], lengths[2]);
    select.define(4, days, 7, 12, indicators[3], lengths[3]);
    select.define(5, notes, 31, 5, indicators[4], lengths[4]);
    CheckOrAbort(OCIStmtExecute(session->ServiceContext(), select.statement, select.error, 0, 0, nullptr, nullptr,
                         OCI_DEFAULT),
          select.error);
    ub4 total = 0;
    for (;;) {
      const sword status = OCIStmtFetch2(select.statement, select.error, kFetchRows, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      CheckOrAbort(status, select.error);
      ub4 now = 0;
      OCIAttrGet(select.statement, OCI_HTYPE_STMT, &now, nullptr, OCI_ATTR_ROW_COUNT, select.error);
      // What any caller does with a row: the null check per column, a value
      // per column, a std::string per text and the date-time of the date.
      for (ub4 r = 0; r < now - total; ++r) {
        const int32_t id = indicators[0][r] == -1 ? 0 : ids[r];
        const double amount = indicators[1][r] == -1 ? 0 : amounts[r];
        std::string name = indicators[2][r] == -1 ? std::string() : std::string(names[r]);
        const TDateTime day = indicators[3][r] == -1 ? 0 : OracleDateToDateTime(days[r]);
        std::string note = indicators[4][r] == -1 ? std::string() : std::string(notes[r]);
        benchmark::DoNotOptimize(id);
        benchmark::DoNotOptimize(amount);
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(day);
        benchmark::DoNotOptimize(note);
      }
      rows += now - total;
      total = now;
      if (status == OCI_NO_DATA) break;
    }
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_RawFetch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
BENCHMARK_MAIN();
