// Run: build/bench/session/lob_bench. Writing and reading a 64 MB temporary
// BLOB in 32 KB calls through TLOBLocator against raw OCILobWrite/OCILobRead
// calls on a locator of the same session; each pair's rate ratio is the
// locator's cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench_session.h"
#include "oracle/binding/oracle_ci.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"

namespace {

using namespace kvell;

constexpr int64_t kLOBBytes = int64_t{64} << 20;
constexpr ub4 kChunk = 32 << 10;

struct Fixture {
  Fixture() {
    session = bench::LogOnFresh("kvell_lob_bench.db");
    locator.reset(TLOBLocator::CreateTemporary(session.get(), otBLOB, true));
    OCIHandleAlloc(session->EnvironmentHandle(), reinterpret_cast<void**>(&error), OCI_HTYPE_ERROR, 0, nullptr);
  }
  ~Fixture() {
    OCIHandleFree(error, OCI_HTYPE_ERROR);
    locator.reset();
    session.reset();
  }
  std::unique_ptr<TOracleSession> session;
  std::unique_ptr<TLOBLocator> locator;
  OCIError* error = nullptr;
  std::vector<char> buffer = std::vector<char>(kChunk, 'x');
};

Fixture* current = nullptr;  // lives through main's benchmark run
Fixture& fixture() { return *current; }

void raw_write(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    for (int64_t done = 0; done < kLOBBytes; done += kChunk) {
      ub4 amount = kChunk;
      OCILobWrite(f.session->ServiceContext(), f.error, *f.locator->LocatorRef(), &amount, static_cast<ub4>(done + 1),
                  f.buffer.data(), kChunk, 0, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    }
  }
  state.SetBytesProcessed(state.iterations() * kLOBBytes);
}

void locator_write(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    f.locator->Seek(0, soBeginning);
    for (int64_t done = 0; done < kLOBBytes; done += kChunk) f.locator->Write(f.buffer.data(), kChunk);
  }
  state.SetBytesProcessed(state.iterations() * kLOBBytes);
}

void raw_read(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    for (int64_t done = 0; done < kLOBBytes; done += kChunk) {
      ub4 amount = kChunk;
      OCILobRead(f.session->ServiceContext(), f.error, *f.locator->LocatorRef(), &amount, static_cast<ub4>(done + 1),
                 f.buffer.data(), kChunk, nullptr, nullptr, 0, SQLCS_IMPLICIT);
      benchmark::DoNotOptimize(amount);
    }
  }
  state.SetBytesProcessed(state.iterations() * kLOBBytes);
}

void locator_read(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    f.locator->Seek(0, soBeginning);
    for (int64_t done = 0; done < kLOBBytes; done += kChunk) {
      benchmark::DoNotOptimize(f.locator->Read(f.buffer.data(), kChunk));
    }
  }
  state.SetBytesProcessed(state.iterations() * kLOBBytes);
}

// The writes run first so that the reads find the whole 64 MB.
BENCHMARK(raw_write)->Unit(benchmark::kMillisecond);
BENCHMARK(locator_write)->Unit(benchmark::kMillisecond);
BENCHMARK(raw_read)->Unit(benchmark::kMillisecond);
BENCHMARK(locator_read)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return kvell::bench::RunWithFixture(argc, argv, current); }
