// Run: build/bench/session/session_bench. The two logon benchmarks make the
// same client calls (own environment, handles, attach, session begin,
// version check; then end, detach, free); their rate ratio is the layer's cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"

namespace kvell {
namespace {

const std::string& database() {
  static const std::string path = [] {
    auto file = std::filesystem::temp_directory_path() / "kvell_session_bench.db";
    return file.string();
  }();
  return path;
}

void load_client() {
  if (OCILoaded()) return;
  OCIDLL = KVELL_BENCH_CLIENT;
  InitOCI();
}

template <class Handle>
Handle* allocate(OCIEnv* env, ub4 type) {
  void* handle = nullptr;
  if (OCIHandleAlloc(env, &handle, type, 0, nullptr) != OCI_SUCCESS) std::abort();
  return static_cast<Handle*>(handle);
}

void check(sword status) {
  if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) std::abort();
}

void raw_logon_logoff(const std::string& user, const std::string& password) {
  OCIEnv* env = nullptr;
  check(OCIEnvCreate(&env, OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr));
  auto* svc = allocate<OCISvcCtx>(env, OCI_HTYPE_SVCCTX);
  auto* server = allocate<OCIServer>(env, OCI_HTYPE_SERVER);
  auto* error = allocate<OCIError>(env, OCI_HTYPE_ERROR);
  auto* error2 = allocate<OCIError>(env, OCI_HTYPE_ERROR);
  auto* session = allocate<OCISession>(env, OCI_HTYPE_SESSION);
  const std::string& db = database();
  check(OCIServerAttach(server, error, reinterpret_cast<const OraText*>(db.c_str()), static_cast<sb4>(db.size()), 0));
  check(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, error));
  check(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, error));
  check(OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()), static_cast<ub4>(user.size()),
                   OCI_ATTR_USERNAME, error));
  check(OCIAttrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(password.c_str()),
                   static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD, error));
  check(OCISessionBegin(svc, error, session, OCI_CRED_RDBMS, OCI_DEFAULT));
  char banner[501];
  check(OCIServerVersion(server, error, reinterpret_cast<OraText*>(banner), sizeof banner, OCI_HTYPE_SERVER));
  check(OCISessionEnd(svc, error, session, OCI_DEFAULT));
  check(OCIServerDetach(server, error, OCI_DEFAULT));
  OCIHandleFree(server, OCI_HTYPE_SERVER);
  OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
  OCIHandleFree(error, OCI_HTYPE_ERROR);
  OCIHandleFree(error2, OCI_HTYPE_ERROR);
  OCIHandleFree(session, OCI_HTYPE_SESSION);
  OCIHandleFree(env, OCI_HTYPE_ENV);
}

void BM_RawOCILogonLogoff(benchmark::State& state) {
  load_client();
  for (auto _ : state) raw_logon_logoff("SCOTT", "tiger");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawOCILogonLogoff);

void BM_SessionLogonLogoff(benchmark::State& state) {
  load_client();
  TOracleSession session;
  session.SetLogonUsername("SCOTT");
  session.SetLogonPassword("tiger");
  session.SetLogonDatabase(database());
  session.Cursor = crDefault;
  for (auto _ : state) {
    session.LogOn();
    session.LogOff();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SessionLogonLogoff);

void BM_EnterLeaveCallThreadSafeOCI7(benchmark::State& state) {
  load_client();
  TOracleSession session;
  session.SetLogonUsername("SCOTT");
  session.SetLogonPassword("tiger");
  session.SetLogonDatabase(database());
  session.Preferences().SetUseOCI7(true);
  session.SetThreadSafe(true);
  session.LogOn();
  for (auto _ : state) {
    session.EnterCall();
    session.LeaveCall();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnterLeaveCallThreadSafeOCI7);

}  // namespace
}  // namespace kvell

BENCHMARK_MAIN();
