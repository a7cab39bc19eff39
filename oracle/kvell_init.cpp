#include "oracle/kvell_init.h"

#include <cstdlib>

#include "runtime/exception.h"

namespace kvell {

// ---- ProcessSlot ----

bool ProcessSlot::Filled() const {
  std::lock_guard lock(mutex_);
  return object_ != nullptr;
}

int ProcessSlot::Fills() const {
  std::lock_guard lock(mutex_);
  return fills_;
}

void ProcessSlot::Release() {
  std::shared_ptr<void> released;
  {
    std::lock_guard lock(mutex_);
    released.swap(object_);
  }
  // Freed outside the lock: a dying pool may still reach its own slot.
}

void ProcessSlot::check_type(const std::type_info& wanted) const {
  if (type_ != std::type_index(wanted))
    throw Exception(std::string(kvell_init_messages::SlotTypeMismatch) + wanted.name());
}

// ---- the module ----

namespace {

struct KvellModule {
  ProcessSlot slots[kProcessObjectCount];
  std::mutex mutex;                    // guards the two fields below
  std::function<void()> client_unload;
  bool shut_down = false;
};

void shut_down_at_exit() { KvellShutDown(); }

// Made on first use and never freed, so that a late caller (a detached
// thread, another static's destructor) finds released slots, not freed ones.
KvellModule& kvell_module() {
  static KvellModule* module = [] {
    auto* made = new KvellModule;
    made->slots[static_cast<int>(ProcessObject::LogonHistory)].Get<TLogonHistory>();
    std::atexit(shut_down_at_exit);
    return made;
  }();
  return *module;
}

void release(KvellModule& module, ProcessObject which) {
  module.slots[static_cast<int>(which)].Release();
}

}  // namespace

void KvellStartUp() { kvell_module(); }

void KvellShutDown() {
  KvellModule& module = kvell_module();
  std::function<void()> unload;
  {
    std::lock_guard lock(module.mutex);
    if (module.shut_down) return;
    module.shut_down = true;
    unload.swap(module.client_unload);
  }
  release(module, ProcessObject::CompressorLock);
  release(module, ProcessObject::WarningCodes);
  // The pool may still call the client as it goes, so the unload follows it.
  release(module, ProcessObject::DefaultSessionPool);
  if (unload) {
    try {
      unload();
    } catch (...) {
      // nothing to report to at exit
    }
  }
  release(module, ProcessObject::LogonHistory);
  release(module, ProcessObject::OCICriticalSection);
}

bool KvellShutDownDone() {
  KvellModule& module = kvell_module();
  std::lock_guard lock(module.mutex);
  return module.shut_down;
}

ProcessSlot& KvellSlot(ProcessObject which) { return kvell_module().slots[static_cast<int>(which)]; }

TLogonHistory& LogonHistory() { return KvellSlot(ProcessObject::LogonHistory).Get<TLogonHistory>(); }

void SetClientUnload(std::function<void()> unload) {
  KvellModule& module = kvell_module();
  std::lock_guard lock(module.mutex);
  module.client_unload = std::move(unload);
}

}  // namespace kvell
