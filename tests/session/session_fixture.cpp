// Loading ociemu for the session tests and making sessions on it.
#include "session_fixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "oracle/binding/client_loader.h"
#include "oracle/binding/client_location.h"
#include "oracle/binding/entry_tables.h"
#include "ociemu/api/test_hooks.h"
#include "ociemu/tests/process_directory.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"

namespace kvell::testing {
namespace {

std::string& loaded_client() {
  static std::string path;
  return path;
}

void* hook(const char* name, const std::string& library_path = loaded_client()) {
  void* library = ::dlopen(library_path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return nullptr;
  void* symbol = ::dlsym(library, name);
  ::dlclose(library);
  return symbol;
}

}  // namespace

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "<no exception>";
}

int OracleErrorCodeOf(const std::function<void()>& action) { return OracleErrorOf(action).ErrorCode; }

EOracleError OracleErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EOracleError& e) {
    return e;
  }
  return EOracleError("<no exception>", 0, nullptr, nullptr);
}

std::string InterfaceName(const ::testing::TestParamInfo<Interface>& info) {
  switch (info.param) {
    case Interface::OCI8: return "OCI8";
    case Interface::UseOCI7: return "UseOCI7";
    case Interface::ForceOCI7: return "ForceOCI7";
  }
  return "unknown";
}

std::string DefaultClientPath() { return std::string(KVELL_TEST_ORACLE_HOME) + "/lib/libclntsh.so"; }

void LoadClient(const std::string& path, bool force_oci7) {
  if (loaded_client() != path || ForceOCI7 != force_oci7 || !OCILoaded()) {
    FreeOCI();
    OCIDLL = path;
    ForceOCI7 = force_oci7;
    InitOCI();
    loaded_client() = path;
  }
}

void* EmulatorHooks::Find(const char* name) { return hook(name); }

int EmulatorHooks::KillSession(void* svc_or_lda) {
  auto kill = reinterpret_cast<ociemu_kill_session_fn>(hook("ociemu_kill_session"));
  return kill ? kill(svc_or_lda) : -2;
}

void EmulatorHooks::FailNext(const char* entry, int oracle_error) {
  if (auto fail = reinterpret_cast<ociemu_fail_next_fn>(hook("ociemu_fail_next"))) fail(entry, oracle_error);
}

void EmulatorHooks::ReportOracle7(bool on) {
  if (auto report = reinterpret_cast<ociemu_report_oracle7_fn>(hook("ociemu_report_oracle7"))) report(on ? 1 : 0);
}

void EmulatorHooks::FailNextMTS(const char* entry, unsigned mts_error) {
  const std::string library = std::string(KVELL_TEST_ORACLE_HOME) + "/lib/liboramts.so";
  if (auto fail = reinterpret_cast<ociemu_mts_fail_next_fn>(hook("ociemu_mts_fail_next", library)))
    fail(entry, mts_error);
}

namespace {

const std::filesystem::path& ProcessDatabaseDirectory() {
  static const ociemu::testing::ProcessDirectory directory("kvell_session_");
  return directory.path();
}

}  // namespace

void SessionTest::SetUp() {
  LoadClient(DefaultClientPath());
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto& dir = ProcessDatabaseDirectory();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  database_ = (dir / (name + ".db")).string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(database_ + suffix);
}

void SessionTest::TearDown() {
  EmulatorHooks::FailNext(nullptr, 0);
  EmulatorHooks::ReportOracle7(false);
  WarningCodes().clear();
}

void SessionInterfaceTest::SetUp() {
  SessionTest::SetUp();
  LoadClient(DefaultClientPath(), GetParam() == Interface::ForceOCI7);
}

std::unique_ptr<TOracleSession> SessionTest::MakeSession(Interface mode) {
  auto session = std::make_unique<TOracleSession>();
  session->SetLogonUsername(kDemoUser);
  session->SetLogonPassword(kDemoPassword);
  session->SetLogonDatabase(database_);
  session->Preferences().SetUseOCI7(mode == Interface::UseOCI7);
  return session;
}

void SessionTest::Run(TOracleSession& session, const std::string& sql) {
  TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(sql);
  query.Execute();
}

std::string SessionTest::QueryValue(TOracleSession& session, const std::string& sql) {
  TOracleQuery query;
  query.SetSession(&session);
  query.SQL().SetText(sql);
  query.Execute();
  return query.Eof() ? "<none>" : query.FieldText(0);
}

}  // namespace kvell::testing
