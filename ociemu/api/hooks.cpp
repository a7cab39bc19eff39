// Test hooks exported next to the client entries, and the injected-failure
// table the entry guard consults.
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "ociemu/api/entry.h"
#include "ociemu/api/oci7.h"
#include "ociemu/api/process_state.h"

namespace ociemu {
namespace {

struct InjectedFailures {
  std::mutex mutex;
  std::map<std::string, int> pending;  // entry name -> Oracle error
  std::atomic<bool> any{false};        // pending is not empty: every entry asks, almost always in vain
};

InjectedFailures& injected() { return process_state<InjectedFailures>(); }

}  // namespace

int take_injected_failure(const char* entry_name) {
  auto& failures = injected();
  if (!failures.any.load(std::memory_order_acquire)) return 0;
  std::lock_guard lock(failures.mutex);
  auto found = failures.pending.find(entry_name);
  if (found == failures.pending.end()) return 0;
  int code = found->second;
  failures.pending.erase(found);
  failures.any.store(!failures.pending.empty(), std::memory_order_release);
  return code;
}

}  // namespace ociemu

using namespace ociemu;

extern "C" {

int ociemu_kill_session(void* svchp_or_lda) {
  Session* session = nullptr;
  if (auto* svc = live<ServiceContext>(svchp_or_lda)) session = live<Session>(svc->session);
  if (session == nullptr) session = oci7_session(static_cast<Lda_Def*>(svchp_or_lda));
  if (session == nullptr || !session->begun) return -1;
  session->kill_state = 1;
  return 0;
}

void ociemu_fail_next(const char* entry_name, int oracle_error) {
  auto& failures = injected();
  std::lock_guard lock(failures.mutex);
  if (entry_name == nullptr || *entry_name == 0 || oracle_error == 0) {
    failures.pending.clear();
    failures.any.store(false, std::memory_order_release);
    return;
  }
  failures.pending[entry_name] = oracle_error;
  failures.any.store(true, std::memory_order_release);
}

void ociemu_report_oracle7(int on) { set_oracle7_banner(on != 0); }

}  // extern "C"
