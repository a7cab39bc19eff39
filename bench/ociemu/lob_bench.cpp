// Rates of writing and reading a 64 MB BLOB in 32 KB chunks through the
// emulator's OCILobWrite2/OCILobRead2 and, on the same row of the same file,
// through SQLite's own incremental blob I/O: the LOB layer's cost over its engine.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ociemu/api/oci.h"
#include "bench_support.h"

namespace {

constexpr size_t kLobBytes = size_t{64} << 20;
constexpr size_t kChunk = size_t{32} << 10;

// One file under a fixed name, started afresh by each run, so runs leave no trail of 64 MB files.
std::string database_path() {
  static const std::string path = ociemu::bench::bench_database("ociemu_lob_bench.db");
  return path;
}

struct Emulator {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;

  Emulator() {
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    const std::string path = database_path();
    check(OCILogon(env, err, &svc, reinterpret_cast<const OraText*>("SCOTT"), 5,
                   reinterpret_cast<const OraText*>("tiger"), 5, reinterpret_cast<const OraText*>(path.c_str()),
                   static_cast<ub4>(path.size())),
          "logon");
  }
  ~Emulator() {
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
  }
  void check(sword rc, const char* what) {
    if (rc == OCI_SUCCESS || rc == OCI_NO_DATA) return;
    OraText text[512] = {0};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR);
    std::fprintf(stderr, "%s failed: %s\n", what, reinterpret_cast<char*>(text));
    std::abort();
  }
  // Runs SQL; with a locator, defines (query) or binds (RETURNING) it as :d.
  void run(const std::string& sql, OCILobLocator** locator = nullptr, bool query = false) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    check(OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()), static_cast<ub4>(sql.size()),
                         OCI_NTV_SYNTAX, OCI_DEFAULT),
          "prepare");
    if (locator && query) {
      OCIDefine* define = nullptr;
      check(OCIDefineByPos(stmt, &define, err, 1, locator, sizeof *locator, SQLT_BLOB, nullptr, nullptr, nullptr,
                           OCI_DEFAULT),
            "define");
    } else if (locator) {
      OCIBind* bind = nullptr;
      check(OCIBindByName(stmt, &bind, err, reinterpret_cast<const OraText*>(":d"), 2, locator, sizeof *locator,
                          SQLT_BLOB, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
            "bind");
    }
    check(OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), sql.c_str());
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
};

Emulator& emulator() {
  static Emulator* shared = [] {
    auto* e = new Emulator;
    e->run("CREATE TABLE blobs (id NUMBER PRIMARY KEY, data BLOB)");
    e->run("INSERT INTO blobs VALUES (1, EMPTY_BLOB())");
    e->run("COMMIT");
    return e;
  }();
  return *shared;
}

std::vector<char> payload() {
  std::vector<char> bytes(kChunk);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + 7);
  return bytes;
}

