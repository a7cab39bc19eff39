#include "ociemu/api/handles.h"

#include "ociemu/api/process_state.h"

#include <shared_mutex>
#include <unordered_set>

namespace ociemu {
namespace {

struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<const void*, uint32_t> live;  // handle -> type
};

// Released after all other process state, whose release may still free handles.
Registry& registry() { return process_state<Registry, ReleaseRank::kReleasedLast>(); }

}  // namespace

Handle::Handle(uint32_t type, Environment* env) : type_(type), env_(env) {
  auto& r = registry();
  std::unique_lock lock(r.mutex);
  r.live[this] = type;
}

Handle::~Handle() {
  auto& r = registry();
  std::unique_lock lock(r.mutex);
  r.live.erase(this);
}

Handle* find_live(const void* p, uint32_t type) {
  if (p == nullptr) return nullptr;
  auto& r = registry();
  std::shared_lock lock(r.mutex);
  auto found = r.live.find(p);
  if (found == r.live.end() || found->second != type) return nullptr;
  return static_cast<Handle*>(const_cast<void*>(p));
}

bool is_live(const void* p) {
  auto& r = registry();
  std::shared_lock lock(r.mutex);
  return r.live.count(p) != 0;
}

Environment::Environment(uint32_t environment_mode) : Handle(kType, this), mode(environment_mode) {}

Environment::~Environment() {
  // Children may free siblings while going; take them out first so that
  // destroy() sees them as already gone.
  std::unordered_map<Handle*, std::unique_ptr<Handle>> doomed;
  {
    std::lock_guard lock(mutex);
    doomed.swap(children);
  }
  // Statements first: they hold prepared statements on the sessions' connections.
  for (auto it = doomed.begin(); it != doomed.end();) {
    if (it->first->type() == OCI_HTYPE_STMT) {
      it = doomed.erase(it);
    } else {
      ++it;
    }
  }
  doomed.clear();
}

void Environment::destroy(Handle* child) {
  std::unique_ptr<Handle> doomed;
  {
    std::lock_guard lock(mutex);
    auto found = children.find(child);
    if (found == children.end()) return;
    doomed = std::move(found->second);
    children.erase(found);
  }
}

DateTimeDescriptor* live_datetime(const void* p) {
  for (uint32_t type : {OCI_DTYPE_DATE, OCI_DTYPE_TIMESTAMP, OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ}) {
    if (Handle* handle = find_live(p, type)) return static_cast<DateTimeDescriptor*>(handle);
  }
  return nullptr;
}

bool is_handle_type(uint32_t type) {
  return (type >= OCI_HTYPE_ERROR && type <= OCI_HTYPE_DIRPATH_STREAM) || type == OCI_HTYPE_CPOOL ||
         type == OCI_HTYPE_SPOOL;
}

IntervalDescriptor* live_interval(const void* p) {
  for (uint32_t type : {OCI_DTYPE_INTERVAL_YM, OCI_DTYPE_INTERVAL_DS}) {
    if (Handle* handle = find_live(p, type)) return static_cast<IntervalDescriptor*>(handle);
  }
  return nullptr;
}

bool is_descriptor_type(uint32_t type) { return type >= OCI_DTYPE_LOB && type <= OCI_DTYPE_TIMESTAMP_LTZ; }

}  // namespace ociemu
