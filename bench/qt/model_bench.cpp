// TDataSetTableModel over TOracleDataSet on ociemu against Qt's own
// QSqlQueryModel over the QSQLITE driver, side by side in one run, on the
// same 1,000,000 rows of five columns in one SQLite file:
//  - the first screen: opening (QueryAllRecords off) and every cell of the
//    first 40 rows read as DisplayRole;
//  - all rows: fetchMore until the model has every row, and every cell's
//    DisplayRole read once.
// The rates and their ratio are printed at the end.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "qt/dataset_table_model.h"

#include "../session/bench_session.h"
#include "../session/bench_table.h"

namespace {

using namespace kvell;

constexpr int kRows = 1000000;
constexpr int kColumns = 5;
constexpr int kScreenRows = 40;
constexpr const char* kSelect = "select id, amount, name, day, note from bench";
// The same rows read straight from the file: ociemu keeps SCOTT's table BENCH as "SCOTT.BENCH".
constexpr const char* kSqliteSelect = "select id, amount, name, day, note from \"SCOTT.BENCH\"";

// Best seconds seen per measurement, for the ratios at the end.
struct Best {
  double seconds = 1e30;
  void Take(double value) { seconds = std::min(seconds, value); }
  bool Measured() const { return seconds < 1e30; }
};
Best model_screen, peer_screen, model_all, peer_all;

class ModelFixture {
 public:
  ModelFixture() : database_(bench::FreshDatabase("kvell_qt_model_bench.db")), session_(bench::LogOn(database_)) {
    bench::CreateAndFillTable(*session_, "bench", kRows);
    QSqlDatabase peer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peer"));
    peer.setDatabaseName(QString::fromStdString(database_));
    if (!peer.open()) std::fprintf(stderr, "QSQLITE cannot open %s\n", database_.c_str());
  }
  ~ModelFixture() { QSqlDatabase::removeDatabase(QStringLiteral("peer")); }
  TOracleSession& session() { return *session_; }
  QSqlDatabase peer() const { return QSqlDatabase::database(QStringLiteral("peer"), false); }

 private:
  std::string database_;
  std::unique_ptr<TOracleSession> session_;
};

ModelFixture* fixture = nullptr;

// Every cell of rows [0, rows) read as DisplayRole; the texts' total length.
qsizetype read_cells(const QAbstractItemModel& model, int rows) {
  qsizetype length = 0;
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < kColumns; ++column)
      length += model.data(model.index(row, column), Qt::DisplayRole).toString().size();
  return length;
}

void fetch_all(QAbstractItemModel& model) {
  while (model.canFetchMore({})) model.fetchMore({});
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The dataset as a program would set it up for a grid.
struct BrowsedDataSet {
  TOracleDataSet dataset;
  TDataSource source{nullptr};
  std::unique_ptr<TDataSetTableModel> model;

  BrowsedDataSet() {
    dataset.SetSession(&fixture->session());
    dataset.SetSQLText(kSelect);
    dataset.SetReadBuffer(100);
    dataset.QueryAllRecords = false;
    source.SetDataSet(&dataset);
    dataset.Open();
    model = std::make_unique<TDataSetTableModel>(&source);
  }
};

void BM_FirstScreen_TableModel(benchmark::State& state) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    BrowsedDataSet browsed;
    benchmark::DoNotOptimize(read_cells(*browsed.model, kScreenRows));
    model_screen.Take(seconds_since(start));
  }
}

void BM_FirstScreen_QSqlQueryModel(benchmark::State& state) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    QSqlQueryModel model;
    model.setQuery(QString::fromLatin1(kSqliteSelect), fixture->peer());
    benchmark::DoNotOptimize(read_cells(model, kScreenRows));
    peer_screen.Take(seconds_since(start));
  }
}

void BM_AllRows_TableModel(benchmark::State& state) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    BrowsedDataSet browsed;
    fetch_all(*browsed.model);
    if (browsed.model->rowCount() != kRows) state.SkipWithError("rows missing");
    double fetched = seconds_since(start);
    benchmark::DoNotOptimize(read_cells(*browsed.model, kRows));
    model_all.Take(seconds_since(start));
    state.counters["fetch_s"] = fetched;
    state.counters["read_s"] = seconds_since(start) - fetched;
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows) * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

void BM_AllRows_QSqlQueryModel(benchmark::State& state) {
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    QSqlQueryModel model;
    model.setQuery(QString::fromLatin1(kSqliteSelect), fixture->peer());
    fetch_all(model);
    if (model.rowCount() != kRows) state.SkipWithError("rows missing");
    double fetched = seconds_since(start);
    benchmark::DoNotOptimize(read_cells(model, kRows));
    peer_all.Take(seconds_since(start));
    state.counters["fetch_s"] = fetched;
    state.counters["read_s"] = seconds_since(start) - fetched;
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows) * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

BENCHMARK(BM_FirstScreen_TableModel)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstScreen_QSqlQueryModel)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AllRows_TableModel)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AllRows_QSqlQueryModel)->Unit(benchmark::kMillisecond)->Iterations(2);

void print_summary() {
  // A filtered run measures only some of them.
  if (model_screen.Measured() && peer_screen.Measured())
    std::printf("first screen: TDataSetTableModel %.2f ms, QSqlQueryModel %.2f ms\n", model_screen.seconds * 1e3,
                peer_screen.seconds * 1e3);
  if (!model_all.Measured() || !peer_all.Measured()) return;
  double model_rate = kRows / model_all.seconds;
  double peer_rate = kRows / peer_all.seconds;
  std::printf("all rows: TDataSetTableModel %.0f rows/s, QSqlQueryModel %.0f rows/s, ratio %.2f\n", model_rate,
              peer_rate, model_rate / peer_rate);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int result = bench::RunWithFixture(argc, argv, fixture);
  print_summary();
  return result;
}