void BM_LobWrite2(benchmark::State& state) {
  Emulator& e = emulator();
  std::vector<char> chunk = payload();
  OCILobLocator* locator = nullptr;
  OCIDescriptorAlloc(e.env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr);
  for (auto _ : state) {
    e.run("UPDATE blobs SET data = EMPTY_BLOB() WHERE id = 1 RETURNING data INTO :d", &locator);
    for (size_t offset = 0; offset < kLobBytes; offset += kChunk) {
      oraub8 bytes = kChunk, chars = 0;
      e.check(OCILobWrite2(e.svc, e.err, locator, &bytes, &chars, offset + 1, chunk.data(), kChunk, OCI_ONE_PIECE,
                           nullptr, nullptr, 0, 0),
              "OCILobWrite2");
    }
    e.run("COMMIT");
  }
  OCIDescriptorFree(locator, OCI_DTYPE_LOB);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLobBytes));
}
BENCHMARK(BM_LobWrite2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

struct RawSqlite {
  sqlite3* db = nullptr;
  RawSqlite() {
    emulator();  // the table and its row
    sqlite3_open_v2(database_path().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_busy_timeout(db, 5000);
  }
  ~RawSqlite() { sqlite3_close(db); }
  void exec(const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db));
      std::abort();
    }
  }
  sqlite3_blob* open(bool write) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(db, "main", "SCOTT.BLOBS", "DATA", 1, write ? 1 : 0, &blob) != SQLITE_OK) {
      std::fprintf(stderr, "blob open: %s\n", sqlite3_errmsg(db));
      std::abort();
    }
    return blob;
  }
  // The row holds the 64 MB payload, whichever benchmarks ran before.
  void fill() {
    sqlite3_blob* blob = open(false);
    bool full = static_cast<size_t>(sqlite3_blob_bytes(blob)) == kLobBytes;
    sqlite3_blob_close(blob);
    if (full) return;
    std::vector<char> chunk = payload();
    exec("BEGIN IMMEDIATE");
    exec(("UPDATE \"SCOTT.BLOBS\" SET DATA = zeroblob(" + std::to_string(kLobBytes) + ") WHERE rowid = 1").c_str());
    blob = open(true);
    for (size_t offset = 0; offset < kLobBytes; offset += kChunk) {
      sqlite3_blob_write(blob, chunk.data(), static_cast<int>(kChunk), static_cast<int>(offset));
    }
    sqlite3_blob_close(blob);
    exec("COMMIT");
  }
};

void BM_LobRead2(benchmark::State& state) {
  Emulator& e = emulator();
  RawSqlite().fill();
  std::vector<char> buffer(kChunk);
  OCILobLocator* locator = nullptr;
  OCIDescriptorAlloc(e.env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr);
  size_t total = 0;
  for (auto _ : state) {
    e.run("SELECT data FROM blobs WHERE id = 1", &locator, true);
    for (size_t offset = 0; offset < kLobBytes; offset += kChunk) {
      oraub8 bytes = kChunk, chars = 0;
      e.check(OCILobRead2(e.svc, e.err, locator, &bytes, &chars, offset + 1, buffer.data(), kChunk, OCI_ONE_PIECE,
                          nullptr, nullptr, 0, 0),
              "OCILobRead2");
      total += bytes;
    }
  }
  OCIDescriptorFree(locator, OCI_DTYPE_LOB);
  if (total != state.iterations() * kLobBytes) state.SkipWithError("short read");
  state.SetBytesProcessed(static_cast<int64_t>(total));
}
BENCHMARK(BM_LobRead2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SqliteBlobWrite(benchmark::State& state) {
  RawSqlite raw;
  std::vector<char> chunk = payload();
  for (auto _ : state) {
    raw.exec("BEGIN IMMEDIATE");
    raw.exec(("UPDATE \"SCOTT.BLOBS\" SET DATA = zeroblob(" + std::to_string(kLobBytes) + ") WHERE rowid = 1").c_str());
    sqlite3_blob* blob = raw.open(true);
    for (size_t offset = 0; offset < kLobBytes; offset += kChunk) {
      sqlite3_blob_write(blob, chunk.data(), static_cast<int>(kChunk), static_cast<int>(offset));
    }
    sqlite3_blob_close(blob);
    raw.exec("COMMIT");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLobBytes));
}
BENCHMARK(BM_SqliteBlobWrite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_SqliteBlobRead(benchmark::State& state) {
  RawSqlite raw;
  raw.fill();
  std::vector<char> buffer(kChunk);
  size_t total = 0;
  for (auto _ : state) {
    sqlite3_blob* blob = raw.open(false);
    size_t size = static_cast<size_t>(sqlite3_blob_bytes(blob));
    for (size_t offset = 0; offset < size; offset += kChunk) {
      if (sqlite3_blob_read(blob, buffer.data(), static_cast<int>(kChunk), static_cast<int>(offset)) == SQLITE_OK) {
        total += kChunk;
      }
    }
    sqlite3_blob_close(blob);
  }
  if (total != state.iterations() * kLobBytes) state.SkipWithError("short read");
  state.SetBytesProcessed(static_cast<int64_t>(total));
}
BENCHMARK(BM_SqliteBlobRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
