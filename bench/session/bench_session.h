// Shared pieces of the session benchmarks: a logged-on session on a fresh
// ociemu database, a status check that stops the run, and a main that keeps
// one fixture alive through all benchmarks. Thread-safe: no.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"

namespace kvell::bench {

// A new, empty database file `name` in the temporary folder; its path.
inline std::string FreshDatabase(const char* name) {
  auto path = std::filesystem::temp_directory_path() / name;
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  return path.string();
}

// The demo account on the database file `database`.
inline std::unique_ptr<TOracleSession> LogOn(const std::string& database) {
  if (!OCILoaded()) {
    OCIDLL = KVELL_BENCH_CLIENT;
    InitOCI();
  }
  auto session = std::make_unique<TOracleSession>();
  session->SetLogonUsername("SCOTT");
  session->SetLogonPassword("tiger");
  session->SetLogonDatabase(database);
  session->LogOn();
  return session;
}

// The demo account on a new database file `name` in the temporary folder.
inline std::unique_ptr<TOracleSession> LogOnFresh(const char* name) { return LogOn(FreshDatabase(name)); }

// A raw call that failed ends the run with the client's message.
inline void CheckOrAbort(sword status, OCIError* error) {
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NO_DATA) return;
  char text[512] = {};
  sb4 code = 0;
  OCIErrorGet(error, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR);
  std::fprintf(stderr, "client call failed: %s\n", text);
  std::abort();
}

// Runs the registered benchmarks with one Fixture, reachable through `current`.
template <class Fixture>
int RunWithFixture(int argc, char** argv, Fixture*& current) {
  benchmark::Initialize(&argc, argv);
  {
    Fixture instance;
    current = &instance;
    benchmark::RunSpecifiedBenchmarks();
    current = nullptr;
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace kvell::bench
