// What the emulator's benchmarks share: a logged-on application on a fresh database file.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ociemu/api/oci.h"

namespace ociemu::bench {

struct Connection {
  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCISvcCtx* svc = nullptr;
  std::string path;

  explicit Connection(const std::string& database) : path(database) {
    OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    std::string user = "SCOTT", password = "tiger";
    if (OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(user.c_str()), 5,
                 reinterpret_cast<const OraText*>(password.c_str()), 5,
                 reinterpret_cast<const OraText*>(path.c_str()), static_cast<ub4>(path.size())) != OCI_SUCCESS) {
      std::fprintf(stderr, "logon failed: %s\n", error().c_str());
      std::abort();
    }
  }
  ~Connection() {
    OCILogoff(svc, err);
    OCIHandleFree(env, OCI_HTYPE_ENV);
  }
  std::string error() {
    OraText text[512] = {0};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR);
    return reinterpret_cast<char*>(text);
  }
  OCIStmt* prepare(const std::string& sql) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()), static_cast<ub4>(sql.size()),
                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    return stmt;
  }
  void check(sword rc, const char* what) {
    if (rc != OCI_SUCCESS && rc != OCI_NO_DATA) {
      std::fprintf(stderr, "%s failed: %s\n", what, error().c_str());
      std::abort();
    }
  }
  void run(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    check(OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), sql.c_str());
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  // Executes the bound insert `stmt` for `rows` rows in arrays of `batch`, each array filled
  // first by fill(first row), and commits once.
  template <class Fill>
  void insert_in_batches(OCIStmt* stmt, int rows, int batch, Fill&& fill) {
    for (int first = 0; first < rows; first += batch) {
      fill(first);
      check(OCIStmtExecute(svc, stmt, err, static_cast<ub4>(batch), 0, nullptr, nullptr, OCI_DEFAULT), "insert");
    }
    check(OCITransCommit(svc, err, OCI_DEFAULT), "commit");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  // Executes the defined query `stmt` and fetches it to the end in calls of `batch` rows,
  // calling touch() after each; returns the rows fetched.
  template <class Touch>
  int64_t fetch_to_end(OCIStmt* stmt, ub4 batch, Touch&& touch) {
    check(OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), "execute");
    int64_t rows = 0;
    sword rc = OCI_SUCCESS;
    while (rc == OCI_SUCCESS) {
      rc = OCIStmtFetch2(stmt, err, batch, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
      check(rc, "fetch");
      ub4 fetched = 0;
      OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err);
      rows += fetched;
      touch();
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rows;
  }
};

// A table's row count: the environment variable `name` (smaller tables for runs under
// callgrind), else `fallback`.
inline int rows_from_environment(const char* name, int fallback) {
  const char* given = std::getenv(name);
  return given ? std::atoi(given) : fallback;
}

inline std::string bench_database(const char* name) {
  auto path = std::filesystem::temp_directory_path() / name;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  return path.string();
}

// A fresh database file filled once by fill(connection); returns its path.
template <class Fill>
std::string filled_database_file(const char* name, Fill&& fill) {
  std::string database = bench_database(name);
  Connection c(database);
  fill(c);
  return database;
}

// Steps a query of SQLite's own to its end, read(stmt) taking each row; returns the rows.
template <class Read>
int64_t step_to_end(sqlite3* db, const char* sql, Read&& read) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  int64_t sum = 0, rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    sum += read(stmt);
    ++rows;
  }
  benchmark::DoNotOptimize(sum);
  sqlite3_finalize(stmt);
  return rows;
}

// Each iteration runs pass(db) over the database file as SQLite itself reads it, the
// emulator's rival; the rows it returns are the items.
template <class Pass>
void measure_sqlite_passes(benchmark::State& state, const std::string& path, Pass&& pass) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  int64_t rows = 0;
  for (auto _ : state) rows += pass(db);
  sqlite3_close(db);
  state.SetItemsProcessed(rows);
}

}  // namespace ociemu::bench
