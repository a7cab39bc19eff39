// TDataSetTableModel over TOracleDataSet on ociemu against Qt's own
// QSqlQueryModel over the QSQLITE driver, side by side in one run, on the
// same 1,000,000 rows of five columns in one SQLite file:
//  - the first screen: opening (QueryAllRecords off) and every cell of the
//    first 40 rows read as DisplayRole;
//  - all rows: fetchMore until the model has every row, and every cell's
//    DisplayRole read once;
//  - first open: the same, once per side as the first thing the process
//    does, so that nothing released by an earlier open is reused.
// The rates and their ratio are printed at the end.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "qt/dataset_table_model.h"

#include "../session/bench_session.h"
#include "../session/bench_table.h"

namespace {

using namespace kvell;

// 1,000,000 unless KVELL_QT_BENCH_ROWS says otherwise: fewer rows let an
// instruction count (callgrind) of one side finish in minutes.
int row_count() {
  static const int rows = [] {
    const char* text = std::getenv("KVELL_QT_BENCH_ROWS");
    const int asked = text ? std::atoi(text) : 0;
    return asked > 0 ? asked : 1000000;
  }();
  return rows;
}
constexpr int kColumns = 5;
constexpr int kScreenRows = 40;
constexpr const char* kSelect = "select id, amount, name, day, note from bench";
// The same rows read straight from the file: ociemu keeps SCOTT's table BENCH as "SCOTT.BENCH".
constexpr const char* kSqliteSelect = "select id, amount, name, day, note from \"SCOTT.BENCH\"";

// Wall and process CPU time since it was made. The machine may be shared:
// CPU time (page faults included) is what other programs inflate least.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();

  double WallSeconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(); }
  double CpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

// Best seconds seen per measurement, for the ratios at the end.
struct Best {
  double seconds = 1e30;
  double cpu_seconds = 1e30;
  void Take(const Stopwatch& watch) {
    seconds = std::min(seconds, watch.WallSeconds());
    cpu_seconds = std::min(cpu_seconds, watch.CpuSeconds());
  }
  bool Measured() const { return seconds < 1e30; }
};
Best model_screen, peer_screen, model_first, peer_first, model_all, peer_all;

// A database file in a folder of its own, removed with it: runs side by side
// must not share (and delete) one another's file.
class PrivateDatabase {
 public:
  PrivateDatabase() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvell_qt_model_bench.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    folder_ = pattern;
  }
  ~PrivateDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  PrivateDatabase(const PrivateDatabase&) = delete;
  PrivateDatabase& operator=(const PrivateDatabase&) = delete;
  std::string Path() const { return (folder_ / "bench.db").string(); }

 private:
  std::filesystem::path folder_;
};

class ModelFixture {
 public:
  ModelFixture() : database_(folder_.Path()), session_(bench::LogOn(database_)) {
    bench::CreateAndFillTable(*session_, "bench", row_count());
    QSqlDatabase peer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peer"));
    peer.setDatabaseName(QString::fromStdString(database_));
    if (!peer.open()) std::fprintf(stderr, "QSQLITE cannot open %s\n", database_.c_str());
  }
  ~ModelFixture() { QSqlDatabase::removeDatabase(QStringLiteral("peer")); }
  TOracleSession& session() { return *session_; }
  QSqlDatabase peer() const { return QSqlDatabase::database(QStringLiteral("peer"), false); }

 private:
  PrivateDatabase folder_;  // outlives the session and the peer's connection
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

// A QSqlQueryModel over the same rows, as a program would set it up.
struct PeerModel {
  QSqlQueryModel model;
  PeerModel() { model.setQuery(QString::fromLatin1(kSqliteSelect), fixture->peer()); }
};

void BM_FirstScreen_TableModel(benchmark::State& state) {
  for (auto _ : state) {
    Stopwatch watch;
    BrowsedDataSet browsed;
    benchmark::DoNotOptimize(read_cells(*browsed.model, kScreenRows));
    model_screen.Take(watch);
  }
}

void BM_FirstScreen_QSqlQueryModel(benchmark::State& state) {
  for (auto _ : state) {
    Stopwatch watch;
    PeerModel peer;
    benchmark::DoNotOptimize(read_cells(peer.model, kScreenRows));
    peer_screen.Take(watch);
  }
}

QAbstractItemModel& model_of(BrowsedDataSet& browsed) { return *browsed.model; }
QAbstractItemModel& model_of(PeerModel& peer) { return peer.model; }

// Opens, fetches every row and reads every cell once per iteration.
template <class Opened>
void time_all_rows(benchmark::State& state, Best& best) {
  for (auto _ : state) {
    Stopwatch watch;
    Opened opened;
    QAbstractItemModel& model = model_of(opened);
    fetch_all(model);
    if (model.rowCount() != row_count()) state.SkipWithError("rows missing");
    double fetched = watch.WallSeconds();
    benchmark::DoNotOptimize(read_cells(model, row_count()));
    best.Take(watch);
    state.counters["fetch_s"] = fetched;
    state.counters["read_s"] = watch.WallSeconds() - fetched;
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(row_count()) * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

// A user opens a result once: these run first and once per process, before
// either side has released memory (record pages, grown heaps) to reuse.
void BM_FirstOpen_TableModel(benchmark::State& state) { time_all_rows<BrowsedDataSet>(state, model_first); }
void BM_FirstOpen_QSqlQueryModel(benchmark::State& state) { time_all_rows<PeerModel>(state, peer_first); }
void BM_AllRows_TableModel(benchmark::State& state) { time_all_rows<BrowsedDataSet>(state, model_all); }
void BM_AllRows_QSqlQueryModel(benchmark::State& state) { time_all_rows<PeerModel>(state, peer_all); }

BENCHMARK(BM_FirstOpen_TableModel)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
BENCHMARK(BM_FirstOpen_QSqlQueryModel)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1);
BENCHMARK(BM_FirstScreen_TableModel)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstScreen_QSqlQueryModel)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AllRows_TableModel)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AllRows_QSqlQueryModel)->Unit(benchmark::kMillisecond)->Iterations(2);

void print_rates(const char* what, const Best& model, const Best& peer) {
  if (!model.Measured() || !peer.Measured()) return;
  double model_rate = row_count() / model.seconds;
  double peer_rate = row_count() / peer.seconds;
  std::printf("%s: TDataSetTableModel %.0f rows/s, QSqlQueryModel %.0f rows/s, ratio %.2f", what, model_rate,
              peer_rate, model_rate / peer_rate);
  model_rate = row_count() / model.cpu_seconds;
  peer_rate = row_count() / peer.cpu_seconds;
  std::printf("; by CPU time %.0f and %.0f rows/s, ratio %.2f\n", model_rate, peer_rate, model_rate / peer_rate);
}

void print_summary() {
  // A filtered run measures only some of them.
  if (model_screen.Measured() && peer_screen.Measured())
    std::printf("first screen: TDataSetTableModel %.2f ms, QSqlQueryModel %.2f ms\n", model_screen.seconds * 1e3,
                peer_screen.seconds * 1e3);
  print_rates("first open", model_first, peer_first);
  print_rates("all rows", model_all, peer_all);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int result = bench::RunWithFixture(argc, argv, fixture);
  print_summary();
  return result;
}
